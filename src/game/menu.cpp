// Menus: keyboard, pad and mouse input shared by every menu, and the rows
// of the setup and options menus.
#include "game/game_internal.h"
#include "gfx/gfx.h"
#include "audio/audio.h"
#include "track/track.h"

const MenuLayout L_TITLE = {100, 136, 120, 16};
const MenuLayout L_SETUP = {50, 150, 220, 13};
const MenuLayout L_OPTIONS = {60, 120, 200, 16};
const MenuLayout L_PAUSE = {100, 112, 120, 16};
const MenuLayout L_RESULTS = {100, 176, 120, 14};

const char* const g_titleRows[3] = {"RACE", "OPTIONS", "QUIT"};
const char* const g_pauseRows[3] = {"RESUME", "RESTART", "QUIT TO MENU"};
const char* const g_resultsRows[3] = {"RETRY", "NEXT TRACK", "MENU"};

enum { SFX_MOVE = 3, SFX_CONFIRM = 4, SFX_BACK = 5 };

int menu_hit(int count, float x, float y, float w, float h, float px, float py) {
  int hit = -1;
  for (int i = 0; i < count; i++) {
    float top = y + (float)i * h - 3.0f;
    if (x <= px && px < x + w && top <= py && py < top + h) hit = i;
  }
  return hit;
}

int menu_input(MenuItem* items, int count, float x, float y, float w, float h, int* outSel) {
  int entry = g_sel;
  if (key_pressed(KEY_UP) || key_pressed('W') || (g_in.padPressed & PAD_UP)) g_sel = (g_sel - 1 + count) % count;
  if (key_pressed(KEY_DOWN) || key_pressed('S') || (g_in.padPressed & PAD_DOWN)) g_sel = (g_sel + 1) % count;
  if (g_sel >= count) g_sel = count - 1;
  if (g_sel < 0) g_sel = 0;

  float lx, ly;
  gfx_screen_to_low(g_in.mouseX, g_in.mouseY, &lx, &ly);
  float px = lx - (float)((g_lowW - 320) / 2);
  float py = ly - (float)((g_lowH - 240) / 2);
  int hit = menu_hit(count, x, y, w, h, px, py);

  if (g_in.mouseMoved && hit >= 0) g_sel = hit;
  *outSel = g_sel;
  if (g_in.mouseClicked && hit >= 0) {
    g_sel = *outSel = hit;
    if (!items[hit].adjustable) {
      audio_sfx(SFX_CONFIRM);
      return MENU_CONFIRM;
    }
    audio_sfx(SFX_MOVE);
    return px >= x + 0.68f * w ? MENU_INC : MENU_DEC;
  }
  if (key_pressed(KEY_ESC) || key_pressed(KEY_BACKSPACE) || (g_in.padPressed & (PAD_B | PAD_BACK))) {
    audio_sfx(SFX_BACK);
    return MENU_BACK;
  }
  int confirm = key_pressed(KEY_ENTER) || key_pressed(KEY_SPACE) || (g_in.padPressed & (PAD_A | PAD_START));
  if (!items[g_sel].adjustable) {
    if (confirm) {
      audio_sfx(SFX_CONFIRM);
      return MENU_CONFIRM;
    }
  } else {
    if (key_pressed(KEY_LEFT) || key_pressed('A') || (g_in.padPressed & PAD_LEFT)) {
      audio_sfx(SFX_MOVE);
      return MENU_DEC;
    }
    if (key_pressed(KEY_RIGHT) || key_pressed('D') || (g_in.padPressed & PAD_RIGHT) || confirm) {
      audio_sfx(SFX_MOVE);
      return MENU_INC;
    }
  }
  if (g_sel != entry) audio_sfx(SFX_MOVE);
  return MENU_NONE;
}

static void row(MenuItem* item, const char* label, const char* value, int adjustable) {
  item->label = label;
  str_cpy(item->value, value, sizeof item->value);
  item->adjustable = adjustable;
}

void build_plain(MenuItem* items, const char* const* labels, int count) {
  memset(items, 0, sizeof(MenuItem) * (size_t)count);
  for (int i = 0; i < count; i++) items[i].label = labels[i];
}

void build_setup(MenuItem* items) {
  memset(items, 0, sizeof(MenuItem) * 6);
  char laps[16];
  fmt(laps, sizeof laps, "%d", g_set.laps);
  row(&items[0], "TRACK", track_name(g_set.track), 1);
  row(&items[1], "CAR", g_shapeTitle[g_set.shape], 1);
  row(&items[2], "COLOURS", g_liveryTitle[g_set.shape * 4 + g_set.livery], 1);
  row(&items[3], "LAPS", laps, 1);
  row(&items[4], "START RACE", "", 0);
  row(&items[5], "BACK", "", 0);
}

void build_options(MenuItem* items) {
  memset(items, 0, sizeof(MenuItem) * 5);
  row(&items[0], "DISPLAY", g_fullscreen ? "FULLSCREEN" : "WINDOW", 1);
  row(&items[1], "CAMERA", g_set.camera ? "FAR" : "NEAR", 1);
  row(&items[2], "HUD", g_set.hud ? "ON" : "OFF", 1);
  row(&items[3], "SOUND", g_soundTitle[g_set.sound], 1);
  row(&items[4], "BACK", "", 0);
}
