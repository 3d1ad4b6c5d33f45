// The render-state cache: which setters reach the device, and what the
// intent-level setters make the device draw.
#include "gfx_fixture.h"

namespace {

TEST_F(GfxTest, RepeatedValuesReachTheDeviceOnce) {
  ASSERT_TRUE(start());
  EXPECT_EQ(calls([] { gfx_rs(D3DRS_FOGCOLOR, 1), gfx_rs(D3DRS_FOGCOLOR, 1), gfx_rs(D3DRS_FOGCOLOR, 2); }), 2);
  EXPECT_EQ(calls([] { for (int i = 0; i < 2; i++) gfx_tss(1, D3DTSS_COLORARG1, 2), gfx_samp(1, D3DSAMP_ADDRESSU, 3); }),
            2);
  EXPECT_EQ(calls([] { gfx_fvf(0x152), gfx_fvf(0x152), gfx_fvf(0x142); }), 2);
  // The defaults are known to the cache; unknown blend modes are alpha blending.
  EXPECT_EQ(calls([] { gfx_cull(1), gfx_ztest(1), gfx_zwrite(1), gfx_tint(0xFFFFFFFFu); }), 0);
  EXPECT_EQ(calls([] { gfx_blend_mode(1), gfx_blend_mode(7); }), 4);
  // Outside the cached ranges every call reaches the device.
  EXPECT_EQ(calls([] {
              for (int i = 0; i < 2; i++)
                gfx_rs(256, 1), gfx_tss(2, D3DTSS_COLOROP, 1), gfx_tss(0, 33, 0), gfx_samp(2, D3DSAMP_ADDRESSU, 1);
            }),
            8);
  // Transforms: only the identity world is remembered; a new projection sets both.
  Mat4 id = m4_identity(), t = m4_translate(1, 2, 3);
  EXPECT_EQ(calls([&] { gfx_set_world(&t), gfx_set_world(&t), gfx_set_world(&id), gfx_set_world(&id); }), 3);
  EXPECT_EQ(calls([&] { gfx_set_world(&t); }), 1);
  Mat4 view = m4_look_at(Vec3{0, 2, -5}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
  Mat4 proj = m4_persp(1.0f, 4.0f / 3.0f, 0.5f, 300.0f), proj2 = m4_persp(1.1f, 4.0f / 3.0f, 0.5f, 300.0f);
  EXPECT_EQ(calls([&] { gfx_set_3d(&view, &proj), gfx_set_3d(&view, &proj), gfx_set_3d(&view, &proj2); }), 4);
  gfx_state_reset();  // everything is sent again
  EXPECT_EQ(calls([&] { gfx_rs(D3DRS_FOGCOLOR, 2), gfx_cull(1), gfx_fvf(0x142), gfx_set_3d(&view, &proj2); }), 5);
  EXPECT_EQ(calls([&] { gfx_set_world(&id); }), 1);
  // The light itself is sent every time; the ambient colour and fog values are cached.
  EXPECT_EQ(calls([] { for (int i = 0; i < 2; i++) gfx_set_sun(Vec3{0, -1, 0}, 0xFFFFFFFF, 0xFF202020); }), 5);
  EXPECT_EQ(calls([] { gfx_set_fog_params(0xFF8090A0, 10, 100), gfx_set_fog_params(0xFF8090A0, 10, 120); }), 4);
  EXPECT_EQ(cache_vs_device(), "");
}

TEST_F(GfxTest, TintBlendingAndLightingShowInThePicture) {
  ASSERT_TRUE(start());
  gfx_begin_low(0xFF204060u);
  gfx_set_lighting(0);
  gfx_ztest(0);
  gfx_cull(0);
  gfx_bind(tex_get("white"));
  // A pre-transformed quad over the whole frame in one colour; the frame's first pixel.
  auto fill = [&](uint32_t colour) {
    float w = (float)g_lowW - 0.5f, h = (float)g_lowH - 0.5f;
    UiVertex q[4] = {{-0.5f, -0.5f, 0, 1, colour, 0, 0}, {w, -0.5f, 0, 1, colour, 1, 0},
                     {-0.5f, h, 0, 1, colour, 0, 1}, {w, h, 0, 1, colour, 1, 1}};
    gfx_fvf(FVF_UI);
    gfx_draw_up(D3DPT_TRIANGLESTRIP, 2, q, sizeof(UiVertex));
    return read_low()[0];
  };
  // A tint multiplies the colour (alpha passes through); switched off, the plain colour is drawn.
  gfx_blend_mode(0);
  gfx_tint(0xFF80FF40u);
  EXPECT_EQ(fill(0xFFFFFFFFu), 0x80FF40u);
  gfx_tint(0xFFFFFFFFu);
  EXPECT_EQ(fill(0xFFC0C0C0u), 0xC0C0C0u);
  // Mode 0 drops pixels whose alpha is below 128; mode 1 blends by alpha; mode 2 adds.
  EXPECT_EQ(fill(0x7FFFFFFFu), 0xC0C0C0u) << "alpha 127 is cut";
  gfx_blend_mode(1);
  int half = (int)(fill(0x80000000u) & 0xFF);
  EXPECT_NEAR(half, 0x60, 1);
  gfx_blend_mode(2);
  EXPECT_NEAR((int)(fill(0x80101010u) & 0xFF), half + 8, 1);

  // Light travelling into the screen, 4 times as strong in red as in blue,
  // onto a wall facing the camera; ambient adds a fixed amount.
  Mat4 id = m4_identity(), view = m4_look_at(Vec3{0, 0, -3}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
  Mat4 proj = m4_persp(1.0f, (float)g_lowW / (float)g_lowH, 0.5f, 50.0f);
  gfx_set_3d(&view, &proj);
  gfx_set_world(&id);
  gfx_set_lighting(1);
  gfx_blend_mode(0);
  gfx_set_sun(Vec3{0, 0, 7}, 0xFF804020u, 0xFF101010u);
  Vertex wall[4] = {{-1, 1, 0, 0, 0, -1, ~0u, 0, 0}, {1, 1, 0, 0, 0, -1, ~0u, 0, 0},
                    {-1, -1, 0, 0, 0, -1, ~0u, 0, 0}, {1, -1, 0, 0, 0, -1, ~0u, 0, 0}};
  gfx_fvf(FVF_MESH);
  gfx_draw_up(D3DPT_TRIANGLESTRIP, 2, wall, sizeof(Vertex));
  const size_t centre = (size_t)g_lowH / 2 * g_lowW + g_lowW / 2;
  uint32_t c = read_low()[centre];
  for (int shift : {16, 8, 0}) EXPECT_NEAR((int)(c >> shift & 255), (int)(0x905030u >> shift & 255), 1) << shift;
  // Linear fog from 1 to 5 m takes the wall 3 m away half way to the fog colour.
  gfx_set_fog(1);
  gfx_set_fog_params(0xFF000000u, 1.0f, 5.0f);
  gfx_draw_up(D3DPT_TRIANGLESTRIP, 2, wall, sizeof(Vertex));
  c = read_low()[centre];
  for (int shift : {16, 8, 0}) EXPECT_NEAR((int)(c >> shift & 255), (int)(0x905030u >> shift & 255) / 2, 2) << shift;
  gfx_end_low_and_present();
  EXPECT_EQ(cache_vs_device(), "");
}

}  // namespace
