// A race frame on every circuit: the sky where it belongs, the device work
// a frame costs, the cones in one draw, and the lights of the night circuit.
#include "scene_fixture.h"

namespace {

int channel_diff(uint32_t a, uint32_t b) {
  int d = 0;
  for (int s = 0; s < 24; s += 8) d = std::max(d, std::abs((int)((a >> s) & 255) - (int)((b >> s) & 255)));
  return d;
}

uint32_t lerp(uint32_t a, uint32_t b, float t) {
  uint32_t c = 0;
  for (int s = 0; s < 24; s += 8)
    c |= (uint32_t)((float)((a >> s) & 255) + ((float)((b >> s) & 255) - (float)((a >> s) & 255)) * t + 0.5f) << s;
  return c;
}

// Lets the look-over height settle, so that frames in a row see the same view.
void steady_camera() {
  for (int i = 0; i < 600; i++) camera_place();
  g_camInit = 0;
}

TEST_F(SceneTest, TheSkyRunsFromItsTopColourDownToTheHorizon) {
  // A circuit of its own with no sky strip: the sky shows above the distant ring.
  ASSERT_EQ(system("mkdir -p data/tracks"), 0);
  spit("data/tracks/1.trk",
       "name SKY TEST\nsky 2040a0 d0e0f0\nfog 808080 80 300\nsundisc 0\nwidth 12\n"
       "pt 0 0\npt 0 200\npt 150 200\npt 150 0\n");
  race(0, 4, 2.0f);
  ASSERT_STREQ(g_track.name, "SKY TEST");
  for (int i = 1; i < 4; i++) g_cars[i].x += 60;  // no one behind: a level camera
  steady_camera();
  std::vector<uint32_t> px = frame();
  // The horizon: where a point far ahead at eye height lands.
  float hx = g_camFwd.x, hz = g_camFwd.z, len = f_sqrt(hx * hx + hz * hz);
  Vec3 far = m4_xform_point(g_view, Vec3{g_eye.x + 1000 * hx / len, g_eye.y, g_eye.z + 1000 * hz / len});
  float hy = (float)g_lowH * 0.5f * (1.0f - far.y / far.z * g_proj.m[1][1]);
  ASSERT_GT(hy, 60.0f);
  for (int y : {0, (int)(hy / 4), (int)(hy / 3)})
    for (int x : {0, g_lowW / 2, g_lowW - 1})
      EXPECT_LE(channel_diff(at(px, x, y), lerp(0x2040a0, 0xd0e0f0, ((float)y + 0.5f) / (hy + 0.5f))), 3)
          << "row " << y << " column " << x;
}

TEST_F(SceneTest, EveryCircuitStaysWithinItsDeviceBudget) {
  for (int t = 0; t < 3; t++) {
    race(t, 4, 2.0f);
    g_raceTime = 2.0f;
    frame();  // textures and the cone caches made
    frame();
    int coneNear = 0;
    for (int i = 0; i < g_track.coneCount; i++) {
      float dx = g_track.cones[i].x - g_eye.x, dz = g_track.cones[i].z - g_eye.z;
      coneNear += dx * dx + dz * dz <= 62500.0f;
    }
    EXPECT_EQ(idraws_, coneNear ? 1 : 0) << "cones go out in one indexed draw";
    EXPECT_LE(draws_, 40) << "circuit " << t;
    EXPECT_LE(calls_, 200) << "circuit " << t;
    printf("circuit %d: %d device calls, %d draws, %d triangles\n", t, calls_, draws_, tris_);
  }
}

TEST_F(SceneTest, ConesAreDrawnFromTheirCacheAndHiddenForAnOversizedModel) {
  race(0, 4, 2.0f);
  ASSERT_GT(g_track.coneCount, 0);
  // Put cone 0 right in front of the player's car.
  Cone& c = g_track.cones[0];
  c.x = g_cars[0].x + 6 * f_sin(g_cars[0].heading), c.z = g_cars[0].z + 6 * f_cos(g_cars[0].heading);
  std::vector<uint32_t> upright = frame();
  int withCones = tris_, near = 0;
  for (int i = 0; i < g_track.coneCount; i++) {
    float dx = g_track.cones[i].x - g_eye.x, dz = g_track.cones[i].z - g_eye.z;
    near += dx * dx + dz * dz <= 62500.0f;
  }
  Model* cone = model_get("cone");
  int nv = cone->mesh.nverts, ni = cone->mesh.nindices;
  EXPECT_EQ(idraws_, 1);
  // Knocked over: the next frame draws it where it now lies, with the same triangle count.
  c.tilt = 1.5707964f, c.fallDir = 0.7f;
  std::vector<uint32_t> lying = frame();
  EXPECT_EQ(tris_, withCones);
  EXPECT_NE(lying, upright) << "the cone's vertices were made again";
  // A cone model over 80 vertices or 120 indices hides every cone, without error.
  for (int over : {0, 1}) {
    (over ? cone->mesh.nindices : cone->mesh.nverts) = over ? 123 : 81;
    frame();
    EXPECT_EQ(idraws_, 0);
    EXPECT_EQ(tris_, withCones - near * ni / 3) << "only the cones went";
    cone->mesh.nverts = nv, cone->mesh.nindices = ni;
  }
}

TEST_F(SceneTest, TheNightCircuitLightsTheRoadAheadAndItsLamps) {
  int night = -1;
  for (int t = 0; t < 3 && night < 0; t++) {
    race(t, 4, 2.0f);
    if (g_track.night) night = t;
  }
  ASSERT_GE(night, 0) << "one of the circuits is a night circuit";
  g_set.hud = 0;
  ASSERT_GT(g_track.lampCount, 0);
  for (int i = 1; i < 4; i++) g_cars[i].x += 60;  // no one behind: a steady camera
  steady_camera();
  frame();
  std::vector<uint32_t> lit = frame();
  g_track.night = 0;  // the same frame without its lights
  std::vector<uint32_t> dark = frame();
  g_track.night = 1;
  // The headlight beams fall on the road ahead: the lower middle of the picture.
  long gain = 0, lost = 0;
  for (int y = g_lowH / 2; y < g_lowH - 10; y++)
    for (int x = g_lowW / 3; x < 2 * g_lowW / 3; x++)
      for (int s = 0; s < 24; s += 8) {
        int d = (int)((at(lit, x, y) >> s) & 255) - (int)((at(dark, x, y) >> s) & 255);
        (d > 0 ? gain : lost) += std::abs(d);
      }
  EXPECT_GT(gain, 20 * (long)(g_lowW / 3) * (g_lowH / 2 - 10) / 10) << "light added";
  EXPECT_EQ(lost, 0) << "additive light only brightens";
}

}  // namespace
