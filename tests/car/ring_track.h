// A circular test circuit written straight into g_track: radius r, counter-
// clockwise, every sample the given half width, walls `wallOffset` beyond it.
#pragma once

#include <math.h>
#include <string.h>

#include "track/track.h"

inline void ring_track(float r, float halfWidth, float wallOffset, int samples = 2048) {
  memset(&g_track, 0, sizeof g_track);
  float chord = 2.0f * r * (float)sin(M_PI / samples);
  for (int i = 0; i < samples; i++) {
    double a = 2.0 * M_PI * i / samples;
    Sample* s = &g_track.samples[i];
    s->x = (float)(r * cos(a)), s->z = (float)(r * sin(a));
    s->dirX = (float)-sin(a), s->dirZ = (float)cos(a);
    s->halfWidth = halfWidth;
    s->dist = chord * (float)i;
  }
  g_track.sampleCount = samples;
  g_track.length = chord * (float)samples;
  g_track.wallOffset = wallOffset;
  g_track.wallHeight = 1.0f;
}
