// The sampled centre line and the queries on it.
#include "track/track_internal.h"

// Dense spline points of the last load: position, full width, and the
// distance along the loop at each point (plus the closing total).
static float dx[TRACK_MAX_DENSE], dz[TRACK_MAX_DENSE], dw[TRACK_MAX_DENSE];
static float ds[TRACK_MAX_DENSE + 1];

// A loop shorter than this has no usable centre line.
static const float kMinLength = 1.0f;

float catmull(float p0, float p1, float p2, float p3, float t) {
  return 0.5f * (2.0f * p1 + (p2 - p0) * t + (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) * t * t +
                 (3.0f * p1 - p0 - 3.0f * p2 + p3) * t * t * t);
}

int track_sample() {
  TrackData* t = &g_track;
  int n = t->pointCount;
  if (n < 4) return 0;
  const float* px = t->pointX;
  const float* pz = t->pointZ;
  for (int i = 0; i < n; i++) {
    int i0 = (i - 1 + n) % n, i2 = (i + 1) % n, i3 = (i + 2) % n;
    for (int j = 0; j < TRACK_DENSE_PER_SPAN; j++) {
      float u = (float)j / (float)TRACK_DENSE_PER_SPAN;
      int k = i * TRACK_DENSE_PER_SPAN + j;
      dx[k] = catmull(px[i0], px[i], px[i2], px[i3], u);
      dz[k] = catmull(pz[i0], pz[i], pz[i2], pz[i3], u);
      dw[k] = t->pointWidth[i] + u * (t->pointWidth[i2] - t->pointWidth[i]);
    }
  }
  int N = n * TRACK_DENSE_PER_SPAN;
  ds[0] = 0.0f;
  for (int k = 0; k < N; k++) {
    int k1 = (k + 1) % N;
    float ex = dx[k1] - dx[k], ez = dz[k1] - dz[k];
    ds[k + 1] = ds[k] + f_sqrt(ex * ex + ez * ez);
  }
  float L = ds[N];
  if (!track_finite(L) || L < kMinLength) return 0;

  int M = (int)(L / 3.0f);
  if (M < TRACK_MIN_SAMPLES) M = TRACK_MIN_SAMPLES;
  if (M > TRACK_MAX_SAMPLES) M = TRACK_MAX_SAMPLES;
  float spacing = L / (float)M;
  Sample* s = t->samples;
  int k = 0;
  for (int i = 0; i < M; i++) {
    float d = (float)i * spacing;
    while (d > ds[k + 1] && k < N - 1) k++;
    int k1 = (k + 1) % N;
    float span = ds[k + 1] - ds[k];
    float f = (d - ds[k]) / (span > 0.0001f ? span : 0.0001f);
    s[i].x = dx[k] + f * (dx[k1] - dx[k]);
    s[i].z = dz[k] + f * (dz[k1] - dz[k]);
    s[i].halfWidth = 0.5f * (dw[k] + f * (dw[k1] - dw[k]));
    s[i].dist = d;
  }
  t->length = L;
  t->sampleCount = M;

  // Central differences; where the line doubles back on itself the two
  // neighbours can coincide, and the previous direction stands in.
  float lastX = 0.0f, lastZ = 1.0f;
  for (int i = 0; i < M; i++) {
    const Sample& a = s[(i - 1 + M) % M];
    const Sample& b = s[(i + 1) % M];
    float ex = b.x - a.x, ez = b.z - a.z;
    float len = f_sqrt(ex * ex + ez * ez);
    if (len > 1e-6f) lastX = ex / len, lastZ = ez / len;
    s[i].dirX = lastX, s[i].dirZ = lastZ;
  }
  t->minX = 1e9f, t->maxX = -1e9f, t->minZ = 1e9f, t->maxZ = -1e9f;
  for (int i = 0; i < M; i++) {
    if (s[i].x < t->minX) t->minX = s[i].x;
    if (s[i].x > t->maxX) t->maxX = s[i].x;
    if (s[i].z < t->minZ) t->minZ = s[i].z;
    if (s[i].z > t->maxZ) t->maxZ = s[i].z;
  }
  return 1;
}

// ---- queries --------------------------------------------------------------------------------------

int seg_at(float d, float* frac) {
  const TrackData* t = &g_track;
  int M = t->sampleCount;
  *frac = 0.0f;
  if (M <= 0) return 0;
  float L = t->length;
  float w = d - f_floor(d / L) * L;
  if (!track_finite(w)) return 0;
  int lo = 0, hi = M - 1;
  while (hi > lo) {
    int mid = (lo + hi + 1) / 2;
    if (w >= t->samples[mid].dist) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  float next = lo + 1 < M ? t->samples[lo + 1].dist : L;
  float span = next - t->samples[lo].dist;
  *frac = (w - t->samples[lo].dist) / (span > 0.0001f ? span : 0.0001f);
  return lo;
}

float track_halfwidth_at(float d) {
  int M = g_track.sampleCount;
  if (M <= 0) return 0.0f;
  float f;
  int i = seg_at(d, &f);
  const Sample* s = g_track.samples;
  return s[i].halfWidth + f * (s[(i + 1) % M].halfWidth - s[i].halfWidth);
}

void track_point_at(float d, float lateral, float* x, float* z, float* dirX, float* dirZ) {
  int M = g_track.sampleCount;
  if (M <= 0) {
    *x = *z = 0.0f;
    if (dirX) *dirX = 0.0f;
    if (dirZ) *dirZ = 1.0f;
    return;
  }
  float f;
  int i = seg_at(d, &f);
  const Sample& a = g_track.samples[i];
  const Sample& b = g_track.samples[(i + 1) % M];
  float ex = a.dirX + f * (b.dirX - a.dirX), ez = a.dirZ + f * (b.dirZ - a.dirZ);
  float len = f_sqrt(ex * ex + ez * ez);
  if (len > 1e-6f) {
    ex /= len, ez /= len;
  } else {  // opposite directions half-way: keep the first
    ex = a.dirX, ez = a.dirZ;
  }
  float cx = a.x + f * (b.x - a.x), cz = a.z + f * (b.z - a.z);
  *x = cx + lateral * ez;
  *z = cz - lateral * ex;
  if (dirX) *dirX = ex;
  if (dirZ) *dirZ = ez;
}

int track_locate(float x, float z, int hint, float* side, float* dist) {
  const TrackData* t = &g_track;
  int M = t->sampleCount;
  if (M <= 0) {
    if (side) *side = 0.0f;
    if (dist) *dist = 0.0f;
    return 0;
  }
  int first = 0, count = M;
  if (hint >= 0) first = hint % M - 10, count = 25;
  int best = 0;
  float bestT = 0.0f, bestD = 3.4e38f;
  for (int c = 0; c < count; c++) {
    int i = ((first + c) % M + M) % M;
    const Sample& a = t->samples[i];
    const Sample& b = t->samples[(i + 1) % M];
    float ex = b.x - a.x, ez = b.z - a.z;
    float len2 = ex * ex + ez * ez;
    float u = len2 > 0.0f ? ((x - a.x) * ex + (z - a.z) * ez) / len2 : 0.0f;
    if (!(u > 0.0f)) u = 0.0f;  // also a NaN from a point far out
    if (u > 1.0f) u = 1.0f;
    float qx = x - (a.x + u * ex), qz = z - (a.z + u * ez);
    float d2 = qx * qx + qz * qz;
    if (d2 < bestD) bestD = d2, best = i, bestT = u;
  }
  const Sample& a = t->samples[best];
  const Sample& b = t->samples[(best + 1) % M];
  if (side) {
    float px = a.x + bestT * (b.x - a.x), pz = a.z + bestT * (b.z - a.z);
    float fx = a.dirX + bestT * (b.dirX - a.dirX), fz = a.dirZ + bestT * (b.dirZ - a.dirZ);
    *side = (x - px) * fz - (z - pz) * fx;
  }
  if (dist) {
    float next = best + 1 < M ? b.dist : t->length;
    *dist = a.dist + bestT * (next - a.dist);
    if (*dist >= t->length) *dist = 0.0f;  // the end of the last span is the start line
  }
  return best;
}

float dist_to_track(float x, float z, float* halfWidth) {
  const TrackData* t = &g_track;
  int best = -1;
  float bestD = 0.0f;
  for (int i = 0; i < t->sampleCount; i++) {
    float ex = x - t->samples[i].x, ez = z - t->samples[i].z;
    float d2 = ex * ex + ez * ez;
    if (best < 0 || d2 < bestD) best = i, bestD = d2;
  }
  if (halfWidth) *halfWidth = t->samples[best < 0 ? 0 : best].halfWidth;
  if (best < 0) return 1e9f;
  return f_sqrt(bestD);
}
