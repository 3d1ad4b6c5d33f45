// The Settings record and the settings file "skidline.cfg".
#include "game/game_internal.h"
#include "gfx/gfx.h"

Settings g_set = {0, 0, 0, 3, 0, 1, 1, 0};

const char* const g_shapeTitle[3] = {"HATCH", "WEDGE", "TRUCK"};
const char* const g_liveryTitle[12] = {
    "WHITE #7",   "RED #12", "BLUE #3",  "GREEN #21",  // HATCH
    "RED #1",     "YELLOW #5", "SILVER #9", "PURPLE #8",  // WEDGE
    "ORANGE #44", "TEAL #17", "OLIVE #33", "BLACK #66",  // TRUCK
};
const char* const g_soundTitle[3] = {"ON", "QUIET", "OFF"};
const float g_soundVol[3] = {1.0f, 0.5f, 0.0f};

static const char* const kFile = "skidline.cfg";
static const char* const kTemp = "skidline.cfg.tmp";

int g_overridden;
Settings g_fileSettings = {0, 0, 0, 3, 0, 1, 1, 0};

static void validate(Settings* s) {
  if (s->track < 0 || s->track > 2) s->track = 0;
  if (s->shape < 0 || s->shape > 2) s->shape = 0;
  if (s->livery < 0 || s->livery > 3) s->livery = 0;
  if (s->laps < 1 || s->laps > 9) s->laps = 3;
  if (s->sound < 0 || s->sound > 2) s->sound = 0;
}

void settings_parse(char* text) {
  static const char* const keys[8] = {"track", "shape", "livery", "laps", "camera", "hud", "fullscreen", "sound"};
  int32_t* fields[8] = {&g_set.track,  &g_set.shape, &g_set.livery,     &g_set.laps,
                        &g_set.camera, &g_set.hud,   &g_set.fullscreen, &g_set.sound};
  char* line = text;
  while (line) {
    char* next = line;
    while (*next && *next != '\n') next++;
    if (*next)
      *next++ = 0;
    else
      next = nullptr;
    char* eq = line;
    while (*eq && *eq != '=') eq++;
    if (*eq) {
      *eq = 0;
      for (int k = 0; k < 8; k++)
        if (str_eq(line, keys[k])) *fields[k] = str_to_int(eq + 1);
    }
    line = next;
  }
  validate(&g_set);
}

int game_want_fullscreen() {
  char* text = (char*)file_read(kFile, nullptr);
  if (text) {
    settings_parse(text);
    mem_free(text);
  }
  g_fileSettings = g_set;
  if (g_opt.windowed || g_opt.fullscreen || g_opt.shot) g_overridden |= OVR_DISPLAY;
  if (g_opt.windowed) return 0;
  if (g_opt.fullscreen) return 1;
  if (g_opt.shot) return 0;
  return g_set.fullscreen;
}

int settings_text(char* buf, int cap) {
  Settings s = g_set;
  // What the command line chose for this run is not the player's choice.
  if (g_overridden & OVR_TRACK) s.track = g_fileSettings.track;
  if (g_overridden & OVR_LAPS) s.laps = g_fileSettings.laps;
  s.fullscreen = (g_overridden & OVR_DISPLAY) ? g_set.fullscreen : g_fullscreen;
  validate(&s);
  return fmt(buf, cap, "track=%d\r\nshape=%d\r\nlivery=%d\r\nlaps=%d\r\ncamera=%d\r\nhud=%d\r\nfullscreen=%d\r\nsound=%d\r\n",
             s.track, s.shape, s.livery, s.laps, s.camera, s.hud, s.fullscreen, s.sound);
}

void settings_save() {
  char buf[256];
  int n = settings_text(buf, sizeof buf);
  if (n >= (int)sizeof buf) return;
  // The old file stays until the new one is complete.
  if (file_write(kTemp, buf, n)) settings_replace(kTemp, kFile);
}
