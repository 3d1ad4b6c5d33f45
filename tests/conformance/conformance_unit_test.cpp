// What the comparison relies on (picture files, the difference count), and
// the software device on every conformance scene: it draws each one without
// failing or leaking, and its pictures follow the rules FINDINGS.md states.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>

#include "cf_facts.h"
#include "cf_image.h"
#include "cf_soft.h"
#include "soft/soft.h"
#include "test_util.h"

namespace {

// ---- what the comparison relies on ----------------------------------------------------------

TEST(ConformanceHarness, PicturesRoundTripThroughBmpFilesMagentaIncluded) {
  TempDir dir;
  const std::vector<uint32_t> px = {0xFF00FF, 0x000000, 0x123456, 0xFFFFFF, 0xFF00FE, 0x01FF00};  // rows padded
  CfPic p;
  ASSERT_TRUE(cf_bmp_write("p.bmp", px.data(), 3, 2));
  ASSERT_TRUE(cf_bmp_read("p.bmp", &p));
  EXPECT_EQ(p.w * 100 + p.h, 302);
  EXPECT_EQ(p.px, px);
  EXPECT_FALSE(cf_bmp_read("missing.bmp", &p));
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

const CfPic* soft_pic(const char* scene) {
  auto it = soft_pictures().pics.find(scene);
  return it == soft_pictures().pics.end() ? nullptr : &it->second;
}

TEST(ConformanceSoft, DrawsEverySceneAndReleasesEverything) {
  SoftPictures& s = soft_pictures();
  for (int i = 0; i < cf_scene_count(); i++) {
    const char* name = cf_scene(i)->name;
    EXPECT_EQ(s.errors.count(name), 0u) << name << ": " << s.errors[name];
    const CfPic* p = soft_pic(name);
    EXPECT_TRUE(p && std::count(p->px.begin(), p->px.end(), p->px[0]) < (long)p->px.size())
        << name << " came out as one flat colour";
  }
  EXPECT_EQ(s.leftOver, 0) << "device objects left after the scenes";
}

class SoftFact : public testing::TestWithParam<int> {};

TEST_P(SoftFact, Holds) {
  EXPECT_EQ(cf_fact_check(GetParam(), soft_pic), "")
      << g_cfFacts[GetParam()].scene << ": the software device breaks a rule of FINDINGS.md";
}

INSTANTIATE_TEST_SUITE_P(Rules, SoftFact, testing::Range(0, g_cfFactCount),
                         [](const testing::TestParamInfo<int>& i) { return std::string(g_cfFacts[i.param].name); });

}  // namespace
