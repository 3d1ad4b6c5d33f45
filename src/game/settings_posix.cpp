// Replacing the settings file in one step (POSIX).
#include <stdio.h>

#include "game/game_internal.h"

int settings_replace(const char* tmp, const char* path) {
  return rename(tmp, path) == 0;
}
