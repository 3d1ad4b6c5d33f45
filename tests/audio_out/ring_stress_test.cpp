// Two threads hammer the request ring; built with ThreadSanitizer, which
// must see the publication order as correct, and checked for order and loss.
#include <gtest/gtest.h>

#include "audio/audio_internal.h"
#include "rt/sys.h"

namespace {

AuRing g_ring;
volatile int32_t g_done;
int32_t g_expect;
int32_t g_errors;

void check(void*, const AuCmd* c) {
  if (c->arg != g_expect || c->value != (float)(g_expect & 1023) || c->type != (g_expect & 3)) g_errors++;
  g_expect++;
}

uint32_t consumer(void*) {
  while (!sys_load(&g_done)) au_ring_drain(&g_ring, check, nullptr);
  au_ring_drain(&g_ring, check, nullptr);
  return 0;
}

TEST(RequestRingStress, EveryRequestArrivesOnceAndInOrder) {
  const int kCount = 200000;
  g_ring.cmd_write = g_ring.cmd_read = (int32_t)0xFFFFFFF0u;  // the counters wrap during the run
  SysThread t = sys_thread_start(consumer, nullptr, 65536);
  ASSERT_NE(t, nullptr);
  for (int i = 0; i < kCount;) {
    if (au_ring_post(&g_ring, i & 3, i, (float)(i & 1023))) i++;  // full: try again
  }
  sys_xchg(&g_done, 1);
  ASSERT_EQ(sys_thread_wait(t, 30000), 1);
  sys_thread_close(t);
  EXPECT_EQ(g_errors, 0);
  EXPECT_EQ(g_expect, kCount);
}

}  // namespace
