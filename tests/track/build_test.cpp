// Road geometry and the props pass: where the pieces lie, which way they
// face, and how props, colliders, cones and lamps are placed and limited.
#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "track_test_util.h"

namespace {

typedef std::tuple<std::string, float, float, float> Placed;  // name, x, z, angle
std::vector<Placed> g_placed;
void record(const char* name, float x, float z, float angle, float) { g_placed.emplace_back(name, x, z, angle); }

// Without a device the batches keep their meshes on the CPU, to be inspected.
class Build : public TrackTest {
 protected:
  void SetUp() override {
    TrackTest::SetUp();
    gfx_shutdown();
    g_trackPropHook = record;
    g_placed.clear();
  }
  void TearDown() override {
    g_trackPropHook = nullptr;
    TrackTest::TearDown();
  }
};

// Vertices of every batch of a texture (by name) and layer.
std::vector<Vertex> verts(const char* tex, int layer) {
  std::vector<Vertex> out;
  for (const Batch* b = g_track.batches; b; b = b->next)
    for (const BatchChunk* c = b->chunks; c && b->layer == layer && str_ieq(b->tex->name, tex); c = c->next)
      out.insert(out.end(), c->mesh.verts, c->mesh.verts + c->mesh.nverts);
  return out;
}

// Signed lateral offset (right positive) and track distance of a point.
float side_of(float x, float z, float* dist = nullptr) {
  float side;
  track_locate(x, z, -1, &side, dist);
  return side;
}

std::string ring300(const std::string& extra) { return circle_text(300, 16, extra); }

TEST_F(Build, FlatPiecesFaceUpAndEveryVertexIsFinite) {
  // The last text folds its road over itself; only finite values are asked of it.
  for (int i = 0; i < 4; i++) {
    ASSERT_EQ(i < 3 ? track_load(i) : track_load_text("width 30\npt 0 0\npt 0 5\npt 5 5\npt 5 0\n", 0), 1);
    int flat = 0;
    for (const Batch* b = g_track.batches; b; b = b->next) {
      for (const BatchChunk* c = b->chunks; c; c = c->next) {
        const Mesh& m = c->mesh;
        for (int v = 0; v < m.nverts; v++)
          ASSERT_TRUE(std::isfinite(m.verts[v].x + m.verts[v].y + m.verts[v].z + m.verts[v].u + m.verts[v].v));
        for (int t = 0; t + 2 < m.nindices && b->layer == 0 && i < 3; t += 3) {
          const Vertex &p = m.verts[m.indices[t]], &q = m.verts[m.indices[t + 1]], &r = m.verts[m.indices[t + 2]];
          if (p.ny != 1 || q.ny != 1 || r.ny != 1 || p.y > 0.05f) continue;  // flat track pieces only
          ASSERT_GE((q.z - p.z) * (r.x - p.x) - (q.x - p.x) * (r.z - p.z), -1e-3f) << b->tex->name << " " << i;
          flat++;
        }
      }
    }
    EXPECT_TRUE(flat > 1000 || i == 3);
  }
}

// Circuit 3 runs straight along x = 0 from z = 0 to about z = 150, then bends right.
TEST_F(Build, KerbsLineTheBendsOnly) {
  ASSERT_EQ(track_load(2), 1);
  int left = 0, right = 0;
  for (const Vertex& v : verts("kerb", 0)) {
    float d, s = side_of(v.x, v.z, &d), hw = track_halfwidth_at(d);
    EXPECT_FALSE(f_abs(v.x) < 15 && v.z > 15 && v.z < 150) << v.x << " " << v.z;
    EXPECT_TRUE(f_abs(s) > hw - 0.3f && f_abs(s) < hw + 1.5f && v.y == 0.036f) << s << " " << hw;
    if (d > 170 && d < 230) (s < 0 ? left : right)++;
  }
  EXPECT_TRUE(left > 0 && right > 0);
  ASSERT_EQ(track_load(1), 1);  // "kerb none"
  EXPECT_TRUE(verts("kerb", 0).empty() && verts("none", 0).empty());
}

TEST_F(Build, StartLinesLieOnTheFirstSample) {
  struct { int circuit; const char* tex; float back, ahead; } cases[] = {  // along the road from the line
      {1, "checker", 0.0f, 1.6f}, {0, "startline", -5.0f, 5.0f}};
  for (auto& c : cases) {
    ASSERT_EQ(track_load(c.circuit), 1);
    std::vector<Vertex> v = verts(c.tex, 0);
    ASSERT_EQ(v.size(), 4u) << c.tex;
    const Sample& s = g_track.samples[0];
    float lo = 1e9f, hi = -1e9f;
    for (const Vertex& p : v) {
      float along = (p.x - s.x) * s.dirX + (p.z - s.z) * s.dirZ, across = (p.x - s.x) * s.dirZ - (p.z - s.z) * s.dirX;
      EXPECT_TRUE(f_abs(f_abs(across) - s.halfWidth) < 1e-3f && p.y == 0.045f) << across;
      lo = std::min(lo, along), hi = std::max(hi, along);
    }
    EXPECT_TRUE(f_abs(lo - c.back) < 1e-3f && f_abs(hi - c.ahead) < 1e-3f) << c.tex << " " << lo << " " << hi;
  }
}

TEST_F(Build, RoadTextureRunsOnAcrossTheStartLine) {
  for (float tile : {10.0f, 0.0f}) {  // 0: the road width
    std::string text = "width 14\nroadtile " + std::to_string(tile) + "\npt 0 0\npt 0 150\npt 150 150\npt 150 0\n";
    ASSERT_EQ(track_load_text(text.c_str(), 0), 1);
    float T = tile > 0 ? tile : 14.0f;
    std::vector<float> expect, got;
    for (int i = 0; i < g_track.sampleCount; i++) expect.push_back(g_track.samples[i].dist / T);
    expect.push_back(g_track.length / T);  // the far edge of the last span
    for (const Vertex& v : verts("asphalt", 0)) got.push_back(v.v);
    std::sort(got.begin(), got.end());
    got.erase(std::unique(got.begin(), got.end()), got.end());
    ASSERT_EQ(got.size(), expect.size());
    for (size_t i = 0; i < got.size(); i++) ASSERT_NEAR(got[i], expect[i], 1e-4f) << i;
  }
}

TEST_F(Build, GroundCoversTheCircuitInTwentyMetreCells) {
  ASSERT_EQ(track_load(0), 1);
  float x0 = 1e9f, x1 = -1e9f, z0 = 1e9f, z1 = -1e9f;
  for (const Vertex& v : verts("grass", 0)) {
    ASSERT_TRUE(fmodf(v.x, 20.0f) == 0 && fmodf(v.z, 20.0f) == 0 && v.u * 4 == v.x);  // groundtile 4
    x0 = std::min(x0, v.x), x1 = std::max(x1, v.x), z0 = std::min(z0, v.z), z1 = std::max(z1, v.z);
  }
  // At least 240 m beyond the circuit (the cell count is truncated), at most 280.
  EXPECT_TRUE(x0 <= g_track.minX - 260 && z0 <= g_track.minZ - 260);
  EXPECT_TRUE(x1 >= g_track.maxX + 240 && z1 >= g_track.maxZ + 240);
  EXPECT_LT(x1 - x0, g_track.maxX - g_track.minX + 560);
  // A circuit 180 km across gets a capped grid round its middle.
  ASSERT_EQ(track_load_text("pt -90000 -90000\npt -90000 90000\npt 90000 90000\npt 90000 -90000\n", 0), 1);
  EXPECT_EQ(verts("grass", 0).size(), 256u * 256u * 4u);
}

TEST_F(Build, WallsStandBesideTheRoadAtTheirOffset) {
  ASSERT_EQ(track_load(1), 1);  // rockwall 3.0 high, 3.5 out
  std::vector<Vertex> w = verts("rockwall", 1);
  ASSERT_EQ(w.size(), (size_t)g_track.sampleCount * 8);
  for (size_t i = 0; i < w.size(); i += 97) {
    float d, s = side_of(w[i].x, w[i].z, &d), cx, cz;
    EXPECT_TRUE(w[i].y == 0 || w[i].y == 3.0f);
    EXPECT_NEAR(f_abs(s), track_halfwidth_at(d) + 3.5f, 0.5f) << i;
    track_point_at(d, 0, &cx, &cz, nullptr, nullptr);
    EXPECT_GT(w[i].nx * (cx - w[i].x) + w[i].nz * (cz - w[i].z), 0.0f) << "facing the road";
  }
}

// ---- props ------------------------------------------------------------------------------------

TEST_F(Build, RowhKeepsTheStartClearAndFacesAlongTheRoad) {
  ASSERT_EQ(track_load_text(ring300("rowh lamp_post 30 3.2 1 1 0 180\n").c_str(), 0), 1);
  ASSERT_FALSE(g_placed.empty());
  float x, z, dx, dz;
  track_point_at(30, track_halfwidth_at(30) + 3.2f, &x, &z, &dx, &dz);
  const Placed& p = g_placed[0];
  EXPECT_LT(f_abs(std::get<1>(p) - x) + f_abs(std::get<2>(p) - z) + f_abs(std::get<3>(p) - f_atan2(dx, dz) - 3.1415927f), 2e-4f);
  EXPECT_EQ(g_track.lampCount, (int)g_placed.size());
  for (const Placed& p : g_placed) {
    float d, s = side_of(std::get<1>(p), std::get<2>(p), &d);
    EXPECT_NEAR(s, track_halfwidth_at(d) + 3.2f, 0.05f);
    EXPECT_TRUE(d >= 12 && d <= g_track.length - 12) << d;
  }
}

TEST_F(Build, RandomPropsRepeatWhateverTheLineOrder) {
  const std::string a = "scatter tree_pine 40 8 60 0.8 1.4 11\n", b = "row house 20 12 1 0.9 1.2 22\n";
  auto run = [&](const std::string& props) {
    g_placed.clear();
    EXPECT_EQ(track_load_text(ring300(props).c_str(), 0), 1);
    std::sort(g_placed.begin(), g_placed.end());
    return g_placed;
  };
  std::vector<Placed> ab = run(a + b), ba = run(b + a), aa = run(a + a), only = run(a), twice;
  EXPECT_EQ(ab, ba);
  for (const Placed& p : only) twice.push_back(p), twice.push_back(p);
  EXPECT_EQ(aa, twice);  // the same seed and model give the same props
  EXPECT_TRUE(!only.empty() && ab.size() > only.size());
}

TEST_F(Build, CollidersFollowTheModelNameAndReach) {
  ASSERT_EQ(track_load_text(ring300("").c_str(), 0), 1);
  const float edge = track_halfwidth_at(100) + 2;  // just off the road
  // half: at scale 2; < 0: that share of the model's box; 0: a gate's posts
  struct { const char* name; float lateral; int colliders; float half; } cases[] = {
      {"tree_pine", edge, 1, 0.8f}, {"tree_pine", 200, 0, 0}, {"cactus", edge, 1, 0.8f},   {"lamp_big", edge, 1, 0.5f},
      {"gate_start", 0, 2, 0},      {"bush", edge, 0, 0},     {"billboard_c", edge, 0, 0}, {"guardrail", edge, 0, 0},
      {"house", edge, 1, -1.0f},    {"rock", edge, 1, -0.75f}};
  for (auto& c : cases) {
    g_track.colliderCount = 0;
    float x, z, dx, dz;
    track_point_at(100, c.lateral, &x, &z, &dx, &dz);
    const Model* m = model_get(c.name);
    float angle = f_atan2(dx, dz), scale = 2.0f, half = c.half;
    if (c.colliders == 2) {  // a gate across the road, as the start gate stands
      scale = (track_halfwidth_at(100) + 2.5f) / std::max(m->max[0], -m->min[0]);
      half = 0.5f * scale;
    }
    place_model_ex(c.name, 0, x, z, angle, scale);
    ASSERT_TRUE(g_track.colliderCount == c.colliders && g_track.lampCount == 0) << c.name;
    if (!c.colliders) continue;
    const Collider& k = g_track.colliders[0];
    EXPECT_NEAR(k.cosA, f_cos(angle), 1e-6f);
    for (int axis : {0, 2})
      EXPECT_NEAR(axis ? k.halfB : k.halfA, half > 0 ? half : (m->max[axis] - m->min[axis]) * -half, 1e-4f) << c.name;
  }
}

// Prop cones are cones, not models; cones, colliders and lamps stop at their limits.
TEST_F(Build, PropsStopAtTheirLimits) {
  std::string text;
  for (int i = 0; i < 100; i++) text += "prop cone " + std::to_string(10 + i) + " 20 90\n";
  for (int i = 0; i < 600; i++) text += "prop lamp_post " + std::to_string(i % 10) + " 47 0 1\n";
  ASSERT_EQ(track_load_text(ring300(text).c_str(), 0), 1);
  EXPECT_TRUE(g_track.coneCount == 96 && g_track.lampCount == 256 && g_track.colliderCount == 512 && g_placed.size() == 600);
  const Cone& c = g_track.cones[0];
  EXPECT_TRUE(c.x == 10 && c.homeZ == 20 && c.knocked == 0 && f_abs(c.spin - 1.5707964f) < 1e-6f);
}

TEST_F(Build, ChevronsOnlyOnSharpBends) {
  ASSERT_EQ(track_load_text(circle_text(9000, 16, "chevrons sign_chevron 1.5\ncornerprops tyre_stack 2 20\n").c_str(), 0), 1);
  EXPECT_TRUE(g_placed.empty());
  ASSERT_EQ(track_load_text(ring300("chevrons sign_chevron 1.5\n").c_str(), 0), 1);
  ASSERT_FALSE(g_placed.empty());
  for (const Placed& p : g_placed) {
    float d, s = side_of(std::get<1>(p), std::get<2>(p), &d);
    EXPECT_NEAR(f_abs(s), track_halfwidth_at(d) + g_track.wallOffset + 1.5f, 0.1f);
  }
}

// Lamp models read from files: with a glow model the light sits in the glow's
// box and the glow is baked into the additive layer; without one it sits at
// the top of the model's far side.
TEST_F(Build, FileLampsLightFromTheirGlow) {
  const std::string crate = slurp(std::string(SK_REPO_DATA) + "/models/crate.skm");
  for (const char* n : {"lamp_post", "lamp_post_glow", "lamp"}) put(std::string("models/") + n + ".skm", crate);
  ASSERT_EQ(track_load_text(ring300("").c_str(), 0), 1);
  float x, z;
  track_point_at(50, track_halfwidth_at(50) + 2, &x, &z, nullptr, nullptr);
  const Model* m = model_get("lamp_post");
  ASSERT_EQ(m->generated, 0);
  Mat4 w = m4_mul(m4_rot_y(0.5f), m4_translate(x, 0, z));
  Vec3 glowCentre = {(m->min[0] + m->max[0]) / 2, (m->min[1] + m->max[1]) / 2, (m->min[2] + m->max[2]) / 2};
  Vec3 farTop = {m->max[0] - 0.4f, m->max[1] - 0.3f, 0};
  for (int glow = 1; glow >= 0; glow--) {
    g_track.lampCount = 0;
    size_t before = verts("crate", 2).size();
    place_model_ex(glow ? "lamp_post" : "lamp", 0, x, z, 0.5f, 1);
    ASSERT_EQ(g_track.lampCount, 1);
    Vec3 p = m4_xform_point(w, glow ? glowCentre : farTop), l = g_track.lamps[0];
    EXPECT_TRUE(f_abs(l.x - p.x) + f_abs(l.y - p.y) + f_abs(l.z - p.z) < 1e-3f) << glow;
    EXPECT_EQ(verts("crate", 2).size() - before, glow ? (size_t)m->mesh.nverts : 0u);
  }
}

}  // namespace
