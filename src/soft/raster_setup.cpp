// The pixel stage's settings for one draw, from the device state: target
// and depth buffer, the area drawn to, depth and alpha tests, blending, fog
// colour, culling, the texture stages as one product, and the rasterizer.
#include <string.h>

#include "soft/pipeline.h"

namespace soft {

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
int raster_state(const DeviceState& st, const Fvf& fvf, RasterState* out) {
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

}  // namespace soft
