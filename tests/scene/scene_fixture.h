// Frames of the game drawn on the software device, and ways to look for
// what must be in them: text in the font's glyphs, exact colours, counts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/assets_internal.h"
#include "game/game.h"
#include "gfx/gfx_internal.h"
#include "gfx/soft/soft.h"
#include "main/main.h"
#include "scene/scene.h"
#include "test_util.h"
#include "track/track.h"

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_open("skidline.log");
    sys_lib_provide("d3d9.dll", soft_d3d9_proc);
    sys_lib_block("d3d9.dll", 0);
    soft_hooks_reset();
    memset(&g_opt, 0, sizeof g_opt);
    g_opt.race = -1;
    g_set = Settings{0, 0, 1, 3, 0, 1, 0, 2};
    g_quit = 0;
    g_shotDone = 0;
    live_ = soft_live_objects();
  }
  void TearDown() override {
    stop();
    EXPECT_EQ(soft_live_objects(), live_) << "device objects left behind";
  }
  void start() {
    ASSERT_TRUE(gfx_init(nullptr, 0));
    assets_init();
    started_ = true;
  }
  void stop() {
    if (!started_) return;
    track_free();
    g_loadedTrack = -1;
    gfx_shutdown();
    assets_forget_all();
    started_ = false;
  }
  // A race (or attract race) on circuit t, in state `state` at `stateTime`.
  void race(int t, int state, float stateTime = 0.0f, int attract = 0) {
    if (!started_) start();
    setup_race(t, attract);
    sim_cars(0, 1.0f / 60.0f);  // places from the grid, cars held
    g_state = state, g_stateTime = stateTime, g_sel = 0;
  }
  // One whole frame; the low-resolution picture as it was before presentation.
  std::vector<uint32_t> frame() {
    calls_ = g_d3dCalls;
    soft_hooks_reset_counters();
    game_render();
    calls_ = g_d3dCalls - calls_;
    draws_ = g_softHooks.draws, tris_ = g_softHooks.triangles;
    idraws_ = g_softHooks.calls[SC_DrawIndexedPrimitiveUP];
    std::vector<uint32_t> px((size_t)g_lowW * g_lowH);
    IDirect3DSurface9* copy = nullptr;
    D3DLOCKED_RECT lr;
    g_dev->CreateOffscreenPlainSurface((UINT)g_lowW, (UINT)g_lowH, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy,
                                       nullptr);
    g_dev->GetRenderTargetData(g_rtSurf, copy);
    copy->LockRect(&lr, nullptr, D3DLOCK_READONLY);
    for (int y = 0; y < g_lowH; y++)
      for (int x = 0; x < g_lowW; x++)
        px[(size_t)y * g_lowW + x] = ((const uint32_t*)((const uint8_t*)lr.pBits + (size_t)y * lr.Pitch))[x] & 0xFFFFFFu;
    copy->UnlockRect();
    copy->Release();
    gfx_end_low_and_present();
    return px;
  }
  uint32_t at(const std::vector<uint32_t>& px, int x, int y) const { return px[(size_t)y * g_lowW + x]; }

  // Every pixel of the glyphs of `text` at (x, y) (frame pixels, whole
  // scale) in `colour`; "" when so, else the first mismatch.
  std::string text_at(const std::vector<uint32_t>& px, int x, int y, int scale, uint32_t colour,
                      const std::string& text) const {
    std::vector<uint32_t> font(128 * 64);
    tex_gen_fill("font", font.data(), 128, 64);
    int glyphPixels = 0;
    for (int gy = 0; gy < 8 * scale; gy++)
      for (int gx = 0; gx < 6 * scale * (int)text.size(); gx++) {
        int ch = (unsigned char)text[gx / (6 * scale)], cx = gx % (6 * scale) / scale, cy = gy / scale;
        if (ch == ' ' || !font[(size_t)((ch - 32) / 16 * 8 + cy) * 128 + (ch - 32) % 16 * 8 + cx]) continue;
        glyphPixels++;
        int fx = x + gx, fy = y + gy;
        if (fx < 0 || fy < 0 || fx >= g_lowW || fy >= g_lowH) return "off the frame";
        if (at(px, fx, fy) != (colour & 0xFFFFFFu)) {
          char buf[96];
          snprintf(buf, sizeof buf, "%06X at %d,%d", at(px, fx, fy), fx, fy);
          return "'" + text + "': " + buf;
        }
      }
    return glyphPixels ? "" : "no glyphs";
  }
  // Centred text as ui_text_center places it.
  std::string text_centred(const std::vector<uint32_t>& px, float cx, int y, int scale, uint32_t colour,
                           const std::string& text) const {
    return text_at(px, (int)f_floor(cx - 3.0f * scale * (float)text.size()), y, scale, colour, text);
  }

  TempDir dir_;
  int live_ = 0, calls_ = 0, draws_ = 0, tris_ = 0, idraws_ = 0;
  bool started_ = false;
};
