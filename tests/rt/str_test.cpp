// Bounded strings and number parsing.
#include <gtest/gtest.h>
#include <limits.h>

#include <string>

#include "rt/rt.h"

namespace {

TEST(Strings, LengthAndComparison) {
  EXPECT_EQ(str_len("abc"), 3);
  EXPECT_EQ(str_eq("", ""), 1);
  EXPECT_EQ(str_eq("a", "ab") + str_eq("ab", "a") + str_eq("abc", "abC"), 0);
  EXPECT_EQ(str_eq("abc", "abc"), 1);
  EXPECT_EQ(str_ieq("KERB.BMP", "kerb.bmp"), 1);
  EXPECT_EQ(str_ieq("Hello", "hELL") + str_ieq("hELL", "Hello"), 0);
  // Only A-Z fold: '[' and '{' sit 32 apart too, as do '@' and '`'.
  EXPECT_EQ(str_ieq("[", "{") + str_ieq("@", "`") + str_ieq("\xC4", "\xE4"), 0);
}

// The 8-byte buffer after str_cpy into a buffer of 'z's.
std::string copied(const char* src, int cap) {
  char buf[8];
  memset(buf, 'z', sizeof buf);
  str_cpy(buf, src, cap);
  return std::string(buf, 8);
}

TEST(Strings, CopyAndConcatenateNeverWritePastTheCapacity) {
  using std::string;
  EXPECT_EQ(copied("abcdef", 4), string("abc\0zzzz", 8));
  EXPECT_EQ(copied("abc", 8), string("abc\0zzzz", 8));
  EXPECT_EQ(copied("abc", 1), string("\0zzzzzzz", 8));
  EXPECT_EQ(copied("abc", 0), string(8, 'z')) << "no room at all: nothing written";

  char buf[8] = "abc";
  str_cat(buf, "defgh", 6);
  EXPECT_STREQ(buf, "abcde");
  str_cat(buf, "xyz", 6);
  EXPECT_STREQ(buf, "abcde") << "full: nothing appended";
  // A destination not terminated within the capacity is cut, not overrun.
  char raw[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
  str_cat(raw, "x", 4);
  EXPECT_EQ(string(raw, 6), string("abc\0ef", 6));
}

TEST(Parse, Integers) {
  const struct {
    const char* text;
    int want;
  } cases[] = {
      {" \t -42abc", -42}, {"+", 0}, {"-", 0}, {"", 0}, {"abc", 0}, {"+17", 17},
      {"- 5", 0},   // no blank after the sign
      {"\n5", 0},   // only spaces and tabs are skipped
      {"12.9", 12}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
      // 32-bit arithmetic without overflow detection: the value wraps.
      {"2147483648", INT_MIN}, {"4294967301", 5}, {"-4294967295", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(str_to_int(c.text), c.want) << c.text;
  str_to_int("999999999999999999999999999999");  // no undefined behaviour (sanitizer run)
}

TEST(Parse, Floats) {
  const struct {
    const char* text;
    float want;
  } cases[] = {
      {"3.", 3.0f},   {"-0.25", -0.25f}, {"1e5", 1.0f} /* no exponent part */, {".5", 0.5f},
      {"-.5", -0.5f}, {"  +1.5x", 1.5f}, {"\t12.75", 12.75f}, {"0.1", 0.1f},
      {".", 0.0f},    {"-", 0.0f},       {"", 0.0f},          {"1.2.3", 1.2f},
  };
  for (const auto& c : cases) EXPECT_EQ(str_to_float(c.text), c.want) << c.text;
  EXPECT_NEAR(str_to_float("3.14159"), 3.14159f, 1e-6f);
  EXPECT_NEAR(str_to_float("1280.5"), 1280.5f, 1e-4f);
  float huge = str_to_float(("1" + std::string(60, '0') + ".5").c_str());
  EXPECT_TRUE(huge > 1e38f) << "long digit runs saturate to infinity, never crash";
}

}  // namespace
