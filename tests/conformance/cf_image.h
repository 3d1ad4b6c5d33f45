// Pictures of the conformance scenes: 0x00RRGGBB pixels, rows top to bottom,
// stored as 24-bit bottom-up BMP files.
#pragma once

#include <stdint.h>

// 1 = written completely.
int cf_bmp_write(const char* path, const uint32_t* px, int w, int h);
// Reads a 24- or 32-bit uncompressed BMP (either row order) into a new
// malloc'd array; null when the file is missing or not such a BMP.
uint32_t* cf_bmp_read(const char* path, int* w, int* h);
