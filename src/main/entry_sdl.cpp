// Linux entry point.
#include "main/main.h"
#include "rt/sys.h"

int main(int argc, char** argv) {
  sys_fpu_init();
  sys_set_args(argc, argv);
  sys_exit(app_main());
}
