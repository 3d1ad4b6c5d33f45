// Every game state's screen: texts, boxes and menus where the layout puts
// them, the HUD's clocks, dots and right-hand edge, the setup screen's car
// preview, and the automatic screenshot.
#include "scene_fixture.h"

namespace {

const uint32_t W = 0xFFFFFFFF, GOLD = 0xFFFFD040, DIM = 0xFFB0B8C8, GREY = 0xFFD0D0D0;

struct Text { float x; int y, scale; uint32_t colour; const char* s; bool centred, shown; };

TEST_F(SceneTest, EachStateShowsItsTextsWhereTheLayoutPutsThem) {
  const struct { int state; float stateTime, raceTime; std::vector<Text> texts; } screens[] = {
      {0, 0, 0, {{160, 20, 4, GOLD, "SKIDLINE", 1, 1}, {160, 136, 1, W, "RACE", 1, 1}, {160, 152, 1, DIM, "OPTIONS", 1, 1},
                 {8, 32, 1, W, "LAP 1/3", 0, 0}}},
      {2, 0, 0, {{160, 104, 1, GOLD, "OPTIONS", 1, 1}, {68, 120, 1, W, "DISPLAY", 0, 1}, {140, 120, 1, GOLD, "<", 0, 1},
                 {246, 120, 1, GOLD, ">", 0, 1}, {196, 120, 1, 0xFFFFE080, "WINDOW", 1, 1},
                 {140, 136, 1, 0xFF607080, "<", 0, 1}, {196, 136, 1, 0xFFD0D8E0, "NEAR", 1, 1}}},
      {3, 0, 0, {{160, 68, 6, W, "3", 1, 1}, {8, 6, 3, 0xFFFFE040, "1ST", 0, 1}, {62, 18, 1, W, "/4", 0, 1},
                 {8, 32, 1, W, "LAP 1/3", 0, 1}, {270, 6, 1, W, "0:00.00", 0, 1}, {246, 16, 1, GREY, "LAP 0:00.00", 0, 1},
                 {274, 216, 2, W, "0", 0, 1}, {290, 224, 1, GREY, "KM/H", 0, 1}, {160, 72, 5, 0xFF60FF60, "GO!", 1, 0}}},
      {3, 2.0f, 0, {{160, 68, 6, 0xFFFFE040, "1", 1, 1}}},
      {4, 0.5f, 0.5f, {{160, 72, 5, 0xFF60FF60, "GO!", 1, 1}, {270, 6, 1, W, "0:00.50", 0, 1}}},
      {4, 1.3f, 1.3f, {{160, 72, 5, 0xFF60FF60, "GO!", 1, 0}}},
      {5, 0, 0.5f, {{160, 88, 2, GOLD, "PAUSED", 1, 1}, {160, 112, 1, W, "RESUME", 1, 1},
                    {160, 144, 1, DIM, "QUIT TO MENU", 1, 1}, {8, 32, 1, W, "LAP 1/3", 0, 1}}},
      {6, 0.5f, 0, {{160, 28, 2, GOLD, "RESULTS", 1, 1}, {60, 62, 1, W, "1ST", 0, 1}, {102, 62, 1, W, "YOU", 0, 1},
                    {60, 110, 1, W, "4TH", 0, 1}, {160, 176, 1, W, "RETRY", 1, 0}}},
      {6, 0.9f, 0, {{160, 176, 1, W, "RETRY", 1, 1}, {160, 190, 1, DIM, "NEXT TRACK", 1, 1}}},
      {1, 0, 0, {{160, 6, 2, GOLD, "RACE SETUP", 1, 1}, {58, 150, 1, W, "TRACK", 0, 1},
                 {160, 126, 1, 0xFF90A0B0, "BALANCED", 1, 1}}},
  };
  for (auto& s : screens) {
    race(0, s.state, s.stateTime);
    g_raceTime = s.raceTime;
    Pixels px = frame();
    for (const Text& t : s.texts)
      EXPECT_EQ(text(px, t.x, t.y, t.scale, t.colour, t.s, t.centred) == "", t.shown) << s.state << " " << t.s;
    // Box lines in gold along the top and bottom; the highlighted row's 13-pixel marker.
    const int box[7][2] = {{126, 187}, {}, {98, 205}, {}, {}, {82, 165}, {20, 233}};
    EXPECT_TRUE(!box[s.state][0] || at(px, 160, box[s.state][0]) + at(px, 160, box[s.state][1]) == 2 * 0xFFD040u);
    EXPECT_TRUE(s.state || (at(px, 100, 133) == 0xFFD040 && at(px, 101, 145) == 0xFFD040 && at(px, 100, 146) == at(px, 99, 146)));
  }
  // An unfinished car's time is a grey estimate with a leading "~", right-aligned to 256.
  race(0, 6);
  char t[32];
  time_text(t + 1, sizeof t - 1, results_time(0)), t[0] = '~';
  EXPECT_EQ(text(frame(), 256 - 6 * strlen(t), 62, 1, 0xFF909090, t), "");
  // With the HUD off (settings or command line) the pause box is all there is.
  for (int off : {0, 1}) {  // HUD off in the settings, or on but not on the command line
    g_set.hud = off, g_opt.nohud = off;
    race(0, 5);
    Pixels px = frame();
    EXPECT_NE(text(px, 8, 32, 1, W, "LAP 1/3"), "");
    EXPECT_EQ(text(px, 160, 88, 2, GOLD, "PAUSED", true), "");
  }
}

TEST_F(SceneTest, AWiderFrameMovesTheHudToItsEdgesAndKeepsMenusCentred) {
  g_opt.resW = 1280, g_opt.resH = 720;
  race(0, 3);
  ASSERT_EQ(g_lowW, 426);
  Pixels px = frame();
  EXPECT_EQ(text(px, 396, 224, 1, GREY, "KM/H") + text(px, 376, 6, 1, W, "0:00.00") + text(px, 213, 68, 6, W, "3", 1),
            "");
  g_state = 0;
  px = frame();
  EXPECT_EQ(text(px, 213, 136, 1, W, "RACE", 1) + (at(px, 153, 139) == 0xFFD040 ? "" : "marker"), "");
}

TEST_F(SceneTest, MinimapDotsSitOnTheCarsPositions) {
  race(0, 4, 5.0f);
  const Sample& half = g_track.samples[g_track.sampleCount / 2];
  g_cars[2].x = half.x, g_cars[2].z = half.z;  // a dot of its own
  Pixels px = frame();
  float spanX = g_track.maxX - g_track.minX, spanZ = g_track.maxZ - g_track.minZ;
  float s = std::min(54 / spanX, 54 / spanZ);
  for (int i : {0, 2}) {
    const Car& c = g_cars[i];
    int x = (int)f_floor(8 + (54 - spanX * s) * 0.5f + (c.x - g_track.minX) * s);
    int y = (int)f_floor(178 + (54 - spanZ * s) * 0.5f + (g_track.maxZ - c.z) * s);
    uint32_t body = livery_colour(c.shape, c.livery) & 0xFFFFFF, ring = i ? 0 : 0xFFFFFF;
    EXPECT_EQ(std::vector<uint32_t>({at(px, x, y), at(px, x + 1, y + 1), at(px, x - 1, y - 1), at(px, x + 2, y + 2)}),
              std::vector<uint32_t>({body, body, ring, ring}))
        << "car " << i;
  }
}

TEST_F(SceneTest, SetupShowsTheTrackAndTheTurningCarInsideItsSquare) {
  race(0, 1, 0.0f, 1);
  Pixels px = frame();
  EXPECT_EQ(text(px, 160, 40, 1, W, g_track.name, true), "");
  // The preview's black frame stays whole round the square the car turns in.
  int frameKept = 0, car = 0, thumb = 0;
  for (int y = 36; y < 132; y++) {
    for (int x : {202, 203, 300, 301}) frameKept += at(px, x, y) == 0;
    for (int x = 204; x < 300; x++) car += at(px, x, y) != 0x283040;
    for (int x = 24; x < 112; x++) thumb += y >= 40 && y < 128 && at(px, x, y) == 0xFFFFFF;
  }
  EXPECT_TRUE(frameKept == 4 * 96 && car > 300 && car < 96 * 96 - 1000) << frameKept << " " << car;
  EXPECT_GT(thumb, 40) << "no thumbnail picture: a larger minimap in its frame";
}

TEST_F(SceneTest, TheScreenshotIsTakenOnceWhenItsTimeComes) {
  g_opt.shot = 1, g_opt.shotTime = 0.5f, g_opt.exitAfterShot = 1;
  strcpy(g_opt.out, "shot.bmp");
  race(0, 4);
  for (float t : {0.4f, 0.5f, 9.0f}) {
    g_sceneTime = t;
    frame();
    EXPECT_TRUE(slurp("shot.bmp").size() == (t == 0.5f ? 54u + 640 * 480 * 3 : 9) && g_quit == (t >= 0.5f)) << t;  // 9: "<missing>"
    remove("shot.bmp");
  }
}

}  // namespace
