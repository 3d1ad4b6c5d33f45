// Regression hashes of rendered sound. Renders are exact and deterministic,
// so any change to the samples the synthesiser or the music data produce
// shows up here. After an intended change, print the new table with
//   SKIDLINE_PRINT_HASHES=1 build/<dir>/tests/audio/audio_tests --gtest_filter='Regression.*'
// listen to the result (tools/songwav) and paste the table over the one below.
#include <gtest/gtest.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>

#include <functional>
#include <string>

#include "synth_test_util.h"

namespace {

const int kRate = 22050;

struct Case {
  const char* name;
  uint64_t hash;
};

const Case kExpected[] = {
    {"song 0", 0xdd67e1afcc69c7fcull}, {"song 1", 0xc22a42a71cbe409bull}, {"song 2", 0xe45dedb6eacd5b8dull},
    {"song 3", 0x84532910a5c72018ull}, {"song 4", 0x7cb0a5695fe3612full}, {"sfx 0", 0xafce73103df4edc5ull},
    {"sfx 1", 0x033ac432d8c5b2f1ull},  {"sfx 2", 0xb04f2127ed56aafdull},  {"sfx 3", 0x7912dda6dda80d21ull},
    {"sfx 4", 0xaf143fb98dec38f9ull},  {"sfx 5", 0xe17da059334165c5ull},  {"sfx 6", 0xc91822d4d9c78459ull},
    {"sfx 7", 0xb6f19e5b6e9cd80dull},  {"sfx 8", 0xadeb5c3e407c0181ull},  {"sfx 9", 0xf05d52012829ac81ull},
    {"race", 0x29ad4a3e796fb7f9ull},
};

// One whole pass of each song (so every section, pattern and instrument of the
// data is heard), 1 s of each effect on its own, and a race: a song with the
// engine revving and effects on top.
std::vector<int16_t> render_case(const std::string& name) {
  SynthPtr s = new_synth();
  int id = name.size() > 4 ? atoi(name.c_str() + name.find(' ') + 1) : 0;
  if (name.rfind("song", 0) == 0) {
    int frames = syn_song_frames(s.get(), id);
    syn_music(s.get(), id, 1);
    return render(s.get(), frames);
  }
  if (name.rfind("sfx", 0) == 0) {
    syn_sfx(s.get(), id, 1.0f);
    return render(s.get(), kRate);
  }
  std::vector<int16_t> out;
  syn_music(s.get(), 1, 1);
  for (int buf = 0; buf < 4 * kRate / 512; buf++) {
    if (buf % 20 == 5) syn_sfx(s.get(), buf / 20 % 10, 0.8f);
    float rpm = buf < 80 ? buf / 80.0f : 1.0f;
    syn_engine(s.get(), rpm, 0.7f);
    std::vector<int16_t> part = render(s.get(), 512);
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

TEST(Regression, SongsEffectsAndARaceRenderAsBefore) {
  bool print = getenv("SKIDLINE_PRINT_HASHES") != nullptr;
  for (const Case& c : kExpected) {
    uint64_t h = fnv1a(render_case(c.name));
    if (print) printf("    {\"%s\", 0x%016" PRIx64 "ull},\n", c.name, h);
    else EXPECT_EQ(h, c.hash) << c.name << ": got 0x" << std::hex << h;
  }
}

}  // namespace
