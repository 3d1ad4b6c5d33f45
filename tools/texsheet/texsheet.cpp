// texsheet: draws every texture the game can generate, and the font, onto one
// BMP contact sheet, each enlarged with hard pixels, labelled in the game's
// own font, over a grey checkerboard where it is see-through. With -d it also
// writes each texture as a 32-bit BMP the game reads back, a starting point
// for replacements.
//
//   texsheet sheet.bmp [-d folder]
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "assets/assets_internal.h"
#include "rt/bmp.h"
#include "rt/rt.h"

namespace {

// Every generated kind; the last stands for any other name.
const char* const kNames[] = {"white", "font",     "checker",     "kerb",    "blob",          "shadow",
                              "glow",  "smoke",    "windows",     "bg_day",  "bg_desert",     "bg_night",
                              "noise", "grass",    "sand",        "city_ground", "asphalt", "asphalt_night",
                              "dirt",  "barrier",  "concrete",    "rockwall", "any_other_name"};

struct Image {
  int w = 0, h = 0;
  std::vector<uint32_t> px;  // A8R8G8B8, top row first
  void resize(int nw, int nh, uint32_t fill) {
    w = nw;
    h = nh;
    px.assign((size_t)w * h, fill);
  }
  void set(int x, int y, uint32_t c) {
    if (x >= 0 && y >= 0 && x < w && y < h) px[(size_t)y * w + x] = c;
  }
};

uint32_t over_checker(uint32_t c, int x, int y) {
  uint32_t bg = ((x / 8 + y / 8) & 1) ? 0x9A9A9A : 0x6E6E6E;
  uint32_t a = c >> 24, out = 0;
  for (int s = 0; s < 24; s += 8) {
    uint32_t f = c >> s & 255, b = bg >> s & 255;
    out |= ((f * a + b * (255 - a) + 127) / 255) << s;
  }
  return out;
}

void text(Image& img, int x, int y, int scale, uint32_t colour, const std::string& s) {
  for (char ch : s) {
    char up = ch >= 'a' && ch <= 'z' ? (char)(ch - 32) : ch;
    if (const uint8_t* g = font_glyph(up))
      for (int r = 0; r < 7; r++)
        for (int c = 0; c < 5; c++)
          if (g[r] & (0x10 >> c))
            for (int dy = 0; dy < scale; dy++)
              for (int dx = 0; dx < scale; dx++) img.set(x + c * scale + dx, y + r * scale + dy, colour);
    x += 6 * scale;
  }
}

bool write_bmp(const std::string& path, const Image& img, bool alpha) {
  size_t size = 0;
  uint8_t* f = bmp_encode(img.px.data(), img.w, img.h, alpha ? 4 : 3, 0, &size);
  bool ok = f && file_write(path.c_str(), f, (int)size);
  mem_free(f);
  return ok;
}

struct Placed {
  const char* name;
  Image tex;
  int scale, x, y;
};

std::string label(const Placed& p) {
  char size[32];
  snprintf(size, sizeof size, " %dX%d", p.tex.w, p.tex.h);
  return std::string(p.name) + size;
}

}  // namespace

int main(int argc, char** argv) {
  std::string sheetPath, dir;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "-d") && i + 1 < argc)
      dir = argv[++i];
    else if (sheetPath.empty() && argv[i][0] != '-')
      sheetPath = argv[i];
    else {
      sheetPath.clear();
      break;
    }
  }
  if (sheetPath.empty()) {
    fprintf(stderr, "usage: texsheet sheet.bmp [-d folder]\n");
    return 2;
  }
  if (!dir.empty() && mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    fprintf(stderr, "texsheet: cannot make the folder %s: %s\n", dir.c_str(), strerror(errno));
    return 1;
  }

  const int kPad = 12, kLabel = 26, kWidth = 1180, kTile = 128;
  std::vector<Placed> tiles;
  int x = kPad, y = kPad + 40, rowH = 0;
  for (const char* name : kNames) {
    Placed p{name, {}, 0, 0, 0};
    tex_gen_size(name, &p.tex.w, &p.tex.h);
    p.tex.resize(p.tex.w, p.tex.h, 0);
    tex_gen_fill(name, p.tex.px.data(), p.tex.w, p.tex.h);
    int big = p.tex.w > p.tex.h ? p.tex.w : p.tex.h;
    p.scale = big >= kTile ? 2 : kTile / big;  // small ones fill a 128-pixel tile
    int w = p.tex.w * p.scale, h = p.tex.h * p.scale + kLabel;
    int labelW = (int)label(p).size() * 12;
    if (labelW > w) w = labelW;
    if (x + w > kWidth - kPad) {
      x = kPad;
      y += rowH + kPad;
      rowH = 0;
    }
    p.x = x;
    p.y = y;
    x += w + kPad * 2;
    if (h > rowH) rowH = h;
    tiles.push_back(std::move(p));
  }

  Image sheet;
  sheet.resize(kWidth, y + rowH + kPad, 0xFF202228);
  text(sheet, kPad, kPad, 3, 0xFFFFFFFF, "SKIDLINE GENERATED TEXTURES");
  for (const Placed& p : tiles) {
    for (int ty = 0; ty < p.tex.h * p.scale; ty++)
      for (int tx = 0; tx < p.tex.w * p.scale; tx++)
        sheet.set(p.x + tx, p.y + ty, over_checker(p.tex.px[(size_t)(ty / p.scale) * p.tex.w + tx / p.scale], tx, ty));
    text(sheet, p.x, p.y + p.tex.h * p.scale + 8, 2, 0xFFE8E8E0, label(p));
    if (!dir.empty() && !write_bmp(dir + "/" + p.name + ".bmp", p.tex, true)) {
      fprintf(stderr, "texsheet: cannot write %s/%s.bmp\n", dir.c_str(), p.name);
      return 1;
    }
  }
  if (!write_bmp(sheetPath, sheet, false)) {
    fprintf(stderr, "texsheet: cannot write %s\n", sheetPath.c_str());
    return 1;
  }
  printf("%s: %dx%d, %zu textures\n", sheetPath.c_str(), sheet.w, sheet.h, tiles.size());
  return 0;
}
