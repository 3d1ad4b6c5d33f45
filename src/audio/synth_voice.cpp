// Voices: note start, envelopes, pitch, oscillators, the two filter stages
// and the ramped mix into the block buses. Per block in single precision,
// per sample in integers.
#include "audio/synth.h"
#include "rt/rt.h"

// ---- shared formulas ------------------------------------------------------------------

float syn_exp2(float x) {
  if (!(x >= -60.0f)) return 0.0f;  // NaN counts as far below
  if (x > 60.0f) x = 60.0f;
  int32_t n = (int32_t)x;
  if ((float)n > x) n--;
  float f = x - (float)n;
  float p = 1.0f + f * (0.6931472f + f * (0.2402265f + f * (0.0555041f + f * 0.0096181f)));
  // p * 2^n by adding n to the exponent field (unsigned arithmetic, so a
  // negative n is simply a wrapped addition).
  return rt_bit_cast<float>(rt_bit_cast<uint32_t>(p) + (uint32_t)n * (1u << 23));
}

float syn_sin(float x) {
  float f = x - f_floor(x);
  float s = 1.0f;
  if (f >= 0.5f) {
    f = f - 0.5f;
    s = -1.0f;
  }
  float y = 16.0f * f * (0.5f - f);
  return s * (y + (y * y - y) * 0.225f);
}

float syn_step_len(int rate, float bpm) {
  return (float)(rate * 60) / (bpm * 4.0f);
}

// Float to integer toward zero, held inside the 32-bit range (NaN gives 0).
static int32_t trunc_i(float x) {
  if (!(x > -2147483648.0f)) return x == x ? INT32_MIN : 0;
  if (x >= 2147483648.0f) return INT32_MAX;
  return (int32_t)x;
}

// Phase increment (or pulse threshold) from cycles per second times 2^32 / rate.
static uint32_t to_inc(float x) {
  if (!(x >= 0.0f)) return 0;
  if (x > 4000000000.0f) return 4000000000u;
  return (uint32_t)x;
}

// Right shift that rounds toward minus infinity for negative values too
// (the arithmetic shift), written without relying on the compiler's choice.
static inline int32_t asr(int32_t v, int n) {
  return v >= 0 ? v >> n : ~(~v >> n);
}

// Per-block coefficient of a time constant t in ms: e^(-block time / t).
static float time_coef(int rate, float t) {
  if (t <= 0.0f) return 0.0f;
  return syn_exp2(-1000.0f * (32.0f / (float)rate) / t * 1.442695f);
}

static int valid_instr(int i) {
  return i > 0 && i < g_syn_ninstr;
}

// ---- note start ----------------------------------------------------------------------

void voice_on(Synth* s, int v, int instrument, int note, float velocity, int is_sfx) {
  if (v < 0 || v >= SYN_VOICES || !valid_instr(instrument)) return;
  SynVoice* voice = &s->voice[v];
  const SynInstr* in = &g_syn_instr[instrument];
  if (voice->active && voice->instr == in) {
    voice->last_freq = -1.0f;
    voice->is_sfx = is_sfx;
  } else {
    voice->pan_l = f_sqrt((1.0f - in->pan) / 2.0f);
    voice->pan_r = f_sqrt((1.0f + in->pan) / 2.0f);
    if (voice->instr != in) voice->last_cutoff = -1.0f;
    voice->instr = in;
    voice->is_sfx = is_sfx;
    voice->last_freq = -1.0f;
    if (!voice->active) {
      voice->level = 0.0f;
      voice->lp1 = voice->lp2 = 0;
      voice->gain_l = voice->gain_r = voice->gain_echo = 0;
    }
  }
  // A velocity beyond 0..1 (an effect played louder than full) would push the
  // integer mix past its headroom.
  voice->velocity = velocity > 1.0f ? 1.0f : (velocity > 0.0f ? velocity : 0.0f);
  voice->active = 1;
  voice->gate = 1;
  voice->stage = 0;
  voice->time = 0.0f;
  voice->freq = 440.0f * syn_exp2((float)(note - 69) * 0.083333336f);
  voice->slide_ratio = 1.0f;
  voice->slide_blocks = 0.0f;
  voice->pitch_env = in->pitch_env;
  voice->decay_k = time_coef(s->rate, in->decay);
  voice->release_k = time_coef(s->rate, in->release);
  voice->pitch_k = time_coef(s->rate, in->pitch_decay);
  if (in->wave == 3 && in->pitch_env > 0.0f) voice->phase1 = 0;  // every drum hit alike
  if (voice->noise == 0) voice->noise = ((uint32_t)v * 499u) ^ 0x4A5Bu;
  if (voice->amp <= 0.0f) voice->amp = 1.0f;
}

// ---- sample loops ------------------------------------------------------------------------

enum {
  K_PULSE,
  K_PULSE2,
  K_TRI,
  K_TRI2,
  K_SAW,
  K_SAW2,
  K_SINE,
  K_NOISE,
  K_SHORT_NOISE,
};

static inline int32_t triangle(uint32_t phase) {
  int32_t u = (int32_t)(phase >> 15);
  return u < 65536 ? u - 32768 : 98303 - u;
}

struct Ramp {
  int32_t l, r, e;     // gains now
  int32_t dl, dr, de;  // per-sample steps
};

template <int K>
static void run_samples(SynVoice* voice, Synth* s, int hp, Ramp g) {
  uint32_t ph1 = voice->phase1, ph2 = voice->phase2;
  const uint32_t inc1 = voice->inc1, inc2 = voice->inc2;
  uint32_t noise = voice->noise;
  const uint32_t thr = voice->pulse_thr;
  const int32_t dc = voice->pulse_dc;
  int32_t lp1 = voice->lp1, lp2 = voice->lp2;
  const int32_t a = voice->filt_a;
  for (int i = 0; i < SYN_BLOCK; i++) {
    uint32_t old = ph1;
    ph1 += inc1;
    if (K == K_PULSE2 || K == K_TRI2 || K == K_SAW2) ph2 += inc2;
    int32_t x;
    if (K == K_PULSE) {
      x = (ph1 < thr ? 32767 : -32767) - dc;
    } else if (K == K_PULSE2) {
      int highs = (ph1 < thr) + (ph2 < thr);
      x = (highs == 2 ? 32767 : (highs == 1 ? 0 : -32767)) - dc;
    } else if (K == K_TRI) {
      x = triangle(ph1);
    } else if (K == K_TRI2) {
      x = asr(triangle(ph1) + triangle(ph2), 1);
    } else if (K == K_SAW) {
      x = (int32_t)(ph1 >> 16) - 32768;
    } else if (K == K_SAW2) {
      x = asr((int32_t)(ph1 >> 16) - 65536 + (int32_t)(ph2 >> 16), 1);
    } else if (K == K_SINE) {
      int32_t h = (int32_t)(ph1 >> 16);
      int32_t u = h & 32767;
      int32_t m = ((32768 - u) * u) >> 13;
      if (m > 32767) m = 32767;
      x = (h & 32768) ? -m : m;
    } else {
      if (ph1 < old) {  // the phase wrapped: clock the shift register
        uint32_t tap = K == K_NOISE ? noise >> 1 : noise >> 6;
        uint32_t b = (noise ^ tap) & 1u;
        noise = (b << 14) | (noise >> 1);
      }
      x = (noise & 1u) ? 32767 : -32767;
    }
    lp1 += asr((x - lp1) * a, 8);
    lp2 += asr((lp1 - lp2) * a, 8);
    int32_t y = hp ? x - lp2 : lp2;
    s->bus_l[i] += asr(g.l * y, 12);
    s->bus_r[i] += asr(g.r * y, 12);
    s->bus_echo[i] += asr(g.e * y, 12);
    g.l += g.dl;
    g.r += g.dr;
    g.e += g.de;
  }
  voice->phase1 = ph1;
  voice->phase2 = ph2;
  voice->noise = noise;
  voice->lp1 = lp1;
  voice->lp2 = lp2;
}

// ---- one voice, one block --------------------------------------------------------------------

void syn_render_voice(Synth* s, SynVoice* voice) {
  const SynInstr* in = voice->instr;
  const float dt = 32.0f / (float)s->rate;

  // envelope
  if (voice->stage == 0) {
    if (in->attack <= 0.0f) {
      voice->level = 1.0f;
      voice->stage = 1;
    } else {
      voice->level += 1000.0f * dt / in->attack;
      if (voice->level >= 1.0f) {
        voice->level = 1.0f;
        voice->stage = 1;
      }
    }
  } else if (voice->stage == 1) {
    voice->level = (voice->level - in->sustain) * voice->decay_k + in->sustain;
  } else {
    voice->level = voice->level * voice->release_k;
    if (voice->level < 0.0003f) {
      voice->active = 0;  // this block still ramps the gains down to 0
      voice->level = 0.0f;
    }
  }

  // pitch: envelope, delayed vibrato, slide, pad detune
  float p = voice->pitch_env;
  voice->pitch_env = voice->pitch_env * voice->pitch_k;
  if (in->vib_depth > 0.0f && voice->time * 1000.0f >= in->vib_delay) {
    float ramp = (voice->time * 1000.0f - in->vib_delay) / 250.0f;
    if (ramp > 1.0f) ramp = 1.0f;
    voice->vib_phase += in->vib_rate * dt;
    if (voice->vib_phase >= 1.0f) voice->vib_phase -= 1.0f;
    p += syn_sin(voice->vib_phase) * in->vib_depth * 0.01f * ramp;
  }
  if (voice->slide_blocks > 0.0f) {
    voice->freq = voice->freq * voice->slide_ratio;
    voice->slide_blocks -= 1.0f;
  }
  float f = voice->freq;
  if (p != 0.0f) f *= syn_exp2(p / 12.0f);
  if (voice->detune_ratio > 0.0f) f *= voice->detune_ratio;

  // increments
  const int wave = in->wave;
  const int two = in->detune > 0.0f && wave <= 2 && !(voice->detune_ratio > 0.0f);
  const float per_hz = 4294967296.0f / (float)s->rate;
  if (f != voice->last_freq) {
    voice->last_freq = f;
    voice->inc1 = to_inc(per_hz * (wave >= 4 ? 8.0f * f : f));
    if (two) voice->inc2 = to_inc(per_hz * (f * syn_exp2(in->detune / 1200.0f)));
  }

  // pulse width and its modulation
  if (wave == 0) {
    float w = in->pw;
    if (in->pwm_depth > 0.0f) {
      voice->pwm_phase += in->pwm_rate * dt;
      if (voice->pwm_phase >= 1.0f) voice->pwm_phase -= 1.0f;
      w = in->pw + syn_sin(voice->pwm_phase) * in->pwm_depth;
    }
    if (w < 0.02f) w = 0.02f;
    if (w > 0.98f) w = 0.98f;
    voice->pulse_dc = trunc_i((2.0f * w - 1.0f) * 32767.0f);
    voice->pulse_thr = to_inc(4294967296.0f * w);
  }

  voice->time = voice->time + dt;

  // gain targets, reached by a linear ramp over the block
  float g = voice->is_sfx ? s->sfx_gain : s->music_gain;
  float A = in->vol * voice->velocity * voice->level * g * voice->amp * 4096.0f;
  int32_t tl = trunc_i(voice->pan_l * A);
  int32_t tr = trunc_i(voice->pan_r * A);
  int32_t te = trunc_i(voice->is_sfx ? A * in->echo * 0.5f : A * in->echo);
  Ramp ramp = {voice->gain_l, voice->gain_r, voice->gain_echo, (tl - voice->gain_l) / 32, (tr - voice->gain_r) / 32,
               (te - voice->gain_echo) / 32};

  // filter coefficient, kept while the cutoff moves by 1 % or less
  float fc = voice->level * in->cutoff_env + in->cutoff;
  float moved = fc - voice->last_cutoff;
  if (moved < 0.0f) moved = -moved;
  if (!(fc == voice->last_cutoff || (voice->last_cutoff != 0.0f && moved <= 0.01f * fc))) {
    int32_t a = 256;
    if (fc > 0.0f && fc < 0.45f * (float)s->rate) {
      a = trunc_i((1.0f - syn_exp2(-6.2831855f * fc / (float)s->rate * 1.442695f)) * 256.0f);
      if (a < 2) a = 2;
      if (a > 256) a = 256;
    }
    voice->filt_a = a;
    voice->last_cutoff = fc;
  }

  const int hp = in->highpass & 1;
  switch (wave) {
    case 0: two ? run_samples<K_PULSE2>(voice, s, hp, ramp) : run_samples<K_PULSE>(voice, s, hp, ramp); break;
    case 1: two ? run_samples<K_TRI2>(voice, s, hp, ramp) : run_samples<K_TRI>(voice, s, hp, ramp); break;
    case 2: two ? run_samples<K_SAW2>(voice, s, hp, ramp) : run_samples<K_SAW>(voice, s, hp, ramp); break;
    case 3: run_samples<K_SINE>(voice, s, hp, ramp); break;
    case 4: run_samples<K_NOISE>(voice, s, hp, ramp); break;
    default: run_samples<K_SHORT_NOISE>(voice, s, hp, ramp); break;
  }

  voice->gain_l = tl;
  voice->gain_r = tr;
  voice->gain_echo = te;
}
