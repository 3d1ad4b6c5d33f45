// The sampled centre line and the queries on it.
#include <cmath>

#include "track_test_util.h"

namespace {

using Centreline = TrackTest;

float spacing() { return g_track.length / (float)g_track.sampleCount; }

TEST_F(Centreline, SampleCountFollowsTheLoopLength) {
  struct { float around; int samples; } cases[] = {{30, 16}, {300, 0}, {9000, 2048}};  // 0: length / 3
  for (auto& c : cases) {
    ASSERT_EQ(track_load_text(circle_text(c.around).c_str(), 0), 1) << c.around;
    float L = g_track.length;
    EXPECT_NEAR(L, c.around, c.around * 0.02f);
    int M = c.samples ? c.samples : (int)(L / 3.0f);
    ASSERT_EQ(g_track.sampleCount, M) << c.around;
    for (int i = 0; i < M; i++) {
      const Sample &s = g_track.samples[i], &n = g_track.samples[(i + 1) % M];
      ASSERT_NEAR(s.dist, (float)i * L / (float)M, 1e-3f * L);
      ASSERT_NEAR(hypotf(n.x - s.x, n.z - s.z), L / (float)M, 0.02f * L / (float)M) << c.around << " " << i;
    }
    const Sample& s = g_track.samples[0];  // on control point 0
    EXPECT_TRUE(s.x == g_track.pointX[0] && s.z == g_track.pointZ[0] && s.dist == 0) << c.around;
  }
  EXPECT_NEAR(spacing(), 4.39f, 0.1f);
}

TEST_F(Centreline, SegAtWrapsAroundTheLoop) {
  ASSERT_EQ(track_load(0), 1);
  int M = g_track.sampleCount;
  float L = g_track.length, f, f2;
  EXPECT_EQ(seg_at(-1.0f, &f), M - 1);
  EXPECT_NEAR(f, 1.0f - 1.0f / spacing(), 1e-3f);
  int a = seg_at(L + 1.0f, &f), b = seg_at(1.0f, &f2);
  EXPECT_TRUE(a == b && f_abs(f - f2) < 1e-3f && seg_at(-3.0f * L + 1.0f, &f) == b);
  for (int k : {0, 1, M / 2, M - 1}) EXPECT_TRUE(seg_at(g_track.samples[k].dist, &f) == k && f == 0.0f) << k;
  EXPECT_NEAR(track_halfwidth_at(-5.0f), 6.0f, 1e-5f);
}

// Circuit 3 starts with a straight along x = 0 heading +z.
TEST_F(Centreline, LocateFindsTheNearestSpan) {
  ASSERT_EQ(track_load(2), 1);
  const Sample* s = g_track.samples;
  int k = 10;
  ASSERT_TRUE(s[k].x == 0.0f && s[k + 1].x == 0.0f);
  float mz = (s[k].z + s[k + 1].z) / 2, side, dist;
  for (float x : {0.0f, 2.0f}) {
    for (int hint : {-1, k, k + 5}) {
      EXPECT_EQ(track_locate(x, mz, hint, &side, &dist), k) << x << " " << hint;
      EXPECT_TRUE(f_abs(side - x) < 1e-4f && f_abs(dist - s[k].dist - spacing() / 2) < 1e-3f) << side << " " << dist;
    }
  }
  // A hint far away finds the best span inside its window only.
  int M = g_track.sampleCount, far = M / 2;
  float fx = s[far].x, fz = s[far].z;
  EXPECT_EQ(track_locate(fx, fz, -1, nullptr, nullptr), far - 1);  // a tie: the first span wins
  int w = track_locate(fx, fz, 0, nullptr, nullptr);
  EXPECT_TRUE(w >= M - 10 || w <= 14) << w;
  // On the start line the window's first winner is the last span, which ends
  // at the loop length: the distance is the start line's.
  EXPECT_TRUE(track_locate(s[0].x, s[0].z, 0, nullptr, &dist) == M - 1 && dist == 0.0f);
  EXPECT_TRUE(track_locate(s[0].x, s[0].z, -1, nullptr, &dist) == 0 && dist == 0.0f);
}

// A text that doubles back on itself turns round within one sample: half-way
// between the two samples either side of the turn the directions cancel out.
// No direction is ever zero or not a number.
TEST_F(Centreline, LoopsThatDoubleBackKeepUnitDirections) {
  ASSERT_EQ(track_load_text("pt 0 0\npt 0 48\npt 0 0\npt 0 48\n", 0), 1);
  ASSERT_EQ(g_track.sampleCount, 64);  // 3 m apart, a turn every 16 samples
  for (int i = 0; i < g_track.sampleCount; i++) {
    const Sample& s = g_track.samples[i];
    ASSERT_NEAR(s.dirX * s.dirX + s.dirZ * s.dirZ, 1.0f, 1e-5f) << i;
    float x, z, dx, dz;
    track_point_at(s.dist + 1.5f, 3, &x, &z, &dx, &dz);
    ASSERT_NEAR(dx * dx + dz * dz, 1.0f, 1e-5f) << i;
    ASSERT_TRUE(std::isfinite(x) && std::isfinite(z)) << i;
  }
}

}  // namespace
