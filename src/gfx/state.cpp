// The render-state cache: every state, format, binding and transform the
// game sets is remembered, and the device is only called when a value
// changes. On top of it, the intent-level setters and the immediate draws.
#include "gfx/gfx_internal.h"

uint8_t g_rsOk[RS_CACHED];
uint32_t g_rsVal[RS_CACHED];
uint8_t g_tssOk[TSS_STAGES][TSS_TYPES];
uint32_t g_tssVal[TSS_STAGES][TSS_TYPES];
uint8_t g_sampOk[SAMP_UNITS][SAMP_TYPES];
uint32_t g_sampVal[SAMP_UNITS][SAMP_TYPES];
int g_fvfOk;
uint32_t g_fvf;
IDirect3DVertexBuffer9* g_curVB;
IDirect3DIndexBuffer9* g_curIB;
int g_worldIdentity;
int g_matrixOk;
Mat4 g_curView, g_curProj;

static const Mat4 kIdentity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

// ---- cached setters -----------------------------------------------------------------------------
void gfx_rs(uint32_t state, uint32_t value) {
  if (state < RS_CACHED) {
    if (g_rsOk[state] && g_rsVal[state] == value) return;
    g_rsOk[state] = 1;
    g_rsVal[state] = value;
  }
  dev()->SetRenderState((D3DRENDERSTATETYPE)state, (DWORD)value);
}

void gfx_tss(uint32_t stage, uint32_t type, uint32_t value) {
  if (stage < TSS_STAGES && type < TSS_TYPES) {
    if (g_tssOk[stage][type] && g_tssVal[stage][type] == value) return;
    g_tssOk[stage][type] = 1;
    g_tssVal[stage][type] = value;
  }
  dev()->SetTextureStageState((DWORD)stage, (D3DTEXTURESTAGESTATETYPE)type, (DWORD)value);
}

void gfx_samp(uint32_t sampler, uint32_t type, uint32_t value) {
  if (sampler < SAMP_UNITS && type < SAMP_TYPES) {
    if (g_sampOk[sampler][type] && g_sampVal[sampler][type] == value) return;
    g_sampOk[sampler][type] = 1;
    g_sampVal[sampler][type] = value;
  }
  dev()->SetSamplerState((DWORD)sampler, (D3DSAMPLERSTATETYPE)type, (DWORD)value);
}

void gfx_fvf(uint32_t fvf) {
  if (g_fvfOk && g_fvf == fvf) return;
  g_fvfOk = 1;
  g_fvf = fvf;
  dev()->SetFVF((DWORD)fvf);
}

void gfx_state_reset() {
  memset(g_rsOk, 0, sizeof g_rsOk);
  memset(g_tssOk, 0, sizeof g_tssOk);
  memset(g_sampOk, 0, sizeof g_sampOk);
  g_fvfOk = 0;
  g_curVB = nullptr;
  g_curIB = nullptr;
  g_worldIdentity = 0;
  g_matrixOk = 0;
}

void default_states() {
  gfx_state_reset();
  gfx_rs(D3DRS_ZENABLE, 1);
  gfx_rs(D3DRS_ZWRITEENABLE, 1);
  gfx_rs(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  gfx_rs(D3DRS_CULLMODE, D3DCULL_CCW);
  gfx_rs(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
  gfx_rs(D3DRS_DITHERENABLE, 0);
  gfx_rs(D3DRS_SPECULARENABLE, 0);
  gfx_rs(D3DRS_COLORVERTEX, 1);
  gfx_rs(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
  gfx_rs(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
  gfx_rs(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
  gfx_rs(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
  gfx_rs(D3DRS_NORMALIZENORMALS, 1);
  gfx_rs(D3DRS_ALPHAREF, 128);
  gfx_rs(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  gfx_rs(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
  gfx_rs(D3DRS_FOGTABLEMODE, D3DFOG_NONE);
  gfx_rs(D3DRS_RANGEFOGENABLE, 0);

  gfx_tss(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  gfx_tss(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  gfx_tss(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  gfx_tss(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  gfx_tss(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  gfx_tss(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  gfx_tss(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  gfx_tss(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);

  for (uint32_t s = 0; s < 2; s++) {
    gfx_samp(s, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    gfx_samp(s, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    gfx_samp(s, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    gfx_samp(s, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    gfx_samp(s, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
  }

  // Lit geometry takes its diffuse and ambient colour from the vertices.
  D3DMATERIAL9 mat;
  memset(&mat, 0, sizeof mat);
  mat.Diffuse.r = mat.Diffuse.g = mat.Diffuse.b = mat.Diffuse.a = 1.0f;
  mat.Ambient.r = mat.Ambient.g = mat.Ambient.b = mat.Ambient.a = 1.0f;
  dev()->SetMaterial(&mat);
}

// ---- intent-level setters --------------------------------------------------------------------------
void gfx_set_3d(const Mat4* view, const Mat4* proj) {
  if (g_matrixOk && memcmp(view, &g_curView, sizeof(Mat4)) == 0 && memcmp(proj, &g_curProj, sizeof(Mat4)) == 0)
    return;
  g_matrixOk = 1;
  g_curView = *view;
  g_curProj = *proj;
  dev()->SetTransform(D3DTS_VIEW, (const D3DMATRIX*)view);
  dev()->SetTransform(D3DTS_PROJECTION, (const D3DMATRIX*)proj);
}

void gfx_set_world(const Mat4* m) {
  int identity = memcmp(m, &kIdentity, sizeof(Mat4)) == 0;
  if (identity && g_worldIdentity) return;
  dev()->SetTransform(D3DTS_WORLD, (const D3DMATRIX*)m);
  g_worldIdentity = identity;
}

void gfx_set_lighting(int on) { gfx_rs(D3DRS_LIGHTING, on ? 1 : 0); }
void gfx_set_fog(int on) { gfx_rs(D3DRS_FOGENABLE, on ? 1 : 0); }
void gfx_zwrite(int on) { gfx_rs(D3DRS_ZWRITEENABLE, on ? 1 : 0); }
void gfx_ztest(int on) { gfx_rs(D3DRS_ZENABLE, on ? 1 : 0); }
void gfx_cull(int on) { gfx_rs(D3DRS_CULLMODE, on ? D3DCULL_CCW : D3DCULL_NONE); }

void gfx_set_fog_params(uint32_t colour, float start, float end) {
  gfx_rs(D3DRS_FOGCOLOR, colour);
  gfx_rs(D3DRS_FOGSTART, rt_bit_cast<uint32_t>(start));
  gfx_rs(D3DRS_FOGEND, rt_bit_cast<uint32_t>(end));
}

void gfx_set_sun(Vec3 dir, uint32_t colour, uint32_t ambient) {
  D3DLIGHT9 light;
  memset(&light, 0, sizeof light);
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse.r = (float)((colour >> 16) & 255) / 255.0f;
  light.Diffuse.g = (float)((colour >> 8) & 255) / 255.0f;
  light.Diffuse.b = (float)(colour & 255) / 255.0f;
  light.Diffuse.a = 1.0f;
  float len = f_sqrt(dir.x * dir.x + dir.y * dir.y + dir.z * dir.z);
  if (len > 0.000001f) {
    light.Direction.x = dir.x / len;
    light.Direction.y = dir.y / len;
    light.Direction.z = dir.z / len;
  }
  light.Range = 1000.0f;
  dev()->SetLight(0, &light);
  dev()->LightEnable(0, TRUE);
  gfx_rs(D3DRS_AMBIENT, ambient);
}

void gfx_blend_mode(int mode) {
  if (mode == 0) {
    gfx_rs(D3DRS_ALPHABLENDENABLE, 0);
    gfx_rs(D3DRS_ALPHATESTENABLE, 1);
    return;
  }
  gfx_rs(D3DRS_ALPHABLENDENABLE, 1);
  gfx_rs(D3DRS_ALPHATESTENABLE, 0);
  gfx_rs(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  gfx_rs(D3DRS_DESTBLEND, mode == 2 ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
}

void gfx_glow_states() {
  gfx_set_lighting(0);
  gfx_set_fog(0);
  gfx_zwrite(0);
  gfx_rs(D3DRS_ALPHATESTENABLE, 0);
  gfx_rs(D3DRS_ALPHABLENDENABLE, 1);
  gfx_rs(D3DRS_SRCBLEND, D3DBLEND_ONE);
  gfx_rs(D3DRS_DESTBLEND, D3DBLEND_ONE);
}

void gfx_tint(uint32_t colour) {
  if (colour == 0xFFFFFFFFu) {
    gfx_tss(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    gfx_tss(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    return;
  }
  gfx_rs(D3DRS_TEXTUREFACTOR, colour);
  gfx_tss(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  gfx_tss(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
  gfx_tss(1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
  gfx_tss(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  gfx_tss(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
}

// ---- immediate draws -------------------------------------------------------------------------------------
void gfx_draw_up(uint32_t primType, uint32_t primCount, const void* verts, uint32_t stride) {
  dev()->DrawPrimitiveUP((D3DPRIMITIVETYPE)primType, (UINT)primCount, verts, (UINT)stride);
  g_curVB = nullptr;  // the device unbinds stream 0 after a user-pointer draw
}

void gfx_draw_iup(uint32_t primType, uint32_t minIndex, uint32_t numVerts, uint32_t primCount, const void* indices,
                  uint32_t indexFormat, const void* verts, uint32_t stride) {
  dev()->DrawIndexedPrimitiveUP((D3DPRIMITIVETYPE)primType, (UINT)minIndex, (UINT)numVerts, (UINT)primCount, indices,
                                (D3DFORMAT)indexFormat, verts, (UINT)stride);
  g_curVB = nullptr;
  g_curIB = nullptr;
}
