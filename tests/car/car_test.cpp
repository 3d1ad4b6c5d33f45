// The driving model, contacts, lap counting and the computer drivers on
// circular test circuits.
#include <gtest/gtest.h>

#include "car/car.h"
#include "ring_track.h"

static const float kDt = 1.0f / 60.0f;

// Car at track distance d and lateral offset, facing along the road turned
// by `turn`, moving forward at `speed`.
static void place(Car* c, float d, float lateral, float speed, float turn = 0.0f) {
  float dx, dz;
  memset(c, 0, sizeof *c);
  track_point_at(d, lateral, &c->x, &c->z, &dx, &dz);
  c->heading = f_wrap_angle(f_atan2(dx, dz) + turn);
  c->vx = f_sin(c->heading) * speed, c->vz = f_cos(c->heading) * speed;
  c->speed = speed;
  c->seg = track_locate(c->x, c->z, -1, &c->side, &c->dist);
  c->vmaxFactor = c->gripFactor = c->skill = 1.0f;
}

// Runs the physics for `seconds`, putting the car back where it started after
// every step so only its speed changes.
static void run_in_place(Car* c, float seconds) {
  float x = c->x, z = c->z, side = c->side;
  int seg = c->seg;
  for (int i = 0; i < (int)(seconds * 60.0f + 0.5f); i++) {
    car_physics(c, kDt);
    c->x = x, c->z = z, c->side = side, c->seg = seg;
  }
}

TEST(CarPhysics, TerminalSpeeds) {
  ring_track(5000.0f, 6.0f, 3.0f);
  struct Case {
    float lateral;
    int ai;
    float skill;
    float expected;
  } cases[] = {{0.0f, 0, 1.0f, 33.8f}, {7.5f, 0, 1.0f, 14.7f}, {0.0f, 1, 0.95f, 32.7f}};
  for (const Case& k : cases) {
    Car c;
    place(&c, 100.0f, k.lateral, 0.0f);
    c.ai = k.ai, c.skill = k.skill, c.throttle = 1.0f;
    run_in_place(&c, kDt);
    if (k.lateral == 0.0f && !k.ai) {
      EXPECT_NEAR(c.speed, (12.0f - 0.9f) * kDt, 1e-5f);
    }
    run_in_place(&c, 60.0f);
    EXPECT_NEAR(c.speed, k.expected, 0.1f) << "lateral " << k.lateral << " ai " << k.ai;
    EXPECT_EQ(c.offroad, k.lateral > 6.6f);
  }
}

TEST(CarPhysics, BrakeReversesAndDragStopsWithoutOvershoot) {
  ring_track(5000.0f, 6.0f, 3.0f);
  Car c;
  place(&c, 100.0f, 0.0f, 10.0f);
  c.brake = 1.0f;
  run_in_place(&c, 1.0f);
  EXPECT_LT(c.speed, 0.0f);
  run_in_place(&c, 5.0f);
  EXPECT_NEAR(c.speed, -9.0f, 0.2f);
  c.brake = 0.0f;
  for (int i = 0; i < 900; i++) {
    run_in_place(&c, kDt);
    ASSERT_LE(c.speed, 0.0f);
  }
  EXPECT_EQ(c.speed, 0.0f);
}

TEST(CarPhysics, YawRateFollowsSteeringBySpeed) {
  ring_track(5000.0f, 6.0f, 3.0f);
  float at7 = 2.3f * (1.0f - 0.45f * 7.0f / 44.0f);
  struct Case {
    float speed, expected;
  } cases[] = {{0.0f, 0.0f}, {7.0f, at7}, {-7.0f, -at7}};
  for (const Case& k : cases) {
    Car c;
    place(&c, 100.0f, 0.0f, k.speed);
    c.steer = c.steerInput = 1.0f;
    for (int i = 0; i < 120; i++) {
      float x = c.x, z = c.z;
      car_physics(&c, kDt);
      c.x = x, c.z = z;  // hold the place and the speed
      c.vx = f_sin(c.heading) * k.speed, c.vz = f_cos(c.heading) * k.speed;
    }
    EXPECT_NEAR(c.yawRate, k.expected, 0.01f) << k.speed;
  }
}

TEST(CarPhysics, WallBouncesBackTowardsTheRoad) {
  ring_track(5000.0f, 6.0f, 3.0f);  // wall limit 6 + 3 - 1 = 8
  struct Case {
    float lateral, speed;
    int hits;
  } cases[] = {{7.9f, 10.0f, 1}, {-7.9f, 10.0f, 1}, {7.99f, 2.0f, 0}};
  for (const Case& k : cases) {
    Car c;
    float out = k.lateral > 0 ? 1.5707964f : -1.5707964f;
    place(&c, 100.0f, k.lateral, k.speed, out);
    const Sample* s = &g_track.samples[c.seg];
    float nx = (k.lateral > 0 ? 1 : -1) * s->dirZ, nz = -(k.lateral > 0 ? 1 : -1) * s->dirX;
    int before = g_hitWalls;
    car_physics(&c, kDt);
    EXPECT_NEAR(f_abs(c.side), 8.0f, 1e-3f);
    EXPECT_EQ(g_hitWalls - before, k.hits);
    if (k.speed == 10.0f) {
      EXPECT_NEAR(c.vx * nx + c.vz * nz, -2.8f, 0.05f);  // back towards the road
      EXPECT_NEAR(c.impact, 9.9f * f_exp(-0.1f), 0.05f);  // off-road drag took 0.1 m/s first
    }
  }
}

TEST(CarContacts, PropsPushOutAndSpinFrontAndRearOppositeWays) {
  ring_track(5000.0f, 6.0f, 3.0f);
  float spin[2];
  for (int rear = 0; rear < 2; rear++) {
    Car c;
    place(&c, 100.0f, 0.0f, 0.0f);
    float s = f_sin(c.heading), k = f_cos(c.heading);
    c.vx = k * 5.0f, c.vz = -s * 5.0f;  // sliding right into a box beside one circle
    float along = rear ? -1.1f : 1.1f;
    g_track.colliders[0] = {c.x + s * along + k * 1.3f, c.z + k * along - s * 1.3f, 0.5f, 0.5f, 1.0f, 0.0f};
    g_track.colliderCount = 1;
    int before = g_hitProps;
    car_hit_colliders(&c);
    EXPECT_EQ(g_hitProps - before, 1);
    EXPECT_NEAR(c.vx * k - c.vz * s, -1.2f, 0.05f) << "bounced back";
    EXPECT_NEAR(c.impact, 5.0f, 0.05f);
    spin[rear] = c.yawRate;
  }
  EXPECT_NEAR(spin[0], 0.5f, 0.02f);
  EXPECT_NEAR(spin[1], -0.5f, 0.02f);
  g_track.colliderCount = 0;
}

TEST(CarContacts, ConesKnockedOnceAndSlide) {
  ring_track(5000.0f, 6.0f, 3.0f);
  for (float speed : {0.0f, 1.2f}) {
    Car c;
    place(&c, 100.0f, 0.0f, speed);
    g_track.coneCount = 1;
    g_track.cones[0] = Cone{};
    g_track.cones[0].x = c.x + f_sin(c.heading) * 1.5f, g_track.cones[0].z = c.z + f_cos(c.heading) * 1.5f;
    int before = g_hitCones;
    for (int i = 0; i < 5; i++) car_hit_cones(&c);
    EXPECT_EQ(g_hitCones - before, speed > 0 ? 1 : 0);
    EXPECT_EQ(g_track.cones[0].knocked, speed > 0 ? 1 : 0);
  }
  Cone* k = &g_track.cones[0];
  *k = Cone{};
  k->knocked = 1, k->vx = 10.0f;
  for (int i = 0; i < 15; i++) cones_update(kDt);
  EXPECT_LT(k->tilt, 1.5707964f);
  cones_update(kDt);
  EXPECT_EQ(k->tilt, 1.5707964f);
  for (int i = 0; i < 600; i++) cones_update(kDt);
  EXPECT_NEAR(k->x, 4.0f, 0.15f);
}

TEST(CarContacts, CarsSeparateAndOnlyClosingPairsExchangeImpulse) {
  memset(g_cars, 0, sizeof g_cars);
  // 0 and 1: head-on at 5 m/s, 2 m apart; 2 and 3: overlapping but parting.
  g_cars[0].x = 0, g_cars[0].vx = 2.5f;
  g_cars[1].x = 2, g_cars[1].vx = -2.5f;
  g_cars[2].x = 100, g_cars[2].vx = -1.0f;
  g_cars[3].x = 102, g_cars[3].vx = 1.0f;
  int before = g_hitCars;
  cars_collide();
  EXPECT_EQ(g_hitCars - before, 1);
  EXPECT_NEAR(g_cars[1].x - g_cars[0].x, 2.7f, 1e-5f);
  EXPECT_NEAR(g_cars[0].x, -0.35f, 1e-5f);
  EXPECT_NEAR(g_cars[1].vx - g_cars[0].vx, 0.97f, 1e-4f);
  EXPECT_NEAR(g_cars[0].impact, 3.0f, 1e-4f);
  EXPECT_NEAR(g_cars[3].x - g_cars[2].x, 2.7f, 1e-5f);
  EXPECT_EQ(g_cars[2].impact, 0.0f);
  EXPECT_EQ(g_cars[3].impact, 0.0f);
  EXPECT_EQ(g_cars[2].vx, -1.0f);
}

// One car driven round a 64-sample ring by placing it at track distances.
TEST(CarLaps, CountingTimingAndFinishing) {
  ring_track(100.0f, 6.0f, 3.0f, 64);
  float L = g_track.length;
  struct Step {
    float d, t;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    int lap, finished;
    float lastLap, bestLap, lapStart, finishTime;
  } cases[] = {
      {"first crossing arms the clock", {{5, 1}}, 0, 0, 0, 0, 1, 0},
      {"two laps finish", {{5, 1}, {L / 2, 30}, {L - 5, 60}, {5, 61}, {L / 2, 80}, {L - 5, 110}, {5, 111}},
       2, 1, 50, 50, 111, 111},
      {"no lap without the middle", {{5, 1}, {L * 0.3f, 10}, {L * 0.7f, 20}, {L - 5, 30}, {5, 31}}, 0, 0, 0, 0, 1, 0},
      {"off the grid and back", {{5, 1}, {L - 5, 2}, {5, 3}}, 0, 0, 0, 0, 3, 0},
      // Rolling back over the line gives the lap back without a lap time.
      {"back over the line", {{5, 1}, {L / 2, 30}, {L - 5, 60}, {5, 61}, {L - 5, 62}, {5, 65}}, 1, 0, 60, 60, 61, 0},
  };
  g_laps = 2;
  for (const Case& k : cases) {
    Car c;
    place(&c, L - 9.0f, 0.0f, 0.0f);
    c.lap = -1;
    for (const Step& s : k.steps) {
      track_point_at(s.d, 0.0f, &c.x, &c.z, nullptr, nullptr);
      c.seg = -1;
      car_update_progress(&c, s.t);
    }
    EXPECT_EQ(c.lap, k.lap) << k.name;
    EXPECT_EQ(c.finished, k.finished) << k.name;
    EXPECT_FLOAT_EQ(c.lastLap, k.lastLap) << k.name;
    EXPECT_FLOAT_EQ(c.bestLap, k.bestLap) << k.name;
    EXPECT_FLOAT_EQ(c.lapStart, k.lapStart) << k.name;
    EXPECT_FLOAT_EQ(c.finishTime, k.finishTime) << k.name;
  }
}

TEST(CarAi, MakesRoomForACarCloseAhead) {
  ring_track(5000.0f, 6.0f, 3.0f);
  struct Case {
    float ahead, otherLateral;
    float laneTarget;
  } cases[] = {{10.0f, 1.0f, -0.5f}, {10.0f, -1.0f, 0.5f}, {15.0f, 1.0f, 0.2f}, {10.0f, 3.5f, 0.2f}};
  for (const Case& k : cases) {
    memset(g_cars, 0, sizeof g_cars);
    for (int i = 1; i < CAR_COUNT; i++) place(&g_cars[i], 1000.0f + 200.0f * i, 0.0f, 20.0f);
    place(&g_cars[0], 100.0f, 0.5f, 20.0f);
    place(&g_cars[2], 100.0f + k.ahead, k.otherLateral, 20.0f);
    g_cars[0].laneTarget = 0.2f, g_cars[0].laneTimer = 3.0f;
    car_ai(&g_cars[0], kDt);
    EXPECT_FLOAT_EQ(g_cars[0].laneTarget, k.laneTarget) << k.ahead << " " << k.otherLateral;
    EXPECT_FLOAT_EQ(g_cars[0].laneTimer, k.laneTarget == 0.2f ? 3.0f - kDt : 1.5f);
  }
}

TEST(CarAi, PedalsFromTheCornerSpeed) {
  ring_track(38.0f, 6.0f, 3.0f, 128);  // kappa 1/38: corner speed about 23.3 m/s at skill 0.95
  struct Case {
    float speed, throttle, brake;
  } cases[] = {{20.0f, 1.0f, 0.0f}, {23.0f, 0.3f, 0.0f}, {26.0f, 0.0f, 0.45f}, {40.0f, 0.0f, 1.0f}};
  for (const Case& k : cases) {
    memset(g_cars, 0, sizeof g_cars);
    for (int i = 1; i < CAR_COUNT; i++) place(&g_cars[i], 60.0f * i, 0.0f, 0.0f);
    place(&g_cars[0], 10.0f, 0.0f, k.speed);
    g_cars[0].skill = 0.95f, g_cars[0].laneTimer = 5.0f;
    car_ai(&g_cars[0], kDt);
    EXPECT_EQ(g_cars[0].throttle, k.throttle) << k.speed;
    EXPECT_NEAR(g_cars[0].brake, k.brake, 0.03f) << k.speed;
  }
}

TEST(CarAi, BacksOutWhenStuckForSeventyCalls) {
  ring_track(5000.0f, 6.0f, 3.0f);
  memset(g_cars, 0, sizeof g_cars);
  for (int i = 1; i < CAR_COUNT; i++) place(&g_cars[i], 1000.0f + 200.0f * i, 0.0f, 0.0f);
  Car* c = &g_cars[0];
  place(c, 100.0f, 3.0f, 0.0f, 0.3f);
  c->laneTimer = 100.0f;
  int calls = 0;
  while (c->reverseFrames == 0 && calls < 200) car_ai(c, kDt), calls++;
  EXPECT_EQ(calls, 109);  // just past 1.8 s
  EXPECT_EQ(c->reverseFrames, 70);
  float ahead = c->steerInput;
  ASSERT_NE(ahead, 0.0f);
  for (int i = 0; i < 70; i++) {
    car_ai(c, kDt);
    ASSERT_EQ(c->brake, 1.0f);
    ASSERT_EQ(c->throttle, 0.0f);
    ASSERT_FLOAT_EQ(c->steerInput, -ahead);  // steering the other way
  }
  car_ai(c, kDt);
  EXPECT_EQ(c->throttle, 1.0f);
  c->stuckTime = 1.0f, c->speed = 1.5f;
  car_ai(c, kDt);
  EXPECT_EQ(c->stuckTime, 0.0f);
}
