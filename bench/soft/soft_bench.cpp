// Software device benchmarks: fill rate, vertex throughput and one frame of
// the synthetic race scene the conformance check also compares (about
// 21 000 lit, fogged, textured triangles into a 320 x 240 target, then
// magnified to 640 x 480).
//
//   bench_soft --frame-digest
// draws the race scene from 300 camera positions with both rasterizers
// instead and prints a digest of every pixel they wrote (colour, depth and
// the magnified frame), and of a stress scene of random triangles under
// random states: a speed-up must leave both unchanged.
//   bench_soft --frames N
// draws the first N frames of the race scene and nothing else (for
// profilers).
#include <benchmark/benchmark.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "cf_race.h"
#include "soft/soft.h"
#include "soft/soft_internal.h"
#include "rt/sys.h"

namespace {

uint32_t g_rng = 12345;
float rnd() { return rng_next(g_rng); }

D3DMATRIX persp(float fovy, float aspect, float zn, float zf) {
  return mat_persp(cosf(fovy / 2) / sinf(fovy / 2), aspect, zn, zf);
}

// A device with the game's frame setup: a 320 x 240 render-target texture
// with a D24X8 depth buffer, a 640 x 480 back buffer, the game's states.
struct Bench {
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* dev = nullptr;
  IDirect3DTexture9* rtTex = nullptr;
  IDirect3DSurface9 *rt = nullptr, *ds = nullptr, *back = nullptr;
  std::vector<IDirect3DTexture9*> textures;
  std::vector<IDirect3DVertexBuffer9*> vbs;
  std::vector<IDirect3DIndexBuffer9*> ibs;

  Bench() {
    sys_fpu_init();
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = windowed_pp(640, 480);
    d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x42, &pp, &dev);
    dev->CreateTexture(320, 240, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &rtTex, nullptr);
    rtTex->GetSurfaceLevel(0, &rt);
    dev->CreateDepthStencilSurface(320, 240, D3DFMT_D24X8, D3DMULTISAMPLE_NONE, 0, TRUE, &ds, nullptr);
    dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    cf_race_states(dev);
  }

  ~Bench() {
    for (auto* t : textures) t->Release();
    for (auto* b : vbs) b->Release();
    for (auto* b : ibs) b->Release();
    back->Release();
    ds->Release();
    rt->Release();
    rtTex->Release();
    dev->Release();
    d3d->Release();
  }

  IDirect3DTexture9* texture(int w, uint32_t base) {
    IDirect3DTexture9* t = cf_noise_texture(dev, w, base, g_rng);
    textures.push_back(t);
    return t;
  }

  CfRaceMesh upload(const std::vector<V152>& v, const std::vector<uint16_t>& i) {
    CfRaceMesh m = {nullptr, nullptr, 0, 0};
    cf_mesh_upload(dev, &m, v, i);
    vbs.push_back(m.vb);
    ibs.push_back(m.ib);
    return m;
  }

  void draw(const CfRaceMesh& m) {
    dev->SetStreamSource(0, m.vb, 0, sizeof(V152));
    dev->SetIndices(m.ib);
    dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, m.nv, 0, m.ni / 3);
  }

  // The benchmark loop: one textured mesh into a cleared low-resolution frame.
  void time_draws(benchmark::State& state, IDirect3DTexture9* tex, const CfRaceMesh& m) {
    for (auto _ : state) {
      begin_low(0xFF000000u);
      dev->SetTexture(0, tex);
      draw(m);
      dev->EndScene();
    }
  }

  void begin_low(uint32_t colour) {
    dev->SetTexture(0, nullptr);
    dev->BeginScene();
    dev->SetRenderTarget(0, rt);
    dev->SetDepthStencilSurface(ds);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
  }

  // The game's magnification: the low-resolution frame onto the back buffer.
  void magnify() {
    dev->SetRenderTarget(0, back);
    dev->SetDepthStencilSurface(nullptr);
    dev->SetRenderState(D3DRS_ZENABLE, 0);
    dev->SetRenderState(D3DRS_LIGHTING, 0);
    dev->SetRenderState(D3DRS_FOGENABLE, 0);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    dev->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    dev->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    dev->SetTexture(0, rtTex);
    float x0 = -0.5f, y0 = -0.5f, x1 = x0 + 640, y1 = y0 + 480;
    V144 q[4] = {{x0, y0, 0, 1, 0xFFFFFFFF, 0, 0},
                 {x1, y0, 0, 1, 0xFFFFFFFF, 1, 0},
                 {x0, y1, 0, 1, 0xFFFFFFFF, 0, 1},
                 {x1, y1, 0, 1, 0xFFFFFFFF, 1, 1}};
    dev->SetFVF(0x144);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof q[0]);
    dev->SetTexture(0, nullptr);
    dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    dev->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    dev->SetRenderState(D3DRS_ZENABLE, 1);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    dev->EndScene();
    dev->Present(nullptr, nullptr, nullptr, nullptr);
  }
};


// ---- fill rate ----------------------------------------------------------------------------------
// Screen-covering textured, fogged, depth-tested floor quads in perspective,
// each drawn nearer than the one before so every pixel passes.
void BM_FillRate(benchmark::State& state) {
  Bench b;
  IDirect3DTexture9* tex = b.texture(64, 0xFF80A060u);
  std::vector<V152> v;
  std::vector<uint16_t> idx;
  const int layers = 8;
  for (int k = 0; k < layers; k++) {
    float z = 40.0f - 4.0f * (float)k;  // a wall facing the camera, nearer each time
    float p[12] = {-40, 40, z, 40, 40, z, 40, -40, z, -40, -40, z};
    cf_add_quad(v, idx, p, 0, 0, -1, 0xFFFFFFFFu, 12, 12);
  }
  CfRaceMesh m = b.upload(v, idx);
  D3DMATRIX view = mat_identity(), proj = persp(1.0821042f, 4.0f / 3.0f, 0.5f, 700.0f), world = mat_identity();
  b.dev->SetTransform(D3DTS_WORLD, &world);
  b.dev->SetTransform(D3DTS_VIEW, &view);
  b.dev->SetTransform(D3DTS_PROJECTION, &proj);
  b.dev->SetRenderState(D3DRS_FOGSTART, fbits(10.0f));
  b.dev->SetRenderState(D3DRS_FOGEND, fbits(60.0f));
  b.dev->SetRenderState(D3DRS_FOGENABLE, 1);
  b.dev->SetRenderState(D3DRS_LIGHTING, 1);
  b.dev->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
  b.dev->SetFVF(0x152);
  b.time_draws(state, tex, m);
  state.counters["pixels/s"] =
      benchmark::Counter((double)state.iterations() * 320 * 240 * layers, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FillRate)->Unit(benchmark::kMicrosecond);

// ---- vertex throughput ----------------------------------------------------------------------------
// A 0x152 mesh of many small triangles spread over the view: transform,
// lighting and fog of every vertex, most triangles a pixel or two.
void BM_Vertices(benchmark::State& state) {
  Bench b;
  IDirect3DTexture9* tex = b.texture(32, 0xFFC0C0C0u);
  std::vector<V152> v;
  std::vector<uint16_t> idx;
  const int N = 120;  // 121 x 121 vertices, 28 800 triangles
  for (int j = 0; j <= N; j++)
    for (int i = 0; i <= N; i++) {
      float x = -60.0f + (float)i, z = 20.0f + (float)j * 2.0f, y = sinf((float)i * 0.7f) * 0.5f;
      v.push_back({x, y, z, 0, 1, 0, 0xFFFFFFFFu, (float)i * 0.5f, (float)j * 0.5f});
    }
  for (int j = 0; j < N; j++)
    for (int i = 0; i < N; i++) {
      uint16_t a = (uint16_t)(j * (N + 1) + i);
      uint16_t q[6] = {a, (uint16_t)(a + N + 1), (uint16_t)(a + N + 2), a, (uint16_t)(a + N + 2), (uint16_t)(a + 1)};
      idx.insert(idx.end(), q, q + 6);
    }
  CfRaceMesh m = b.upload(v, idx);
  D3DMATRIX view = mat_look_at(0, 6, 0, 0, 0, 60), proj = persp(1.0821042f, 4.0f / 3.0f, 0.5f, 700.0f), world = mat_identity();
  b.dev->SetTransform(D3DTS_WORLD, &world);
  b.dev->SetTransform(D3DTS_VIEW, &view);
  b.dev->SetTransform(D3DTS_PROJECTION, &proj);
  b.dev->SetRenderState(D3DRS_FOGENABLE, 1);
  b.dev->SetRenderState(D3DRS_LIGHTING, 1);
  b.dev->SetFVF(0x152);
  b.time_draws(state, tex, m);
  state.counters["vertices/s"] = benchmark::Counter((double)state.iterations() * (double)v.size(),
                                                    benchmark::Counter::kIsRate);
  state.counters["triangles/s"] = benchmark::Counter((double)state.iterations() * (double)(idx.size() / 3),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Vertices)->Unit(benchmark::kMicrosecond);

// ---- a race frame ------------------------------------------------------------------------------------
// The conformance check's race frame, on the software device.
struct Scene {
  Bench b;
  CfRace race;
  int triangles = 0;

  Scene() {
    if (!cf_race_open(&race, b.dev)) {
      fprintf(stderr, "race frame: resources not made\n");
      exit(1);
    }
    triangles = race.triangles;
  }
  ~Scene() { cf_race_close(&race); }

  __attribute__((noinline)) void frame(float t) {
    b.dev->BeginScene();
    cf_race_frame(&race, t, b.back, 640, 480);
    b.dev->EndScene();
    b.dev->Present(nullptr, nullptr, nullptr, nullptr);
  }
};

void BM_Frame(benchmark::State& state) {
  Scene s;
  float t = 0;
  for (auto _ : state) {
    s.frame(t);
    t += 0.5f;
    if (t > 150) t = 0;
  }
  state.counters["triangles"] = (double)s.triangles;
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond);

// The magnification alone: 640 x 480 pixels of point-sampled texture.
void BM_Magnify(benchmark::State& state) {
  Bench b;
  for (auto _ : state) {
    b.begin_low(0xFF000000u);
    b.magnify();
  }
}
BENCHMARK(BM_Magnify)->Unit(benchmark::kMicrosecond);

// ---- pixel digest ------------------------------------------------------------------------------------
// FNV-1a over the rows of an image.
uint64_t digest(uint64_t h, const soft::Image& img) {
  for (int y = 0; y < img.h; y++) {
    const uint8_t* p = (const uint8_t*)(img.px + (size_t)y * img.pitch);
    for (size_t i = 0; i < (size_t)img.w * 4; i++) h = (h ^ p[i]) * 0x100000001B3ull;
  }
  return h;
}

// Digest of all frames of the race scene drawn by one rasterizer.
uint64_t scene_digest(int portable) {
  g_softHooks.portableRaster = portable;
  Scene s;
  uint64_t h = 0xCBF29CE484222325ull;
  for (int k = 0; k < 300; k++) {
    s.frame(0.5f * (float)k);
    h = digest(h, soft::surface_from(s.race.low)->img);
    h = digest(h, soft::surface_from(s.race.lowDepth)->img);
    h = digest(h, soft::surface_from(s.b.back)->img);
  }
  g_softHooks.portableRaster = 0;
  return h;
}

// A stress scene for the digest: random triangles of every size (many
// crossing the near plane or the guard band) under random states: formats
// with and without colour, texture and normals, pre-transformed vertices,
// point and directional lights, the three fog modes, range fog, flat
// shading, every depth and alpha function, the blend modes, culling, clamp
// and wrap, textures whose sides are not powers of two, mip settings, a
// scissor rectangle and a 16-bit depth buffer.
struct V_XYZ_N_D_T {
  float x, y, z, nx, ny, nz;
  uint32_t c;
  float u, v;
};

uint64_t mixed_digest(int portable) {
  g_softHooks.portableRaster = portable;
  g_rng = 777;
  uint64_t h = 0xCBF29CE484222325ull;
  for (int pass = 0; pass < 2; pass++) {
    Bench b;
    IDirect3DDevice9* d = b.dev;
    IDirect3DSurface9* ds16 = nullptr;
    d->CreateDepthStencilSurface(320, 240, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE, &ds16, nullptr);
    IDirect3DTexture9* tex[3] = {b.texture(64, 0xFFC08040u), b.texture(16, 0x80A0E0C0u), nullptr};
    d->CreateTexture(24, 40, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &tex[2], nullptr);
    for (DWORD l = 0; l < tex[2]->GetLevelCount(); l++) {
      D3DLOCKED_RECT lr;
      D3DSURFACE_DESC desc;
      tex[2]->GetLevelDesc(l, &desc);
      tex[2]->LockRect(l, &lr, nullptr, 0);
      for (UINT y = 0; y < desc.Height; y++)
        for (UINT x = 0; x < desc.Width; x++)
          ((uint32_t*)((char*)lr.pBits + y * lr.Pitch))[x] = (uint32_t)(rnd() * 16777215.0f) * 0x1F1u;
      tex[2]->UnlockRect(l);
    }
    b.textures.push_back(tex[2]);
    D3DLIGHT9 pl;
    memset(&pl, 0, sizeof pl);
    pl.Type = D3DLIGHT_POINT;
    pl.Diffuse.r = 1, pl.Diffuse.g = 0.5f, pl.Diffuse.b = 0.2f;
    pl.Ambient.r = 0.1f, pl.Ambient.g = 0.1f, pl.Ambient.b = 0.2f;
    pl.Position.x = 2, pl.Position.y = 3, pl.Position.z = 10;
    pl.Range = 30, pl.Attenuation0 = 0.5f, pl.Attenuation1 = 0.05f;
    d->SetLight(1, &pl);
    for (int frame = 0; frame < 40; frame++) {
      b.begin_low(0xFF102030u + (uint32_t)frame);
      d->SetDepthStencilSurface(pass ? ds16 : b.ds);
      d->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
      D3DMATRIX view = mat_look_at(rnd() * 4 - 2, rnd() * 4, -6, 0, 0, 20);
      D3DMATRIX proj = persp(0.8f + rnd(), 4.0f / 3.0f, 0.5f + rnd(), 60.0f + 200 * rnd()), world = mat_identity();
      d->SetTransform(D3DTS_VIEW, &view);
      d->SetTransform(D3DTS_PROJECTION, &proj);
      d->SetTransform(D3DTS_WORLD, &world);
      for (int batch = 0; batch < 24; batch++) {
        auto pick = [](int n) { return (int)(rnd() * (float)n) % n; };
        static const DWORD cmp[] = {D3DCMP_NEVER, D3DCMP_LESS, D3DCMP_EQUAL, D3DCMP_LESSEQUAL,
                                    D3DCMP_GREATER, D3DCMP_NOTEQUAL, D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS};
        static const DWORD blends[][3] = {{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},
                                          {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD},
                                          {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_ADD},
                                          {D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD},
                                          {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD},
                                          {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT}};
        d->SetRenderState(D3DRS_ZENABLE, pick(5) != 0);
        d->SetRenderState(D3DRS_ZWRITEENABLE, pick(4) != 0);
        d->SetRenderState(D3DRS_ZFUNC, pick(3) ? (DWORD)D3DCMP_LESSEQUAL : cmp[pick(8)]);
        d->SetRenderState(D3DRS_ALPHATESTENABLE, pick(2));
        d->SetRenderState(D3DRS_ALPHAFUNC, pick(2) ? (DWORD)D3DCMP_GREATEREQUAL : cmp[pick(8)]);
        d->SetRenderState(D3DRS_ALPHAREF, (DWORD)pick(256));
        int bl = pick(8);
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, bl < 6);
        if (bl < 6) {
          d->SetRenderState(D3DRS_SRCBLEND, blends[bl][0]);
          d->SetRenderState(D3DRS_DESTBLEND, blends[bl][1]);
          d->SetRenderState(D3DRS_BLENDOP, blends[bl][2]);
        }
        d->SetRenderState(D3DRS_CULLMODE, (DWORD)(1 + pick(3)));
        d->SetRenderState(D3DRS_SHADEMODE, pick(6) ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);
        d->SetRenderState(D3DRS_LIGHTING, pick(2));
        d->LightEnable(1, pick(3) == 0);
        d->SetRenderState(D3DRS_FOGENABLE, pick(3) != 0);
        d->SetRenderState(D3DRS_FOGVERTEXMODE, (DWORD)(pick(3) ? D3DFOG_LINEAR : 1 + pick(2)));
        d->SetRenderState(D3DRS_FOGDENSITY, fbits(0.02f + rnd() * 0.1f));
        d->SetRenderState(D3DRS_FOGSTART, fbits(rnd() * 20));
        d->SetRenderState(D3DRS_FOGEND, fbits(20 + rnd() * 60));
        d->SetRenderState(D3DRS_RANGEFOGENABLE, pick(4) == 0);
        d->SetRenderState(D3DRS_SCISSORTESTENABLE, pick(5) == 0);
        RECT sc = {pick(100), pick(80), 150 + pick(170), 120 + pick(120)};
        d->SetScissorRect(&sc);
        d->SetTextureStageState(0, D3DTSS_COLOROP, pick(5) ? D3DTOP_MODULATE : D3DTOP_SELECTARG1);
        d->SetTextureStageState(0, D3DTSS_ALPHAOP, pick(3) ? D3DTOP_MODULATE : D3DTOP_SELECTARG2);
        d->SetSamplerState(0, D3DSAMP_ADDRESSU, pick(3) ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
        d->SetSamplerState(0, D3DSAMP_ADDRESSV, pick(3) ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP);
        d->SetSamplerState(0, D3DSAMP_MIPFILTER, pick(4) ? D3DTEXF_POINT : D3DTEXF_NONE);
        d->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, pick(4) ? 0 : 1);
        int t = pick(4);
        d->SetTexture(0, t < 3 ? tex[t] : nullptr);
        int nt = 1 + pick(30);
        float big = pick(4) == 0 ? 300.0f : (pick(2) ? 30.0f : 3.0f);
        if (pick(5) == 0) {
          // pre-transformed, some far outside the target
          std::vector<V144> v((size_t)nt * 3);
          for (V144& q : v)
            q = {rnd() * 400 - 40, rnd() * 320 - 40, rnd(), 0.05f + rnd(), (uint32_t)(rnd() * 16777215.0f) * 0x1F1u,
                 rnd() * 4 - 2, rnd() * 4 - 2};
          if (pick(6) == 0) v[0].x = 70000.0f;
          d->SetFVF(0x144);
          d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, (UINT)nt, v.data(), sizeof(V144));
          continue;
        }
        std::vector<V_XYZ_N_D_T> v((size_t)nt * 3);
        for (size_t i = 0; i < v.size(); i++) {
          V_XYZ_N_D_T& q = v[i];
          if (i % 3 == 0 || big < 10) {
            q.x = (rnd() - 0.5f) * 40, q.y = (rnd() - 0.5f) * 30, q.z = rnd() * 50 - 3;
          } else {
            q.x = v[i - i % 3].x + (rnd() - 0.5f) * big, q.y = v[i - i % 3].y + (rnd() - 0.5f) * big;
            q.z = v[i - i % 3].z + (rnd() - 0.5f) * big;
          }
          q.nx = rnd() - 0.5f, q.ny = rnd(), q.nz = rnd() - 0.5f;
          q.c = (uint32_t)(rnd() * 16777215.0f) * 0x1F1u;
          q.u = rnd() * 6 - 3, q.v = rnd() * 6 - 3;
        }
        static const DWORD fvfs[] = {0x152, 0x142, 0x112, 0x102, 0x042, 0x002};
        DWORD fvf = fvfs[pick(6)];
        // repack into the chosen layout
        std::vector<uint8_t> raw;
        for (const V_XYZ_N_D_T& q : v) {
          auto put = [&](const void* p, size_t n) { raw.insert(raw.end(), (const uint8_t*)p, (const uint8_t*)p + n); };
          put(&q.x, 12);
          if (fvf & D3DFVF_NORMAL) put(&q.nx, 12);
          if (fvf & D3DFVF_DIFFUSE) put(&q.c, 4);
          if (fvf & 0x100) put(&q.u, 8);
        }
        UINT stride = (UINT)(raw.size() / v.size());
        d->SetFVF(fvf);
        int kind = pick(3);
        if (kind == 0) {
          d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, (UINT)nt, raw.data(), stride);
        } else if (kind == 1) {
          d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, (UINT)(nt * 3 - 2), raw.data(), stride);
        } else {
          std::vector<uint16_t> idx((size_t)nt * 3);
          for (uint16_t& i : idx) i = (uint16_t)pick(nt * 3);
          d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, (UINT)(nt * 3), (UINT)nt, idx.data(), D3DFMT_INDEX16,
                                    raw.data(), stride);
        }
      }
      d->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
      d->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
      d->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
      d->SetRenderState(D3DRS_ZWRITEENABLE, 1);
      d->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
      d->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
      d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
      d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
      d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
      d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
      d->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, 0);
      h = digest(h, soft::surface_from(b.rt)->img);
      h = digest(h, soft::surface_from(pass ? ds16 : b.ds)->img);
      b.magnify();
      h = digest(h, soft::surface_from(b.back)->img);
    }
    d->SetDepthStencilSurface(nullptr);
    ds16->Release();
  }
  g_softHooks.portableRaster = 0;
  return h;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--frame-digest") == 0) {
      uint64_t fast = scene_digest(0), portable = scene_digest(1);
      uint64_t mixed = mixed_digest(0), mixedPortable = mixed_digest(1);
      printf("race scene digest %016llx (portable rasterizer %016llx)\n", (unsigned long long)fast,
             (unsigned long long)portable);
      printf("mixed scene digest %016llx (portable rasterizer %016llx)\n", (unsigned long long)mixed,
             (unsigned long long)mixedPortable);
      return fast == portable && mixed == mixedPortable ? 0 : 1;
    }
  }
  for (int i = 1; i + 1 < argc; i++) {
    if (strcmp(argv[i], "--frames") == 0) {
      // a fixed run for profilers: the first n frames of the race scene
      Scene s;
      int n = atoi(argv[i + 1]);
      for (int k = 0; k < n; k++) s.frame(0.5f * (float)(k % 300));
      return 0;
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
