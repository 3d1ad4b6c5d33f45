// Start-up, the frame loop and shutdown, shared by both platforms.
#include "main/input.h"
#include "main/main.h"

#include "assets/assets.h"
#include "audio/audio.h"
#include "car/car.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "rt/rt.h"
#include "rt/sys.h"
#include "scene/scene.h"

double g_runTime;

static const char kTitle[] = "SKIDLINE";
static const char kClass[] = "SkidlineWnd";

// Makes the program file's folder the current directory, so every relative
// name (log, settings, data files, screenshot) is found beside the program.
static void enter_program_folder() {
  char path[260];
  int n = sys_program_path(path, sizeof path);
  for (int i = n - 1; i >= 0; i--) {
    if (path[i] == '\\' || path[i] == '/') {
      path[i + 1] = 0;
      sys_set_cwd(path);
      return;
    }
  }
}

int loop_run_steps(double* bank) {
  int steps = 0;
  while (*bank >= (double)STEP_SECONDS && !g_quit) {
    if (steps == MAX_STEPS_PER_PASS) break;
    game_tick(STEP_SECONDS);
    *bank -= (double)STEP_SECONDS;
    g_runTime += (double)STEP_SECONDS;
    input_end_frame();
    steps++;
  }
  // A pass that needed more than five steps drops the rest: the game slows
  // down instead of spiralling.
  if (steps == MAX_STEPS_PER_PASS) *bank = 0.0;
  return steps;
}

uint32_t limiter_sleep_ms(double* schedule, double now, int fps, int vsync) {
  if (vsync || fps <= 0) return 0;
  double frame = 1.0 / (double)fps;
  *schedule += frame;
  double remaining = *schedule - now;
  if (remaining < -frame) {  // more than a frame late: start again from now
    *schedule = now;
    return 0;
  }
  if (remaining <= 0.0005) return 0;
  return (uint32_t)(remaining * 1000.0 + 0.5);
}

int stats_frame(LoopStats* st, double now, double simEnd, double renderEnd, double presentEnd, int d3dCalls) {
  st->frames++;
  st->sim += simEnd - now;
  st->render += renderEnd - simEnd;
  st->present += presentEnd - renderEnd;
  double elapsed = now - st->start;
  if (!(elapsed > 5.0)) return 0;
  double f = (double)st->frames;
  log_printf("fps %.1f  sim %.2f ms  render %.2f ms  present %.2f ms  d3d %d/frame  hits w%d p%d c%d k%d",
             f / elapsed, 1000.0 * st->sim / f, 1000.0 * st->render / f, 1000.0 * st->present / f,
             (d3dCalls - st->d3dStart) / st->frames, g_hitWalls, g_hitProps, g_hitCones, g_hitCars);
  st->frames = 0;
  st->sim = st->render = st->present = 0.0;
  st->start = now;
  st->d3dStart = d3dCalls;
  return 1;
}

int title_shot_due() {
  return g_opt.shot && g_opt.race < 0 && !g_shotDone && g_runTime >= (double)g_opt.shotTime;
}

// A title-screen shot is timed from the start of the program: the attract
// race behind the menus restarts on its own, so its scene time may never
// reach a late shot time. Taken before presentation, like every shot.
static void title_shot() {
  if (!title_shot_due()) return;
  g_shotDone = 1;
  gfx_save_shot(g_opt.out);
  if (g_opt.exitAfterShot) g_quit = 1;
}

static void frame_loop() {
  LoopStats st;
  memset(&st, 0, sizeof st);
  double prev = time_now();
  st.start = prev;
  st.d3dStart = g_d3dCalls;
  double schedule = time_now();
  double bank = 0.0;

  for (;;) {
    if (!sys_pump_messages()) g_quit = 1;
    if (g_quit) return;  // closed: no further step or frame
    if (g_toggleFullscreen) {
      g_toggleFullscreen = 0;
      gfx_set_fullscreen(!g_fullscreen);
    }

    double now = time_now();
    double dt = now - prev;
    if (dt < 0.0) dt = 0.0;
    if (dt > 0.1) dt = 0.1;
    bank += dt;
    input_poll_pad();
    loop_run_steps(&bank);

    double simEnd = time_now(), renderEnd = simEnd;
    if (gfx_ready()) {
      game_render();
      title_shot();
      renderEnd = time_now();
      gfx_end_low_and_present();
    }
    double presentEnd = time_now();

    uint32_t ms = limiter_sleep_ms(&schedule, time_now(), g_opt.fps, g_opt.vsync);
    if (ms) sys_sleep(ms);
    stats_frame(&st, now, simEnd, renderEnd, presentEnd, g_d3dCalls);
    if (g_quit) return;
    prev = now;
  }
}

int app_main() {
  enter_program_folder();
  sys_timer_period(1);
  log_open("skidline.log");
  options_parse(sys_command_line());
  log_printf("%s starting, cmd: %s", kTitle, sys_command_line());

  sys_window_register(kClass, wnd_proc);
  int fullscreen = game_want_fullscreen();
  int w, h;
  gfx_window_size(&w, &h);
  SysWindow win = sys_window_create(kClass, kTitle, fullscreen, w, h);
  if (!win) {
    log_printf("CreateWindow failed");
    return 1;
  }
  if (!gfx_init(win, fullscreen)) {
    static const char kNoD3d[] = "Direct3D 9 could not be initialised.";
    if (!sys_error_box(kNoD3d, kTitle)) log_printf("%s", kNoD3d);  // no display to show it on
    return 1;
  }
  assets_init();
  audio_init();  // without sound the game runs silently
  game_init();

  frame_loop();

  log_printf("hits: walls %d props %d cones %d cars %d", g_hitWalls, g_hitProps, g_hitCones, g_hitCars);
  log_printf("exit");
  audio_shutdown();
  gfx_shutdown();
  return 0;
}
