// modelsheet: draws every model of a data folder (data/models/*.skm) and every
// model the game generates through the software device, one labelled cell
// each, onto one BMP contact sheet.
//
//   modelsheet sheet.bmp [FOLDER]    FOLDER holds data/ (default: here)
#include <dirent.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "assets/assets_internal.h"
#include "gfx/d3d.h"
#include "gfx/gfx_internal.h"
#include "pack.h"

namespace {

const int kCell = 150, kLabel = 14, kPad = 8, kCols = 8;

// One of each kind the generator builds, and a name it does not know.
const char* const kGenerated[] = {"car", "car2", "car3", "tree", "bush", "rock", "redrock", "cactus", "cone",
                                  "barrier", "tyres", "lamp", "building", "house", "gate", "grandstand",
                                  "placeholder"};

void text(PackImage* img, int x, int y, uint32_t c, const std::string& s) {
  for (char ch : s) {
    char up = ch >= 'a' && ch <= 'z' ? (char)(ch - 32) : ch;
    if (const uint8_t* g = font_glyph(up))
      for (int r = 0; r < 7; r++)
        for (int k = 0; k < 5; k++)
          if (g[r] & (0x10 >> k)) img->set(x + k, y + r, c);
    x += 6;
  }
}

// The model drawn from the front right, above, filling the cell.
std::vector<uint32_t> draw(Model* m, bool glow) {
  gfx_begin_low(glow ? 0xFF101018u : 0xFF5A6470u);
  float c[3], r = 0;
  for (int i = 0; i < 3; i++) {
    c[i] = (m->min[i] + m->max[i]) / 2;
    r = std::max(r, (m->max[i] - m->min[i]) / 2);
  }
  r = std::max(r * 1.5f, 0.3f);
  float d = r / f_sin(0.35f) * 1.05f;
  Vec3 eye = {c[0] + d * 0.55f, c[1] + d * 0.42f, c[2] + d * 0.72f};
  Mat4 view = m4_look_at(eye, Vec3{c[0], c[1], c[2]}, Vec3{0, 1, 0});
  Mat4 proj = m4_persp(0.7f, (float)g_lowW / (float)g_lowH, d * 0.05f, d * 4);
  gfx_set_3d(&view, &proj);
  Mat4 id = m4_identity();
  gfx_set_world(&id);
  gfx_set_sun(Vec3{-0.5f, -0.8f, -0.4f}, 0xFFFFF4E0u, 0xFF707880u);
  gfx_set_lighting(!glow);
  gfx_set_fog(0);
  gfx_blend_mode(glow ? 2 : 0);
  gfx_ztest(1);
  gfx_zwrite(1);
  gfx_cull(1);
  gfx_bind(m->tex);
  gpu_draw(&m->gpu);
  gfx_blend_mode(0);

  std::vector<uint32_t> px((size_t)g_lowW * g_lowH);
  gfx_read_low(px.data());
  for (uint32_t& p : px) p |= 0xFF000000u;
  gfx_end_low_and_present();
  return px;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: modelsheet sheet.bmp [FOLDER]\n");
    return 2;
  }
  std::string out = argv[1];
  if (out[0] != '/') {
    char* here = getcwd(nullptr, 0);
    out = std::string(here) + "/" + out;
    free(here);
  }
  if (argc == 3 && chdir(argv[2]) != 0) {
    fprintf(stderr, "modelsheet: no folder %s\n", argv[2]);
    return 1;
  }
  std::vector<std::string> names;
  if (DIR* d = opendir("data/models")) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.size() > 4 && n.compare(n.size() - 4, 4, ".skm") == 0) names.push_back(n.substr(0, n.size() - 4));
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  size_t files = names.size();
  for (const char* g : kGenerated) names.push_back(g);

  log_open("/dev/null");
  if (!pack_device_open()) {
    fprintf(stderr, "modelsheet: no device\n");
    return 1;
  }
  int rows = (int)(names.size() + kCols - 1) / kCols;
  PackImage sheet(kPad + kCols * (kCell + kPad), 30 + rows * (kCell + kLabel + kPad), 0xFF202228u);
  text(&sheet, kPad, 10, 0xFFFFD040u, "SKIDLINE MODELS: " + std::to_string(files) + " FROM DATA/MODELS, " +
                                          std::to_string(names.size() - files) + " GENERATED");
  for (size_t i = 0; i < names.size(); i++) {
    Model* m = model_get(names[i].c_str());
    bool glow = names[i].size() > 5 && names[i].compare(names[i].size() - 5, 5, "_glow") == 0;
    std::vector<uint32_t> px = draw(m, glow);
    int cx = kPad + (int)(i % kCols) * (kCell + kPad), cy = 30 + (int)(i / kCols) * (kCell + kLabel + kPad);
    int sx = (g_lowW - kCell) / 2, sy = (g_lowH - kCell) / 2;
    for (int y = 0; y < kCell; y++)
      for (int x = 0; x < kCell; x++) sheet.set(cx + x, cy + y, px[(size_t)(sy + y) * g_lowW + sx + x]);
    char label[80];
    snprintf(label, sizeof label, "%s%s", m->generated ? "* " : "", m->name);
    text(&sheet, cx, cy + kCell + 4, m->generated ? 0xFFA0A8B0u : 0xFFE8E8E0u, label);
  }
  pack_device_close();
  std::vector<uint8_t> bytes = pack_bmp(sheet);
  FILE* f = fopen(out.c_str(), "wb");
  bool ok = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f && fclose(f) != 0) ok = false;
  if (!ok) {
    fprintf(stderr, "modelsheet: cannot write %s\n", out.c_str());
    return 1;
  }
  printf("%s: %dx%d, %zu models\n", out.c_str(), sheet.w, sheet.h, names.size());
  return 0;
}
