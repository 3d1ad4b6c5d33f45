// State shared by the graphics layer's source files. Not for other modules.
#pragma once

#include "gfx/d3d.h"
#include "gfx/gfx.h"

// ---- device and frame ----------------------------------------------------------------
extern IDirect3D9* g_d3d;
extern D3DPRESENT_PARAMETERS g_pp;
extern SysWindow g_hwnd;
extern IDirect3DTexture9* g_rtTex;   // low-resolution colour target
extern IDirect3DSurface9* g_rtSurf;  // its level 0
extern IDirect3DSurface9* g_rtDepth;
extern IDirect3DSurface9* g_backBuf;
extern IDirect3DSurface9* g_shotSurf;  // system-memory copy for screenshots
extern Texture g_rtWrap;               // the render target as a bindable texture record
extern Texture* g_bound;               // texture on stage 0

// Every call on the device interface goes through dev(), which counts it:
// dev()->SetRenderState(...). Calls on the Direct3D object, textures, surfaces
// and buffers use their own pointers and are not counted.
static inline IDirect3DDevice9* dev() {
  ++g_d3dCalls;
  return g_dev;
}

void fill_pp(int fullscreen);
void window_style(int fullscreen);
int create_targets();
void release_targets();
void compute_upscale();
int do_reset();

// ---- state cache ------------------------------------------------------------------------
enum { RS_CACHED = 256, TSS_STAGES = 2, TSS_TYPES = 33, SAMP_UNITS = 2, SAMP_TYPES = 14 };

extern uint8_t g_rsOk[RS_CACHED];
extern uint32_t g_rsVal[RS_CACHED];
extern uint8_t g_tssOk[TSS_STAGES][TSS_TYPES];
extern uint32_t g_tssVal[TSS_STAGES][TSS_TYPES];
extern uint8_t g_sampOk[SAMP_UNITS][SAMP_TYPES];
extern uint32_t g_sampVal[SAMP_UNITS][SAMP_TYPES];
extern int g_fvfOk;
extern uint32_t g_fvf;
extern IDirect3DVertexBuffer9* g_curVB;  // stream 0; null = not recorded
extern IDirect3DIndexBuffer9* g_curIB;
extern int g_worldIdentity;
extern int g_matrixOk;
extern Mat4 g_curView, g_curProj;

// ---- meshes ---------------------------------------------------------------------------------------
enum { FVF_MESH = 0x152 };
