// Tracks: the circuit text and its loading, the sampled centre line and its
// queries, the road geometry, props, cones and colliders, and track drawing.
// A circuit is a short text (built in, or "data\tracks\N.trk"); everything
// else is built from it at load time.
#pragma once

#include <stdint.h>

#include "gfx/gfx.h"

// ---- records ------------------------------------------------------------------------------------

// A traffic cone (40 bytes).
struct Cone {
  float x, z;          // current position
  float vx, vz;        // velocity, m/s
  float spin;          // rotation about the vertical axis
  float tilt;          // 0 upright .. pi/2 fallen over
  float fallDir;       // f_atan2(vx, vz) when it was knocked
  float homeX, homeZ;  // where it was placed
  int32_t knocked;     // nonzero once hit
};

// A static obstacle: an oriented box (24 bytes).
struct Collider {
  float x, z;          // centre
  float halfA, halfB;  // half extents along its own two axes
  float cosA, sinA;    // its rotation
};

// One point of the resampled centre line (24 bytes).
struct Sample {
  float x, z;        // position
  float dirX, dirZ;  // unit direction of travel
  float halfWidth;   // half the road width
  float dist;        // track distance, 0 for the first sample
};

enum {
  TRACK_MAX_POINTS = 64,
  TRACK_MAX_SAMPLES = 2048,
  TRACK_MIN_SAMPLES = 16,
  TRACK_MAX_LAMPS = 256,
  TRACK_MAX_COLLIDERS = 512,
  TRACK_MAX_CONES = 96,
  TRACK_DENSE_PER_SPAN = 24,
  TRACK_MAX_DENSE = TRACK_MAX_POINTS * TRACK_DENSE_PER_SPAN,
  TRACK_COUNT = 3,
};

// The loaded circuit. All zero after a reset; track_load writes the defaults.
struct TrackData {
  char name[32];
  char mood[16];
  uint32_t skyTop, skyHorizon;
  uint32_t fogColor;
  uint32_t ambient;
  uint32_t sunColor;
  float sunDir[3];  // as written, not normalised
  float fogStart, fogEnd;
  char roadTex[48];
  char groundTex[48];
  char kerbTex[48];        // or "none"
  char wallTex[48];        // or "none"
  char backgroundTex[48];  // background ring / sky strip picture
  char startlineTex[48];   // empty = generated checker
  char thumbTex[48];       // empty = none
  float roadTile;          // road texture repeat length, 0 = the road width
  float groundTile;        // ground texture repeat length, 0 = 8 m
  float startlineLength;
  float skyRepeat;
  int32_t sunDisc;
  int32_t skyStrip;
  float wallHeight;  // walls only when above 0
  float wallOffset;  // wall line beyond the road edge
  int32_t night;

  int32_t pointCount;
  float pointX[TRACK_MAX_POINTS];
  float pointZ[TRACK_MAX_POINTS];
  float pointWidth[TRACK_MAX_POINTS];  // full road width

  Sample samples[TRACK_MAX_SAMPLES];
  int32_t sampleCount;  // 16..2048 once loaded, 0 otherwise
  float length;         // of the closed loop
  float minX, maxX, minZ, maxZ;

  Batch* batches;  // per texture and layer: 0 ground/road/props, 1 walls, 2 glow

  Vec3 lamps[TRACK_MAX_LAMPS];
  int32_t lampCount;
  Collider colliders[TRACK_MAX_COLLIDERS];
  int32_t colliderCount;
  Cone cones[TRACK_MAX_CONES];
  int32_t coneCount;

  char* source;  // the whole text, owned (mem_alloc)
};

extern TrackData g_track;
extern int32_t g_trackIndex;  // circuit in g_track; -1 when none is loaded
extern const char* const g_track_files[TRACK_COUNT];  // "1.trk", "2.trk", "3.trk"
extern const char* const g_builtin[TRACK_COUNT];      // the built-in texts
extern char g_names[TRACK_COUNT][32];                 // display names, filled by track_name

// ---- format and loading ----------------------------------------------------------------------
// 1 = circuit `index` (0..2) is loaded (at once when it already is). A file
// that gives no usable circuit is logged and the built-in text is loaded
// instead; 0 only when that fails too.
int track_load(int index);
const char* track_name(int index);  // 32-byte display name, valid for the program's life
void track_reset_cones();            // every cone back home, upright and still
void track_free();                   // batches and text released, record zeroed, index -1

char* load_source(int index);  // "data\tracks\N.trk", else the built-in text; mem_free it
void parse_header();           // header pass over g_track.source
int split(char* line, char** tokens);  // 0..12 tokens, cut in place; the other slots ""
uint32_t hexcol(const char* token);    // leading hex digits | 0xFF000000

// Loads a given text (copied) into g_track as circuit `index` would be, with
// no file and no fallback; g_trackIndex stays -1. 1 = loaded; on 0 g_track
// holds the header fields only. For tools, tests and the fuzzer.
int track_load_text(const char* text, int index);

// Tools only: called for every model the props pass places (null in the game).
extern void (*g_trackPropHook)(const char* name, float x, float z, float angle, float scale);

// ---- centre line and queries (need a loaded track) ----------------------------------------------
float catmull(float p0, float p1, float p2, float p3, float t);
int seg_at(float d, float* frac);
float track_halfwidth_at(float d);
void track_point_at(float d, float lateral, float* x, float* z, float* dirX, float* dirZ);
int track_locate(float x, float z, int hint, float* side, float* dist);
float dist_to_track(float x, float z, float* halfWidth);

// ---- geometry ---------------------------------------------------------------------------------
void build_geometry();
void quad(Mesh* m, Vec3 a, Vec3 b, Vec3 c, Vec3 d, float uA, float vA, float uB, float vB);

// ---- props, cones and colliders ------------------------------------------------------------------
void place_props();
void place_model_ex(const char* name, int mirror, float x, float z, float angle, float scale);
void add_collider(float x, float z, float halfA, float halfB, float angle);
void add_cone(float x, float z, float spin);

// ---- drawing ------------------------------------------------------------------------------------
void track_draw_background(float eyeX, float eyeY, float eyeZ);
void track_draw();
void track_draw_glow();
void track_minimap(float x, float y, float w, float h, uint32_t colour, int sparse);
