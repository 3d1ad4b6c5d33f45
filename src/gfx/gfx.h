// Graphics: the Direct3D 9 device and the low-resolution frame, the state
// cache and matrices, meshes and batches, and the 2D and effect layers.
// Everything draws through the Direct3D 9 interface: the real d3d9.dll on
// Windows, the software device (gfx/soft) on Linux.
#pragma once

#include <stdint.h>

#include "rt/rt.h"
#include "rt/sys.h"

struct IDirect3DDevice9;
struct IDirect3DTexture9;
struct IDirect3DVertexBuffer9;
struct IDirect3DIndexBuffer9;
struct Texture;  // assets/assets.h

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
int gpu_upload(GpuMesh* g, const Mesh* m);
void gpu_free(GpuMesh* g);
void gpu_draw(const GpuMesh* g);

Mesh* batch_get(Batch** list, Texture* tex, int layer, int count);
void batch_upload(Batch** list);
void batch_draw(Batch** list, int layer);
int batch_draw_calls(Batch** list);
void batch_free(Batch** list);

// ---- 2D layer (low-resolution pixels) and effect quads (world space) --------------------------------
void ui_begin();
void ui_origin(int centre);
void ui_quad(Texture* tex, uint32_t colour, float x0, float y0, float x1, float y1, float u0, float v0, float u1,
             float v1);
void ui_rect(float x, float y, float w, float h, uint32_t colour);
void ui_image(Texture* tex, float x, float y, float w, float h, uint32_t colour);
void ui_image_uv(Texture* tex, float x, float y, float w, float h, float u0, float v0, float u1, float v1,
                 uint32_t colour);
void ui_line(float x0, float y0, float x1, float y1, uint32_t colour);
float ui_text_width(const char* text, float scale);
void ui_text_raw(float x, float y, float scale, uint32_t colour, const char* text);
void ui_text(float x, float y, float scale, uint32_t colour, const char* text);
void ui_text_center(float cx, float y, float scale, uint32_t colour, const char* text);
void ui_flush();

void fx_begin(Texture* tex, int blend);
void fx_quad(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, uint32_t colour);
void fx_billboard(float x, float y, float z, float size, uint32_t colour, float rx, float ry, float rz, float ux,
                  float uy, float uz);
void fx_flush();
