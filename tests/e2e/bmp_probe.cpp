// Reads the game's 24-bit screenshots for the whole-program tests.
//   bmp_probe size FILE                          -> "W H"
//   bmp_probe count FILE X0 Y0 X1 Y1 RRGGBB TOL  -> pixels of [X0,X1) x [Y0,Y1) (Y from the top) within TOL
//                                                   of the colour in every channel
//   bmp_probe mean FILE X0 Y0 X1 Y1              -> "RRGGBB", the rectangle's mean colour
//   bmp_probe blocks A B N                       -> "mean M far F%" of the two pictures'
//                                                   N x N block means: mean channel
//                                                   difference, share of blocks more than 40
//                                                   apart in a channel
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

struct Image {
  int w = 0, h = 0;
  std::vector<unsigned char> rgb;  // top row first
  const unsigned char* at(int x, int y) const { return &rgb[((size_t)y * w + x) * 3]; }
};

unsigned u32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | (unsigned)p[3] << 24; }

bool load(const char* path, Image* img) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  std::vector<unsigned char> d;
  unsigned char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) d.insert(d.end(), buf, buf + n);
  fclose(f);
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || d[28] != 24) return false;
  unsigned off = u32(&d[10]);
  int w = (int)u32(&d[18]), h = (int)u32(&d[22]);
  if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return false;
  size_t row = ((size_t)w * 3 + 3) & ~(size_t)3;
  if (off + row * h > d.size()) return false;
  img->w = w;
  img->h = h;
  img->rgb.resize((size_t)w * h * 3);
  for (int y = 0; y < h; y++) {
    const unsigned char* src = &d[off + row * (size_t)(h - 1 - y)];
    for (int x = 0; x < w; x++) {
      unsigned char* o = &img->rgb[((size_t)y * w + x) * 3];
      o[0] = src[x * 3 + 2];
      o[1] = src[x * 3 + 1];
      o[2] = src[x * 3 + 0];
    }
  }
  return true;
}

int fail(const char* what) {
  fprintf(stderr, "bmp_probe: %s\n", what);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return fail("usage: see the source");
  std::string cmd = argv[1];
  Image a;
  if (!load(argv[2], &a)) return fail("not a 24-bit BMP");
  auto rect = [&](int i, int* x0, int* y0, int* x1, int* y1) {
    *x0 = atoi(argv[i]), *y0 = atoi(argv[i + 1]), *x1 = atoi(argv[i + 2]), *y1 = atoi(argv[i + 3]);
    return *x0 >= 0 && *y0 >= 0 && *x1 <= a.w && *y1 <= a.h && *x0 < *x1 && *y0 < *y1;
  };
  if (cmd == "size") {
    printf("%d %d\n", a.w, a.h);
  } else if (cmd == "count" && argc == 9) {
    int x0, y0, x1, y1;
    if (!rect(3, &x0, &y0, &x1, &y1)) return fail("bad rectangle");
    unsigned c = (unsigned)strtoul(argv[7], nullptr, 16);
    int want[3] = {(int)(c >> 16 & 255), (int)(c >> 8 & 255), (int)(c & 255)}, tol = atoi(argv[8]);
    long n = 0;
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++) {
        const unsigned char* p = a.at(x, y);
        if (abs(p[0] - want[0]) <= tol && abs(p[1] - want[1]) <= tol && abs(p[2] - want[2]) <= tol) n++;
      }
    printf("%ld\n", n);
  } else if (cmd == "mean" && argc == 7) {
    int x0, y0, x1, y1;
    if (!rect(3, &x0, &y0, &x1, &y1)) return fail("bad rectangle");
    double s[3] = {0, 0, 0};
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++)
        for (int k = 0; k < 3; k++) s[k] += a.at(x, y)[k];
    double n = (double)(x1 - x0) * (y1 - y0);
    printf("%02X%02X%02X\n", (int)(s[0] / n + 0.5), (int)(s[1] / n + 0.5), (int)(s[2] / n + 0.5));
  } else if (cmd == "blocks" && argc == 5) {
    // The pictures as means of N x N blocks: texture noise and a camera a few
    // pixels apart average out, a different colour, sky, fog or HUD does not.
    Image b;
    if (!load(argv[3], &b)) return fail("second file is not a 24-bit BMP");
    if (a.w != b.w || a.h != b.h) return fail("sizes differ");
    int n = atoi(argv[4]);
    if (n < 1) return fail("bad block size");
    double sum = 0;
    long blocks = 0, far = 0;
    for (int by = 0; by + n <= a.h; by += n)
      for (int bx = 0; bx + n <= a.w; bx += n) {
        double d[3] = {0, 0, 0};
        for (int y = by; y < by + n; y++)
          for (int x = bx; x < bx + n; x++)
            for (int k = 0; k < 3; k++) d[k] += a.at(x, y)[k] - b.at(x, y)[k];
        double worst = 0;
        for (int k = 0; k < 3; k++) {
          double m = fabs(d[k]) / (n * n);
          sum += m;
          if (m > worst) worst = m;
        }
        blocks++;
        if (worst > 40) far++;
      }
    printf("mean %.3f far %.3f%%\n", sum / (3.0 * blocks), 100.0 * far / blocks);
  } else {
    return fail("unknown command or wrong argument count");
  }
  return 0;
}
