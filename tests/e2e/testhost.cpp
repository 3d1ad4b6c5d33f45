// The Linux game with two test-only switches in front of its own options:
//   --block NAME    the built-in library NAME (e.g. d3d9.dll) is missing
//   --script FILE   player input pushed into SDL's event queue, one event per
//                   line: "SECONDS down|up|tap KEY [alt]" or "SECONDS close",
//                   SECONDS of game time since the start, KEY an SDL key name
//                   with "_" for spaces
// Everything after them is the game's command line, as with the real program.
#include <SDL.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "audio/waveout.h"
#include "soft/soft.h"
#include "main/input.h"
#include "main/main.h"
#include "rt/sys.h"

namespace {

struct Step { double at; std::string action, key; bool alt; };

std::vector<Step> g_script;
size_t g_next;

void push_key(Uint32 type, const std::string& name, bool alt) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type, e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = SDL_GetKeyFromName(name.c_str());
  e.key.keysym.scancode = SDL_GetScancodeFromKey(e.key.keysym.sym);
  e.key.keysym.mod = alt ? KMOD_LALT : KMOD_NONE;
  if (e.key.keysym.sym == SDLK_UNKNOWN) fprintf(stderr, "testhost: unknown key %s\n", name.c_str());
  SDL_PushEvent(&e);
}

void play_script() {
  while (g_next < g_script.size() && g_script[g_next].at <= g_runTime) {
    const Step& s = g_script[g_next++];
    if (s.action == "down" || s.action == "tap") push_key(SDL_KEYDOWN, s.key, s.alt);
    if (s.action == "up" || s.action == "tap") push_key(SDL_KEYUP, s.key, s.alt);
    if (s.action == "close") {
      SDL_Event e;
      SDL_zero(e);
      e.type = SDL_WINDOWEVENT, e.window.event = SDL_WINDOWEVENT_CLOSE;
      SDL_PushEvent(&e);
    }
  }
}

bool read_script(const char* path) {
  FILE* f = fopen(path, "r");
  if (!f) return false;
  char line[256];
  while (fgets(line, sizeof line, f)) {
    char action[32] = "", key[64] = "", mod[16] = "";
    double at;
    if (line[0] == '#' || sscanf(line, "%lf %31s %63s %15s", &at, action, key, mod) < 2) continue;
    for (char* c = key; *c; c++)
      if (*c == '_') *c = ' ';  // SDL's names have spaces: "Left Alt"
    g_script.push_back(Step{at, action, key, strcmp(mod, "alt") == 0});
  }
  fclose(f);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  sys_fpu_init();
  sys_lib_provide("d3d9.dll", soft_d3d9_proc);
  sys_lib_provide("winmm.dll", waveout_sdl_proc);
  sys_lib_provide("xinput1_4.dll", pad_sdl_proc);
  std::vector<char*> args{argv[0]};
  int i = 1;
  for (; i + 1 < argc; i += 2) {
    if (strcmp(argv[i], "--block") == 0) {
      sys_lib_block(argv[i + 1], 1);
    } else if (strcmp(argv[i], "--script") == 0) {
      if (!read_script(argv[i + 1])) {
        fprintf(stderr, "testhost: cannot read %s\n", argv[i + 1]);
        return 2;
      }
      sys_test_pump_hook(play_script);
    } else {
      break;
    }
  }
  for (; i < argc; i++) args.push_back(argv[i]);
  sys_set_args((int)args.size(), args.data());
  sys_exit(app_main());
}
