// What the game reads from the shell: the options, the quit flag and the
// input record with its two key queries.
#pragma once

#include <stdint.h>

#include "game/game.h"
#include "rt/shell.h"

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

// The player's saved choices where the command line overrides them for a run.
enum { OVR_TRACK = 1, OVR_LAPS = 2, OVR_DISPLAY = 4 };
extern int g_overridden;        // OVR_ bits: set by the command line, cleared by the player's own change
extern Settings g_fileSettings;  // the settings as read from the file
extern int g_countdownResumed;  // the pause menu has just returned to the countdown

