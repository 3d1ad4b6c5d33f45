// The pixel pipeline of the rasterizer: texture sampling with mip choice per
// quad, the stage product, fog, alpha test, depth test and blending, eight
// pixels at a time. Part of raster_kernels.inl (inside its namespace).

// ---- the pixel pipeline -------------------------------------------------------------------------
template <int PERSP, int TEX, int MIP, int COLV, int FOGV>
struct Pix {
  const RasterState& rs;
  const Tri& t;
  // per triangle
  f8 dx[P_COUNT];
  f8 k1r, k1g, k1b, k1a, k0r, k0g, k0b, fogR, fogG, fogB;
  f4 qdxU, qdxV, qdxW, qdU, qdV, qdW, qTexW, qTexH;  // for the footprint of a quad
  const TexLevel* lv;
  int nlev, base, copy, fastSpan;
  uint32_t texOr, outOr;
  float zscale;
  // per pair of rows
  int y;
  int lastRow;  // the second row lies outside the target
  f8 rowv[P_COUNT];
  f4 quadU, quadV, quadW;  // at the quads' top-left pixels, x = ox
  uint32_t *crow0, *crow1, *zrow0, *zrow1;

  Pix(const RasterState& r, const Tri& tr) : rs(r), t(tr) {
    // only what this variant of the pipeline reads
    dx[P_Z] = splat(t.pdx[P_Z]);
    if (PERSP) dx[P_W] = splat(t.pdx[P_W]);
    if (COLV)
      for (int i = P_R; i <= P_A; i++) dx[i] = splat(t.pdx[i]);
    if (TEX) {
      dx[P_U] = splat(t.pdx[P_U]);
      dx[P_V] = splat(t.pdx[P_V]);
    }
    if (FOGV) {
      dx[P_F] = splat(t.pdx[P_F]);
      fogR = splat(rs.fogR);
      fogG = splat(rs.fogG);
      fogB = splat(rs.fogB);
    } else {
      k0r = splat(t.k0r);
      k0g = splat(t.k0g);
      k0b = splat(t.k0b);
    }
    k1r = splat(t.k1r);
    k1g = splat(t.k1g);
    k1b = splat(t.k1b);
    k1a = splat(t.k1a);
    if (MIP) {
      qdxU = f4{t.pdx[P_U], t.pdx[P_U], t.pdx[P_U], t.pdx[P_U]};
      qdxV = f4{t.pdx[P_V], t.pdx[P_V], t.pdx[P_V], t.pdx[P_V]};
      qdxW = f4{t.pdx[P_W], t.pdx[P_W], t.pdx[P_W], t.pdx[P_W]};
      // steps along x in the first two lanes, along y in the last two
      qdU = f4{t.pdx[P_U], t.pdx[P_U], t.pdy[P_U], t.pdy[P_U]};
      qdV = f4{t.pdx[P_V], t.pdx[P_V], t.pdy[P_V], t.pdy[P_V]};
      qdW = f4{t.pdx[P_W], t.pdx[P_W], t.pdy[P_W], t.pdy[P_W]};
      qTexW = f4{t.texW, t.texW, t.texW, t.texW};
      qTexH = f4{t.texH, t.texH, t.texH, t.texH};
    }
    lv = rs.tex ? rs.tex->lv : nullptr;
    nlev = rs.texLevels;
    base = rs.texBase;
    texOr = rs.tex ? rs.tex->alphaOr : 0;
    if (!rs.useTexRGB) texOr |= 0x00FFFFFFu;
    if (!rs.useTexA) texOr |= 0xFF000000u;
    outOr = rs.colourAlphaOr ? 0xFF000000u : 0;
    zscale = (float)rs.depthMax;
    // texel straight through: nothing to multiply, add or blend
    copy = TEX && !COLV && !FOGV && t.k1r == 1.0f && t.k1g == 1.0f && t.k1b == 1.0f && t.k1a == 1.0f &&
           t.k0r == 0.0f && t.k0g == 0.0f && t.k0b == 0.0f && !rs.squares && rs.blend == BL_NONE;
    // a texture copied along rows that stay on one texel row (the magnification)
    fastSpan = copy && !PERSP && !MIP && !rs.zTest && !rs.aTest && t.pdx[P_V] == 0.0f;
  }

  FORCE_INLINE void row1(int i, f8 fy) { rowv[i] = splat(t.pv[i]) + splat(t.pdy[i]) * fy; }

  // Starts the pair of rows yy, yy + 1 (yy even).
  FORCE_INLINE void rows(int yy) {
    y = yy;
    f8 fy = splat((float)(yy - t.oy)) + kLanesY;
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
    if (MIP) {
      float qy = (float)(yy - t.oy);
      float u = t.pv[P_U] + t.pdy[P_U] * qy, v = t.pv[P_V] + t.pdy[P_V] * qy,
            w = t.pv[P_W] + t.pdy[P_W] * qy;
      quadU = f4{u, u, u, u};
      quadV = f4{v, v, v, v};
      quadW = f4{w, w, w, w};
    }
    lastRow = yy + 1 >= rs.colour.h || (rs.depth.px && yy + 1 >= rs.depth.h);
    crow0 = rs.colour.px + (size_t)yy * rs.colour.pitch;
    crow1 = lastRow ? crow0 : crow0 + rs.colour.pitch;
    zrow0 = zrow1 = nullptr;
    if (rs.depth.px) {
      zrow0 = rs.depth.px + (size_t)yy * rs.depth.pitch;
      zrow1 = lastRow ? zrow0 : zrow0 + rs.depth.pitch;
    }
  }

  FORCE_INLINE f8 plane(int i, f8 fx) const { return rowv[i] + dx[i] * fx; }

  FORCE_INLINE u8 load8(const uint32_t* r0, const uint32_t* r1, int x) const {
    return join(load4(r0 + x), load4(r1 + x));
  }

  // Texel coordinate along one axis: wrapped (any size) or clamped.
  static FORCE_INLINE i8 address(i8 x, int wrap, int pow2, int n, float inv) {
    if (!wrap) return imin(imax(x, splati(0)), splati(n - 1));
    if (pow2) return x & splati(n - 1);
    i8 q = ffloor(tofloat(x) * splat(inv));
    x -= q * splati(n);
    x += (i8)(x < splati(0)) & splati(n);  // the float quotient may be one off
    x -= (i8)(x >= splati(n)) & splati(n);
    return x;
  }

  // Eight texels of one level at (u, v).
  FORCE_INLINE u8 fetch_level(f8 u, f8 v, const TexLevel& L) const {
    i8 x = address(ffloor(u * splat(L.fw)), rs.wrapU, L.pow2, L.w, L.iw);
    i8 yy = address(ffloor(v * splat(L.fh)), rs.wrapV, L.pow2, L.h, L.ih);
    i8 idx = L.pow2 ? (yy << L.wshift) + x : yy * splati(L.pitch) + x;
    return gather(L.px, idx);
  }

  FORCE_INLINE u8 fetch(f8 u, f8 v, int levA, int levB) const {
    u8 out;
    if (levA == levB) {
      out = fetch_level(u, v, lv[levA]);
    } else {
      u8 a = fetch_level(u, v, lv[levA]), b = fetch_level(u, v, lv[levB]);
      const i8 right = {0, 0, -1, -1, 0, 0, -1, -1};  // lanes of the second quad
      out = (a & ~(u8)right) | (b & (u8)right);
    }
    return out | splatu(texOr);
  }

  // floor(log2(x)) for x > 0 written as exponent and mantissa bits.
  static FORCE_INLINE i4 exponent(i4 bits) { return (bits >> 23) & i4{0xFF, 0xFF, 0xFF, 0xFF}; }

  // Mip levels of the block's two quads. The footprint is measured from the
  // differences across each quad's top-left pixel, like the reference
  // pipeline does: with U = u/w, V = v/w and W = 1/w planes,
  // du = (dU W - U dW) / (W (W + dW)), so the squared footprint along x is
  // Nx / Dx with Nx = ((dU W - U dW) size)^2 + ... and Dx = (W (W + dW))^2.
  // The level, floor((floor(log2 rho^2) + 1) / 2), needs only exponents and
  // a comparison of mantissas: no division.
  // Lanes: (x of quad A, x of quad B, y of quad A, y of quad B).
  FORCE_INLINE void mip_levels(int bx, int& levA, int& levB) const {
    float q0 = (float)(bx - t.ox);
    f4 qx = f4{q0, q0 + 2.0f, q0, q0 + 2.0f};
    f4 WA = quadW + qdxW * qx, UA = quadU + qdxU * qx, VA = quadV + qdxV * qx;
    f4 a = (qdU * WA - UA * qdW) * qTexW, b = (qdV * WA - VA * qdW) * qTexH;
    f4 n = a * a + b * b;
    f4 d = WA * (WA + qdW);
    d *= d;
    i4 bn = (i4)n, bd = (i4)d;
    const i4 mant = {0x7FFFFF, 0x7FFFFF, 0x7FFFFF, 0x7FFFFF};
    i4 ex = exponent(bn) - exponent(bd) + (i4)((bn & mant) < (bd & mant));
    i4 ey = __builtin_shufflevector(ex, ex, 2, 3, 0, 1);
    i4 e = ex > ey ? ex : ey;
    i4 lev = (e + i4{1, 1, 1, 1}) >> 1;
    const i4 lo4 = {base, base, base, base}, hi4 = {nlev - 1, nlev - 1, nlev - 1, nlev - 1};
    lev = lev < lo4 ? lo4 : (lev > hi4 ? hi4 : lev);
    levA = lev[0];
    levB = lev[1];
  }

  FORCE_INLINE i8 alpha_pass(f8 a) const {
    // The test sees the alpha before rounding. Products of bytes differ from
    // a whole number by 1/255 or more, far above the float noise, so a
    // margin of 1/512 separates "equal" from "different".
    const f8 eps = splat(1.0f / 512.0f);
    f8 ref = splat((float)rs.aRef);
    if (rs.aFunc == D3DCMP_GREATEREQUAL) return a >= ref - eps;  // the usual one, without the switch
    switch (rs.aFunc) {
      case D3DCMP_GREATEREQUAL: return a >= ref - eps;
      case D3DCMP_GREATER: return a > ref + eps;
      case D3DCMP_LESS: return a < ref - eps;
      case D3DCMP_LESSEQUAL: return a <= ref + eps;
      case D3DCMP_EQUAL: return (a >= ref - eps) & (a <= ref + eps);
      case D3DCMP_NOTEQUAL: return (a < ref - eps) | (a > ref + eps);
      case D3DCMP_NEVER: return splati(0);
      default: return splati(-1);
    }
  }

  FORCE_INLINE i8 depth_pass(i8 zi, i8 zb) const {
    switch (rs.zFunc) {
      case D3DCMP_LESSEQUAL: return zi <= zb;
      case D3DCMP_LESS: return zi < zb;
      case D3DCMP_EQUAL: return zi == zb;
      case D3DCMP_GREATER: return zi > zb;
      case D3DCMP_NOTEQUAL: return zi != zb;
      case D3DCMP_GREATEREQUAL: return zi >= zb;
      case D3DCMP_NEVER: return splati(0);
      default: return splati(-1);
    }
  }

  // The block at x..x+3 of the current pair of rows; m: lanes covered.
  FORCE_INLINE void group(int x, i8 m) {
    f8 fx = splat((float)(x - t.ox)) + kLanesX;
    // depth test first: hidden pixels cost little
    i8 zi = splati(0), zb = zi;
    if (rs.zTest) {
      f8 z = vmin(vmax(plane(P_Z, fx), splat(0.0f)), splat(1.0f));
      zi = fround_even(z * splat(zscale));
      zb = (i8)load8(zrow0, zrow1, x);
      m &= rs.zFunc == D3DCMP_LESSEQUAL ? zi <= zb : depth_pass(zi, zb);
      if (!movemask(m)) return;
    }
    f8 w = splat(1.0f);
    if (PERSP) w = splat(1.0f) / plane(P_W, fx);
    u8 tx = splatu(0);
    if (TEX) {
      f8 u = plane(P_U, fx), v = plane(P_V, fx);
      if (PERSP) {
        u *= w;
        v *= w;
      }
      int levA = t.level, levB = t.level;
      if (MIP) mip_levels(x, levA, levB);
      tx = fetch(u, v, levA, levB);
      if (copy) {
        if (rs.aTest) {
          m &= alpha_pass(tofloat((i8)(tx >> 24)));
          if (!movemask(m)) return;
        }
        put(x, m, tx | splatu(outOr), zi, zb);
        return;
      }
    }
    // colour formula: texel x diffuse x constant
    f8 r, g, b, a;
    f8 cr = splat(1.0f), cg = cr, cb = cr, ca = cr;
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
      r = tofloat((i8)((tx >> 16) & 0xFF));
      g = tofloat((i8)((tx >> 8) & 0xFF));
      b = tofloat((i8)(tx & 0xFF));
      a = tofloat((i8)(tx >> 24));
      if (COLV) {
        r *= cr;
        g *= cg;
        b *= cb;
        a *= ca;
      }
      if (rs.squares) {
        const f8 k = splat(1.0f / 255.0f);
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
    r *= k1r;
    g *= k1g;
    b *= k1b;
    a *= k1a;
    if (FOGV) {
      f8 f = plane(P_F, fx);
      if (PERSP) f *= w;
      f = vmin(vmax(f, splat(0.0f)), splat(1.0f));
      f8 nf = splat(1.0f) - f;
      r = r * f + nf * fogR;
      g = g * f + nf * fogG;
      b = b * f + nf * fogB;
    } else {
      r += k0r;
      g += k0g;
      b += k0b;
    }
    if (rs.aTest) {
      m &= alpha_pass(a);
      if (!movemask(m)) return;
    }
    // Values are never negative; float noise may lift them a hair above
    // 255, which rounding and the saturating pack absorb.
    i8 R = fround(r), G = fround(g), B = fround(b), A = fround(a);
    if (rs.blend != BL_NONE) {
      const i8 top = splati(255);
      R = imin(R, top);
      G = imin(G, top);
      B = imin(B, top);
      A = imin(A, top);
      blend(load8(crow0, crow1, x), R, G, B, A);
    }
    put(x, m, pack(R, G, B, A) | splatu(outOr), zi, zb);
  }

  // Stores the covered lanes' colour and, with depth writes, depth (zb: the
  // depth buffer as read for the test). Whole blocks are written back,
  // uncovered lanes unchanged: no branch on the coverage.
  FORCE_INLINE void put(int x, i8 m, u8 px, i8 zi, i8 zb) {
    u8 um = (u8)m;
    u8 out = (px & um) | (load8(crow0, crow1, x) & ~um);
    store4(crow0 + x, lo(out));
    if (!lastRow) store4(crow1 + x, hi(out));
    if (rs.zWrite) {
      u8 zv = ((u8)zi & um) | ((u8)zb & ~um);
      store4(zrow0 + x, lo(zv));
      if (!lastRow) store4(zrow1 + x, hi(zv));
    }
  }

  // The texel row that row yy samples on the fast route.
  FORCE_INLINE int span_row(int yy) const {
    const TexLevel& L = lv[t.level];
    f8 vrow = splat(t.pv[P_V]) + splat(t.pdy[P_V]) * splat((float)(yy - t.oy));
    return address(ffloor(vrow * splat(L.fh)), rs.wrapV, L.pow2, L.h, L.ih)[0];
  }

  // u along row yy on the fast route.
  FORCE_INLINE f8 span_u(int yy) const {
    return splat(t.pv[P_U]) + splat(t.pdy[P_U]) * splat((float)(yy - t.oy));
  }

  // The texel columns of the eight pixels from x on, for u along the row urow.
  FORCE_INLINE i8 span_columns(f8 urow, int x) const {
    const TexLevel& L = lv[t.level];
    const f8 lanes8 = {0, 1, 2, 3, 4, 5, 6, 7};
    f8 fx = splat((float)(x - t.ox)) + lanes8;
    return address(ffloor((urow + dx[P_U] * fx) * splat(L.fw)), rs.wrapU, L.pow2, L.w, L.iw);
  }

  // Pixels x0..x1 of row yy by the fast route (see fastSpan): the same
  // arithmetic as group(), without what the route does not need. cols, when
  // not null, holds the texel column of every pixel from ox on, worked out
  // for a row with the same u.
  FORCE_INLINE void span(int yy, int x0, int x1, const int32_t* cols) {
    const TexLevel& L = lv[t.level];
    f8 urow = span_u(yy);
    const uint32_t* trow = L.px + (size_t)span_row(yy) * L.pitch;
    uint32_t* crow = rs.colour.px + (size_t)yy * rs.colour.pitch;
    u8 orv = splatu(texOr | outOr);
    for (int x = x0; x <= x1; x += 8) {
      i8 tx;
      if (cols)
        memcpy(&tx, cols + (x - t.ox), sizeof tx);
      else
        tx = span_columns(urow, x);
      u8 px;
#if defined(__AVX2__)
      // eight texels within eight of the first (a magnification): one load
      // and a permutation instead of a gather
      int first = tx[0];
      i8 d = tx - splati(first);
      if (first + 8 <= L.w && _mm256_testz_si256((__m256i)d, (__m256i)splati(~7))) {
        __m256i row8 = _mm256_loadu_si256((const __m256i*)(trow + first));
        px = (u8)_mm256_permutevar8x32_epi32(row8, (__m256i)d) | orv;
      } else {
        px = gather(trow, tx) | orv;
      }
#else
      px = gather(trow, tx) | orv;
#endif
      if (x + 7 <= x1) {
        store4(crow + x, lo(px));
        store4(crow + x + 4, hi(px));
      } else {
        for (int k = 0; x + k <= x1; k++) crow[x + k] = px[k];
      }
    }
  }

  // Blending of 8-bit values: each product x y / 255 rounded the way the
  // reference pipeline does it, (t + (t >> 8) + 128) >> 8 with t = x y, the
  // sum saturated.
  static FORCE_INLINE i8 mul8(i8 x, i8 y) {
    i8 t = __builtin_convertvector(tofloat(x) * tofloat(y), i8);  // exact: below 2^16
    return (t + (t >> 8) + splati(128)) >> 8;
  }

  FORCE_INLINE void blend(u8 old, i8& R, i8& G, i8& B, i8& A) const {
    i8 dr = (i8)((old >> 16) & 0xFF), dg = (i8)((old >> 8) & 0xFF), db = (i8)(old & 0xFF);
    i8 da = (i8)(old >> 24);
    const i8 top = splati(255);
    switch (rs.blend) {
      case BL_ALPHA: {
        i8 sa = A, ia = top - A;
        R = imin(mul8(R, sa) + mul8(dr, ia), top);
        G = imin(mul8(G, sa) + mul8(dg, ia), top);
        B = imin(mul8(B, sa) + mul8(db, ia), top);
        A = imin(mul8(sa, sa) + mul8(da, ia), top);
        break;
      }
      case BL_ADD_ALPHA: {
        i8 sa = A;
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
      default: {
        Chan c = {R, G, B, A, old};
        generic_blend(&c);
        R = c.r;
        G = c.g;
        B = c.b;
        A = c.a;
        break;
      }
    }
  }

  static int mul8s(int x, int y) {
    int t = x * y;
    return (t + (t >> 8) + 128) >> 8;
  }

  static int factor(DWORD f, int src, int srcA, int dstA, int dst, int bf, int which) {
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

  // Any other pair of factors, pixel by pixel. (Out of line, on a copy of
  // the channels, so they stay in registers on the other paths.)
  struct Chan {
    i8 r, g, b, a;
    u8 old;  // the target's pixels
  };
  __attribute__((noinline)) void generic_blend(Chan* c) const {
    i8 v[4] = {c->r, c->g, c->b, c->a};
    for (int k = 0; k < 8; k++) generic_blend1(c->old[k], v, k);
    c->r = v[0];
    c->g = v[1];
    c->b = v[2];
    c->a = v[3];
  }

  void generic_blend1(uint32_t d, i8* v, int k) const {
    int s[4] = {v[0][k], v[1][k], v[2][k], v[3][k]};
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
      int fs = factor(sf, s[c], s[3], dc[3], dc[c], bfc[c], c);
      int fd = factor(df, s[c], s[3], dc[3], dc[c], bfc[c], c);
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
    for (int c = 0; c < 4; c++) v[c][k] = o[c];
  }
};
