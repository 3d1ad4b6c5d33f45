// Scenes about a pixel's colour: fog, lighting, alpha test, blending, the
// tint stage and stages without a texture.
#include <math.h>
#include <string.h>

#include "cf_scene.h"

static uint32_t cf_argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// Orthographic projection, w x h centred, depth -1..100, identity view.
static void cf_ortho_setup(CfCtx* c) {
  const float zn = -1.0f, zf = 100.0f;
  cf_xform(c, D3DTS_VIEW, cf_scale_move(1, 1, 1, 0, 0, 0));
  Mat4 p = cf_scale_move(2 / (float)c->w, 2 / (float)c->h, 1 / (zf - zn), 0, 0, -zn / (zf - zn));
  cf_xform(c, D3DTS_PROJECTION, p);
}

// Quad over the pixel rectangle [px0, px1) x [py0, py1) under
// cf_ortho_setup; view depth dl at its left corners, dr at its right ones.
static void cf_oquad142(CfCtx* c, float px0, float py0, float px1, float py1, float dl, float dr, uint32_t colour,
                        float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1) {
  float hw = (float)c->w * 0.5f, hh = (float)c->h * 0.5f;
  float x0 = px0 - 0.5f - hw, x1 = px1 - 0.5f - hw;
  float y0 = hh - (py0 - 0.5f), y1 = hh - (py1 - 0.5f);
  cf_quad3d(c, {x0, y0, dl, x1, y0, dr, x0, y1, dl, x1, y1, dr}, colour, colour, u0, v0, u1, v1);
}

// Pixel-exact rectangle of the UI layer: covers pixels x..x+w-1, y..y+h-1.
static void cf_rect(CfCtx* c, int x, int y, int w, int h, uint32_t colour) {
  cf_quad2d(c, (float)x - 0.5f, (float)y - 0.5f, (float)(x + w) - 0.5f, (float)(y + h) - 0.5f, colour);
}

// Lighting on, with one light travelling along +z.
static void cf_sun(CfCtx* c, uint32_t colour, uint32_t ambient) {
  D3DLIGHT9 l;
  memset(&l, 0, sizeof l);
  l.Type = D3DLIGHT_DIRECTIONAL;
  l.Diffuse.r = (float)((colour >> 16) & 255) / 255.0f;
  l.Diffuse.g = (float)((colour >> 8) & 255) / 255.0f;
  l.Diffuse.b = (float)(colour & 255) / 255.0f;
  l.Diffuse.a = 1;
  l.Direction.z = 1;
  l.Range = 1000;
  c->dev->SetLight(0, &l);
  c->dev->LightEnable(0, TRUE);
  cf_rs(c, D3DRS_AMBIENT, ambient);
  cf_rs(c, D3DRS_LIGHTING, 1);
}

// Vertex fog on.
static void cf_fog(CfCtx* c, uint32_t colour, float start, float end) {
  cf_rs(c, D3DRS_FOGCOLOR, colour);
  cf_rs(c, D3DRS_FOGSTART, fbits(start));
  cf_rs(c, D3DRS_FOGEND, fbits(end));
  cf_rs(c, D3DRS_FOGENABLE, 1);
}

// Linear vertex fog (start 10, end 20) under an orthographic camera, so
// position and depth are independent. Rows of 8 pixels:
//  0: 32 cells at depth 10 + 10k/31 (factor 1 - k/31, from the start to the end),
//     colour (200,100,50), fog (0,255,128)
//  1: the same depths, white under black fog
//  2: one quad from depth 0 (left) to 20 (right): the vertex factors are clamped first
//  3: from depth 5 to 25: clamped at both ends
//  4: fog on a textured, half-transparent quad (fog before blending, alpha kept), and beyond the end
//  5: from depth -0.5 to 20 under black fog: behind the eye plane the fog is that of the distance
static void fog_ortho(CfCtx* c) {
  cf_ortho_setup(c);
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  cf_fog(c, cf_argb(255, 0, 255, 128), 10.0f, 20.0f);
  for (int k = 0; k < 32; k++) {
    float d = 10.0f + 10.0f * (float)k / 31.0f, x = (float)(k * 2);
    cf_oquad142(c, x, 0, x + 2, 8, d, d, cf_argb(255, 200, 100, 50));
  }
  cf_fog(c, 0xFF000000u, 10.0f, 20.0f);
  for (int k = 0; k < 32; k++) {
    float d = 10.0f + 10.0f * (float)k / 31.0f, x = (float)(k * 2);
    cf_oquad142(c, x, 8, x + 2, 16, d, d, 0xFFFFFFFFu);
  }
  cf_oquad142(c, 0, 16, 64, 24, 0.0f, 20.0f, 0xFFFFFFFFu);
  cf_oquad142(c, 0, 24, 64, 32, 5.0f, 25.0f, 0xFFFFFFFFu);
  cf_fog(c, cf_argb(255, 255, 0, 0), 10.0f, 20.0f);
  cf_blend(c, 1);
  IDirect3DTexture9* t = cf_texture(c, 8, 8, 1, cf_texel_checker);
  cf_bind(c, t);
  cf_oquad142(c, 0, 32, 32, 40, 15.0f, 15.0f, cf_argb(128, 255, 255, 255), 0, 0, 4, 1);
  cf_oquad142(c, 32, 32, 64, 40, 30.0f, 30.0f, cf_argb(128, 255, 255, 255), 0, 0, 4, 1);
  cf_defaults(c);
  cf_ortho_setup(c);
  cf_fog(c, 0xFF000000u, 10.0f, 20.0f);
  cf_oquad142(c, 0, 40, 64, 48, -0.5f, 20.0f, 0xFFFFFFFFu);
}

// Fog in perspective: a wall across the view (|z| fog is uniform along
// it, range fog would not be) over a floor receding through the fog range.
static void fog_persp(CfCtx* c) {
  cf_persp(c, 1.0f, 1.0f, 100.0f);
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  cf_fog(c, cf_argb(255, 40, 60, 200), 5.0f, 35.0f);
  const uint32_t w = 0xFFFFFFFFu, y = 0xFFFFE080u, g = 0xFFE0FF80u;
  cf_quad3d(c, {-40, -2, 25, 40, -2, 25, -40, 30, 25, 40, 30, 25}, w, w);
  cf_quad3d(c, {-3, -2, 2, 3, -2, 2, -3, -2, 25, 3, -2, 25}, y, y);
  // a strip from behind the eye: clipped at the near plane, where its fog
  // comes from the distance of the vertex behind
  cf_quad3d(c, {-5.5f, -2, -6, -3.5f, -2, -6, -5.5f, -2, 12, -3.5f, -2, 12}, g, g);
}

// Lighting: one directional sun travelling into the screen (L = (0,0,-1)),
// a column per normal, a row per set-up. See the row list in the code.
float cf_light_cos(int col) {
  static const float cs[8] = {1.0f, 0.8f, 0.6f, 0.5f, 0.25f, 0.0f, -0.6f, 0.8f};
  return cs[col];
}

static void lit_quad(CfCtx* c, float px, float py, float nx, float ny, float nz, uint32_t colour, float s, float sy) {
  float hw = (float)c->w * 0.5f, hh = (float)c->h * 0.5f;
  float x0 = (px - 0.5f - hw) / s, x1 = (px + 7.5f - hw) / s;
  float y0 = (hh - (py - 0.5f)) / (s * sy), y1 = (hh - (py + 5.5f)) / (s * sy);
  float z = 1.0f / s;
  V152 v[6] = {{x0, y0, z, nx, ny, nz, colour, 0, 0}, {x1, y0, z, nx, ny, nz, colour, 0, 0},
                 {x0, y1, z, nx, ny, nz, colour, 0, 0}, {x1, y0, z, nx, ny, nz, colour, 0, 0},
                 {x1, y1, z, nx, ny, nz, colour, 0, 0}, {x0, y1, z, nx, ny, nz, colour, 0, 0}};
  cf_draw_up(c, CF_FVF152, D3DPT_TRIANGLELIST, 2, v, sizeof v[0]);
}

const CfLightRow cf_light_rows[9] = {
    {0xFFFFFFFFu, 1, 1, 1, 1, 0xFFC8B4A0u, 0x00283C50u, 0, 0, "white vertices"},
    {0xFF80C040u, 1, 1, 1, 1, 0xFFC8B4A0u, 0x00283C50u, 0, 0, "coloured vertices"},
    {0xFFFFFFFFu, 0, 2, 1, 1, 0xFFC8B4A0u, 0x00283C50u, 0, 0, "scaled world, no renormalising"},
    {0xFFFFFFFFu, 1, 2, 1, 1, 0xFFC8B4A0u, 0x00283C50u, 0, 0, "scaled world, renormalised"},
    {0xFFFFFFFFu, 0, 1, 1, 2, 0xFFC8B4A0u, 0x00283C50u, 0, 0, "long normals, no renormalising"},
    {0xFFFFFFFFu, 1, 1, 1, 2, 0xFFC8B4A0u, 0x00283C50u, 0, 0, "long normals, renormalised"},
    {0xFFFFFFFFu, 1, 1, 1, 1, 0xFFFFFFFFu, 0x00808080u, 0, 0, "saturation"},
    {0x80FFC080u, 1, 1, 1, 1, 0xFFC8B4A0u, 0x00283C50u, 1, 0, "vertex alpha kept"},
    {0xFFFFFFFFu, 1, 1, 3, 1, 0xFFC8B4A0u, 0x00283C50u, 0, 1, "non-uniform world scale"},
};

static void lighting(CfCtx* c) {
  cf_ortho_setup(c);
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  for (int r = 0; r < 9; r++) {
    const CfLightRow& w = cf_light_rows[r];
    cf_sun(c, w.sun, w.ambient);
    cf_rs(c, D3DRS_NORMALIZENORMALS, (uint32_t)w.normalize);
    cf_xform(c, D3DTS_WORLD, cf_scale_move(w.scale, w.scale * w.scaleY, w.scale, 0, 0, 0));
    if (w.blend) cf_blend(c, 1);
    for (int k = 0; k < 8; k++) {
      float cs = cf_light_cos(k), sn = sqrtf(1.0f - cs * cs);
      float nx = sn, ny = 0, nz = -cs;
      if (k == 7 || w.yAxis) nx = 0, ny = sn;
      lit_quad(c, (float)(k * 8), (float)(r * 6), nx * w.len, ny * w.len, nz * w.len, w.colour, w.scale, w.scaleY);
    }
    if (w.blend) cf_rs(c, D3DRS_ALPHABLENDENABLE, 0);
  }
}

// Alpha test (ALPHAREF 128, GREATEREQUAL) on texture alpha x vertex alpha
// near the threshold. Cell k uses texel k of a 16x1 texture.
const uint8_t cf_alpha_pairs[16][2] = {{255, 120}, {255, 126}, {255, 127}, {255, 128}, {255, 129}, {255, 135},
                                       {128, 255}, {127, 255}, {129, 253}, {129, 254}, {254, 129}, {200, 163},
                                       {200, 164}, {191, 171}, {171, 191}, {255, 0}};
static uint32_t texel_alpha(int, int x, int, int, int) { return (uint32_t)cf_alpha_pairs[x][0] << 24 | 0xFFFFFFu; }

static void alpha_test(CfCtx* c) {
  IDirect3DTexture9* t = cf_texture(c, 16, 1, 1, texel_alpha);
  cf_bind(c, t);
  for (int row = 0; row < 2; row++) {
    cf_blend(c, row ? 2 : 0);  // the second row additive, where alpha scales the colour
    cf_rs(c, D3DRS_ALPHATESTENABLE, 1);
    for (int k = 0; k < 16; k++) {
      float x = (float)(k * 4) - 0.5f, y = (float)(row * 8) - 0.5f;
      uint32_t col = cf_argb(cf_alpha_pairs[k][1], row ? 0xFF : 0x40, row ? 0xFF : 0xC0, 0xFF);
      cf_quad2d(c, x, y, x + 4, y + 8, col, (float)k / 16.0f, 0, (float)(k + 1) / 16.0f, 1);
    }
  }
}

// Blending: a column per source alpha, a row per pair of source/destination
// colours (one pair per channel). Rows 0-2 SRCALPHA/INVSRCALPHA, rows 3-5
// SRCALPHA/ONE over the same destinations, row 6 additive over white, row 7
// alpha from texture x vertex. Rows 8 and 9: byte products x * y / 255 just
// above a half, where the blender's rounding differs from exact rounding:
// red = the source term over black, green = the destination term.
const uint8_t cf_blend_alphas[10] = {0, 1, 32, 64, 127, 128, 129, 192, 254, 255};
const uint8_t cf_blend_pairs[3][3][2] = {{{255, 0}, {0, 255}, {200, 100}},
                                         {{100, 200}, {1, 254}, {128, 128}},
                                         {{77, 33}, {250, 3}, {17, 91}}};
const uint8_t cf_blend_products[10][2] = {{152, 229}, {169, 212}, {173, 241}, {188, 196}, {191, 253},
                                          {194, 232}, {197, 244}, {208, 236}, {223, 251}, {239, 247}};
static uint32_t texel_half(int, int, int, int, int) { return 0x80FFFFFFu; }

static void blending(CfCtx* c) {
  for (int row = 0; row < 7; row++) {
    int p = row % 3;
    const uint8_t(*pr)[2] = cf_blend_pairs[p];
    uint32_t dst = row == 6 ? 0xFFFFFFFFu : cf_argb(255, pr[0][1], pr[1][1], pr[2][1]);
    cf_rs(c, D3DRS_ALPHABLENDENABLE, 0);
    cf_rect(c, 0, row * 4, 40, 4, dst);
    cf_blend(c, row < 3 ? 1 : 2);
    for (int k = 0; k < 10; k++)
      cf_rect(c, k * 4, row * 4, 4, 4, cf_argb(cf_blend_alphas[k], pr[0][0], pr[1][0], pr[2][0]));
  }
  // texture alpha 128 x vertex alpha: the product decides the blend
  IDirect3DTexture9* t = cf_texture(c, 1, 1, 1, texel_half);
  cf_rs(c, D3DRS_ALPHABLENDENABLE, 0);
  cf_rect(c, 0, 28, 40, 4, cf_argb(255, 0, 64, 255));
  cf_blend(c, 1);
  cf_bind(c, t);
  for (int k = 0; k < 10; k++) cf_rect(c, k * 4, 28, 4, 4, cf_argb(cf_blend_alphas[k], 255, 200, 0));
  cf_bind(c, c->white);
  for (int k = 0; k < 10; k++) {
    uint32_t x = cf_blend_products[k][0], y = cf_blend_products[k][1];
    cf_rs(c, D3DRS_ALPHABLENDENABLE, 0);
    cf_rect(c, k * 4, 32, 4, 4, 0xFF000000u);
    cf_rect(c, k * 4, 36, 4, 4, cf_argb(255, 0, x, 0));
    cf_blend(c, 1);
    cf_rect(c, k * 4, 32, 4, 4, cf_argb(y, x, 0, 0));    // red: x * y / 255
    cf_rect(c, k * 4, 36, 4, 4, cf_argb(255 - y, 0, 0, 0));  // green: x * y / 255 kept of the destination
  }
}

// The tint stage: texture x vertex colour x TFACTOR, alpha passed through.
static const uint32_t cf_tint_cases[8][3] = {
    // texel, vertex colour, factor
    {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF808080u}, {0xFFC86432u, 0xFFFFFFFFu, 0xFF808080u},
    {0xFFFFFFFFu, 0xFFC86432u, 0xFFFF0080u}, {0xFFC86432u, 0xFF64C896u, 0xFF808080u},
    {0xFFC86432u, 0xFF64C896u, 0xFF010203u}, {0xFFFEFDFCu, 0xFFFEFDFCu, 0xFFFEFDFCu},
    {0xFF7F8081u, 0xFF817F80u, 0xFF80817Fu}, {0xFFC86432u, 0x80FFFFFFu, 0x00FFC080u},
};
static uint32_t texel_tint(int, int x, int, int, int) { return cf_tint_cases[x][0]; }

static void tint(CfCtx* c) {
  IDirect3DTexture9* t = cf_texture(c, 8, 1, 1, texel_tint);
  cf_bind(c, t);
  for (int k = 0; k < 8; k++) {
    if (k == 7) cf_blend(c, 1);  // alpha comes from stage 0, not from the factor
    cf_tint(c, cf_tint_cases[k][2]);
    float x = (float)(k * 8) - 0.5f;
    cf_quad2d(c, x, -0.5f, x + 8, 7.5f, cf_tint_cases[k][1], (float)k / 8.0f, 0, (float)(k + 1) / 8.0f, 1);
  }
}

// Stages whose argument is a texture while none is bound, against the same
// with a white texture. Top row untextured, bottom row white texture:
//  0: default stages          1: SELECTARG1(TEXTURE)   2: the tint stage on top
//  3: vertex alpha 0x80 blended  4: alpha test of vertex alpha 0x7F  5: alpha test of 0x80
static void no_texture(CfCtx* c) {
  for (int row = 0; row < 2; row++)
    for (int k = 0; k < 6; k++) {
      cf_defaults(c);
      cf_bind(c, row ? c->white : nullptr);
      if (k == 1) cf_tss(c, 0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
      if (k == 2) cf_tint(c, 0xFF80FF40u);
      if (k >= 3) cf_blend(c, k == 3 ? 1 : 0);
      float x = (float)(k * 8) - 0.5f, y = (float)(row * 8) - 0.5f;
      cf_quad2d(c, x, y, x + 8, y + 8, cf_argb(k == 4 ? 0x7F : k >= 3 ? 0x80 : 255, 200, 100, 50));
    }
}

const CfScene g_cfShadeScenes[] = {
    {"fog_ortho", 64, 48, 0, 0xFF102030u, fog_ortho, 0, 0, "vertex fog factors, clamping, fog before blending"},
    {"fog_persp", 64, 48, 0, 0xFF102030u, fog_persp, 1, 0, "fog by view depth, across a receding floor"},
    {"lighting", 64, 54, 0, 0xFF303030u, lighting, 1, 0, "sun and ambient against known normals"},
    {"alpha_test", 64, 16, 0, 0xFF000000u, alpha_test, 0, 0, "alpha test at 127/128 of texture x vertex"},
    {"blending", 40, 40, 0, 0xFF000000u, blending, 0, 0, "alpha and additive blending, byte results"},
    {"tint", 64, 8, 0, 0xFF204060u, tint, 0, 0, "stage 1 TFACTOR tint, alpha passed through"},
    {"no_texture", 48, 16, 0, 0xFF204060u, no_texture, 0, 0, "stages that need a texture with none bound"},
    {},
};
