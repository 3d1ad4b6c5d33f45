// Scenes about which pixels a primitive covers: fill rule and pixel centres,
// shared edges, culling, strips, depth, clipping, clears and viewports.
#include "cf_scene.h"

static void cf_tri2d(CfCtx* c, float x0, float y0, float x1, float y1, float x2, float y2, uint32_t c0, uint32_t c1,
              uint32_t c2, float z = 0) {
  V144 v[3] = {{x0, y0, z, 1, c0, 0, 0}, {x1, y1, z, 1, c1, 0, 0}, {x2, y2, z, 1, c2, 0, 0}};
  cf_draw_up(c, CF_FVF144, D3DPT_TRIANGLELIST, 1, v, sizeof v[0]);
}

// Rectangles whose edges sweep across pixel centres in fine steps. Rows
// 0-63: one-pixel-high bars, left edge at 4 + o, right edge at 12 + o;
// columns 32-95: one-pixel-wide bars, top edge at 4 + o, bottom at 12 + o.
// o runs over [-1/2, 1/2) in steps of 1/32 (bars 0-31) and over
// [-1/32, 1/32) in steps of 1/512 (bars 32-63).
float cf_fill_offset(int i) { return i < 32 ? (float)(i - 16) / 32.0f : (float)(i - 48) / 512.0f; }

static void fill_edges(CfCtx* c) {
  for (int i = 0; i < 64; i++) {
    float o = cf_fill_offset(i);
    float y = (float)i;
    cf_quad2d(c, 4 + o, y - 0.5f, 12 + o, y + 0.5f, 0xFFFFFFFFu);
    float x = (float)(32 + i);
    cf_quad2d(c, x - 0.5f, 4 + o, x + 0.5f, 12 + o, 0xFFFFFFFFu);
  }
}

// Triangles that share edges, drawn additively at a quarter intensity: a
// pixel drawn twice shows 0x80, a gap shows the black background.
static void shared_edges(CfCtx* c) {
  cf_blend(c, 2);
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  const uint32_t q = 0xFF404040u;
  // A quad split along its diagonal, corners off the pixel grid.
  cf_tri2d(c, 2.3f, 2.7f, 29.6f, 3.1f, 27.2f, 21.9f, q, q, q);
  cf_tri2d(c, 2.3f, 2.7f, 27.2f, 21.9f, 3.8f, 19.4f, q, q, q);
  // A fan of eight triangles round a centre, edges at many slopes.
  const float cx = 46.37f, cy = 13.61f;
  const float rim[9][2] = {{58.1f, 13.2f}, {55.4f, 22.9f}, {46.9f, 25.7f}, {37.2f, 23.3f}, {34.6f, 14.1f},
                           {37.8f, 4.4f},  {46.1f, 1.6f},  {55.8f, 4.9f},  {58.1f, 13.2f}};
  for (int i = 0; i < 8; i++)
    cf_tri2d(c, cx, cy, rim[i][0], rim[i][1], rim[i + 1][0], rim[i + 1][1], q, q, q);
  // Edges through pixel centres: integer corners, both windings.
  cf_tri2d(c, 4, 26, 28, 26, 28, 46, q, q, q);
  cf_tri2d(c, 4, 26, 4, 46, 28, 46, q, q, q);
  // A strip of thin slivers sharing long edges.
  for (int i = 0; i < 6; i++) {
    float x0 = 34.0f + (float)i * 4.25f;
    cf_tri2d(c, x0, 28.0f, x0 + 4.25f, 28.0f, x0 + 1.5f, 46.5f, q, q, q);
    cf_tri2d(c, x0 + 4.25f, 28.0f, x0 + 5.75f, 46.5f, x0 + 1.5f, 46.5f, q, q, q);
  }
}

// Both windings under D3DCULL_CCW and D3DCULL_NONE, in screen space and
// through a perspective transform (also mirrored), and zero-area triangles.
static void culling(CfCtx* c) {
  const uint32_t red = 0xFFFF3020u, green = 0xFF20E040u;
  for (int mode = 0; mode < 2; mode++) {
    cf_rs(c, D3DRS_CULLMODE, mode ? D3DCULL_NONE : D3DCULL_CCW);
    float y = 2.0f + 15.0f * (float)mode;
    // clockwise on screen (y down): drawn under CCW culling
    cf_tri2d(c, 2, y, 14, y, 2, y + 12, green, green, green);
    // counter-clockwise on screen: culled by D3DCULL_CCW
    cf_tri2d(c, 18, y, 18, y + 12, 30, y, red, red, red);
    // zero area: never drawn
    cf_tri2d(c, 34, y, 40, y + 6, 46, y + 12, red, red, red);
    cf_tri2d(c, 50, y, 50, y, 60, y + 10, red, red, red);
  }
  // 3D: the same winding rule applies after projection, whatever the world
  // matrix does; a mirroring world flips the on-screen order.
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_CCW);
  cf_persp(c, 2.0f, 1.0f, 50.0f);
  const float xs[4] = {-7.0f, -2.5f, 2.5f, 7.0f};
  for (int i = 0; i < 4; i++) {
    uint32_t col = (i == 0 || i == 3) ? green : red;
    V142 a = {-1, 0, 10, col, 0, 0}, b = {0, 1.5f, 10, col, 0, 0}, e = {1, 0, 10, col, 0, 0};
    V142 tri[3] = {i >= 2 ? e : a, b, i >= 2 ? a : e};  // from 2 on: reversed vertex order
    cf_xform(c, D3DTS_WORLD, cf_scale_move((i & 1) ? -1.0f : 1.0f, 1, 1, xs[i], -3.5f, 0));  // odd: mirrored
    cf_draw_up(c, CF_FVF142, D3DPT_TRIANGLELIST, 1, tri, sizeof tri[0]);
  }
}

// Triangle strips: every other triangle has its order flipped, so a strip
// of consistently wound quads is wholly drawn or wholly culled.
static void strips(CfCtx* c) {
  const uint32_t cols[8] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u,
                            0xFFFF00FFu, 0xFF00FFFFu, 0xFFFFFFFFu, 0xFF808080u};
  V144 v[8];
  for (int i = 0; i < 8; i++) v[i] = {3.3f + (float)(i / 2) * 8.4f, (i & 1) ? 2.2f : 13.7f, 0, 1, cols[i], 0, 0};
  cf_draw_up(c, CF_FVF144, D3DPT_TRIANGLESTRIP, 6, v, sizeof v[0]);  // clockwise first triangle: all drawn
  for (int i = 0; i < 8; i++) v[i].y = (i & 1) ? 29.6f : 18.2f;  // mirrored vertically: all culled ...
  cf_draw_up(c, CF_FVF144, D3DPT_TRIANGLESTRIP, 6, v, sizeof v[0]);
  for (int i = 0; i < 8; i++) v[i].x += 34.0f;  // ... unless culling is off
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  cf_draw_up(c, CF_FVF144, D3DPT_TRIANGLESTRIP, 6, v, sizeof v[0]);
}

// Depth order: LESSEQUAL with writes, equal depths, writes off, test off,
// LESS, and two interpenetrating planes in perspective.
static void depth_order(CfCtx* c) {
  cf_quad2d(c, 2, 2, 22, 14, 0xFF0000FFu, 0, 0, 1, 1, 0.8f);   // far, first
  cf_quad2d(c, 8, 5, 28, 17, 0xFF00FF00u, 0, 0, 1, 1, 0.2f);   // near
  cf_quad2d(c, 14, 8, 34, 20, 0xFFFF0000u, 0, 0, 1, 1, 0.5f);  // middle: hidden under the near one
  cf_quad2d(c, 2, 22, 16, 30, 0xFFFFFF00u, 0, 0, 1, 1, 0.5f);
  cf_quad2d(c, 9, 24, 23, 31, 0xFF00FFFFu, 0, 0, 1, 1, 0.5f);  // equal depth passes LESSEQUAL
  cf_rs(c, D3DRS_ZWRITEENABLE, 0);
  cf_quad2d(c, 36, 2, 50, 14, 0xFFFF00FFu, 0, 0, 1, 1, 0.3f);  // drawn, but leaves depth at 1.0
  cf_rs(c, D3DRS_ZWRITEENABLE, 1);
  cf_quad2d(c, 42, 6, 60, 18, 0xFFFFFFFFu, 0, 0, 1, 1, 0.6f);  // so this covers it
  cf_rs(c, D3DRS_ZENABLE, 0);
  cf_quad2d(c, 26, 22, 40, 30, 0xFF808080u, 0, 0, 1, 1, 0.9f);  // no test: on top of everything
  cf_rs(c, D3DRS_ZENABLE, 1);
  cf_quad2d(c, 44, 24, 60, 36, 0xFF00FF00u, 0, 0, 1, 1, 0.5f);
  cf_rs(c, D3DRS_ZFUNC, D3DCMP_LESS);
  cf_quad2d(c, 44, 24, 52, 36, 0xFFFF0000u, 0, 0, 1, 1, 0.5f);  // equal depth fails LESS
  cf_quad2d(c, 52, 24, 60, 36, 0xFF0000FFu, 0, 0, 1, 1, 0.4f);  // nearer passes
  cf_rs(c, D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  // Interpenetrating planes: the crossing line depends on depth interpolation.
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  cf_persp(c, 2.0f, 1.0f, 40.0f);
  const uint32_t o = 0xFFFF8000u, b = 0xFF0080FFu;
  cf_quad3d(c, {3, -2, 6, 14, -2, 14, 3, 0, 6, 14, 0, 14}, o, o);
  cf_quad3d(c, {6, -2, 12, 7, -2, 7, 6, 0, 12, 7, 0, 7}, b, b);
}

// Depth quantisation: a reference quad at z = (k + f) / (2^n - 1), then a
// test quad at z + t steps; the test quad shows where it is not deeper after
// quantisation. Columns t = 0..31 in eighths of a step, rows f.
static void depth_quant(CfCtx* c, double steps, double k) {
  for (int row = 0; row < 8; row++) {
    double f = (double)row / 8.0;
    for (int t = 0; t < 32; t++) {
      float x = (float)(t * 2) - 0.5f, y = (float)(row * 4) - 0.5f;
      float zr = (float)((k + f) / steps);
      float zt = (float)((k + f + (double)t / 8.0) / steps);
      cf_quad2d(c, x, y, x + 2, y + 4, 0xFF0000FFu, 0, 0, 1, 1, zr);
      cf_quad2d(c, x, y, x + 2, y + 4, 0xFFFFFF00u, 0, 0, 1, 1, zt);
    }
  }
}
static void depth_d24(CfCtx* c) { depth_quant(c, 16777215.0, 1677721.0); }
static void depth_d16(CfCtx* c) { depth_quant(c, 65535.0, 29127.0); }

// Clear inside a viewport (target, depth, or both), geometry mapped into a
// smaller viewport, and screen-space quads crossing a viewport's edge.
static void clear_viewport(CfCtx* c) {
  cf_viewport(c, 6, 4, 20, 14);
  c->dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFC04000u, 0.0f, 0);
  cf_viewport(c, 36, 4, 22, 14);
  c->dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.25f, 0);
  cf_viewport(c, 0, 0, c->w, c->h);
  cf_quad2d(c, -0.5f, -0.5f, (float)c->w - 0.5f, 21.5f, 0xFF3060FFu, 0, 0, 1, 1, 0.5f);  // not over the cleared depths
  // A clip-space quad larger than the view volume fills exactly its viewport.
  cf_viewport(c, 5, 26, 24, 12);
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  cf_quad3d(c, {-1.5f, -1.5f, 0.5f, -1.5f, 1.5f, 0.5f, 1.5f, -1.5f, 0.5f, 1.5f, 1.5f, 0.5f}, 0xFF40FF40u, 0xFF40FF40u);
  cf_viewport(c, 36, 26, 22, 12);
  c->dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF202020u, 1.0f, 0);
  cf_quad2d(c, 33.5f, 29.5f, 62.5f, 34.5f, 0xFFFFFF00u);  // wider than the viewport
}

// Perspective triangles crossing the near plane (one vertex behind the
// eye) and the far plane, textured and coloured, plus one far outside the
// screen on both sides.
static void near_far_clip(CfCtx* c) {
  IDirect3DTexture9* t = cf_texture(c, 8, 8, 1, cf_texel_checker);
  cf_bind(c, t);
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  cf_persp(c, 1.5f, 1.0f, 60.0f);
  // texture coordinates off round values: no pixel centre exactly on a texel edge
  V142 v[6] = {{-10, -2, 6, 0xFFFF4040u, 0.037f, 0.021f},    {10, -2, 6, 0xFF40FF40u, 4.037f, 0.021f},
               {0, -2, -6, 0xFF4040FFu, 2.037f, 3.021f},     {-60, 4, 40, 0xFFFFFF40u, 0.043f, 0.019f},
               {60, 4, 40, 0xFF40FFFFu, 6.043f, 0.019f},     {0, 4, 90, 0xFFFF40FFu, 3.043f, 4.019f}};
  cf_draw_up(c, CF_FVF142, D3DPT_TRIANGLELIST, 1, v, sizeof v[0]);  // a floor
  cf_draw_up(c, CF_FVF142, D3DPT_TRIANGLELIST, 1, v + 3, sizeof v[0]);  // and a ceiling
  // Huge but in front: must still draw exactly its visible part.
  V142 wall[3] = {{-4000, -1.5f, 30, 0xFFFFFFFFu, 0, 0}, {4000, -1.5f, 30, 0xFF000000u, 0, 0},
                  {0, 1.0f, 30, 0xFF808080u, 0, 1}};
  cf_bind(c, c->white);
  cf_draw_up(c, CF_FVF142, D3DPT_TRIANGLELIST, 1, wall, sizeof wall[0]);
}

// Vertex colours across big triangles: interpolation and its rounding,
// screen space and in perspective.
static void gouraud(CfCtx* c) {
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  cf_tri2d(c, 0.5f, 0.5f, 40.5f, 0.5f, 0.5f, 30.5f, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu);
  cf_tri2d(c, 40.5f, 0.5f, 40.5f, 30.5f, 0.5f, 30.5f, 0xFF000000u, 0xFFFFFFFFu, 0xFF0000FFu);
  cf_persp(c, 1.2f, 1.0f, 60.0f);
  cf_xform(c, D3DTS_WORLD, cf_scale_move(1, 1, 1, 2.2f, 0, 0));
  cf_quad3d(c, {-1, -2, 3, 1, -2, 3, -1, -2, 30, 1, -2, 30}, 0xFFFFFFFFu, 0xFF000000u);
}

const CfScene g_cfRasterScenes[] = {
    {"fill_edges", 96, 64, 0, 0xFF000000u, fill_edges, 0, 0, "bar edges swept across pixel centres"},
    {"shared_edges", 64, 48, 0, 0xFF000000u, shared_edges, 0, 0, "triangles sharing edges: no gap, no pixel twice"},
    {"culling", 64, 40, 0, 0xFF101010u, culling, 0, 0, "both windings, culled and not, zero area, mirrored"},
    {"strips", 64, 32, 0, 0xFF101010u, strips, 1, 0, "triangle strips and their alternating winding"},
    {"depth_order", 96, 40, 0, 0xFF101010u, depth_order, 0, 2, "LESSEQUAL, LESS, equal depth, writes off, test off"},
    {"depth_d24", 64, 32, 0, 0xFF000000u, depth_d24, 0, 0, "D24X8 depth quantisation"},
    {"depth_d16", 64, 32, 1, 0xFF000000u, depth_d16, 0, 0, "D16 depth quantisation"},
    {"clear_viewport", 64, 40, 0, 0xFF101010u, clear_viewport, 0, 0, "Clear inside viewports, viewport mapping"},
    {"near_far_clip", 64, 48, 0, 0xFF101010u, near_far_clip, 1, 4, "near and far plane clipping, huge triangles"},
    {"gouraud", 64, 32, 0, 0xFF101010u, gouraud, 1, 0, "colour interpolation, screen space and perspective"},
    {},
};
