// The state machine: one fixed step of the whole game.
#include "audio/audio.h"
#include "game/game_internal.h"
#include "gfx/gfx.h"

int g_state;
float g_stateTime;
float g_sceneTime;
int g_sel;


// Countdown time at the moment of pausing: the pause menu returns to it.
static float g_pausedCountdown = -1.0f;

static void enter(int state, int sel = 0) {
  g_state = state;
  g_stateTime = 0.0f;
  g_sel = sel;
}

static void race_on_track() {
  setup_race(g_set.track, 0);
  g_pausedCountdown = -1.0f;
  enter(ST_COUNTDOWN);
}

static void attract_on_track() {
  setup_race(g_set.track, 1);
  enter(ST_TITLE);
}

void game_init() {
  if (g_opt.laps > 0) {
    g_set.laps = g_opt.laps;
    g_overridden |= OVR_LAPS;
  }
  if (g_opt.race >= 0) {
    g_set.track = g_opt.race;
    g_overridden |= OVR_TRACK;
    setup_race(g_set.track, 0);
    g_state = ST_COUNTDOWN;
  } else {
    setup_race(g_set.track, 1);
    g_state = g_opt.screen == 1 ? ST_SETUP : (g_opt.screen == 2 ? ST_OPTIONS : ST_TITLE);
  }
  g_stateTime = 0.0f;
  g_sel = 0;
}

static int pause_pressed(uint32_t padBits) {
  if (g_opt.shot) return 0;
  return key_pressed(KEY_ESC) || key_pressed(KEY_BACKSPACE) || (g_in.padPressed & padBits);
}

static void title_step() {
  MenuItem items[3];
  build_plain(items, g_titleRows, 3);
  int sel;
  int r = menu_input(items, 3, L_TITLE.x, L_TITLE.y, L_TITLE.w, L_TITLE.h, &sel);
  if (r == MENU_BACK) {
    g_sel = 2;
  } else if (r == MENU_CONFIRM) {
    if (sel == 0) enter(ST_SETUP);
    else if (sel == 1) enter(ST_OPTIONS);
    else g_quit = 1;
  }
}

static void setup_step() {
  MenuItem items[6];
  build_setup(items);
  int sel;
  int r = menu_input(items, 6, L_SETUP.x, L_SETUP.y, L_SETUP.w, L_SETUP.h, &sel);
  if (r == MENU_DEC || r == MENU_INC) {
    int d = r == MENU_INC ? 1 : -1;
    if (sel == 0) {
      g_set.track = (g_set.track + d + 3) % 3;
      g_overridden &= ~OVR_TRACK;
      setup_race(g_set.track, 1);
    } else if (sel == 1) {
      g_set.shape = (g_set.shape + d + 3) % 3;
      setup_race(g_set.track, 1);
    } else if (sel == 2) {
      g_set.livery = (g_set.livery + d + 4) % 4;
      setup_race(g_set.track, 1);
    } else if (sel == 3) {
      g_set.laps += d;
      if (g_set.laps < 1) g_set.laps = 9;
      if (g_set.laps > 9) g_set.laps = 1;
      g_overridden &= ~OVR_LAPS;
    }
  } else if (r == MENU_CONFIRM && sel == 4) {
    settings_save();
    race_on_track();
  } else if ((r == MENU_CONFIRM && sel == 5) || r == MENU_BACK) {
    settings_save();
    enter(ST_TITLE);
  }
}

static void options_step() {
  MenuItem items[5];
  build_options(items);
  int sel;
  int r = menu_input(items, 5, L_OPTIONS.x, L_OPTIONS.y, L_OPTIONS.w, L_OPTIONS.h, &sel);
  if (r == MENU_DEC || r == MENU_INC) {
    if (sel == 0) {
      gfx_set_fullscreen(!g_fullscreen);
      g_set.fullscreen = g_fullscreen;
      settings_save();
    } else if (sel == 1) {
      // A toggle between 0 and 1 whatever was stored, so the row never sticks.
      g_set.camera = g_set.camera ? 0 : 1;
    } else if (sel == 2) {
      g_set.hud = g_set.hud ? 0 : 1;
    } else if (sel == 3) {
      g_set.sound = (g_set.sound + (r == MENU_INC ? 1 : 2)) % 3;
      audio_music_volume(g_soundVol[g_set.sound]);
      audio_sfx_volume(g_soundVol[g_set.sound]);
      audio_sfx(3);
    }
  } else if ((r == MENU_CONFIRM && sel == 4) || r == MENU_BACK) {
    settings_save();
    enter(ST_TITLE, 1);
  }
}

static void countdown_step(float dt) {
  sim_cars(0, dt);
  if (g_stateTime >= 3.0f) enter(ST_RACE);
  if (pause_pressed(PAD_B | PAD_BACK)) {
    // Remember where the countdown was, unless it has just ended.
    g_pausedCountdown = g_state == ST_COUNTDOWN ? g_stateTime : -1.0f;
    enter(ST_PAUSED);
  }
}

static void race_state_step(float dt) {
  if (pause_pressed(PAD_B | PAD_BACK | PAD_START)) {
    g_pausedCountdown = -1.0f;
    enter(ST_PAUSED);
    return;
  }
  race_step(dt);
  if (g_cars[0].finished && g_finishTimer > 3.5f && !g_opt.shot) enter(ST_RESULTS);
}

static void paused_step() {
  MenuItem items[3];
  build_plain(items, g_pauseRows, 3);
  int sel;
  int r = menu_input(items, 3, L_PAUSE.x, L_PAUSE.y, L_PAUSE.w, L_PAUSE.h, &sel);
  if ((r == MENU_CONFIRM && sel == 0) || r == MENU_BACK) {
    if (g_pausedCountdown >= 0.0f) {
      // Back to the countdown where it stopped, its beeps and "go" still to come.
      g_state = ST_COUNTDOWN;
      g_stateTime = g_pausedCountdown;
      g_pausedCountdown = -1.0f;
      g_countdownResumed = 1;
    } else {
      g_state = ST_RACE;
    }
  } else if (r == MENU_CONFIRM && sel == 1) {
    settings_save();
    race_on_track();
  } else if (r == MENU_CONFIRM && sel == 2) {
    attract_on_track();
  }
}

static void results_step(float dt) {
  g_raceTime += dt;
  sim_cars(1, dt);
  if (g_stateTime < 0.8f) return;
  MenuItem items[3];
  build_plain(items, g_resultsRows, 3);
  int sel;
  int r = menu_input(items, 3, L_RESULTS.x, L_RESULTS.y, L_RESULTS.w, L_RESULTS.h, &sel);
  if (r == MENU_CONFIRM && sel == 0) {
    settings_save();
    race_on_track();
  } else if (r == MENU_CONFIRM && sel == 1) {
    g_set.track = (g_set.track + 1) % 3;
    g_overridden &= ~OVR_TRACK;
    settings_save();
    race_on_track();
  } else if ((r == MENU_CONFIRM && sel == 2) || r == MENU_BACK) {
    attract_on_track();
  }
}

void game_tick(float dt) {
  g_stateTime += dt;
  g_sceneTime += dt;
  switch (g_state) {
    case ST_TITLE: title_step(); break;
    case ST_SETUP: setup_step(); break;
    case ST_OPTIONS: options_step(); break;
    case ST_COUNTDOWN: countdown_step(dt); break;
    case ST_RACE: race_state_step(dt); break;
    case ST_PAUSED: paused_step(); break;
    case ST_RESULTS: results_step(dt); break;
    default: break;
  }
  if (g_state <= ST_OPTIONS && g_state >= ST_TITLE && g_attract) attract_tick(dt);
  game_sound();
}
