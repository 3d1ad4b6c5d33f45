// Stand-ins for the shell's input record and the sound calls: the tests set
// keys directly and read back every sound request as a line of text.
#include <stdio.h>

#include <string>
#include <vector>

#include "game/game_internal.h"

InputState g_in;
int key_down(int vk) { return g_in.keyDown[vk & 255]; }
int key_pressed(int vk) { return g_in.keyPressed[vk & 255]; }

std::vector<std::string> g_sounds;
static void heard(const char* what, double a, double b = 0) {
  char line[64];
  snprintf(line, sizeof line, "%s %g %g", what, a, b);
  g_sounds.push_back(line);
}
void audio_music(int song) { heard("music", song); }
void audio_music_volume(float v) { heard("musicvol", v); }
void audio_sfx_volume(float v) { heard("sfxvol", v); }
void audio_sfx(int id) { heard("sfx", id); }
void audio_sfx_vol(int id, float v) { heard("sfx", id, v); }
void audio_engine(float rpm, float load) { heard("engine", rpm, load); }
