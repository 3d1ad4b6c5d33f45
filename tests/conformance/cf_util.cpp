// Scene framework: render target, read-back, resources, states and the small
// drawing helpers the scenes share. Only IDirect3DDevice9 calls the game
// itself makes are used, so the software device can run every scene.
#include <stdio.h>
#include <string.h>

#include "cf_race.h"
#include "cf_scene.h"

static void say(char* err, int cap, const char* what, long hr) {
  if (err && cap > 0) snprintf(err, (size_t)cap, "%s failed (0x%08lx)", what, (unsigned long)hr & 0xFFFFFFFFul);
}

void cf_fail(CfCtx* c, const char* what, long hr) {
  if (!c->failed) say(c->err, sizeof c->err, what, hr);
  c->failed = 1;
}

// ---- matrices ---------------------------------------------------------------------------

void cf_xform(CfCtx* c, D3DTRANSFORMSTATETYPE which, const Mat4& m) {
  c->dev->SetTransform(which, (const D3DMATRIX*)&m);
}

Mat4 cf_scale_move(float sx, float sy, float sz, float tx, float ty, float tz) {
  Mat4 r = {{{sx, 0, 0, 0}, {0, sy, 0, 0}, {0, 0, sz, 0}, {tx, ty, tz, 1}}};
  return r;
}

void cf_persp(CfCtx* c, float cot, float zn, float zf) {
  D3DMATRIX m = mat_persp(cot, (float)c->w / (float)c->h, zn, zf);
  c->dev->SetTransform(D3DTS_PROJECTION, &m);
}

// ---- resources and states ----------------------------------------------------------------

IDirect3DTexture9* cf_texture(CfCtx* c, int w, int h, int levels, CfTexelFn fn) {
  if (c->ntex >= CF_MAX_RES) return cf_fail(c, "too many textures", 0), nullptr;
  IDirect3DTexture9* t = nullptr;
  HRESULT hr = c->dev->CreateTexture(w, h, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr);
  if (FAILED(hr) || !t) return cf_fail(c, "CreateTexture", hr), nullptr;
  c->tex[c->ntex++] = t;
  for (int l = 0; l < levels; l++, w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) {
    D3DLOCKED_RECT lr;
    hr = t->LockRect(l, &lr, nullptr, 0);
    if (FAILED(hr)) return cf_fail(c, "texture LockRect", hr), t;
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) ((uint32_t*)((char*)lr.pBits + (size_t)y * lr.Pitch))[x] = fn(l, x, y, w, h);
    t->UnlockRect(l);
  }
  return t;
}

void cf_rs(CfCtx* c, uint32_t state, uint32_t value) { c->dev->SetRenderState((D3DRENDERSTATETYPE)state, value); }

void cf_tss(CfCtx* c, int stage, uint32_t type, uint32_t value) {
  c->dev->SetTextureStageState((DWORD)stage, (D3DTEXTURESTAGESTATETYPE)type, value);
}

void cf_samp(CfCtx* c, int sampler, uint32_t type, uint32_t value) {
  c->dev->SetSamplerState((DWORD)sampler, (D3DSAMPLERSTATETYPE)type, value);
}

void cf_bind(CfCtx* c, IDirect3DTexture9* t) { c->dev->SetTexture(0, t); }

void cf_defaults(CfCtx* c) {
  cf_game_states(c->dev);
  static const uint32_t rs[][2] = {
      {D3DRS_FOGCOLOR, 0},      {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
      {D3DRS_AMBIENT, 0},       {D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu},
  };
  for (const auto& s : rs) cf_rs(c, s[0], s[1]);
  const D3DTRANSFORMSTATETYPE all[3] = {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION};
  for (D3DTRANSFORMSTATETYPE t : all) cf_xform(c, t, cf_scale_move(1, 1, 1, 0, 0, 0));
  c->dev->SetTexture(1, nullptr);
  cf_bind(c, c->white);
}

void cf_blend(CfCtx* c, int mode) {
  cf_rs(c, D3DRS_ALPHABLENDENABLE, mode != 0);
  cf_rs(c, D3DRS_ALPHATESTENABLE, mode == 0);
  if (mode == 0) return;
  cf_rs(c, D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  cf_rs(c, D3DRS_DESTBLEND, mode == 2 ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
}

void cf_tint(CfCtx* c, uint32_t colour) {
  int on = colour != 0xFFFFFFFFu;
  cf_tss(c, 1, D3DTSS_COLOROP, on ? D3DTOP_MODULATE : D3DTOP_DISABLE);
  cf_tss(c, 1, D3DTSS_ALPHAOP, on ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE);
  if (!on) return;
  cf_rs(c, D3DRS_TEXTUREFACTOR, colour);
  cf_tss(c, 1, D3DTSS_COLORARG1, D3DTA_CURRENT);
  cf_tss(c, 1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
  cf_tss(c, 1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
}

void cf_viewport(CfCtx* c, int x, int y, int w, int h) {
  D3DVIEWPORT9 vp = {(DWORD)x, (DWORD)y, (DWORD)w, (DWORD)h, 0, 1};
  c->dev->SetViewport(&vp);
}

// ---- drawing -----------------------------------------------------------------------------

void cf_draw_up(CfCtx* c, uint32_t fvf, uint32_t prim, uint32_t count, const void* v, uint32_t stride) {
  c->dev->SetFVF(fvf);
  c->dev->DrawPrimitiveUP((D3DPRIMITIVETYPE)prim, count, v, stride);
}

void cf_quad2d(CfCtx* c, float x0, float y0, float x1, float y1, uint32_t colour, float u0, float v0, float u1,
               float v1, float z) {
  V144 v[6] = {
      {x0, y0, z, 1, colour, u0, v0}, {x1, y0, z, 1, colour, u1, v0}, {x0, y1, z, 1, colour, u0, v1},
      {x1, y0, z, 1, colour, u1, v0}, {x1, y1, z, 1, colour, u1, v1}, {x0, y1, z, 1, colour, u0, v1},
  };
  cf_draw_up(c, CF_FVF144, D3DPT_TRIANGLELIST, 2, v, sizeof v[0]);
}

void cf_quad3d(CfCtx* c, std::initializer_list<float> p, uint32_t ca, uint32_t cc, float u0, float v0, float u1,
               float v1) {
  const float* q = p.begin();
  V142 a = {q[0], q[1], q[2], ca, u0, v0}, b = {q[3], q[4], q[5], ca, u1, v0};
  V142 e = {q[6], q[7], q[8], cc, u0, v1}, d = {q[9], q[10], q[11], cc, u1, v1};
  V142 v[6] = {a, b, e, b, d, e};
  cf_draw_up(c, CF_FVF142, D3DPT_TRIANGLELIST, 2, v, sizeof v[0]);
}

// ---- one scene -------------------------------------------------------------------------------

static uint32_t texel_white(int, int, int, int, int) { return 0xFFFFFFFFu; }

int cf_render(IDirect3DDevice9* dev, const CfScene* s, uint32_t* out, char* err, int errCap) {
  CfCtx c;
  memset(&c, 0, sizeof c);
  c.dev = dev;
  c.w = s->w;
  c.h = s->h;
  IDirect3DSurface9 *back = nullptr, *sys = nullptr;
  D3DLOCKED_RECT lr;
  int ok = 0;
  HRESULT hr = dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  if (FAILED(hr)) back = nullptr;
  if (!cf_low_target(dev, s->w, s->h, &c.rtTex, &c.rt, &c.ds, s->depth16 ? D3DFMT_D16 : D3DFMT_D24X8)) {
    say(err, errCap, "render target", 0);
    goto done;
  }
  c.white = cf_texture(&c, 1, 1, 1, texel_white);
  dev->SetRenderTarget(0, c.rt);
  dev->SetDepthStencilSurface(c.ds);
  cf_viewport(&c, 0, 0, s->w, s->h);
  cf_defaults(&c);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, s->clear, 1.0f, 0);
  dev->BeginScene();
  s->draw(&c);
  dev->EndScene();
  if (c.failed) {
    snprintf(err, (size_t)errCap, "%s", c.err);
    goto done;
  }
  hr = dev->CreateOffscreenPlainSurface(s->w, s->h, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr);
  if (SUCCEEDED(hr) && sys) hr = dev->GetRenderTargetData(c.rt, sys);
  if (SUCCEEDED(hr) && sys) hr = sys->LockRect(&lr, nullptr, 0);
  if (FAILED(hr) || !sys) {
    say(err, errCap, "read-back", hr);
    goto done;
  }
  for (int y = 0; y < s->h; y++) {
    const uint32_t* row = (const uint32_t*)((const char*)lr.pBits + (size_t)y * lr.Pitch);
    for (int x = 0; x < s->w; x++) out[y * s->w + x] = row[x] & 0xFFFFFFu;
  }
  sys->UnlockRect();
  ok = 1;
done:
  dev->SetTexture(0, nullptr);
  dev->SetTexture(1, nullptr);
  if (back) dev->SetRenderTarget(0, back);
  dev->SetDepthStencilSurface(nullptr);
  IUnknown* owned[] = {sys, c.ds, c.rt, c.rtTex, back};
  for (int i = 0; i < c.nsurf; i++) c.surf[i]->Release();
  for (int i = 0; i < c.ntex; i++) c.tex[i]->Release();
  for (IUnknown* o : owned)
    if (o) o->Release();
  return ok;
}

// ---- scene table -------------------------------------------------------------------------

const CfScene* cf_scene(int i) {
  static const CfScene* const lists[] = {g_cfRasterScenes, g_cfShadeScenes, g_cfTexScenes, g_cfCompScenes};
  for (const CfScene* s : lists)
    for (; s->name; s++)
      if (i-- == 0) return s;
  return nullptr;
}

int cf_scene_count() {
  int n = 0;
  while (cf_scene(n)) n++;
  return n;
}

// ---- shared patterns -------------------------------------------------------------------------

uint32_t cf_level_colour(int level) {
  static const uint32_t c[8] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u,
                                0xFFFF00FFu, 0xFF00FFFFu, 0xFFFFFFFFu, 0xFF808080u};
  return c[level & 7];
}

uint32_t cf_texel_checker(int level, int x, int y, int, int) {
  uint32_t c = cf_level_colour(level);
  return ((x ^ y) & 1) ? c : (c & 0xFF000000u) | ((c >> 1) & 0x7F7F7Fu) | 0x202020u;
}

uint32_t cf_texel_index(int, int x, int y, int w, int) {
  uint32_t i = (uint32_t)(y * w + x);
  uint32_t h = i * 2654435761u;
  return 0xFF000000u | ((i * 37u + 11u) & 255u) << 16 | ((h >> 24) & 255u) << 8 | ((i * 151u + 90u) & 255u);
}
