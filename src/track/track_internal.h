// Track internals shared by the module's files: the line reader, the number
// rules for track texts and the load steps after the header pass.
#pragma once

#include "track/track.h"

enum {
  TRACK_LINE_MAX = 255,  // characters kept of a line
  TRACK_TOKENS = 12,
};

// Copies the line at *p into line (carriage returns dropped, the first 255
// characters kept, the rest skipped), moves *p past it and returns 1; 0 at
// the end of the text.
int track_next_line(const char** p, char line[TRACK_LINE_MAX + 1]);

// A number from a track text, or 0 when the token's value is not finite or
// beyond +-1000 km; the line that holds it is then ignored.
int track_num(const char* token, float* out);

// Centre line from the control points (samples, length, bounds). 0 when the
// points give no usable loop: nothing sampled, sampleCount stays 0.
int track_sample();

// Work left for the props pass of this load (centre-line scans); see props.cpp.
void props_budget_reset();

// The background ring of the last frame: 32 segments of two triangles, each
// vertex a position, a colour and one texture coordinate pair (24 bytes).
struct RingVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};
enum { RING_SEGMENTS = 32 };
extern RingVertex g_trackRing[RING_SEGMENTS * 6];

// True when x is a finite float.
inline int track_finite(float x) { return x - x == 0.0f; }
