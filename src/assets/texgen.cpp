// Generated textures: every picture the game can make from a name, drawn
// from integer hashes and a few sine curves so it is the same on every run,
// and the 5 x 7 pixel font.
#include "assets/assets_internal.h"
#include "rt/rt.h"

static const uint32_t kHashMulA = 374761393u;  // odd multipliers that spread x and y
static const uint32_t kHashMulB = 668265263u;
static const float TWO_PI = 6.2831853f;

uint32_t tex_hash(uint32_t s) {
  s ^= s >> 13;
  s *= 1274126177u;
  s ^= s >> 16;
  return s;
}

static uint32_t rgb(int r, int g, int b) {
  return 0xFF000000u | (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
}

static int clamp255(int v) {
  return v < 0 ? 0 : v > 255 ? 255 : v;
}

uint32_t shade(uint32_t colour, int delta) {
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    int v = (int)((colour >> shift) & 255) + delta;
    v = v < 0 ? 0 : v > 255 ? 255 : v;
    out |= (uint32_t)v << shift;
  }
  return out;
}

static int starts_with(const char* s, const char* prefix) {
  while (*prefix)
    if (*s++ != *prefix++) return 0;
  return 1;
}

// ---- the font ----------------------------------------------------------------------------------

static const uint8_t g_glyphs[FONT_GLYPH_COUNT][8] = {
    {'0', 0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {'1', 0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {'2', 0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {'3', 0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {'4', 0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {'5', 0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {'6', 0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {'7', 0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {'8', 0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {'9', 0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
    {'A', 0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, {'B', 0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},
    {'C', 0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, {'D', 0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},
    {'E', 0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, {'F', 0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},
    {'G', 0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}, {'H', 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},
    {'I', 0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, {'J', 0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},
    {'K', 0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}, {'L', 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},
    {'M', 0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}, {'N', 0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},
    {'O', 0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {'P', 0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},
    {'Q', 0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}, {'R', 0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},
    {'S', 0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, {'T', 0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},
    {'U', 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {'V', 0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},
    {'W', 0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}, {'X', 0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},
    {'Y', 0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}, {'Z', 0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},
    {'!', 0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04}, {'.', 0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C},
    {',', 0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}, {':', 0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00},
    {'-', 0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}, {'+', 0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00},
    {'/', 0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}, {'?', 0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04},
    {'\'', 0x04, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00}, {'"', 0x0A, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00},
    {'(', 0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}, {')', 0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08},
    {'<', 0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02}, {'>', 0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08},
    {'=', 0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00}, {'%', 0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03},
    {'_', 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}, {'#', 0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A},
    {'*', 0x00, 0x04, 0x15, 0x0E, 0x15, 0x04, 0x00}, {'[', 0x0E, 0x08, 0x08, 0x08, 0x08, 0x08, 0x0E},
    {']', 0x0E, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0E}, {'^', 0x04, 0x0E, 0x1F, 0x04, 0x04, 0x04, 0x04},
};

const uint8_t* font_glyph(int ch) {
  for (int i = 0; i < FONT_GLYPH_COUNT; i++)
    if (g_glyphs[i][0] == ch) return g_glyphs[i] + 1;
  return nullptr;
}

// 8 x 8 cells, 16 to a row, for the codes 32 to 159; glyphs at each cell's top left.
static void fill_font(uint32_t* px, int w) {
  for (int i = 0; i < FONT_GLYPH_COUNT; i++) {
    int c = g_glyphs[i][0] - 32;
    int cx = c % 16 * 8, cy = c / 16 * 8;
    for (int row = 0; row < 7; row++)
      for (int col = 0; col < 5; col++)
        if (g_glyphs[i][1 + row] & (0x10 >> col)) px[(cy + row) * w + cx + col] = 0xFFFFFFFFu;
  }
}

// ---- radial falloffs ---------------------------------------------------------------------------

static float falloff(int x, int y, int w, int h) {
  float dx = ((float)(x - w / 2) + 0.5f) / (float)(w / 2);
  float dy = ((float)(y - h / 2) + 0.5f) / (float)(h / 2);
  float f = 1.0f - (dx * dx + dy * dy);
  return f > 0.0f ? f : 0.0f;
}

static void fill_radial(const char* b, uint32_t* px, int w, int h) {
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float f = falloff(x, y, w, h);
      uint32_t c;
      if (str_eq(b, "glow")) {
        c = (uint32_t)f_to_int(f * f * 255.0f) << 24 | 0xFFFFFF;
      } else if (str_eq(b, "smoke")) {
        c = (uint32_t)(32 * (f_to_int(170.0f * f) / 32)) << 24 | 0xDDDDDD;
      } else {  // blob, shadow
        float k = 2.2f * f;
        if (k > 1.0f) k = 1.0f;
        c = (uint32_t)f_to_int(k * 190.0f) << 24;
      }
      px[y * w + x] = c;
    }
}

// ---- background strips ---------------------------------------------------------------------------

static void fill_hills(uint32_t* px, int w, int h) {
  const uint32_t k = (uint32_t)-397355484;
  for (int x = 0; x < w; x++) {
    float t = TWO_PI * (float)x / 256.0f;
    uint32_t s = 0xC121B31Du + (uint32_t)x * kHashMulA;
    float ridge = f_sin(3.0f * t) * 10.0f + 22.0f + f_sin(7.0f * t + 1.0f) * 6.0f + f_sin(17.0f * t) * 3.0f;
    float hills = f_sin(5.0f * t + 2.0f) * 5.0f + 40.0f + f_sin(11.0f * t) * 3.0f;
    int ridgeI = f_to_int(ridge), hillsI = f_to_int(hills);
    for (int y = 0; y < h; y++) {
      float fy = (float)y;
      uint32_t c = 0;
      if (fy > hills) {
        int n = (int)(tex_hash(s + (uint32_t)y * kHashMulB + k) & 15);
        int e = n - (y - hillsI) / 2 - 8;
        c = rgb(clamp255(e + 58), clamp255(e + 112), clamp255(e + 52));
      } else if (fy > ridge) {
        int d = (y - ridgeI) / 2;
        c = rgb(clamp255(d + 110), clamp255(d + 132), clamp255(d + 160));
      }
      if (ridge < 20.0f && fy > ridge && fy < ridge + 3.0f) c = 0xFFEBF0F5u;  // snow on the high peaks
      px[y * w + x] = c;
    }
  }
}

static void fill_desert(uint32_t* px, int w, int h) {
  const uint32_t k = (uint32_t)-198677742;
  for (int x = 0; x < w; x++) {
    float t = TWO_PI * (float)x / 256.0f;
    uint32_t s = 0xC121B31Du + (uint32_t)x * kHashMulA;
    int j = 24 * x / 256;
    float p = (float)(24 * x) / 256.0f - (float)j;
    float ground = f_sin(9.0f * t) * 4.0f + 46.0f;
    float mesa;
    if (tex_hash((uint32_t)j * kHashMulA - 0x1E92CA3Du) % 3 == 0)
      mesa = f_sin(13.0f * t) * 4.0f + 50.0f;  // a group without a mesa
    else if (p < 0.12f || p > 0.88f)
      mesa = 54.0f;  // gap between mesas
    else
      mesa = (float)(18 + tex_hash((uint32_t)j * kHashMulA - 0x4667B56Cu) % 22);
    for (int y = 0; y < h; y++) {
      float fy = (float)y;
      uint32_t c = 0;
      if (fy > ground) {
        int n = (int)(tex_hash(s + (uint32_t)y * kHashMulB + k) & 15);
        c = rgb(186 + n, 110 + n, 60 + n);
      } else if (fy > mesa) {
        if (fy < mesa + 2.0f)
          c = 0xFFD6784Eu;  // lit rim
        else
          c = ((x / 16 + y) / 5) & 1 ? 0xFF8A3A28u : 0xFF964634u;
      }
      px[y * w + x] = c;
    }
  }
}

static void fill_night(uint32_t* px, int w, int h) {
  for (int x = 0; x < w; x++) {
    uint32_t s = 0xC121B31Du + (uint32_t)x * kHashMulA;
    int bw = 6 + (int)(tex_hash((uint32_t)(x / 10) * kHashMulA - 0x62650BADu) & 7);
    int roof = 64 - 14 - (int)(tex_hash((uint32_t)(x / bw) * kHashMulA + 0x3CEEA10Fu) % 34);
    int back = roof - 6 - (int)(tex_hash((uint32_t)(x / 23) * kHashMulA - 0x73678893u) % 14);
    for (int y = 0; y < h; y++) {
      uint32_t c = 0;
      if (y > roof) {
        c = 0xFF16182Cu;
        if (x % 3 == 1 && y % 4 == 1 && tex_hash(s + (uint32_t)y * kHashMulB) % 5 == 0) c = 0xFFFAD66Eu;
      } else if (y > back) {
        c = 0xFF222442u;  // distant buildings
      }
      px[y * w + x] = c;
    }
  }
}

// ---- the square noise textures -------------------------------------------------------------------------

enum Kind {
  K_OTHER,
  K_NOISE,
  K_GRASS,
  K_SAND,
  K_CITY_GROUND,
  K_ASPHALT,
  K_ASPHALT_NIGHT,
  K_DIRT,
  K_BARRIER,
  K_CONCRETE,
  K_ROCKWALL,
  K_WINDOWS,
  K_CHECKER,
  K_KERB,
  K_WHITE
};

static Kind kind_of(const char* b) {
  static const struct {
    const char* name;
    Kind kind;
  } names[] = {
      {"noise", K_NOISE},     {"grass", K_GRASS},       {"sand", K_SAND},
      {"city_ground", K_CITY_GROUND}, {"asphalt", K_ASPHALT}, {"asphalt_night", K_ASPHALT_NIGHT},
      {"dirt", K_DIRT},       {"barrier", K_BARRIER},   {"concrete", K_CONCRETE},
      {"rockwall", K_ROCKWALL}, {"windows", K_WINDOWS}, {"checker", K_CHECKER},
      {"kerb", K_KERB},       {"white", K_WHITE},
  };
  for (const auto& n : names)
    if (str_eq(b, n.name)) return n.kind;
  return K_OTHER;
}

static uint32_t square_pixel(Kind kind, int x, int y) {
  uint32_t a = tex_hash((uint32_t)x * kHashMulA + (uint32_t)y * kHashMulB + 0x85EBCA77u) & 255;
  uint32_t b = tex_hash((uint32_t)(x / 4) * kHashMulA + (uint32_t)(y / 4) * kHashMulB + 0x0BD794EEu) & 255;
  int ia = (int)a, ib = (int)b;
  switch (kind) {
    case K_WHITE:
      return 0xFFFFFFFFu;
    case K_CHECKER:
      return (x / 4 + y / 4) % 2 == 0 ? 0xFFF5F5F5u : 0xFF141414u;
    case K_KERB:
      return y < 8 ? 0xFFF0F0F0u : 0xFFDC2424u;
    case K_NOISE: {
      int g = ia / 8 + ib / 10 + 200;
      if (g > 255) g = 255;
      return rgb(g, g, g);
    }
    case K_GRASS:
      if (a > 225) return 0xFF609E42u;
      if (a <= 24) return 0xFF36642Cu;
      return rgb(ib / 12 + 70, ib / 10 + 128, 54);
    case K_SAND:
      if (a > 230) return 0xFFBA8452u;
      if (a <= 17) return 0xFFE8BE7Eu;
      return rgb(ib / 16 + 214, ib / 16 + 166, 104);
    case K_CITY_GROUND: {
      if (x % 32 == 0 || y % 32 == 0) return 0xFF2C2C32u;  // joints
      int c = ia / 24;
      return rgb(c + 58, c + 60, c + 66);
    }
    case K_ASPHALT:
    case K_ASPHALT_NIGHT: {
      int g = ia / 12 + ib / 20 + 92 - (kind == K_ASPHALT_NIGHT ? 22 : 0);
      if (x <= 1 || x >= 62) return 0xFFE8E8E0u;                    // edge lines
      if ((x == 31 || x == 32) && (y & 16) == 0) return 0xFFECC83Cu;  // centre dashes
      return rgb(g, g, g + 4);
    }
    case K_DIRT: {
      uint32_t c = rgb(ib / 12 + 168, ib / 14 + 112, ia / 32 + 70);
      if (x % 32 >= 9 && x % 32 <= 12) c = shade(c, -22);  // wheel ruts
      if (a >= 237) c = 0xFFC49664u;                         // pebbles
      return c;
    }
    case K_BARRIER:
      if (y >= 53) return 0xFF3C3C3Cu;
      return ((y / 2 + x) & 8) == 0 ? 0xFFF0F0F0u : 0xFFD22828u;
    case K_CONCRETE: {
      int c = ia / 16;
      uint32_t col = rgb(c + 150, c + 150, c + 154);
      if (x % 32 == 0) col = 0xFF6E6E74u;  // joint
      if (y <= 3) col = 0xFFECD23Cu;       // yellow top edge
      return col;
    }
    case K_ROCKWALL: {
      int s = ((ib / 40 + y) / 9) & 1;
      uint32_t base = shade(0xFFA05238u, s ? -16 : 0);
      return shade(base, ia / 20 - 6);
    }
    case K_WINDOWS: {
      if (x % 8 >= 2 && x % 8 <= 5 && y % 8 >= 2 && y % 8 <= 5) {
        uint32_t hw = tex_hash((uint32_t)(x / 8) * kHashMulA + (uint32_t)(y / 8) * kHashMulB - 61367357u);
        return hw % 3 != 0 ? 0xFFFCDC78u : 0xFF283246u;
      }
      int c = ia / 20;
      return rgb(c + 70, c + 72, c + 84);
    }
    case K_OTHER:
      break;
  }
  int g = ia / 6 + 180;
  return rgb(g, g, g);
}

// ---- by name ----------------------------------------------------------------------------------------

static int is_radial(const char* b) {
  return str_eq(b, "blob") || str_eq(b, "shadow") || str_eq(b, "glow") || str_eq(b, "smoke");
}

void tex_gen_size(const char* b, int* w, int* h) {
  int sw = 64, sh = 64;
  if (str_eq(b, "white")) {
    sw = sh = 8;
  } else if (str_eq(b, "font")) {
    sw = 128;
  } else if (str_eq(b, "checker") || str_eq(b, "kerb")) {
    sw = sh = 16;
  } else if (is_radial(b)) {
    sw = sh = 32;
  } else if (str_eq(b, "windows")) {
    sw = 32;
  } else if (starts_with(b, "bg_")) {
    sw = 256;
  }
  *w = sw;
  *h = sh;
}

void tex_gen_fill(const char* b, uint32_t* px, int w, int h) {
  memset(px, 0, (size_t)w * (size_t)h * 4);
  if (str_eq(b, "font")) {
    fill_font(px, w);
  } else if (is_radial(b)) {
    fill_radial(b, px, w, h);
  } else if (str_eq(b, "bg_desert")) {
    fill_desert(px, w, h);
  } else if (str_eq(b, "bg_night")) {
    fill_night(px, w, h);
  } else if (starts_with(b, "bg_")) {
    fill_hills(px, w, h);
  } else {
    Kind kind = kind_of(b);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) px[y * w + x] = square_pixel(kind, x, y);
  }
}
