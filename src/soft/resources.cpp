// Resources of the software device: surfaces, textures, vertex and index
// buffers, their creation, and the operations on whole surfaces (clear,
// fill, copy back).
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "soft/simd.h"
#include "soft/soft_internal.h"

namespace soft {

int format_is_depth(D3DFORMAT f) {
  return f == D3DFMT_D16 || f == D3DFMT_D16_LOCKABLE || f == D3DFMT_D24X8 || f == D3DFMT_D24S8 ||
         f == D3DFMT_D32 || f == D3DFMT_D24X4S4 || f == D3DFMT_D15S1;
}

uint32_t depth_max(D3DFORMAT f) {
  return (f == D3DFMT_D16 || f == D3DFMT_D16_LOCKABLE || f == D3DFMT_D15S1) ? 0xFFFFu : 0xFFFFFFu;
}

int colour_format(D3DFORMAT f) { return f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8; }

SoftSurface* surface_from(IDirect3DSurface9* s) { return static_cast<SoftSurface*>(s); }

SoftTexture* texture_from(IDirect3DBaseTexture9* t) { return static_cast<SoftTexture*>(t); }

SoftVB* vb_from(IDirect3DVertexBuffer9* b) { return static_cast<SoftVB*>(b); }

SoftIB* ib_from(IDirect3DIndexBuffer9* b) { return static_cast<SoftIB*>(b); }

// ---- surfaces -----------------------------------------------------------------------------------
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

// ---- textures -----------------------------------------------------------------------------------
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

D3DRESOURCETYPE SoftTexture::GetType() { return D3DRTYPE_TEXTURE; }

DWORD SoftTexture::GetLevelCount() { return (DWORD)levels; }

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

// ---- buffers ------------------------------------------------------------------------------------
// What differs between the two kinds.
static D3DRESOURCETYPE buffer_kind(const D3DVERTEXBUFFER_DESC*) { return D3DRTYPE_VERTEXBUFFER; }
static D3DRESOURCETYPE buffer_kind(const D3DINDEXBUFFER_DESC*) { return D3DRTYPE_INDEXBUFFER; }

static void buffer_describe(const BufferData& b, D3DVERTEXBUFFER_DESC* d) {
  d->Format = D3DFMT_VERTEXDATA;
  d->FVF = b.fvf;
}

static void buffer_describe(const BufferData& b, D3DINDEXBUFFER_DESC* d) { d->Format = b.fmt; }

template <class I, class Desc>
SoftBuffer<I, Desc>* SoftBuffer<I, Desc>::create(SoftDevice* dev, UINT size, DWORD usage, D3DPOOL pool) {
  if (size == 0 || size > (1u << 28)) return nullptr;
  void* mem = obj_alloc(sizeof(SoftBuffer));
  if (!mem) return nullptr;
  SoftBuffer* v = new (mem) SoftBuffer();
  BufferData& b = v->b;
  b.mem = (uint8_t*)calloc(size, 1);
  if (!b.mem) {
    v->~SoftBuffer();
    obj_free(mem);
    return nullptr;
  }
  b.pub = 1;
  b.dev = dev;
  b.size = size;
  b.usage = usage;
  b.pool = pool;
  if (dev) dev->ref_intl();
  return v;
}

template <class I, class Desc>
void SoftBuffer<I, Desc>::ref_intl() {
  b.intl++;
}

template <class I, class Desc>
void SoftBuffer<I, Desc>::unref_intl() {
  if (b.intl > 0) b.intl--;
  if (b.pub == 0 && b.intl == 0) destroy();
}

template <class I, class Desc>
void SoftBuffer<I, Desc>::destroy() {
  SoftDevice* d = b.dev;
  free(b.mem);
  this->~SoftBuffer();
  obj_free(this);
  if (d) d->unref_intl();
}

template <class I, class Desc>
HRESULT SoftBuffer<I, Desc>::QueryInterface(REFIID, void** ppvObject) {
  if (ppvObject) *ppvObject = nullptr;
  return E_NOINTERFACE;
}

template <class I, class Desc>
ULONG SoftBuffer<I, Desc>::AddRef() {
  return ++b.pub;
}

template <class I, class Desc>
ULONG SoftBuffer<I, Desc>::Release() {
  if (b.pub == 0) return 0;
  ULONG n = --b.pub;
  if (n == 0 && b.intl == 0) destroy();
  return n;
}

template <class I, class Desc>
HRESULT SoftBuffer<I, Desc>::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice || !b.dev) return D3DERR_INVALIDCALL;
  *ppDevice = b.dev;
  b.dev->pub++;
  return D3D_OK;
}

template <class I, class Desc>
D3DRESOURCETYPE SoftBuffer<I, Desc>::GetType() {
  return buffer_kind((const Desc*)nullptr);
}

template <class I, class Desc>
HRESULT SoftBuffer<I, Desc>::Lock(UINT offset, UINT size, void** out, DWORD) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (offset > b.size || (size && size > b.size - offset)) return D3DERR_INVALIDCALL;
  *out = b.mem + offset;
  b.locks++;
  return D3D_OK;
}

template <class I, class Desc>
HRESULT SoftBuffer<I, Desc>::Unlock() {
  if (b.locks > 0) b.locks--;
  return D3D_OK;
}

template <class I, class Desc>
HRESULT SoftBuffer<I, Desc>::GetDesc(Desc* d) {
  if (!d) return D3DERR_INVALIDCALL;
  d->Type = buffer_kind(d);
  d->Usage = b.usage;
  d->Pool = b.pool;
  d->Size = b.size;
  buffer_describe(b, d);
  return D3D_OK;
}

template struct SoftBuffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
template struct SoftBuffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

SoftVB* vb_create(SoftDevice* dev, UINT size, DWORD usage, DWORD fvf, D3DPOOL pool) {
  SoftVB* v = SoftVB::create(dev, size, usage, pool);
  if (v) v->b.fvf = fvf;
  return v;
}

SoftIB* ib_create(SoftDevice* dev, UINT size, DWORD usage, D3DFORMAT fmt, D3DPOOL pool) {
  SoftIB* v = SoftIB::create(dev, size, usage, pool);
  if (v) v->b.fmt = fmt;
  return v;
}

// ---- creation -----------------------------------------------------------------------------------
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

// ---- surface contents ---------------------------------------------------------------------------
int is_render_target(const SoftSurface* s) {
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

static void fill_rect(Image& img, int x0, int y0, int x1, int y1, uint32_t v) {
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

}  // namespace soft
