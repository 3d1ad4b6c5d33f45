// Inside the software device's draw path: what the vertex stage, primitive
// assembly and the pixel stage's setup share.
#pragma once

#include "soft/simd.h"
#include "soft/soft_internal.h"

namespace soft {

struct Fvf {
  int rhw;
  int size;
  int normal, diffuse, specular, tex;  // byte offsets, -1 when absent
  int texDim;
};

struct LightV {
  int type;
  float dir[3];  // towards the light (directional), view space, unit length
  float pos[3];  // view space (point, spot)
  float diff[3], amb[3];
  float range, a0, a1, a2;
};

enum ColourSrc { CS_MATERIAL, CS_DIFFUSE, CS_SPECULAR };

struct VSetup {
  Fvf fvf;
  float wvp[16], wv[16];
  float nm[9];  // normal matrix: inverse transpose of the upper 3x3 of world x view
  // viewport mapping
  float cxv, cyv, hw, hh, minz, maxz;
  float gl, gr, gb, gt;  // guard band in clip units
  // pre-transformed vertices: the scissor rectangle
  float sx0, sy0, sx1, sy1;
  // lighting
  int lighting, normalize, nlights, needPos;
  LightV light[MAX_LIGHTS];
  float ambient[3];
  ColourSrc diffSrc, ambSrc, emiSrc;
  D3DMATERIAL9 mat;
  // fog
  int fogMode;  // 0 none, D3DFOG_*
  int fogFromSpecular;
  int rangeFog;
  float fogEnd, fogScale, fogDensity;
};

static inline void colour_f(uint32_t c, float* o) {
  o[0] = (float)((c >> 16) & 0xFF) * (1.0f / 255.0f);
  o[1] = (float)((c >> 8) & 0xFF) * (1.0f / 255.0f);
  o[2] = (float)(c & 0xFF) * (1.0f / 255.0f);
  o[3] = (float)(c >> 24) * (1.0f / 255.0f);
}

// Depth as the reference pipeline computes it, by way of a -1..1 range:
// the float roundings of that detour decide which buffer value a depth
// quantises to when it is close to a half step.
static inline float depth_from_ndc(float ndc, float minz, float maxz) {
  return ndc * ((maxz - minz) * 0.5f) + (maxz + minz) * 0.5f;
}

static inline float depth_rhw(float z) { return depth_from_ndc(2.0f * z - 1.0f, 0.0f, 1.0f); }

// Snapping to 1/256 pixel; a position exactly halfway goes right and up.
// (Inputs lie inside the guard band, so the conversions cannot overflow.)
static inline int32_t floor_i(float v) {
  int32_t i = (int32_t)v;
  return (float)i > v ? i - 1 : i;
}

static inline void snap(PVert* p, float sx, float sy) {
  p->X = floor_i(sx * 256.0f + 0.5f);
  p->Y = -floor_i(-(sy * 256.0f - 0.5f));
  p->sx = sx;
  p->sy = sy;
}

static inline void project(const VSetup& s, PVert* p) {
  float rhw = 1.0f / p->cw;
  float sx, sy, sz;
  if (s.fvf.rhw) {
    sx = p->cx * rhw;
    sy = p->cy * rhw;
    sz = depth_rhw(p->cz * rhw);
  } else {
    sx = s.cxv + p->cx * rhw * s.hw;
    sy = s.cyv - p->cy * rhw * s.hh;
    sz = (2.0f * p->cz - p->cw) * rhw * ((s.maxz - s.minz) * 0.5f) + (s.maxz + s.minz) * 0.5f;
  }
  // clipping leaves vertices on the guard band's edge, give or take rounding
  if (!(sx >= -GUARD)) sx = -GUARD;
  if (!(sx <= GUARD)) sx = GUARD;
  if (!(sy >= -GUARD)) sy = -GUARD;
  if (!(sy <= GUARD)) sy = GUARD;
  if (!(sz >= 0.0f)) sz = 0.0f;
  if (sz > 1.0f) sz = 1.0f;
  p->sz = sz;
  p->rhw = rhw;
  snap(p, sx, sy);
}

static const float W_EPS = 1e-6f;

// The per-draw constants of vertex_attrs4, spread over four lanes once.
struct Attr4 {
  f4 nm[9];
  f4 ldir[MAX_LIGHTS][3], ldiff[MAX_LIGHTS][3];
  f4 amb[3];
  f4 mat[3][4];  // material diffuse, ambient, emissive
  f4 wz[4], wx[4], wy[4];  // view-space z, x, y from the position
  f4 fogEnd, fogScale;
};

// The vertex stage (vertex.cpp). Positions and clip codes of n vertices
// first; the rest only for the vertices a triangle needs, one at a time or
// four at a time where attrs4_ok() allows.
int fvf_decode(DWORD fvf, DWORD texIndex, Fvf* f);
void vsetup(const DeviceState& st, const Fvf& fvf, const RasterState& rs, VSetup* s);
void transform_positions(const VSetup& s, const uint8_t* src, UINT stride, PVert* out, int n);
void vertex_attrs(const VSetup& s, const uint8_t* src, PVert* p);
int attrs4_ok(const VSetup& s);
void attr4_setup(const VSetup& s, Attr4* k);
void vertex_attrs4(const VSetup& s, const Attr4& K, const uint8_t* const* v, PVert* const* out);

// The pixel stage's settings for a draw (raster_setup.cpp); 0: nothing can
// be drawn (empty target area).
int raster_state(const DeviceState& st, const Fvf& fvf, RasterState* out);

}  // namespace soft
