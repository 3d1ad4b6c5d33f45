// The pack's names, its file encodings and the order it is built in.
#include "pack.h"

#include <stdio.h>
#include <string.h>

#include <map>
#include <set>

#include "assets/assets_internal.h"
#include "car/car.h"
#include "rt/bmp.h"
#include "soft/soft.h"
#include "track/track.h"

namespace {

std::string base_of(const std::string& name) {
  char b[48];
  base_name(name.c_str(), b);
  return b;
}

void add_unique(std::vector<std::string>* list, const std::string& s) {
  for (const std::string& have : *list)
    if (have == s) return;
  list->push_back(s);
}

bool is_none(const char* s) { return str_ieq(s, "none"); }

// The texture names a loaded circuit's header asks for.
void header_textures(std::vector<std::string>* out) {
  const TrackData& t = g_track;
  const char* names[] = {t.roadTex, t.groundTex, t.kerbTex, t.wallTex, t.backgroundTex, t.startlineTex, t.thumbTex};
  for (const char* n : names)
    if (n[0] && !is_none(n)) add_unique(out, n);
}

void append32(std::vector<uint8_t>& f, uint32_t v) {
  for (int i = 0; i < 4; i++) f.push_back((uint8_t)(v >> (8 * i)));
}
void append_float(std::vector<uint8_t>& f, float v) {
  uint32_t u;
  memcpy(&u, &v, 4);
  append32(f, u);
}

}  // namespace

bool pack_keeps_generated(const std::string& base) {
  // The generated pictures and models made for these names are already the
  // look the circuits want: grass, sand, red-and-white kerbs, concrete with a
  // yellow edge, banded rock walls; pines, bushes, grey rocks, cacti, houses,
  // the grandstand, the start gate and the striped city barrier.
  static const char* const kKeep[] = {"grass", "sand",  "kerb",  "concrete", "rockwall", "tree_pine", "bush",
                                      "rock",  "cactus", "house", "grandstand", "gate_start", "barrier"};
  for (const char* k : kKeep)
    if (base == k) return true;
  return false;
}

int pack_device_open() {
  sys_lib_provide("d3d9.dll", soft_d3d9_proc);
  return gfx_init(nullptr, 0);
}

void pack_device_close() {
  track_free();
  gfx_shutdown();
  assets_forget_all();
}

PackNames pack_names() {
  PackNames n;
  for (int i = 0; i < TRACK_COUNT; i++) {
    assets_forget_all();
    track_free();
    if (!track_load_text(g_builtin[i], i)) continue;
    header_textures(&n.textures);
    // Every model the props pass asked for, oldest first.
    std::vector<std::string> models;
    for (Model* m = g_models; m; m = m->next) models.insert(models.begin(), m->name);
    for (const std::string& m : models) add_unique(&n.models, m);
  }
  track_free();
  assets_forget_all();
  for (const char* shape : g_shapeNames)
    for (int livery = 0; livery < 4; livery++) add_unique(&n.models, "car_" + std::string(shape) + "_" + std::to_string(livery));
  add_unique(&n.textures, "logo.bmp");
  return n;
}

std::vector<uint8_t> pack_bmp(const PackImage& img) {
  std::vector<uint32_t> px(img.px.begin(), img.px.end());
  for (uint32_t& c : px) {
    // See-through pixels become the key colour; an opaque pixel never hits it by chance.
    if ((c >> 24) < 128)
      c = 0xFF00FF;
    else if ((c & 0xFFFFFF) == 0xFF00FF)
      c = 0xFE00FF;
  }
  size_t size = 0;
  uint8_t* file = bmp_encode(px.data(), img.w, img.h, 3, 2835, &size);  // 72 dpi
  std::vector<uint8_t> f(file, file + size);
  mem_free(file);
  return f;
}

std::vector<uint8_t> pack_skm(const Mesh& m, const char* texture) {
  std::vector<uint8_t> f = {'S', 'K', 'M', '1'};
  size_t n = strlen(texture);
  append32(f, (uint32_t)m.nverts);
  append32(f, (uint32_t)m.nindices);
  append32(f, (uint32_t)n);
  f.insert(f.end(), texture, texture + n);
  for (int i = 0; i < m.nverts; i++) {
    const Vertex& v = m.verts[i];
    for (float x : {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v}) append_float(f, x);
    append32(f, v.colour);
  }
  for (int i = 0; i < m.nindices; i++) {
    f.push_back((uint8_t)m.indices[i]);
    f.push_back((uint8_t)(m.indices[i] >> 8));
  }
  return f;
}

uint64_t pack_hash(const std::vector<PackFile>& files) {
  uint64_t h = 14695981039346656037ull;
  auto eat = [&](const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; i++) h = (h ^ p[i]) * 1099511628211ull;
  };
  for (const PackFile& f : files) {
    eat((const uint8_t*)f.path.c_str(), f.path.size() + 1);
    uint8_t len[8];
    for (int i = 0; i < 8; i++) len[i] = (uint8_t)((uint64_t)f.bytes.size() >> (8 * i));
    eat(len, 8);
    eat(f.bytes.data(), f.bytes.size());
  }
  return h;
}

std::vector<PackFile> pack_build() {
  std::map<std::string, std::vector<uint8_t>> files;
  std::set<std::string> textures;  // file names still to draw
  bool ok = true;
  auto texture = [&](const std::string& name) {
    std::string path = "data/textures/" + name;
    if (files.count(path) || pack_keeps_generated(base_of(name))) return;
    PackImage img;
    if (!art_texture(base_of(name), &img)) {
      fprintf(stderr, "artpack: no design for the texture %s\n", name.c_str());
      ok = false;
      return;
    }
    files[path] = pack_bmp(img);
  };
  auto model = [&](const std::string& base) {
    if (pack_keeps_generated(base)) return;
    Mesh m;
    mesh_init(&m);
    std::string tex;
    if (!art_model(base, &m, &tex)) {
      fprintf(stderr, "artpack: no design for the model %s\n", base.c_str());
      ok = false;
    } else {
      files["data/models/" + base + ".skm"] = pack_skm(m, tex.c_str());
      if (!tex.empty()) textures.insert(tex);
    }
    mesh_free(&m);
  };

  PackNames names = pack_names();
  // Circuit pictures are drawn while their circuit is loaded.
  for (int i = 0; i < TRACK_COUNT; i++) {
    track_free();
    if (!track_load_text(g_builtin[i], i)) continue;
    std::vector<std::string> own;
    header_textures(&own);
    for (const std::string& t : own) texture(t);
  }
  track_free();
  assets_forget_all();
  for (const std::string& t : names.textures) texture(t);
  for (const std::string& m : names.models) {
    model(m);
    std::string glow = art_glow_of(m);
    if (!glow.empty() && !files.count("data/models/" + glow + ".skm")) model(glow);
  }
  for (const std::string& t : textures) texture(t);
  if (!ok) return {};
  std::vector<PackFile> out;
  for (auto& f : files) out.push_back({f.first, std::move(f.second)});
  return out;
}
