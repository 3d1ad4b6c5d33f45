// The software device's state setters: render, stage and sampler states,
// transforms, viewport, material, lights, the bound targets, textures and
// streams, and their Direct3D 9 defaults.
#include <string.h>

#include "soft/soft_internal.h"

namespace soft {

static inline DWORD fbits(float f) {
  DWORD d;
  memcpy(&d, &f, 4);
  return d;
}

// Every state back to the Direct3D 9 defaults, nothing bound but the back
// buffer (and the automatic depth buffer).
void SoftDevice::reset_state() {
  unbind_all();
  memset(&st, 0, sizeof st);
  DWORD* r = st.rs;
  r[D3DRS_ZENABLE] = pp.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  r[D3DRS_FILLMODE] = D3DFILL_SOLID;
  r[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  r[D3DRS_ZWRITEENABLE] = TRUE;
  r[D3DRS_LASTPIXEL] = TRUE;
  r[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  r[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  r[D3DRS_CULLMODE] = D3DCULL_CCW;
  r[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  r[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  r[D3DRS_FOGEND] = fbits(1.0f);
  r[D3DRS_FOGDENSITY] = fbits(1.0f);
  r[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
  r[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  r[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  r[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  r[D3DRS_STENCILMASK] = 0xFFFFFFFFu;
  r[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
  r[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  r[D3DRS_CLIPPING] = TRUE;
  r[D3DRS_LIGHTING] = TRUE;
  r[D3DRS_COLORVERTEX] = TRUE;
  r[D3DRS_LOCALVIEWER] = TRUE;
  r[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  r[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  r[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  r[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  r[D3DRS_POINTSIZE] = fbits(1.0f);
  r[D3DRS_POINTSIZE_MIN] = fbits(1.0f);
  r[D3DRS_POINTSCALE_A] = fbits(1.0f);
  r[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  r[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
  r[D3DRS_DEBUGMONITORTOKEN] = 0xBAADCAFEu;
  r[D3DRS_POINTSIZE_MAX] = fbits(64.0f);
  r[D3DRS_COLORWRITEENABLE] = 0xF;
  r[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  r[D3DRS_POSITIONDEGREE] = D3DDEGREE_CUBIC;
  r[D3DRS_NORMALDEGREE] = D3DDEGREE_LINEAR;
  r[D3DRS_MINTESSELLATIONLEVEL] = fbits(1.0f);
  r[D3DRS_MAXTESSELLATIONLEVEL] = fbits(1.0f);
  r[D3DRS_ADAPTIVETESS_W] = fbits(1.0f);
  r[D3DRS_CCW_STENCILFAIL] = D3DSTENCILOP_KEEP;
  r[D3DRS_CCW_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  r[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
  r[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
  r[D3DRS_COLORWRITEENABLE1] = 0xF;
  r[D3DRS_COLORWRITEENABLE2] = 0xF;
  r[D3DRS_COLORWRITEENABLE3] = 0xF;
  r[D3DRS_BLENDFACTOR] = 0xFFFFFFFFu;
  r[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
  r[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
  r[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
  for (int s = 0; s < MAX_STAGES; s++) {
    DWORD* t = st.tss[s];
    t[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    t[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    t[D3DTSS_TEXCOORDINDEX] = (DWORD)s;
    t[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    t[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
  }
  for (int s = 0; s < MAX_SAMPLERS; s++) {
    DWORD* t = st.samp[s];
    t[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    t[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    t[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    t[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    t[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    t[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    t[D3DSAMP_MAXANISOTROPY] = 1;
  }
  D3DMATRIX id;
  memset(&id, 0, sizeof id);
  id._11 = id._22 = id._33 = id._44 = 1.0f;
  st.world = st.view = st.proj = id;
  for (int i = 0; i < 8; i++) st.texm[i] = id;
  memset(lightSet, 0, sizeof lightSet);
  st.vp.X = 0;
  st.vp.Y = 0;
  st.vp.Width = pp.BackBufferWidth;
  st.vp.Height = pp.BackBufferHeight;
  st.vp.MinZ = 0.0f;
  st.vp.MaxZ = 1.0f;
  st.scissor.right = (LONG)pp.BackBufferWidth;
  st.scissor.bottom = (LONG)pp.BackBufferHeight;
  st.rt = backBuffer;
  backBuffer->ref_intl();
  if (autoDepth) {
    st.ds = autoDepth;
    autoDepth->ref_intl();
  }
}

// ---- targets and scene --------------------------------------------------------------------------
HRESULT SoftDevice::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
  count(SC_SetRenderTarget);
  if (index != 0 || !surface) return D3DERR_INVALIDCALL;
  SoftSurface* s = surface_from(surface);
  if (!is_render_target(s) || format_is_depth(s->fmt)) return D3DERR_INVALIDCALL;
  s->ref_intl();
  if (st.rt) st.rt->unref_intl();
  st.rt = s;
  // A new target resets the viewport and scissor rectangle to all of it.
  st.vp.X = st.vp.Y = 0;
  st.vp.Width = (DWORD)s->img.w;
  st.vp.Height = (DWORD)s->img.h;
  st.vp.MinZ = 0.0f;
  st.vp.MaxZ = 1.0f;
  st.scissor.left = st.scissor.top = 0;
  st.scissor.right = s->img.w;
  st.scissor.bottom = s->img.h;
  return D3D_OK;
}

HRESULT SoftDevice::GetRenderTarget(DWORD index, IDirect3DSurface9** out) {
  count(SC_GetRenderTarget);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (index != 0) return D3DERR_INVALIDCALL;
  if (!st.rt) return D3DERR_NOTFOUND;
  *out = st.rt;
  st.rt->AddRef();
  return D3D_OK;
}

HRESULT SoftDevice::SetDepthStencilSurface(IDirect3DSurface9* surface) {
  count(SC_SetDepthStencilSurface);
  SoftSurface* s = surface ? surface_from(surface) : nullptr;
  if (s && !format_is_depth(s->fmt)) return D3DERR_INVALIDCALL;
  if (s) s->ref_intl();
  if (st.ds) st.ds->unref_intl();
  st.ds = s;
  return D3D_OK;
}

HRESULT SoftDevice::GetDepthStencilSurface(IDirect3DSurface9** out) {
  count(SC_GetDepthStencilSurface);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (!st.ds) return D3DERR_NOTFOUND;
  *out = st.ds;
  st.ds->AddRef();
  return D3D_OK;
}

HRESULT SoftDevice::BeginScene() {
  count(SC_BeginScene);
  if (inScene) return D3DERR_INVALIDCALL;
  inScene = 1;
  return D3D_OK;
}

HRESULT SoftDevice::EndScene() {
  count(SC_EndScene);
  if (!inScene) return D3DERR_INVALIDCALL;
  inScene = 0;
  return D3D_OK;
}

// ---- transforms, viewport, material, lights -----------------------------------------------------
static D3DMATRIX* transform_slot(DeviceState& st, D3DTRANSFORMSTATETYPE t, D3DMATRIX* ignored) {
  DWORD s = (DWORD)t;
  if (s == D3DTS_VIEW) return &st.view;
  if (s == D3DTS_PROJECTION) return &st.proj;
  if (s == 256) return &st.world;
  if (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) return &st.texm[s - D3DTS_TEXTURE0];
  if (s > 256 && s < 512) return ignored;  // extra world matrices: vertex blending is not supported
  return nullptr;
}

HRESULT SoftDevice::SetTransform(D3DTRANSFORMSTATETYPE t, const D3DMATRIX* m) {
  count(SC_SetTransform);
  D3DMATRIX scratchM;
  D3DMATRIX* slot = transform_slot(st, t, &scratchM);
  if (!slot || !m) return D3DERR_INVALIDCALL;
  *slot = *m;
  return D3D_OK;
}

HRESULT SoftDevice::GetTransform(D3DTRANSFORMSTATETYPE t, D3DMATRIX* m) {
  count(SC_GetTransform);
  D3DMATRIX id;
  memset(&id, 0, sizeof id);
  id._11 = id._22 = id._33 = id._44 = 1.0f;
  D3DMATRIX* slot = transform_slot(st, t, &id);
  if (!slot || !m) return D3DERR_INVALIDCALL;
  *m = *slot;
  return D3D_OK;
}

HRESULT SoftDevice::MultiplyTransform(D3DTRANSFORMSTATETYPE t, const D3DMATRIX* m) {
  count(SC_MultiplyTransform);
  D3DMATRIX scratchM;
  D3DMATRIX* slot = transform_slot(st, t, &scratchM);
  if (!slot || !m) return D3DERR_INVALIDCALL;
  D3DMATRIX r;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) {
      float s = 0.0f;
      for (int k = 0; k < 4; k++) s += m->m[i][k] * slot->m[k][j];
      r.m[i][j] = s;
    }
  *slot = r;
  return D3D_OK;
}

HRESULT SoftDevice::SetViewport(const D3DVIEWPORT9* vp) {
  count(SC_SetViewport);
  if (!vp || !st.rt) return D3DERR_INVALIDCALL;
  uint64_t w = (uint64_t)st.rt->img.w, h = (uint64_t)st.rt->img.h;
  if (vp->Width == 0 || vp->Height == 0 || (uint64_t)vp->X + vp->Width > w || (uint64_t)vp->Y + vp->Height > h)
    return D3DERR_INVALIDCALL;
  st.vp = *vp;
  return D3D_OK;
}

HRESULT SoftDevice::GetViewport(D3DVIEWPORT9* vp) {
  count(SC_GetViewport);
  if (!vp) return D3DERR_INVALIDCALL;
  *vp = st.vp;
  return D3D_OK;
}

HRESULT SoftDevice::SetMaterial(const D3DMATERIAL9* m) {
  count(SC_SetMaterial);
  if (!m) return D3DERR_INVALIDCALL;
  st.mat = *m;
  return D3D_OK;
}

HRESULT SoftDevice::GetMaterial(D3DMATERIAL9* m) {
  count(SC_GetMaterial);
  if (!m) return D3DERR_INVALIDCALL;
  *m = st.mat;
  return D3D_OK;
}

HRESULT SoftDevice::SetLight(DWORD i, const D3DLIGHT9* l) {
  count(SC_SetLight);
  if (!l || i >= MAX_LIGHTS) return D3DERR_INVALIDCALL;
  if (l->Type < D3DLIGHT_POINT || l->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
  st.light[i] = *l;
  lightSet[i] = 1;
  return D3D_OK;
}

HRESULT SoftDevice::GetLight(DWORD i, D3DLIGHT9* l) {
  count(SC_GetLight);
  if (!l || i >= MAX_LIGHTS || !lightSet[i]) return D3DERR_INVALIDCALL;
  *l = st.light[i];
  return D3D_OK;
}

HRESULT SoftDevice::LightEnable(DWORD i, WINBOOL on) {
  count(SC_LightEnable);
  if (i >= MAX_LIGHTS) return D3DERR_INVALIDCALL;
  if (!lightSet[i]) {
    // Enabling a light never set gives Direct3D's default: white, shining along +z.
    D3DLIGHT9& l = st.light[i];
    memset(&l, 0, sizeof l);
    l.Type = D3DLIGHT_DIRECTIONAL;
    l.Diffuse.r = l.Diffuse.g = l.Diffuse.b = 1.0f;
    l.Direction.z = 1.0f;
    lightSet[i] = 1;
  }
  st.lightOn[i] = on ? 1 : 0;
  return D3D_OK;
}

HRESULT SoftDevice::GetLightEnable(DWORD i, WINBOOL* on) {
  count(SC_GetLightEnable);
  if (!on || i >= MAX_LIGHTS || !lightSet[i]) return D3DERR_INVALIDCALL;
  *on = st.lightOn[i] ? 128 : 0;  // Direct3D reports an enabled light as 128
  return D3D_OK;
}

HRESULT SoftDevice::SetClipPlane(DWORD i, const float* p) {
  count(SC_SetClipPlane);
  if (i >= 8 || !p) return D3DERR_INVALIDCALL;
  memcpy(st.clipPlane[i], p, sizeof st.clipPlane[i]);
  return D3D_OK;
}

HRESULT SoftDevice::GetClipPlane(DWORD i, float* p) {
  count(SC_GetClipPlane);
  if (i >= 8 || !p) return D3DERR_INVALIDCALL;
  memcpy(p, st.clipPlane[i], sizeof st.clipPlane[i]);
  return D3D_OK;
}

// ---- render, stage and sampler states -----------------------------------------------------------
HRESULT SoftDevice::SetRenderState(D3DRENDERSTATETYPE s, DWORD v) {
  count(SC_SetRenderState);
  if ((DWORD)s >= 256) return D3DERR_INVALIDCALL;
  st.rs[s] = v;
  return D3D_OK;
}

HRESULT SoftDevice::GetRenderState(D3DRENDERSTATETYPE s, DWORD* v) {
  count(SC_GetRenderState);
  if ((DWORD)s >= 256 || !v) return D3DERR_INVALIDCALL;
  *v = st.rs[s];
  return D3D_OK;
}

HRESULT SoftDevice::SetClipStatus(const D3DCLIPSTATUS9* s) {
  count(SC_SetClipStatus);
  return s ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetClipStatus(D3DCLIPSTATUS9* s) {
  count(SC_GetClipStatus);
  if (!s) return D3DERR_INVALIDCALL;
  s->ClipUnion = 0;
  s->ClipIntersection = 0;
  return D3D_OK;
}

HRESULT SoftDevice::GetTexture(DWORD stage, IDirect3DBaseTexture9** out) {
  count(SC_GetTexture);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (stage >= MAX_STAGES) return D3DERR_INVALIDCALL;
  if (st.tex[stage]) {
    *out = st.tex[stage];
    st.tex[stage]->AddRef();
  }
  return D3D_OK;
}

HRESULT SoftDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* tex) {
  count(SC_SetTexture);
  if (stage >= MAX_STAGES) return D3DERR_INVALIDCALL;
  SoftTexture* t = tex ? texture_from(tex) : nullptr;
  if (t && (t->pool == D3DPOOL_SYSTEMMEM || t->pool == D3DPOOL_SCRATCH)) return D3DERR_INVALIDCALL;
  if (t) t->ref_intl();
  if (st.tex[stage]) st.tex[stage]->unref_intl();
  st.tex[stage] = t;
  return D3D_OK;
}

HRESULT SoftDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* v) {
  count(SC_GetTextureStageState);
  if (stage >= MAX_STAGES || (DWORD)type >= 33 || !v) return D3DERR_INVALIDCALL;
  *v = st.tss[stage][type];
  return D3D_OK;
}

HRESULT SoftDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD v) {
  count(SC_SetTextureStageState);
  if (stage >= MAX_STAGES || (DWORD)type >= 33) return D3DERR_INVALIDCALL;
  st.tss[stage][type] = v;
  return D3D_OK;
}

HRESULT SoftDevice::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* v) {
  count(SC_GetSamplerState);
  if (sampler >= MAX_SAMPLERS || (DWORD)type >= 14 || !v) return D3DERR_INVALIDCALL;
  *v = st.samp[sampler][type];
  return D3D_OK;
}

HRESULT SoftDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD v) {
  count(SC_SetSamplerState);
  if (sampler >= MAX_SAMPLERS || (DWORD)type >= 14) return D3DERR_INVALIDCALL;
  st.samp[sampler][type] = v;
  return D3D_OK;
}

HRESULT SoftDevice::ValidateDevice(DWORD* passes) {
  count(SC_ValidateDevice);
  if (passes) *passes = 1;
  return D3D_OK;
}

HRESULT SoftDevice::SetScissorRect(const RECT* r) {
  count(SC_SetScissorRect);
  if (!r) return D3DERR_INVALIDCALL;
  st.scissor = *r;
  return D3D_OK;
}

HRESULT SoftDevice::GetScissorRect(RECT* r) {
  count(SC_GetScissorRect);
  if (!r) return D3DERR_INVALIDCALL;
  *r = st.scissor;
  return D3D_OK;
}

HRESULT SoftDevice::SetSoftwareVertexProcessing(WINBOOL) {
  count(SC_SetSoftwareVertexProcessing);
  return D3D_OK;
}

WINBOOL SoftDevice::GetSoftwareVertexProcessing() {
  count(SC_GetSoftwareVertexProcessing);
  return (behavior & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? TRUE : FALSE;
}

// ---- vertex and index streams -------------------------------------------------------------------
HRESULT SoftDevice::SetFVF(DWORD fvf) {
  count(SC_SetFVF);
  st.fvf = fvf;
  return D3D_OK;
}

HRESULT SoftDevice::GetFVF(DWORD* fvf) {
  count(SC_GetFVF);
  if (!fvf) return D3DERR_INVALIDCALL;
  *fvf = st.fvf;
  return D3D_OK;
}

HRESULT SoftDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buf, UINT offset, UINT stride) {
  count(SC_SetStreamSource);
  if (stream >= 16) return D3DERR_INVALIDCALL;
  if (stream != 0) return buf ? D3DERR_INVALIDCALL : D3D_OK;  // one stream is all the game needs
  SoftVB* v = buf ? vb_from(buf) : nullptr;
  if (v) v->ref_intl();
  if (st.vb) st.vb->unref_intl();
  st.vb = v;
  st.vbOffset = v ? offset : 0;
  st.vbStride = v ? stride : 0;
  return D3D_OK;
}

HRESULT SoftDevice::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** out, UINT* offset, UINT* stride) {
  count(SC_GetStreamSource);
  if (!out || !offset || !stride || stream >= 16) return D3DERR_INVALIDCALL;
  *out = stream == 0 ? st.vb : nullptr;
  *offset = stream == 0 ? st.vbOffset : 0;
  *stride = stream == 0 ? st.vbStride : 0;
  if (*out) st.vb->AddRef();
  return D3D_OK;
}

HRESULT SoftDevice::SetIndices(IDirect3DIndexBuffer9* buf) {
  count(SC_SetIndices);
  SoftIB* b = buf ? ib_from(buf) : nullptr;
  if (b) b->ref_intl();
  if (st.ib) st.ib->unref_intl();
  st.ib = b;
  return D3D_OK;
}

HRESULT SoftDevice::GetIndices(IDirect3DIndexBuffer9** out) {
  count(SC_GetIndices);
  if (!out) return D3DERR_INVALIDCALL;
  *out = st.ib;
  if (st.ib) st.ib->AddRef();
  return D3D_OK;
}

}  // namespace soft
