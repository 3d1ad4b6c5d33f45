// The BMP reader against files written by ImageMagick, and against headers
// made hostile on purpose.
#include "assets_test_util.h"

namespace {

// The 5 x 3 picture of make-bmps.sh, top row first, as the game should see it:
// magenta is see-through black, its neighbour (255, 0, 254) stays opaque.
const std::vector<uint32_t> kRgb = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x00000000, 0xFFFF00FE,
                                    0xFF0A141E, 0xFF28323C, 0xFF46505A, 0xFF646E78, 0xFF828C96,
                                    0xFF000000, 0xFFFFFFFF, 0xFF010203, 0xFFC86432, 0x00000000};
// The 3 x 2 picture with alpha; a fully transparent pixel keeps its colour.
const std::vector<uint32_t> kArgb = {0x80FF0000, 0xFF00FF00, 0x000000FF, 0x40102030, 0xC0506070, 0xFF010203};

TEST(Bmp, AcceptsImageMagickFiles) {
  int w, h;
  EXPECT_EQ(decode(bmp_data("rgb24_5x3.bmp"), &w, &h), kRgb);  // rows padded from 15 to 16 bytes
  EXPECT_EQ(w * 10 + h, 53);
  EXPECT_EQ(decode(bmp_data("rgb24_5x3_v5.bmp")), kRgb);       // 124-byte header: offset followed
  EXPECT_EQ(decode(bmp_data("rgb24_5x3_topdown.bmp")), kRgb);  // negative height
  EXPECT_EQ(decode(bmp_data("rgb24_2048x1.bmp")).size(), 2048u);
  EXPECT_EQ(decode(bmp_data("argb32_3x2.bmp")), kArgb);  // bit fields (compression 3)
  EXPECT_EQ(decode(bmp_data("argb32_3x2_topdown.bmp")), kArgb);
  // Every alpha byte zero: saved without alpha, so opaque. One non-zero alpha
  // byte: every alpha stays as stored.
  EXPECT_EQ(decode(bmp_data("argb32_3x2_zeroalpha.bmp")),
            (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF102030, 0xFF506070, 0xFF010203}));
  std::string one = bmp_data("argb32_3x2_zeroalpha.bmp");
  one[138 + 3] = 1;  // first stored pixel = bottom left
  EXPECT_EQ(decode(one), (std::vector<uint32_t>{0xFF0000, 0xFF00, 0xFF, 0x01102030, 0x506070, 0x010203}));
  // 32-bit pixels are taken as stored: no magenta key.
  std::vector<uint32_t> opaque = kRgb;
  opaque[3] = opaque[14] = 0xFFFF00FF;
  EXPECT_EQ(decode(bmp_data("argb32_5x3_opaque.bmp")), opaque);
}

TEST(Bmp, RejectsOtherKindsShortFilesAndHostileHeaders) {
  for (const char* name : {"pal8_4x32.bmp", "pal4_5x3.bmp", "rle8_5x3.bmp", "rgb565_5x3.bmp", "rgb24_4096x1.bmp"})
    EXPECT_TRUE(decode(bmp_data(name)).empty()) << name;
  for (const char* name : {"rgb24_5x3.bmp", "argb32_3x2.bmp", "rgb24_2048x1.bmp"}) {
    std::string f = bmp_data(name);
    f.pop_back();  // the last row no longer fits
    EXPECT_TRUE(decode(f).empty()) << name;
  }
  const std::string good = bmp_data("rgb24_5x3.bmp");
  EXPECT_TRUE(decode(good.substr(0, 53)).empty());
  const struct {
    size_t at;
    uint32_t value;
    int bytes;
  } bad[] = {{22, 0x80000000u, 4},  // height -2147483648 cannot be negated
             {22, 0x80000001u, 4}, {22, 0x7FFFFFFFu, 4}, {22, 0, 4}, {18, 0, 4}, {18, 0xFFFFFFFFu, 4},
             {18, 2049, 4}, {10, 0xFFFFFFF0u, 4},  // pixel offset near 4 GB: the sum must not wrap
             {10, 55, 4}, {28, 16, 2}, {28, 8, 2}, {30, 1, 4}, {30, 2, 4}, {0, 'M' | 'B' << 8, 2}};
  for (auto& b : bad) {
    std::string f = good;
    for (int i = 0; i < b.bytes; i++) f[b.at + i] = (char)(b.value >> (8 * i));
    EXPECT_TRUE(decode(f).empty()) << b.at << " = " << b.value;
  }
  std::string wide = good;  // 2048 wide, 2^31 - 1 high, 102 bytes: refused by size
  put32(wide, 18, 2048);
  put32(wide, 22, 0x7FFFFFFF);
  EXPECT_TRUE(decode(wide).empty());
  // A 1 x 1 picture whose pixel lies inside the header fits in 54 bytes.
  std::string tiny = good.substr(0, 54);
  put32(tiny, 18, 1);
  put32(tiny, 22, 1);
  put32(tiny, 10, 50);
  EXPECT_EQ(decode(tiny).size(), 1u);
  put32(tiny, 10, 51);
  EXPECT_TRUE(decode(tiny).empty());
}

}  // namespace
