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
  char buf[8] = "zzzzzzz";
  EXPECT_EQ(fmt(buf, 4, "%d", 12345), 5);
  EXPECT_STREQ(buf, "123");
  EXPECT_EQ(buf[4], 'z') << "wrote past the cap";

  char untouched[4] = "abc";
  EXPECT_EQ(fmt(untouched, 0, "%d", 12345), 5);
  EXPECT_STREQ(untouched, "abc") << "cap 0 must store nothing";
  EXPECT_EQ(fmt(nullptr, 0, "hello %s", "world"), 11);

  char one[2] = "q";
  EXPECT_EQ(fmt(one, 1, "%s", "long text"), 9);
  EXPECT_EQ(one[0], 0);
  EXPECT_EQ(one[1], 0);

  char exact[6];
  EXPECT_EQ(fmt(exact, 6, "abcdef"), 6);
  EXPECT_STREQ(exact, "abcde");
}

TEST(Format, Integers) {
  EXPECT_EQ(formatted("%4d", -5), "  -5");
  EXPECT_EQ(formatted("%04d", -5), "-005");
  EXPECT_EQ(formatted("%02d", 7), "07");
  EXPECT_EQ(formatted("%d", INT_MIN), "-2147483648");
  EXPECT_EQ(formatted("%012d", INT_MIN), "-02147483648");
  EXPECT_EQ(formatted("%u", 4294967295u), "4294967295");
  EXPECT_EQ(formatted("%x", 0xDEADBEEFu), "deadbeef");
  EXPECT_EQ(formatted("%08x", 0x1Au), "0000001a");
  EXPECT_EQ(formatted("%.5d", 42), "42") << "precision is ignored for integers";
  EXPECT_EQ(formatted("%c%c", 'o', 0x14B), "oK") << "%c prints the low byte";
  EXPECT_EQ(formatted("%5c", 'z'), "z") << "width is ignored for %c";
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

TEST(Format, FixedPoint) {
  EXPECT_EQ(formatted("%.1f", -0.04), "-0.0");
  EXPECT_EQ(formatted("%.3f", 0.9996), "1.000");
  EXPECT_EQ(formatted("%.3f", 9.9996), "10.000");
  EXPECT_EQ(formatted("%06.2f", -1.5), "-01.50");
  EXPECT_EQ(formatted("%.2f", 0.05), "0.05");
  EXPECT_EQ(formatted("%.3f", -0.0), "0.000") << "minus zero prints without a sign";
  EXPECT_EQ(formatted("%.3f", 1234567.125), "1234567.125");
  EXPECT_EQ(formatted("%.0f", -2.5), "-3") << "halves round away from zero";
  // The integer part is printed modulo 2^32.
  EXPECT_EQ(formatted("%.1f", 4294967296.5), "0.5");
  EXPECT_EQ(formatted("%.0f", 4294967301.0), "5");
  // Non-finite and huge values print safely.
  EXPECT_EQ(formatted("%.2f", __builtin_nan("")), "nan");
  EXPECT_EQ(formatted("%6.1f", __builtin_inf()), "   inf");
  EXPECT_EQ(formatted("%.1f", -__builtin_inf()), "-inf");
  EXPECT_EQ(formatted("%.0f", 1e300), "0");
  EXPECT_EQ(formatted("%.2f", 1e300).substr(1), ".00");
  EXPECT_EQ(formatted("%.30f", 0.5).size(), 20u) << "the fraction is capped at 18 digits";
}

}  // namespace
