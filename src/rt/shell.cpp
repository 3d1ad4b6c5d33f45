// The shell's state (plain data, zero at start).
#include "rt/shell.h"

Options g_opt;
int g_quit;
int g_toggleFullscreen;
InputState g_in;

int key_down(int key) { return g_in.keyDown[key & 0xFF]; }
int key_pressed(int key) { return g_in.keyPressed[key & 0xFF]; }
