// The art pack: the same bytes every time, a file for every name the game
// asks for, files the game reads as written, circuits that load and look
// finished with it (and keep their placeholders without it), and races that
// still finish with its colliders.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "assets/assets_internal.h"
#include "car/car.h"
#include "game/game_internal.h"
#include "pack.h"
#include "test_util.h"
#include "track/track.h"

namespace {

const uint32_t kMagenta = 0xFFC800C8u;  // the generated placeholder box

// The pack is built once, on the test's device when it has one; every test
// writes it where it needs it.
const std::vector<PackFile>& pack() {
  static std::vector<PackFile> files;
  if (files.empty()) {
    bool own = !g_dev;
    EXPECT_TRUE(!own || pack_device_open());
    files = pack_build();
    if (own) pack_device_close();
  }
  return files;
}

void write_pack(const std::string& dir) {
  for (const char* d : {"/data", "/data/textures", "/data/models"}) mkdir((dir + d).c_str(), 0755);
  for (const PackFile& f : pack()) spit(dir + "/" + f.path, std::string(f.bytes.begin(), f.bytes.end()));
}

std::string base(const std::string& name) {
  char b[48];
  base_name(name.c_str(), b);
  return b;
}

bool has_placeholder(const Mesh& m) {
  return std::any_of(m.verts, m.verts + m.nverts, [](const Vertex& v) { return v.colour == kMagenta; });
}

class PackTest : public testing::Test {
 protected:
  void SetUp() override {
    log_open("test.log");
    assets_forget_all();
    track_free();
    ASSERT_TRUE(pack_device_open());
  }
  void TearDown() override { pack_device_close(); }
  std::string log() { return slurp("test.log"); }
  TempDir dir_;
};

}  // namespace

// The committed hash names this pack's bytes: a pack that changed from run
// to run would not match it.
TEST(Pack, SameBytesAsCommitted) {
  char hex[20];
  snprintf(hex, sizeof hex, "%016llx", (unsigned long long)pack_hash(pack()));
  std::string committed = slurp(ARTPACK_HASH_FILE);
  EXPECT_EQ(committed.substr(0, 16), hex) << "the pack changed: refresh " << ARTPACK_HASH_FILE << " (see README)";
}

// Every name the circuits, cars and title ask for is a file of the pack, or
// a name whose generated look is a real design rather than a placeholder.
TEST_F(PackTest, EveryNameHasAFileOrAGeneratedDesign) {
  write_pack(".");
  PackNames names = pack_names();
  EXPECT_GE(names.models.size(), 30u);
  std::vector<uint32_t> other(64 * 64), own(64 * 64);
  tex_gen_fill("no_such_picture", other.data(), 64, 64);
  for (const std::string& t : names.textures) {
    if (file_exists(("data/textures/" + t).c_str())) continue;
    EXPECT_TRUE(pack_keeps_generated(base(t))) << t << " has no file";
    int w, h;
    tex_gen_size(base(t).c_str(), &w, &h);
    own.assign((size_t)w * h, 0);
    tex_gen_fill(base(t).c_str(), own.data(), w, h);
    EXPECT_NE(own, other) << t << " would be grey noise";
  }
  for (const std::string& m : names.models) {
    if (file_exists(("data/models/" + m + ".skm").c_str())) continue;
    EXPECT_TRUE(pack_keeps_generated(m)) << m << " has no file";
    Mesh mesh;
    mesh_init(&mesh);
    model_build(&mesh, m.c_str());
    EXPECT_FALSE(has_placeholder(mesh)) << m << " would be a placeholder";
    mesh_free(&mesh);
  }
  for (const char* glow : {"lamp_post_glow", "city_tall_glow", "car_wedge_glow", "billboard_brontil_glow"})
    EXPECT_TRUE(file_exists((std::string("data/models/") + glow + ".skm").c_str())) << glow;
}

// Every picture decodes, circuit pictures with their shapes. Each model file
// states its counts; the game's loader keeps every vertex and triangle, the
// normals are unit length and the sizes are the intended metres.
TEST_F(PackTest, FilesReadBackAsWritten) {
  write_pack(".");
  struct { const char* name; int axis; float lo, hi; } sizes[] = {  // axis: 0 width (x), 1 height, 2 length (z)
      {"tyre_stack", 1, 0.8f, 1.2f}, {"city_tall", 1, 20 / 0.9f, 40 / 1.4f}, {"city_shop", 1, 5, 9},
      {"guardrail", 2, 3.9f, 4.1f},  {"car_hatch_0", 2, 3.7f, 4.3f},        {"car_truck_3", 0, 1.8f, 2.1f},
      {"lamp_post", 1, 7, 9},        {"sign_chevron", 0, 1.6f, 2.2f}};
  int files = 0, pictures = 0;
  for (const PackFile& f : pack()) {
    if (f.path.compare(0, 14, "data/textures/") == 0) {
      pictures++;
      int w = 0, h = 0;
      uint32_t* px = bmp_decode(f.bytes.data(), f.bytes.size(), &w, &h);
      ASSERT_TRUE(px) << f.path;
      mem_free(px);
      std::string b = base(f.path.substr(14));
      EXPECT_TRUE(b.compare(0, 6, "thumb_") || (w == 96 && h == 96)) << b;
      EXPECT_TRUE(b.compare(0, 4, "sky_") || w == 3 * h) << b;
      EXPECT_TRUE(b.compare(0, 5, "road_") || (w == 64 && h == 64)) << b;
      continue;
    }
    files++;
    std::string name = f.path.substr(12, f.path.size() - 16), data(f.bytes.begin(), f.bytes.end());
    uint32_t h[4], V, I, N;  // magic, vertices, indices, name length
    memcpy(h, data.data(), sizeof h), V = h[1], I = h[2], N = h[3];
    ASSERT_EQ(data.size(), 16 + N + 36 * V + 2 * I) << name;
    Mesh m;
    mesh_init(&m);
    char tex[SKM_MAX_NAME + 1];
    ASSERT_TRUE(skm_load(&m, f.bytes.data(), f.bytes.size(), tex)) << name;
    EXPECT_EQ((uint32_t)m.nverts, V) << name;
    EXPECT_EQ((uint32_t)m.nindices, I) << name << ": triangles dropped";
    EXPECT_EQ(std::string(tex), data.substr(16, N));
    for (int i = 0; i < m.nverts; i++) {
      const Vertex& v = m.verts[i];
      ASSERT_NEAR(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz, 1.0f, 1e-3f) << name << " vertex " << i;
    }
    mesh_free(&m);
    Model* model = model_get(name.c_str());
    EXPECT_FALSE(model->generated) << name;
    for (auto& s : sizes) {
      float extent = model->max[s.axis] - model->min[s.axis];
      EXPECT_TRUE(name != s.name || (extent >= s.lo && extent <= s.hi)) << name << " measures " << extent;
    }
  }
  EXPECT_GE(files, 30);
  EXPECT_GE(pictures, 20);
}

// With the pack every circuit loads its files (no rejected file, no
// placeholder, lit windows and lamps at night), and four computer drivers
// still finish three laps with the pack's colliders in place.
TEST_F(PackTest, CircuitsLoadWithoutPlaceholdersAndRacesFinish) {
  write_pack(".");
  for (int t = 0; t < TRACK_COUNT; t++) {
    track_free();
    assets_forget_all();
    memset(&g_opt, 0, sizeof g_opt);
    g_set.laps = 3, g_aiRng = 12345, g_raceRng = 777;
    g_opt.demo = 1, g_opt.race = t;
    game_init();
    const TrackData& k = g_track;
    for (const char* name : {k.roadTex, k.backgroundTex, k.thumbTex, k.startlineTex})
      EXPECT_TRUE(!name[0] || !tex_get(name)->generated) << name;
    for (Model* m = g_models; m; m = m->next) {
      EXPECT_FALSE(has_placeholder(m->mesh)) << m->name;
      EXPECT_TRUE(!m->generated || pack_keeps_generated(m->name)) << m->name;
    }
    int glow = 0, done = 0;
    for (Batch* b = k.batches; b; b = b->next) glow += b->layer == 2;
    EXPECT_TRUE(t != 2 || (glow > 0 && k.lampCount > 40)) << "the night circuit's lights";
    for (int n = 0; n < 60 * 900 && done < 4; n++) {
      game_tick(1.0f / 60.0f);
      done = 0;
      for (const Car& c : g_cars) done += c.finished;
    }
    EXPECT_EQ(done, 4) << "circuit " << t;
  }
  std::string l = log();
  EXPECT_EQ(l.find("unsupported BMP"), std::string::npos);
  EXPECT_EQ(l.find("bad SKM"), std::string::npos);
  EXPECT_NE(l.find("texture road_city.bmp 64x64"), std::string::npos);
}

namespace {

// Pixels of the placeholder boxes' hue, in sunlight or under the night's blue
// light; -1 when the picture cannot be read.
int magenta_pixels(const std::string& path) {
  std::string f = slurp(path);
  int w = 0, h = 0, n = 0;
  uint32_t* px = bmp_decode((const uint8_t*)f.data(), f.size(), &w, &h);
  if (!px) return -1;
  for (int i = 0; i < w * h; i++) {
    float r = (float)(px[i] >> 16 & 255), g = (float)(px[i] >> 8 & 255), b = (float)(px[i] & 255);
    float hi = fmaxf(r, fmaxf(g, b)), d = hi - fminf(r, fminf(g, b));
    if (d <= 0 || hi == g || d < 0.45f * hi || hi < 0.12f * 255) continue;
    float hue = hi == r ? fmodf(60 * (g - b) / d + 360, 360) : 60 * (r - g) / d + 240;
    n += hue >= 270 && hue <= 320;
  }
  mem_free(px);
  return n;
}

}  // namespace

// The whole program's pictures: with the pack no placeholder magenta on any
// circuit; without it the placeholders are still there.
TEST(PackShots, CircuitsWithAndWithoutThePack) {
#ifdef ARTPACK_NO_PROGRAM
  GTEST_SKIP() << "the whole program runs in the plain build";
#endif
  TempDir dir;
  for (const char* d : {"bare", "packed"}) {
    mkdir(d, 0755);
    ASSERT_EQ(system(("cp '" SKIDLINE_EXE "' " + std::string(d) + "/").c_str()), 0);
  }
  write_pack(dir.path() + "/packed");
  for (int t = 1; t <= TRACK_COUNT; t++) {
    for (int packed = 0; packed < 2; packed++) {
      std::string d = packed ? "packed" : "bare";
      std::string cmd = "cd " + d + " && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout -k 5 60 ./skidline --shot " +
                        std::to_string(t) + " 3 --out s.bmp >/dev/null 2>&1";
      ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
      int magenta = magenta_pixels(d + "/s.bmp");
      printf("circuit %d %s: %d magenta pixels\n", t, d.c_str(), magenta);
      EXPECT_TRUE(packed ? magenta == 0 : magenta > 200) << "circuit " << t << " " << d;
      std::string l = slurp(d + "/skidline.log");
      EXPECT_EQ(l.find("unsupported BMP"), std::string::npos);
      EXPECT_EQ(l.find("bad SKM"), std::string::npos);
      EXPECT_EQ(l.find(" verts ") != std::string::npos, packed == 1) << "model files read on circuit " << t;
    }
  }
}
