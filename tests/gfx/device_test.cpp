// The device: sizes for every display, start-up failures, device loss,
// display switching, the magnified picture, the mouse mapping and screenshots.
#include <SDL.h>

#include "gfx_fixture.h"

namespace {

struct Row {
  int bbW, bbH, lowW, lowH;
  float scale, upX, upY;
};

// Every display size the game is known to handle.
const Row kDisplays[] = {
    {640, 480, 320, 240, 2, 0, 0},    {800, 600, 400, 300, 2, 0, 0},     {1024, 768, 340, 256, 3, 2, 0},
    {1280, 720, 426, 240, 3, 1, 0},   {1280, 1024, 320, 256, 4, 0, 0},   {1366, 768, 454, 256, 3, 2, 0},
    {1680, 1050, 418, 262, 4, 4, 1},  {1920, 1080, 480, 270, 4, 0, 0},   {1920, 1200, 384, 240, 5, 0, 0},
    {2560, 1440, 426, 240, 6, 2, 0},  {3440, 1440, 572, 240, 6, 4, 0},   {1000, 1000, 320, 256, 3, 20, 116},
};

TEST_F(GfxTest, EveryDisplaySizeGivesItsFrame) {
  for (int fullscreen = 0; fullscreen < 2; fullscreen++) {
    for (const Row& r : kDisplays) {
      SCOPED_TRACE(std::to_string(r.bbW) + "x" + std::to_string(r.bbH) + (fullscreen ? " fullscreen" : " window"));
      if (fullscreen) {
        g_softHooks.modeW = r.bbW, g_softHooks.modeH = r.bbH;  // what the adapter reports
        g_opt.resW = g_opt.resH = 0;
      } else {
        g_softHooks.modeW = 640, g_softHooks.modeH = 480;
        g_opt.resW = r.bbW;  // what "--res" asked for
        g_opt.resH = r.bbH;
      }
      ASSERT_TRUE(start(fullscreen));
      EXPECT_EQ(g_bbW, r.bbW);
      EXPECT_EQ(g_bbH, r.bbH);
      EXPECT_EQ(g_lowW, r.lowW);
      EXPECT_EQ(g_lowH, r.lowH);
      EXPECT_EQ(g_upScale, r.scale);
      EXPECT_EQ(g_upX, r.upX);
      EXPECT_EQ(g_upY, r.upY);
      EXPECT_EQ(g_fullscreen, fullscreen);
      EXPECT_EQ(g_pp.BackBufferWidth, (UINT)r.bbW);
      EXPECT_EQ(g_pp.Windowed, fullscreen ? 0 : 1);
      char line[128];
      snprintf(line, sizeof line, "gfx ready: %dx%d %s, low %dx%d, scale %.2f", r.bbW, r.bbH,
               fullscreen ? "fullscreen" : "windowed", r.lowW, r.lowH, r.scale);
      EXPECT_TRUE(logged(line)) << line;
      stop();
    }
  }
}

TEST_F(GfxTest, PresentParametersAndOddDisplays) {
  g_opt.vsync = 1;
  ASSERT_TRUE(start());
  EXPECT_EQ(g_pp.BackBufferFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(g_pp.BackBufferCount, 1u);
  EXPECT_EQ(g_pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
  EXPECT_EQ(g_pp.EnableAutoDepthStencil, 0);
  EXPECT_EQ(g_pp.PresentationInterval, (UINT)D3DPRESENT_INTERVAL_ONE);
  EXPECT_EQ(g_upScale, 2.0f);
  stop();
  g_opt.vsync = 0;

  // A display mode that cannot be read or is too small falls back to the
  // screen size (640 x 480 here); "--res" replaces the display's size; a
  // requested size too small for a display gives 640 x 480.
  const int cases[][6] = {{-1, -1, 0, 0, 640, 480},         {319, 480, 0, 0, 640, 480},         {640, 239, 0, 0, 640, 480},
                          {320, 240, 0, 0, 320, 240},         {1920, 1080, 1280, 720, 1280, 720},
                          {1920, 1080, 300, 200, 640, 480}};
  for (auto& c : cases) {
    g_softHooks.modeW = c[0], g_softHooks.modeH = c[1];
    g_softHooks.failDisplayMode = c[0] < 0;
    g_opt.resW = c[2];
    g_opt.resH = c[3];
    ASSERT_TRUE(start(1));
    EXPECT_EQ(g_bbW, c[4]) << c[0] << " " << c[2];
    EXPECT_EQ(g_bbH, c[5]);
    EXPECT_EQ(g_pp.PresentationInterval, (UINT)D3DPRESENT_INTERVAL_IMMEDIATE);
    stop();
  }
  // Windows too narrow or too small for a whole-number magnification get a
  // fractional one.
  const Row odd[] = {{600, 1000, 320, 256, 1.875f, 0, 260}, {200, 200, 320, 256, 0.625f, 0, 20}};
  for (const Row& r : odd) {
    g_opt.resW = r.bbW;
    g_opt.resH = r.bbH;
    ASSERT_TRUE(start());
    EXPECT_EQ(g_lowW, r.lowW);
    EXPECT_EQ(g_lowH, r.lowH);
    EXPECT_EQ(g_upScale, r.scale);
    EXPECT_EQ(g_upX, r.upX);
    EXPECT_EQ(g_upY, r.upY);
    stop();
  }
  // Shapes outside 1.25:1 to 2.4:1 are clamped, and the width stays even.
  for (int w = 320; w <= 4000; w += 37) {
    g_opt.resW = w;
    g_opt.resH = 777;
    fill_pp(0);
    EXPECT_EQ(g_lowW % 2, 0) << w;
    EXPECT_GE(g_lowW, 320);
    EXPECT_LE((float)g_lowW / g_lowH, 2.41f) << w;
    EXPECT_GE((float)g_lowW / g_lowH, 1.24f) << w;
  }
}

TEST_F(GfxTest, StartUpFailuresAreLoggedAndReported) {
  sys_lib_block("d3d9.dll", 1);
  EXPECT_FALSE(start());
  EXPECT_TRUE(logged("no d3d9.dll"));
  sys_lib_block("d3d9.dll", 0);

  sys_lib_provide("d3d9.dll", [](const char*) -> void* { return nullptr; });
  EXPECT_FALSE(start());
  EXPECT_TRUE(logged("no Direct3DCreate9"));
  sys_lib_provide("d3d9.dll", [](const char*) -> void* {
    return (void*)+[](UINT) -> IDirect3D9* { return nullptr; };
  });
  EXPECT_FALSE(start());
  EXPECT_TRUE(logged("Direct3DCreate9 failed"));
  use_soft_device();

  // Hardware vertex processing refused: software vertex processing is taken.
  g_softHooks.failNextHwCreate = 1;
  ASSERT_TRUE(start());
  ASSERT_EQ(g_softHooks.createDevices, 2);
  EXPECT_EQ(g_softHooks.createFlags[0], 0x42u);
  EXPECT_EQ(g_softHooks.createFlags[1], 0x22u);
  stop();

  // No full-screen device: a window instead, said so in the log.
  soft_hooks_reset();
  g_softHooks.failFullscreenCreate = 1;
  ASSERT_TRUE(start(1));
  EXPECT_EQ(g_fullscreen, 0);
  ASSERT_EQ(g_softHooks.createDevices, 3);
  EXPECT_EQ(g_softHooks.createWindowed[1], 0);
  EXPECT_EQ(g_softHooks.createWindowed[2], 1);
  EXPECT_EQ(g_softHooks.createFlags[2], 0x42u);
  EXPECT_TRUE(logged("fullscreen device failed, falling back to a window"));
  EXPECT_TRUE(logged("gfx ready: 640x480 windowed, low 320x240, scale 2.00"));
  stop();

  // No device at all: two windowed attempts with both flag sets each.
  soft_hooks_reset();
  g_softHooks.failCreate = 1;
  EXPECT_FALSE(start());
  ASSERT_EQ(g_softHooks.createDevices, 4);
  EXPECT_EQ(g_softHooks.createFlags[2], 0x42u);
  EXPECT_EQ(g_softHooks.createFlags[3], 0x22u);
  EXPECT_EQ(g_softHooks.createWindowed[3], 1);
  EXPECT_TRUE(logged("CreateDevice failed"));
  EXPECT_EQ(log_count("fullscreen device failed"), 1) << "a window was asked for";
  soft_hooks_reset();

  // Render targets: 24-bit depth refused falls back to 16 bits; the colour
  // target or both depth formats refused fail the start, with the code.
  g_softHooks.failD24X8 = 1;
  ASSERT_TRUE(start());
  D3DSURFACE_DESC desc;
  ASSERT_GE(g_rtDepth->GetDesc(&desc), 0);
  EXPECT_EQ(desc.Format, D3DFMT_D16);
  stop();
  g_softHooks.failD16 = 1;
  g_softHooks.failCode = (HRESULT)0x8876017Cu;
  EXPECT_FALSE(start());
  EXPECT_TRUE(logged("CreateDepthStencilSurface failed 8876017c"));
  soft_hooks_reset();
  g_softHooks.failRtTexture = 1;
  g_softHooks.failCode = (HRESULT)0x8876086Cu;
  EXPECT_FALSE(start());
  EXPECT_TRUE(logged("CreateTexture(RT) failed 8876086c"));
}

TEST_F(GfxTest, RefusedBuffersLeaveNothingToDraw) {
  ASSERT_TRUE(start());
  Mesh m = {};
  for (int i = 0; i < 3; i++) mesh_add_vertex(&m, (float)i, 0, 0, 0, 1, 0, 0xFFFFFFFFu, 0, 0);
  mesh_add_tri(&m, 0, 1, 2);
  GpuMesh g;
  for (int which = 0; which < 2; which++) {
    soft_hooks_reset();
    (which ? g_softHooks.failIndexBuffer : g_softHooks.failVertexBuffer) = 1;
    memset(&g, 0xAB, sizeof g);
    EXPECT_EQ(gpu_upload(&g, &m), 0);
    EXPECT_EQ(g.vb, nullptr);
    EXPECT_EQ(g.ib, nullptr);
    EXPECT_EQ(g.nverts + g.nindices, 0);
    gpu_draw(&g);
    EXPECT_EQ(g_softHooks.draws, 0);
  }
  mesh_free(&m);
}

TEST_F(GfxTest, LostDeviceIsResetAndDrawsAgain) {
  ASSERT_TRUE(start());
  gfx_set_lighting(0);
  gfx_begin_low(0xFF102030u);
  gfx_end_low_and_present();
  int frames = g_frame;

  g_softHooks.lost = 1, g_softHooks.lostPolls = 1;
  EXPECT_EQ(gfx_ready(), 0) << "lost: skip the frame";
  gfx_begin_low(0xFF000000u);
  gfx_end_low_and_present();
  EXPECT_EQ(g_frame, frames + 1) << "a frame presented while lost still counts";

  g_softHooks.lost = 1, g_softHooks.lostPolls = 0;
  g_softHooks.failReset = 1;
  g_softHooks.failCode = (HRESULT)0x8876086Cu;
  EXPECT_EQ(gfx_ready(), 0);
  EXPECT_TRUE(logged("Reset failed 8876086c"));
  soft_hooks_reset();
  g_softHooks.lost = 1, g_softHooks.lostPolls = 0;
  EXPECT_EQ(gfx_ready(), 1);
  EXPECT_EQ(gfx_ready(), 1);
  // The cache starts again from the defaults; targets and the frame are back.
  EXPECT_EQ(g_rsOk[D3DRS_LIGHTING], 0);
  EXPECT_EQ(g_rsVal[D3DRS_ALPHAREF], 128u);
  ASSERT_NE(g_rtTex, nullptr);
  EXPECT_EQ(g_rtWrap.tex, g_rtTex);
  gfx_begin_low(0xFF405060u);
  EXPECT_EQ(read_low()[0], 0x405060u);
  gfx_end_low_and_present();
}

TEST_F(GfxTest, SwitchingDisplayModes) {
  g_softHooks.modeW = 1024, g_softHooks.modeH = 768;
  ASSERT_TRUE(start());
  int resets = g_softHooks.calls[SC_Reset];
  EXPECT_EQ(gfx_set_fullscreen(0), 1) << "already windowed";
  EXPECT_EQ(g_softHooks.calls[SC_Reset], resets);
  EXPECT_EQ(gfx_set_fullscreen(1), 1);
  EXPECT_TRUE(logged("display: 1024x768 fullscreen, low 340x256"));
  EXPECT_EQ(g_upX, 2.0f);
  EXPECT_EQ(gfx_set_fullscreen(0), 1);
  EXPECT_TRUE(logged("display: 640x480 windowed, low 320x240"));

  // The display refuses full screen: the window comes back as it was.
  g_softHooks.failFullscreenReset = 1;
  EXPECT_EQ(gfx_set_fullscreen(1), 0);
  EXPECT_EQ(g_fullscreen, 0);
  EXPECT_EQ(g_pp.Windowed, 1);
  EXPECT_EQ(g_bbW, 640);
  EXPECT_EQ(g_lowW, 320);
  EXPECT_EQ(g_upScale, 2.0f);
  EXPECT_EQ(gfx_ready(), 1);
  gfx_begin_low(0xFF0000FFu);
  EXPECT_EQ(read_low()[0], 0x0000FFu);
  gfx_end_low_and_present();
  soft_hooks_reset();

  // Shutting down from full screen returns to a window first.
  ASSERT_EQ(gfx_set_fullscreen(1), 1);
  resets = g_softHooks.calls[SC_Reset];
  stop();
  EXPECT_EQ(g_softHooks.calls[SC_Reset], resets + 1);
}

TEST_F(GfxTest, FrameIsMagnifiedWithBlackBars) {
  g_softHooks.modeW = 1024, g_softHooks.modeH = 768;
  ASSERT_TRUE(start(1));
  // Whatever the back buffer held before, the bars come out black.
  g_dev->SetRenderTarget(0, g_backBuf);
  g_dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF00FFu, 1.0f, 0);
  gfx_begin_low(0xFF808080u);
  ui_begin();
  ui_rect(0, 0, 1, 1, 0xFFFF0000u);
  ui_rect(339, 255, 1, 1, 0xFF00FF00u);
  gfx_end_low_and_present();
  std::vector<uint32_t> bb = read_target(g_backBuf, 1024, 768);
  auto at = [&](int x, int y) { return bb[(size_t)y * 1024 + x]; };
  for (int y = 0; y < 768; y += 7) {
    EXPECT_EQ(at(0, y), 0u);
    EXPECT_EQ(at(1, y), 0u);
    EXPECT_EQ(at(1022, y), 0u);
    EXPECT_EQ(at(1023, y), 0u);
  }
  for (int i = 0; i < 9; i++) EXPECT_EQ(at(2 + i % 3, i / 3), 0xFF0000u) << i;
  EXPECT_EQ(at(5, 0), 0x808080u);
  EXPECT_EQ(at(2, 3), 0x808080u);
  for (int i = 0; i < 9; i++) EXPECT_EQ(at(1019 + i % 3, 765 + i / 3), 0x00FF00u) << i;
  EXPECT_EQ(at(1018, 767), 0x808080u);
  // The magnification leaves the cache as the next frame expects it.
  EXPECT_EQ(g_bound, nullptr);
  EXPECT_EQ(g_sampVal[0][D3DSAMP_ADDRESSU], (uint32_t)D3DTADDRESS_WRAP);
  EXPECT_EQ(g_rsVal[D3DRS_ZENABLE], 1u);
}

TEST_F(GfxTest, MousePositionsMapToFramePixels) {
  g_softHooks.modeW = 1024, g_softHooks.modeH = 768;
  ASSERT_TRUE(start(1));
  float lx, ly;
  gfx_screen_to_low(2, 0, &lx, &ly);
  EXPECT_EQ(lx, 0.0f);
  EXPECT_EQ(ly, 0.0f);
  gfx_screen_to_low(1021, 767, &lx, &ly);
  EXPECT_NEAR(lx, 339.666f, 0.001f);
  EXPECT_NEAR(ly, 255.666f, 0.001f);
  stop();

  // In a window the client area may differ from the back buffer: positions
  // are scaled to it first.
  ASSERT_TRUE(start());
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* w = SDL_CreateWindow("t", 0, 0, 320, 240, SDL_WINDOW_HIDDEN);
  ASSERT_NE(w, nullptr);
  g_hwnd = (SysWindow)w;
  gfx_screen_to_low(100, 61, &lx, &ly);
  EXPECT_EQ(lx, 100.0f);
  EXPECT_EQ(ly, 61.0f);
  g_hwnd = nullptr;
  gfx_screen_to_low(100, 61, &lx, &ly);
  EXPECT_EQ(lx, 50.0f);
  EXPECT_EQ(ly, 30.5f);
  SDL_DestroyWindow(w);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

uint32_t le32(const std::string& s, size_t at) {
  return (uint32_t)(uint8_t)s[at] | (uint32_t)(uint8_t)s[at + 1] << 8 | (uint32_t)(uint8_t)s[at + 2] << 16 |
         (uint32_t)(uint8_t)s[at + 3] << 24;
}

// The colour of image pixel (x, y) of a 24-bit bottom-up BMP.
uint32_t bmp_pixel(const std::string& f, int x, int y) {
  int w = (int)le32(f, 18), h = (int)le32(f, 22), row = (w * 3 + 3) & ~3;
  size_t at = 54 + (size_t)(h - 1 - y) * row + x * 3;
  return (uint32_t)(uint8_t)f[at] | (uint32_t)(uint8_t)f[at + 1] << 8 | (uint32_t)(uint8_t)f[at + 2] << 16;
}

void expect_header(const std::string& f, int w, int h) {
  int row = (w * 3 + 3) & ~3;
  ASSERT_EQ(f.size(), 54u + (size_t)row * h);
  EXPECT_EQ(f.substr(0, 2), "BM");
  EXPECT_EQ(le32(f, 2), f.size());
  EXPECT_EQ(le32(f, 6), 0u);
  EXPECT_EQ(le32(f, 10), 54u);
  EXPECT_EQ(le32(f, 14), 40u);
  EXPECT_EQ(le32(f, 18), (uint32_t)w);
  EXPECT_EQ(le32(f, 22), (uint32_t)h);
  EXPECT_EQ(le32(f, 26), 1u | 24u << 16);
  EXPECT_EQ(le32(f, 30), 0u);
  EXPECT_EQ(le32(f, 34), (uint32_t)row * h);
  EXPECT_EQ(f.substr(38, 16), std::string(16, '\0'));
}

TEST_F(GfxTest, ScreenshotsAreBottomUpBitmaps) {
  ASSERT_TRUE(start());
  gfx_begin_low(0xFF102030u);
  ui_begin();
  ui_rect(0, 0, 1, 1, 0xFFFF8040u);
  ui_rect(319, 239, 1, 1, 0xFF00FF00u);
  ui_rect(5, 6, 1, 1, 0xFFFFFFFFu);
  ui_flush();
  ui_rect(7, 7, 1, 1, 0xFFFFFFFFu);  // still pending: not in the picture
  ASSERT_EQ(gfx_save_shot("shot.bmp"), 1);
  EXPECT_TRUE(logged("shot shot.bmp -> 1"));
  gfx_end_low_and_present();
  std::string f = slurp("shot.bmp");
  expect_header(f, 640, 480);
  // Each frame pixel is a 2 x 2 block; the first row stored is the bottom one.
  for (int i = 0; i < 4; i++) EXPECT_EQ(bmp_pixel(f, i % 2, i / 2), 0xFF8040u);
  EXPECT_EQ(bmp_pixel(f, 2, 0), 0x102030u);
  EXPECT_EQ(bmp_pixel(f, 639, 479), 0x00FF00u);
  EXPECT_EQ((uint8_t)f[54], 0x30) << "bottom-left pixel, blue first";
  EXPECT_EQ((uint8_t)f[54 + 2], 0x10);
  EXPECT_EQ(bmp_pixel(f, 10, 12), 0xFFFFFFu);
  EXPECT_EQ(bmp_pixel(f, 14, 14), 0x102030u);

  // A path that cannot be written: 0, and said so.
  EXPECT_EQ(gfx_save_shot("no-such-folder/x.bmp"), 0);
  EXPECT_TRUE(logged("shot no-such-folder/x.bmp -> 0"));
}

TEST_F(GfxTest, ScreenshotsAtARequestedSizeShowTheBars) {
  for (int w : {1024, 1366}) {
    g_opt.resW = w;
    g_opt.resH = 768;
    ASSERT_TRUE(start());
    gfx_begin_low(0xFFFFFFFFu);
    ASSERT_EQ(gfx_save_shot("big.bmp"), 1);
    gfx_end_low_and_present();
    std::string f = slurp("big.bmp");
    expect_header(f, w, 768);
    int row = (w * 3 + 3) & ~3;
    for (int y = 0; y < 768; y += 5) {
      SCOPED_TRACE(y);
      EXPECT_EQ(bmp_pixel(f, 0, y), 0u);
      EXPECT_EQ(bmp_pixel(f, 1, y), 0u);
      EXPECT_EQ(bmp_pixel(f, 2, y), 0xFFFFFFu);
      EXPECT_EQ(bmp_pixel(f, w - 3, y), 0xFFFFFFu);
      EXPECT_EQ(bmp_pixel(f, w - 2, y), 0u);
      EXPECT_EQ(bmp_pixel(f, w - 1, y), 0u);
      for (int p = w * 3; p < row; p++) EXPECT_EQ(f[54 + (size_t)y * row + p], 0) << "padding";
    }
    stop();
  }
}

}  // namespace
