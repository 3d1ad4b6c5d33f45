// The chase camera's maths by value, the results table's times and order,
// and the time text.
#include <cmath>

#include "scene_fixture.h"

namespace {

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(g_cars, 0, sizeof g_cars);
    for (int i = 0; i < 4; i++) g_cars[i].x = 100.0f * (float)(i + 1);  // far apart
    g_attract = 0, g_set.camera = 0, g_camCar = 0, g_camTimer = 0;
    memset(&g_track, 0, sizeof g_track);  // no track: nothing to keep the camera inside
    settle();
  }
  // Lets the look-over height die away, then snaps the camera afresh.
  void settle() {
    for (int i = 0; i < 600; i++) camera_place();
    g_camInit = 0;
  }
};

TEST_F(CameraTest, ChaseDistancesOrbitAndSmoothing) {
  struct {
    int attract, camera;
    float timer, D, H, S;
  } cases[] = {
      {0, 0, 0, 7.4f, 3.1f, 0},  {0, 1, 0, 10.5f, 4.4f, 0}, {0, 7, 0, 10.5f, 4.4f, 0},
      // Orbit: a = timer x 0.35 - 1.2; side 6 sin a, distance 8 + 2 cos a.
      {1, 0, 1.2f / 0.35f, 10.0f, 3.2f, 0}, {1, 0, (1.2f + 1.5707964f) / 0.35f, 8.0f, 3.2f, 6.0f},
  };
  for (auto& c : cases) {
    g_attract = c.attract, g_set.camera = c.camera, g_camTimer = c.timer, g_camCar = c.attract ? 2 : 0;
    Car& car = g_cars[g_camCar];
    car.heading = 0.5f;
    float s = sinf(0.5f), k = cosf(0.5f);
    g_camInit = 0;
    camera_place();
    EXPECT_NEAR(g_camPos.x, car.x - s * c.D + k * c.S, 1e-3f) << c.D;
    EXPECT_NEAR(g_camPos.z, car.z - k * c.D - s * c.S, 1e-3f) << c.D;
    EXPECT_NEAR(g_camPos.y, c.H, 1e-3f);
    EXPECT_NEAR(g_camAt.x, car.x + 4 * s, 1e-3f);
    EXPECT_EQ(g_camInit, 1);
  }
  // Smoothed per frame: position by 0.11666667, look-at by 0.2 (height towards 1).
  g_attract = 0, g_set.camera = 0, g_camInit = 0;
  g_cars[0].heading = 0;
  camera_place();
  Vec3 p0 = g_camPos, a0 = g_camAt;
  g_cars[0].x += 10.0f;
  camera_place();
  EXPECT_NEAR(g_camPos.x - p0.x, 10.0f * 0.11666667f, 1e-4f);
  EXPECT_NEAR(g_camAt.x - a0.x, 10.0f * 0.2f, 1e-4f);
  EXPECT_EQ(g_camPos.z, p0.z);
  // The basis is orthonormal, right is level, up points up.
  auto dot = [](Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
  EXPECT_NEAR(dot(g_camFwd, g_camRight), 0, 1e-5f);
  EXPECT_NEAR(dot(g_camFwd, g_camUp), 0, 1e-5f);
  EXPECT_NEAR(dot(g_camUp, g_camUp), 1, 1e-5f);
  EXPECT_EQ(g_camRight.y, 0.0f);
  EXPECT_GT(g_camUp.y, 0.9f);
}

TEST_F(CameraTest, ACarCloseBehindLiftsTheCameraSmoothly) {
  const float D = 7.4f;
  struct {
    float along, side, lift;
  } cases[] = {
      {-0.501f, 0, (1 - 0.501f / (D + 4)) * 3.4f + 1.6f},
      {-0.5f, 0, 0},  // half a metre behind is still alongside
      {-5.0f, -2.7f, (1 - 5.0f / (D + 4)) * 3.4f + 1.6f},
      {-0.4f, 0, 0},      // alongside, not behind
      {-(D + 3.01f), 0, 0},  // too far back
      {-3.0f, 2.8f, 0},   // off to the side
      {3.0f, 0, 0},       // in front
  };
  for (auto& c : cases) {
    g_cars[1].x = g_cars[0].x + c.side;  // heading 0: along is z, side is x
    g_cars[1].z = g_cars[0].z + c.along;
    EXPECT_NEAR(camera_lift_target(0, D), c.lift, 1e-5f) << c.along << " " << c.side;
  }
  // The nearest of two wins.
  g_cars[1].z = g_cars[0].z - 6, g_cars[1].x = g_cars[0].x;
  g_cars[3].z = g_cars[0].z - 1, g_cars[3].x = g_cars[0].x;
  EXPECT_NEAR(camera_lift_target(0, D), (1 - 1 / (D + 4)) * 3.4f + 1.6f, 1e-5f);

  // The height follows by 5 % a frame, the distance grows with 0.4 of it.
  g_cars[3].x = 900;
  g_cars[1].z = g_cars[0].z - 0.5f;
  float L = camera_lift_target(0, D), lift = 0;
  camera_place();
  lift += (L - lift) * 0.05f;
  EXPECT_NEAR(g_camPos.y, 3.1f + lift, 1e-4f);
  EXPECT_NEAR(g_camPos.z, g_cars[0].z - D - 0.4f * lift, 1e-4f);
  for (int i = 0; i < 400; i++) camera_place();
  EXPECT_NEAR(g_camPos.y, 3.1f + L, 1e-3f);
  g_cars[1].z = g_cars[0].z - 20;  // drops back: the camera comes down again
  for (int i = 0; i < 400; i++) camera_place();
  EXPECT_NEAR(g_camPos.y, 3.1f, 1e-3f);
}

TEST_F(CameraTest, HitsShakeTheEyeButNotTheCamera) {
  camera_place();
  EXPECT_EQ(memcmp(&g_eye, &g_camPos, sizeof g_eye), 0);
  g_cars[0].impact = 0.8f;  // q = 0.0096: below the threshold
  camera_place();
  EXPECT_EQ(memcmp(&g_eye, &g_camPos, sizeof g_eye), 0);
  g_cars[0].impact = 100.0f;  // q = min(1.2, 0.25)
  float moved = 0;
  for (int i = 0; i < 20; i++) {
    camera_place();
    EXPECT_LE(std::fabs(g_eye.x - g_camPos.x), 0.25f);
    EXPECT_LE(std::fabs(g_eye.y - g_camPos.y), 0.25f);
    EXPECT_EQ(g_eye.z, g_camPos.z);
    moved += std::fabs(g_eye.x - g_camPos.x);
  }
  EXPECT_GT(moved, 0.5f);
  EXPECT_NEAR(g_camPos.y, 3.1f, 1e-3f) << "the shake is not stored";
}

TEST_F(CameraTest, TheCameraIsKeptInsideTheWalls) {
  // A round circuit of radius 100 and road width 10: limit = 5 + 3 - 0.4.
  ASSERT_TRUE(track_load_text("name RING\n"
                              "pt 100 0 10\npt 70.7 70.7 10\npt 0 100 10\npt -70.7 70.7 10\n"
                              "pt -100 0 10\npt -70.7 -70.7 10\npt 0 -100 10\npt 70.7 -70.7 10\n",
                              0));
  Car& car = g_cars[0];
  car.seg = track_locate(0, 100, -1, nullptr, nullptr);
  car.x = 0, car.z = 100, car.heading = 1.5707964f;  // heading along +x across the top of the ring
  for (float side : {-1.0f, 1.0f}) {
    car.z = 100 + side * 6.0f;  // near the edge: the chase camera swings wide behind
    car.heading = 3.1415927f / 2 + side * 0.6f;
    g_camInit = 0;
    camera_place();
    float d = 0;
    track_locate(g_camPos.x, g_camPos.z, car.seg, &d, nullptr);
    const Sample& sm = g_track.samples[track_locate(g_camPos.x, g_camPos.z, car.seg, nullptr, nullptr)];
    EXPECT_NEAR(std::fabs(d), sm.halfWidth + g_track.wallOffset - 0.4f, 0.05f) << side;
  }
  track_free();
}

TEST(Results, EstimatesOrderAndTimeText) {
  memset(g_cars, 0, sizeof g_cars);
  memset(&g_track, 0, sizeof g_track);
  g_track.sampleCount = 0;
  g_track.length = 1000;
  g_laps = 3;
  g_raceTime = 50;
  // Car 0 finished; car 1 has driven 1500 m in 50 s; car 2 has not moved
  // (grid, progress negative): 20 m/s is assumed; car 3 finished in the same time as car 0.
  g_cars[0].finished = 1, g_cars[0].finishTime = 140;
  g_cars[1].lap = 1, g_cars[1].dist = 500;
  g_cars[2].lap = -1, g_cars[2].dist = 990;
  g_cars[3].finished = 1, g_cars[3].finishTime = 140;
  float t[4];
  for (int i = 0; i < 4; i++) t[i] = results_time(i);
  EXPECT_EQ(t[0], 140.0f);
  EXPECT_NEAR(t[1], 50 + 1500.0f / 30.0f, 1e-3f);
  EXPECT_NEAR(t[2], 50 + (3000.0f + 10.0f) / 20.0f, 1e-3f);
  int order[4];
  results_order(t, order);
  EXPECT_EQ(std::vector<int>(order, order + 4), std::vector<int>({1, 0, 3, 2})) << "equal times keep car order";
  float ties[4] = {5, 5, 5, 5}, rev[4] = {4, 3, 2, 1};
  results_order(ties, order);
  EXPECT_EQ(std::vector<int>(order, order + 4), std::vector<int>({0, 1, 2, 3}));
  results_order(rev, order);
  EXPECT_EQ(std::vector<int>(order, order + 4), std::vector<int>({3, 2, 1, 0}));

  struct {
    float t;
    const char* text;
  } times[] = {{0, "0:00.00"},      {59.996f, "1:00.00"}, {-3, "0:00.00"},     {61.234f, "1:01.23"},
               {600.5f, "10:00.50"}, {NAN, "0:00.00"},    {1e30f, "166666:40.00"}, {0.004f, "0:00.00"}};
  for (auto& c : times) {
    char buf[32];
    time_text(buf, sizeof buf, c.t);
    EXPECT_STREQ(buf, c.text) << c.t;
  }
  EXPECT_STREQ(place_suffix(1), "ST");
  EXPECT_STREQ(place_suffix(3), "RD");
  EXPECT_STREQ(place_suffix(0), "TH");
  EXPECT_STREQ(place_suffix(11), "TH");
  EXPECT_EQ(livery_colour(2, 3), 0xFF505050u);
  EXPECT_EQ(livery_colour(1, 2), 0xFFB0B8C0u);
}

}  // namespace
