// The shell's state, readable by every module: what the command line asked
// for and the flags that end the frame loop or switch the display. The shell
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
