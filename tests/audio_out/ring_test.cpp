// The request ring between the game thread and the audio thread.
#include <gtest/gtest.h>

#include <vector>

#include "audio/audio_internal.h"

namespace {

struct Seen {
  std::vector<AuCmd> cmds;
};

void record(void* ctx, const AuCmd* c) { ((Seen*)ctx)->cmds.push_back(*c); }

TEST(RequestRing, SixtyFourFitTheSixtyFifthIsDroppedAndAllApplyInOrder) {
  static AuRing r;  // zero = empty
  for (int i = 0; i < 64; i++) ASSERT_EQ(au_ring_post(&r, AU_SFX, i, 0.5f + i), 1) << i;
  EXPECT_EQ(au_ring_post(&r, AU_MUSIC, 99, 0), 0) << "the 65th request is dropped";
  Seen seen;
  EXPECT_EQ(au_ring_drain(&r, record, &seen), 64);
  ASSERT_EQ(seen.cmds.size(), 64u);
  for (int i = 0; i < 64; i++) {
    EXPECT_EQ(seen.cmds[i].type, AU_SFX);
    EXPECT_EQ(seen.cmds[i].arg, i);
    EXPECT_EQ(seen.cmds[i].value, 0.5f + i);
  }
  EXPECT_EQ(au_ring_drain(&r, record, &seen), 0) << "nothing twice";
  EXPECT_EQ(au_ring_post(&r, AU_MUSIC, 3, 0), 1) << "room again after draining";
}

TEST(RequestRing, CountsWrapAroundTheirFullRange) {
  static AuRing r;
  r.cmd_write = r.cmd_read = (int32_t)0xFFFFFFF0u;  // a long session's worth of requests
  Seen seen;
  int next = 0;
  for (int round = 0; round < 10; round++) {
    for (int i = 0; i < 40; i++) ASSERT_EQ(au_ring_post(&r, AU_MUSIC_VOLUME, next + i, 0), 1);
    seen.cmds.clear();
    ASSERT_EQ(au_ring_drain(&r, record, &seen), 40);
    for (int i = 0; i < 40; i++) ASSERT_EQ(seen.cmds[i].arg, next + i);
    next += 40;
  }
  for (int i = 0; i < 64; i++) ASSERT_EQ(au_ring_post(&r, AU_SFX, i, 0), 1);
  EXPECT_EQ(au_ring_post(&r, AU_SFX, 64, 0), 0) << "full is full across the wrap too";
}

}  // namespace
