// The shell's state, readable by every module: what the command line asked
// for, the flags that end the frame loop or switch the display, and the
// keyboard, mouse and pad as the game steps see them. The shell
// (main) fills them; they live here, at the bottom, so that the modules
// below the shell read them without depending on it.
#pragma once

#include <stdint.h>

// What the command line asked for. Plain data, zero at start; start-up writes
// the defaults before reading the options.
struct Options {
  int shot;           // 1 = screenshot run
  int shotTrack;      // "--shot" track number minus one
  float shotTime;     // scene time of the screenshot, seconds
  char out[260];      // screenshot path
  int demo;           // 1 = the computer drives the player's car
  int nohud;          // 1 = no HUD
  int exitAfterShot;  // 1 = quit once the screenshot is written
  int race;           // track index whose race starts at once, -1 = title screen
  int fullscreen;     // force full screen
  int windowed;       // force a window
  int laps;           // lap count replacing the saved one when > 0
  int screen;         // first menu screen: 1 setup, 2 options, else title
  int vsync;          // present on vertical retrace, no frame limiter
  int fps;            // frame-rate cap when vsync is off; <= 0 = none
  int resW, resH;     // requested client/back-buffer size; <= 0 = 640 x 480
};

extern Options g_opt;
extern int g_quit;              // the frame loop ends when set
extern int g_toggleFullscreen;  // Alt+Enter seen; consumed by the next frame

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
int key_down(int key);     // held
int key_pressed(int key);  // went down since the last game step
