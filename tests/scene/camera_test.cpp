// The chase camera by value, the results table's times and order, the time text.
#include <cmath>

#include "scene_fixture.h"

namespace {

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(g_cars, 0, sizeof g_cars);
    for (int i = 0; i < 4; i++) g_cars[i].x = 100.0f * (i + 1);
    g_attract = g_set.camera = g_camCar = 0;
    memset(&g_track, 0, sizeof g_track);           // no walls to keep inside
    for (int i = 0; i < 600; i++) camera_place();  // the look-over height dies away
    g_camInit = 0;
  }
};

TEST_F(CameraTest, ChaseDistancesOrbitSmoothingAndShake) {
  // a: the orbit angle
  const struct { int attract, camera; float a, D, H, S; } cases[] = {{0, 0, 0, 7.4f, 3.1f, 0}, {0, 7, 0, 10.5f, 4.4f, 0}, {1, 0, 0, 10, 3.2f, 0}, {1, 0, 1.5707964f, 8, 3.2f, 6}};
  const float s = sinf(0.5f), k = cosf(0.5f);
  for (auto& c : cases) {
    g_attract = c.attract, g_set.camera = c.camera, g_camTimer = (c.a + 1.2f) / 0.35f, g_camCar = c.attract * 2;
    Car& car = g_cars[g_camCar];
    car.heading = 0.5f, g_camInit = 0;
    camera_place();
    float dx = g_camPos.x - (car.x - s * c.D + k * c.S), dz = g_camPos.z - (car.z - k * c.D - s * c.S);
    EXPECT_TRUE(f_abs(dx) + f_abs(dz) < 2e-3f && f_abs(g_camPos.y + g_camAt.x - (c.H + car.x + 4 * s)) < 1e-3f) << c.D;
  }
  // After the snap, smoothing per frame: position by 0.11666667, look-at by 0.2.
  g_attract = g_camInit = 0;
  camera_place();
  Vec3 p0 = g_camPos, a0 = g_camAt;
  g_cars[0].x += 10;
  camera_place();
  EXPECT_TRUE(f_abs(g_camPos.x - p0.x - 10 * 0.11666667f) < 1e-4f && f_abs(g_camAt.x - a0.x - 10 * 0.2f) < 1e-4f);
  // Hits shake the eye within min(impact x 0.012, 0.25), never the camera; 0.8 m/s is below the threshold.
  for (float impact : {0.8f, 100.0f}) {
    g_cars[0].impact = impact;
    float moved = 0, most = 0;
    for (int i = 0; i < 20; i++, camera_place()) {
      moved += std::fabs(g_eye.x - g_camPos.x) + std::fabs(g_eye.y - g_camPos.y) + std::fabs(g_eye.z - g_camPos.z);
      most = std::max(most, std::fabs(g_eye.x - g_camPos.x));
    }
    EXPECT_EQ(moved > 1.0f && most <= 0.25f, impact > 1) << impact;
  }
}

TEST_F(CameraTest, ACarCloseBehindLiftsTheCameraSmoothly) {
  const float D = 7.4f, L = (1 - 0.501f / (D + 4)) * 3.4f + 1.6f;
  const struct { float along, side, lift; } cases[] = {{-0.501f, 0, L}, {-5, -2.7f, (1 - 5 / (D + 4)) * 3.4f + 1.6f}, {-0.5f, 0, 0}, {-(D + 3.01f), 0, 0},
               {-3, 2.8f, 0}, {3, 0, 0}};
  for (auto& c : cases) {
    g_cars[1].x = g_cars[0].x + c.side, g_cars[1].z = c.along;  // heading 0: along is z
    EXPECT_NEAR(camera_lift_target(0, D), c.lift, 1e-5f) << c.along << " " << c.side;
  }
  g_cars[3].x = g_cars[0].x, g_cars[3].z = -0.501f, g_cars[1].z = -6;
  EXPECT_NEAR(camera_lift_target(0, D), L, 1e-5f) << "the nearest of two";
  // The height follows by 5 % a frame, the distance by 0.4 of it; it comes down again.
  g_cars[1].x = 900;
  camera_place();
  EXPECT_NEAR(g_camPos.y + g_camPos.z, 3.1f + 0.05f * L - D - 0.02f * L, 1e-4f);
  for (float z : {-0.501f, -20.0f}) {
    g_cars[3].z = z;
    for (int i = 0; i < 400; i++) camera_place();
    EXPECT_NEAR(g_camPos.y, z > -1 ? 3.1f + L : 3.1f, 1e-3f);
  }
}

TEST_F(CameraTest, TheCameraIsKeptInsideTheWalls) {
  ASSERT_TRUE(track_load_text("pt 100 0 10\npt 70.7 70.7 10\npt 0 100 10\npt -70.7 70.7 10\n"
                              "pt -100 0 10\npt -70.7 -70.7 10\npt 0 -100 10\npt 70.7 -70.7 10\n", 0));
  for (float side : {-1.0f, 1.0f}) {
    Car& car = g_cars[0];
    car.x = 0, car.z = 100 + side * 6, car.heading = 1.5707964f + side * 0.6f;  // at the edge, nosing out
    car.seg = track_locate(car.x, car.z, -1, nullptr, nullptr), g_camInit = 0;
    camera_place();
    float d = 0;
    int i = track_locate(g_camPos.x, g_camPos.z, car.seg, &d, nullptr);
    EXPECT_NEAR(std::fabs(d), g_track.samples[i].halfWidth + g_track.wallOffset - 0.4f, 0.05f) << side;
  }
  track_free();
}

TEST(Results, EstimatesOrderAndTimeText) {
  memset(g_cars, 0, sizeof g_cars);
  g_track.length = 1000, g_laps = 3, g_raceTime = 50;
  // Finished; 1500 m in 50 s; still on the grid (20 m/s assumed); finished as fast as car 0.
  g_cars[0].finished = g_cars[3].finished = 1, g_cars[0].finishTime = g_cars[3].finishTime = 140;
  g_cars[1].lap = 1, g_cars[1].dist = 500, g_cars[2].lap = -1, g_cars[2].dist = 990;
  float t[4], ties[4] = {5, 5, 5, 5};
  for (int i = 0; i < 4; i++) t[i] = results_time(i);
  EXPECT_EQ(std::vector<float>(t, t + 4), std::vector<float>({140, 100, 200.5f, 140}));
  int order[8], *tied = order + 4;
  results_order(t, order), results_order(ties, tied);
  EXPECT_EQ(std::vector<int>(order, order + 8), std::vector<int>({1, 0, 3, 2, 0, 1, 2, 3})) << "equal times keep car order";
  std::string all;
  for (float s : {59.996f, -3.0f, 61.234f, 600.5f, NAN, 1e30f}) {
    char buf[32];
    time_text(buf, sizeof buf, s), all += std::string(buf) + " ";
  }
  EXPECT_EQ(all, "1:00.00 0:00.00 1:01.23 10:00.50 0:00.00 166666:40.00 ");
  EXPECT_EQ(std::string(place_suffix(1)) + place_suffix(3) + place_suffix(0) + place_suffix(11), "STRDTHTH");
}

}  // namespace
