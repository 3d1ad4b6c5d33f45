// The vertex stage of the software device: vertex fetch by flexible vertex
// format, transform to clip space with clip codes, Direct3D 9 lighting,
// texture coordinates and vertex fog.
#include <math.h>
#include <string.h>

#include "soft/pipeline.h"

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

// ---- flexible vertex format ---------------------------------------------------------------------
int fvf_decode(DWORD fvf, DWORD texIndex, Fvf* f) {
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

// ---- per-draw vertex settings -------------------------------------------------------------------
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

static ColourSrc colour_src(const DeviceState& st, DWORD rsSrc) {
  if (!st.rs[D3DRS_COLORVERTEX]) return CS_MATERIAL;
  DWORD s = st.rs[rsSrc];
  if (s == D3DMCS_COLOR1) return CS_DIFFUSE;
  if (s == D3DMCS_COLOR2) return CS_SPECULAR;
  return CS_MATERIAL;
}

void vsetup(const DeviceState& st, const Fvf& fvf, const RasterState& rs, VSetup* s) {
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
static inline f4 vsplat(float v) { return f4{v, v, v, v}; }

static inline i4 vsplati(int32_t v) { return i4{v, v, v, v}; }

static inline void transpose4(f4 a, f4 b, f4 c, f4 d, f4* out) {
  f4 t0 = __builtin_shufflevector(a, b, 0, 4, 1, 5), t1 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  f4 t2 = __builtin_shufflevector(c, d, 0, 4, 1, 5), t3 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
  out[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
  out[1] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
  out[2] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
  out[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

static inline i4 vfloor_i(f4 v) {
  i4 i = __builtin_convertvector(v, i4);
  return i + (i4)(__builtin_convertvector(i, f4) > v);
}

// Four untransformed vertices at a time: the same arithmetic as the scalar
// loop below, lane by lane.
static int transform_xyz4(const VSetup& s, const uint8_t* src, UINT stride, PVert* out, int n) {
  const float* M = s.wvp;
  const f4 m0 = vsplat(M[0]), m1 = vsplat(M[1]), m2 = vsplat(M[2]), m3 = vsplat(M[3]);
  const f4 m4 = vsplat(M[4]), m5 = vsplat(M[5]), m6 = vsplat(M[6]), m7 = vsplat(M[7]);
  const f4 m8 = vsplat(M[8]), m9 = vsplat(M[9]), m10 = vsplat(M[10]), m11 = vsplat(M[11]);
  const f4 m12 = vsplat(M[12]), m13 = vsplat(M[13]), m14 = vsplat(M[14]), m15 = vsplat(M[15]);
  const f4 zero = vsplat(0.0f), one = vsplat(1.0f);
  // (locals: the stores below could otherwise alias them)
  const f4 gl = vsplat(s.gl), gr = vsplat(s.gr), gb = vsplat(s.gb), gt = vsplat(s.gt);
  const f4 cxv = vsplat(s.cxv), cyv = vsplat(s.cyv), hw = vsplat(s.hw), hh = vsplat(s.hh);
  const f4 zscale = vsplat((s.maxz - s.minz) * 0.5f), zbias = vsplat((s.maxz + s.minz) * 0.5f);
  int i = 0;
  for (; i + 4 <= n; i += 4, src += 4 * (size_t)stride) {
    f4 x, y, z;
    if (stride >= 16) {
      // a whole vertex follows each position: load four floats and transpose
      f4 row[4], col[4];
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
    f4 cx = x * m0 + y * m4 + z * m8 + m12;
    f4 cy = x * m1 + y * m5 + z * m9 + m13;
    f4 cz = x * m2 + y * m6 + z * m10 + m14;
    f4 cw = x * m3 + y * m7 + z * m11 + m15;
    i4 bad = ~(((cx - cx) == zero) & ((cy - cy) == zero) & ((cz - cz) == zero) & ((cw - cw) == zero));
    i4 code = ((i4)(cx < -cw) & vsplati(CLIP_LEFT)) | ((i4)(cx > cw) & vsplati(CLIP_RIGHT)) |
               ((i4)(cy < -cw) & vsplati(CLIP_BOTTOM)) | ((i4)(cy > cw) & vsplati(CLIP_TOP)) |
               ((i4)(cz < zero) & vsplati(CLIP_NEAR)) | ((i4)(cz > cw) & vsplati(CLIP_FAR)) |
               ((i4)(cx < gl * cw) & vsplati(CLIP_GB_LEFT)) | ((i4)(cx > gr * cw) & vsplati(CLIP_GB_RIGHT)) |
               ((i4)(cy < gb * cw) & vsplati(CLIP_GB_BOTTOM)) | ((i4)(cy > gt * cw) & vsplati(CLIP_GB_TOP)) |
               ((i4)(cw < vsplat(W_EPS)) & vsplati(CLIP_W));
    code = (code & ~bad) | (bad & vsplati(CLIP_BAD));
    // projection of the lanes inside the guard band (others get harmless values)
    i4 ok = (code & vsplati(CLIP_MUST_MASK | CLIP_BAD)) == vsplati(0);
    f4 px = (f4)((i4)cx & ok), py = (f4)((i4)cy & ok), pz = (f4)((i4)cz & ok);
    f4 pw = (f4)(((i4)cw & ok) | ((i4)one & ~ok));
    f4 rhw = one / pw;
    f4 sx = cxv + px * rhw * hw;
    f4 sy = cyv - py * rhw * hh;
    f4 sz = (vsplat(2.0f) * pz - pw) * rhw * zscale + zbias;
    sx = sx >= vsplat(-GUARD) ? sx : vsplat(-GUARD);
    sx = sx <= vsplat(GUARD) ? sx : vsplat(GUARD);
    sy = sy >= vsplat(-GUARD) ? sy : vsplat(-GUARD);
    sy = sy <= vsplat(GUARD) ? sy : vsplat(GUARD);
    sz = sz >= zero ? sz : zero;
    sz = sz > one ? one : sz;
    i4 X = vfloor_i(sx * vsplat(256.0f) + vsplat(0.5f));
    i4 Y = -vfloor_i(-(sy * vsplat(256.0f) - vsplat(0.5f)));
    f4 blk0[4], blk1[4], blk2[4];
    transpose4(cx, cy, cz, cw, blk0);
    transpose4(sz, rhw, (f4)X, (f4)Y, blk1);
    transpose4((f4)code, vsplat(0.0f), sx, sy, blk2);  // code, done = 0, sx, sy
    for (int k = 0; k < 4; k++) {
      PVert* p = out + i + k;
      memcpy(&p->cx, &blk0[k], 16);
      memcpy(&p->sz, &blk1[k], 16);
      memcpy(&p->code, &blk2[k], 16);
    }
  }
  return i;
}

void transform_positions(const VSetup& s, const uint8_t* src, UINT stride, PVert* out, int n) {
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

// ---- phase 2: colour, texture coordinates, fog --------------------------------------------------
void vertex_attrs(const VSetup& s, const uint8_t* src, PVert* p) {
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

// ---- phase 2 for four vertices at a time --------------------------------------------------------
// The common case (lighting off, or directional lights only; linear or no
// fog) with the arithmetic of vertex_attrs() lane by lane.
int attrs4_ok(const VSetup& s) {
  if (s.fvf.rhw || s.fogFromSpecular || s.fogMode == D3DFOG_EXP || s.fogMode == D3DFOG_EXP2) return 0;
  return !s.lighting || !s.needPos;
}

static inline void colour4(const uint8_t* const* v, int off, f4* c) {
  i4 u;
  for (int k = 0; k < 4; k++) u[k] = (int32_t)rdu(v[k] + off);
  const f4 k255 = vsplat(1.0f / 255.0f);
  c[0] = __builtin_convertvector((u >> 16) & vsplati(0xFF), f4) * k255;
  c[1] = __builtin_convertvector((u >> 8) & vsplati(0xFF), f4) * k255;
  c[2] = __builtin_convertvector(u & vsplati(0xFF), f4) * k255;
  c[3] = __builtin_convertvector((i4)((u4)u >> 24), f4) * k255;
}

// Square roots lane by lane (correctly rounded either way).
static inline f4 vsqrt(f4 v) {
#if defined(__SSE__)
  return (f4)_mm_sqrt_ps((__m128)v);
#else
  for (int k = 0; k < 4; k++) v[k] = sqrtf(v[k]);
  return v;
#endif
}

static inline f4 clamp01(f4 v) {
  const f4 zero = vsplat(0.0f), one = vsplat(1.0f);
  return v > zero ? (v < one ? v : one) : zero;  // NaN becomes 0
}

void attr4_setup(const VSetup& s, Attr4* k) {
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

void vertex_attrs4(const VSetup& s, const Attr4& K, const uint8_t* const* v, PVert* const* out) {
  const Fvf& f = s.fvf;
  f4 dc[4], sc[4];
  for (int c = 0; c < 4; c++) {
    dc[c] = vsplat(1.0f);
    sc[c] = vsplat(0.0f);
  }
  if (f.diffuse >= 0) colour4(v, f.diffuse, dc);
  if (f.specular >= 0) colour4(v, f.specular, sc);
  f4 x, y, z;
  for (int k = 0; k < 4; k++) {
    x[k] = rdf(v[k]);
    y[k] = rdf(v[k] + 4);
    z[k] = rdf(v[k] + 8);
  }
  f4 r, g, b, a;
  if (s.lighting) {
    f4 n0 = vsplat(0.0f), n1 = n0, n2 = n0;
    if (f.normal >= 0) {
      f4 nx, ny, nz;
      for (int k = 0; k < 4; k++) {
        nx[k] = rdf(v[k] + f.normal);
        ny[k] = rdf(v[k] + f.normal + 4);
        nz[k] = rdf(v[k] + f.normal + 8);
      }
      const f4* m = K.nm;
      n0 = nx * m[0] + ny * m[3] + nz * m[6];
      n1 = nx * m[1] + ny * m[4] + nz * m[7];
      n2 = nx * m[2] + ny * m[5] + nz * m[8];
      if (s.normalize) {
        f4 len = vsqrt(n0 * n0 + n1 * n1 + n2 * n2);
        i4 pos = len > vsplat(0.0f);
        f4 kk = vsplat(1.0f) / (f4)(((i4)len & pos) | ((i4)vsplat(1.0f) & ~pos));
        kk = (f4)(((i4)kk & pos) | ((i4)vsplat(1.0f) & ~pos));
        n0 *= kk;
        n1 *= kk;
        n2 *= kk;
      }
    }
    auto pick = [&](ColourSrc src, int j, f4* out4) {
      if (src == CS_DIFFUSE && f.diffuse >= 0) {
        for (int c = 0; c < 4; c++) out4[c] = dc[c];
      } else if (src == CS_SPECULAR && f.specular >= 0) {
        for (int c = 0; c < 4; c++) out4[c] = sc[c];
      } else {
        for (int c = 0; c < 4; c++) out4[c] = K.mat[j][c];
      }
    };
    f4 md[4], ma[4], me[4];
    pick(s.diffSrc, 0, md);
    pick(s.ambSrc, 1, ma);
    pick(s.emiSrc, 2, me);
    f4 amb[3] = {K.amb[0], K.amb[1], K.amb[2]};
    f4 dif[3] = {vsplat(0.0f), vsplat(0.0f), vsplat(0.0f)};
    for (int i = 0; i < s.nlights; i++) {
      const LightV& l = s.light[i];
      f4 ndl = n0 * K.ldir[i][0] + n1 * K.ldir[i][1] + n2 * K.ldir[i][2];
      ndl = ndl > vsplat(1.0f) ? vsplat(1.0f) : ndl;
      i4 lit = ndl > vsplat(0.0f);
      f4 nd = (f4)((i4)ndl & lit);
      // unlit lanes add nothing, exactly as the scalar code skips them
      for (int c = 0; c < 3; c++)
        dif[c] = (f4)(((i4)(dif[c] + K.ldiff[i][c] * nd * vsplat(1.0f)) & lit) | ((i4)dif[c] & ~lit));
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
  f4 u = vsplat(0.0f), w = vsplat(0.0f);
  if (f.tex >= 0) {
    for (int k = 0; k < 4; k++) {
      u[k] = rdf(v[k] + f.tex);
      w[k] = f.texDim >= 2 ? rdf(v[k] + f.tex + 4) : 0.0f;
    }
    u = (f4)((i4)u & ((u - u) == vsplat(0.0f)));
    w = (f4)((i4)w & ((w - w) == vsplat(0.0f)));
  }
  f4 fog = vsplat(1.0f);
  if (s.fogMode == D3DFOG_LINEAR) {
    f4 vz = x * K.wz[0] + y * K.wz[1] + z * K.wz[2] + K.wz[3];
    f4 d = (f4)((i4)vz & vsplati(0x7FFFFFFF));
    if (s.rangeFog) {
      f4 vx = x * K.wx[0] + y * K.wx[1] + z * K.wx[2] + K.wx[3];
      f4 vy = x * K.wy[0] + y * K.wy[1] + z * K.wy[2] + K.wy[3];
      f4 d2 = vx * vx + vy * vy + vz * vz;
      d = vsqrt(d2);
    }
    fog = (K.fogEnd - d) * K.fogScale;
    // kept finite: infinities to +-1e30, NaN to 0
    fog = fog > vsplat(-1e30f) ? fog : (f4)((i4)vsplat(-1e30f) & (fog == fog));
    fog = fog < vsplat(1e30f) ? fog : vsplat(1e30f);
  }
  f4 c4[4], t4[4];
  transpose4(r, g, b, a, c4);
  transpose4(u, w, fog, vsplat(0.0f), t4);
  for (int k = 0; k < 4; k++) {
    PVert* p = out[k];
    memcpy(&p->r, &c4[k], 16);
    memcpy(&p->u, &t4[k], 16);
    p->done = 1;
  }
}

}  // namespace soft
