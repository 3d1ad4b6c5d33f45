// Scene framework: render target, read-back, resources, states and the small
// drawing helpers the scenes share. Only IDirect3DDevice9 calls the game
// itself makes are used, so the software device can run every scene.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "cf_scene.h"
#include "cf_scenes.h"

static void say(char* err, int cap, const char* what, long hr) {
  if (err && cap > 0) snprintf(err, (size_t)cap, "%s failed (0x%08lx)", what, (unsigned long)hr & 0xFFFFFFFFul);
}

void cf_fail(CfCtx* c, const char* what, long hr) {
  if (!c->failed) say(c->err, sizeof c->err, what, hr);
  c->failed = 1;
}

// ---- matrices ---------------------------------------------------------------------------

CfMat cf_identity() {
  CfMat r;
  memset(&r, 0, sizeof r);
  r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1;
  return r;
}

CfMat cf_mul(const CfMat& a, const CfMat& b) {
  CfMat r;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) {
      float s = 0;
      for (int k = 0; k < 4; k++) s += a.m[i * 4 + k] * b.m[k * 4 + j];
      r.m[i * 4 + j] = s;
    }
  return r;
}

CfMat cf_translate(float x, float y, float z) {
  CfMat r = cf_identity();
  r.m[12] = x;
  r.m[13] = y;
  r.m[14] = z;
  return r;
}

CfMat cf_scale(float x, float y, float z) {
  CfMat r = cf_identity();
  r.m[0] = x;
  r.m[5] = y;
  r.m[10] = z;
  return r;
}

static void norm3(float* v) {
  float l = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (l > 0.000001f) {
    v[0] /= l;
    v[1] /= l;
    v[2] /= l;
  }
}

CfMat cf_look_at(float ex, float ey, float ez, float ax, float ay, float az) {
  float z[3] = {ax - ex, ay - ey, az - ez};
  norm3(z);
  float up[3] = {0, 1, 0};
  float x[3] = {up[1] * z[2] - up[2] * z[1], up[2] * z[0] - up[0] * z[2], up[0] * z[1] - up[1] * z[0]};
  norm3(x);
  float y[3] = {z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2], z[0] * x[1] - z[1] * x[0]};
  CfMat r = cf_identity();
  for (int i = 0; i < 3; i++) {
    r.m[i * 4 + 0] = x[i];
    r.m[i * 4 + 1] = y[i];
    r.m[i * 4 + 2] = z[i];
  }
  r.m[12] = -(x[0] * ex + x[1] * ey + x[2] * ez);
  r.m[13] = -(y[0] * ex + y[1] * ey + y[2] * ez);
  r.m[14] = -(z[0] * ex + z[1] * ey + z[2] * ez);
  return r;
}

CfMat cf_persp(float c, float aspect, float zn, float zf) {
  CfMat r;
  memset(&r, 0, sizeof r);
  r.m[0] = c / aspect;
  r.m[5] = c;
  r.m[10] = zf / (zf - zn);
  r.m[11] = 1;
  r.m[14] = -zn * zf / (zf - zn);
  return r;
}

CfMat cf_ortho(float w, float h, float zn, float zf) {
  CfMat r = cf_identity();
  r.m[0] = 2 / w;
  r.m[5] = 2 / h;
  r.m[10] = 1 / (zf - zn);
  r.m[14] = -zn / (zf - zn);
  return r;
}

void cf_set_transform(CfCtx* c, int which, const CfMat& m) {
  D3DMATRIX d;
  memcpy(&d, m.m, sizeof d);
  D3DTRANSFORMSTATETYPE t = which == 0 ? D3DTS_WORLD : which == 1 ? D3DTS_VIEW : D3DTS_PROJECTION;
  c->dev->SetTransform(t, &d);
}

// ---- resources -------------------------------------------------------------------------

IDirect3DTexture9* cf_texture(CfCtx* c, int w, int h, int levels, CfTexelFn fn) {
  if (c->ntex >= CF_MAX_RES) return cf_fail(c, "too many textures", 0), nullptr;
  IDirect3DTexture9* t = nullptr;
  HRESULT hr = c->dev->CreateTexture(w, h, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr);
  if (FAILED(hr) || !t) return cf_fail(c, "CreateTexture", hr), nullptr;
  c->tex[c->ntex++] = t;
  int lw = w, lh = h;
  for (int l = 0; l < levels; l++) {
    D3DLOCKED_RECT lr;
    hr = t->LockRect(l, &lr, nullptr, 0);
    if (FAILED(hr)) return cf_fail(c, "texture LockRect", hr), t;
    for (int y = 0; y < lh; y++) {
      uint32_t* row = (uint32_t*)((char*)lr.pBits + (size_t)y * lr.Pitch);
      for (int x = 0; x < lw; x++) row[x] = fn(l, x, y, lw, lh);
    }
    t->UnlockRect(l);
    lw = lw > 1 ? lw / 2 : 1;
    lh = lh > 1 ? lh / 2 : 1;
  }
  return t;
}

// ---- states ------------------------------------------------------------------------------

void cf_rs(CfCtx* c, uint32_t state, uint32_t value) { c->dev->SetRenderState((D3DRENDERSTATETYPE)state, value); }

void cf_rsf(CfCtx* c, uint32_t state, float value) {
  uint32_t bits;
  memcpy(&bits, &value, 4);
  cf_rs(c, state, bits);
}

void cf_tss(CfCtx* c, int stage, uint32_t type, uint32_t value) {
  c->dev->SetTextureStageState((DWORD)stage, (D3DTEXTURESTAGESTATETYPE)type, value);
}

void cf_samp(CfCtx* c, int sampler, uint32_t type, uint32_t value) {
  c->dev->SetSamplerState((DWORD)sampler, (D3DSAMPLERSTATETYPE)type, value);
}

void cf_bind(CfCtx* c, IDirect3DTexture9* t) { c->dev->SetTexture(0, t); }

void cf_defaults(CfCtx* c) {
  static const uint32_t rs[][2] = {
      {D3DRS_ZENABLE, 1},
      {D3DRS_ZWRITEENABLE, 1},
      {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
      {D3DRS_CULLMODE, D3DCULL_CCW},
      {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
      {D3DRS_DITHERENABLE, 0},
      {D3DRS_SPECULARENABLE, 0},
      {D3DRS_COLORVERTEX, 1},
      {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
      {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1},
      {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL},
      {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
      {D3DRS_NORMALIZENORMALS, 1},
      {D3DRS_ALPHAREF, 128},
      {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL},
      {D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR},
      {D3DRS_FOGTABLEMODE, D3DFOG_NONE},
      {D3DRS_RANGEFOGENABLE, 0},
      // Not among the game's defaults, but every scene starts from them.
      {D3DRS_LIGHTING, 0},
      {D3DRS_FOGENABLE, 0},
      {D3DRS_FOGCOLOR, 0},
      {D3DRS_ALPHABLENDENABLE, 0},
      {D3DRS_ALPHATESTENABLE, 0},
      {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
      {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
      {D3DRS_AMBIENT, 0},
      {D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu},
  };
  for (const auto& s : rs) cf_rs(c, s[0], s[1]);
  cf_tss(c, 0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  cf_tss(c, 0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  cf_tss(c, 0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  cf_tss(c, 0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  cf_tss(c, 0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  cf_tss(c, 0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  cf_tss(c, 1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  cf_tss(c, 1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  for (int s = 0; s < 2; s++) {
    cf_samp(c, s, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    cf_samp(c, s, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    cf_samp(c, s, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    cf_samp(c, s, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    cf_samp(c, s, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
  }
  D3DMATERIAL9 m;
  memset(&m, 0, sizeof m);
  m.Diffuse.r = m.Diffuse.g = m.Diffuse.b = m.Diffuse.a = 1;
  m.Ambient.r = m.Ambient.g = m.Ambient.b = m.Ambient.a = 1;
  c->dev->SetMaterial(&m);
  CfMat id = cf_identity();
  for (int i = 0; i < 3; i++) cf_set_transform(c, i, id);
  c->dev->SetTexture(1, nullptr);
  cf_bind(c, c->white);
}

void cf_blend(CfCtx* c, int mode) {
  if (mode == 0) {
    cf_rs(c, D3DRS_ALPHABLENDENABLE, 0);
    cf_rs(c, D3DRS_ALPHATESTENABLE, 1);
    return;
  }
  cf_rs(c, D3DRS_ALPHABLENDENABLE, 1);
  cf_rs(c, D3DRS_ALPHATESTENABLE, 0);
  cf_rs(c, D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  cf_rs(c, D3DRS_DESTBLEND, mode == 2 ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
}

void cf_tint(CfCtx* c, uint32_t colour) {
  if (colour == 0xFFFFFFFFu) {
    cf_tss(c, 1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    cf_tss(c, 1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    return;
  }
  cf_rs(c, D3DRS_TEXTUREFACTOR, colour);
  cf_tss(c, 1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  cf_tss(c, 1, D3DTSS_COLORARG1, D3DTA_CURRENT);
  cf_tss(c, 1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
  cf_tss(c, 1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  cf_tss(c, 1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
}

void cf_sun(CfCtx* c, float dx, float dy, float dz, uint32_t colour, uint32_t ambient) {
  D3DLIGHT9 l;
  memset(&l, 0, sizeof l);
  l.Type = D3DLIGHT_DIRECTIONAL;
  l.Diffuse.r = (float)((colour >> 16) & 255) / 255.0f;
  l.Diffuse.g = (float)((colour >> 8) & 255) / 255.0f;
  l.Diffuse.b = (float)(colour & 255) / 255.0f;
  l.Diffuse.a = 1;
  float d[3] = {dx, dy, dz};
  norm3(d);
  l.Direction.x = d[0];
  l.Direction.y = d[1];
  l.Direction.z = d[2];
  l.Range = 1000;
  c->dev->SetLight(0, &l);
  c->dev->LightEnable(0, TRUE);
  cf_rs(c, D3DRS_AMBIENT, ambient);
  cf_rs(c, D3DRS_LIGHTING, 1);
}

void cf_fog(CfCtx* c, uint32_t colour, float start, float end) {
  cf_rs(c, D3DRS_FOGCOLOR, colour);
  cf_rsf(c, D3DRS_FOGSTART, start);
  cf_rsf(c, D3DRS_FOGEND, end);
  cf_rs(c, D3DRS_FOGENABLE, 1);
}

void cf_viewport(CfCtx* c, int x, int y, int w, int h) {
  D3DVIEWPORT9 vp;
  vp.X = (DWORD)x;
  vp.Y = (DWORD)y;
  vp.Width = (DWORD)w;
  vp.Height = (DWORD)h;
  vp.MinZ = 0;
  vp.MaxZ = 1;
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

void cf_tri2d(CfCtx* c, float x0, float y0, float x1, float y1, float x2, float y2, uint32_t c0, uint32_t c1,
              uint32_t c2, float z) {
  V144 v[3] = {{x0, y0, z, 1, c0, 0, 0}, {x1, y1, z, 1, c1, 0, 0}, {x2, y2, z, 1, c2, 0, 0}};
  cf_draw_up(c, CF_FVF144, D3DPT_TRIANGLELIST, 1, v, sizeof v[0]);
}

void cf_rect(CfCtx* c, int x, int y, int w, int h, uint32_t colour) {
  cf_quad2d(c, (float)x - 0.5f, (float)y - 0.5f, (float)(x + w) - 0.5f, (float)(y + h) - 0.5f, colour);
}

// ---- one scene -------------------------------------------------------------------------------

static uint32_t texel_white(int, int, int, int, int) { return 0xFFFFFFFFu; }

int cf_render(IDirect3DDevice9* dev, const CfScene* s, uint32_t* out, char* err, int errCap) {
  CfCtx c;
  memset(&c, 0, sizeof c);
  c.dev = dev;
  c.w = s->w;
  c.h = s->h;
  IDirect3DSurface9* back = nullptr;
  IDirect3DSurface9* sys = nullptr;
  D3DLOCKED_RECT lr;
  int ok = 0;
  HRESULT hr = dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  if (FAILED(hr)) back = nullptr;
#define CF_TRY(call, got, what)          \
  hr = (call);                           \
  if (FAILED(hr) || !(got)) {            \
    say(err, errCap, what, hr);          \
    goto done;                           \
  }
  CF_TRY(dev->CreateTexture(s->w, s->h, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &c.rtTex, nullptr),
         c.rtTex, "CreateTexture(RT)");
  CF_TRY(c.rtTex->GetSurfaceLevel(0, &c.rt), c.rt, "GetSurfaceLevel");
  CF_TRY(dev->CreateDepthStencilSurface(s->w, s->h, s->depth16 ? D3DFMT_D16 : D3DFMT_D24X8, D3DMULTISAMPLE_NONE, 0,
                                        TRUE, &c.ds, nullptr),
         c.ds, "CreateDepthStencilSurface");
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
  CF_TRY(dev->CreateOffscreenPlainSurface(s->w, s->h, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr), sys,
         "CreateOffscreenPlainSurface");
  CF_TRY(dev->GetRenderTargetData(c.rt, sys), true, "GetRenderTargetData");
  CF_TRY(sys->LockRect(&lr, nullptr, 0), true, "LockRect");
#undef CF_TRY
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

static const CfScene* table(int i, int* count) {
  const CfScene* lists[] = {g_cfRasterScenes, g_cfShadeScenes, g_cfTexScenes, g_cfCompScenes};
  const int counts[] = {g_cfRasterSceneCount, g_cfShadeSceneCount, g_cfTexSceneCount, g_cfCompSceneCount};
  int total = 0;
  const CfScene* hit = nullptr;
  for (int k = 0; k < 4; k++) {
    if (!hit && i >= total && i < total + counts[k]) hit = &lists[k][i - total];
    total += counts[k];
  }
  if (count) *count = total;
  return hit;
}

int cf_scene_count() {
  int n;
  table(-1, &n);
  return n;
}

const CfScene* cf_scene(int i) { return table(i, nullptr); }


// ---- shared patterns and helpers -------------------------------------------------------------

uint32_t cf_level_colour(int level) {
  static const uint32_t c[8] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u,
                                0xFFFF00FFu, 0xFF00FFFFu, 0xFFFFFFFFu, 0xFF808080u};
  return c[level & 7];
}

uint32_t cf_texel_level(int level, int, int, int, int) { return cf_level_colour(level); }

uint32_t cf_texel_checker(int level, int x, int y, int, int) {
  uint32_t c = cf_level_colour(level);
  return ((x ^ y) & 1) ? c : (c & 0xFF000000u) | ((c >> 1) & 0x7F7F7Fu) | 0x202020u;
}

uint32_t cf_texel_index(int, int x, int y, int w, int) {
  uint32_t i = (uint32_t)(y * w + x);
  uint32_t h = i * 2654435761u;
  return 0xFF000000u | ((i * 37u + 11u) & 255u) << 16 | ((h >> 24) & 255u) << 8 | ((i * 151u + 90u) & 255u);
}

void cf_ortho_setup(CfCtx* c) {
  cf_set_transform(c, 1, cf_identity());
  cf_set_transform(c, 2, cf_ortho((float)c->w, (float)c->h, -1.0f, 100.0f));
}

void cf_oquad142(CfCtx* c, float px0, float py0, float px1, float py1, float dl, float dr, uint32_t colour, float u0,
                 float v0, float u1, float v1) {
  float hw = (float)c->w * 0.5f, hh = (float)c->h * 0.5f;
  float x0 = px0 - 0.5f - hw, x1 = px1 - 0.5f - hw;
  float y0 = hh - (py0 - 0.5f), y1 = hh - (py1 - 0.5f);
  V142 v[6] = {{x0, y0, dl, colour, u0, v0}, {x1, y0, dr, colour, u1, v0}, {x0, y1, dl, colour, u0, v1},
                 {x1, y0, dr, colour, u1, v0}, {x1, y1, dr, colour, u1, v1}, {x0, y1, dl, colour, u0, v1}};
  cf_draw_up(c, CF_FVF142, D3DPT_TRIANGLELIST, 2, v, sizeof v[0]);
}
