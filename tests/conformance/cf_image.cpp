#include "cf_image.h"

#include <stdio.h>
#include <stdlib.h>

#include "assets/assets_internal.h"
#include "rt/bmp.h"
#include "rt/rt.h"

int cf_bmp_write(const char* path, const uint32_t* px, int w, int h) {
  size_t size = 0;
  uint8_t* b = bmp_encode(px, w, h, 3, 0, &size);
  int ok = b && file_write(path, b, (int)size);
  mem_free(b);
  return ok;
}

int cf_bmp_read(const char* path, CfPic* p) {
  int size = 0;
  uint8_t* data = (uint8_t*)file_read(path, &size);
  uint32_t* px = data ? bmp_decode(data, (size_t)size, &p->w, &p->h) : nullptr;
  mem_free(data);
  if (!px) return 0;
  p->px.resize((size_t)p->w * (size_t)p->h);
  // (the game's reader keys magenta out as see-through: here it is a colour)
  for (size_t i = 0; i < p->px.size(); i++) p->px[i] = px[i] >> 24 ? px[i] & 0xFFFFFFu : 0xFF00FFu;
  mem_free(px);
  return 1;
}

// ---- comparison ----------------------------------------------------------------------------

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
