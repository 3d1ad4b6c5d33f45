// Triangle setup and pixel pipeline of the software device.
//
// Positions arrive snapped to 1/256 pixel. A pixel is covered when its centre
// (integer coordinates, as in Direct3D 9) lies inside the triangle, with the
// top-left rule deciding centres exactly on an edge; the edge functions are
// exact integers. Attributes are planes over the screen: depth linear in
// screen space, everything else divided by w and divided back per pixel
// (perspective-correct). Pixels go four at a time through a pipeline
// specialised per triangle (perspective or not, textured, mip-mapped, varying
// colour, varying fog); depth test, alpha test and blending follow the
// device state.
#include <math.h>
#include <string.h>

#include "gfx/soft/soft_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace soft {

typedef float f4 __attribute__((vector_size(16)));
typedef int32_t i4 __attribute__((vector_size(16)));
typedef uint32_t u4 __attribute__((vector_size(16)));

static inline f4 splat(float v) { return f4{v, v, v, v}; }
static inline i4 splati(int32_t v) { return i4{v, v, v, v}; }

static inline int movemask(i4 m) {
#if defined(__SSE2__)
  return _mm_movemask_ps((__m128)m);
#else
  return (m[0] < 0 ? 1 : 0) | (m[1] < 0 ? 2 : 0) | (m[2] < 0 ? 4 : 0) | (m[3] < 0 ? 8 : 0);
#endif
}

static inline u4 load4(const uint32_t* p) {
  u4 v;
  memcpy(&v, p, 16);
  return v;
}

static inline void store4(uint32_t* p, u4 v) { memcpy(p, &v, 16); }

static inline f4 vmin(f4 a, f4 b) { return a < b ? a : b; }
static inline f4 vmax(f4 a, f4 b) { return a > b ? a : b; }
static inline i4 imin(i4 a, i4 b) { return a < b ? a : b; }
static inline i4 imax(i4 a, i4 b) { return a > b ? a : b; }

// Float to int with rounding down; inputs are first kept inside +-2^30.
static inline i4 ffloor(f4 x) {
  x = vmin(vmax(x, splat(-1073741824.0f)), splat(1073741824.0f));
  i4 i = __builtin_convertvector(x, i4);
  f4 b = __builtin_convertvector(i, f4);
  return i + (i4)(b > x);  // -1 where truncation went up
}

// Non-negative float (already clamped to a small range) to the nearest int,
// halves up.
static inline i4 fround(f4 x) { return __builtin_convertvector(x + splat(0.5f), i4); }

// Float (already clamped to a small range) to the nearest int, halves to even.
static inline i4 fround_even(f4 x) {
#if defined(__SSE2__)
  return (i4)_mm_cvtps_epi32((__m128)x);
#else
  return i4{(int32_t)lrintf(x[0]), (int32_t)lrintf(x[1]), (int32_t)lrintf(x[2]), (int32_t)lrintf(x[3])};
#endif
}

static inline f4 tofloat(i4 x) { return __builtin_convertvector(x, f4); }

// ---- culling ---------------------------------------------------------------------------------
// area2 > 0: clockwise on screen (y down).
int raster_keep(const RasterState& rs, int64_t area2) {
  if (area2 == 0) return 0;
  if (rs.cull == D3DCULL_CCW) return area2 > 0;
  if (rs.cull == D3DCULL_CW) return area2 < 0;
  return 1;
}

// ---- per-triangle setup -----------------------------------------------------------------------
struct Plane {
  float v, dx, dy;  // value at the bounding box's first pixel, per-pixel steps
};

enum { P_Z, P_W, P_R, P_G, P_B, P_A, P_U, P_V, P_F, P_COUNT };

struct Tri {
  int bx0, by0, bx1, by1;  // pixels, inclusive
  int64_t e0[3];           // edge function (+ top-left bias) at (bx0, by0)
  int64_t ex[3], ey[3];    // per-pixel steps
  Plane p[P_COUNT];
  // constants of the colour formula: rgb = base x k1 + k0, alpha = base x ka
  float k1r, k1g, k1b, k1a, k0r, k0g, k0b;
  float fogConst;
  int level;  // mip level when it does not vary
  float texW, texH;
};

// ---- the pixel pipeline -------------------------------------------------------------------------
template <int PERSP, int TEX, int MIP, int COLV, int FOGV>
struct Pix {
  const RasterState& rs;
  const Tri& t;
  // row state
  int y;
  f4 rowv[P_COUNT];
  f4 lanes;
  uint32_t* crow;
  uint32_t* zrow;
  // texture
  const TexLevel* lv;
  int nlev, base;
  uint32_t texOr;
  float zscale;

  Pix(const RasterState& r, const Tri& tr) : rs(r), t(tr) {
    lanes = f4{0.0f, 1.0f, 2.0f, 3.0f};
    lv = rs.tex ? rs.tex->lv : nullptr;
    nlev = rs.texLevels;
    base = rs.texBase;
    texOr = rs.tex ? rs.tex->alphaOr : 0;
    if (!rs.useTexRGB) texOr |= 0x00FFFFFFu;
    if (!rs.useTexA) texOr |= 0xFF000000u;
    zscale = (float)rs.depthMax;
  }

  inline void row1(int i, float fy) { rowv[i] = splat(t.p[i].v + t.p[i].dy * fy); }

  inline void row(int yy) {
    y = yy;
    float fy = (float)(yy - t.by0);
    row1(P_Z, fy);
    if (PERSP) row1(P_W, fy);
    if (COLV) {
      row1(P_R, fy);
      row1(P_G, fy);
      row1(P_B, fy);
      row1(P_A, fy);
    }
    if (TEX) {
      row1(P_U, fy);
      row1(P_V, fy);
    }
    if (FOGV) row1(P_F, fy);
    crow = rs.colour.px + (size_t)yy * rs.colour.pitch;
    zrow = rs.depth.px ? rs.depth.px + (size_t)yy * rs.depth.pitch : nullptr;
  }

  inline f4 plane(int i, f4 fx) const { return rowv[i] + splat(t.p[i].dx) * fx; }

  // Texture fetch of four texels at (u, v), level per lane.
  inline u4 fetch(f4 u, f4 v, i4 lev) const {
    const TexLevel& L0 = lv[0];
    u4 out;
    if (rs.tex->pow2) {
      i4 tu = ffloor(u * splat(t.texW));
      i4 tv = ffloor(v * splat(t.texH));
      for (int k = 0; k < 4; k++) {
        const TexLevel& L = lv[lev[k]];
        int x = tu[k] >> lev[k], yy = tv[k] >> lev[k];
        if (rs.wrapU)
          x &= L.w - 1;
        else
          x = x < 0 ? 0 : (x >= L.w ? L.w - 1 : x);
        if (rs.wrapV)
          yy &= L.h - 1;
        else
          yy = yy < 0 ? 0 : (yy >= L.h ? L.h - 1 : yy);
        out[k] = L.px[(size_t)yy * L.pitch + x];
      }
    } else {
      (void)L0;
      for (int k = 0; k < 4; k++) {
        const TexLevel& L = lv[lev[k]];
        float fu = u[k] * (float)L.w, fv = v[k] * (float)L.h;
        if (!(fu > -1e9f)) fu = -1e9f;  // NaN too
        if (fu > 1e9f) fu = 1e9f;
        if (!(fv > -1e9f)) fv = -1e9f;
        if (fv > 1e9f) fv = 1e9f;
        int64_t x = (int64_t)floorf(fu), yy = (int64_t)floorf(fv);
        if (rs.wrapU) {
          x %= L.w;
          if (x < 0) x += L.w;
        } else {
          x = x < 0 ? 0 : (x >= L.w ? L.w - 1 : x);
        }
        if (rs.wrapV) {
          yy %= L.h;
          if (yy < 0) yy += L.h;
        } else {
          yy = yy < 0 ? 0 : (yy >= L.h ? L.h - 1 : yy);
        }
        out[k] = L.px[(size_t)yy * L.pitch + (size_t)x];
      }
    }
    return out | (u4){texOr, texOr, texOr, texOr};
  }

  // Four pixels at x..x+3 of the current row; m: lanes covered (all ones).
  inline void group(int x, i4 m) {
    f4 fx = splat((float)(x - t.bx0)) + lanes;
    // depth test first: hidden pixels cost little
    i4 zi = splati(0);
    if (rs.zTest || rs.zWrite) {
      f4 z = plane(P_Z, fx);
      z = vmin(vmax(z, splat(0.0f)), splat(1.0f));
      zi = fround_even(z * splat(zscale));
      if (rs.zTest) {
        i4 zb = (i4)load4(zrow + x);
        i4 pass;
        switch (rs.zFunc) {
          case D3DCMP_LESSEQUAL: pass = zi <= zb; break;
          case D3DCMP_LESS: pass = zi < zb; break;
          case D3DCMP_EQUAL: pass = zi == zb; break;
          case D3DCMP_GREATER: pass = zi > zb; break;
          case D3DCMP_NOTEQUAL: pass = zi != zb; break;
          case D3DCMP_GREATEREQUAL: pass = zi >= zb; break;
          case D3DCMP_NEVER: pass = splati(0); break;
          default: pass = splati(-1); break;
        }
        m &= pass;
        if (!movemask(m)) return;
      }
    }
    f4 w = splat(1.0f);
    if (PERSP) w = splat(1.0f) / plane(P_W, fx);
    // colour formula: texel x diffuse x constant
    f4 r, g, b, a;
    f4 cr = splat(1.0f), cg = cr, cb = cr, ca = cr;
    if (COLV) {
      cr = plane(P_R, fx);
      cg = plane(P_G, fx);
      cb = plane(P_B, fx);
      ca = plane(P_A, fx);
      if (PERSP) {
        cr *= w;
        cg *= w;
        cb *= w;
        ca *= w;
      }
    }
    if (TEX) {
      f4 u = plane(P_U, fx), v = plane(P_V, fx);
      if (PERSP) {
        u *= w;
        v *= w;
      }
      i4 lev = splati(t.level);
      if (MIP) {
        // The footprint is measured per 2x2 block of pixels, from the
        // differences across its top-left pixel, like the reference
        // pipeline does: every pixel of a block uses the same level.
        const Plane &PU = t.p[P_U], &PV = t.p[P_V], &PW = t.p[P_W];
        f4 qx = tofloat((splati(x) + i4{0, 1, 2, 3}) & splati(~1)) - splat((float)t.bx0);
        float qy = (float)((y & ~1) - t.by0);
        f4 UA = splat(PU.v + PU.dy * qy) + splat(PU.dx) * qx;
        f4 VA = splat(PV.v + PV.dy * qy) + splat(PV.dx) * qx;
        f4 WA = splat(PW.v + PW.dy * qy) + splat(PW.dx) * qx;
        f4 wA = splat(1.0f) / WA, wB = splat(1.0f) / (WA + splat(PW.dx)), wC = splat(1.0f) / (WA + splat(PW.dy));
        f4 uA = UA * wA, vA = VA * wA;
        f4 ax = ((UA + splat(PU.dx)) * wB - uA) * splat(t.texW);
        f4 bx = ((VA + splat(PV.dx)) * wB - vA) * splat(t.texH);
        f4 ay = ((UA + splat(PU.dy)) * wC - uA) * splat(t.texW);
        f4 by = ((VA + splat(PV.dy)) * wC - vA) * splat(t.texH);
        f4 rho2 = vmax(ax * ax + bx * bx, ay * ay + by * by);
        i4 bits;
        memcpy(&bits, &rho2, 16);
        lev = (((bits >> 23) & splati(0xFF)) - splati(126)) >> 1;
        lev = imin(imax(lev, splati(base)), splati(nlev - 1));
      }
      u4 tx = fetch(u, v, lev);
      r = tofloat((i4)((tx >> 16) & 0xFF));
      g = tofloat((i4)((tx >> 8) & 0xFF));
      b = tofloat((i4)(tx & 0xFF));
      a = tofloat((i4)(tx >> 24));
      if (COLV) {
        r *= cr;
        g *= cg;
        b *= cb;
        a *= ca;
      }
      if (rs.squares) {
        const f4 k = splat(1.0f / 255.0f);
        if (rs.sqTexRGB) {
          r *= r * k;
          g *= g * k;
          b *= b * k;
        }
        if (rs.sqTexA) a *= a * k;
      }
    } else {
      r = cr;
      g = cg;
      b = cb;
      a = ca;
    }
    if (COLV && rs.squares) {
      if (rs.sqDiffRGB) {
        r *= cr;
        g *= cg;
        b *= cb;
      }
      if (rs.sqDiffA) a *= ca;
    }
    r *= splat(t.k1r);
    g *= splat(t.k1g);
    b *= splat(t.k1b);
    a *= splat(t.k1a);
    if (FOGV) {
      f4 f = plane(P_F, fx);
      if (PERSP) f *= w;
      f = vmin(vmax(f, splat(0.0f)), splat(1.0f));
      f4 nf = splat(1.0f) - f;
      r = r * f + nf * splat(rs.fogR);
      g = g * f + nf * splat(rs.fogG);
      b = b * f + nf * splat(rs.fogB);
    } else {
      r += splat(t.k0r);
      g += splat(t.k0g);
      b += splat(t.k0b);
    }
    const f4 lo = splat(0.0f), hi = splat(255.0f);
    i4 R = fround(vmin(vmax(r, lo), hi));
    i4 G = fround(vmin(vmax(g, lo), hi));
    i4 B = fround(vmin(vmax(b, lo), hi));
    i4 A = fround(vmin(vmax(a, lo), hi));
    if (rs.aTest) {
      // The test sees the alpha before rounding. Products of bytes differ
      // from a whole number by 1/255 or more, far above the float noise, so
      // a margin of 1/512 separates "equal" from "different".
      const f4 eps = splat(1.0f / 512.0f);
      f4 ref = splat((float)rs.aRef);
      i4 pass;
      switch (rs.aFunc) {
        case D3DCMP_GREATEREQUAL: pass = a >= ref - eps; break;
        case D3DCMP_GREATER: pass = a > ref + eps; break;
        case D3DCMP_LESS: pass = a < ref - eps; break;
        case D3DCMP_LESSEQUAL: pass = a <= ref + eps; break;
        case D3DCMP_EQUAL: pass = (a >= ref - eps) & (a <= ref + eps); break;
        case D3DCMP_NOTEQUAL: pass = (a < ref - eps) | (a > ref + eps); break;
        case D3DCMP_NEVER: pass = splati(0); break;
        default: pass = splati(-1); break;
      }
      m &= pass;
      if (!movemask(m)) return;
    }
    uint32_t* cp = crow + x;
    u4 old = load4(cp);
    if (rs.blend != BL_NONE) blend(old, R, G, B, A);
    u4 px = ((u4)A << 24) | ((u4)R << 16) | ((u4)G << 8) | (u4)B;
    if (rs.colourAlphaOr) px |= (u4){0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u};
    u4 um = (u4)m;
    store4(cp, (px & um) | (old & ~um));
    if (rs.zWrite) {
      u4 zo = load4(zrow + x);
      store4(zrow + x, ((u4)zi & um) | (zo & ~um));
    }
  }

  // Blending of 8-bit values: each product x y / 255 rounded the way the
  // reference pipeline does it, (t + (t >> 8) + 128) >> 8 with t = x y, the
  // sum saturated.
  static inline i4 mul8(i4 x, i4 y) {
    i4 t = __builtin_convertvector(tofloat(x) * tofloat(y), i4);  // exact: below 2^16
    return (t + (t >> 8) + splati(128)) >> 8;
  }

  inline void blend(u4 old, i4& R, i4& G, i4& B, i4& A) const {
    i4 dr = (i4)((old >> 16) & 0xFF), dg = (i4)((old >> 8) & 0xFF), db = (i4)(old & 0xFF);
    i4 da = (i4)(old >> 24);
    const i4 top = splati(255);
    switch (rs.blend) {
      case BL_ALPHA: {
        i4 sa = A, ia = top - A;
        R = imin(mul8(R, sa) + mul8(dr, ia), top);
        G = imin(mul8(G, sa) + mul8(dg, ia), top);
        B = imin(mul8(B, sa) + mul8(db, ia), top);
        A = imin(mul8(sa, sa) + mul8(da, ia), top);
        break;
      }
      case BL_ADD_ALPHA: {
        i4 sa = A;
        R = imin(mul8(R, sa) + dr, top);
        G = imin(mul8(G, sa) + dg, top);
        B = imin(mul8(B, sa) + db, top);
        A = imin(mul8(sa, sa) + da, top);
        break;
      }
      case BL_ADD:
        R = imin(R + dr, top);
        G = imin(G + dg, top);
        B = imin(B + db, top);
        A = imin(A + da, top);
        break;
      default:
        for (int k = 0; k < 4; k++) generic_blend(k, old[k], R, G, B, A);
        break;
    }
  }

  static inline int mul8s(int x, int y) {
    int t = x * y;
    return (t + (t >> 8) + 128) >> 8;
  }

  inline int factor(DWORD f, int src, int srcA, int dst, int dstA, int bf, int which) const {
    (void)which;
    switch (f) {
      case D3DBLEND_ZERO: return 0;
      case D3DBLEND_ONE: return 255;
      case D3DBLEND_SRCCOLOR: return src;
      case D3DBLEND_INVSRCCOLOR: return 255 - src;
      case D3DBLEND_SRCALPHA: return srcA;
      case D3DBLEND_INVSRCALPHA: return 255 - srcA;
      case D3DBLEND_DESTALPHA: return dstA;
      case D3DBLEND_INVDESTALPHA: return 255 - dstA;
      case D3DBLEND_DESTCOLOR: return dst;
      case D3DBLEND_INVDESTCOLOR: return 255 - dst;
      case D3DBLEND_SRCALPHASAT: return which == 3 ? 255 : (srcA < 255 - dstA ? srcA : 255 - dstA);
      case D3DBLEND_BLENDFACTOR: return bf;
      case D3DBLEND_INVBLENDFACTOR: return 255 - bf;
      default: return 255;
    }
  }

  inline void generic_blend(int k, uint32_t d, i4& R, i4& G, i4& B, i4& A) const {
    int s[4] = {R[k], G[k], B[k], A[k]};
    int dc[4] = {(int)((d >> 16) & 0xFF), (int)((d >> 8) & 0xFF), (int)(d & 0xFF), (int)(d >> 24)};
    int bfc[4] = {(int)((rs.tfactor >> 16) & 0xFF), (int)((rs.tfactor >> 8) & 0xFF), (int)(rs.tfactor & 0xFF),
                  (int)(rs.tfactor >> 24)};
    DWORD sf = rs.srcBlend, df = rs.dstBlend;
    if (sf == D3DBLEND_BOTHSRCALPHA) {
      sf = D3DBLEND_SRCALPHA;
      df = D3DBLEND_INVSRCALPHA;
    } else if (sf == D3DBLEND_BOTHINVSRCALPHA) {
      sf = D3DBLEND_INVSRCALPHA;
      df = D3DBLEND_SRCALPHA;
    }
    int o[4];
    for (int c = 0; c < 4; c++) {
      int fs = factor(sf, s[c], s[3], dc[c], dc[3], bfc[c], c);
      int fd = factor(df, s[c], s[3], dc[c], dc[3], bfc[c], c);
      int ts = mul8s(s[c], fs), td = mul8s(dc[c], fd), v;
      switch (rs.blendOp) {
        case D3DBLENDOP_SUBTRACT: v = ts - td; break;
        case D3DBLENDOP_REVSUBTRACT: v = td - ts; break;
        case D3DBLENDOP_MIN: v = s[c] < dc[c] ? s[c] : dc[c]; break;
        case D3DBLENDOP_MAX: v = s[c] > dc[c] ? s[c] : dc[c]; break;
        default: v = ts + td; break;
      }
      o[c] = v < 0 ? 0 : (v > 255 ? 255 : v);
    }
    R[k] = o[0];
    G[k] = o[1];
    B[k] = o[2];
    A[k] = o[3];
  }
};

// ---- coverage ------------------------------------------------------------------------------------
// Small triangles (at most 64 pixels across): edge functions fit 32 bits and
// are tested four pixels at a time.
template <class P>
static void cover_small(const Tri& t, P& pix) {
  int32_t ex[3], ey[3];
  i4 rowE[3], stepX[3];
  for (int k = 0; k < 3; k++) {
    ex[k] = (int32_t)t.ex[k];
    ey[k] = (int32_t)t.ey[k];
    int32_t e = (int32_t)t.e0[k];
    rowE[k] = i4{e, e + ex[k], e + 2 * ex[k], e + 3 * ex[k]};
    stepX[k] = splati(4 * ex[k]);
  }
  for (int y = t.by0; y <= t.by1; y++) {
    i4 e0 = rowE[0], e1 = rowE[1], e2 = rowE[2];
    int seen = 0;
    for (int x = t.bx0; x <= t.bx1; x += 4) {
      i4 in = (e0 | e1 | e2) >= splati(0);
      // lanes past the box's right edge are outside
      if (x + 3 > t.bx1) in &= i4{0, 1, 2, 3} <= splati(t.bx1 - x);
      if (movemask(in)) {
        if (!seen) {
          pix.row(y);
          seen = 1;
        }
        pix.group(x, in);
      } else if (seen) {
        break;
      }
      e0 += stepX[0];
      e1 += stepX[1];
      e2 += stepX[2];
    }
    rowE[0] += splati(ey[0]);
    rowE[1] += splati(ey[1]);
    rowE[2] += splati(ey[2]);
  }
}

// Floor and ceiling of n / d for d > 0.
static inline int64_t floordiv(int64_t n, int64_t d) {
  int64_t q = n / d;
  return (n % d != 0 && n < 0) ? q - 1 : q;
}

// Large triangles: each row's span is solved exactly in 64 bits.
template <class P>
static void cover_large(const Tri& t, P& pix) {
  int64_t rowE[3] = {t.e0[0], t.e0[1], t.e0[2]};
  int w = t.bx1 - t.bx0;
  for (int y = t.by0; y <= t.by1; y++) {
    int64_t lo = 0, hi = w;
    for (int k = 0; k < 3 && lo <= hi; k++) {
      int64_t F = rowE[k], S = t.ex[k];
      if (S > 0) {
        int64_t c = -floordiv(F, S);  // smallest i with F + S i >= 0
        if (c > lo) lo = c;
      } else if (S < 0) {
        int64_t c = floordiv(F, -S);  // largest i with F + S i >= 0
        if (c < hi) hi = c;
      } else if (F < 0) {
        hi = -1;
      }
    }
    rowE[0] += t.ey[0];
    rowE[1] += t.ey[1];
    rowE[2] += t.ey[2];
    if (lo > hi) continue;
    pix.row(y);
    int x0 = t.bx0 + (int)lo, x1 = t.bx0 + (int)hi;
    for (int x = x0; x <= x1; x += 4) {
      i4 idx = splati(x) + i4{0, 1, 2, 3};
      i4 in = (idx >= splati(x0)) & (idx <= splati(x1));
      pix.group(x, in);
    }
  }
}

template <int PERSP, int TEX, int MIP, int COLV, int FOGV>
static void fill(const RasterState& rs, const Tri& t, int small) {
  Pix<PERSP, TEX, MIP, COLV, FOGV> pix(rs, t);
  if (small)
    cover_small(t, pix);
  else
    cover_large(t, pix);
}

typedef void (*FillFn)(const RasterState&, const Tri&, int);

#define FILL_ROW(P, T, M)                                                                 \
  { fill<P, T, M, 0, 0>, fill<P, T, M, 0, 1>, fill<P, T, M, 1, 0>, fill<P, T, M, 1, 1> }
static const FillFn g_fill[2][2][2][4] = {
    {{FILL_ROW(0, 0, 0), FILL_ROW(0, 0, 0)}, {FILL_ROW(0, 1, 0), FILL_ROW(0, 1, 0)}},
    {{FILL_ROW(1, 0, 0), FILL_ROW(1, 0, 0)}, {FILL_ROW(1, 1, 0), FILL_ROW(1, 1, 1)}},
};

// ---- triangle setup ----------------------------------------------------------------------------------
static inline int64_t min3(int64_t a, int64_t b, int64_t c) { return a < b ? (a < c ? a : c) : (b < c ? b : c); }
static inline int64_t max3(int64_t a, int64_t b, int64_t c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }

void raster_triangle(const RasterState& rs, const PVert* a, const PVert* b, const PVert* c) {
  int64_t area = (int64_t)(b->X - a->X) * (c->Y - a->Y) - (int64_t)(c->X - a->X) * (b->Y - a->Y);
  if (area == 0) return;
  if (area < 0) {
    const PVert* s = b;
    b = c;
    c = s;
    area = -area;
  }
  const PVert* v[3] = {a, b, c};
  // bounding box of covered pixel centres, inside the scissor rectangle
  int64_t minX = min3(a->X, b->X, c->X), maxX = max3(a->X, b->X, c->X);
  int64_t minY = min3(a->Y, b->Y, c->Y), maxY = max3(a->Y, b->Y, c->Y);
  Tri t;
  int64_t bx0 = (minX + 255) >> 8, bx1 = maxX >> 8, by0 = (minY + 255) >> 8, by1 = maxY >> 8;
  if (bx0 < rs.x0) bx0 = rs.x0;
  if (by0 < rs.y0) by0 = rs.y0;
  if (bx1 > rs.x1 - 1) bx1 = rs.x1 - 1;
  if (by1 > rs.y1 - 1) by1 = rs.y1 - 1;
  if (bx0 > bx1 || by0 > by1) return;
  t.bx0 = (int)bx0;
  t.by0 = (int)by0;
  t.bx1 = (int)bx1;
  t.by1 = (int)by1;
  // Edge k runs from v[k] to v[k+1]; inside is positive. Centres exactly on
  // an edge count only for top and left edges.
  int64_t px = bx0 * 256, py = by0 * 256;
  for (int k = 0; k < 3; k++) {
    const PVert* p = v[k];
    const PVert* q = v[(k + 1) % 3];
    int64_t A = (int64_t)p->Y - q->Y;  // dE/dx
    int64_t B = (int64_t)q->X - p->X;  // dE/dy
    int topLeft = A > 0 || (A == 0 && B > 0);
    t.e0[k] = A * (px - p->X) + B * (py - p->Y) - (topLeft ? 0 : 1);
    t.ex[k] = A * 256;
    t.ey[k] = B * 256;
  }
  int small = (maxX - minX) <= 64 * 256 && (maxY - minY) <= 64 * 256;

  // Attribute planes, in doubles from the snapped positions.
  double x0 = a->X / 256.0, y0 = a->Y / 256.0;
  double dxb = b->X / 256.0 - x0, dyb = b->Y / 256.0 - y0;
  double dxc = c->X / 256.0 - x0, dyc = c->Y / 256.0 - y0;
  double inv = 65536.0 / (double)area;
  double ox = (double)bx0 - x0, oy = (double)by0 - y0;
  auto plane = [&](Plane& pl, double qa, double qb, double qc) {
    double d1 = qb - qa, d2 = qc - qa;
    double gx = (d1 * dyc - d2 * dyb) * inv;
    double gy = (d2 * dxb - d1 * dxc) * inv;
    pl.v = (float)(qa + gx * ox + gy * oy);
    pl.dx = (float)gx;
    pl.dy = (float)gy;
  };
  plane(t.p[P_Z], a->sz, b->sz, c->sz);

  int persp = !(a->rhw == b->rhw && a->rhw == c->rhw);
  double wa = persp ? a->rhw : 1.0, wb = persp ? b->rhw : 1.0, wc = persp ? c->rhw : 1.0;
  if (persp) plane(t.p[P_W], wa, wb, wc);

  // Colour: constant when the triangle does not vary it (or the combiner
  // ignores the diffuse colour).
  const PVert* cv0 = rs.shadeFlat ? a : nullptr;
  float ra = a->r, ga = a->g, ba = a->b, aa = a->a;
  float rb = b->r, gb = b->g, bb = b->b, ab = b->a;
  float rc = c->r, gc = c->g, bc = c->b, ac = c->a;
  if (cv0) {
    // flat shading takes the colour of the triangle's first vertex
    rb = rc = ra;
    gb = gc = ga;
    bb = bc = ba;
    ab = ac = aa;
  }
  if (!rs.useDiffRGB) ra = ga = ba = rb = gb = bb = rc = gc = bc = 1.0f;
  if (!rs.useDiffA) aa = ab = ac = 1.0f;
  int colv = !(ra == rb && ra == rc && ga == gb && ga == gc && ba == bb && ba == bc && aa == ab && aa == ac);

  // Fog: constant when all three factors agree after clamping.
  int fogv = 0;
  float fogc = 1.0f;
  if (rs.fog) {
    float fa = a->f < 0.0f ? 0.0f : (a->f > 1.0f ? 1.0f : a->f);
    float fb = b->f < 0.0f ? 0.0f : (b->f > 1.0f ? 1.0f : b->f);
    float fc = c->f < 0.0f ? 0.0f : (c->f > 1.0f ? 1.0f : c->f);
    if (fa == fb && fa == fc)
      fogc = fa;
    else
      fogv = 1;
    if (fogv) plane(t.p[P_F], a->f * wa, b->f * wb, c->f * wc);
  }

  int tex = rs.tex != nullptr;
  float scale = tex ? 1.0f : 255.0f;
  if (colv) {
    plane(t.p[P_R], ra * wa, rb * wb, rc * wc);
    plane(t.p[P_G], ga * wa, gb * wb, gc * wc);
    plane(t.p[P_B], ba * wa, bb * wb, bc * wc);
    plane(t.p[P_A], aa * wa, ab * wb, ac * wc);
    t.k1r = rs.kR * scale;
    t.k1g = rs.kG * scale;
    t.k1b = rs.kB * scale;
    t.k1a = rs.kA * scale;
  } else {
    t.k1r = (rs.sqDiffRGB ? ra * ra : ra) * rs.kR * scale;
    t.k1g = (rs.sqDiffRGB ? ga * ga : ga) * rs.kG * scale;
    t.k1b = (rs.sqDiffRGB ? ba * ba : ba) * rs.kB * scale;
    t.k1a = (rs.sqDiffA ? aa * aa : aa) * rs.kA * scale;
  }
  t.fogConst = fogc;
  t.k0r = t.k0g = t.k0b = 0.0f;
  if (rs.fog && !fogv) {
    // constant fog folds into the formula
    t.k1r *= fogc;
    t.k1g *= fogc;
    t.k1b *= fogc;
    t.k0r = (1.0f - fogc) * rs.fogR;
    t.k0g = (1.0f - fogc) * rs.fogG;
    t.k0b = (1.0f - fogc) * rs.fogB;
  }
  int mip = 0;
  t.level = rs.texBase;
  if (tex) {
    plane(t.p[P_U], a->u * wa, b->u * wb, c->u * wc);
    plane(t.p[P_V], a->v * wa, b->v * wb, c->v * wc);
    t.texW = (float)rs.tex->lv[0].w;
    t.texH = (float)rs.tex->lv[0].h;
    if (rs.texLevels > rs.texBase + 1) {
      if (persp) {
        mip = 1;
      } else {
        // affine: one footprint for the whole triangle
        double ax = t.p[P_U].dx * (double)t.texW, ay = t.p[P_U].dy * (double)t.texW;
        double bx = t.p[P_V].dx * (double)t.texH, by = t.p[P_V].dy * (double)t.texH;
        double rx = ax * ax + bx * bx, ry = ay * ay + by * by;
        float rho2 = (float)(rx > ry ? rx : ry);
        uint32_t bits;
        memcpy(&bits, &rho2, 4);
        int lev = ((int)((bits >> 23) & 0xFF) - 126) >> 1;
        if (lev < rs.texBase) lev = rs.texBase;
        if (lev > rs.texLevels - 1) lev = rs.texLevels - 1;
        t.level = lev;
      }
    }
  }
  g_fill[persp][tex][mip][colv * 2 + fogv](rs, t, small);
}

}  // namespace soft
