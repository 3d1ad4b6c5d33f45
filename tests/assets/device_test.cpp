// Textures and models on the software Direct3D 9 device: mip chains, level
// counts, device-call counting, uploads and release.
#include <algorithm>

#include "assets_test_util.h"
#include "gfx/d3d.h"
#include "soft/soft.h"

namespace {

class OnDevice : public AssetsTest {
 protected:
  void SetUp() override {
    AssetsTest::SetUp();
    sys_lib_provide("d3d9.dll", soft_d3d9_proc);
    ASSERT_EQ(gfx_init(nullptr, 0), 1);
  }
  void TearDown() override {
    gfx_shutdown();  // releases the assets' device objects too
    AssetsTest::TearDown();
    EXPECT_EQ(soft_live_objects(), 0) << "device objects left behind";
  }
};

// Pixels of one mip level, top row first.
std::vector<uint32_t> level(IDirect3DTexture9* t, int lv) {
  D3DSURFACE_DESC d;
  D3DLOCKED_RECT lr;
  std::vector<uint32_t> px;
  if (t->GetLevelDesc((UINT)lv, &d) != D3D_OK || t->LockRect((UINT)lv, &lr, nullptr, D3DLOCK_READONLY) != D3D_OK)
    return px;
  for (UINT y = 0; y < d.Height; y++) {
    const uint32_t* row = (const uint32_t*)((const uint8_t*)lr.pBits + (size_t)y * lr.Pitch);
    px.insert(px.end(), row, row + d.Width);
  }
  t->UnlockRect((UINT)lv);
  return px;
}

TEST_F(OnDevice, TexturesCarryTheirBoxFilteredMipChain) {
  int before = g_d3dCalls;
  Texture* grass = tex_procedural("grass");
  EXPECT_EQ(g_d3dCalls - before, 1);  // one CreateTexture
  ASSERT_EQ(grass->tex->GetLevelCount(), 6u);
  std::vector<uint32_t> expect(64 * 64);
  tex_gen_fill("grass", expect.data(), 64, 64);
  for (int lv = 0, w = 64; lv < 6; lv++, w /= 2) {  // 64 x 64 down to 2 x 2
    EXPECT_EQ(level(grass->tex, lv), expect) << "level " << lv;
    std::vector<uint32_t> next(std::max(w * w / 4, 1));
    tex_mip_down(expect.data(), w, w, next.data());
    expect.swap(next);
  }
  EXPECT_EQ(tex_procedural("font")->tex->GetLevelCount(), 1u);
  put("ui/other.bmp", bmp_data("rgb24_5x3.bmp"));
  Texture* other = tex_get("other.bmp");
  ASSERT_EQ(other->tex->GetLevelCount(), 2u);  // 5 x 3, then 2 x 1
  EXPECT_EQ(level(other->tex, 0), decode(bmp_data("rgb24_5x3.bmp")));  // as decoded, see-through key included
  EXPECT_EQ(level(other->tex, 1).size(), 2u);
}

TEST_F(OnDevice, ModelsAreUploadedAndEverythingIsReleased) {
  Model* car = model_get("car");
  ASSERT_NE(car->gpu.vb, nullptr);
  EXPECT_EQ(std::make_pair(car->gpu.nverts, car->gpu.nindices), std::make_pair(car->mesh.nverts, car->mesh.nindices));
  ASSERT_NE(car->tex->tex, nullptr);
  put("models/nothing.skm", std::string("SKM1") + std::string(12, 0));  // valid, empty: no buffers
  EXPECT_EQ(model_get("nothing")->gpu.vb, nullptr);
  int verts = car->mesh.nverts;
  assets_release_gpu();
  EXPECT_EQ(car->gpu.vb, nullptr);
  for (Texture* t = g_textures; t; t = t->next) EXPECT_EQ(t->tex, nullptr) << t->name;
  EXPECT_EQ(car->mesh.nverts, verts);  // records and meshes stay
  EXPECT_EQ(model_get("car"), car);
}

}  // namespace
