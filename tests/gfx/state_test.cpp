// The render-state cache: which setters reach the device, and what the
// intent-level setters make the device draw.
#include "gfx_fixture.h"

namespace {

// Device calls made by f.
template <typename F>
int calls(F f) {
  int before = g_d3dCalls;
  f();
  return g_d3dCalls - before;
}

TEST_F(GfxTest, RepeatedStatesReachTheDeviceOnce) {
  ASSERT_TRUE(start());
  EXPECT_EQ(calls([] { gfx_rs(D3DRS_FOGCOLOR, 0x123456); }), 1);
  EXPECT_EQ(calls([] { gfx_rs(D3DRS_FOGCOLOR, 0x123456); }), 0);
  EXPECT_EQ(calls([] { gfx_rs(D3DRS_FOGCOLOR, 0x654321); }), 1);
  EXPECT_EQ(calls([] { gfx_tss(1, D3DTSS_COLORARG1, D3DTA_CURRENT); gfx_tss(1, D3DTSS_COLORARG1, D3DTA_CURRENT); }), 1);
  EXPECT_EQ(calls([] { gfx_samp(1, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP); gfx_samp(1, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP); }), 1);
  EXPECT_EQ(calls([] { gfx_fvf(0x152); gfx_fvf(0x152); gfx_fvf(0x142); }), 2);

  // The defaults are known to the cache: setting them again costs nothing,
  // while lighting, fog and blending were never set and do cost a call.
  EXPECT_EQ(calls([] { gfx_cull(1); gfx_ztest(1); gfx_zwrite(1); gfx_tint(0xFFFFFFFFu); }), 0);
  EXPECT_EQ(calls([] { gfx_set_lighting(1); gfx_set_fog(0); }), 2);
  EXPECT_EQ(calls([] { gfx_blend_mode(0); }), 2);
  EXPECT_EQ(calls([] { gfx_blend_mode(1); }), 4);
  EXPECT_EQ(calls([] { gfx_blend_mode(7); }), 0) << "unknown modes are alpha blending";
  EXPECT_EQ(calls([] { gfx_blend_mode(2); }), 1);

  // Outside the cached ranges every call reaches the device.
  EXPECT_EQ(calls([] { gfx_rs(256, 1); gfx_rs(256, 1); }), 2);
  EXPECT_EQ(calls([] { gfx_tss(2, D3DTSS_COLOROP, D3DTOP_DISABLE); gfx_tss(2, D3DTSS_COLOROP, D3DTOP_DISABLE); }), 2);
  EXPECT_EQ(calls([] { gfx_tss(0, 33, 0); gfx_tss(0, 33, 0); }), 2);
  EXPECT_EQ(calls([] { gfx_samp(2, D3DSAMP_ADDRESSU, 1); gfx_samp(2, D3DSAMP_ADDRESSU, 1); }), 2);

  // After a reset of the cache everything is sent again.
  gfx_state_reset();
  EXPECT_EQ(calls([] { gfx_rs(D3DRS_FOGCOLOR, 0x654321); gfx_cull(1); gfx_fvf(0x142); }), 3);
}

TEST_F(GfxTest, TransformsAndTheLightAreCachedAsDescribed) {
  ASSERT_TRUE(start());
  Mat4 id = m4_identity(), t = m4_translate(1, 2, 3);
  EXPECT_EQ(calls([&] { gfx_set_world(&id); gfx_set_world(&id); }), 1);
  EXPECT_EQ(calls([&] { gfx_set_world(&t); gfx_set_world(&t); }), 2) << "only the identity is remembered";
  EXPECT_EQ(calls([&] { gfx_set_world(&id); }), 1);

  Mat4 view = m4_look_at(Vec3{0, 2, -5}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
  Mat4 proj = m4_persp(1.0f, 4.0f / 3.0f, 0.5f, 300.0f), proj2 = m4_persp(1.1f, 4.0f / 3.0f, 0.5f, 300.0f);
  EXPECT_EQ(calls([&] { gfx_set_3d(&view, &proj); gfx_set_3d(&view, &proj); }), 2);
  EXPECT_EQ(calls([&] { gfx_set_3d(&view, &proj2); }), 2) << "a new projection sets both";
  gfx_state_reset();
  EXPECT_EQ(calls([&] { gfx_set_3d(&view, &proj2); gfx_set_world(&id); }), 3);

  // The light itself is sent every time; the ambient colour is cached.
  Vec3 down = {0, -1, 0};
  EXPECT_EQ(calls([&] { gfx_set_sun(down, 0xFFFFFFFF, 0xFF202020); }), 3);
  EXPECT_EQ(calls([&] { gfx_set_sun(down, 0xFFFFFFFF, 0xFF202020); }), 2);
  EXPECT_EQ(calls([] { gfx_set_fog_params(0xFF8090A0, 10.0f, 100.0f); gfx_set_fog_params(0xFF8090A0, 10.0f, 100.0f); }), 3);
  EXPECT_EQ(calls([] { gfx_set_fog_params(0xFF8090A0, 10.0f, 120.0f); }), 1);
}

// A pre-transformed quad over the whole frame, untextured, in one colour.
void fill_frame(uint32_t colour) {
  float w = (float)g_lowW - 0.5f, h = (float)g_lowH - 0.5f;
  UiVertex q[4] = {{-0.5f, -0.5f, 0, 1, colour, 0, 0},
                   {w, -0.5f, 0, 1, colour, 1, 0},
                   {-0.5f, h, 0, 1, colour, 0, 1},
                   {w, h, 0, 1, colour, 1, 1}};
  gfx_fvf(FVF_UI);
  gfx_draw_up(D3DPT_TRIANGLESTRIP, 2, q, sizeof(UiVertex));
}

TEST_F(GfxTest, TintBlendingAndLightingShowInThePicture) {
  ASSERT_TRUE(start());
  gfx_begin_low(0xFF204060u);
  gfx_set_lighting(0);
  gfx_ztest(0);
  gfx_cull(0);
  gfx_bind(tex_get("white"));

  // A tint multiplies the colour (alpha passes through), and switching it off
  // draws the plain colour again.
  gfx_blend_mode(0);
  gfx_tint(0xFF80FF40u);
  fill_frame(0xFFFFFFFFu);
  EXPECT_EQ(read_low()[0], 0x80FF40u);
  gfx_tint(0xFFFFFFFFu);
  fill_frame(0xFFC0C0C0u);
  EXPECT_EQ(read_low()[0], 0xC0C0C0u);

  // Mode 0 drops pixels whose alpha is below 128; mode 1 blends by alpha;
  // mode 2 adds.
  fill_frame(0x7FFFFFFFu);
  EXPECT_EQ(read_low()[0], 0xC0C0C0u) << "alpha 127 is cut";
  gfx_blend_mode(1);
  fill_frame(0x80000000u);
  uint32_t half = read_low()[0] & 0xFF;
  EXPECT_NEAR((int)half, 0x60, 1);
  gfx_blend_mode(2);
  fill_frame(0x80101010u);
  EXPECT_NEAR((int)(read_low()[0] & 0xFF), (int)half + 8, 1);
  gfx_end_low_and_present();
}

TEST_F(GfxTest, SunLightsFacesTurnedTowardsIt) {
  ASSERT_TRUE(start());
  gfx_begin_low(0xFF000000u);
  Mat4 id = m4_identity();
  Mat4 view = m4_look_at(Vec3{0, 0, -3}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
  Mat4 proj = m4_persp(1.0f, (float)g_lowW / (float)g_lowH, 0.5f, 50.0f);
  gfx_set_3d(&view, &proj);
  gfx_set_world(&id);
  gfx_set_lighting(1);
  gfx_cull(0);
  gfx_blend_mode(0);
  gfx_bind(tex_get("white"));
  // Light travelling into the screen, 4 times as strong in red as in blue,
  // onto a wall facing the camera; ambient adds a fixed amount.
  gfx_set_sun(Vec3{0, 0, 7}, 0xFF804020u, 0xFF101010u);
  Mesh m = {};
  for (int i = 0; i < 4; i++)
    mesh_add_vertex(&m, (i & 1) ? 1.0f : -1.0f, (i & 2) ? -1.0f : 1.0f, 0, 0, 0, -1, 0xFFFFFFFFu, 0, 0);
  mesh_add_quad(&m, 0, 1, 3, 2);
  GpuMesh g;
  ASSERT_EQ(gpu_upload(&g, &m), 1);
  gpu_draw(&g);
  uint32_t c = low(read_low(), g_lowW / 2, g_lowH / 2);
  EXPECT_NEAR((int)(c >> 16), 0x90, 1);
  EXPECT_NEAR((int)((c >> 8) & 255), 0x50, 1);
  EXPECT_NEAR((int)(c & 255), 0x30, 1);
  gpu_free(&g);
  mesh_free(&m);
  gfx_end_low_and_present();
}

}  // namespace

namespace {

// Every call the layer makes on the device is counted, no more and no less:
// start-up, a whole frame of every kind of drawing, loss and reset, shutdown.
TEST_F(GfxTest, DeviceCallCountIsExact) {
  int before = g_d3dCalls;
  ASSERT_TRUE(gfx_init(nullptr, 0));
  EXPECT_EQ(g_d3dCalls - before, g_softHooks.deviceCalls);
  assets_init();
  Texture* grass = tex_get("grass");
  Texture* font = tex_get("font");
  (void)font;

  Batch* list = nullptr;
  Mesh* m = batch_get(&list, grass, 0, 4);
  int a = mesh_add_vertex(m, -1, 0, -1, 0, 1, 0, 0xFFFFFFFFu, 0, 0);
  mesh_add_vertex(m, 1, 0, -1, 0, 1, 0, 0xFFFFFFFFu, 1, 0);
  mesh_add_vertex(m, 1, 0, 1, 0, 1, 0, 0xFFFFFFFFu, 1, 1);
  mesh_add_vertex(m, -1, 0, 1, 0, 1, 0, 0xFFFFFFFFu, 0, 1);
  mesh_add_quad(m, a, a + 3, a + 2, a + 1);
  soft_hooks_reset_counters();
  before = g_d3dCalls;
  batch_upload(&list);

  ASSERT_EQ(gfx_ready(), 1);
  gfx_begin_low(0xFF6080A0u);
  Mat4 view = m4_look_at(Vec3{0, 3, -4}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
  Mat4 proj = m4_persp(1.0f, 4.0f / 3.0f, 0.5f, 100.0f), id = m4_identity();
  gfx_set_3d(&view, &proj);
  gfx_set_world(&id);
  gfx_set_lighting(1);
  gfx_set_fog(1);
  gfx_set_fog_params(0xFF6080A0u, 5, 50);
  gfx_set_sun(Vec3{1, -2, 1}, 0xFFFFFFFFu, 0xFF404040u);
  gfx_blend_mode(0);
  gfx_tint(0xFF808080u);
  batch_draw(&list, 0);
  gfx_tint(0xFFFFFFFFu);
  fx_begin(tex_get("glow"), 2);
  for (int i = 0; i < 700; i++) fx_billboard(0, 1, 0, 0.5f, 0xFFFFFFFFu, 1, 0, 0, 0, 1, 0);
  gfx_viewport(10, 10, 100, 100);
  gfx_viewport(0, 0, 0, 0);
  ui_begin();
  ui_rect(1, 1, 10, 10, 0x80FFFFFFu);
  ui_text_center(160, 100, 2, 0xFFFFFF00u, "LAP 1/3");
  ui_line(0, 0, 50, 20, 0xFFFF0000u);
  EXPECT_EQ(gfx_save_shot("s.bmp"), 1);
  gfx_end_low_and_present();
  EXPECT_EQ(g_d3dCalls - before, g_softHooks.deviceCalls);

  // Loss, reset and a display switch.
  g_softHooks.lost = 1;
  g_softHooks.lostPolls = 1;
  EXPECT_EQ(gfx_ready(), 0);
  EXPECT_EQ(gfx_ready(), 1);
  EXPECT_EQ(gfx_set_fullscreen(1), 1);
  EXPECT_EQ(g_d3dCalls - before, g_softHooks.deviceCalls);

  batch_free(&list);
  stop();
  EXPECT_EQ(g_d3dCalls - before, g_softHooks.deviceCalls);
  EXPECT_GT(g_softHooks.calls[SC_Release], 0);
}

}  // namespace
