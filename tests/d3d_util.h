// Direct3D 9 helpers shared by the software device's tests, the conformance
// harness (both its Linux side and the Windows program) and the benchmarks:
// the game's vertex layouts, float render states as bits, matrices built the
// way the game builds them, windowed present parameters and a seeded random
// sequence. Header-only; needs nothing beyond the runtime's maths, but the
// look-at, which is the graphics layer's.
#pragma once

#include <stdint.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
#include <d3d9.h>
#else
#include "soft/d3d9.h"
#endif

#include "gfx/gfx.h"
#include "rt/rt.h"

struct V144 {  // XYZRHW | DIFFUSE | TEX1
  float x, y, z, rhw;
  uint32_t c;
  float u, v;
};

struct V142 {  // XYZ | DIFFUSE | TEX1
  float x, y, z;
  uint32_t c;
  float u, v;
};

struct V152 {  // XYZ | NORMAL | DIFFUSE | TEX1
  float x, y, z;
  float nx, ny, nz;
  uint32_t c;
  float u, v;
};

// A float render state's value (fog start, end, density ...).
inline DWORD fbits(float f) { return rt_bit_cast<DWORD>(f); }

inline D3DMATRIX mat_identity() {
  D3DMATRIX m = {};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

// Left-handed look-at with y up: the graphics layer's (link sk_gfx to use it).
inline D3DMATRIX mat_look_at(float ex, float ey, float ez, float ax, float ay, float az) {
  Mat4 m = m4_look_at(Vec3{ex, ey, ez}, Vec3{ax, ay, az}, Vec3{0, 1, 0});
  D3DMATRIX d;
  memcpy(&d, &m, sizeof d);
  return d;
}

// Left-handed perspective as the game builds it, cot(fovy / 2) given: depth
// 0 at zn, 1 at zf.
inline D3DMATRIX mat_persp(float cot, float aspect, float zn, float zf) {
  D3DMATRIX m = {};
  m._11 = cot / aspect;
  m._22 = cot;
  m._33 = zf / (zf - zn);
  m._34 = 1.0f;
  m._43 = -zn * zf / (zf - zn);
  return m;
}

// The game's windowed present parameters, w x h, for the window win (none:
// no window).
inline D3DPRESENT_PARAMETERS windowed_pp(UINT w = 64, UINT h = 48, HWND win = nullptr) {
  D3DPRESENT_PARAMETERS pp = {};
  pp.BackBufferWidth = w;
  pp.BackBufferHeight = h;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.hDeviceWindow = win;
  pp.Windowed = TRUE;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  return pp;
}

// Xorshift: the same numbers on every platform from the same seed; 0 <= r < 1.
inline float rng_next(uint32_t& s) {
  s ^= s << 13;
  s ^= s >> 17;
  s ^= s << 5;
  return (float)(s & 0xFFFFFF) / 16777216.0f;
}
