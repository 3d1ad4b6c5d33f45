// The song compiler: chord strings, melodies, arpeggio and bass patterns,
// drum patterns and pad voicing turned into the step grid the sequencer
// plays. One pass over each string, no allocation, first error only.
#include "audio/synth.h"
#include "rt/rt.h"

// Chord-per-step table of the section being compiled: root pitch class, bass
// pitch class and the four intervals. Only the audio thread compiles.
static int32_t g_chord_steps[SYN_MAX_STEPS][6];

static const signed char k_letter_pc[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G

struct ChordQuality {
  const char* name;
  int8_t iv[4];
};

// Searched in this order: the first name that prefixes the text wins, and
// the empty last entry (major) always matches.
static const ChordQuality k_qualities[14] = {
    {"maj7", {0, 4, 7, 11}}, {"madd9", {0, 3, 7, 14}}, {"m7b5", {0, 3, 6, 10}}, {"m7", {0, 3, 7, 10}},
    {"m6", {0, 3, 7, 9}},    {"m", {0, 3, 7, 12}},     {"7sus4", {0, 5, 7, 10}}, {"sus2", {0, 2, 7, 12}},
    {"sus4", {0, 5, 7, 12}}, {"add9", {0, 4, 7, 14}},  {"dim", {0, 3, 6, 12}},   {"7", {0, 4, 7, 10}},
    {"6", {0, 4, 7, 9}},     {"", {0, 4, 7, 12}},
};

static int is_sep(char c) {
  return c == ' ' || c == '|' || c == '\t' || c == '\n';
}

static int is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// Letter value of A..G in either case, -1 for anything else.
static int letter_value(char c) {
  if (c >= 'a' && c <= 'g') return k_letter_pc[c - 'a'];
  if (c >= 'A' && c <= 'G') return k_letter_pc[c - 'A'];
  return -1;
}

static int mod12(int v) {
  int m = v % 12;
  return m < 0 ? m + 12 : m;
}

// Note numbers must fit the event word's byte beside the +2 offset.
static int clamp_note(int n) {
  return n < 0 ? 0 : (n > 253 ? 253 : n);
}

static uint32_t note_on_word(int note, int instr, int velocity) {
  return (uint32_t)(clamp_note(note) + 2) | ((uint32_t)instr << 8) | ((uint32_t)velocity << 16);
}

int count_bars(const char* chords) {
  if (!chords) return 0;
  int n = 0;
  int in_token = 0;
  for (const char* p = chords; *p; p++) {
    if (is_sep(*p)) {
      in_token = 0;
    } else if (!in_token) {
      in_token = 1;
      n++;
    }
  }
  return n;
}

// Letter plus optional accidental; returns the text after it or null.
static const char* read_pitch(const char* p, int* value) {
  int v = letter_value(*p);
  if (v < 0) return 0;
  p++;
  if (*p == '#') {
    v++;
    p++;
  } else if (*p == 'b') {
    v--;
    p++;
  }
  *value = v;
  return p;
}

const char* parse_chord(const char* text, int32_t out[6]) {
  int root;
  const char* p = read_pitch(text, &root);
  if (!p) return 0;
  root = (root + 12) % 12;
  const ChordQuality* q = &k_qualities[13];
  for (int i = 0; i < 14; i++) {
    const char* name = k_qualities[i].name;
    int n = 0;
    while (name[n] && p[n] == name[n]) n++;
    if (!name[n]) {
      q = &k_qualities[i];
      p += n;
      break;
    }
  }
  int bass = root;
  if (*p == '/') {
    p = read_pitch(p + 1, &bass);
    if (!p) return 0;
    bass = (bass + 12) % 12;
  }
  if (*p && *p != ',' && !is_sep(*p)) return 0;
  out[0] = root;
  out[1] = bass;
  for (int i = 0; i < 4; i++) out[2 + i] = q->iv[i];
  return p;
}

int style_note(char c, const int32_t chord[6], int base, int bass_mode) {
  int r = chord[0], b = chord[1];
  int bass_root = base + b - (b > r + 4 ? 12 : 0);
  switch (c) {
    case '-': return -1;
    case '0': return base + r + chord[4] - 12;
    case '1': return bass_mode ? bass_root : base + r;
    case '2': return base + r + 14;
    case '3': return base + r + chord[3];
    case '5': return base + r + chord[4];
    case '6': return base + r + chord[4] + 12;
    case '7': return base + r + chord[5];
    case '8': return bass_mode ? bass_root + 12 : base + r + 12;
    case '9': return base + r + chord[3] + 12;
    default: return -2;
  }
}

// ---- error text ----------------------------------------------------------------------

static void err_append(Synth* s, const char* text) {
  int n = str_len(s->error);
  while (*text && n < SYN_ERROR_CAP - 1) s->error[n++] = *text++;
  s->error[n] = 0;
}

static void err_int(Synth* s, int32_t value) {
  char digits[12];
  int n = 0;
  uint32_t u = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
  do {
    digits[n++] = (char)('0' + u % 10);
    u /= 10;
  } while (u);
  char text[13];
  int k = 0;
  if (value < 0) text[k++] = '-';
  while (n) text[k++] = digits[--n];
  text[k] = 0;
  err_append(s, text);
}

static void err_set(Synth* s, const char* message, int entry, int pos) {
  if (s->error[0]) return;
  err_append(s, message);
  err_append(s, " (order entry ");
  err_int(s, entry);
  err_append(s, ", pos ");
  err_int(s, pos);
  err_append(s, ")");
}

// ---- melodies -----------------------------------------------------------------------

static int compile_melody(Synth* s, const char* text, int channel, int start, int len, int instr, int transpose,
                          int entry) {
  int p = 0;
  int L = 4;
  int sounding = 0;
  const char* c = text;
  for (;;) {
    while (is_space(*c)) c++;
    if (!*c) break;
    if (*c == '|') {
      if (p % 16 != 0) {
        err_set(s, "bar line not on a bar boundary", entry, p);
        return 0;
      }
      c++;
      continue;
    }
    // head: rest, tie or note with octave
    int kind;  // 0 note, 1 rest, 2 tie
    int note = 0;
    if (*c == 'r') {
      kind = 1;
      c++;
    } else if (*c == '~') {
      kind = 2;
      c++;
    } else {
      int v;
      const char* after = read_pitch(c, &v);
      if (!after) {
        err_set(s, "bad melody token", entry, p);
        return 0;
      }
      if (*after < '0' || *after > '9') {
        err_set(s, "melody note without octave", entry, p);
        return 0;
      }
      note = 12 * (*after - '0' + 1) + v + transpose;
      c = after + 1;
      kind = 0;
    }
    // modifiers
    float vel = 1.0f;
    for (;;) {
      if (*c == '\'') {
        vel = 0.7f;
        c++;
      } else if (*c == ':') {
        c++;
        if (*c < '0' || *c > '9') {
          err_set(s, "bad length", entry, p);
          return 0;
        }
        int v = 0;
        while (*c >= '0' && *c <= '9') {
          if (v < 1000000) v = v * 10 + (*c - '0');  // held far beyond any section
          c++;
        }
        if (v == 0) {
          err_set(s, "bad length", entry, p);
          return 0;
        }
        L = v;
      } else {
        break;
      }
    }
    if (*c && !is_space(*c) && *c != '|') {
      err_set(s, "junk after melody token", entry, p);
      return 0;
    }
    if (p + L > len) {
      err_set(s, "melody longer than the section", entry, p);
      return 0;
    }
    uint32_t* word = &s->grid[start + p][channel];
    if (kind == 0) {
      *word = note_on_word(note, instr, (int)(vel * 255.0f));
      sounding = 1;
    } else if (kind == 1) {
      if (sounding) *word = 1;
      sounding = 0;
    } else if (!sounding) {
      err_set(s, "tie without a note", entry, p);
      return 0;
    }
    p += L;
  }
  if (p != len) {
    err_set(s, "melody length differs from the section", entry, p);
    return 0;
  }
  // The last note ends with its section unless the next one starts a note there.
  int after = start + len;
  if (sounding && after < s->song_steps && s->grid[after][channel] == 0) s->grid[after][channel] = 1;
  return 1;
}

// ---- patterns and pads ----------------------------------------------------------------

static int pattern_len(const char* pattern) {
  return pattern ? str_len(pattern) : 0;
}

static void compile_pattern(Synth* s, const char* pattern, int channel, int start, int len, int instr, int base,
                            int bass_mode) {
  int plen = pattern_len(pattern);
  for (int k = 0; k < len; k++) {
    int i = k % 16;
    if (i >= plen) continue;  // short patterns rest after their end
    int n = style_note(pattern[i], g_chord_steps[k], base, bass_mode);
    if (n == -2) continue;
    uint32_t* word = &s->grid[start + k][channel];
    if (n == -1) {
      *word = 1;
    } else {
      int vel = (!bass_mode || k % 4 == 0) ? 255 : 210;
      *word = note_on_word(n, instr, vel);
    }
  }
}

static void voice_pad(const int32_t chord[6], int prev[3], uint8_t out[3]) {
  int r = chord[0];
  int tones[3];
  if (chord[5] == 12) {
    tones[0] = r;
    tones[1] = r + chord[3];
    tones[2] = r + chord[4];
  } else {
    tones[0] = r + chord[3];
    tones[1] = r + chord[4];
    tones[2] = r + chord[5];
  }
  for (int j = 0; j < 3; j++) {
    int c = tones[j] % 12;
    int low = 55 + mod12(c - 7);  // G3 .. F#4
    int high = low + 12;          // G4 .. F#5
    int pick = (high - prev[j] < prev[j] - low && low < 61) ? high : low;
    prev[j] = pick;
    out[j] = (uint8_t)pick;
  }
}

static int same_pad_chord(const int32_t a[6], const int32_t b[6]) {
  return a[0] == b[0] && a[3] == b[3] && a[4] == b[4] && a[5] == b[5];
}

static const char* arp_style(int i) {
  return (i >= 0 && i < g_syn_narp_styles) ? g_syn_arp_styles[i] : 0;
}

static const char* bass_style(int i) {
  return (i >= 0 && i < g_syn_nbass_styles) ? g_syn_bass_styles[i] : 0;
}

static const SynKitEntry* kit_find(char c) {
  for (int i = 0; i < g_syn_nkit; i++)
    if (g_syn_kit[i].ch == c) return &g_syn_kit[i];
  return 0;
}

static void compile_drums(Synth* s, const char* pattern, int channel, int step0) {
  int plen = pattern_len(pattern);
  for (int k = 0; k < 16 && k < plen; k++) {
    const SynKitEntry* e = kit_find(pattern[k]);
    if (e) s->grid[step0 + k][channel] = note_on_word(e->note, e->instr, (int)(e->velocity * 255.0f));
  }
}

// ---- songs ---------------------------------------------------------------------------------

// A section of no bars at the very end has its first step outside the song.
static void note_off_at(Synth* s, int step, int channel) {
  if (step < s->song_steps) s->grid[step][channel] = 1;
}

static int compile_section(Synth* s, const SynSection* sec, int entry, int start, int bars, int prev_pad[3]) {
  int len = 16 * bars;
  int tr = sec->transpose;

  // chords, one or two per bar
  const char* c = sec->chords;
  for (int bar = 0; bar < bars; bar++) {
    while (*c && is_sep(*c)) c++;
    int32_t first[6], second[6];
    c = parse_chord(c, first);
    if (!c) {
      err_set(s, "bad chord", entry, 16 * bar);
      return 0;
    }
    first[0] = mod12(first[0] + tr + 120);
    first[1] = mod12(first[1] + tr + 120);
    const int32_t* late = first;
    if (*c == ',') {
      c = parse_chord(c + 1, second);
      if (!c) {
        err_set(s, "bad second chord", entry, 16 * bar);
        return 0;
      }
      second[0] = mod12(second[0] + tr + 120);
      second[1] = mod12(second[1] + tr + 120);
      late = second;
    }
    for (int k = 0; k < 16; k++) memcpy(g_chord_steps[16 * bar + k], k < 8 ? first : late, sizeof first);
  }

  // channel 0: melody
  if (sec->melody && sec->mel_instr) {
    if (!compile_melody(s, sec->melody, 0, start, len, sec->mel_instr, tr, entry)) return 0;
  } else if (start < s->song_steps && s->grid[start][0] == 0) {
    s->grid[start][0] = 1;
  }

  // channel 1: second melody or arpeggio
  const char* arp = arp_style(sec->arp);
  if (sec->melody2) {
    if (sec->instr2) {
      if (!compile_melody(s, sec->melody2, 1, start, len, sec->instr2, tr, entry)) return 0;
    } else {
      note_off_at(s, start, 1);
    }
  } else if (arp && sec->instr2) {
    compile_pattern(s, arp, 1, start, len, sec->instr2, 60, 0);
  } else {
    note_off_at(s, start, 1);
  }

  // channel 2: bass
  const char* bass = bass_style(sec->bass);
  if (bass && sec->bass_instr) {
    compile_pattern(s, bass, 2, start, len, sec->bass_instr, 36, 1);
  } else {
    note_off_at(s, start, 2);
  }

  // channel 3: pad chords, voiced close to the previous chord
  if (sec->pad_instr) {
    for (int k = 0; k < len; k++) {
      if (k == 0 || !same_pad_chord(g_chord_steps[k], g_chord_steps[k - 1])) {
        s->grid[start + k][3] = note_on_word(0, sec->pad_instr, 255);
        voice_pad(g_chord_steps[k], prev_pad, s->pad_notes[start + k]);
      }
    }
  } else {
    note_off_at(s, start, 3);
  }

  // channels 4 and 5: drums through the kit
  if (sec->drums >= 0 && sec->drums < g_syn_ndrum_styles) {
    for (int bar = 0; bar < bars; bar++) {
      int style = (bar == bars - 1 && sec->fill != -1) ? sec->fill : sec->drums;
      if (style < 0 || style >= g_syn_ndrum_styles) continue;
      compile_drums(s, g_syn_drum_styles[style].first, 4, start + 16 * bar);
      compile_drums(s, g_syn_drum_styles[style].second, 5, start + 16 * bar);
    }
  }
  return 1;
}

int syn_compile(Synth* s, const SynSong* song) {
  s->error[0] = 0;
  if (song->norder < 1) {
    s->song_steps = 0;
    return 1;
  }
  int64_t total = 0;
  for (int e = 0; e < song->norder; e++) total += 16 * (int64_t)count_bars(song->sections[song->order[e]].chords);
  if (total > SYN_MAX_STEPS) {
    err_set(s, "song too long", 0, total > INT32_MAX ? INT32_MAX : (int32_t)total);
    return 0;
  }
  s->song_steps = (int32_t)total;
  memset(s->grid, 0, sizeof s->grid[0] * total);
  memset(s->pad_notes, 0, sizeof s->pad_notes[0] * total);

  int prev_pad[3] = {64, 67, 71};  // E4 G4 B4
  int start = 0;
  for (int e = 0; e < song->norder; e++) {
    const SynSection* sec = &song->sections[song->order[e]];
    int bars = count_bars(sec->chords);
    if (!compile_section(s, sec, e, start, bars, prev_pad)) return 0;
    start += 16 * bars;
  }
  return 1;
}

int compile_song(Synth* s, int song) {
  if (song < 0 || song >= g_syn_nsongs) {
    s->error[0] = 0;
    err_append(s, "no such song");
    return 0;
  }
  return syn_compile(s, &g_syn_songs[song]);
}

int syn_compile_check(Synth* s, int song) {
  int ok = compile_song(s, song);
  s->song = -1;
  s->playing = 0;
  return ok;
}

int syn_song_frames(Synth* s, int song) {
  if (!compile_song(s, song)) return 0;
  s->song = -1;
  s->playing = 0;
  float step_len = syn_step_len(s->rate, g_syn_songs[song].bpm);
  float frames = step_len * (float)s->song_steps;
  return frames > 0.0f && frames < 2147483520.0f ? (int)frames : 0;
}
