#include "cf_facts.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "cf_scene.h"

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

std::string cf_fact_check(int i, CfPicFn get) {
  const CfPic* p = get(g_cfFacts[i].scene);
  if (!p) return std::string("no picture of ") + g_cfFacts[i].scene;
  CfFactCtx k;
  g_cfFacts[i].check(*p, k);
  std::string all;
  for (const auto& e : k.errors) all += "  " + e + "\n";
  return all;
}

namespace {

// 8-bit product as the blender computes it.
int cf_mul8(int x, int y) {
  int t = x * y;
  return (t + (t >> 8) + 128) >> 8;
}

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

// ---- coverage ---------------------------------------------------------------------------

// Top-left rule at pixel centres, positions snapped to 1/256 pixel with ties
// going right (x) and up (y): an edge 1/512 right of a centre excludes it,
// 1/512 below a centre still includes it.
void fill_edges(const CfPic& p, CfFactCtx& k) {
  for (int y = 0; y < p.h; y++)
    for (int x = 0; x < p.w; x++) {
      // bar y covers pixels 4-11 of its row, 5-12 once its edges pass the
      // centres; column bar x - 32 likewise rows 4-11 or 5-12
      int left = cf_fill_offset(y) <= 0.0f ? 4 : 5, top = x >= 32 && cf_fill_offset(x - 32) > 1.0f / 512.0f ? 5 : 4;
      bool in = (x >= left && x < left + 8) || (x >= 32 && y >= top && y < top + 8);
      expect_px(p, k, x, y, in ? 0xFFFFFF : 0, 0, "fill rule");
    }
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
  expect_px(p, k, 48, 30, 0x00FF00, 0, "equal depth fails LESS");
  expect_px(p, k, 56, 30, 0x0000FF, 0, "nearer passes LESS");
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
  for (int kk = 0; kk < 32; kk++) {
    double f = 1.0 - kk / 31.0;  // vertex (200, 100, 50), fog (0, 255, 128)
    uint32_t w = rgb(rnd(f * 200), rnd(f * 100 + (1 - f) * 255), rnd(f * 50 + (1 - f) * 128));
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
    int g = rnd(255 * fmin(1.0, 1.95 * (1 - (x + 0.5) / 64)));  // vertex factors 1.95 and 0
    expect_px(p, k, x, 44, rgb(g, g, g), 1, "fog of a depth behind the eye plane");
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
  for (int r = 0; r < 9; r++) {
    const CfLightRow& w = cf_light_rows[r];
    for (int col = 0; col < 8; col++) {
      double cs = cf_light_cos(col), sn = sqrt(1 - cs * cs);
      double n[3] = {sn, 0, -cs};
      if (col == 7 || w.yAxis) n[0] = 0, n[1] = sn;
      double sx = w.scale, sy = (double)w.scale * w.scaleY;
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
      expect_px(p, k, col * 8 + 4, r * 6 + 3, rgb(out[0], out[1], out[2]), 1, w.what);
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
        static const int src7[3] = {255, 200, 0}, dst7[3] = {0, 64, 255};  // row 7: over a fixed colour
        int s = row < 7 ? cf_blend_pairs[row % 3][i][0] : src7[i];
        int d = row == 6 ? 255 : row < 7 ? cf_blend_pairs[row % 3][i][1] : dst7[i];
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

// ---- texturing ---------------------------------------------------------------------------

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

}  // namespace

const CfFact g_cfFacts[] = {
    {"FillRuleAndSnapping", "fill_edges", fill_edges},
    {"StripWinding", "strips", strips},
    {"DepthOrder", "depth_order", depth_order},
    {"DepthD24RoundsToNearest", "depth_d24", depth_d24},
    {"DepthD16RoundsToNearestEven", "depth_d16", depth_d16},
    {"ColourRoundedOnce", "gouraud", gouraud},
    {"FogClampedPerPixel", "fog_ortho", fog_ortho},
    {"FogByViewDepth", "fog_persp", fog_persp},
    {"Lighting", "lighting", lighting},
    {"AlphaTestUnrounded", "alpha_test", alpha_test},
    {"BlendingBytes", "blending", blending},
    {"NearestMipLevel", "mip_select", mip_select},
    {"AddressModes", "address_modes", address_modes},
};
const int g_cfFactCount = sizeof g_cfFacts / sizeof g_cfFacts[0];
