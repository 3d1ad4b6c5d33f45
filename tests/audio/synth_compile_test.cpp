// The song compiler: chord and melody syntax, patterns, pads, drums, the
// error texts and the built-in songs.
#include <gtest/gtest.h>

#include <string>

#include "synth_test_util.h"

namespace {

uint32_t on(int note, int instr, int vel) {
  return (uint32_t)(note + 2) | (uint32_t)instr << 8 | (uint32_t)vel << 16;
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
  for (const Case& c : cases) {
    int32_t ch[6];
    const char* end = parse_chord(c.text, ch);
    ASSERT_NE(end, nullptr) << c.text;
    EXPECT_EQ(*end, 0) << c.text;
    EXPECT_EQ(ch[0], c.root) << c.text;
    EXPECT_EQ(ch[1], c.bass) << c.text;
    EXPECT_EQ(ch[2], 0) << c.text;
    EXPECT_EQ(ch[3], c.i1) << c.text;
    EXPECT_EQ(ch[4], c.i2) << c.text;
    EXPECT_EQ(ch[5], c.i3) << c.text;
  }
  // "m" matches before "maj9" could, leaving junk behind; other junk likewise
  for (const char* bad : {"Cmaj9", "H", "", "#C", "C/", "C/X", "Cx", "Dm7x", "C-"}) {
    int32_t ch[6];
    EXPECT_EQ(parse_chord(bad, ch), nullptr) << bad;
  }
  // a chord ends at a separator or a comma
  int32_t ch[6];
  for (const char* ok : {"C,D", "C|D", "C D", "C\tD", "C\nD"}) EXPECT_EQ(parse_chord(ok, ch), ok + 1) << ok;
}

TEST(SongCompiler, BarsCountRunsBetweenSeparators) {
  EXPECT_EQ(count_bars(""), 0);
  EXPECT_EQ(count_bars(nullptr), 0);
  EXPECT_EQ(count_bars(" | \t\n"), 0);
  EXPECT_EQ(count_bars("Csus4,C"), 1);
  EXPECT_EQ(count_bars("C|D  E\tF\nG"), 5);
  EXPECT_EQ(count_bars("|C|"), 1);

  SynthPtr s = new_synth();
  TestSong t{{section("C D E F G A B C")}, {0}};
  SynSong song = t.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  EXPECT_EQ(s->song_steps, 128);
  t.sections[0].chords = "C | D";
  song = t.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1);
  EXPECT_EQ(s->song_steps, 32);
}

TEST(SongCompiler, PadsFollowChordChangesWithVoiceLeading) {
  SynthPtr s = new_synth();
  // From the starting voices E4 G4 B4 a four-note chord leaves its root out;
  // the high candidate wins only when nearer and the low one is below 61.
  TestSong a{{section("Fmaj7")}, {0}};
  a.sections[0].pad_instr = 4;
  SynSong song = a.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  EXPECT_EQ(s->grid[0][3], on(0, 4, 255));
  EXPECT_EQ(s->pad_notes[0][0], 69);  // A4 (nearer than A3)
  EXPECT_EQ(s->pad_notes[0][1], 72);  // C5 (nearer than C4)
  EXPECT_EQ(s->pad_notes[0][2], 64);  // E4: E5 is nearer but E4 is not below 61

  TestSong b{{section("Csus4,C C C/G Dm")}, {0}};
  b.sections[0].pad_instr = 4;
  song = b.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  const int expect[][4] = {{0, 60, 65, 67}, {8, 60, 64, 67}, {48, 62, 65, 69}};
  for (const auto& e : expect) {
    EXPECT_EQ(s->grid[e[0]][3], on(0, 4, 255)) << "step " << e[0];
    for (int j = 0; j < 3; j++) EXPECT_EQ(s->pad_notes[e[0]][j], e[1 + j]) << "step " << e[0] << " voice " << j;
  }
  // the same chord again, or only a new bass note, starts no new pad
  for (int k = 0; k < 64; k++) {
    if (k == 0 || k == 8 || k == 48) continue;
    EXPECT_EQ(s->grid[k][3], 0u) << "step " << k;
  }

  // transposition moves chords and melody alike
  TestSong c{{section("C", "c5:16")}, {0}};
  c.sections[0].pad_instr = 4;
  c.sections[0].transpose = 2;
  c.sections[0].bass = 4;
  c.sections[0].bass_instr = 3;
  song = c.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  EXPECT_EQ(s->grid[0][0], on(74, 1, 255));
  EXPECT_EQ(s->grid[0][2], on(38, 3, 255));
  EXPECT_EQ(s->pad_notes[0][0], 62);
  EXPECT_EQ(s->pad_notes[0][1], 66);
  EXPECT_EQ(s->pad_notes[0][2], 69);
}

TEST(SongCompiler, BassAndArpeggioPatterns) {
  SynthPtr s = new_synth();
  TestSong t{{section("D/F# C/G Am7 Csus4,C")}, {0}};
  SynSection& x = t.sections[0];
  x.bass = 1;  // "1..5..8.1..5..3."
  x.bass_instr = 3;
  x.arp = 4;  // "1358135813581358"
  x.instr2 = 2;
  SynSong song = t.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  // slash bass: F#2 for D/F#, and G1 (an octave down, near the root) for C/G
  EXPECT_EQ(s->grid[0][2], on(42, 3, 255));
  EXPECT_EQ(s->grid[3][2], on(45, 3, 210)) << "off-beat bass notes are softer";
  EXPECT_EQ(s->grid[6][2], on(54, 3, 210));
  EXPECT_EQ(s->grid[8][2], on(42, 3, 255));
  EXPECT_EQ(s->grid[14][2], on(42, 3, 210));
  EXPECT_EQ(s->grid[1][2], 0u) << "'.' keeps the previous note";
  EXPECT_EQ(s->grid[16][2], on(31, 3, 255));
  EXPECT_EQ(s->grid[22][2], on(43, 3, 210));
  // arpeggio over Am7 from middle C: root, third, fifth, octave
  EXPECT_EQ(s->grid[32][1], on(69, 2, 255));
  EXPECT_EQ(s->grid[33][1], on(72, 2, 255));
  EXPECT_EQ(s->grid[34][1], on(76, 2, 255));
  EXPECT_EQ(s->grid[35][1], on(81, 2, 255));
  // the fourth bar changes chord half-way: Csus4's "third" is the fourth
  EXPECT_EQ(s->grid[49][1], on(65, 2, 255));
  EXPECT_EQ(s->grid[57][1], on(64, 2, 255));

  // the characters no built-in pattern uses
  int32_t dm7[6] = {2, 2, 0, 3, 7, 10};
  EXPECT_EQ(style_note('-', dm7, 60, 0), -1);
  EXPECT_EQ(style_note('0', dm7, 60, 0), 57);
  EXPECT_EQ(style_note('2', dm7, 60, 0), 76);
  EXPECT_EQ(style_note('6', dm7, 60, 0), 81);
  EXPECT_EQ(style_note('7', dm7, 60, 0), 72);
  EXPECT_EQ(style_note('9', dm7, 60, 0), 77);
  EXPECT_EQ(style_note('.', dm7, 60, 0), -2);
  EXPECT_EQ(style_note('4', dm7, 60, 0), -2);
}

TEST(SongCompiler, MelodyTokensLengthsTiesAndRests) {
  SynthPtr s = new_synth();
  TestSong t{{section("C", "c5:2 d5 e5:4 ~:4 r:4")}, {0}};
  SynSong song = t.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  for (int k = 0; k < 16; k++) {
    uint32_t want = k == 0 ? on(72, 1, 255) : k == 2 ? on(74, 1, 255) : k == 4 ? on(76, 1, 255) : k == 12 ? 1 : 0;
    EXPECT_EQ(s->grid[k][0], want) << "step " << k;
  }
  // silent parts release their voices at the section start; drums write nothing
  EXPECT_EQ(s->grid[0][1], 1u);
  EXPECT_EQ(s->grid[0][2], 1u);
  EXPECT_EQ(s->grid[0][3], 1u);
  EXPECT_EQ(s->grid[0][4], 0u);
  EXPECT_EQ(s->grid[0][6], 0u);

  // accidentals, soft notes and modifiers in either order
  t.sections[0] = section("C C", "c#5:4 db5 Bb3 cb5 b#4 e5' e5':4 e5:4'");
  song = t.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  EXPECT_EQ(s->grid[0][0], on(73, 1, 255));
  EXPECT_EQ(s->grid[4][0], on(73, 1, 255));
  EXPECT_EQ(s->grid[8][0], on(58, 1, 255));
  EXPECT_EQ(s->grid[12][0], on(71, 1, 255));
  EXPECT_EQ(s->grid[16][0], on(72, 1, 255));
  EXPECT_EQ(s->grid[20][0], on(76, 1, 178));
  EXPECT_EQ(s->grid[24][0], on(76, 1, 178));
  EXPECT_EQ(s->grid[28][0], on(76, 1, 178));

  // notes beyond the event word's range are held at its ends, never spill
  // into the instrument field
  t.sections[0] = section("C", "b9:8 c0:8");
  t.sections[0].transpose = 127;
  song = t.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  EXPECT_EQ(s->grid[0][0], on(253, 1, 255));
  t.sections[0].transpose = -128;
  song = t.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  EXPECT_EQ(s->grid[8][0], on(0, 1, 255));

  // a last note ends with its section, unless the next section starts a note there
  TestSong u{{section("C", "c5:16"), section("C", "r:8 d5:8"), section("C", "e5:16")}, {0, 1, 0, 2}};
  song = u.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  EXPECT_EQ(s->grid[16][0], 1u);
  EXPECT_EQ(s->grid[24][0], on(74, 1, 255));
  EXPECT_EQ(s->grid[32][0], on(72, 1, 255));
  EXPECT_EQ(s->grid[48][0], on(76, 1, 255));
}

TEST(SongCompiler, ErrorsNameTheOrderEntryAndPosition) {
  struct Case {
    const char* chords;
    const char* melody;
    const char* text;
  } cases[] = {
      {"C", "c5:0", "bad length (order entry 1, pos 0)"},
      {"C", "c5:4 c5:", "bad length (order entry 1, pos 4)"},
      {"C", "c5:4 c5x", "junk after melody token (order entry 1, pos 4)"},
      {"C", "c5:4 c5:4.5", "junk after melody token (order entry 1, pos 4)"},
      {"C", "h5:16", "bad melody token (order entry 1, pos 0)"},
      {"C", "R:16", "bad melody token (order entry 1, pos 0)"},
      {"C", "c:4", "melody note without octave (order entry 1, pos 0)"},
      {"C", "~:4 c5:12", "tie without a note (order entry 1, pos 0)"},
      {"C", "c5:4 r:4 ~:4 c5:4", "tie without a note (order entry 1, pos 8)"},
      {"C C", "c5:4 c5:2 | c5:26", "bar line not on a bar boundary (order entry 1, pos 6)"},
      {"C", "c5:4 c5:2 c5:12", "melody longer than the section (order entry 1, pos 6)"},
      {"C", "c5:15", "melody length differs from the section (order entry 1, pos 15)"},
      {"C", "", "melody length differs from the section (order entry 1, pos 0)"},
      {"C Xm", nullptr, "bad chord (order entry 1, pos 16)"},
      {"C D,Q", nullptr, "bad second chord (order entry 1, pos 16)"},
      {"Cmaj9", nullptr, "bad chord (order entry 1, pos 0)"},
      {"C,", nullptr, "bad second chord (order entry 1, pos 0)"},
  };
  SynthPtr s = new_synth();
  for (const Case& c : cases) {
    TestSong t{{section("C", "c5:16"), section(c.chords, c.melody)}, {0, 1}};
    SynSong song = t.song();
    EXPECT_EQ(syn_compile(s.get(), &song), 0) << c.melody;
    EXPECT_STREQ(s->error, c.text);
  }
  // a good compilation clears the text
  TestSong ok{{section("C", "c5:16")}, {0}};
  SynSong song = ok.song();
  EXPECT_EQ(syn_compile(s.get(), &song), 1);
  EXPECT_STREQ(s->error, "");
}

TEST(SongCompiler, SongLengthLimit) {
  SynthPtr s = new_synth();
  TestSong t{{section("C")}, std::vector<uint8_t>(100, 0)};
  SynSong song = t.song();
  EXPECT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  EXPECT_EQ(s->song_steps, 1600);
  t.order.push_back(0);
  song = t.song();
  EXPECT_EQ(syn_compile(s.get(), &song), 0);
  EXPECT_STREQ(s->error, "song too long (order entry 0, pos 1616)");
  t.order.clear();
  song = t.song();
  EXPECT_EQ(syn_compile(s.get(), &song), 1);
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
  SynSong song = t.song();
  ASSERT_EQ(syn_compile(s.get(), &song), 1) << s->error;
  EXPECT_EQ(s->grid[0][4], on(33, 5, 255));
  EXPECT_EQ(s->grid[0][5], on(100, 8, 178));
  EXPECT_EQ(s->grid[4][5], on(84, 7, 255));
  EXPECT_EQ(s->grid[12][4], 0u);
  EXPECT_EQ(s->grid[28][4], on(33, 5, 255)) << "the last bar plays the fill";
  EXPECT_EQ(s->grid[26][5], on(84, 7, 89));
  EXPECT_EQ(s->grid[34][5], on(100, 9, 229));
  for (int k = 0; k < 48; k++) {
    EXPECT_NE(s->grid[k][4], 1u) << "drums never write note-offs";
    EXPECT_NE(s->grid[k][5], 1u);
  }
  for (int k = 32; k < 48; k++) EXPECT_EQ(s->grid[k][4], 0u) << "style without a first pattern";
  // silent parts release at the section start: the pad of the previous section too
  for (int ch = 0; ch < 4; ch++) EXPECT_EQ(s->grid[32][ch], 1u) << "channel " << ch;
  // channel 1 of the last section holds the second melody, not the arpeggio
  EXPECT_EQ(s->grid[48][1], on(72, 13, 255));
  for (int k = 49; k < 64; k++) EXPECT_EQ(s->grid[k][1], 0u) << "step " << k;
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
  ASSERT_EQ(s->playing, 1);
  EXPECT_EQ(syn_song_frames(s.get(), 99), 0);
  EXPECT_STREQ(s->error, "no such song");
  EXPECT_EQ(s->playing, 1);
  EXPECT_EQ(s->song, 0);
  EXPECT_EQ(syn_song_frames(s.get(), 4), 124031);
  EXPECT_EQ(s->playing, 0);
  EXPECT_EQ(s->song, -1);
  EXPECT_EQ(compile_song(s.get(), -1), 0);
}

}  // namespace
