// The frame loop's fixed steps, limiter and statistics line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/input.h"
#include "main/main.h"
#include "rt/rt.h"
#include "test_util.h"

// The game as the loop sees it: a step records what input it was given.
int32_t g_hitWalls = 1, g_hitProps = 2, g_hitCones = 3, g_hitCars = 4;
int g_shotDone;
static std::vector<int> g_ticks;  // key_pressed(Space) seen by each step
static int g_quitAtTick;
int game_want_fullscreen() { return 0; }
void game_init() {}
void game_render() {}
void game_tick(float dt) {
  EXPECT_EQ(dt, STEP_SECONDS);
  g_ticks.push_back(key_pressed(SYS_VK_SPACE));
  if ((int)g_ticks.size() == g_quitAtTick) g_quit = 1;
}

namespace {

const double kStep = (double)STEP_SECONDS;

TEST(Loop, FixedSteps) {
  const struct { double bank; int quitAt, steps; double left; } cases[] = {  // left: the bank afterwards, in steps
      {0.0, 0, 0, 0.0}, {0.9 * kStep, 0, 0, 0.9}, {2.5 * kStep, 0, 2, 0.5}, {4.99 * kStep, 0, 4, 0.99},
      {5.0 * kStep, 0, 5, 0.0}, {5.5 * kStep, 0, 5, 0.0},  // five steps: the rest is dropped
      {0.1, 0, 5, 0.0}, {2.0, 0, 5, 0.0},                  // the most one pass may bank
      {4.5 * kStep, 2, 2, 2.5},                            // quitting stops stepping at once
  };
  for (const auto& c : cases) {
    g_ticks.clear(), g_quit = 0, g_quitAtTick = c.quitAt;
    double bank = c.bank;
    EXPECT_EQ(loop_run_steps(&bank), c.steps) << c.bank;
    EXPECT_EQ((int)g_ticks.size(), c.steps) << c.bank;
    EXPECT_NEAR(bank / kStep, c.left, 1e-6) << c.bank;
  }
  g_quit = 0;
}

TEST(Loop, InputEdgesAreClearedAfterEachStepAndKeptWithoutOne) {
  input_reset();
  g_quit = g_quitAtTick = 0, g_ticks.clear();
  wnd_proc(nullptr, SYS_WM_KEYDOWN, SYS_VK_SPACE, 1);
  double bank = 0.5 * kStep;
  loop_run_steps(&bank);  // no step in this pass
  bank += kStep * 2;
  loop_run_steps(&bank);
  EXPECT_EQ(g_ticks, (std::vector<int>{1, 0}));
  EXPECT_TRUE(key_down(SYS_VK_SPACE));
}

TEST(Loop, Limiter) {
  const double f = 1.0 / 60.0;
  const struct { double schedule, now; int fps, vsync; uint32_t ms; double scheduleAfter; } cases[] = {
      {0.0, 0.0, 60, 0, 17, f}, {0.0, 0.01, 60, 0, 7, f},  // a whole frame ahead; 6.67 ms left
      {0.0, f - 0.0004, 60, 0, 0, f},                      // under half a millisecond: no sleep
      {0.0, 2.0 * f - 0.001, 60, 0, 0, f},                 // late, but by less than a frame
      {0.0, 2.0 * f + 0.001, 60, 0, 0, 2.0 * f + 0.001},   // over a frame late: start again
      {1.0, 1.0, 30, 0, 33, 1.0 + 1.0 / 30.0},
      {0.0, 0.0, 60, 1, 0, 0.0},  // vsync: never sleeps, whatever the cap
      {0.0, 0.0, 0, 0, 0, 0.0}, {0.0, 0.0, -5, 0, 0, 0.0},  // no cap
  };
  for (const auto& c : cases) {
    double s = c.schedule;
    EXPECT_EQ(limiter_sleep_ms(&s, c.now, c.fps, c.vsync), c.ms) << c.now << " fps " << c.fps;
    EXPECT_NEAR(s, c.scheduleAfter, 1e-9) << c.now << " fps " << c.fps;
  }
}

TEST(Loop, TitleShotIsTimedFromTheProgramStart) {
  const struct { const char* line; double runTime; int shotDone, due; } cases[] = {
      {"p --shot 0 500", 499.9, 0, 0}, {"p --shot 0 500", 500.0, 0, 1},  // however often the attract race restarted
      {"p --shot -3 2", 2.5, 0, 1}, {"p --shot 0 2", 2.5, 1, 0},         // once
      {"p --shot 1 2", 2.5, 0, 0},  // a race's shot is the scene's, on its own clock
      {"p --race 0", 2.5, 0, 0},
  };
  for (const auto& c : cases) {
    options_parse(c.line);
    g_runTime = c.runTime, g_shotDone = c.shotDone;
    EXPECT_EQ(title_shot_due(), c.due) << c.line << " at " << c.runTime;
  }
  g_runTime = 0.0, g_shotDone = 0;
}

TEST(Loop, StatisticsLineEveryFiveSeconds) {
  TempDir dir;
  log_open("skidline.log");
  LoopStats st = {};
  st.start = 10.0, st.d3dStart = 1000;
  // now, end of simulation, end of rendering, end of presentation
  EXPECT_EQ(stats_frame(&st, 10.0, 10.001, 10.004, 10.005, 1100), 0);
  EXPECT_EQ(stats_frame(&st, 15.0, 15.003, 15.004, 15.011, 1150), 0) << "exactly 5 s is not yet a period";
  EXPECT_EQ(stats_frame(&st, 16.0, 16.002, 16.008, 16.008, 1301), 1);
  EXPECT_EQ(slurp("skidline.log"),
            "fps 0.5  sim 2.00 ms  render 3.33 ms  present 2.67 ms  d3d 100/frame  hits w1 p2 c3 k4\r\n");
  EXPECT_TRUE(st.frames == 0 && st.start == 16.0 && st.d3dStart == 1301);
  EXPECT_EQ(stats_frame(&st, 17.0, 17.0, 17.0, 17.0, 1301), 0) << "a new period starts at that pass";
}

}  // namespace
