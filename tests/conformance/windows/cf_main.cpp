// The conformance scenes on the real Direct3D 9: creates a window and a
// device the way the game does, renders every scene and writes each picture
// as <folder>/<scene>.bmp; then draws a frame through the game's graphics
// layer (see cf_layer.h).
//   cf_wine.exe FOLDER
// Prints one line per scene; exit code 0 when every scene was written.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cf_image.h"
#include "cf_layer.h"
#include "cf_scene.h"
#include "rt/sys.h"

typedef IDirect3D9*(WINAPI* Create9Fn)(UINT);

static intptr_t SYS_CALLBACK wnd_proc(SysWindow w, uint32_t m, uintptr_t wp, intptr_t lp) {
  return sys_window_default(w, m, wp, lp);
}

int main(int argc, char** argv) {
  sys_fpu_init();  // as every thread of the game does
  if (argc < 2) {
    fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const char* dir = argv[1];
  CreateDirectoryA(dir, nullptr);
  sys_window_register("cf_conformance", wnd_proc);
  HWND hwnd = (HWND)sys_window_create("cf_conformance", "conformance", 0, 64, 64);
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

  int failures = 0, done = 0;
  for (int i = 0; i < cf_scene_count(); i++) {
    const CfScene* s = cf_scene(i);
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
  char err[200] = "", layerDir[600];
  snprintf(layerDir, sizeof layerDir, "%s\\", dir);
  if (cf_layer_run(hwnd, layerDir, err, sizeof err)) {
    printf("layer frame ok\n");
  } else {
    printf("layer frame FAILED: %s\n", err);
    failures++;
  }
  DestroyWindow(hwnd);
  printf("done %d scenes, %d failed\n", done, failures);
  fflush(stdout);
  return failures ? 1 : 0;
}
