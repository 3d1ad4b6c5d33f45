// The song compiler: chord and melody syntax, what no built-in song does,
// the error texts and the built-in songs.
#include <gtest/gtest.h>

#include <string>

#include "synth_test_util.h"

namespace {

uint32_t on(int note, int instr, int vel = 255) {
  return (uint32_t)(note + 2) | (uint32_t)instr << 8 | (uint32_t)vel << 16;
}

// The grid words of one channel at the given steps, or at n steps from `from`.
std::vector<uint32_t> at(const Synth* s, int ch, std::initializer_list<int> steps) {
  std::vector<uint32_t> w;
  for (int k : steps) w.push_back(s->grid[k][ch]);
  return w;
}
std::vector<uint32_t> run(const Synth* s, int ch, int from, int n) {
  std::vector<uint32_t> w(n);
  for (int k = 0; k < n; k++) w[k] = s->grid[from + k][ch];
  return w;
}

// The three pad notes started at a step.
std::vector<int> pad(const Synth* s, int step) {
  return {s->pad_notes[step][0], s->pad_notes[step][1], s->pad_notes[step][2]};
}

TEST(SongCompiler, ChordQualitiesAccidentalsAndSlashBass) {
  struct { const char* text; int root, bass, i1, i2, i3; } cases[] = {
      {"C", 0, 0, 4, 7, 12},      {"Cmaj7", 0, 0, 4, 7, 11},  {"Cmadd9", 0, 0, 3, 7, 14}, {"Am7b5", 9, 9, 3, 6, 10},
      {"Dm7", 2, 2, 3, 7, 10},    {"Em6", 4, 4, 3, 7, 9},     {"gm", 7, 7, 3, 7, 12},     {"C7sus4", 0, 0, 5, 7, 10},
      {"Fsus2", 5, 5, 2, 7, 12},  {"Csus4", 0, 0, 5, 7, 12},  {"Cadd9", 0, 0, 4, 7, 14},  {"Bdim", 11, 11, 3, 6, 12},
      {"G7", 7, 7, 4, 7, 10},     {"C6", 0, 0, 4, 7, 9},      {"Bb", 10, 10, 4, 7, 12},   {"bbm", 10, 10, 3, 7, 12},
      {"C#m7", 1, 1, 3, 7, 10},   {"Cb", 11, 11, 4, 7, 12},   {"B#", 0, 0, 4, 7, 12},     {"D/F#", 2, 6, 4, 7, 12},
      {"C/G", 0, 7, 4, 7, 12},    {"Ebmaj7/Bb", 3, 10, 4, 7, 11},
  };
  int32_t ch[6];
  for (auto& c : cases) {
    const char* end = parse_chord(c.text, ch);
    ASSERT_TRUE(end && !*end) << c.text;
    EXPECT_EQ(std::vector<int>(ch, ch + 6), (std::vector<int>{c.root, c.bass, 0, c.i1, c.i2, c.i3})) << c.text;
  }
  // "m" matches before "maj9" could, leaving junk behind; other junk likewise
  for (const char* bad : {"Cmaj9", "H", "", "#C", "C/", "C/X", "Cx", "Dm7x", "C-"})
    EXPECT_EQ(parse_chord(bad, ch), nullptr) << bad;
  // a chord ends at a separator or a comma
  for (const char* ok : {"C,D", "C|D", "C D", "C\tD", "C\nD"}) EXPECT_EQ(parse_chord(ok, ch), ok + 1) << ok;
}

// Voice leading, slash bass, patterns, drums and fills are heard in every
// built-in song and pinned by the render hashes; what no built-in song does
// is checked here.
TEST(SongCompiler, WhatNoBuiltInSongDoes) {
  SynthPtr s = new_synth();
  // Transposition moves chords, pads, bass and melody alike.
  TestSong c{{section("C", "c5:16")}, {0}};
  c.sections[0].pad_instr = 4;
  c.sections[0].transpose = 2;
  c.sections[0].bass = 4;
  c.sections[0].bass_instr = 3;
  ASSERT_TRUE(compile(s.get(), c)) << s->error;
  EXPECT_EQ(std::vector<uint32_t>(s->grid[0], s->grid[0] + 3), (std::vector<uint32_t>{on(74, 1), 1, on(38, 3)}));
  EXPECT_EQ(pad(s.get(), 0), (std::vector<int>{62, 66, 69}));
  // The pattern characters no built-in pattern uses.
  const int32_t dm7[6] = {2, 2, 0, 3, 7, 10};
  std::vector<int> notes;
  for (char ch : std::string("-02679.4")) notes.push_back(style_note(ch, dm7, 60, 0));
  EXPECT_EQ(notes, (std::vector<int>{-1, 57, 76, 81, 72, 77, -2, -2}));
  // A drum style without a first pattern writes nothing there, drums never
  // write note-offs, and a second melody wins over the arpeggio.
  TestSong t{{section("C"), section("C")}, {0, 1}};
  t.sections[0].drums = 10;
  t.sections[1].melody2 = "c5:16";
  t.sections[1].arp = 0;
  t.sections[1].instr2 = 13;
  ASSERT_TRUE(compile(s.get(), t)) << s->error;
  EXPECT_EQ(run(s.get(), 4, 0, 16), std::vector<uint32_t>(16, 0));
  for (int k = 0; k < 32; k++) EXPECT_TRUE(s->grid[k][5] != 1) << "step " << k;
  EXPECT_EQ(run(s.get(), 1, 16, 16), (std::vector<uint32_t>{on(72, 13), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(SongCompiler, MelodyTokensLengthsTiesAndRests) {
  SynthPtr s = new_synth();
  ASSERT_TRUE(compile(s.get(), {{section("C", "c5:2 d5 e5:4 ~:4 r:4")}, {0}})) << s->error;
  EXPECT_EQ(run(s.get(), 0, 0, 16), (std::vector<uint32_t>{on(72, 1), 0, on(74, 1), 0, on(76, 1), 0, 0, 0, 0, 0, 0,
                                                             0, 1, 0, 0, 0}));
  // silent parts release their voices at the section start; drums write nothing
  EXPECT_EQ(std::vector<uint32_t>(s->grid[0] + 1, s->grid[0] + 7), (std::vector<uint32_t>{1, 1, 1, 0, 0, 0}));
  // accidentals, soft notes and modifiers in either order
  ASSERT_TRUE(compile(s.get(), {{section("C C", "c#5:4 db5 Bb3 cb5 b#4 e5' e5':4 e5:4'")}, {0}})) << s->error;
  EXPECT_EQ(at(s.get(), 0, {0, 4, 8, 12, 16, 20, 24, 28}),
            (std::vector<uint32_t>{on(73, 1), on(73, 1), on(58, 1), on(71, 1), on(72, 1), on(76, 1, 178),
                                   on(76, 1, 178), on(76, 1, 178)}));
  // notes beyond the event word's range are held at its ends, never spill into the instrument field
  TestSong t{{section("C", "b9:8 c0:8")}, {0}};
  t.sections[0].transpose = 127;
  ASSERT_TRUE(compile(s.get(), t)) << s->error;
  EXPECT_EQ(s->grid[0][0], on(253, 1));
  t.sections[0].transpose = -128;
  ASSERT_TRUE(compile(s.get(), t)) << s->error;
  EXPECT_EQ(s->grid[8][0], on(0, 1));
  // a last note ends with its section, unless the next section starts a note there
  TestSong u{{section("C", "c5:16"), section("C", "r:8 d5:8"), section("C", "e5:16")}, {0, 1, 0, 2}};
  ASSERT_TRUE(compile(s.get(), u)) << s->error;
  EXPECT_EQ(at(s.get(), 0, {16, 24, 32, 48}), (std::vector<uint32_t>{1, on(74, 1), on(72, 1), on(76, 1)}));
}

TEST(SongCompiler, ErrorsNameTheOrderEntryAndPosition) {
  struct { const char* chords; const char* melody; const char* text; } cases[] = {
      {"C", "c5:4 c5:", "bad length (order entry 1, pos 4)"},
      {"C", "c5:4 c5:4.5", "junk after melody token (order entry 1, pos 4)"},
      {"C", "h5:16", "bad melody token (order entry 1, pos 0)"},
      {"C", "R:16", "bad melody token (order entry 1, pos 0)"},
      {"C", "c:4", "melody note without octave (order entry 1, pos 0)"},
      {"C", "c5:4 r:4 ~:4 c5:4", "tie without a note (order entry 1, pos 8)"},
      {"C C", "c5:4 c5:2 | c5:26", "bar line not on a bar boundary (order entry 1, pos 6)"},
      {"C", "c5:4 c5:2 c5:12", "melody longer than the section (order entry 1, pos 6)"},
      {"C", "c5:15", "melody length differs from the section (order entry 1, pos 15)"},
      {"C Xm", nullptr, "bad chord (order entry 1, pos 16)"},
      {"C D,Q", nullptr, "bad second chord (order entry 1, pos 16)"},
  };
  SynthPtr s = new_synth();
  for (auto& c : cases) {
    EXPECT_FALSE(compile(s.get(), {{section("C", "c5:16"), section(c.chords, c.melody)}, {0, 1}})) << c.melody;
    EXPECT_STREQ(s->error, c.text);
  }
  // a good compilation clears the text
  EXPECT_TRUE(compile(s.get(), {{section("C", "c5:16")}, {0}}));
  EXPECT_STREQ(s->error, "");
  // 100 bars compile, 101 do not; no order entries make an empty song
  TestSong t{{section("C")}, std::vector<uint8_t>(100, 0)};
  EXPECT_TRUE(compile(s.get(), t)) << s->error;
  EXPECT_EQ(s->song_steps, 1600);
  t.order.push_back(0);
  EXPECT_FALSE(compile(s.get(), t));
  EXPECT_STREQ(s->error, "song too long (order entry 0, pos 1616)");
  t.order.clear();
  EXPECT_TRUE(compile(s.get(), t) && s->song_steps == 0);
}

// Their lengths are pinned by the render hashes, which play each song once through.
TEST(SongCompiler, BuiltInSongs) {
  SynthPtr s = new_synth();
  ASSERT_EQ(g_syn_nsongs, 5);
  for (int i = 0; i < 5; i++) EXPECT_EQ(syn_compile_check(s.get(), i), 1) << g_syn_songs[i].name << ": " << s->error;
  // measuring a song stops the sequencer; a failure leaves it alone
  syn_music(s.get(), 0, 1);
  EXPECT_EQ(syn_song_frames(s.get(), 99), 0);
  EXPECT_TRUE(std::string(s->error) == "no such song" && s->playing == 1 && s->song == 0);
  EXPECT_EQ(syn_song_frames(s.get(), 4), 124031);
  EXPECT_TRUE(s->playing == 0 && s->song == -1);
  EXPECT_EQ(compile_song(s.get(), -1), 0);
}

}  // namespace
