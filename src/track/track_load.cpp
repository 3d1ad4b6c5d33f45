// Track texts: the built-in circuits, reading a text, the header pass and loading.
#include "assets/assets.h"
#include "track/track_internal.h"

TrackData g_track;
int32_t g_trackIndex = -1;
const char* const g_track_files[TRACK_COUNT] = {"1.trk", "2.trk", "3.trk"};
char g_names[TRACK_COUNT][32];

// ---- the built-in circuits --------------------------------------------------------------------

static const char k_track1[] =
    "# Track 1 - Green Valley: sunny countryside, asphalt.\n"
    "# Format: see demos/skidline/README.md (\"Track files\").\n"
    "name GREEN VALLEY\n"
    "mood day\n"
    "sky 2c50c0 84b4ff\n"
    "fog 84b4ff 80 330\n"
    "ambient 606870\n"
    "sun fff4e0 -0.5 -0.8 0.3\n"
    "road road_country.bmp\n"
    "roadtile 10\n"
    "startline startline.bmp 10\n"
    "ground grass.bmp\n"
    "groundtile 4\n"
    "kerb kerb.bmp\n"
    "wall none 0 4.0\n"
    "skystrip sky_country.bmp 6\n"
    "sundisc 0\n"
    "thumb thumb_country.bmp\n"
    "width 12\n"
    "pt 0 -20\n"
    "pt 0 120\n"
    "pt 20 200\n"
    "pt 80 240\n"
    "pt 160 230\n"
    "pt 205 180\n"
    "pt 180 120\n"
    "pt 220 60\n"
    "pt 235 -20\n"
    "pt 195 -95\n"
    "pt 115 -115\n"
    "pt 50 -85\n"
    "startgate gate_start\n"
    "prop grandstand -24 10 90 1\n"
    "prop grandstand -24 -14 90 1\n"
    "prop house 120 120 20 1\n"
    "prop house 60 40 -15 1\n"
    "prop house 105 60 40 1\n"
    "prop billboard_c 24 60 -90 1\n"
    "# Brontil: icon banner gantry over the start straight, big roadside boards angled to the traffic\n"
    "prop billboard_brontil 200.2 -44.8 81 1\n"
    "prop billboard_brontil_b 27.4 151.4 -113 1\n"
    "prop billboard_brontil 154.4 -85.6 129 1\n"
    "rowh guardrail 4 4.2 1 1 0 0\n"
    "rowh guardrail 4 4.2 -1 1 0 180\n"
    "cornerprops tyre_stack 2.2 40\n"
    "cones 1.0 30\n"
    "chevrons sign_chevron 1.5\n"
    "scatter tree_pine 150 8 160 0.8 1.4 11\n"
    "scatter tree_round 110 8 160 0.8 1.3 14\n"
    "scatter bush 90 4 120 0.8 1.4 12\n"
    "scatter rock 40 4 140 0.7 1.8 13\n";
static const char k_track2[] =
    "# Track 2 - Red Canyon: desert at sunset, dirt road, rock walls.\n"
    "name RED CANYON\n"
    "mood desert\n"
    "sky 2c1840 c49860\n"
    "fog c49860 70 300\n"
    "ambient 705060\n"
    "sun ffb070 0.2 -0.35 -0.9\n"
    "road road_desert.bmp\n"
    "roadtile 10\n"
    "ground sand.bmp\n"
    "groundtile 4\n"
    "kerb none\n"
    "wall rockwall.bmp 3.0 3.5\n"
    "skystrip sky_desert.bmp 4\n"
    "sundisc 0\n"
    "thumb thumb_desert.bmp\n"
    "width 13\n"
    "pt 0 0\n"
    "pt 10 90\n"
    "pt -30 160\n"
    "pt 10 230\n"
    "pt 90 250\n"
    "pt 150 200\n"
    "pt 130 130\n"
    "pt 190 90\n"
    "pt 260 120\n"
    "pt 300 60\n"
    "pt 270 -30\n"
    "pt 190 -60\n"
    "pt 120 -20\n"
    "pt 60 -70\n"
    "startgate gate_start\n"
    "prop grandstand -26 12 90 1\n"
    "prop tyre_stack -14 40 0 1\n"
    "prop tyre_stack 152 118 45 1\n"
    "prop adobe 90 120 30 1\n"
    "prop adobe 230 20 -60 1\n"
    "prop adobe 40 190 10 1\n"
    "prop billboard_a 22 100 -90 1\n"
    "# Brontil: icon banner gantry over the start straight, big roadside boards angled to the traffic\n"
    "prop billboard_brontil 268.5 25.5 72 1\n"
    "prop billboard_brontil_b 47.4 -26.1 -167 1\n"
    "prop billboard_brontil 227.3 -25.7 123 1\n"
    "cornerprops tyre_stack 2.0 45\n"
    "cones 1.0 35\n"
    "chevrons sign_chevron 1.5\n"
    "scatter cactus 110 3 150 0.7 1.3 21\n"
    "scatter rock_red 90 3 160 0.5 1.6 22\n"
    "scatter tree_palm 25 6 90 0.8 1.2 24\n"
    "scatter rock_red 30 40 220 2.0 4.0 23\n";
static const char k_track3[] =
    "# Track 3 - Neon City: night streets, lamps and buildings.\n"
    "name NEON CITY\n"
    "mood night\n"
    "night 1\n"
    "sky 0d0f1f 161a34\n"
    "fog 161a34 40 230\n"
    "ambient 303050\n"
    "sun 5060a0 0.3 -0.8 0.5\n"
    "road road_city.bmp\n"
    "roadtile 10\n"
    "ground concrete.bmp\n"
    "groundtile 4\n"
    "kerb kerb.bmp\n"
    "wall concrete.bmp 1.2 2.5\n"
    "skystrip sky_city.bmp 6\n"
    "sundisc 0\n"
    "thumb thumb_city.bmp\n"
    "width 13\n"
    "pt 0 0\n"
    "pt 0 100\n"
    "pt 0 180\n"
    "pt 30 210\n"
    "pt 120 210\n"
    "pt 150 180\n"
    "pt 150 130\n"
    "pt 190 100\n"
    "pt 250 100\n"
    "pt 270 70\n"
    "pt 260 -40\n"
    "pt 230 -70\n"
    "pt 130 -70\n"
    "pt 100 -40\n"
    "pt 60 -40\n"
    "pt 30 -70\n"
    "pt 0 -60\n"
    "startgate gate_start\n"
    "prop grandstand -22 12 90 1\n"
    "# Brontil: icon banner gantry over the start straight, big roadside boards angled to the traffic\n"
    "prop billboard_brontil 246.6 22.2 58 1\n"
    "prop billboard_brontil_b 185.0 -51.0 143 1\n"
    "prop billboard_brontil 70.5 191.0 -37 1\n"
    "rowh lamp_post 30 3.2 1 1 0 180\n"
    "rowh lamp_post 30 3.2 -1 1 15 0\n"
    "row city_tall 34 13 1 0.9 1.3 5\n"
    "row city_block 34 12 1 0.9 1.2 22\n"
    "row city_shop 34 11 -1 1.0 1.0 9\n"
    "row city_tall 34 13 -1 0.9 1.4 26\n"
    "row billboard_b 120 6 -1 1 1 60\n"
    "cornerprops barrier 1.4 25\n"
    "cones 0.8 40\n"
    "chevrons sign_chevron 1.0\n"
    "scatter city_tall 30 40 160 1.0 1.8 31\n"
    "scatter city_block 30 30 160 1.0 1.5 32\n";

const char* const g_builtin[TRACK_COUNT] = {k_track1, k_track2, k_track3};

// ---- reading a text ---------------------------------------------------------------------------

int track_next_line(const char** p, char line[TRACK_LINE_MAX + 1]) {
  const char* s = *p;
  if (!*s) return 0;
  int n = 0;
  for (; *s && *s != '\n'; s++) {
    if (*s == '\r') continue;
    if (n < TRACK_LINE_MAX) line[n++] = *s;
  }
  line[n] = 0;
  if (*s == '\n') s++;
  *p = s;
  return 1;
}

int split(char* line, char** tokens) {
  static char empty[1];
  int n = 0;
  char* s = line;
  while (n < TRACK_TOKENS) {
    while (*s == ' ' || *s == '\t') s++;
    if (!*s || *s == '#') break;
    tokens[n++] = s;
    while (*s && *s != ' ' && *s != '\t') s++;
    if (!*s) break;
    *s++ = 0;
  }
  // Slots past the last token read as empty, so a wrong count check reads "" and not garbage.
  for (int i = n; i < TRACK_TOKENS; i++) tokens[i] = empty;
  return n;
}

uint32_t hexcol(const char* token) {
  uint32_t v = 0;
  for (const char* s = token;; s++) {
    uint32_t d;
    if (*s >= '0' && *s <= '9') {
      d = (uint32_t)(*s - '0');
    } else if (*s >= 'a' && *s <= 'f') {
      d = (uint32_t)(*s - 'a' + 10);
    } else if (*s >= 'A' && *s <= 'F') {
      d = (uint32_t)(*s - 'A' + 10);
    } else {
      break;
    }
    v = v << 4 | d;
  }
  return v | 0xFF000000u;
}

int track_num(const char* token, float* out) {
  float v = str_to_float(token);
  if (!track_finite(v) || f_abs(v) > 1e6f) return 0;
  *out = v;
  return 1;
}

// ---- the header pass ------------------------------------------------------------------------------

// Control points further out than this make the text unusable.
static const float kMaxCoord = 100000.0f;

static int g_badPoint;  // a pt line of this pass was out of range

// Everything after the keyword and the one separator that follows it.
static void set_name(const char* line) {
  while (*line == ' ' || *line == '\t') line++;
  str_cpy(g_track.name, line + 5, sizeof g_track.name);
}

// Road and wall dimensions below 1 m would make the road, kerbs and the
// driving boundary fold over or divide by zero.
static float at_least(float v, float lo) { return v < lo ? lo : v; }
// A texture repeat length or height that is positive stays at least 0.1 m,
// so the coordinates divided by it stay finite.
static float tile_len(float v) { return v > 0.0f && v < 0.1f ? 0.1f : v; }

void parse_header() {
  TrackData* t = &g_track;
  t->wallHeight = 1.0f;
  t->wallOffset = 3.0f;
  float width = 12.0f;
  g_badPoint = 0;
  const char* p = t->source;
  if (!p) return;
  char line[TRACK_LINE_MAX + 1], copy[TRACK_LINE_MAX + 1];
  char* tok[TRACK_TOKENS];
  while (track_next_line(&p, line)) {
    memcpy(copy, line, sizeof copy);
    int n = split(line, tok);
    if (n == 0) continue;
    const char* k = tok[0];
    float a, b, c;
    if (str_eq(k, "name")) {
      if (n >= 2) set_name(copy);
    } else if (str_eq(k, "mood")) {
      if (n >= 2) str_cpy(t->mood, tok[1], sizeof t->mood);
    } else if (str_eq(k, "night")) {
      if (n >= 2) t->night = str_to_int(tok[1]);
    } else if (str_eq(k, "sky")) {
      if (n >= 3) t->skyTop = hexcol(tok[1]), t->skyHorizon = hexcol(tok[2]);
    } else if (str_eq(k, "fog")) {
      if (n >= 4 && track_num(tok[2], &a) && track_num(tok[3], &b))
        t->fogColor = hexcol(tok[1]), t->fogStart = a, t->fogEnd = b;
    } else if (str_eq(k, "ambient")) {
      if (n >= 2) t->ambient = hexcol(tok[1]);
    } else if (str_eq(k, "sun")) {
      if (n >= 5 && track_num(tok[2], &a) && track_num(tok[3], &b) && track_num(tok[4], &c)) {
        t->sunColor = hexcol(tok[1]);
        t->sunDir[0] = a, t->sunDir[1] = b, t->sunDir[2] = c;
      }
    } else if (str_eq(k, "road")) {
      if (n >= 2) str_cpy(t->roadTex, tok[1], sizeof t->roadTex);
    } else if (str_eq(k, "ground")) {
      if (n >= 2) str_cpy(t->groundTex, tok[1], sizeof t->groundTex);
    } else if (str_eq(k, "kerb")) {
      if (n >= 2) str_cpy(t->kerbTex, tok[1], sizeof t->kerbTex);
    } else if (str_eq(k, "wall")) {
      a = t->wallHeight, b = t->wallOffset;
      if (n >= 2 && (n < 3 || track_num(tok[2], &a)) && (n < 4 || track_num(tok[3], &b))) {
        str_cpy(t->wallTex, tok[1], sizeof t->wallTex);
        t->wallHeight = tile_len(a);
        t->wallOffset = at_least(b, 1.0f);
      }
    } else if (str_eq(k, "background")) {
      if (n >= 2) str_cpy(t->backgroundTex, tok[1], sizeof t->backgroundTex);
    } else if (str_eq(k, "skystrip")) {
      a = t->skyRepeat;
      if (n >= 2 && (n < 3 || track_num(tok[2], &a))) {
        str_cpy(t->backgroundTex, tok[1], sizeof t->backgroundTex);
        t->skyStrip = 1;
        if (a > 0.0f) t->skyRepeat = a;  // no repeat count of 0 or less
      }
    } else if (str_eq(k, "sundisc")) {
      if (n >= 2) t->sunDisc = str_to_int(tok[1]);
    } else if (str_eq(k, "roadtile")) {
      if (n >= 2 && track_num(tok[1], &a)) t->roadTile = tile_len(a);
    } else if (str_eq(k, "groundtile")) {
      if (n >= 2 && track_num(tok[1], &a)) t->groundTile = tile_len(a);
    } else if (str_eq(k, "thumb")) {
      if (n >= 2) str_cpy(t->thumbTex, tok[1], sizeof t->thumbTex);
    } else if (str_eq(k, "startline")) {
      a = 10.0f;
      if (n >= 2 && (n < 3 || track_num(tok[2], &a))) {
        str_cpy(t->startlineTex, tok[1], sizeof t->startlineTex);
        t->startlineLength = at_least(a, 0.0f);
      }
    } else if (str_eq(k, "width")) {
      if (n >= 2 && track_num(tok[1], &a)) width = at_least(a, 1.0f);
    } else if (str_eq(k, "pt")) {
      if (n < 3 || t->pointCount >= TRACK_MAX_POINTS) continue;
      c = width;
      if (!track_num(tok[1], &a) || !track_num(tok[2], &b) || (n >= 4 && !track_num(tok[3], &c)) ||
          f_abs(a) > kMaxCoord || f_abs(b) > kMaxCoord) {
        g_badPoint = 1;
        continue;
      }
      int i = t->pointCount++;
      t->pointX[i] = a, t->pointZ[i] = b, t->pointWidth[i] = at_least(c, 1.0f);
    }
  }
}

// ---- loading ------------------------------------------------------------------------------------

static char* copy_builtin(int index) {
  int n = str_len(g_builtin[index]);
  char* text = (char*)mem_alloc((size_t)n + 1);
  if (text) memcpy(text, g_builtin[index], (size_t)n + 1);
  return text;
}

// The file's text (fromFile = 1) or the built-in one.
static char* read_source(int index, int* fromFile, char path[300]) {
  *fromFile = 0;
  fmt(path, 300, "data\\tracks\\%s", g_track_files[index]);
  if (char* text = (char*)file_read(path, nullptr)) {
    log_printf("track file %s", path);
    *fromFile = 1;
    return text;
  }
  return copy_builtin(index);
}

char* load_source(int index) {
  int fromFile;
  char path[300];
  return read_source(index, &fromFile, path);
}

void track_free() {
  batch_free(&g_track.batches);
  mem_free(g_track.source);
  memset(&g_track, 0, sizeof g_track);
  g_trackIndex = -1;
}

static void set_defaults() {
  TrackData* t = &g_track;
  t->skyTop = 0xFF4F8FDCu;
  t->skyHorizon = 0xFFB8DCF2u;
  t->fogColor = 0xFFB8DCF2u;
  t->ambient = 0xFF606060u;
  t->sunColor = 0xFFFFFFFFu;
  t->sunDir[0] = -0.4f, t->sunDir[1] = -1.0f, t->sunDir[2] = 0.3f;
  t->fogStart = 80.0f;
  t->fogEnd = 300.0f;
  str_cpy(t->roadTex, "asphalt.bmp", sizeof t->roadTex);
  str_cpy(t->groundTex, "grass.bmp", sizeof t->groundTex);
  str_cpy(t->kerbTex, "kerb.bmp", sizeof t->kerbTex);
  str_cpy(t->wallTex, "barrier.bmp", sizeof t->wallTex);
  str_cpy(t->backgroundTex, "bg_day.bmp", sizeof t->backgroundTex);
  t->sunDisc = 1;
  t->skyRepeat = 3.0f;
}

// Builds the circuit from g_track.source. 1 = loaded and g_trackIndex set.
static int build(int index) {
  set_defaults();
  parse_header();
  if (g_track.pointCount < 4) {
    log_printf("track %d: too few points", index);
    return 0;
  }
  if (g_badPoint) {
    log_printf("track %d: control point out of range", index);
    return 0;
  }
  if (!track_sample()) {
    log_printf("track %d: centre line too short", index);
    return 0;
  }
  build_geometry();
  place_props();
  if (g_dev) batch_upload(&g_track.batches);  // without a device the meshes stay on the CPU
  g_trackIndex = index;
  log_printf("track %d '%s': %d samples, %.1f m, %d draw calls, %d lamps, %d colliders, %d cones", index,
             g_track.name, g_track.sampleCount, (double)g_track.length, batch_draw_calls(&g_track.batches),
             g_track.lampCount, g_track.colliderCount, g_track.coneCount);
  return 1;
}

int track_load(int index) {
  if (index == g_trackIndex) return 1;
  if (index < 0 || index >= TRACK_COUNT) return 0;
  track_free();
  int fromFile;
  char path[300];
  g_track.source = read_source(index, &fromFile, path);
  if (build(index)) return 1;
  if (!fromFile) return 0;
  // A file that gives no usable circuit never leaves the game without one.
  log_printf("track %d: %s rejected, using the built-in circuit", index, path);
  track_free();
  g_track.source = copy_builtin(index);
  return build(index);
}

int track_load_text(const char* text, int index) {
  track_free();
  int n = str_len(text);
  g_track.source = (char*)mem_alloc((size_t)n + 1);
  if (g_track.source) memcpy(g_track.source, text, (size_t)n + 1);
  int ok = build(index);
  g_trackIndex = -1;
  return ok;
}

const char* track_name(int index) {
  char* name = g_names[index];
  if (name[0]) return name;
  char* text = load_source(index);
  str_cpy(name, "TRACK", 32);
  const char* p = text ? text : "";
  char line[TRACK_LINE_MAX + 1];
  while (track_next_line(&p, line)) {
    if (str_len(line) > 5 && line[0] == 'n' && line[1] == 'a' && line[2] == 'm' && line[3] == 'e') {
      str_cpy(name, line + 5, 32);
      break;
    }
  }
  mem_free(text);
  return name;
}

void track_reset_cones() {
  for (int i = 0; i < g_track.coneCount; i++) {
    Cone* c = &g_track.cones[i];
    c->x = c->homeX, c->z = c->homeZ;
    c->vx = c->vz = 0.0f;
    c->tilt = 0.0f;
    c->knocked = 0;
  }
}
