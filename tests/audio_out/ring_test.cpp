// The request ring between the game thread and the audio thread.
#include <gtest/gtest.h>

#include <vector>

#include "audio/audio_internal.h"

namespace {

void record(void* ctx, const AuCmd* c) { ((std::vector<AuCmd>*)ctx)->push_back(*c); }

TEST(RequestRing, SixtyFourFitTheSixtyFifthIsDroppedAllApplyInOrderAcrossTheWrap) {
  static AuRing r;
  r.cmd_write = r.cmd_read = (int32_t)0xFFFFFFF0u;  // a long session's worth of requests
  std::vector<AuCmd> seen;
  for (int round = 0; round < 4; round++) {
    for (int i = 0; i < 64; i++) ASSERT_EQ(au_ring_post(&r, AU_SFX + round, i, 0.5f + i), 1) << i;
    EXPECT_EQ(au_ring_post(&r, AU_MUSIC, 99, 0), 0) << "the 65th request is dropped";
    seen.clear();
    ASSERT_EQ(au_ring_drain(&r, record, &seen), 64);
    for (int i = 0; i < 64; i++) {
      EXPECT_EQ(seen[i].type, AU_SFX + round);
      EXPECT_EQ(seen[i].arg, i);
      EXPECT_EQ(seen[i].value, 0.5f + i);
    }
    EXPECT_EQ(au_ring_drain(&r, record, &seen), 0) << "nothing twice";
    ASSERT_EQ(au_ring_post(&r, AU_MUSIC, 3, 0), 1) << "room again after draining";
    ASSERT_EQ(au_ring_drain(&r, record, &seen), 1);
  }
}

}  // namespace
