// Every music and sound decision, taken at the end of each step from the
// state the step left.
#include "audio/audio.h"
#include "game/game_internal.h"
#include "track/track.h"

enum { SONG_MENU = 0, SONG_COUNTRY = 1, SONG_DESERT = 2, SONG_CITY = 3, SONG_RESULTS = 4, SONG_NONE = -1 };
enum { SFX_BEEP = 0, SFX_GO = 1, SFX_THUMP = 2, SFX_LAP = 6, SFX_FINAL = 7, SFX_FINISH = 8 };

int g_countdownResumed;

static struct {
  int prev;
  int volSet;
  int count;
  int raceMusic;
  int laps;
  int finished;
  float bump;
  float cool;
} s = {-1, 0, 0, 0, 0, 0, 0.0f, 0.0f};

void game_sound_reset() {
  s.prev = -1;
  s.volSet = 0;
  s.count = 0;
  s.raceMusic = 0;
  s.laps = 0;
  s.finished = 0;
  s.bump = 0.0f;
  s.cool = 0.0f;
  g_countdownResumed = 0;
}

static int is_menu(int state) {
  return state == ST_TITLE || state == ST_SETUP || state == ST_OPTIONS;
}

static void countdown_sounds() {
  int n = f_to_int(g_stateTime);
  if (n <= 2 && 3 - n != s.count) {
    s.count = 3 - n;
    audio_sfx(SFX_BEEP);
  }
  audio_engine(0.08f, 0.0f);
}

static void race_sounds() {
  const Car* c = &g_cars[0];
  float v = f_abs(c->speed) / 44.0f;
  if (v > 1.2f) v = 1.2f;
  int g = f_to_int(v * 4.5f);
  int gear = g < 4 ? g : 4;
  float frac = v * 4.5f - (float)gear;
  if (frac < 0.0f) frac = 0.0f;
  if (frac > 1.0f) frac = 1.0f;
  float pitch;
  if (g == 0) {
    pitch = frac * 0.7f + 0.08f + c->throttle * 0.15f;
    if (pitch < 0.0f) pitch = 0.0f;
    if (pitch > 1.0f) pitch = 1.0f;
  } else {
    pitch = frac * 0.6f + 0.35f;
    if (pitch > 1.0f) pitch = 1.0f;
  }
  audio_engine(pitch, c->finished ? 0.2f : c->throttle);

  int seen = s.laps < 0 ? 0 : s.laps;
  if (c->lap > seen && !c->finished) audio_sfx(c->lap == g_laps - 1 ? SFX_FINAL : SFX_LAP);
  s.laps = c->lap;

  if (c->finished && !s.finished) audio_sfx(SFX_FINISH);
  s.finished = c->finished;

  s.cool -= 1.0f / 60.0f;
  if (c->impact > s.bump + 1.5f && s.cool <= 0.0f) {
    float vol = c->impact / 12.0f + 0.25f;
    if (vol < 0.25f) vol = 0.25f;
    if (vol > 1.0f) vol = 1.0f;
    audio_sfx_vol(SFX_THUMP, vol);
    s.cool = 0.25f;
  }
  s.bump = c->impact;
}

void game_sound() {
  float vol = g_soundVol[g_set.sound];
  if (!s.volSet) {
    audio_music_volume(vol);
    audio_sfx_volume(vol);
    s.volSet = 1;
  }
  int state = g_state;
  if (state == s.prev) {
    if (state == ST_COUNTDOWN) countdown_sounds();
    if (state == ST_RACE) race_sounds();
    return;
  }
  switch (state) {
    case ST_TITLE:
    case ST_SETUP:
    case ST_OPTIONS:
      if (!is_menu(s.prev)) audio_music(SONG_MENU);
      audio_engine(-1.0f, 0.0f);
      audio_music_volume(vol);
      s.prev = state;
      break;
    case ST_COUNTDOWN:
      audio_music(SONG_NONE);
      audio_music_volume(vol);
      // A countdown resumed from the pause keeps the beeps it has given.
      if (!g_countdownResumed) s.count = 0;
      s.raceMusic = 0;
      g_countdownResumed = 0;
      s.prev = ST_COUNTDOWN;
      countdown_sounds();
      break;
    case ST_RACE: {
      const Car* c = &g_cars[0];
      if (!s.raceMusic) {
        if (s.prev == ST_COUNTDOWN) audio_sfx(SFX_GO);
        audio_music(g_track.night ? SONG_CITY : (str_eq(g_track.mood, "desert") ? SONG_DESERT : SONG_COUNTRY));
        s.raceMusic = 1;
      }
      audio_music_volume(vol);
      s.laps = c->lap;
      s.prev = ST_RACE;
      s.bump = c->impact;
      s.finished = c->finished;
      race_sounds();
      break;
    }
    case ST_PAUSED:
      audio_music_volume(vol * 0.35f);
      audio_engine(-1.0f, 0.0f);
      s.prev = ST_PAUSED;
      break;
    case ST_RESULTS:
      audio_music(SONG_RESULTS);
      audio_engine(-1.0f, 0.0f);
      s.prev = ST_RESULTS;
      break;
    default:
      s.prev = state;
      break;
  }
}
