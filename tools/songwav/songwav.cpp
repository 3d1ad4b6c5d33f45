// songwav: renders the game's songs, sound effects or a small timed script of
// sound requests to a 22050 Hz stereo 16-bit WAV file, through the same
// synthesiser the game runs, for listening and for the level tests.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "audio/synth.h"
#include "rt/sys.h"

static const int kRate = 22050;
static const int kBuffer = 512;  // frames per request check, as the game's audio thread

static const char* const kSfxNames[] = {"beep", "go",  "thump",  "move",   "confirm",
                                        "back", "lap", "final", "finish", "scrape"};

static void usage(FILE* f) {
  fprintf(f,
          "usage: songwav [options] --song N | --sfx N | --script FILE\n"
          "Renders Skidline's music and sound effects to a 22050 Hz stereo 16-bit WAV file.\n"
          "\n"
          "  --song N           play song N (0 menu, 1 country, 2 desert, 3 city, 4 results);\n"
          "                     default length one pass of the song plus 2 s\n"
          "  --sfx N            play sound effect N (0-9, or its name: beep go thump move confirm\n"
          "                     back lap final finish scrape); default length 1.5 s\n"
          "  --script FILE      play a script of timed requests (FILE '-' reads standard input)\n"
          "  -o, --out FILE     output file (default songwav.wav)\n"
          "  --seconds S        render S seconds instead of the default length\n"
          "  --volume V         volume factor of the --sfx effect (default 1)\n"
          "  --music-volume V   music volume 0-1 (default 1)\n"
          "  --sfx-volume V     effect volume 0-1 (default 1)\n"
          "  --engine RPM LOAD  run the engine note all the way through (both 0-1)\n"
          "  --hash             print a 64-bit FNV-1a hash of the samples\n"
          "  --list             list the songs and effects and exit\n"
          "  -h, --help         show this help\n"
          "\n"
          "A script has one request per line (or several separated by ';'), each starting with\n"
          "its time in seconds; '#' starts a comment:\n"
          "  0    music 1            start song 1 (another song fades the old one out; -1 = silence)\n"
          "  0    engine 0.2 0.5     engine revolutions and load, 0-1 (revolutions < 0 = off)\n"
          "  1.5  sweep 3 0.2 1 0.9  engine revolutions from 0.2 to 1 over 3 s at load 0.9\n"
          "  2    sfx 6 0.8          effect 6 (a number or a name) at volume factor 0.8\n"
          "  4    music_volume 0.5   also sfx_volume\n"
          "  12   end                stop here (default: 2 s after the last request)\n"
          "Requests take effect at the start of the next 512-frame buffer, as in the game.\n");
}

struct Request {
  double time;
  std::string cmd;
  double a, b, c, d;
  int nargs;
};

static int parse_sfx(const std::string& word) {
  for (int i = 0; i < 10; i++)
    if (word == kSfxNames[i]) return i;
  char* end;
  long v = strtol(word.c_str(), &end, 10);
  if (*end || word.empty()) return -100;
  return (int)v;
}

static bool parse_script(const std::string& text, std::vector<Request>* out, std::string* err) {
  int line_no = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    pos = nl + 1;
    line_no++;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    size_t start = 0;
    while (start <= line.size()) {
      size_t semi = line.find(';', start);
      if (semi == std::string::npos) semi = line.size();
      std::string part = line.substr(start, semi - start);
      start = semi + 1;
      char cmd[64], w1[64];
      Request r = {};
      double v[4] = {0, 0, 0, 0};
      int n = sscanf(part.c_str(), " %lf %63s %63s %lf %lf %lf", &r.time, cmd, w1, &v[1], &v[2], &v[3]);
      if (n <= 0) continue;  // blank
      if (n < 2 || r.time < 0) {
        *err = "line " + std::to_string(line_no) + ": expected a time and a request";
        return false;
      }
      r.cmd = cmd;
      r.nargs = n - 2;
      if (r.nargs >= 1) {
        if (r.cmd == "sfx") {
          int id = parse_sfx(w1);
          if (id == -100) {
            *err = "line " + std::to_string(line_no) + ": unknown effect '" + w1 + "'";
            return false;
          }
          v[0] = id;
        } else {
          char* end;
          v[0] = strtod(w1, &end);
          if (*end) {
            *err = "line " + std::to_string(line_no) + ": bad number '" + w1 + "'";
            return false;
          }
        }
      }
      r.a = v[0];
      r.b = v[1];
      r.c = v[2];
      r.d = v[3];
      struct {
        const char* name;
        int min_args;
      } const known[] = {{"music", 1}, {"music_volume", 1}, {"sfx_volume", 1}, {"sfx", 1},
                         {"engine", 2}, {"sweep", 4},       {"end", 0}};
      bool ok = false;
      for (const auto& k : known) {
        if (r.cmd == k.name) {
          if (r.nargs < k.min_args) {
            *err = "line " + std::to_string(line_no) + ": '" + r.cmd + "' needs " + std::to_string(k.min_args) +
                   " value(s)";
            return false;
          }
          ok = true;
        }
      }
      if (!ok) {
        *err = "line " + std::to_string(line_no) + ": unknown request '" + r.cmd + "'";
        return false;
      }
      out->push_back(r);
    }
  }
  return true;
}

static bool read_all(const char* path, std::string* out) {
  FILE* f = strcmp(path, "-") == 0 ? stdin : fopen(path, "rb");
  if (!f) return false;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
  if (f != stdin) fclose(f);
  return true;
}

static void put_le(std::vector<uint8_t>* b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; i++) b->push_back((uint8_t)(v >> (8 * i)));
}

static bool write_wav(const char* path, const std::vector<int16_t>& pcm) {
  std::vector<uint8_t> h;
  uint32_t data = (uint32_t)(pcm.size() * 2);
  h.insert(h.end(), {'R', 'I', 'F', 'F'});
  put_le(&h, 36 + data, 4);
  h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put_le(&h, 16, 4);
  put_le(&h, 1, 2);  // PCM
  put_le(&h, 2, 2);  // stereo
  put_le(&h, kRate, 4);
  put_le(&h, kRate * 4, 4);
  put_le(&h, 4, 2);
  put_le(&h, 16, 2);
  h.insert(h.end(), {'d', 'a', 't', 'a'});
  put_le(&h, data, 4);
  for (int16_t s : pcm) put_le(&h, (uint16_t)s, 2);
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  bool ok = fwrite(h.data(), 1, h.size(), f) == h.size();
  return fclose(f) == 0 && ok;
}

static bool need(int i, int argc, int count, const char* opt) {
  if (i + count < argc) return true;
  fprintf(stderr, "songwav: %s needs %d value(s)\n", opt, count);
  return false;
}

// A whole option value as a number, or an error message.
static bool number(const char* text, double* out) {
  char* end;
  *out = strtod(text, &end);
  if (end != text && *end == 0) return true;
  fprintf(stderr, "songwav: '%s' is not a number\n", text);
  return false;
}

int main(int argc, char** argv) {
  sys_fpu_init();
  const char* out_path = "songwav.wav";
  int song = -1, sfx = -100;
  const char* script_path = nullptr;
  double seconds = -1, sfx_volume_factor = 1, music_vol = 1, sfx_vol = 1;
  double eng_rpm = -1, eng_load = 0;
  bool print_hash = false, list = false;

  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      usage(stdout);
      return 0;
    } else if (a == "--list") {
      list = true;
    } else if (a == "--hash") {
      print_hash = true;
    } else if (a == "--song") {
      if (!need(i, argc, 1, "--song")) return 2;
      double v;
      if (!number(argv[++i], &v)) return 2;
      if (!(v >= 0 && v < g_syn_nsongs) || v != (double)(int)v) {
        fprintf(stderr, "songwav: no song %s (0 to %d)\n", argv[i], g_syn_nsongs - 1);
        return 2;
      }
      song = (int)v;
    } else if (a == "--sfx") {
      if (!need(i, argc, 1, "--sfx")) return 2;
      sfx = parse_sfx(argv[++i]);
      if (sfx < 0 || sfx >= g_syn_nsfx) {
        fprintf(stderr, "songwav: no effect %s\n", argv[i]);
        return 2;
      }
    } else if (a == "--script") {
      if (!need(i, argc, 1, "--script")) return 2;
      script_path = argv[++i];
    } else if (a == "-o" || a == "--out") {
      if (!need(i, argc, 1, "--out")) return 2;
      out_path = argv[++i];
    } else if (a == "--seconds") {
      if (!need(i, argc, 1, "--seconds")) return 2;
      if (!number(argv[++i], &seconds)) return 2;
    } else if (a == "--volume") {
      if (!need(i, argc, 1, "--volume")) return 2;
      if (!number(argv[++i], &sfx_volume_factor)) return 2;
    } else if (a == "--music-volume") {
      if (!need(i, argc, 1, "--music-volume")) return 2;
      if (!number(argv[++i], &music_vol)) return 2;
    } else if (a == "--sfx-volume") {
      if (!need(i, argc, 1, "--sfx-volume")) return 2;
      if (!number(argv[++i], &sfx_vol)) return 2;
    } else if (a == "--engine") {
      if (!need(i, argc, 2, "--engine")) return 2;
      if (!number(argv[++i], &eng_rpm) || !number(argv[++i], &eng_load)) return 2;
    } else {
      fprintf(stderr, "songwav: unknown option '%s' (see --help)\n", argv[i]);
      return 2;
    }
  }

  Synth* s = (Synth*)calloc(1, sizeof(Synth));
  syn_init(s, kRate);

  if (list) {
    for (int i = 0; i < g_syn_nsongs; i++) {
      int frames = syn_song_frames(s, i);
      printf("song %d  %-8s %4d steps  %6.1f s  %s\n", i, g_syn_songs[i].name, s->song_steps,
             frames / (double)kRate, frames ? (g_syn_songs[i].loop ? "loops" : "plays once") : s->error);
    }
    for (int i = 0; i < g_syn_nsfx; i++) printf("sfx %d   %s\n", i, kSfxNames[i]);
    free(s);
    return 0;
  }

  int modes = (song >= 0) + (sfx != -100) + (script_path != nullptr);
  if (modes != 1) {
    fprintf(stderr, "songwav: give exactly one of --song, --sfx or --script (see --help)\n");
    free(s);
    return 2;
  }

  std::vector<Request> script;
  double length = 0;
  if (song >= 0) {
    int frames = syn_song_frames(s, song);
    if (!frames) {
      fprintf(stderr, "songwav: song %d does not compile: %s\n", song, s->error);
      free(s);
      return 1;
    }
    script.push_back({0, "music", (double)song, 0, 0, 0, 1});
    length = frames / (double)kRate + 2;
  } else if (sfx != -100) {
    script.push_back({0, "sfx", (double)sfx, sfx_volume_factor, 0, 0, 2});
    length = 1.5;
  } else {
    std::string text, err;
    if (!read_all(script_path, &text)) {
      fprintf(stderr, "songwav: cannot read %s\n", script_path);
      free(s);
      return 1;
    }
    if (!parse_script(text, &script, &err)) {
      fprintf(stderr, "songwav: %s: %s\n", script_path, err.c_str());
      free(s);
      return 1;
    }
    double last = 0;
    bool ended = false;
    for (const Request& r : script) {
      if (r.cmd == "end") {
        length = r.time;
        ended = true;
        break;
      }
      double until = r.cmd == "sweep" ? r.time + r.a : r.time;
      if (until > last) last = until;
    }
    if (!ended) length = last + 2;
  }
  if (seconds >= 0) length = seconds;
  if (!(length <= 3600)) {
    fprintf(stderr, "songwav: %g s is more than an hour\n", length);
    free(s);
    return 2;
  }

  syn_music_volume(s, (float)music_vol);
  syn_sfx_volume(s, (float)sfx_vol);

  long total = (long)(length * kRate + 0.5);
  std::vector<int16_t> pcm((size_t)total * 2);
  size_t next = 0;
  bool sweeping = false;
  double sw_t0 = 0, sw_len = 0, sw_from = 0, sw_to = 0, sw_load = 0;
  for (long done = 0; done < total; done += kBuffer) {
    double now = done / (double)kRate;
    while (next < script.size() && script[next].time <= now + 1e-9) {
      const Request& r = script[next++];
      if (r.cmd == "music") {
        syn_music(s, (int)r.a, 1);
      } else if (r.cmd == "music_volume") {
        syn_music_volume(s, (float)r.a);
      } else if (r.cmd == "sfx_volume") {
        syn_sfx_volume(s, (float)r.a);
      } else if (r.cmd == "sfx") {
        syn_sfx(s, (int)r.a, r.nargs >= 2 ? (float)r.b : 1.0f);
      } else if (r.cmd == "engine") {
        sweeping = false;
        eng_rpm = r.a;
        eng_load = r.b;
      } else if (r.cmd == "sweep") {
        sweeping = true;
        sw_t0 = r.time;
        sw_len = r.a;
        sw_from = r.b;
        sw_to = r.c;
        sw_load = r.d;
      }
    }
    if (sweeping) {
      double t = sw_len > 0 ? (now - sw_t0) / sw_len : 1;
      if (t > 1) t = 1;
      eng_rpm = sw_from + (sw_to - sw_from) * t;
      eng_load = sw_load;
    }
    syn_engine(s, (float)eng_rpm, (float)eng_load);
    long n = total - done < kBuffer ? total - done : kBuffer;
    syn_render(s, &pcm[(size_t)done * 2], (int)n);
  }

  if (!write_wav(out_path, pcm)) {
    fprintf(stderr, "songwav: cannot write %s\n", out_path);
    free(s);
    return 1;
  }
  if (print_hash) {
    uint64_t h = 14695981039346656037ull;
    for (int16_t v : pcm) {
      for (int k = 0; k < 2; k++) {
        h ^= (uint8_t)((uint16_t)v >> (8 * k));
        h *= 1099511628211ull;
      }
    }
    printf("%016llx\n", (unsigned long long)h);
  }
  free(s);
  return 0;
}
