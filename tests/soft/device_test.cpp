// The device as an object: creation and its failures, loss and reset,
// reference counts, locking, targets, presentation, the test hooks, and
// robustness against anything a caller can pass.
#include <SDL.h>
#include <math.h>

#include "soft_util.h"

namespace {

class Device : public ::testing::Test {
 protected:
  IDirect3D9* d3d = nullptr;
  void SetUp() override {
    soft_hooks_reset();
    typedef IDirect3D9* (*Create)(UINT);
    Create create = (Create)soft_d3d9_proc("Direct3DCreate9");
    ASSERT_NE(create, nullptr);
    d3d = create(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
  }
  void TearDown() override {
    if (d3d) {
      EXPECT_EQ(d3d->Release(), 0u);
    }
    soft_hooks_reset();
    EXPECT_EQ(soft_live_objects(), 0);
  }
  IDirect3DDevice9* make(DWORD flags = 0x42, D3DPRESENT_PARAMETERS pp = windowed_pp()) {
    IDirect3DDevice9* dev = nullptr;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, flags, &pp, &dev), D3D_OK);
    return dev;
  }
};

TEST_F(Device, EntryPointAndCreation) {
  EXPECT_EQ(soft_d3d9_proc("Direct3DCreate8"), nullptr);
  EXPECT_EQ(soft_d3d9_proc(nullptr), nullptr);
  EXPECT_EQ(Direct3DCreate9(31), nullptr);
  D3DPRESENT_PARAMETERS pp = windowed_pp(), full = pp;
  full.Windowed = FALSE;
  full.BackBufferWidth = 800;
  full.BackBufferHeight = 600;
  // a device only on success, released at once
  auto create = [&](DWORD flags, D3DPRESENT_PARAMETERS* p, UINT adapter = 0) {
    IDirect3DDevice9* dev = (IDirect3DDevice9*)1;
    HRESULT hr = d3d->CreateDevice(adapter, D3DDEVTYPE_HAL, nullptr, flags, p, &dev);
    EXPECT_EQ(hr == D3D_OK, dev != nullptr) << std::hex << hr;
    if (hr == D3D_OK) dev->Release();
    return hr;
  };
  // The game's two attempts: hardware vertex processing, then software.
  g_softHooks.failNextHwCreate = 1;
  EXPECT_EQ(create(0x42, &pp), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(create(0x42, &pp), D3D_OK);  // only the next one failed
  g_softHooks.failCreateHw = 1;
  g_softHooks.failCode = (HRESULT)0x8876086Au;
  EXPECT_EQ(create(0x42, &pp), (HRESULT)0x8876086Au);
  EXPECT_EQ(create(0x22, &pp), D3D_OK);
  g_softHooks.failCreateHw = 0;
  g_softHooks.failFullscreenCreate = 1;
  EXPECT_NE(create(0x42, &full), D3D_OK);
  EXPECT_EQ(create(0x42, &pp), D3D_OK);
  g_softHooks.failCreate = 1;
  EXPECT_NE(create(0x22, &pp), D3D_OK);
  // Malformed requests.
  g_softHooks.failCreate = 0;
  EXPECT_EQ(create(0x62, &pp), D3DERR_INVALIDCALL);  // two kinds of vertex processing
  EXPECT_EQ(create(0x42, &pp, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(create(0x42, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x42, &pp, nullptr), D3DERR_INVALIDCALL);
  full.BackBufferWidth = 0;
  EXPECT_EQ(create(0x42, &full), D3DERR_INVALIDCALL);
  // A zero size in a window takes the window's (here: no window, 640 x 480)
  // and the present parameters come back completed.
  pp.BackBufferWidth = pp.BackBufferHeight = pp.BackBufferCount = 0;
  pp.BackBufferFormat = D3DFMT_UNKNOWN;
  ASSERT_EQ(create(0x42, &pp), D3D_OK);
  EXPECT_EQ(pp.BackBufferWidth, 640u);
  EXPECT_EQ(pp.BackBufferHeight, 480u);
  EXPECT_EQ(pp.BackBufferCount, 1u);
  EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);
}

TEST_F(Device, DisplayModeAndAdapterQueries) {
  D3DDISPLAYMODE m;
  ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &m), D3D_OK);
  EXPECT_EQ(m.Width, 1024u);
  EXPECT_EQ(m.Height, 768u);
  EXPECT_EQ(m.Format, D3DFMT_X8R8G8B8);
  g_softHooks.modeW = 1920;
  g_softHooks.modeH = 1080;
  ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &m), D3D_OK);
  EXPECT_EQ(m.Width, 1920u);
  EXPECT_EQ(m.Height, 1080u);
  g_softHooks.failDisplayMode = 1;
  EXPECT_NE(d3d->GetAdapterDisplayMode(0, &m), D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_4_SAMPLES,
                                            nullptr),
            D3DERR_NOTAVAILABLE);
}

TEST_F(Device, LossThenResetAndTheResourcesItNeedsGone) {
  IDirect3DDevice9* dev = make();
  ASSERT_NE(dev, nullptr);
  EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);
  g_softHooks.lost = 1;
  g_softHooks.lostPolls = 2;
  EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICELOST);
  D3DPRESENT_PARAMETERS pp = windowed_pp();
  EXPECT_EQ(dev->Reset(&pp), D3DERR_DEVICELOST);  // not resettable yet
  EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  // Default-pool resources and back-buffer references block a reset, as in
  // Direct3D 9; managed ones survive it.
  IDirect3DTexture9* rt = nullptr;
  IDirect3DTexture9* managed = nullptr;
  IDirect3DSurface9* back = nullptr;
  ASSERT_EQ(dev->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &rt, nullptr),
            D3D_OK);
  ASSERT_EQ(dev->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);
  ASSERT_EQ(dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  EXPECT_EQ(dev->Reset(&pp), D3DERR_INVALIDCALL);
  rt->Release();
  EXPECT_EQ(dev->Reset(&pp), D3DERR_INVALIDCALL);
  back->Release();
  g_softHooks.failReset = 1;
  EXPECT_NE(dev->Reset(&pp), D3D_OK);
  EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  g_softHooks.failReset = 0;
  pp.BackBufferWidth = 100;
  ASSERT_EQ(dev->Reset(&pp), D3D_OK);
  EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(g_softHooks.lost, 0);
  EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  // the new size, states back to defaults, the managed texture still there
  D3DVIEWPORT9 vp;
  dev->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 100u);
  DWORD v = 0;
  dev->GetRenderState(D3DRS_LIGHTING, &v);
  EXPECT_EQ(v, (DWORD)TRUE);
  EXPECT_EQ(managed->GetLevelCount(), 4u);
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
  ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(t->GetSurfaceLevel(0, &level), D3D_OK);
  EXPECT_EQ(t->Release(), 1u);  // the level holds its texture
  D3DSURFACE_DESC d;
  EXPECT_EQ(level->GetDesc(&d), D3D_OK);
  EXPECT_EQ(d.Width, 4u);
  dev->SetTexture(0, t);  // bound: the device holds it even after the last release
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
  EXPECT_EQ(vb->Release(), 0u);  // the last object: everything goes
  EXPECT_EQ(soft_live_objects(), 1);  // the Direct3D object
}

TEST_F(Device, LockingFollowsTheRules) {
  IDirect3DDevice9* dev = make();
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(dev->CreateTexture(16, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
  EXPECT_EQ(t->GetLevelCount(), 5u);  // 16x8 down to 1x1
  D3DLOCKED_RECT lr;
  ASSERT_EQ(t->LockRect(2, &lr, nullptr, 0), D3D_OK);
  EXPECT_GE(lr.Pitch, 4 * 4);
  EXPECT_EQ(t->LockRect(2, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // twice
  EXPECT_EQ(t->UnlockRect(2), D3D_OK);
  EXPECT_EQ(t->UnlockRect(2), D3DERR_INVALIDCALL);  // not locked
  EXPECT_EQ(t->LockRect(5, &lr, nullptr, 0), D3DERR_INVALIDCALL);
  RECT bad = {0, 0, 17, 1};
  EXPECT_EQ(t->LockRect(0, &lr, &bad, 0), D3DERR_INVALIDCALL);
  RECT sub = {2, 1, 4, 3};
  ASSERT_EQ(t->LockRect(0, &lr, &sub, 0), D3D_OK);
  ((uint32_t*)lr.pBits)[0] = 0x12345678u;  // texel (2, 1)
  t->UnlockRect(0);
  ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
  EXPECT_EQ(((uint32_t*)((char*)lr.pBits + lr.Pitch))[2], 0x12345678u);
  t->UnlockRect(0);
  // render-target textures cannot be locked; off-screen surfaces can
  IDirect3DTexture9* rt = nullptr;
  dev->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &rt, nullptr);
  EXPECT_EQ(rt->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
  IDirect3DSurface9* off = nullptr;
  ASSERT_EQ(dev->CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &off, nullptr), D3D_OK);
  EXPECT_EQ(off->LockRect(&lr, nullptr, 0), D3D_OK);
  EXPECT_EQ(off->LockRect(&lr, nullptr, 0), D3DERR_INVALIDCALL);
  off->UnlockRect();
  // buffers: nested locks are fine, ranges are checked
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(dev->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
  void* p = nullptr;
  EXPECT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
  EXPECT_EQ(ib->Lock(4, 8, &p, 0), D3D_OK);
  EXPECT_EQ(ib->Lock(4, 9, &p, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(ib->Lock(13, 0, &p, 0), D3DERR_INVALIDCALL);
  ib->Unlock();
  ib->Unlock();
  EXPECT_EQ(ib->Unlock(), D3D_OK);
  ib->Release();
  off->Release();
  rt->Release();
  t->Release();
  dev->Release();
}

TEST_F(Device, TargetsViewportClearAndReadBack) {
  SoftFixture f;
  f.open(16, 16);
  IDirect3DDevice9* dev = f.dev;
  // Clear rectangles are cut by the viewport (the filling of the viewport
  // alone is a conformance rule).
  D3DVIEWPORT9 vp = {4, 4, 8, 4, 0.0f, 1.0f};
  ASSERT_EQ(dev->SetViewport(&vp), D3D_OK);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0);
  dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0xFF00FF00u, 0.0f, 0);
  D3DRECT r = {0, 0, 6, 6};
  dev->Clear(1, &r, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
  EXPECT_EQ(f.px(5, 5), 0x0000FFu);
  EXPECT_EQ(f.px(6, 5), 0xFF0000u);
  EXPECT_EQ(f.px(3, 3), 0x000000u);
  EXPECT_EQ(dev->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  // the depth cleared to 0 inside the viewport hides anything drawn there
  f.rect(0, 0, 16, 16, 0xFFFFFFFFu, 0.5f);
  EXPECT_EQ(f.px(5, 5), 0x0000FFu);
  EXPECT_EQ(f.px(6, 6), 0xFF0000u);
  // viewports must fit the target; a new target resets the viewport
  D3DVIEWPORT9 big = {8, 8, 9, 1, 0.0f, 1.0f};
  EXPECT_EQ(dev->SetViewport(&big), D3DERR_INVALIDCALL);
  dev->SetRenderTarget(0, f.rt);
  dev->GetViewport(&vp);
  EXPECT_EQ(vp.X, 0u);
  EXPECT_EQ(vp.Width, 16u);
  // no depth buffer: clearing it is an error
  dev->SetDepthStencilSurface(nullptr);
  EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  IDirect3DSurface9* got = nullptr;
  EXPECT_EQ(dev->GetDepthStencilSurface(&got), D3DERR_NOTFOUND);
  // GetRenderTargetData wants a system-memory surface of the same size
  IDirect3DSurface9* small = nullptr;
  dev->CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &small, nullptr);
  EXPECT_EQ(dev->GetRenderTargetData(f.rt, small), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->GetRenderTargetData(f.sys, f.rt), D3DERR_INVALIDCALL);
  small->Release();
  // the back buffer can be drawn to and read back too
  IDirect3DSurface9* back = nullptr;
  dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  dev->SetRenderTarget(0, back);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699u, 1.0f, 0);
  IDirect3DSurface9* bs = nullptr;
  dev->CreateOffscreenPlainSurface(64, 64, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &bs, nullptr);
  ASSERT_EQ(dev->GetRenderTargetData(back, bs), D3D_OK);
  D3DLOCKED_RECT lr;
  bs->LockRect(&lr, nullptr, 0);
  EXPECT_EQ(((uint32_t*)lr.pBits)[10] & 0xFFFFFFu, 0x336699u);
  bs->UnlockRect();
  bs->Release();
  back->Release();
  f.close();
}

TEST_F(Device, UserPointerDrawsUnbindStreams) {
  SoftFixture f;
  f.open(8, 8);
  IDirect3DDevice9* dev = f.dev;
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
  f.close();
}

TEST_F(Device, BothRasterizersDrawTheSamePixels) {
  // A mixed scene (perspective, mip-mapped, fogged, lit, blended, clipped)
  // drawn with the AVX2 build and the portable one.
  std::vector<uint32_t> pics[2];
  for (int portable = 0; portable < 2; portable++) {
    SoftFixture f;
    f.open(64, 48);
    g_softHooks.portableRaster = portable;
    IDirect3DDevice9* dev = f.dev;
    std::vector<std::vector<uint32_t>> lv;
    uint32_t seed = 1;
    for (int l = 0; l < 5; l++) {
      std::vector<uint32_t> px((size_t)(16 >> l) * (16 >> l));
      for (uint32_t& p : px) p = (seed = seed * 1664525u + 1013904223u) | 0x80000000u;
      lv.push_back(px);
    }
    IDirect3DTexture9* t = f.texture(16, 16, lv);
    dev->SetTexture(0, t);
    dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    D3DMATRIX id = mat_identity(), pr = mat_persp(1.2f, 64.0f / 48.0f, 0.5f, 80.0f);
    dev->SetTransform(D3DTS_WORLD, &id);
    dev->SetTransform(D3DTS_VIEW, &id);
    dev->SetTransform(D3DTS_PROJECTION, &pr);
    dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
    dev->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    dev->SetRenderState(D3DRS_FOGCOLOR, 0xFF8090A0u);
    dev->SetRenderState(D3DRS_FOGSTART, fbits(5.0f));
    dev->SetRenderState(D3DRS_FOGEND, fbits(40.0f));
    dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    uint32_t rng = 99;
    auto rnd = [&](float lo, float hi) {
      rng ^= rng << 13, rng ^= rng >> 17, rng ^= rng << 5;
      return lo + (hi - lo) * (float)(rng & 0xFFFF) / 65535.0f;
    };
    for (int i = 0; i < 120; i++) {
      V142 v[3];
      for (int k = 0; k < 3; k++)
        v[k] = {rnd(-30, 30), rnd(-20, 20), rnd(-5, 60), (rng | 0x40000000u), rnd(-3, 3), rnd(-3, 3)};
      dev->SetRenderState(D3DRS_ALPHABLENDENABLE, i % 3 == 0);
      dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
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
  D3DPRESENT_PARAMETERS pp = windowed_pp(32, 24, (HWND)win);
  IDirect3DDevice9* dev = make(0x42, pp);
  ASSERT_NE(dev, nullptr);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060u, 1.0f, 0);
  EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  SDL_Surface* s = SDL_GetWindowSurface(win);
  ASSERT_NE(s, nullptr);
  uint8_t r, g, b;
  SDL_GetRGB(((uint32_t*)s->pixels)[5 * (s->pitch / 4) + 7], s->format, &r, &g, &b);
  EXPECT_EQ(r, 0x20);
  EXPECT_EQ(g, 0x40);
  EXPECT_EQ(b, 0x60);
  // a different back-buffer size is scaled to the window
  pp = windowed_pp(16, 12, (HWND)win);
  ASSERT_EQ(dev->Reset(&pp), D3D_OK);
  dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
  EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  s = SDL_GetWindowSurface(win);
  SDL_GetRGB(((uint32_t*)s->pixels)[20 * (s->pitch / 4) + 30], s->format, &r, &g, &b);
  EXPECT_EQ(b, 0xFF);
  dev->Release();
  SDL_DestroyWindow(win);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// ---- hostile input --------------------------------------------------------------------------------
TEST_F(Device, ImpossibleResourcesAreRefusedWithNothingMade) {
  IDirect3DDevice9* dev = make();
  IDirect3DTexture9* t = (IDirect3DTexture9*)1;
  EXPECT_EQ(dev->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(dev->CreateTexture(100000, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->CreateTexture(4, 4, 9, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &t, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &t, nullptr),
            D3DERR_INVALIDCALL);
  IDirect3DVertexBuffer9* vb = nullptr;
  EXPECT_EQ(dev->CreateVertexBuffer(0xFFFFFFFFu, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), D3DERR_OUTOFVIDEOMEMORY);
  IDirect3DIndexBuffer9* ib = nullptr;
  EXPECT_EQ(dev->CreateIndexBuffer(16, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib, nullptr), D3DERR_INVALIDCALL);
  IDirect3DSurface9* s = nullptr;
  EXPECT_EQ(dev->CreateDepthStencilSurface(8, 8, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &s, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &s, nullptr),
            D3DERR_INVALIDCALL);
  // Scenes do not nest, and unsupported parts of the interface fail cleanly.
  EXPECT_EQ(dev->EndScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->BeginScene(), D3D_OK);
  EXPECT_EQ(dev->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->EndScene(), D3D_OK);
  EXPECT_EQ(dev->CreateVertexShader(nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->CreateStateBlock(D3DSBT_ALL, nullptr), D3DERR_INVALIDCALL);
  dev->Release();
}

TEST_F(Device, HostileDrawsDrawNothingWrongAndNeverCrash) {
  SoftFixture f;
  f.open(16, 16);
  IDirect3DDevice9* dev = f.dev;
  const float nan = NAN, inf = INFINITY;
  // draw calls without what they need
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // no stream
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, 28), D3DERR_INVALIDCALL);
  V144 v[3] = {{1, 1, 0, 1, 0xFFFFFFFFu, 0, 0}, {14, 1, 0, 1, 0xFFFFFFFFu, 0, 0}, {1, 14, 0, 1, 0xFFFFFFFFu, 0, 0}};
  dev->SetFVF(0x144);
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 16), D3DERR_INVALIDCALL);  // stride below the format
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_POINTLIST, 1, v, sizeof(V144)), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawPrimitiveUP((D3DPRIMITIVETYPE)77, 1, v, sizeof(V144)), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, v, sizeof(V144)), D3D_OK);
  dev->SetFVF(0);
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(V144)), D3DERR_INVALIDCALL);  // no position
  dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_NORMAL);
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(V144)), D3DERR_INVALIDCALL);
  // buffers too small for the request
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  dev->CreateVertexBuffer(3 * sizeof(V144), 0, 0x144, D3DPOOL_MANAGED, &vb, nullptr);
  dev->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr);
  void* p;
  vb->Lock(0, 0, &p, 0);
  memcpy(p, v, sizeof v);
  vb->Unlock();
  uint16_t* ix;
  ib->Lock(0, 0, (void**)&ix, 0);
  ix[0] = 0, ix[1] = 1, ix[2] = 2, ix[3] = 0, ix[4] = 60000, ix[5] = 2;  // one index far outside
  ib->Unlock();
  dev->SetFVF(0x144);
  dev->SetStreamSource(0, vb, 0, sizeof(V144));
  dev->SetIndices(ib);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 2, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 3), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0xFFFFFFFFu, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0xFFFFFFFFu), D3DERR_INVALIDCALL);
  // the triangle with the far index is skipped, the other drawn; a huge
  // declared range and negative base vertices stay inside the buffer
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 70000, 0, 2), D3D_OK);
  EXPECT_EQ(f.px(3, 3), 0xFFFFFFu);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1000000, 0, 3, 0, 2), D3D_OK);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1000000, 0, 3, 0, 2), D3D_OK);
  uint16_t bad[6] = {0, 1, 7, 9, 9, 9};
  EXPECT_EQ(dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 2, bad, D3DFMT_INDEX16, v, sizeof(V144)), D3D_OK);
  EXPECT_EQ(dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, bad, D3DFMT_D16, v, sizeof(V144)),
            D3DERR_INVALIDCALL);
  // NaN, infinity, huge, zero and negative w, degenerate: nothing drawn
  // outside the target, nothing crashes
  f.clear(0xFF000000u);
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
  D3DMATRIX z;
  memset(&z, 0, sizeof z);
  dev->SetTransform(D3DTS_PROJECTION, &z);  // every vertex at w = 0
  V142 t0[3] = {{0, 0, 5, 0xFFFFFFFFu, 0, 0}, {1, 0, 5, 0xFFFFFFFFu, 0, 0}, {0, 1, 5, 0xFFFFFFFFu, 0, 0}};
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t0, sizeof(V142)), D3D_OK);
  for (int i = 0; i < 16; i++)
    for (int k = 0; k < 16; k++) m.m[i % 4][k % 4] = weird[(i * 16 + k) % 10];
  dev->SetTransform(D3DTS_PROJECTION, &m);
  dev->SetTransform(D3DTS_VIEW, &m);
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t0, sizeof(V142)), D3D_OK);
  // strange states: any render state value is accepted and drawing copes
  D3DMATRIX id = mat_identity();
  dev->SetTransform(D3DTS_PROJECTION, &id);
  dev->SetTransform(D3DTS_VIEW, &id);
  for (DWORD st = 0; st < 256; st++) dev->SetRenderState((D3DRENDERSTATETYPE)st, 0xDEADBEEFu);
  for (DWORD st = 0; st < 33; st++) dev->SetTextureStageState(0, (D3DTEXTURESTAGESTATETYPE)st, 0xDEADBEEFu);
  for (DWORD st = 0; st < 14; st++) dev->SetSamplerState(0, (D3DSAMPLERSTATETYPE)st, 0xDEADBEEFu);
  dev->SetTexture(0, f.rtTex);  // sampling the texture being drawn to
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t0, sizeof(V142)), D3D_OK);
  dev->SetTexture(0, nullptr);
  ib->Release();
  vb->Release();
  f.close();
}

}  // namespace
