// Which pixels a triangle covers, in what order things win: pixel centres,
// the fill rule, shared edges, culling, depth and clipping.
#include <math.h>

#include "soft_util.h"

namespace {

class Raster : public ::testing::Test, public SoftFixture {
 protected:
  void SetUp() override { open(16, 16); }
  void TearDown() override {
    close();
    EXPECT_EQ(soft_live_objects(), 0);
  }
  void additive() {
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    dev->SetRenderState(D3DRS_ZENABLE, FALSE);
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

TEST_F(Raster, TriangleCoversPixelCentresByTheTopLeftRule) {
  // Vertices on pixel centres: the top and left edges keep their pixels,
  // the sloping right edge does not.
  V144 v[3] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0}, {8, 0, 0, 1, 0xFFFFFFFF, 0, 0}, {0, 8, 0, 1, 0xFFFFFFFF, 0, 0}};
  tri144(v, 3);
  std::string m = mask();
  int count = 0;
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) {
      bool expect = x + y < 8;
      EXPECT_EQ(m[(size_t)y * 17 + x] == '#', expect) << x << "," << y << "\n" << m;
      count += expect;
    }
  EXPECT_EQ(count, 36);

  // The same triangle mirrored: now the vertical edge is a right edge and
  // the horizontal one a bottom edge, so both lose their pixels.
  clear(0xFF000000u);
  V144 w[3] = {{8, 8, 0, 1, 0xFFFFFFFF, 0, 0}, {0, 8, 0, 1, 0xFFFFFFFF, 0, 0}, {8, 0, 0, 1, 0xFFFFFFFF, 0, 0}};
  tri144(w, 3);
  m = mask();
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) {
      bool expect = x < 8 && y < 8 && x + y >= 8;
      EXPECT_EQ(m[(size_t)y * 17 + x] == '#', expect) << x << "," << y << "\n" << m;
    }
}

TEST_F(Raster, RectangleOnPixelEdgesCoversExactlyItsPixels) {
  // Edges half a pixel off the centres, as the UI draws: exactly the
  // rectangle's pixels, whatever the winding.
  rect(3, 2, 9, 5, 0xFFFFFFFF);
  std::string m = mask();
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++)
      EXPECT_EQ(m[(size_t)y * 17 + x] == '#', x >= 3 && x < 9 && y >= 2 && y < 5) << x << "," << y << "\n" << m;
  // A one-pixel rectangle is one pixel.
  clear(0xFF000000u);
  rect(15, 15, 16, 16, 0xFFFFFFFF);
  m = mask();
  EXPECT_EQ(std::count(m.begin(), m.end(), '#'), 1);
  EXPECT_EQ(m[15 * 17 + 15], '#');
}

TEST_F(Raster, SlopedTrianglesMatchTheRuleEverywhere) {
  // Many triangles at awkward positions, each compared pixel by pixel with
  // the rule evaluated on the snapped vertices.
  uint32_t seed = 12345;
  auto rnd = [&]() {
    seed = seed * 1664525u + 1013904223u;
    return (float)((seed >> 8) % 4096) / 256.0f;  // 0..16 in 1/256 steps
  };
  for (int i = 0; i < 200; i++) {
    float x[3], y[3];
    for (int k = 0; k < 3; k++) {
      x[k] = rnd() - 0.5f;
      y[k] = rnd() - 0.5f;
      if (i % 3 == 0) x[k] = floorf(x[k]);  // some vertices exactly on centres
      if (i % 4 == 0) y[k] = floorf(y[k]) + 0.5f;
    }
    clear(0xFF000000u);
    V144 v[3];
    for (int k = 0; k < 3; k++) v[k] = {x[k], y[k], 0, 1, 0xFFFFFFFF, 0, 0};
    tri144(v, 3);
    std::string m = mask();
    for (int py = 0; py < 16; py++)
      for (int px = 0; px < 16; px++)
        ASSERT_EQ(m[(size_t)py * 17 + px] == '#', covers(x, y, px, py))
            << "triangle " << i << " pixel " << px << "," << py << "\n"
            << m;
  }
}

TEST_F(Raster, ThinSliversMatchTheRuleOnEveryRow) {
  // Long, nearly horizontal slivers: the pixels one covers on two
  // neighbouring rows can lie far apart, none may be lost.
  for (int i = 0; i < 48; i++) {
    // about 8 to 12 pixels along per row, a few tenths of a pixel thick
    float y0 = 1.8f + 0.5f * (float)(i % 12), run = 15.5f / (8.0f + (float)(i % 5));
    float th = 0.1f + 0.03f * (float)(i % 4);
    float x[3] = {0.25f, 15.75f, 15.75f}, y[3] = {y0, y0 + run, y0 + run + th};
    if (i & 1) {  // rising to the left
      x[0] = 15.75f;
      x[1] = x[2] = 0.25f;
    }
    if (i & 2) {  // the thick end first
      y[0] += th;
      y[2] -= th;
    }
    for (int k = 0; k < 3; k++) {  // on the 1/256 grid, where the rule is exact
      x[k] = roundf(x[k] * 256.0f) / 256.0f;
      y[k] = roundf(y[k] * 256.0f) / 256.0f;
    }
    clear(0xFF000000u);
    V144 v[3];
    for (int k = 0; k < 3; k++) v[k] = {x[k], y[k], 0, 1, 0xFFFFFFFF, 0, 0};
    tri144(v, 3);
    std::string m = mask();
    for (int py = 0; py < 16; py++)
      for (int px = 0; px < 16; px++)
        ASSERT_EQ(m[(size_t)py * 17 + px] == '#', covers(x, y, px, py))
            << "sliver " << i << " pixel " << px << "," << py << "\n"
            << m;
  }
}

TEST_F(Raster, TrianglesSharingEdgesCoverEveryPixelOnce) {
  // A jittered grid spanning the whole target, two triangles per cell, drawn
  // additively: every pixel gets exactly one contribution.
  additive();
  const int N = 5;
  float gx[N + 1][N + 1], gy[N + 1][N + 1];
  uint32_t seed = 7;
  for (int j = 0; j <= N; j++)
    for (int i = 0; i <= N; i++) {
      seed = seed * 1103515245u + 12345u;
      float jx = (i > 0 && i < N) ? (float)((seed >> 16) % 200) / 256.0f - 0.4f : 0.0f;
      float jy = (j > 0 && j < N) ? (float)((seed >> 8) % 200) / 256.0f - 0.4f : 0.0f;
      if ((i + j) % 3 == 0) jx = jy = 0.5f;  // some grid points exactly on pixel centres
      gx[j][i] = -0.5f + 16.0f * i / N + ((i > 0 && i < N) ? jx : 0.0f);
      gy[j][i] = -0.5f + 16.0f * j / N + ((j > 0 && j < N) ? jy : 0.0f);
    }
  std::vector<V144> v;
  for (int j = 0; j < N; j++)
    for (int i = 0; i < N; i++) {
      auto P = [&](int a, int b) { return V144{gx[b][a], gy[b][a], 0, 1, 0xFF404040u, 0, 0}; };
      if ((i + j) & 1) {
        v.push_back(P(i, j));
        v.push_back(P(i + 1, j));
        v.push_back(P(i + 1, j + 1));
        v.push_back(P(i, j));
        v.push_back(P(i + 1, j + 1));
        v.push_back(P(i, j + 1));
      } else {
        v.push_back(P(i, j));
        v.push_back(P(i + 1, j));
        v.push_back(P(i, j + 1));
        v.push_back(P(i + 1, j + 1));
        v.push_back(P(i, j + 1));
        v.push_back(P(i + 1, j));
      }
    }
  tri144(v.data(), (int)v.size());
  std::vector<uint32_t> p = read();
  for (int i = 0; i < 16 * 16; i++) ASSERT_EQ(p[i] & 0xFFFFFF, 0x404040u) << "pixel " << i % 16 << "," << i / 16;
}

TEST_F(Raster, CullingFollowsScreenWindingAndDropsZeroArea) {
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
  // A strip keeps one winding for all its triangles.
  dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  clear(0xFF000000u);
  rect(0, 0, 16, 16, 0xFFFFFFFF);
  EXPECT_EQ(mask().find('.'), std::string::npos);
  // Degenerate triangles draw nothing in any mode.
  dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  clear(0xFF000000u);
  V144 line[3] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0}, {8, 8, 0, 1, 0xFFFFFFFF, 0, 0}, {15, 15, 0, 1, 0xFFFFFFFF, 0, 0}};
  tri144(line, 3);
  V144 point[3] = {{4, 4, 0, 1, 0xFFFFFFFF, 0, 0}, {4, 4, 0, 1, 0xFFFFFFFF, 0, 0}, {4, 4, 0, 1, 0xFFFFFFFF, 0, 0}};
  tri144(point, 3);
  EXPECT_EQ(mask().find('#'), std::string::npos);
}

TEST_F(Raster, DepthTestKeepsTheNearerSurfaceInEitherOrder) {
  dev->SetRenderState(D3DRS_ZENABLE, TRUE);
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  for (int order = 0; order < 2; order++) {
    clear(0xFF000000u);
    if (order == 0) {
      rect(0, 0, 16, 16, 0xFFFF0000u, 0.25f);  // red near
      rect(4, 4, 12, 12, 0xFF00FF00u, 0.75f);  // green far: hidden
    } else {
      rect(4, 4, 12, 12, 0xFF00FF00u, 0.75f);
      rect(0, 0, 16, 16, 0xFFFF0000u, 0.25f);
    }
    EXPECT_EQ(px(8, 8), 0xFF0000u) << "order " << order;
  }
  // Equal depth passes LESSEQUAL: the later surface wins.
  clear(0xFF000000u);
  rect(0, 0, 16, 16, 0xFFFF0000u, 0.5f);
  rect(0, 0, 16, 16, 0xFF0000FFu, 0.5f);
  EXPECT_EQ(px(3, 3), 0x0000FFu);
  // Without depth writes the first surface leaves no trace in the depth buffer.
  clear(0xFF000000u);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  rect(0, 0, 16, 16, 0xFFFF0000u, 0.25f);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  rect(0, 0, 16, 16, 0xFF00FF00u, 0.75f);
  EXPECT_EQ(px(3, 3), 0x00FF00u);
  // Depth test off: drawing order alone decides.
  clear(0xFF000000u);
  dev->SetRenderState(D3DRS_ZENABLE, FALSE);
  rect(0, 0, 16, 16, 0xFFFF0000u, 0.25f);
  rect(0, 0, 16, 16, 0xFF00FF00u, 0.75f);
  EXPECT_EQ(px(3, 3), 0x00FF00u);
}

TEST_F(Raster, DepthIsQuantisedToTheBufferFormat) {
  // Two depths closer than one 16-bit step compare equal in a D16 buffer
  // (LESS fails) but not in a D24X8 buffer.
  for (int d16 = 0; d16 < 2; d16++) {
    close();
    open(16, 16, d16 ? D3DFMT_D16 : D3DFMT_D24X8);
    dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    clear(0xFF000000u);
    rect(0, 0, 16, 16, 0xFFFF0000u, 32767.3f / 65535.0f);
    rect(0, 0, 16, 16, 0xFF00FF00u, 32767.1f / 65535.0f);
    EXPECT_EQ(px(5, 5), d16 ? 0xFF0000u : 0x00FF00u) << (d16 ? "D16" : "D24X8");
  }
}

// A camera at the origin looking along +z with a 90 degree field of view.
void camera(IDirect3DDevice9* dev, float zn = 1.0f, float zf = 100.0f) {
  D3DMATRIX id = mat_identity(), pr = mat_persp(1.0f, 1.0f, zn, zf);
  dev->SetTransform(D3DTS_WORLD, &id);
  dev->SetTransform(D3DTS_VIEW, &id);
  dev->SetTransform(D3DTS_PROJECTION, &pr);
  dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
}

TEST_F(Raster, ProjectionMapsTheViewVolumeOntoTheViewport) {
  camera(dev);
  // A quad filling the view volume at z = 10 covers every pixel and no more.
  V142 q[4] = {{-10, 10, 10, 0xFFFFFFFF, 0, 0},
               {10, 10, 10, 0xFFFFFFFF, 0, 0},
               {-10, -10, 10, 0xFFFFFFFF, 0, 0},
               {10, -10, 10, 0xFFFFFFFF, 0, 0}};
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V142)), D3D_OK);
  EXPECT_EQ(mask().find('.'), std::string::npos);
  // The right half of the view (x >= 0): NDC 0 maps to x = 8 exactly, the
  // centre of pixel 8, which a left edge keeps.
  clear(0xFF000000u);
  V142 r[4] = {{0, 10, 10, 0xFFFFFFFF, 0, 0},
               {10, 10, 10, 0xFFFFFFFF, 0, 0},
               {0, -10, 10, 0xFFFFFFFF, 0, 0},
               {10, -10, 10, 0xFFFFFFFF, 0, 0}};
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, r, sizeof(V142));
  std::string m = mask();
  for (int x = 0; x < 16; x++) EXPECT_EQ(m[5 * 17 + x] == '#', x >= 8) << x << "\n" << m;
  // A viewport moves and scales the picture, and nothing lands outside it.
  clear(0xFF000000u);
  D3DVIEWPORT9 vp = {4, 2, 8, 6, 0.0f, 1.0f};
  ASSERT_EQ(dev->SetViewport(&vp), D3D_OK);
  V142 big[4] = {{-50, 50, 10, 0xFFFFFFFF, 0, 0},
                 {50, 50, 10, 0xFFFFFFFF, 0, 0},
                 {-50, -50, 10, 0xFFFFFFFF, 0, 0},
                 {50, -50, 10, 0xFFFFFFFF, 0, 0}};
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, big, sizeof(V142));
  m = mask();
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++)
      EXPECT_EQ(m[(size_t)y * 17 + x] == '#', x >= 4 && x < 12 && y >= 2 && y < 8) << x << "," << y << "\n" << m;
}

TEST_F(Raster, NearPlaneClipsATriangleThatCrossesTheCamera) {
  camera(dev, 1.0f, 100.0f);
  // A floor triangle running from behind the camera to far ahead: only the
  // part beyond the near plane (z >= 1) is drawn, and nothing wraps around.
  V142 t[3] = {{-40, -1, -20, 0xFFFFFFFF, 0, 0}, {40, -1, -20, 0xFFFFFFFF, 0, 0}, {0, -1, 60, 0xFFFFFFFF, 0, 0}};
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t, sizeof(V142)), D3D_OK);
  std::string m = mask();
  // The floor at y = -1 is seen below the horizon only: rows above the
  // centre stay empty, the bottom row is filled.
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 16; x++) EXPECT_EQ(m[(size_t)y * 17 + x], '.') << x << "," << y << "\n" << m;
  EXPECT_EQ(m[15 * 17 + 8], '#') << m;
  // Colours interpolate across the cut as in clip space: a triangle whose
  // colour runs from red (behind) to blue (ahead) shows the blend at the
  // near plane, not the colour of the vertex behind the camera.
  clear(0xFF000000u);
  V142 c[3] = {{-40, -1, -20, 0xFFFF0000u, 0, 0}, {40, -1, -20, 0xFFFF0000u, 0, 0}, {0, -1, 60, 0xFF0000FFu, 0, 0}};
  dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, c, sizeof(V142));
  uint32_t bottom = px(8, 15);
  // the bottom row's centre sees the floor at z = 8/7, 21.14 parts of 80 towards blue
  EXPECT_NEAR(ch_b(bottom), 255 * (20 + 8.0 / 7) / 80, 2);
  EXPECT_NEAR(ch_r(bottom), 255 * (1 - (20 + 8.0 / 7) / 80), 2);
  // Geometry entirely behind the camera or beyond the far plane draws nothing.
  clear(0xFF000000u);
  V142 behind[3] = {{-5, -5, -3, 0xFFFFFFFF, 0, 0}, {5, -5, -3, 0xFFFFFFFF, 0, 0}, {0, 5, -3, 0xFFFFFFFF, 0, 0}};
  V142 beyond[3] = {{-5, -5, 300, 0xFFFFFFFF, 0, 0}, {5, -5, 300, 0xFFFFFFFF, 0, 0}, {0, 5, 300, 0xFFFFFFFF, 0, 0}};
  dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, behind, sizeof(V142));
  dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, beyond, sizeof(V142));
  EXPECT_EQ(mask().find('#'), std::string::npos);
}

TEST_F(Raster, HugeTrianglesAreClippedToTheTarget) {
  // Screen-space and view-space triangles far larger than the guard band
  // still cover exactly the target.
  V144 v[3] = {{-1e7f, -1e7f, 0, 1, 0xFFFFFFFF, 0, 0}, {1e7f, -1e7f, 0, 1, 0xFFFFFFFF, 0, 0},
               {0, 1e7f, 0, 1, 0xFFFFFFFF, 0, 0}};
  tri144(v, 3);
  EXPECT_EQ(mask().find('.'), std::string::npos);
  clear(0xFF000000u);
  camera(dev);
  V142 t[3] = {{-1e6f, -1e6f, 5, 0xFFFFFFFF, 0, 0}, {1e6f, -1e6f, 5, 0xFFFFFFFF, 0, 0}, {0, 1e6f, 5, 0xFFFFFFFF, 0, 0}};
  dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t, sizeof(V142));
  EXPECT_EQ(mask().find('.'), std::string::npos);
}

}  // namespace
