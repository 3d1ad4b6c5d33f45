// Composite scenes: what a game frame is made of, drawn with the device
// calls the graphics layer makes. A lit, fogged, textured world at the
// game's 320x240; a 2D screen over a blended panel; and the magnification
// of a low-resolution target onto a larger one with black bars.
#include <math.h>
#include <string.h>

#include "cf_scenes.h"

static uint32_t hash32(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352du;
  x ^= x >> 15;
  x *= 0x846ca68bu;
  x ^= x >> 16;
  return x;
}

static uint32_t texel_grass(int level, int x, int y, int, int) {
  uint32_t h = hash32((uint32_t)(level * 65536 + y * 256 + x));
  uint32_t g = 120 + (h & 63), r = 50 + ((h >> 8) & 31), b = 30 + ((h >> 16) & 15);
  return cf_argb(255, r, g, b);
}

static uint32_t texel_road(int, int x, int y, int w, int) {
  if (x == 0 || x == w - 1) return 0xFFE0E0E0u;
  if (x == w / 2 && (y & 4)) return 0xFFF0D020u;
  uint32_t h = hash32((uint32_t)(y * 64 + x)) & 15;
  return cf_argb(255, 70 + h, 70 + h, 76 + h);
}

static uint32_t texel_leaves(int, int x, int y, int, int) {
  int dx = x - 8, dy = y - 8;
  uint32_t h = hash32((uint32_t)(y * 16 + x));
  if (dx * dx + dy * dy > 56 || (h & 7) == 0) return 0x00000000u;
  return cf_argb(255, 30 + (h >> 8 & 31), 110 + (h >> 16 & 63), 30);
}

static uint32_t texel_glow(int, int x, int y, int, int) {
  int dx = 2 * x - 15, dy = 2 * y - 15, d = dx * dx + dy * dy;
  uint32_t a = d >= 225 ? 0 : (uint32_t)(255 - d * 255 / 225);
  return cf_argb(a, 255, 230, 160);
}

static float terrain_h(int i, int j) {
  if (i >= 5 && i <= 7) return 0;  // the road's flat strip
  return 0.35f * (float)((i * 7 + j * 13) % 5) - 0.2f;
}

// A box as the game's model builder makes them: 24 vertices, one normal per face.
static int make_box(CfV152* v, uint16_t* idx, uint32_t colour, float sx, float sy, float sz) {
  static const float n[6][3] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
  int nv = 0, ni = 0;
  for (int f = 0; f < 6; f++) {
    // two axes spanning the face, chosen so the corners run clockwise seen from outside
    float nx = n[f][0], ny = n[f][1], nz = n[f][2];
    float ux = ny != 0 ? 1.0f : -nz, uy = 0, uz = ny != 0 ? 0.0f : nx;
    float wx = ny * uz - nz * uy, wy = nz * ux - nx * uz, wz = nx * uy - ny * ux;  // n x u
    for (int k = 0; k < 4; k++) {
      float a = (k == 1 || k == 2) ? 1.0f : -1.0f, b = (k >= 2) ? 1.0f : -1.0f;
      CfV152& p = v[nv + k];
      p.x = (nx + a * ux + b * wx) * sx;
      p.y = (ny + a * uy + b * wy) * sy;
      p.z = (nz + a * uz + b * wz) * sz;
      p.nx = nx, p.ny = ny, p.nz = nz;
      p.c = colour;
      p.u = a > 0 ? 1.0f : 0.0f;
      p.v = b > 0 ? 0.0f : 1.0f;
    }
    uint16_t b0 = (uint16_t)nv;
    uint16_t q[6] = {b0, (uint16_t)(b0 + 1), (uint16_t)(b0 + 2), b0, (uint16_t)(b0 + 2), (uint16_t)(b0 + 3)};
    memcpy(idx + ni, q, sizeof q);
    nv += 4;
    ni += 6;
  }
  return ni;
}

static CfMat rot_y(float cs, float sn) {
  CfMat r = cf_identity();
  r.m[0] = cs, r.m[2] = -sn, r.m[8] = sn, r.m[10] = cs;
  return r;
}

static void world(CfCtx* c) {
  const uint32_t sky = 0xFF8CB4E0u;
  cf_set_transform(c, 2, cf_persp(1.5f, (float)c->w / (float)c->h, 0.5f, 300.0f));
  cf_set_transform(c, 1, cf_look_at(2.0f, 6.0f, -12.0f, 0, 1.0f, 24));
  cf_fog(c, sky, 20.0f, 70.0f);
  cf_sun(c, -0.4f, -1.0f, 0.5f, 0xFFF0E0C0u, 0x00404858u);

  // terrain: a 12x12 grid of cells, 5 m each, front faces up
  enum { N = 13 };
  static CfV152 g[N * N];
  static uint16_t gi[12 * 12 * 6];
  for (int j = 0; j < N; j++)
    for (int i = 0; i < N; i++) {
      CfV152& p = g[j * N + i];
      p.x = -30.0f + 5.0f * (float)i;
      p.z = -4.0f + 5.0f * (float)j;
      p.y = terrain_h(i, j);
      float dx = terrain_h(i < N - 1 ? i + 1 : i, j) - terrain_h(i > 0 ? i - 1 : i, j);
      float dz = terrain_h(i, j < N - 1 ? j + 1 : j) - terrain_h(i, j > 0 ? j - 1 : j);
      float nx = -dx / 10.0f, ny = 1.0f, nz = -dz / 10.0f, l = sqrtf(nx * nx + ny * ny + nz * nz);
      p.nx = nx / l, p.ny = ny / l, p.nz = nz / l;
      uint32_t h = hash32((uint32_t)(j * N + i)) & 31;
      p.c = cf_argb(255, 224 + h, 224 + h, 255 - h);
      p.u = p.x / 4.0f + 0.0131f;  // off round values: no texel edge exactly on a pixel centre
      p.v = p.z / 4.0f + 0.0173f;
    }
  int n = 0;
  for (int j = 0; j < N - 1; j++)
    for (int i = 0; i < N - 1; i++) {
      uint16_t a = (uint16_t)(j * N + i), b = (uint16_t)(a + 1), d = (uint16_t)(a + N), e = (uint16_t)(a + N + 1);
      // corners a (near left), d (far left), e (far right), b (near right): clockwise seen from above
      gi[n++] = a, gi[n++] = d, gi[n++] = e;
      gi[n++] = a, gi[n++] = e, gi[n++] = b;
    }
  IDirect3DTexture9* grass = cf_texture(c, 32, 32, 6, texel_grass);
  IDirect3DVertexBuffer9* gvb = cf_vbuffer(c, g, sizeof g, CF_FVF152);
  IDirect3DIndexBuffer9* gib = cf_ibuffer(c, gi, n);
  if (!gvb || !gib) return;
  cf_bind(c, grass);
  c->dev->SetFVF(CF_FVF152);
  c->dev->SetStreamSource(0, gvb, 0, sizeof(CfV152));
  c->dev->SetIndices(gib);
  c->dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, N * N, 0, (UINT)(n / 3));

  // the road: a strip lifted a little, drawn with DrawPrimitiveUP
  IDirect3DTexture9* road = cf_texture(c, 16, 16, 5, texel_road);
  cf_bind(c, road);
  CfV152 r[20];
  for (int k = 0; k < 10; k++) {
    float z = -4.0f + 6.0f * (float)k, bend = 0.02f * (float)(k * k);
    for (int s = 0; s < 2; s++) {
      CfV152& p = r[k * 2 + s];
      p.x = (s ? -3.0f : 3.0f) + bend;
      p.y = 0.02f;
      p.z = z;
      p.nx = 0, p.ny = 1, p.nz = 0;
      p.c = 0xFFFFFFFFu;
      p.u = s ? 0.0117f : 1.0117f;
      p.v = (float)k * 1.5f + 0.0093f;
    }
  }
  cf_draw_up(c, CF_FVF152, D3DPT_TRIANGLESTRIP, 18, r, sizeof r[0]);

  // boxes from one indexed mesh with world matrices, one of them tinted
  CfV152 bv[24];
  uint16_t bi[36];
  make_box(bv, bi, 0xFFFFFFFFu, 1.0f, 1.0f, 1.0f);
  IDirect3DVertexBuffer9* bvb = cf_vbuffer(c, bv, sizeof bv, CF_FVF152);
  IDirect3DIndexBuffer9* bib = cf_ibuffer(c, bi, 36);
  IDirect3DTexture9* crate = cf_texture(c, 8, 8, 4, cf_texel_checker);
  if (!bvb || !bib) return;
  cf_bind(c, crate);
  c->dev->SetStreamSource(0, bvb, 0, sizeof(CfV152));
  c->dev->SetIndices(bib);
  static const float boxes[5][6] = {
      // x, z, size, cos, sin, tint
      {-6.5f, 8, 1.2f, 1, 0, 0}, {6.0f, 14, 1.5f, 0.6f, 0.8f, 0}, {-9, 30, 2.5f, 0.8f, -0.6f, 0},
      {9, 45, 3, 0.28f, 0.96f, 0}, {-1.5f, 5, 0.7f, 0.96f, 0.28f, 1},
  };
  for (const auto& b : boxes) {
    CfMat w = cf_mul(cf_mul(cf_scale(b[2], b[2] * 0.8f, b[2]), rot_y(b[3], b[4])), cf_translate(b[0], b[2] * 0.8f, b[1]));
    cf_set_transform(c, 0, w);
    if (b[5] != 0) cf_tint(c, 0xFFFF6040u);
    c->dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 24, 0, 12);
    if (b[5] != 0) cf_tint(c, 0xFFFFFFFFu);
  }
  cf_set_transform(c, 0, cf_identity());

  // alpha-tested foliage, unlit, no culling (the game's layer 1)
  IDirect3DTexture9* leaves = cf_texture(c, 16, 16, 1, texel_leaves);
  cf_bind(c, leaves);
  cf_rs(c, D3DRS_LIGHTING, 0);
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  cf_blend(c, 0);
  for (int t = 0; t < 4; t++) {
    float x = t & 1 ? 7.5f : -8.0f, z = 12.0f + 9.0f * (float)t, s = 2.2f;
    CfV142 q[6] = {{x - s, 0, z, 0xFFFFFFFFu, 0, 1},         {x - s, 2 * s, z, 0xFFFFFFFFu, 0, 0},
                   {x + s, 2 * s, z, 0xFFFFFFFFu, 1, 0},     {x - s, 0, z, 0xFFFFFFFFu, 0, 1},
                   {x + s, 2 * s, z, 0xFFFFFFFFu, 1, 0},     {x + s, 0, z, 0xFFFFFFFFu, 1, 1}};
    cf_draw_up(c, CF_FVF142, D3DPT_TRIANGLELIST, 2, q, sizeof q[0]);
  }

  // additive glows: depth-tested, no depth writes (the effect layer)
  IDirect3DTexture9* glow = cf_texture(c, 16, 16, 1, texel_glow);
  cf_bind(c, glow);
  cf_blend(c, 2);
  cf_rs(c, D3DRS_ZWRITEENABLE, 0);
  for (int k = 0; k < 6; k++) {
    float x = k & 1 ? 3.5f : -3.5f, z = 6.0f + 8.0f * (float)(k / 2), y = 1.5f, s = 1.2f;
    uint32_t col = k < 2 ? 0xFFFFFFFFu : 0xC0FFC080u;
    CfV142 q[6] = {{x - s, y - s, z, col, 0, 1}, {x - s, y + s, z, col, 0, 0}, {x + s, y + s, z, col, 1, 0},
                   {x - s, y - s, z, col, 0, 1}, {x + s, y + s, z, col, 1, 0}, {x + s, y - s, z, col, 1, 1}};
    cf_draw_up(c, CF_FVF142, D3DPT_TRIANGLELIST, 2, q, sizeof q[0]);
  }
  cf_rs(c, D3DRS_ZWRITEENABLE, 1);
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_CCW);
  cf_rs(c, D3DRS_ALPHABLENDENABLE, 0);
  cf_rs(c, D3DRS_FOGENABLE, 0);
}


// A menu-like 2D screen: gradient, half-transparent panel, highlighted
// row, text with shadows, a tinted image, a border of lines, and
// rectangles partly off the target.
static void ui_screen(CfCtx* c) {
  cf_ui_states(c);
  CfV144 grad[4] = {{-0.5f, -0.5f, 0, 1, 0xFF103060u, 0, 0},
                    {(float)c->w - 0.5f, -0.5f, 0, 1, 0xFF103060u, 0, 0},
                    {-0.5f, (float)c->h - 0.5f, 0, 1, 0xFFE08040u, 0, 0},
                    {(float)c->w - 0.5f, (float)c->h - 0.5f, 0, 1, 0xFFE08040u, 0, 0}};
  cf_bind(c, c->white);
  cf_draw_up(c, CF_FVF144, D3DPT_TRIANGLESTRIP, 2, grad, sizeof grad[0]);
  IDirect3DTexture9* font = cf_font(c);
  cf_ui_rect(c, 20, 14, 120, 90, 0xA0000000u);
  cf_ui_rect(c, 22, 40, 116, 11, 0x60FFD040u);
  cf_text(c, font, 30, 20, 2, 0xFFFFFFFFu, "SETUP");
  cf_text(c, font, 28, 42, 1, 0xFFFFE060u, "Track   2");
  cf_text(c, font, 28, 54, 1, 0xFFC0C0C0u, "Laps    5\nCar     red");
  IDirect3DTexture9* img = cf_texture(c, 16, 16, 1, cf_texel_index);
  cf_ui_quad(c, img, 0xFFFF8080u, 104, 66, 136, 98, 0, 0, 1, 1);
  cf_ui_line(c, 20, 14, 139, 14, 0xFFFFFFFFu);
  cf_ui_line(c, 20, 103, 139, 103, 0xFFFFFFFFu);
  cf_ui_line(c, 20, 14, 20, 103, 0xFFFFFFFFu);
  cf_ui_rect(c, -6, 108, 30, 20, 0xC0FF0000u);
  cf_ui_rect(c, 150, -4, 20, 12, 0xC000FF00u);
  cf_text(c, font, 120, 110, 1, 0xFFFFFFFFu, "v1.0");
}

// The low-resolution frame and its magnification onto the back buffer, as
// the frame end does it: bars cleared black, one clamped, point-sampled
// quad from (upX - 0.5, upY - 0.5) to that plus the scaled size.
static void magnify(CfCtx* c, int lowW, int lowH) {
  IDirect3DTexture9* lowTex = nullptr;
  IDirect3DSurface9* low = nullptr;
  IDirect3DSurface9* lowDepth = nullptr;
  HRESULT hr = c->dev->CreateTexture(lowW, lowH, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &lowTex,
                                     nullptr);
  if (FAILED(hr) || !lowTex || c->ntex >= CF_MAX_RES || c->nsurf + 2 > CF_MAX_RES) {
    if (lowTex) lowTex->Release();
    cf_fail(c, "low-resolution target", hr);
    return;
  }
  c->tex[c->ntex++] = lowTex;
  lowTex->GetSurfaceLevel(0, &low);
  if (low) c->surf[c->nsurf++] = low;
  c->dev->CreateDepthStencilSurface(lowW, lowH, D3DFMT_D24X8, D3DMULTISAMPLE_NONE, 0, TRUE, &lowDepth, nullptr);
  if (lowDepth) c->surf[c->nsurf++] = lowDepth;
  if (!low || !lowDepth) {
    cf_fail(c, "low-resolution target surfaces", 0);
    return;
  }
  // the frame: pixel-exact 2D content (the 3D world is compared on its own),
  // every pixel different from its neighbours somewhere
  c->dev->SetRenderTarget(0, low);
  c->dev->SetDepthStencilSurface(lowDepth);
  cf_viewport(c, 0, 0, lowW, lowH);
  c->dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF8CB4E0u, 1.0f, 0);
  int w = c->w, h = c->h;
  cf_ui_states(c);
  IDirect3DTexture9* noise = cf_texture(c, 32, 32, 1, cf_texel_index);
  cf_ui_quad(c, noise, 0xFFFFFFFFu, 4, 12, 36, 44, 0, 0, 1, 1);
  cf_ui_quad(c, noise, 0xFFFFFFFFu, 40, 12, 72, 28, 0.25f, 0.5f, 0.75f, 0.75f);
  IDirect3DTexture9* font = cf_font(c);
  cf_text(c, font, 2, 2, 1, 0xFFFFFFFFu, "1/4 GO");
  cf_ui_rect(c, (float)lowW - 12, 2, 10, 4, 0xC0FF2020u);
  cf_ui_line(c, 40, 56, 76, 32, 0xFFFFFF00u);
  cf_defaults(c);

  // the magnification (scale and offsets as the frame end computes them)
  c->dev->SetRenderTarget(0, c->rt);
  c->dev->SetDepthStencilSurface(nullptr);
  cf_viewport(c, 0, 0, w, h);
  float s = fminf((float)w / (float)lowW, (float)h / (float)lowH), f = floorf(s);
  float scale = (f >= 1 && f / s > 0.88f) ? f : s;
  float upX = floorf(((float)w - (float)lowW * scale) * 0.5f), upY = floorf(((float)h - (float)lowH * scale) * 0.5f);
  if (upX > 0 || upY > 0) c->dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
  cf_rs(c, D3DRS_ZENABLE, 0);
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  cf_samp(c, 0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  cf_samp(c, 0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
  c->dev->SetTexture(0, lowTex);
  float x0 = upX - 0.5f, y0 = upY - 0.5f, x1 = x0 + (float)lowW * scale, y1 = y0 + (float)lowH * scale;
  CfV144 q[4] = {{x0, y0, 0, 1, 0xFFFFFFFFu, 0, 0},
                 {x1, y0, 0, 1, 0xFFFFFFFFu, 1, 0},
                 {x0, y1, 0, 1, 0xFFFFFFFFu, 0, 1},
                 {x1, y1, 0, 1, 0xFFFFFFFFu, 1, 1}};
  cf_draw_up(c, CF_FVF144, D3DPT_TRIANGLESTRIP, 2, q, sizeof q[0]);
  c->dev->SetTexture(0, nullptr);
}

// 176x136 gives scale 2 with 8-pixel bars all round; 192x160 gives 2.4 (no
// whole factor is close enough) with bars above and below. At 2.4 no pixel
// centre lands exactly on a texel edge, where the choice is float noise.
static void magnify_80x60(CfCtx* c) { magnify(c, 80, 60); }

const CfScene g_cfCompScenes[] = {
    {"world", 320, 240, 0, 0xFF8CB4E0u, world, 1, 60, "lit, fogged, textured world at 320x240"},
    {"ui_screen", 160, 120, 0, 0xFF000000u, ui_screen, 0, 0, "a 2D screen: panel, text, image, lines"},
    {"magnify_int", 176, 136, 0, 0xFF00FF00u, magnify_80x60, 0, 0, "80x60 frame magnified 2x with black bars"},
    {"magnify_frac", 192, 160, 0, 0xFF00FF00u, magnify_80x60, 0, 0, "80x60 frame magnified 2.4x"},
};
const int g_cfCompSceneCount = sizeof g_cfCompScenes / sizeof g_cfCompScenes[0];
