// Helpers for the software device's tests: a device with a small render
// target and depth buffer, read-back of its pixels, and vertex layouts.
#pragma once

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "d3d_util.h"
#include "soft/soft.h"

// A device without a window, drawing into a w x h render-target texture
// with a depth buffer; states at the device's defaults except depth test on,
// lighting and culling off.
struct SoftFixture {
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* dev = nullptr;
  IDirect3DTexture9* rtTex = nullptr;
  IDirect3DSurface9* rt = nullptr;
  IDirect3DSurface9* ds = nullptr;
  IDirect3DSurface9* sys = nullptr;
  int w = 0, h = 0;

  void open(int width, int height, D3DFORMAT depth = D3DFMT_D24X8) {
    w = width;
    h = height;
    soft_hooks_reset();
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp = windowed_pp(64, 64);
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x42, &pp, &dev), D3D_OK);
    ASSERT_EQ(dev->CreateTexture(w, h, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &rtTex, nullptr),
              D3D_OK);
    ASSERT_EQ(rtTex->GetSurfaceLevel(0, &rt), D3D_OK);
    ASSERT_EQ(dev->CreateDepthStencilSurface(w, h, depth, D3DMULTISAMPLE_NONE, 0, TRUE, &ds, nullptr), D3D_OK);
    ASSERT_EQ(dev->CreateOffscreenPlainSurface(w, h, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr), D3D_OK);
    ASSERT_EQ(dev->SetRenderTarget(0, rt), D3D_OK);
    ASSERT_EQ(dev->SetDepthStencilSurface(ds), D3D_OK);
    dev->SetRenderState(D3DRS_ZENABLE, TRUE);
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    clear(0xFF000000u);
  }

  void close() {
    IUnknown* all[6] = {sys, ds, rt, rtTex, dev, d3d};
    for (IUnknown* o : all)
      if (o) o->Release();
    sys = ds = rt = nullptr;
    rtTex = nullptr;
    dev = nullptr;
    d3d = nullptr;
  }

  void clear(uint32_t colour, float z = 1.0f) {
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, z, 0), D3D_OK);
  }

  // The target's pixels, rows top to bottom, read back like the game does.
  std::vector<uint32_t> read() {
    std::vector<uint32_t> out((size_t)w * h, 0xDEADBEEFu);
    EXPECT_EQ(dev->GetRenderTargetData(rt, sys), D3D_OK);
    D3DLOCKED_RECT lr;
    EXPECT_EQ(sys->LockRect(&lr, nullptr, 0), D3D_OK);
    for (int y = 0; y < h; y++) memcpy(&out[(size_t)y * w], (char*)lr.pBits + (size_t)y * lr.Pitch, (size_t)w * 4);
    sys->UnlockRect();
    return out;
  }

  uint32_t px(int x, int y) { return read()[(size_t)y * w + x] & 0xFFFFFFu; }

  // '#' where the pixel differs from the clear colour, '.' elsewhere.
  std::string mask(uint32_t background = 0xFF000000u) {
    std::vector<uint32_t> p = read();
    std::string s;
    for (int y = 0; y < h; y++) {
      for (int x = 0; x < w; x++) s += ((p[(size_t)y * w + x] | 0xFF000000u) != background) ? '#' : '.';
      s += '\n';
    }
    return s;
  }

  void tri144(const V144* v, int n, D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST) {
    dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    int prims = type == D3DPT_TRIANGLELIST ? n / 3 : n - 2;
    EXPECT_EQ(dev->DrawPrimitiveUP(type, prims, v, sizeof(V144)), D3D_OK);
  }

  // A screen-space rectangle [x0, x1) x [y0, y1) of pixel edges.
  void rect(float x0, float y0, float x1, float y1, uint32_t c, float z = 0.0f) {
    V144 v[4] = {{x0 - 0.5f, y0 - 0.5f, z, 1, c, 0, 0},
                 {x1 - 0.5f, y0 - 0.5f, z, 1, c, 1, 0},
                 {x0 - 0.5f, y1 - 0.5f, z, 1, c, 0, 1},
                 {x1 - 0.5f, y1 - 0.5f, z, 1, c, 1, 1}};
    tri144(v, 4, D3DPT_TRIANGLESTRIP);
  }

  // A texture of w x h texels from pixels (rows top to bottom), with the
  // given levels filled from further arrays.
  IDirect3DTexture9* texture(int tw, int th, const std::vector<std::vector<uint32_t>>& levels) {
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(dev->CreateTexture(tw, th, (UINT)levels.size(), 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr),
              D3D_OK);
    if (!t) return nullptr;
    for (size_t l = 0; l < levels.size(); l++) {
      int lw = tw >> l, lh = th >> l;
      if (lw < 1) lw = 1;
      if (lh < 1) lh = 1;
      D3DLOCKED_RECT lr;
      EXPECT_EQ(t->LockRect((UINT)l, &lr, nullptr, 0), D3D_OK);
      for (int y = 0; y < lh; y++)
        memcpy((char*)lr.pBits + (size_t)y * lr.Pitch, &levels[l][(size_t)y * lw], (size_t)lw * 4);
      t->UnlockRect((UINT)l);
    }
    return t;
  }
};

// A 16 x 16 target, checked for leaks afterwards.
class SoftTest : public ::testing::Test, public SoftFixture {
 protected:
  void SetUp() override { open(16, 16); }
  void TearDown() override {
    close();
    EXPECT_EQ(soft_live_objects(), 0);
  }
};

// Channels of a colour.
inline int ch_r(uint32_t c) { return (c >> 16) & 0xFF; }
inline int ch_b(uint32_t c) { return c & 0xFF; }
