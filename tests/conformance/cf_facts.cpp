#include "cf_facts.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "cf_scenes.h"

void CfFactCtx::fail(const char* format, ...) {
  violations++;
  if (errors.size() >= 12) return;
  char buf[240];
  va_list a;
  va_start(a, format);
  vsnprintf(buf, sizeof buf, format, a);
  va_end(a);
  errors.push_back(buf);
}

namespace {

int ch(uint32_t c, int i) { return (int)(c >> (16 - 8 * i)) & 255; }  // 0 red, 1 green, 2 blue
int rnd(double v) { return (int)floor(v + 0.5); }
uint32_t rgb(int r, int g, int b) { return (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b; }

// Every channel within tol of the expectation.
void expect_px(const CfPic& p, CfFactCtx& k, int x, int y, uint32_t want, int tol, const char* what) {
  uint32_t got = p.at(x, y);
  for (int i = 0; i < 3; i++)
    if (abs(ch(got, i) - ch(want, i)) > tol) {
      k.fail("%s: pixel (%d, %d) is %06X, expected %06X", what, x, y, (unsigned)got, (unsigned)want);
      return;
    }
}

void expect_picture(const CfPic& p, CfFactCtx& k, const std::vector<uint32_t>& want, const char* what) {
  for (int y = 0; y < p.h; y++)
    for (int x = 0; x < p.w; x++) expect_px(p, k, x, y, want[(size_t)y * p.w + x], 0, what);
}

void fill(std::vector<uint32_t>& img, int w, int x0, int y0, int x1, int y1, uint32_t c) {  // inclusive
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) img[(size_t)y * w + x] = c;
}

// ---- coverage ---------------------------------------------------------------------------

// Top-left rule at pixel centres, positions snapped to 1/256 pixel with ties
// going right (x) and up (y): an edge 1/512 right of a centre excludes it,
// 1/512 below a centre still includes it.
void fill_edges(const CfPic& p, CfFactCtx& k) {
  std::vector<uint32_t> want((size_t)p.w * p.h, 0);
  for (int i = 0; i < 64; i++) {
    float o = cf_fill_offset(i);
    int xin = o <= 0.0f, yin = o <= 1.0f / 512.0f;
    fill(want, p.w, xin ? 4 : 5, i, xin ? 11 : 12, i, 0xFFFFFF);
    fill(want, p.w, 32 + i, yin ? 4 : 5, 32 + i, yin ? 11 : 12, 0xFFFFFF);
  }
  expect_picture(p, k, want, "fill rule");
}

void shared_edges(const CfPic& p, CfFactCtx& k) {
  int lit = 0;
  for (int y = 0; y < p.h; y++)
    for (int x = 0; x < p.w; x++) {
      uint32_t c = p.at(x, y);
      if (c == 0x404040) lit++;
      else if (c != 0) k.fail("pixel (%d, %d) is %06X: drawn twice or wrongly", x, y, (unsigned)c);
    }
  if (lit < 1500) k.fail("only %d pixels drawn", lit);
}

void culling(const CfPic& p, CfFactCtx& k) {
  const uint32_t red = 0xFF3020, green = 0x20E040, bg = 0x101010;
  for (int y = 0; y < p.h; y++)
    for (int x = 0; x < p.w; x++) {
      uint32_t c = p.at(x, y);
      if (y < 15 && c == red) k.fail("counter-clockwise triangle drawn under D3DCULL_CCW at (%d, %d)", x, y);
      if (y >= 30 && c == red) k.fail("culled 3D triangle drawn at (%d, %d)", x, y);
      if (y < 27 && x >= 34 && c != bg) k.fail("zero-area triangle drew (%d, %d)", x, y);
    }
  expect_px(p, k, 5, 4, green, 0, "clockwise triangle under D3DCULL_CCW");
  expect_px(p, k, 20, 19, red, 0, "counter-clockwise triangle without culling");
  expect_px(p, k, 4, 32, green, 0, "3D triangle facing the camera");
  expect_px(p, k, 60, 32, green, 0, "mirrored and reversed 3D triangle");
}

void strips(const CfPic& p, CfFactCtx& k) {
  const uint32_t bg = 0x101010;
  if (p.at(5, 8) == bg) k.fail("clockwise strip not drawn");
  if (p.at(40, 24) == bg) k.fail("strip without culling not drawn");
  for (int y = 17; y < 31; y++)
    for (int x = 0; x < 34; x++)
      if (p.at(x, y) != bg) k.fail("counter-clockwise strip drew (%d, %d)", x, y);
}

void depth_order(const CfPic& p, CfFactCtx& k) {
  expect_px(p, k, 10, 10, 0x00FF00, 0, "near quad over far and middle");
  expect_px(p, k, 30, 15, 0xFF0000, 0, "middle quad beside the near one");
  expect_px(p, k, 3, 3, 0x0000FF, 0, "far quad");
  expect_px(p, k, 12, 27, 0x00FFFF, 0, "equal depth passes LESSEQUAL");
  expect_px(p, k, 38, 4, 0xFF00FF, 0, "drawn without depth writes");
  expect_px(p, k, 45, 10, 0xFFFFFF, 0, "covers what wrote no depth");
  expect_px(p, k, 30, 26, 0x808080, 0, "no depth test");
  int orange = 0, blue = 0;
  for (int y = 0; y < p.h; y++)
    for (int x = 64; x < p.w; x++) orange += p.at(x, y) == 0xFF8000, blue += p.at(x, y) == 0x0080FF;
  if (orange < 20 || blue < 20) k.fail("interpenetrating planes: %d orange, %d blue pixels", orange, blue);
}

// Depth quantised to the nearest step; D16 halves go to even. The test quad
// (yellow) shows where it quantises no deeper than the reference (blue).
void depth_quant(const CfPic& p, CfFactCtx& k, double kStep, int halvesToEven) {
  for (int row = 0; row < 8; row++)
    for (int t = 0; t < 32; t++) {
      double ref = kStep + row / 8.0, test = ref + t / 8.0;
      bool tie = fmod(ref, 1.0) == 0.5 || fmod(test, 1.0) == 0.5;
      if (tie && !halvesToEven) continue;
      bool pass = nearbyint(test) <= nearbyint(ref);
      uint32_t want = pass ? 0xFFFF00 : 0x0000FF;
      if (p.at(t * 2, row * 4 + 1) != want)
        k.fail("reference at +%d/8 step, test %d/8 step deeper: %s expected", row, t,
               pass ? "test quad" : "reference quad");
    }
}
void depth_d24(const CfPic& p, CfFactCtx& k) { depth_quant(p, k, 1677721.0, 0); }
void depth_d16(const CfPic& p, CfFactCtx& k) { depth_quant(p, k, 29127.0, 1); }

// Clear fills the viewport only; screen-space quads are clipped to the viewport.
void clear_viewport(const CfPic& p, CfFactCtx& k) {
  std::vector<uint32_t> want((size_t)p.w * p.h, 0x101010);
  fill(want, p.w, 0, 0, 63, 21, 0x3060FF);
  fill(want, p.w, 6, 4, 25, 17, 0xC04000);
  fill(want, p.w, 36, 4, 57, 17, 0x101010);
  fill(want, p.w, 5, 26, 28, 37, 0x40FF40);
  fill(want, p.w, 36, 26, 57, 37, 0x202020);
  fill(want, p.w, 36, 30, 57, 34, 0xFFFF00);
  expect_picture(p, k, want, "viewport");
}

// ---- colour ----------------------------------------------------------------------------

// Colours interpolated in float and rounded to nearest: the 2D triangle
// red (0.5, 0.5), green (40.5, 0.5), blue (0.5, 30.5); values within float
// noise of a half are not judged.
void gouraud(const CfPic& p, CfFactCtx& k) {
  for (int y = 1; y < 30; y++)
    for (int x = 1; x < 40; x++) {
      double b1 = (x - 0.5) / 40.0, b2 = (y - 0.5) / 30.0, b0 = 1.0 - b1 - b2;
      if (b0 < 0.01) continue;
      double v[3] = {255 * b0, 255 * b1, 255 * b2};
      bool tie = false;
      for (double c : v) tie |= fabs(c - floor(c) - 0.5) < 0.01;
      if (tie) continue;
      expect_px(p, k, x, y, rgb(rnd(v[0]), rnd(v[1]), rnd(v[2])), 0, "interpolated colour rounded to nearest");
    }
}

// Fog by view depth, clamped per pixel; mixed in float and rounded once.
void fog_ortho(const CfPic& p, CfFactCtx& k) {
  const int c[3] = {200, 100, 50}, fog[3] = {0, 255, 128};
  for (int kk = 0; kk < 32; kk++) {
    double f = 1.0 - kk / 31.0;
    uint32_t w = rgb(rnd(f * c[0] + (1 - f) * fog[0]), rnd(f * c[1] + (1 - f) * fog[1]), rnd(f * c[2] + (1 - f) * fog[2]));
    expect_px(p, k, kk * 2, 4, w, 1, "fog factor between start and end");
    int g = rnd(255 * f);
    expect_px(p, k, kk * 2, 12, rgb(g, g, g), 1, "fog factor to bytes");
  }
  for (int x = 0; x < 64; x++) {
    for (int row = 0; row < 2; row++) {
      double d = (row ? 5.0 : 0.0) + 20.0 * (x + 0.5) / 64.0;
      double f = fmin(1.0, fmax(0.0, (20.0 - d) / 10.0));
      int g = rnd(255 * f);
      expect_px(p, k, x, 20 + 8 * row, rgb(g, g, g), 1, "fog clamped per pixel, not per vertex");
    }
  }
}

void fog_persp(const CfPic& p, CfFactCtx& k) {
  for (int x = 0; x < p.w; x++) expect_px(p, k, x, 10, rgb(112, 125, 218), 1, "fog by depth, not by range");
  // The strip from behind the eye: its clipped near end carries the fog of
  // a distance, so even its nearest visible row is fogged.
  // (its vertex colour (224, 255, 128) is the only bright one greener than red)
  uint32_t near = 0;
  for (int y = p.h - 1; y >= 0 && !near; y--) {
    uint32_t c = p.px[(size_t)y * p.w], r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF;
    if (g > 128 && g > r + 10) near = c;
  }
  if (!near || ((near >> 16) & 0xFF) > 224 - 8) k.fail("strip from behind the eye: 0x%06x at its near end, not fogged", near);
}

// colour = saturate(vertex x (ambient + sun x clamp(N.L, 0, 1))), normals
// through the inverse transpose, renormalised when asked.
void lighting(const CfPic& p, CfFactCtx& k) {
  struct Row {
    uint32_t colour;
    int normalize;
    double scale, scaleY, len;
    uint32_t sun, ambient;
    int blend, yAxis;
  };
  static const Row rows[9] = {
      {0xFFFFFFFFu, 1, 1, 1, 1, 0xC8B4A0, 0x283C50, 0, 0}, {0xFF80C040u, 1, 1, 1, 1, 0xC8B4A0, 0x283C50, 0, 0},
      {0xFFFFFFFFu, 0, 2, 1, 1, 0xC8B4A0, 0x283C50, 0, 0}, {0xFFFFFFFFu, 1, 2, 1, 1, 0xC8B4A0, 0x283C50, 0, 0},
      {0xFFFFFFFFu, 0, 1, 1, 2, 0xC8B4A0, 0x283C50, 0, 0}, {0xFFFFFFFFu, 1, 1, 1, 2, 0xC8B4A0, 0x283C50, 0, 0},
      {0xFFFFFFFFu, 1, 1, 1, 1, 0xFFFFFF, 0x808080, 0, 0}, {0x80FFC080u, 1, 1, 1, 1, 0xC8B4A0, 0x283C50, 1, 0},
      {0xFFFFFFFFu, 1, 1, 3, 1, 0xC8B4A0, 0x283C50, 0, 1},
  };
  static const char* what[9] = {"white vertices",         "coloured vertices",      "scaled world, no renormalising",
                                "scaled world, renormalised", "long normals, no renormalising", "long normals, renormalised",
                                "saturation",             "vertex alpha kept",      "non-uniform world scale"};
  for (int r = 0; r < 9; r++) {
    const Row& w = rows[r];
    for (int col = 0; col < 8; col++) {
      double cs = cf_light_cos(col), sn = sqrt(1 - cs * cs);
      double n[3] = {sn, 0, -cs};
      if (col == 7 || w.yAxis) n[0] = 0, n[1] = sn;
      double sx = w.scale, sy = w.scale * w.scaleY;
      double m[3] = {n[0] * w.len / sx, n[1] * w.len / sy, n[2] * w.len / sx};
      if (w.normalize) {
        double l = sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
        for (double& v : m) v /= l;
      }
      double ndl = fmin(1.0, fmax(0.0, -m[2]));
      int out[3];
      for (int i = 0; i < 3; i++) {
        double v = ch(w.colour, i) / 255.0 * (ch(w.ambient, i) / 255.0 + ch(w.sun, i) / 255.0 * ndl);
        out[i] = rnd(255 * fmin(1.0, v));
        if (w.blend) out[i] = cf_mul8(out[i], 128) + cf_mul8(0x30, 127);
      }
      expect_px(p, k, col * 8 + 4, r * 6 + 3, rgb(out[0], out[1], out[2]), 1, what[r]);
    }
  }
}

// The alpha test compares the unrounded texture x vertex alpha.
void alpha_test(const CfPic& p, CfFactCtx& k) {
  for (int i = 0; i < 16; i++) {
    int t = cf_alpha_pairs[i][0], v = cf_alpha_pairs[i][1];
    bool pass = t * v >= 128 * 255;
    expect_px(p, k, i * 4 + 1, 3, pass ? 0x40C0FF : 0, 0, "alpha test of texture x vertex alpha");
    int g = rnd(t * v / 255.0);
    expect_px(p, k, i * 4 + 1, 11, pass ? rgb(g, g, g) : 0, 0, "alpha test, then additive blend");
  }
}

// Blending in bytes: mul8(src, a) + mul8(dst, 255 - a), or + dst for ONE.
void blending(const CfPic& p, CfFactCtx& k) {
  for (int row = 0; row < 8; row++)
    for (int col = 0; col < 10; col++) {
      int a = cf_blend_alphas[col], out[3];
      for (int i = 0; i < 3; i++) {
        int s, d;
        if (row < 7) {
          s = cf_blend_pairs[row % 3][i][0];
          d = row == 6 ? 255 : cf_blend_pairs[row % 3][i][1];
        } else {  // texture alpha 128 x vertex alpha, over a fixed colour
          static const int src[3] = {255, 200, 0}, dst[3] = {0, 64, 255};
          s = src[i];
          d = dst[i];
        }
        int aa = row < 7 ? a : rnd(128.0 * a / 255.0);
        if (row < 3 || row == 7) out[i] = cf_mul8(s, aa) + cf_mul8(d, 255 - aa);
        else out[i] = std::min(255, cf_mul8(s, aa) + d);
      }
      expect_px(p, k, col * 4 + 1, row * 4 + 1, rgb(out[0], out[1], out[2]), 0,
                row < 3 || row == 7 ? "SRCALPHA/INVSRCALPHA" : "SRCALPHA/ONE");
    }
  for (int col = 0; col < 10; col++) {
    int m = cf_mul8(cf_blend_products[col][0], cf_blend_products[col][1]);
    expect_px(p, k, col * 4 + 1, 33, rgb(m, 0, 0), 0, "source term: (t + (t >> 8) + 128) >> 8, t = x * y");
    expect_px(p, k, col * 4 + 1, 37, rgb(0, m, 0), 0, "destination term: (t + (t >> 8) + 128) >> 8, t = x * y");
  }
}

// Stage products in float, rounded once; the tint keeps stage 0's alpha.
void tint(const CfPic& p, CfFactCtx& k) {
  for (int i = 0; i < 8; i++) {
    uint32_t t = cf_tint_cases[i][0], v = cf_tint_cases[i][1], f = cf_tint_cases[i][2];
    int out[3];
    for (int c = 0; c < 3; c++) {
      out[c] = rnd(ch(t, c) * ch(v, c) * ch(f, c) / (255.0 * 255.0));
      if (i == 7) {
        int a = rnd((t >> 24) * (v >> 24) / 255.0);
        out[c] = cf_mul8(out[c], a) + cf_mul8(ch(0x204060, c), 255 - a);
      }
    }
    expect_px(p, k, i * 8 + 3, 3, rgb(out[0], out[1], out[2]), 0, "tint stage");
  }
}

// A stage without its texture passes the diffuse colour; later stages run.
void no_texture(const CfPic& p, CfFactCtx& k) {
  static const uint32_t want[2][6] = {{0xC86432, 0xC86432, 0x64640D, 0x745249, 0x204060, 0xC86432},
                                      {0xC86432, 0xFFFFFF, 0x64640D, 0x745249, 0x204060, 0xC86432}};
  static const char* what[6] = {"MODULATE(TEXTURE, DIFFUSE)", "SELECTARG1(TEXTURE)", "tint stage after it",
                                "vertex alpha blended",      "alpha test of vertex 0x7F", "alpha test of vertex 0x80"};
  for (int row = 0; row < 2; row++)
    for (int i = 0; i < 6; i++) {
      char w[80];
      snprintf(w, sizeof w, "%s, %s", what[i], row ? "white texture" : "no texture");
      expect_px(p, k, i * 8 + 3, row * 8 + 3, want[row][i], 0, w);
    }
}

// ---- texturing ---------------------------------------------------------------------------

// Point sampling: texel floor(u * W) of the coordinate at the pixel centre.
void point_edges(const CfPic& p, CfFactCtx& k) {
  for (int r = 0; r < 64; r++) {
    double o = cf_point_offset(r);
    for (int i = 0; i < 16; i++) {
      int t = ((int)floor(i + 0.5 + o) % 16 + 16) % 16;
      expect_px(p, k, i, r, cf_texel_index(0, t, 0, 16, 16) & 0xFFFFFF, 0, "texel along u");
      expect_px(p, k, 24 + r, i, cf_texel_index(0, 0, t, 16, 16) & 0xFFFFFF, 0, "texel along v");
    }
  }
}

// Nearest mip level: floor(log2(rho) + 0.5), rho the longer screen axis'
// footprint; cells within float noise of a boundary are not judged.
void mip_select(const CfPic& p, CfFactCtx& k) {
  for (int row = 0; row < 8; row++)
    for (int col = 0; col < 16; col++) {
      double rho = fmax(1.0, cf_mip_footprint(row, col));
      double l = log2(rho);
      if (fabs(l - floor(l) - 0.5) < 0.002) continue;
      int level = (int)floor(l + 0.5);
      if (level > 6) level = 6;
      char w[80];
      snprintf(w, sizeof w, "mip level %d for footprint %.3f", level, rho);
      expect_px(p, k, col * 4 + 1, row * 4 + 1, cf_level_colour(level) & 0xFFFFFF, 0, w);
    }
}

void address_modes(const CfPic& p, CfFactCtx& k) {
  for (int q = 0; q < 3; q++)
    for (int y = 0; y < 24; y++)
      for (int x = 0; x < 24; x++) {
        int tu = (int)floor(4 * (-1 + (x + 0.5) / 8)), tv = (int)floor(4 * (-1 + (y + 0.5) / 8));
        tu = q == 0 ? (tu & 3) : std::max(0, std::min(3, tu));
        tv = q == 1 ? std::max(0, std::min(3, tv)) : (tv & 3);
        expect_px(p, k, q * 26 + x, y, cf_texel_index(0, tu, tv, 4, 4) & 0xFFFFFF, 0,
                  q == 0 ? "WRAP" : q == 1 ? "CLAMP" : "CLAMP u, WRAP v");
      }
  float u0, v0, u1, v1;
  cf_npot_wrap_coords(&u0, &v0, &u1, &v1);
  for (int y = 0; y < 24; y++)
    for (int x = 0; x < 24; x++) {
      int tu = (int)floor(48 * (u0 + (u1 - u0) * (x + 0.5) / 24)), tv = (int)floor(20 * (v0 + (v1 - v0) * (y + 0.5) / 24));
      tu = ((tu % 48) + 48) % 48;
      tv = ((tv % 20) + 20) % 20;
      expect_px(p, k, 78 + x, y, cf_texel_index(0, tu, tv, 48, 20) & 0xFFFFFF, 0, "WRAP on 48 x 20");
    }
}

// 2D rectangles: exact pixels, each pixel blended once.
void ui_rects(const CfPic& p, CfFactCtx& k) {
  const uint32_t bg = 0x202830;
  expect_px(p, k, 2, 2, 0xFFFFFF, 0, "1x1 rectangle");
  expect_px(p, k, 3, 2, bg, 0, "beside a 1x1 rectangle");
  expect_px(p, k, 2, 3, bg, 0, "below a 1x1 rectangle");
  const int rects[3][4] = {{16, 2, 19, 5}, {22, 3, 25, 6}, {29, 2, 31, 6}};  // covered pixels, inclusive
  const uint32_t cols[3] = {0xFFFF00, 0x00FFFF, 0xFF00FF};
  for (int i = 0; i < 3; i++)
    for (int y = 1; y <= 7; y++)
      for (int x = rects[i][0] - 1; x <= rects[i][2] + 1; x++) {
        bool in = x >= rects[i][0] && x <= rects[i][2] && y >= rects[i][1] && y <= rects[i][3];
        if (x == 21 || x == 27 || x == 28) continue;  // between rectangles
        expect_px(p, k, x, y, in ? cols[i] : bg, 0, "rectangle off the pixel grid");
      }
  // uniform areas of the half-transparent rectangles: no pixel drawn twice
  const int areas[4][4] = {{2, 8, 6, 12}, {7, 8, 11, 12}, {2, 13, 11, 15}, {1, 7, 12, 7}};
  for (const auto& a : areas)
    for (int y = a[1]; y <= a[3]; y++)
      for (int x = a[0]; x <= a[2]; x++)
        if (p.at(x, y) != p.at(a[0], a[1])) k.fail("half-transparent rectangle not uniform at (%d, %d)", x, y);
  const int line[4][2] = {{0, 20}, {1, 20}, {2, 20}, {3, 21}};
  for (const auto& l : line) expect_px(p, k, l[0], l[1], 0xFFFFFF, 0, "line (0,20)-(3,21)");
  expect_px(p, k, 3, 20, bg, 0, "line (0,20)-(3,21)");
}

// The magnification: black bars, 2x2 blocks at scale 2; at 2.4 each pixel
// shows the low-resolution pixel under its centre.
void magnify_int(const CfPic& p, CfFactCtx& k) {
  for (int y = 0; y < p.h; y++)
    for (int x = 0; x < p.w; x++) {
      bool in = x >= 8 && x < 168 && y >= 8 && y < 128;
      if (!in && p.at(x, y) != 0) k.fail("bar pixel (%d, %d) not black", x, y);
      if (in && p.at(x, y) != p.at(x - (x & 1), y - (y & 1))) k.fail("(%d, %d) not in a 2x2 block", x, y);
    }
}

void magnify_frac(const CfPic& p, CfFactCtx& k) {
  const CfPic* low2 = k.get ? k.get("magnify_int", k.user) : nullptr;
  if (!low2) return k.fail("needs the picture of magnify_int");
  for (int y = 0; y < p.h; y++)
    for (int x = 0; x < p.w; x++) {
      if (y < 8 || y >= 152) {
        if (p.at(x, y) != 0) k.fail("bar pixel (%d, %d) not black", x, y);
        continue;
      }
      int lx = (int)floor((x + 0.5) / 2.4), ly = (int)floor((y - 8 + 0.5) / 2.4);
      uint32_t want = low2->at(8 + 2 * lx, 8 + 2 * ly);
      if (p.at(x, y) != want)
        k.fail("(%d, %d) is %06X, low-resolution pixel (%d, %d) is %06X", x, y, (unsigned)p.at(x, y), lx, ly,
               (unsigned)want);
    }
}

}  // namespace

const CfFact g_cfFacts[] = {
    {"FillRuleAndSnapping", "fill_edges", fill_edges},
    {"SharedEdgesOnce", "shared_edges", shared_edges},
    {"CullingByScreenWinding", "culling", culling},
    {"StripWinding", "strips", strips},
    {"DepthOrder", "depth_order", depth_order},
    {"DepthD24RoundsToNearest", "depth_d24", depth_d24},
    {"DepthD16RoundsToNearestEven", "depth_d16", depth_d16},
    {"ClearAndClipToViewport", "clear_viewport", clear_viewport},
    {"ColourRoundedOnce", "gouraud", gouraud},
    {"FogClampedPerPixel", "fog_ortho", fog_ortho},
    {"FogByViewDepth", "fog_persp", fog_persp},
    {"Lighting", "lighting", lighting},
    {"AlphaTestUnrounded", "alpha_test", alpha_test},
    {"BlendingBytes", "blending", blending},
    {"TintStage", "tint", tint},
    {"StageWithoutTexture", "no_texture", no_texture},
    {"PointSamplingAtEdges", "point_edges", point_edges},
    {"NearestMipLevel", "mip_select", mip_select},
    {"AddressModes", "address_modes", address_modes},
    {"RectanglesExact", "ui_rects", ui_rects},
    {"MagnifyWholeScale", "magnify_int", magnify_int},
    {"MagnifyFractionalScale", "magnify_frac", magnify_frac},
};
const int g_cfFactCount = sizeof g_cfFacts / sizeof g_cfFacts[0];
