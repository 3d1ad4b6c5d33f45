// The settings reader on arbitrary text: every field it keeps is valid, and
// the text written from the result reads back to the same settings.
#include <stdlib.h>
#include <string.h>

#include "game/game_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char* text = (char*)malloc(size + 1);
  memcpy(text, data, size);
  text[size] = 0;
  g_set = Settings{0, 0, 0, 3, 0, 1, 1, 0};
  settings_parse(text);
  free(text);
  const Settings s = g_set;
  if (s.track < 0 || s.track > 2 || s.shape < 0 || s.shape > 2 || s.livery < 0 || s.livery > 3 || s.laps < 1 ||
      s.laps > 9 || s.sound < 0 || s.sound > 2)
    __builtin_trap();
  g_overridden = OVR_DISPLAY;  // write the record's own display field
  char buf[256];
  int n = settings_text(buf, sizeof buf);
  if (n >= (int)sizeof buf) __builtin_trap();
  g_set = Settings{};
  settings_parse(buf);
  if (memcmp(&g_set, &s, sizeof s) != 0) __builtin_trap();
  return 0;
}
