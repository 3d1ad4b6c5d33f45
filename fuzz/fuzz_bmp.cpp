// Fuzz target: the BMP reader. Every accepted picture must have a size the
// game allows, and every one of its pixels must be readable.
#include <stdint.h>
#include <stdlib.h>

#include "assets/assets_internal.h"
#include "rt/rt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int w = 0, h = 0;
  uint32_t* px = bmp_decode(data, size, &w, &h);
  if (!px) return 0;
  if (w < 1 || w > 2048 || h < 1) abort();
  if ((uint64_t)w * (uint64_t)h * 4 > size * 4 / 3 + 4) abort();  // never more pixels than the file holds
  uint32_t sum = 0;
  for (size_t i = 0, n = (size_t)w * (size_t)h; i < n; i++) sum += px[i];
  mem_free(px);
  return (int)(sum & 0);
}
