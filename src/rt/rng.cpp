// The xorshift generator (13, 17, 5) and the seconds clock.
#include "rt/rt.h"
#include "rt/sys.h"

uint32_t rng_next(uint32_t* state) {
  uint32_t x = *state;
  if (x == 0) {
    x = 1359758873u;  // a zero state would stay zero forever
  } else {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
  }
  *state = x;
  return x;
}

float rng_float(uint32_t* state) {
  return (float)(rng_next(state) >> 8) * 5.9604645e-08f;
}

float rng_range(uint32_t* state, float lo, float hi) {
  float span = hi - lo;
  return lo + span * rng_float(state);
}

static int64_t g_clockBase;  // counter at the first call
static int64_t g_clockFreq;  // counts per second; 0 until the first call

double time_now() {
  if (g_clockFreq == 0) {
    g_clockFreq = sys_counter_freq();
    g_clockBase = sys_counter();
  }
  return (double)(sys_counter() - g_clockBase) / (double)g_clockFreq;
}
