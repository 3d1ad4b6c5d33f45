// Comparing two pictures of a scene (0x00RRGGBB pixels, same size).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct CfDiff {
  int over;      // pixels with a channel differing by more than the tolerance
  int maxDelta;  // largest channel difference anywhere
  int firstX, firstY;  // first pixel over the tolerance (row order), -1 when none
};

CfDiff cf_diff(const uint32_t* a, const uint32_t* b, int w, int h, int tolDelta);

// A picture for people: the reference dimmed to grey, pixels within the
// tolerance but not equal in yellow, pixels over it in red (brighter = larger).
std::vector<uint32_t> cf_diff_picture(const uint32_t* a, const uint32_t* b, int w, int h, int tolDelta);

// "(x, y): wine 0x..., soft 0x..." lines for up to max pixels over the tolerance.
std::string cf_diff_report(const uint32_t* a, const uint32_t* b, int w, int h, int tolDelta, int max);
