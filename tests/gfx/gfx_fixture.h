// Shared set-up for the graphics tests: a temporary folder holding the log,
// the software device registered as "d3d9.dll", default options, and helpers
// to bring the device up and read pictures back. After every test the device
// is shut down and checked: no object left behind, and every call the layer
// made on the device counted in g_d3dCalls.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/assets_internal.h"
#include "gfx/gfx_internal.h"
#include "soft/soft.h"
#include "rt/shell.h"
#include "test_util.h"
#include "ui/ui_internal.h"

// Device calls and draw calls made by f.
template <typename F>
int calls(F f) {
  int before = g_d3dCalls;
  return f(), g_d3dCalls - before;
}
template <typename F>
int draws(F f) {
  int before = g_softHooks.draws;
  return f(), g_softHooks.draws - before;
}

class GfxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_open("skidline.log");
    sys_lib_provide("d3d9.dll", soft_d3d9_proc);
    sys_lib_block("d3d9.dll", 0);
    soft_hooks_reset();
    memset(&g_opt, 0, sizeof g_opt);
    live_ = soft_live_objects();
    counted_ = g_d3dCalls;
  }
  void TearDown() override {
    hooks_reset();
    stop();
    EXPECT_EQ(g_d3dCalls - counted_, g_softHooks.deviceCalls) << "device calls not counted";
    EXPECT_EQ(soft_live_objects(), live_) << "device objects left behind";
  }
  // Failure switches and per-method counters back to 0; the running total of device calls stays.
  void hooks_reset() {
    int total = g_softHooks.deviceCalls;
    soft_hooks_reset(), g_softHooks.deviceCalls = total;
  }
  // gfx_init on a headless window, then the assets' "white" and "font".
  bool start(int fullscreen = 0) {
    if (!gfx_init(nullptr, fullscreen)) return false;
    assets_init();
    return true;
  }
  void stop() {
    gfx_shutdown();
    assets_forget_all();  // the records of this device's textures are gone with it
  }
  std::string log() const { return slurp("skidline.log"); }
  bool logged(const std::string& lines) const { return log().find(lines + "\r\n") != std::string::npos; }

  // Pixels of a render target (X8R8G8B8, alpha bits cleared), row after row.
  std::vector<uint32_t> read_target(IDirect3DSurface9* surf, int w, int h) {
    std::vector<uint32_t> px((size_t)w * h, 0xDEADBEEFu);
    IDirect3DSurface9* copy = nullptr;
    D3DLOCKED_RECT lr;
    if (dev()->CreateOffscreenPlainSurface((UINT)w, (UINT)h, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr) < 0 ||
        dev()->GetRenderTargetData(surf, copy) < 0 || copy->LockRect(&lr, nullptr, D3DLOCK_READONLY) < 0) {
      ADD_FAILURE() << "target not read";
    } else {
      for (int y = 0; y < h; y++) {
        const uint32_t* row = (const uint32_t*)((const uint8_t*)lr.pBits + (size_t)y * lr.Pitch);
        for (int x = 0; x < w; x++) px[(size_t)y * w + x] = row[x] & 0xFFFFFFu;
      }
      copy->UnlockRect();
    }
    if (copy) copy->Release();
    return px;
  }
  // A render state as the device has it.
  uint32_t device_rs(D3DRENDERSTATETYPE s) {
    DWORD v = 0xDEADBEEF;
    dev()->GetRenderState(s, &v);
    return v;
  }
  // Every value the state cache holds as sent, read back from the device:
  // empty when they all agree, else the first few that do not.
  std::string cache_vs_device() {
    std::string bad;
    DWORD v;
    auto check = [&](const char* what, int i, int j, HRESULT hr, uint32_t want) {
      if ((hr < 0 || v != want) && bad.size() < 200)
        bad += std::string(what) + "[" + std::to_string(i) + "][" + std::to_string(j) + "] ";
    };
    for (int s = 0; s < RS_CACHED; s++)
      if (g_rsOk[s]) check("rs", s, 0, dev()->GetRenderState((D3DRENDERSTATETYPE)s, &v), g_rsVal[s]);
    for (int st = 0; st < TSS_STAGES; st++)
      for (int t = 0; t < TSS_TYPES; t++)
        if (g_tssOk[st][t])
          check("tss", st, t, dev()->GetTextureStageState(st, (D3DTEXTURESTAGESTATETYPE)t, &v), g_tssVal[st][t]);
    for (int sm = 0; sm < SAMP_UNITS; sm++)
      for (int t = 0; t < SAMP_TYPES; t++)
        if (g_sampOk[sm][t])
          check("samp", sm, t, dev()->GetSamplerState(sm, (D3DSAMPLERSTATETYPE)t, &v), g_sampVal[sm][t]);
    if (g_fvfOk) check("fvf", 0, 0, dev()->GetFVF(&v), g_fvf);
    return bad;
  }
  std::vector<uint32_t> read_low() {
    ui_flush();
    return read_target(g_rtSurf, g_lowW, g_lowH);
  }
  TempDir dir_;
  int live_ = 0, counted_ = 0;
};

// A started device with a frame begun and the 2D states set.
class GfxFrameTest : public GfxTest {
 protected:
  void SetUp() override {
    GfxTest::SetUp();
    ASSERT_TRUE(start());
    gfx_begin_low(0xFF000000u);
    ui_begin();
  }
};
