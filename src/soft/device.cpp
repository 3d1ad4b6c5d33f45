// The software device's lifetime: the Direct3D object and device creation,
// reference counts, loss, Reset and presentation; the entry point and the
// test hooks.
#include <stdlib.h>
#include <string.h>

#include <new>

#include "soft/soft_internal.h"

SoftHooks g_softHooks;

void soft_hooks_reset() { memset(&g_softHooks, 0, sizeof g_softHooks); }

void soft_hooks_reset_counters() {
  memset(g_softHooks.calls, 0, sizeof g_softHooks.calls);
  g_softHooks.deviceCalls = 0;
  g_softHooks.draws = 0;
  g_softHooks.triangles = 0;
  g_softHooks.createDevices = 0;
  memset(g_softHooks.createFlags, 0, sizeof g_softHooks.createFlags);
  memset(g_softHooks.createWindowed, 0, sizeof g_softHooks.createWindowed);
}

static int g_live;

int soft_live_objects() { return g_live; }

namespace soft {

void live_add() { g_live++; }

void live_sub() { g_live--; }

void* obj_alloc(size_t size) {
  void* p = calloc(1, size);
  if (p) live_add();
  return p;
}

void obj_free(void* p) {
  if (!p) return;
  live_sub();
  free(p);
}

// ---- the Direct3D object ------------------------------------------------------------------------
void SoftD3D::destroy() {
  this->~SoftD3D();
  obj_free(this);
}

HRESULT SoftD3D::QueryInterface(REFIID, void** ppvObject) {
  if (ppvObject) *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG SoftD3D::AddRef() { return ++pub; }

ULONG SoftD3D::Release() {
  if (pub == 0) return 0;
  ULONG n = --pub;
  if (n == 0 && intl == 0) destroy();
  return n;
}

UINT SoftD3D::GetAdapterCount() { return 1; }

// The display mode the device reports: the tests' choice, else the desktop
// when the window system knows it, else 1024 x 768.
static void current_mode(D3DDISPLAYMODE* m) {
  int w = 1024, h = 768, rate = 60;
  if (g_softHooks.modeW > 0 && g_softHooks.modeH > 0) {
    w = g_softHooks.modeW;
    h = g_softHooks.modeH;
  } else {
    present_desktop_mode(&w, &h, &rate);
  }
  m->Width = (UINT)w;
  m->Height = (UINT)h;
  m->RefreshRate = (UINT)rate;
  m->Format = D3DFMT_X8R8G8B8;
}

UINT SoftD3D::GetAdapterModeCount(UINT adapter, D3DFORMAT fmt) {
  return adapter == 0 && fmt == D3DFMT_X8R8G8B8 ? 1 : 0;
}

HRESULT SoftD3D::EnumAdapterModes(UINT adapter, D3DFORMAT fmt, UINT mode, D3DDISPLAYMODE* out) {
  if (adapter != 0 || fmt != D3DFMT_X8R8G8B8 || mode != 0 || !out) return D3DERR_INVALIDCALL;
  current_mode(out);
  return D3D_OK;
}

HRESULT SoftD3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* out) {
  if (adapter != 0 || !out) return D3DERR_INVALIDCALL;
  if (g_softHooks.failDisplayMode) return hook_code(D3DERR_INVALIDCALL);
  current_mode(out);
  return D3D_OK;
}

HRESULT SoftD3D::CheckDeviceType(UINT adapter, D3DDEVTYPE, D3DFORMAT display, D3DFORMAT back, WINBOOL) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (display != D3DFMT_X8R8G8B8 && display != D3DFMT_UNKNOWN) return D3DERR_NOTAVAILABLE;
  if (!colour_format(back) && back != D3DFMT_UNKNOWN) return D3DERR_NOTAVAILABLE;
  return D3D_OK;
}

HRESULT SoftD3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE, D3DFORMAT, DWORD usage, D3DRESOURCETYPE,
                                   D3DFORMAT check) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (usage & D3DUSAGE_DEPTHSTENCIL) return format_is_depth(check) ? D3D_OK : D3DERR_NOTAVAILABLE;
  return colour_format(check) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT SoftD3D::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE, D3DFORMAT, WINBOOL,
                                            D3DMULTISAMPLE_TYPE type, DWORD* quality) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (quality) *quality = 1;
  return type == D3DMULTISAMPLE_NONE ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT SoftD3D::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT ds) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  return format_is_depth(ds) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

// ---- device creation ----------------------------------------------------------------------------
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

// Checks and completes present parameters as Direct3D 9 does: a zero size
// in a window takes the window's size, a zero back-buffer count means one.
static HRESULT check_pp(D3DPRESENT_PARAMETERS* pp, HWND focus) {
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
    if (win) present_window_size(win, &w, &h);
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

static HRESULT device_create(SoftD3D* d3d, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* ppIn,
                             IDirect3DDevice9** out) {
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

HRESULT SoftD3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp,
                              IDirect3DDevice9** out) {
  SoftHooks& h = g_softHooks;
  if (h.createDevices < 8) {
    h.createFlags[h.createDevices] = flags;
    h.createWindowed[h.createDevices] = pp ? pp->Windowed : 0;
  }
  h.createDevices++;
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (adapter != 0 || !pp) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF && type != D3DDEVTYPE_SW) return D3DERR_INVALIDCALL;
  DWORD vp = flags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                      D3DCREATE_MIXED_VERTEXPROCESSING);
  if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
      vp != D3DCREATE_MIXED_VERTEXPROCESSING)
    return D3DERR_INVALIDCALL;
  D3DPRESENT_PARAMETERS checked = *pp;
  HRESULT bad = check_pp(&checked, focus);
  if (FAILED(bad)) return bad;
  int hw = (flags & D3DCREATE_HARDWARE_VERTEXPROCESSING) != 0;
  int sw = (flags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) != 0;
  if (h.failCreate || (hw && h.failCreateHw) || (sw && h.failCreateSw) ||
      (!pp->Windowed && h.failFullscreenCreate))
    return hook_code(D3DERR_NOTAVAILABLE);
  if (hw && h.failNextHwCreate) {
    h.failNextHwCreate = 0;
    return hook_code(D3DERR_NOTAVAILABLE);
  }
  return device_create(this, focus, flags, pp, out);
}

// ---- IUnknown -----------------------------------------------------------------------------------
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

// ---- device status, loss, reset and presentation ------------------------------------------------
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

}  // namespace soft

using namespace soft;

extern "C" IDirect3D9* Direct3DCreate9(UINT sdk) {
  if ((sdk & 0x7FFFFFFFu) != D3D_SDK_VERSION) return nullptr;
  void* mem = obj_alloc(sizeof(SoftD3D));
  if (!mem) return nullptr;
  SoftD3D* d = new (mem) SoftD3D();
  d->pub = 1;
  return d;
}

void* soft_d3d9_proc(const char* name) {
  if (name && strcmp(name, "Direct3DCreate9") == 0) return (void*)&Direct3DCreate9;
  return nullptr;
}
