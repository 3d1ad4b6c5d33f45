// Helpers shared by the asset tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../test_util.h"
#include "assets/assets_internal.h"
#include "rt/rt.h"

// The BMP files written by ImageMagick (tests/data/bmp/make-bmps.sh).
inline std::string bmp_data(const std::string& name) { return slurp(std::string(SK_TEST_DATA) + "/bmp/" + name); }

inline void put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) s[at + i] = (char)(v >> (8 * i) & 255);
}

// Decodes with the game's reader; an empty vector means rejected.
inline std::vector<uint32_t> decode(const std::string& file, int* w = nullptr, int* h = nullptr) {
  int dw = -1, dh = -1;
  uint32_t* px = bmp_decode((const uint8_t*)file.data(), file.size(), &dw, &dh);
  std::vector<uint32_t> out;
  if (px) out.assign(px, px + (size_t)dw * dh);
  mem_free(px);
  if (w) *w = dw, *h = dh;
  return out;
}

// Each test starts with empty asset tables in a fresh folder with its own log.
class AssetsTest : public testing::Test {
 protected:
  void SetUp() override {
    assets_forget_all();
    log_open("test.log");
  }
  void TearDown() override { assets_forget_all(); }
  std::string log() { return slurp("test.log"); }
  void put(const std::string& path, const std::string& data) {  // under data/, folders made
    std::string cmd = "mkdir -p \"$(dirname 'data/" + path + "')\"";
    ASSERT_EQ(system(cmd.c_str()), 0);
    spit("data/" + path, data);
  }
  TempDir dir_;
};
