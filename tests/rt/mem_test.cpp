// Heap blocks and the byte primitives (tested through their rt_ names on
// Linux; the Windows program uses the same code under the standard names).
#include <gtest/gtest.h>

#include <string>

#include "rt/rt.h"

namespace {

TEST(Memory, AllocationsAreZeroFilledAndGrowZeroFilled) {
  char* p = (char*)mem_alloc(64);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::string(p, 64), std::string(64, 0));
  memset(p, 'x', 64);
  p = (char*)mem_realloc(p, 4096);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::string(p, 4096), std::string(64, 'x') + std::string(4032, 0)) << "content kept, added bytes zero";
  p = (char*)mem_realloc(mem_realloc(p, 16), 32);  // shrink then grow again: the tail is zero
  EXPECT_EQ(std::string(p, 32), std::string(16, 'x') + std::string(16, 0));
  mem_free(p);
  p = (char*)mem_realloc(nullptr, 10);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[9], 0);
  mem_free(p);
  void* one = mem_alloc(0);  // size 0 asks for one byte
  EXPECT_NE(one, nullptr);
  mem_free(one);
  EXPECT_EQ(mem_alloc((size_t)-8), nullptr) << "an impossible size fails cleanly";
}

TEST(Memory, SetCopyAndMoveWithOverlapBothWays) {
  char buf[8] = "abcdefg";
  EXPECT_EQ(rt_memset(buf + 1, 0x2D2D, 3), buf + 1);  // the low byte of the value
  EXPECT_STREQ(buf, "a---efg");
  char dst[8] = {0};
  EXPECT_EQ(rt_memcpy(dst, "xyz", 3), dst);
  EXPECT_EQ(rt_memcpy(dst, "q", 0), dst);
  EXPECT_STREQ(dst, "xyz");

  char a[] = "123456789";
  EXPECT_EQ(rt_memmove(a + 2, a, 5), a + 2);  // destination inside the source: backwards
  EXPECT_STREQ(a, "121234589");
  char b[] = "123456789";
  rt_memmove(b, b + 2, 5);  // source ahead of the destination: forwards
  EXPECT_STREQ(b, "345676789");
  char d[] = "abcdef";
  rt_memmove(d + 1, d, 5);  // adjacent by one byte
  rt_memmove(d, d, 3);
  EXPECT_STREQ(d, "aabcde");
}

TEST(Memory, CompareIsUnsignedAndExactlyMinusOneZeroOne) {
  EXPECT_EQ(rt_memcmp("abc", "abc", 3), 0);
  EXPECT_EQ(rt_memcmp("abz", "aba", 3), 1);
  EXPECT_EQ(rt_memcmp("abz", "aba", 2), 0);
  const unsigned char hi[] = {0x80}, lo[] = {0x01}, zero[] = {0x00}, top[] = {0xFF};
  EXPECT_EQ(rt_memcmp(hi, lo, 1), 1) << "bytes compare as unsigned";
  EXPECT_EQ(rt_memcmp(lo, hi, 1), -1);
  EXPECT_EQ(rt_memcmp(zero, top, 1), -1) << "not the difference -255";
}

}  // namespace
