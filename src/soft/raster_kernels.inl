// Triangle setup and pixel pipeline of the software device.
//
// Coverage uses the positions snapped to 1/256 pixel: a pixel is covered
// when its centre (integer coordinates, as in Direct3D 9) lies inside the
// triangle, with the top-left rule deciding centres exactly on an edge; the
// edge functions are exact integers. Attributes are planes over the screen
// through the unsnapped positions: depth linear in screen space, everything
// else divided by w and divided back per pixel (perspective-correct).
//
// Pixels go through the pipeline in blocks of 4 x 2, one 2 x 2 quad of the
// target per half, so the mip level is chosen once per quad as the
// reference pipeline does. The pipeline is specialised per triangle
// (perspective or not, textured, mip-mapped, varying colour, varying fog);
// depth test, alpha test and blending follow the device state.
//
// These kernels are compiled twice: for the baseline instruction set
// (raster.cpp) and, on x86, for AVX2 (raster_avx2.cpp); both give the same
// pixels, bit for bit. The pixel pipeline itself is in raster_pixel.inl.
#include <math.h>
#include <string.h>

#include "soft/simd.h"
#include "soft/soft_internal.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

// Eight-lane vectors pass between inlined functions only; their calling
// convention does not matter.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#ifndef SOFT_RASTER_FN
#error "define SOFT_RASTER_FN, the name of the rasterizer these kernels make"
#endif

namespace soft {
namespace {

#define FORCE_INLINE inline __attribute__((always_inline))

FORCE_INLINE f8 splat(float v) { return f8{v, v, v, v, v, v, v, v}; }
FORCE_INLINE i8 splati(int32_t v) { return i8{v, v, v, v, v, v, v, v}; }
FORCE_INLINE u8 splatu(uint32_t v) { return u8{v, v, v, v, v, v, v, v}; }
FORCE_INLINE f8 tofloat(i8 x) { return __builtin_convertvector(x, f8); }
FORCE_INLINE f8 vmin(f8 a, f8 b) { return a < b ? a : b; }
FORCE_INLINE f8 vmax(f8 a, f8 b) { return a > b ? a : b; }
FORCE_INLINE i8 imin(i8 a, i8 b) { return a < b ? a : b; }
FORCE_INLINE i8 imax(i8 a, i8 b) { return a > b ? a : b; }
FORCE_INLINE i4 lo(i8 v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3); }
FORCE_INLINE i4 hi(i8 v) { return __builtin_shufflevector(v, v, 4, 5, 6, 7); }
FORCE_INLINE u4 lo(u8 v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3); }
FORCE_INLINE u4 hi(u8 v) { return __builtin_shufflevector(v, v, 4, 5, 6, 7); }
FORCE_INLINE u8 join(u4 a, u4 b) { return __builtin_shufflevector(a, b, 0, 1, 2, 3, 4, 5, 6, 7); }

FORCE_INLINE u4 load4(const uint32_t* p) { return *(const u4a*)p; }
FORCE_INLINE void store4(uint32_t* p, u4 v) { *(u4a*)p = v; }

FORCE_INLINE int movemask4(i4 m) {
#if defined(__SSE2__)
  return _mm_movemask_ps((__m128)m);
#else
  return (m[0] < 0 ? 1 : 0) | (m[1] < 0 ? 2 : 0) | (m[2] < 0 ? 4 : 0) | (m[3] < 0 ? 8 : 0);
#endif
}

FORCE_INLINE int movemask(i8 m) {
#if defined(__AVX__)
  return _mm256_movemask_ps((__m256)m);
#else
  return movemask4(lo(m)) | (movemask4(hi(m)) << 4);
#endif
}

// Float to int rounding down; inputs are first kept inside +-2^30.
FORCE_INLINE i8 ffloor(f8 x) {
  x = vmin(vmax(x, splat(-1073741824.0f)), splat(1073741824.0f));
#if defined(__AVX__)
  return __builtin_convertvector((f8)_mm256_round_ps((__m256)x, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC), i8);
#else
  i8 i = __builtin_convertvector(x, i8);
  return i + (i8)(tofloat(i) > x);  // -1 where truncation went up
#endif
}

// Non-negative float to the nearest int, halves up.
FORCE_INLINE i8 fround(f8 x) { return __builtin_convertvector(x + splat(0.5f), i8); }

// Float (kept in a small range) to the nearest int, halves to even.
FORCE_INLINE i8 fround_even(f8 x) {
#if defined(__AVX__)
  return (i8)_mm256_cvtps_epi32((__m256)x);
#elif defined(__SSE2__)
  __m128i a = _mm_cvtps_epi32((__m128)__builtin_shufflevector(x, x, 0, 1, 2, 3));
  __m128i b = _mm_cvtps_epi32((__m128)__builtin_shufflevector(x, x, 4, 5, 6, 7));
  return __builtin_shufflevector((i4)a, (i4)b, 0, 1, 2, 3, 4, 5, 6, 7);
#else
  i8 r;
  for (int k = 0; k < 8; k++) r[k] = (int32_t)lrintf(x[k]);
  return r;
#endif
}

FORCE_INLINE u8 gather(const uint32_t* base, i8 idx) {
#if defined(__AVX2__)
  return (u8)_mm256_i32gather_epi32((const int*)base, (__m256i)idx, 4);
#else
  return u8{base[idx[0]], base[idx[1]], base[idx[2]], base[idx[3]],
            base[idx[4]], base[idx[5]], base[idx[6]], base[idx[7]]};
#endif
}

// Four pixels from channels 0..255 (or a little outside: saturated).
FORCE_INLINE u4 pack4(i4 r, i4 g, i4 b, i4 a) {
#if defined(__SSE2__)
  __m128i br = _mm_packs_epi32((__m128i)b, (__m128i)r);  // b0..b3 r0..r3
  __m128i ga = _mm_packs_epi32((__m128i)g, (__m128i)a);  // g0..g3 a0..a3
  __m128i bgbg = _mm_unpacklo_epi16(br, ga);             // b0 g0 b1 g1 ...
  __m128i rara = _mm_unpackhi_epi16(br, ga);             // r0 a0 r1 a1 ...
  __m128i p01 = _mm_unpacklo_epi32(bgbg, rara);          // b0 g0 r0 a0 b1 g1 r1 a1
  __m128i p23 = _mm_unpackhi_epi32(bgbg, rara);
  return (u4)_mm_packus_epi16(p01, p23);
#else
  i4 z = {0, 0, 0, 0}, t = {255, 255, 255, 255};
  r = r < z ? z : (r > t ? t : r);
  g = g < z ? z : (g > t ? t : g);
  b = b < z ? z : (b > t ? t : b);
  a = a < z ? z : (a > t ? t : a);
  return ((u4)a << 24) | ((u4)r << 16) | ((u4)g << 8) | (u4)b;
#endif
}

FORCE_INLINE u8 pack(i8 r, i8 g, i8 b, i8 a) {
#if defined(__AVX2__)
  // the same steps as pack4 in both halves at once
  __m256i br = _mm256_packs_epi32((__m256i)b, (__m256i)r);
  __m256i ga = _mm256_packs_epi32((__m256i)g, (__m256i)a);
  __m256i bgbg = _mm256_unpacklo_epi16(br, ga);
  __m256i rara = _mm256_unpackhi_epi16(br, ga);
  __m256i p01 = _mm256_unpacklo_epi32(bgbg, rara);
  __m256i p23 = _mm256_unpackhi_epi32(bgbg, rara);
  return (u8)_mm256_packus_epi16(p01, p23);
#else
  return join(pack4(lo(r), lo(g), lo(b), lo(a)), pack4(hi(r), hi(g), hi(b), hi(a)));
#endif
}

// ---- per-triangle setup -----------------------------------------------------------------------
enum { P_Z, P_W, P_R, P_G, P_B, P_A, P_U, P_V, P_F, P_COUNT };

struct Tri {
  int bx0, by0, bx1, by1;  // covered pixels lie in this box (inclusive)
  int clamped;             // the box was cut by the scissor rectangle
  int ox, oy;              // origin of the 4 x 2 blocks: (bx0, by0) rounded down to even
  int64_t e0[3];           // edge functions (+ top-left bias) at (ox, oy)
  int64_t ex[3], ey[3];    // per-pixel steps
  // attribute planes: value at the origin pixel (ox, oy), per-pixel steps
  float pv[P_COUNT], pdx[P_COUNT], pdy[P_COUNT];
  // constants of the colour formula: rgb = base x k1 + k0, alpha = base x ka
  float k1r, k1g, k1b, k1a, k0r, k0g, k0b;
  int level;  // mip level when it does not vary
  float texW, texH;
};

const f8 kLanesX = {0, 1, 2, 3, 0, 1, 2, 3};
const f8 kLanesY = {0, 0, 0, 0, 1, 1, 1, 1};
const i8 kLanesXi = {0, 1, 2, 3, 0, 1, 2, 3};
const i8 kLanesYi = {0, 0, 0, 0, 1, 1, 1, 1};

#include "soft/raster_pixel.inl"

// ---- coverage ------------------------------------------------------------------------------------
// Lanes inside the box of the triangle (and so inside the scissor rectangle).
FORCE_INLINE i8 box_mask(const Tri& t, int x, int yy) {
  i8 lx = splati(x) + kLanesXi, ly = splati(yy) + kLanesYi;
  return (lx >= splati(t.bx0)) & (lx <= splati(t.bx1)) & (ly >= splati(t.by0)) & (ly <= splati(t.by1));
}

// Small triangles (at most 64 pixels across): edge functions fit 32 bits and
// are tested a block at a time.
// rowE: the three edge functions over the first 4 x 2 block; stepX, stepY:
// their change to the next block across and down.
FORCE_INLINE void small_edges(const Tri& t, i8 rowE[3], i8 stepX[3], i8 stepY[3]) {
  for (int k = 0; k < 3; k++) {
    int32_t e = (int32_t)t.e0[k], ex = (int32_t)t.ex[k], ey = (int32_t)t.ey[k];
    rowE[k] = splati(e) + splati(ex) * kLanesXi + splati(ey) * kLanesYi;
    stepX[k] = splati(4 * ex);
    stepY[k] = splati(2 * ey);
  }
}

template <class P>
void cover_small(const Tri& t, P& pix) {
  i8 rowE[3], stepX[3], stepY[3];
  small_edges(t, rowE, stepX, stepY);
  const int ex0neg = t.ex[0] < 0, ex1neg = t.ex[1] < 0, ex2neg = t.ex[2] < 0;
  // (locals: stores to the target could otherwise alias the box)
  const int bx0 = t.bx0, bx1 = t.bx1, by0 = t.by0, by1 = t.by1, ox = t.ox;
  const i8 vx0 = splati(bx0), vx1 = splati(bx1);
  // Every centre inside the triangle lies inside its box; only a box cut
  // by the scissor rectangle or the target needs checking.
  const int clamped = t.clamped;
  for (int yy = t.oy; yy <= by1; yy += 2) {
    i8 e0 = rowE[0], e1 = rowE[1], e2 = rowE[2];
    int seen = 0;
    i8 ly = splati(yy) + kLanesYi;
    i8 ymask = (ly >= splati(by0)) & (ly <= splati(by1));
    for (int x = ox; x <= bx1; x += 4) {
      i8 in = (e0 | e1 | e2) >= splati(0);
      if (clamped) {
        i8 lx = splati(x) + kLanesXi;
        in &= (lx >= vx0) & (lx <= vx1) & ymask;
      }
      if (movemask(in)) {
        if (!seen) {
          pix.rows(yy);
          seen = 1;
        }
        pix.group(x, in);
      } else if (seen) {
        // Past the triangle on both rows when an edge that falls to the
        // right is negative on the whole block. (An empty block alone
        // proves nothing: a thin sliver's spans on two rows can be apart.)
        if ((ex0neg && !movemask(e0 >= splati(0))) || (ex1neg && !movemask(e1 >= splati(0))) ||
            (ex2neg && !movemask(e2 >= splati(0))))
          break;
      }
      e0 += stepX[0];
      e1 += stepX[1];
      e2 += stepX[2];
    }
    rowE[0] += stepY[0];
    rowE[1] += stepY[1];
    rowE[2] += stepY[2];
  }
}

// Whether a small triangle covers any pixel at all, before its planes are
// worth setting up (tiny far-away triangles often cover none).
bool covers_any_small(const Tri& t) {
  i8 rowE[3], stepX[3], stepY[3];
  small_edges(t, rowE, stepX, stepY);
  for (int yy = t.oy; yy <= t.by1; yy += 2) {
    i8 e0 = rowE[0], e1 = rowE[1], e2 = rowE[2];
    for (int x = t.ox; x <= t.bx1; x += 4) {
      i8 in = (e0 | e1 | e2) >= splati(0);
      if (movemask(in) && movemask(in & box_mask(t, x, yy))) return true;
      e0 += stepX[0];
      e1 += stepX[1];
      e2 += stepX[2];
    }
    rowE[0] += stepY[0];
    rowE[1] += stepY[1];
    rowE[2] += stepY[2];
  }
  return false;
}

// Floor of n / d for d > 0.
FORCE_INLINE int64_t floordiv(int64_t n, int64_t d) {
  int64_t q = n / d;
  return (n % d != 0 && n < 0) ? q - 1 : q;
}

// The covered span of one row, as offsets from ox; lo > hi when empty.
FORCE_INLINE void row_span(const Tri& t, int yy, int64_t& lo, int64_t& hi) {
  lo = t.bx0 - t.ox;
  hi = t.bx1 - t.ox;
  if (yy < t.by0 || yy > t.by1) {
    hi = lo - 1;
    return;
  }
  for (int k = 0; k < 3 && lo <= hi; k++) {
    int64_t F = t.e0[k] + t.ey[k] * (yy - t.oy), S = t.ex[k];
    if (S > 0) {
      int64_t c = -floordiv(F, S);  // smallest i with F + S i >= 0
      if (c > lo) lo = c;
    } else if (S < 0) {
      int64_t c = floordiv(F, -S);  // largest i with F + S i >= 0
      if (c < hi) hi = c;
    } else if (F < 0) {
      hi = lo - 1;
    }
  }
}

// Large triangles: each row's span is solved exactly in 64 bits.
template <class P>
void cover_large(const Tri& t, P& pix) {
  if (pix.fastSpan) {
    // A row that samples the same texel row over the same span as the row
    // above (a magnification) is a copy of it.
    int prevTy = -1;
    int64_t prevLo = 0, prevHi = -1;
    // When u does not change down the screen every row samples the same
    // texel columns: they are worked out once, for rows of the same u.
    enum { COLS = 4096 };
    int32_t cols[COLS + 16];
    uint32_t colsU = 0;
    int haveCols = 0;
    const int ncols = t.bx1 - t.ox + 1, useCols = ncols <= COLS;
    for (int yy = t.by0; yy <= t.by1; yy++) {
      int64_t lo, hi;
      row_span(t, yy, lo, hi);
      if (lo > hi) {
        prevTy = -1;
        continue;
      }
      int ty = pix.span_row(yy);
      if (ty == prevTy && lo == prevLo && hi == prevHi && t.pdy[P_U] == 0.0f) {
        const Image& img = pix.rs.colour;
        memcpy(img.px + (size_t)yy * img.pitch + t.ox + lo, img.px + (size_t)(yy - 1) * img.pitch + t.ox + lo,
               (size_t)(hi - lo + 1) * 4);
      } else {
        const int32_t* c = nullptr;
        if (useCols) {
          f8 urow = pix.span_u(yy);
          uint32_t ubits;
          memcpy(&ubits, &urow, 4);
          if (!haveCols || ubits != colsU) {
            // (the lanes past a span's end read columns too)
            for (int i = 0; i < ncols + 8; i += 8) {
              i8 tx = pix.span_columns(urow, t.ox + i);
              memcpy(cols + i, &tx, sizeof tx);
            }
            colsU = ubits;
            haveCols = 1;
          }
          c = cols;
        }
        pix.span(yy, t.ox + (int)lo, t.ox + (int)hi, c);
      }
      prevTy = ty;
      prevLo = lo;
      prevHi = hi;
    }
    return;
  }
  for (int yy = t.oy; yy <= t.by1; yy += 2) {
    int64_t lo0, hi0, lo1, hi1;
    row_span(t, yy, lo0, hi0);
    row_span(t, yy + 1, lo1, hi1);
    int64_t lo = lo0 <= hi0 ? lo0 : lo1, hi = lo0 <= hi0 ? hi0 : hi1;
    if (lo1 <= hi1) {
      if (lo1 < lo) lo = lo1;
      if (hi1 > hi) hi = hi1;
    }
    if (lo > hi) continue;
    pix.rows(yy);
    i8 l = {(int)lo0, (int)lo0, (int)lo0, (int)lo0, (int)lo1, (int)lo1, (int)lo1, (int)lo1};
    i8 h = {(int)hi0, (int)hi0, (int)hi0, (int)hi0, (int)hi1, (int)hi1, (int)hi1, (int)hi1};
    for (int x = t.ox + (int)(lo & ~1); x <= t.ox + (int)hi; x += 4) {
      i8 idx = splati(x - t.ox) + kLanesXi;
      i8 in = (idx >= l) & (idx <= h);
      if (movemask(in)) pix.group(x, in);
    }
  }
}

template <int PERSP, int TEX, int MIP, int COLV, int FOGV>
void fill(const RasterState& rs, const Tri& t, int small) {
  Pix<PERSP, TEX, MIP, COLV, FOGV> pix(rs, t);
  if (small && !pix.fastSpan)
    cover_small(t, pix);
  else
    cover_large(t, pix);
}

typedef void (*FillFn)(const RasterState&, const Tri&, int);

#define FILL_ROW(P, T, M) \
  { fill<P, T, M, 0, 0>, fill<P, T, M, 0, 1>, fill<P, T, M, 1, 0>, fill<P, T, M, 1, 1> }
const FillFn g_fill[2][2][2][4] = {
    {{FILL_ROW(0, 0, 0), FILL_ROW(0, 0, 0)}, {FILL_ROW(0, 1, 0), FILL_ROW(0, 1, 0)}},
    {{FILL_ROW(1, 0, 0), FILL_ROW(1, 0, 0)}, {FILL_ROW(1, 1, 0), FILL_ROW(1, 1, 1)}},
};

FORCE_INLINE int32_t min3(int32_t a, int32_t b, int32_t c) {
  int32_t m = a < b ? a : b;
  return m < c ? m : c;
}
FORCE_INLINE int32_t max3(int32_t a, int32_t b, int32_t c) {
  int32_t m = a > b ? a : b;
  return m > c ? m : c;
}

// Edge from p to q at the pixel (px, py) in 1/256 pixel; inside is positive.
// Centres exactly on an edge count only for top and left edges.
FORCE_INLINE void edge(Tri& t, int k, const PVert* p, const PVert* q, int64_t px, int64_t py) {
  int64_t A = (int64_t)p->Y - q->Y;  // dE/dx
  int64_t B = (int64_t)q->X - p->X;  // dE/dy
  int64_t notTopLeft = !((A > 0) | ((A == 0) & (B > 0)));
  t.e0[k] = A * (px - p->X) + B * (py - p->Y) - notTopLeft;
  t.ex[k] = A * 256;
  t.ey[k] = B * 256;
}

}  // namespace

// ---- triangle setup ----------------------------------------------------------------------------------
void SOFT_RASTER_FN(const RasterState& rs, const PVert* a, const PVert* b, const PVert* c) {
  int64_t area = (int64_t)(b->X - a->X) * (c->Y - a->Y) - (int64_t)(c->X - a->X) * (b->Y - a->Y);
  if (area == 0) return;
  {
    // clockwise on screen (both windings are common: no branch)
    const PVert* s = b;
    b = area < 0 ? c : b;
    c = area < 0 ? s : c;
    area = area < 0 ? -area : area;
  }
  // bounding box of covered pixel centres, inside the scissor rectangle
  // (positions lie inside the guard band: no overflow)
  int32_t minX = min3(a->X, b->X, c->X), maxX = max3(a->X, b->X, c->X);
  int32_t minY = min3(a->Y, b->Y, c->Y), maxY = max3(a->Y, b->Y, c->Y);
  Tri t;
  int32_t bx0 = (minX + 255) >> 8, bx1 = maxX >> 8, by0 = (minY + 255) >> 8, by1 = maxY >> 8;
  t.clamped = (bx0 < rs.x0) | (by0 < rs.y0) | (bx1 > rs.x1 - 1) | (by1 > rs.y1 - 1);
  bx0 = bx0 < rs.x0 ? rs.x0 : bx0;
  by0 = by0 < rs.y0 ? rs.y0 : by0;
  bx1 = bx1 > rs.x1 - 1 ? rs.x1 - 1 : bx1;
  by1 = by1 > rs.y1 - 1 ? rs.y1 - 1 : by1;
  if ((bx0 > bx1) | (by0 > by1)) return;
  t.bx0 = bx0;
  t.by0 = by0;
  t.bx1 = bx1;
  t.by1 = by1;
  t.ox = bx0 & ~1;
  t.oy = by0 & ~1;
  // Edge k runs from vertex k to vertex k + 1.
  int64_t px = (int64_t)t.ox * 256, py = (int64_t)t.oy * 256;
  edge(t, 0, a, b, px, py);
  edge(t, 1, b, c, px, py);
  edge(t, 2, c, a, px, py);
  int small = (maxX - minX <= 64 * 256) & (maxY - minY <= 64 * 256);
  if (small && (t.bx1 - t.ox) < 16 && (t.by1 - t.oy) < 8 && !covers_any_small(t)) return;

  int persp = (a->rhw != b->rhw) | (a->rhw != c->rhw);
  double wa = persp ? a->rhw : 1.0, wb = persp ? b->rhw : 1.0, wc = persp ? c->rhw : 1.0;

  // Colour: constant when the triangle does not vary it (or the combiner
  // ignores the diffuse colour).
  float ra = a->r, ga = a->g, ba = a->b, aa = a->a;
  float rb = b->r, gb = b->g, bb = b->b, ab = b->a;
  float rc = c->r, gc = c->g, bc = c->b, ac = c->a;
  if (rs.shadeFlat) {
    // flat shading takes the colour of the triangle's first vertex
    rb = rc = ra;
    gb = gc = ga;
    bb = bc = ba;
    ab = ac = aa;
  }
  if (!rs.useDiffRGB) ra = ga = ba = rb = gb = bb = rc = gc = bc = 1.0f;
  if (!rs.useDiffA) aa = ab = ac = 1.0f;
  int colv = (ra != rb) | (ra != rc) | (ga != gb) | (ga != gc) | (ba != bb) | (ba != bc) | (aa != ab) | (aa != ac);

  // Attribute planes, in doubles from the unsnapped positions (snapping
  // decides coverage only), eight at a time: depth, 1/w, colour, texture
  // coordinates (all but depth divided by w). A sliver whose unsnapped
  // winding disagrees with the snapped one takes the snapped positions.
  typedef double d4 __attribute__((vector_size(32)));
  double x0 = a->sx, y0 = a->sy;
  double dxb = b->sx - x0, dyb = b->sy - y0;
  double dxc = c->sx - x0, dyc = c->sy - y0;
  double areaF = dxb * dyc - dxc * dyb;
  if (!(areaF > 0.0)) {
    x0 = a->X / 256.0, y0 = a->Y / 256.0;
    dxb = b->X / 256.0 - x0, dyb = b->Y / 256.0 - y0;
    dxc = c->X / 256.0 - x0, dyc = c->Y / 256.0 - y0;
    areaF = (double)area / 65536.0;
  }
  double inv = 1.0 / areaF;
  double ox = (double)t.ox - x0, oy = (double)t.oy - y0;
  d4 qa[2] = {{a->sz, wa, ra * wa, ga * wa}, {ba * wa, aa * wa, a->u * wa, a->v * wa}};
  d4 qb[2] = {{b->sz, wb, rb * wb, gb * wb}, {bb * wb, ab * wb, b->u * wb, b->v * wb}};
  d4 qc[2] = {{c->sz, wc, rc * wc, gc * wc}, {bc * wc, ac * wc, c->u * wc, c->v * wc}};
  for (int h = 0; h < 2; h++) {
    d4 d1 = qb[h] - qa[h], d2 = qc[h] - qa[h];
    d4 gx = (d1 * dyc - d2 * dyb) * inv;
    d4 gy = (d2 * dxb - d1 * dxc) * inv;
    d4 v0 = qa[h] + gx * ox + gy * oy;
    f4 v0f = __builtin_convertvector(v0, f4), gxf = __builtin_convertvector(gx, f4),
       gyf = __builtin_convertvector(gy, f4);
    memcpy(t.pv + h * 4, &v0f, sizeof v0f);
    memcpy(t.pdx + h * 4, &gxf, sizeof gxf);
    memcpy(t.pdy + h * 4, &gyf, sizeof gyf);
  }
  auto plane = [&](int i, double qa1, double qb1, double qc1) {
    double d1 = qb1 - qa1, d2 = qc1 - qa1;
    double gx = (d1 * dyc - d2 * dyb) * inv;
    double gy = (d2 * dxb - d1 * dxc) * inv;
    t.pv[i] = (float)(qa1 + gx * ox + gy * oy);
    t.pdx[i] = (float)gx;
    t.pdy[i] = (float)gy;
  };

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
    if (fogv) plane(P_F, a->f * wa, b->f * wb, c->f * wc);
  }

  int tex = rs.tex != nullptr;
  float scale = tex ? 1.0f : 255.0f;
  if (colv) {
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
  t.texW = t.texH = 0.0f;
  if (tex) {
    t.texW = (float)rs.tex->lv[0].w;
    t.texH = (float)rs.tex->lv[0].h;
    if (rs.texLevels > rs.texBase + 1) {
      if (persp) {
        mip = 1;
      } else {
        // affine: one footprint for the whole triangle
        double ax = t.pdx[P_U] * (double)t.texW, ay = t.pdy[P_U] * (double)t.texW;
        double bx = t.pdx[P_V] * (double)t.texH, by = t.pdy[P_V] * (double)t.texH;
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
