#include "cf_image.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rt/bmp.h"
#include "rt/rt.h"

static uint32_t get16(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }
static uint32_t get32(const uint8_t* p) { return get16(p) | get16(p + 2) << 16; }

int cf_bmp_write(const char* path, const uint32_t* px, int w, int h) {
  size_t size = 0;
  uint8_t* b = bmp_encode(px, w, h, 3, 0, &size);
  if (!b) return 0;
  FILE* f = fopen(path, "wb");
  int ok = f && fwrite(b, 1, size, f) == size;
  if (f && fclose(f) != 0) ok = 0;
  mem_free(b);
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
