// Frames of the game on the software device, and what to look for in them:
// text in the font's glyphs, exact colours, device work per frame.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/assets_internal.h"
#include "game/game.h"
#include "gfx/gfx_internal.h"
#include "soft/soft.h"
#include "main/main.h"
#include "scene/scene.h"
#include "test_util.h"
#include "track/track.h"

using Pixels = std::vector<uint32_t>;

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_open("skidline.log");
    sys_lib_provide("d3d9.dll", soft_d3d9_proc);
    memset(&g_opt, 0, sizeof g_opt);
    g_set = Settings{0, 0, 1, 3, 0, 1, 0, 2};
    g_quit = g_shotDone = 0;
    live_ = soft_live_objects();
  }
  void TearDown() override {
    if (g_dev) track_free(), g_loadedTrack = -1, gfx_shutdown(), assets_forget_all();
    EXPECT_EQ(soft_live_objects(), live_) << "device objects left behind";
  }
  // A race (or attract race) on circuit t with places from the grid, in `state`.
  void race(int t, int state, float stateTime = 0, int attract = 0) {
    if (!g_dev) gfx_init(nullptr, 0), assets_init();
    setup_race(t, attract);
    sim_cars(0, 1.0f / 60);
    g_state = state, g_stateTime = stateTime, g_sel = 0;
  }
  // One frame; the picture as it was before presentation.
  Pixels frame() {
    int calls = g_d3dCalls;
    soft_hooks_reset_counters();
    game_render();
    calls_ = g_d3dCalls - calls, draws_ = g_softHooks.draws, tris_ = g_softHooks.triangles;
    idraws_ = g_softHooks.calls[SC_DrawIndexedPrimitiveUP];
    Pixels px((size_t)g_lowW * g_lowH);
    EXPECT_TRUE(gfx_read_low(px.data()));
    gfx_end_low_and_present();
    return px;
  }
  uint32_t at(const Pixels& px, int x, int y) const { return px[(size_t)y * g_lowW + x]; }
  // "" when every glyph pixel of `text` (left edge x, or centred on x) is `colour`.
  std::string text(const Pixels& px, float x, int y, int scale, uint32_t colour, const std::string& s,
                   bool centred = false) const {
    std::vector<uint32_t> font(128 * 64);
    tex_gen_fill("font", font.data(), 128, 64);
    int x0 = centred ? (int)f_floor(x - 3.0f * scale * s.size()) : (int)x, n = 0;
    for (int gy = 0; gy < 8 * scale; gy++)
      for (int gx = 0; gx < 6 * scale * (int)s.size(); gx++) {
        int ch = (unsigned char)s[gx / (6 * scale)] - 32, cx = gx % (6 * scale) / scale;
        if (!font[(ch / 16 * 8 + gy / scale) * 128 + ch % 16 * 8 + cx]) continue;
        n++;
        if (x0 + gx >= g_lowW || at(px, x0 + gx, y + gy) != (colour & 0xFFFFFF))
          return s + " differs at " + std::to_string(x0 + gx) + "," + std::to_string(y + gy);
      }
    return n ? "" : "no glyphs";
  }
  // Lets the look-over height settle and moves the other cars aside, so that frames in a row see one view.
  void steady_camera() {
    for (int i = 1; i < 4; i++) g_cars[i].x += 60;
    for (int i = 0; i < 600; i++) camera_place();
    g_camInit = 0;
  }

  TempDir dir_;
  int live_ = 0, calls_ = 0, draws_ = 0, tris_ = 0, idraws_ = 0;
};
