// Settings file, menus, state transitions, race control and the sound
// decisions, on the built-in circuits without a device.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "game/game_internal.h"
#include "gfx/gfx.h"
#include "test_util.h"
#include "track/track.h"

extern std::vector<std::string> g_sounds;
static const float kDt = 1.0f / 60.0f;
static const Settings kDefaults = {0, 0, 0, 3, 0, 1, 1, 0};

class GameTest : public testing::Test {
 protected:
  TempDir dir_;
  void SetUp() override {
    log_open("test.log");
    memset(&g_opt, 0, sizeof g_opt), memset(&g_in, 0, sizeof g_in);
    g_opt.race = -1, g_set = kDefaults;
    g_fullscreen = g_overridden = g_quit = 0;
    game_sound_reset(), g_sounds.clear();
  }
  void step(int n = 1) {  // as the frame loop does: the edges are cleared after each step
    for (int i = 0; i < n; i++) {
      game_tick(kDt);
      memset(g_in.keyPressed, 0, sizeof g_in.keyPressed);
      g_in.mouseClicked = g_in.mouseMoved = 0, g_in.padPressed = 0;
    }
  }
  void press(int key) { g_in.keyPressed[key] = 1, step(); }
  int heard(const std::string& prefix) {
    int n = 0;
    for (const std::string& s : g_sounds) n += s.compare(0, prefix.size(), prefix) == 0;
    return n;
  }
  void at(int state, int track = 0) {  // a fresh race on the track, in the given state
    g_opt.race = track;
    game_init();
    g_opt.race = -1, g_state = state;
  }
};

TEST_F(GameTest, SettingsFileReading) {
  struct Case { std::string text; Settings want; } cases[] = {
      {"", kDefaults},  // no file
      {"track=2\r\nshape=1\r\nlivery=3\r\nlaps=7\r\ncamera=1\r\nhud=0\r\nfullscreen=0\r\nsound=2\r\n", {2, 1, 3, 7, 1, 0, 0, 2}},
      {"track=2\nlaps=7\nsound=1", {2, 0, 0, 7, 0, 1, 1, 1}},
      {"laps=10\r\nlivery=-1\r\ncamera=5\r\ntrack=3\r\nsound=9\r\nshape=-1\r\n", {0, 0, 0, 3, 5, 1, 1, 0}},
      {"Laps=5\nlaps 6\n=4\nspeed=9\nlaps=x\nhud=0\nhud=\t-2\ntrack=1=2\n", {1, 0, 0, 3, 0, -2, 1, 0}},
      {std::string(3 << 20, 'x') + "\nlaps=8\n", {0, 0, 0, 8, 0, 1, 1, 0}},
  };
  for (const Case& k : cases) {
    remove("skidline.cfg");
    if (!k.text.empty()) spit("skidline.cfg", k.text);
    g_set = kDefaults;
    game_want_fullscreen();
    EXPECT_EQ(0, memcmp(&g_set, &k.want, sizeof g_set)) << &k - cases;
  }
  struct Mode { int windowed, fullscreen, shot, saved, want; } modes[] = {
      {0, 0, 0, 1, 1}, {0, 0, 0, 0, 0}, {1, 1, 0, 1, 0}, {0, 1, 1, 0, 1}, {0, 0, 1, 1, 0}};
  for (const Mode& m : modes) {
    spit("skidline.cfg", m.saved ? "fullscreen=1" : "fullscreen=0");
    g_opt.windowed = m.windowed, g_opt.fullscreen = m.fullscreen, g_opt.shot = m.shot;
    EXPECT_EQ(game_want_fullscreen(), m.want) << &m - modes;
  }
}

TEST_F(GameTest, SettingsFileWritingKeepsThePlayersChoices) {
  g_set = {1, 2, 3, 4, 5, 0, 1, 2};
  settings_save();
  EXPECT_EQ(slurp("skidline.cfg"), "track=1\r\nshape=2\r\nlivery=3\r\nlaps=4\r\ncamera=5\r\nhud=0\r\nfullscreen=0\r\nsound=2\r\n");
  // "--race 3 --laps 12 --res 800x600": the command line's choices stay out of the file.
  spit("skidline.cfg", "laps=5\r\nfullscreen=1\r\n");
  g_set = kDefaults, g_opt.laps = 12, g_opt.windowed = 1, g_opt.race = 2;
  EXPECT_EQ(game_want_fullscreen(), 0);
  game_init();
  EXPECT_EQ(g_set.laps, 12);
  settings_save();
  EXPECT_EQ(slurp("skidline.cfg"), "track=0\r\nshape=0\r\nlivery=0\r\nlaps=5\r\ncamera=0\r\nhud=1\r\nfullscreen=1\r\nsound=0\r\n");
  // A file that cannot be replaced leaves the old one whole.
  mkdir("skidline.cfg.tmp", 0755);
  g_set.shape = 2;
  settings_save();
  EXPECT_EQ(slurp("skidline.cfg").find("shape=2"), std::string::npos);
}

TEST_F(GameTest, MenuInput) {
  // Title layout; the window is magnified twice, row 1 spans y 149..165 and the pointer is at 150.
  struct Case { int adjustable, sel, key, pad, mouseX, moved, clicked, want, wantSel, sfx; } cases[] = {
      {0, 0, KEY_UP, 0, 0, 0, 0, MENU_NONE, 2, 3},     {0, 2, 'S', 0, 0, 0, 0, MENU_NONE, 0, 3},
      {0, 0, 0, PAD_DOWN, 0, 0, 0, MENU_NONE, 1, 3},   {0, 5, 0, 0, 0, 0, 0, MENU_NONE, 2, 3},
      {0, 1, KEY_ESC, 0, 0, 0, 0, MENU_BACK, 1, 5},    {0, 1, 0, PAD_B, 0, 0, 0, MENU_BACK, 1, 5},
      {0, 1, KEY_ENTER, 0, 0, 0, 0, MENU_CONFIRM, 1, 4}, {0, 1, KEY_LEFT, 0, 0, 0, 0, MENU_NONE, 1, -1},
      {1, 1, 0, PAD_A, 0, 0, 0, MENU_INC, 1, 3},       {1, 1, 'A', 0, 0, 0, 0, MENU_DEC, 1, 3},
      {0, 0, 0, 0, 300, 1, 0, MENU_NONE, 1, 3},        {0, 0, 0, 0, 100, 1, 0, MENU_NONE, 0, -1},
      {0, 0, 0, 0, 300, 0, 1, MENU_CONFIRM, 1, 4},     {1, 0, 0, 0, 368, 0, 1, MENU_INC, 1, 3},
      {1, 0, 0, 0, 352, 0, 1, MENU_DEC, 1, 3},  // the right 32 % of a row increases
  };
  for (const Case& k : cases) {
    MenuItem items[3] = {};
    for (MenuItem& m : items) m.adjustable = k.adjustable;
    memset(&g_in, 0, sizeof g_in);
    g_sel = k.sel, g_sounds.clear(), g_in.keyPressed[k.key] = k.key != 0, g_in.padPressed = k.pad;
    g_in.mouseX = k.mouseX, g_in.mouseY = 300, g_in.mouseMoved = k.moved, g_in.mouseClicked = k.clicked;
    int sel = -9, i = &k - cases;
    EXPECT_EQ(menu_input(items, 3, L_TITLE.x, L_TITLE.y, L_TITLE.w, L_TITLE.h, &sel), k.want) << i;
    EXPECT_EQ(g_sel, k.wantSel) << i;
    EXPECT_TRUE(heard("sfx") == (k.sfx >= 0) && heard("sfx " + std::to_string(k.sfx) + " ") == (k.sfx >= 0)) << i;
  }
}

TEST_F(GameTest, StateTransitions) {
  struct Case { int from, sel, key; float time; int want, wantSel, shot = 0, finished = 0; } cases[] = {
      {ST_TITLE, 0, KEY_ESC, 0, ST_TITLE, 2},          {ST_TITLE, 0, KEY_ENTER, 0, ST_SETUP, 0},
      {ST_TITLE, 1, KEY_ENTER, 0, ST_OPTIONS, 0},      {ST_SETUP, 4, KEY_ENTER, 0, ST_COUNTDOWN, 0},
      {ST_SETUP, 5, KEY_ENTER, 0, ST_TITLE, 0},        {ST_SETUP, 2, KEY_BACKSPACE, 0, ST_TITLE, 0},
      {ST_OPTIONS, 4, KEY_ENTER, 0, ST_TITLE, 1},      {ST_OPTIONS, 2, KEY_ESC, 0, ST_TITLE, 1},
      {ST_COUNTDOWN, 0, 0, 2.99f, ST_RACE, 0},         {ST_COUNTDOWN, 0, KEY_ESC, 1, ST_PAUSED, 0},
      {ST_COUNTDOWN, 0, KEY_ESC, 1, ST_COUNTDOWN, 0, 1}, {ST_RACE, 0, KEY_ESC, 5, ST_PAUSED, 0},
      {ST_RACE, 0, KEY_ESC, 5, ST_RACE, 0, 1},         {ST_RACE, 0, 0, 5, ST_RESULTS, 0, 0, 1},
      {ST_RACE, 0, 0, 5, ST_RACE, 0, 1, 1},            {ST_PAUSED, 0, KEY_ENTER, 5, ST_RACE, 0},
      {ST_PAUSED, 2, KEY_ESC, 5, ST_RACE, 2},          {ST_PAUSED, 1, KEY_ENTER, 5, ST_COUNTDOWN, 0},
      {ST_PAUSED, 2, KEY_ENTER, 5, ST_TITLE, 0},       {ST_RESULTS, 0, KEY_ENTER, 1, ST_COUNTDOWN, 0},
      {ST_RESULTS, 1, KEY_ENTER, 1, ST_COUNTDOWN, 0},  {ST_RESULTS, 2, KEY_ENTER, 1, ST_TITLE, 0},
      {ST_RESULTS, 1, KEY_ESC, 1, ST_TITLE, 0},        {ST_RESULTS, 1, KEY_ESC, 0.5f, ST_RESULTS, 1},
  };
  for (const Case& k : cases) {
    SetUp();
    remove("skidline.cfg");
    g_set.track = 2;
    at(k.from, 2);
    g_sel = k.sel, g_stateTime = k.time, g_opt.shot = k.shot;
    g_cars[0].finished = k.finished, g_finishTimer = 3.49f;
    float clock = g_raceTime;
    press(k.key);
    int i = &k - cases;
    EXPECT_TRUE(g_state == k.want && g_sel == k.wantSel) << i << ": state " << g_state << ", row " << g_sel;
    bool kept = k.want == k.from || (k.from == ST_PAUSED && k.want == ST_RACE);
    EXPECT_EQ(g_stateTime, kept ? k.time + kDt : 0.0f) << i;
    EXPECT_TRUE(k.want != ST_PAUSED || g_raceTime == clock) << i;
    bool saves = k.from == ST_SETUP || k.from == ST_OPTIONS || (k.want == ST_COUNTDOWN && k.from != ST_COUNTDOWN);
    EXPECT_EQ(file_exists("skidline.cfg"), saves) << i;
    EXPECT_TRUE(k.from != ST_RESULTS || k.sel != 1 || k.key != KEY_ENTER || g_loadedTrack == 0) << "next track";
  }
  at(ST_RACE);  // the results follow a finish after 3.5 s
  g_cars[0].finished = 1, g_finishTimer = 3.4f;
  step();
  EXPECT_EQ(g_state, ST_RACE);
  at(ST_TITLE);
  g_sel = 2;
  press(KEY_ENTER);
  EXPECT_EQ(g_quit, 1);
}

TEST_F(GameTest, MenuValuesChange) {
  struct Case { int state, sel, key; int32_t* field; int32_t from, want; } cases[] = {
      {ST_SETUP, 0, KEY_LEFT, &g_set.track, 0, 2},     {ST_SETUP, 3, KEY_LEFT, &g_set.laps, 1, 9},
      {ST_SETUP, 3, KEY_RIGHT, &g_set.laps, 9, 1},     {ST_SETUP, 2, KEY_ENTER, &g_set.livery, 3, 0},
      {ST_OPTIONS, 1, KEY_RIGHT, &g_set.camera, 5, 0}, {ST_OPTIONS, 1, KEY_LEFT, &g_set.camera, 0, 1},
      {ST_OPTIONS, 2, KEY_LEFT, &g_set.hud, -3, 0},    {ST_OPTIONS, 3, KEY_RIGHT, &g_set.sound, 2, 0},
      {ST_OPTIONS, 3, KEY_LEFT, &g_set.sound, 0, 2},   {ST_OPTIONS, 3, KEY_LEFT, &g_set.sound, 2, 1},
  };
  for (const Case& k : cases) {
    at(k.state);
    *k.field = k.from, g_sel = k.sel;
    press(k.key);
    EXPECT_EQ(*k.field, k.want) << &k - cases;
  }
  EXPECT_EQ(g_loadedTrack, 0) << "the background race follows the setup menu";
}

TEST_F(GameTest, PositionsAndTies) {
  struct Case { float dist[4]; int finished[4]; float finishTime[4]; int places[4]; } cases[] = {
      {{10, 30, 20, 40}, {0, 0, 0, 0}, {}, {4, 2, 3, 1}},
      {{10, 20, 20, 5}, {0, 0, 0, 0}, {}, {3, 1, 2, 4}},  // cars 1 and 2 level: car order stands
      {{40, 10, 20, 5}, {0, 0, 1, 1}, {0, 0, 50, 50}, {3, 4, 1, 2}},
      {{40, 10, 20, 5}, {0, 0, 1, 1}, {0, 0, 51, 50}, {3, 4, 2, 1}},
  };
  at(ST_COUNTDOWN);
  for (const Case& k : cases) {
    for (int i = 0; i < 4; i++) {
      Car* c = &g_cars[i];
      track_point_at(k.dist[i], 0.0f, &c->x, &c->z, nullptr, nullptr);
      c->seg = track_locate(c->x, c->z, -1, nullptr, &c->dist);
      c->lap = 0, c->finished = k.finished[i], c->finishTime = k.finishTime[i];
    }
    sim_cars(0, kDt);
    for (int i = 0; i < 4; i++) EXPECT_EQ(g_cars[i].place, k.places[i]) << &k - cases << " car " << i;
  }
}

TEST_F(GameTest, CountdownHoldsTheCarsAndTheRaceReadsThePlayer) {
  at(ST_COUNTDOWN);
  Car grid[4];
  memcpy(grid, g_cars, sizeof grid);
  g_in.keyDown[KEY_UP] = 1;
  step(170);
  for (int i = 0; i < 4; i++) EXPECT_EQ(g_cars[i].x, grid[i].x);
  EXPECT_EQ(g_cars[0].place, 1);
  step(20);
  EXPECT_TRUE(g_state == ST_RACE && g_cars[0].speed > 0.0f);
  g_in.keyDown[KEY_UP] = 0;
  for (float back : {2.5f, 5.0f}) {  // wrong way only above 3 m/s backwards along the road
    const Sample* s = &g_track.samples[g_cars[0].seg];
    g_cars[0].vx = -s->dirX * back, g_cars[0].vz = -s->dirZ * back;
    g_cars[0].heading = f_atan2(-s->dirX, -s->dirZ);
    step(2);
    EXPECT_EQ(g_wrongWay > 0.0f, back > 3.0f) << back;
  }
  for (int c = 0; c < 3; c++) {  // R: back on the centre line, unless finished or computer-driven
    g_cars[0].finished = c == 1, g_cars[0].ai = c == 2, g_cars[0].x += 3.0f;
    press('R');
    float side;
    track_locate(g_cars[0].x, g_cars[0].z, -1, &side, nullptr);
    EXPECT_EQ(f_abs(side) < 0.01f && g_cars[0].speed == 0.0f, c == 0) << c;
  }
}

TEST_F(GameTest, SoundDecisions) {
  at(ST_TITLE);
  step();
  g_sel = 0, press(KEY_ENTER), press(KEY_ESC);
  EXPECT_EQ(heard("music 0 "), 1) << "title and setup share the song";
  // Countdown paused at 1.5 s and resumed: three beeps in all, then "go" and the day song.
  at(ST_COUNTDOWN);
  step(90);
  press(KEY_ESC);
  EXPECT_EQ(g_sounds.end()[-2], "musicvol 0.35 0");
  press(KEY_ESC);
  EXPECT_EQ(g_state, ST_COUNTDOWN);
  step(100);
  EXPECT_EQ(g_state, ST_RACE);
  EXPECT_EQ(heard("sfx 0 ") * 100 + heard("sfx 1 ") * 10 + heard("music 1 "), 311);
  // Lap cues: none off the grid, a lap, the final lap, then the finish instead of a lap.
  g_sounds.clear(), g_laps = 3;
  for (int lap = 0; lap <= 3; lap++) g_cars[0].lap = lap, g_cars[0].finished = lap == 3, game_sound();
  EXPECT_EQ(heard("sfx 6 ") * 100 + heard("sfx 7 ") * 10 + heard("sfx 8 "), 111);
  // Thumps at most every 0.25 s.
  g_sounds.clear();
  for (int i = 0; i < 60; i++) g_cars[0].impact = 3.0f * (float)(i + 1), game_sound();
  EXPECT_TRUE(heard("sfx 2 ") == 4 && g_sounds[1] == "sfx 2 0.5");
  // The night circuit's song whatever its mood; the menu song again after the results.
  g_state = ST_COUNTDOWN, game_sound();
  g_state = ST_RACE, g_track.night = 1, str_cpy(g_track.mood, "desert", 16), game_sound();
  EXPECT_EQ(heard("music 3 "), 1);
  g_state = ST_RESULTS, game_sound();
  g_state = ST_TITLE, game_sound();
  EXPECT_EQ(g_sounds.end()[-3], "music 0 0");
  track_free(), g_loadedTrack = -1;  // the circuit was changed above
}
