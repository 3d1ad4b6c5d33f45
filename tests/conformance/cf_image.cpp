#include "cf_image.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void put16(uint8_t* p, uint32_t v) { p[0] = (uint8_t)v, p[1] = (uint8_t)(v >> 8); }
static void put32(uint8_t* p, uint32_t v) { put16(p, v), put16(p + 2, v >> 16); }
static uint32_t get16(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }
static uint32_t get32(const uint8_t* p) { return get16(p) | get16(p + 2) << 16; }

int cf_bmp_write(const char* path, const uint32_t* px, int w, int h) {
  if (w <= 0 || h <= 0) return 0;
  size_t row = ((size_t)w * 3 + 3) & ~(size_t)3, size = 54 + row * (size_t)h;
  uint8_t* b = (uint8_t*)calloc(1, size);
  if (!b) return 0;
  b[0] = 'B', b[1] = 'M';
  put32(b + 2, (uint32_t)size);
  put32(b + 10, 54);
  put32(b + 14, 40);
  put32(b + 18, (uint32_t)w);
  put32(b + 22, (uint32_t)h);
  put16(b + 26, 1);
  put16(b + 28, 24);
  put32(b + 34, (uint32_t)(row * (size_t)h));
  for (int y = 0; y < h; y++) {
    uint8_t* d = b + 54 + row * (size_t)(h - 1 - y);
    for (int x = 0; x < w; x++) {
      uint32_t c = px[y * w + x];
      d[x * 3] = (uint8_t)c, d[x * 3 + 1] = (uint8_t)(c >> 8), d[x * 3 + 2] = (uint8_t)(c >> 16);
    }
  }
  FILE* f = fopen(path, "wb");
  int ok = f && fwrite(b, 1, size, f) == size;
  if (f && fclose(f) != 0) ok = 0;
  free(b);
  return ok;
}

uint32_t* cf_bmp_read(const char* path, int* w, int* h) {
  FILE* f = fopen(path, "rb");
  if (!f) return nullptr;
  uint8_t hd[54];
  uint32_t* px = nullptr;
  if (fread(hd, 1, 54, f) == 54 && hd[0] == 'B' && hd[1] == 'M' && get32(hd + 30) == 0) {
    int bw = (int)get32(hd + 18), bh = (int)get32(hd + 22), bpp = (int)get16(hd + 28);
    int topDown = bh < 0;
    if (topDown) bh = -bh;
    if (bw > 0 && bh > 0 && bw <= 16384 && bh <= 16384 && (bpp == 24 || bpp == 32)) {
      size_t row = ((size_t)bw * (size_t)(bpp / 8) + 3) & ~(size_t)3;
      uint8_t* data = (uint8_t*)malloc(row * (size_t)bh);
      px = (uint32_t*)malloc(sizeof(uint32_t) * (size_t)bw * (size_t)bh);
      if (data && px && fseek(f, (long)get32(hd + 10), SEEK_SET) == 0 && fread(data, 1, row * (size_t)bh, f) == row * (size_t)bh) {
        for (int y = 0; y < bh; y++) {
          const uint8_t* s = data + row * (size_t)(topDown ? y : bh - 1 - y);
          for (int x = 0; x < bw; x++) {
            const uint8_t* p = s + (size_t)x * (size_t)(bpp / 8);
            px[y * bw + x] = (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
          }
        }
        *w = bw, *h = bh;
      } else {
        free(px);
        px = nullptr;
      }
      free(data);
    }
  }
  fclose(f);
  return px;
}
