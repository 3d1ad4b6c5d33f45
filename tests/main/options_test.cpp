// The command line: token splitting and every option.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "main/main.h"
#include "rt/rt.h"

namespace {

using V = std::vector<std::string>;

V split(const std::string& line) {
  char buf[CMD_CAP];
  str_cpy(buf, line.c_str(), sizeof buf);
  char* tok[CMD_MAX_TOKENS];
  int n = cmd_split(buf, tok, CMD_MAX_TOKENS);
  return V(tok, tok + n);
}

const Options& parsed(const std::string& line) {
  options_parse(line.c_str());
  return g_opt;
}

TEST(CommandLine, Splitting) {
  EXPECT_EQ(split("  \t a   b\tc \t"), (V{"a", "b", "c"}));
  EXPECT_EQ(split(" \t "), V{});
  EXPECT_EQ(split("\"C:\\Program Files\\Skidline\\skidline.exe\" --race 2"),
            (V{"C:\\Program Files\\Skidline\\skidline.exe", "--race", "2"}));
  EXPECT_EQ(split("prog \"\" x"), (V{"prog", "", "x"})) << "an empty pair is an empty token";
  EXPECT_EQ(split("prog \"a b\"c \"d\"\"e\""), (V{"prog", "a b", "c", "d", "e"}))
      << "the next token may start right after the quote";
  EXPECT_EQ(split("prog \"unterminated rest"), (V{"prog", "unterminated rest"}));
  EXPECT_EQ(split("prog a\"b c\""), (V{"prog", "a\"b", "c\""})) << "a quote inside a token is a plain character";
  EXPECT_EQ(split("prog \""), (V{"prog", ""}));
}

TEST(CommandLine, AtMost32TokensAnd1023Bytes) {
  std::string line = "prog";
  for (int i = 1; i < 40; i++) line += " t" + std::to_string(i);
  V t = split(line);
  ASSERT_EQ(t.size(), 32u);
  EXPECT_EQ(t[31], "t31");
  // The 33rd token is not read as an option either.
  std::string opts = "prog";
  for (int i = 0; i < 31; i++) opts += " --nohud";
  EXPECT_TRUE(parsed(opts + " --vsync").vsync == 0 && g_opt.nohud == 1);
  // "--vsync" starting at byte 1022 is cut to "-".
  EXPECT_EQ(parsed("prog " + std::string(1016, 'x') + " --vsync").vsync, 0);
  EXPECT_EQ(parsed("prog " + std::string(1008, 'x') + " --vsync").vsync, 1);
}

TEST(Options, DefaultsAreRewrittenOnEveryParse) {
  parsed("p --race 2 --nohud --out x.bmp --fps 5");
  parsed("skidline.exe");
  EXPECT_TRUE(g_opt.race == -1 && g_opt.fps == 60 && str_eq(g_opt.out, "shot.bmp"));
  EXPECT_EQ(g_opt.shot + g_opt.demo + g_opt.nohud + g_opt.exitAfterShot + g_opt.fullscreen + g_opt.windowed +
                g_opt.laps + g_opt.screen + g_opt.vsync + g_opt.resW + g_opt.resH,
            0);
}

TEST(Options, EachOptionAndTheRaceClamp) {
  using O = Options;
  const struct { const char* line; std::vector<std::pair<int O::*, int>> want; } cases[] = {
      {"p --race 0", {{&O::race, -1}}},  // track 0 means the title screen
      {"p --race 7", {{&O::race, 2}}},
      {"p --race -5", {{&O::race, 0}}},
      {"p --race abc", {{&O::race, -1}}},
      {"p --race -2147483648", {{&O::race, 2}}},  // int(N) - 1 wraps instead of overflowing
      {"p --race 2 --race 3", {{&O::race, 2}}},   // later options overwrite earlier ones
      {"p --race", {{&O::race, -1}}},             // missing argument: not recognised
      {"p --RACE 2 -race 2 race 2", {{&O::race, -1}}},
      {"p --demo 3", {{&O::demo, 1}, {&O::race, 2}, {&O::exitAfterShot, 0}}},
      {"p --shot 2 1.5", {{&O::shot, 1}, {&O::shotTrack, 1}, {&O::exitAfterShot, 1}, {&O::race, 1}, {&O::demo, 1}}},
      {"p -shot 1 0.25 --stay", {{&O::exitAfterShot, 0}, {&O::race, 0}}},
      {"p --stay --shot 1 0.25", {{&O::exitAfterShot, 1}}},  // read left to right
      // Track 0 or less is the title screen, not an undriven race.
      {"p --shot 0 3", {{&O::race, -1}, {&O::demo, 0}}},
      {"p --shot 2", {{&O::shot, 0}, {&O::race, -1}}},  // both arguments are required
      {"p --nohud --vsync --fps 144 --laps 7 --screen 2",
       {{&O::nohud, 1}, {&O::vsync, 1}, {&O::fps, 144}, {&O::laps, 7}, {&O::screen, 2}}},
      {"p --window --fullscreen", {{&O::fullscreen, 1}}},
      {"p --fps x", {{&O::fps, 0}}},  // a non-numeric value switches the limiter off
      {"p --bogus --nohud stray", {{&O::nohud, 1}}},  // unknown tokens are skipped one at a time
      {"p --out --nohud", {{&O::nohud, 0}}},          // an option takes the next token whatever it is
  };
  for (const auto& c : cases) {
    parsed(c.line);
    for (const auto& w : c.want) EXPECT_EQ(g_opt.*w.first, w.second) << c.line;
  }
  EXPECT_EQ(parsed("p --shot 2 1.5").shotTime, 1.5f);
  EXPECT_STREQ(parsed("p --out --nohud").out, "--nohud");
  EXPECT_STREQ(parsed("\"C:\\My Games\\skidline.exe\" --out \"my shots\\a b.bmp\" --shot 3 2").out, "my shots\\a b.bmp");
  EXPECT_EQ(strlen(parsed("p --out " + std::string(400, 'p')).out), 259u);
  // An over-long line is cut at 1023 characters, inside the argument that
  // crosses the limit: its start is kept, what follows is lost.
  std::string line = "./skidline --out " + std::string(5000, 'a') + " --nohud";
  EXPECT_EQ(parsed(line).out + std::to_string(g_opt.nohud), std::string(259, 'a') + "0");
}

TEST(Options, ResolutionAndAspect) {
  const struct { const char* line; int w, h, windowed; } cases[] = {
      // A requested size implies a window; no height: ignored, argument consumed.
      {"p --res 800x600", 800, 600, 1}, {"p --window", 0, 0, 1}, {"p --res 800X600 --fullscreen", 800, 600, 0},
      {"p --fullscreen --res 1024x768", 1024, 768, 0}, {"p --res 320x239", 0, 0, 0}, {"p --res 320x240", 320, 240, 1},
      {"p --res 800 --nohud", 0, 0, 0}, {"p --res 1280x720x32", 1280, 720, 1},
      {"p --res 1024x768 --res 10x10", 1024, 768, 1},  // a rejected size keeps the earlier one
      {"p --aspect 16:9", 1280, 720, 1}, {"p --aspect 21/9", 1680, 720, 1},
      {"p --aspect 16.18:10", 1164, 720, 1},  // 1165 with its lowest bit cleared
      {"p --aspect 4", 0, 0, 0}, {"p --aspect 16:-9", 0, 0, 0}, {"p --aspect 99999999999:1", 0, 0, 0},
      // The same size checks as "--res": no 72000 x 720 back buffer, no 80 x 720.
      {"p --aspect 100:1", 0, 0, 0}, {"p --aspect 1:9", 0, 0, 0}, {"p --aspect 4:9", 320, 720, 1},
      {"p --aspect 8192:720", 8192, 720, 1}, {"p --aspect 8194:720", 0, 0, 0}, {"p --res 8192x8192", 8192, 8192, 1},
      {"p --res 8193x600", 0, 0, 0}, {"p --res 800x9000", 0, 0, 0},
  };
  for (const auto& c : cases) {
    parsed(c.line);
    EXPECT_EQ(std::vector<int>({g_opt.resW, g_opt.resH, g_opt.windowed}), std::vector<int>({c.w, c.h, c.windowed})) << c.line;
  }
  EXPECT_EQ(parsed("p --res 800 --nohud").nohud, 1);
}

}  // namespace
