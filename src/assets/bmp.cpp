// The BMP reader: 24- and 32-bit pictures, stored bottom-up or top-down,
// uncompressed or with bit fields (taken as blue, green, red, alpha bytes).
#include "assets/assets_internal.h"
#include "rt/rt.h"

static uint32_t rd16(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8;
}

static uint32_t rd32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

uint32_t* bmp_decode(const uint8_t* data, size_t size, int* outW, int* outH) {
  if (!data || size < 54) return nullptr;
  if (data[0] != 'B' || data[1] != 'M') return nullptr;
  uint32_t offset = rd32(data + 10);
  int32_t width = (int32_t)rd32(data + 18);
  int32_t height = (int32_t)rd32(data + 22);
  uint32_t bits = rd16(data + 28);
  uint32_t compression = rd32(data + 30);
  if (width < 1 || width > 2048) return nullptr;
  // -2147483648 has no positive counterpart: refuse it instead of negating it.
  if (height == 0 || height == INT32_MIN) return nullptr;
  if (bits != 24 && bits != 32) return nullptr;
  if (compression != 0 && compression != 3) return nullptr;

  uint32_t rows = height < 0 ? (uint32_t)-height : (uint32_t)height;
  uint32_t bpp = bits / 8;
  uint64_t rowSize = ((uint64_t)width * bpp + 3) & ~(uint64_t)3;
  // 64-bit sums cannot overflow here (offset < 2^32, rows < 2^31, rowSize < 2^14).
  if ((uint64_t)offset + (uint64_t)rows * rowSize > (uint64_t)size) return nullptr;
  uint64_t bytes = (uint64_t)width * rows * 4;
  if (bytes > (uint64_t)(size_t)-1 / 2) return nullptr;
  uint32_t* px = (uint32_t*)mem_alloc((size_t)bytes);
  if (!px) return nullptr;

  int anyAlpha = 0;
  for (uint32_t r = 0; r < rows; r++) {
    const uint8_t* src = data + offset + (uint64_t)r * rowSize;
    uint32_t y = height > 0 ? rows - 1 - r : r;  // first stored row is the bottom one
    uint32_t* dst = px + (size_t)y * (uint32_t)width;
    if (bpp == 3) {
      for (int32_t x = 0; x < width; x++, src += 3) {
        uint32_t c = (uint32_t)src[2] << 16 | (uint32_t)src[1] << 8 | src[0];
        dst[x] = c == 0xFF00FF ? 0u : (0xFF000000u | c);  // magenta is the see-through key
      }
    } else {
      for (int32_t x = 0; x < width; x++, src += 4) {
        dst[x] = rd32(src);
        anyAlpha |= src[3];
      }
    }
  }
  // A 32-bit picture saved without alpha has every alpha byte zero: make it opaque.
  if (bpp == 4 && !anyAlpha) {
    size_t n = (size_t)width * rows;
    for (size_t i = 0; i < n; i++) px[i] |= 0xFF000000u;
  }
  *outW = width;
  *outH = (int)rows;
  return px;
}
