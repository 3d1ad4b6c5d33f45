// Replacing the settings file in one step (kernel32).
#include <windows.h>

#include "game/game_internal.h"

int settings_replace(const char* tmp, const char* path) {
  return MoveFileExA(tmp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
