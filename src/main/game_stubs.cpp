// Stand-ins for the game until the game, car and scene modules are linked:
// a frame in the circuit's sky colour with a HUD line or a title box, the
// screenshot run, Esc to quit. Nothing else depends on this file.
#include "assets/assets.h"
#include "gfx/gfx.h"
#include "main/input.h"
#include "main/main.h"
#include "rt/rt.h"

int g_hitWalls, g_hitProps, g_hitCones, g_hitCars;

static float g_sceneTime;
static int g_shotDone;

static const uint32_t g_skyTops[3] = {0xFF2C50C0u, 0xFF2C1840u, 0xFF0D0F1Fu};

int game_want_fullscreen() { return g_opt.fullscreen && !g_opt.windowed; }

void game_init() {
  g_sceneTime = 0.0f;
  g_shotDone = 0;
}

void game_tick(float dt) {
  g_sceneTime += dt;
  if (key_pressed(SYS_VK_ESCAPE)) g_quit = 1;
}

void game_render() {
  int track = g_opt.race;
  gfx_begin_low(track >= 0 ? g_skyTops[track] : 0xFF203040u);
  ui_begin();
  if (track < 0) {
    ui_rect((float)(g_lowW / 2 - 60), 120.0f, 120.0f, 60.0f, 0xC0000000u);
    ui_text_center((float)(g_lowW / 2), 130.0f, 1.0f, 0xFFFFFFFFu, "RACE");
    ui_text_center((float)(g_lowW / 2), 150.0f, 1.0f, 0xFFFFFFFFu, "QUIT");
  } else if (!g_opt.nohud) {
    ui_text(8.0f, 8.0f, 1.0f, 0xFFFFFF00u, "LAP 1/3");
  }
  ui_flush();

  // The title screen's shot is timed from the start of the program.
  float t = track < 0 ? (float)g_runTime : g_sceneTime;
  if (g_opt.shot && !g_shotDone && t >= g_opt.shotTime) {
    g_shotDone = 1;
    gfx_save_shot(g_opt.out);
    if (g_opt.exitAfterShot) g_quit = 1;
  }
}
