// The song compiler: chord and melody syntax, patterns, pads, drums, the
// error texts and the built-in songs.
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
  std::vector<uint32_t> w;
  for (int k = from; k < from + n; k++) w.push_back(s->grid[k][ch]);
  return w;
}

// The three pad notes started at a step.
std::vector<int> pad(const Synth* s, int step) {
  return {s->pad_notes[step][0], s->pad_notes[step][1], s->pad_notes[step][2]};
}

TEST(SongCompiler, ChordQualitiesAccidentalsAndSlashBass) {
  struct Case {
    const char* text;
    int root, bass, i1, i2, i3;
  } cases[] = {
      {"C", 0, 0, 4, 7, 12},      {"Cmaj7", 0, 0, 4, 7, 11},  {"Cmadd9", 0, 0, 3, 7, 14}, {"Am7b5", 9, 9, 3, 6, 10},
      {"Dm7", 2, 2, 3, 7, 10},    {"Em6", 4, 4, 3, 7, 9},     {"gm", 7, 7, 3, 7, 12},     {"C7sus4", 0, 0, 5, 7, 10},
      {"Fsus2", 5, 5, 2, 7, 12},  {"Csus4", 0, 0, 5, 7, 12},  {"Cadd9", 0, 0, 4, 7, 14},  {"Bdim", 11, 11, 3, 6, 12},
      {"G7", 7, 7, 4, 7, 10},     {"C6", 0, 0, 4, 7, 9},      {"Bb", 10, 10, 4, 7, 12},   {"bbm", 10, 10, 3, 7, 12},
      {"C#m7", 1, 1, 3, 7, 10},   {"Cb", 11, 11, 4, 7, 12},   {"B#", 0, 0, 4, 7, 12},     {"D/F#", 2, 6, 4, 7, 12},
      {"C/G", 0, 7, 4, 7, 12},    {"Ebmaj7/Bb", 3, 10, 4, 7, 11},
  };
  int32_t ch[6];
  for (const Case& c : cases) {
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

TEST(SongCompiler, BarsCountRunsBetweenSeparators) {
  EXPECT_EQ(count_bars(nullptr), 0);
  for (auto c : {std::pair<const char*, int>{"", 0}, {" | \t\n", 0}, {"Csus4,C", 1}, {"C|D  E\tF\nG", 5}, {"|C|", 1}})
    EXPECT_EQ(count_bars(c.first), c.second) << c.first;
  SynthPtr s = new_synth();
  ASSERT_TRUE(compile(s.get(), {{section("C D E F G A B C")}, {0}})) << s->error;
  EXPECT_EQ(s->song_steps, 128);
  ASSERT_TRUE(compile(s.get(), {{section("C | D")}, {0}})) << s->error;
  EXPECT_EQ(s->song_steps, 32);
}

TEST(SongCompiler, PadsFollowChordChangesWithVoiceLeading) {
  SynthPtr s = new_synth();
  // From the starting voices E4 G4 B4 a four-note chord leaves its root out;
  // the high candidate wins only when nearer and the low one is below 61:
  // A4 (nearer than A3), C5 (nearer than C4), E4 (E5 is nearer, but E4 is not below 61).
  TestSong a{{section("Fmaj7")}, {0}};
  a.sections[0].pad_instr = 4;
  ASSERT_TRUE(compile(s.get(), a)) << s->error;
  EXPECT_EQ(s->grid[0][3], on(0, 4));
  EXPECT_EQ(pad(s.get(), 0), (std::vector<int>{69, 72, 64}));
  a.sections[0].chords = "Csus4,C C C/G Dm";
  ASSERT_TRUE(compile(s.get(), a)) << s->error;
  EXPECT_EQ(pad(s.get(), 0), (std::vector<int>{60, 65, 67}));
  EXPECT_EQ(pad(s.get(), 8), (std::vector<int>{60, 64, 67}));
  EXPECT_EQ(pad(s.get(), 48), (std::vector<int>{62, 65, 69}));
  // only those steps start pads: the same chord again, or a new bass note alone, does not
  for (int k = 0; k < 64; k++) EXPECT_EQ(s->grid[k][3], k == 0 || k == 8 || k == 48 ? on(0, 4) : 0u) << "step " << k;

  // transposition moves chords and melody alike
  TestSong c{{section("C", "c5:16")}, {0}};
  c.sections[0].pad_instr = 4;
  c.sections[0].transpose = 2;
  c.sections[0].bass = 4;
  c.sections[0].bass_instr = 3;
  ASSERT_TRUE(compile(s.get(), c)) << s->error;
  EXPECT_EQ(std::vector<uint32_t>(s->grid[0], s->grid[0] + 3), (std::vector<uint32_t>{on(74, 1), 1, on(38, 3)}));
  EXPECT_EQ(pad(s.get(), 0), (std::vector<int>{62, 66, 69}));
}

TEST(SongCompiler, BassAndArpeggioPatterns) {
  SynthPtr s = new_synth();
  TestSong t{{section("D/F# C/G Am7 Csus4,C")}, {0}};
  SynSection& x = t.sections[0];
  x.bass = 1;  // "1..5..8.1..5..3."
  x.bass_instr = 3;
  x.arp = 4;  // "1358135813581358"
  x.instr2 = 2;
  ASSERT_TRUE(compile(s.get(), t)) << s->error;
  // slash bass: F#2 for D/F#, and G1 (an octave down, near the root) for C/G;
  // off-beat notes are softer; '.' keeps the previous note
  EXPECT_EQ(at(s.get(), 2, {0, 1, 3, 6, 8, 14, 16, 22}),
            (std::vector<uint32_t>{on(42, 3), 0, on(45, 3, 210), on(54, 3, 210), on(42, 3), on(42, 3, 210),
                                   on(31, 3), on(43, 3, 210)}));
  // arpeggio over Am7 from middle C: root, third, fifth, octave; the fourth
  // bar changes chord half-way: Csus4's "third" is the fourth
  EXPECT_EQ(at(s.get(), 1, {32, 33, 34, 35, 49, 57}),
            (std::vector<uint32_t>{on(69, 2), on(72, 2), on(76, 2), on(81, 2), on(65, 2), on(64, 2)}));
  // the characters no built-in pattern uses
  const int32_t dm7[6] = {2, 2, 0, 3, 7, 10};
  std::vector<int> notes;
  for (char c : std::string("-02679.4")) notes.push_back(style_note(c, dm7, 60, 0));
  EXPECT_EQ(notes, (std::vector<int>{-1, 57, 76, 81, 72, 77, -2, -2}));
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
  struct Case {
    const char* chords;
    const char* melody;
    const char* text;
  } cases[] = {
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
  for (const Case& c : cases) {
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
  EXPECT_TRUE(compile(s.get(), t));
  EXPECT_EQ(s->song_steps, 0);
}

TEST(SongCompiler, DrumsFillsAndChannelOwnership) {
  SynthPtr s = new_synth();
  TestSong t{{section("C C"), section("C"), section("C")}, {0, 1, 2}};
  t.sections[0].drums = 1;  // "k.......k.k....." / "h.h.s.h.h.h.s.h."
  t.sections[0].fill = 2;   // "k.......k.k.k..." / "h.h.s.h.s.gsg.ss"
  t.sections[0].pad_instr = 4;
  t.sections[1].drums = 10;  // no first pattern / "..o...o...o...o."
  t.sections[2].melody2 = "c5:16";  // wins over the arpeggio
  t.sections[2].arp = 0;
  t.sections[2].instr2 = 13;
  ASSERT_TRUE(compile(s.get(), t)) << s->error;
  EXPECT_EQ(at(s.get(), 4, {0, 12, 28}), (std::vector<uint32_t>{on(33, 5), 0, on(33, 5)})) << "the fill's last bar";
  EXPECT_EQ(at(s.get(), 5, {0, 4, 26, 34}),
            (std::vector<uint32_t>{on(100, 8, 178), on(84, 7), on(84, 7, 89), on(100, 9, 229)}));
  EXPECT_EQ(run(s.get(), 4, 32, 16), std::vector<uint32_t>(16, 0)) << "style without a first pattern";
  for (int k = 0; k < 48; k++) EXPECT_TRUE(s->grid[k][4] != 1 && s->grid[k][5] != 1) << "drums never write note-offs";
  // silent parts release at the section start: the pad of the previous section too
  EXPECT_EQ(std::vector<uint32_t>(s->grid[32], s->grid[32] + 4), (std::vector<uint32_t>{1, 1, 1, 1}));
  // channel 1 of the last section holds the second melody, not the arpeggio
  EXPECT_EQ(run(s.get(), 1, 48, 16), (std::vector<uint32_t>{on(72, 13), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(SongCompiler, BuiltInSongs) {
  SynthPtr s = new_synth();
  const int steps[5] = {384, 640, 512, 640, 48};
  const int frames[5] = {1512000, 1764000, 1840695, 2116800, 124031};
  ASSERT_EQ(g_syn_nsongs, 5);
  for (int i = 0; i < 5; i++) {
    EXPECT_EQ(syn_compile_check(s.get(), i), 1) << g_syn_songs[i].name << ": " << s->error;
    EXPECT_EQ(s->song_steps, steps[i]) << g_syn_songs[i].name;
    EXPECT_EQ(syn_song_frames(s.get(), i), frames[i]) << g_syn_songs[i].name;
  }
  // measuring a song stops the sequencer; a failure leaves it alone
  syn_music(s.get(), 0, 1);
  EXPECT_EQ(syn_song_frames(s.get(), 99), 0);
  EXPECT_STREQ(s->error, "no such song");
  EXPECT_EQ(std::make_pair(s->playing, s->song), std::make_pair(1, 0));
  EXPECT_EQ(syn_song_frames(s.get(), 4), 124031);
  EXPECT_EQ(std::make_pair(s->playing, s->song), std::make_pair(0, -1));
  EXPECT_EQ(compile_song(s.get(), -1), 0);
}

}  // namespace
