// Track texts: line and token rules, header keywords, loading and falling back.
#include "track_test_util.h"

namespace {

using Load = TrackTest;

TEST_F(Load, BuiltinCircuitsLoadToTheirSummaries) {
  for (int i = 0; i < 3; i++) {
    double t0 = time_now();
    ASSERT_EQ(track_load(i), 1);
    printf("%.2f ms\n", (time_now() - t0) * 1000);
  }
  printf("%s", log().c_str());
}

}  // namespace
