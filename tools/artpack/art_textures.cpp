// The pack's pictures: roads, the start line, sky strips, circuit thumbnails,
// the logo, billboard faces, chevrons and city facades. Small, hard-pixel,
// all noise from the game's own integer hash.
#include <math.h>

#include "assets/assets_internal.h"
#include "pack.h"
#include "track/track.h"

namespace {

const uint32_t P = 374761393u, Q = 668265263u;

uint32_t rgb(int r, int g, int b) {
  auto c = [](int v) { return (uint32_t)(v < 0 ? 0 : v > 255 ? 255 : v); };
  return 0xFF000000u | c(r) << 16 | c(g) << 8 | c(b);
}
int noise(int x, int y, uint32_t seed) { return (int)(tex_hash((uint32_t)x * P + (uint32_t)y * Q + seed) & 255); }
uint32_t mixc(uint32_t a, uint32_t b, float t) {
  int r = (int)((float)(a >> 16 & 255) * (1 - t) + (float)(b >> 16 & 255) * t + 0.5f);
  int g = (int)((float)(a >> 8 & 255) * (1 - t) + (float)(b >> 8 & 255) * t + 0.5f);
  int bl = (int)((float)(a & 255) * (1 - t) + (float)(b & 255) * t + 0.5f);
  return rgb(r, g, bl);
}

// Text in the game's font at a whole-pixel scale.
void text(PackImage* img, int x, int y, int scale, uint32_t c, const char* s) {
  for (; *s; s++, x += 6 * scale)
    if (const uint8_t* g = font_glyph(*s))
      for (int r = 0; r < 7; r++)
        for (int k = 0; k < 5; k++)
          if (g[r] & (0x10 >> k)) img->rect(x + k * scale, y + r * scale, scale, scale, c);
}
int text_w(const char* s, int scale) { return ((int)strlen(s) * 6 - 1) * scale; }

// Asphalt: fine grain over 4 x 4 blotches, with a tint per surface.
uint32_t asphalt(int x, int y, int base, int warm, uint32_t seed) {
  int a = noise(x, y, seed), b = noise(x / 4, y / 4, seed ^ 0x5bd1e995u);
  int g = base + a / 14 + b / 24;
  if (a > 246) g += 22;  // pale stones
  if (a < 6) g -= 14;
  return rgb(g + warm, g + warm / 2, g + 3);
}

void road_country(PackImage* img) {
  *img = PackImage(64, 64);
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 64; x++) {
      uint32_t c = asphalt(x, y, 84, 2, 0x1234567u);
      if (x <= 1 || x >= 62) c = rgb(96 + noise(x, y, 9) / 16, 90, 70);             // gravel shoulder
      if (x == 3 || x == 4 || x == 59 || x == 60) c = rgb(226, 226, 214);            // edge lines
      if ((x == 31 || x == 32) && (y & 31) < 18) c = rgb(232, 232, 222);           // dashed centre
      img->at(x, y) = c;
    }
}

void road_desert(PackImage* img) {
  *img = PackImage(64, 64);
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 64; x++) {
      int a = noise(x, y, 0xD1u), b = noise(x / 4, y / 4, 0xD2u);
      uint32_t c = rgb(176 + b / 14 + a / 40, 118 + b / 16, 72 + a / 32);
      int rut = (x >= 14 && x <= 19) || (x >= 44 && x <= 49);
      if (rut) c = shade(c, -26 + ((y / 2 + x) & 3) * 3);  // tyre ruts, packed ridges
      if (x <= 2 || x >= 61) c = shade(c, 14);             // loose edge
      if (a >= 240) c = rgb(200, 156, 108);                // pebbles
      if (a <= 5) c = rgb(120, 76, 46);
      img->at(x, y) = c;
    }
}

void road_city(PackImage* img) {
  *img = PackImage(64, 64);
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 64; x++) {
      uint32_t c = asphalt(x, y, 58, 0, 0xC17u);
      if ((noise(x / 8, y / 16, 0xC18u) & 7) == 0) c = shade(c, -8);  // patched stretches
      if (x <= 1 || x >= 62) c = rgb(70, 70, 76);                     // gutter
      if (x == 3 || x == 60) c = rgb(214, 214, 206);                  // solid edge lines
      if ((x == 21 || x == 42) && (y & 15) < 8) c = rgb(210, 210, 200);  // lane dashes
      img->at(x, y) = c;
    }
}

// The start strip: road surface with a checkered band across the middle.
void startline(PackImage* img) {
  road_country(img);
  for (int y = 24; y < 40; y++)
    for (int x = 3; x < 61; x++) img->at(x, y) = ((x - 3) / 4 + (y - 24) / 4) & 1 ? rgb(20, 20, 24) : rgb(240, 240, 236);
  for (int x = 3; x < 61; x++) img->at(x, 22) = img->at(x, 41) = rgb(236, 236, 228);
}

// Sky strips, 192 x 64, tiling horizontally: every curve is periodic in x.
float wave(int x, float k, float phase) { return sinf(6.2831853f * k * (float)x / 192.0f + phase); }

void sky_country(PackImage* img) {
  *img = PackImage(192, 64);
  for (int x = 0; x < 192; x++) {
    float far = 26 + 8 * wave(x, 3, 0.4f) + 4 * wave(x, 7, 1.3f) + 2 * wave(x, 17, 0.2f);
    float near = 44 + 4 * wave(x, 5, 2.0f) + 2 * wave(x, 11, 0.7f);
    bool tree = (tex_hash((uint32_t)(x / 3) * P + 77u) & 3) == 0;
    for (int y = 0; y < 64; y++) {
      uint32_t c = mixc(0xFF5C88D8u, 0xFF9CC4F4u, (float)y / 40.0f > 1 ? 1 : (float)y / 40.0f);
      if ((float)y > far) {
        c = rgb(104 + (y - (int)far), 124 + (y - (int)far), 156);  // blue distant ridges
        if ((float)y < far + 2 && far < 24) c = rgb(236, 240, 246);  // snow caps
      }
      if ((float)y > near - (tree ? 3 : 0)) {
        int n = noise(x, y, 0xA1u) & 15;
        c = rgb(52 + n, 108 + n, 50);
        if ((float)y < near) c = rgb(36, 78, 40);  // tree line
      }
      img->at(x, y) = c;
    }
  }
}

void sky_desert(PackImage* img) {
  *img = PackImage(192, 64);
  for (int x = 0; x < 192; x++) {
    int group = x / 16;
    bool mesa = (tex_hash((uint32_t)group * P + 5u) % 3) != 0;
    int p = x & 15, edge = p < 8 ? 13 - p : p - 2;  // talus slopes at both ends of a mesa
    float top = mesa ? 32.0f + (float)(tex_hash((uint32_t)group * Q + 9u) % 9) + (float)(edge > 9 ? (edge - 9) * 2 : 0)
                     : 46 + 3 * wave(x, 9, 0.0f);
    float ground = 50 + 2 * wave(x, 4, 1.0f);
    for (int y = 0; y < 64; y++) {
      float t = (float)y / 48.0f;
      uint32_t c = t < 0.5f ? mixc(0xFF3A2458u, 0xFFB0586Cu, t * 2) : mixc(0xFFB0586Cu, 0xFFE8A060u, t > 1 ? 1 : t * 2 - 1);
      if ((float)y > top) c = ((x / 8 + y) / 4) & 1 ? rgb(122, 52, 40) : rgb(140, 64, 46);  // banded rock
      if ((float)y > top && (float)y < top + 2) c = rgb(220, 124, 80);                     // lit rim
      if ((float)y > ground) c = rgb(190 + (noise(x, y, 0xB3u) & 15), 120, 70);
      img->at(x, y) = c;
    }
  }
  // the low sun, a hard-edged disc
  for (int y = 30; y < 46; y++)
    for (int x = 88; x < 104; x++)
      if ((x - 95.5f) * (x - 95.5f) + (y - 37.5f) * (y - 37.5f) < 52 && img->at(x, y) != rgb(122, 52, 40) &&
          img->at(x, y) != rgb(140, 64, 46))
        img->at(x, y) = rgb(255, 214, 140);
}

void sky_city(PackImage* img) {
  *img = PackImage(192, 64);
  for (int x = 0; x < 192; x++) {
    int bw = 5 + (int)(tex_hash((uint32_t)(x / 12) * P + 3u) & 7);
    int roof = 20 + (int)(tex_hash((uint32_t)(x / bw) * Q + 11u) % 28);
    int back = roof - 6 - (int)(tex_hash((uint32_t)(x / 19) * P + 17u) % 12);
    for (int y = 0; y < 64; y++) {
      uint32_t c = mixc(0xFF101428u, 0xFF262C50u, (float)y / 63.0f);
      if (noise(x, y, 0x57u) > 252 && y < 30) c = rgb(200, 200, 220);  // stars
      if (y > back) c = rgb(30, 32, 60);
      if (y > roof) {
        c = rgb(20, 22, 40);
        if (x % 3 == 1 && y % 4 == 2) {
          int h = noise(x, y, 0x99u);
          c = h < 40 ? rgb(250, 214, 110) : h < 56 ? rgb(120, 220, 255) : c;
        }
      }
      img->at(x, y) = c;
    }
  }
  for (int x = 150; x < 156; x++)  // the moon
    for (int y = 6; y < 12; y++)
      if ((x - 152.5f) * (x - 152.5f) + (y - 8.5f) * (y - 8.5f) < 9) img->at(x, y) = rgb(240, 236, 210);
}

// Circuit thumbnails, 96 x 96: the loaded circuit's outline on its ground.
void thumb(PackImage* img, uint32_t ground, uint32_t road, uint32_t edge) {
  *img = PackImage(96, 96);
  for (int y = 0; y < 96; y++)
    for (int x = 0; x < 96; x++) img->at(x, y) = shade(ground, (noise(x / 2, y / 2, 0x7Eu) & 15) - 8);
  const TrackData& t = g_track;
  if (t.sampleCount <= 0) return;
  float spanX = t.maxX - t.minX, spanZ = t.maxZ - t.minZ;
  float s = 76.0f / (spanX > spanZ ? spanX : spanZ);
  float ox = 48 - spanX * s / 2, oy = 48 - spanZ * s / 2;
  for (int pass = 0; pass < 2; pass++)
    for (int i = 0; i < t.sampleCount; i++) {
      int px = (int)floorf((t.samples[i].x - t.minX) * s + ox), py = (int)floorf((t.maxZ - t.samples[i].z) * s + oy);
      int r = pass ? 2 : 3;
      img->rect(px - r + 1, py - r + 1, 2 * r - 1, 2 * r - 1, pass ? road : edge);
    }
  const Sample& s0 = t.samples[0];
  int px = (int)floorf((s0.x - t.minX) * s + ox), py = (int)floorf((t.maxZ - s0.z) * s + oy);
  img->rect(px - 3, py - 1, 7, 3, 0xFFFFFFFFu);  // the start line
  for (int i = 0; i < 96; i++) img->at(i, 0) = img->at(i, 95) = img->at(0, i) = img->at(95, i) = edge;
}

void logo(PackImage* img) {
  *img = PackImage(204, 44, 0);
  const char* word = "SKIDLINE";
  int x0 = (204 - text_w(word, 4)) / 2, y0 = 8;
  PackImage fill(204, 44, 0);
  text(&fill, x0, y0, 4, 0xFFFFFFFFu, word);
  for (int y = 0; y < 44; y++)
    for (int x = 0; x < 204; x++) {
      bool near = false;
      for (int dy = -2; dy <= 2 && !near; dy++)
        for (int dx = -2; dx <= 2 && !near; dx++) {
          int sx = x + dx, sy = y + dy;
          near = sx >= 0 && sy >= 0 && sx < 204 && sy < 44 && fill.at(sx, sy);
        }
      if (fill.at(x, y))
        img->at(x, y) = mixc(0xFFFFE060u, 0xFFF07818u, (float)(y - y0) / 28.0f);
      else if (near)
        img->at(x, y) = rgb(24, 20, 40);
    }
  for (int i = 0; i < 3; i++) img->rect(4 + i * 6, 18 + i * 6, 40 - i * 12, 2, rgb(240, 120, 24));  // speed streaks
  img->rect(x0, 40, text_w(word, 4), 2, rgb(240, 120, 24));
}

// Billboard faces, 64 x 32.
void ad(PackImage* img, uint32_t bg, uint32_t ink, const char* line1, const char* line2, int stripe) {
  *img = PackImage(64, 32, bg);
  for (int x = 0; x < 64; x++)
    for (int y = 0; y < 32; y++) {
      if (stripe && ((x + y) & 7) < 2 && y > 24) img->at(x, y) = shade(bg, -30);
      if (x == 0 || y == 0 || x == 63 || y == 31) img->at(x, y) = rgb(30, 30, 34);
    }
  text(img, (64 - text_w(line1, 1)) / 2, 5, 1, ink, line1);
  text(img, (64 - text_w(line2, 1)) / 2, 16, 1, shade(ink, -20), line2);
}

void ad_brontil(PackImage* img, bool second) {
  *img = PackImage(64, 32, second ? rgb(24, 28, 40) : rgb(236, 236, 240));
  uint32_t red = rgb(220, 36, 40), ink = second ? rgb(240, 240, 240) : rgb(30, 30, 40);
  for (int y = 6; y < 26; y++)  // the icon: a red diamond with a white bar
    for (int x = 4; x < 24; x++)
      if (abs(x - 13) + abs(y - 15) < 10) img->at(x, y) = abs(y - 15) < 2 && abs(x - 13) < 6 ? rgb(255, 255, 255) : red;
  text(img, 26, 8, 1, ink, "BRONTIL");
  text(img, 26, 18, 1, red, second ? "RACE ON" : "FUELS");
  for (int i = 0; i < 64; i++) img->at(i, 0) = img->at(i, 31) = red;
}

void chevron(PackImage* img) {
  *img = PackImage(32, 32, rgb(250, 206, 40));
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 32; x++) {
      int d = (x - abs(y - 16)) & 15;  // "<<" for a bend to the left; the track mirrors it
      if (d < 6) img->at(x, y) = rgb(24, 24, 28);
      if (y < 2 || y > 29) img->at(x, y) = rgb(24, 24, 28);
    }
}

// City facades, 64 x 64 for a 12 m x 12 m stretch of wall: 4 x 4 window cells.
bool lit(int cx, int cy, uint32_t seed) { return tex_hash((uint32_t)cx * P + (uint32_t)cy * Q + seed) % 5 < 2; }

void facade(PackImage* img, uint32_t wall, uint32_t glass, uint32_t seed, bool glow) {
  *img = PackImage(64, 64, glow ? 0xFF000000u : wall);
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 64; x++) {
      int cx = x / 16, cy = y / 16, wx = x & 15, wy = y & 15;
      bool window = wx >= 3 && wx <= 12 && wy >= 4 && wy <= 11;
      bool on = lit(cx, cy, seed);
      uint32_t c;
      if (glow)
        c = window && on ? (tex_hash(cx * 7u + cy * 13u + seed) & 1 ? rgb(250, 210, 110) : rgb(140, 210, 250)) : 0xFF000000u;
      else if (window)
        c = on ? rgb(170, 150, 96) : shade(glass, (noise(x, y, seed) & 7) - (wy - 4) * 2);
      else
        c = shade(wall, (noise(x, y, seed + 1) & 7) - 4 - (wy == 13 ? 18 : 0));  // ledge shadow
      img->at(x, y) = c;
    }
}

void shopfront(PackImage* img, bool glow) {
  *img = PackImage(64, 64, glow ? 0xFF000000u : rgb(150, 120, 100));
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 64; x++) {
      bool sign = y >= 20 && y < 28, glassBand = y >= 30 && y < 60 && (x & 31) >= 3 && (x & 31) <= 28;
      uint32_t c = glow ? 0xFF000000u : shade(rgb(150, 120, 100), (noise(x, y, 0x5Au) & 7) - 4);
      if (sign) c = glow ? ((x / 4) & 1 ? rgb(255, 150, 40) : rgb(60, 200, 255)) : rgb(40, 36, 50);
      if (glassBand) c = glow ? rgb(120, 100, 60) : rgb(90, 110, 130);
      if (!glow && y < 18 && (x & 15) >= 4 && (x & 15) <= 11 && y >= 6) c = rgb(60, 70, 90);  // upper windows
      img->at(x, y) = c;
    }
}

}  // namespace

bool art_texture(const std::string& b, PackImage* img) {
  if (b == "road_country") road_country(img);
  else if (b == "road_desert") road_desert(img);
  else if (b == "road_city") road_city(img);
  else if (b == "startline") startline(img);
  else if (b == "sky_country") sky_country(img);
  else if (b == "sky_desert") sky_desert(img);
  else if (b == "sky_city") sky_city(img);
  else if (b == "thumb_country") thumb(img, rgb(70, 130, 56), rgb(70, 70, 76), rgb(236, 236, 228));
  else if (b == "thumb_desert") thumb(img, rgb(200, 150, 96), rgb(150, 96, 60), rgb(110, 50, 36));
  else if (b == "thumb_city") thumb(img, rgb(24, 26, 44), rgb(60, 60, 70), rgb(250, 210, 110));
  else if (b == "logo") logo(img);
  else if (b == "ad_brontil") ad_brontil(img, false);
  else if (b == "ad_brontil_b") ad_brontil(img, true);
  else if (b == "ad_a") ad(img, rgb(30, 90, 200), rgb(255, 230, 60), "DUSTY", "TYRES", 1);
  else if (b == "ad_b") ad(img, rgb(20, 24, 56), rgb(80, 230, 255), "NIGHT", "RADIO 99", 0);
  else if (b == "ad_c") ad(img, rgb(230, 60, 30), rgb(255, 255, 255), "VALLEY", "MILK", 1);
  else if (b == "chevron") chevron(img);
  else if (b == "facade_tall") facade(img, rgb(84, 96, 118), rgb(40, 56, 80), 0x7A11u, false);
  else if (b == "facade_tall_glow") facade(img, 0, 0, 0x7A11u, true);
  else if (b == "facade_block") facade(img, rgb(128, 96, 80), rgb(44, 48, 60), 0xB10Cu, false);
  else if (b == "facade_block_glow") facade(img, 0, 0, 0xB10Cu, true);
  else if (b == "facade_shop") shopfront(img, false);
  else if (b == "facade_shop_glow") shopfront(img, true);
  else return false;
  return true;
}
