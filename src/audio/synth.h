// The software synthesiser: the song compiler (chord, melody and pattern text
// turned into a step grid), fourteen fixed voices, the sequencer, the
// ping-pong echo, the effect queue and the engine note, rendered in blocks of
// 32 stereo frames. Everything here runs on the audio thread and allocates
// nothing; the output code owns the one Synth record.
#pragma once

#include <stdint.h>

enum {
  SYN_VOICES = 14,
  SYN_BLOCK = 32,           // frames per rendered block
  SYN_MAX_STEPS = 1600,     // 100 bars of 16 steps
  SYN_CHANNELS = 7,         // grid channels (channel 6 is never written)
  SYN_ECHO_MAX = 16384,     // echo line length in samples
  SYN_MAX_EVENTS = 32,      // pending effect events
  SYN_ERROR_CAP = 160,      // compile error text, zero included
};

// ---- song data ------------------------------------------------------------------

struct SynSection {
  const char* chords;   // its bar count fixes the section's length
  const char* melody;   // channel 0, or null
  const char* melody2;  // channel 1 (wins over the arpeggio), or null
  int8_t arp;           // arpeggio style, -1 = none
  int8_t bass;          // bass style, -1 = none
  int8_t drums;         // drum style, -1 = none
  int8_t fill;          // drum style of the last bar, -1 = same as drums
  uint8_t mel_instr;    // 0 = channel 0 silent
  uint8_t instr2;       // melody2 or arpeggio instrument; 0 = channel 1 silent
  uint8_t bass_instr;
  uint8_t pad_instr;
  int8_t transpose;     // semitones added to roots, bass notes and melody notes
};

struct SynSong {
  const char* name;
  float bpm;
  float swing;          // 0 = straight
  int32_t loop;         // 1 = start again after the last step
  float echo_beats;
  float echo_feedback;
  float echo_mix;
  float volume;
  const SynSection* sections;
  const uint8_t* order;  // section indices in playing order
  int32_t norder;
};

struct SynDrumStyle {
  const char* first;   // 16 steps for grid channel 4, or null
  const char* second;  // 16 steps for grid channel 5, or null
};

struct SynKitEntry {
  char ch;        // pattern character
  uint8_t instr;
  uint8_t note;
  float velocity;
};

struct SynInstr {
  uint8_t wave;      // 0 pulse, 1 triangle, 2 sawtooth, 3 sine, 4 noise, 5 short noise
  uint8_t highpass;  // bit 0: high-pass instead of low-pass
  float pw;          // pulse width
  float vol;
  float attack;      // ms, linear
  float decay;       // ms, time constant
  float sustain;
  float release;     // ms, time constant
  float cutoff;      // Hz, 0 = open
  float cutoff_env;  // Hz per unit of envelope level
  float vib_depth;   // cents
  float vib_rate;    // Hz
  float vib_delay;   // ms
  float pan;         // -1 left .. 1 right
  float echo;        // echo send
  float detune;      // cents: second oscillator, or the pad voices' spread
  float pitch_env;   // semitones at note start
  float pitch_decay; // ms
  float pwm_depth;
  float pwm_rate;    // Hz
};

struct SynSfxNote {
  uint8_t selector;    // voice 8 + selector mod 4
  uint8_t instrument;
  uint8_t note;
  int8_t slide;        // semitones over the duration, 0 = none
  uint16_t start_ms;
  uint16_t dur_ms;     // start to release (and the glide time)
  float volume;
};

struct SynSfx {
  const SynSfxNote* notes;
  int32_t count;
};

// ---- the synthesiser --------------------------------------------------------------

struct SynVoice {
  const SynInstr* instr;
  int32_t is_sfx;   // effect gain instead of music gain
  int32_t active;
  int32_t gate;
  int32_t stage;    // 0 attack, 1 decay/sustain, 2 release
  float level;
  float velocity;
  float time;       // seconds since note start
  float freq;
  float slide_ratio;
  float slide_blocks;
  float pitch_env;
  float vib_phase;
  float pwm_phase;
  float amp;
  float detune_ratio;  // pad voices; 0 = none
  float decay_k;
  float release_k;
  float pitch_k;
  float pan_l, pan_r;
  uint32_t phase1, phase2;
  uint32_t inc1, inc2;
  uint32_t noise;
  uint32_t pulse_thr;
  int32_t pulse_dc;
  int32_t lp1, lp2;
  int32_t filt_a;      // in 1/256
  float last_freq;     // -1 forces new increments
  float last_cutoff;   // -1 forces a new coefficient
  int32_t gain_l, gain_r, gain_echo;
};

struct SynSfxEvent {
  int32_t delay;       // samples
  int32_t is_release;
  const SynSfxNote* note;
  float volume;
};

struct Synth {
  int32_t rate;
  SynVoice voice[SYN_VOICES];
  int16_t echo_l[SYN_ECHO_MAX];
  int16_t echo_r[SYN_ECHO_MAX];
  int32_t echo_pos;
  int32_t echo_len;
  int32_t echo_fb;     // 1/256
  int32_t echo_mix;    // 1/256
  int32_t echo_lp_l, echo_lp_r;
  int32_t song;        // -1 = none
  int32_t playing;
  int32_t song_steps;
  int32_t step;
  float step_timer;
  float step_len;
  float swing;
  uint32_t grid[SYN_MAX_STEPS][SYN_CHANNELS];
  uint8_t pad_notes[SYN_MAX_STEPS][3];
  float music_gain, sfx_gain;
  float music_vol, sfx_vol;
  float song_vol;
  float fade;
  float fade_step;
  int32_t pending_song;
  int32_t fading;
  float eng_rpm, eng_load;
  float eng_on;
  float eng_rpm_s, eng_load_s, eng_on_s;
  uint32_t eng_rng;
  int32_t bus_l[SYN_BLOCK], bus_r[SYN_BLOCK], bus_echo[SYN_BLOCK];
  int16_t block[SYN_BLOCK * 2];
  int32_t block_frames, block_pos;
  SynSfxEvent sfx_ev[SYN_MAX_EVENTS];
  int32_t sfx_count;
  char error[SYN_ERROR_CAP];
};

// ---- interface ---------------------------------------------------------------------

void syn_init(Synth* s, int rate);
void syn_music(Synth* s, int song, int fade);  // outside 0..4 = silence
void syn_music_volume(Synth* s, float v);
void syn_sfx_volume(Synth* s, float v);
void syn_sfx(Synth* s, int id, float volume);
void syn_engine(Synth* s, float rpm, float load);  // rpm < 0 = engine off
void syn_render(Synth* s, int16_t* out, int frames);  // interleaved stereo, left first

int compile_song(Synth* s, int song);       // 1 = compiled, 0 = error text set
int syn_compile_check(Synth* s, int song);  // compiles, then nothing plays
int syn_song_frames(Synth* s, int song);    // length in frames, 0 on error

// ---- data (music_data.cpp) -------------------------------------------------------

extern const SynSong g_syn_songs[];
extern const int g_syn_nsongs;
extern const SynInstr g_syn_instr[];
extern const int g_syn_ninstr;
extern const SynSfx g_syn_sfx[];
extern const int g_syn_nsfx;
extern const SynKitEntry g_syn_kit[];
extern const int g_syn_nkit;
extern const SynDrumStyle g_syn_drum_styles[];
extern const int g_syn_ndrum_styles;
extern const char* const g_syn_arp_styles[];
extern const int g_syn_narp_styles;
extern const char* const g_syn_bass_styles[];
extern const int g_syn_nbass_styles;
extern const uint8_t g_syn_engine_instr[2];

// ---- building blocks, also used by the tests and tools -------------------------------

// Compiles a song record (compile_song does this for g_syn_songs[index]).
int syn_compile(Synth* s, const SynSong* song);
int count_bars(const char* chords);
// Reads one chord at text; returns the character after it, or null.
// out: root pitch class, bass pitch class, four intervals.
const char* parse_chord(const char* text, int32_t out[6]);
// The note a pattern character gives (-1 = note off, -2 = nothing).
int style_note(char c, const int32_t chord[6], int base, int bass_mode);

float syn_exp2(float x);  // 2^x, 0 below -60
float syn_step_len(int rate, float bpm);  // samples per sixteenth-note step
float syn_sin(float x);   // sine of x cycles
int16_t syn_limit(int32_t v);  // the output's soft limiter
void start_song(Synth* s, int song);
void render_block(Synth* s, int16_t* out);  // one block of 32 frames
void voice_on(Synth* s, int v, int instrument, int note, float velocity, int is_sfx);
void syn_render_voice(Synth* s, SynVoice* v);  // one active voice into the block buses
