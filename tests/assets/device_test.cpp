// Textures and models on the software Direct3D 9 device: mip chains, level
// counts, device-call counting, uploads and release.
#include "assets_test_util.h"
#include "gfx/d3d.h"
#include "gfx/soft/soft.h"

namespace {

class OnDevice : public AssetsTest {
 protected:
  void SetUp() override {
    AssetsTest::SetUp();
    sys_lib_provide("d3d9.dll", soft_d3d9_proc);
    soft_hooks_reset();
    live_ = soft_live_objects();
    ASSERT_EQ(gfx_init(nullptr, 0), 1);
  }
  void TearDown() override {
    gfx_shutdown();  // releases the assets' device objects too
    AssetsTest::TearDown();
    soft_hooks_reset();
    EXPECT_EQ(soft_live_objects(), live_) << "device objects left behind";
  }

  // Pixels of one mip level, top row first.
  static std::vector<uint32_t> level(IDirect3DTexture9* t, int lv, int* w, int* h) {
    D3DSURFACE_DESC d;
    EXPECT_EQ(t->GetLevelDesc((UINT)lv, &d), D3D_OK);
    *w = (int)d.Width;
    *h = (int)d.Height;
    std::vector<uint32_t> px;
    D3DLOCKED_RECT lr;
    if (t->LockRect((UINT)lv, &lr, nullptr, D3DLOCK_READONLY) != D3D_OK) return px;
    for (int y = 0; y < *h; y++) {
      const uint32_t* row = (const uint32_t*)((const uint8_t*)lr.pBits + (size_t)y * lr.Pitch);
      px.insert(px.end(), row, row + *w);
    }
    t->UnlockRect((UINT)lv);
    return px;
  }
  int live_ = 0;
};

TEST_F(OnDevice, GeneratedTexturesCarryTheirBoxFilteredMipChain) {
  int before = g_d3dCalls;
  Texture* grass = tex_procedural("grass");
  EXPECT_EQ(g_d3dCalls - before, 1);  // one CreateTexture
  ASSERT_NE(grass->tex, nullptr);
  ASSERT_EQ(grass->tex->GetLevelCount(), 6u);  // 64 down to 2

  std::vector<uint32_t> expect(64 * 64);
  tex_gen_fill("grass", expect.data(), 64, 64);
  int w, h;
  for (int lv = 0; lv < 6; lv++) {
    std::vector<uint32_t> got = level(grass->tex, lv, &w, &h);
    EXPECT_EQ(w, 64 >> lv);
    EXPECT_EQ(h, 64 >> lv);
    EXPECT_EQ(got, expect) << "level " << lv;
    std::vector<uint32_t> next((size_t)(w / 2) * (h / 2));
    if (w > 1) tex_mip_down(expect.data(), w, h, next.data());
    expect = next;
  }
}

TEST_F(OnDevice, LevelCountsByNameAndSize) {
  EXPECT_EQ(tex_procedural("kerb")->tex->GetLevelCount(), 5u);
  EXPECT_EQ(tex_procedural("windows")->tex->GetLevelCount(), 6u);
  EXPECT_EQ(tex_procedural("font")->tex->GetLevelCount(), 1u);
  EXPECT_EQ(tex_procedural("white")->tex->GetLevelCount(), 1u);
  EXPECT_EQ(tex_procedural("bg_day")->tex->GetLevelCount(), 1u);
  EXPECT_EQ(tex_procedural("bg_night")->tex->GetLevelCount(), 1u);

  mkdirs("data/ui");
  spit("data/ui/Title.BMP", bmp_data("rgb24_5x3.bmp"));
  spit("data/ui/other.bmp", bmp_data("rgb24_5x3.bmp"));
  Texture* title = tex_get("Title.BMP");  // the rule ignores case
  EXPECT_EQ(title->generated, 0);
  EXPECT_EQ(title->tex->GetLevelCount(), 1u);
  Texture* other = tex_get("other.bmp");
  EXPECT_EQ(other->tex->GetLevelCount(), 2u);  // 5 x 3, then 2 x 1

  // The file's pixels reach the device as decoded, see-through key included.
  int w, h;
  std::vector<uint32_t> px = level(other->tex, 0, &w, &h);
  ASSERT_EQ(w, 5);
  EXPECT_EQ(px[0], 0xFFFF0000u);
  EXPECT_EQ(px[3], 0x00000000u);
  EXPECT_EQ(px[14], 0x00000000u);
  EXPECT_EQ(level(other->tex, 1, &w, &h).size(), 2u);
}

TEST_F(OnDevice, ModelsAreUploadedAndEverythingIsReleased) {
  Model* car = model_get("car");
  ASSERT_NE(car->gpu.vb, nullptr);
  ASSERT_NE(car->gpu.ib, nullptr);
  EXPECT_EQ(car->gpu.nverts, car->mesh.nverts);
  EXPECT_EQ(car->gpu.nindices, car->mesh.nindices);
  EXPECT_NE(car->mesh.verts, nullptr);  // the CPU copy stays for the track builder
  Texture* noise = car->tex;
  ASSERT_NE(noise->tex, nullptr);

  // An empty model file uploads nothing and is still a model.
  mkdirs("data/models");
  std::string empty = "SKM1";
  empty.resize(16, 0);
  spit("data/models/nothing.skm", empty);
  Model* nothing = model_get("nothing");
  EXPECT_EQ(nothing->generated, 0);
  EXPECT_EQ(nothing->gpu.vb, nullptr);

  int verts = car->mesh.nverts;
  assets_release_gpu();
  EXPECT_EQ(car->gpu.vb, nullptr);
  EXPECT_EQ(car->gpu.nindices, 0);
  for (Texture* t = g_textures; t; t = t->next) EXPECT_EQ(t->tex, nullptr) << t->name;
  EXPECT_EQ(car->mesh.nverts, verts);  // records and meshes stay
  EXPECT_EQ(model_get("car"), car);
}

}  // namespace
