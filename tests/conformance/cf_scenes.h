// Shared by the scene files: texture patterns and the per-file scene tables.
#pragma once

#include "cf_scene.h"

static inline uint32_t cf_argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

// 2x2-texel checker of two colours per level (lighter on odd texels).
uint32_t cf_texel_checker(int level, int x, int y, int w, int h);
// Every texel its own colour (index = y * w + x), opaque.
uint32_t cf_texel_index(int level, int x, int y, int w, int h);
// Level n filled with colour n of cf_level_colour.
uint32_t cf_texel_level(int level, int x, int y, int w, int h);
uint32_t cf_level_colour(int level);

// Quad over the pixel rectangle [px0, px1) x [py0, py1) under
// cf_ortho(w, h, -1, 100) and an identity view; view depth dl at its left
// corners, dr at its right ones.
void cf_oquad142(CfCtx* c, float px0, float py0, float px1, float py1, float dl, float dr, uint32_t colour,
                 float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1);
void cf_ortho_setup(CfCtx* c);  // that projection and view

// Parameters of the scenes, for the checks of their pictures.
float cf_fill_offset(int i);        // edge offset of bar i in fill_edges
float cf_point_offset(int row);     // texel offset of row in point_edges
float cf_mip_footprint(int row, int col);  // texels per pixel of a mip_select cell
float cf_light_cos(int col);        // N.L of a lighting column
void cf_npot_wrap_coords(float* u0, float* v0, float* u1, float* v1);  // address_modes, 48 x 20 quad
extern const uint8_t cf_alpha_pairs[16][2];     // alpha_test: texel alpha, vertex alpha
extern const uint8_t cf_blend_alphas[10];       // blending: source alpha per column
extern const uint8_t cf_blend_pairs[3][3][2];   // blending: (source, destination) per row and channel
extern const uint8_t cf_blend_products[10][2];  // blending rows 8, 9: byte products
extern const uint32_t cf_tint_cases[8][3];      // tint: texel, vertex colour, factor

extern const CfScene g_cfRasterScenes[];
extern const int g_cfRasterSceneCount;
extern const CfScene g_cfShadeScenes[];
extern const int g_cfShadeSceneCount;
extern const CfScene g_cfTexScenes[];
extern const int g_cfTexSceneCount;
extern const CfScene g_cfCompScenes[];
extern const int g_cfCompSceneCount;

// The 2D layer as the game draws it: its states, a quad with the -0.5
// shift, solid rectangles, lines of 1x1 rectangles, text with shadow.
void cf_ui_states(CfCtx* c);
void cf_ui_quad(CfCtx* c, IDirect3DTexture9* t, uint32_t colour, float x0, float y0, float x1, float y1, float u0,
                float v0, float u1, float v1);
void cf_ui_rect(CfCtx* c, float x, float y, float w, float h, uint32_t colour);
void cf_ui_line(CfCtx* c, float x0, float y0, float x1, float y1, uint32_t colour);
uint32_t cf_texel_font(int level, int x, int y, int w, int h);
IDirect3DTexture9* cf_font(CfCtx* c);  // 128x64 atlas of 8x8 cells
void cf_text(CfCtx* c, IDirect3DTexture9* font, float x, float y, float s, uint32_t colour, const char* t);
