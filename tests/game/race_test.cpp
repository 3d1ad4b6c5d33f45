// Whole races with the computer driving all four cars, stepped like the
// frame loop does, on the software device without a window.
#include <gtest/gtest.h>

#include "game/game_internal.h"
#include "gfx/gfx.h"
#include "soft/soft.h"
#include "test_util.h"
#include "track/track.h"

static const float kDt = 1.0f / 60.0f;

class RaceTest : public testing::Test {
 protected:
  TempDir dir_;
  void SetUp() override {
    log_open("test.log");
    sys_lib_provide("d3d9.dll", soft_d3d9_proc);
    ASSERT_TRUE(gfx_init(nullptr, 0));
    memset(&g_opt, 0, sizeof g_opt);
    g_set.laps = 3;
  }
  void TearDown() override { gfx_shutdown(); }
  void demo(int track) {
    g_opt.demo = 1, g_opt.race = track;
    game_init();
  }
};

// Every car finishes 3 laps; none stalls for good or crosses the boundary.
// Particle colours come from the circuit: smoke or dust, sand, the night's grey.
TEST_F(RaceTest, ThreeLapsOnEveryCircuit) {
  const uint32_t colours[3][2] = {{0xFFE0E0E0, 0xFFB0A080}, {0xFFD8A070, 0xFFD8A070}, {0xFF8088A0, 0xFF8088A0}};
  for (int t = 0; t < 3; t++) {
    demo(t);
    int n = 0, done = 0, puffs = 0;
    float progress[4] = {-1e9f, -1e9f, -1e9f, -1e9f};
    for (; n < 60 * 900 && done < 4; n++) {
      game_tick(kDt);
      done = 0;
      for (int i = 0; i < 4; i++) {
        const Car* c = &g_cars[i];
        done += c->finished;
        ASSERT_TRUE(!c->finished || c->finishTime == g_raceTime || c->throttle <= 0.5f) << "finished, it eases off";
        float limit = g_track.samples[c->seg].halfWidth + g_track.wallOffset - 1.0f;
        ASSERT_LE(f_abs(c->side), limit + 0.01f) << "track " << t << " car " << i;
        if (n % 1200 == 0 && !c->finished) {  // 20 m in every 20 s at least
          ASSERT_GT(car_progress(c) - progress[i], 20.0f) << "track " << t << " car " << i << " stuck at " << c->dist;
          progress[i] = car_progress(c);
        }
      }
      for (const Particle& p : g_parts) {
        puffs += p.life > 0;
        ASSERT_TRUE(p.life <= 0 || p.colour == colours[t][0] || p.colour == colours[t][1]) << "track " << t;
      }
    }
    ASSERT_EQ(done, 4) << "track " << t;
    EXPECT_TRUE(t != 1 || puffs > 0) << "sand behind every fast car in the desert";
  }
}

TEST_F(RaceTest, SameRaceTwiceIsTheSameRace) {
  Car first[4];
  Cone cones[TRACK_MAX_CONES];
  for (int run = 0; run < 2; run++) {
    g_aiRng = 12345, g_raceRng = 777;
    demo(1);
    for (int i = 0; i < 3600; i++) game_tick(kDt);
    if (run == 0) memcpy(first, g_cars, sizeof first), memcpy(cones, g_track.cones, sizeof cones);
  }
  EXPECT_GT(g_cars[0].lap, 0);
  EXPECT_EQ(0, memcmp(first, g_cars, sizeof first));
  EXPECT_EQ(0, memcmp(cones, g_track.cones, sizeof cones));
}

TEST_F(RaceTest, AttractRaceRestartsWhenTheFirstCarFinishes) {
  g_opt.race = -1;
  game_init();
  float last = 0.0f;
  int cam = 0;
  for (int i = 0; i < 60 * 400 && g_raceTime >= last; i++) {
    last = g_raceTime;
    game_tick(kDt);
    cam = std::max(cam, g_camCar);
  }
  EXPECT_LT(g_raceTime, last);
  EXPECT_LT(last, 300.0f) << "restarted by a finish, not by the clock";
  EXPECT_EQ(g_cars[0].lap, -1);
  EXPECT_EQ(cam, 3);
  EXPECT_EQ(g_state, ST_TITLE);
}
