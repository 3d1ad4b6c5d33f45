// The art pack: the same bytes every time, a file for every name the game
// asks for, files the game and ImageMagick read as written, circuits that
// load and look finished with it (and keep their placeholders without it),
// and races that still finish with its colliders.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <sys/stat.h>

#include <map>
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

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string base(const std::string& name) {
  char b[48];
  base_name(name.c_str(), b);
  return b;
}

uint32_t le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; i--) v = v << 8 | (uint8_t)s[at + i];
  return v;
}

bool has_placeholder(const Mesh& m) {
  for (int i = 0; i < m.nverts; i++)
    if (m.verts[i].colour == kMagenta) return true;
  return false;
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

// Same bytes on every run; the committed hash names this pack's bytes.
TEST(Pack, SameBytesEveryRunAndAsCommitted) {
  uint64_t first = pack_hash(pack());
  ASSERT_TRUE(pack_device_open());
  std::vector<PackFile> again = pack_build();
  pack_device_close();
  EXPECT_EQ(pack_hash(again), first);
  char hex[20];
  snprintf(hex, sizeof hex, "%016llx", (unsigned long long)first);
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
    if (exists("data/textures/" + t)) continue;
    EXPECT_TRUE(pack_keeps_generated(base(t))) << t << " has no file";
    int w, h;
    tex_gen_size(base(t).c_str(), &w, &h);
    own.assign((size_t)w * h, 0);
    tex_gen_fill(base(t).c_str(), own.data(), w, h);
    EXPECT_NE(own, other) << t << " would be grey noise";
  }
  for (const std::string& m : names.models) {
    if (exists("data/models/" + m + ".skm")) continue;
    EXPECT_TRUE(pack_keeps_generated(m)) << m << " has no file";
    Mesh mesh;
    mesh_init(&mesh);
    model_build(&mesh, m.c_str());
    EXPECT_FALSE(has_placeholder(mesh)) << m << " would be a placeholder";
    mesh_free(&mesh);
  }
  for (const char* glow : {"lamp_post_glow", "city_tall_glow", "car_wedge_glow", "billboard_brontil_glow"})
    EXPECT_TRUE(exists(std::string("data/models/") + glow + ".skm")) << glow;
}

// With the pack every circuit loads its files: no rejected file, no
// placeholder, lit windows and lamps on the night circuit.
TEST_F(PackTest, CircuitsLoadWithoutPlaceholders) {
  write_pack(".");
  for (int i = 0; i < TRACK_COUNT; i++) {
    track_free();
    assets_forget_all();
    ASSERT_EQ(track_load(i), 1);
    const TrackData& t = g_track;
    for (const char* name : {t.roadTex, t.backgroundTex, t.thumbTex, t.startlineTex})
      if (name[0]) {
        EXPECT_FALSE(tex_get(name)->generated) << name;
      }
    for (Model* m = g_models; m; m = m->next) {
      EXPECT_FALSE(has_placeholder(m->mesh)) << m->name;
      EXPECT_TRUE(!m->generated || pack_keeps_generated(m->name)) << m->name;
    }
    int glow = 0;
    for (Batch* b = t.batches; b; b = b->next) glow += b->layer == 2;
    EXPECT_TRUE(i != 2 || glow > 0) << "the night circuit's lights";
    EXPECT_GT(t.lampCount, i == 2 ? 40 : -1);
  }
  std::string l = log();
  EXPECT_EQ(l.find("unsupported BMP"), std::string::npos);
  EXPECT_EQ(l.find("bad SKM"), std::string::npos);
  EXPECT_NE(l.find("texture road_city.bmp 64x64"), std::string::npos);
}

// Each model file states its counts; the game's loader keeps every vertex and
// triangle, the normals are unit length and the sizes are the intended metres.
TEST_F(PackTest, ModelFilesRoundTrip) {
  write_pack(".");
  struct Size {
    const char* name;
    int axis;  // 0 width (x), 1 height, 2 length (z)
    float lo, hi;
  };
  const Size sizes[] = {{"tyre_stack", 1, 0.8f, 1.2f}, {"city_tall", 1, 20 / 0.9f, 40 / 1.4f},
                        {"city_shop", 1, 5, 9},         {"guardrail", 2, 3.9f, 4.1f},
                        {"car_hatch_0", 2, 3.7f, 4.3f},   {"car_truck_3", 0, 1.8f, 2.1f},
                        {"lamp_post", 1, 7, 9},          {"sign_chevron", 0, 1.6f, 2.2f}};
  int files = 0;
  for (const PackFile& f : pack()) {
    if (f.path.compare(0, 12, "data/models/") != 0) continue;
    files++;
    std::string name = f.path.substr(12, f.path.size() - 16), data(f.bytes.begin(), f.bytes.end());
    uint32_t V = le32(data, 4), I = le32(data, 8), N = le32(data, 12);
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
    char line[96];
    snprintf(line, sizeof line, "model %s: %u verts %u tris\r\n", name.c_str(), V, I / 3);
    EXPECT_NE(log().find(line), std::string::npos) << line;
    for (const Size& s : sizes)
      if (name == s.name) {
        float extent = model->max[s.axis] - model->min[s.axis];
        EXPECT_TRUE(extent >= s.lo && extent <= s.hi) << name << " measures " << extent;
      }
  }
  EXPECT_GE(files, 30);
}

// ImageMagick reads every picture as the game does, pixel for pixel; circuit
// pictures have their shapes.
TEST(Pack, PicturesReadBackWithImageMagick) {
  TempDir dir;
  write_pack(".");
  int pictures = 0;
  for (const PackFile& f : pack()) {
    if (f.path.compare(0, 14, "data/textures/") != 0) continue;
    pictures++;
    int w = 0, h = 0;
    uint32_t* px = bmp_decode(f.bytes.data(), f.bytes.size(), &w, &h);
    ASSERT_TRUE(px) << f.path;
    std::string cmd = "convert '" + f.path + "' -depth 8 rgb:-";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_TRUE(p);
    std::string rgb;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) rgb.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << cmd;
    ASSERT_EQ(rgb.size(), (size_t)w * h * 3) << f.path;
    int diffs = 0;
    for (int i = 0; i < w * h; i++) {
      uint32_t c = px[i] ? px[i] & 0xFFFFFF : 0xFF00FF;  // see-through is the magenta key
      uint32_t im = (uint32_t)(uint8_t)rgb[3 * i] << 16 | (uint32_t)(uint8_t)rgb[3 * i + 1] << 8 | (uint8_t)rgb[3 * i + 2];
      diffs += c != im;
    }
    EXPECT_EQ(diffs, 0) << f.path;
    mem_free(px);
    std::string b = base(f.path.substr(14));
    bool thumb = b.compare(0, 6, "thumb_") == 0, sky = b.compare(0, 4, "sky_") == 0, road = b.compare(0, 5, "road_") == 0;
    EXPECT_TRUE(!thumb || (w == 96 && h == 96)) << b;
    EXPECT_TRUE(!sky || w == 3 * h) << b;
    EXPECT_TRUE(!road || (w == 64 && h == 64)) << b;
  }
  EXPECT_GE(pictures, 20);
}

// Four computer drivers still finish three laps on every circuit with the
// pack's colliders in place. Prints the wall and prop hits with and without.
TEST_F(PackTest, RacesFinishWithThePack) {
  for (int withPack = 0; withPack < 2; withPack++) {
    if (withPack) write_pack(".");
    for (int t = 0; t < TRACK_COUNT; t++) {
      track_free();
      assets_forget_all();
      memset(&g_opt, 0, sizeof g_opt);
      g_set.laps = 3;
      g_aiRng = 12345, g_raceRng = 777;
      g_opt.demo = 1, g_opt.race = t;
      game_init();
      int walls = g_hitWalls, props = g_hitProps, n = 0, done = 0;
      for (; n < 60 * 900 && done < 4; n++) {
        game_tick(1.0f / 60.0f);
        done = 0;
        for (const Car& c : g_cars) done += c.finished;
      }
      EXPECT_EQ(done, 4) << "circuit " << t << (withPack ? " with" : " without") << " the pack";
      float winner = 1e9f;
      for (const Car& c : g_cars) winner = fminf(winner, c.finishTime);
      printf("circuit %d %s the pack: %d colliders, winner %.2f s, hits walls %d props %d\n", t,
             withPack ? "with" : "without", g_track.colliderCount, winner, g_hitWalls - walls, g_hitProps - props);
    }
  }
}

namespace {

struct ShotStats {
  int magenta;     // pixels of the placeholder boxes' hue
  float road[3];   // mean hue (degrees), saturation and value of the road beside the player's car
  bool ok;
};

// Hue in degrees, saturation and value 0..1.
void hsv(uint32_t c, float* h, float* s, float* v) {
  float r = (float)(c >> 16 & 255) / 255, g = (float)(c >> 8 & 255) / 255, b = (float)(c & 255) / 255;
  float hi = fmaxf(r, fmaxf(g, b)), lo = fminf(r, fminf(g, b)), d = hi - lo;
  *v = hi;
  *s = hi > 0 ? d / hi : 0;
  if (d <= 0) *h = 0;
  else if (hi == r) *h = fmodf(60 * (g - b) / d + 360, 360);
  else if (hi == g) *h = 60 * (b - r) / d + 120;
  else *h = 60 * (r - g) / d + 240;
}

ShotStats shot_stats(const std::string& path) {
  ShotStats s = {0, {0, 0, 0}, false};
  std::string f = slurp(path);
  int w = 0, h = 0;
  uint32_t* px = bmp_decode((const uint8_t*)f.data(), f.size(), &w, &h);
  if (!px) return s;
  float r = 0, g = 0, b = 0;
  int area = 0;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float hue, sat, val;
      hsv(px[y * w + x], &hue, &sat, &val);
      // The placeholder boxes, in sunlight or under the night's blue light.
      if (hue >= 270 && hue <= 320 && sat >= 0.45f && val >= 0.12f) s.magenta++;
      // The road beside the player's car on the grid.
      bool road = y >= h * 65 / 100 && y < h * 85 / 100 &&
                  ((x >= w * 28 / 100 && x < w * 40 / 100) || (x >= w * 60 / 100 && x < w * 70 / 100));
      if (road) {
        area++;
        r += (float)(px[y * w + x] >> 16 & 255), g += (float)(px[y * w + x] >> 8 & 255), b += (float)(px[y * w + x] & 255);
      }
    }
  mem_free(px);
  uint32_t mean = 0xFF000000u | (uint32_t)(r / (float)area) << 16 | (uint32_t)(g / (float)area) << 8 | (uint32_t)(b / (float)area);
  hsv(mean, &s.road[0], &s.road[1], &s.road[2]);
  s.ok = true;
  return s;
}

}  // namespace

// The whole program's pictures: with the pack no placeholder magenta on any
// circuit and the road no longer the generated grey noise under that
// circuit's light; without it the placeholders are still there.
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
    ShotStats stats[2];
    for (int packed = 0; packed < 2; packed++) {
      std::string d = packed ? "packed" : "bare";
      std::string cmd = "cd " + d + " && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout -k 5 60 ./skidline --shot " +
                        std::to_string(t) + " 3 --out s.bmp >/dev/null 2>&1";
      ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
      ShotStats& s = stats[packed];
      s = shot_stats(d + "/s.bmp");
      ASSERT_TRUE(s.ok);
      printf("circuit %d %s: %d magenta pixels, road hue %.0f sat %.2f value %.2f\n", t, d.c_str(), s.magenta,
             s.road[0], s.road[1], s.road[2]);
      std::string l = slurp(d + "/skidline.log");
      EXPECT_EQ(l.find("unsupported BMP"), std::string::npos);
      EXPECT_EQ(l.find("bad SKM"), std::string::npos);
      EXPECT_EQ(l.find(" verts ") != std::string::npos, packed == 1) << "model files read on circuit " << t;
    }
    EXPECT_GT(stats[0].magenta, 200) << "circuit " << t << " without the pack shows its placeholders";
    EXPECT_EQ(stats[1].magenta, 0) << "circuit " << t;
    float hueShift = fabsf(stats[1].road[0] - stats[0].road[0]);
    if (hueShift > 180) hueShift = 360 - hueShift;
    bool changed = fabsf(stats[1].road[2] - stats[0].road[2]) > 0.12f || fabsf(stats[1].road[1] - stats[0].road[1]) > 0.15f ||
                   (hueShift > 20 && stats[1].road[1] > 0.1f);
    EXPECT_TRUE(changed) << "circuit " << t << ": the road still looks like the generated noise";
  }
}
