// Building blocks, generated models and SKM1 files.
#include <cmath>

#include "assets_test_util.h"

namespace {

// An SKM1 file with the given header counts (which need not match the data);
// vertex i is at (i, 2i, -i) with normal +y, uv (i / 4, 1 / 8), colour 0xFF00000i.
std::string skm(uint32_t nv, uint32_t ni, const std::string& tex, int verts, const std::vector<uint16_t>& idx) {
  std::string f = "SKM1" + std::string(12, 0) + tex;
  put32(f, 4, nv);
  put32(f, 8, ni);
  put32(f, 12, (uint32_t)tex.size());
  for (int i = 0; i < verts; i++) {
    const float v[8] = {(float)i, 2.0f * i, -(float)i, 0, 1, 0, 0.25f * i, 0.125f};
    const uint32_t colour = 0xFF000000u + (uint32_t)i;
    f.append((const char*)v, 32).append((const char*)&colour, 4);
  }
  return f.append((const char*)idx.data(), 2 * idx.size());
}

// Every triangle with an area faces the side its vertex normal points to:
// (b - a) x (c - a) along the normal.
void expect_faces_match_normals(const Mesh& m, const char* what) {
  int checked = 0;
  for (int t = 0; t + 2 < m.nindices; t += 3) {
    const Vertex &a = m.verts[m.indices[t]], &b = m.verts[m.indices[t + 1]], &c = m.verts[m.indices[t + 2]];
    float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    float cx = uy * vz - uz * vy, cy = uz * vx - ux * vz, cz = ux * vy - uy * vx;
    float len = std::sqrt(cx * cx + cy * cy + cz * cz);
    if (len < 1e-6f) continue;  // the degenerate halves of cap quads
    EXPECT_GT((cx * a.nx + cy * a.ny + cz * a.nz) / len, 0.1f) << what << " triangle " << t / 3;
    checked++;
  }
  EXPECT_GT(checked, 0) << what;
}

std::vector<float> positions(const Mesh& m) {
  std::vector<float> p;
  for (int i = 0; i < m.nverts; i++) p.insert(p.end(), {m.verts[i].x, m.verts[i].y, m.verts[i].z});
  return p;
}

using Models = AssetsTest;

TEST_F(Models, BuildingBlocksFaceTheirNormals) {
  Mesh m = {};
  // The same square given both ways round about +y: both end up facing +y.
  add_face(&m, {0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0, 1, 0}, 0xFF102030);
  add_face(&m, {0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {1, 0, 0}, {0, 1, 0}, 0xFF102030);
  EXPECT_EQ(std::vector<uint16_t>(m.indices, m.indices + m.nindices),
            (std::vector<uint16_t>{0, 3, 2, 0, 2, 1, 4, 5, 6, 4, 6, 7}));
  EXPECT_EQ(m.verts[2].u + m.verts[2].v + m.verts[3].v, 3.0f);  // uv (0,0) (1,0) (1,1) (0,1)
  add_box(&m, 0xFF808080, -1, 0, -2, 1, 3, 2);
  EXPECT_EQ(m.verts[8].colour, 0xFF808080u);   // top first
  EXPECT_EQ(m.verts[12].colour, 0xFF585858u);  // then the bottom, 40 darker
  add_cyl(&m, 8, 0xFF00FF00, 2, 1, 3, 1, 1, 1);       // straight and capped: 8 sides + 8 cap quads
  add_cyl(&m, 6, 0xFF00FF00, 0, 0, 2, 1, 0.005f, 1);  // too thin on top for a cap
  add_cyl(&m, 0, 0xFF00FF00, 0, 0, 1, 1, 1, 1);
  EXPECT_EQ(m.nverts, 8 + 24 + 64 + 24);
  EXPECT_EQ(std::vector<float>(&m.verts[32].x, &m.verts[32].x + 3), std::vector<float>({2, 1, 1}));  // angle 0
  EXPECT_GT(m.verts[96].ny, 0.0f);  // a narrowing side leans up
  expect_faces_match_normals(m, "blocks");
  mesh_free(&m);
}

TEST_F(Models, GeneratedModelsByTheBeginningOfTheirName) {
  Model* car = model_get("car");
  EXPECT_EQ(car->generated, 1);
  EXPECT_STREQ(car->tex->name, "noise");
  EXPECT_EQ(std::vector<float>({car->min[0], car->min[1], car->min[2], car->max[0], car->max[1], car->max[2]}),
            std::vector<float>({-0.95f, 0, -2.08f, 0.95f, 1.38f, 2.08f}));
  EXPECT_FLOAT_EQ(car->radius, std::sqrt(0.95f * 0.95f + 2.08f * 2.08f));
  // The body colour comes from the fourth character.
  for (auto c : {std::pair<const char*, uint32_t>{"car2", 0xFF286EDCu}, {"Car3.SKM", 0xFFFABE1Eu},
                 {"car_2", 0xFFDC2828u}})
    EXPECT_EQ(model_get(c.first)->mesh.verts[0].colour, c.second) << c.first;
  for (auto p : {std::pair<const char*, const char*>{"lamp_post", "lamp"}, {"pine", "tree"}, {"rock_red", "rock"},
                 {"mesa", "redrock"}, {"grandstand2", "grandstand"}, {"guardrail", "unknown"}})
    EXPECT_EQ(positions(model_get(p.first)->mesh), positions(model_get(p.second)->mesh)) << p.first;
  Model* place = model_get("tyre_stack");  // not a beginning: the placeholder box
  EXPECT_EQ(place->mesh.verts[0].colour, 0xFFC800C8u);
  EXPECT_FLOAT_EQ(place->max[1] * place->radius, 2 * std::sqrt(2.0f));
  EXPECT_FLOAT_EQ(model_get("lamp_post")->max[1], 6.5f);  // shapes the track code relies on
  EXPECT_FLOAT_EQ(model_get("gate_start")->min[0], -9.0f);
  EXPECT_STREQ(model_get("barrier_long")->tex->name, "barrier");
  EXPECT_STREQ(model_get("building")->tex->name, "windows");
  for (const char* n : {"car", "tree", "bush", "rock", "redrock", "cactus", "cone", "barrier", "tyres", "lamp",
                        "building", "house", "gate", "grandstand", "unknown"})
    expect_faces_match_normals(model_get(n)->mesh, n);
  EXPECT_EQ(model_get("Tree.SKM"), model_get("tree"));
  EXPECT_EQ(model_try("house_x"), nullptr) << "no such model, no such file";
  EXPECT_EQ(model_try("cone"), nullptr) << "generated models are not file models";
  EXPECT_EQ(log(), "");  // generated models log nothing
}

TEST_F(Models, LoadsSkmFiles) {
  put("models/tri.skm", skm(3, 3, "", 3, {0, 1, 2}));
  Model* tri = model_try("Tri.SKM");
  ASSERT_NE(tri, nullptr);
  EXPECT_EQ(model_try("tri"), tri);
  EXPECT_EQ(tri->generated, 0);
  EXPECT_STREQ(tri->tex->name, "white");
  const Vertex& v = tri->mesh.verts[2];  // the colour moves in between normal and uv
  EXPECT_EQ(std::vector<float>({v.x, v.y, v.z, v.ny, v.u, v.v}), std::vector<float>({2, 4, -2, 1, 0.5f, 0.125f}));
  EXPECT_EQ(v.colour, 0xFF000002u);
  EXPECT_FLOAT_EQ(tri->radius, std::sqrt(8.0f));
  // Out-of-range triangles dropped, the next kept, a last partial one and trailing bytes ignored.
  put("models/five.skm", skm(5, 11, "grass.bmp", 5, {5, 0, 1, 0, 1, 5, 2, 3, 4, 4, 4}) + "junk");
  Model* five = model_get("five.skm");
  EXPECT_EQ(std::vector<uint16_t>(five->mesh.indices, five->mesh.indices + five->mesh.nindices),
            (std::vector<uint16_t>{2, 3, 4}));
  EXPECT_STREQ(five->tex->name, "grass");
  put("models/empty.skm", skm(0, 0, "", 0, {}));
  Model* empty = model_get("empty");
  EXPECT_EQ(std::vector<float>({empty->min[0], empty->max[1], empty->radius}), std::vector<float>({1e9f, -1e9f, 0}));
  put("models/limits.skm", skm(65535, 600000, std::string(64, 'a'), 65535, std::vector<uint16_t>(600000, 1)));
  EXPECT_EQ(model_get("limits")->mesh.nindices, 600000);
  EXPECT_EQ(log(), "model tri: 3 verts 1 tris\r\nmodel five: 5 verts 1 tris\r\nmodel empty: 0 verts 0 tris\r\n"
                   "model limits: 65535 verts 200000 tris\r\n");
}

TEST_F(Models, InvalidFilesFallBackToTheGeneratedModel) {
  const std::string good = skm(3, 3, "white", 3, {0, 1, 2});  // the name counts towards the size too
  std::string magic = good, v = good, i = good, n = good;
  magic[3] = '2';
  put32(v, 4, 70000);
  put32(i, 8, 600001);
  put32(n, 12, 65);
  const std::vector<float> tree = positions(model_get("tree")->mesh);
  for (const std::string& data : {good.substr(0, good.size() - 1), magic, v, i, n, good.substr(0, 15)}) {
    assets_forget_all();
    log_open("case.log");
    put("models/tree.skm", data);
    EXPECT_EQ(model_try("tree"), nullptr);
    EXPECT_EQ(model_try("tree"), nullptr);  // found in the table, not read again
    EXPECT_EQ(positions(model_get("tree")->mesh), tree);
    EXPECT_EQ(slurp("case.log"), "model tree: bad SKM, using placeholder\r\n");
  }
}

TEST_F(Models, ExampleCrateFromTheRepositoryLoads) {
  put("models/crate.skm", slurp(std::string(SK_REPO_DATA) + "/models/crate.skm"));
  put("textures/crate.bmp", slurp(std::string(SK_REPO_DATA) + "/textures/crate.bmp"));
  Model* crate = model_get("crate");
  EXPECT_EQ(crate->mesh.nindices, 36);
  EXPECT_FLOAT_EQ(crate->max[1], 1.2f);
  expect_faces_match_normals(crate->mesh, "crate");
  EXPECT_EQ(log(), "texture crate.bmp 32x32\r\nmodel crate: 24 verts 12 tris\r\n");
}

}  // namespace
