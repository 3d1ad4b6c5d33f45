// The x87 control word, the same on every platform and thread.
#include "rt/sys.h"

void sys_fpu_init() {
  uint16_t cw = 0x027F;
  __asm__ volatile("fldcw %0" : : "m"(cw));
}

uint16_t sys_fpu_control() {
  uint16_t cw;
  __asm__ volatile("fnstcw %0" : "=m"(cw));
  return cw;
}
