// The software device against the real Direct3D 9: runs the Windows
// conformance program under wine64 + Xvfb (Wine's Direct3D 9 on Mesa
// llvmpipe), renders the same scenes with the software device, and compares
// them scene by scene within each scene's tolerance. Wine's pictures are also
// checked against the rules FINDINGS.md states.
//
//   conformance_wine --wine-exe cf_wine.exe --wine-run wine-run.sh --out DIR
//                    [--wine-dir DIR]   (use pictures already rendered there)
// Pictures of failed comparisons go to DIR as <scene>.{wine,soft}.png.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>

#include "cf_facts.h"
#include "cf_image.h"
#include "cf_layer.h"
#include "cf_soft.h"
#include "rt/rt.h"
#include "rt/sys.h"
#include "soft/soft.h"

namespace {

struct Config {
  std::string exe, runner, out, wineDir;
} g_cfg;

// What is compared: every scene, then the layer frame (a 1024x768
// screenshot of a 340x256 frame at scale 3: differences come in 3x3 blocks;
// it may have 80 frame pixels, 0.1 %, take a neighbouring texel).
struct Check {
  const char* name;
  int tolDelta, tolCount, zoom;
  const char* what;
};
int check_count() { return cf_scene_count() + 1; }
Check check(int i) {
  if (i == cf_scene_count()) return Check{"layer_shot", 2, 720, 1, "a frame through the graphics layer"};
  const CfScene* s = cf_scene(i);
  return Check{s->name, s->tolDelta, s->tolCount, 4, s->what};
}

struct Store {
  std::string wineError;  // why there are no Wine pictures
  double wineSeconds = 0;
  std::map<std::string, CfPic> wine, soft;
  std::map<std::string, std::string> softError;
  std::map<std::string, CfDiff> diffs;
};

double now_seconds() { return (double)sys_counter() / (double)sys_counter_freq(); }

// The picture in path, if there is one.
void read_picture(const std::string& path, const char* name, std::map<std::string, CfPic>& into) {
  CfPic p;
  if (cf_bmp_read(path.c_str(), &p)) into[name] = p;
}

void run_wine(Store& s) {
  std::string dir = g_cfg.wineDir;
  if (dir.empty()) {
    if (access(g_cfg.exe.c_str(), R_OK) != 0) {
      s.wineError = g_cfg.exe + " is not built (the win64 preset builds it: make build-win)";
      return;
    }
    dir = g_cfg.out + "/wine";
    std::string log = g_cfg.out + "/wine.log", winDir = "Z:" + dir;
    for (char& c : winDir) c = c == '/' ? '\\' : c;
    if (system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()) != 0) {
      s.wineError = "cannot make " + dir;
      return;
    }
    std::string cmd = "bash '" + g_cfg.runner + "' -t 120 '" + g_cfg.exe + "' '" + winDir + "' >'" + log + "' 2>&1";
    double t0 = now_seconds();
    int st = system(cmd.c_str());
    s.wineSeconds = now_seconds() - t0;
    int rc = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
    if (rc != 0) {
      s.wineError = "the conformance program under Wine ended with " + std::to_string(rc) +
                    (rc == 125 ? " (wine64/Xvfb set-up failed)" : "") + "; its output is in " + log;
      return;
    }
  }
  for (int i = 0; i < check_count(); i++) read_picture(dir + "/" + check(i).name + ".bmp", check(i).name, s.wine);
}

void render_soft(Store& s) {
  CfSoftPictures all;
  cf_soft_render_all(&all);
  s.soft = all.pics;
  s.softError = all.errors;
  // the same frame through the graphics layer, on the software device
  sys_lib_provide("d3d9.dll", soft_d3d9_proc);
  std::string dir = g_cfg.out + "/soft-layer/";
  char why[200] = "cannot make the folder";
  if (system(("mkdir -p '" + dir + "'").c_str()) == 0) {
    log_open((dir + "layer.log").c_str());
    if (cf_layer_run(nullptr, dir.c_str(), why, sizeof why)) {
      str_cpy(why, "no " CF_LAYER_SHOT " written", sizeof why);
      read_picture(dir + CF_LAYER_SHOT, "layer_shot", s.soft);
    }
  }
  if (!s.soft.count("layer_shot")) s.softError["layer_shot"] = why;
}

Store& store() {
  static Store* s = nullptr;
  if (!s) {
    s = new Store;
    run_wine(*s);
    render_soft(*s);
  }
  return *s;
}

const CfPic* wine_pic(const char* scene) {
  auto it = store().wine.find(scene);
  return it == store().wine.end() ? nullptr : &it->second;
}

// ---- the documented rules hold for Wine ------------------------------------------------------------

class WineFact : public testing::TestWithParam<int> {};

TEST_P(WineFact, Holds) {
  const char* scene = g_cfFacts[GetParam()].scene;
  if (!wine_pic(scene)) GTEST_SKIP() << "no Wine picture of " << scene;
  EXPECT_EQ(cf_fact_check(GetParam(), wine_pic), "") << "Wine no longer does what FINDINGS.md says (" << scene << ")";
}

INSTANTIATE_TEST_SUITE_P(Rules, WineFact, testing::Range(0, g_cfFactCount),
                         [](const testing::TestParamInfo<int>& i) { return std::string(g_cfFacts[i.param].name); });

// ---- the software device draws what Wine draws ---------------------------------------------------

// Both pictures of a failed comparison, as PNG (enlarged when small) when
// convert is there, else as BMP; their paths, one a line.
std::string write_failure(const Check& k, const CfPic& wine, const CfPic& soft) {
  std::string where;
  for (const CfPic* p : {&wine, &soft}) {
    std::string base = g_cfg.out + "/" + k.name + (p == &wine ? ".wine" : ".soft"), bmp = base + ".bmp";
    if (!cf_bmp_write(bmp.c_str(), p->px.data(), p->w, p->h)) continue;
    std::string cmd = "convert '" + bmp + "' -scale " + std::to_string(k.zoom * 100) + "% '" + base +
                      ".png' 2>/dev/null && rm -f '" + bmp + "'";
    where += "  " + (system(cmd.c_str()) == 0 ? base + ".png" : bmp) + "\n";
  }
  return where;
}

class Scene : public testing::TestWithParam<int> {};

TEST_P(Scene, MatchesWine) {
  const Check k = check(GetParam());
  Store& s = store();
  auto se = s.softError.find(k.name);
  ASSERT_EQ(se, s.softError.end()) << "the software device could not draw " << k.name << ": " << se->second;
  const CfPic* wine = wine_pic(k.name);
  ASSERT_NE(wine, nullptr) << "no Wine picture of " << k.name << ". " << s.wineError;
  const CfPic& soft = s.soft[k.name];
  ASSERT_EQ(wine->w * 10000 + wine->h, soft.w * 10000 + soft.h) << "picture sizes";
  CfDiff d = cf_diff(wine->px.data(), soft.px.data(), wine->w, wine->h, k.tolDelta);
  s.diffs[k.name] = d;
  if (d.over > k.tolCount)
    ADD_FAILURE() << k.name << " (" << k.what << "): " << d.over << " pixels differ by more than " << k.tolDelta << " (allowed "
                  << k.tolCount << "), largest difference " << d.maxDelta << "; first at (" << d.firstX << ", "
                  << d.firstY << ")\n"
                  << cf_diff_report(wine->px.data(), soft.px.data(), wine->w, wine->h, k.tolDelta, 8)
                  << "pictures:\n"
                  << write_failure(k, *wine, soft);
}

INSTANTIATE_TEST_SUITE_P(Conformance, Scene, testing::Range(0, check_count()),
                         [](const testing::TestParamInfo<int>& i) { return std::string(check(i.param).name); });

}  // namespace

int main(int argc, char** argv) {
  sys_fpu_init();
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i], v = argv[i + 1];
    if (a == "--wine-exe") g_cfg.exe = v;
    else if (a == "--wine-run") g_cfg.runner = v;
    else if (a == "--out") g_cfg.out = v;
    else if (a == "--wine-dir") g_cfg.wineDir = v;
  }
  if (g_cfg.out.empty()) g_cfg.out = ".";
  // a fresh folder for this run's failure pictures
  std::string mk = "mkdir -p '" + g_cfg.out + "' && cd '" + g_cfg.out + "' && rm -f ./*.wine.* ./*.soft.*";
  if (system(mk.c_str()) != 0) return 2;
  double t0 = now_seconds();
  int rc = RUN_ALL_TESTS();
  Store& s = store();
  printf("\nWine run %.1f s, whole test %.1f s. Per scene: pixels over the tolerance / allowed, largest difference;"
         " pixels differing at all and by more than 1:\n",
         s.wineSeconds, now_seconds() - t0);
  for (int i = 0; i < check_count(); i++) {
    const Check k = check(i);
    auto it = s.diffs.find(k.name);
    if (it == s.diffs.end()) {
      printf("  %-16s -\n", k.name);
      continue;
    }
    const CfPic &a = s.wine[k.name], &b = s.soft[k.name];
    int any = cf_diff(a.px.data(), b.px.data(), a.w, a.h, 0).over, over1 = cf_diff(a.px.data(), b.px.data(), a.w, a.h, 1).over;
    printf("  %-16s %5d / %-4d  max %3d (tolerance %d)  %6d differ, %6d by more than 1\n", k.name, it->second.over,
           k.tolCount, it->second.maxDelta, k.tolDelta, any, over1);
  }
  return rc;
}
