// Primitive assembly of the software device: the draw calls, the
// triangles of lists, strips and fans, trivial rejection and culling,
// clipping in homogeneous space and the hand-over of each triangle to the
// rasterizer.
//
// Positions of a draw's vertices are transformed up front; colours, texture
// coordinates and fog only for vertices of triangles that survive rejection
// and culling.
#include <stdlib.h>

#include "soft/pipeline.h"

namespace soft {

// ---- clipping -----------------------------------------------------------------------------------
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

// ---- the draw -----------------------------------------------------------------------------------
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

// ---- drawing entry points -----------------------------------------------------------------------
static UINT vertices_for(D3DPRIMITIVETYPE type, UINT prims) {
  switch (type) {
    case D3DPT_TRIANGLELIST:
      return prims * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return prims + 2;
    default:
      return 0;
  }
}

static const UINT MAX_PRIMS = 1u << 24;

HRESULT SoftDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT prims) {
  count(SC_DrawPrimitive);
  g_softHooks.draws++;
  if (vertices_for(type, 1) == 0 || prims > MAX_PRIMS) return D3DERR_INVALIDCALL;
  if (!st.vb || st.vbStride == 0) return D3DERR_INVALIDCALL;
  if (prims == 0) return D3D_OK;
  UINT nv = vertices_for(type, prims);
  uint64_t avail = st.vb->b.size > st.vbOffset ? (st.vb->b.size - st.vbOffset) / st.vbStride : 0;
  if ((uint64_t)start + nv > avail) return D3DERR_INVALIDCALL;
  g_softHooks.triangles += (int)prims;
  return draw(type, prims, st.vb->b.mem + st.vbOffset, st.vbStride, start, nv, nullptr, 0, 0);
}

HRESULT SoftDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base, UINT minIndex, UINT numVerts,
                                         UINT startIndex, UINT prims) {
  count(SC_DrawIndexedPrimitive);
  g_softHooks.draws++;
  if (vertices_for(type, 1) == 0 || prims > MAX_PRIMS) return D3DERR_INVALIDCALL;
  if (!st.vb || !st.ib || st.vbStride == 0) return D3DERR_INVALIDCALL;
  if (prims == 0) return D3D_OK;
  UINT ni = vertices_for(type, prims);
  int index32 = st.ib->b.fmt == D3DFMT_INDEX32;
  uint64_t isize = index32 ? 4 : 2;
  if (((uint64_t)startIndex + ni) * isize > st.ib->b.size) return D3DERR_INVALIDCALL;
  int64_t avail = st.vb->b.size > st.vbOffset ? (st.vb->b.size - st.vbOffset) / st.vbStride : 0;
  // The vertices the caller says the indices use, inside the buffer;
  // triangles with an index outside them are skipped.
  int64_t lo = (int64_t)base + minIndex, hi = lo + numVerts;
  if (lo < 0) lo = 0;
  if (hi > avail) hi = avail;
  g_softHooks.triangles += (int)prims;
  if (lo >= hi) return D3D_OK;
  return draw(type, prims, st.vb->b.mem + st.vbOffset, st.vbStride, (UINT)lo, (UINT)(hi - lo),
              st.ib->b.mem + startIndex * isize, index32, base);
}

HRESULT SoftDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT prims, const void* data, UINT stride) {
  count(SC_DrawPrimitiveUP);
  g_softHooks.draws++;
  if (vertices_for(type, 1) == 0 || prims > MAX_PRIMS || !data || stride == 0) return D3DERR_INVALIDCALL;
  // A user-pointer draw leaves stream 0 unbound, as in Direct3D 9.
  if (st.vb) {
    SoftVB* v = st.vb;
    st.vb = nullptr;
    st.vbOffset = st.vbStride = 0;
    v->unref_intl();
  }
  if (prims == 0) return D3D_OK;
  g_softHooks.triangles += (int)prims;
  return draw(type, prims, (const uint8_t*)data, stride, 0, vertices_for(type, prims), nullptr, 0, 0);
}

HRESULT SoftDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVerts, UINT prims,
                                           const void* indices, D3DFORMAT fmt, const void* data, UINT stride) {
  count(SC_DrawIndexedPrimitiveUP);
  g_softHooks.draws++;
  if (vertices_for(type, 1) == 0 || prims > MAX_PRIMS || !data || !indices || stride == 0 ||
      (fmt != D3DFMT_INDEX16 && fmt != D3DFMT_INDEX32))
    return D3DERR_INVALIDCALL;
  // ...and unbinds the index buffer too.
  if (st.vb) {
    SoftVB* v = st.vb;
    st.vb = nullptr;
    st.vbOffset = st.vbStride = 0;
    v->unref_intl();
  }
  if (st.ib) {
    SoftIB* b = st.ib;
    st.ib = nullptr;
    b->unref_intl();
  }
  if (prims == 0) return D3D_OK;
  // Only the vertices the caller declared are read: [minIndex, minIndex + numVerts).
  if ((uint64_t)minIndex + numVerts > (1u << 26)) return D3DERR_INVALIDCALL;
  g_softHooks.triangles += (int)prims;
  if (numVerts == 0) return D3D_OK;
  return draw(type, prims, (const uint8_t*)data, stride, minIndex, numVerts, indices, fmt == D3DFMT_INDEX32, 0);
}

}  // namespace soft
