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
  return {chords, melody, nullptr, -1, -1, -1, -1, mel_instr, 0, 0, 0, 0};
}

// A song over the given sections, played in the given order.
struct TestSong {
  std::vector<SynSection> sections;
  std::vector<uint8_t> order;
  SynSong song() const {
    return {"test", 120, 0, 1, 0.75f, 0.3f, 0.3f, 1, sections.data(), order.data(), (int32_t)order.size()};
  }
};

// Compiles a test song; false leaves the reason in s->error.
inline bool compile(Synth* s, const TestSong& t) {
  SynSong song = t.song();
  return syn_compile(s, &song) == 1;
}

inline std::vector<int16_t> render(Synth* s, int frames) {
  std::vector<int16_t> out((size_t)frames * 2);
  syn_render(s, out.data(), frames);
  return out;
}

inline double rms(const std::vector<int16_t>& st) {
  double sum = 0;
  for (int16_t v : st) sum += (double)v * v;
  return st.empty() ? 0 : sqrt(sum / (double)st.size());
}

inline uint64_t fnv1a(const std::vector<int16_t>& st) {
  uint64_t h = 14695981039346656037ull;
  for (int16_t v : st)
    for (int k = 0; k < 2; k++) h = (h ^ (uint8_t)((uint16_t)v >> (8 * k))) * 1099511628211ull;
  return h;
}
