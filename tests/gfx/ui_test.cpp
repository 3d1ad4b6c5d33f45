// The 2D and effect layers: how many draws a run of quads costs, and where
// rectangles, lines and glyphs land in the low-resolution frame.
#include "gfx_fixture.h"

namespace {

TEST_F(GfxFrameTest, QuadsAreDrawnInRunsOfOneTexture) {
  int d = draws_up();
  for (int i = 0; i < 1025; i++) ui_rect((float)(i % 300), 10, 1, 1, 0xFFFFFFFFu);
  EXPECT_EQ(draws_up() - d, 1) << "the 1025th rectangle flushes the full array";
  ui_flush();
  EXPECT_EQ(draws_up() - d, 2);

  d = draws_up();
  ui_rect(0, 0, 4, 4, 0xFFFFFFFFu);
  ui_rect(4, 0, 4, 4, 0xFFFFFFFFu);
  ui_image(tex_get("checker"), 10, 10, 16, 16, 0xFFFFFFFFu);
  ui_rect(0, 8, 4, 4, 0xFFFFFFFFu);
  ui_flush();
  ui_flush();
  EXPECT_EQ(draws_up() - d, 3);

  // A viewport change, the centring switch and the end of the frame flush too.
  d = draws_up();
  ui_rect(0, 0, 1, 1, 0xFFFFFFFFu);
  gfx_viewport(0, 0, 0, 0);
  ui_rect(0, 0, 1, 1, 0xFFFFFFFFu);
  ui_origin(0);
  ui_rect(0, 0, 1, 1, 0xFFFFFFFFu);
  gfx_end_low_and_present();
  EXPECT_EQ(draws_up() - d, 4) << "three runs and the magnification";
}

TEST_F(GfxFrameTest, EffectQuadsFlushWhenFullOrReselected) {
  Texture* glow = tex_get("glow");
  fx_begin(glow, 2);
  int d = draws_up();
  Vec3 a = {0, 0, 0}, b = {1, 0, 0}, c = {1, 1, 0}, e = {0, 1, 0};
  for (int i = 0; i < 683; i++) fx_quad(a, b, c, e, 0xFFFFFFFFu);
  EXPECT_EQ(draws_up() - d, 1);
  fx_begin(glow, 2);
  EXPECT_EQ(draws_up() - d, 1) << "the same selection keeps the run";
  fx_begin(glow, 1);
  EXPECT_EQ(draws_up() - d, 2);
  EXPECT_EQ(g_fxN, 0);

  // A flush leaves lighting off and the blend mode in force, depth writes
  // and culling back on.
  fx_begin(glow, 2);
  fx_billboard(0, 0, 0, 1, 0xFFFFFFFFu, 1, 0, 0, 0, 1, 0);
  EXPECT_EQ(g_fx[0].x, -1.0f);
  EXPECT_EQ(g_fx[0].y, -1.0f);
  EXPECT_EQ(g_fx[2].x, 1.0f);
  EXPECT_EQ(g_fx[2].y, 1.0f);
  fx_flush();
  EXPECT_EQ(draws_up() - d, 3);
  EXPECT_EQ(g_rsVal[D3DRS_LIGHTING], 0u);
  EXPECT_EQ(g_rsVal[D3DRS_DESTBLEND], (uint32_t)D3DBLEND_ONE);
  EXPECT_EQ(g_rsVal[D3DRS_ZWRITEENABLE], 1u);
  EXPECT_EQ(g_rsVal[D3DRS_CULLMODE], (uint32_t)D3DCULL_CCW);
  fx_quad(a, b, c, e, 0xFFFFFFFFu);
  ui_begin();  // effects go first
  EXPECT_EQ(draws_up() - d, 4);
}

TEST_F(GfxFrameTest, RectanglesAndLinesCoverExactlyTheirPixels) {
  ui_rect(3, 2, 4, 5, 0xFFFF0000u);
  ui_line(20, 20, 23, 21, 0xFF00FF00u);
  ui_line(40, 30, 40, 30, 0xFF0000FFu);  // a point is one pixel
  std::vector<uint32_t> px = read_low();
  for (int y = 0; y < 40; y++) {
    for (int x = 0; x < 50; x++) {
      uint32_t want = 0;
      if (x >= 3 && x < 7 && y >= 2 && y < 7) want = 0xFF0000;
      if ((y == 20 && x >= 20 && x <= 22) || (x == 23 && y == 21)) want = 0x00FF00;
      if (x == 40 && y == 30) want = 0x0000FF;
      ASSERT_EQ(low(px, x, y), want) << "pixel " << x << "," << y;
    }
  }
}

// The cell of a character in the font texture, as the expected picture.
struct Font {
  std::vector<uint32_t> px;
  int w = 0;
  bool set(int ch, int x, int y) const {
    int cx = (ch - 32) % 16 * 8, cy = (ch - 32) / 16 * 8;
    return (px[(size_t)(cy + y) * w + cx + x] >> 24) >= 128;
  }
};

Font read_font() {
  Font f;
  Texture* t = tex_get("font");
  f.w = t->w;
  D3DLOCKED_RECT lr;
  EXPECT_GE(t->tex->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), 0);
  f.px.resize((size_t)t->w * t->h);
  for (int y = 0; y < t->h; y++) memcpy(&f.px[(size_t)y * t->w], (uint8_t*)lr.pBits + y * lr.Pitch, t->w * 4);
  t->tex->UnlockRect(0);
  return f;
}

// Checks a run of glyphs drawn at (x, y) with the given scale in `colour`,
// with nothing else in the 6 x 8 cells (the background is black).
void expect_glyphs(const std::vector<uint32_t>& px, const Font& f, const char* text, int x, int y, int scale,
                   uint32_t colour) {
  for (int i = 0; text[i]; i++) {
    int ch = (unsigned char)text[i];
    for (int gy = 0; gy < 8 * scale; gy++) {
      for (int gx = 0; gx < 6 * scale; gx++) {
        int sx = x + i * 6 * scale + gx, sy = y + gy;
        uint32_t want = f.set(ch, gx / scale, gy / scale) ? colour : 0;
        ASSERT_EQ(px[(size_t)sy * g_lowW + sx], want) << "'" << text[i] << "' at " << gx << "," << gy;
      }
    }
  }
}

TEST_F(GfxFrameTest, TextPlacesEachGlyphOnWholePixels) {
  Font f = read_font();
  ASSERT_TRUE(f.set('A', 0, 1)) << "the font has glyphs";
  ui_text_raw(10, 20, 1, 0xFFFFFFFFu, "AZ09");
  ui_text_raw(10, 40, 2, 0xFFFFFFFFu, "K!");
  ui_text_raw(10, 70, 1, 0xFFFFFFFFu, "az\nb");  // lower case draws upper case; line feed: 9 down
  ui_text_raw(100, 20, 1, 0xFFFFFFFFu, "A B");   // a space is only an advance
  ui_text_raw(100, 40, 1, 0xFFFFFFFFu, "\xc8\x01");  // unknown bytes draw "?"
  std::vector<uint32_t> px = read_low();
  expect_glyphs(px, f, "AZ09", 10, 20, 1, 0xFFFFFF);
  expect_glyphs(px, f, "K!", 10, 40, 2, 0xFFFFFF);
  expect_glyphs(px, f, "AZ", 10, 70, 1, 0xFFFFFF);
  expect_glyphs(px, f, "B", 10, 79, 1, 0xFFFFFF);
  expect_glyphs(px, f, "A B", 100, 20, 1, 0xFFFFFF);
  expect_glyphs(px, f, "??", 100, 40, 1, 0xFFFFFF);

  // At a fractional scale each pixel samples the texel under its centre.
  ui_text_raw(200, 100, 0.8f, 0xFFFFFFFFu, "M");
  px = read_low();
  for (int y = 0; y < 7; y++) {
    for (int x = 0; x < 6; x++) {
      bool on = x < 5 && y < 6 && f.set('M', (int)((x + 0.5f) / 0.8f), (int)((y + 0.5f) / 0.8f));
      EXPECT_EQ(low(px, 200 + x, 100 + y), on ? 0xFFFFFFu : 0u) << x << "," << y;
    }
  }
  EXPECT_EQ(ui_text_width("AB", 2), 24.0f);
}

TEST_F(GfxFrameTest, ShadowedTextSitsOnItsShadow) {
  Font f = read_font();
  ui_text(10, 10, 1, 0xFFFFFFFFu, "I");
  ui_text(30, 10, 2, 0xFFFFFFFFu, "I");
  ui_text_center(100, 60, 1, 0xFFFFFFFFu, "II");  // 12 wide: starts at 94
  std::vector<uint32_t> px = read_low();
  // "I" has its top bar in row 0, columns 1 to 3; the stem in column 2.
  ASSERT_TRUE(f.set('I', 1, 0) && f.set('I', 2, 3) && !f.set('I', 0, 0) && !f.set('I', 1, 3));
  EXPECT_EQ(low(px, 11, 10), 0xFFFFFFu);
  EXPECT_EQ(low(px, 12, 13), 0xFFFFFFu);
  EXPECT_EQ(low(px, 13, 14), 0x101018u) << "1-pixel shadow at scale 1";
  EXPECT_EQ(low(px, 10, 10), 0u);
  EXPECT_EQ(low(px, 34, 16), 0xFFFFFFu);
  EXPECT_EQ(low(px, 39, 12), 0x101018u) << "2-pixel shadow at scale 2";
  EXPECT_EQ(low(px, 36, 20), 0x101018u);
  EXPECT_EQ(low(px, 95, 60), 0xFFFFFFu);
  EXPECT_EQ(low(px, 94, 60), 0u);
}

TEST_F(GfxTest, CentredLayoutsShiftIntoWideFrames) {
  g_opt.resW = 1280;
  g_opt.resH = 720;
  ASSERT_TRUE(start());
  ASSERT_EQ(g_lowW, 426);
  gfx_begin_low(0xFF000000u);
  ui_begin();
  ui_origin(1);
  ui_rect(0, 0, 1, 1, 0xFFFFFFFFu);
  ui_origin(0);
  ui_rect(0, 0, 1, 1, 0xFF00FF00u);
  std::vector<uint32_t> px = read_low();
  EXPECT_EQ(low(px, 53, 0), 0xFFFFFFu);
  EXPECT_EQ(low(px, 0, 0), 0x00FF00u);
  gfx_end_low_and_present();
}

}  // namespace
