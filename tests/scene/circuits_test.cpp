// Race frames on every circuit and on one of the tests' own: the sky, the
// device work a frame costs, the cones, the night lights and the smoke.
#include "scene_fixture.h"

namespace {

// Pixels that changed between two frames, and by how much in all.
std::pair<int, long> diff(const Pixels& a, const Pixels& b, size_t from = 0) {
  std::pair<int, long> d{0, 0};
  for (size_t i = from; i < a.size(); i++) {
    d.first += a[i] != b[i];
    for (int s = 0; s < 24; s += 8) d.second += (int)(a[i] >> s & 255) - (int)(b[i] >> s & 255);
  }
  return d;
}

TEST_F(SceneTest, TheSkyRunsFromItsTopColourDownToTheHorizon) {
  // A circuit with no sky strip: the sky shows above the distant ring.
  ASSERT_EQ(system("mkdir -p data/tracks"), 0);
  spit("data/tracks/1.trk", "sky 2040a0 d0e0f0\nwidth 12\npt 0 0\npt 0 200\npt 150 200\npt 150 0\n");
  race(0, 4, 2.0f);
  steady_camera();
  Pixels px = frame();
  float hx = g_camFwd.x, hz = g_camFwd.z, len = f_sqrt(hx * hx + hz * hz);
  Vec3 far = m4_xform_point(g_view, Vec3{g_eye.x + 1000 * hx / len, g_eye.y, g_eye.z + 1000 * hz / len});
  float hy = g_lowH * 0.5f * (1.0f - far.y / far.z * g_proj.m[1][1]);  // where eye height meets the distance
  ASSERT_GT(hy, 60.0f);
  for (int y : {0, (int)(hy / 4), (int)(hy / 3)}) {
    float t = (y + 0.5f) / (hy + 0.5f);
    uint32_t want = (uint32_t)(0x20 + 0xb0 * t + 0.5f) << 16 | (uint32_t)(0x40 + 0xa0 * t + 0.5f) << 8 |
                    (uint32_t)(0xa0 + 0x50 * t + 0.5f);
    for (int x : {0, g_lowW - 1}) EXPECT_LE(std::abs(diff({at(px, x, y)}, {want}).second), 3) << "row " << y;
  }
}

TEST_F(SceneTest, EveryCircuitStaysWithinItsDeviceBudgetAndDrawsItsConesAtOnce) {
  for (int t = 0; t < 3; t++) {
    race(t, 4, 2.0f);
    frame();  // textures and cone caches made
    frame();
    int near = 0, all = tris_;
    for (int i = 0; i < g_track.coneCount; i++) {
      float dx = g_track.cones[i].x - g_eye.x, dz = g_track.cones[i].z - g_eye.z;
      near += dx * dx + dz * dz <= 62500;
    }
    EXPECT_EQ(idraws_, near > 0) << "one indexed draw for all the cones";
    EXPECT_TRUE(draws_ <= 40 && calls_ <= 200) << t;
    printf("circuit %d: %d device calls, %d draws, %d triangles\n", t, calls_, draws_, tris_);
    if (t) continue;
    // A cone knocked over is drawn where it now lies; an oversized cone model hides them all.
    steady_camera();
    Cone& c = g_track.cones[0];
    c.x = g_cars[0].x + 6 * f_sin(g_cars[0].heading), c.z = g_cars[0].z + 6 * f_cos(g_cars[0].heading);
    c.fallDir = 0.7f;
    frame();
    Pixels upright = frame();
    c.tilt = 1.5707964f;
    EXPECT_NE(frame(), upright);
    Mesh& m = model_get("cone")->mesh;
    const int ni = m.nindices;
    for (int32_t* n : {&m.nverts, &m.nindices}) {
      int32_t keep = *n;
      *n = n == &m.nverts ? 81 : 121, frame(), *n = keep;
      EXPECT_EQ(tris_, all - near * ni / 3);
    }
  }
}

TEST_F(SceneTest, TheNightCircuitLightsTheRoadAheadAndSmokeFadesWithItsLife) {
  race(2, 4, 2.0f);
  ASSERT_TRUE(g_track.night && g_track.lampCount > 0);
  g_set.hud = 0;
  steady_camera();
  frame();
  Pixels lit = frame(), clear = lit;
  g_track.night = 0;
  auto beams = diff(lit, frame(), lit.size() / 2);  // the road ahead, in the lower half
  EXPECT_GT(beams.first, (int)lit.size() / 80);
  EXPECT_GT(beams.second, 20L * beams.first) << "light only adds";
  // Live particles are two triangles each, dead ones nothing; a puff fades with its life.
  g_track.night = 1;
  memset(g_parts, 0, sizeof g_parts);
  int none = (clear = frame(), tris_);
  long fade[3];
  for (int k = 0; k < 3; k++) {
    Particle& p = g_parts[7];
    p.position = Vec3{g_eye.x + 6 * g_camFwd.x, g_eye.y + 6 * g_camFwd.y, g_eye.z + 6 * g_camFwd.z};
    p.maxLife = 1, p.life = 1 - 0.5f * k, p.size = 0.8f, p.colour = 0xFFFFFFFF;
    fade[k] = diff(frame(), clear).second;
    EXPECT_EQ(tris_, none + (k < 2 ? 2 : 0)) << k;
  }
  EXPECT_TRUE(fade[1] > 0 && fade[0] > fade[1] * 3 / 2 && fade[2] == 0) << fade[0] << " " << fade[1] << " " << fade[2];
}

}  // namespace
