// Assets internals: the pure-CPU pieces behind the texture and model tables
// (BMP decoding, generated pictures, the mip box filter, SKM parsing, generated
// models). None of them touches the device, so tests, tools and fuzz targets
// can call them directly.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "assets/assets.h"

// ---- BMP files ---------------------------------------------------------------------------------
// Decodes an uncompressed (or bit-field) 24- or 32-bit BMP held in memory into
// a mem_alloc'ed top-down array of *w x *h A8R8G8B8 pixels. Null for anything
// the game does not accept; never reads outside data[0 .. size).
uint32_t* bmp_decode(const uint8_t* data, size_t size, int* w, int* h);

// ---- generated textures ---------------------------------------------------------------------------
uint32_t tex_hash(uint32_t s);  // the 32-bit mixing function behind all noise
// Size of the picture generated for a base name (lower case, no extension).
void tex_gen_size(const char* base, int* w, int* h);
// Paints the generated picture for a base name into w x h pixels (w and h as
// tex_gen_size gives them).
void tex_gen_fill(const char* base, uint32_t* px, int w, int h);
// Glyph rows of a font character (7 bytes, bit 4 = leftmost column), or null
// for characters drawn as blank cells.
const uint8_t* font_glyph(int ch);
enum { FONT_GLYPH_COUNT = 58 };

// ---- texture creation -------------------------------------------------------------------------------
int tex_mip_levels(const char* name, int w, int h);  // levels tex_add asks the device for
// One 2 x 2 box-filtered level below a w x h one (w and h at least 2 where halved).
void tex_mip_down(const uint32_t* src, int w, int h, uint32_t* dst);
// Frees every texture and model and empties both caches. For tests and
// tools only: the game keeps its assets for the whole run.
void assets_forget_all();
// Hands assets_release_gpu to the graphics layer's shutdown (once is enough).
void assets_hook();

// ---- SKM model files ------------------------------------------------------------------------------------
enum { SKM_MAX_VERTS = 65535, SKM_MAX_INDICES = 600000, SKM_MAX_NAME = 64 };
int skm_valid(const uint8_t* data, size_t size);  // 1 when the file can be loaded
// Appends a valid file's vertices and whole in-range triangles to m and copies
// its texture name (zero-terminated) into texName. Returns 0 (touching nothing)
// for an invalid file.
int skm_load(Mesh* m, const uint8_t* data, size_t size, char texName[SKM_MAX_NAME + 1]);

// ---- generated models ----------------------------------------------------------------------------------
// Builds the model generated for a base name into m; returns the name of its
// texture ("noise", "barrier" or "windows").
const char* model_build(Mesh* m, const char* base);
// min, max and radius over the mesh's vertices (1e9 / -1e9 / 0 when empty).
void model_bounds(Model* model);
