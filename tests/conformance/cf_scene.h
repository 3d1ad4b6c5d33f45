// Conformance scenes: small pictures drawn through IDirect3DDevice9 calls
// alone, so the same code runs on the real Direct3D 9 (the Windows program,
// under Wine) and on the software device (the Linux test). Each scene draws
// into an off-screen X8R8G8B8 target with its own depth buffer and is read
// back with GetRenderTargetData.
#pragma once

#include <stdint.h>

#include <initializer_list>

#include "d3d_util.h"

struct CfCtx;
typedef void (*CfDrawFn)(CfCtx* c);

struct CfScene {
  const char* name;  // null ends a table
  int w, h;
  int depth16;     // 1: D16 depth buffer, 0: D24X8
  uint32_t clear;  // colour the target is cleared to (depth to 1.0)
  CfDrawFn draw;
  int tolDelta;    // per-channel difference counted as equal
  int tolCount;    // pixels allowed to differ by more
  const char* what;
};

int cf_scene_count();
const CfScene* cf_scene(int i);  // 0 .. cf_scene_count() - 1, then null

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

// Transforms are the graphics layer's row-vector matrices (gfx/matrix.cpp).
void cf_xform(CfCtx* c, D3DTRANSFORMSTATETYPE which, const Mat4& m);
// Scale, then translate: the world matrices the scenes need.
Mat4 cf_scale_move(float sx, float sy, float sz, float tx, float ty, float tz);
// Perspective projection for the scene's aspect, cot(fovy/2) = cot given
// directly (no trigonometry: both sides must compute the very same numbers).
void cf_persp(CfCtx* c, float cot, float zn, float zf);

void cf_fail(CfCtx* c, const char* what, long hr);  // the scene cannot be drawn (first reason kept)

// Per-texel colour of a texture being made.
typedef uint32_t (*CfTexelFn)(int level, int x, int y, int w, int h);
IDirect3DTexture9* cf_texture(CfCtx* c, int w, int h, int levels, CfTexelFn fn);

// The game's default states (plus lighting, fog and blending off).
void cf_defaults(CfCtx* c);
void cf_rs(CfCtx* c, uint32_t state, uint32_t value);
void cf_tss(CfCtx* c, int stage, uint32_t type, uint32_t value);
void cf_samp(CfCtx* c, int sampler, uint32_t type, uint32_t value);
void cf_bind(CfCtx* c, IDirect3DTexture9* t);  // stage 0; null unbinds
void cf_blend(CfCtx* c, int mode);             // as the game: 0 opaque + alpha test, 1 alpha, 2 additive
void cf_tint(CfCtx* c, uint32_t colour);        // stage 1 TFACTOR; 0xFFFFFFFF off
void cf_viewport(CfCtx* c, int x, int y, int w, int h);

// Screen-space drawing. The quad is the game's UI quad: corners (x0, y0) and
// (x1, y1) as given (callers add the -0.5 shift where the game does).
void cf_quad2d(CfCtx* c, float x0, float y0, float x1, float y1, uint32_t colour, float u0 = 0, float v0 = 0,
               float u1 = 1, float v1 = 1, float z = 0);
void cf_draw_up(CfCtx* c, uint32_t fvf, uint32_t prim, uint32_t count, const void* v, uint32_t stride);
// A 3D quad, corners p = a, b, c, d (x, y, z each), as the triangles (a, b, c)
// and (b, d, c); colour ca at a and b, cc at c and d; texture coordinates
// (u0, v0) at a to (u1, v1) at d.
void cf_quad3d(CfCtx* c, std::initializer_list<float> p, uint32_t ca, uint32_t cc, float u0 = 0, float v0 = 0,
               float u1 = 0, float v1 = 0);

// ---- texture patterns and the scenes' parameters ----------------------------------------

// 2x2-texel checker of two colours per level (lighter on odd texels).
uint32_t cf_texel_checker(int level, int x, int y, int w, int h);
// Every texel its own colour (index = y * w + x), opaque.
uint32_t cf_texel_index(int level, int x, int y, int w, int h);
// Level n of a mip-mapped texture: colour n.
uint32_t cf_level_colour(int level);

// Parameters of the scenes, for the checks of their pictures.
float cf_fill_offset(int i);        // edge offset of bar i in fill_edges
float cf_mip_footprint(int row, int col);  // texels per pixel of a mip_select cell
float cf_light_cos(int col);        // N.L of a lighting column
struct CfLightRow {                 // a row of lighting
  uint32_t colour;                  // vertex colour
  int normalize;                    // NORMALIZENORMALS
  float scale, scaleY, len;         // world scale (y scaled by scaleY more), normal length
  uint32_t sun, ambient;
  int blend, yAxis;                 // alpha blended; normals tilted towards y
  const char* what;
};
extern const CfLightRow cf_light_rows[9];
void cf_npot_wrap_coords(float* u0, float* v0, float* u1, float* v1);  // address_modes, 48 x 20 quad
extern const uint8_t cf_alpha_pairs[16][2];     // alpha_test: texel alpha, vertex alpha
extern const uint8_t cf_blend_alphas[10];       // blending: source alpha per column
extern const uint8_t cf_blend_pairs[3][3][2];   // blending: (source, destination) per row and channel
extern const uint8_t cf_blend_products[10][2];  // blending rows 8, 9: byte products

extern const CfScene g_cfRasterScenes[], g_cfShadeScenes[], g_cfTexScenes[], g_cfCompScenes[];
