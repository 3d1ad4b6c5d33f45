// Conformance scenes: small pictures drawn through IDirect3DDevice9 calls
// alone, so the same code runs on the real Direct3D 9 (the Windows program,
// under Wine) and on the software device (the Linux test). Each scene draws
// into an off-screen X8R8G8B8 target with its own depth buffer and is read
// back with GetRenderTargetData.
#pragma once

#include <stdint.h>

#include "d3d_util.h"

struct CfCtx;
typedef void (*CfDrawFn)(CfCtx* c);

struct CfScene {
  const char* name;
  int w, h;
  int depth16;     // 1: D16 depth buffer, 0: D24X8
  uint32_t clear;  // colour the target is cleared to (depth to 1.0)
  CfDrawFn draw;
  int tolDelta;    // per-channel difference counted as equal
  int tolCount;    // pixels allowed to differ by more
  const char* what;
};

int cf_scene_count();
const CfScene* cf_scene(int i);  // 0 .. cf_scene_count() - 1

// Renders a scene; out receives w*h pixels 0x00RRGGBB, rows top to bottom.
// Returns 1, or 0 with a reason in err.
int cf_render(IDirect3DDevice9* dev, const CfScene* s, uint32_t* out, char* err, int errCap);

// ---- what scenes draw with ------------------------------------------------------------
enum { CF_MAX_RES = 32 };

struct CfCtx {
  IDirect3DDevice9* dev;
  int w, h;
  IDirect3DTexture9* rtTex;  // the scene's target and its depth buffer
  IDirect3DSurface9* rt;
  IDirect3DSurface9* ds;
  IDirect3DTexture9* white;  // 1x1 opaque white
  IDirect3DTexture9* tex[CF_MAX_RES];
  int ntex;
  IDirect3DSurface9* surf[CF_MAX_RES];
  int nsurf;
  int failed;  // a resource could not be made
  char err[128];
};

enum { CF_FVF144 = 0x144, CF_FVF142 = 0x142, CF_FVF152 = 0x152 };

// Row-vector matrices, as SetTransform takes them (m[row*4+col]).
struct CfMat {
  float m[16];
};
CfMat cf_identity();
CfMat cf_mul(const CfMat& a, const CfMat& b);  // a first, then b
CfMat cf_translate(float x, float y, float z);
CfMat cf_scale(float x, float y, float z);
CfMat cf_look_at(float ex, float ey, float ez, float ax, float ay, float az);  // y up
// Perspective with cot(fovy/2) = c given directly (no trigonometry: both
// sides must compute the very same numbers).
CfMat cf_persp(float c, float aspect, float zn, float zf);
CfMat cf_ortho(float w, float h, float zn, float zf);  // centred, x right, y up
void cf_set_transform(CfCtx* c, int which, const CfMat& m);  // 0 world, 1 view, 2 projection

void cf_fail(CfCtx* c, const char* what, long hr);  // the scene cannot be drawn (first reason kept)

// Per-texel colour of a texture being made.
typedef uint32_t (*CfTexelFn)(int level, int x, int y, int w, int h);
IDirect3DTexture9* cf_texture(CfCtx* c, int w, int h, int levels, CfTexelFn fn);

// The game's default states (plus lighting, fog and blending off).
void cf_defaults(CfCtx* c);
void cf_rs(CfCtx* c, uint32_t state, uint32_t value);
void cf_rsf(CfCtx* c, uint32_t state, float value);
void cf_tss(CfCtx* c, int stage, uint32_t type, uint32_t value);
void cf_samp(CfCtx* c, int sampler, uint32_t type, uint32_t value);
void cf_bind(CfCtx* c, IDirect3DTexture9* t);  // stage 0; null unbinds
void cf_blend(CfCtx* c, int mode);             // as the game: 0 opaque + alpha test, 1 alpha, 2 additive
void cf_tint(CfCtx* c, uint32_t colour);        // stage 1 TFACTOR; 0xFFFFFFFF off
void cf_sun(CfCtx* c, float dx, float dy, float dz, uint32_t colour, uint32_t ambient);
void cf_fog(CfCtx* c, uint32_t colour, float start, float end);  // enables vertex fog
void cf_viewport(CfCtx* c, int x, int y, int w, int h);

// Screen-space drawing. The quad is the game's UI quad: corners (x0, y0) and
// (x1, y1) as given (callers add the -0.5 shift where the game does).
void cf_quad2d(CfCtx* c, float x0, float y0, float x1, float y1, uint32_t colour, float u0 = 0, float v0 = 0,
               float u1 = 1, float v1 = 1, float z = 0);
void cf_tri2d(CfCtx* c, float x0, float y0, float x1, float y1, float x2, float y2, uint32_t c0, uint32_t c1,
              uint32_t c2, float z = 0);
// Pixel-exact rectangle of the UI layer: covers pixels x..x+w-1, y..y+h-1.
void cf_rect(CfCtx* c, int x, int y, int w, int h, uint32_t colour);
void cf_draw_up(CfCtx* c, uint32_t fvf, uint32_t prim, uint32_t count, const void* v, uint32_t stride);
