// What the game reads from the shell: the options, the quit flag and the
// input record with its two key queries.
#pragma once

#include <stdint.h>

#include "game/game.h"
#include "rt/shell.h"

struct InputState {
  uint8_t keyDown[256];
  uint8_t keyPressed[256];
  int32_t mouseX, mouseY;  // client pixels
  int32_t mouseClicked;
  int32_t mouseMoved;
  int32_t padConnected;
  float padSteer;
  float padThrottle;
  float padBrake;
  uint32_t padDown;
  uint32_t padPressed;
};

extern InputState g_in;
int key_down(int vk);
int key_pressed(int vk);

// Virtual-key codes the game tests.
enum {
  KEY_BACKSPACE = 0x08,
  KEY_ENTER = 0x0D,
  KEY_ESC = 0x1B,
  KEY_SPACE = 0x20,
  KEY_LEFT = 0x25,
  KEY_UP = 0x26,
  KEY_RIGHT = 0x27,
  KEY_DOWN = 0x28,
};

// Pad bits (XInput button word).
enum {
  PAD_UP = 0x0001,
  PAD_DOWN = 0x0002,
  PAD_LEFT = 0x0004,
  PAD_RIGHT = 0x0008,
  PAD_START = 0x0010,
  PAD_BACK = 0x0020,
  PAD_A = 0x1000,
  PAD_B = 0x2000,
  PAD_X = 0x4000,
  PAD_Y = 0x8000,
};

// The player's saved choices where the command line overrides them for a run.
enum { OVR_TRACK = 1, OVR_LAPS = 2, OVR_DISPLAY = 4 };
extern int g_overridden;        // OVR_ bits: set by the command line, cleared by the player's own change
extern Settings g_fileSettings;  // the settings as read from the file
extern int g_countdownResumed;  // the pause menu has just returned to the countdown

// Replaces the settings file with the temporary one; 1 = done.
int settings_replace(const char* tmp, const char* path);
