// Road geometry and the props pass: where the pieces lie, which way they
// face, and how props, colliders, cones and lamps are placed and limited.
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "track_test_util.h"

namespace {

// Without a device the batches keep their meshes on the CPU, to be inspected.
class Build : public TrackTest {
 protected:
  void SetUp() override {
    TrackTest::SetUp();
    gfx_shutdown();
    g_trackPropHook = record;
    placed().clear();
  }
  void TearDown() override {
    g_trackPropHook = nullptr;
    TrackTest::TearDown();
  }
  struct Placed {
    std::string name;
    float x, z, angle, scale;
    bool operator<(const Placed& o) const { return std::tie(name, x, z, angle, scale) < std::tie(o.name, o.x, o.z, o.angle, o.scale); }
    bool operator==(const Placed& o) const { return !(*this < o) && !(o < *this); }
  };
  static std::vector<Placed>& placed() {
    static std::vector<Placed> v;
    return v;
  }
  static void record(const char* name, float x, float z, float angle, float scale) {
    placed().push_back(Placed{name, x, z, angle, scale});
  }
  // Vertices of every batch of a texture (by name) and layer.
  static std::vector<Vertex> verts(const char* tex, int layer) {
    std::vector<Vertex> out;
    for (const Batch* b = g_track.batches; b; b = b->next)
      if (b->layer == layer && str_ieq(b->tex->name, tex))
        for (const BatchChunk* c = b->chunks; c; c = c->next) out.insert(out.end(), c->mesh.verts, c->mesh.verts + c->mesh.nverts);
    return out;
  }
  // Signed lateral offset and track distance of a point.
  static float side_of(float x, float z, float* dist = nullptr) {
    float side;
    track_locate(x, z, -1, &side, dist);
    return side;
  }
};

TEST_F(Build, FlatPiecesFaceUpAndEveryVertexIsFinite) {
  const std::string odd = "width 30\npt 0 0\npt 0 5\npt 5 5\npt 5 0\n";  // tight and wide: corners fold
  for (int i = 0; i < 4; i++) {
    // The last one folds its road over itself; only finite values are asked of it.
    ASSERT_EQ(i < 3 ? track_load(i) : track_load_text(odd.c_str(), 0), 1);
    int flat = 0;
    for (const Batch* b = g_track.batches; b; b = b->next) {
      for (const BatchChunk* c = b->chunks; c; c = c->next) {
        const Mesh& m = c->mesh;
        for (int v = 0; v < m.nverts; v++)
          ASSERT_TRUE(std::isfinite(m.verts[v].x + m.verts[v].y + m.verts[v].z + m.verts[v].u + m.verts[v].v));
        if (b->layer != 0) continue;
        for (int t = 0; t + 2 < m.nindices; t += 3) {
          const Vertex &p = m.verts[m.indices[t]], &q = m.verts[m.indices[t + 1]], &r = m.verts[m.indices[t + 2]];
          if (p.ny != 1 || q.ny != 1 || r.ny != 1 || p.y > 0.05f) continue;  // flat track pieces only
          float ny = (q.z - p.z) * (r.x - p.x) - (q.x - p.x) * (r.z - p.z);
          if (i < 3) {
            ASSERT_GE(ny, -1e-3f) << b->tex->name << " circuit " << i;
          }
          flat++;
        }
      }
    }
    EXPECT_GT(flat, 1000);
  }
}

// Circuit 3 runs straight along x = 0 from z = 0 to about z = 150, then bends right.
TEST_F(Build, KerbsLineTheBendsOnly) {
  ASSERT_EQ(track_load(2), 1);
  std::vector<Vertex> kerb = verts("kerb", 0);
  ASSERT_FALSE(kerb.empty());
  int left = 0, right = 0;
  for (const Vertex& v : kerb) {
    float d, s = side_of(v.x, v.z, &d);
    EXPECT_FALSE(f_abs(v.x) < 15 && v.z > 15 && v.z < 150) << v.x << " " << v.z;
    float hw = track_halfwidth_at(d);
    EXPECT_GE(f_abs(s), hw - 0.3f);
    EXPECT_LE(f_abs(s), hw + 1.2f + 0.3f);
    EXPECT_EQ(v.y, 0.036f);
    if (d > 170 && d < 230) (s < 0 ? left : right)++;
  }
  EXPECT_GT(left, 0);
  EXPECT_GT(right, 0);
  ASSERT_EQ(track_load(1), 1);  // "kerb none"
  EXPECT_TRUE(verts("kerb", 0).empty());
  EXPECT_TRUE(verts("none", 0).empty());
}

TEST_F(Build, StartLinesLieOnTheFirstSample) {
  struct {
    int circuit;
    const char* tex;
    float back, ahead;  // along the road from the line
  } cases[] = {{1, "checker", 0.0f, 1.6f}, {0, "startline", -5.0f, 5.0f}};
  for (auto& c : cases) {
    ASSERT_EQ(track_load(c.circuit), 1);
    std::vector<Vertex> v = verts(c.tex, 0);
    ASSERT_EQ(v.size(), 4u) << c.tex;
    const Sample& s = g_track.samples[0];
    float lo = 1e9f, hi = -1e9f;
    for (const Vertex& p : v) {
      float along = (p.x - s.x) * s.dirX + (p.z - s.z) * s.dirZ;
      float across = (p.x - s.x) * s.dirZ - (p.z - s.z) * s.dirX;
      EXPECT_NEAR(f_abs(across), s.halfWidth, 1e-3f);
      EXPECT_EQ(p.y, 0.045f);
      lo = std::min(lo, along), hi = std::max(hi, along);
    }
    EXPECT_NEAR(lo, c.back, 1e-3f) << c.tex;
    EXPECT_NEAR(hi, c.ahead, 1e-3f) << c.tex;
  }
}

TEST_F(Build, RoadTextureRunsOnAcrossTheStartLine) {
  struct {
    const char* extra;
    float tile;  // 0: the road width
  } cases[] = {{"roadtile 10\n", 10}, {"", 0}};
  for (auto& c : cases) {
    std::string text = std::string("width 14\n") + c.extra + "pt 0 0\npt 0 150\npt 150 150\npt 150 0\n";
    ASSERT_EQ(track_load_text(text.c_str(), 0), 1);
    float T = c.tile > 0 ? c.tile : 14.0f;
    std::vector<float> expect, got;
    for (int i = 0; i < g_track.sampleCount; i++) expect.push_back(g_track.samples[i].dist / T);
    expect.push_back(g_track.length / T);  // the far edge of the last span
    for (const Vertex& v : verts("asphalt", 0)) {
      EXPECT_TRUE(v.u == 0 || v.u == 1);
      got.push_back(v.v);
    }
    std::sort(got.begin(), got.end());
    got.erase(std::unique(got.begin(), got.end()), got.end());
    ASSERT_EQ(got.size(), expect.size());
    for (size_t i = 0; i < got.size(); i++) ASSERT_NEAR(got[i], expect[i], 1e-4f) << i;
  }
}

TEST_F(Build, GroundCoversTheCircuitInTwentyMetreCells) {
  ASSERT_EQ(track_load(0), 1);
  std::vector<Vertex> g = verts("grass", 0);
  float x0 = 1e9f, x1 = -1e9f, z0 = 1e9f, z1 = -1e9f;
  for (const Vertex& v : g) {
    ASSERT_EQ(fmodf(v.x, 20.0f), 0.0f);
    ASSERT_EQ(fmodf(v.z, 20.0f), 0.0f);
    ASSERT_EQ(v.u * 4, v.x);  // groundtile 4
    x0 = std::min(x0, v.x), x1 = std::max(x1, v.x), z0 = std::min(z0, v.z), z1 = std::max(z1, v.z);
  }
  EXPECT_LE(x0, g_track.minX - 260);
  EXPECT_GE(x1, g_track.maxX + 240);
  EXPECT_LE(z0, g_track.minZ - 260);
  EXPECT_GE(z1, g_track.maxZ + 240);  // the cell count is truncated
  EXPECT_LT(x1 - x0, g_track.maxX - g_track.minX + 560);
  // A circuit 180 km across gets a capped grid round its middle.
  ASSERT_EQ(track_load_text("pt -90000 -90000\npt -90000 90000\npt 90000 90000\npt 90000 -90000\n", 0), 1);
  g = verts("grass", 0);
  EXPECT_LE(g.size(), 256u * 256u * 4u);
  EXPECT_GT(g.size(), 0u);
}

TEST_F(Build, WallsStandBesideTheRoadAtTheirOffset) {
  ASSERT_EQ(track_load(1), 1);  // rockwall 3.0 high, 3.5 out
  std::vector<Vertex> w = verts("rockwall", 1);
  ASSERT_EQ(w.size(), (size_t)g_track.sampleCount * 8);
  for (size_t i = 0; i < w.size(); i += 97) {
    float d, s = side_of(w[i].x, w[i].z, &d);
    EXPECT_TRUE(w[i].y == 0 || w[i].y == 3.0f);
    EXPECT_NEAR(f_abs(s), track_halfwidth_at(d) + 3.5f, 0.5f) << i;
    float cx, cz;
    track_point_at(d, 0, &cx, &cz, nullptr, nullptr);
    EXPECT_GT(w[i].nx * (cx - w[i].x) + w[i].nz * (cz - w[i].z), 0.0f) << "facing the road";
    EXPECT_EQ(w[i].ny, 0.0f);
  }
}

// ---- props ------------------------------------------------------------------------------------

std::string ring300(const std::string& extra) { return circle_text(300, 16, extra); }

TEST_F(Build, PropConesAreConesUpToTheLimit) {
  std::string text;
  for (int i = 0; i < 100; i++) text += "prop cone " + std::to_string(10 + i) + " 20 90\n";
  ASSERT_EQ(track_load_text(ring300(text).c_str(), 0), 1);
  EXPECT_EQ(g_track.coneCount, 96);
  EXPECT_TRUE(placed().empty());  // no model
  const Cone& c = g_track.cones[0];
  EXPECT_EQ(c.x, 10.0f);
  EXPECT_EQ(c.homeZ, 20.0f);
  EXPECT_NEAR(c.spin, 1.5707964f, 1e-6f);
  EXPECT_EQ(c.knocked + c.tilt + c.vx, 0.0f);
}

TEST_F(Build, RowhKeepsTheStartClearAndFacesAlongTheRoad) {
  ASSERT_EQ(track_load_text(ring300("rowh lamp_post 30 3.2 1 1 0 180\n").c_str(), 0), 1);
  ASSERT_FALSE(placed().empty());
  float x, z, dx, dz;
  track_point_at(30, track_halfwidth_at(30) + 3.2f, &x, &z, &dx, &dz);
  EXPECT_NEAR(placed()[0].x, x, 1e-4f);
  EXPECT_NEAR(placed()[0].z, z, 1e-4f);
  EXPECT_NEAR(placed()[0].angle, f_atan2(dx, dz) + 3.1415927f, 1e-5f);
  EXPECT_EQ(g_track.lampCount, (int)placed().size());
  for (const Placed& p : placed()) {
    float d, s = side_of(p.x, p.z, &d);
    EXPECT_NEAR(s, track_halfwidth_at(d) + 3.2f, 0.05f);
    EXPECT_GE(d, 12.0f);
    EXPECT_LE(d, g_track.length - 12.0f);
  }
}

TEST_F(Build, RandomPropsRepeatWhateverTheLineOrder) {
  const std::string a = "scatter tree_pine 40 8 60 0.8 1.4 11\n", b = "row house 20 12 1 0.9 1.2 22\n";
  auto run = [&](const std::string& props) {
    placed().clear();
    EXPECT_EQ(track_load_text(ring300(props).c_str(), 0), 1);
    std::vector<Placed> v = placed();
    std::sort(v.begin(), v.end());
    return v;
  };
  std::vector<Placed> ab = run(a + b), ba = run(b + a), aa = run(a + a), only = run(a);
  EXPECT_EQ(ab, ba);
  EXPECT_FALSE(only.empty());
  std::vector<Placed> twice;
  for (const Placed& p : only) twice.push_back(p), twice.push_back(p);
  EXPECT_EQ(aa, twice);  // the same seed and model give the same props
  EXPECT_GT(ab.size(), only.size());
}

TEST_F(Build, CollidersFollowTheModelNameAndReach) {
  ASSERT_EQ(track_load_text(ring300("").c_str(), 0), 1);
  const float edge = track_halfwidth_at(100) + 2;  // just off the road
  struct {
    const char* name;
    float lateral;
    int colliders;
    float half;  // at scale 2; < 0: that share of the model's box
  } cases[] = {
      {"tree_pine", edge, 1, 0.8f}, {"tree_pine", 200, 0, 0}, {"cactus", edge, 1, 0.8f},
      {"lamp_big", edge, 1, 0.5f},  {"gate_start", 0, 2, 0},  {"bush", edge, 0, 0},
      {"billboard_c", edge, 0, 0},  {"guardrail", edge, 0, 0}, {"house", edge, 1, -1.0f},
      {"rock", edge, 1, -0.75f},
  };
  for (auto& c : cases) {
    g_track.colliderCount = 0;
    float x, z, dx, dz;
    track_point_at(100, c.lateral, &x, &z, &dx, &dz);
    float angle = f_atan2(dx, dz), scale = 2.0f;
    if (c.colliders == 2) {  // a gate across the road, as the start gate stands
      const Model* m = model_get(c.name);
      scale = (track_halfwidth_at(100) + 2.5f) / std::max(m->max[0], -m->min[0]);
      c.half = 0.5f * scale;
    }
    place_model_ex(c.name, 0, x, z, angle, scale);
    ASSERT_EQ(g_track.colliderCount, c.colliders) << c.name;
    EXPECT_EQ(g_track.lampCount, 0) << c.name;
    if (!c.colliders) continue;
    const Collider& k = g_track.colliders[0];
    EXPECT_NEAR(k.cosA, f_cos(angle), 1e-6f);
    if (c.half > 0) {
      EXPECT_EQ(k.halfA, c.half) << c.name;
      EXPECT_EQ(k.halfB, c.half) << c.name;
    } else {
      const Model* m = model_get(c.name);
      EXPECT_NEAR(k.halfA, (m->max[0] - m->min[0]) * -c.half, 1e-4f) << c.name;
      EXPECT_NEAR(k.halfB, (m->max[2] - m->min[2]) * -c.half, 1e-4f) << c.name;
    }
  }
  float x, z;
  track_point_at(100, edge, &x, &z, nullptr, nullptr);
  place_model_ex("lamp_post", 0, x, z, 0, 1);
  EXPECT_EQ(g_track.lampCount, 1);
}

TEST_F(Build, CollidersAndLampsStopAtTheirLimits) {
  std::string text;
  for (int i = 0; i < 600; i++) text += "prop lamp_post " + std::to_string(i % 10) + " 47 0 1\n";
  ASSERT_EQ(track_load_text(ring300(text).c_str(), 0), 1);
  EXPECT_EQ(g_track.lampCount, 256);
  EXPECT_EQ(g_track.colliderCount, 512);
  EXPECT_EQ(placed().size(), 600u);
}

TEST_F(Build, GentleBendsGetNoChevrons) {
  ASSERT_EQ(track_load_text(circle_text(9000, 16, "chevrons sign_chevron 1.5\ncornerprops tyre_stack 2 20\n").c_str(), 0), 1);
  EXPECT_TRUE(placed().empty());
  ASSERT_EQ(track_load_text(ring300("chevrons sign_chevron 1.5\n").c_str(), 0), 1);
  ASSERT_FALSE(placed().empty());
  for (const Placed& p : placed()) {
    float d, s = side_of(p.x, p.z, &d);
    EXPECT_NEAR(f_abs(s), track_halfwidth_at(d) + g_track.wallOffset + 1.5f, 0.1f);
  }
}

}  // namespace

namespace {

// Lamp models read from files: with a glow model the light sits in the glow's
// box and the glow is baked into the additive layer; without one it sits at
// the top of the model's far side.
TEST_F(Build, FileLampsLightFromTheirGlow) {
  const std::string crate = slurp(std::string(SK_REPO_DATA) + "/models/crate.skm");
  put("models/lamp_post.skm", crate);
  put("models/lamp_post_glow.skm", crate);
  put("models/lamp.skm", crate);
  ASSERT_EQ(track_load_text(ring300("").c_str(), 0), 1);
  float x, z;
  track_point_at(50, track_halfwidth_at(50) + 2, &x, &z, nullptr, nullptr);
  const Model* m = model_get("lamp_post");
  ASSERT_EQ(m->generated, 0);
  Mat4 w = m4_mul(m4_rot_y(0.5f), m4_translate(x, 0, z));
  struct {
    const char* name;
    Vec3 local;
    int glowVerts;
  } cases[] = {
      {"lamp_post", {(m->min[0] + m->max[0]) / 2, (m->min[1] + m->max[1]) / 2, (m->min[2] + m->max[2]) / 2}, m->mesh.nverts},
      {"lamp", {m->max[0] - 0.4f, m->max[1] - 0.3f, 0}, 0},
  };
  for (auto& c : cases) {
    g_track.lampCount = 0;
    size_t before = verts("crate", 2).size();
    place_model_ex(c.name, 0, x, z, 0.5f, 1);
    ASSERT_EQ(g_track.lampCount, 1) << c.name;
    Vec3 p = m4_xform_point(w, c.local);
    EXPECT_NEAR(g_track.lamps[0].x, p.x, 1e-4f) << c.name;
    EXPECT_NEAR(g_track.lamps[0].y, p.y, 1e-4f) << c.name;
    EXPECT_NEAR(g_track.lamps[0].z, p.z, 1e-4f) << c.name;
    EXPECT_EQ(verts("crate", 2).size() - before, (size_t)c.glowVerts) << c.name;
  }
}

}  // namespace
