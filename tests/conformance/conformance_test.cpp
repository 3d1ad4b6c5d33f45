// The software device against the real Direct3D 9: runs the Windows
// conformance program under wine64 + Xvfb (Wine's Direct3D 9 on Mesa
// llvmpipe), renders the same scenes with the software device, and compares
// them scene by scene within each scene's tolerance. Wine's pictures are also
// checked against the rules FINDINGS.md states.
//
//   conformance_wine --wine-exe cf_wine.exe --wine-run wine-run.sh --out DIR
//                    [--wine-dir DIR]   (use pictures already rendered there)
//                    [--save-soft 1]    (also write every software picture to DIR/soft)
// Pictures of failed comparisons go to DIR as <scene>.{wine,soft,diff}.png.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>

#include "cf_compare.h"
#include "cf_facts.h"
#include "cf_image.h"
#include "cf_soft.h"
#include "rt/rt.h"
#include "rt/sys.h"
#if CF_HAVE_LAYER
#include "cf_layer.h"
#include "soft/soft.h"
#endif

namespace {

struct Config {
  std::string exe, runner, out, wineDir;
  bool saveSoft = false;
} g_cfg;

// The layer frame: a 1024x768 screenshot of a 340x256 frame at scale 3.
// Differences come in 3x3 blocks; this allows 80 frame pixels (0.1 %) to
// take a neighbouring texel.
const int kLayerTolDelta = 2, kLayerTolCount = 720;

struct Store {
  std::string wineError;  // why there are no Wine pictures
  std::string wineLog;
  double wineSeconds = 0;
  std::map<std::string, CfPic> wine, soft;
  std::map<std::string, std::string> softError;
  std::map<std::string, CfDiff> diffs;
  CfPic wineLayer, softLayer;
  std::string softLayerError;
};

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string windows_path(const std::string& unix) {
  std::string w = "Z:" + unix;
  for (char& c : w)
    if (c == '/') c = '\\';
  return w;
}

double now_seconds() { return (double)sys_counter() / (double)sys_counter_freq(); }

void run_wine(Store& s) {
  std::string dir = g_cfg.wineDir;
  if (dir.empty()) {
    if (access(g_cfg.exe.c_str(), R_OK) != 0) {
      s.wineError = g_cfg.exe + " is not built (the win64 preset builds it: make build-win)";
      return;
    }
    dir = g_cfg.out + "/wine";
    std::string log = g_cfg.out + "/wine.log";
    std::string prep = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
    if (system(prep.c_str()) != 0) {
      s.wineError = "cannot make " + dir;
      return;
    }
    std::string cmd = "bash '" + g_cfg.runner + "' -t 120 '" + g_cfg.exe + "' '" + windows_path(dir) + "' >'" + log +
                      "' 2>&1";
    double t0 = now_seconds();
    int st = system(cmd.c_str());
    s.wineSeconds = now_seconds() - t0;
    s.wineLog = read_file(log);
    int rc = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
    if (rc != 0) {
      s.wineError = "the conformance program under Wine ended with " + std::to_string(rc) +
                    (rc == 125 ? " (wine64/Xvfb set-up failed)" : "") + "; its output is in " + log;
      return;
    }
  }
  for (int i = 0; i < cf_scene_count(); i++) {
    const CfScene* sc = cf_scene(i);
    CfPic p;
    uint32_t* px = cf_bmp_read((dir + "/" + sc->name + ".bmp").c_str(), &p.w, &p.h);
    if (!px) continue;
    p.px.assign(px, px + (size_t)p.w * (size_t)p.h);
    free(px);
    s.wine[sc->name] = p;
  }
  uint32_t* px = cf_bmp_read((dir + "/layer_shot.bmp").c_str(), &s.wineLayer.w, &s.wineLayer.h);
  if (px) s.wineLayer.px.assign(px, px + (size_t)s.wineLayer.w * (size_t)s.wineLayer.h);
  free(px);
}

void render_soft(Store& s) {
  CfSoftPictures all;
  cf_soft_render_all(&all);
  s.soft = all.pics;
  s.softError = all.errors;
  for (const auto& e : s.soft) {
    if (!g_cfg.saveSoft) break;
    std::string path = g_cfg.out + "/soft/" + e.first + ".bmp";
    if (system(("mkdir -p '" + g_cfg.out + "/soft'").c_str()) != 0 ||
        !cf_bmp_write(path.c_str(), e.second.px.data(), e.second.w, e.second.h))
      fprintf(stderr, "cannot write %s\n", path.c_str());
  }
#if CF_HAVE_LAYER
  // the same frame through the graphics layer, on the software device
  sys_lib_provide("d3d9.dll", soft_d3d9_proc);
  std::string dir = g_cfg.out + "/soft-layer/";
  std::string mk = "mkdir -p '" + dir + "'";
  if (system(mk.c_str()) != 0) return;
  log_open((dir + "layer.log").c_str());
  char why[200] = "";
  if (!cf_layer_run(nullptr, dir.c_str(), why, sizeof why)) {
    s.softLayerError = why;
    return;
  }
  uint32_t* px = cf_bmp_read((dir + CF_LAYER_SHOT).c_str(), &s.softLayer.w, &s.softLayer.h);
  if (px) s.softLayer.px.assign(px, px + (size_t)s.softLayer.w * (size_t)s.softLayer.h);
  else s.softLayerError = "no " CF_LAYER_SHOT " written";
  free(px);
#endif
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

const CfPic* wine_pic(const char* scene, void*) {
  auto it = store().wine.find(scene);
  return it == store().wine.end() ? nullptr : &it->second;
}

// ---- Wine ran and drew every scene -------------------------------------------------------------

TEST(Conformance, WineDrawsEveryScene) {
  Store& s = store();
  ASSERT_EQ(s.wineError, "") << s.wineLog;
  for (int i = 0; i < cf_scene_count(); i++) {
    const CfScene* sc = cf_scene(i);
    auto it = s.wine.find(sc->name);
    ASSERT_NE(it, s.wine.end()) << "no picture of " << sc->name << "\n" << s.wineLog;
    EXPECT_EQ(it->second.w, sc->w) << sc->name;
    EXPECT_EQ(it->second.h, sc->h) << sc->name;
  }
}

// ---- the documented rules hold for Wine ------------------------------------------------------------

class WineFact : public testing::TestWithParam<int> {};

TEST_P(WineFact, Holds) {
  const CfFact& f = g_cfFacts[GetParam()];
  const CfPic* p = wine_pic(f.scene, nullptr);
  if (!p) GTEST_SKIP() << "no Wine picture of " << f.scene;
  CfFactCtx k;
  k.get = wine_pic;
  k.user = nullptr;
  f.check(*p, k);
  std::string all;
  for (const auto& e : k.errors) all += "  " + e + "\n";
  EXPECT_EQ(k.violations, 0) << "Wine no longer does what FINDINGS.md says (" << f.scene << "):\n" << all;
}

INSTANTIATE_TEST_SUITE_P(Rules, WineFact, testing::Range(0, g_cfFactCount),
                         [](const testing::TestParamInfo<int>& i) { return std::string(g_cfFacts[i.param].name); });

// ---- the software device draws what Wine draws ---------------------------------------------------

void write_failure(const char* name, const CfPic& wine, const CfPic& soft, int tolDelta, int zoom,
                   std::string* where) {
  std::string base = g_cfg.out + "/" + name;
  std::vector<uint32_t> diff = cf_diff_picture(wine.px.data(), soft.px.data(), wine.w, wine.h, tolDelta);
  const char* kinds[3] = {"wine", "soft", "diff"};
  const uint32_t* data[3] = {wine.px.data(), soft.px.data(), diff.data()};
  for (int i = 0; i < 3; i++) {
    std::string bmp = base + "." + kinds[i] + ".bmp", png = base + "." + kinds[i] + ".png";
    if (!cf_bmp_write(bmp.c_str(), data[i], wine.w, wine.h)) continue;
    // a PNG (enlarged when small) for looking at; the BMP stays if convert is missing
    std::string cmd = "convert '" + bmp + "' -scale " + std::to_string(zoom * 100) + "% '" + png +
                      "' 2>/dev/null && rm -f '" + bmp + "'";
    *where += "  " + std::string(system(cmd.c_str()) == 0 ? png : bmp) + "\n";
  }
}

class Scene : public testing::TestWithParam<int> {};

TEST_P(Scene, MatchesWine) {
  const CfScene* sc = cf_scene(GetParam());
  Store& s = store();
  auto se = s.softError.find(sc->name);
  ASSERT_EQ(se, s.softError.end()) << "the software device could not draw " << sc->name << ": " << se->second;
  const CfPic* wine = wine_pic(sc->name, nullptr);
  if (!wine) GTEST_SKIP() << "no Wine picture (see WineDrawsEveryScene)";
  const CfPic& soft = s.soft[sc->name];
  ASSERT_EQ(wine->w * wine->h, soft.w * soft.h);
  CfDiff d = cf_diff(wine->px.data(), soft.px.data(), sc->w, sc->h, sc->tolDelta);
  s.diffs[sc->name] = d;
  if (d.over > sc->tolCount) {
    std::string where;
    write_failure(sc->name, *wine, soft, sc->tolDelta, 4, &where);
    ADD_FAILURE() << sc->name << " (" << sc->what << "): " << d.over << " pixels differ by more than "
                  << sc->tolDelta << " (allowed " << sc->tolCount << "), largest difference " << d.maxDelta
                  << "; first at (" << d.firstX << ", " << d.firstY << ")\n"
                  << cf_diff_report(wine->px.data(), soft.px.data(), sc->w, sc->h, sc->tolDelta, 8)
                  << "pictures:\n"
                  << where;
  }
}

#if CF_HAVE_LAYER
// The game's own graphics layer and assets drawing a frame on both devices.
TEST(Conformance, LayerFrameMatchesWine) {
  Store& s = store();
  ASSERT_EQ(s.softLayerError, "") << "the layer frame on the software device";
  if (s.wineLayer.px.empty()) GTEST_SKIP() << "no Wine picture of the layer frame";
  ASSERT_EQ(s.wineLayer.w, s.softLayer.w);
  ASSERT_EQ(s.wineLayer.h, s.softLayer.h);
  CfDiff d = cf_diff(s.wineLayer.px.data(), s.softLayer.px.data(), s.wineLayer.w, s.wineLayer.h, kLayerTolDelta);
  s.diffs["layer_shot"] = d;
  if (d.over > kLayerTolCount) {
    std::string where;
    write_failure("layer_shot", s.wineLayer, s.softLayer, kLayerTolDelta, 1, &where);
    ADD_FAILURE() << "layer frame: " << d.over << " pixels differ by more than " << kLayerTolDelta << " (allowed "
                  << kLayerTolCount << "), largest difference " << d.maxDelta << "; first at (" << d.firstX << ", "
                  << d.firstY << ")\npictures:\n"
                  << where;
  }
}
#endif

INSTANTIATE_TEST_SUITE_P(Conformance, Scene, testing::Range(0, cf_scene_count()),
                         [](const testing::TestParamInfo<int>& i) { return std::string(cf_scene(i.param)->name); });

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
    else if (a == "--save-soft") g_cfg.saveSoft = v != "0";
  }
  if (g_cfg.out.empty()) g_cfg.out = ".";
  // a fresh folder for this run's failure pictures
  std::string mk = "mkdir -p '" + g_cfg.out + "' && cd '" + g_cfg.out + "' && rm -f ./*.wine.* ./*.soft.* ./*.diff.*";
  if (system(mk.c_str()) != 0) return 2;
  double t0 = now_seconds();
  int rc = RUN_ALL_TESTS();
  Store& s = store();
  printf("\nWine run %.1f s, whole test %.1f s. Per scene: pixels over the tolerance / allowed, largest difference;"
         " pixels differing at all and by more than 1:\n",
         s.wineSeconds, now_seconds() - t0);
  for (int i = 0; i <= cf_scene_count(); i++) {
    const CfScene* sc = i < cf_scene_count() ? cf_scene(i) : nullptr;
    const char* name = sc ? sc->name : "layer_shot";
    auto it = s.diffs.find(name);
    if (it == s.diffs.end()) {
      printf("  %-16s -\n", name);
      continue;
    }
    const CfPic& a = sc ? s.wine[name] : s.wineLayer;
    const CfPic& b = sc ? s.soft[name] : s.softLayer;
    int any = cf_diff(a.px.data(), b.px.data(), a.w, a.h, 0).over, over1 = cf_diff(a.px.data(), b.px.data(), a.w, a.h, 1).over;
    printf("  %-16s %5d / %-4d  max %3d (tolerance %d)  %6d differ, %6d by more than 1\n", name, it->second.over,
           sc ? sc->tolCount : kLayerTolCount, it->second.maxDelta, sc ? sc->tolDelta : kLayerTolDelta, any, over1);
  }
  return rc;
}
