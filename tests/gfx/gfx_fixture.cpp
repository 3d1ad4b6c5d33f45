#include "gfx_fixture.h"

#include "assets/assets_internal.h"
#include "main/main.h"

void use_soft_device() { sys_lib_provide("d3d9.dll", soft_d3d9_proc); }

void GfxTest::SetUp() {
  dir_.reset(new TempDir);
  log_open("skidline.log");
  use_soft_device();
  sys_lib_block("d3d9.dll", 0);
  soft_hooks_reset();
  memset(&g_opt, 0, sizeof g_opt);
  live_ = soft_live_objects();
}

bool GfxTest::start(int fullscreen) {
  if (!gfx_init(nullptr, fullscreen)) return false;
  assets_init();
  return true;
}

void GfxTest::stop() {
  gfx_shutdown();
  assets_forget_all();  // the records of this device's textures are gone with it
}

void GfxTest::TearDown() {
  soft_hooks_reset();
  stop();
  EXPECT_EQ(soft_live_objects(), live_) << "device objects left behind";
  use_soft_device();
  dir_.reset();
}

int GfxTest::log_count(const std::string& text) const {
  std::string s = log();
  int n = 0;
  for (size_t at = s.find(text); at != std::string::npos; at = s.find(text, at + 1)) n++;
  return n;
}

std::vector<uint32_t> GfxTest::read_target(IDirect3DSurface9* surf, int w, int h) {
  std::vector<uint32_t> px((size_t)w * h, 0xDEADBEEFu);
  IDirect3DSurface9* copy = nullptr;
  if (g_dev->CreateOffscreenPlainSurface((UINT)w, (UINT)h, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr) < 0) {
    ADD_FAILURE() << "no copy surface";
    return px;
  }
  D3DLOCKED_RECT lr;
  if (g_dev->GetRenderTargetData(surf, copy) >= 0 && copy->LockRect(&lr, nullptr, D3DLOCK_READONLY) >= 0) {
    for (int y = 0; y < h; y++) {
      const uint32_t* row = (const uint32_t*)((const uint8_t*)lr.pBits + (size_t)y * lr.Pitch);
      for (int x = 0; x < w; x++) px[(size_t)y * w + x] = row[x] & 0xFFFFFFu;
    }
    copy->UnlockRect();
  } else {
    ADD_FAILURE() << "target not read";
  }
  copy->Release();
  return px;
}
