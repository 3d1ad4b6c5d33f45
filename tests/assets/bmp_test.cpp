// The BMP reader against files written by ImageMagick, and against headers
// made hostile on purpose.
#include "assets_test_util.h"

namespace {

// The 5 x 3 picture of make-bmps.sh, top row first, as the game should see it:
// magenta is see-through black, its neighbour (255, 0, 254) stays opaque.
const std::vector<uint32_t> kRgb5x3 = {
    0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x00000000, 0xFFFF00FE,  //
    0xFF0A141E, 0xFF28323C, 0xFF46505A, 0xFF646E78, 0xFF828C96,  //
    0xFF000000, 0xFFFFFFFF, 0xFF010203, 0xFFC86432, 0x00000000,
};

// The 3 x 2 picture with alpha; a fully transparent pixel keeps its colour.
const std::vector<uint32_t> kArgb3x2 = {
    0x80FF0000, 0xFF00FF00, 0x000000FF,  //
    0x40102030, 0xC0506070, 0xFF010203,
};

TEST(Bmp, AcceptsImageMagick24BitFilesWithPaddingAndMagentaKey) {
  int w, h;
  // 40-byte header, pixels at 54, rows of 15 bytes padded to 16, bottom-up.
  EXPECT_EQ(decode(bmp_data("rgb24_5x3.bmp"), &w, &h), kRgb5x3);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 3);
  // 124-byte header: the pixel offset field is followed, not assumed.
  EXPECT_EQ(decode(bmp_data("rgb24_5x3_v5.bmp")), kRgb5x3);
  // Negative height: rows stored top first give the same picture.
  EXPECT_EQ(decode(bmp_data("rgb24_5x3_topdown.bmp"), &w, &h), kRgb5x3);
  EXPECT_EQ(h, 3);
  // The widest accepted picture.
  std::vector<uint32_t> wide = decode(bmp_data("rgb24_2048x1.bmp"), &w, &h);
  ASSERT_EQ(wide.size(), 2048u);
  EXPECT_EQ(wide.front(), 0xFFFF0000u);
  EXPECT_EQ(wide.back(), 0xFFFF0000u);
}

TEST(Bmp, Accepts32BitFilesWithAndWithoutAlpha) {
  int w, h;
  EXPECT_EQ(decode(bmp_data("argb32_3x2.bmp"), &w, &h), kArgb3x2);  // bit fields (compression 3)
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(decode(bmp_data("argb32_3x2_topdown.bmp")), kArgb3x2);

  // Every alpha byte zero: saved without alpha, so the picture is opaque.
  EXPECT_EQ(decode(bmp_data("argb32_3x2_zeroalpha.bmp")),
            (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF102030, 0xFF506070, 0xFF010203}));

  // 32-bit pixels are taken as stored: no magenta key.
  std::vector<uint32_t> opaque = kRgb5x3;
  opaque[3] = opaque[14] = 0xFFFF00FF;
  EXPECT_EQ(decode(bmp_data("argb32_5x3_opaque.bmp")), opaque);
}

TEST(Bmp, AlphaIsKeptAsStoredWhenAnyByteIsNonZero) {
  // The zero-alpha file with one pixel given alpha 1: nothing is made opaque.
  std::string f = bmp_data("argb32_3x2_zeroalpha.bmp");
  uint32_t off = get32(f, 10);
  f[off + 3] = 1;
  std::vector<uint32_t> px = decode(f);
  ASSERT_EQ(px.size(), 6u);
  EXPECT_EQ(px[3], 0x01102030u);  // first stored pixel = bottom-left
  for (int i : {0, 1, 2, 4, 5}) EXPECT_EQ(px[i] >> 24, 0u) << i;
}

TEST(Bmp, RejectsKindsTheGameDoesNotRead) {
  for (const char* name : {"pal8_4x32.bmp", "pal4_5x3.bmp", "rle8_5x3.bmp", "rgb565_5x3.bmp", "rgb24_4096x1.bmp"}) {
    std::string f = bmp_data(name);
    ASSERT_GT(f.size(), 54u) << name;
    EXPECT_TRUE(decode(f).empty()) << name;
  }
  // Truncated by one byte: the last row no longer fits.
  for (const char* name : {"rgb24_5x3.bmp", "argb32_3x2.bmp", "rgb24_2048x1.bmp"}) {
    std::string f = bmp_data(name);
    EXPECT_FALSE(decode(f).empty()) << name;
    f.pop_back();
    EXPECT_TRUE(decode(f).empty()) << name;
  }
}

TEST(Bmp, RejectsHostileHeadersWithoutReadingOutside) {
  const std::string good = bmp_data("rgb24_5x3.bmp");
  auto patched = [&](size_t at, uint32_t v, int bytes = 4) {
    std::string f = good;
    if (bytes == 4)
      put32(f, at, v);
    else
      put16(f, at, v);
    return f;
  };
  EXPECT_TRUE(decode(patched(22, 0x80000000u)).empty());  // height -2147483648 cannot be negated
  EXPECT_TRUE(decode(patched(22, 0x80000001u)).empty());  // 2147483647 rows top-down
  EXPECT_TRUE(decode(patched(22, 0x7FFFFFFFu)).empty());  // ... and bottom-up
  EXPECT_TRUE(decode(patched(22, 0)).empty());
  EXPECT_TRUE(decode(patched(18, 0)).empty());
  EXPECT_TRUE(decode(patched(18, 0xFFFFFFFFu)).empty());  // width -1
  EXPECT_TRUE(decode(patched(18, 2049)).empty());
  EXPECT_TRUE(decode(patched(10, 0xFFFFFFF0u)).empty());  // pixel offset beyond 4 GB wraps nothing
  EXPECT_TRUE(decode(patched(10, 55)).empty());           // one byte later no longer fits
  EXPECT_TRUE(decode(patched(28, 16, 2)).empty());
  EXPECT_TRUE(decode(patched(28, 8, 2)).empty());
  EXPECT_TRUE(decode(patched(30, 1)).empty());  // RLE
  EXPECT_TRUE(decode(patched(30, 2)).empty());
  EXPECT_TRUE(decode(patched(0, 'M' | 'B' << 8, 2)).empty());
  EXPECT_TRUE(decode(good.substr(0, 53)).empty());

  // A 1 x 1 picture needs 54 + 4 bytes; with the pixel offset at 50 it fits
  // in 54 bytes, reading its pixel from inside the header.
  std::string tiny = good.substr(0, 54);
  put32(tiny, 18, 1);
  put32(tiny, 22, 1);
  put32(tiny, 10, 50);
  std::vector<uint32_t> px = decode(tiny);
  ASSERT_EQ(px.size(), 1u);
  EXPECT_EQ(px[0], 0xFF000000u | (uint8_t)tiny[52] << 16 | (uint8_t)tiny[51] << 8 | (uint8_t)tiny[50]);
  put32(tiny, 10, 51);
  EXPECT_TRUE(decode(tiny).empty());

  // Width 2048 with a huge height on a small file: the size check, not the
  // allocation, must refuse it.
  std::string wide = patched(18, 2048);
  put32(wide, 22, 0x7FFFFFFFu);
  EXPECT_TRUE(decode(wide).empty());
}

}  // namespace
