// Keyboard, mouse and pad input: the window procedure, the key queries, the
// pad poll and the per-step edges. Shared by both platforms.
#pragma once

#include <stdint.h>

#include "rt/shell.h"
#include "rt/sys.h"


// The window procedure of the game window: keys, mouse, focus loss, closing
// and the Alt+Enter request, on both platforms.
intptr_t SYS_CALLBACK wnd_proc(SysWindow win, uint32_t msg, uintptr_t wp, intptr_t lp);
void input_poll_pad();  // once per displayed frame, before the game steps
void input_end_frame();  // after every game step

// The pad layer's view of XInput: XInputGetState(0, &state), 0 = a pad answered.
struct XInputPadState {
  uint32_t packet;
  uint16_t buttons;
  uint8_t leftTrigger, rightTrigger;
  int16_t thumbLX, thumbLY, thumbRX, thumbRY;
};
typedef uint32_t(SYS_CALLBACK* XInputGetStateFn)(uint32_t user, XInputPadState* state);
enum { XINPUT_NOT_CONNECTED = 1167 };

#if SK_SDL
// The built-in "xinput*.dll" of the Linux build: the first SDL game controller.
void* pad_sdl_proc(const char* name);
#endif

// Tests: input and the pad search back to their state at start.
void input_reset();
