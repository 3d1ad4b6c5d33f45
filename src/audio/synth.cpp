// The synthesiser's control side and block loop: song start and fades, the
// sequencer, the effect queue, the engine note, the ping-pong echo, the soft
// limiter and output in requests of any length.
#include "audio/synth.h"
#include "rt/rt.h"

static int valid_instr(int i) {
  return i > 0 && i < g_syn_ninstr;
}

static void release(SynVoice* voice) {
  voice->gate = 0;
  voice->stage = 2;
}

static void release_music(Synth* s) {
  for (int v = 0; v < 8; v++)
    if (s->voice[v].active) release(&s->voice[v]);
}

static int32_t clamp_i(int32_t v, int32_t lo, int32_t hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

static int32_t asr(int32_t v, int n) {
  return v >= 0 ? v >> n : ~(~v >> n);
}

static int32_t trunc_i(float x) {
  if (!(x > -2147483648.0f)) return x == x ? INT32_MIN : 0;
  if (x >= 2147483648.0f) return INT32_MAX;
  return (int32_t)x;
}

void syn_init(Synth* s, int rate) {
  memset(s, 0, sizeof *s);
  s->rate = rate;
  s->song = -1;
  s->pending_song = -1;
  s->music_vol = 1.0f;
  s->sfx_vol = 1.0f;
  s->fade = 1.0f;
  s->echo_len = 4096;
  s->eng_rng = 12345;
}

// ---- songs -----------------------------------------------------------------------------------

void start_song(Synth* s, int song) {
  release_music(s);
  s->playing = 0;
  if (song >= 0 && song < g_syn_nsongs && compile_song(s, song)) {
    const SynSong* def = &g_syn_songs[song];
    float step_len = syn_step_len(s->rate, def->bpm);
    if (!(step_len >= 1.0f)) {  // a tempo beyond one step per sample would never end a block
      s->song = -1;
      return;
    }
    s->step_len = step_len;
    s->song = song;
    s->playing = 1;
    s->step = 0;
    s->step_timer = 0.0f;
    s->swing = def->swing;
    s->song_vol = def->volume;
    s->echo_len = clamp_i(trunc_i(step_len * 4.0f * def->echo_beats), 64, SYN_ECHO_MAX);
    if (s->echo_pos >= s->echo_len) s->echo_pos = 0;  // the old tail plays on
    s->echo_fb = trunc_i(def->echo_feedback * 256.0f);
    s->echo_mix = trunc_i(def->echo_mix * 256.0f);
    s->fade = 1.0f;
    s->fading = 0;
  } else {
    s->song = -1;
  }
}

void syn_music(Synth* s, int song, int fade) {
  if (song == s->song && s->playing) {
    if (s->fading) s->pending_song = song;  // starts again once the fade is over
    return;
  }
  if (s->fading) {
    s->pending_song = song;
  } else if (fade == 0 || !s->playing) {
    start_song(s, song);
  } else {
    s->pending_song = song;
    s->fading = 1;
    s->fade_step = -32.0f / ((float)s->rate * 0.4f);
  }
}

static float clamp01(float v) {
  return v > 1.0f ? 1.0f : (v > 0.0f ? v : 0.0f);
}

void syn_music_volume(Synth* s, float v) {
  s->music_vol = clamp01(v);
}

void syn_sfx_volume(Synth* s, float v) {
  s->sfx_vol = clamp01(v);
}

void syn_engine(Synth* s, float rpm, float load) {
  if (!(rpm >= 0.0f)) {  // negative (or not a number): off
    s->eng_on = 0.0f;
    return;
  }
  s->eng_on = 1.0f;
  s->eng_rpm = rpm > 1.0f ? 1.0f : rpm;
  s->eng_load = clamp01(load);
}

// ---- effects -----------------------------------------------------------------------------

static void add_event(Synth* s, int32_t delay, int is_release, const SynSfxNote* note, float volume) {
  SynSfxEvent* e = &s->sfx_ev[s->sfx_count++];
  e->delay = delay;
  e->is_release = is_release;
  e->note = note;
  e->volume = volume;
}

void syn_sfx(Synth* s, int id, float volume) {
  if (id < 0 || id >= g_syn_nsfx) return;
  const SynSfx* fx = &g_syn_sfx[id];
  // A new effect takes over its selectors: pending events there are dropped.
  int i = 0;
  while (i < s->sfx_count) {
    int sel = s->sfx_ev[i].note->selector % 4;
    int hit = 0;
    for (int n = 0; n < fx->count; n++) hit |= fx->notes[n].selector % 4 == sel;
    if (hit)
      s->sfx_ev[i] = s->sfx_ev[--s->sfx_count];
    else
      i++;
  }
  for (int n = 0; n < fx->count; n++) {
    const SynSfxNote* note = &fx->notes[n];
    if (s->sfx_count >= SYN_MAX_EVENTS) break;
    int32_t start = trunc_i((float)note->start_ms * 0.001f * (float)s->rate);
    add_event(s, start, 0, note, volume);
    if (s->sfx_count >= SYN_MAX_EVENTS) break;
    add_event(s, start + trunc_i((float)note->dur_ms * 0.001f * (float)s->rate), 1, note, volume);
  }
}

static void fire_event(Synth* s, const SynSfxEvent* e) {
  const SynSfxNote* n = e->note;
  SynVoice* voice = &s->voice[8 + n->selector % 4];
  if (e->is_release) {
    if (voice->active && voice->gate && valid_instr(n->instrument) && voice->instr == &g_syn_instr[n->instrument])
      release(voice);
    return;
  }
  if (valid_instr(n->instrument)) voice_on(s, 8 + n->selector % 4, n->instrument, n->note, n->volume * e->volume, 1);
  voice->amp = 1.0f;
  voice->detune_ratio = 0.0f;
  if (n->slide != 0) {
    float blocks = (float)s->rate * (float)n->dur_ms * 0.001f / 32.0f;
    if (blocks < 1.0f) blocks = 1.0f;
    voice->slide_ratio = syn_exp2((float)n->slide / (blocks * 12.0f));
    voice->slide_blocks = blocks;
  }
}

// ---- one block -----------------------------------------------------------------------------

static void sequencer_step(Synth* s) {
  const uint32_t* row = s->grid[s->step];
  for (int ch = 0; ch < 6; ch++) {
    uint32_t w = row[ch];
    if (w == 0) continue;
    int first = ch < 3 ? ch : (ch == 3 ? 3 : ch + 2);  // channels 4, 5 play voices 6, 7
    if (w == 1) {
      release(&s->voice[first]);
      if (ch == 3) {
        release(&s->voice[4]);
        release(&s->voice[5]);
      }
      continue;
    }
    int instr = (int)((w >> 8) & 255);
    if (ch != 3) {
      if (valid_instr(instr))
        voice_on(s, first, instr, (int)(w & 255) - 2, (float)((w >> 16) & 255) / 255.0f, 0);
      continue;
    }
    const uint8_t* notes = s->pad_notes[s->step];
    float detune = instr < g_syn_ninstr ? g_syn_instr[instr].detune : 0.0f;
    for (int j = 0; j < 3; j++) {
      if (valid_instr(instr)) voice_on(s, 3 + j, instr, notes[j], 1.0f, 0);
      s->voice[3 + j].detune_ratio = syn_exp2((float)(j - 1) * detune / 1200.0f);
    }
  }
}

static void run_sequencer(Synth* s) {
  s->step_timer = s->step_timer - 32.0f;
  while (s->step_timer <= 0.0f && s->playing) {
    if (s->step >= s->song_steps) {  // a song with no steps plays nothing
      s->playing = 0;
      release_music(s);
      break;
    }
    int played = s->step;
    sequencer_step(s);
    s->step = s->step + 1;
    if (s->step >= s->song_steps) {
      if (g_syn_songs[s->song].loop) {
        s->step = 0;
      } else {
        s->playing = 0;
        release_music(s);
      }
    }
    s->step_timer = s->step_timer + s->step_len * ((played & 1) == 0 ? 1.0f + s->swing : 1.0f - s->swing);
  }
}

static void run_effects(Synth* s) {
  for (int i = 0; i < s->sfx_count; i++) s->sfx_ev[i].delay -= SYN_BLOCK;
  int i = 0;
  while (i < s->sfx_count) {
    if (s->sfx_ev[i].delay <= 0) {
      SynSfxEvent e = s->sfx_ev[i];
      s->sfx_ev[i] = s->sfx_ev[--s->sfx_count];
      fire_event(s, &e);
    } else {
      i++;
    }
  }
}

static void run_engine(Synth* s) {
  s->eng_on_s += (s->eng_on - s->eng_on_s) * 0.02f;
  s->eng_rpm_s += (s->eng_rpm - s->eng_rpm_s) * 0.03f;
  s->eng_load_s += (s->eng_load - s->eng_load_s) * 0.03f;
  if (s->eng_on_s < 0.002f && s->eng_on <= 0.0f) {
    for (int j = 0; j < 2; j++) {
      SynVoice* voice = &s->voice[12 + j];
      if (voice->active && voice->gate) release(voice);
    }
    return;
  }
  for (int j = 0; j < 2; j++) {
    SynVoice* voice = &s->voice[12 + j];
    if ((!voice->active || !voice->gate) && valid_instr(g_syn_engine_instr[j]))
      voice_on(s, 12 + j, g_syn_engine_instr[j], 30, 1.0f, 1);
    s->eng_rng = s->eng_rng * 1664525u + 1013904223u;
    float jitter = 1.0f + (float)((int32_t)(s->eng_rng >> 24) - 128) * 0.00009375f;
    float f = (s->eng_rpm_s * 96.0f + 34.0f) * jitter;
    float a = (s->eng_rpm_s * 0.35f + 0.65f) * (s->eng_load_s * 0.7f + 0.3f) * s->eng_on_s;
    if (j == 0) {
      voice->freq = f;
      voice->amp = a > 0.0001f ? a : 0.0001f;
    } else {
      voice->freq = f * 0.5f;
      float a2 = a * 0.8f;
      voice->amp = a2 > 0.0001f ? a2 : 0.0001f;
    }
    voice->detune_ratio = 0.0f;
  }
}

int16_t syn_limit(int32_t v) {
  int32_t m = v < 0 ? (v == INT32_MIN ? INT32_MAX : -v) : v;
  if (m > 24576) {
    m = (m >> 2) + 18432;
    if (m > 32767) m = 32767;
  }
  return (int16_t)(v < 0 ? -m : m);
}

void render_block(Synth* s, int16_t* out) {
  if (s->fading) {
    s->fade = s->fade + s->fade_step;
    if (s->fade <= 0.0f) {
      s->fade = 0.0f;
      s->fading = 0;
      int next = s->pending_song;
      s->pending_song = -1;
      start_song(s, next);
    }
  }
  if (s->playing) run_sequencer(s);
  run_effects(s);
  run_engine(s);

  s->music_gain = s->fade * s->music_vol * s->song_vol;
  s->sfx_gain = s->sfx_vol;
  memset(s->bus_l, 0, sizeof s->bus_l);
  memset(s->bus_r, 0, sizeof s->bus_r);
  memset(s->bus_echo, 0, sizeof s->bus_echo);
  for (int v = 0; v < SYN_VOICES; v++)
    if (s->voice[v].active) syn_render_voice(s, &s->voice[v]);

  // ping-pong echo: each line is fed from the other's low-passed return
  for (int i = 0; i < SYN_BLOCK; i++) {
    int32_t dl = s->echo_l[s->echo_pos], dr = s->echo_r[s->echo_pos];
    s->echo_lp_l += asr((dl - s->echo_lp_l) * 150, 8);
    s->echo_lp_r += asr((dr - s->echo_lp_r) * 150, 8);
    int32_t e = s->bus_echo[i];
    s->echo_l[s->echo_pos] = (int16_t)clamp_i(asr(s->echo_fb * s->echo_lp_r, 8) + e, -32767, 32767);
    s->echo_r[s->echo_pos] = (int16_t)clamp_i(asr(e, 1) + asr(s->echo_lp_l * s->echo_fb, 8), -32767, 32767);
    s->echo_pos = s->echo_pos + 1;
    if (s->echo_pos >= s->echo_len) s->echo_pos = 0;
    out[2 * i] = syn_limit(asr(dl * s->echo_mix, 8) + s->bus_l[i]);
    out[2 * i + 1] = syn_limit(asr(dr * s->echo_mix, 8) + s->bus_r[i]);
  }
}

void syn_render(Synth* s, int16_t* out, int frames) {
  while (frames > 0) {
    if (s->block_pos >= s->block_frames) {
      if (frames >= SYN_BLOCK) {
        render_block(s, out);
        out += 2 * SYN_BLOCK;
        frames -= SYN_BLOCK;
        continue;
      }
      render_block(s, s->block);
      s->block_frames = SYN_BLOCK;
      s->block_pos = 0;
    }
    while (frames > 0 && s->block_pos < s->block_frames) {
      out[0] = s->block[2 * s->block_pos];
      out[1] = s->block[2 * s->block_pos + 1];
      out += 2;
      s->block_pos++;
      frames--;
    }
  }
}
