// Shared set-up for the graphics tests: a temporary folder holding the log,
// the software device registered as "d3d9.dll", default options, and helpers
// to bring the device up and read pictures back.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gfx/gfx_internal.h"
#include "gfx/soft/soft.h"
#include "main/main.h"
#include "test_util.h"

class GfxTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // gfx_init on a headless window, then the assets' "white" and "font";
  // stop() shuts the device down and forgets the textures made on it.
  bool start(int fullscreen = 0);
  void stop();
  std::string log() const { return slurp(dir_->path() + "/skidline.log"); }
  bool logged(const std::string& line) const { return log().find(line + "\r\n") != std::string::npos; }
  int log_count(const std::string& text) const;

  // Pixels of a render target (X8R8G8B8, alpha bits cleared), row after row.
  std::vector<uint32_t> read_target(IDirect3DSurface9* surf, int w, int h);
  std::vector<uint32_t> read_low() {
    ui_flush();
    return read_target(g_rtSurf, g_lowW, g_lowH);
  }
  uint32_t low(const std::vector<uint32_t>& px, int x, int y) const { return px[(size_t)y * g_lowW + x]; }

  // Draw calls the software device has seen (deltas only: hooks reset them).
  int draws_up() const { return g_softHooks.calls[SC_DrawPrimitiveUP]; }
  int draws_indexed() const { return g_softHooks.calls[SC_DrawIndexedPrimitive]; }

  std::unique_ptr<TempDir> dir_;
  int live_ = 0;
};

// A started device with a frame begun and the 2D states set.
class GfxFrameTest : public GfxTest {
 protected:
  void SetUp() override {
    GfxTest::SetUp();
    ASSERT_TRUE(start());
    gfx_begin_low(0xFF000000u);
    ui_begin();
  }
};

void use_soft_device();      // "d3d9.dll" is the software device again
