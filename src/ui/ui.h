// The 2D layer (rectangles, images, lines and text in low-resolution pixels,
// the font from the texture table) and the effect layer (textured quads in
// world space), drawn through the graphics layer's state cache.
#pragma once

#include "assets/assets.h"
#include "gfx/gfx.h"

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
