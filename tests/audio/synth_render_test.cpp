// The synthesiser: shared formulas, pitch, block rendering, songs and fades,
// effects, the engine, the echo and the limiter.
#include <gtest/gtest.h>
#include <math.h>

#include "synth_test_util.h"

namespace {

const int kRate = 22050;

void blocks(Synth* s, int n) {
  int16_t out[SYN_BLOCK * 2];
  for (int i = 0; i < n; i++) render_block(s, out);
}

int seconds_in_blocks(double sec) { return (int)(sec * kRate / SYN_BLOCK); }

TEST(SynthFormulas, Exp2AndSine) {
  for (int n = -60; n <= 60; n++) EXPECT_EQ(syn_exp2((float)n), ldexpf(1.0f, n)) << n;
  EXPECT_EQ(syn_exp2(-60.01f), 0.0f);
  EXPECT_EQ(syn_exp2(100.0f), syn_exp2(60.0f));
  double worst = 0;
  for (float x = -20.0f; x < 20.0f; x += 0.0137f) worst = fmax(worst, fabs(syn_exp2(x) / exp2((double)x) - 1));
  EXPECT_LT(worst, 8e-4) << "the polynomial is good to about a cent";
  // One period per unit, negative arguments too.
  EXPECT_EQ(std::vector<float>({syn_sin(0), syn_sin(0.25f), syn_sin(0.5f), syn_sin(0.75f), syn_sin(-0.75f)}),
            std::vector<float>({0, 1, 0, -1, 1}));
  worst = 0;
  for (float x = -2.0f; x < 2.0f; x += 0.001f) worst = fmax(worst, fabs(syn_sin(x) - sin(2 * M_PI * x)));
  EXPECT_LT(worst, 0.0015);
}

TEST(SynthVoices, NotePitchAndPadDetune) {
  for (int note : {33, 45, 69, 81, 96}) {
    SynthPtr s = new_synth();
    voice_on(s.get(), 8, 34, note, 1.0f, 1);  // steady triangle, no filter
    std::vector<int16_t> st = render(s.get(), kRate + kRate / 4);
    double want = 440.0 * pow(2.0, (note - 69) / 12.0);
    double got = peak_frequency(st, kRate / 4, kRate, want, kRate);
    EXPECT_NEAR(got / want, 1.0, 0.01) << "note " << note << ": " << got << " Hz";
  }
  // The menu song starts with a pad of instrument 4, 7 cents apart (the
  // exponential's polynomial is a cent or so short just below whole numbers).
  SynthPtr s = new_synth();
  syn_music(s.get(), 0, 1);
  blocks(s.get(), 1);
  for (int v = 3; v < 6; v++) {
    EXPECT_NEAR(s->voice[v].detune_ratio, pow(2.0, (v - 4) * 7.0 / 1200), 8e-4) << v;
    EXPECT_TRUE(s->voice[v].active && s->voice[v].instr == &g_syn_instr[4]) << v;
  }
  EXPECT_EQ(s->voice[4].detune_ratio, 1.0f);
}

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

TEST(SynthSongs, StepsStartOnBlocksAndCarryTheRemainder) {
  SynthPtr s = new_synth();
  syn_music(s.get(), 1, 1);  // 120 bpm: 2756.25 samples per step
  for (int b = 1; b <= 2000; b++) {
    blocks(s.get(), 1);
    ASSERT_EQ(s->step, (int)floor(32.0 * b / 2756.25) + 1) << "block " << b;
  }
  // swing 0.1: even steps last 1.1 step lengths, odd ones 0.9
  syn_music(s.get(), 2, 0);
  ASSERT_EQ(s->song, 2);
  for (int b = 1, last_step = 0, last_block = 0; b < 3000; b++) {
    blocks(s.get(), 1);
    if (s->step == last_step) continue;
    if (last_step >= 1) {  // step last_step - 1 was just timed
      EXPECT_NEAR((b - last_block) * 32.0 / s->step_len, last_step % 2 ? 1.1 : 0.9, 32.0 / s->step_len) << last_step;
    }
    last_step = s->step;
    last_block = b;
  }
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
  EXPECT_EQ(s->echo_len, (int)(2756.25f * 4 * 0.75f));
  // the same song again changes nothing
  blocks(s.get(), 100);
  int step = s->step;
  syn_music(s.get(), 1, 1);
  EXPECT_EQ(s->fading, 0);
  blocks(s.get(), 100);
  EXPECT_GT(s->step, step);
  // asking for the playing song during a fade starts it again afterwards
  syn_music(s.get(), 3, 1);
  blocks(s.get(), 50);
  syn_music(s.get(), 1, 1);
  blocks(s.get(), 300);
  EXPECT_EQ(s->song, 1);
  EXPECT_LT(s->step, 10) << "restarted from the top";
  // without a fade the change is immediate
  syn_music(s.get(), 2, 0);
  EXPECT_EQ(std::make_pair(s->song, s->playing), std::make_pair(2, 1));
  // silence: fade out, then nothing plays
  syn_music(s.get(), -1, 1);
  blocks(s.get(), 300);
  EXPECT_EQ(std::make_pair(s->song, s->playing), std::make_pair(-1, 0));
  blocks(s.get(), seconds_in_blocks(10));
  for (int v = 0; v < 8; v++) EXPECT_FALSE(s->voice[v].active) << "voice " << v;
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
  EXPECT_EQ(s->playing, 0);
  for (int v = 0; v < 8; v++) EXPECT_FALSE(s->voice[v].active) << "voice " << v;
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

TEST(SynthEffects, NotesStartReleaseAndGlideOnTime) {
  SynthPtr s = new_synth();
  syn_sfx(s.get(), 4, 1.0f);  // confirm: voice 10 at 0 for 50 ms, voice 11 at 60 ms
  blocks(s.get(), 1);
  EXPECT_TRUE(s->voice[10].gate);
  EXPECT_NEAR(s->voice[10].velocity, 0.9f, 1e-6);
  blocks(s.get(), 33);
  EXPECT_TRUE(s->voice[10].gate);
  blocks(s.get(), 1);  // 1102 samples: the 35th block
  EXPECT_FALSE(s->voice[10].gate);
  blocks(s.get(), 6);
  EXPECT_FALSE(s->voice[11].active);
  blocks(s.get(), 1);  // 1323 samples: the 42nd block
  EXPECT_TRUE(s->voice[11].active);
  EXPECT_NEAR(s->voice[11].freq, 440 * pow(2.0, (84 - 69) / 12.0), 0.01);
  // thump glides its first note down over 120 ms (83 blocks), then holds
  syn_sfx(s.get(), 2, 0.5f);
  blocks(s.get(), 1);
  double f0 = 440 * pow(2.0, (40 - 69) / 12.0);
  EXPECT_NEAR(s->voice[8].freq / f0, pow(2.0, -10.0 / 12 / 82.6875), 1e-3);
  EXPECT_NEAR(s->voice[8].velocity, 0.5f, 1e-6) << "the caller's volume factor";
  blocks(s.get(), 82);
  double end = s->voice[8].freq;
  blocks(s.get(), 20);
  EXPECT_EQ(s->voice[8].freq, end);
  // ten semitones, plus what the per-block ratio's polynomial loses 83 times over
  double semis = -12 * log2(end / f0);
  EXPECT_GT(semis, 10.0);
  EXPECT_LT(semis, 11.2);
}

TEST(SynthEngine, PitchFollowsRevolutionsAndSwitchesOff) {
  SynthPtr s = new_synth();
  syn_engine(s.get(), 0.0f, 0.0f);
  blocks(s.get(), seconds_in_blocks(4));
  EXPECT_NEAR(s->voice[12].freq, 34.0, 34 * 0.0121);
  EXPECT_NEAR(s->voice[13].freq, 17.0, 17 * 0.0121) << "an octave below, with its own wobble";
  EXPECT_NEAR(s->voice[12].amp, 0.65 * 0.3, 0.01);
  syn_engine(s.get(), 5.0f, 3.0f);  // held at full
  EXPECT_EQ(std::make_pair(s->eng_rpm, s->eng_load), std::make_pair(1.0f, 1.0f));
  blocks(s.get(), seconds_in_blocks(4));
  EXPECT_NEAR(s->voice[12].freq, 130.0, 130 * 0.0121);
  EXPECT_NEAR(s->voice[12].amp, 1.0, 0.01);
  EXPECT_NEAR(s->voice[13].amp, 0.8, 0.01);
  std::vector<int16_t> st = render(s.get(), kRate);
  EXPECT_NEAR(peak_frequency(st, 0, kRate, 130, kRate) / 130, 1.0, 0.015) << "heard at 130 Hz";
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
  EXPECT_FALSE(s->voice[12].active || s->voice[13].active);
}

TEST(SynthMix, GroupVolumesAndTheSoftLimiter) {
  SynthPtr s = new_synth();
  syn_music_volume(s.get(), 2.0f);
  EXPECT_EQ(s->music_vol, 1.0f);
  syn_music_volume(s.get(), -1.0f);
  EXPECT_EQ(s->music_vol, 0.0f);
  syn_sfx_volume(s.get(), 7.0f);
  EXPECT_EQ(s->sfx_vol, 1.0f);
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
  s->echo_mix = 256;
  s->echo_l[0] = 32767;
  s->echo_r[0] = -30000;
  std::vector<int16_t> first = render(s.get(), 1);
  EXPECT_EQ(first, (std::vector<int16_t>{26623, -25932}));
}

TEST(SynthEcho, LengthFollowsTheTempoAndRepeatsAlternateSides) {
  SynthPtr s = new_synth();
  EXPECT_EQ(s->echo_len, 4096);
  s->echo_pos = 12000;
  syn_music(s.get(), 0, 1);  // 84 bpm, 0.75 beats
  EXPECT_EQ(std::vector<int>({s->echo_len, s->echo_pos, s->echo_fb, s->echo_mix}),
            std::vector<int>({11812, 0, 89, 76}));
  syn_music(s.get(), 4, 0);  // 128 bpm, half a beat
  EXPECT_EQ(s->echo_len, 5167);
  for (auto r : {std::pair<int, int>{48000, 16384}, {100, 64}}) {  // held within 64 to 16384
    SynthPtr x = new_synth(r.first);
    syn_music(x.get(), 0, 1);
    EXPECT_EQ(x->echo_len, r.second) << r.first << " Hz";
  }
  // one impulse in the left line comes back on the right, then on the left,
  // each repeat low-passed
  SynthPtr e = new_synth();
  e->echo_len = 64;
  e->echo_fb = 256;
  e->echo_mix = 256;
  e->echo_l[0] = 16000;
  std::vector<int16_t> st = render(e.get(), 3 * 64);
  auto peak = [&](int from, int ch) {
    int m = 0;
    for (int i = from; i < from + 64; i++) m = std::max(m, abs(st[2 * i + ch]));
    return m;
  };
  EXPECT_EQ(st[0], 16000);
  EXPECT_EQ(std::vector<int>({peak(0, 1), peak(64, 0), peak(128, 1)}), std::vector<int>({0, 0, 0}));
  EXPECT_GT(peak(64, 1), 0);
  EXPECT_LT(peak(64, 1), peak(0, 0));
  EXPECT_GT(peak(128, 0), 0);
  EXPECT_LT(peak(128, 0), peak(64, 1));
}

}  // namespace
