// The 2D layer's rectangles, lines and images, and the magnification of a
// low-resolution target holding a 2D screen onto a larger one with black
// bars, drawn with the device calls the graphics layer makes. (A whole lit,
// fogged, textured world with its HUD is the layer frame, cf_layer.cpp.)
#include <math.h>

#include "cf_race.h"
#include "cf_scene.h"

// The 2D layer as the game draws it: its states, a quad with the -0.5
// shift, solid rectangles, lines of 1x1 rectangles.
static void cf_ui_states(CfCtx* c) {
  cf_rs(c, D3DRS_ZENABLE, 0);
  cf_rs(c, D3DRS_LIGHTING, 0);
  cf_rs(c, D3DRS_FOGENABLE, 0);
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  cf_tint(c, 0xFFFFFFFFu);
  cf_blend(c, 1);
}

static void cf_ui_quad(CfCtx* c, IDirect3DTexture9* t, uint32_t colour, float x0, float y0, float x1, float y1,
                       float u0, float v0, float u1, float v1) {
  cf_bind(c, t);
  cf_quad2d(c, x0 - 0.5f, y0 - 0.5f, x1 - 0.5f, y1 - 0.5f, colour, u0, v0, u1, v1);
}

static void cf_ui_rect(CfCtx* c, float x, float y, float w, float h, uint32_t colour) {
  cf_ui_quad(c, c->white, colour, x, y, x + w, y + h, 0, 0, 1, 1);
}

static void cf_ui_line(CfCtx* c, float x0, float y0, float x1, float y1, uint32_t colour) {
  float dx = x1 - x0, dy = y1 - y0;
  int n = (int)fmaxf(fabsf(dx), fabsf(dy));
  if (n < 1) n = 1;
  for (int i = 0; i <= n; i++) {
    float t = (float)i / (float)n;
    cf_ui_rect(c, floorf(x0 + dx * t), floorf(y0 + dy * t), 1, 1, colour);
  }
}

static void ui_rects(CfCtx* c) {
  cf_ui_states(c);
  // 1x1, 2x1 and 3x3; adjacent half-transparent rectangles (no overlap, no
  // gap) and one over all three; rectangles off the pixel grid
  struct Rect {
    float x, y, w, h;
    uint32_t colour;
  };
  static const Rect rects[10] = {
      {2, 2, 1, 1, 0xFFFFFFFFu},        {4, 2, 2, 1, 0xFFFFFFFFu},         {7, 2, 3, 3, 0xFFFFFFFFu},
      {2, 8, 5, 5, 0x80FF0000u},        {7, 8, 5, 5, 0x8000FF00u},         {2, 13, 10, 3, 0x800000FFu},
      {1, 7, 12, 10, 0x40FFFFFFu},      {16.5f, 2.5f, 4, 4, 0xFFFFFF00u},  {22.25f, 2.75f, 4, 4, 0xFF00FFFFu},
      {28.75f, 2.25f, 3.5f, 4.5f, 0xFFFF00FFu}};
  for (const Rect& r : rects) cf_ui_rect(c, r.x, r.y, r.w, r.h, r.colour);
  // lines of 1x1 rectangles
  cf_ui_line(c, 0, 20, 3, 21, 0xFFFFFFFFu);
  cf_ui_line(c, 16, 20, 60, 30, 0xFFFFC000u);
  cf_ui_line(c, 40, 44, 46, 12, 0xFF40C0FFu);
  // a whole texture stretched over 2x its size, and part of one
  IDirect3DTexture9* t = cf_texture(c, 8, 8, 1, cf_texel_index);
  cf_ui_quad(c, t, 0xFFFFFFFFu, 2, 24, 18, 40, 0, 0, 1, 1);
  cf_ui_quad(c, t, 0xC0FFFFFFu, 20, 32, 32, 44, 0.25f, 0.25f, 0.75f, 0.75f);
}

// Glyph patterns of a made-up 5x7 font in a 128x64 atlas of 8x8 cells.
static uint32_t texel_font(int, int x, int y, int, int) {
  int col = x / 8, row = y / 8, px = x % 8, py = y % 8;
  if (px > 4 || py > 6) return 0x00FFFFFFu;
  uint32_t code = (uint32_t)((row + 2) * 16 + col);
  uint32_t h = (code * 2654435761u) ^ ((uint32_t)(py * 5 + px) * 40503u);
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return (h & 3u) ? 0xFFFFFFFFu : 0x00FFFFFFu;
}

// One line of capitals, digits and signs as the 2D layer draws it at scale 1:
// 6-pixel cells, a shadow one pixel down and right.
static void text(CfCtx* c, IDirect3DTexture9* font, float x, float y, uint32_t colour, const char* t) {
  for (int pass = 0; pass < 2; pass++) {
    float pen = x + (float)(1 - pass), top = y + (float)(1 - pass);
    uint32_t col = pass ? colour : (colour & 0xFF000000u) | 0x101018u;
    for (const char* p = t; *p; p++, pen += 6) {
      unsigned ch = (unsigned char)*p;
      if (ch == ' ') continue;
      float u0 = (float)(ch % 16) * 8 / 128, v0 = (float)(ch / 16 - 2) * 8 / 64;
      cf_ui_quad(c, font, col, pen, top, pen + 6, top + 8, u0, v0, u0 + 6.0f / 128, v0 + 8.0f / 64);
    }
  }
}

// The low-resolution frame and its magnification onto the back buffer, as
// the frame end does it: bars cleared black, one clamped, point-sampled
// quad from (upX - 0.5, upY - 0.5) to that plus the scaled size. An 80x60
// frame: onto 176x136 it gives scale 2 with 8-pixel bars all round, onto
// 192x160 2.4 (no whole factor is close enough) with bars above and below.
// At 2.4 no pixel centre lands exactly on a texel edge, where the choice is
// float noise.
static void magnify(CfCtx* c) {
  const int lowW = 80, lowH = 60;
  IDirect3DTexture9* lowTex = nullptr;
  IDirect3DSurface9 *low = nullptr, *lowDepth = nullptr;
  int room = c->ntex < CF_MAX_RES && c->nsurf + 2 <= CF_MAX_RES;
  int ok = room && cf_low_target(c->dev, lowW, lowH, &lowTex, &low, &lowDepth);
  IDirect3DSurface9* made[2] = {low, lowDepth};
  if (lowTex) c->tex[c->ntex++] = lowTex;
  for (IDirect3DSurface9* s : made)
    if (s) c->surf[c->nsurf++] = s;
  if (!ok) return cf_fail(c, "low-resolution target", 0);
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
  text(c, cf_texture(c, 128, 64, 1, texel_font), 2, 2, 0xFFFFFFFFu, "1/4 GO");
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
  cf_magnify(c->dev, lowTex, upX - 0.5f, upY - 0.5f, upX - 0.5f + (float)lowW * scale, upY - 0.5f + (float)lowH * scale);
}

// The benchmark's race frame, 60 m along the road, magnified 2x.
static void race_frame(CfCtx* c) {
  CfRace r;
  if (cf_race_open(&r, c->dev))
    cf_race_frame(&r, 60.0f, c->rt, c->w, c->h);
  else
    cf_fail(c, "race frame resources", 0);
  cf_race_close(&r);
}

const CfScene g_cfCompScenes[] = {
    {"ui_rects", 64, 48, 0, 0xFF202830u, ui_rects, 0, 0, "2D rectangles, lines and images at pixel positions"},
    {"magnify_int", 176, 136, 0, 0xFF00FF00u, magnify, 0, 0, "80x60 frame magnified 2x with black bars"},
    {"magnify_frac", 192, 160, 0, 0xFF00FF00u, magnify, 0, 0, "80x60 frame magnified 2.4x"},
    {"race_frame", 640, 480, 0, 0xFF000000u, race_frame, 1, 0, "21 200 lit, fogged, textured triangles, magnified"},
    {},
};
