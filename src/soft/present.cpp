// The software device and the window system: presentation of the back
// buffer in an SDL window (the device window on Linux is an SDL_Window*),
// window sizes and the desktop mode. The window's own surface is used, so
// the window must not also have an SDL renderer. Without a window, or
// without SDL video, presenting shows nothing. The only file that calls SDL.
#include <SDL.h>

#include "soft/soft_internal.h"

namespace soft {

void present_release(SoftDevice* dev) {
  if (dev->presentCache) {
    SDL_FreeSurface((SDL_Surface*)dev->presentCache);
    dev->presentCache = nullptr;
  }
}

void present_to_window(SoftDevice* dev, HWND window) {
  if (!window || !dev->backBuffer || !SDL_WasInit(SDL_INIT_VIDEO)) return;
  SDL_Window* win = (SDL_Window*)window;
  SDL_Surface* dst = SDL_GetWindowSurface(win);
  if (!dst) return;
  const Image& img = dev->backBuffer->img;
  SDL_Surface* src = (SDL_Surface*)dev->presentCache;
  if (!src || src->pixels != img.px || src->w != img.w || src->h != img.h) {
    present_release(dev);
    // wraps the back buffer's pixels: made once per back buffer, not per frame
    src = SDL_CreateRGBSurfaceWithFormatFrom(img.px, img.w, img.h, 32, img.pitch * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!src) return;
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);
    dev->presentCache = src;
  }
  if (dst->w == src->w && dst->h == src->h)
    SDL_BlitSurface(src, nullptr, dst, nullptr);
  else
    SDL_BlitScaled(src, nullptr, dst, nullptr);
  SDL_UpdateWindowSurface(win);
}

int present_window_size(HWND window, int* w, int* h) {
  if (!window || !SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  SDL_GetWindowSize((SDL_Window*)window, w, h);
  return 1;
}

int present_desktop_mode(int* w, int* h, int* rate) {
  SDL_DisplayMode dm;
  if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(0, &dm) != 0 || dm.w <= 0 || dm.h <= 0) return 0;
  *w = dm.w;
  *h = dm.h;
  if (dm.refresh_rate > 0) *rate = dm.refresh_rate;
  return 1;
}

}  // namespace soft
