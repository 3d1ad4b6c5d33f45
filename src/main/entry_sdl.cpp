// Linux entry point. The libraries the game loads by name on Windows are
// built in here: the software Direct3D 9 device, wave output on SDL audio
// and the pad on SDL's game controllers.
#include "audio/waveout.h"
#include "soft/soft.h"
#include "main/input.h"
#include "main/main.h"
#include "rt/sys.h"

int main(int argc, char** argv) {
  sys_fpu_init();
  sys_set_args(argc, argv);
  sys_lib_provide("d3d9.dll", soft_d3d9_proc);
  sys_lib_provide("winmm.dll", waveout_sdl_proc);
  sys_lib_provide("xinput1_4.dll", pad_sdl_proc);
  sys_exit(app_main());
}
