// Graphics: the Direct3D 9 device and the low-resolution frame, the state
// cache and matrices, meshes and batches. Everything draws through the
// Direct3D 9 interface: the real d3d9.dll on Windows, the software device
// (soft) on Linux. Textures are looked up by name one module up (assets),
// the 2D and effect layers two (ui).
#pragma once

#include <stdint.h>

#include "rt/rt.h"
#include "rt/sys.h"

struct IDirect3DDevice9;
struct IDirect3DTexture9;
struct IDirect3DVertexBuffer9;
struct IDirect3DIndexBuffer9;

// A device texture and the name it was made for. The records are made and
// looked up by name in the assets module; here they are only bound.
struct Texture {  // allocated zero-filled, never freed
  char name[48];
  IDirect3DTexture9* tex;  // none if the device refused it
  int32_t w, h;            // mip level 0
  int32_t generated;       // 1 = made from the name, 0 = read from a file
  Texture* next;
};

// ---- device and frame -----------------------------------------------------------------
extern IDirect3DDevice9* g_dev;
extern int g_fullscreen;        // current display mode
extern int g_bbW, g_bbH;        // back buffer
extern int g_lowW, g_lowH;      // low-resolution frame; all 2D coordinates are in its pixels
extern float g_upScale;         // magnification low -> back buffer
extern float g_upX, g_upY;      // offset of the magnified image (whole numbers)
extern int g_d3dCalls;          // device calls since start, never reset
extern int g_frame;             // frames presented

int gfx_init(SysWindow hwnd, int fullscreen);  // 1 = ready
int gfx_ready();                               // 0 = skip this frame
void gfx_begin_low(uint32_t colour);
void gfx_end_low_and_present();
int gfx_set_fullscreen(int on);  // 1 = in force, 0 = failed and the old mode restored
void gfx_shutdown();
void gfx_window_size(int* w, int* h);
void gfx_screen_to_low(int x, int y, float* lx, float* ly);
void gfx_bind(Texture* tex);
int gfx_save_shot(const char* path);  // 1 = file written completely
int gfx_read_low(uint32_t* out);        // the low-resolution picture, 0x00RRGGBB rows top down; 1 = read

// Calls from the layers above: the 2D and effect layers hand in the flush of
// their queued quads (run before the viewport or the target changes), the
// layers owning device objects the release of them (run by gfx_shutdown
// before the device goes). Each function is kept once, run in the order given.
typedef void (*GfxHook)();
void gfx_on_flush(GfxHook fn);
void gfx_on_release(GfxHook fn);

// ---- state cache and intent-level setters ------------------------------------------------
void gfx_rs(uint32_t state, uint32_t value);
void gfx_tss(uint32_t stage, uint32_t type, uint32_t value);
void gfx_samp(uint32_t sampler, uint32_t type, uint32_t value);
void gfx_fvf(uint32_t fvf);
void gfx_state_reset();
void default_states();

void gfx_set_3d(const Mat4* view, const Mat4* proj);
void gfx_set_world(const Mat4* m);
void gfx_set_lighting(int on);
void gfx_set_fog(int on);
void gfx_set_fog_params(uint32_t colour, float start, float end);
void gfx_set_sun(Vec3 dir, uint32_t colour, uint32_t ambient);
void gfx_blend_mode(int mode);  // 0 opaque + alpha test, 1 alpha blend, 2 additive
void gfx_glow_states();         // unlit, unfogged, no depth writes, colours added (ONE + ONE)
void gfx_zwrite(int on);
void gfx_ztest(int on);
void gfx_cull(int on);
void gfx_tint(uint32_t colour);  // 0xFFFFFFFF = no tint
void gfx_viewport(int x, int y, int w, int h);  // w <= 0 = the whole low-resolution frame

void gfx_draw_up(uint32_t primType, uint32_t primCount, const void* verts, uint32_t stride);
void gfx_draw_iup(uint32_t primType, uint32_t minIndex, uint32_t numVerts, uint32_t primCount, const void* indices,
                  uint32_t indexFormat, const void* verts, uint32_t stride);

// ---- matrices -----------------------------------------------------------------------------------
Mat4 m4_identity();
Mat4 m4_mul(const Mat4& a, const Mat4& b);  // a first, then b
Mat4 m4_translate(float x, float y, float z);
Mat4 m4_scale(float s);
Mat4 m4_rot_x(float a);
Mat4 m4_rot_y(float a);
Mat4 m4_rot_z(float a);
Mat4 m4_look_at(Vec3 eye, Vec3 at, Vec3 up);
Mat4 m4_persp(float fovy, float aspect, float zn, float zf);
Vec3 m4_xform_point(const Mat4& m, Vec3 v);
Vec3 m4_xform_dir(const Mat4& m, Vec3 v);

// ---- meshes and batches ---------------------------------------------------------------------------
// One vertex layout for every mesh: XYZ | NORMAL | DIFFUSE | TEX1 (0x152), 36 bytes.
struct Vertex {
  float x, y, z;
  float nx, ny, nz;
  uint32_t colour;
  float u, v;
};

struct Mesh {  // all zero = empty
  Vertex* verts;
  int32_t nverts;
  int32_t capVerts;
  uint16_t* indices;
  int32_t nindices;
  int32_t capIndices;
};

struct GpuMesh {
  IDirect3DVertexBuffer9* vb;
  IDirect3DIndexBuffer9* ib;
  int32_t nverts;
  int32_t nindices;
};

struct BatchChunk {
  Mesh mesh;
  GpuMesh gpu;
  BatchChunk* next;  // older chunk
};

struct Batch {
  Texture* tex;
  int32_t layer;
  BatchChunk* chunks;  // newest first
  Batch* next;
};

void mesh_init(Mesh* m);
void mesh_free(Mesh* m);
int mesh_add_vertex(Mesh* m, float x, float y, float z, float nx, float ny, float nz, uint32_t colour, float u,
                    float v);
void mesh_add_tri(Mesh* m, int a, int b, int c);
void mesh_add_quad(Mesh* m, int a, int b, int c, int d);
void mesh_append_xform(Mesh* dst, const Mesh* src, const Mat4* m, uint32_t colour);
// A managed A8R8G8B8 texture of the given size and mip levels on the device
// (one counted device call); null without a device or when it is refused.
IDirect3DTexture9* gpu_texture(int w, int h, int levels);
int gpu_upload(GpuMesh* g, const Mesh* m);
void gpu_free(GpuMesh* g);
void gpu_draw(const GpuMesh* g);

Mesh* batch_get(Batch** list, Texture* tex, int layer, int count);
void batch_upload(Batch** list);
void batch_draw(Batch** list, int layer);
int batch_draw_calls(Batch** list);
void batch_free(Batch** list);

// ---- pre-transformed vertices (the magnified frame, the 2D layer) --------------------------------
enum { FVF_UI = 0x144 };  // XYZRHW | DIFFUSE | TEX1
struct UiVertex {
  float x, y, z, rhw;
  uint32_t colour;
  float u, v;
};
