// Generated textures pixel by pixel, the font atlas, names, colours and the
// mip chain. Expected values were worked out from the formulas by hand, not
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

TEST(TexGen, SizesAndPixelsOfEveryFormula) {
  const struct {
    const char* name;
    int w, h;
  } sizes[] = {{"white", 8, 8},     {"font", 128, 64},   {"kerb", 16, 16},     {"checker", 16, 16},
               {"smoke", 32, 32},   {"windows", 32, 64}, {"bg_what", 256, 64}, {"bg", 64, 64}};
  for (auto& s : sizes) {
    Pic p = gen(s.name);
    EXPECT_EQ(p.w * 1000 + p.h, s.w * 1000 + s.h) << s.name;
  }
  const struct {
    const char* name;
    int x, y;
    uint32_t c;
  } px[] = {
      {"white", 7, 7, 0xFFFFFFFF}, {"checker", 3, 3, 0xFFF5F5F5}, {"checker", 15, 8, 0xFF141414},
      {"kerb", 15, 7, 0xFFF0F0F0}, {"kerb", 0, 8, 0xFFDC2424}, {"grass", 2, 0, 0xFF36642C},
      {"sand", 3, 0, 0xFFBA8452}, {"asphalt", 62, 9, 0xFFE8E8E0}, {"asphalt", 32, 40, 0xFFECC83C},
      {"asphalt", 31, 20, 0xFF6C6C70}, {"asphalt_night", 10, 10, 0xFF4F4F53}, {"dirt", 9, 0, 0xFF945C31},
      {"barrier", 12, 10, 0xFFF0F0F0}, {"barrier", 0, 16, 0xFFD22828}, {"barrier", 3, 53, 0xFF3C3C3C},
      {"concrete", 0, 2, 0xFFECD23C}, {"concrete", 33, 33, 0xFFA4A4A8},
      {"rockwall", 0, 0, 0xFF9E5036}, {"rockwall", 24, 3, 0xFF8C3E24}, {"city_ground", 5, 32, 0xFF2C2C32},
      {"city_ground", 7, 9, 0xFF3C3E44}, {"noise", 13, 27, 0xFFD8D8D8}, {"road_country", 13, 27, 0xFFB9B9B9},
      {"windows", 0, 0, 0xFF4A4C58}, {"windows", 5, 10, 0xFFFCDC78}, {"windows", 26, 2, 0xFF283246},
      {"glow", 15, 15, 0xFEFFFFFF}, {"glow", 16, 24, 0x83FFFFFF}, {"glow", 0, 0, 0x00FFFFFF},
      {"blob", 16, 16, 0xBE000000}, {"shadow", 16, 28, 0xA2000000}, {"blob", 31, 31, 0},
      {"smoke", 16, 16, 0xA0DDDDDD}, {"smoke", 16, 28, 0x40DDDDDD}, {"smoke", 16, 24, 0x60DDDDDD},
      {"bg_day", 2, 0, 0}, {"bg_day", 2, 32, 0xFF6E84A0}, {"bg_day", 2, 46, 0xFF366C30},
      {"bg_day", 130, 13, 0xFFEBF0F5}, {"bg_day", 49, 22, 0xFF6F85A1}, {"bg_day", 90, 23, 0xFF6F85A1},
      {"bg_desert", 135, 44, 0xFFC37745}, {"bg_desert", 44, 35, 0xFFD6784E}, {"bg_desert", 206, 48, 0xFF964634},
      {"bg_desert", 43, 0, 0}, {"bg_night", 0, 28, 0xFF222442}, {"bg_night", 1, 49, 0xFF16182C},
      {"bg_night", 1, 53, 0xFFFAD66E}, {"bg_night", 0, 0, 0},
  };
  for (auto& p : px) EXPECT_EQ(gen(p.name).at(p.x, p.y), p.c) << p.name << " " << p.x << "," << p.y;

  // The smoke's alpha comes in six steps of 32; the strips are opaque or empty.
  std::set<uint32_t> alphas;
  for (uint32_t c : gen("smoke").px) alphas.insert(c >> 24);
  EXPECT_EQ(alphas, (std::set<uint32_t>{0, 32, 64, 96, 128, 160}));
  for (const char* strip : {"bg_day", "bg_desert", "bg_night"})
    for (uint32_t c : gen(strip).px) ASSERT_TRUE(c == 0 || c >> 24 == 255) << strip;
}

TEST(TexGen, FontAtlasHoldsExactlyTheTableGlyphs) {
  Pic font = gen("font");
  auto cell = [&](int ch) {  // the 8 x 8 cell as '#' and '.'
    std::string s;
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++) s += font.at((ch - 32) % 16 * 8 + x, (ch - 32) / 16 * 8 + y) ? '#' : '.';
    return s;
  };
  EXPECT_EQ(cell('0'), ".###....#...#...#..##...#.#.#...##..#...#...#....###............");  // diagonal stroke
  EXPECT_EQ(cell('%'), "##......##..#......#......#......#......#..##......##...........");
  const std::string table = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!.,:-+/?'\"()<>=%_#*[]^";
  std::set<std::string> distinct;
  for (int ch = 32; ch < 160; ch++) {
    std::string c = cell(ch);
    bool inTable = table.find((char)ch) != std::string::npos;
    EXPECT_EQ(c.find('#') != std::string::npos, inTable) << ch;
    if (inTable) distinct.insert(c);
  }
  EXPECT_EQ(distinct.size(), table.size());
  for (int i = 0; i < 128 * 64; i++)  // white or nothing, only in the 5 x 7 top left of a cell
    ASSERT_TRUE(font.px[i] == 0 || (font.px[i] == 0xFFFFFFFF && i % 8 < 5 && i / 128 % 8 < 7)) << i;
}

TEST(TexGen, NamesShadesAndMips) {
  char out[48];
  for (auto n : {std::pair<const char*, const char*>{"Kerb.BMP", "kerb"}, {"glow", "glow"}, {"a.bmp", "a"},
                 {".bmp", ".bmp"}, {"x.y.z", "x"}, {"ab.c", "ab.c"}, {"", ""}}) {
    base_name(n.first, out);
    EXPECT_STREQ(out, n.second) << n.first;
  }
  std::string longExt = std::string(43, 'A') + ".bmp" + "tail";  // cut to 47 first
  base_name(longExt.c_str(), out);
  EXPECT_EQ(std::string(out), std::string(43, 'a'));

  EXPECT_EQ(shade(0x80F00510, 20), 0xFFFF1924u);  // clamped high, alpha forced
  EXPECT_EQ(shade(0xFFF00510, -20), 0xFFDC0000u);

  const struct {
    const char* name;
    int w, h, levels;
  } mips[] = {{"kerb", 16, 16, 5},      {"x", 2048, 2048, 6},   {"x", 5, 3, 2},         {"x", 4096, 1, 1},
              {"font", 256, 64, 1},     {"WHITE", 256, 64, 1},  {"BG_night", 256, 64, 1}, {"Title.BMP", 256, 64, 1},
              {"title", 256, 64, 6},    {"xbg_day", 256, 64, 6}, {"fonts", 256, 64, 6}};
  for (auto& m : mips) EXPECT_EQ(tex_mip_levels(m.name, m.w, m.h), m.levels) << m.name << " " << m.w;
  const uint32_t src[4] = {0x00000001, 0x01000101, 0x020002FF, 0xFF03FFFF};
  uint32_t dst[2];
  tex_mip_down(src, 2, 2, dst);
  EXPECT_EQ(dst[0], 0x41014180u);  // per channel, alpha too: (sum + 2) / 4
  std::vector<uint32_t> img(15);   // 5 x 3: blocks at even pixels, the last column and row unused
  for (int i = 0; i < 15; i++) img[i] = (uint32_t)(i * 4) * 0x01010101u;
  tex_mip_down(img.data(), 5, 3, dst);
  EXPECT_EQ(dst[0], 0x0C0C0C0Cu);
  EXPECT_EQ(dst[1], 0x14141414u);
}

}  // namespace
