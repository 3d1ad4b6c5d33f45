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

// Steps the physics, putting the car back in place after every step; with
// `hold` its speed along the new heading is held too.
static void run_in_place(Car* c, int steps, float hold = NAN) {
  Car at = *c;
  for (int i = 0; i < steps; i++) {
    car_physics(c, kDt);
    c->x = at.x, c->z = at.z, c->side = at.side, c->seg = at.seg;
    if (hold == hold) c->vx = f_sin(c->heading) * hold, c->vz = f_cos(c->heading) * hold;
  }
}

TEST(CarPhysics, SpeedsAndTurning) {
  ring_track(5000.0f, 6.0f, 3.0f);
  struct Case { float lateral; int ai; float skill, expected; } speeds[] = {
      {0.0f, 0, 1.0f, 33.8f}, {7.5f, 0, 1.0f, 14.7f}, {0.0f, 1, 0.95f, 32.7f}};
  for (const Case& k : speeds) {
    Car c;
    place(&c, 100.0f, k.lateral, 0.0f);
    c.ai = k.ai, c.skill = k.skill, c.throttle = 1.0f;
    run_in_place(&c, 1);
    EXPECT_TRUE(&k != speeds || f_abs(c.speed - (12.0f - 0.9f) * kDt) < 1e-5f) << "the first step";
    run_in_place(&c, 3600);
    EXPECT_NEAR(c.speed, k.expected, 0.1f) << k.lateral << " " << k.ai;
  }
  // Braking from 10 m/s reverses to about -9 m/s; drag then stops the car without overshoot.
  Car c;
  place(&c, 100.0f, 0.0f, 10.0f);
  c.brake = 1.0f;
  run_in_place(&c, 360);
  EXPECT_NEAR(c.speed, -9.0f, 0.2f);
  c.brake = 0.0f;
  float fastest = -1;
  for (int i = 0; i < 900; i++) run_in_place(&c, 1), fastest = std::max(fastest, c.speed);
  EXPECT_TRUE(fastest <= 0.0f && c.speed == 0.0f) << fastest;
  // Full steering turns nothing at rest, 2.3 (1 - 0.45 * 7/44) rad/s at 7 m/s, the other way reversing.
  float at7 = 2.3f * (1.0f - 0.45f * 7.0f / 44.0f);
  for (float v : {0.0f, 7.0f, -7.0f}) {
    place(&c, 100.0f, 0.0f, v);
    c.steer = c.steerInput = 1.0f;
    run_in_place(&c, 120, v);
    EXPECT_NEAR(c.yawRate, v > 0 ? at7 : (v < 0 ? -at7 : 0.0f), 0.01f) << v;
  }
}

TEST(CarPhysics, WallBouncesBackTowardsTheRoad) {
  ring_track(5000.0f, 6.0f, 3.0f);  // wall limit 6 + 3 - 1 = 8
  struct Case { float lateral, speed; int hits; } cases[] = {{7.9f, 10.0f, 1}, {-7.9f, 10.0f, 1}, {7.99f, 2.0f, 0}};
  for (const Case& k : cases) {
    Car c;
    float sgn = k.lateral > 0 ? 1.0f : -1.0f;
    place(&c, 100.0f, k.lateral, k.speed, sgn * 1.5707964f);
    const Sample* s = &g_track.samples[c.seg];
    int before = g_hitWalls;
    car_physics(&c, kDt);
    EXPECT_TRUE(f_abs(f_abs(c.side) - 8.0f) < 1e-3f && g_hitWalls - before == k.hits) << c.side;
    if (k.hits) {
      EXPECT_NEAR(sgn * (c.vx * s->dirZ - c.vz * s->dirX), -2.8f, 0.05f);  // back towards the road
      EXPECT_NEAR(c.impact, 9.9f * f_exp(-0.1f), 0.05f);  // off-road drag took 0.1 m/s first
    }
  }
}

TEST(CarContacts, ConesAndCars) {
  ring_track(5000.0f, 6.0f, 3.0f);
  // A cone 1.5 m ahead: left alone by a standing car, knocked once at 1.2 m/s.
  for (float speed : {0.0f, 1.2f}) {
    Car c;
    place(&c, 100.0f, 0.0f, speed);
    g_track.coneCount = 1, g_track.cones[0] = Cone{};
    g_track.cones[0].x = c.x + f_sin(c.heading) * 1.5f, g_track.cones[0].z = c.z + f_cos(c.heading) * 1.5f;
    int before = g_hitCones;
    for (int i = 0; i < 5; i++) car_hit_cones(&c);
    EXPECT_EQ(g_hitCones - before, speed > 0 ? 1 : 0);
  }
  // Knocked at 10 m/s: flat after 16 steps, about 4 m travelled.
  Cone* k = &g_track.cones[0];
  *k = Cone{}, k->knocked = 1, k->vx = 10.0f;
  for (int i = 0; i < 15; i++) cones_update(kDt);
  EXPECT_LT(k->tilt, 1.5707964f);
  cones_update(kDt);
  EXPECT_EQ(k->tilt, 1.5707964f) << "flat after 16 steps";
  for (int i = 0; i < 600; i++) cones_update(kDt);
  EXPECT_NEAR(k->x, 4.0f, 0.15f);
  // Cars 0 and 1 head-on at 5 m/s, 2 m apart; 2 and 3 overlapping but parting.
  memset(g_cars, 0, sizeof g_cars);
  float x[4] = {0, 2, 100, 102}, vx[4] = {2.5f, -2.5f, -0.25f, 0.25f};
  for (int i = 0; i < 4; i++) g_cars[i].x = x[i], g_cars[i].vx = vx[i];
  int before = g_hitCars;
  cars_collide();
  EXPECT_EQ(g_hitCars - before, 1);
  const Car* k4 = g_cars;
  float got[5] = {k4[0].x, k4[1].vx - k4[0].vx, k4[0].impact, k4[3].x - k4[2].x, k4[2].vx}, want[5] = {-0.35f, 0.97f, 3, 2.7f, -0.25f};
  for (int i = 0; i < 5; i++) EXPECT_NEAR(got[i], want[i], 1e-4f) << i;
  EXPECT_EQ(k4[2].impact + k4[3].impact, 0.0f) << "parting cars are not hit";
}

// One car driven round a 64-sample ring by placing it at track distances.
TEST(CarLaps, CountingTimingAndFinishing) {
  ring_track(100.0f, 6.0f, 3.0f, 64);
  float L = g_track.length;
  struct Step { float d, t; };
  struct Case { std::vector<Step> steps; int lap, finished; float lastLap, bestLap, lapStart, finishTime; } cases[] = {
      {{{5, 1}}, 0, 0, 0, 0, 1, 0},  // the first crossing arms the clock
      {{{5, 1}, {L / 2, 30}, {L - 5, 60}, {5, 61}, {L / 2, 80}, {L - 5, 110}, {5, 111}}, 2, 1, 50, 50, 111, 111},
      {{{5, 1}, {L * 0.3f, 10}, {L * 0.7f, 20}, {L - 5, 30}, {5, 31}}, 0, 0, 0, 0, 1, 0},  // not past the middle
      {{{5, 1}, {L - 5, 2}, {5, 3}}, 0, 0, 0, 0, 3, 0},  // back onto the grid and off again
      // Rolling back over the line gives back the lap without a lap time.
      {{{5, 1}, {L / 2, 30}, {L - 5, 60}, {5, 61}, {L - 5, 62}, {5, 65}}, 1, 0, 60, 60, 61, 0},
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
    float got[6] = {(float)c.lap, (float)c.finished, c.lastLap, c.bestLap, c.lapStart, c.finishTime},
          want[6] = {(float)k.lap, (float)k.finished, k.lastLap, k.bestLap, k.lapStart, k.finishTime};
    for (int j = 0; j < 6; j++) EXPECT_FLOAT_EQ(got[j], want[j]) << &k - cases << " field " << j;
  }
}

// Car 0 at 100 m; the other three spread far along the road unless a case moves car 2.
static void field(float speed0, float lateral0 = 0.0f) {
  memset(g_cars, 0, sizeof g_cars);
  for (int i = 1; i < CAR_COUNT; i++) place(&g_cars[i], 1000.0f + 200.0f * i, 0.0f, 20.0f);
  place(&g_cars[0], 100.0f, lateral0, speed0);
  g_cars[0].laneTarget = 0.2f, g_cars[0].laneTimer = 3.0f;
}

TEST(CarAi, MakingRoomAndPedals) {
  ring_track(5000.0f, 6.0f, 3.0f);
  struct Room { float ahead, lateral, laneTarget; } rooms[] = {
      {10.0f, 1.0f, -0.5f}, {10.0f, -1.0f, 0.5f}, {15.0f, 1.0f, 0.2f}, {10.0f, 3.5f, 0.2f}};
  for (const Room& k : rooms) {
    field(20.0f, 0.5f);
    place(&g_cars[2], 100.0f + k.ahead, k.lateral, 20.0f);
    car_ai(&g_cars[0], kDt);
    EXPECT_FLOAT_EQ(g_cars[0].laneTarget, k.laneTarget) << k.ahead << " " << k.lateral;
    EXPECT_FLOAT_EQ(g_cars[0].laneTimer, k.laneTarget == 0.2f ? 3.0f - kDt : 1.5f);
  }
  field(30.0f);
  car_ai(&g_cars[0], kDt);
  EXPECT_EQ(g_cars[0].throttle, 1.0f) << "nothing to brake for on a straight";
  ring_track(38.0f, 6.0f, 3.0f, 128);  // curvature 1/38: corner speed about 23.3 m/s at skill 0.95
  struct Pedals { float speed, throttle, brake; } pedals[] = {{20, 1, 0}, {23, 0.3f, 0}, {26, 0, 0.45f}, {40, 0, 1}};
  for (const Pedals& k : pedals) {
    field(k.speed);
    g_cars[0].skill = 0.95f;
    car_ai(&g_cars[0], kDt);
    EXPECT_TRUE(g_cars[0].throttle == k.throttle && f_abs(g_cars[0].brake - k.brake) < 0.03f) << k.speed;
  }
}

TEST(CarAi, BacksOutWhenStuckForSeventyCalls) {
  ring_track(5000.0f, 6.0f, 3.0f);
  field(0.0f, 3.0f);
  Car* c = &g_cars[0];
  c->heading += 0.3f, c->laneTimer = 100.0f;
  int calls = 0;
  while (c->reverseFrames == 0 && calls < 200) car_ai(c, kDt), calls++;
  EXPECT_EQ(calls, 109);  // just past 1.8 s
  float ahead = c->steerInput;
  ASSERT_NE(ahead, 0.0f);
  for (int i = 0; i < 70; i++) {
    car_ai(c, kDt);
    ASSERT_TRUE(c->brake == 1.0f && c->throttle == 0.0f && c->steerInput == -ahead) << i;
  }
  car_ai(c, kDt);
  EXPECT_EQ(c->throttle, 1.0f);
  c->stuckTime = 1.0f, c->speed = 1.5f;
  car_ai(c, kDt);
  EXPECT_EQ(c->stuckTime, 0.0f) << "moving again: no longer stuck";
}
