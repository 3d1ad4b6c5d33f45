// Start-up and shutdown, shared by both platforms.
#include "main/main.h"
#include "rt/rt.h"
#include "rt/sys.h"

// Makes the program file's folder the current directory, so every relative
// name (log, settings, data files, screenshot) is found beside the program.
static void enter_program_folder() {
  char path[260];
  int n = sys_program_path(path, sizeof path);
  for (int i = n - 1; i >= 0; i--) {
    if (path[i] == '\\' || path[i] == '/') {
      path[i + 1] = 0;
      sys_set_cwd(path);
      return;
    }
  }
}

int app_main() {
  enter_program_folder();
  sys_timer_period(1);
  log_open("skidline.log");
  options_parse(sys_command_line());
  log_printf("%s starting, cmd: %s", "SKIDLINE", sys_command_line());

  // The window and the frame loop come next; until then the program stops here.
  log_printf("exit");
  return 0;
}
