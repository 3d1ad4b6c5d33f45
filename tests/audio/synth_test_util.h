// Helpers for the synthesiser tests: a heap Synth, hand-made songs, and
// measurements of rendered sound.
#pragma once

#include <math.h>
#include <stdint.h>
#include <stdlib.h>

#include <memory>
#include <vector>

#include "audio/synth.h"

struct FreeSynth {
  void operator()(Synth* s) const { free(s); }
};
using SynthPtr = std::unique_ptr<Synth, FreeSynth>;

inline SynthPtr new_synth(int rate = 22050) {
  SynthPtr s((Synth*)calloc(1, sizeof(Synth)));
  syn_init(s.get(), rate);
  return s;
}

// A section with every part switched off; tests fill in what they need.
inline SynSection section(const char* chords, const char* melody = nullptr, uint8_t mel_instr = 1) {
  SynSection x = {chords, melody, nullptr, -1, -1, -1, -1, mel_instr, 0, 0, 0, 0};
  return x;
}

// A song over the given sections, played in the given order.
struct TestSong {
  std::vector<SynSection> sections;
  std::vector<uint8_t> order;
  SynSong song() const {
    SynSong s = {"test", 120, 0, 1, 0.75f, 0.3f, 0.3f, 1, sections.data(), order.data(), (int32_t)order.size()};
    return s;
  }
};

inline uint32_t note_field(uint32_t w) { return w & 255; }
inline uint32_t instr_field(uint32_t w) { return (w >> 8) & 255; }
inline uint32_t vel_field(uint32_t w) { return (w >> 16) & 255; }

inline std::vector<int16_t> render(Synth* s, int frames) {
  std::vector<int16_t> out((size_t)frames * 2);
  syn_render(s, out.data(), frames);
  return out;
}

// Power of one frequency in one channel (Goertzel).
inline double goertzel(const std::vector<int16_t>& st, int channel, size_t from, size_t n, double freq, int rate) {
  double w = 2 * M_PI * freq / rate, c = 2 * cos(w), s1 = 0, s2 = 0;
  for (size_t i = 0; i < n; i++) {
    double s0 = st[2 * (from + i) + channel] + c * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - c * s1 * s2;
}

// The strongest frequency within +-15 % of a guess, in steps of 0.02 %.
inline double peak_frequency(const std::vector<int16_t>& st, size_t from, size_t n, double guess, int rate) {
  double best = 0, best_f = 0;
  for (double f = guess * 0.85; f <= guess * 1.15; f += guess * 0.0002) {
    double p = goertzel(st, 0, from, n, f, rate);
    if (p > best) {
      best = p;
      best_f = f;
    }
  }
  return best_f;
}

inline double rms(const std::vector<int16_t>& st, size_t from_frame, size_t to_frame) {
  double sum = 0;
  for (size_t i = 2 * from_frame; i < 2 * to_frame; i++) sum += (double)st[i] * st[i];
  return to_frame > from_frame ? sqrt(sum / (2.0 * (to_frame - from_frame))) : 0;
}

inline uint64_t fnv1a(const std::vector<int16_t>& st) {
  uint64_t h = 14695981039346656037ull;
  for (int16_t v : st) {
    for (int k = 0; k < 2; k++) {
      h ^= (uint8_t)((uint16_t)v >> (8 * k));
      h *= 1099511628211ull;
    }
  }
  return h;
}
