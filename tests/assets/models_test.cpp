// Building blocks, generated models and SKM1 files.
#include <cmath>

#include "assets_test_util.h"

namespace {

struct SkmVert {
  float x, y, z, nx, ny, nz, u, v;
  uint32_t colour;
};

// An SKM1 file with the given header counts (which need not match the data).
std::string skm(uint32_t nv, uint32_t ni, const std::string& tex, const std::vector<SkmVert>& verts,
                const std::vector<uint16_t>& idx) {
  std::string f = "SKM1";
  f.resize(16);
  put32(f, 4, nv);
  put32(f, 8, ni);
  put32(f, 12, (uint32_t)tex.size());
  f += tex;
  for (const SkmVert& v : verts) {
    const float fl[8] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v};
    f.append((const char*)fl, 32);
    std::string c(4, 0);
    put32(c, 0, v.colour);
    f += c;
  }
  for (uint16_t i : idx) f.append((const char*)&i, 2);
  return f;
}

std::vector<SkmVert> verts(int n) {
  std::vector<SkmVert> v;
  for (int i = 0; i < n; i++)
    v.push_back({(float)i, (float)(2 * i), -(float)i, 0, 1, 0, 0.25f * (float)i, 0.5f, 0xFF000000u + (uint32_t)i});
  return v;
}

// Every triangle with an area faces the side its vertex normal points to
// (front faces: (b - a) x (c - a) along the normal).
void expect_faces_match_normals(const Mesh& m, const char* what) {
  int checked = 0;
  for (int t = 0; t + 2 < m.nindices; t += 3) {
    const Vertex& a = m.verts[m.indices[t]];
    const Vertex& b = m.verts[m.indices[t + 1]];
    const Vertex& c = m.verts[m.indices[t + 2]];
    float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    float vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
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

class Models : public AssetsTest {
 protected:
  void put_model(const std::string& name, const std::string& data) {
    mkdirs("data/models");
    spit("data/models/" + name, data);
  }
};

TEST_F(Models, FacesWindTowardsTheirNormals) {
  Mesh m = {};
  // The same square given clockwise and anticlockwise about +y: both must
  // come out facing +y.
  add_face(&m, {0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0, 1, 0}, 0xFF102030);
  add_face(&m, {0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {1, 0, 0}, {0, 1, 0}, 0xFF102030);
  ASSERT_EQ(m.nverts, 8);
  ASSERT_EQ(m.nindices, 12);
  expect_faces_match_normals(m, "faces");
  // (p1 - p0) x (p2 - p0) of the first points down: it is turned round.
  const uint16_t flipped[6] = {0, 3, 2, 0, 2, 1}, kept[6] = {4, 5, 6, 4, 6, 7};
  for (int i = 0; i < 6; i++) EXPECT_EQ(m.indices[i], flipped[i]);
  for (int i = 0; i < 6; i++) EXPECT_EQ(m.indices[6 + i], kept[i]);
  const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(m.verts[i].u, uv[i][0]);
    EXPECT_EQ(m.verts[i].v, uv[i][1]);
    EXPECT_EQ(m.verts[i].colour, 0xFF102030u);
  }
  mesh_free(&m);
}

TEST_F(Models, BoxesAndCylinders) {
  Mesh box = {};
  add_box(&box, 0xFF808080, -1, 0, -2, 1, 3, 2);
  ASSERT_EQ(box.nverts, 24);
  ASSERT_EQ(box.nindices, 36);
  expect_faces_match_normals(box, "box");
  // Top first (lit colour), then the bottom darkened by 40.
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(box.verts[i].y, 3.0f);
    EXPECT_EQ(box.verts[i].ny, 1.0f);
    EXPECT_EQ(box.verts[i].colour, 0xFF808080u);
    EXPECT_EQ(box.verts[4 + i].y, 0.0f);
    EXPECT_EQ(box.verts[4 + i].colour, 0xFF585858u);
  }
  for (int i = 8; i < 24; i++) EXPECT_EQ(box.verts[i].colour, 0xFF808080u);
  mesh_free(&box);

  Mesh cyl = {};
  add_cyl(&cyl, 8, 0xFF00FF00, 2, 1, 3, 1, 1, 1);  // straight, capped, off-centre
  EXPECT_EQ(cyl.nverts, 8 * 8);
  expect_faces_match_normals(cyl, "cylinder");
  for (int i = 0; i < cyl.nverts; i++) {
    const Vertex& v = cyl.verts[i];
    EXPECT_NEAR(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz, 1.0f, 1e-5f);
    float r = std::hypot(v.x - 2, v.z);  // on the rim, or the centre of a cap
    EXPECT_TRUE(std::fabs(r - 1) < 1e-5f || (r < 1e-6f && v.y == 3.0f)) << i;
  }
  // The first side face starts at angle 0: (cx, y0, r0).
  EXPECT_NEAR(cyl.verts[0].x, 2.0f, 1e-6f);
  EXPECT_NEAR(cyl.verts[0].z, 1.0f, 1e-6f);
  EXPECT_EQ(cyl.verts[0].ny, 0.0f);
  mesh_free(&cyl);

  Mesh cone = {};
  add_cyl(&cone, 6, 0xFF00FF00, 0, 0, 2, 1, 0.005f, 1);  // too thin on top for a cap
  EXPECT_EQ(cone.nverts, 6 * 4);
  expect_faces_match_normals(cone, "cone");
  EXPECT_GT(cone.verts[0].ny, 0.0f);  // a narrowing side leans up
  mesh_free(&cone);

  Mesh none = {};
  add_cyl(&none, 0, 0xFF00FF00, 0, 0, 1, 1, 1, 1);
  EXPECT_EQ(none.nverts, 0);
}

TEST_F(Models, GeneratedCarSizeColoursAndFacing) {
  Model* car = model_get("car");
  EXPECT_EQ(car->generated, 1);
  EXPECT_STREQ(car->tex->name, "noise");
  EXPECT_FLOAT_EQ(car->max[0] - car->min[0], 1.9f);   // bumpers
  EXPECT_FLOAT_EQ(car->max[2] - car->min[2], 4.16f);  // bumper to bumper
  EXPECT_FLOAT_EQ(car->max[1] - car->min[1], 1.38f);  // roof
  EXPECT_FLOAT_EQ(car->min[1], 0.0f);                 // wheels on the ground
  EXPECT_FLOAT_EQ(car->radius, std::sqrt(0.95f * 0.95f + 2.08f * 2.08f));
  expect_faces_match_normals(car->mesh, "car");

  // Headlights at +z, tail lights at -z.
  float headZ = 0, tailZ = 0;
  for (int i = 0; i < car->mesh.nverts; i++) {
    if (car->mesh.verts[i].colour == 0xFFFFFAD2u) headZ = std::max(headZ, car->mesh.verts[i].z);
    if (car->mesh.verts[i].colour == 0xFFC81414u) tailZ = std::min(tailZ, car->mesh.verts[i].z);
  }
  EXPECT_FLOAT_EQ(headZ, 2.05f);
  EXPECT_FLOAT_EQ(tailZ, -2.05f);

  // The body colour comes from the fourth character; the top face of the first box is the body.
  EXPECT_EQ(car->mesh.verts[0].colour, 0xFFDC2828u);
  EXPECT_EQ(model_get("car2")->mesh.verts[0].colour, 0xFF286EDCu);
  EXPECT_EQ(model_get("Car3.SKM")->mesh.verts[0].colour, 0xFFFABE1Eu);
  EXPECT_EQ(model_get("car4")->mesh.verts[0].colour, 0xFFDC2828u);
  EXPECT_EQ(model_get("car_2")->mesh.verts[0].colour, 0xFFDC2828u);
  EXPECT_EQ(positions(model_get("car2")->mesh), positions(car->mesh));
}

TEST_F(Models, NamesMatchRowsByTheirBeginning) {
  struct {
    const char* name;
    const char* same;
  } pairs[] = {{"lamp_post", "lamp"}, {"gate_start", "gate"}, {"tree_pine", "tree"}, {"pine", "tree"},
               {"tree_palm", "tree"}, {"rock_red", "rock"},  {"mesa", "redrock"},   {"tyres_x", "tyres"},
               {"bush2", "bush"},     {"house_a", "house"},  {"cone_big", "cone"},  {"grandstand2", "grandstand"}};
  for (auto& p : pairs) {
    Model* a = model_get(p.name);
    Model* b = model_get(p.same);
    EXPECT_NE(a, b);
    EXPECT_STREQ(a->name, p.name);
    EXPECT_EQ(positions(a->mesh), positions(b->mesh)) << p.name;
  }
  // Not a beginning: these are the magenta placeholder box.
  Model* place = model_get("tyre_stack");
  EXPECT_EQ(place->mesh.nverts, 24);
  EXPECT_EQ(place->mesh.verts[0].colour, 0xFFC800C8u);
  EXPECT_EQ(positions(model_get("guardrail")->mesh), positions(place->mesh));
  EXPECT_EQ(positions(model_get("xtree")->mesh), positions(place->mesh));
  EXPECT_FLOAT_EQ(place->min[0], -1);
  EXPECT_FLOAT_EQ(place->max[1], 2);
  EXPECT_FLOAT_EQ(place->radius, std::sqrt(2.0f));

  // Shapes the track code relies on: the lamp's head and the gate's posts.
  Model* lamp = model_get("lamp_post");
  EXPECT_FLOAT_EQ(lamp->max[1], 6.5f);
  EXPECT_FLOAT_EQ(lamp->max[2], 1.7f);
  Model* gate = model_get("gate_start");
  EXPECT_FLOAT_EQ(gate->max[0], 9.0f);
  EXPECT_FLOAT_EQ(gate->min[0], -9.0f);
  EXPECT_FLOAT_EQ(gate->max[1], 6.4f);

  // Textures by row.
  EXPECT_STREQ(model_get("barrier")->tex->name, "barrier");
  EXPECT_STREQ(model_get("barrier_long")->tex->name, "barrier");
  EXPECT_STREQ(model_get("building")->tex->name, "windows");
  EXPECT_STREQ(model_get("tree")->tex->name, "noise");
  EXPECT_STREQ(model_get("whatever")->tex->name, "noise");

  // Every generated row faces outwards.
  for (const char* n : {"car", "tree", "bush", "rock", "redrock", "cactus", "cone", "barrier", "tyres", "lamp",
                        "building", "house", "gate", "grandstand", "unknown"})
    expect_faces_match_normals(model_get(n)->mesh, n);
  EXPECT_EQ(log(), "");  // generated models log nothing
}

TEST_F(Models, LookupIsByBaseName) {
  Model* tree = model_get("tree");
  EXPECT_EQ(model_get("Tree.SKM"), tree);
  EXPECT_EQ(model_get("TREE"), tree);
  EXPECT_EQ(g_models, tree);
  EXPECT_EQ(tree->next, nullptr);
  EXPECT_EQ(tree->gpu.vb, nullptr);  // no device, no GPU copy
}

TEST_F(Models, LoadsValidSkmFiles) {
  // One triangle, no texture name: "white".
  put_model("tri.skm", skm(3, 3, "", verts(3), {0, 1, 2}));
  Model* tri = model_get("tri");
  EXPECT_EQ(tri->generated, 0);
  EXPECT_STREQ(tri->tex->name, "white");
  ASSERT_EQ(tri->mesh.nverts, 3);
  ASSERT_EQ(tri->mesh.nindices, 3);
  EXPECT_EQ(log(), "model tri: 3 verts 1 tris\r\n");
  // The colour moves from the end of the file's vertex to between normal and uv.
  const Vertex& v = tri->mesh.verts[2];
  EXPECT_EQ(v.x, 2.0f);
  EXPECT_EQ(v.y, 4.0f);
  EXPECT_EQ(v.z, -2.0f);
  EXPECT_EQ(v.ny, 1.0f);
  EXPECT_EQ(v.colour, 0xFF000002u);
  EXPECT_EQ(v.u, 0.5f);
  EXPECT_EQ(v.v, 0.5f);
  EXPECT_FLOAT_EQ(tri->max[1], 4.0f);
  EXPECT_FLOAT_EQ(tri->min[2], -2.0f);
  EXPECT_FLOAT_EQ(tri->radius, std::sqrt(8.0f));

  // Out-of-range triangles are dropped and the next one kept; a final
  // incomplete triangle is ignored; bytes after the data too.
  put_model("five.skm", skm(5, 8, "grass.bmp", verts(5), {0, 1, 5, 2, 3, 4, 4, 4}) + "trailing junk");
  Model* five = model_get("five.skm");
  ASSERT_EQ(five->mesh.nindices, 3);
  EXPECT_EQ(five->mesh.indices[0], 2);
  EXPECT_EQ(five->mesh.indices[2], 4);
  EXPECT_STREQ(five->tex->name, "grass");  // no file: the generated texture
  EXPECT_NE(log().find("model five: 5 verts 1 tris\r\n"), std::string::npos);

  // No geometry at all is still a valid file.
  put_model("empty.skm", skm(0, 0, "", {}, {}));
  Model* empty = model_get("empty");
  EXPECT_EQ(empty->generated, 0);
  EXPECT_EQ(empty->min[0], 1e9f);
  EXPECT_EQ(empty->max[1], -1e9f);
  EXPECT_EQ(empty->radius, 0.0f);

  // The limits themselves are allowed.
  put_model("big.skm", skm(65535, 0, std::string(64, 'a'), verts(65535), {}));
  EXPECT_EQ(model_get("big")->mesh.nverts, 65535);
  put_model("many.skm", skm(3, 600000, "", verts(3), std::vector<uint16_t>(600000, 1)));
  EXPECT_EQ(model_get("many")->mesh.nindices, 600000);
}

TEST_F(Models, InvalidSkmFilesFallBackToTheGeneratedModel) {
  const std::string good = skm(3, 3, "", verts(3), {0, 1, 2});
  std::string badMagic = good, bigV = good, bigI = good, longName = good;
  badMagic[3] = '2';
  put32(bigV, 4, 70000);
  put32(bigI, 8, 600001);
  put32(longName, 12, 65);
  const std::string cases[] = {good.substr(0, good.size() - 1), badMagic, bigV, bigI, longName,
                               good.substr(0, 15), std::string()};
  const std::vector<float> tree = positions(model_get("tree")->mesh);
  for (const std::string& data : cases) {
    assets_forget_all();
    log_open("case.log");
    put_model("tree.skm", data);
    Model* m = model_get("tree");
    EXPECT_EQ(m->generated, 1);
    EXPECT_EQ(positions(m->mesh), tree);
    EXPECT_EQ(slurp("case.log"), "model tree: bad SKM, using placeholder\r\n");
    EXPECT_EQ(model_try("tree"), nullptr);
  }
  // A name the generator does not know gets the placeholder box.
  put_model("statue.skm", badMagic);
  EXPECT_EQ(model_get("statue")->mesh.verts[0].colour, 0xFFC800C8u);
}

TEST_F(Models, TryFindsOnlyFileModels) {
  EXPECT_EQ(model_try("cone"), nullptr);
  model_get("cone");
  EXPECT_EQ(model_try("cone"), nullptr);  // still only the generated one
  EXPECT_EQ(model_try("car_glow"), nullptr);

  put_model("sign.skm", skm(3, 3, "", verts(3), {0, 1, 2}));
  Model* sign = model_try("Sign.SKM");
  ASSERT_NE(sign, nullptr);
  EXPECT_EQ(sign->generated, 0);
  EXPECT_EQ(model_try("sign"), sign);
  EXPECT_EQ(model_get("sign"), sign);

  put_model("broken.skm", "SKM1");
  EXPECT_EQ(model_try("broken"), nullptr);
  EXPECT_EQ(model_try("broken"), nullptr);  // found in the table, not read again
  std::string l = log();
  EXPECT_EQ(l.find("broken: bad SKM"), l.rfind("broken: bad SKM"));
}

TEST_F(Models, ExampleCrateFromTheRepositoryLoads) {
  put_model("crate.skm", slurp(std::string(SK_REPO_DATA) + "/models/crate.skm"));
  mkdirs("data/textures");
  spit("data/textures/crate.bmp", slurp(std::string(SK_REPO_DATA) + "/textures/crate.bmp"));
  Model* crate = model_get("crate");
  EXPECT_EQ(crate->generated, 0);
  EXPECT_EQ(crate->mesh.nverts, 24);
  EXPECT_EQ(crate->mesh.nindices, 36);
  EXPECT_EQ(crate->tex->generated, 0);
  EXPECT_EQ(crate->tex->w, 32);
  EXPECT_FLOAT_EQ(crate->min[1], 0.0f);
  EXPECT_FLOAT_EQ(crate->max[1], 1.2f);
  EXPECT_FLOAT_EQ(crate->max[0], 0.6f);
  expect_faces_match_normals(crate->mesh, "crate");
  EXPECT_EQ(log(), "texture crate.bmp 32x32\r\nmodel crate: 24 verts 12 tris\r\n");
}

}  // namespace
