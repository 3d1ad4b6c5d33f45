// The conformance scenes on the real Direct3D 9: creates a window and a
// device the way the game does, renders every scene (or those named after
// the folder) and writes each picture as <folder>/<scene>.bmp; then draws a
// frame through the game's graphics layer (see cf_layer.h) unless scenes
// were named.
//   cf_wine.exe FOLDER [SCENE...]
// Prints one line per scene; exit code 0 when every scene was written.
//   cf_wine.exe --race-ms N
// times N race frames (640 x 480, each read back to system memory so the
// work is finished) and prints the time per frame.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cf_image.h"
#include "cf_layer.h"
#include "cf_race.h"
#include "cf_scene.h"

typedef IDirect3D9*(WINAPI* Create9Fn)(UINT);

static LRESULT CALLBACK wnd_proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

static HWND make_window() {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = wnd_proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "cf_conformance";
  RegisterClassA(&wc);
  RECT r = {0, 0, 64, 64};
  DWORD style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRect(&r, style, FALSE);
  return CreateWindowExA(0, "cf_conformance", "conformance", style, 40, 40, r.right - r.left, r.bottom - r.top,
                         nullptr, nullptr, wc.hInstance, nullptr);
}

static double now_ms() {
  FILETIME ft;
  GetSystemTimePreciseAsFileTime(&ft);
  return (double)(((unsigned long long)ft.dwHighDateTime << 32) | ft.dwLowDateTime) / 10000.0;
}

// The race frame n times into a 640 x 480 target, each frame read back.
static int time_race(IDirect3DDevice9* dev, int n) {
  CfRace r;
  IDirect3DTexture9* tex = nullptr;
  IDirect3DSurface9 *target = nullptr, *sys = nullptr;
  int ok = cf_race_open(&r, dev) &&
           SUCCEEDED(dev->CreateTexture(640, 480, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &tex,
                                        nullptr)) &&
           SUCCEEDED(tex->GetSurfaceLevel(0, &target)) &&
           SUCCEEDED(dev->CreateOffscreenPlainSurface(640, 480, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr));
  if (ok) {
    // (the system time: Wine's tick count and performance counter can stand
    // still under a busy machine's wineserver)
    double t0 = now_ms();
    HRESULT hr = D3D_OK;
    for (int k = -3; k < n; k++) {  // three frames to warm up
      if (k == 0) t0 = now_ms();
      dev->BeginScene();
      cf_race_frame(&r, 0.5f * (float)((k + 3) % 300), target, 640, 480);
      dev->EndScene();
      HRESULT h = dev->GetRenderTargetData(target, sys);
      D3DLOCKED_RECT lr;  // (the copy is queued: mapping its result waits for the frame)
      if (SUCCEEDED(h)) h = sys->LockRect(&lr, nullptr, D3DLOCK_READONLY);
      if (SUCCEEDED(h)) sys->UnlockRect();
      if (FAILED(h)) hr = h;
    }
    double ms = now_ms() - t0;
    printf("race frame: %d us per frame over %d frames, %d triangles%s\n", (int)(1000.0 * ms / n), n, r.triangles,
           FAILED(hr) ? " (read-back failed)" : "");
    ok = SUCCEEDED(hr);
  } else {
    printf("race frame: resources not made\n");
  }
  if (sys) sys->Release();
  if (target) target->Release();
  if (tex) tex->Release();
  cf_race_close(&r);
  return ok ? 0 : 1;
}

int main(int argc, char** argv) {
  unsigned short cw = 0x027F;  // as every thread of the game does
  __asm__ volatile("fldcw %0" : : "m"(cw));
  if (argc < 2) {
    fprintf(stderr, "usage: %s FOLDER [SCENE...]\n", argv[0]);
    return 2;
  }
  const char* dir = argv[1];
  if (strcmp(dir, "--race-ms") != 0) CreateDirectoryA(dir, nullptr);
  HWND hwnd = make_window();
  if (!hwnd) {
    fprintf(stderr, "no window\n");
    return 1;
  }
  HMODULE lib = LoadLibraryA("d3d9.dll");
  Create9Fn create = lib ? (Create9Fn)(void*)GetProcAddress(lib, "Direct3DCreate9") : nullptr;
  IDirect3D9* d3d = create ? create(D3D_SDK_VERSION) : nullptr;
  if (!d3d) {
    fprintf(stderr, "no Direct3D 9\n");
    return 1;
  }
  D3DPRESENT_PARAMETERS pp = windowed_pp(64, 64, hwnd);
  IDirect3DDevice9* dev = nullptr;
  DWORD flags = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE;
  HRESULT hr = d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, flags, &pp, &dev);
  if (FAILED(hr)) {
    flags = D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE;
    hr = d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, flags, &pp, &dev);
  }
  if (FAILED(hr) || !dev) {
    fprintf(stderr, "CreateDevice failed %08lx\n", (unsigned long)hr);
    return 1;
  }
  D3DADAPTER_IDENTIFIER9 id;
  if (SUCCEEDED(d3d->GetAdapterIdentifier(0, 0, &id))) printf("adapter: %s (%s)\n", id.Description, id.Driver);
  printf("device: flags 0x%lx\n", (unsigned long)flags);

  if (strcmp(dir, "--race-ms") == 0) {
    int n = argc > 2 ? atoi(argv[2]) : 100;
    int rc = time_race(dev, n < 1 ? 1 : n);
    dev->Release();
    d3d->Release();
    DestroyWindow(hwnd);
    return rc;
  }
  int failures = 0, done = 0;
  for (int i = 0; i < cf_scene_count(); i++) {
    const CfScene* s = cf_scene(i);
    if (argc > 2) {
      int wanted = 0;
      for (int a = 2; a < argc; a++) wanted |= strcmp(argv[a], s->name) == 0;
      if (!wanted) continue;
    }
    uint32_t* px = (uint32_t*)calloc((size_t)s->w * (size_t)s->h, sizeof(uint32_t));
    char err[200] = "";
    char path[600];
    snprintf(path, sizeof path, "%s\\%s.bmp", dir, s->name);
    if (!px || !cf_render(dev, s, px, err, sizeof err)) {
      printf("scene %s FAILED: %s\n", s->name, err);
      failures++;
    } else if (!cf_bmp_write(path, px, s->w, s->h)) {
      printf("scene %s FAILED: cannot write %s\n", s->name, path);
      failures++;
    } else {
      printf("scene %s ok\n", s->name);
      done++;
    }
    free(px);
  }
  dev->Release();
  d3d->Release();
  if (argc == 2) {
    char err[200] = "", layerDir[600];
    snprintf(layerDir, sizeof layerDir, "%s\\", dir);
    if (cf_layer_run(hwnd, layerDir, err, sizeof err)) {
      printf("layer frame ok\n");
    } else {
      printf("layer frame FAILED: %s\n", err);
      failures++;
    }
  }
  DestroyWindow(hwnd);
  printf("done %d scenes, %d failed\n", done, failures);
  fflush(stdout);
  return failures ? 1 : 0;
}
