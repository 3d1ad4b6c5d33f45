// The draw path of the software device: vertex fetch by flexible vertex
// format, transform, Direct3D 9 lighting and vertex fog, primitive assembly,
// trivial rejection, clipping in homogeneous space and the hand-over of each
// triangle to the rasterizer.
//
// Positions of a draw's vertices are transformed up front; colours, texture
// coordinates and fog only for vertices of triangles that survive rejection
// and culling.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "soft/soft_internal.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace soft {

static inline float bits_f(DWORD d) {
  float f;
  memcpy(&f, &d, 4);
  return f;
}

static inline float rdf(const uint8_t* p) {
  float f;
  memcpy(&f, p, 4);
  return f;
}

static inline uint32_t rdu(const uint8_t* p) {
  uint32_t u;
  memcpy(&u, p, 4);
  return u;
}

static inline int finite3(float a, float b, float c) {
  // false for NaN and infinities
  return (a - a) == 0.0f && (b - b) == 0.0f && (c - c) == 0.0f;
}

// ---- flexible vertex format -----------------------------------------------------------------
struct Fvf {
  int rhw;
  int size;
  int normal, diffuse, specular, tex;  // byte offsets, -1 when absent
  int texDim;
};

static int fvf_decode(DWORD fvf, DWORD texIndex, Fvf* f) {
  int off;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: off = 12; break;
    case D3DFVF_XYZRHW: off = 16; break;
    case D3DFVF_XYZB1: off = 16; break;
    case D3DFVF_XYZB2: off = 20; break;
    case D3DFVF_XYZB3: off = 24; break;
    case D3DFVF_XYZB4: off = 28; break;
    case D3DFVF_XYZB5: off = 32; break;
    case D3DFVF_XYZW: off = 16; break;
    default: return 0;
  }
  f->rhw = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  f->normal = f->diffuse = f->specular = f->tex = -1;
  f->texDim = 0;
  if (fvf & D3DFVF_NORMAL) {
    if (f->rhw) return 0;
    f->normal = off;
    off += 12;
  }
  if (fvf & D3DFVF_PSIZE) off += 4;
  if (fvf & D3DFVF_DIFFUSE) {
    f->diffuse = off;
    off += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    f->specular = off;
    off += 4;
  }
  int ntex = (int)((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
  if (ntex > 8) return 0;
  for (int i = 0; i < ntex; i++) {
    static const int dims[4] = {2, 3, 4, 1};
    int d = dims[(fvf >> (16 + 2 * i)) & 3];
    if ((DWORD)i == texIndex) {
      f->tex = off;
      f->texDim = d;
    }
    off += 4 * d;
  }
  f->size = off;
  return 1;
}

// ---- per-draw vertex settings -----------------------------------------------------------------
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

static void mat_mul(const float* a, const float* b, float* r) {
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++)
      r[i * 4 + j] = a[i * 4 + 0] * b[0 * 4 + j] + a[i * 4 + 1] * b[1 * 4 + j] + a[i * 4 + 2] * b[2 * 4 + j] +
                     a[i * 4 + 3] * b[3 * 4 + j];
}

// Inverse transpose of the upper 3x3 of m (row-major 4x4), as a 3x3.
static void normal_matrix(const float* m, float* out) {
  float a = m[0], b = m[1], c = m[2], d = m[4], e = m[5], f = m[6], g = m[8], h = m[9], i = m[10];
  float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
  float D = -(b * i - c * h), E = a * i - c * g, F = -(a * h - b * g);
  float G = b * f - c * e, H = -(a * f - c * d), I = a * e - b * d;
  float det = a * A + b * B + c * C;
  float s = (det != 0.0f && (det - det) == 0.0f) ? 1.0f / det : 0.0f;
  // inverse = adj / det, with adj = cofactor matrix transposed; its transpose
  // is the cofactor matrix itself
  out[0] = A * s;
  out[1] = B * s;
  out[2] = C * s;
  out[3] = D * s;
  out[4] = E * s;
  out[5] = F * s;
  out[6] = G * s;
  out[7] = H * s;
  out[8] = I * s;
}

static inline void colour_f(uint32_t c, float* o) {
  o[0] = (float)((c >> 16) & 0xFF) * (1.0f / 255.0f);
  o[1] = (float)((c >> 8) & 0xFF) * (1.0f / 255.0f);
  o[2] = (float)(c & 0xFF) * (1.0f / 255.0f);
  o[3] = (float)(c >> 24) * (1.0f / 255.0f);
}

static ColourSrc colour_src(const DeviceState& st, DWORD rsSrc) {
  if (!st.rs[D3DRS_COLORVERTEX]) return CS_MATERIAL;
  DWORD s = st.rs[rsSrc];
  if (s == D3DMCS_COLOR1) return CS_DIFFUSE;
  if (s == D3DMCS_COLOR2) return CS_SPECULAR;
  return CS_MATERIAL;
}

static void vsetup(const DeviceState& st, const Fvf& fvf, const RasterState& rs, VSetup* s) {
  s->fvf = fvf;
  mat_mul(&st.world.m[0][0], &st.view.m[0][0], s->wv);
  mat_mul(s->wv, &st.proj.m[0][0], s->wvp);
  normal_matrix(s->wv, s->nm);
  float W = (float)st.vp.Width, H = (float)st.vp.Height;
  s->hw = W * 0.5f;
  s->hh = H * 0.5f;
  s->cxv = (float)st.vp.X + s->hw;
  s->cyv = (float)st.vp.Y + s->hh;
  s->minz = st.vp.MinZ;
  s->maxz = st.vp.MaxZ;
  s->gl = (-GUARD - s->cxv) / s->hw;
  s->gr = (GUARD - s->cxv) / s->hw;
  s->gb = (s->cyv - GUARD) / s->hh;
  s->gt = (s->cyv + GUARD) / s->hh;
  s->sx0 = (float)rs.x0;
  s->sy0 = (float)rs.y0;
  s->sx1 = (float)(rs.x1 - 1);
  s->sy1 = (float)(rs.y1 - 1);

  s->lighting = st.rs[D3DRS_LIGHTING] && !fvf.rhw;
  s->normalize = st.rs[D3DRS_NORMALIZENORMALS] != 0;
  s->nlights = 0;
  s->needPos = 0;
  if (s->lighting) {
    float amb[4];
    colour_f(st.rs[D3DRS_AMBIENT], amb);
    s->ambient[0] = amb[0];
    s->ambient[1] = amb[1];
    s->ambient[2] = amb[2];
    s->diffSrc = colour_src(st, D3DRS_DIFFUSEMATERIALSOURCE);
    s->ambSrc = colour_src(st, D3DRS_AMBIENTMATERIALSOURCE);
    s->emiSrc = colour_src(st, D3DRS_EMISSIVEMATERIALSOURCE);
    s->mat = st.mat;
    const float* V = &st.view.m[0][0];
    for (int i = 0; i < MAX_LIGHTS; i++) {
      if (!st.lightOn[i]) continue;
      const D3DLIGHT9& l = st.light[i];
      LightV& o = s->light[s->nlights++];
      o.type = l.Type;
      o.diff[0] = l.Diffuse.r;
      o.diff[1] = l.Diffuse.g;
      o.diff[2] = l.Diffuse.b;
      o.amb[0] = l.Ambient.r;
      o.amb[1] = l.Ambient.g;
      o.amb[2] = l.Ambient.b;
      // the direction the light travels, into view space, reversed
      float dx = l.Direction.x, dy = l.Direction.y, dz = l.Direction.z;
      float vx = dx * V[0] + dy * V[4] + dz * V[8];
      float vy = dx * V[1] + dy * V[5] + dz * V[9];
      float vz = dx * V[2] + dy * V[6] + dz * V[10];
      float len = sqrtf(vx * vx + vy * vy + vz * vz);
      float k = len > 0.0f ? -1.0f / len : 0.0f;
      o.dir[0] = vx * k;
      o.dir[1] = vy * k;
      o.dir[2] = vz * k;
      float px = l.Position.x, py = l.Position.y, pz = l.Position.z;
      o.pos[0] = px * V[0] + py * V[4] + pz * V[8] + V[12];
      o.pos[1] = px * V[1] + py * V[5] + pz * V[9] + V[13];
      o.pos[2] = px * V[2] + py * V[6] + pz * V[10] + V[14];
      o.range = l.Range;
      o.a0 = l.Attenuation0;
      o.a1 = l.Attenuation1;
      o.a2 = l.Attenuation2;
      if (l.Type != D3DLIGHT_DIRECTIONAL) s->needPos = 1;
    }
  }

  s->fogMode = 0;
  s->fogFromSpecular = 0;
  if (rs.fog) {
    if (fvf.rhw) {
      s->fogFromSpecular = 1;
    } else {
      DWORD mode = st.rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? st.rs[D3DRS_FOGTABLEMODE] : st.rs[D3DRS_FOGVERTEXMODE];
      if (mode == D3DFOG_LINEAR || mode == D3DFOG_EXP || mode == D3DFOG_EXP2)
        s->fogMode = (int)mode;
      else
        s->fogFromSpecular = 1;
    }
  }
  s->rangeFog = st.rs[D3DRS_RANGEFOGENABLE] != 0;
  float fs = bits_f(st.rs[D3DRS_FOGSTART]), fe = bits_f(st.rs[D3DRS_FOGEND]);
  s->fogEnd = fe;
  s->fogScale = fe != fs ? 1.0f / (fe - fs) : 1e20f;
  if (!((s->fogScale - s->fogScale) == 0.0f) || !((fe - fe) == 0.0f)) {
    s->fogEnd = 0.0f;
    s->fogScale = 0.0f;
  }
  s->fogDensity = bits_f(st.rs[D3DRS_FOGDENSITY]);
}

// ---- phase 1: positions and clip codes ----------------------------------------------------------
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

typedef float vf4 __attribute__((vector_size(16)));
typedef int32_t vi4 __attribute__((vector_size(16)));

static inline vf4 vsplat(float v) { return vf4{v, v, v, v}; }
static inline vi4 vsplati(int32_t v) { return vi4{v, v, v, v}; }

static inline void transpose4(vf4 a, vf4 b, vf4 c, vf4 d, vf4* out) {
  vf4 t0 = __builtin_shufflevector(a, b, 0, 4, 1, 5), t1 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  vf4 t2 = __builtin_shufflevector(c, d, 0, 4, 1, 5), t3 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
  out[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
  out[1] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
  out[2] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
  out[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

static inline vi4 vfloor_i(vf4 v) {
  vi4 i = __builtin_convertvector(v, vi4);
  return i + (vi4)(__builtin_convertvector(i, vf4) > v);
}

// Four untransformed vertices at a time: the same arithmetic as the scalar
// loop below, lane by lane.
static int transform_xyz4(const VSetup& s, const uint8_t* src, UINT stride, PVert* out, int n) {
  const float* M = s.wvp;
  const vf4 m0 = vsplat(M[0]), m1 = vsplat(M[1]), m2 = vsplat(M[2]), m3 = vsplat(M[3]);
  const vf4 m4 = vsplat(M[4]), m5 = vsplat(M[5]), m6 = vsplat(M[6]), m7 = vsplat(M[7]);
  const vf4 m8 = vsplat(M[8]), m9 = vsplat(M[9]), m10 = vsplat(M[10]), m11 = vsplat(M[11]);
  const vf4 m12 = vsplat(M[12]), m13 = vsplat(M[13]), m14 = vsplat(M[14]), m15 = vsplat(M[15]);
  const vf4 zero = vsplat(0.0f), one = vsplat(1.0f);
  // (locals: the stores below could otherwise alias them)
  const vf4 gl = vsplat(s.gl), gr = vsplat(s.gr), gb = vsplat(s.gb), gt = vsplat(s.gt);
  const vf4 cxv = vsplat(s.cxv), cyv = vsplat(s.cyv), hw = vsplat(s.hw), hh = vsplat(s.hh);
  const vf4 zscale = vsplat((s.maxz - s.minz) * 0.5f), zbias = vsplat((s.maxz + s.minz) * 0.5f);
  int i = 0;
  for (; i + 4 <= n; i += 4, src += 4 * (size_t)stride) {
    vf4 x, y, z;
    if (stride >= 16) {
      // a whole vertex follows each position: load four floats and transpose
      vf4 row[4], col[4];
      for (int k = 0; k < 4; k++) memcpy(&row[k], src + (size_t)k * stride, 16);
      transpose4(row[0], row[1], row[2], row[3], col);
      x = col[0];
      y = col[1];
      z = col[2];
    } else {
      for (int k = 0; k < 4; k++) {
        const uint8_t* v = src + (size_t)k * stride;
        x[k] = rdf(v);
        y[k] = rdf(v + 4);
        z[k] = rdf(v + 8);
      }
    }
    vf4 cx = x * m0 + y * m4 + z * m8 + m12;
    vf4 cy = x * m1 + y * m5 + z * m9 + m13;
    vf4 cz = x * m2 + y * m6 + z * m10 + m14;
    vf4 cw = x * m3 + y * m7 + z * m11 + m15;
    vi4 bad = ~(((cx - cx) == zero) & ((cy - cy) == zero) & ((cz - cz) == zero) & ((cw - cw) == zero));
    vi4 code = ((vi4)(cx < -cw) & vsplati(CLIP_LEFT)) | ((vi4)(cx > cw) & vsplati(CLIP_RIGHT)) |
               ((vi4)(cy < -cw) & vsplati(CLIP_BOTTOM)) | ((vi4)(cy > cw) & vsplati(CLIP_TOP)) |
               ((vi4)(cz < zero) & vsplati(CLIP_NEAR)) | ((vi4)(cz > cw) & vsplati(CLIP_FAR)) |
               ((vi4)(cx < gl * cw) & vsplati(CLIP_GB_LEFT)) | ((vi4)(cx > gr * cw) & vsplati(CLIP_GB_RIGHT)) |
               ((vi4)(cy < gb * cw) & vsplati(CLIP_GB_BOTTOM)) | ((vi4)(cy > gt * cw) & vsplati(CLIP_GB_TOP)) |
               ((vi4)(cw < vsplat(W_EPS)) & vsplati(CLIP_W));
    code = (code & ~bad) | (bad & vsplati(CLIP_BAD));
    // projection of the lanes inside the guard band (others get harmless values)
    vi4 ok = (code & vsplati(CLIP_MUST_MASK | CLIP_BAD)) == vsplati(0);
    vf4 px = (vf4)((vi4)cx & ok), py = (vf4)((vi4)cy & ok), pz = (vf4)((vi4)cz & ok);
    vf4 pw = (vf4)(((vi4)cw & ok) | ((vi4)one & ~ok));
    vf4 rhw = one / pw;
    vf4 sx = cxv + px * rhw * hw;
    vf4 sy = cyv - py * rhw * hh;
    vf4 sz = (vsplat(2.0f) * pz - pw) * rhw * zscale + zbias;
    sx = sx >= vsplat(-GUARD) ? sx : vsplat(-GUARD);
    sx = sx <= vsplat(GUARD) ? sx : vsplat(GUARD);
    sy = sy >= vsplat(-GUARD) ? sy : vsplat(-GUARD);
    sy = sy <= vsplat(GUARD) ? sy : vsplat(GUARD);
    sz = sz >= zero ? sz : zero;
    sz = sz > one ? one : sz;
    vi4 X = vfloor_i(sx * vsplat(256.0f) + vsplat(0.5f));
    vi4 Y = -vfloor_i(-(sy * vsplat(256.0f) - vsplat(0.5f)));
    vf4 blk0[4], blk1[4], blk2[4];
    transpose4(cx, cy, cz, cw, blk0);
    transpose4(sz, rhw, (vf4)X, (vf4)Y, blk1);
    transpose4((vf4)code, vsplat(0.0f), sx, sy, blk2);  // code, done = 0, sx, sy
    for (int k = 0; k < 4; k++) {
      PVert* p = out + i + k;
      memcpy(&p->cx, &blk0[k], 16);
      memcpy(&p->sz, &blk1[k], 16);
      memcpy(&p->code, &blk2[k], 16);
    }
  }
  return i;
}

static void transform_positions(const VSetup& s, const uint8_t* src, UINT stride, PVert* out, int n) {
  const float* M = s.wvp;
  int i = 0;
  if (!s.fvf.rhw) {
    i = transform_xyz4(s, src, stride, out, n);
    src += (size_t)i * stride;
  }
  for (; i < n; i++, src += stride) {
    PVert* p = out + i;
    float x = rdf(src), y = rdf(src + 4), z = rdf(src + 8);
    p->done = 0;
    if (s.fvf.rhw) {
      float rhw = rdf(src + 12);
      uint32_t code = 0;
      if (!finite3(x, y, z) || !(rhw > 0.0f) || !((rhw - rhw) == 0.0f)) {
        p->code = CLIP_BAD;
        continue;
      }
      float w = 1.0f / rhw;
      if (!((w - w) == 0.0f)) {
        p->code = CLIP_BAD;
        continue;
      }
      p->cx = x * w;
      p->cy = y * w;
      p->cz = z * w;
      p->cw = w;
      if (x < s.sx0) code |= CLIP_LEFT;
      if (x > s.sx1) code |= CLIP_RIGHT;
      if (y < s.sy0) code |= CLIP_TOP;
      if (y > s.sy1) code |= CLIP_BOTTOM;
      if (x < -GUARD) code |= CLIP_GB_LEFT;
      if (x > GUARD) code |= CLIP_GB_RIGHT;
      if (y < -GUARD) code |= CLIP_GB_TOP;
      if (y > GUARD) code |= CLIP_GB_BOTTOM;
      p->code = code;
      if (!(code & CLIP_MUST_MASK)) {
        float zz = depth_rhw(z);
        p->sz = zz < 0.0f ? 0.0f : (zz > 1.0f ? 1.0f : zz);
        p->rhw = rhw;
        snap(p, x, y);
      }
      continue;
    }
    float cx = x * M[0] + y * M[4] + z * M[8] + M[12];
    float cy = x * M[1] + y * M[5] + z * M[9] + M[13];
    float cz = x * M[2] + y * M[6] + z * M[10] + M[14];
    float cw = x * M[3] + y * M[7] + z * M[11] + M[15];
    p->cx = cx;
    p->cy = cy;
    p->cz = cz;
    p->cw = cw;
    if (!finite3(cx, cy, cz) || !((cw - cw) == 0.0f)) {
      p->code = CLIP_BAD;
      continue;
    }
    uint32_t code = 0;
    if (cx < -cw) code |= CLIP_LEFT;
    if (cx > cw) code |= CLIP_RIGHT;
    if (cy < -cw) code |= CLIP_BOTTOM;
    if (cy > cw) code |= CLIP_TOP;
    if (cz < 0.0f) code |= CLIP_NEAR;
    if (cz > cw) code |= CLIP_FAR;
    if (cx < s.gl * cw) code |= CLIP_GB_LEFT;
    if (cx > s.gr * cw) code |= CLIP_GB_RIGHT;
    if (cy < s.gb * cw) code |= CLIP_GB_BOTTOM;
    if (cy > s.gt * cw) code |= CLIP_GB_TOP;
    if (cw < W_EPS) code |= CLIP_W;
    p->code = code;
    if (!(code & CLIP_MUST_MASK)) project(s, p);
  }
}

// ---- phase 2: colour, texture coordinates, fog ---------------------------------------------------
static void vertex_attrs(const VSetup& s, const uint8_t* src, PVert* p) {
  p->done = 1;
  const Fvf& f = s.fvf;
  float dc[4] = {1.0f, 1.0f, 1.0f, 1.0f}, sc[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  if (f.diffuse >= 0) colour_f(rdu(src + f.diffuse), dc);
  if (f.specular >= 0) colour_f(rdu(src + f.specular), sc);
  float x = rdf(src), y = rdf(src + 4), z = rdf(src + 8);
  if (s.lighting) {
    float n[3] = {0.0f, 0.0f, 0.0f};
    if (f.normal >= 0) {
      float nx = rdf(src + f.normal), ny = rdf(src + f.normal + 4), nz = rdf(src + f.normal + 8);
      n[0] = nx * s.nm[0] + ny * s.nm[3] + nz * s.nm[6];
      n[1] = nx * s.nm[1] + ny * s.nm[4] + nz * s.nm[7];
      n[2] = nx * s.nm[2] + ny * s.nm[5] + nz * s.nm[8];
      if (s.normalize) {
        float len = sqrtf(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (len > 0.0f) {
          float k = 1.0f / len;
          n[0] *= k;
          n[1] *= k;
          n[2] *= k;
        }
      }
    }
    const D3DMATERIAL9& m = s.mat;
    const float* md = s.diffSrc == CS_DIFFUSE && f.diffuse >= 0     ? dc
                      : s.diffSrc == CS_SPECULAR && f.specular >= 0 ? sc
                                                                    : &m.Diffuse.r;
    const float* ma = s.ambSrc == CS_DIFFUSE && f.diffuse >= 0     ? dc
                      : s.ambSrc == CS_SPECULAR && f.specular >= 0 ? sc
                                                                   : &m.Ambient.r;
    const float* me = s.emiSrc == CS_DIFFUSE && f.diffuse >= 0     ? dc
                      : s.emiSrc == CS_SPECULAR && f.specular >= 0 ? sc
                                                                   : &m.Emissive.r;
    float amb[3] = {s.ambient[0], s.ambient[1], s.ambient[2]};
    float dif[3] = {0.0f, 0.0f, 0.0f};
    float vp[3] = {0.0f, 0.0f, 0.0f};
    if (s.needPos) {
      const float* W = s.wv;
      vp[0] = x * W[0] + y * W[4] + z * W[8] + W[12];
      vp[1] = x * W[1] + y * W[5] + z * W[9] + W[13];
      vp[2] = x * W[2] + y * W[6] + z * W[10] + W[14];
    }
    for (int i = 0; i < s.nlights; i++) {
      const LightV& l = s.light[i];
      float L[3], att = 1.0f;
      if (l.type == D3DLIGHT_DIRECTIONAL) {
        L[0] = l.dir[0];
        L[1] = l.dir[1];
        L[2] = l.dir[2];
      } else {
        float d[3] = {l.pos[0] - vp[0], l.pos[1] - vp[1], l.pos[2] - vp[2]};
        float dist = sqrtf(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (!(dist <= l.range)) continue;
        float den = l.a0 + l.a1 * dist + l.a2 * dist * dist;
        att = den > 0.0f ? 1.0f / den : 1.0f;
        float k = dist > 0.0f ? 1.0f / dist : 0.0f;
        L[0] = d[0] * k;
        L[1] = d[1] * k;
        L[2] = d[2] * k;
      }
      float ndl = n[0] * L[0] + n[1] * L[1] + n[2] * L[2];
      if (ndl > 1.0f) ndl = 1.0f;  // long normals light no more than unit ones
      if (ndl > 0.0f) {
        dif[0] += l.diff[0] * ndl * att;
        dif[1] += l.diff[1] * ndl * att;
        dif[2] += l.diff[2] * ndl * att;
      }
      amb[0] += l.amb[0] * att;
      amb[1] += l.amb[1] * att;
      amb[2] += l.amb[2] * att;
    }
    float c[3];
    for (int k = 0; k < 3; k++) {
      float v = me[k] + ma[k] * amb[k] + md[k] * dif[k];
      c[k] = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;  // NaN becomes 0
    }
    p->r = c[0];
    p->g = c[1];
    p->b = c[2];
    float a = md[3];
    p->a = a > 0.0f ? (a < 1.0f ? a : 1.0f) : 0.0f;
  } else {
    p->r = dc[0];
    p->g = dc[1];
    p->b = dc[2];
    p->a = dc[3];
  }
  if (f.tex >= 0) {
    float u = rdf(src + f.tex), v = f.texDim >= 2 ? rdf(src + f.tex + 4) : 0.0f;
    // interpolation and sampling cope with any finite value; others become 0
    p->u = (u - u) == 0.0f ? u : 0.0f;
    p->v = (v - v) == 0.0f ? v : 0.0f;
  } else {
    p->u = p->v = 0.0f;
  }
  float fog = 1.0f;
  if (s.fogFromSpecular) {
    if (f.specular >= 0) fog = sc[3];
  } else if (s.fogMode) {
    const float* W = s.wv;
    float vz = x * W[2] + y * W[6] + z * W[10] + W[14];
    float d = fabsf(vz);
    if (s.rangeFog) {
      float vx = x * W[0] + y * W[4] + z * W[8] + W[12];
      float vy = x * W[1] + y * W[5] + z * W[9] + W[13];
      d = sqrtf(vx * vx + vy * vy + vz * vz);
    }
    if (s.fogMode == D3DFOG_LINEAR) {
      fog = (s.fogEnd - d) * s.fogScale;  // clamped per pixel
    } else if (s.fogMode == D3DFOG_EXP) {
      fog = expf(-d * s.fogDensity);
    } else {
      float e = d * s.fogDensity;
      fog = expf(-e * e);
    }
    if (!(fog > -1e30f && fog < 1e30f)) fog = fog > 0.0f ? 1e30f : (fog < 0.0f ? -1e30f : 0.0f);
  }
  p->f = fog;
}

// ---- clipping --------------------------------------------------------------------------------------
struct ClipPlane {
  float a, b, c, d, e;  // inside: a x + b y + c z + d w + e >= 0
};

static inline float pdist(const ClipPlane& pl, const PVert& v) {
  return pl.a * v.cx + pl.b * v.cy + pl.c * v.cz + pl.d * v.cw + pl.e;
}

static inline void lerp_vert(const PVert& a, const PVert& b, float t, PVert* o) {
  o->cx = a.cx + (b.cx - a.cx) * t;
  o->cy = a.cy + (b.cy - a.cy) * t;
  o->cz = a.cz + (b.cz - a.cz) * t;
  o->cw = a.cw + (b.cw - a.cw) * t;
  o->r = a.r + (b.r - a.r) * t;
  o->g = a.g + (b.g - a.g) * t;
  o->b = a.b + (b.b - a.b) * t;
  o->a = a.a + (b.a - a.a) * t;
  o->u = a.u + (b.u - a.u) * t;
  o->v = a.v + (b.v - a.v) * t;
  o->f = a.f + (b.f - a.f) * t;
  o->done = 1;
  o->code = 0;
}

enum { MAX_POLY = 16 };

static int clip_poly(const ClipPlane& pl, const PVert* in, int n, PVert* out) {
  int m = 0;
  for (int i = 0; i < n; i++) {
    const PVert& a = in[i];
    const PVert& b = in[(i + 1) % n];
    float da = pdist(pl, a), db = pdist(pl, b);
    if (da >= 0.0f) out[m++] = a;
    if ((da >= 0.0f) != (db >= 0.0f)) {
      // always from the inside vertex, so a shared edge clips the same way
      // for both of its triangles
      if (da >= 0.0f)
        lerp_vert(a, b, da / (da - db), &out[m++]);
      else
        lerp_vert(b, a, db / (db - da), &out[m++]);
    }
  }
  return m;
}

static void draw_clipped(const VSetup& s, const RasterState& rs, const PVert* v0, const PVert* v1,
                         const PVert* v2, uint32_t codes) {
  PVert bufA[MAX_POLY], bufB[MAX_POLY];
  bufA[0] = *v0;
  bufA[1] = *v1;
  bufA[2] = *v2;
  int n = 3;
  PVert* in = bufA;
  PVert* out = bufB;
  ClipPlane planes[7];
  int np = 0;
  if (s.fvf.rhw) {
    if (codes & CLIP_GB_LEFT) planes[np++] = {1, 0, 0, GUARD, 0};
    if (codes & CLIP_GB_RIGHT) planes[np++] = {-1, 0, 0, GUARD, 0};
    if (codes & CLIP_GB_TOP) planes[np++] = {0, 1, 0, GUARD, 0};
    if (codes & CLIP_GB_BOTTOM) planes[np++] = {0, -1, 0, GUARD, 0};
  } else {
    if (codes & CLIP_NEAR) planes[np++] = {0, 0, 1, 0, 0};
    if (codes & CLIP_FAR) planes[np++] = {0, 0, -1, 1, 0};
    if (codes & CLIP_W) planes[np++] = {0, 0, 0, 1, -W_EPS};
    if (codes & CLIP_GB_LEFT) planes[np++] = {1, 0, 0, -s.gl, 0};
    if (codes & CLIP_GB_RIGHT) planes[np++] = {-1, 0, 0, s.gr, 0};
    if (codes & CLIP_GB_BOTTOM) planes[np++] = {0, 1, 0, -s.gb, 0};
    if (codes & CLIP_GB_TOP) planes[np++] = {0, -1, 0, s.gt, 0};
  }
  for (int i = 0; i < np && n >= 3; i++) {
    n = clip_poly(planes[i], in, n, out);
    PVert* t = in;
    in = out;
    out = t;
  }
  if (n < 3) return;
  for (int i = 0; i < n; i++) {
    if (!(in[i].cw > 0.0f)) return;  // rounding left a vertex at w <= 0: drop the sliver
    project(s, &in[i]);
  }
  for (int i = 1; i + 1 < n; i++) {
    int64_t area = (int64_t)(in[i].X - in[0].X) * (in[i + 1].Y - in[0].Y) -
                   (int64_t)(in[i + 1].X - in[0].X) * (in[i].Y - in[0].Y);
    if (raster_keep(rs, area)) rs.tri(rs, &in[0], &in[i], &in[i + 1]);
  }
}

// ---- raster state from the device state ---------------------------------------------------------------
// area2 > 0: clockwise on screen (y down).
int raster_keep(const RasterState& rs, int64_t area2) {
  if (area2 == 0) return 0;
  if (rs.cull == D3DCULL_CCW) return area2 > 0;
  if (rs.cull == D3DCULL_CW) return area2 < 0;
  return 1;
}

static RasterFn pick_rasterizer() {
#if SOFT_HAVE_AVX2
  if (!g_softHooks.portableRaster && __builtin_cpu_supports("avx2")) return raster_triangle_avx2;
#endif
  return raster_triangle_base;
}
// The stage setup as a product: colour = T^t x D^d x K per channel (T the
// texel, D the diffuse colour, K a constant), which covers MODULATE,
// SELECTARG1, SELECTARG2 and DISABLE over TEXTURE, DIFFUSE, CURRENT,
// TFACTOR and CONSTANT.
struct Mono {
  int t, d;
  float k[4];
};

static Mono mono_const(uint32_t c) {
  Mono m;
  m.t = m.d = 0;
  colour_f(c, m.k);
  return m;
}

static Mono mono_mul(const Mono& a, const Mono& b) {
  Mono m;
  m.t = a.t + b.t;
  m.d = a.d + b.d;
  for (int i = 0; i < 4; i++) m.k[i] = a.k[i] * b.k[i];
  return m;
}

static Mono stage_arg(DWORD arg, const Mono& cur, const DeviceState& st, int stage) {
  Mono m = mono_const(0xFFFFFFFFu);
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: m.d = 1; break;
    case D3DTA_CURRENT: return cur;
    case D3DTA_TEXTURE: m.t = 1; break;
    case D3DTA_TFACTOR: return mono_const(st.rs[D3DRS_TEXTUREFACTOR]);
    case D3DTA_CONSTANT: return mono_const(st.tss[stage][D3DTSS_CONSTANT]);
    case D3DTA_SPECULAR:
    case D3DTA_TEMP:
    default: return mono_const(0);
  }
  return m;
}

static int uses_texture(DWORD op, DWORD a1, DWORD a2) {
  int t1 = (a1 & D3DTA_SELECTMASK) == D3DTA_TEXTURE, t2 = (a2 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
  if (op == D3DTOP_SELECTARG1) return t1;
  if (op == D3DTOP_SELECTARG2) return t2;
  return t1 || t2;
}

static Mono stage_op(DWORD op, DWORD a1, DWORD a2, const Mono& cur, const DeviceState& st, int stage) {
  switch (op) {
    case D3DTOP_SELECTARG1: return stage_arg(a1, cur, st, stage);
    case D3DTOP_SELECTARG2: return stage_arg(a2, cur, st, stage);
    default:  // MODULATE; other operations are approximated by it
      return mono_mul(stage_arg(a1, cur, st, stage), stage_arg(a2, cur, st, stage));
  }
}

static void combiner(const DeviceState& st, RasterState& rs, int texBound) {
  Mono c, a;
  c.t = a.t = 0;
  c.d = a.d = 1;
  for (int i = 0; i < 4; i++) c.k[i] = a.k[i] = 1.0f;
  for (int s = 0; s < 2; s++) {
    const DWORD* t = st.tss[s];
    DWORD cop = t[D3DTSS_COLOROP];
    if (cop == D3DTOP_DISABLE) break;  // this stage and every later one
    DWORD aop = t[D3DTSS_ALPHAOP];
    // Only stage 0 samples a texture. A stage whose arguments need a texture
    // that is not there passes the current value on unchanged.
    int hasTex = s == 0 && texBound;
    Mono nc = c, na = a;
    if (hasTex || !uses_texture(cop, t[D3DTSS_COLORARG1], t[D3DTSS_COLORARG2]))
      nc = stage_op(cop, t[D3DTSS_COLORARG1], t[D3DTSS_COLORARG2], c, st, s);
    if (aop != D3DTOP_DISABLE && (hasTex || !uses_texture(aop, t[D3DTSS_ALPHAARG1], t[D3DTSS_ALPHAARG2])))
      na = stage_op(aop, t[D3DTSS_ALPHAARG1], t[D3DTSS_ALPHAARG2], a, st, s);
    c = nc;
    a = na;
  }
  rs.useTexRGB = c.t > 0;
  rs.useDiffRGB = c.d > 0;
  rs.useTexA = a.t > 0;
  rs.useDiffA = a.d > 0;
  // two stages can each bring the same factor in (higher powers are taken as squares)
  rs.sqTexRGB = c.t > 1;
  rs.sqDiffRGB = c.d > 1;
  rs.sqTexA = a.t > 1;
  rs.sqDiffA = a.d > 1;
  rs.kR = c.k[0];
  rs.kG = c.k[1];
  rs.kB = c.k[2];
  rs.kA = a.k[3];
}

// 0: nothing can be drawn (empty target area).
static int raster_state(const DeviceState& st, const Fvf& fvf, RasterState* out) {
  RasterState& rs = *out;
  memset(&rs, 0, sizeof rs);
  const SoftSurface* rt = st.rt;
  rs.colour = rt->img;
  rs.colourAlphaOr = rt->fmt == D3DFMT_X8R8G8B8;
  long x0 = (long)st.vp.X, y0 = (long)st.vp.Y;
  long x1 = x0 + (long)st.vp.Width, y1 = y0 + (long)st.vp.Height;
  if (x1 > rt->img.w) x1 = rt->img.w;
  if (y1 > rt->img.h) y1 = rt->img.h;
  if (st.rs[D3DRS_SCISSORTESTENABLE]) {
    if (st.scissor.left > x0) x0 = st.scissor.left;
    if (st.scissor.top > y0) y0 = st.scissor.top;
    if (st.scissor.right < x1) x1 = st.scissor.right;
    if (st.scissor.bottom < y1) y1 = st.scissor.bottom;
  }
  rs.zTest = st.ds && st.rs[D3DRS_ZENABLE] != D3DZB_FALSE;
  if (rs.zTest) {
    rs.depth = st.ds->img;
    rs.depthMax = depth_max(st.ds->fmt);
    // a depth buffer smaller than the target limits drawing to its size
    if (x1 > st.ds->img.w) x1 = st.ds->img.w;
    if (y1 > st.ds->img.h) y1 = st.ds->img.h;
    rs.zWrite = st.rs[D3DRS_ZWRITEENABLE] != 0;
    rs.zFunc = st.rs[D3DRS_ZFUNC];
  }
  if (x0 >= x1 || y0 >= y1) return 0;
  rs.x0 = (int)x0;
  rs.y0 = (int)y0;
  rs.x1 = (int)x1;
  rs.y1 = (int)y1;

  rs.aTest = st.rs[D3DRS_ALPHATESTENABLE] != 0;
  rs.aFunc = st.rs[D3DRS_ALPHAFUNC];
  rs.aRef = (int)(st.rs[D3DRS_ALPHAREF] & 0xFF);
  rs.srcBlend = st.rs[D3DRS_SRCBLEND];
  rs.dstBlend = st.rs[D3DRS_DESTBLEND];
  rs.blendOp = st.rs[D3DRS_BLENDOP];
  rs.tfactor = st.rs[D3DRS_BLENDFACTOR];
  if (!st.rs[D3DRS_ALPHABLENDENABLE])
    rs.blend = BL_NONE;
  else if (rs.blendOp != D3DBLENDOP_ADD)
    rs.blend = BL_GENERIC;
  else if (rs.srcBlend == D3DBLEND_SRCALPHA && rs.dstBlend == D3DBLEND_INVSRCALPHA)
    rs.blend = BL_ALPHA;
  else if (rs.srcBlend == D3DBLEND_SRCALPHA && rs.dstBlend == D3DBLEND_ONE)
    rs.blend = BL_ADD_ALPHA;
  else if (rs.srcBlend == D3DBLEND_ONE && rs.dstBlend == D3DBLEND_ONE)
    rs.blend = BL_ADD;
  else if (rs.srcBlend == D3DBLEND_ONE && rs.dstBlend == D3DBLEND_ZERO)
    rs.blend = BL_NONE;
  else
    rs.blend = BL_GENERIC;

  rs.fog = st.rs[D3DRS_FOGENABLE] != 0;
  if (rs.fog && fvf.rhw && fvf.specular < 0) rs.fog = 0;  // nothing to take the fog factor from
  uint32_t fc = st.rs[D3DRS_FOGCOLOR];
  rs.fogR = (float)((fc >> 16) & 0xFF);
  rs.fogG = (float)((fc >> 8) & 0xFF);
  rs.fogB = (float)(fc & 0xFF);
  rs.cull = st.rs[D3DRS_CULLMODE];
  rs.shadeFlat = st.rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;

  const SoftTexture* tex = st.tex[0];
  combiner(st, rs, tex != nullptr);
  if (tex && (rs.useTexRGB || rs.useTexA)) {
    rs.tex = tex;
    const DWORD* sm = st.samp[0];
    int base = (int)sm[D3DSAMP_MAXMIPLEVEL];
    if (base < 0 || base > tex->levels - 1) base = tex->levels - 1;
    rs.texBase = base;
    rs.texLevels = sm[D3DSAMP_MIPFILTER] == D3DTEXF_NONE ? base + 1 : tex->levels;
    rs.wrapU = sm[D3DSAMP_ADDRESSU] == D3DTADDRESS_WRAP || sm[D3DSAMP_ADDRESSU] == D3DTADDRESS_MIRROR;
    rs.wrapV = sm[D3DSAMP_ADDRESSV] == D3DTADDRESS_WRAP || sm[D3DSAMP_ADDRESSV] == D3DTADDRESS_MIRROR;
  } else {
    rs.useTexRGB = rs.useTexA = rs.sqTexRGB = rs.sqTexA = 0;
  }
  rs.squares = rs.sqTexRGB || rs.sqDiffRGB || rs.sqTexA || rs.sqDiffA;
  rs.tri = pick_rasterizer();
  return 1;
}

// ---- the draw -----------------------------------------------------------------------------------------
static int grow(Scratch& s, int n) {
  if (n <= s.cap) return 1;
  int cap = s.cap ? s.cap : 1024;
  while (cap < n) cap *= 2;
  PVert* p = (PVert*)realloc(s.verts, (size_t)cap * sizeof(PVert));
  if (!p) return 0;
  s.verts = p;
  s.cap = cap;
  return 1;
}

// ---- phase 2 for four vertices at a time ------------------------------------------------------------
// The common case (lighting off, or directional lights only; linear or no
// fog) with the arithmetic of vertex_attrs() lane by lane.
static int attrs4_ok(const VSetup& s) {
  if (s.fvf.rhw || s.fogFromSpecular || s.fogMode == D3DFOG_EXP || s.fogMode == D3DFOG_EXP2) return 0;
  return !s.lighting || !s.needPos;
}

static inline void colour4(const uint8_t* const* v, int off, vf4* c) {
  vi4 u;
  for (int k = 0; k < 4; k++) u[k] = (int32_t)rdu(v[k] + off);
  const vf4 k255 = vsplat(1.0f / 255.0f);
  c[0] = __builtin_convertvector((u >> 16) & vsplati(0xFF), vf4) * k255;
  c[1] = __builtin_convertvector((u >> 8) & vsplati(0xFF), vf4) * k255;
  c[2] = __builtin_convertvector(u & vsplati(0xFF), vf4) * k255;
  c[3] = __builtin_convertvector((vi4)((uint32_t __attribute__((vector_size(16))))u >> 24), vf4) * k255;
}

// Square roots lane by lane (correctly rounded either way).
static inline vf4 vsqrt(vf4 v) {
#if defined(__SSE__)
  return (vf4)_mm_sqrt_ps((__m128)v);
#else
  for (int k = 0; k < 4; k++) v[k] = sqrtf(v[k]);
  return v;
#endif
}

static inline vf4 clamp01(vf4 v) {
  const vf4 zero = vsplat(0.0f), one = vsplat(1.0f);
  return v > zero ? (v < one ? v : one) : zero;  // NaN becomes 0
}

// The per-draw constants of vertex_attrs4, spread over four lanes once.
struct Attr4 {
  vf4 nm[9];
  vf4 ldir[MAX_LIGHTS][3], ldiff[MAX_LIGHTS][3];
  vf4 amb[3];
  vf4 mat[3][4];  // material diffuse, ambient, emissive
  vf4 wz[4], wx[4], wy[4];  // view-space z, x, y from the position
  vf4 fogEnd, fogScale;
};

static void attr4_setup(const VSetup& s, Attr4* k) {
  for (int i = 0; i < 9; i++) k->nm[i] = vsplat(s.nm[i]);
  for (int i = 0; i < s.nlights; i++) {
    for (int c = 0; c < 3; c++) {
      k->ldir[i][c] = vsplat(s.light[i].dir[c]);
      k->ldiff[i][c] = vsplat(s.light[i].diff[c]);
    }
  }
  for (int c = 0; c < 3; c++) k->amb[c] = vsplat(s.ambient[c]);
  const D3DCOLORVALUE* m[3] = {&s.mat.Diffuse, &s.mat.Ambient, &s.mat.Emissive};
  for (int j = 0; j < 3; j++) {
    k->mat[j][0] = vsplat(m[j]->r);
    k->mat[j][1] = vsplat(m[j]->g);
    k->mat[j][2] = vsplat(m[j]->b);
    k->mat[j][3] = vsplat(m[j]->a);
  }
  const float* W = s.wv;
  for (int i = 0; i < 4; i++) {
    k->wz[i] = vsplat(W[i * 4 + 2]);
    k->wx[i] = vsplat(W[i * 4 + 0]);
    k->wy[i] = vsplat(W[i * 4 + 1]);
  }
  k->fogEnd = vsplat(s.fogEnd);
  k->fogScale = vsplat(s.fogScale);
}

static void vertex_attrs4(const VSetup& s, const Attr4& K, const uint8_t* const* v, PVert* const* out) {
  const Fvf& f = s.fvf;
  vf4 dc[4], sc[4];
  for (int c = 0; c < 4; c++) {
    dc[c] = vsplat(1.0f);
    sc[c] = vsplat(0.0f);
  }
  if (f.diffuse >= 0) colour4(v, f.diffuse, dc);
  if (f.specular >= 0) colour4(v, f.specular, sc);
  vf4 x, y, z;
  for (int k = 0; k < 4; k++) {
    x[k] = rdf(v[k]);
    y[k] = rdf(v[k] + 4);
    z[k] = rdf(v[k] + 8);
  }
  vf4 r, g, b, a;
  if (s.lighting) {
    vf4 n0 = vsplat(0.0f), n1 = n0, n2 = n0;
    if (f.normal >= 0) {
      vf4 nx, ny, nz;
      for (int k = 0; k < 4; k++) {
        nx[k] = rdf(v[k] + f.normal);
        ny[k] = rdf(v[k] + f.normal + 4);
        nz[k] = rdf(v[k] + f.normal + 8);
      }
      const vf4* m = K.nm;
      n0 = nx * m[0] + ny * m[3] + nz * m[6];
      n1 = nx * m[1] + ny * m[4] + nz * m[7];
      n2 = nx * m[2] + ny * m[5] + nz * m[8];
      if (s.normalize) {
        vf4 len = vsqrt(n0 * n0 + n1 * n1 + n2 * n2);
        vi4 pos = len > vsplat(0.0f);
        vf4 kk = vsplat(1.0f) / (vf4)(((vi4)len & pos) | ((vi4)vsplat(1.0f) & ~pos));
        kk = (vf4)(((vi4)kk & pos) | ((vi4)vsplat(1.0f) & ~pos));
        n0 *= kk;
        n1 *= kk;
        n2 *= kk;
      }
    }
    auto pick = [&](ColourSrc src, int j, vf4* out4) {
      if (src == CS_DIFFUSE && f.diffuse >= 0) {
        for (int c = 0; c < 4; c++) out4[c] = dc[c];
      } else if (src == CS_SPECULAR && f.specular >= 0) {
        for (int c = 0; c < 4; c++) out4[c] = sc[c];
      } else {
        for (int c = 0; c < 4; c++) out4[c] = K.mat[j][c];
      }
    };
    vf4 md[4], ma[4], me[4];
    pick(s.diffSrc, 0, md);
    pick(s.ambSrc, 1, ma);
    pick(s.emiSrc, 2, me);
    vf4 amb[3] = {K.amb[0], K.amb[1], K.amb[2]};
    vf4 dif[3] = {vsplat(0.0f), vsplat(0.0f), vsplat(0.0f)};
    for (int i = 0; i < s.nlights; i++) {
      const LightV& l = s.light[i];
      vf4 ndl = n0 * K.ldir[i][0] + n1 * K.ldir[i][1] + n2 * K.ldir[i][2];
      ndl = ndl > vsplat(1.0f) ? vsplat(1.0f) : ndl;
      vi4 lit = ndl > vsplat(0.0f);
      vf4 nd = (vf4)((vi4)ndl & lit);
      // unlit lanes add nothing, exactly as the scalar code skips them
      for (int c = 0; c < 3; c++)
        dif[c] = (vf4)(((vi4)(dif[c] + K.ldiff[i][c] * nd * vsplat(1.0f)) & lit) | ((vi4)dif[c] & ~lit));
      amb[0] += vsplat(l.amb[0] * 1.0f);
      amb[1] += vsplat(l.amb[1] * 1.0f);
      amb[2] += vsplat(l.amb[2] * 1.0f);
    }
    r = clamp01(me[0] + ma[0] * amb[0] + md[0] * dif[0]);
    g = clamp01(me[1] + ma[1] * amb[1] + md[1] * dif[1]);
    b = clamp01(me[2] + ma[2] * amb[2] + md[2] * dif[2]);
    a = clamp01(md[3]);
  } else {
    r = dc[0];
    g = dc[1];
    b = dc[2];
    a = dc[3];
  }
  vf4 u = vsplat(0.0f), w = vsplat(0.0f);
  if (f.tex >= 0) {
    for (int k = 0; k < 4; k++) {
      u[k] = rdf(v[k] + f.tex);
      w[k] = f.texDim >= 2 ? rdf(v[k] + f.tex + 4) : 0.0f;
    }
    u = (vf4)((vi4)u & ((u - u) == vsplat(0.0f)));
    w = (vf4)((vi4)w & ((w - w) == vsplat(0.0f)));
  }
  vf4 fog = vsplat(1.0f);
  if (s.fogMode == D3DFOG_LINEAR) {
    vf4 vz = x * K.wz[0] + y * K.wz[1] + z * K.wz[2] + K.wz[3];
    vf4 d = (vf4)((vi4)vz & vsplati(0x7FFFFFFF));
    if (s.rangeFog) {
      vf4 vx = x * K.wx[0] + y * K.wx[1] + z * K.wx[2] + K.wx[3];
      vf4 vy = x * K.wy[0] + y * K.wy[1] + z * K.wy[2] + K.wy[3];
      vf4 d2 = vx * vx + vy * vy + vz * vz;
      d = vsqrt(d2);
    }
    fog = (K.fogEnd - d) * K.fogScale;
    // kept finite: infinities to +-1e30, NaN to 0
    fog = fog > vsplat(-1e30f) ? fog : (vf4)((vi4)vsplat(-1e30f) & (fog == fog));
    fog = fog < vsplat(1e30f) ? fog : vsplat(1e30f);
  }
  vf4 c4[4], t4[4];
  transpose4(r, g, b, a, c4);
  transpose4(u, w, fog, vsplat(0.0f), t4);
  for (int k = 0; k < 4; k++) {
    PVert* p = out[k];
    memcpy(&p->r, &c4[k], 16);
    memcpy(&p->u, &t4[k], 16);
    p->done = 1;
  }
}

// ---- the draw -----------------------------------------------------------------------------------------
enum { TRI_CLIP = 1 };

struct TriRef {
  int32_t i0, i1, i2;
  uint32_t clip;  // clip codes of the three vertices when the triangle needs clipping, else 0
};

static int grow_tris(TriScratch& s, int n) {
  if (n <= s.cap) return 1;
  int cap = s.cap ? s.cap : 4096;
  while (cap < n) cap *= 2;
  void* p = realloc(s.tris, (size_t)cap * sizeof(TriRef));
  if (!p) return 0;
  s.tris = p;
  s.cap = cap;
  return 1;
}

HRESULT SoftDevice::draw(D3DPRIMITIVETYPE type, UINT prims, const uint8_t* vdata, UINT stride, UINT vfirst,
                         UINT vcount, const void* idata, int index32, int baseVertex) {
  if (!st.rt) return D3DERR_INVALIDCALL;
  Fvf fvf;
  DWORD tci = st.tss[0][D3DTSS_TEXCOORDINDEX];
  if (!fvf_decode(st.fvf, (tci & 0xFFFF0000u) ? 0xFFFFFFFFu : tci, &fvf)) return D3DERR_INVALIDCALL;
  if (stride < (UINT)fvf.size) return D3DERR_INVALIDCALL;
  RasterState rs;
  if (!raster_state(st, fvf, &rs)) return D3D_OK;

  // the vertices this draw reads: [vfirst, vfirst + vcount)
  int64_t lo = vfirst, hi = (int64_t)vfirst + vcount;
  int n = (int)(hi - lo);
  if (!grow(scratch, n) || !grow_tris(triScratch, (int)(prims < (1u << 20) ? prims : (1u << 20))))
    return E_OUTOFMEMORY;
  PVert* pv = scratch.verts;
  TriRef* tris = (TriRef*)triScratch.tris;
  int triCap = triScratch.cap;
  VSetup vs;
  vsetup(st, fvf, rs, &vs);
  const uint8_t* vbase = vdata + (size_t)lo * stride;
  transform_positions(vs, vbase, stride, pv, n);

  // vertex slot of the k-th vertex of the primitive stream; -1 when outside
  auto slot = [&](UINT k) -> int {
    if (!idata) return (int)(vfirst + k - lo);
    int64_t v = (index32 ? (int64_t)((const uint32_t*)idata)[k] : (int64_t)((const uint16_t*)idata)[k]) +
                baseVertex;
    if (v < lo || v >= hi) return -1;
    return (int)(v - lo);
  };
  int simd = attrs4_ok(vs);
  Attr4 a4;
  if (simd) attr4_setup(vs, &a4);
  UINT p = 0;
  while (p < prims) {
    // Pass 1: reject, cull and note the vertices the survivors need.
    int nt = 0;
    auto consider = [&](int i0, int i1, int i2) __attribute__((always_inline)) {
      PVert* a = pv + i0;
      PVert* b = pv + i1;
      PVert* c = pv + i2;
      uint32_t ca = a->code, cb = b->code, cc = c->code;
      uint32_t any = ca | cb | cc;
      if (any & CLIP_BAD) return;
      if (ca & cb & cc & CLIP_REJECT_MASK) return;
      if (!(any & CLIP_MUST_MASK)) {
        int64_t area = (int64_t)(b->X - a->X) * (c->Y - a->Y) - (int64_t)(c->X - a->X) * (b->Y - a->Y);
        if (!raster_keep(rs, area)) return;
        // No pixel centre inside the box of the triangle (and the scissor
        // rectangle): a tiny triangle between centres draws nothing, and its
        // vertices need no attributes for it.
        int32_t minX = a->X < b->X ? a->X : b->X, maxX = a->X < b->X ? b->X : a->X;
        int32_t minY = a->Y < b->Y ? a->Y : b->Y, maxY = a->Y < b->Y ? b->Y : a->Y;
        minX = c->X < minX ? c->X : minX;
        maxX = c->X > maxX ? c->X : maxX;
        minY = c->Y < minY ? c->Y : minY;
        maxY = c->Y > maxY ? c->Y : maxY;
        int32_t bx0 = (minX + 255) >> 8, bx1 = maxX >> 8, by0 = (minY + 255) >> 8, by1 = maxY >> 8;
        bx0 = bx0 < rs.x0 ? rs.x0 : bx0;
        by0 = by0 < rs.y0 ? rs.y0 : by0;
        bx1 = bx1 > rs.x1 - 1 ? rs.x1 - 1 : bx1;
        by1 = by1 > rs.y1 - 1 ? rs.y1 - 1 : by1;
        if ((bx0 > bx1) | (by0 > by1)) return;
      }
      a->done |= 2;
      b->done |= 2;
      c->done |= 2;
      tris[nt++] = TriRef{i0, i1, i2, (any & CLIP_MUST_MASK) ? any : 0u};
    };
    if (idata && !index32 && type == D3DPT_TRIANGLELIST) {
      // the common case, without the general index decoding
      const uint16_t* ix = (const uint16_t*)idata;
      int64_t off = (int64_t)baseVertex - lo;
      for (; p < prims && nt < triCap; p++) {
        int64_t j0 = ix[3 * p] + off, j1 = ix[3 * p + 1] + off, j2 = ix[3 * p + 2] + off;
        if ((uint64_t)j0 >= (uint64_t)n || (uint64_t)j1 >= (uint64_t)n || (uint64_t)j2 >= (uint64_t)n) continue;
        consider((int)j0, (int)j1, (int)j2);
      }
    }
    for (; p < prims && nt < triCap; p++) {
      int i0, i1, i2;
      if (type == D3DPT_TRIANGLELIST) {
        i0 = slot(3 * p);
        i1 = slot(3 * p + 1);
        i2 = slot(3 * p + 2);
      } else if (type == D3DPT_TRIANGLESTRIP) {
        // every second triangle is reversed so all keep the first one's winding
        i0 = slot(p);
        i1 = slot(p + 1 + (p & 1));
        i2 = slot(p + 2 - (p & 1));
      } else {
        i0 = slot(0);
        i1 = slot(p + 1);
        i2 = slot(p + 2);
      }
      if (i0 < 0 || i1 < 0 || i2 < 0) continue;
      consider(i0, i1, i2);
    }
    // Pass 2: colours, texture coordinates and fog of those vertices.
    if (simd) {
      const uint8_t* src[4];
      PVert* dst[4];
      int k = 0;
      for (int i = 0; i < n; i++) {
        if (pv[i].done != 2) continue;  // not needed, or already done
        src[k] = vbase + (size_t)i * stride;
        dst[k] = pv + i;
        if (++k == 4) {
          vertex_attrs4(vs, a4, src, dst);
          k = 0;
        }
      }
      for (int j = 0; j < k; j++) vertex_attrs(vs, src[j], dst[j]);
    } else {
      for (int i = 0; i < n; i++)
        if (pv[i].done == 2) vertex_attrs(vs, vbase + (size_t)i * stride, pv + i);
    }
    // Pass 3: the triangles, in order.
    for (int t = 0; t < nt; t++) {
      const TriRef& r = tris[t];
      if (r.clip)
        draw_clipped(vs, rs, pv + r.i0, pv + r.i1, pv + r.i2, r.clip);
      else
        rs.tri(rs, pv + r.i0, pv + r.i1, pv + r.i2);
    }
  }
  return D3D_OK;
}

}  // namespace soft
