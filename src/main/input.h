// Keyboard, mouse and pad input: the window procedure, the key queries, the
// pad poll and the per-step edges. Shared by both platforms.
#pragma once

#include <stdint.h>

#include "rt/sys.h"

// Keyboard, mouse and pad as the game steps read them. Held flags follow the
// devices; the pressed, clicked, moved and pad-pressed edges collect until
// input_end_frame clears them after a game step.
struct InputState {
  uint8_t keyDown[256];     // held, by virtual-key code
  uint8_t keyPressed[256];  // went down (not by auto-repeat) since the edges were cleared
  int32_t mouseX, mouseY;   // last pointer position, client pixels
  int32_t mouseClicked;     // left button went down
  int32_t mouseMoved;       // pointer position changed
  int32_t padConnected;     // the last pad poll succeeded
  float padSteer;           // left stick x, about -1..1
  float padThrottle;        // right trigger, 0..1
  float padBrake;           // left trigger, 0..1
  uint32_t padDown;         // buttons held (XInput bits), left stick up/down folded in
  uint32_t padPressed;      // bits that came on, all four stick directions included
};

enum {
  PAD_UP = 0x0001, PAD_DOWN = 0x0002, PAD_LEFT = 0x0004, PAD_RIGHT = 0x0008, PAD_START = 0x0010,
  PAD_BACK = 0x0020, PAD_A = 0x1000, PAD_B = 0x2000, PAD_X = 0x4000, PAD_Y = 0x8000,
};

extern InputState g_in;

// The window procedure of the game window: keys, mouse, focus loss, closing
// and the Alt+Enter request, on both platforms.
intptr_t SYS_CALLBACK wnd_proc(SysWindow win, uint32_t msg, uintptr_t wp, intptr_t lp);
int key_down(int key);
int key_pressed(int key);
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
