// Pictures of the conformance scenes: 0x00RRGGBB pixels, rows top to bottom,
// stored as the game stores pictures (24-bit BMP files), and their comparison.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct CfPic {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const { return px[(size_t)y * (size_t)w + (size_t)x]; }
};

// 1 = written completely.
int cf_bmp_write(const char* path, const uint32_t* px, int w, int h);
// Reads a BMP file the game would read; 0 when it is missing or not such a file.
int cf_bmp_read(const char* path, CfPic* p);

struct CfDiff {
  int over;      // pixels with a channel differing by more than the tolerance
  int maxDelta;  // largest channel difference anywhere
  int firstX, firstY;  // first pixel over the tolerance (row order), -1 when none
};

CfDiff cf_diff(const uint32_t* a, const uint32_t* b, int w, int h, int tolDelta);

// "(x, y): wine 0x..., soft 0x..." lines for up to max pixels over the tolerance.
std::string cf_diff_report(const uint32_t* a, const uint32_t* b, int w, int h, int tolDelta, int max);
