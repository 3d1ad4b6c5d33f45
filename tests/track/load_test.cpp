// Track texts: line and token rules, header keywords, loading, falling back
// to the built-in circuit, and the limits that keep any text loadable.
#include <sys/stat.h>
#include <time.h>

#include <vector>

#include "track_test_util.h"

namespace {

using Load = TrackTest;

// Four points, 12 m wide: the smallest circuit, for header checks.
const char* kSquare = "pt 0 0\npt 0 100\npt 100 100\npt 100 0\n";

const char* kSummary[3] = {
    "track 0 'GREEN VALLEY': 332 samples, 997.6 m, 5 draw calls, 0 lamps, 24 colliders, 16 cones",
    "track 1 'RED CANYON': 388 samples, 1166.7 m, 5 draw calls, 0 lamps, 53 colliders, 27 cones",
    "track 2 'NEON CITY': 347 samples, 1043.5 m, 7 draw calls, 68 lamps, 96 colliders, 15 cones",
};

TEST_F(Load, BuiltinCircuitsGiveTheirSummaries) {
  const char* names[3] = {"GREEN VALLEY", "RED CANYON", "NEON CITY"};
  for (int i = 0; i < 3; i++) {
    EXPECT_STREQ(track_name(i), names[i]);
    ASSERT_EQ(track_load(i), 1);
    EXPECT_EQ(g_trackIndex, i);
    EXPECT_TRUE(logged(kSummary[i])) << log();
  }
  EXPECT_EQ(log().find("track file"), std::string::npos);  // no data folder, nothing read
  // The README's worked example (data/tracks/oval.trk) loads.
  ASSERT_EQ(track_load_text(slurp(std::string(SK_REPO_DATA) + "/tracks/oval.trk").c_str(), 0), 1);
  EXPECT_STREQ(g_track.name, "PRACTICE OVAL");
}

// Lines split into at most twelve tokens; colours read their leading hex digits, opaque.
TEST_F(Load, TokensAndHexColours) {
  struct { const char* line; int count; const char* last; } lines[] = {
      {"pt 1 2 # note", 3, "2"}, {"pt 1#a 2", 3, "2"}, {" \t pt\t1  2 ", 3, "2"},
      {"# comment", 0, ""},      {"   ", 0, ""},       {"a b c d e f g h i j k l m n", 12, "l"}};
  for (auto& c : lines) {
    char buf[256], *tok[12];
    snprintf(buf, sizeof buf, "%s", c.line);
    int n = split(buf, tok);
    EXPECT_EQ(n, c.count) << c.line;
    EXPECT_STREQ(n ? tok[n - 1] : "", c.last) << c.line;
    EXPECT_STREQ(n < 12 ? tok[n] : "", "") << c.line;
  }
  struct { const char* token; uint32_t colour; } colours[] = {
      {"84b4ff", 0xFF84B4FFu}, {"ABCDEF", 0xFFABCDEFu}, {"zz", 0xFF000000u}, {"12g4", 0xFF000012u}, {"", 0xFF000000u}};
  for (auto& c : colours) EXPECT_EQ(hexcol(c.token), c.colour) << c.token;
}

TEST_F(Load, HeaderKeywordsNeedTheirTokenCounts) {
  // Short lines change nothing; the last width line comes after every pt.
  std::string text = std::string("sky 2c50c0\nfog c49860 70\nwall concrete.bmp\nname  X\nmood a_very_long_mood\n") +
                     "width 8\npt 0 0\npt 0 100 14\nwidth 20\npt 100 100\nroad\r\n" + "pt 100 0\nwidth 3\n";
  ASSERT_EQ(track_load_text(text.c_str(), 0), 1);
  const TrackData& t = g_track;
  EXPECT_TRUE(t.skyTop == 0xFF4F8FDCu && t.skyHorizon == 0xFFB8DCF2u);
  EXPECT_TRUE(t.fogColor == 0xFFB8DCF2u && t.fogStart == 80 && t.fogEnd == 300);
  EXPECT_TRUE(t.wallHeight == 1 && t.wallOffset == 3 && t.startlineLength == 0);
  EXPECT_EQ(std::string(t.wallTex) + "|" + t.roadTex + "|" + t.name + "|" + t.mood, "concrete.bmp|asphalt.bmp| X|a_very_long_moo");
  ASSERT_EQ(t.pointCount, 4);
  EXPECT_EQ(std::vector<float>(t.pointWidth, t.pointWidth + 4), (std::vector<float>{8, 14, 20, 20}));

  std::string overrides = std::string(kSquare) +
                      "name A B # old\nwall none 0 4.0\nstartline startline.bmp\nsky 1 2\nsky 3 4\n"
                      "skystrip s.bmp 6\nsun 1 2 3 4\nnight 1\n";
  ASSERT_EQ(track_load_text(overrides.c_str(), 0), 1);
  EXPECT_EQ(std::string(t.name) + "|" + t.backgroundTex, "A B # old|s.bmp");
  EXPECT_TRUE(t.wallHeight == 0 && t.wallOffset == 4 && t.startlineLength == 10);
  EXPECT_TRUE(t.skyTop == 0xFF000003u && t.skyRepeat == 6 && t.skyStrip == 1 && t.sunDir[2] == 4 && t.night == 1);
  EXPECT_EQ(t.pointWidth[0], 12.0f);  // no width line
  for (const Batch* b = t.batches; b; b = b->next) EXPECT_NE(b->layer, 1) << "no wall expected";
}

TEST_F(Load, LongLinesAreCutAndCarriageReturnsDropped) {
  std::string name(300, 'N');
  std::string text = "na\rme " + name + "\r\n" + kSquare;
  ASSERT_EQ(track_load_text(text.c_str(), 0), 1);
  EXPECT_EQ(std::string(g_track.name), std::string(31, 'N'));
  // The rest of a long line is skipped, not read as a line of its own.
  std::string tail = std::string(kSquare) + "name X" + std::string(260, ' ') + "pt 5 5\n";
  EXPECT_TRUE(track_load_text(tail.c_str(), 0) == 1 && g_track.pointCount == 4);
}

// Files come first and are read once; the setup screen's name is the first
// unindented name line, a load takes the last.
TEST_F(Load, FilesComeFirstAndAreReadOnce) {
  put("tracks/1.trk", std::string("  name INDENTED\nname FIRST\nname FROM FILE\n") + kSquare);
  put("tracks/3.trk", std::string("\tname ONLY INDENTED\n") + kSquare);
  EXPECT_EQ(std::string(track_name(0)) + track_name(2), "FIRSTTRACK");
  ASSERT_EQ(track_load(0), 1);
  EXPECT_TRUE(str_eq(g_track.name, "FROM FILE") && logged("track file data\\tracks\\1.trk"));
  put("tracks/1.trk", "garbage");
  size_t before = log().size();
  EXPECT_EQ(track_load(0), 1);  // already loaded: nothing read
  EXPECT_TRUE(log().size() == before && str_eq(g_track.name, "FROM FILE"));
}

// A file that gives no circuit is reported with its path, and the circuit of
// that index still loads from the built-in text.
TEST_F(Load, RejectedFilesFallBackToTheBuiltinCircuit) {
  std::string huge(200, '9');
  const std::string bad[] = {
      "name THREE\npt 0 0\npt 0 100\npt 100 100\n",             // too few points
      "pt 0 0\npt 0 100\npt 100 100\npt 100 0\npt 1" + huge + " 5\n",  // not finite
      "pt 0 0\npt 0 100\npt 100 100\npt 100 0\npt 200000 0\n",  // beyond 100 km
      "pt 5 5\npt 5 5\npt 5 5\npt 5 5\npt 5 5\n",              // one spot
      "pt 0 0\npt 0.01 0\npt 0.01 0.01\npt 0 0.01\n",          // about 4 cm round
  };
  for (const std::string& text : bad) {
    track_free();
    put("tracks/2.trk", text);
    ASSERT_EQ(track_load(1), 1) << text;
    EXPECT_TRUE(logged("track 1: data\\tracks\\2.trk rejected, using the built-in circuit")) << text;
    EXPECT_TRUE(g_trackIndex == 1 && g_track.sampleCount == 388 && str_eq(g_track.name, "RED CANYON")) << text;
    log_open("test.log");  // fresh log for the next case
  }
  EXPECT_EQ(track_load_text("pt 0 0\npt 0 100\npt 100 100\n", 1), 0);
  EXPECT_TRUE(logged("track 1: too few points") && g_trackIndex == -1);
}

TEST_F(Load, NamedPipeIsNotReadAsATrackFile) {
  ASSERT_EQ(system("mkdir -p data/tracks"), 0);
  ASSERT_EQ(mkfifo("data/tracks/1.trk", 0644), 0);
  ASSERT_EQ(track_load(0), 1);  // would block on open if the pipe were opened for reading
  EXPECT_TRUE(str_eq(g_track.name, "GREEN VALLEY") && log().find("track file") == std::string::npos);
}

// Widths and offsets that would fold the road or divide by zero are kept sane.
TEST_F(Load, NonsenseWidthsAreClamped) {
  std::string text = std::string("width 0\npt 0 0\npt 0 100 -5\nwidth 0.2\npt 100 100\npt 100 0 0.5\n") +
                     "wall w.bmp 0.001 0.2\nskystrip s.bmp 0\nroadtile 0.00001\ngroundtile -3\n";
  ASSERT_EQ(track_load_text(text.c_str(), 0), 1);
  const TrackData& t = g_track;
  EXPECT_EQ(std::vector<float>(t.pointWidth, t.pointWidth + 4), std::vector<float>(4, 1.0f));
  EXPECT_TRUE(t.wallOffset == 1 && t.wallHeight >= 0.1f && t.skyRepeat == 3 && t.roadTile >= 0.1f);
  for (int i = 0; i < g_track.sampleCount; i++) ASSERT_GE(g_track.samples[i].halfWidth, 0.5f);
}

// Texts that would take forever as written: rows that never move on, huge
// scatter counts, thousands of lines on a huge circuit: each is refused or
// capped, so the load ends (a hang shows as the test's time-out).
TEST_F(Load, EveryTextLoadEnds) {
  std::string inf(100, '9');
  std::string rows = "pt -90000 -90000\npt -90000 90000\npt 90000 90000\npt 90000 -90000\n";
  const char* spacings[] = {"0", "-4", "0.1", "1e", nullptr};
  for (int i = 0; spacings[i]; i++) rows += std::string("rowh tree_pine ") + spacings[i] + " 4 1 1 0 0\n";
  rows += "rowh tree_pine " + inf + " 4 1 1 0 0\nrow house 4 " + inf + " 1 1 1 0\n";
  rows += "scatter rock 2000000000 8 160 1 1 5\nscatter rock -5 8 160 1 1 5\n";
  for (int i = 0; i < 2000; i++) rows += "rowh lamp_post 0.5 4 1 1 -1000000 0\ncones 1 -5\n";
  ASSERT_EQ(track_load_text(rows.c_str(), 0), 1);
  EXPECT_LE(g_track.lampCount, 256);
}

// Names from files never reach outside the data folders.
TEST_F(Load, AssetNamesWithPathsHaveNoFile) {
  std::string bmp = slurp(std::string(SK_TEST_DATA) + "/bmp/rgb24_5x3.bmp");
  spit("secret.bmp", bmp);
  put("textures/plain.bmp", bmp);
  std::string text = std::string(kSquare) + "road ..\\..\\secret.bmp\nground ../../secret.bmp\nkerb c:secret.bmp\n";
  ASSERT_EQ(track_load_text(text.c_str(), 0), 1);
  for (const char* n : {"..\\..\\secret.bmp", "../../secret.bmp", "c:secret.bmp", "..secret.bmp"})
    EXPECT_EQ(tex_get(n)->generated, 1) << n;
  EXPECT_EQ(tex_get("plain.bmp")->generated, 0);
  put("models/x.skm", "not a model");
  EXPECT_TRUE(model_try("..\\models\\x") == nullptr && model_get("../data/models/x")->generated == 1);
  std::string l = log();
  EXPECT_TRUE(l.find("unsupported BMP") == l.npos && l.find("bad SKM") == l.npos) << "no file was opened";
}

}  // namespace
