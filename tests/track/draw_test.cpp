// Drawing the loaded track: the background ring, the layers, the glow pass
// and the minimap.
#include <cmath>

#include "ui/ui_internal.h"
#include "track/track_internal.h"
#include "track_test_util.h"

namespace {

using Draw = TrackTest;

template <typename F>
int draws(F f) {
  int before = g_softHooks.draws;
  return f(), g_softHooks.draws - before;
}

TEST_F(Draw, SkyStripRisesByTheRepeatCount) {
  struct { const char* line; int night; float top, bottom, repeats; uint32_t colour; } cases[] = {
      {"skystrip s.bmp 6", 0, 10 + 145.59f, 10 - 4, 6, 0xFFFFFFFFu},
      {"skystrip s.bmp 4", 0, 10 + 230.94f, 10 - 4, 4, 0xFFFFFFFFu},
      {"skystrip s.bmp", 0, 10 + 335.64f, 10 - 4, 3, 0xFFFFFFFFu},
      {"background b.bmp", 0, 72, -6, 2, 0xFFFFFFFFu},
      {"background b.bmp", 1, 72, -6, 2, 0xFFC0C0D0u},
  };
  for (auto& c : cases) {
    std::string text = circle_text(300, 8, std::string(c.line) + "\nnight " + std::to_string(c.night) + "\n");
    ASSERT_EQ(track_load_text(text.c_str(), 0), 1);
    gfx_begin_low(0);
    EXPECT_EQ(draws([] { track_draw_background(5, 10, -7); }), 1) << c.line;
    gfx_end_low_and_present();
    float top = -1e9f, bottom = 1e9f, umax = 0;
    for (const RingVertex& v : g_trackRing) {
      top = fmaxf(top, v.y), bottom = fminf(bottom, v.y), umax = fmaxf(umax, v.u);
      ASSERT_TRUE(f_abs(hypotf(v.x - 5, v.z + 7) - 400) < 0.01f && v.colour == c.colour);
    }
    EXPECT_TRUE(f_abs(top - c.top) < 0.05f && bottom == c.bottom && f_abs(umax - c.repeats) < 1e-5f) << c.line << " " << top;
  }
  // One picture all round would reach past straight up; it stops short of it.
  ASSERT_EQ(track_load_text(circle_text(300, 8, "skystrip s.bmp 1\n").c_str(), 0), 1);
  track_draw_background(0, 0, 0);
  EXPECT_TRUE(g_trackRing[0].y > 400 && g_trackRing[2].y == -4.0f);
}

TEST_F(Draw, LayersDrawEveryChunkAndGlowOnlyWhatWasPlaced) {
  ASSERT_EQ(track_load(1), 1);
  gfx_begin_low(0);
  EXPECT_EQ(draws(track_draw), batch_draw_calls(&g_track.batches));
  EXPECT_EQ(draws(track_draw_glow), 0);
  gfx_end_low_and_present();
}

TEST_F(Draw, MinimapKeepsTheShapeCentred) {
  ASSERT_EQ(track_load_text(circle_text(300).c_str(), 0), 1);
  // A 300 x 150 outline into a 60 x 60 box: scale 0.2, 15 pixels free above and below.
  const float corners[7][2] = {{0, 150}, {150, 150}, {300, 150}, {300, 75}, {300, 0}, {150, 0}, {0, 0}};
  g_track.sampleCount = 7;
  for (int i = 0; i < 7; i++) g_track.samples[i].x = corners[i][0], g_track.samples[i].z = corners[i][1];
  g_track.minX = 0, g_track.maxX = 300, g_track.minZ = 0, g_track.maxZ = 150;
  for (int sparse = 0; sparse < 2; sparse++) {
    ui_begin();
    g_uiN = 0;
    track_minimap(10, 20, 60, 60, 0xFF00FF00u, sparse);
    ASSERT_EQ(g_uiN, sparse ? 3 * 6 : 7 * 6);
    for (int r = 0; r * 6 < g_uiN; r++) {
      int i = sparse ? r * 3 : r;
      const UiVertex& v = g_ui[r * 6];  // top-left corner, half a pixel up and left
      EXPECT_TRUE(v.x + 0.5f == floorf(10 + corners[i][0] * 0.2f) && v.y + 0.5f == floorf(20 + 15 + (150 - corners[i][1]) * 0.2f)) << i;
    }
    g_uiN = 0;
  }
  g_track.sampleCount = 0;
  ui_begin();
  track_minimap(0, 0, 60, 60, 0xFFFFFFFFu, 0);
  EXPECT_EQ(g_uiN, 0);
}

}  // namespace
