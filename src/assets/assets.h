// Assets: textures (BMP files, generated pictures, the font) and models (SKM
// files, generated models), asked for by name and never failing.
#pragma once

#include <stdint.h>

#include "gfx/gfx.h"

// ---- textures ------------------------------------------------------------------------------
extern Texture* g_textures;  // newest first

Texture* tex_get(const char* name);         // file under data\textures or data\ui, else generated
Texture* tex_procedural(const char* name);  // generated from the (base) name
Texture* tex_add(const char* name, const uint32_t* pixels, int w, int h, int generated);
void base_name(const char* name, char out[48]);  // lower case, four-character extension removed
uint32_t shade(uint32_t colour, int delta);      // r, g, b + delta, clamped; alpha 255
void assets_init();                              // "white" and "font"
void assets_release_gpu();                       // device textures and model buffers

// ---- models ----------------------------------------------------------------------------------
struct Model {  // allocated zero-filled, never freed
  char name[48];
  Mesh mesh;    // kept after upload: the track builder copies it
  GpuMesh gpu;
  Texture* tex;
  float radius;  // largest sqrt(x^2 + z^2)
  float min[3];
  float max[3];
  int32_t generated;
  Model* next;
};

extern Model* g_models;  // newest first

Model* model_get(const char* name);  // never null
Model* model_try(const char* name);  // file-backed models only, else null
void add_box(Mesh* m, uint32_t colour, float x0, float y0, float z0, float x1, float y1, float z1);
void add_cyl(Mesh* m, int segments, uint32_t colour, float cx, float y0, float y1, float r0, float r1, int cap);
void add_face(Mesh* m, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec3 n, uint32_t colour);
