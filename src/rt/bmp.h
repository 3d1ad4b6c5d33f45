// BMP files as the game, its tools and its tests write them: uncompressed,
// 24 or 32 bits a pixel, rows bottom-up and padded to four bytes, after a
// 54-byte header.
#pragma once

#include <stddef.h>
#include <stdint.h>

int bmp_row_bytes(int w, int bytesPerPixel);
// The header of a w x h file; pixelsPerMetre 0 leaves the resolution unstated.
void bmp_header(uint8_t* out, int w, int h, int bytesPerPixel, uint32_t pixelsPerMetre);
// The whole file for pixels 0xAARRGGBB, top row first (the alpha byte is kept
// with four bytes a pixel). mem_alloc'd; null on failure or a size of zero.
uint8_t* bmp_encode(const uint32_t* px, int w, int h, int bytesPerPixel, uint32_t pixelsPerMetre, size_t* bytes);
