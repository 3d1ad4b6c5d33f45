// Single-precision maths. Sine, cosine, arctangent and the logarithm use the
// x87 instructions on every target, so every build gets the same answers
// once the control word is 0x027F (sys_fpu_init).
#include "rt/rt.h"

static const float kPi = 3.1415927f;     // single precision
static const float kTwoPi = 6.2831855f;  // single precision

// fsin/fcos only accept |x| < 2^63; larger arguments are first reduced by
// whole turns with fprem1 (at extended precision).
static long double x87_reduce(long double x) {
  long double r;
  __asm__(
      "fldpi\n\t"
      "fadd %%st(0), %%st(0)\n\t"
      "fxch %%st(1)\n"
      "1:\n\t"
      "fprem1\n\t"
      "fnstsw %%ax\n\t"
      "testb $4, %%ah\n\t"
      "jnz 1b\n\t"
      "fstp %%st(1)\n\t"
      : "=t"(r)
      : "0"(x)
      : "ax", "cc");
  return r;
}

static int needs_reduce(float x) {
  return !(x > -4.6e18f && x < 4.6e18f) && x == x;
}

// x at extended precision, within the range fsin and fcos accept.
static long double trig_arg(float x) {
  long double v = x;
  return needs_reduce(x) ? x87_reduce(v) : v;
}

float f_sin(float x) {
  long double r;
  __asm__("fsin" : "=t"(r) : "0"(trig_arg(x)));
  return (float)r;
}

float f_cos(float x) {
  long double r;
  __asm__("fcos" : "=t"(r) : "0"(trig_arg(x)));
  return (float)r;
}

float f_sqrt(float x) {
  if (x <= 0.0f) return 0.0f;
  return __builtin_sqrtf(x);
}

float f_atan2(float y, float x) {
  long double r;
  // fpatan: st(0) = atan(st(1) / st(0)) with the quadrant of (st(0), st(1)), popped
  __asm__("fpatan" : "=t"(r) : "0"((long double)x), "u"((long double)y) : "st(1)");
  return (float)r;
}

float f_abs(float x) {
  return __builtin_fabsf(x);
}

int32_t f_to_int(float x) {
  // Out of range and NaN give the x87/SSE "integer indefinite", as the
  // conversion instructions do, instead of undefined behaviour.
  if (!(x >= -2147483648.0f && x < 2147483648.0f)) return INT32_MIN;
  return (int32_t)x;
}

float f_floor(float x) {
  // Outside the 32-bit range every float is already a whole number.
  if (!(x > -2147483648.0f && x < 2147483648.0f)) return x;
  int32_t i = f_to_int(x);
  if ((float)i > x) i--;
  return (float)i;
}

int32_t f_round(float x) {
  return f_to_int(f_floor(x + 0.5f));
}

// e^t for t <= 30 (steps 2 to 6 of f_exp): 2^n by doubling times a
// fifth-degree polynomial for e^r, r in [0, ln 2).
static float exp_core(float x) {
  if (x > 30.0f) x = 30.0f;
  float t = x * 1.4426950f;
  int32_t n = f_to_int(t);
  if ((float)n > t) n--;
  float r = (t - (float)n) * 0.69314718f;
  float p = 1.0f + r * (1.0f + r * (0.5f + r * (0.16666667f + r * (0.041666672f + r * 0.0083333300f))));
  for (; n > 0; n--) p *= 2.0f;
  for (; n < 0; n++) p *= 0.5f;
  return p;
}

float f_exp(float x) {
  if (x != x) return x;  // NaN stays NaN
  if (x < -30.0f) return 0.0f;
  return exp_core(x);
}

float f_pow(float b, float e) {
  if (!(b > 0.0f)) return b == b ? 0.0f : b;
  long double ln;
  // fyl2x: st(1) * log2(st(0)) with st(1) = ln 2 gives the natural logarithm
  __asm__("fldln2\n\tfxch %%st(1)\n\tfyl2x" : "=t"(ln) : "0"((long double)b));
  float t = e * (float)ln;
  if (t != t) return t;
  if (t < -30.0f) return 0.0f;
  return exp_core(t);
}

float f_wrap_angle(float a) {
  if (a != a) return a;
  if (a - a != 0.0f) return 0.0f;  // infinite: no angle to speak of
  // Far-out values would need millions of single-precision turns (or never
  // move at all): take whole turns off exactly on the x87 first.
  if (a > 1.0e4f || a < -1.0e4f) a = (float)x87_reduce(a);
  if (a > kPi) {
    while (a > kPi) a -= kTwoPi;
  } else {
    while (a < -kPi) a += kTwoPi;
  }
  return a;
}
