// Maths functions, the generator and the clock.
#include <gtest/gtest.h>
#include <limits.h>
#include <math.h>

#include <tuple>

#include "rt/rt.h"
#include "rt/sys.h"

namespace {

const float kPi = 3.1415927f;
const float kTwoPi = 6.2831855f;

TEST(Maths, SineCosineArctangent) {
  EXPECT_EQ(f_sin(kPi / 2), 1.0f);
  EXPECT_EQ(f_cos(kPi), -1.0f);
  for (float x = -20.0f; x < 20.0f; x += 0.37f) {
    ASSERT_NEAR(f_sin(x), (float)sin((double)x), 1e-7f) << x;
    ASSERT_NEAR(f_cos(x), (float)cos((double)x), 1e-7f) << x;
  }
  // Arguments beyond the instruction's range are reduced, not returned as is.
  EXPECT_LE(f_abs(f_sin(1e19f)), 1.0f);
  EXPECT_LE(f_abs(f_cos(-3e25f)), 1.0f);
  EXPECT_TRUE(f_sin(__builtin_inff()) != f_sin(__builtin_inff())) << "sin(inf) is NaN";

  // y comes first; every quadrant
  for (auto c : {std::make_tuple(1.0f, -1.0f, 3 * kPi / 4), {-1.0f, -1.0f, -3 * kPi / 4}, {0.0f, -1.0f, kPi},
                 {0.0f, 0.0f, 0.0f}, {3.0f, 4.0f, 0.6435011f}})
    EXPECT_NEAR(f_atan2(std::get<0>(c), std::get<1>(c)), std::get<2>(c), 1e-6f) << std::get<0>(c) << "," << std::get<1>(c);
}

struct Case {
  float x, want;
};

TEST(Maths, RootsAbsoluteConversionsFloorAndRound) {
  EXPECT_EQ(std::make_tuple(f_sqrt(-4.0f), f_sqrt(2.0f), f_abs(-2.5f)), std::make_tuple(0.0f, 1.4142135f, 2.5f));
  EXPECT_FALSE(signbit(f_abs(-0.0f)));
  // Outside the range: the hardware's "integer indefinite", never undefined.
  for (Case c : {Case{-3.9f, -3}, {3.9f, 3}, {2147483520.0f, 2147483520.0f}, {3e9f, INT_MIN}, {-3e9f, INT_MIN},
                 {__builtin_nanf(""), INT_MIN}})
    EXPECT_EQ(f_to_int(c.x), (int)c.want) << c.x;
  // Large values are already whole.
  for (Case c : {Case{-1.5f, -2}, {1.5f, 1}, {-2, -2}, {-0.25f, -1}, {-2147483648.0f, -2147483648.0f}, {5e9f, 5e9f},
                 {-5e9f, -5e9f}})
    EXPECT_EQ(f_floor(c.x), c.want) << c.x;
  for (Case c : {Case{-0.5f, 0}, {2.5f, 3}, {-2.5f, -2}, {-2.6f, -3}, {1e10f, INT_MIN}})
    EXPECT_EQ(f_round(c.x), (int)c.want) << c.x;
}

TEST(Maths, ExponentialAndPowerFollowTheirClamps) {
  EXPECT_EQ(f_exp(-31.0f), 0.0f);
  EXPECT_GT(f_exp(-30.0f), 0.0f) << "-30 itself is computed";
  EXPECT_EQ(f_exp(100.0f), f_exp(30.0f));
  for (float x = -30.0f; x <= 30.01f; x += 0.173f) {
    ASSERT_NEAR(f_exp(x) / exp((double)x), 1.0, 1.6e-4) << x;  // the fifth-degree polynomial's reach
  }
  EXPECT_NEAR(f_exp(30.0f) / 1.0686474e13f, 1.0f, 1.6e-4f);
  EXPECT_TRUE(f_exp(__builtin_nanf("")) != f_exp(__builtin_nanf("")));

  EXPECT_EQ(f_pow(-8.0f, 1.0f / 3), 0.0f) << "a base of 0 or below gives 0";
  EXPECT_NEAR(f_pow(2.0f, 10.0f) * f_pow(10.0f, -2.0f), 10.24f, 10.24f * 4e-6f);
  EXPECT_EQ(f_pow(2.0f, -100.0f), 0.0f) << "e*ln(b) below -30 gives 0";
  EXPECT_EQ(f_pow(2.0f, 100.0f), f_exp(30.0f)) << "clamped like f_exp";
}

TEST(Maths, WrapAngle) {
  EXPECT_EQ(f_wrap_angle(7.0f), 7.0f - kTwoPi);
  EXPECT_EQ(f_wrap_angle(-7.0f), -0.7168145f);
  EXPECT_EQ(f_wrap_angle(kPi), kPi) << "exactly pi comes back unchanged";
  // Whole turns come off one at a time in single precision (not by fmod).
  float turned = 9000.0f;
  while (turned > kPi) turned -= kTwoPi;
  EXPECT_EQ(f_wrap_angle(9000.0f), turned);
  // Far-out and infinite angles terminate and land in range.
  float far = f_wrap_angle(1e30f);
  EXPECT_TRUE(far >= -kPi && far <= kPi);
  float mid = f_wrap_angle(-123456.7f);
  EXPECT_NEAR(f_sin(mid), sin(-123456.7), 2e-3);
  EXPECT_EQ(f_wrap_angle(__builtin_inff()), 0.0f);
}

TEST(Random, SequencesFromFixedSeeds) {
  uint32_t s = 1;
  for (uint32_t w : {270369u, 67634689u, 2647435461u, 307599695u}) {
    EXPECT_EQ(rng_next(&s), w);
    EXPECT_EQ(s, w) << "the state is the last value";
  }
  s = 0;
  EXPECT_EQ(rng_float(&s), 0.31659353f);
  EXPECT_EQ(rng_float(&s), (float)(3761132862u >> 8) * 5.9604645e-08f);
  s = 0xFFFFFFFFu;
  for (int i = 0; i < 1000; i++) {
    float r = rng_range(&s, -2.0f, 3.0f);
    ASSERT_TRUE(r >= -2.0f && r < 3.0f) << r;
  }
  s = 0;
  EXPECT_EQ(rng_range(&s, 10.0f, 20.0f), 10.0f + 10.0f * 0.31659353f);
}

TEST(Clock, StartsAtZeroAndMovesForward) {
  double t0 = time_now(), prev = t0;
  EXPECT_LT(t0, 0.01);
  for (int i = 0; i < 1000; i++, prev = time_now()) ASSERT_GE(time_now(), prev);
}

TEST(FloatingPoint, EveryThreadRunsWithControlWord027F) {
  EXPECT_EQ(sys_fpu_control(), 0x027F);
  // Start the thread from a different control word (Linux threads inherit
  // their creator's): the thread starter must set its own.
  uint16_t other = 0x037F;
  __asm__ volatile("fldcw %0" : : "m"(other));
  static uint16_t seen;
  SysThread t = sys_thread_start(
      [](void*) -> uint32_t {
        seen = sys_fpu_control();
        return 0;
      },
      nullptr, 65536);
  sys_fpu_init();
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(sys_thread_wait(t, 5000), 1);
  sys_thread_close(t);
  EXPECT_EQ(seen, 0x027F);
}

}  // namespace
