// The Direct3D object, textures, surfaces and buffers of the software device,
// the entry point and the test hooks.
#include <SDL.h>
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

static HRESULT hook_code(HRESULT typical) { return g_softHooks.failCode ? g_softHooks.failCode : typical; }

int format_is_depth(D3DFORMAT f) {
  return f == D3DFMT_D16 || f == D3DFMT_D16_LOCKABLE || f == D3DFMT_D24X8 || f == D3DFMT_D24S8 ||
         f == D3DFMT_D32 || f == D3DFMT_D24X4S4 || f == D3DFMT_D15S1;
}

uint32_t depth_max(D3DFORMAT f) {
  return (f == D3DFMT_D16 || f == D3DFMT_D16_LOCKABLE || f == D3DFMT_D15S1) ? 0xFFFFu : 0xFFFFFFu;
}

static int colour_format(D3DFORMAT f) { return f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8; }

static HRESULT unsupported() { return D3DERR_INVALIDCALL; }

// ---- surfaces ------------------------------------------------------------------------------
SoftSurface* surface_from(IDirect3DSurface9* s) { return static_cast<SoftSurface*>(s); }
SoftTexture* texture_from(IDirect3DBaseTexture9* t) { return static_cast<SoftTexture*>(t); }
SoftVB* vb_from(IDirect3DVertexBuffer9* b) { return static_cast<SoftVB*>(b); }
SoftIB* ib_from(IDirect3DIndexBuffer9* b) { return static_cast<SoftIB*>(b); }

SoftSurface* surface_create(SoftDevice* dev, UINT w, UINT h, D3DFORMAT fmt, DWORD usage, D3DPOOL pool) {
  if (w < 1 || h < 1 || w > MAX_DIM || h > MAX_DIM) return nullptr;
  void* mem = obj_alloc(sizeof(SoftSurface));
  if (!mem) return nullptr;
  SoftSurface* s = new (mem) SoftSurface();
  // a few pixels to spare: the rasterizer reads and writes back four at a time
  s->img.px = (uint32_t*)calloc((size_t)w * h + 8, 4);
  if (!s->img.px) {
    s->~SoftSurface();
    obj_free(mem);
    return nullptr;
  }
  s->img.w = (int)w;
  s->img.h = (int)h;
  s->img.pitch = (int)w;
  s->ownsPixels = 1;
  s->fmt = fmt;
  s->usage = usage;
  s->pool = pool;
  s->pub = 1;
  s->dev = dev;
  if (dev && pool == D3DPOOL_DEFAULT) dev->defaultPub++;
  if (format_is_depth(fmt)) {
    uint32_t m = depth_max(fmt);
    for (size_t i = 0, n = (size_t)w * h; i < n; i++) s->img.px[i] = m;
  } else if (fmt == D3DFMT_X8R8G8B8) {
    for (size_t i = 0, n = (size_t)w * h; i < n; i++) s->img.px[i] = 0xFF000000u;
  }
  if (dev) dev->ref_intl();
  return s;
}

void SoftSurface::ref_intl() {
  if (container)
    container->ref_intl();
  else
    intl++;
}

void SoftSurface::unref_intl() {
  if (container) {
    container->unref_intl();
    return;
  }
  if (intl > 0) intl--;
  if (pub == 0 && intl == 0 && !implicit) destroy();
}

void SoftSurface::destroy() {
  SoftDevice* d = implicit ? nullptr : dev;
  if (ownsPixels) free(img.px);
  this->~SoftSurface();
  obj_free(this);
  if (d) d->unref_intl();
}

HRESULT SoftSurface::QueryInterface(REFIID, void** ppvObject) {
  if (!ppvObject) return E_NOINTERFACE;
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG SoftSurface::AddRef() {
  if (container) return container->AddRef();
  if (pub++ == 0) {
    if (implicit)
      dev->ref_intl();  // held by the application: keeps the device alive
    else if (pool == D3DPOOL_DEFAULT && dev)
      dev->defaultPub++;
  }
  return pub;
}

ULONG SoftSurface::Release() {
  if (container) return container->Release();
  if (pub == 0) return 0;
  ULONG n = --pub;
  if (n > 0) return n;
  if (implicit) {
    dev->unref_intl();  // may end the device, which frees this surface
    return 0;
  }
  if (pool == D3DPOOL_DEFAULT && dev) dev->defaultPub--;
  if (intl == 0) destroy();
  return 0;
}

HRESULT SoftSurface::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  SoftDevice* d = container ? container->dev : dev;
  *ppDevice = d;
  if (d) d->pub++;
  return d ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT SoftSurface::SetPrivateData(REFGUID, const void*, DWORD, DWORD) { return unsupported(); }
HRESULT SoftSurface::GetPrivateData(REFGUID, void*, DWORD*) { return D3DERR_NOTFOUND; }
HRESULT SoftSurface::FreePrivateData(REFGUID) { return D3DERR_NOTFOUND; }
DWORD SoftSurface::SetPriority(DWORD) { return 0; }
DWORD SoftSurface::GetPriority() { return 0; }
void SoftSurface::PreLoad() {}
D3DRESOURCETYPE SoftSurface::GetType() { return D3DRTYPE_SURFACE; }
HRESULT SoftSurface::GetContainer(REFIID, void** ppContainer) {
  if (ppContainer) *ppContainer = nullptr;
  return E_NOINTERFACE;
}

HRESULT SoftSurface::GetDesc(D3DSURFACE_DESC* d) {
  if (!d) return D3DERR_INVALIDCALL;
  d->Format = fmt;
  d->Type = D3DRTYPE_SURFACE;
  d->Usage = usage;
  d->Pool = pool;
  d->MultiSampleType = D3DMULTISAMPLE_NONE;
  d->MultiSampleQuality = 0;
  d->Width = (UINT)img.w;
  d->Height = (UINT)img.h;
  return D3D_OK;
}

// Which surfaces the CPU may lock, as Direct3D 9 allows: system-memory and
// scratch surfaces, off-screen plain surfaces, lockable render targets,
// dynamic or managed texture levels; never plain depth buffers or
// render-target textures.
static int surface_lockable(const SoftSurface* s) {
  if (s->container) {
    const SoftTexture* t = s->container;
    if (t->pool != D3DPOOL_DEFAULT) return 1;
    return (t->usage & D3DUSAGE_DYNAMIC) && !(t->usage & D3DUSAGE_RENDERTARGET);
  }
  if (format_is_depth(s->fmt)) return s->fmt == D3DFMT_D16_LOCKABLE;
  if (s->pool != D3DPOOL_DEFAULT) return 1;
  return s->lockable;
}

static HRESULT lock_image(Image& img, int& locked, D3DLOCKED_RECT* out, const RECT* r) {
  if (!out) return D3DERR_INVALIDCALL;
  if (locked) return D3DERR_INVALIDCALL;
  int x = 0, y = 0;
  if (r) {
    if (r->left < 0 || r->top < 0 || r->right > img.w || r->bottom > img.h || r->left >= r->right ||
        r->top >= r->bottom)
      return D3DERR_INVALIDCALL;
    x = r->left;
    y = r->top;
  }
  out->Pitch = img.pitch * 4;
  out->pBits = img.px + (size_t)y * img.pitch + x;
  locked = 1;
  return D3D_OK;
}

HRESULT SoftSurface::LockRect(D3DLOCKED_RECT* out, const RECT* r, DWORD) {
  if (out) {
    out->Pitch = 0;
    out->pBits = nullptr;
  }
  if (!surface_lockable(this)) return D3DERR_INVALIDCALL;
  if (container) {
    // a texture level: the texture keeps the lock flag per level
    return container->LockRect((UINT)level, out, r, 0);
  }
  return lock_image(img, locked, out, r);
}

HRESULT SoftSurface::UnlockRect() {
  if (container) return container->UnlockRect((UINT)level);
  if (!locked) return D3DERR_INVALIDCALL;
  locked = 0;
  return D3D_OK;
}

HRESULT SoftSurface::GetDC(HDC*) { return unsupported(); }
HRESULT SoftSurface::ReleaseDC(HDC) { return unsupported(); }

// ---- textures ---------------------------------------------------------------------------------
static int is_pow2(int v) { return v > 0 && (v & (v - 1)) == 0; }
static int log2i(int v) {
  int n = 0;
  while ((1 << n) < v) n++;
  return n;
}

SoftTexture* texture_create(SoftDevice* dev, UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT fmt,
                            D3DPOOL pool) {
  if (w < 1 || h < 1 || w > MAX_DIM || h > MAX_DIM) return nullptr;
  int full = 1;
  for (UINT m = w > h ? w : h; m > 1; m >>= 1) full++;
  int n = levels == 0 ? full : (int)levels;
  if (n > full) return nullptr;
  size_t total = 0;
  for (int i = 0; i < n; i++) {
    size_t lw = w >> i, lh = h >> i;
    total += (lw ? lw : 1) * (lh ? lh : 1);
  }
  void* mem = obj_alloc(sizeof(SoftTexture));
  if (!mem) return nullptr;
  SoftTexture* t = new (mem) SoftTexture();
  t->mem = (uint32_t*)calloc(total + 8, 4);  // spare pixels as for surfaces
  if (!t->mem) {
    t->~SoftTexture();
    obj_free(mem);
    return nullptr;
  }
  t->pub = 1;
  t->dev = dev;
  t->levels = n;
  t->fmt = fmt;
  t->usage = usage;
  t->pool = pool;
  t->alphaOr = fmt == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0;
  t->pow2 = is_pow2((int)w) && is_pow2((int)h);
  uint32_t* p = t->mem;
  for (int i = 0; i < n; i++) {
    int lw = (int)(w >> i), lh = (int)(h >> i);
    if (lw < 1) lw = 1;
    if (lh < 1) lh = 1;
    if (fmt == D3DFMT_X8R8G8B8)
      for (int k = 0; k < lw * lh; k++) p[k] = 0xFF000000u;
    t->lv[i].px = p;
    t->lv[i].w = lw;
    t->lv[i].h = lh;
    t->lv[i].pitch = lw;
    t->lv[i].wshift = is_pow2(lw) ? log2i(lw) : -1;
    t->lv[i].pow2 = is_pow2(lw) && is_pow2(lh);
    t->lv[i].fw = (float)lw;
    t->lv[i].fh = (float)lh;
    t->lv[i].iw = 1.0f / (float)lw;
    t->lv[i].ih = 1.0f / (float)lh;
    void* smem = obj_alloc(sizeof(SoftSurface));
    if (!smem) {
      t->dev = nullptr;  // no reference on the device taken yet
      t->destroy();
      return nullptr;
    }
    SoftSurface* s = new (smem) SoftSurface();
    s->container = t;
    s->level = i;
    s->img.px = p;
    s->img.w = lw;
    s->img.h = lh;
    s->img.pitch = lw;
    s->fmt = fmt;
    s->usage = usage;
    s->pool = pool;
    t->surf[i] = s;
    p += (size_t)lw * lh;
  }
  if (dev) {
    dev->ref_intl();
    if (pool == D3DPOOL_DEFAULT) dev->defaultPub++;
  }
  return t;
}

void SoftTexture::ref_intl() { intl++; }

void SoftTexture::unref_intl() {
  if (intl > 0) intl--;
  if (pub == 0 && intl == 0) destroy();
}

void SoftTexture::destroy() {
  SoftDevice* d = dev;
  for (int i = 0; i < MAX_LEVELS; i++) {
    if (surf[i]) {
      surf[i]->~SoftSurface();
      obj_free(surf[i]);
    }
  }
  free(mem);
  this->~SoftTexture();
  obj_free(this);
  if (d) d->unref_intl();
}

HRESULT SoftTexture::QueryInterface(REFIID, void** ppvObject) {
  if (ppvObject) *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG SoftTexture::AddRef() {
  if (pub++ == 0 && pool == D3DPOOL_DEFAULT && dev) dev->defaultPub++;
  return pub;
}

ULONG SoftTexture::Release() {
  if (pub == 0) return 0;
  ULONG n = --pub;
  if (n > 0) return n;
  if (pool == D3DPOOL_DEFAULT && dev) dev->defaultPub--;
  if (intl == 0) destroy();
  return 0;
}

HRESULT SoftTexture::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice || !dev) return D3DERR_INVALIDCALL;
  *ppDevice = dev;
  dev->pub++;
  return D3D_OK;
}

HRESULT SoftTexture::SetPrivateData(REFGUID, const void*, DWORD, DWORD) { return unsupported(); }
HRESULT SoftTexture::GetPrivateData(REFGUID, void*, DWORD*) { return D3DERR_NOTFOUND; }
HRESULT SoftTexture::FreePrivateData(REFGUID) { return D3DERR_NOTFOUND; }
DWORD SoftTexture::SetPriority(DWORD) { return 0; }
DWORD SoftTexture::GetPriority() { return 0; }
void SoftTexture::PreLoad() {}
D3DRESOURCETYPE SoftTexture::GetType() { return D3DRTYPE_TEXTURE; }
DWORD SoftTexture::SetLOD(DWORD) { return 0; }
DWORD SoftTexture::GetLOD() { return 0; }
DWORD SoftTexture::GetLevelCount() { return (DWORD)levels; }
HRESULT SoftTexture::SetAutoGenFilterType(D3DTEXTUREFILTERTYPE) { return unsupported(); }
D3DTEXTUREFILTERTYPE SoftTexture::GetAutoGenFilterType() { return D3DTEXF_NONE; }
void SoftTexture::GenerateMipSubLevels() {}

HRESULT SoftTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* d) {
  if (level >= (UINT)levels) return D3DERR_INVALIDCALL;
  return surf[level]->GetDesc(d);
}

HRESULT SoftTexture::GetSurfaceLevel(UINT level, IDirect3DSurface9** out) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (level >= (UINT)levels) return D3DERR_INVALIDCALL;
  *out = surf[level];
  AddRef();
  return D3D_OK;
}

HRESULT SoftTexture::LockRect(UINT level, D3DLOCKED_RECT* out, const RECT* r, DWORD) {
  if (out) {
    out->Pitch = 0;
    out->pBits = nullptr;
  }
  if (level >= (UINT)levels) return D3DERR_INVALIDCALL;
  if (pool == D3DPOOL_DEFAULT && (!(usage & D3DUSAGE_DYNAMIC) || (usage & D3DUSAGE_RENDERTARGET)))
    return D3DERR_INVALIDCALL;
  SoftSurface* s = surf[level];
  return lock_image(s->img, s->locked, out, r);
}

HRESULT SoftTexture::UnlockRect(UINT level) {
  if (level >= (UINT)levels || !surf[level]->locked) return D3DERR_INVALIDCALL;
  surf[level]->locked = 0;
  return D3D_OK;
}

HRESULT SoftTexture::AddDirtyRect(const RECT*) { return D3D_OK; }

// ---- buffers --------------------------------------------------------------------------------
static int buffer_init(BufferData& b, SoftDevice* dev, UINT size, DWORD usage, D3DPOOL pool) {
  if (size == 0 || size > (1u << 28)) return 0;
  b.mem = (uint8_t*)calloc(size, 1);
  if (!b.mem) return 0;
  b.pub = 1;
  b.dev = dev;
  b.size = size;
  b.usage = usage;
  b.pool = pool;
  return 1;
}

static HRESULT buffer_lock(BufferData& b, UINT offset, UINT size, void** out) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (offset > b.size || (size && size > b.size - offset)) return D3DERR_INVALIDCALL;
  *out = b.mem + offset;
  b.locks++;
  return D3D_OK;
}

static HRESULT buffer_unlock(BufferData& b) {
  if (b.locks > 0) b.locks--;
  return D3D_OK;
}

SoftVB* vb_create(SoftDevice* dev, UINT size, DWORD usage, DWORD fvf, D3DPOOL pool) {
  void* mem = obj_alloc(sizeof(SoftVB));
  if (!mem) return nullptr;
  SoftVB* v = new (mem) SoftVB();
  if (!buffer_init(v->b, dev, size, usage, pool)) {
    v->~SoftVB();
    obj_free(mem);
    return nullptr;
  }
  v->b.fvf = fvf;
  if (dev) dev->ref_intl();
  return v;
}

SoftIB* ib_create(SoftDevice* dev, UINT size, DWORD usage, D3DFORMAT fmt, D3DPOOL pool) {
  void* mem = obj_alloc(sizeof(SoftIB));
  if (!mem) return nullptr;
  SoftIB* v = new (mem) SoftIB();
  if (!buffer_init(v->b, dev, size, usage, pool)) {
    v->~SoftIB();
    obj_free(mem);
    return nullptr;
  }
  v->b.fmt = fmt;
  if (dev) dev->ref_intl();
  return v;
}

void SoftVB::ref_intl() { b.intl++; }
void SoftVB::unref_intl() {
  if (b.intl > 0) b.intl--;
  if (b.pub == 0 && b.intl == 0) destroy();
}
void SoftVB::destroy() {
  SoftDevice* d = b.dev;
  free(b.mem);
  this->~SoftVB();
  obj_free(this);
  if (d) d->unref_intl();
}
HRESULT SoftVB::QueryInterface(REFIID, void** ppvObject) {
  if (ppvObject) *ppvObject = nullptr;
  return E_NOINTERFACE;
}
ULONG SoftVB::AddRef() { return ++b.pub; }
ULONG SoftVB::Release() {
  if (b.pub == 0) return 0;
  ULONG n = --b.pub;
  if (n == 0 && b.intl == 0) destroy();
  return n;
}
HRESULT SoftVB::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice || !b.dev) return D3DERR_INVALIDCALL;
  *ppDevice = b.dev;
  b.dev->pub++;
  return D3D_OK;
}
HRESULT SoftVB::SetPrivateData(REFGUID, const void*, DWORD, DWORD) { return unsupported(); }
HRESULT SoftVB::GetPrivateData(REFGUID, void*, DWORD*) { return D3DERR_NOTFOUND; }
HRESULT SoftVB::FreePrivateData(REFGUID) { return D3DERR_NOTFOUND; }
DWORD SoftVB::SetPriority(DWORD) { return 0; }
DWORD SoftVB::GetPriority() { return 0; }
void SoftVB::PreLoad() {}
D3DRESOURCETYPE SoftVB::GetType() { return D3DRTYPE_VERTEXBUFFER; }
HRESULT SoftVB::Lock(UINT offset, UINT size, void** out, DWORD) { return buffer_lock(b, offset, size, out); }
HRESULT SoftVB::Unlock() { return buffer_unlock(b); }
HRESULT SoftVB::GetDesc(D3DVERTEXBUFFER_DESC* d) {
  if (!d) return D3DERR_INVALIDCALL;
  d->Format = D3DFMT_VERTEXDATA;
  d->Type = D3DRTYPE_VERTEXBUFFER;
  d->Usage = b.usage;
  d->Pool = b.pool;
  d->Size = b.size;
  d->FVF = b.fvf;
  return D3D_OK;
}

void SoftIB::ref_intl() { b.intl++; }
void SoftIB::unref_intl() {
  if (b.intl > 0) b.intl--;
  if (b.pub == 0 && b.intl == 0) destroy();
}
void SoftIB::destroy() {
  SoftDevice* d = b.dev;
  free(b.mem);
  this->~SoftIB();
  obj_free(this);
  if (d) d->unref_intl();
}
HRESULT SoftIB::QueryInterface(REFIID, void** ppvObject) {
  if (ppvObject) *ppvObject = nullptr;
  return E_NOINTERFACE;
}
ULONG SoftIB::AddRef() { return ++b.pub; }
ULONG SoftIB::Release() {
  if (b.pub == 0) return 0;
  ULONG n = --b.pub;
  if (n == 0 && b.intl == 0) destroy();
  return n;
}
HRESULT SoftIB::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice || !b.dev) return D3DERR_INVALIDCALL;
  *ppDevice = b.dev;
  b.dev->pub++;
  return D3D_OK;
}
HRESULT SoftIB::SetPrivateData(REFGUID, const void*, DWORD, DWORD) { return unsupported(); }
HRESULT SoftIB::GetPrivateData(REFGUID, void*, DWORD*) { return D3DERR_NOTFOUND; }
HRESULT SoftIB::FreePrivateData(REFGUID) { return D3DERR_NOTFOUND; }
DWORD SoftIB::SetPriority(DWORD) { return 0; }
DWORD SoftIB::GetPriority() { return 0; }
void SoftIB::PreLoad() {}
D3DRESOURCETYPE SoftIB::GetType() { return D3DRTYPE_INDEXBUFFER; }
HRESULT SoftIB::Lock(UINT offset, UINT size, void** out, DWORD) { return buffer_lock(b, offset, size, out); }
HRESULT SoftIB::Unlock() { return buffer_unlock(b); }
HRESULT SoftIB::GetDesc(D3DINDEXBUFFER_DESC* d) {
  if (!d) return D3DERR_INVALIDCALL;
  d->Format = b.fmt;
  d->Type = D3DRTYPE_INDEXBUFFER;
  d->Usage = b.usage;
  d->Pool = b.pool;
  d->Size = b.size;
  return D3D_OK;
}

// ---- the Direct3D object -----------------------------------------------------------------------
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

HRESULT SoftD3D::RegisterSoftwareDevice(void*) { return unsupported(); }
UINT SoftD3D::GetAdapterCount() { return 1; }
HRESULT SoftD3D::GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER9*) { return unsupported(); }

// The display mode the device reports: the tests' choice, else the desktop
// when SDL knows it, else 1024 x 768.
static void current_mode(D3DDISPLAYMODE* m) {
  int w = 1024, h = 768, rate = 60;
  SDL_DisplayMode dm;
  if (g_softHooks.modeW > 0 && g_softHooks.modeH > 0) {
    w = g_softHooks.modeW;
    h = g_softHooks.modeH;
  } else if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &dm) == 0 && dm.w > 0 && dm.h > 0) {
    w = dm.w;
    h = dm.h;
    if (dm.refresh_rate > 0) rate = dm.refresh_rate;
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

HRESULT SoftD3D::CheckDeviceFormatConversion(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT) { return D3DERR_NOTAVAILABLE; }
HRESULT SoftD3D::GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS9*) { return unsupported(); }
HMONITOR SoftD3D::GetAdapterMonitor(UINT) { return nullptr; }

// The device's constructor and defaults live in device.cpp.
HRESULT check_pp(D3DPRESENT_PARAMETERS* pp, HWND focus);
HRESULT device_create(SoftD3D* d3d, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** out);

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
