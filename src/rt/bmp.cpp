// Writing BMP files.
#include "rt/bmp.h"

#include "rt/rt.h"

static void put(uint8_t* p, uint32_t v, int n) {
  for (int i = 0; i < n; i++) p[i] = (uint8_t)(v >> (8 * i));
}

int bmp_row_bytes(int w, int bytesPerPixel) { return (w * bytesPerPixel + 3) & ~3; }

void bmp_header(uint8_t* out, int w, int h, int bytesPerPixel, uint32_t pixelsPerMetre) {
  uint32_t data = (uint32_t)bmp_row_bytes(w, bytesPerPixel) * (uint32_t)h;
  memset(out, 0, 54);
  out[0] = 'B';
  out[1] = 'M';
  put(out + 2, 54 + data, 4);
  put(out + 10, 54, 4);  // where the pixels start
  put(out + 14, 40, 4);  // the info header's size
  put(out + 18, (uint32_t)w, 4);
  put(out + 22, (uint32_t)h, 4);  // positive: bottom row first
  put(out + 26, 1, 2);
  put(out + 28, (uint32_t)bytesPerPixel * 8, 2);
  put(out + 34, data, 4);
  put(out + 38, pixelsPerMetre, 4);
  put(out + 42, pixelsPerMetre, 4);
}

uint8_t* bmp_encode(const uint32_t* px, int w, int h, int bytesPerPixel, uint32_t pixelsPerMetre, size_t* bytes) {
  if (w <= 0 || h <= 0 || (bytesPerPixel != 3 && bytesPerPixel != 4)) return nullptr;
  size_t row = (size_t)bmp_row_bytes(w, bytesPerPixel), size = 54 + row * (size_t)h;
  uint8_t* f = (uint8_t*)mem_alloc(size);
  if (!f) return nullptr;
  bmp_header(f, w, h, bytesPerPixel, pixelsPerMetre);
  for (int y = 0; y < h; y++) {
    uint8_t* dst = f + 54 + row * (size_t)(h - 1 - y);
    const uint32_t* src = px + (size_t)y * (size_t)w;
    for (int x = 0; x < w; x++) put(dst + (size_t)x * bytesPerPixel, src[x], bytesPerPixel);
  }
  *bytes = size;
  return f;
}
