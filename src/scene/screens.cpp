// The 2D screen of each game state over the scene, the results table and
// the automatic screenshot of an unattended run.
#include "car/car.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "rt/shell.h"
#include "scene/scene.h"
#include "track/track.h"
#include "ui/ui.h"

int g_shotDone;

static MenuItem scratch[3];

static void box(float x, float y, float w, float h) {
  ui_rect(x, y, w, h, 0xB0101828u);
  ui_rect(x, y, w, 1, 0xFFFFD040u);
  ui_rect(x, y + h - 1, w, 1, 0xFFFFD040u);
}

// A menu of three plain rows.
static void plain_menu(const char* const* labels, const MenuLayout& l) {
  build_plain(scratch, labels, 3);
  menu_draw(scratch, 3, l.x, l.y, l.w, l.h);
}

float results_time(int car) {
  const Car* c = &g_cars[car];
  if (c->finished) return c->finishTime;
  float progress = car_progress(c);
  float clock = g_raceTime > 1.0f ? g_raceTime : 1.0f;
  float speed = progress / clock;
  if (!(speed > 20.0f)) speed = 20.0f;
  return g_raceTime + ((float)g_laps * g_track.length - progress) / speed;
}

void results_order(const float times[SC_FIELD], int order[SC_FIELD]) {
  for (int i = 0; i < SC_FIELD; i++) order[i] = i;
  for (int p = 0; p < SC_FIELD - 1; p++)
    for (int q = p + 1; q < SC_FIELD; q++)
      if (times[order[q]] < times[order[p]]) {
        int t = order[p];
        order[p] = order[q], order[q] = t;
      }
}

static void draw_results() {
  char buf[64], t[32];
  box(40, 20, 240, 214);
  ui_text_center(160, 28, 2, 0xFFFFD040u, "RESULTS");
  ui_text_center(160, 46, 1, 0xFFB0C0D0u, g_track.name);

  float times[SC_FIELD];
  int order[SC_FIELD];
  for (int i = 0; i < SC_FIELD; i++) times[i] = results_time(i);
  results_order(times, order);
  for (int r = 0; r < SC_FIELD; r++) {
    const Car* c = &g_cars[order[r]];
    float y = 62.0f + 16.0f * (float)r;
    if (order[r] == 0) ui_rect(52, y - 4, 216, 15, 0x50FFD040u);
    fmt(buf, sizeof buf, "%d%s", r + 1, place_suffix(r + 1));
    ui_text(60, y, 1, 0xFFFFFFFFu, buf);
    ui_rect(90, y, 6, 7, livery_colour(c->shape, c->livery));
    ui_text(102, y, 1, 0xFFFFFFFFu, c->name);
    time_text(t, sizeof t, times[order[r]]);
    if (c->finished) {
      ui_text(256 - ui_text_width(t, 1), y, 1, 0xFFFFFFFFu, t);
    } else {
      fmt(buf, sizeof buf, "~%s", t);
      ui_text(256 - ui_text_width(buf, 1), y, 1, 0xFF909090u, buf);
    }
  }
  time_text(t, sizeof t, g_cars[0].bestLap);
  fmt(buf, sizeof buf, "YOUR BEST LAP %s", t);
  ui_text_center(160, 132, 1, 0xFF80FF80u, buf);
  if (g_stateTime > 0.8f) plain_menu(g_resultsRows, L_RESULTS);
}

void draw_state_screen() {
  int hud = g_set.hud && !g_opt.nohud;
  switch (g_state) {
    case 0:
      ui_origin(1);
      draw_logo();
      box(90, 126, 140, 62);
      plain_menu(g_titleRows, L_TITLE);
      ui_text_center(160, 218, 1, 0xC0FFFFFFu, "ARROWS / PAD - ENTER - ESC");
      ui_text_center(160, 229, 1, 0x90FFFFFFu, "A DEMO GAME FOR BRONTIL");
      break;
    case 1:
      ui_origin(1);
      draw_setup();
      break;
    case 2: {
      ui_origin(1);
      draw_logo();
      MenuItem rows[5];
      build_options(rows);
      box(50, 98, 220, 108);
      ui_text_center(160, 104, 1, 0xFFFFD040u, "OPTIONS");
      menu_draw(rows, 5, L_OPTIONS.x, L_OPTIONS.y, L_OPTIONS.w, L_OPTIONS.h);
      break;
    }
    case 3:
    case 4:
      if (hud) draw_hud();
      break;
    case 5:
      if (hud) draw_hud();
      ui_origin(1);
      box(90, 82, 140, 84);
      ui_text_center(160, 88, 2, 0xFFFFD040u, "PAUSED");
      plain_menu(g_pauseRows, L_PAUSE);
      break;
    case 6:
      ui_origin(1);
      draw_results();
      break;
    default:
      break;
  }
  ui_flush();
  ui_origin(0);

  if (g_opt.shot && !g_shotDone && g_sceneTime >= g_opt.shotTime) {
    g_shotDone = 1;
    gfx_save_shot(g_opt.out);
    if (g_opt.exitAfterShot) g_quit = 1;
  }
}
