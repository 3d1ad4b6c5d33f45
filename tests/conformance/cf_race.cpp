// The synthetic race frame (see cf_race.h).
#include "cf_race.h"

#include <string.h>

#include <vector>

#include "gfx/gfx.h"
#include "rt/rt.h"

namespace {

uint32_t g_raceRng = 12345;
float rnd() { return rng_next(g_raceRng); }


float road_bend(float z) { return 12.0f * f_sin(z * 0.006f); }

// Ground: 70 x 70 cells of 10 m round the course, gently rolling.
void build_ground(std::vector<V152>& v, std::vector<uint16_t>& idx) {
  const int G = 70;
  for (int j = 0; j <= G; j++)
    for (int i = 0; i <= G; i++) {
      float x = -350.0f + 10.0f * (float)i, z = -250.0f + 10.0f * (float)j;
      float y = -0.3f + 0.6f * f_sin(x * 0.05f) * f_cos(z * 0.04f);
      uint32_t c = 0xFFF0F0F0u - ((uint32_t)(rnd() * 24) * 0x010101u);
      v.push_back({x, (i > 33 && i < 37) ? -0.05f : y, z, 0, 1, 0, c, x / 8.0f, z / 8.0f});
    }
  for (int j = 0; j < G; j++)
    for (int i = 0; i < G; i++) {
      uint16_t a = (uint16_t)(j * (G + 1) + i);
      uint16_t q[6] = {a, (uint16_t)(a + G + 1), (uint16_t)(a + G + 2), a, (uint16_t)(a + G + 2), (uint16_t)(a + 1)};
      idx.insert(idx.end(), q, q + 6);
    }
}

// Road and kerbs: a bending strip 10 m wide in 2 m segments.
void build_road(std::vector<V152>& rv, std::vector<uint16_t>& ri, std::vector<V152>& kv, std::vector<uint16_t>& ki) {
  float prevL = 0, prevR = 0, prevZ = 0;
  for (int s = 0; s <= 300; s++) {
    float z = -100.0f + 2.0f * (float)s, bend = road_bend(z);
    float l = bend - 5.0f, r = bend + 5.0f;
    if (s > 0) {
      // corners near-left, far-left, far-right, near-right: clockwise from above
      float q[12] = {prevL, 0.02f, prevZ, l, 0.02f, z, r, 0.02f, z, prevR, 0.02f, prevZ};
      cf_add_quad(rv, ri, q, 0, 1, 0, 0xFFFFFFFFu, 1, 0.5f);
      for (int side = 0; side < 2; side++) {
        float a = side ? prevR : prevL - 0.8f, c = side ? r : l - 0.8f;
        float k[12] = {a, 0.04f, prevZ, c, 0.04f, z, c + 0.8f, 0.04f, z, a + 0.8f, 0.04f, prevZ};
        cf_add_quad(kv, ki, k, 0, 1, 0, 0xFFFFFFFFu, 1, 1);
      }
    }
    prevL = l, prevR = r, prevZ = z;
  }
}

// Props: boxes and trees scattered beside the road.
void build_props(std::vector<V152>& pv, std::vector<uint16_t>& pi, std::vector<V152>& tv, std::vector<uint16_t>& ti) {
  const float turn = 6.2831853f;
  for (int n = 0; n < 320; n++) {
    float z = -80.0f + rnd() * 380.0f, side = rnd() < 0.5f ? -1.0f : 1.0f;
    float x = road_bend(z) + side * (9.0f + rnd() * 40.0f);
    if (n & 1) {
      // a box of 12 triangles
      float s = 0.6f + rnd() * 1.4f, h = s * 1.5f;
      float c[8][3] = {{x - s, 0, z - s}, {x + s, 0, z - s}, {x + s, 0, z + s}, {x - s, 0, z + s},
                       {x - s, h, z - s}, {x + s, h, z - s}, {x + s, h, z + s}, {x - s, h, z + s}};
      static const int faces[6][4] = {{4, 5, 1, 0}, {5, 6, 2, 1}, {6, 7, 3, 2},
                                      {7, 4, 0, 3}, {7, 6, 5, 4}, {0, 1, 2, 3}};
      static const float nrm[6][3] = {{0, 0, -1}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
      for (int f = 0; f < 6; f++) {
        float q[12];
        for (int k = 0; k < 4; k++) memcpy(q + k * 3, c[faces[f][k]], 12);
        cf_add_quad(pv, pi, q, nrm[f][0], nrm[f][1], nrm[f][2], 0xFFFFFFFFu, 1, 1);
      }
    } else {
      // a tree: a cone of 16 sides, open underneath, and a trunk of 8 (48 triangles)
      float r = 1.5f + rnd() * 2.0f, h = r * 3.0f;
      for (int k = 0; k < 16; k++) {
        float a0 = (float)k * turn / 16, a1 = (float)(k + 1) * turn / 16;
        float s0 = f_sin(a0), c0 = f_cos(a0), s1 = f_sin(a1), c1 = f_cos(a1);
        uint16_t base = (uint16_t)tv.size();
        tv.push_back({x + r * s0, 1.0f, z + r * c0, s0, 0.5f, c0, 0xFFFFFFFFu, 0, 1});
        tv.push_back({x, 1.0f + h, z, f_sin(a0 + 0.2f), 0.5f, f_cos(a0 + 0.2f), 0xFFFFFFFFu, 0.5f, 0});
        tv.push_back({x + r * s1, 1.0f, z + r * c1, s1, 0.5f, c1, 0xFFFFFFFFu, 1, 1});
        uint16_t t3[6] = {base, (uint16_t)(base + 1), (uint16_t)(base + 2),
                          base, (uint16_t)(base + 2), (uint16_t)(base + 1)};  // both sides
        ti.insert(ti.end(), t3, t3 + 6);
      }
      for (int k = 0; k < 8; k++) {
        float a0 = (float)k * turn / 8, a1 = (float)(k + 1) * turn / 8, tr = 0.3f;
        float s0 = f_sin(a0), c0 = f_cos(a0), s1 = f_sin(a1), c1 = f_cos(a1);
        float q[12] = {x + tr * s0, 1.0f, z + tr * c0, x + tr * s1, 1.0f, z + tr * c1,
                       x + tr * s1, 0.0f, z + tr * c1, x + tr * s0, 0.0f, z + tr * c0};
        cf_add_quad(tv, ti, q, f_sin(a0 + 0.4f), 0, f_cos(a0 + 0.4f), 0xFFA08060u, 1, 1);
      }
    }
  }
}

}  // namespace

IDirect3DTexture9* cf_noise_texture(IDirect3DDevice9* dev, int w, uint32_t base, uint32_t& rng) {
  IDirect3DTexture9* t = nullptr;
  if (FAILED(dev->CreateTexture(w, w, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr)) || !t) return nullptr;
  for (DWORD l = 0; l < t->GetLevelCount(); l++) {
    D3DLOCKED_RECT lr;
    if (FAILED(t->LockRect(l, &lr, nullptr, 0))) {
      t->Release();
      return nullptr;
    }
    int lw = w >> l;
    for (int y = 0; y < lw; y++)
      for (int x = 0; x < lw; x++) {
        uint32_t n = (uint32_t)(rng_next(rng) * 48);
        ((uint32_t*)((char*)lr.pBits + y * lr.Pitch))[x] = base - n * 0x010101u;
      }
    t->UnlockRect(l);
  }
  return t;
}

int cf_mesh_upload(IDirect3DDevice9* dev, CfRaceMesh* m, const std::vector<V152>& v, const std::vector<uint16_t>& i) {
  m->nv = (int)v.size();
  m->ni = (int)i.size();
  void* p = nullptr;
  if (FAILED(dev->CreateVertexBuffer((UINT)(v.size() * sizeof(V152)), D3DUSAGE_WRITEONLY, 0x152, D3DPOOL_MANAGED,
                                     &m->vb, nullptr)) ||
      !m->vb || FAILED(m->vb->Lock(0, 0, &p, 0)))
    return 0;
  memcpy(p, v.data(), v.size() * sizeof(V152));
  m->vb->Unlock();
  if (FAILED(dev->CreateIndexBuffer((UINT)(i.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &m->ib,
                                    nullptr)) ||
      !m->ib || FAILED(m->ib->Lock(0, 0, &p, 0)))
    return 0;
  memcpy(p, i.data(), i.size() * 2);
  m->ib->Unlock();
  return 1;
}

void cf_add_quad(std::vector<V152>& v, std::vector<uint16_t>& idx, const float* p, float nx, float ny, float nz,
                 uint32_t c, float su, float sv) {
  uint16_t b = (uint16_t)v.size();
  for (int k = 0; k < 4; k++) {
    float u = (k == 1 || k == 2) ? su : 0, w = (k >= 2) ? sv : 0;
    v.push_back({p[k * 3], p[k * 3 + 1], p[k * 3 + 2], nx, ny, nz, c, u, w});
  }
  uint16_t q[6] = {b, (uint16_t)(b + 1), (uint16_t)(b + 2), b, (uint16_t)(b + 2), (uint16_t)(b + 3)};
  idx.insert(idx.end(), q, q + 6);
}

void cf_game_states(IDirect3DDevice9* dev) {
  static const DWORD rs[][2] = {
      {D3DRS_ZENABLE, 1},                               {D3DRS_ZWRITEENABLE, 1},
      {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},                  {D3DRS_CULLMODE, D3DCULL_CCW},
      {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},              {D3DRS_DITHERENABLE, 0},
      {D3DRS_SPECULARENABLE, 0},                        {D3DRS_COLORVERTEX, 1},
      {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},     {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1},
      {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL},  {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
      {D3DRS_NORMALIZENORMALS, 1},                      {D3DRS_ALPHAREF, 128},
      {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL},           {D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR},
      {D3DRS_FOGTABLEMODE, D3DFOG_NONE},                {D3DRS_RANGEFOGENABLE, 0},
      // switched on where a draw needs them
      {D3DRS_LIGHTING, 0},          {D3DRS_FOGENABLE, 0},
      {D3DRS_ALPHATESTENABLE, 0},   {D3DRS_ALPHABLENDENABLE, 0},
  };
  for (const auto& s : rs) dev->SetRenderState((D3DRENDERSTATETYPE)s[0], s[1]);
  static const DWORD tss[][3] = {
      {0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {0, D3DTSS_COLORARG1, D3DTA_TEXTURE}, {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE},
      {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
      {1, D3DTSS_COLOROP, D3DTOP_DISABLE},  {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
  };
  for (const auto& s : tss) dev->SetTextureStageState(s[0], (D3DTEXTURESTAGESTATETYPE)s[1], s[2]);
  for (DWORD s = 0; s < 2; s++) {
    dev->SetSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    dev->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    dev->SetSamplerState(s, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    dev->SetSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    dev->SetSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
  }
  D3DMATERIAL9 m;  // lit vertices take their diffuse and ambient colour from the vertex
  memset(&m, 0, sizeof m);
  m.Diffuse.r = m.Diffuse.g = m.Diffuse.b = m.Diffuse.a = 1;
  m.Ambient = m.Diffuse;
  dev->SetMaterial(&m);
}

void cf_race_states(IDirect3DDevice9* dev) {
  cf_game_states(dev);
  dev->SetRenderState(D3DRS_AMBIENT, 0xFF606870u);
  dev->SetRenderState(D3DRS_FOGCOLOR, 0xFFB8DCF2u);
  dev->SetRenderState(D3DRS_FOGSTART, fbits(80.0f));
  dev->SetRenderState(D3DRS_FOGEND, fbits(300.0f));
  D3DLIGHT9 l;
  memset(&l, 0, sizeof l);
  l.Type = D3DLIGHT_DIRECTIONAL;
  l.Diffuse.r = 0.95f, l.Diffuse.g = 0.9f, l.Diffuse.b = 0.8f, l.Diffuse.a = 1;
  l.Direction.x = -0.4f, l.Direction.y = -0.8f, l.Direction.z = 0.45f;
  l.Range = 1000;
  dev->SetLight(0, &l);
  dev->LightEnable(0, TRUE);
}

int cf_low_target(IDirect3DDevice9* d, int w, int h, IDirect3DTexture9** tex, IDirect3DSurface9** surf,
                  IDirect3DSurface9** depth, D3DFORMAT depthFormat) {
  return SUCCEEDED(d->CreateTexture(w, h, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, tex, nullptr)) &&
         *tex && SUCCEEDED((*tex)->GetSurfaceLevel(0, surf)) && *surf &&
         SUCCEEDED(d->CreateDepthStencilSurface(w, h, depthFormat, D3DMULTISAMPLE_NONE, 0, TRUE, depth, nullptr)) &&
         *depth;
}

void cf_magnify(IDirect3DDevice9* d, IDirect3DTexture9* low, float x0, float y0, float x1, float y1) {
  d->SetRenderState(D3DRS_ZENABLE, 0);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
  d->SetTexture(0, low);
  V144 q[4] = {{x0, y0, 0, 1, 0xFFFFFFFFu, 0, 0}, {x1, y0, 0, 1, 0xFFFFFFFFu, 1, 0},
               {x0, y1, 0, 1, 0xFFFFFFFFu, 0, 1}, {x1, y1, 0, 1, 0xFFFFFFFFu, 1, 1}};
  d->SetFVF(0x144);
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof q[0]);
  d->SetTexture(0, nullptr);
}

int cf_race_open(CfRace* r, IDirect3DDevice9* dev) {
  memset(r, 0, sizeof *r);
  r->dev = dev;
  g_raceRng = 12345;  // the same scene every time
  if (!cf_low_target(dev, CF_RACE_W, CF_RACE_H, &r->lowTex, &r->low, &r->lowDepth)) return 0;
  static const int sizes[5] = {64, 64, 16, 32, 32};
  static const uint32_t bases[5] = {0xFF60A040u, 0xFF707070u, 0xFFE0E0E0u, 0xFFC08040u, 0xFF308030u};
  for (int i = 0; i < 5; i++)
    if (!(r->tex[i] = cf_noise_texture(dev, sizes[i], bases[i], g_raceRng))) return 0;
  std::vector<V152> v[5];
  std::vector<uint16_t> idx[5];
  build_ground(v[0], idx[0]);
  build_road(v[1], idx[1], v[2], idx[2]);
  build_props(v[3], idx[3], v[4], idx[4]);
  for (int i = 0; i < 5; i++) {
    if (!cf_mesh_upload(dev, &r->mesh[i], v[i], idx[i])) return 0;
    r->triangles += (int)idx[i].size() / 3;
  }
  return 1;
}

void cf_race_close(CfRace* r) {
  for (CfRaceMesh& m : r->mesh) {
    if (m.vb) m.vb->Release();
    if (m.ib) m.ib->Release();
  }
  for (IDirect3DTexture9* t : r->tex)
    if (t) t->Release();
  if (r->lowDepth) r->lowDepth->Release();
  if (r->low) r->low->Release();
  if (r->lowTex) r->lowTex->Release();
  memset(r, 0, sizeof *r);
}

void cf_race_frame(CfRace* r, float t, IDirect3DSurface9* target, int w, int h) {
  IDirect3DDevice9* d = r->dev;
  cf_race_states(d);
  d->SetTexture(0, nullptr);
  d->SetRenderTarget(0, r->low);
  d->SetDepthStencilSurface(r->lowDepth);
  d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFB8DCF2u, 1.0f, 0);
  float ez = t, ex = road_bend(ez);
  Mat4 view = m4_look_at(Vec3{ex, 3.1f, ez - 7.4f}, Vec3{ex, 1.0f, ez + 4.0f}, Vec3{0, 1, 0});
  Mat4 proj = m4_persp(1.0821042f, (float)CF_RACE_W / (float)CF_RACE_H, 0.5f, 700.0f), world = m4_identity();
  d->SetTransform(D3DTS_VIEW, (const D3DMATRIX*)&view);
  d->SetTransform(D3DTS_PROJECTION, (const D3DMATRIX*)&proj);
  d->SetTransform(D3DTS_WORLD, (const D3DMATRIX*)&world);
  // sky gradient
  d->SetRenderState(D3DRS_ZENABLE, 0);
  const float right = CF_RACE_W - 0.5f, mid = CF_RACE_H / 2;
  V144 sky[4] = {{-0.5f, -0.5f, 0, 1, 0xFF4080E0u, 0, 0}, {right, -0.5f, 0, 1, 0xFF4080E0u, 1, 0},
                 {-0.5f, mid, 0, 1, 0xFFB8DCF2u, 0, 1},   {right, mid, 0, 1, 0xFFB8DCF2u, 1, 1}};
  d->SetFVF(0x144);
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, sky, sizeof sky[0]);
  d->SetRenderState(D3DRS_ZENABLE, 1);
  // the world: lit, fogged, opaque with alpha test, culled
  d->SetRenderState(D3DRS_LIGHTING, 1);
  d->SetRenderState(D3DRS_FOGENABLE, 1);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
  d->SetFVF(0x152);
  for (int i = 0; i < 5; i++) {
    d->SetTexture(0, r->tex[i]);
    d->SetStreamSource(0, r->mesh[i].vb, 0, sizeof(V152));
    d->SetIndices(r->mesh[i].ib);
    d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, r->mesh[i].nv, 0, r->mesh[i].ni / 3);
  }
  d->SetRenderState(D3DRS_FOGENABLE, 0);
  d->SetRenderState(D3DRS_LIGHTING, 0);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
  d->SetRenderTarget(0, target);
  d->SetDepthStencilSurface(nullptr);
  cf_magnify(d, r->lowTex, -0.5f, -0.5f, (float)w - 0.5f, (float)h - 0.5f);
  cf_race_states(d);
}
