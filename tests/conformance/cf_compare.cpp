#include "cf_compare.h"

#include <stdio.h>
#include <stdlib.h>

static int channel_delta(uint32_t a, uint32_t b) {
  int m = 0;
  for (int s = 0; s < 24; s += 8) {
    int d = abs((int)((a >> s) & 255) - (int)((b >> s) & 255));
    if (d > m) m = d;
  }
  return m;
}

CfDiff cf_diff(const uint32_t* a, const uint32_t* b, int w, int h, int tolDelta) {
  CfDiff r = {0, 0, -1, -1};
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      int d = channel_delta(a[y * w + x], b[y * w + x]);
      if (d > r.maxDelta) r.maxDelta = d;
      if (d > tolDelta) {
        if (r.over == 0) r.firstX = x, r.firstY = y;
        r.over++;
      }
    }
  return r;
}

std::vector<uint32_t> cf_diff_picture(const uint32_t* a, const uint32_t* b, int w, int h, int tolDelta) {
  std::vector<uint32_t> out((size_t)w * (size_t)h);
  for (int i = 0; i < w * h; i++) {
    uint32_t p = a[i];
    uint32_t grey = (((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255)) / 3 / 3 + 20;
    int d = channel_delta(a[i], b[i]);
    if (d > tolDelta) {
      uint32_t r = (uint32_t)(128 + (d > 127 ? 127 : d));
      out[i] = r << 16;
    } else if (d > 0) {
      out[i] = 0xC0C000u;
    } else {
      out[i] = grey << 16 | grey << 8 | grey;
    }
  }
  return out;
}

std::string cf_diff_report(const uint32_t* a, const uint32_t* b, int w, int h, int tolDelta, int max) {
  std::string s;
  int n = 0;
  for (int y = 0; y < h && n < max; y++)
    for (int x = 0; x < w && n < max; x++)
      if (channel_delta(a[y * w + x], b[y * w + x]) > tolDelta) {
        char line[96];
        snprintf(line, sizeof line, "  (%d, %d): wine %06X, soft %06X\n", x, y, (unsigned)a[y * w + x],
                 (unsigned)b[y * w + x]);
        s += line;
        n++;
      }
  return s;
}
