// Shared set-up for the track tests: a fresh folder with its own log, the
// software device standing in for d3d9.dll, empty asset tables, and helpers
// to write track texts and read the log.
#pragma once

#include <gtest/gtest.h>

#include <math.h>

#include <string>

#include "../test_util.h"
#include "assets/assets_internal.h"
#include "soft/soft.h"
#include "track/track.h"

class TrackTest : public testing::Test {
 protected:
  void SetUp() override {
    log_open("test.log");
    assets_forget_all();
    track_free();
    memset(g_names, 0, sizeof g_names);  // read once per program otherwise
    sys_lib_provide("d3d9.dll", soft_d3d9_proc);
    ASSERT_EQ(gfx_init(nullptr, 0), 1);
  }
  void TearDown() override {
    track_free();
    gfx_shutdown();
    assets_forget_all();
    EXPECT_EQ(soft_live_objects(), 0) << "device objects left behind";
  }
  std::string log() { return slurp("test.log"); }
  bool logged(const std::string& line) { return log().find(line + "\r\n") != std::string::npos; }
  // Writes data/<path>, making its folders.
  void put(const std::string& path, const std::string& data) {
    std::string cmd = "mkdir -p \"$(dirname 'data/" + path + "')\"";
    ASSERT_EQ(system(cmd.c_str()), 0);
    spit("data/" + path, data);
  }
  TempDir dir_;
};

// A closed loop of n control points on a circle of the given circumference
// (approximately: the spline runs inside the polygon's corners).
inline std::string circle_text(float circumference, int n = 16, const std::string& extra = "") {
  std::string s = "name RING\n";
  float r = circumference / 6.2831855f;
  for (int i = 0; i < n; i++) {
    float a = 6.2831855f * (float)i / (float)n;
    char line[80];
    snprintf(line, sizeof line, "pt %.4f %.4f\n", r * sinf(a), r * cosf(a));
    s += line;
  }
  return s + extra;
}
