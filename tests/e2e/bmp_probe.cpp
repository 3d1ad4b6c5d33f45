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

#include <string>
#include <vector>

namespace {

struct Image {
  int w = 0, h = 0;
  std::vector<unsigned char> d;  // the whole file
  size_t off = 0, row = 0;
  // Channel k (0 red, 1 green, 2 blue) of pixel (x, y), y from the top.
  int at(int x, int y, int k) const { return d[off + row * (size_t)(h - 1 - y) + x * 3 + 2 - k]; }
};

unsigned u32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | (unsigned)p[3] << 24; }

bool load(const char* path, Image* img) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  unsigned char buf[65536];
  for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) img->d.insert(img->d.end(), buf, buf + n);
  fclose(f);
  const std::vector<unsigned char>& d = img->d;
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M' || d[28] != 24) return false;
  img->off = u32(&d[10]), img->w = (int)u32(&d[18]), img->h = (int)u32(&d[22]);
  if (img->w <= 0 || img->h <= 0 || img->w > 16384 || img->h > 16384) return false;
  img->row = ((size_t)img->w * 3 + 3) & ~(size_t)3;
  return img->off + img->row * img->h <= d.size();
}

int fail(const char* what) {
  fprintf(stderr, "bmp_probe: %s\n", what);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return fail("usage: see the source");
  std::string cmd = argv[1];
  Image a, b;
  if (!load(argv[2], &a)) return fail("not a 24-bit BMP");
  if (cmd == "size") return printf("%d %d\n", a.w, a.h), 0;
  if ((cmd == "count" && argc == 9) || (cmd == "mean" && argc == 7)) {
    int x0 = atoi(argv[3]), y0 = atoi(argv[4]), x1 = atoi(argv[5]), y1 = atoi(argv[6]);
    if (x0 < 0 || y0 < 0 || x1 > a.w || y1 > a.h || x0 >= x1 || y0 >= y1) return fail("bad rectangle");
    unsigned c = argc == 9 ? (unsigned)strtoul(argv[7], nullptr, 16) : 0;
    int tol = argc == 9 ? atoi(argv[8]) : 0;
    double s[3] = {0, 0, 0};
    long n = 0;
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++) {
        bool near = true;
        for (int k = 0; k < 3; k++) s[k] += a.at(x, y, k), near &= abs(a.at(x, y, k) - (int)(c >> (16 - 8 * k) & 255)) <= tol;
        n += near;
      }
    double area = (double)(x1 - x0) * (y1 - y0);
    if (argc == 9) return printf("%ld\n", n), 0;
    return printf("%02X%02X%02X\n", (int)(s[0] / area + 0.5), (int)(s[1] / area + 0.5), (int)(s[2] / area + 0.5)), 0;
  }
  if (cmd != "blocks" || argc != 5) return fail("unknown command or wrong argument count");
  // The pictures as means of N x N blocks: texture noise and a camera a few
  // pixels apart average out, a different colour, sky, fog or HUD does not.
  if (!load(argv[3], &b)) return fail("second file is not a 24-bit BMP");
  if (a.w != b.w || a.h != b.h) return fail("sizes differ");
  int n = atoi(argv[4]);
  if (n < 1) return fail("bad block size");
  double sum = 0;
  long blocks = 0, far = 0;
  for (int by = 0; by + n <= a.h; by += n)
    for (int bx = 0; bx + n <= a.w; bx += n, blocks++) {
      double worst = 0;
      for (int k = 0; k < 3; k++) {
        double d = 0;
        for (int y = by; y < by + n; y++)
          for (int x = bx; x < bx + n; x++) d += a.at(x, y, k) - b.at(x, y, k);
        sum += fabs(d) / (n * n), worst = fmax(worst, fabs(d) / (n * n));
      }
      far += worst > 40;
    }
  printf("mean %.3f far %.3f%%\n", sum / (3.0 * blocks), 100.0 * far / blocks);
  return 0;
}
