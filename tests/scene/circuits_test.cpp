// Race frames on every circuit and on circuits of the tests' own: the sky,
// the sun, the device work a frame costs, the cones, the night lights, smoke.
#include "scene_fixture.h"

namespace {

// Changed pixels between two frames and their summed change per channel (r, g, b).
struct Diff {
  int n = 0;
  long c[3] = {0, 0, 0};
};
Diff diff(const Pixels& a, const Pixels& b) {
  Diff d;
  for (size_t i = 0; i < a.size(); i++) {
    d.n += a[i] != b[i];
    for (int k = 0; k < 3; k++) d.c[k] += (int)(a[i] >> (16 - 8 * k) & 255) - (int)(b[i] >> (16 - 8 * k) & 255);
  }
  return d;
}

void own_circuit(const char* header) {
  ASSERT_EQ(system("mkdir -p data/tracks"), 0);
  spit("data/tracks/1.trk", std::string(header) + "width 12\npt 0 0\npt 0 200\npt 150 200\npt 150 0\n");
}

TEST_F(SceneTest, TheSkyRunsFromItsTopColourDownToTheHorizon) {
  own_circuit("sky 2040a0 d0e0f0\n");  // no sky strip: the sky shows above the distant ring
  race(0, 4, 2.0f);
  steady_camera();
  Pixels px = frame();
  float hx = g_camFwd.x, hz = g_camFwd.z, len = f_sqrt(hx * hx + hz * hz);
  Vec3 far = m4_xform_point(g_view, Vec3{g_eye.x + 1000 * hx / len, g_eye.y, g_eye.z + 1000 * hz / len});
  float hy = g_lowH * 0.5f * (1.0f - far.y / far.z * g_proj.m[1][1]);  // where eye height meets the distance
  ASSERT_GT(hy, 60.0f);
  for (int y : {0, (int)(hy / 4), (int)(hy / 3)})
    for (int x : {0, g_lowW - 1}) {
      float t = (y + 0.5f) / (hy + 0.5f);
      Diff d = diff({at(px, x, y)}, {(uint32_t)(0x20 + (0xd0 - 0x20) * t + 0.5f) << 16 |
                                     (uint32_t)(0x40 + (0xe0 - 0x40) * t + 0.5f) << 8 | (uint32_t)(0xa0 + 0x50 * t + 0.5f)});
      EXPECT_LE(std::abs(d.c[0]) + std::abs(d.c[1]) + std::abs(d.c[2]), 4) << "row " << y;
    }
}

TEST_F(SceneTest, EveryCircuitStaysWithinItsDeviceBudgetAndDrawsItsConesAtOnce) {
  for (int t = 0; t < 3; t++) {
    race(t, 4, 2.0f);
    frame();  // textures and cone caches made
    frame();
    int near = 0;
    for (int i = 0; i < g_track.coneCount; i++) {
      float dx = g_track.cones[i].x - g_eye.x, dz = g_track.cones[i].z - g_eye.z;
      near += dx * dx + dz * dz <= 62500;
    }
    EXPECT_EQ(idraws_, near > 0) << "one indexed draw for all the cones";
    EXPECT_LE(draws_, 40) << t;
    EXPECT_LE(calls_, 200) << t;
    printf("circuit %d: %d device calls, %d draws, %d triangles\n", t, calls_, draws_, tris_);
    if (t) continue;
    // A cone knocked over is drawn where it now lies; an oversized cone model hides them all.
    Cone& c = g_track.cones[0];
    c.x = g_cars[0].x + 6 * f_sin(g_cars[0].heading), c.z = g_cars[0].z + 6 * f_cos(g_cars[0].heading);
    Pixels upright = frame();
    int all = tris_;
    c.tilt = 1.5707964f, c.fallDir = 0.7f;
    EXPECT_NE(frame(), upright);
    Mesh& m = model_get("cone")->mesh;
    const int ni = m.nindices;
    for (int32_t* n : {&m.nverts, &m.nindices}) {
      int32_t keep = *n;
      *n = n == &m.nverts ? 81 : 123;
      frame();
      EXPECT_EQ(tris_, all - near * ni / 3);
      *n = keep;
    }
  }
}

TEST_F(SceneTest, TheNightCircuitLightsTheRoadAheadAndItsLamps) {
  race(2, 4, 2.0f);
  ASSERT_TRUE(g_track.night && g_track.lampCount > 0);
  g_set.hud = 0;
  steady_camera();
  frame();
  Pixels lit = frame();
  g_track.night = 0;
  Pixels dark = frame();
  Pixels litLow(lit.begin() + lit.size() / 2, lit.end()), darkLow(dark.begin() + dark.size() / 2, dark.end());
  Diff d = diff(litLow, darkLow);  // the headlight beams on the road ahead
  EXPECT_GT(d.n, (int)litLow.size() / 40);
  EXPECT_GT(d.c[0] + d.c[1] + d.c[2], 20L * d.n);
}

TEST_F(SceneTest, TheSunIsSmallerAndBluishAtNightAndSmokeFadesWithItsLife) {
  own_circuit("sky 000000 000000\nfog 000000 80 300\n");
  g_set.hud = 0;
  race(0, 4, 2.0f);
  steady_camera();
  frame();
  g_track.sunDir[0] = -g_camFwd.x, g_track.sunDir[1] = -0.2f, g_track.sunDir[2] = -g_camFwd.z;  // low ahead
  Diff sun[2];
  for (int night : {0, 1}) {
    g_track.night = night, g_track.sunDisc = 1;
    Pixels with = frame();
    g_track.sunDisc = 0;
    sun[night] = diff(with, frame());
  }
  EXPECT_GT(sun[1].n, 0);
  EXPECT_GT(sun[0].n, 3 * sun[1].n) << "halo 40 by day, 14 at night";
  EXPECT_GT(sun[0].c[0], sun[0].c[2]) << "warm by day";
  EXPECT_GT(sun[1].c[2], sun[1].c[0]) << "bluish at night";

  // Live particles are two triangles each, dead ones nothing; a puff fades with its life.
  memset(g_parts, 0, sizeof g_parts);
  g_track.night = 0;
  Pixels clear = frame();
  int none = tris_;
  long fade[3];
  for (int k = 0; k < 3; k++) {
    Particle& p = g_parts[7];
    p.position = Vec3{g_eye.x + 6 * g_camFwd.x, g_eye.y + 6 * g_camFwd.y, g_eye.z + 6 * g_camFwd.z};
    p.maxLife = 1, p.life = 1 - 0.5f * k, p.size = 0.8f, p.colour = 0xFFFFFFFF;
    Diff d = diff(frame(), clear);
    fade[k] = d.c[0] + d.c[1] + d.c[2];
    EXPECT_EQ(tris_, none + (k < 2 ? 2 : 0)) << k;
  }
  EXPECT_GT(fade[0], fade[1] * 3 / 2);
  EXPECT_GT(fade[1], 0);
  EXPECT_EQ(fade[2], 0);
}

}  // namespace
