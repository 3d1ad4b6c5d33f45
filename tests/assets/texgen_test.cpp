// Generated textures pixel by pixel, the font atlas, names, colours and the
// mip chain. Expected values were worked out by hand from the formulas, not
// by running this code.
#include <set>

#include "assets_test_util.h"

namespace {

struct Pic {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const { return px[(size_t)y * w + x]; }
};

Pic gen(const char* base) {
  Pic p;
  tex_gen_size(base, &p.w, &p.h);
  p.px.assign((size_t)p.w * p.h, 0xDEADBEEF);
  tex_gen_fill(base, p.px.data(), p.w, p.h);
  return p;
}

TEST(TexGen, HashAndSizesByName) {
  EXPECT_EQ(tex_hash(0), 0u);
  EXPECT_EQ(tex_hash(1), 0x4BF1D490u);
  EXPECT_EQ(tex_hash(0xDEADBEEF), 0xEE2FB46Du);

  struct {
    const char* name;
    int w, h;
  } sizes[] = {{"white", 8, 8},   {"font", 128, 64},  {"checker", 16, 16}, {"kerb", 16, 16},
               {"blob", 32, 32},  {"shadow", 32, 32}, {"glow", 32, 32},    {"smoke", 32, 32},
               {"windows", 32, 64}, {"bg_day", 256, 64}, {"bg_whatever", 256, 64}, {"grass", 64, 64},
               {"road_country", 64, 64}, {"bg", 64, 64}, {"", 64, 64}};
  for (auto& s : sizes) {
    int w, h;
    tex_gen_size(s.name, &w, &h);
    EXPECT_EQ(w, s.w) << s.name;
    EXPECT_EQ(h, s.h) << s.name;
  }
}

TEST(TexGen, FlatAndPatternedTextures) {
  Pic white = gen("white");
  for (uint32_t c : white.px) EXPECT_EQ(c, 0xFFFFFFFFu);

  Pic checker = gen("checker");
  EXPECT_EQ(checker.at(0, 0), 0xFFF5F5F5u);
  EXPECT_EQ(checker.at(3, 3), 0xFFF5F5F5u);
  EXPECT_EQ(checker.at(4, 0), 0xFF141414u);
  EXPECT_EQ(checker.at(0, 4), 0xFF141414u);
  EXPECT_EQ(checker.at(5, 6), 0xFFF5F5F5u);
  EXPECT_EQ(checker.at(15, 8), 0xFF141414u);
  EXPECT_EQ(checker.at(15, 12), 0xFFF5F5F5u);

  Pic kerb = gen("kerb");
  EXPECT_EQ(kerb.at(0, 0), 0xFFF0F0F0u);
  EXPECT_EQ(kerb.at(15, 7), 0xFFF0F0F0u);
  EXPECT_EQ(kerb.at(0, 8), 0xFFDC2424u);
  EXPECT_EQ(kerb.at(9, 15), 0xFFDC2424u);

  Pic barrier = gen("barrier");
  EXPECT_EQ(barrier.at(0, 0), 0xFFF0F0F0u);
  EXPECT_EQ(barrier.at(8, 0), 0xFFD22828u);   // stripes 8 wide
  EXPECT_EQ(barrier.at(0, 16), 0xFFD22828u);  // slanting: 2 rows per column
  EXPECT_EQ(barrier.at(12, 10), 0xFFF0F0F0u);
  EXPECT_EQ(barrier.at(3, 52), 0xFFD22828u);
  EXPECT_EQ(barrier.at(3, 53), 0xFF3C3C3Cu);  // foot
  EXPECT_EQ(barrier.at(63, 63), 0xFF3C3C3Cu);
}

TEST(TexGen, NoiseTexturesFollowTheirFormulas) {
  Pic grass = gen("grass");
  EXPECT_EQ(grass.at(0, 0), 0xFF518E36u);  // coarse-noise green
  EXPECT_EQ(grass.at(2, 0), 0xFF36642Cu);  // fine noise <= 24: dark tuft
  EXPECT_EQ(grass.at(3, 0), 0xFF609E42u);  // fine noise > 225: light tuft

  Pic sand = gen("sand");
  EXPECT_EQ(sand.at(0, 0), 0xFFDEAE68u);
  EXPECT_EQ(sand.at(2, 0), 0xFFE8BE7Eu);
  EXPECT_EQ(sand.at(3, 0), 0xFFBA8452u);

  Pic asphalt = gen("asphalt"), night = gen("asphalt_night");
  for (int y : {0, 17, 63}) {
    for (int x : {0, 1, 62, 63}) {
      EXPECT_EQ(asphalt.at(x, y), 0xFFE8E8E0u) << x << "," << y;  // edge lines
      EXPECT_EQ(night.at(x, y), 0xFFE8E8E0u);
    }
  }
  EXPECT_EQ(asphalt.at(31, 3), 0xFFECC83Cu);  // centre dash, rows 0-15 of every 32
  EXPECT_EQ(asphalt.at(32, 40), 0xFFECC83Cu);
  EXPECT_EQ(asphalt.at(31, 20), 0xFF6C6C70u);  // gap between dashes
  EXPECT_EQ(night.at(31, 20), 0xFF56565Au);    // 22 darker
  EXPECT_EQ(asphalt.at(10, 10), 0xFF656569u);
  EXPECT_EQ(night.at(10, 10), 0xFF4F4F53u);
  EXPECT_NE(asphalt.at(30, 3), 0xFFECC83Cu);  // the dash is two pixels wide
  EXPECT_NE(asphalt.at(33, 3), 0xFFECC83Cu);

  Pic dirt = gen("dirt");
  EXPECT_EQ(dirt.at(0, 0), 0xFFB37A48u);
  EXPECT_EQ(dirt.at(9, 0), 0xFF945C31u);  // wheel rut
  EXPECT_EQ(dirt.at(3, 0), 0xFFC49664u);  // pebble

  Pic concrete = gen("concrete");
  EXPECT_EQ(concrete.at(0, 10), 0xFF6E6E74u);  // joint
  EXPECT_EQ(concrete.at(32, 40), 0xFF6E6E74u);
  EXPECT_EQ(concrete.at(0, 2), 0xFFECD23Cu);  // yellow top edge wins over the joint
  EXPECT_EQ(concrete.at(5, 2), 0xFFECD23Cu);
  EXPECT_EQ(concrete.at(7, 20), 0xFFA2A2A6u);
  EXPECT_EQ(concrete.at(33, 33), 0xFFA4A4A8u);

  Pic rock = gen("rockwall");
  EXPECT_EQ(rock.at(0, 0), 0xFF9E5036u);   // light course
  EXPECT_EQ(rock.at(24, 3), 0xFF8C3E24u);  // dark course (16 darker)

  Pic city = gen("city_ground");
  EXPECT_EQ(city.at(0, 5), 0xFF2C2C32u);
  EXPECT_EQ(city.at(5, 32), 0xFF2C2C32u);
  EXPECT_EQ(city.at(7, 9), 0xFF3C3E44u);
  EXPECT_EQ(city.at(40, 50), 0xFF404248u);

  EXPECT_EQ(gen("noise").at(0, 0), 0xFFE1E1E1u);
  EXPECT_EQ(gen("noise").at(13, 27), 0xFFD8D8D8u);
  EXPECT_EQ(gen("road_country").at(0, 0), 0xFFC3C3C3u);  // any other name: light grey noise
  EXPECT_EQ(gen("road_country").at(13, 27), 0xFFB9B9B9u);
  EXPECT_EQ(gen("road_country").px, gen("startline").px);
}

TEST(TexGen, WindowsFacade) {
  Pic win = gen("windows");
  EXPECT_EQ(win.at(0, 0), 0xFF4A4C58u);  // wall
  EXPECT_EQ(win.at(2, 2), 0xFFFCDC78u);  // lit window
  EXPECT_EQ(win.at(5, 5), 0xFFFCDC78u);  // same 4 x 4 window
  EXPECT_EQ(win.at(26, 2), 0xFF283246u);  // dark window
  EXPECT_NE(win.at(6, 2), 0xFFFCDC78u);   // column 6 of a cell is wall
  EXPECT_NE(win.at(2, 1), 0xFFFCDC78u);
}

TEST(TexGen, RadialFalloffs) {
  Pic glow = gen("glow"), blob = gen("blob"), shadow = gen("shadow"), smoke = gen("smoke");
  EXPECT_EQ(blob.px, shadow.px);
  // Centre: f = 1 - 2 (0.5 / 16)^2.
  EXPECT_EQ(glow.at(16, 16), 0xFEFFFFFFu);
  EXPECT_EQ(glow.at(15, 15), 0xFEFFFFFFu);  // symmetric about the middle
  EXPECT_EQ(blob.at(16, 16), 0xBE000000u);  // 190, capped
  EXPECT_EQ(smoke.at(16, 16), 0xA0DDDDDDu);  // 160
  // (16, 24): f = 0.716796875
  EXPECT_EQ(glow.at(16, 24) >> 24, 131u);
  EXPECT_EQ(blob.at(16, 24) >> 24, 190u);
  EXPECT_EQ(smoke.at(16, 24) >> 24, 96u);
  // (16, 28): f = 0.388671875, below 1 / 2.2 so the shadow fades
  EXPECT_EQ(glow.at(16, 28) >> 24, 38u);
  EXPECT_EQ(blob.at(16, 28) >> 24, 162u);
  EXPECT_EQ(smoke.at(16, 28) >> 24, 64u);
  // Corners lie outside the circle.
  for (const Pic* p : {&glow, &blob, &smoke}) EXPECT_EQ(p->at(0, 0) >> 24, 0u);
  EXPECT_EQ(glow.at(0, 0), 0x00FFFFFFu);
  EXPECT_EQ(smoke.at(31, 0), 0x00DDDDDDu);
  // The smoke's alpha comes in steps of 32, all six of them.
  std::set<uint32_t> alphas;
  for (uint32_t c : smoke.px) alphas.insert(c >> 24);
  EXPECT_EQ(alphas, (std::set<uint32_t>{0, 32, 64, 96, 128, 160}));
}

TEST(TexGen, BackgroundStrips) {
  Pic hills = gen("bg_day");
  EXPECT_EQ(hills.at(2, 0), 0u);  // sky shows through
  EXPECT_EQ(hills.at(2, 32), 0xFF6E84A0u);  // far ridge
  EXPECT_EQ(hills.at(2, 46), 0xFF366C30u);  // near hills
  EXPECT_EQ(hills.at(130, 13), 0xFFEBF0F5u);  // snow on a high peak
  EXPECT_EQ(gen("bg_anything").px, hills.px);

  Pic desert = gen("bg_desert");
  EXPECT_EQ(desert.at(0, 0), 0u);
  EXPECT_EQ(desert.at(135, 44), 0xFFC37745u);  // ground
  EXPECT_EQ(desert.at(44, 35), 0xFFD6784Eu);   // lit rim of a mesa
  EXPECT_EQ(desert.at(206, 48), 0xFF964634u);  // rock band
  EXPECT_EQ(desert.at(43, 0), 0u);

  Pic night = gen("bg_night");
  EXPECT_EQ(night.at(0, 0), 0u);
  EXPECT_EQ(night.at(0, 28), 0xFF222442u);  // distant buildings
  EXPECT_EQ(night.at(0, 46), 0xFF16182Cu);  // front wall
  EXPECT_EQ(night.at(1, 49), 0xFF16182Cu);  // unlit window
  EXPECT_EQ(night.at(1, 53), 0xFFFAD66Eu);  // lit window

  // Whatever is not painted is fully transparent: every pixel is either
  // opaque or exactly zero.
  for (const Pic* p : {&hills, &desert, &night})
    for (uint32_t c : p->px) EXPECT_TRUE(c == 0 || c >> 24 == 255) << std::hex << c;
}

// The cell of a character, as rows of '#' and '.'.
std::vector<std::string> cell(const Pic& font, int ch) {
  std::vector<std::string> rows;
  int cx = (ch - 32) % 16 * 8, cy = (ch - 32) / 16 * 8;
  for (int y = 0; y < 8; y++) {
    std::string r;
    for (int x = 0; x < 8; x++) {
      uint32_t c = font.at(cx + x, cy + y);
      EXPECT_TRUE(c == 0 || c == 0xFFFFFFFF);
      r += c ? '#' : '.';
    }
    rows.push_back(r);
  }
  return rows;
}

TEST(TexGen, FontAtlas) {
  Pic font = gen("font");
  EXPECT_EQ(cell(font, '0'), (std::vector<std::string>{".###....", "#...#...", "#..##...", "#.#.#...",
                                                        "##..#...", "#...#...", ".###....", "........"}));
  EXPECT_EQ(cell(font, '%'), (std::vector<std::string>{"##......", "##..#...", "...#....", "..#.....",
                                                        ".#......", "#..##...", "...##...", "........"}));
  EXPECT_EQ(cell(font, 'Q'), (std::vector<std::string>{".###....", "#...#...", "#...#...", "#...#...",
                                                        "#.#.#...", "#..#....", ".##.#...", "........"}));
  const std::string table = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!.,:-+/?'\"()<>=%_#*[]^";
  ASSERT_EQ(table.size(), (size_t)FONT_GLYPH_COUNT);
  std::set<std::vector<std::string>> distinct;
  for (int ch = 32; ch < 160; ch++) {
    std::vector<std::string> c = cell(font, ch);
    bool inTable = table.find((char)ch) != std::string::npos;
    bool any = false;
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++)
        if (c[y][x] == '#') {
          any = true;
          EXPECT_TRUE(x < 5 && y < 7) << (char)ch;  // 5 x 7 at the cell's top left
        }
    EXPECT_EQ(any, inTable) << ch;
    EXPECT_EQ(font_glyph(ch) != nullptr, inTable) << ch;
    if (inTable) distinct.insert(c);
  }
  EXPECT_EQ(distinct.size(), (size_t)FONT_GLYPH_COUNT);  // no two glyphs alike
  EXPECT_EQ(font_glyph('a'), nullptr);                   // lower case is mapped by the text code
}

TEST(TexGen, NamesAndShades) {
  char out[48];
  struct {
    const char* in;
    const char* out;
  } names[] = {{"Kerb.BMP", "kerb"}, {"glow", "glow"},   {"a.bmp", "a"},     {".bmp", ".bmp"},
               {"TREE.skm", "tree"}, {"x.y.z", "x"}, {"ab.c", "ab.c"},   {"", ""},
               {"car2", "car2"},     {"Bg_Day.bmp", "bg_day"}};
  for (auto& n : names) {
    base_name(n.in, out);
    EXPECT_STREQ(out, n.out) << n.in;
  }
  // Cut to 47 characters first, then the extension rule applies to what is left.
  std::string longName(60, 'Q');
  base_name(longName.c_str(), out);
  EXPECT_EQ(std::string(out), std::string(47, 'q'));
  std::string longExt = std::string(43, 'A') + ".bmp" + "tail";
  base_name(longExt.c_str(), out);
  EXPECT_EQ(std::string(out), std::string(43, 'a'));

  EXPECT_EQ(shade(0x00102030, 16), 0xFF203040u);
  EXPECT_EQ(shade(0x80F00510, 20), 0xFFFF1924u);  // clamped high, alpha forced
  EXPECT_EQ(shade(0xFFF00510, -20), 0xFFDC0000u);  // clamped low
  EXPECT_EQ(shade(0xFFA05238, 0), 0xFFA05238u);
}

TEST(TexGen, MipLevelsAndBoxFilter) {
  EXPECT_EQ(tex_mip_levels("grass", 64, 64), 6);  // 64 down to 2
  EXPECT_EQ(tex_mip_levels("kerb", 16, 16), 5);
  EXPECT_EQ(tex_mip_levels("x", 32, 32), 6);
  EXPECT_EQ(tex_mip_levels("x", 2048, 2048), 6);
  EXPECT_EQ(tex_mip_levels("windows", 32, 64), 6);
  EXPECT_EQ(tex_mip_levels("x", 5, 3), 2);
  EXPECT_EQ(tex_mip_levels("x", 1, 1), 1);
  EXPECT_EQ(tex_mip_levels("x", 4096, 1), 1);
  EXPECT_EQ(tex_mip_levels("x", 8, 1000), 4);
  for (const char* one : {"font", "white", "FONT", "bg_day", "BG_night", "bg_", "title.bmp", "Title.BMP"})
    EXPECT_EQ(tex_mip_levels(one, 256, 64), 1) << one;
  for (const char* more : {"title", "bgday", "xbg_day", "fonts"}) EXPECT_EQ(tex_mip_levels(more, 256, 64), 6) << more;

  // Each channel, alpha included: (sum of four + 2) / 4.
  const uint32_t src[4] = {0x00000001, 0x01000101, 0x020002FF, 0xFF03FFFF};
  uint32_t dst[1];
  tex_mip_down(src, 2, 2, dst);
  EXPECT_EQ(dst[0], 0x41014180u);
  // Odd sizes: the last column and row are dropped, blocks start at even pixels.
  std::vector<uint32_t> img(5 * 3);
  for (int i = 0; i < 15; i++) img[i] = (uint32_t)(i * 4) * 0x01010101u;
  uint32_t half[2];
  tex_mip_down(img.data(), 5, 3, half);
  EXPECT_EQ(half[0], 0x0C0C0C0Cu);  // pixels 0, 1, 5, 6: (0 + 4 + 20 + 24 + 2) / 4
  EXPECT_EQ(half[1], 0x14141414u);  // pixels 2, 3, 7, 8: (8 + 12 + 28 + 32 + 2) / 4
}

}  // namespace
