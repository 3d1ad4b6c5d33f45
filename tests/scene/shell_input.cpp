// The scene tests drive no input: an idle keyboard, mouse and pad in place
// of the shell's.
#include "game/game_internal.h"

InputState g_in;
int key_down(int) { return 0; }
int key_pressed(int) { return 0; }
