// The device as an object: creation, loss and reset, reference counts,
// locking, targets, presentation, and robustness against anything a caller
// can pass.
#include <SDL.h>
#include <math.h>

#include "soft_util.h"

namespace {

class Device : public ::testing::Test {
 protected:
  IDirect3D9* d3d = nullptr;
  void SetUp() override {
    soft_hooks_reset();
    d3d = ((IDirect3D9 * (*)(UINT)) soft_d3d9_proc("Direct3DCreate9"))(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(d3d ? d3d->Release() : 0u, 0u);
    soft_hooks_reset();
    EXPECT_EQ(soft_live_objects(), 0);
  }
  IDirect3DDevice9* make(D3DPRESENT_PARAMETERS pp = windowed_pp()) {
    IDirect3DDevice9* dev = nullptr;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x42, &pp, &dev), D3D_OK);
    return dev;
  }
};

using Drawn = SoftTest;

TEST_F(Device, CreationCompletesThePresentParameters) {
  D3DPRESENT_PARAMETERS pp = windowed_pp();
  IDirect3DDevice9* dev = nullptr;
  // A zero size in a window takes the window's (here: no window, 640 x 480).
  pp.BackBufferWidth = pp.BackBufferHeight = pp.BackBufferCount = 0;
  pp.BackBufferFormat = D3DFMT_UNKNOWN;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x42, &pp, &dev), D3D_OK);
  EXPECT_EQ(std::make_tuple(pp.BackBufferWidth, pp.BackBufferHeight, pp.BackBufferCount, pp.BackBufferFormat),
            std::make_tuple(640u, 480u, 1u, D3DFMT_X8R8G8B8));
  dev->Release();
}

TEST_F(Device, LossThenResetAndTheResourcesItNeedsGone) {
  IDirect3DDevice9* dev = make();
  g_softHooks.lost = 1;
  g_softHooks.lostPolls = 2;
  EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  D3DPRESENT_PARAMETERS pp = windowed_pp();
  EXPECT_EQ(dev->Reset(&pp), D3DERR_DEVICELOST);  // not resettable yet
  HRESULT polls[3];
  for (HRESULT& h : polls) h = dev->TestCooperativeLevel();
  EXPECT_EQ(std::vector<HRESULT>(polls, polls + 3),
            (std::vector<HRESULT>{D3DERR_DEVICELOST, D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET}));
  // Default-pool resources and back-buffer references block a reset, as in
  // Direct3D 9; managed ones survive it.
  IDirect3DTexture9 *rt = nullptr, *managed = nullptr;
  IDirect3DSurface9* back = nullptr;
  dev->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &rt, nullptr);
  dev->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr);
  dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  EXPECT_EQ(dev->Reset(&pp), D3DERR_INVALIDCALL);
  back->Release();
  EXPECT_EQ(dev->Reset(&pp), D3DERR_INVALIDCALL) << "a render target is left";
  rt->Release();
  pp.BackBufferWidth = 100;
  ASSERT_EQ(dev->Reset(&pp), D3D_OK);
  EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  // the new size, states back to defaults, the managed texture still there
  D3DVIEWPORT9 vp;
  dev->GetViewport(&vp);
  DWORD lighting = 0;
  dev->GetRenderState(D3DRS_LIGHTING, &lighting);
  EXPECT_EQ(std::make_tuple(vp.Width, lighting, managed->GetLevelCount()), std::make_tuple(100u, (DWORD)TRUE, 4u));
  // A failed full-screen reset leaves a window-sized reset possible.
  g_softHooks.failFullscreenReset = 1;
  D3DPRESENT_PARAMETERS full = pp;
  full.Windowed = FALSE;
  EXPECT_NE(dev->Reset(&full), D3D_OK);
  EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(dev->Reset(&pp), D3D_OK);
  managed->Release();
  EXPECT_EQ(dev->Release(), 0u);
}

TEST_F(Device, ReferencesKeepObjectsAliveAsLongAsNeeded) {
  IDirect3DDevice9* dev = make();
  IDirect3DTexture9* t = nullptr;
  dev->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr);
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(t->GetSurfaceLevel(0, &level), D3D_OK);
  EXPECT_EQ(t->Release(), 1u);  // the level holds its texture
  dev->SetTexture(0, t);        // bound: the device holds it even after the last release
  EXPECT_EQ(level->Release(), 0u);
  IDirect3DBaseTexture9* got = nullptr;
  ASSERT_EQ(dev->GetTexture(0, &got), D3D_OK);
  EXPECT_EQ(got, (IDirect3DBaseTexture9*)t);
  EXPECT_EQ(got->Release(), 0u);
  // Resources keep their device: releasing the device first is safe.
  IDirect3DVertexBuffer9* vb = nullptr;
  ASSERT_EQ(dev->CreateVertexBuffer(64, 0, 0x142, D3DPOOL_MANAGED, &vb, nullptr), D3D_OK);
  dev->SetStreamSource(0, vb, 0, 24);
  EXPECT_EQ(dev->Release(), 0u);
  IDirect3DDevice9* back = nullptr;
  ASSERT_EQ(vb->GetDevice(&back), D3D_OK);
  EXPECT_EQ(back->Release(), 0u);
  EXPECT_EQ(vb->Release(), 0u);       // the last object: everything goes
  EXPECT_EQ(soft_live_objects(), 1);  // the Direct3D object
}

TEST_F(Device, LockingFollowsTheRules) {
  IDirect3DDevice9* dev = make();
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(dev->CreateTexture(16, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
  EXPECT_EQ(t->GetLevelCount(), 5u);  // 16x8 down to 1x1
  D3DLOCKED_RECT lr;
  ASSERT_EQ(t->LockRect(2, &lr, nullptr, 0), D3D_OK);
  EXPECT_EQ(t->LockRect(2, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // twice
  EXPECT_EQ(t->UnlockRect(2), D3D_OK);
  RECT bad = {0, 0, 17, 1}, sub = {2, 1, 4, 3};
  EXPECT_EQ(t->LockRect(0, &lr, &bad, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(t->LockRect(0, &lr, &sub, 0), D3D_OK);
  ((uint32_t*)lr.pBits)[0] = 0x12345678u;  // texel (2, 1)
  t->UnlockRect(0);
  ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
  EXPECT_EQ(((uint32_t*)((char*)lr.pBits + lr.Pitch))[2], 0x12345678u);
  t->UnlockRect(0);
  // buffers: nested locks are fine, ranges are checked
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(dev->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
  void* p = nullptr;
  EXPECT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
  EXPECT_EQ(ib->Lock(4, 8, &p, 0), D3D_OK);
  EXPECT_EQ(ib->Lock(4, 9, &p, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(ib->Lock(13, 0, &p, 0), D3DERR_INVALIDCALL);
  IUnknown* all[] = {ib, t, dev};
  for (IUnknown* o : all) o->Release();
}

TEST_F(Drawn, TargetsViewportClearAndReadBack) {
  // Clear rectangles are cut by the viewport.
  D3DVIEWPORT9 vp = {4, 4, 8, 4, 0.0f, 1.0f};
  ASSERT_EQ(dev->SetViewport(&vp), D3D_OK);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0);
  dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0xFF00FF00u, 0.0f, 0);
  D3DRECT r = {0, 0, 6, 6};
  dev->Clear(1, &r, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
  // the depth cleared to 0 inside the viewport hides anything drawn there
  rect(0, 0, 16, 16, 0xFFFFFFFFu, 0.5f);
  EXPECT_EQ(std::make_tuple(px(5, 5), px(6, 5), px(3, 3), px(6, 6)),
            std::make_tuple(0x0000FFu, 0xFF0000u, 0x000000u, 0xFF0000u));
  // a new target resets the viewport
  dev->SetRenderTarget(0, rt);
  dev->GetViewport(&vp);
  EXPECT_EQ(vp.X + vp.Width, 16u);
  // the back buffer can be drawn to and read back too
  IDirect3DSurface9 *back = nullptr, *bs = nullptr;
  dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  dev->SetRenderTarget(0, back);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699u, 1.0f, 0);
  dev->CreateOffscreenPlainSurface(64, 64, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &bs, nullptr);
  EXPECT_EQ(dev->GetRenderTargetData(rt, bs), D3DERR_INVALIDCALL) << "sizes differ";
  ASSERT_EQ(dev->GetRenderTargetData(back, bs), D3D_OK);
  D3DLOCKED_RECT lr;
  bs->LockRect(&lr, nullptr, 0);
  EXPECT_EQ(((uint32_t*)lr.pBits)[10] & 0xFFFFFFu, 0x336699u);
  bs->UnlockRect();
  bs->Release();
  back->Release();
}

TEST_F(Drawn, UserPointerDrawsUnbindStreams) {
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  dev->CreateVertexBuffer(3 * sizeof(V144), 0, 0x144, D3DPOOL_MANAGED, &vb, nullptr);
  dev->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr);
  dev->SetStreamSource(0, vb, 0, sizeof(V144));
  dev->SetIndices(ib);
  V144 v[6] = {};
  dev->SetFVF(0x144);
  dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(V144));
  IDirect3DVertexBuffer9* cur = vb;
  UINT off = 1, stride = 1;
  dev->GetStreamSource(0, &cur, &off, &stride);
  EXPECT_EQ(cur, nullptr);  // a user-pointer draw unbinds stream 0
  IDirect3DIndexBuffer9* curIb = nullptr;
  dev->GetIndices(&curIb);
  EXPECT_EQ(curIb, ib);  // ...but keeps the indices
  curIb->Release();
  uint16_t idx[3] = {0, 1, 2};
  dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, idx, D3DFMT_INDEX16, v, sizeof(V144));
  dev->GetIndices(&curIb);
  EXPECT_EQ(curIb, nullptr);  // the indexed one unbinds both
  ib->Release();
  vb->Release();
}

TEST_F(Device, BothRasterizersDrawTheSamePixels) {
  // A mixed scene (perspective, mip-mapped, fogged, blended, clipped) drawn
  // with the AVX2 build and the portable one.
  std::vector<uint32_t> pics[2];
  for (int portable = 0; portable < 2; portable++) {
    SoftFixture f;
    f.open(64, 48);
    g_softHooks.portableRaster = portable;
    IDirect3DDevice9* dev = f.dev;
    uint32_t rng = 99;
    auto next = [&] { return rng ^= rng << 13, rng ^= rng >> 17, rng ^= rng << 5; };
    auto rnd = [&](float lo, float hi) { return lo + (hi - lo) * (float)(next() & 0xFFFF) / 65535.0f; };
    std::vector<std::vector<uint32_t>> lv;
    for (int l = 0; l < 5; l++) {
      lv.emplace_back((size_t)(16 >> l) * (16 >> l));
      for (uint32_t& p : lv.back()) p = next() | 0x80000000u;
    }
    IDirect3DTexture9* t = f.texture(16, 16, lv);
    dev->SetTexture(0, t);
    dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    D3DMATRIX pr = mat_persp(1.2f, 64.0f / 48.0f, 0.5f, 80.0f);
    dev->SetTransform(D3DTS_PROJECTION, &pr);
    const DWORD fog[][2] = {{D3DRS_FOGENABLE, TRUE}, {D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR},
                            {D3DRS_FOGCOLOR, 0xFF8090A0u}, {D3DRS_FOGSTART, fbits(5.0f)},
                            {D3DRS_FOGEND, fbits(40.0f)},  {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}};
    for (auto& s : fog) dev->SetRenderState((D3DRENDERSTATETYPE)s[0], s[1]);
    dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    for (int i = 0; i < 120; i++) {
      V142 v[3];
      for (V142& p : v) p = {rnd(-30, 30), rnd(-20, 20), rnd(-5, 60), next() | 0x40000000u, rnd(-3, 3), rnd(-3, 3)};
      dev->SetRenderState(D3DRS_ALPHABLENDENABLE, i % 3 == 0);
      dev->SetRenderState(D3DRS_DESTBLEND, i % 2 ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
      dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(V142));
    }
    pics[portable] = f.read();
    dev->SetTexture(0, nullptr);
    t->Release();
    f.close();
  }
  int differ = 0, nonblack = 0;
  for (size_t i = 0; i < pics[0].size(); i++) {
    differ += pics[0][i] != pics[1][i];
    nonblack += (pics[0][i] & 0xFFFFFFu) != 0;
  }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(nonblack, 1000);
}

TEST_F(Device, PresentShowsTheBackBufferInTheWindow) {
  // With SDL's dummy video driver the window surface is plain memory.
  ASSERT_EQ(SDL_setenv("SDL_VIDEODRIVER", "dummy", 1), 0);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* win = SDL_CreateWindow("soft", 0, 0, 32, 24, 0);
  ASSERT_NE(win, nullptr);
  IDirect3DDevice9* dev = make(windowed_pp(32, 24, (HWND)win));
  ASSERT_NE(dev, nullptr);
  // the window's pixel (x, y) after presenting a clear to colour
  auto shown = [&](uint32_t colour, int x, int y) {
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    SDL_Surface* s = SDL_GetWindowSurface(win);
    uint8_t r, g, b;
    SDL_GetRGB(((uint32_t*)s->pixels)[y * (s->pitch / 4) + x], s->format, &r, &g, &b);
    return (uint32_t)(r << 16 | g << 8 | b);
  };
  EXPECT_EQ(shown(0xFF204060u, 7, 5), 0x204060u);
  // a different back-buffer size is scaled to the window
  D3DPRESENT_PARAMETERS pp = windowed_pp(16, 12, (HWND)win);
  ASSERT_EQ(dev->Reset(&pp), D3D_OK);
  EXPECT_EQ(shown(0xFF0000FFu, 30, 20), 0x0000FFu);
  dev->Release();
  SDL_DestroyWindow(win);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// ---- hostile input --------------------------------------------------------------------------------
TEST_F(Drawn, HostileDrawsDrawNothingWrongAndNeverCrash) {
  const float nan = NAN, inf = INFINITY;
  V144 v[3] = {{1, 1, 0, 1, 0xFFFFFFFFu, 0, 0}, {14, 1, 0, 1, 0xFFFFFFFFu, 0, 0}, {1, 14, 0, 1, 0xFFFFFFFFu, 0, 0}};
  dev->SetFVF(0x144);
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 16), D3DERR_INVALIDCALL);  // stride below the format
  // buffers too small for the request
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  EXPECT_EQ(dev->CreateVertexBuffer(0xFFFFFFFFu, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_OUTOFVIDEOMEMORY);
  const V144 six[6] = {v[0], v[0], v[0], v[0], v[1], v[2]};  // a point, then the triangle
  dev->CreateVertexBuffer(sizeof six, 0, 0x144, D3DPOOL_MANAGED, &vb, nullptr);
  dev->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr);
  void* p;
  vb->Lock(0, 0, &p, 0);
  memcpy(p, six, sizeof six);
  vb->Unlock();
  const uint16_t ix[6] = {3, 1, 2, 0, 1, 2};  // from base vertex 3, index 3 is just past the end
  ib->Lock(0, 0, &p, 0);
  memcpy(p, ix, sizeof ix);
  ib->Unlock();
  rect(0, 0, 16, 16, 0xFFFFFFFFu);  // leaves four vertices behind
  clear(0xFF000000u);
  dev->SetStreamSource(0, vb, 0, sizeof(V144));
  dev->SetIndices(ib);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 4, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 3), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0xFFFFFFFFu, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0xFFFFFFFFu), D3DERR_INVALIDCALL);
  // From base vertex 3: the triangle with the index past the end is skipped
  // (even where an earlier draw left a vertex behind), the one from index 3
  // on drawn; a huge declared range and negative base vertices stay inside
  // the buffer.
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 3, 0, 70000, 0, 1), D3D_OK);
  EXPECT_EQ(px(10, 10), 0u);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 3, 0, 3, 3, 1), D3D_OK);
  EXPECT_EQ(px(3, 3), 0xFFFFFFu);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1000000, 0, 3, 0, 2), D3D_OK);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1000000, 0, 3, 0, 2), D3D_OK);
  uint16_t bad[6] = {0, 1, 7, 9, 9, 9};
  EXPECT_EQ(dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 2, bad, D3DFMT_INDEX16, v, sizeof(V144)), D3D_OK);
  // NaN, infinity, huge, zero and negative w, degenerate: nothing crashes
  float weird[] = {nan, inf, -inf, 1e30f, -1e30f, 3e38f, 0.0f, -0.0f, 1e-30f, -5.0f};
  for (float a : weird)
    for (float b : weird) {
      V144 t[3] = {{a, 3, 0, 1, 0xFF0000FFu, 0, 0}, {14, b, 0.5f, 1, 0xFF0000FFu, a, b}, {2, 13, b, a, 0xFF0000FFu, 0, 0}};
      dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t, sizeof(V144));
    }
  dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  D3DMATRIX m = mat_persp(1.0f, 1.0f, 0.5f, 100.0f);
  dev->SetTransform(D3DTS_PROJECTION, &m);
  dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
  dev->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
  dev->SetRenderState(D3DRS_FOGSTART, fbits(nan));
  dev->SetRenderState(D3DRS_FOGEND, fbits(inf));
  for (float a : weird)
    for (float b : weird) {
      V142 t[3] = {{a, 0, 5, 0xFF0000FFu, a, 0}, {1, b, 5, 0xFF0000FFu, 0, b}, {0, 1, a, 0xFF0000FFu, b, a}};
      dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t, sizeof(V142));
    }
  V142 t0[3] = {{0, 0, 5, 0xFFFFFFFFu, 0, 0}, {1, 0, 5, 0xFFFFFFFFu, 0, 0}, {0, 1, 5, 0xFFFFFFFFu, 0, 0}};
  memset(&m, 0, sizeof m);
  dev->SetTransform(D3DTS_PROJECTION, &m);  // every vertex at w = 0
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t0, sizeof(V142)), D3D_OK);
  for (int i = 0; i < 16; i++) m.m[i / 4][i % 4] = weird[i % 10];
  dev->SetTransform(D3DTS_PROJECTION, &m);
  dev->SetTransform(D3DTS_VIEW, &m);
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t0, sizeof(V142)), D3D_OK);
  // strange states: any value is accepted and drawing copes
  D3DMATRIX id = mat_identity();
  dev->SetTransform(D3DTS_PROJECTION, &id);
  dev->SetTransform(D3DTS_VIEW, &id);
  for (DWORD st = 0; st < 256; st++) dev->SetRenderState((D3DRENDERSTATETYPE)st, 0xDEADBEEFu);
  for (DWORD st = 0; st < 33; st++) dev->SetTextureStageState(0, (D3DTEXTURESTAGESTATETYPE)st, 0xDEADBEEFu);
  for (DWORD st = 0; st < 14; st++) dev->SetSamplerState(0, (D3DSAMPLERSTATETYPE)st, 0xDEADBEEFu);
  dev->SetTexture(0, rtTex);  // sampling the texture being drawn to
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t0, sizeof(V142)), D3D_OK);
  dev->SetTexture(0, nullptr);
  ib->Release();
  vb->Release();
}

}  // namespace
