// The command line: token splitting and every option.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/main.h"
#include "rt/rt.h"

namespace {

std::vector<std::string> split(const std::string& line) {
  char buf[CMD_CAP];
  str_cpy(buf, line.c_str(), sizeof buf);
  char* tok[CMD_MAX_TOKENS];
  int n = cmd_split(buf, tok, CMD_MAX_TOKENS);
  return std::vector<std::string>(tok, tok + n);
}

using V = std::vector<std::string>;

TEST(CommandLine, SplitsOnSpacesAndTabs) {
  EXPECT_EQ(split("a b\tc"), (V{"a", "b", "c"}));
  EXPECT_EQ(split("  \t a   b \t"), (V{"a", "b"}));
  EXPECT_EQ(split(""), V{});
  EXPECT_EQ(split(" \t "), V{});
}

TEST(CommandLine, QuotedTokens) {
  EXPECT_EQ(split("\"C:\\Program Files\\Skidline\\skidline.exe\" --race 2"),
            (V{"C:\\Program Files\\Skidline\\skidline.exe", "--race", "2"}));
  EXPECT_EQ(split("prog \"\" x"), (V{"prog", "", "x"})) << "an empty pair is an empty token";
  EXPECT_EQ(split("prog \"a b\"c d"), (V{"prog", "a b", "c", "d"})) << "the next token may start right after the quote";
  EXPECT_EQ(split("prog \"a\"\"b\""), (V{"prog", "a", "b"}));
  EXPECT_EQ(split("prog \"unterminated rest"), (V{"prog", "unterminated rest"}));
  EXPECT_EQ(split("prog a\"b c\""), (V{"prog", "a\"b", "c\""})) << "a quote inside a token is a plain character";
  EXPECT_EQ(split("prog \""), (V{"prog", ""}));
}

TEST(CommandLine, AtMost32Tokens) {
  std::string line = "prog";
  for (int i = 1; i < 40; i++) line += " t" + std::to_string(i);
  V t = split(line);
  ASSERT_EQ(t.size(), 32u);
  EXPECT_EQ(t[31], "t31");
  // The 33rd token is not read as an option either.
  std::string opts = "prog";
  for (int i = 0; i < 31; i++) opts += " --nohud";
  options_parse((opts + " --vsync").c_str());
  EXPECT_EQ(g_opt.vsync, 0);
  EXPECT_EQ(g_opt.nohud, 1);
}

TEST(CommandLine, LongLinesAreCutAt1023Bytes) {
  std::string line = "prog " + std::string(1016, 'x') + " --vsync";  // --vsync starts at byte 1022
  options_parse(line.c_str());
  EXPECT_EQ(g_opt.vsync, 0) << "\"-\" alone is all that survives";
  line = "prog " + std::string(1008, 'x') + " --vsync";
  options_parse(line.c_str());
  EXPECT_EQ(g_opt.vsync, 1);
}

TEST(Options, Defaults) {
  options_parse("skidline.exe");
  EXPECT_EQ(g_opt.race, -1);
  EXPECT_EQ(g_opt.fps, 60);
  EXPECT_STREQ(g_opt.out, "shot.bmp");
  EXPECT_EQ(g_opt.shot + g_opt.demo + g_opt.nohud + g_opt.exitAfterShot + g_opt.fullscreen + g_opt.windowed +
                g_opt.laps + g_opt.screen + g_opt.vsync + g_opt.resW + g_opt.resH,
            0);
  // Defaults are rewritten on every parse, not left from an earlier one.
  options_parse("p --race 2 --nohud --out x.bmp");
  options_parse("p");
  EXPECT_EQ(g_opt.race, -1);
  EXPECT_EQ(g_opt.nohud, 0);
  EXPECT_STREQ(g_opt.out, "shot.bmp");
}

TEST(Options, RaceAndDemoWithTheClamp) {
  options_parse("p --race 0");
  EXPECT_EQ(g_opt.race, -1) << "track 0 means the title screen";
  options_parse("p --race 1");
  EXPECT_EQ(g_opt.race, 0);
  options_parse("p --race 7");
  EXPECT_EQ(g_opt.race, 2);
  options_parse("p --race -5");
  EXPECT_EQ(g_opt.race, 0);
  options_parse("p --race abc");
  EXPECT_EQ(g_opt.race, -1);
  options_parse("p --race -2147483648");
  EXPECT_EQ(g_opt.race, 2) << "int(N) - 1 wraps instead of overflowing";
  options_parse("p --demo 3");
  EXPECT_EQ(g_opt.demo, 1);
  EXPECT_EQ(g_opt.race, 2);
  EXPECT_EQ(g_opt.exitAfterShot, 0);
  options_parse("p --race 2 --race 3");
  EXPECT_EQ(g_opt.race, 2) << "later options overwrite earlier ones";
  options_parse("p --race");
  EXPECT_EQ(g_opt.race, -1) << "missing argument: not recognised";
  options_parse("p --RACE 2 -race 2 race 2");
  EXPECT_EQ(g_opt.race, -1) << "options are case-sensitive and exact";
}

TEST(Options, Screenshots) {
  options_parse("p --shot 2 1.5");
  EXPECT_EQ(g_opt.shot, 1);
  EXPECT_EQ(g_opt.shotTrack, 1);
  EXPECT_EQ(g_opt.shotTime, 1.5f);
  EXPECT_EQ(g_opt.exitAfterShot, 1);
  EXPECT_EQ(g_opt.race, 1);
  EXPECT_EQ(g_opt.demo, 1);

  options_parse("p -shot 1 0.25 --stay");
  EXPECT_EQ(g_opt.shot, 1);
  EXPECT_EQ(g_opt.race, 0);
  EXPECT_EQ(g_opt.exitAfterShot, 0);
  options_parse("p --stay --shot 1 0.25");
  EXPECT_EQ(g_opt.exitAfterShot, 1) << "read left to right";

  options_parse("p --shot 0 3");
  EXPECT_EQ(g_opt.shot, 1);
  EXPECT_EQ(g_opt.shotTrack, -1);
  EXPECT_EQ(g_opt.race, -1);
  EXPECT_EQ(g_opt.demo, 0);
  options_parse("p --shot -5 3");
  EXPECT_EQ(g_opt.shotTrack, -6);
  EXPECT_EQ(g_opt.race, -1) << "0 or less is the title screen, not an undriven race";
  EXPECT_EQ(g_opt.demo, 0);

  options_parse("p --shot 2");
  EXPECT_EQ(g_opt.shot, 0) << "both arguments are required";
  EXPECT_EQ(g_opt.race, -1);

  options_parse("\"C:\\My Games\\skidline.exe\" --out \"my shots\\a b.bmp\" --shot 3 2");
  EXPECT_STREQ(g_opt.out, "my shots\\a b.bmp");
  EXPECT_EQ(g_opt.race, 2);
  std::string longPath(400, 'p');
  options_parse(("p --out " + longPath).c_str());
  EXPECT_EQ(strlen(g_opt.out), 259u);
}

TEST(Options, Switches) {
  options_parse("p --nohud --vsync --windowed --fullscreen --fps 144 --laps 7 --screen 2");
  EXPECT_EQ(g_opt.nohud, 1);
  EXPECT_EQ(g_opt.vsync, 1);
  EXPECT_EQ(g_opt.windowed, 1);
  EXPECT_EQ(g_opt.fullscreen, 1);
  EXPECT_EQ(g_opt.fps, 144);
  EXPECT_EQ(g_opt.laps, 7);
  EXPECT_EQ(g_opt.screen, 2);
  options_parse("p --window --fps x");
  EXPECT_EQ(g_opt.windowed, 1);
  EXPECT_EQ(g_opt.fps, 0) << "a non-numeric value switches the limiter off";
  options_parse("p --fps -3 --laps -1");
  EXPECT_EQ(g_opt.fps, -3);
  EXPECT_EQ(g_opt.laps, -1);
  options_parse("p --bogus --nohud stray");
  EXPECT_EQ(g_opt.nohud, 1) << "unknown tokens are skipped one at a time";
  options_parse("p --out --nohud");
  EXPECT_STREQ(g_opt.out, "--nohud") << "an option takes the next token whatever it is";
  EXPECT_EQ(g_opt.nohud, 0);
}

TEST(Options, Resolution) {
  options_parse("p --res 800x600");
  EXPECT_EQ(g_opt.resW, 800);
  EXPECT_EQ(g_opt.resH, 600);
  EXPECT_EQ(g_opt.windowed, 1) << "a requested size implies a window";
  options_parse("p --res 800X600 --fullscreen");
  EXPECT_EQ(g_opt.resW, 800);
  EXPECT_EQ(g_opt.windowed, 0);
  options_parse("p --fullscreen --res 1024x768");
  EXPECT_EQ(g_opt.windowed, 0) << "in either order";
  options_parse("p --res 300x600");
  EXPECT_EQ(g_opt.resW, 0);
  EXPECT_EQ(g_opt.resH, 0);
  EXPECT_EQ(g_opt.windowed, 0);
  options_parse("p --res 320x239");
  EXPECT_EQ(g_opt.resW, 0);
  options_parse("p --res 320x240");
  EXPECT_EQ(g_opt.resW, 320);
  options_parse("p --res 800 --nohud");
  EXPECT_EQ(g_opt.resW, 0) << "no height: ignored";
  EXPECT_EQ(g_opt.nohud, 1) << "the argument is consumed either way";
  options_parse("p --res 1280x720x32");
  EXPECT_EQ(g_opt.resH, 720);
  options_parse("p --res 1024x768 --res 10x10");
  EXPECT_EQ(g_opt.resW, 1024) << "a rejected size keeps the earlier one";
}

TEST(Options, Aspect) {
  options_parse("p --aspect 16:9");
  EXPECT_EQ(g_opt.resW, 1280);
  EXPECT_EQ(g_opt.resH, 720);
  EXPECT_EQ(g_opt.windowed, 1);
  options_parse("p --aspect 21/9");
  EXPECT_EQ(g_opt.resW, 1680);
  EXPECT_EQ(g_opt.resH, 720);
  options_parse("p --aspect 4:3");
  EXPECT_EQ(g_opt.resW, 960);
  options_parse("p --aspect 5:4");
  EXPECT_EQ(g_opt.resW, 900);
  options_parse("p --aspect 16.18:10");
  EXPECT_EQ(g_opt.resW, 1164) << "even width: 1165 has its lowest bit cleared";
  options_parse("p --aspect 4");
  EXPECT_EQ(g_opt.resW, 0) << "a bare number has no separator";
  EXPECT_EQ(g_opt.windowed, 0);
  options_parse("p --aspect 0:9");
  EXPECT_EQ(g_opt.resW, 0);
  options_parse("p --aspect 16:-9");
  EXPECT_EQ(g_opt.resH, 0);
  options_parse("p --aspect 99999999999:1");
  EXPECT_EQ(g_opt.resW, 0) << "a width that does not fit is ignored";
  EXPECT_EQ(g_opt.resH, 0);
  options_parse("p --aspect 16:9 --fullscreen");
  EXPECT_EQ(g_opt.resW, 1280);
  EXPECT_EQ(g_opt.windowed, 0);
}

}  // namespace
