// Which pixels a triangle covers and what colour they get, where the
// conformance rules (tests/conformance, checked on every scene) do not
// reach: random triangles against the top-left rule, every culling mode,
// projection, clipping at the near plane and far outside the target, and
// states the scenes leave alone.
#include <math.h>

#include "soft_util.h"

namespace {

class Raster : public SoftTest {
 protected:
  // A camera at the origin looking along +z with a 90 degree field of view.
  void camera(float zn = 1.0f, float zf = 100.0f) {
    D3DMATRIX id = mat_identity(), pr = mat_persp(1.0f, 1.0f, zn, zf);
    dev->SetTransform(D3DTS_WORLD, &id);
    dev->SetTransform(D3DTS_VIEW, &id);
    dev->SetTransform(D3DTS_PROJECTION, &pr);
    dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  }
  void draw142(const V142* v, int tris) {
    EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, tris, v, sizeof(V142)), D3D_OK);
  }
};

// Is the centre of pixel (px, py) inside the triangle, by the top-left rule?
// Vertices in pixel units; y grows downward.
bool covers(const float* x, const float* y, int px, int py) {
  double area = (double)(x[1] - x[0]) * (y[2] - y[0]) - (double)(x[2] - x[0]) * (y[1] - y[0]);
  int sign = area > 0 ? 1 : -1;
  for (int k = 0; k < 3; k++) {
    int j = (k + 1) % 3;
    double A = (y[k] - y[j]) * sign, B = (x[j] - x[k]) * sign;
    double e = A * (px - x[k]) + B * (py - y[k]);
    bool topLeft = A > 0 || (A == 0 && B > 0);
    if (e < 0 || (e == 0 && !topLeft)) return false;
  }
  return true;
}

TEST_F(Raster, TrianglesMatchTheTopLeftRuleEverywhere) {
  // Random triangles on the 1/256 grid (some edges exactly through centres),
  // then long slivers whose covered pixels on neighbouring rows lie far
  // apart: each compared pixel by pixel with the rule.
  uint32_t seed = 12345;
  auto rnd = [&]() {
    seed = seed * 1664525u + 1013904223u;
    return (float)((seed >> 8) % 4096) / 256.0f;  // 0..16 in 1/256 steps
  };
  for (int i = 0; i < 248; i++) {
    float x[3], y[3];
    if (i < 200) {
      for (int k = 0; k < 3; k++) {
        x[k] = rnd() - 0.5f;
        y[k] = rnd() - 0.5f;
        if (i % 3 == 0) x[k] = floorf(x[k]);
        if (i % 4 == 0) y[k] = floorf(y[k]) + (i % 8 ? 0.5f : 0.0f);
      }
    } else {
      int s = i - 200;  // 8 to 12 pixels along per row, a few tenths thick
      float y0 = 1.8f + 0.5f * (float)(s % 12), run = 15.5f / (8.0f + (float)(s % 5)), th = 0.1f + 0.03f * (float)(s % 4);
      float sx[3] = {0.25f, 15.75f, 15.75f}, sy[3] = {y0, y0 + run, y0 + run + th};
      if (s & 1) sx[0] = 15.75f, sx[1] = sx[2] = 0.25f;  // rising to the left
      if (s & 2) sy[0] += th, sy[2] -= th;               // the thick end first
      for (int k = 0; k < 3; k++) x[k] = roundf(sx[k] * 256.0f) / 256.0f, y[k] = roundf(sy[k] * 256.0f) / 256.0f;
    }
    clear(0xFF000000u);
    V144 v[3];
    for (int k = 0; k < 3; k++) v[k] = {x[k], y[k], 0, 1, 0xFFFFFFFF, 0, 0};
    tri144(v, 3);
    std::string m = mask();
    for (int py = 0; py < 16; py++)
      for (int px = 0; px < 16; px++)
        ASSERT_EQ(m[(size_t)py * 17 + px] == '#', covers(x, y, px, py)) << "triangle " << i << " pixel " << px << ","
                                                                         << py << "\n" << m;
  }
}

TEST_F(Raster, CullingFollowsScreenWindingInEveryMode) {
  V144 cw[3] = {{1, 1, 0, 1, 0xFFFFFFFF, 0, 0}, {10, 1, 0, 1, 0xFFFFFFFF, 0, 0}, {1, 10, 0, 1, 0xFFFFFFFF, 0, 0}};
  V144 ccw[3] = {cw[0], cw[2], cw[1]};
  struct Case {
    DWORD mode;
    bool cwDrawn, ccwDrawn;
  } cases[] = {{D3DCULL_NONE, true, true}, {D3DCULL_CCW, true, false}, {D3DCULL_CW, false, true}};
  for (const Case& c : cases) {
    dev->SetRenderState(D3DRS_CULLMODE, c.mode);
    clear(0xFF000000u);
    tri144(cw, 3);
    EXPECT_EQ(px(2, 2) != 0, c.cwDrawn) << "mode " << c.mode;
    clear(0xFF000000u);
    tri144(ccw, 3);
    EXPECT_EQ(px(2, 2) != 0, c.ccwDrawn) << "mode " << c.mode;
  }
}

TEST_F(Raster, ProjectionClipsAtTheNearPlaneAndFarOutside) {
  camera();
  // The right half of the view (x >= 0): NDC 0 maps to x = 8 exactly, the
  // centre of pixel 8, which a left edge keeps.
  V142 r[6] = {{0, 10, 10, 0xFFFFFFFF, 0, 0},  {10, 10, 10, 0xFFFFFFFF, 0, 0}, {0, -10, 10, 0xFFFFFFFF, 0, 0},
               {10, 10, 10, 0xFFFFFFFF, 0, 0}, {10, -10, 10, 0xFFFFFFFF, 0, 0}, {0, -10, 10, 0xFFFFFFFF, 0, 0}};
  draw142(r, 2);
  std::string m = mask();
  for (int x = 0; x < 16; x++) EXPECT_EQ(m[5 * 17 + x] == '#', x >= 8) << x << "\n" << m;
  // A floor from behind the camera to far ahead, red behind and blue ahead:
  // only the part beyond the near plane (z >= 1) is drawn, rows 9 and 10
  // below the horizon (rows 11 and 12 would see it at z = 0.8 and 0.6), and
  // the colour is interpolated in clip space across the cut.
  clear(0xFF000000u);
  V142 c[3] = {{-40, -0.3f, -20, 0xFFFF0000u, 0, 0}, {40, -0.3f, -20, 0xFFFF0000u, 0, 0},
               {0, -0.3f, 60, 0xFF0000FFu, 0, 0}};
  draw142(c, 1);
  m = mask();
  for (int y = 0; y < 16; y++) EXPECT_EQ(m[(size_t)y * 17 + 8] == '#', y == 9 || y == 10) << y << "\n" << m;
  uint32_t near = px(8, 10);  // sees the floor at z = 1.2, 21.2 parts of 80 towards blue
  EXPECT_NEAR(ch_b(near), 255 * 21.2 / 80, 2);
  EXPECT_NEAR(ch_r(near), 255 * (1 - 21.2 / 80), 2);
  // Wholly behind the camera or beyond the far plane: nothing.
  clear(0xFF000000u);
  V142 out[6] = {{-5, -5, -3, 0xFFFFFFFF, 0, 0},  {5, -5, -3, 0xFFFFFFFF, 0, 0},  {0, 5, -3, 0xFFFFFFFF, 0, 0},
                 {-5, -5, 300, 0xFFFFFFFF, 0, 0}, {5, -5, 300, 0xFFFFFFFF, 0, 0}, {0, 5, 300, 0xFFFFFFFF, 0, 0}};
  draw142(out, 2);
  EXPECT_EQ(mask().find('#'), std::string::npos);
  // Triangles far beyond the guard band, in view space and on screen, cover
  // exactly the target.
  V142 t[3] = {{-1e6f, -1e6f, 5, 0xFFFFFFFF, 0, 0}, {1e6f, -1e6f, 5, 0xFFFFFFFF, 0, 0}, {0, 1e6f, 5, 0xFFFFFFFF, 0, 0}};
  draw142(t, 1);
  EXPECT_EQ(mask().find('.'), std::string::npos);
  clear(0xFF000000u);
  V144 s[3] = {{-1e7f, -1e7f, 0, 1, 0xFFFFFFFF, 0, 0}, {1e7f, -1e7f, 0, 1, 0xFFFFFFFF, 0, 0},
               {0, 1e7f, 0, 1, 0xFFFFFFFF, 0, 0}};
  tri144(s, 3);
  EXPECT_EQ(mask().find('.'), std::string::npos);
}

TEST_F(Raster, StatesTheScenesLeaveAlone) {
  dev->SetRenderState(D3DRS_ZENABLE, FALSE);
  auto over = [&](uint32_t dst, uint32_t src) {
    clear(dst);
    rect(0, 0, 16, 16, src);
    return px(4, 4);
  };
  // ONE / ONE adds; with blending off the source alpha does not matter.
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  EXPECT_EQ(over(0xFF102030u, 0x00203040u), 0x305070u);
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  EXPECT_EQ(over(0xFF102030u, 0x00203040u), 0x203040u);
  // Screen-space vertices are never lit.
  dev->SetRenderState(D3DRS_LIGHTING, TRUE);
  EXPECT_EQ(over(0xFF000000u, 0xFF123456u), 0x123456u);
  dev->SetRenderState(D3DRS_LIGHTING, FALSE);
  // Fog leaves alpha alone: a fully fogged alpha-tested surface still draws.
  camera();
  dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
  dev->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
  dev->SetRenderState(D3DRS_FOGCOLOR, 0xFF00FF00u);
  dev->SetRenderState(D3DRS_FOGSTART, fbits(1.0f));
  dev->SetRenderState(D3DRS_FOGEND, fbits(2.0f));
  dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  dev->SetRenderState(D3DRS_ALPHAREF, 128);
  dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  V142 w[3] = {{-100, -100, 50, 0xC8FF0000u, 0, 0}, {0, 100, 50, 0xC8FF0000u, 0, 0}, {100, -100, 50, 0xC8FF0000u, 0, 0}};
  clear(0xFF000000u);
  draw142(w, 1);
  EXPECT_EQ(px(8, 8), 0x00FF00u);
}

TEST_F(Raster, TexturePlanesRunThroughTheUnsnappedPositions) {
  // Rows of 2D strips whose texture coordinate climbs 64 texels a pixel,
  // their ends off the 1/256-pixel grid: snapping moves coverage only, so
  // each pixel shows the texel under its centre by the exact positions.
  dev->SetRenderState(D3DRS_ZENABLE, FALSE);
  std::vector<uint32_t> cols(16 * 16);
  for (int i = 0; i < 16 * 16; i++) cols[i] = 0xFF000000u | (uint32_t)(i % 16) * 0x0F0B07u;
  IDirect3DTexture9* t = texture(16, 16, {cols});
  dev->SetTexture(0, t);
  const double slope = 4.0;  // u per pixel
  int checked = 0;
  for (int y = 0; y < 16; y++) {
    float x0 = 0.4f + 0.0371f * (float)y + 1.0f / 600.0f, x1 = x0 + 13.3f;
    float u1 = (float)((x1 - x0) * slope);
    V144 v[4] = {{x0, y - 0.4f, 0, 1, 0xFFFFFFFFu, 0, 0},
                 {x1, y - 0.4f, 0, 1, 0xFFFFFFFFu, u1, 0},
                 {x0, y + 0.4f, 0, 1, 0xFFFFFFFFu, 0, 0},
                 {x1, y + 0.4f, 0, 1, 0xFFFFFFFFu, u1, 0}};
    tri144(v, 4, D3DPT_TRIANGLESTRIP);
  }
  std::vector<uint32_t> p = read();
  for (int y = 0; y < 16; y++) {
    double x0 = (double)(0.4f + 0.0371f * (float)y + 1.0f / 600.0f);
    for (int x = 1; x < 14; x++) {
      double texel = ((double)x - x0) * slope * 16.0;
      double frac = texel - floor(texel);
      if (texel < 0 || frac < 0.02 || frac > 0.98) continue;  // too close to a texel edge to call
      uint32_t want = cols[(size_t)floor(texel) % 16] & 0xFFFFFFu;
      EXPECT_EQ(p[(size_t)y * 16 + x] & 0xFFFFFFu, want) << "pixel (" << x << ", " << y << ")";
      checked++;
    }
  }
  EXPECT_GT(checked, 150);
  dev->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(Raster, MipLevelsGrowAlongAFloorAndNeedAMipFilter) {
  // 16 x 16 with 5 levels, each one colour.
  dev->SetRenderState(D3DRS_ZENABLE, FALSE);
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
  const uint32_t colour[5] = {0xFF000000u, 0xFF0000FFu, 0xFF00FF00u, 0xFF00FFFFu, 0xFFFF0000u};
  std::vector<std::vector<uint32_t>> lv;
  for (int l = 0; l < 5; l++) lv.push_back(std::vector<uint32_t>((size_t)(16 >> l) * (16 >> l), colour[l]));
  IDirect3DTexture9* t = texture(16, 16, lv);
  dev->SetTexture(0, t);
  // In perspective the level never falls from the bottom of the view
  // towards the horizon, and reaches the small levels.
  camera(0.5f);
  V142 fl[6] = {{-4, -1, 1, 0xFFFFFFFFu, 0, 0},  {4, -1, 1, 0xFFFFFFFFu, 1, 0},   {-4, -1, 60, 0xFFFFFFFFu, 0, 30},
                {4, -1, 1, 0xFFFFFFFFu, 1, 0},   {4, -1, 60, 0xFFFFFFFFu, 1, 30}, {-4, -1, 60, 0xFFFFFFFFu, 0, 30}};
  clear(0xFF808080u);
  draw142(fl, 2);
  std::vector<uint32_t> p = read();
  int prev = 0;
  for (int y = 15; y > 8; y--) {
    int level = -1;
    for (int l = 0; l < 5; l++)
      if ((p[(size_t)y * 16 + 8] | 0xFF000000u) == colour[l]) level = l;
    ASSERT_GE(level, prev) << "row " << y;
    prev = level;
  }
  EXPECT_GE(prev, 3);
  // Three texels a pixel both ways: rho^2 = 9 lies above 2^3, so level 2,
  // flat and (barely) in perspective.
  for (float w : {1.0f, 1.001f}) {
    const float e = 7.5f, uv = 1.5f;
    V144 q[4] = {{-0.5f, -0.5f, 0, 1, ~0u, 0, 0}, {e, -0.5f, 0, 1, ~0u, uv, 0}, {-0.5f, e, 0, 1, ~0u, 0, uv},
                 {e, e, 0, w, ~0u, uv, uv}};
    tri144(q, 4, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(px(4, 4) | 0xFF000000u, colour[2]) << w;
  }
  // Without a mip filter only the first level is used, however small.
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  clear(0xFF808080u);
  rect(0, 0, 2, 2, 0xFFFFFFFFu);
  EXPECT_EQ(px(1, 1) | 0xFF000000u, colour[0]);
  dev->SetTexture(0, nullptr);
  t->Release();
}

}  // namespace
