// What the comparison relies on (picture files, the difference count), and
// the software device on every conformance scene: it draws each one without
// failing or leaking, and its pictures follow the rules FINDINGS.md states.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <map>

#include "cf_compare.h"
#include "cf_facts.h"
#include "cf_image.h"
#include "cf_soft.h"
#include "soft/soft.h"
#include "test_util.h"

namespace {

std::vector<uint32_t> pattern(int w, int h) {
  std::vector<uint32_t> px((size_t)w * h);
  for (int i = 0; i < w * h; i++) px[i] = (uint32_t)(i * 2654435761u) & 0xFFFFFFu;
  return px;
}

// ---- what the comparison relies on ----------------------------------------------------------

TEST(ConformanceHarness, BmpFilesRoundTripAndBadOnesGiveNoPicture) {
  TempDir dir;
  int rw = 0, rh = 0;
  for (int w : {1, 2, 3, 5, 64}) {  // 3, 6, 9, 15 bytes per row need padding
    std::vector<uint32_t> px = pattern(w, 7);
    ASSERT_TRUE(cf_bmp_write("p.bmp", px.data(), w, 7));
    uint32_t* back = cf_bmp_read("p.bmp", &rw, &rh);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(rw * 100 + rh, w * 100 + 7);
    EXPECT_EQ(std::vector<uint32_t>(back, back + w * 7), px) << "width " << w;
    free(back);
  }
  // the same 1 x 2 picture stored top-down (negative height), 32 bits per pixel
  const uint32_t px[2] = {0x112233, 0x445566};
  ASSERT_TRUE(cf_bmp_write("p.bmp", px, 1, 2));
  std::string f = slurp("p.bmp"), td = f.substr(0, 54);
  EXPECT_EQ((uint8_t)f[54], 0x66);  // stored bottom-up, blue first
  td[22] = (char)0xFE, td[23] = td[24] = td[25] = (char)0xFF;
  td[28] = 32;
  spit("td.bmp", td + std::string("\x33\x22\x11\x00\x66\x55\x44\x00", 8));
  uint32_t* back = cf_bmp_read("td.bmp", &rw, &rh);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(std::vector<uint32_t>(back, back + 2), std::vector<uint32_t>(px, px + 2));
  free(back);
  std::string rle = f;
  rle[30] = 1;  // compressed
  spit("rle.bmp", rle);
  spit("short.bmp", f.substr(0, f.size() - 1));
  for (const char* bad : {"missing.bmp", "short.bmp", "rle.bmp"}) EXPECT_EQ(cf_bmp_read(bad, &rw, &rh), nullptr) << bad;
}

TEST(ConformanceHarness, DiffCountsPixelsBeyondTheToleranceInAnyChannel) {
  std::vector<uint32_t> a(12, 0x808080), b = a;
  b[3] = 0x808082;   // blue +2: within a tolerance of 2
  b[5] = 0x7D8080;   // red -3
  b[10] = 0x80FF80;  // green +127
  CfDiff d = cf_diff(a.data(), b.data(), 4, 3, 2);
  EXPECT_EQ(d.over, 2);
  EXPECT_EQ(d.maxDelta, 127);
  EXPECT_EQ(d.firstX * 10 + d.firstY, 11);
  EXPECT_EQ(cf_diff(a.data(), b.data(), 4, 3, 1).over, 3);
  EXPECT_EQ(cf_diff(a.data(), a.data(), 4, 3, 0).firstX, -1);
  std::string r = cf_diff_report(a.data(), b.data(), 4, 3, 2, 8);
  EXPECT_NE(r.find("(2, 2): wine 808080, soft 80FF80"), std::string::npos) << r;
  EXPECT_EQ(r.find("(3, 0)"), std::string::npos) << r;
}

// ---- the software device on every scene -------------------------------------------------------------

struct SoftPictures : CfSoftPictures {
  int leftOver = 0;
};

SoftPictures& soft_pictures() {
  static SoftPictures* s = nullptr;
  if (!s) {
    s = new SoftPictures;
    int live = soft_live_objects();
    cf_soft_render_all(s);
    s->leftOver = soft_live_objects() - live;
  }
  return *s;
}

const CfPic* soft_pic(const char* scene, void*) {
  auto it = soft_pictures().pics.find(scene);
  return it == soft_pictures().pics.end() ? nullptr : &it->second;
}

TEST(ConformanceSoft, DrawsEverySceneAndReleasesEverything) {
  SoftPictures& s = soft_pictures();
  for (int i = 0; i < cf_scene_count(); i++) {
    const CfScene* sc = cf_scene(i);
    EXPECT_EQ(s.errors.count(sc->name), 0u) << sc->name << ": " << s.errors[sc->name];
    const CfPic* p = soft_pic(sc->name, nullptr);
    if (!p) continue;
    bool varied = false;
    for (uint32_t c : p->px) varied |= c != p->px[0];
    EXPECT_TRUE(varied) << sc->name << " came out as one flat colour";
  }
  EXPECT_EQ(s.leftOver, 0) << "device objects left after the scenes";
}

class SoftFact : public testing::TestWithParam<int> {};

TEST_P(SoftFact, Holds) {
  const CfFact& f = g_cfFacts[GetParam()];
  const CfPic* p = soft_pic(f.scene, nullptr);
  ASSERT_NE(p, nullptr) << "no picture of " << f.scene;
  CfFactCtx k;
  k.get = soft_pic;
  k.user = nullptr;
  f.check(*p, k);
  std::string all;
  for (const auto& e : k.errors) all += "  " + e + "\n";
  EXPECT_EQ(k.violations, 0) << f.scene << ": the software device breaks a rule of FINDINGS.md:\n" << all;
}

INSTANTIATE_TEST_SUITE_P(Rules, SoftFact, testing::Range(0, g_cfFactCount),
                         [](const testing::TestParamInfo<int>& i) { return std::string(g_cfFacts[i.param].name); });

}  // namespace
