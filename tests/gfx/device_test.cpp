// The device: sizes for every display, start-up failures, device loss,
// display switching, the magnified picture, the mouse mapping and screenshots.
#include <SDL.h>

#include <algorithm>
#include <tuple>

#include "gfx_fixture.h"

namespace {

// The frame a device came up with: back buffer, low-resolution frame, scale and offsets.
std::string frame() {
  char s[64];
  snprintf(s, sizeof s, "%dx%d %dx%d %g %g,%g", g_bbW, g_bbH, g_lowW, g_lowH, g_upScale, g_upX, g_upY);
  return s;
}

// Every display size the game is known to handle, and two shapes it has to
// cope with; last, where a centred 320 x 240 layout lands (see ui_origin).
const char* const kDisplays[] = {
    "800x600 400x300 2 0,0 +40+30",    "1024x768 340x256 3 2,0 +10+8",      "1280x720 426x240 3 1,0 +53+0",
    "1366x768 454x256 3 2,0 +67+8",    "1680x1050 418x262 4 4,1 +49+11",    "1920x1080 480x270 4 0,0 +80+15",
    "3440x1440 572x240 6 4,0 +126+0",  "1000x1000 320x256 3 20,116 +0+8",   "3840x1080 648x270 4 624,0 +164+15",
    "600x1000 320x256 1.875 0,260 +0+8",
};

TEST_F(GfxTest, EveryDisplaySizeGivesItsFrame) {
  // The adapter reports modeW x modeH (-1: it cannot say), "--res" asks for resW x resH.
  auto expect_frame = [&](int fs, int modeW, int modeH, int resW, int resH, const char* want) {
    g_softHooks.modeW = modeW, g_softHooks.modeH = modeH, g_softHooks.failDisplayMode = modeW < 0;
    g_opt.resW = resW, g_opt.resH = resH;
    ASSERT_TRUE(start(fs));
    gfx_begin_low(0xFF000000u);
    ui_begin();
    ui_origin(1);
    ui_rect(0, 0, 1, 1, 0xFFFFFFFFu);
    ui_origin(0);
    ui_rect(1, 0, 1, 1, 0xFFFF0000u);
    std::vector<uint32_t> px = read_low();
    EXPECT_EQ(px[1], 0xFF0000u) << "not centred after ui_origin(0)";
    size_t at = std::find(px.begin(), px.end(), 0xFFFFFFu) - px.begin();
    EXPECT_EQ(frame() + " +" + std::to_string(at % g_lowW) + "+" + std::to_string(at / g_lowW), want)
        << (fs ? "full screen, mode " : "window, mode ") << modeW << ", asked for " << resW;
    EXPECT_EQ(std::make_tuple(g_pp.BackBufferFormat, g_pp.BackBufferCount, g_pp.SwapEffect, g_pp.Windowed,
                              g_pp.EnableAutoDepthStencil, g_pp.PresentationInterval),
              std::make_tuple(D3DFMT_X8R8G8B8, 1u, D3DSWAPEFFECT_DISCARD, fs ? 0 : 1, 0,
                              (UINT)(g_opt.vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE)));
    stop();
  };
  for (const char* r : kDisplays) {
    int w, h;
    sscanf(r, "%dx%d", &w, &h);
    expect_frame(1, w, h, 0, 0, r);      // full screen takes the adapter's mode
    expect_frame(0, 640, 480, w, h, r);  // a window the size asked for
  }
  // A display mode that cannot be read or is too small gives the screen's
  // size (640 x 480 here); "--res" replaces the display's size, unless too
  // small for a display. A tiny window keeps its size at a fractional scale.
  expect_frame(1, -1, -1, 0, 0, "640x480 320x240 2 0,0 +0+0");
  expect_frame(1, 319, 480, 0, 0, "640x480 320x240 2 0,0 +0+0");
  expect_frame(1, 640, 239, 0, 0, "640x480 320x240 2 0,0 +0+0");
  expect_frame(1, 320, 240, 0, 0, "320x240 320x240 1 0,0 +0+0");
  expect_frame(1, 1920, 1080, 1280, 720, "1280x720 426x240 3 1,0 +53+0");
  expect_frame(1, 1920, 1080, 300, 200, "640x480 320x240 2 0,0 +0+0");
  expect_frame(0, 640, 480, 200, 200, "200x200 320x256 0.625 0,20 +0+8");
  g_opt.vsync = 1;
  expect_frame(0, 640, 480, 0, 0, "640x480 320x240 2 0,0 +0+0");
}

// The device creation attempts so far: " W42 F22" is a windowed attempt with
// flags 0x42 and a full-screen one with 0x22.
std::string attempts() {
  std::string s;
  for (int i = 0; i < g_softHooks.createDevices && i < 8; i++) {
    char a[16];
    snprintf(a, sizeof a, " %c%x", g_softHooks.createWindowed[i] ? 'W' : 'F', (unsigned)g_softHooks.createFlags[i]);
    s += a;
  }
  return s;
}

TEST_F(GfxTest, StartUpFailuresAreLoggedAndReported) {
  sys_lib_block("d3d9.dll", 1);
  EXPECT_FALSE(start());
  sys_lib_block("d3d9.dll", 0);
  sys_lib_provide("d3d9.dll", [](const char*) -> void* { return nullptr; });
  EXPECT_FALSE(start());
  sys_lib_provide("d3d9.dll",
                  [](const char*) -> void* { return (void*)+[](UINT) -> IDirect3D9* { return nullptr; }; });
  EXPECT_FALSE(start());
  sys_lib_provide("d3d9.dll", soft_d3d9_proc);
  // The device and the render targets refused in turn.
  const struct {
    void (*fail)();
    int fs;
    bool ok;
    const char* tried;
    D3DFORMAT depth = D3DFMT_D24X8;
  } cases[] = {
      {[] { g_softHooks.failNextHwCreate = 1; }, 0, true, " W42 W22"},         // software processing then
      {[] { g_softHooks.failFullscreenCreate = 1; }, 1, true, " F42 F22 W42"},  // a window instead
      {[] { g_softHooks.failCreate = 1; }, 0, false, " W42 W22 W42 W22"},      // no window message: one was asked for
      {[] { g_softHooks.failD24X8 = 1; }, 0, true, " W42", D3DFMT_D16},
      {[] { g_softHooks.failD24X8 = g_softHooks.failD16 = 1, g_softHooks.failCode = (HRESULT)0x8876017C; }, 0, false,
       " W42"},
      {[] { g_softHooks.failRtTexture = 1, g_softHooks.failCode = (HRESULT)0x8876086C; }, 0, false, " W42"},
  };
  for (auto& c : cases) {
    hooks_reset();
    c.fail();
    bool ok = start(c.fs);
    EXPECT_EQ(ok, c.ok) << c.tried;
    EXPECT_EQ(attempts(), c.tried);
    D3DSURFACE_DESC desc;
    if (ok) {
      EXPECT_TRUE(g_rtDepth->GetDesc(&desc) >= 0 && desc.Format == c.depth) << c.tried;
    }
    stop();
  }
  const std::string ready = "gfx ready: 640x480 windowed, low 320x240, scale 2.00\r\n";
  EXPECT_EQ(log(), "no d3d9.dll\r\nno Direct3DCreate9\r\nDirect3DCreate9 failed\r\n" + ready +
                       "fullscreen device failed, falling back to a window\r\n" + ready + "CreateDevice failed\r\n" +
                       ready + "CreateDepthStencilSurface failed 8876017c\r\nCreateTexture(RT) failed 8876086c\r\n");
}

TEST_F(GfxTest, LostDevicesAndDisplaySwitches) {
  g_softHooks.modeW = 1024, g_softHooks.modeH = 768;
  ASSERT_TRUE(start());
  gfx_set_lighting(0);
  // Lost: the frame is skipped, and one presented while lost still counts.
  g_softHooks.lost = 1, g_softHooks.lostPolls = 1;
  EXPECT_EQ(gfx_ready(), 0);
  int frames = g_frame;
  gfx_begin_low(0xFF000000u);
  gfx_end_low_and_present();
  EXPECT_EQ(g_frame, frames + 1);
  // Resettable: a refused reset is logged and tried again next frame.
  g_softHooks.failReset = 1, g_softHooks.failCode = (HRESULT)0x8876086Cu;
  EXPECT_EQ(gfx_ready(), 0);
  EXPECT_TRUE(logged("Reset failed 8876086c"));
  g_softHooks.failReset = 0;
  EXPECT_EQ(gfx_ready(), 1);
  EXPECT_EQ(gfx_ready(), 1);
  // The cache starts again from the device's state; the targets are back.
  EXPECT_EQ(cache_vs_device(), "");
  EXPECT_EQ(g_rtWrap.tex, g_rtTex);

  EXPECT_EQ(calls([] { EXPECT_EQ(gfx_set_fullscreen(0), 1); }), 0) << "already windowed";
  EXPECT_EQ(gfx_set_fullscreen(1), 1);
  EXPECT_EQ(gfx_set_fullscreen(0), 1);
  EXPECT_TRUE(logged("display: 1024x768 fullscreen, low 340x256\r\ndisplay: 640x480 windowed, low 320x240"));
  // The display refuses full screen: the window comes back as it was, and draws.
  g_softHooks.failFullscreenReset = 1;
  EXPECT_EQ(gfx_set_fullscreen(1), 0);
  EXPECT_EQ(frame(), "640x480 320x240 2 0,0");
  EXPECT_EQ(std::make_pair(g_fullscreen, g_pp.Windowed), std::make_pair(0, 1));
  EXPECT_EQ(gfx_ready(), 1);
  gfx_begin_low(0xFF405060u);
  EXPECT_EQ(read_low()[0], 0x405060u);
  gfx_end_low_and_present();
  // Shutting down from full screen returns to a window first.
  g_softHooks.failFullscreenReset = 0;
  ASSERT_EQ(gfx_set_fullscreen(1), 1);
  int resets = g_softHooks.calls[SC_Reset];
  stop();
  EXPECT_EQ(g_softHooks.calls[SC_Reset], resets + 1);
}

// Checks a screenshot file: the header, every pixel (`want` gives the colour
// of image pixel x, y; rows are stored bottom first, blue first) and zero row padding.
template <typename F>
void expect_shot(const char* path, int w, int h, F want) {
  std::string f = slurp(path);
  uint32_t row = ((uint32_t)w * 3 + 3) & ~3u, size = row * (uint32_t)h;
  ASSERT_EQ(f.size(), 54 + size);
  const uint32_t header[13] = {54 + size, 0, 54, 40, (uint32_t)w, (uint32_t)h, 1 | 24 << 16, 0, size, 0, 0, 0, 0};
  EXPECT_EQ(f.substr(0, 54), "BM" + std::string((const char*)header, sizeof header));
  for (int y = 0; y < h; y++) {
    const uint8_t* p = (const uint8_t*)f.data() + 54 + (size_t)(h - 1 - y) * row;
    for (int x = 0; x < w; x++)
      ASSERT_EQ((uint32_t)(p[3 * x] | p[3 * x + 1] << 8 | p[3 * x + 2] << 16), want(x, y)) << x << "," << y;
    for (uint32_t i = 3 * w; i < row; i++) ASSERT_EQ(p[i], 0) << "padding";
  }
}

TEST_F(GfxTest, FramesAreMagnifiedWithBlackBarsAndShotAsPresented) {
  // Without a size option: 320 x 240 at scale 2, the shot twice the frame.
  // With "--res": 340 x 256 and 454 x 256 at scale 3 with 2-pixel bars, the
  // shot as presented (1366 pixels need row padding in a BMP).
  const struct {
    int resW, w, h, scale, bar;
    float mouseX, mouseY;  // where the bottom-right pixel but two lands in the frame
  } cases[] = {{0, 640, 480, 2, 0, 318.5f, 239.5f}, {1024, 1024, 768, 3, 2, 339.667f, 255.667f},
               {1366, 1366, 768, 3, 2, 453.667f, 255.667f}};
  for (auto& c : cases) {
    g_opt.resW = c.resW, g_opt.resH = c.resW ? 768 : 0;
    ASSERT_TRUE(start());
    dev()->SetRenderTarget(0, g_backBuf);  // whatever the back buffer held, the bars come out black
    dev()->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF00FFu, 1.0f, 0);
    const int lowW = g_lowW, lowH = g_lowH;
    gfx_begin_low(0xFF808080u);
    ui_begin();
    ui_rect(0, 0, 1, 1, 0xFFFF0000u);
    ui_rect(lowW - 1.0f, lowH - 1.0f, 1, 1, 0xFF00FF00u);
    ui_flush();
    ui_rect(7, 7, 1, 1, 0xFFFFFFFFu);  // still pending at the shot: presented, but not in the picture
    ASSERT_EQ(gfx_save_shot("shot.bmp"), 1);
    EXPECT_EQ(gfx_save_shot("no-such-folder/x.bmp"), 0);
    EXPECT_TRUE(logged("shot shot.bmp -> 1\r\nshot no-such-folder/x.bmp -> 0"));
    gfx_end_low_and_present();
    auto want = [&](int x, int y, bool presented) -> uint32_t {
      int lx = x < c.bar ? -1 : (x - c.bar) / c.scale, ly = y / c.scale;
      if (lx < 0 || lx >= lowW) return 0;
      if (lx + ly == 0) return 0xFF0000;  // red top left, green bottom right
      if (lx == lowW - 1 && ly == lowH - 1) return 0xFF00;
      return lx == 7 && ly == 7 && presented ? 0xFFFFFF : 0x808080;
    };
    std::vector<uint32_t> bb = read_target(g_backBuf, c.w, c.h);
    for (int i = 0; i < c.w * c.h; i++) ASSERT_EQ(bb[i], want(i % c.w, i / c.w, true)) << i % c.w << "," << i / c.w;
    expect_shot("shot.bmp", c.w, c.h, [&](int x, int y) { return want(x, y, false); });
    // The magnification leaves the cache as the next frame expects it.
    EXPECT_EQ(g_bound, nullptr);
    EXPECT_EQ(cache_vs_device(), "");
    // Mouse positions map back into the frame.
    float lx, ly;
    gfx_screen_to_low(c.w - 3, c.h - 1, &lx, &ly);
    EXPECT_NEAR(lx, c.mouseX, 0.001f);
    EXPECT_NEAR(ly, c.mouseY, 0.001f);
    stop();
  }
}

TEST_F(GfxTest, MousePositionsInAWindowAreScaledToItsClientArea) {
  ASSERT_TRUE(start());
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* w = SDL_CreateWindow("t", 0, 0, 320, 240, SDL_WINDOW_HIDDEN);
  ASSERT_NE(w, nullptr);
  float lx, ly;
  g_hwnd = (SysWindow)w;
  gfx_screen_to_low(100, 61, &lx, &ly);
  EXPECT_EQ(std::make_pair(lx, ly), std::make_pair(100.0f, 61.0f));
  g_hwnd = nullptr;  // no client area known: taken as back-buffer pixels
  gfx_screen_to_low(100, 61, &lx, &ly);
  EXPECT_EQ(std::make_pair(lx, ly), std::make_pair(50.0f, 30.5f));
  SDL_DestroyWindow(w);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
