// The synthesiser's rules the regression hashes cannot see: request sizes,
// song changes and fades, effects cutting each other short, the engine,
// volumes, the limiter and the echo's limits. Pitch, timing, glides and the
// echo's sound are pinned by the hashes (synth_hash_test.cpp).
#include <gtest/gtest.h>
#include <math.h>

#include "synth_test_util.h"

namespace {

const int kRate = 22050;

void blocks(Synth* s, int n) {
  int16_t out[SYN_BLOCK * 2];
  for (int i = 0; i < n; i++) render_block(s, out);
}
// Voices from..to-1 still sounding.
int active(const Synth* s, int from, int to) {
  int n = 0;
  for (int v = from; v < to; v++) n += s->voice[v].active != 0;
  return n;
}

int seconds_in_blocks(double sec) { return (int)(sec * kRate / SYN_BLOCK); }

TEST(SynthRender, AnyRequestSizesGiveTheSameStream) {
  // Two seconds of a song, the engine and an effect, asked for in pieces of
  // `size(i)` frames (0 frames too: nothing happens).
  auto stream = [](int (*size)(int)) {
    SynthPtr s = new_synth();
    syn_music(s.get(), 2, 1);
    syn_engine(s.get(), 0.6f, 0.4f);
    syn_sfx(s.get(), 8, 1.0f);
    std::vector<int16_t> out(4 * (size_t)kRate);
    for (int done = 0, i = 0; done < 2 * kRate; i++) {
      int k = std::min(2 * kRate - done, size(i));
      syn_render(s.get(), &out[2 * (size_t)done], k);
      done += k;
    }
    return out;
  };
  std::vector<int16_t> whole = stream([](int) { return 2 * kRate; });
  EXPECT_TRUE(whole == stream([](int) { return 1; }));
  EXPECT_TRUE(whole == stream([](int i) { return (int)((uint32_t)i * 2654435761u >> 16) % 700; }));
  EXPECT_GT(rms(whole), 500.0) << "the stream is not silence";
}

TEST(SynthSongs, ChangingSongFadesOutFirst) {
  SynthPtr s = new_synth();
  syn_music(s.get(), 0, 1);
  blocks(s.get(), seconds_in_blocks(1));
  syn_music(s.get(), 1, 1);
  EXPECT_EQ(std::make_pair(s->song, s->fading), std::make_pair(0, 1));
  int n = 0;
  for (float last = s->fade; s->song == 0 && n < 1000; n++, last = s->fade) {
    blocks(s.get(), 1);
    EXPECT_TRUE(s->song != 0 || s->fade < last) << "the fade only goes down";
  }
  EXPECT_NEAR(n * 32.0 / kRate, 0.4, 32.0 / kRate) << n << " blocks";
  EXPECT_EQ(std::make_pair(s->song, s->fade), std::make_pair(1, 1.0f));
  EXPECT_EQ(s->step, 1) << "the new song starts from its beginning";
  syn_music(s.get(), 1, 1);
  EXPECT_EQ(s->fading, 0) << "the same song again changes nothing";
  // asking for the playing song during a fade starts it again afterwards
  syn_music(s.get(), 3, 1);
  blocks(s.get(), 50);
  syn_music(s.get(), 1, 1);
  blocks(s.get(), 300);
  EXPECT_TRUE(s->song == 1 && s->step < 10) << "restarted from the top";
  // without a fade the change is immediate
  syn_music(s.get(), 2, 0);
  EXPECT_EQ(std::make_pair(s->song, s->playing), std::make_pair(2, 1));
  // silence: fade out, then nothing plays
  syn_music(s.get(), -1, 1);
  blocks(s.get(), 300);
  EXPECT_EQ(std::make_pair(s->song, s->playing), std::make_pair(-1, 0));
  blocks(s.get(), seconds_in_blocks(10));
  EXPECT_EQ(active(s.get(), 0, 8), 0);
  EXPECT_LT(rms(render(s.get(), kRate)), 2.0);
}

TEST(SynthSongs, ResultsSongPlaysOnceAndReleases) {
  SynthPtr s = new_synth();
  syn_music(s.get(), 4, 1);
  int n = 0;
  for (; s->playing && n < 10000; n++) blocks(s.get(), 1);
  double step_len = kRate * 60.0 / (128 * 4);
  EXPECT_GE(n * 32.0, 47 * step_len) << "stops as its last step starts";
  EXPECT_LE(n * 32.0, 48 * step_len);
  EXPECT_EQ(std::make_pair(s->step, s->song), std::make_pair(48, 4));
  for (int v = 0; v < 8; v++) EXPECT_FALSE(s->voice[v].gate) << "voice " << v;
  blocks(s.get(), seconds_in_blocks(10));
  EXPECT_EQ(s->playing + active(s.get(), 0, 8), 0);
  syn_music(s.get(), 4, 1);
  EXPECT_EQ(s->playing, 1) << "asked for again, it plays again at once";
  // a looping song goes round
  syn_music(s.get(), 1, 0);
  blocks(s.get(), (int)(640 * 2756.25 / 32) + 10);
  EXPECT_EQ(s->playing, 1);
  EXPECT_LT(s->step, 5);
}

TEST(SynthEffects, NewEffectCancelsPendingEventsOnItsSelectors) {
  SynthPtr s = new_synth();
  syn_sfx(s.get(), 8, 1.0f);  // finish: selectors 1 2 3 1 2, a start and a release each
  EXPECT_EQ(s->sfx_count, 10);
  syn_sfx(s.get(), 3, 1.0f);  // move: selector 2
  EXPECT_EQ(s->sfx_count, 8);
  const SynSfx& finish = g_syn_sfx[8];
  for (int i = 0; i < s->sfx_count; i++) {
    const SynSfxNote* n = s->sfx_ev[i].note;
    EXPECT_FALSE(n >= finish.notes && n < finish.notes + finish.count && n->selector % 4 == 2) << "event " << i;
  }
  syn_sfx(s.get(), 2, 1.0f);  // thump: selectors 0 and 1
  syn_sfx(s.get(), 10, 1.0f);
  syn_sfx(s.get(), -1, 1.0f);
  EXPECT_EQ(s->sfx_count, 8);

  // a cancelled effect's sounding note goes on until the new note takes the voice
  SynthPtr g = new_synth();
  syn_sfx(g.get(), 1, 1.0f);  // go: selectors 2 and 3, 420 ms
  blocks(g.get(), 10);
  syn_sfx(g.get(), 3, 1.0f);
  EXPECT_TRUE(g->voice[10].gate);
  EXPECT_EQ(g->voice[10].instr, &g_syn_instr[27]);
  blocks(g.get(), 1);
  EXPECT_EQ(g->voice[10].instr, &g_syn_instr[30]);
  // selector 3 keeps its release at 420 ms (9261 samples: block 290)
  blocks(g.get(), 289 - 11);
  EXPECT_TRUE(g->voice[11].gate);
  blocks(g.get(), 1);
  EXPECT_FALSE(g->voice[11].gate);
}

// Pitch and level over the revolutions are pinned by the race hash; here the
// limits of the requests and switching off.
TEST(SynthEngine, HeldAtFullAndSwitchesOff) {
  SynthPtr s = new_synth();
  syn_engine(s.get(), 5.0f, 3.0f);  // held at full
  blocks(s.get(), seconds_in_blocks(4));
  EXPECT_NEAR(s->voice[12].freq, 130.0, 130 * 0.0121);
  EXPECT_NEAR(s->voice[13].amp, 0.8, 0.01);
  // off: the note fades, then both voices are released; an off request keeps the targets
  syn_engine(s.get(), -1.0f, 0.5f);
  EXPECT_EQ(std::make_pair(s->eng_rpm, s->eng_on), std::make_pair(1.0f, 0.0f));
  syn_engine(s.get(), NAN, 0.5f);
  EXPECT_EQ(s->eng_on, 0.0f) << "nonsense switches the engine off rather than poisoning it";
  blocks(s.get(), seconds_in_blocks(0.2));
  EXPECT_TRUE(s->voice[12].gate);
  blocks(s.get(), seconds_in_blocks(1));
  EXPECT_FALSE(s->voice[12].gate || s->voice[13].gate);
  blocks(s.get(), seconds_in_blocks(2));
  EXPECT_EQ(active(s.get(), 12, 14), 0);
}

TEST(SynthMix, GroupVolumesAndTheSoftLimiter) {
  SynthPtr s = new_synth();
  syn_music_volume(s.get(), -1.0f);
  syn_sfx_volume(s.get(), 7.0f);
  // music at volume 0 is silent, effects still sound; and the other way round
  syn_music(s.get(), 3, 1);
  EXPECT_EQ(rms(render(s.get(), 3 * kRate)), 0.0);
  syn_sfx(s.get(), 6, 1.0f);
  EXPECT_GT(rms(render(s.get(), kRate / 2)), 300.0);
  SynthPtr m = new_synth(), ref = new_synth();
  syn_sfx_volume(m.get(), 0.0f);
  syn_music(m.get(), 3, 1);
  syn_sfx(m.get(), 6, 1.0f);
  syn_music(ref.get(), 3, 1);
  EXPECT_TRUE(render(m.get(), 2 * kRate) == render(ref.get(), 2 * kRate)) << "a silent effect leaves the music alone";

  // The limiter: unchanged up to 24576, a quarter slope above, held at 32767.
  for (int v = 0; v <= 24576; v += 7) ASSERT_TRUE(syn_limit(v) == v && syn_limit(-v) == -v) << v;
  const int32_t in[] = {24580, -24580, 40000, 57339, 57340, -57340, 5000000, INT32_MIN};
  std::vector<int> out;
  for (int32_t v : in) out.push_back(syn_limit(v));
  EXPECT_EQ(out, (std::vector<int>{24577, -24577, 28432, 32766, 32767, -32767, 32767, -32767}));
  for (int v = -70000; v < 70000; v++) ASSERT_LE(syn_limit(v), syn_limit(v + 1)) << v;
  // it sits on the output, after the echo return
  s = new_synth();
  s->echo_mix = 256, s->echo_l[0] = 32767, s->echo_r[0] = -30000;
  EXPECT_EQ(render(s.get(), 1), (std::vector<int16_t>{26623, -25932}));
}

TEST(SynthEcho, LengthFollowsTheTempoWithinItsLimits) {
  SynthPtr s = new_synth();
  EXPECT_EQ(s->echo_len, 4096);
  s->echo_pos = 12000;
  syn_music(s.get(), 0, 1);  // 84 bpm, 0.75 beats
  EXPECT_EQ(std::vector<int>({s->echo_len, s->echo_pos, s->echo_fb, s->echo_mix}),
            std::vector<int>({11812, 0, 89, 76}));
  s = new_synth(48000);  // held at 16384
  syn_music(s.get(), 0, 1);
  EXPECT_EQ(s->echo_len, 16384);
}

}  // namespace
