// The software device: creation, state, resources, clearing, presentation,
// loss and reset. Drawing is in draw.cpp and raster.cpp.
#include <SDL.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "soft/soft_internal.h"

namespace soft {

static inline DWORD fbits(float f) {
  DWORD d;
  memcpy(&d, &f, 4);
  return d;
}

static HRESULT hook_code(HRESULT typical) { return g_softHooks.failCode ? g_softHooks.failCode : typical; }

void SoftDevice::count(int call) {
  g_softHooks.calls[call]++;
  g_softHooks.deviceCalls++;
}

void SoftDevice::ref_intl() { intl++; }

void SoftDevice::unref_intl() {
  if (intl > 0) intl--;
  if (pub == 0 && intl == 0) destroy();
}

// Drops every binding the device holds (render target, depth, textures,
// streams), releasing the internal references they carry.
void SoftDevice::unbind_all() {
  intl++;  // the releases below must not end the device midway
  for (int i = 0; i < MAX_STAGES; i++) {
    if (st.tex[i]) {
      SoftTexture* t = st.tex[i];
      st.tex[i] = nullptr;
      t->unref_intl();
    }
  }
  if (st.vb) {
    SoftVB* v = st.vb;
    st.vb = nullptr;
    v->unref_intl();
  }
  if (st.ib) {
    SoftIB* b = st.ib;
    st.ib = nullptr;
    b->unref_intl();
  }
  if (st.rt) {
    SoftSurface* s = st.rt;
    st.rt = nullptr;
    s->unref_intl();
  }
  if (st.ds) {
    SoftSurface* s = st.ds;
    st.ds = nullptr;
    s->unref_intl();
  }
  intl--;
}

static void free_implicit(SoftSurface*& s) {
  if (!s) return;
  s->dev = nullptr;
  s->destroy();
  s = nullptr;
}

void SoftDevice::destroy() {
  unbind_all();
  present_release(this);
  free_implicit(backBuffer);
  free_implicit(autoDepth);
  free(scratch.verts);
  free(triScratch.tris);
  SoftD3D* d = d3d;
  this->~SoftDevice();
  obj_free(this);
  if (d) {
    if (d->intl > 0) d->intl--;
    if (d->pub == 0 && d->intl == 0) d->destroy();
  }
}

static SoftSurface* implicit_surface(SoftDevice* dev, UINT w, UINT h, D3DFORMAT fmt, DWORD usage) {
  SoftSurface* s = surface_create(nullptr, w, h, fmt, usage, D3DPOOL_DEFAULT);
  if (!s) return nullptr;
  s->dev = dev;
  s->implicit = 1;
  s->pub = 0;
  return s;
}

// Back buffer and automatic depth buffer from pp (already validated).
int SoftDevice::create_back_buffer() {
  backBuffer = implicit_surface(this, pp.BackBufferWidth, pp.BackBufferHeight, D3DFMT_X8R8G8B8,
                                D3DUSAGE_RENDERTARGET);
  if (!backBuffer) return 0;
  backBuffer->lockable = (pp.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
  if (pp.EnableAutoDepthStencil) {
    autoDepth = implicit_surface(this, pp.BackBufferWidth, pp.BackBufferHeight, pp.AutoDepthStencilFormat,
                                 D3DUSAGE_DEPTHSTENCIL);
    if (!autoDepth) {
      free_implicit(backBuffer);
      return 0;
    }
  }
  return 1;
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

// Checks and completes present parameters as Direct3D 9 does: a zero size
// in a window takes the window's size, a zero back-buffer count means one.
HRESULT check_pp(D3DPRESENT_PARAMETERS* pp, HWND focus) {
  if (pp->BackBufferCount > 3) return D3DERR_INVALIDCALL;
  if (pp->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
  if (pp->SwapEffect < D3DSWAPEFFECT_DISCARD || pp->SwapEffect > D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
  if (pp->BackBufferFormat != D3DFMT_X8R8G8B8 && pp->BackBufferFormat != D3DFMT_A8R8G8B8 &&
      !(pp->Windowed && pp->BackBufferFormat == D3DFMT_UNKNOWN))
    return D3DERR_INVALIDCALL;
  if (pp->EnableAutoDepthStencil && !format_is_depth(pp->AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
  HWND win = pp->hDeviceWindow ? pp->hDeviceWindow : focus;
  if (!pp->Windowed && (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0)) return D3DERR_INVALIDCALL;
  if (pp->Windowed && (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0)) {
    int w = 640, h = 480;
    if (win && SDL_WasInit(SDL_INIT_VIDEO)) SDL_GetWindowSize((SDL_Window*)win, &w, &h);
    if (w < 1) w = 1;
    if (h < 1) h = 1;
    if (pp->BackBufferWidth == 0) pp->BackBufferWidth = (UINT)w;
    if (pp->BackBufferHeight == 0) pp->BackBufferHeight = (UINT)h;
  }
  if (pp->BackBufferWidth > MAX_DIM || pp->BackBufferHeight > MAX_DIM) return D3DERR_INVALIDCALL;
  if (pp->BackBufferCount == 0) pp->BackBufferCount = 1;
  if (pp->BackBufferFormat == D3DFMT_UNKNOWN) pp->BackBufferFormat = D3DFMT_X8R8G8B8;
  return D3D_OK;
}

HRESULT device_create(SoftD3D* d3d, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* ppIn, IDirect3DDevice9** out) {
  D3DPRESENT_PARAMETERS pp = *ppIn;
  HRESULT hr = check_pp(&pp, focus);
  if (FAILED(hr)) return hr;
  void* mem = obj_alloc(sizeof(SoftDevice));
  if (!mem) return E_OUTOFMEMORY;
  SoftDevice* d = new (mem) SoftDevice();
  d->pub = 1;
  d->d3d = d3d;
  d->focus = focus;
  d->behavior = flags;
  d->pp = pp;
  if (!d->create_back_buffer()) {
    d->~SoftDevice();
    obj_free(mem);
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  d->reset_state();
  d3d->intl++;
  *ppIn = pp;
  *out = d;
  return D3D_OK;
}

int SoftDevice::lost_now() { return g_softHooks.lost || resetFailed; }

// ---- IUnknown --------------------------------------------------------------------------
HRESULT SoftDevice::QueryInterface(REFIID, void** ppvObject) {
  count(SC_QueryInterface);
  if (ppvObject) *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG SoftDevice::AddRef() {
  count(SC_AddRef);
  return ++pub;
}

ULONG SoftDevice::Release() {
  count(SC_Release);
  if (pub == 0) return 0;
  ULONG n = --pub;
  if (n > 0) return n;
  // The application let go: drop the bindings (they may be the last
  // references to resources, which in turn hold the device).
  intl++;
  unbind_all();
  intl--;
  if (intl == 0) destroy();
  return 0;
}

// ---- device status, loss, reset and presentation -----------------------------------------
HRESULT SoftDevice::TestCooperativeLevel() {
  count(SC_TestCooperativeLevel);
  if (g_softHooks.lost) {
    if (g_softHooks.lostPolls > 0) {
      g_softHooks.lostPolls--;
      return D3DERR_DEVICELOST;
    }
    return D3DERR_DEVICENOTRESET;
  }
  return resetFailed ? D3DERR_DEVICENOTRESET : D3D_OK;
}

UINT SoftDevice::GetAvailableTextureMem() {
  count(SC_GetAvailableTextureMem);
  return 256u << 20;
}

HRESULT SoftDevice::EvictManagedResources() {
  count(SC_EvictManagedResources);
  return D3D_OK;
}

HRESULT SoftDevice::GetDirect3D(IDirect3D9** out) {
  count(SC_GetDirect3D);
  if (!out) return D3DERR_INVALIDCALL;
  *out = d3d;
  d3d->pub++;
  return D3D_OK;
}

HRESULT SoftDevice::GetDeviceCaps(D3DCAPS9*) {
  count(SC_GetDeviceCaps);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetDisplayMode(UINT swapchain, D3DDISPLAYMODE* m) {
  count(SC_GetDisplayMode);
  if (swapchain != 0 || !m) return D3DERR_INVALIDCALL;
  if (pp.Windowed) return d3d->GetAdapterDisplayMode(0, m);
  m->Width = pp.BackBufferWidth;
  m->Height = pp.BackBufferHeight;
  m->RefreshRate = pp.FullScreen_RefreshRateInHz ? pp.FullScreen_RefreshRateInHz : 60;
  m->Format = D3DFMT_X8R8G8B8;
  return D3D_OK;
}

HRESULT SoftDevice::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* p) {
  count(SC_GetCreationParameters);
  if (!p) return D3DERR_INVALIDCALL;
  p->AdapterOrdinal = 0;
  p->DeviceType = D3DDEVTYPE_HAL;
  p->hFocusWindow = focus;
  p->BehaviorFlags = behavior;
  return D3D_OK;
}

HRESULT SoftDevice::SetCursorProperties(UINT, UINT, IDirect3DSurface9*) {
  count(SC_SetCursorProperties);
  return D3DERR_INVALIDCALL;
}

void SoftDevice::SetCursorPosition(int, int, DWORD) { count(SC_SetCursorPosition); }

WINBOOL SoftDevice::ShowCursor(WINBOOL) {
  count(SC_ShowCursor);
  return FALSE;
}

HRESULT SoftDevice::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9** out) {
  count(SC_CreateAdditionalSwapChain);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetSwapChain(UINT, IDirect3DSwapChain9** out) {
  count(SC_GetSwapChain);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

UINT SoftDevice::GetNumberOfSwapChains() {
  count(SC_GetNumberOfSwapChains);
  return 1;
}

HRESULT SoftDevice::Reset(D3DPRESENT_PARAMETERS* ppIn) {
  count(SC_Reset);
  if (!ppIn) return D3DERR_INVALIDCALL;
  if (g_softHooks.lost && g_softHooks.lostPolls > 0) return D3DERR_DEVICELOST;  // not resettable yet
  // Like Direct3D 9: every default-pool resource and every reference to the
  // back buffer must be gone first.
  if (defaultPub > 0 || (backBuffer && backBuffer->pub > 0) || (autoDepth && autoDepth->pub > 0)) {
    resetFailed = 1;
    return D3DERR_INVALIDCALL;
  }
  D3DPRESENT_PARAMETERS np = *ppIn;
  HRESULT hr = check_pp(&np, focus);
  if (SUCCEEDED(hr) && (g_softHooks.failReset || (!np.Windowed && g_softHooks.failFullscreenReset)))
    hr = hook_code(D3DERR_INVALIDCALL);
  if (FAILED(hr)) {
    resetFailed = 1;
    return hr;
  }
  unbind_all();
  present_release(this);
  free_implicit(backBuffer);
  free_implicit(autoDepth);
  D3DPRESENT_PARAMETERS old = pp;
  pp = np;
  if (!create_back_buffer()) {
    pp = old;
    if (!create_back_buffer()) {
      // Not even the old size fits any more: keep a minimal target so the
      // device never works without one.
      pp.BackBufferWidth = pp.BackBufferHeight = 1;
      pp.EnableAutoDepthStencil = FALSE;
      create_back_buffer();
    }
    reset_state();
    resetFailed = 1;
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  reset_state();
  inScene = 0;
  resetFailed = 0;
  g_softHooks.lost = 0;
  *ppIn = np;
  return D3D_OK;
}

HRESULT SoftDevice::Present(const RECT*, const RECT*, HWND overrideWin, const RGNDATA*) {
  count(SC_Present);
  if (lost_now()) return D3DERR_DEVICELOST;
  HWND win = overrideWin ? overrideWin : (pp.hDeviceWindow ? pp.hDeviceWindow : focus);
  present_to_window(this, win);
  return D3D_OK;
}

HRESULT SoftDevice::GetBackBuffer(UINT swapchain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** out) {
  count(SC_GetBackBuffer);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (swapchain != 0 || index >= pp.BackBufferCount || type != D3DBACKBUFFER_TYPE_MONO || !backBuffer)
    return D3DERR_INVALIDCALL;
  *out = backBuffer;
  backBuffer->AddRef();
  return D3D_OK;
}

HRESULT SoftDevice::GetRasterStatus(UINT swapchain, D3DRASTER_STATUS* s) {
  count(SC_GetRasterStatus);
  if (swapchain != 0 || !s) return D3DERR_INVALIDCALL;
  s->InVBlank = FALSE;
  s->ScanLine = 0;
  return D3D_OK;
}

HRESULT SoftDevice::SetDialogBoxMode(WINBOOL) {
  count(SC_SetDialogBoxMode);
  return D3D_OK;
}

void SoftDevice::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP*) { count(SC_SetGammaRamp); }

void SoftDevice::GetGammaRamp(UINT, D3DGAMMARAMP* ramp) {
  count(SC_GetGammaRamp);
  if (!ramp) return;
  for (int i = 0; i < 256; i++) ramp->red[i] = ramp->green[i] = ramp->blue[i] = (WORD)(i * 257);
}

// ---- resources --------------------------------------------------------------------------------
HRESULT SoftDevice::CreateTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT fmt, D3DPOOL pool,
                                  IDirect3DTexture9** out, HANDLE* shared) {
  count(SC_CreateTexture);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (shared) return D3DERR_INVALIDCALL;
  if (fmt != D3DFMT_A8R8G8B8 && fmt != D3DFMT_X8R8G8B8) return D3DERR_INVALIDCALL;
  if (pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  if (usage & D3DUSAGE_DEPTHSTENCIL) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) && g_softHooks.failRtTexture) return hook_code(D3DERR_OUTOFVIDEOMEMORY);
  if (w < 1 || h < 1 || w > MAX_DIM || h > MAX_DIM) return D3DERR_INVALIDCALL;
  UINT full = 1;
  for (UINT m = w > h ? w : h; m > 1; m >>= 1) full++;
  if (levels > full) return D3DERR_INVALIDCALL;
  SoftTexture* t = texture_create(this, w, h, levels, usage, fmt, pool);
  if (!t) return D3DERR_OUTOFVIDEOMEMORY;
  *out = t;
  return D3D_OK;
}

HRESULT SoftDevice::CreateVolumeTexture(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                        IDirect3DVolumeTexture9** out, HANDLE*) {
  count(SC_CreateVolumeTexture);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9** out,
                                      HANDLE*) {
  count(SC_CreateCubeTexture);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** out, HANDLE* shared) {
  count(SC_CreateVertexBuffer);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (shared || pool > D3DPOOL_SYSTEMMEM || length == 0) return D3DERR_INVALIDCALL;
  if (g_softHooks.failVertexBuffer) return hook_code(D3DERR_OUTOFVIDEOMEMORY);
  SoftVB* v = vb_create(this, length, usage, fvf, pool);
  if (!v) return D3DERR_OUTOFVIDEOMEMORY;
  *out = v;
  return D3D_OK;
}

HRESULT SoftDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT fmt, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** out, HANDLE* shared) {
  count(SC_CreateIndexBuffer);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (shared || pool > D3DPOOL_SYSTEMMEM || length == 0) return D3DERR_INVALIDCALL;
  if (fmt != D3DFMT_INDEX16 && fmt != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
  if (g_softHooks.failIndexBuffer) return hook_code(D3DERR_OUTOFVIDEOMEMORY);
  SoftIB* b = ib_create(this, length, usage, fmt, pool);
  if (!b) return D3DERR_OUTOFVIDEOMEMORY;
  *out = b;
  return D3D_OK;
}

HRESULT SoftDevice::CreateRenderTarget(UINT w, UINT h, D3DFORMAT fmt, D3DMULTISAMPLE_TYPE ms, DWORD,
                                       WINBOOL lockable, IDirect3DSurface9** out, HANDLE* shared) {
  count(SC_CreateRenderTarget);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (shared || (fmt != D3DFMT_A8R8G8B8 && fmt != D3DFMT_X8R8G8B8)) return D3DERR_INVALIDCALL;
  if (ms != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
  SoftSurface* s = surface_create(this, w, h, fmt, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
  if (!s) return (w < 1 || h < 1 || w > MAX_DIM || h > MAX_DIM) ? D3DERR_INVALIDCALL : D3DERR_OUTOFVIDEOMEMORY;
  s->lockable = lockable != 0;
  *out = s;
  return D3D_OK;
}

HRESULT SoftDevice::CreateDepthStencilSurface(UINT w, UINT h, D3DFORMAT fmt, D3DMULTISAMPLE_TYPE ms, DWORD,
                                              WINBOOL, IDirect3DSurface9** out, HANDLE* shared) {
  count(SC_CreateDepthStencilSurface);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (shared || !format_is_depth(fmt)) return D3DERR_INVALIDCALL;
  if (ms != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
  if ((fmt == D3DFMT_D24X8 && g_softHooks.failD24X8) || (fmt == D3DFMT_D16 && g_softHooks.failD16))
    return hook_code(D3DERR_NOTAVAILABLE);
  SoftSurface* s = surface_create(this, w, h, fmt, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
  if (!s) return (w < 1 || h < 1 || w > MAX_DIM || h > MAX_DIM) ? D3DERR_INVALIDCALL : D3DERR_OUTOFVIDEOMEMORY;
  *out = s;
  return D3D_OK;
}

HRESULT SoftDevice::UpdateSurface(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const POINT*) {
  count(SC_UpdateSurface);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::UpdateTexture(IDirect3DBaseTexture9*, IDirect3DBaseTexture9*) {
  count(SC_UpdateTexture);
  return D3DERR_INVALIDCALL;
}

static int is_render_target(const SoftSurface* s) {
  if (s->container) return (s->container->usage & D3DUSAGE_RENDERTARGET) != 0;
  return (s->usage & D3DUSAGE_RENDERTARGET) != 0;
}

HRESULT SoftDevice::GetRenderTargetData(IDirect3DSurface9* src, IDirect3DSurface9* dst) {
  count(SC_GetRenderTargetData);
  if (!src || !dst) return D3DERR_INVALIDCALL;
  SoftSurface* s = surface_from(src);
  SoftSurface* d = surface_from(dst);
  if (s == d || !is_render_target(s)) return D3DERR_INVALIDCALL;
  D3DPOOL dpool = d->container ? d->container->pool : d->pool;
  if (dpool != D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
  if (s->img.w != d->img.w || s->img.h != d->img.h || s->fmt != d->fmt) return D3DERR_INVALIDCALL;
  for (int y = 0; y < s->img.h; y++)
    memcpy(d->img.px + (size_t)y * d->img.pitch, s->img.px + (size_t)y * s->img.pitch, (size_t)s->img.w * 4);
  return D3D_OK;
}

HRESULT SoftDevice::GetFrontBufferData(UINT, IDirect3DSurface9*) {
  count(SC_GetFrontBufferData);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::StretchRect(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*,
                                D3DTEXTUREFILTERTYPE) {
  count(SC_StretchRect);
  return D3DERR_INVALIDCALL;
}

static void fill_rect(Image& img, int x0, int y0, int x1, int y1, uint32_t v) {
  typedef uint32_t u4a __attribute__((vector_size(16), aligned(4)));
  if (x0 < 0) x0 = 0;
  if (y0 < 0) y0 = 0;
  if (x1 > img.w) x1 = img.w;
  if (y1 > img.h) y1 = img.h;
  const u4a v4 = {v, v, v, v};
  for (int y = y0; y < y1; y++) {
    uint32_t* p = img.px + (size_t)y * img.pitch;
    int x = x0;
    for (; x + 4 <= x1; x += 4) *(u4a*)(p + x) = v4;
    for (; x < x1; x++) p[x] = v;
  }
}

HRESULT SoftDevice::ColorFill(IDirect3DSurface9* surface, const RECT* r, D3DCOLOR colour) {
  count(SC_ColorFill);
  if (!surface) return D3DERR_INVALIDCALL;
  SoftSurface* s = surface_from(surface);
  D3DPOOL pool = s->container ? s->container->pool : s->pool;
  if (pool != D3DPOOL_DEFAULT || format_is_depth(s->fmt)) return D3DERR_INVALIDCALL;
  if (s->fmt == D3DFMT_X8R8G8B8) colour |= 0xFF000000u;
  if (r) {
    if (r->left < 0 || r->top < 0 || r->right > s->img.w || r->bottom > s->img.h || r->left > r->right ||
        r->top > r->bottom)
      return D3DERR_INVALIDCALL;
    fill_rect(s->img, r->left, r->top, r->right, r->bottom, colour);
  } else {
    fill_rect(s->img, 0, 0, s->img.w, s->img.h, colour);
  }
  return D3D_OK;
}

HRESULT SoftDevice::CreateOffscreenPlainSurface(UINT w, UINT h, D3DFORMAT fmt, D3DPOOL pool,
                                                IDirect3DSurface9** out, HANDLE* shared) {
  count(SC_CreateOffscreenPlainSurface);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (shared || (fmt != D3DFMT_A8R8G8B8 && fmt != D3DFMT_X8R8G8B8)) return D3DERR_INVALIDCALL;
  if (pool == D3DPOOL_MANAGED || pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  SoftSurface* s = surface_create(this, w, h, fmt, 0, pool);
  if (!s) return (w < 1 || h < 1 || w > MAX_DIM || h > MAX_DIM) ? D3DERR_INVALIDCALL : D3DERR_OUTOFVIDEOMEMORY;
  s->lockable = 1;
  *out = s;
  return D3D_OK;
}

// ---- targets and scene ----------------------------------------------------------------------------
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

HRESULT SoftDevice::Clear(DWORD n, const D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z, DWORD) {
  count(SC_Clear);
  if (n > 0 && !rects) return D3DERR_INVALIDCALL;
  if (flags & ~(DWORD)(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) return D3DERR_INVALIDCALL;
  if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !st.ds) return D3DERR_INVALIDCALL;
  if ((flags & D3DCLEAR_STENCIL) && st.ds->fmt != D3DFMT_D24S8 && st.ds->fmt != D3DFMT_D24X4S4 &&
      st.ds->fmt != D3DFMT_D15S1)
    return D3DERR_INVALIDCALL;
  if (!st.rt) return D3DERR_INVALIDCALL;
  if (!(z >= 0.0f)) z = 0.0f;  // NaN too
  if (z > 1.0f) z = 1.0f;
  // Inside the viewport (and the scissor rectangle when that test is on).
  long vx0 = (long)st.vp.X, vy0 = (long)st.vp.Y;
  long vx1 = vx0 + (long)st.vp.Width, vy1 = vy0 + (long)st.vp.Height;
  if (st.rs[D3DRS_SCISSORTESTENABLE]) {
    if (st.scissor.left > vx0) vx0 = st.scissor.left;
    if (st.scissor.top > vy0) vy0 = st.scissor.top;
    if (st.scissor.right < vx1) vx1 = st.scissor.right;
    if (st.scissor.bottom < vy1) vy1 = st.scissor.bottom;
  }
  uint32_t c = st.rt->fmt == D3DFMT_X8R8G8B8 ? (colour | 0xFF000000u) : colour;
  DWORD count = n ? n : 1;
  for (DWORD i = 0; i < count; i++) {
    long x0 = vx0, y0 = vy0, x1 = vx1, y1 = vy1;
    if (n) {
      if (rects[i].x1 > x0) x0 = rects[i].x1;
      if (rects[i].y1 > y0) y0 = rects[i].y1;
      if (rects[i].x2 < x1) x1 = rects[i].x2;
      if (rects[i].y2 < y1) y1 = rects[i].y2;
    }
    if (x0 >= x1 || y0 >= y1) continue;
    if (flags & D3DCLEAR_TARGET) fill_rect(st.rt->img, (int)x0, (int)y0, (int)x1, (int)y1, c);
    if (flags & D3DCLEAR_ZBUFFER) {
      uint32_t m = depth_max(st.ds->fmt);
      uint32_t dv = (uint32_t)lrint((double)z * m);
      fill_rect(st.ds->img, (int)x0, (int)y0, (int)x1, (int)y1, dv);
    }
  }
  return D3D_OK;
}

// ---- transforms, viewport, material, lights ------------------------------------------------------
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

HRESULT SoftDevice::CreateStateBlock(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9** out) {
  count(SC_CreateStateBlock);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::BeginStateBlock() {
  count(SC_BeginStateBlock);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::EndStateBlock(IDirect3DStateBlock9** out) {
  count(SC_EndStateBlock);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
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

HRESULT SoftDevice::SetPaletteEntries(UINT, const PALETTEENTRY*) {
  count(SC_SetPaletteEntries);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetPaletteEntries(UINT, PALETTEENTRY*) {
  count(SC_GetPaletteEntries);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetCurrentTexturePalette(UINT) {
  count(SC_SetCurrentTexturePalette);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetCurrentTexturePalette(UINT*) {
  count(SC_GetCurrentTexturePalette);
  return D3DERR_INVALIDCALL;
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

HRESULT SoftDevice::SetNPatchMode(float n) {
  count(SC_SetNPatchMode);
  return n == 0.0f ? D3D_OK : D3DERR_INVALIDCALL;
}

float SoftDevice::GetNPatchMode() {
  count(SC_GetNPatchMode);
  return 0.0f;
}

// ---- drawing entry points ---------------------------------------------------------------------------
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

HRESULT SoftDevice::ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*,
                                    DWORD) {
  count(SC_ProcessVertices);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9** out) {
  count(SC_CreateVertexDeclaration);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* d) {
  count(SC_SetVertexDeclaration);
  return d ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT SoftDevice::GetVertexDeclaration(IDirect3DVertexDeclaration9** out) {
  count(SC_GetVertexDeclaration);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  return D3D_OK;
}

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

HRESULT SoftDevice::CreateVertexShader(const DWORD*, IDirect3DVertexShader9** out) {
  count(SC_CreateVertexShader);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetVertexShader(IDirect3DVertexShader9* s) {
  count(SC_SetVertexShader);
  return s ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT SoftDevice::GetVertexShader(IDirect3DVertexShader9** out) {
  count(SC_GetVertexShader);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  return D3D_OK;
}

HRESULT SoftDevice::SetVertexShaderConstantF(UINT, const float*, UINT) {
  count(SC_SetVertexShaderConstantF);
  return D3DERR_INVALIDCALL;
}
HRESULT SoftDevice::GetVertexShaderConstantF(UINT, float*, UINT) {
  count(SC_GetVertexShaderConstantF);
  return D3DERR_INVALIDCALL;
}
HRESULT SoftDevice::SetVertexShaderConstantI(UINT, const int*, UINT) {
  count(SC_SetVertexShaderConstantI);
  return D3DERR_INVALIDCALL;
}
HRESULT SoftDevice::GetVertexShaderConstantI(UINT, int*, UINT) {
  count(SC_GetVertexShaderConstantI);
  return D3DERR_INVALIDCALL;
}
HRESULT SoftDevice::SetVertexShaderConstantB(UINT, const WINBOOL*, UINT) {
  count(SC_SetVertexShaderConstantB);
  return D3DERR_INVALIDCALL;
}
HRESULT SoftDevice::GetVertexShaderConstantB(UINT, WINBOOL*, UINT) {
  count(SC_GetVertexShaderConstantB);
  return D3DERR_INVALIDCALL;
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

HRESULT SoftDevice::SetStreamSourceFreq(UINT stream, UINT divider) {
  count(SC_SetStreamSourceFreq);
  return stream < 16 && divider == 1 ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::GetStreamSourceFreq(UINT stream, UINT* divider) {
  count(SC_GetStreamSourceFreq);
  if (stream >= 16 || !divider) return D3DERR_INVALIDCALL;
  *divider = 1;
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

HRESULT SoftDevice::CreatePixelShader(const DWORD*, IDirect3DPixelShader9** out) {
  count(SC_CreatePixelShader);
  if (out) *out = nullptr;
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::SetPixelShader(IDirect3DPixelShader9* s) {
  count(SC_SetPixelShader);
  return s ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT SoftDevice::GetPixelShader(IDirect3DPixelShader9** out) {
  count(SC_GetPixelShader);
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  return D3D_OK;
}

HRESULT SoftDevice::SetPixelShaderConstantF(UINT, const float*, UINT) {
  count(SC_SetPixelShaderConstantF);
  return D3DERR_INVALIDCALL;
}
HRESULT SoftDevice::GetPixelShaderConstantF(UINT, float*, UINT) {
  count(SC_GetPixelShaderConstantF);
  return D3DERR_INVALIDCALL;
}
HRESULT SoftDevice::SetPixelShaderConstantI(UINT, const int*, UINT) {
  count(SC_SetPixelShaderConstantI);
  return D3DERR_INVALIDCALL;
}
HRESULT SoftDevice::GetPixelShaderConstantI(UINT, int*, UINT) {
  count(SC_GetPixelShaderConstantI);
  return D3DERR_INVALIDCALL;
}
HRESULT SoftDevice::SetPixelShaderConstantB(UINT, const WINBOOL*, UINT) {
  count(SC_SetPixelShaderConstantB);
  return D3DERR_INVALIDCALL;
}
HRESULT SoftDevice::GetPixelShaderConstantB(UINT, WINBOOL*, UINT) {
  count(SC_GetPixelShaderConstantB);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::DrawRectPatch(UINT, const float*, const D3DRECTPATCH_INFO*) {
  count(SC_DrawRectPatch);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::DrawTriPatch(UINT, const float*, const D3DTRIPATCH_INFO*) {
  count(SC_DrawTriPatch);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::DeletePatch(UINT) {
  count(SC_DeletePatch);
  return D3DERR_INVALIDCALL;
}

HRESULT SoftDevice::CreateQuery(D3DQUERYTYPE, IDirect3DQuery9** out) {
  count(SC_CreateQuery);
  if (out) *out = nullptr;
  return D3DERR_NOTAVAILABLE;
}

}  // namespace soft
