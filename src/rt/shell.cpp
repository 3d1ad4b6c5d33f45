// The shell's state (plain data, zero at start).
#include "rt/shell.h"

Options g_opt;
int g_quit;
int g_toggleFullscreen;
