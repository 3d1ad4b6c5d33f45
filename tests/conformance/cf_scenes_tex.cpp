// Scenes about texturing: point sampling at texel edges, mip selection and
// address modes.
#include <math.h>

#include "cf_scene.h"
#include "gfx/gfx.h"

static uint32_t cf_texel_level(int level, int, int, int, int) { return cf_level_colour(level); }

// Point sampling at texel edges. Rows 0-63: a one-pixel-high bar 16 pixels
// wide over the 16 texels of row 0 of a 16x16 texture, shifted by
// cf_point_offset(row) texels; columns 24-87: the same down column 0.
static float cf_point_offset(int row) {
  return row < 32 ? (float)(row - 16) / 32.0f : -0.5f + (float)(row - 48) / 512.0f;
}

static void point_edges(CfCtx* c) {
  IDirect3DTexture9* t = cf_texture(c, 16, 16, 1, cf_texel_index);
  cf_bind(c, t);
  const float tv = 0.5f / 16.0f;
  for (int r = 0; r < 64; r++) {
    float o = cf_point_offset(r) / 16.0f;
    float y = (float)r;
    cf_quad2d(c, -0.5f, y - 0.5f, 15.5f, y + 0.5f, 0xFFFFFFFFu, o, tv, 1.0f + o, tv);
    float x = (float)(24 + r);
    V144 v[6] = {{x - 0.5f, -0.5f, 0, 1, 0xFFFFFFFFu, tv, o},        {x + 0.5f, -0.5f, 0, 1, 0xFFFFFFFFu, tv, o},
                   {x - 0.5f, 15.5f, 0, 1, 0xFFFFFFFFu, tv, 1.0f + o}, {x + 0.5f, -0.5f, 0, 1, 0xFFFFFFFFu, tv, o},
                   {x + 0.5f, 15.5f, 0, 1, 0xFFFFFFFFu, tv, 1.0f + o}, {x - 0.5f, 15.5f, 0, 1, 0xFFFFFFFFu, tv, 1.0f + o}};
    cf_draw_up(c, CF_FVF144, D3DPT_TRIANGLELIST, 2, v, sizeof v[0]);
  }
}

// Mip selection: 4x4-pixel cells, each with a constant texel footprint over
// a 64x64 texture whose levels are solid colours (cf_level_colour).
//  rows 0-3: isotropic footprints round 1, sqrt 2, 2 and 2 sqrt 2
//  row 4: 2^(k/4 - 7/8); rows 5, 6: only u, only v stretched by 2^(k/4 + 1/8);
//  row 7: a 45-degree rotated mapping of footprint 2^(k/4 - 7/8)
// (the sweeps stay 1/8 octave away from the level boundaries at sqrt 2 x 2^n,
// where Wine's choice is float noise).
static float pow2_quarter(int k) {  // 2^(k/4) by repeated multiplication: no libm
  float f = 1;
  for (int i = 0; i < k; i++) f *= 1.18920712f;
  return f;
}

float cf_mip_footprint(int row, int col) {
  float k = (float)col;
  switch (row) {
    case 0: return 0.90f + 0.01f * k;
    case 1: return 1.36f + 0.005f * k;
    case 2: return 1.95f + 0.01f * k;
    case 3: return 2.76f + 0.01f * k;
    case 4: case 7: return 0.5f * 1.09050773f * pow2_quarter(col);
    default: return 1.09050773f * pow2_quarter(col);
  }
}

static void mip_select(CfCtx* c) {
  IDirect3DTexture9* t = cf_texture(c, 64, 64, 7, cf_texel_level);
  cf_bind(c, t);
  for (int row = 0; row < 8; row++)
    for (int col = 0; col < 16; col++) {
      float f = cf_mip_footprint(row, col);
      float x0 = (float)(col * 4) - 0.5f, y0 = (float)(row * 4) - 0.5f, x1 = x0 + 4, y1 = y0 + 4;
      float su = (row == 6) ? 1 : f, sv = (row == 5) ? 1 : f;
      float du = 4.0f * su / 64.0f, dv = 4.0f * sv / 64.0f;
      if (row == 7) {
        float a = 4.0f * f / (64.0f * 1.41421356f);
        V144 v[6] = {{x0, y0, 0, 1, 0xFFFFFFFFu, 0, 0},  {x1, y0, 0, 1, 0xFFFFFFFFu, a, a},
                       {x0, y1, 0, 1, 0xFFFFFFFFu, -a, a}, {x1, y0, 0, 1, 0xFFFFFFFFu, a, a},
                       {x1, y1, 0, 1, 0xFFFFFFFFu, 0, 2 * a}, {x0, y1, 0, 1, 0xFFFFFFFFu, -a, a}};
        cf_draw_up(c, CF_FVF144, D3DPT_TRIANGLELIST, 2, v, sizeof v[0]);
      } else {
        cf_quad2d(c, x0, y0, x1, y1, 0xFFFFFFFFu, 0, 0, du, dv);
      }
    }
}

// A textured, mip-mapped floor in perspective: level changes along the
// depth, perspective-correct texture coordinates.
static void persp_mip(CfCtx* c) {
  IDirect3DTexture9* t = cf_texture(c, 64, 64, 7, cf_texel_checker);
  cf_bind(c, t);
  cf_rs(c, D3DRS_CULLMODE, D3DCULL_NONE);
  cf_persp(c, 1.0f, 0.5f, 100.0f);
  cf_xform(c, D3DTS_VIEW, m4_look_at(Vec3{0.3f, 1.2f, 0}, Vec3{0.3f, 0.4f, 4}, Vec3{0, 1, 0}));
  // coordinates off round values, so no pixel centre lands exactly on a texel edge
  const uint32_t w = 0xFFFFFFFFu;
  cf_quad3d(c, {-4, 0, 0.5f, 4, 0, 0.5f, -4, 0, 40, 4, 0, 40}, w, w, 0.0137f, 0.0211f, 8.0137f, 40.0211f);
}

// WRAP and CLAMP: three quads with texture coordinates -1..2 over a 4x4
// texture, two pixels per texel: (wrap, wrap), (clamp, clamp), (clamp, wrap).
static void address_modes(CfCtx* c) {
  IDirect3DTexture9* t = cf_texture(c, 4, 4, 1, cf_texel_index);
  cf_bind(c, t);
  const uint32_t modes[3][2] = {{D3DTADDRESS_WRAP, D3DTADDRESS_WRAP},
                                {D3DTADDRESS_CLAMP, D3DTADDRESS_CLAMP},
                                {D3DTADDRESS_CLAMP, D3DTADDRESS_WRAP}};
  for (int i = 0; i < 3; i++) {
    cf_samp(c, 0, D3DSAMP_ADDRESSU, modes[i][0]);
    cf_samp(c, 0, D3DSAMP_ADDRESSV, modes[i][1]);
    float x = (float)(i * 26) - 0.5f;
    cf_quad2d(c, x, -0.5f, x + 24, 23.5f, 0xFFFFFFFFu, -1, -1, 2, 2);
  }
  // WRAP on sides that are not powers of two, far from the origin
  cf_bind(c, cf_texture(c, 48, 20, 1, cf_texel_index));
  cf_samp(c, 0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  cf_samp(c, 0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
  float u0, v0, u1, v1;
  cf_npot_wrap_coords(&u0, &v0, &u1, &v1);
  cf_quad2d(c, 77.5f, -0.5f, 101.5f, 23.5f, 0xFFFFFFFFu, u0, v0, u1, v1);
}

// 1.3 texels per pixel across, 0.9 down: no pixel centre near a texel edge.
void cf_npot_wrap_coords(float* u0, float* v0, float* u1, float* v1) {
  *u0 = 37.1f;
  *u1 = 37.1f + 24 * 1.3f / 48;
  *v0 = -13.3f;
  *v1 = -13.3f + 24 * 0.9f / 20;
}

const CfScene g_cfTexScenes[] = {
    {"point_edges", 88, 64, 0, 0xFF000000u, point_edges, 0, 0, "point sampling exactly at texel edges"},
    {"mip_select", 64, 32, 0, 0xFF000000u, mip_select, 0, 0, "mip level for a given footprint"},
    {"persp_mip", 64, 48, 0, 0xFF000000u, persp_mip, 1, 0, "mip levels and texture on a receding floor"},
    {"address_modes", 102, 24, 0, 0xFF000000u, address_modes, 0, 0, "WRAP and CLAMP, WRAP on 48 x 20"},
    {},
};
