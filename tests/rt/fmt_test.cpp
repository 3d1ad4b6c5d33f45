// The formatter: the cap rule, every conversion, flags, widths, precisions.
#include <gtest/gtest.h>
#include <limits.h>

#include <string>

#include "rt/rt.h"

namespace {

template <typename... A>
std::string formatted(const char* format, A... args) {
  char buf[256];
  int n = fmt(buf, sizeof buf, format, args...);
  EXPECT_EQ(n, (int)strlen(buf)) << format;
  return buf;
}

TEST(Format, CapStoresAtMostCapMinusOneAndReturnsFullLength) {
  // An 8-byte buffer of 'z's after formatting with a cap: what it holds, and the full length returned.
  const struct {
    int cap;
    const char* format;
    int arg, length;
    std::string after;
  } cases[] = {{4, "%d", 12345, 5, std::string("123\0zzzz", 8)}, {0, "%d", 12345, 5, "zzzzzzzz"},
               {1, "%d", 12345, 5, std::string("\0zzzzzzz", 8)}, {6, "abc%d", 123, 6, std::string("abc12\0zz", 8)}};
  for (const auto& c : cases) {
    char buf[8];
    memset(buf, 'z', sizeof buf);
    EXPECT_EQ(fmt(buf, c.cap, c.format, c.arg), c.length) << c.cap;
    EXPECT_EQ(std::string(buf, 8), c.after) << c.cap;
  }
  EXPECT_EQ(fmt(nullptr, 0, "hello %s", "world"), 11);
}

// Integers: the sign inside zero fill, INT_MIN, precision ignored, %c the low byte and no width.
TEST(Format, Integers) {
  const struct {
    const char* format;
    int value;
    const char* want;
  } cases[] = {{"%4d", -5, "  -5"},       {"%04d", -5, "-005"}, {"%02d", 7, "07"},
               {"%d", INT_MIN, "-2147483648"}, {"%012d", INT_MIN, "-02147483648"},
               {"%u", -1, "4294967295"},  {"%x", (int)0xDEADBEEFu, "deadbeef"}, {"%08x", 0x1A, "0000001a"},
               {"%.5d", 42, "42"},        {"%c", 0x14B, "K"},   {"%5c", 'z', "z"}};
  for (const auto& c : cases) EXPECT_EQ(formatted(c.format, c.value), c.want) << c.format;
}

TEST(Format, StringsPercentAndNonDirectives) {
  EXPECT_EQ(formatted("%5s", "ab"), "   ab");
  EXPECT_EQ(formatted("%05s", "ab"), "   ab") << "zero fill does not apply to strings";
  EXPECT_EQ(formatted("%.1s", "abc"), "abc") << "precision is ignored";
  EXPECT_EQ(formatted("%s", (const char*)nullptr), "(null)");
  EXPECT_EQ(formatted("100%%"), "100%");
  EXPECT_EQ(formatted("%5%"), "%");
  EXPECT_EQ(formatted("%ld %d", 7), "ld 7") << "an unknown conversion consumes no argument";
  EXPECT_EQ(formatted("%-5s|%s", "x"), "-5s|x");
  EXPECT_EQ(formatted("%i%X%e%g", 1), "iXeg");
  EXPECT_EQ(formatted("a%"), "a") << "a lone trailing % ends the output";
}

// Rounding, signs, the integer part modulo 2^32, non-finite values, 18 fraction digits at most.
TEST(Format, FixedPoint) {
  const struct {
    const char* format;
    double value;
    const char* want;
  } cases[] = {{"%.1f", -0.04, "-0.0"},       {"%.3f", 0.9996, "1.000"},   {"%.3f", 9.9996, "10.000"},
               {"%06.2f", -1.5, "-01.50"},    {"%.2f", 0.05, "0.05"},      {"%.3f", -0.0, "0.000"},
               {"%.3f", 1234567.125, "1234567.125"}, {"%.0f", -2.5, "-3"}, {"%.1f", 4294967296.5, "0.5"},
               {"%.0f", 4294967301.0, "5"}, {"%.2f", __builtin_nan(""), "nan"}, {"%6.1f", __builtin_inf(), "   inf"},
               {"%.1f", -__builtin_inf(), "-inf"}, {"%.0f", 1e300, "0"}};
  for (const auto& c : cases) EXPECT_EQ(formatted(c.format, c.value), c.want) << c.format << " " << c.value;
  EXPECT_EQ(formatted("%.2f", 1e300).substr(1), ".00");
  EXPECT_EQ(formatted("%.30f", 0.5).size(), 20u);
}

}  // namespace
