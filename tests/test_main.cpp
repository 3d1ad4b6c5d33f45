#include <gtest/gtest.h>

#include "rt/sys.h"

int main(int argc, char** argv) {
  sys_fpu_init();  // as every thread of the game does
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
