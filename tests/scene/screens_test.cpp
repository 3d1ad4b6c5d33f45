// Whole frames of every game state on the software device: the texts, boxes
// and menus where the layout puts them, the HUD's dots and the setup
// screen's car preview, and the automatic screenshot.
#include "scene_fixture.h"

namespace {

struct Text {
  float x;  // left edge, or the centre when centred
  int y, scale;
  uint32_t colour;
  const char* text;
  bool centred;
};

struct Screen {
  const char* name;
  int state;
  float stateTime, raceTime;
  std::vector<Text> texts;
  std::vector<Text> absent;  // texts that must not be there
};

TEST_F(SceneTest, EachStateShowsItsTextsWhereTheLayoutPutsThem) {
  const uint32_t W = 0xFFFFFFFFu, GOLD = 0xFFFFD040u, DIM = 0xFFB0B8C8u;
  const Screen screens[] = {
      {"title", 0, 0, 0,
       {{160, 20, 4, GOLD, "SKIDLINE", true}, {160, 136, 1, W, "RACE", true}, {160, 152, 1, DIM, "OPTIONS", true},
        {160, 168, 1, DIM, "QUIT", true}},
       {{8, 32, 1, W, "LAP 1/3", false}}},
      {"options", 2, 0, 0,
       {{160, 104, 1, GOLD, "OPTIONS", true}, {68, 120, 1, W, "DISPLAY", false}, {140, 120, 1, GOLD, "<", false},
        {246, 120, 1, GOLD, ">", false}, {196, 120, 1, 0xFFFFE080u, "WINDOW", true},
        {68, 136, 1, DIM, "CAMERA", false}, {140, 136, 1, 0xFF607080u, "<", false},
        {196, 136, 1, 0xFFD0D8E0u, "NEAR", true}, {160, 184, 1, DIM, "BACK", true}},
       {}},
      {"countdown", 3, 0, 0,
       {{160, 68, 6, W, "3", true}, {8, 6, 3, 0xFFFFE040u, "1ST", false}, {62, 18, 1, W, "/4", false},
        {8, 32, 1, W, "LAP 1/3", false}, {270, 6, 1, W, "0:00.00", false},
        {246, 16, 1, 0xFFD0D0D0u, "LAP 0:00.00", false}, {274, 216, 2, W, "0", false},
        {290, 224, 1, 0xFFD0D0D0u, "KM/H", false}},
       {{160, 72, 5, 0xFF60FF60u, "GO!", true}}},
      {"countdown 2", 3, 1.0f, 0, {{160, 68, 6, W, "2", true}}, {}},
      {"race", 4, 0.5f, 0.5f,
       {{160, 72, 5, 0xFF60FF60u, "GO!", true}, {270, 6, 1, W, "0:00.50", false}, {8, 32, 1, W, "LAP 1/3", false}},
       {{160, 68, 6, W, "3", true}}},
      {"race after GO", 4, 1.3f, 1.3f, {}, {{160, 72, 5, 0xFF60FF60u, "GO!", true}}},
      {"paused", 5, 0, 0.5f,
       {{160, 88, 2, GOLD, "PAUSED", true}, {160, 112, 1, W, "RESUME", true},
        {160, 128, 1, DIM, "RESTART", true}, {160, 144, 1, DIM, "QUIT TO MENU", true},
        {8, 32, 1, W, "LAP 1/3", false}},
       {}},
      {"results", 6, 0.5f, 0,
       {{160, 28, 2, GOLD, "RESULTS", true}, {60, 62, 1, W, "1ST", false}, {102, 62, 1, W, "YOU", false},
        {60, 110, 1, W, "4TH", false}},
       {{160, 176, 1, W, "RETRY", true}}},
      {"results menu", 6, 0.9f, 0, {{160, 176, 1, W, "RETRY", true}, {160, 190, 1, DIM, "NEXT TRACK", true}}, {}},
  };
  for (const Screen& s : screens) {
    race(0, s.state, s.stateTime);
    g_raceTime = s.raceTime;
    std::vector<uint32_t> px = frame();
    for (const Text& t : s.texts) {
      std::string r = t.centred ? text_centred(px, t.x, t.y, t.scale, t.colour, t.text)
                                : text_at(px, (int)t.x, t.y, t.scale, t.colour, t.text);
      EXPECT_EQ(r, "") << s.name;
    }
    for (const Text& t : s.absent) {
      std::string r = t.centred ? text_centred(px, t.x, t.y, t.scale, t.colour, t.text)
                                : text_at(px, (int)t.x, t.y, t.scale, t.colour, t.text);
      EXPECT_NE(r, "") << s.name << ": " << t.text << " should not be drawn";
    }
    // Every box has gold lines along its top and bottom; a highlighted row its gold marker.
    if (s.state == 0) {
      for (int x : {90, 160, 229}) {
        EXPECT_EQ(at(px, x, 126) + at(px, x, 187), 2 * 0xFFD040u) << x;
      }
      for (int y : {133, 139, 145}) {
        EXPECT_EQ(at(px, 100, y) + at(px, 101, y), 2 * 0xFFD040u) << y;
      }
      EXPECT_NE(at(px, 100, 146), 0xFFD040u) << "the marker is 13 pixels high";
    }
    if (s.state == 5) {
      EXPECT_EQ(at(px, 90, 82) + at(px, 229, 165), 2 * 0xFFD040u);
    }
    if (s.state == 6) {
      EXPECT_EQ(at(px, 40, 20) + at(px, 279, 233), 2 * 0xFFD040u);
    }
  }

  // An unfinished car's time is a grey estimate with a leading "~", right-aligned to 256.
  race(0, 6, 0.5f);
  std::vector<uint32_t> px = frame();
  char t[32], want[40];
  time_text(t, sizeof t, results_time(0));
  snprintf(want, sizeof want, "~%s", t);
  EXPECT_EQ(text_at(px, 256 - 6 * (int)strlen(want), 62, 1, 0xFF909090u, want), "");

  // With the HUD off (settings or command line) the pause box is all there is.
  for (int nohud : {0, 1}) {
    g_set.hud = nohud, g_opt.nohud = nohud;
    race(0, 5, 0, 0);
    px = frame();
    EXPECT_NE(text_at(px, 8, 32, 1, W, "LAP 1/3"), "");
    EXPECT_EQ(text_centred(px, 160, 88, 2, GOLD, "PAUSED"), "");
  }
}

TEST_F(SceneTest, AWiderFrameMovesTheHudToItsEdgesAndCentresTheMenus) {
  g_opt.resW = 1280, g_opt.resH = 720;
  race(0, 3);
  ASSERT_EQ(g_lowW, 426);
  std::vector<uint32_t> px = frame();
  EXPECT_EQ(text_at(px, 396, 224, 1, 0xFFD0D0D0u, "KM/H"), "");
  EXPECT_EQ(text_at(px, 376, 6, 1, 0xFFFFFFFFu, "0:00.00"), "");
  EXPECT_EQ(text_centred(px, 213, 68, 6, 0xFFFFFFFFu, "3"), "");
  g_state = 0;
  px = frame();
  EXPECT_EQ(text_centred(px, 213, 136, 1, 0xFFFFFFFFu, "RACE"), "");
  EXPECT_EQ(at(px, 153, 139), 0xFFD040u) << "the marker moves with the menu";
}

TEST_F(SceneTest, MinimapDotsSitOnTheCarsPositions) {
  race(0, 4, 5.0f);
  ASSERT_GE(g_track.sampleCount, 16);
  // Car 2 half a lap away, so its dot stands alone.
  const Sample& half = g_track.samples[g_track.sampleCount / 2];
  g_cars[2].x = half.x, g_cars[2].z = half.z;
  std::vector<uint32_t> px = frame();
  float spanX = g_track.maxX - g_track.minX, spanZ = g_track.maxZ - g_track.minZ;
  float s = std::min(54.0f / spanX, 54.0f / spanZ);
  for (int i : {0, 2}) {
    const Car& c = g_cars[i];
    int fx = (int)f_floor(8.0f + (54.0f - spanX * s) * 0.5f + (c.x - g_track.minX) * s);
    int fy = (int)f_floor(178.0f + (54.0f - spanZ * s) * 0.5f + (g_track.maxZ - c.z) * s);
    uint32_t body = livery_colour(c.shape, c.livery) & 0xFFFFFFu;
    EXPECT_EQ(std::vector<uint32_t>({at(px, fx, fy), at(px, fx + 1, fy + 1), at(px, fx - 1, fy - 1), at(px, fx + 2, fy + 2)}),
              std::vector<uint32_t>({body, body, i == 0 ? 0xFFFFFFu : 0u, i == 0 ? 0xFFFFFFu : 0u}))
        << "car " << i;
  }
}

TEST_F(SceneTest, SetupShowsTheTrackAndTheTurningCarInsideItsSquare) {
  race(0, 1, 0.0f, 1);
  std::vector<uint32_t> px = frame();
  EXPECT_EQ(text_centred(px, 160, 6, 2, 0xFFFFD040u, "RACE SETUP"), "");
  EXPECT_EQ(text_centred(px, 160, 40, 1, 0xFFFFFFFFu, g_track.name), "");
  EXPECT_EQ(text_at(px, 58, 150, 1, 0xFFFFFFFFu, "TRACK"), "");
  EXPECT_EQ(text_centred(px, 160, 116, 1, 0xFFFFE080u, "HATCH"), "");
  EXPECT_EQ(text_centred(px, 160, 126, 1, 0xFF90A0B0u, "BALANCED"), "");
  // The preview's frame stays black all round: the car is drawn only inside the square.
  int frameLeft = 0, car = 0, thumb = 0;
  for (int y = 36; y < 132; y++) {
    for (int x : {202, 203, 300, 301}) frameLeft += at(px, x, y) == 0;
    for (int x = 204; x < 300; x++) car += at(px, x, y) != 0x283040u;
  }
  for (int y = 40; y < 128; y++)
    for (int x = 24; x < 112; x++) thumb += at(px, x, y) == 0xFFFFFFu;
  EXPECT_EQ(frameLeft, 4 * 96);
  EXPECT_GT(car, 300) << "the car covers part of the square";
  EXPECT_LT(car, 96 * 96 - 1000) << "and leaves the background round it";
  EXPECT_GT(thumb, 40) << "no thumbnail picture: a larger minimap in its frame";
  EXPECT_EQ(at(px, 204, 36), 0x283040u);
}

TEST_F(SceneTest, TheScreenshotIsTakenOnceWhenItsTimeComes) {
  g_opt.shot = 1, g_opt.shotTime = 0.5f, g_opt.exitAfterShot = 1;
  strcpy(g_opt.out, "shot.bmp");
  race(0, 4);
  g_sceneTime = 0.4f;
  frame();
  EXPECT_FALSE(file_exists("shot.bmp"));
  g_sceneTime = 0.5f;
  frame();
  EXPECT_EQ(slurp("shot.bmp").size(), 54u + 640 * 480 * 3);
  EXPECT_EQ(g_quit, 1);
  remove("shot.bmp");
  g_sceneTime = 9.0f;
  frame();
  EXPECT_FALSE(file_exists("shot.bmp")) << "one picture per run";
}

}  // namespace
