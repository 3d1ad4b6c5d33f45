// What colour a covered pixel gets: fog, lighting, texture stages, alpha
// test, blending, sampling and mip levels. Expected values follow from the
// Direct3D 9 rules (with the rounding the reference pipeline measurably uses).
#include <math.h>

#include "soft_util.h"

namespace {

class Shade : public ::testing::Test, public SoftFixture {
 protected:
  void SetUp() override { open(32, 32); }
  void TearDown() override {
    close();
    EXPECT_EQ(soft_live_objects(), 0);
  }

  // An orthographic view of the box -16..16 (x, y), 0..100 (z): view-space z
  // is the vertex z, so fog distances are exact.
  void ortho() {
    D3DMATRIX id = mat_identity(), pr = mat_identity();
    pr._11 = 1.0f / 16.0f;
    pr._22 = 1.0f / 16.0f;
    pr._33 = 1.0f / 100.0f;
    dev->SetTransform(D3DTS_WORLD, &id);
    dev->SetTransform(D3DTS_VIEW, &id);
    dev->SetTransform(D3DTS_PROJECTION, &pr);
  }

  // A full-view quad at depth z (constant), XYZ | DIFFUSE | TEX1.
  void wall(float z, uint32_t c, float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1) {
    V142 q[4] = {{-16, 16, z, c, u0, v0}, {16, 16, z, c, u1, v0}, {-16, -16, z, c, u0, v1}, {16, -16, z, c, u1, v1}};
    dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V142)), D3D_OK);
  }

  void fog(uint32_t colour, float start, float end) {
    dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
    dev->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    dev->SetRenderState(D3DRS_FOGCOLOR, colour);
    dev->SetRenderState(D3DRS_FOGSTART, fbits(start));
    dev->SetRenderState(D3DRS_FOGEND, fbits(end));
  }

  // Stage 0 as the game sets it: texture x diffuse, colour and alpha.
  void modulate_stage() {
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  }

  void tint(uint32_t factor) {
    dev->SetRenderState(D3DRS_TEXTUREFACTOR, factor);
    dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dev->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    dev->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    dev->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
  }
};

int round_half_up(double v) { return (int)floor(v + 0.5); }

TEST_F(Shade, LinearFogByViewDepth) {
  ortho();
  fog(0xFF00FF80u, 20.0f, 60.0f);
  const uint32_t c = 0xFFC86432u;  // (200, 100, 50)
  struct Case {
    float z;
    double f;  // fraction of the vertex colour left
  } cases[] = {{10, 1.0}, {20, 1.0}, {30, 0.75}, {40, 0.5}, {55, 0.125}, {60, 0.0}, {90, 0.0}};
  for (const Case& k : cases) {
    clear(0xFF000000u);
    wall(k.z, c);
    uint32_t p = px(16, 16);
    EXPECT_EQ(ch_r(p), round_half_up(200 * k.f)) << "depth " << k.z;
    EXPECT_EQ(ch_g(p), round_half_up(100 * k.f + 255 * (1 - k.f))) << "depth " << k.z;
    EXPECT_EQ(ch_b(p), round_half_up(50 * k.f + 128 * (1 - k.f))) << "depth " << k.z;
  }
  // The factor is clamped per pixel, not per vertex: a floor from depth 0 to
  // 40 with fog from 20 to 40 is untouched over its near half and ramps over
  // its far half.
  clear(0xFF000000u);
  fog(0xFF000000u, 20.0f, 40.0f);
  V142 floor[4] = {{-16, 16, 0, 0xFFFFFFFFu, 0, 0}, {16, 16, 40, 0xFFFFFFFFu, 0, 0},
                   {-16, -16, 0, 0xFFFFFFFFu, 0, 0}, {16, -16, 40, 0xFFFFFFFFu, 0, 0}};
  dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, floor, sizeof(V142));
  std::vector<uint32_t> p = read();
  for (int x = 0; x < 32; x++) {
    double z = 40.0 * x / 32.0;  // depth under pixel x: the view volume's edges map to pixel centres 0 and 32
    double f = z < 20 ? 1.0 : (40 - z) / 20;
    EXPECT_NEAR(ch_r(p[16 * 32 + x]), 255 * f, 2.0) << "column " << x;
  }
  // Fog leaves alpha alone: a fully fogged alpha-tested wall still draws.
  clear(0xFF000000u);
  fog(0xFF00FF00u, 1.0f, 2.0f);
  dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  dev->SetRenderState(D3DRS_ALPHAREF, 128);
  dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  wall(50, 0xC8FF0000u);
  EXPECT_EQ(px(5, 5), 0x00FF00u);
}

TEST_F(Shade, DirectionalLightAndAmbient) {
  ortho();
  dev->SetRenderState(D3DRS_LIGHTING, TRUE);
  dev->SetRenderState(D3DRS_AMBIENT, 0xFF283C50u);  // (40, 60, 80)
  dev->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
  dev->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
  D3DMATERIAL9 m;
  memset(&m, 0, sizeof m);
  m.Diffuse.r = m.Diffuse.g = m.Diffuse.b = m.Diffuse.a = 1;
  m.Ambient = m.Diffuse;
  dev->SetMaterial(&m);
  D3DLIGHT9 l;
  memset(&l, 0, sizeof l);
  l.Type = D3DLIGHT_DIRECTIONAL;
  l.Diffuse.r = 200 / 255.0f, l.Diffuse.g = 180 / 255.0f, l.Diffuse.b = 160 / 255.0f;
  l.Direction.z = 1;  // travels away from the viewer: lights faces turned to it
  ASSERT_EQ(dev->SetLight(0, &l), D3D_OK);
  ASSERT_EQ(dev->LightEnable(0, TRUE), D3D_OK);
  dev->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  auto shade = [&](float nx, float ny, float nz, uint32_t c) {
    V152 q[4] = {{-16, 16, 10, nx, ny, nz, c, 0, 0},
                 {16, 16, 10, nx, ny, nz, c, 0, 0},
                 {-16, -16, 10, nx, ny, nz, c, 0, 0},
                 {16, -16, 10, nx, ny, nz, c, 0, 0}};
    clear(0xFF000000u);
    EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V152)), D3D_OK);
    return px(16, 16);
  };
  // N.L = 1, 0.8, 0.5 and facing away: sun x N.L plus ambient, white vertex.
  EXPECT_EQ(shade(0, 0, -1, 0xFFFFFFFFu), 0xF0F0F0u);
  EXPECT_EQ(shade(0.6f, 0, -0.8f, 0xFFFFFFFFu), 0xC8CCD0u);  // (200, 204, 208)
  EXPECT_EQ(shade(0, 0.8660254f, -0.5f, 0xFFFFFFFFu), 0x8C96A0u);
  EXPECT_EQ(shade(0, 0, 1, 0xFFFFFFFFu), 0x283C50u);
  // The vertex colour scales it: (128, 192, 64) x 240/255.
  EXPECT_EQ(shade(0, 0, -1, 0xFF80C040u), 0x78B53Cu);
  // Normals go through the inverse transpose of the world matrix: a world
  // scale of 2 halves N.L unless normals are renormalised; a scale of 1/2
  // doubles it, and N.L is clamped at 1.
  D3DMATRIX s2 = mat_identity();
  s2._11 = s2._22 = s2._33 = 2.0f;
  dev->SetTransform(D3DTS_WORLD, &s2);
  uint32_t half = shade(0, 0, -0.5f, 0xFFFFFFFFu);  // the quad is twice as big: still covers the centre
  EXPECT_EQ(half, 0x5A6978u) << std::hex << half;   // ambient + sun x 0.25: (90, 105, 120)
  dev->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  EXPECT_EQ(shade(0, 0, -0.5f, 0xFFFFFFFFu), 0xF0F0F0u);
  dev->SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
  D3DMATRIX sh = mat_identity();
  sh._11 = sh._22 = sh._33 = 0.5f;
  dev->SetTransform(D3DTS_WORLD, &sh);
  V152 q[4] = {{-40, 40, 20, 0, 0, -1, 0xFFFFFFFFu, 0, 0},
               {40, 40, 20, 0, 0, -1, 0xFFFFFFFFu, 0, 0},
               {-40, -40, 20, 0, 0, -1, 0xFFFFFFFFu, 0, 0},
               {40, -40, 20, 0, 0, -1, 0xFFFFFFFFu, 0, 0}};
  clear(0xFF000000u);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V152));
  EXPECT_EQ(px(16, 16), 0xF0F0F0u);  // N.L = 2 counts as 1
  D3DMATRIX id = mat_identity();
  dev->SetTransform(D3DTS_WORLD, &id);
  // Alpha is the vertex alpha; lighting off passes the vertex colour, and
  // screen-space vertices are never lit.
  dev->SetRenderState(D3DRS_LIGHTING, FALSE);
  EXPECT_EQ(shade(0, 0, 1, 0xFF123456u), 0x123456u);
  dev->SetRenderState(D3DRS_LIGHTING, TRUE);
  clear(0xFF000000u);
  rect(0, 0, 32, 32, 0xFF123456u);
  EXPECT_EQ(px(3, 3), 0x123456u);
}

TEST_F(Shade, AlphaTestAt127And128) {
  dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  dev->SetRenderState(D3DRS_ALPHAREF, 128);
  dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  dev->SetRenderState(D3DRS_ZENABLE, FALSE);
  rect(0, 0, 16, 32, 0x7FFF0000u);   // 127: discarded
  rect(16, 0, 32, 32, 0x80FF0000u);  // 128: kept
  EXPECT_EQ(px(8, 8), 0x000000u);
  EXPECT_EQ(px(24, 8), 0xFF0000u);
  // The test sees texture alpha x vertex alpha before rounding: 129 x 253 /
  // 255 = 127.99 fails although it rounds to 128; 191 x 171 / 255 = 128.08 passes.
  modulate_stage();
  IDirect3DTexture9* t = texture(2, 1, {{0x81FFFFFFu, 0xBFFFFFFFu}});
  dev->SetTexture(0, t);
  clear(0xFF000000u);
  V144 a[4] = {{-0.5f, -0.5f, 0, 1, 0xFDFFFFFFu, 0.25f, 0.5f}, {31.5f, -0.5f, 0, 1, 0xFDFFFFFFu, 0.25f, 0.5f},
               {-0.5f, 15.5f, 0, 1, 0xFDFFFFFFu, 0.25f, 0.5f}, {31.5f, 15.5f, 0, 1, 0xFDFFFFFFu, 0.25f, 0.5f}};
  tri144(a, 4, D3DPT_TRIANGLESTRIP);
  V144 b[4] = {{-0.5f, 15.5f, 0, 1, 0xABFFFFFFu, 0.75f, 0.5f}, {31.5f, 15.5f, 0, 1, 0xABFFFFFFu, 0.75f, 0.5f},
               {-0.5f, 31.5f, 0, 1, 0xABFFFFFFu, 0.75f, 0.5f}, {31.5f, 31.5f, 0, 1, 0xABFFFFFFu, 0.75f, 0.5f}};
  tri144(b, 4, D3DPT_TRIANGLESTRIP);
  EXPECT_EQ(px(8, 8), 0x000000u);
  EXPECT_EQ(px(8, 24), 0xFFFFFFu);
  dev->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(Shade, BlendingInEightBitSteps) {
  dev->SetRenderState(D3DRS_ZENABLE, FALSE);
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  auto over = [&](uint32_t dst, uint32_t src) {
    clear(dst);
    rect(0, 0, 32, 32, src);
    return px(4, 4);
  };
  // SRCALPHA / INVSRCALPHA: each product rounded on its own, then added.
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  EXPECT_EQ(ch_r(over(0xFF000000u, 0x80FF0000u)), 128);  // 255 over 0 at 128
  EXPECT_EQ(ch_r(over(0xFFFF0000u, 0x80000000u)), 127);  // 0 over 255
  EXPECT_EQ(ch_r(over(0xFFFE0000u, 0x80010000u)), 128);  // 1 + 127
  EXPECT_EQ(ch_r(over(0xFF640000u, 0xC0C80000u)), 176);  // 151 + 25, not round(175.29)
  // 152 x 229 / 255 = 136.502: the reference pipeline's products give 136
  EXPECT_EQ(ch_r(over(0xFF000000u, 0xE5980000u)), 136);
  EXPECT_EQ(ch_g(over(0xFF00C800u, 0xFF003200u)), 50);  // opaque replaces
  EXPECT_EQ(ch_g(over(0xFF00C800u, 0x00003200u)), 200);  // transparent keeps
  // SRCALPHA / ONE: additive glow, saturating.
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  EXPECT_EQ(ch_r(over(0xFF640000u, 0x80C80000u)), 100 + 100);
  EXPECT_EQ(ch_r(over(0xFFC80000u, 0xFFC80000u)), 255);
  // ONE / ONE.
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  EXPECT_EQ(over(0xFF102030u, 0x00203040u), 0x305070u);
  // Blending off: the source alpha does not matter.
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  EXPECT_EQ(over(0xFF102030u, 0x00203040u), 0x203040u);
}

TEST_F(Shade, TintStageAndTextureBoundOrNot) {
  dev->SetRenderState(D3DRS_ZENABLE, FALSE);
  modulate_stage();
  IDirect3DTexture9* t = texture(1, 1, {{0xFFC86432u}});  // (200, 100, 50)
  dev->SetTexture(0, t);
  // texture x vertex, rounded once
  rect(0, 0, 32, 32, 0xFF64C896u);  // (100, 200, 150)
  EXPECT_EQ(px(3, 3), ((uint32_t)round_half_up(200 * 100 / 255.0) << 16) |
                          ((uint32_t)round_half_up(100 * 200 / 255.0) << 8) | (uint32_t)round_half_up(50 * 150 / 255.0));
  // texture x vertex x factor, still rounded once: (39, 39, 15)
  tint(0x00808080u);
  rect(0, 0, 32, 32, 0xFF64C896u);
  EXPECT_EQ(px(3, 3), 0x27270Fu);
  // the factor's alpha is not used: a vertex alpha of 255 stays opaque
  dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  dev->SetRenderState(D3DRS_ALPHAREF, 255);
  dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_EQUAL);
  clear(0xFF000000u);
  rect(0, 0, 32, 32, 0xFF64C896u);
  EXPECT_NE(px(3, 3), 0u);
  dev->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  // No texture: stage 0 passes the diffuse colour, whatever its operation,
  // and the tint after it still applies.
  dev->SetTexture(0, nullptr);
  rect(0, 0, 32, 32, 0xFFC86432u);
  EXPECT_EQ(px(3, 3), 0x643219u);  // (200, 100, 50) x 0x80
  tint(0x0080FF40u);
  rect(0, 0, 32, 32, 0xFFC86432u);
  EXPECT_EQ(px(3, 3), 0x64640Du);  // (100, 100, 13)
  dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  rect(0, 0, 32, 32, 0xFF123456u);
  EXPECT_EQ(px(3, 3), 0x123456u);
  // With the texture bound, SELECTARG1(TEXTURE) ignores the vertex.
  dev->SetTexture(0, t);
  rect(0, 0, 32, 32, 0xFF123456u);
  EXPECT_EQ(px(3, 3), 0xC86432u);
  dev->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(Shade, PointSamplingAndAddressModes) {
  dev->SetRenderState(D3DRS_ZENABLE, FALSE);
  modulate_stage();
  const uint32_t row[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  IDirect3DTexture9* t = texture(4, 1, {{row[0], row[1], row[2], row[3]}});
  dev->SetTexture(0, t);
  // 4 texels over 32 pixels: pixel x samples floor((x + 0.5) / 8).
  rect(0, 0, 32, 32, 0xFFFFFFFFu);
  std::vector<uint32_t> p = read();
  for (int x = 0; x < 32; x++) EXPECT_EQ(p[5 * 32 + x] | 0xFF000000u, row[x / 8]) << x;
  // A coordinate exactly on a texel edge takes the higher texel.
  clear(0xFF000000u);
  V144 e[4] = {{-0.5f, -0.5f, 0, 1, 0xFFFFFFFFu, 0.25f, 0}, {31.5f, -0.5f, 0, 1, 0xFFFFFFFFu, 0.25f, 0},
               {-0.5f, 31.5f, 0, 1, 0xFFFFFFFFu, 0.25f, 1}, {31.5f, 31.5f, 0, 1, 0xFFFFFFFFu, 0.25f, 1}};
  tri144(e, 4, D3DPT_TRIANGLESTRIP);
  EXPECT_EQ(px(7, 7), 0x00FF00u);
  // Coordinates from -1 to 2: WRAP repeats the texture three times, CLAMP
  // stretches the edge texels.
  V144 w[4] = {{-0.5f, -0.5f, 0, 1, 0xFFFFFFFFu, -1, 0}, {23.5f, -0.5f, 0, 1, 0xFFFFFFFFu, 2, 0},
               {-0.5f, 31.5f, 0, 1, 0xFFFFFFFFu, -1, 1}, {23.5f, 31.5f, 0, 1, 0xFFFFFFFFu, 2, 1}};
  for (int clampMode = 0; clampMode < 2; clampMode++) {
    DWORD mode = clampMode ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP;
    dev->SetSamplerState(0, D3DSAMP_ADDRESSU, mode);
    dev->SetSamplerState(0, D3DSAMP_ADDRESSV, mode);
    clear(0xFF000000u);
    tri144(w, 4, D3DPT_TRIANGLESTRIP);
    p = read();
    for (int x = 0; x < 24; x++) {
      int texel = (int)floor(-4.0 + 12.0 * (x + 0.5) / 24.0);  // texel index of the coordinate
      int expect = clampMode ? (texel < 0 ? 0 : (texel > 3 ? 3 : texel)) : ((texel % 4) + 4) % 4;
      EXPECT_EQ(p[5 * 32 + x] | 0xFF000000u, row[expect]) << (clampMode ? "clamp " : "wrap ") << x;
    }
  }
  dev->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(Shade, MipLevelIsTheNearestToTheFootprint) {
  dev->SetRenderState(D3DRS_ZENABLE, FALSE);
  modulate_stage();
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
  // 32 x 32 with 6 levels, each level one colour.
  const uint32_t colour[6] = {0xFF000000u, 0xFF0000FFu, 0xFF00FF00u, 0xFF00FFFFu, 0xFFFF0000u, 0xFFFF00FFu};
  std::vector<std::vector<uint32_t>> lv;
  for (int l = 0; l < 6; l++) lv.push_back(std::vector<uint32_t>((size_t)(32 >> l) * (32 >> l), colour[l]));
  IDirect3DTexture9* t = texture(32, 32, lv);
  dev->SetTexture(0, t);
  // A screen quad w pixels wide showing the whole texture has a footprint of
  // 32 / w texels per pixel; the level switches at sqrt(2) x 2^k.
  struct Case {
    float w;
    int level;
  } cases[] = {{32, 0}, {64, 0}, {23, 0}, {22.5f, 1}, {16, 1}, {12, 1}, {11, 2}, {8, 2}, {4, 3}, {1, 5}};
  for (const Case& k : cases) {
    clear(0xFF808080u);
    V144 q[4] = {{-0.5f, -0.5f, 0, 1, 0xFFFFFFFFu, 0, 0}, {k.w - 0.5f, -0.5f, 0, 1, 0xFFFFFFFFu, 1, 0},
                 {-0.5f, k.w - 0.5f, 0, 1, 0xFFFFFFFFu, 0, 1}, {k.w - 0.5f, k.w - 0.5f, 0, 1, 0xFFFFFFFFu, 1, 1}};
    tri144(q, 4, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(px(0, 0) | 0xFF000000u, colour[k.level]) << "width " << k.w;
  }
  // In perspective the level grows with distance along a floor.
  D3DMATRIX id = mat_identity(), pr = mat_persp(1.0f, 1.0f, 0.5f, 100.0f);
  dev->SetTransform(D3DTS_WORLD, &id);
  dev->SetTransform(D3DTS_VIEW, &id);
  dev->SetTransform(D3DTS_PROJECTION, &pr);
  V142 fl[4] = {{-4, -1, 1, 0xFFFFFFFFu, 0, 0}, {4, -1, 1, 0xFFFFFFFFu, 1, 0},
                {-4, -1, 60, 0xFFFFFFFFu, 0, 30}, {4, -1, 60, 0xFFFFFFFFu, 1, 30}};
  clear(0xFF808080u);
  dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, fl, sizeof(V142));
  std::vector<uint32_t> p = read();
  int prev = 0;
  for (int y = 31; y > 16; y--) {  // from the bottom of the view towards the horizon
    uint32_t c = p[(size_t)y * 32 + 16] | 0xFF000000u;
    int level = -1;
    for (int l = 0; l < 6; l++)
      if (c == colour[l]) level = l;
    ASSERT_GE(level, 0) << "row " << y;
    EXPECT_GE(level, prev) << "row " << y;
    prev = level;
  }
  EXPECT_GE(prev, 3);
  // Without a mip filter only the first level is used.
  dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  clear(0xFF808080u);
  rect(0, 0, 4, 4, 0xFFFFFFFFu);
  EXPECT_EQ(px(1, 1) | 0xFF000000u, colour[0]);
  dev->SetTexture(0, nullptr);
  t->Release();
}

TEST_F(Shade, TargetTextureBindsAsTexture) {
  // Draw into the target, then sample it onto a second target through the
  // magnification the game uses: exact 2 x 2 blocks and clamped edges.
  rect(0, 0, 32, 32, 0xFF000000u);
  rect(0, 0, 1, 1, 0xFFFF0000u);
  rect(31, 31, 32, 32, 0xFF0000FFu);
  rect(10, 20, 11, 21, 0xFF00FF00u);
  IDirect3DTexture9* big = nullptr;
  ASSERT_EQ(dev->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &big, nullptr),
            D3D_OK);
  IDirect3DSurface9* bigSurf = nullptr;
  big->GetSurfaceLevel(0, &bigSurf);
  dev->SetRenderTarget(0, bigSurf);
  dev->SetDepthStencilSurface(nullptr);
  dev->SetRenderState(D3DRS_ZENABLE, FALSE);
  dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  dev->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
  dev->SetTexture(0, rtTex);
  V144 q[4] = {{-0.5f, -0.5f, 0, 1, 0xFFFFFFFFu, 0, 0}, {63.5f, -0.5f, 0, 1, 0xFFFFFFFFu, 1, 0},
               {-0.5f, 63.5f, 0, 1, 0xFFFFFFFFu, 0, 1}, {63.5f, 63.5f, 0, 1, 0xFFFFFFFFu, 1, 1}};
  tri144(q, 4, D3DPT_TRIANGLESTRIP);
  dev->SetTexture(0, nullptr);
  IDirect3DSurface9* sys64 = nullptr;
  dev->CreateOffscreenPlainSurface(64, 64, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &sys64, nullptr);
  ASSERT_EQ(dev->GetRenderTargetData(bigSurf, sys64), D3D_OK);
  D3DLOCKED_RECT lr;
  sys64->LockRect(&lr, nullptr, 0);
  auto at = [&](int x, int y) { return ((uint32_t*)((char*)lr.pBits + y * lr.Pitch))[x] & 0xFFFFFFu; };
  EXPECT_EQ(at(0, 0), 0xFF0000u);
  EXPECT_EQ(at(1, 1), 0xFF0000u);
  EXPECT_EQ(at(2, 2), 0x000000u);
  EXPECT_EQ(at(63, 63), 0x0000FFu);
  EXPECT_EQ(at(62, 62), 0x0000FFu);
  EXPECT_EQ(at(20, 40), 0x00FF00u);
  EXPECT_EQ(at(21, 41), 0x00FF00u);
  EXPECT_EQ(at(22, 41), 0x000000u);
  sys64->UnlockRect();
  sys64->Release();
  bigSurf->Release();
  big->Release();
}

}  // namespace
