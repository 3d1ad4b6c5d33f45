// The 2D and effect layers: how many draws a run of quads costs, and where
// rectangles, lines and glyphs land in the low-resolution frame.
#include "../gfx/gfx_fixture.h"

namespace {

TEST_F(GfxFrameTest, QuadsAreDrawnInRunsOfOneTextureAndMode) {
  // The array holds 1024 quads: the 1025th flushes it.
  EXPECT_EQ(draws([] { for (int i = 0; i < 1024; i++) ui_rect((float)(i % 300), 10, 1, 1, 0xFFFFFFFFu); }), 0);
  EXPECT_EQ(draws([] { ui_rect(0, 0, 1, 1, 0xFFFFFFFFu); }), 1);
  EXPECT_EQ(draws([] { ui_flush(), ui_flush(); }), 1);
  // Rectangle, rectangle, image, rectangle: three runs.
  EXPECT_EQ(draws([] {
              ui_rect(0, 0, 4, 4, 0xFFFFFFFFu), ui_rect(4, 0, 4, 4, 0xFFFFFFFFu);
              ui_image(tex_get("checker"), 10, 10, 16, 16, 0xFFFFFFFFu), ui_rect(0, 8, 4, 4, 0xFFFFFFFFu);
              ui_flush();
            }),
            3);
  // A viewport change, the centring switch and the end of the frame flush too.
  EXPECT_EQ(draws([] {
              ui_rect(0, 0, 1, 1, 0xFFFFFFFFu), gfx_viewport(0, 0, 0, 0);
              ui_rect(0, 0, 1, 1, 0xFFFFFFFFu), ui_origin(0);
              ui_rect(0, 0, 1, 1, 0xFFFFFFFFu), gfx_end_low_and_present();
            }),
            4)
      << "three runs and the magnification";

  // Effect quads: 682 fit; a flush on a new selection, and before the UI states are set.
  gfx_begin_low(0xFF000000u);
  Texture* glow = tex_get("glow");
  Vec3 a = {0, 0, 0}, b = {1, 0, 0}, c = {1, 1, 0}, e = {0, 1, 0};
  fx_begin(glow, 2);
  EXPECT_EQ(draws([&] { for (int i = 0; i < 683; i++) fx_quad(a, b, c, e, 0xFFFFFFFFu); }), 1);
  EXPECT_EQ(draws([&] { fx_begin(glow, 2); }), 0) << "the same selection keeps the run";
  EXPECT_EQ(draws([&] { fx_begin(glow, 1); }), 1);
  // A billboard spans its centre plus and minus the two axes.
  fx_begin(glow, 2);
  fx_billboard(0, 0, 0, 1, 0xFFFFFFFFu, 1, 0, 0, 0, 1, 0);
  EXPECT_EQ(std::vector<float>({g_fx[0].x, g_fx[0].y, g_fx[2].x, g_fx[2].y}), std::vector<float>({-1, -1, 1, 1}));
  // A flush leaves lighting off and the blend mode in force, depth writes and culling back on.
  EXPECT_EQ(draws([] { fx_flush(); }), 1);
  EXPECT_EQ(std::vector<uint32_t>({g_rsVal[D3DRS_LIGHTING], g_rsVal[D3DRS_DESTBLEND], g_rsVal[D3DRS_ZWRITEENABLE],
                                   g_rsVal[D3DRS_CULLMODE]}),
            std::vector<uint32_t>({0, D3DBLEND_ONE, 1, D3DCULL_CCW}));
  EXPECT_EQ(draws([&] { fx_quad(a, b, c, e, 0xFFFFFFFFu), ui_begin(); }), 1) << "effects go first";
}

// Text as the font says it should look at a whole-number scale, one line of
// characters per row: '#' for a glyph pixel, 's' for its shadow `shadow`
// pixels down and right (0 = none), '.' for nothing.
std::string glyphs(const std::string& text, int scale, int shadow = 0) {
  std::vector<uint32_t> font(128 * 64);
  tex_gen_fill("font", font.data(), 128, 64);
  auto on = [&](int x, int y) {
    if (x < 0 || y < 0 || y >= 8 * scale || x >= 6 * scale * (int)text.size()) return false;
    int ch = (unsigned char)text[x / (6 * scale)], cx = x % (6 * scale) / scale, cy = y / scale;
    return font[(size_t)((ch - 32) / 16 * 8 + cy) * 128 + (ch - 32) % 16 * 8 + cx] != 0;
  };
  std::string s;
  for (int y = 0; y < 8 * scale + shadow; y++, s += '\n')
    for (int x = 0; x < 6 * scale * (int)text.size() + shadow; x++)
      s += on(x, y) ? '#' : shadow && on(x - shadow, y - shadow) ? 's' : '.';
  return s;
}

// The same picture read from the frame at (x0, y0): white is '#', the
// shadow colour 's', black '.'.
std::string frame_text(const std::vector<uint32_t>& px, int x0, int y0, const std::string& like) {
  std::string s;
  for (int i = 0, x = x0, y = y0; i < (int)like.size(); i++) {
    if (like[i] == '\n') {
      s += '\n', x = x0, y++;
      continue;
    }
    uint32_t c = px[(size_t)y * g_lowW + x++];
    s += c == 0xFFFFFF ? '#' : c == 0x101018 ? 's' : c == 0 ? '.' : '?';
  }
  return s;
}

TEST_F(GfxFrameTest, RectanglesLinesAndGlyphsCoverExactlyTheirPixels) {
  ui_rect(1, 1, 3, 2, 0xFFFFFFFFu);
  ui_line(5, 1, 8, 2, 0xFFFFFFFFu);    // both end points
  ui_line(10, 3, 10, 3, 0xFFFFFFFFu);  // a point is one pixel
  const std::string shapes =
      "............\n"
      ".###.###....\n"
      ".###....#...\n"
      "..........#.\n"
      "............\n";
  ui_text_raw(10, 20, 1, 0xFFFFFFFFu, "AZ09");
  ui_text_raw(10, 40, 2, 0xFFFFFFFFu, "K!");
  ui_text_raw(10, 70, 1, 0xFFFFFFFFu, "az\nb");      // lower case draws upper case; a line feed goes 9 down
  ui_text_raw(100, 20, 1, 0xFFFFFFFFu, "A B");       // a space is only an advance
  ui_text_raw(100, 40, 1, 0xFFFFFFFFu, "\xc8\x01");  // unknown bytes draw "?"
  ui_text(10, 100, 1, 0xFFFFFFFFu, "I");             // 1-pixel shadow at scale 1
  ui_text(30, 100, 2, 0xFFFFFFFFu, "I");             // 2-pixel shadow at scale 2
  ui_text_center(100, 130, 1, 0xFFFFFFFFu, "II");    // 12 wide: starts at 94
  std::vector<uint32_t> px = read_low();
  EXPECT_EQ(frame_text(px, 0, 0, shapes), shapes);
  ASSERT_NE(glyphs("A", 1).find('#'), std::string::npos) << "the font has glyphs";
  const struct {
    int x, y;
    const char* text;
    int scale, shadow;
  } runs[] = {{10, 20, "AZ09", 1, 0}, {10, 40, "K!", 2, 0},  {10, 70, "AZ", 1, 0},   {10, 79, "B", 1, 0},
              {100, 20, "A B", 1, 0}, {100, 40, "??", 1, 0}, {10, 100, "I", 1, 1}, {30, 100, "I", 2, 2},
              {94, 130, "II", 1, 1}};
  for (auto& r : runs) {
    std::string want = glyphs(r.text, r.scale, r.shadow);
    EXPECT_EQ(frame_text(px, r.x, r.y, want), want) << r.text << " at " << r.x << "," << r.y;
  }
  EXPECT_EQ(ui_text_width("AB", 2), 24.0f);

  // At a fractional scale each pixel samples the texel under its centre.
  ui_text_raw(200, 100, 0.8f, 0xFFFFFFFFu, "M");
  px = read_low();
  std::string m = glyphs("M", 1), want;
  for (int y = 0; y < 7; y++, want += '\n')
    for (int x = 0; x < 6; x++)
      want += x < 5 && y < 6 ? m[(int)((y + 0.5f) / 0.8f) * 7 + (int)((x + 0.5f) / 0.8f)] : '.';
  EXPECT_EQ(frame_text(px, 200, 100, want), want);
}

}  // namespace
