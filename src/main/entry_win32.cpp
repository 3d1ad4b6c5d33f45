// Windows entry point: called directly by the system, no C runtime.
#include "main/main.h"
#include "rt/sys.h"

extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
  sys_fpu_init();
  sys_exit(app_main());
}
