// The command line: splitting it into tokens and reading the options.
#include "main/main.h"
#include "rt/rt.h"

static char cmd[CMD_CAP];
static char* g_tokens[CMD_MAX_TOKENS];

int cmd_split(char* p, char** tokens, int maxTokens) {
  int n = 0;
  while (n < maxTokens) {
    while (*p == ' ' || *p == '\t') p++;
    if (!*p) break;
    if (*p == '"') {
      // Runs to the next quote; the next token may start right after it.
      tokens[n++] = ++p;
      while (*p && *p != '"') p++;
    } else {
      tokens[n++] = p;
      while (*p && *p != ' ' && *p != '\t') p++;
    }
    if (*p) *p++ = 0;
  }
  return n;
}

// int(T) - 1 without signed overflow for any text.
static int minus_one(const char* s) {
  return (int32_t)((uint32_t)str_to_int(s) - 1u);
}

static void read_res(const char* s) {
  int w = str_to_int(s);
  const char* x = s;
  while (*x && *x != 'x' && *x != 'X') x++;
  int h = *x ? str_to_int(x + 1) : 0;
  if (w >= 320 && h >= 240) {
    g_opt.resW = w;
    g_opt.resH = h;
  }
}

static void read_aspect(const char* s) {
  const char* sep = s;
  while (*sep && *sep != ':' && *sep != '/') sep++;
  if (!*sep) return;
  float a = str_to_float(s);
  float b = str_to_float(sep + 1);
  if (!(a > 0.0f && b > 0.0f)) return;
  // The width is even; a ratio too extreme to give a positive width is ignored.
  int32_t w = f_to_int(a * 720.0f / b + 0.5f);
  if (w <= 1) return;
  g_opt.resW = w & ~1;
  g_opt.resH = 720;
}

// Reads one option at tokens[i]; returns how many tokens it used (0 = not an
// option, or its arguments are missing at the end of the line).
static int read_option(char** t, int i, int n) {
  const char* o = t[i];
  int left = n - i - 1;  // tokens after this one
  if ((str_eq(o, "--shot") || str_eq(o, "-shot")) && left >= 2) {
    int track = minus_one(t[i + 1]);
    g_opt.shot = 1;
    g_opt.shotTrack = track;
    g_opt.shotTime = str_to_float(t[i + 2]);
    g_opt.exitAfterShot = 1;
    // A track number of 0 or less means the title screen, also below 0
    // (where the race clamp would otherwise start an undriven race).
    g_opt.race = track >= 0 ? track : -1;
    g_opt.demo = track >= 0;
    return 3;
  }
  if (str_eq(o, "--demo") && left >= 1) {
    g_opt.demo = 1;
    g_opt.race = minus_one(t[i + 1]);
    return 2;
  }
  if (str_eq(o, "--race") && left >= 1) {
    g_opt.race = minus_one(t[i + 1]);
    return 2;
  }
  if (str_eq(o, "--out") && left >= 1) {
    str_cpy(g_opt.out, t[i + 1], sizeof g_opt.out);
    return 2;
  }
  if (str_eq(o, "--fps") && left >= 1) {
    g_opt.fps = str_to_int(t[i + 1]);
    return 2;
  }
  if (str_eq(o, "--laps") && left >= 1) {
    g_opt.laps = str_to_int(t[i + 1]);
    return 2;
  }
  if (str_eq(o, "--screen") && left >= 1) {
    g_opt.screen = str_to_int(t[i + 1]);
    return 2;
  }
  if (str_eq(o, "--res") && left >= 1) {
    read_res(t[i + 1]);
    return 2;
  }
  if (str_eq(o, "--aspect") && left >= 1) {
    read_aspect(t[i + 1]);
    return 2;
  }
  if (str_eq(o, "--nohud")) return g_opt.nohud = 1, 1;
  if (str_eq(o, "--stay")) return g_opt.exitAfterShot = 0, 1;
  if (str_eq(o, "--vsync")) return g_opt.vsync = 1, 1;
  if (str_eq(o, "--windowed") || str_eq(o, "--window")) return g_opt.windowed = 1, 1;
  if (str_eq(o, "--fullscreen")) return g_opt.fullscreen = 1, 1;
  return 0;
}

void options_parse(const char* commandLine) {
  str_cpy(cmd, commandLine, sizeof cmd);
  int n = cmd_split(cmd, g_tokens, CMD_MAX_TOKENS);

  memset(&g_opt, 0, sizeof g_opt);
  g_opt.race = -1;
  g_opt.fps = 60;
  str_cpy(g_opt.out, "shot.bmp", sizeof g_opt.out);

  for (int i = 1; i < n;) {  // token 0 is the program path
    int used = read_option(g_tokens, i, n);
    i += used ? used : 1;
  }

  if (g_opt.resW > 0 && !g_opt.fullscreen) g_opt.windowed = 1;
  if (g_opt.race > 2) g_opt.race = 2;
  if (g_opt.race < -1) g_opt.race = 0;
}
