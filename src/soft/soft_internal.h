// Inside the software device: the objects behind the interfaces, the device
// state, and the rasterizer's entry points. Not for use outside soft.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "soft/soft.h"

namespace soft {

// ---- objects and reference counts --------------------------------------------------------
// Every object has a public count (AddRef/Release from outside) and an
// internal one (the device's bindings, containers); it goes away when both
// reach zero. live_add/live_sub keep soft_live_objects() honest.
void live_add();
void live_sub();
void* obj_alloc(size_t size);  // zero-filled; null on failure
void obj_free(void* p);

struct SoftD3D;
struct SoftDevice;
struct SoftTexture;

enum { MAX_DIM = 16384, MAX_LEVELS = 15, MAX_STAGES = 8, MAX_SAMPLERS = 16, MAX_LIGHTS = 8 };

// A 2D array of 32-bit pixels: colour (A8R8G8B8 / X8R8G8B8) or depth values.
// Rows are pitch pixels apart.
struct Image {
  uint32_t* px;
  int w, h, pitch;
};

// What every resource answers alike: no private data, no priority, nothing
// to preload (unsupported.cpp).
template <class I>
struct ResourceStubs : I {
  HRESULT SetPrivateData(REFGUID guid, const void* data, DWORD data_size, DWORD flags) override;
  HRESULT GetPrivateData(REFGUID refguid, void* pData, DWORD* pSizeOfData) override;
  HRESULT FreePrivateData(REFGUID refguid) override;
  DWORD SetPriority(DWORD PriorityNew) override;
  DWORD GetPriority() override;
  void PreLoad() override;
};

struct SoftSurface final : ResourceStubs<IDirect3DSurface9> {
  ULONG pub, intl;
  SoftDevice* dev;
  SoftTexture* container;  // texture level: counts go to the texture
  int level;
  Image img;
  D3DFORMAT fmt;
  DWORD usage;
  D3DPOOL pool;
  int locked;
  int lockable;  // a render target or off-screen surface in the default pool that may be locked
  int implicit;  // back buffer or automatic depth buffer: owned by the device
  int ownsPixels;

  void ref_intl();
  void unref_intl();
  void destroy();

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override;
  HRESULT GetContainer(REFIID riid, void** ppContainer) override;
  HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(D3DLOCKED_RECT* locked_rect, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect() override;
  HRESULT GetDC(HDC* phdc) override;
  HRESULT ReleaseDC(HDC hdc) override;
};

// Sampling view of one mip level.
struct TexLevel {
  const uint32_t* px;
  int w, h, pitch;
  int wshift;      // log2(w) when w is a power of two, else -1
  int pow2;        // w and h are powers of two
  float fw, fh;    // w and h
  float iw, ih;    // 1 / w, 1 / h
};

struct SoftTexture final : ResourceStubs<IDirect3DTexture9> {
  ULONG pub, intl;
  SoftDevice* dev;
  int levels;
  D3DFORMAT fmt;
  DWORD usage;
  D3DPOOL pool;
  uint32_t alphaOr;  // 0xFF000000 for X8R8G8B8: the unused byte reads as opaque
  int pow2;          // every level's width and height are powers of two
  SoftSurface* surf[MAX_LEVELS];
  TexLevel lv[MAX_LEVELS];
  uint32_t* mem;

  void ref_intl();
  void unref_intl();
  void destroy();

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override;
  DWORD SetLOD(DWORD LODNew) override;
  DWORD GetLOD() override;
  DWORD GetLevelCount() override;
  HRESULT SetAutoGenFilterType(D3DTEXTUREFILTERTYPE FilterType) override;
  D3DTEXTUREFILTERTYPE GetAutoGenFilterType() override;
  void GenerateMipSubLevels() override;
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked_rect, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT Level) override;
  HRESULT AddDirtyRect(const RECT* dirty_rect) override;
};

// Vertex and index buffers: one implementation for both interfaces.
struct BufferData {
  ULONG pub, intl;
  SoftDevice* dev;
  uint8_t* mem;
  UINT size;
  DWORD usage;
  DWORD fvf;  // vertex buffers
  D3DFORMAT fmt;  // index buffers
  D3DPOOL pool;
  int locks;
};

template <class I, class Desc>
struct SoftBuffer final : ResourceStubs<I> {
  BufferData b;
  // null when size is 0 or too large, or memory runs out; takes an internal
  // reference on dev
  static SoftBuffer* create(SoftDevice* dev, UINT size, DWORD usage, D3DPOOL pool);
  void ref_intl();
  void unref_intl();
  void destroy();

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override;
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(Desc* pDesc) override;
};

typedef SoftBuffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC> SoftVB;
typedef SoftBuffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC> SoftIB;
extern template struct SoftBuffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
extern template struct SoftBuffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

// Creation helpers (resources.cpp). They take an internal reference on dev.
SoftTexture* texture_create(SoftDevice* dev, UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT fmt,
                            D3DPOOL pool);
SoftSurface* surface_create(SoftDevice* dev, UINT w, UINT h, D3DFORMAT fmt, DWORD usage, D3DPOOL pool);
SoftVB* vb_create(SoftDevice* dev, UINT size, DWORD usage, DWORD fvf, D3DPOOL pool);
SoftIB* ib_create(SoftDevice* dev, UINT size, DWORD usage, D3DFORMAT fmt, D3DPOOL pool);
SoftSurface* surface_from(IDirect3DSurface9* s);  // null unless one of ours
SoftTexture* texture_from(IDirect3DBaseTexture9* t);
SoftVB* vb_from(IDirect3DVertexBuffer9* b);
SoftIB* ib_from(IDirect3DIndexBuffer9* b);
int format_is_depth(D3DFORMAT f);
int colour_format(D3DFORMAT f);  // A8R8G8B8 or X8R8G8B8
uint32_t depth_max(D3DFORMAT f);  // largest stored depth value: 0xFFFF or 0xFFFFFF
int is_render_target(const SoftSurface* s);  // a render target, or a level of a render-target texture

// What the test hooks' failure switches return: their code, or the call's typical one.
inline HRESULT hook_code(HRESULT typical) { return g_softHooks.failCode ? g_softHooks.failCode : typical; }

// ---- the post-transform vertex ---------------------------------------------------------------
// Clip-space position and interpolated attributes, in 16-byte blocks by the
// stage that writes them: position, screen position (for vertices inside
// the guard band: depth sz, rhw, and the position snapped to 1/256 pixel,
// which decides coverage), clip code and the unsnapped screen position
// (which the attribute planes are set up from), colour, texture coordinates
// and fog.
struct PVert {
  float cx, cy, cz, cw;
  float sz, rhw;
  int32_t X, Y;
  uint32_t code;  // clip code, see CLIP_*
  uint32_t done;  // 2: needed by a triangle; 1: attributes computed
  float sx, sy;
  float r, g, b, a;  // colour, 0..1
  float u, v, f;     // stage-0 texture coordinates, fog factor (linear, not yet clamped)
  float pad2;
};

enum {
  CLIP_LEFT = 1 << 0,  // outside the viewport's view volume...
  CLIP_RIGHT = 1 << 1,
  CLIP_BOTTOM = 1 << 2,
  CLIP_TOP = 1 << 3,
  CLIP_NEAR = 1 << 4,
  CLIP_FAR = 1 << 5,
  CLIP_GB_LEFT = 1 << 6,  // ...outside the guard band, or too close to w = 0: must be clipped
  CLIP_GB_RIGHT = 1 << 7,
  CLIP_GB_BOTTOM = 1 << 8,
  CLIP_GB_TOP = 1 << 9,
  CLIP_W = 1 << 10,
  CLIP_BAD = 1 << 11,  // not a finite number: the triangle is dropped
  CLIP_REJECT_MASK = 0x3F,
  CLIP_MUST_MASK = CLIP_NEAR | CLIP_FAR | CLIP_GB_LEFT | CLIP_GB_RIGHT | CLIP_GB_BOTTOM | CLIP_GB_TOP | CLIP_W
};

// Screen coordinates beyond this many pixels are clipped away geometrically.
static const float GUARD = 32768.0f;

// ---- per-draw pipeline settings (derived from the device state at each draw) --------------------
struct RasterState;
// The rasterizer, compiled for the baseline instruction set and, on x86,
// for AVX2; both draw the same pixels. raster_state() picks one.
typedef void (*RasterFn)(const RasterState& rs, const PVert* v0, const PVert* v1, const PVert* v2);

enum BlendKind { BL_NONE, BL_ALPHA, BL_ADD_ALPHA, BL_ADD, BL_GENERIC };

struct RasterState {
  // target
  Image colour;
  Image depth;
  uint32_t depthMax;  // 0xFFFFFF or 0xFFFF
  int x0, y0, x1, y1;  // scissor: pixels x0 <= x < x1, y0 <= y < y1
  int colourAlphaOr;   // X8R8G8B8 targets store an opaque alpha byte
  // depth
  int zTest, zWrite;
  DWORD zFunc;
  // alpha test
  int aTest;
  DWORD aFunc;
  int aRef;
  // blending
  BlendKind blend;
  DWORD srcBlend, dstBlend, blendOp;
  // texture (stage 0)
  const SoftTexture* tex;
  int texLevels;  // levels sampled: 1 when no mip filter
  int texBase;    // first level (MAXMIPLEVEL)
  int wrapU, wrapV;  // 1 wrap, 0 clamp
  // combiner: colour = (T or 1) x (D or 1) x k, per channel; the same for alpha
  int useTexRGB, useDiffRGB, useTexA, useDiffA;
  int sqTexRGB, sqDiffRGB, sqTexA, sqDiffA;  // a factor used twice (MODULATE of it with itself)
  int squares;                               // any of those
  float kR, kG, kB, kA;
  int generic;  // stage setup outside the product form: evaluated per pixel
  // fog
  int fog;
  float fogR, fogG, fogB;  // 0..255
  // culling
  DWORD cull;
  int shadeFlat;
  // stage setup for the general path
  uint32_t tfactor;  // blend factor colour
  RasterFn tri;
};

void raster_triangle_base(const RasterState& rs, const PVert* v0, const PVert* v1, const PVert* v2);
void raster_triangle_avx2(const RasterState& rs, const PVert* v0, const PVert* v1, const PVert* v2);
// Culling and zero-area test of snapped vertices: 1 when the triangle is to
// be drawn. area2 > 0: clockwise on screen (y down).
inline int raster_keep(const RasterState& rs, int64_t area2) {
  if (area2 == 0) return 0;
  if (rs.cull == D3DCULL_CCW) return area2 > 0;
  if (rs.cull == D3DCULL_CW) return area2 < 0;
  return 1;
}

// ---- the device ---------------------------------------------------------------------------------
struct DeviceState {
  DWORD rs[256];
  DWORD tss[MAX_STAGES][33];
  DWORD samp[MAX_SAMPLERS][14];
  D3DMATRIX world, view, proj, texm[8];
  D3DVIEWPORT9 vp;
  D3DMATERIAL9 mat;
  D3DLIGHT9 light[MAX_LIGHTS];
  int lightOn[MAX_LIGHTS];
  DWORD fvf;
  SoftTexture* tex[MAX_STAGES];
  SoftVB* vb;
  UINT vbOffset, vbStride;
  SoftIB* ib;
  SoftSurface* rt;
  SoftSurface* ds;
  RECT scissor;
  float clipPlane[8][4];
};

struct SoftD3D final : IDirect3D9 {
  ULONG pub, intl;
  void destroy();

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT RegisterSoftwareDevice(void* pInitializeFunction) override;
  UINT GetAdapterCount() override;
  HRESULT GetAdapterIdentifier(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER9* pIdentifier) override;
  UINT GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) override;
  HRESULT EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode) override;
  HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
  HRESULT CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT DisplayFormat, D3DFORMAT BackBufferFormat,
                          WINBOOL bWindowed) override;
  HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                            D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
  HRESULT CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat, WINBOOL Windowed,
                                     D3DMULTISAMPLE_TYPE MultiSampleType, DWORD* pQualityLevels) override;
  HRESULT CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                 D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) override;
  HRESULT CheckDeviceFormatConversion(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SourceFormat,
                                      D3DFORMAT TargetFormat) override;
  HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) override;
  HMONITOR GetAdapterMonitor(UINT Adapter) override;
  HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                       D3DPRESENT_PARAMETERS* pPresentationParameters,
                       IDirect3DDevice9** ppReturnedDeviceInterface) override;
};

// Grow-only scratch arrays of the draw path (no allocation once warm).
struct Scratch {
  PVert* verts;
  int cap;
};

struct TriScratch {
  void* tris;  // triangles that survived rejection and culling (assemble.cpp)
  int cap;
};

struct SoftDevice final : IDirect3DDevice9 {
  ULONG pub, intl;
  SoftD3D* d3d;
  HWND focus;
  DWORD behavior;
  D3DPRESENT_PARAMETERS pp;
  SoftSurface* backBuffer;
  SoftSurface* autoDepth;
  DeviceState st;
  int defaultPub;   // default-pool resources the application still holds (block Reset)
  int resetFailed;  // a Reset failed: the device waits for a successful one
  int inScene;
  Scratch scratch;
  TriScratch triScratch;
  void* presentCache;  // SDL surface wrapping the back buffer (present.cpp)

  void count(int call);
  void ref_intl();
  void unref_intl();
  void destroy();
  void unbind_all();
  void reset_state();
  int create_back_buffer();
  int lost_now();
  int lightSet[MAX_LIGHTS];

  // Draws primCount primitives from the vertices vfirst .. vfirst + vcount - 1
  // of vdata, in order or through the indices idata (plus baseVertex), which
  // must hold all the primitives need; indices outside the range skip their
  // triangle (assemble.cpp).
  HRESULT draw(D3DPRIMITIVETYPE type, UINT primCount, const uint8_t* vdata, UINT vstride, UINT vfirst, UINT vcount,
               const void* idata, int index32, int baseVertex);

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT TestCooperativeLevel() override;
  UINT GetAvailableTextureMem() override;
  HRESULT EvictManagedResources() override;
  HRESULT GetDirect3D(IDirect3D9** ppD3D9) override;
  HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override;
  HRESULT GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override;
  HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* pParameters) override;
  HRESULT SetCursorProperties(UINT XHotSpot, UINT YHotSpot, IDirect3DSurface9* pCursorBitmap) override;
  void SetCursorPosition(int X, int Y, DWORD Flags) override;
  WINBOOL ShowCursor(WINBOOL bShow) override;
  HRESULT CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* pPresentationParameters, IDirect3DSwapChain9** pSwapChain) override;
  HRESULT GetSwapChain(UINT iSwapChain, IDirect3DSwapChain9** pSwapChain) override;
  UINT GetNumberOfSwapChains() override;
  HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
  HRESULT Present(const RECT* src_rect, const RECT* dst_rect, HWND dst_window_override, const RGNDATA* dirty_region) override;
  HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type, IDirect3DSurface9** ppBackBuffer) override;
  HRESULT GetRasterStatus(UINT iSwapChain, D3DRASTER_STATUS* pRasterStatus) override;
  HRESULT SetDialogBoxMode(WINBOOL bEnableDialogs) override;
  void SetGammaRamp(UINT swapchain_idx, DWORD flags, const D3DGAMMARAMP* ramp) override;
  void GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp) override;
  HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override;
  HRESULT CreateVolumeTexture(UINT Width, UINT Height, UINT Depth, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DVolumeTexture9** ppVolumeTexture, HANDLE* pSharedHandle) override;
  HRESULT CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle) override;
  HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool, IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override;
  HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
  HRESULT CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality, WINBOOL Lockable, IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override;
  HRESULT CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality, WINBOOL Discard, IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override;
  HRESULT UpdateSurface(IDirect3DSurface9* src_surface, const RECT* src_rect, IDirect3DSurface9* dst_surface, const POINT* dst_point) override;
  HRESULT UpdateTexture(IDirect3DBaseTexture9* pSourceTexture, IDirect3DBaseTexture9* pDestinationTexture) override;
  HRESULT GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) override;
  HRESULT GetFrontBufferData(UINT iSwapChain, IDirect3DSurface9* pDestSurface) override;
  HRESULT StretchRect(IDirect3DSurface9* src_surface, const RECT* src_rect, IDirect3DSurface9* dst_surface, const RECT* dst_rect, D3DTEXTUREFILTERTYPE filter) override;
  HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) override;
  HRESULT CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool, IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override;
  HRESULT SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) override;
  HRESULT GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) override;
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) override;
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD rect_count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
  HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* pViewport) override;
  HRESULT SetMaterial(const D3DMATERIAL9* material) override;
  HRESULT GetMaterial(D3DMATERIAL9* pMaterial) override;
  HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
  HRESULT GetLight(DWORD Index, D3DLIGHT9* pLight) override;
  HRESULT LightEnable(DWORD Index, WINBOOL Enable) override;
  HRESULT GetLightEnable(DWORD Index, WINBOOL* pEnable) override;
  HRESULT SetClipPlane(DWORD index, const float* plane) override;
  HRESULT GetClipPlane(DWORD Index, float* pPlane) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
  HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE Type, IDirect3DStateBlock9** ppSB) override;
  HRESULT BeginStateBlock() override;
  HRESULT EndStateBlock(IDirect3DStateBlock9** ppSB) override;
  HRESULT SetClipStatus(const D3DCLIPSTATUS9* clip_status) override;
  HRESULT GetClipStatus(D3DCLIPSTATUS9* pClipStatus) override;
  HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
  HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
  HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
  HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
  HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
  HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
  HRESULT ValidateDevice(DWORD* pNumPasses) override;
  HRESULT SetPaletteEntries(UINT palette_idx, const PALETTEENTRY* entries) override;
  HRESULT GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY* pEntries) override;
  HRESULT SetCurrentTexturePalette(UINT PaletteNumber) override;
  HRESULT GetCurrentTexturePalette(UINT* PaletteNumber) override;
  HRESULT SetScissorRect(const RECT* rect) override;
  HRESULT GetScissorRect(RECT* pRect) override;
  HRESULT SetSoftwareVertexProcessing(WINBOOL bSoftware) override;
  WINBOOL GetSoftwareVertexProcessing() override;
  HRESULT SetNPatchMode(float nSegments) override;
  float GetNPatchMode() override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex, UINT NumVertices, UINT startIndex, UINT primCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE primitive_type, UINT primitive_count, const void* data, UINT stride) override;
  HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitive_type, UINT min_vertex_idx, UINT vertex_count, UINT primitive_count, const void* index_data, D3DFORMAT index_format, const void* data, UINT stride) override;
  HRESULT ProcessVertices(UINT SrcStartIndex, UINT DestIndex, UINT VertexCount, IDirect3DVertexBuffer9* pDestBuffer, IDirect3DVertexDeclaration9* pVertexDecl, DWORD Flags) override;
  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** declaration) override;
  HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override;
  HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override;
  HRESULT SetFVF(DWORD FVF) override;
  HRESULT GetFVF(DWORD* pFVF) override;
  HRESULT CreateVertexShader(const DWORD* byte_code, IDirect3DVertexShader9** shader) override;
  HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override;
  HRESULT GetVertexShader(IDirect3DVertexShader9** ppShader) override;
  HRESULT SetVertexShaderConstantF(UINT reg_idx, const float* data, UINT count) override;
  HRESULT GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;
  HRESULT SetVertexShaderConstantI(UINT reg_idx, const int* data, UINT count) override;
  HRESULT GetVertexShaderConstantI(UINT StartRegister, int* pConstantData, UINT Vector4iCount) override;
  HRESULT SetVertexShaderConstantB(UINT reg_idx, const WINBOOL* data, UINT count) override;
  HRESULT GetVertexShaderConstantB(UINT StartRegister, WINBOOL* pConstantData, UINT BoolCount) override;
  HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes, UINT Stride) override;
  HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* OffsetInBytes, UINT* pStride) override;
  HRESULT SetStreamSourceFreq(UINT StreamNumber, UINT Divider) override;
  HRESULT GetStreamSourceFreq(UINT StreamNumber, UINT* Divider) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
  HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) override;
  HRESULT CreatePixelShader(const DWORD* byte_code, IDirect3DPixelShader9** shader) override;
  HRESULT SetPixelShader(IDirect3DPixelShader9* pShader) override;
  HRESULT GetPixelShader(IDirect3DPixelShader9** ppShader) override;
  HRESULT SetPixelShaderConstantF(UINT reg_idx, const float* data, UINT count) override;
  HRESULT GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;
  HRESULT SetPixelShaderConstantI(UINT reg_idx, const int* data, UINT count) override;
  HRESULT GetPixelShaderConstantI(UINT StartRegister, int* pConstantData, UINT Vector4iCount) override;
  HRESULT SetPixelShaderConstantB(UINT reg_idx, const WINBOOL* data, UINT count) override;
  HRESULT GetPixelShaderConstantB(UINT StartRegister, WINBOOL* pConstantData, UINT BoolCount) override;
  HRESULT DrawRectPatch(UINT handle, const float* segment_count, const D3DRECTPATCH_INFO* patch_info) override;
  HRESULT DrawTriPatch(UINT handle, const float* segment_count, const D3DTRIPATCH_INFO* patch_info) override;
  HRESULT DeletePatch(UINT Handle) override;
  HRESULT CreateQuery(D3DQUERYTYPE Type, IDirect3DQuery9** ppQuery) override;
};

// The window system (present.cpp, the one file that calls SDL).
// Presentation to the device window; a no-op without one.
void present_to_window(SoftDevice* dev, HWND window);
void present_release(SoftDevice* dev);
// The client size of a window; 0 when there is no window system to ask.
int present_window_size(HWND window, int* w, int* h);
// The desktop's display mode; 0 when there is no window system to ask.
int present_desktop_mode(int* w, int* h, int* rate);

}  // namespace soft
