// The Direct3D 9 device, the low-resolution frame and its magnification onto
// the back buffer, display switching, device loss, the mouse mapping and the
// screenshot writer.
#include "gfx/gfx_internal.h"
#include "rt/bmp.h"
#include "rt/shell.h"

IDirect3D9* g_d3d;
IDirect3DDevice9* g_dev;
D3DPRESENT_PARAMETERS g_pp;
SysWindow g_hwnd;
int g_fullscreen;
int g_bbW = 640, g_bbH = 480;
int g_lowW = 320, g_lowH = 240;
float g_upScale = 2.0f;
float g_upX, g_upY;
IDirect3DTexture9* g_rtTex;
IDirect3DSurface9* g_rtSurf;
IDirect3DSurface9* g_rtDepth;
IDirect3DSurface9* g_backBuf;
IDirect3DSurface9* g_shotSurf;
Texture g_rtWrap;
Texture* g_bound;
int g_d3dCalls;
int g_frame;

typedef IDirect3D9*(WINAPI* Direct3DCreate9Fn)(UINT sdkVersion);

// ---- layers above -------------------------------------------------------------------------------
enum { HOOKS_MAX = 4 };
struct HookList {
  GfxHook fn[HOOKS_MAX];
  int n;
};
static HookList g_flushHooks, g_releaseHooks;

static void hook_add(HookList* list, GfxHook fn) {
  for (int i = 0; i < list->n; i++)
    if (list->fn[i] == fn) return;
  if (fn && list->n < HOOKS_MAX) list->fn[list->n++] = fn;
}

static void hooks_run(const HookList* list) {
  for (int i = 0; i < list->n; i++) list->fn[i]();
}

void gfx_on_flush(GfxHook fn) { hook_add(&g_flushHooks, fn); }
void gfx_on_release(GfxHook fn) { hook_add(&g_releaseHooks, fn); }

static const char* mode_name(int fullscreen) { return fullscreen ? "fullscreen" : "windowed"; }

static void requested_size(int* w, int* h) {
  *w = g_opt.resW > 0 ? g_opt.resW : 640;
  *h = g_opt.resH > 0 ? g_opt.resH : 480;
}

void gfx_window_size(int* w, int* h) { requested_size(w, h); }

// ---- sizes ---------------------------------------------------------------------------------
void fill_pp(int fullscreen) {
  memset(&g_pp, 0, sizeof g_pp);

  int width, height;
  if (!fullscreen) {
    requested_size(&width, &height);
  } else {
    D3DDISPLAYMODE mode;
    memset(&mode, 0, sizeof mode);
    if (g_d3d && g_d3d->GetAdapterDisplayMode(0, &mode) >= 0 && mode.Width > 319 && mode.Height > 239) {
      width = (int)mode.Width;
      height = (int)mode.Height;
    } else {
      sys_screen_size(&width, &height);
    }
    if (g_opt.resW > 0) {
      width = g_opt.resW;
      height = g_opt.resH;
    }
    if (width < 320 || height < 240) {
      width = 640;
      height = 480;
    }
  }

  // Aspect, clamped to the shapes the game supports, with a little tolerance.
  float r = (float)width / (float)height;
  float a = r < 1.25f ? 1.25f : (r > 2.4f ? 2.4f : r);
  float tol = r < 1.25f ? 1.26f : a + 0.01f;

  // Height: the whole-number divisor of the back buffer that lands in 240..300.
  int lowH = 240;
  if (height >= 240) {
    int k = height / 240;
    int cand = height / k;
    if (cand >= 240 && cand <= 300) lowH = cand;
  }

  int lowW = f_to_int((float)width / ((float)height / (float)lowH) + 0.001f);
  int minW = f_to_int(1.25f * (float)lowH), maxW = f_to_int(2.4f * (float)lowH);
  if (lowW < minW) lowW = minW;
  if (lowW > maxW) lowW = maxW;
  if ((float)lowW / (float)lowH > tol) lowW = f_to_int((float)lowH * a);
  lowW &= ~1;

  if (lowW < 320) {
    lowW = 320;
    lowH = f_to_int(320.0f / a);
    if (lowH < 240) lowH = 240;
  }

  g_bbW = width;
  g_bbH = height;
  g_lowW = lowW;
  g_lowH = lowH;
  g_fullscreen = fullscreen ? 1 : 0;

  g_pp.BackBufferWidth = (UINT)width;
  g_pp.BackBufferHeight = (UINT)height;
  g_pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  g_pp.BackBufferCount = 1;
  g_pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  g_pp.hDeviceWindow = (HWND)g_hwnd;
  g_pp.Windowed = fullscreen ? 0 : 1;
  g_pp.EnableAutoDepthStencil = 0;
  g_pp.FullScreen_RefreshRateInHz = 0;
  g_pp.PresentationInterval = g_opt.vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
}

void compute_upscale() {
  float sx = (float)g_bbW / (float)g_lowW, sy = (float)g_bbH / (float)g_lowH;
  float s = sx < sy ? sx : sy;
  float f = f_floor(s);
  float scale = (f >= 1.0f && f / s > 0.88f) ? f : s;
  g_upScale = scale;
  g_upX = f_floor(((float)g_bbW - (float)g_lowW * scale) * 0.5f);
  g_upY = f_floor(((float)g_bbH - (float)g_lowH * scale) * 0.5f);
}

void window_style(int fullscreen) {
  if (fullscreen) {
    sys_window_set_mode(g_hwnd, 1, g_bbW, g_bbH);
  } else {
    int w, h;
    requested_size(&w, &h);
    sys_window_set_mode(g_hwnd, 0, w, h);
  }
}

// ---- render targets ----------------------------------------------------------------------------
int create_targets() {
  HRESULT hr = dev()->CreateTexture((UINT)g_lowW, (UINT)g_lowH, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8,
                                    D3DPOOL_DEFAULT, &g_rtTex, nullptr);
  if (hr < 0 || !g_rtTex) {
    g_rtTex = nullptr;
    log_printf("CreateTexture(RT) failed %x", (unsigned)hr);
    return 0;
  }
  hr = g_rtTex->GetSurfaceLevel(0, &g_rtSurf);
  if (hr < 0 || !g_rtSurf) {
    g_rtSurf = nullptr;
    log_printf("GetSurfaceLevel(RT) failed %x", (unsigned)hr);
    return 0;
  }

  hr = dev()->CreateDepthStencilSurface((UINT)g_lowW, (UINT)g_lowH, D3DFMT_D24X8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                        &g_rtDepth, nullptr);
  if (hr < 0 || !g_rtDepth) {
    g_rtDepth = nullptr;
    hr = dev()->CreateDepthStencilSurface((UINT)g_lowW, (UINT)g_lowH, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE,
                                          &g_rtDepth, nullptr);
    if (hr < 0 || !g_rtDepth) {
      g_rtDepth = nullptr;
      log_printf("CreateDepthStencilSurface failed %x", (unsigned)hr);
      return 0;
    }
  }

  hr = dev()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &g_backBuf);
  if (hr < 0 || !g_backBuf) {
    g_backBuf = nullptr;
    log_printf("GetBackBuffer failed %x", (unsigned)hr);
    return 0;
  }

  memset(&g_rtWrap, 0, sizeof g_rtWrap);
  str_cpy(g_rtWrap.name, "<rt>", (int)sizeof g_rtWrap.name);
  g_rtWrap.tex = g_rtTex;
  g_rtWrap.w = g_lowW;
  g_rtWrap.h = g_lowH;
  return 1;
}

template <typename T>
static void release(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}

void release_targets() {
  release(g_shotSurf);
  release(g_backBuf);
  release(g_rtDepth);
  release(g_rtSurf);
  release(g_rtTex);
  g_rtWrap.tex = nullptr;
}

// ---- start-up and shutdown ------------------------------------------------------------------------
static int create_device(int fullscreen) {
  fill_pp(fullscreen);
  window_style(fullscreen);
  const DWORD flags[2] = {D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE,
                          D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE};
  for (int i = 0; i < 2; i++) {
    IDirect3DDevice9* d = nullptr;
    HRESULT hr = g_d3d->CreateDevice(0, D3DDEVTYPE_HAL, (HWND)g_hwnd, flags[i], &g_pp, &d);
    if (hr >= 0 && d) {
      g_dev = d;
      return 1;
    }
  }
  return 0;
}

int gfx_init(SysWindow hwnd, int fullscreen) {
  g_hwnd = hwnd;
  SysLib lib = sys_lib_load("d3d9.dll");
  if (!lib) {
    log_printf("no d3d9.dll");
    return 0;
  }
  Direct3DCreate9Fn create = (Direct3DCreate9Fn)sys_lib_proc(lib, "Direct3DCreate9");
  if (!create) {
    log_printf("no Direct3DCreate9");
    return 0;
  }
  g_d3d = create(32);
  if (!g_d3d) {
    log_printf("Direct3DCreate9 failed");
    return 0;
  }

  int ok = create_device(fullscreen ? 1 : 0);
  if (!ok) {
    if (fullscreen) log_printf("fullscreen device failed, falling back to a window");
    ok = create_device(0);
  }
  if (!ok) {
    log_printf("CreateDevice failed");
    release(g_d3d);
    return 0;
  }

  g_bound = nullptr;
  if (!create_targets()) {
    release_targets();  // nothing is left half made
    dev()->Release();
    g_dev = nullptr;
    release(g_d3d);
    return 0;
  }
  default_states();
  compute_upscale();
  log_printf("gfx ready: %dx%d %s, low %dx%d, scale %.2f", g_bbW, g_bbH, mode_name(g_fullscreen), g_lowW, g_lowH,
             (double)g_upScale);
  return 1;
}

void gfx_shutdown() {
  if (g_dev && g_fullscreen) {
    fill_pp(0);
    window_style(0);
    do_reset();
  }
  hooks_run(&g_releaseHooks);
  release_targets();
  g_bound = nullptr;
  if (g_dev) {
    dev()->Release();
    g_dev = nullptr;
  }
  release(g_d3d);
  gfx_state_reset();
}

// ---- device loss and display switching -------------------------------------------------------------
int do_reset() {
  release_targets();
  HRESULT hr = dev()->Reset(&g_pp);
  if (hr < 0) {
    log_printf("Reset failed %x", (unsigned)hr);
    return 0;
  }
  g_bound = nullptr;  // a reset unbinds every texture
  if (!create_targets()) return 0;
  default_states();
  compute_upscale();
  return 1;
}

int gfx_ready() {
  if (!g_dev) return 0;
  HRESULT hr = dev()->TestCooperativeLevel();
  if (hr == D3D_OK) return 1;
  if (hr == D3DERR_DEVICENOTRESET) return do_reset();
  sys_sleep(30);
  return 0;
}

int gfx_set_fullscreen(int on) {
  on = on ? 1 : 0;
  if (g_fullscreen == on) return 1;

  D3DPRESENT_PARAMETERS oldPP = g_pp;
  int oldW = g_bbW, oldH = g_bbH, oldLowW = g_lowW, oldLowH = g_lowH, old = g_fullscreen;
  fill_pp(on);
  int ok;
  if (on) {
    ok = do_reset();
    if (ok) window_style(1);
  } else {
    window_style(0);
    ok = do_reset();
  }
  if (ok) {
    log_printf("display: %dx%d %s, low %dx%d", g_bbW, g_bbH, mode_name(on), g_lowW, g_lowH);
    return 1;
  }

  // Back to the mode that worked, picture size included.
  g_pp = oldPP;
  g_bbW = oldW;
  g_bbH = oldH;
  g_lowW = oldLowW;
  g_lowH = oldLowH;
  g_fullscreen = old;
  window_style(old);
  do_reset();
  return 0;
}

// ---- textures --------------------------------------------------------------------------------------
IDirect3DTexture9* gpu_texture(int w, int h, int levels) {
  if (!g_dev) return nullptr;
  IDirect3DTexture9* t = nullptr;
  if (FAILED(dev()->CreateTexture((UINT)w, (UINT)h, (UINT)levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr)))
    return nullptr;
  return t;
}

// ---- frame -------------------------------------------------------------------------------------------
void gfx_bind(Texture* tex) {
  if (tex == g_bound) return;
  g_bound = tex;
  dev()->SetTexture(0, tex ? tex->tex : nullptr);
}

static void set_viewport(int x, int y, int w, int h) {
  D3DVIEWPORT9 vp;
  vp.X = (DWORD)x;
  vp.Y = (DWORD)y;
  vp.Width = (DWORD)w;
  vp.Height = (DWORD)h;
  vp.MinZ = 0.0f;
  vp.MaxZ = 1.0f;
  dev()->SetViewport(&vp);
}

void gfx_begin_low(uint32_t colour) {
  g_bound = nullptr;
  dev()->SetTexture(0, nullptr);
  dev()->BeginScene();
  dev()->SetRenderTarget(0, g_rtSurf);
  dev()->SetDepthStencilSurface(g_rtDepth);
  set_viewport(0, 0, g_lowW, g_lowH);
  dev()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, (D3DCOLOR)colour, 1.0f, 0);
}

void gfx_viewport(int x, int y, int w, int h) {
  hooks_run(&g_flushHooks);
  if (w <= 0) {
    x = 0;
    y = 0;
    w = g_lowW;
    h = g_lowH;
  }
  set_viewport(x, y, w, h);
}

void gfx_end_low_and_present() {
  hooks_run(&g_flushHooks);

  dev()->SetRenderTarget(0, g_backBuf);
  dev()->SetDepthStencilSurface(nullptr);
  set_viewport(0, 0, g_bbW, g_bbH);
  if (g_upX > 0.0f || g_upY > 0.0f) dev()->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);

  gfx_rs(D3DRS_ZENABLE, 0);
  gfx_rs(D3DRS_LIGHTING, 0);
  gfx_rs(D3DRS_FOGENABLE, 0);
  gfx_rs(D3DRS_ALPHABLENDENABLE, 0);
  gfx_rs(D3DRS_ALPHATESTENABLE, 0);
  gfx_rs(D3DRS_CULLMODE, D3DCULL_NONE);
  gfx_samp(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  gfx_samp(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
  gfx_bind(&g_rtWrap);

  // Half a pixel up and left puts texel centres on pixel centres.
  float x0 = g_upX - 0.5f, y0 = g_upY - 0.5f;
  float x1 = x0 + (float)g_lowW * g_upScale, y1 = y0 + (float)g_lowH * g_upScale;
  UiVertex quad[4] = {
      {x0, y0, 0.0f, 1.0f, 0xFFFFFFFFu, 0.0f, 0.0f},
      {x1, y0, 0.0f, 1.0f, 0xFFFFFFFFu, 1.0f, 0.0f},
      {x0, y1, 0.0f, 1.0f, 0xFFFFFFFFu, 0.0f, 1.0f},
      {x1, y1, 0.0f, 1.0f, 0xFFFFFFFFu, 1.0f, 1.0f},
  };
  gfx_fvf(FVF_UI);
  gfx_draw_up(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(UiVertex));

  if (g_bound) {
    g_bound = nullptr;
    dev()->SetTexture(0, nullptr);
  }
  gfx_samp(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  gfx_samp(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
  gfx_rs(D3DRS_ZENABLE, 1);

  dev()->EndScene();
  HRESULT hr = dev()->Present(nullptr, nullptr, nullptr, nullptr);
  if (hr == D3DERR_DEVICELOST) sys_sleep(20);
  g_frame++;
}

// ---- mouse ------------------------------------------------------------------------------------------
void gfx_screen_to_low(int x, int y, float* lx, float* ly) {
  int cw, ch;
  if (!g_fullscreen && sys_window_client_size(g_hwnd, &cw, &ch) && cw > 0 && ch > 0) {
    x = x * g_bbW / cw;
    y = y * g_bbH / ch;
  }
  *lx = ((float)x - g_upX) / g_upScale;
  *ly = ((float)y - g_upY) / g_upScale;
}

// ---- screenshot ----------------------------------------------------------------------------------------
// The low-resolution target copied to system memory and locked; 0 when it cannot be read.
static int lock_low_copy(D3DLOCKED_RECT* lr) {
  if (!g_dev) return 0;
  if (!g_shotSurf) {
    HRESULT hr = dev()->CreateOffscreenPlainSurface((UINT)g_lowW, (UINT)g_lowH, D3DFMT_X8R8G8B8,
                                                    D3DPOOL_SYSTEMMEM, &g_shotSurf, nullptr);
    if (hr < 0 || !g_shotSurf) {
      g_shotSurf = nullptr;
      return 0;
    }
  }
  if (dev()->GetRenderTargetData(g_rtSurf, g_shotSurf) < 0) return 0;
  return g_shotSurf->LockRect(lr, nullptr, 0) >= 0;
}

int gfx_read_low(uint32_t* out) {
  D3DLOCKED_RECT lr;
  if (!lock_low_copy(&lr)) return 0;
  for (int y = 0; y < g_lowH; y++) {
    const uint32_t* row = (const uint32_t*)((const uint8_t*)lr.pBits + (ptrdiff_t)y * lr.Pitch);
    for (int x = 0; x < g_lowW; x++) out[y * g_lowW + x] = row[x] & 0xFFFFFFu;
  }
  g_shotSurf->UnlockRect();
  return 1;
}

int gfx_save_shot(const char* path) {
  D3DLOCKED_RECT lr;
  if (!lock_low_copy(&lr)) return 0;

  // With a requested display size the picture is the presented one, bars
  // included; otherwise each low-resolution pixel becomes a 2 x 2 block.
  int asPresented = g_opt.resW > 0;
  int width = asPresented ? g_bbW : 2 * g_lowW;
  int height = asPresented ? g_bbH : 2 * g_lowH;
  int rowSize = bmp_row_bytes(width, 3);
  int fileSize = 54 + rowSize * height;
  uint8_t* buf = (uint8_t*)mem_alloc((size_t)fileSize);
  int ok = 0;
  if (buf) {
    bmp_header(buf, width, height, 3, 0);
    const uint8_t* src = (const uint8_t*)lr.pBits;
    for (int r = 0; r < height; r++) {
      int y = height - 1 - r;
      int sy = asPresented ? f_to_int(f_floor(((float)y - g_upY) / g_upScale)) : y / 2;
      uint8_t* out = buf + 54 + r * rowSize;
      if (sy < 0 || sy >= g_lowH) continue;  // bar: stays black
      const uint8_t* row = src + (ptrdiff_t)sy * lr.Pitch;
      for (int x = 0; x < width; x++) {
        int sx = asPresented ? f_to_int(f_floor(((float)x - g_upX) / g_upScale)) : x / 2;
        if (sx < 0 || sx >= g_lowW) continue;
        const uint8_t* p = row + sx * 4;  // X8R8G8B8: blue, green, red, unused
        out[x * 3 + 0] = p[0];
        out[x * 3 + 1] = p[1];
        out[x * 3 + 2] = p[2];
      }
    }
  }
  g_shotSurf->UnlockRect();
  if (buf) {
    ok = file_write(path, buf, fileSize);
    mem_free(buf);
  }
  log_printf("shot %s -> %d", path, ok);
  return ok;
}
