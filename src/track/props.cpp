// The props pass: models baked into the track's batches, their colliders and
// lamps, and the traffic cones. Random placement draws from seeds written in
// the text, one generator per line, so every load places the same scenery.
#include "assets/assets.h"
#include "track/track_internal.h"

void (*g_trackPropHook)(const char* name, float x, float z, float angle, float scale);

static const float kPi = 3.1415927f;
static const float kDeg = 3.1415927f / 180.0f;

// What one load may spend on props, so that no text can stall the game:
// loop steps, sample visits of the nearest-sample scans, models and vertices
// baked. The built-in circuits use a small part of each.
static int32_t g_stepsLeft, g_visitsLeft, g_modelsLeft, g_vertsLeft;
static const int32_t kMaxSteps = 1 << 18, kMaxVisits = 1 << 24, kMaxModels = 8192, kMaxVerts = 1 << 21;
static const int32_t kMaxScatter = 4096;

void props_budget_reset() {
  g_stepsLeft = kMaxSteps;
  g_visitsLeft = kMaxVisits;
  g_modelsLeft = kMaxModels;
  g_vertsLeft = kMaxVerts;
}

static int spent() { return g_stepsLeft <= 0 || g_visitsLeft <= 0; }
static int step() { return --g_stepsLeft > 0 && g_visitsLeft > 0; }

// Distance to the nearest sample and that sample's half width, charged.
static float nearest(float x, float z, float* hwNear) {
  g_visitsLeft -= g_track.sampleCount;
  return dist_to_track(x, z, hwNear);
}

static int starts(const char* s, const char* prefix) {
  while (*prefix)
    if (*s++ != *prefix++) return 0;
  return 1;
}

void add_cone(float x, float z, float spin) {
  TrackData* t = &g_track;
  if (t->coneCount >= TRACK_MAX_CONES || !track_finite(x) || !track_finite(z) || !track_finite(spin)) return;
  Cone* c = &t->cones[t->coneCount++];
  memset(c, 0, sizeof *c);
  c->x = c->homeX = x;
  c->z = c->homeZ = z;
  c->spin = spin;
}

void add_collider(float x, float z, float halfA, float halfB, float angle) {
  TrackData* t = &g_track;
  if (t->colliderCount >= TRACK_MAX_COLLIDERS) return;
  halfA = f_abs(halfA), halfB = f_abs(halfB);  // a negative scale still gives a box
  if (!track_finite(x) || !track_finite(z) || !track_finite(halfA) || !track_finite(halfB) || !track_finite(angle))
    return;
  float hwNear;
  float dn = nearest(x, z, &hwNear);
  // Cars stay within hw + wallOffset - 1 of the centre line: anything further is out of reach.
  if (dn > t->wallOffset + hwNear + (halfA > halfB ? halfA : halfB) + 0.5f) return;
  Collider* c = &t->colliders[t->colliderCount++];
  c->x = x, c->z = z;
  c->halfA = halfA, c->halfB = halfB;
  c->cosA = f_cos(angle), c->sinA = f_sin(angle);
}

static Vec3 at(const Mat4& w, float x, float y, float z) { return m4_xform_point(w, Vec3{x, y, z}); }

static void bake(const Model* m, const Mat4& w, int layer) {
  if (!m || m->mesh.nverts <= 0 || g_modelsLeft <= 0 || g_vertsLeft < m->mesh.nverts) return;
  Mesh* dst = batch_get(&g_track.batches, m->tex, layer, m->mesh.nverts);
  if (!dst) return;
  mesh_append_xform(dst, &m->mesh, &w, 0xFFFFFFFFu);
  g_modelsLeft--;
  g_vertsLeft -= m->mesh.nverts;
}

void place_model_ex(const char* name, int mirror, float x, float z, float angle, float scale) {
  if (!track_finite(x) || !track_finite(z) || !track_finite(angle) || !track_finite(scale)) return;
  Model* m = model_get(name);
  if (!m) return;
  Mat4 s = m4_scale(scale);
  if (mirror) s.m[0][0] = -s.m[0][0];
  Mat4 w = m4_mul(m4_mul(s, m4_rot_y(angle)), m4_translate(x, 0.0f, z));
  bake(m, w, 0);
  if (g_trackPropHook) g_trackPropHook(name, x, z, angle, scale);

  const char* n = m->name;
  if (starts(n, "bush") || starts(n, "billboard") || starts(n, "car") || starts(n, "guardrail")) {
    // no collider
  } else if (starts(n, "tree") || starts(n, "cactus") || starts(n, "lamp") || starts(n, "pine")) {
    Vec3 p = at(w, 0, 0, 0);
    float h = (starts(n, "lamp") ? 0.25f : 0.4f) * scale;
    add_collider(p.x, p.z, h, h, angle);
  } else if (starts(n, "gate")) {
    float half = m->max[0] > -m->min[0] ? m->max[0] : -m->min[0];
    Vec3 l = at(w, -(half - 0.4f), 0, 0), r = at(w, half - 0.4f, 0, 0);
    add_collider(l.x, l.z, 0.5f * scale, 0.5f * scale, angle);
    add_collider(r.x, r.z, 0.5f * scale, 0.5f * scale, angle);
  } else {
    float k = starts(n, "rock") ? 0.75f : 1.0f;
    Vec3 c = at(w, (m->min[0] + m->max[0]) * 0.5f, 0, (m->min[2] + m->max[2]) * 0.5f);
    add_collider(c.x, c.z, (m->max[0] - m->min[0]) * 0.5f * scale * k, (m->max[2] - m->min[2]) * 0.5f * scale * k,
                 angle);
  }

  Model* glow = nullptr;
  if (!m->generated) {
    char g[64];
    if (fmt(g, sizeof g, "%s_glow", name) < (int)sizeof g) glow = model_try(g);
    if (glow) bake(glow, w, 2);
  }

  TrackData* t = &g_track;
  if ((str_eq(name, "lamp") || str_eq(name, "lamp_post")) && t->lampCount < TRACK_MAX_LAMPS) {
    Vec3 p;
    if (m->generated) {
      p = at(w, 0.0f, 6.1f, 1.35f);
    } else if (glow) {
      p = at(w, (glow->min[0] + glow->max[0]) * 0.5f, (glow->min[1] + glow->max[1]) * 0.5f,
             (glow->min[2] + glow->max[2]) * 0.5f);
    } else {
      p = at(w, m->max[0] - 0.4f, m->max[1] - 0.3f, 0.0f);
    }
    t->lamps[t->lampCount++] = p;
  }
}

// A model, or a traffic cone for the name "cone".
static void place(const char* name, int mirror, float x, float z, float angle, float scale) {
  if (str_eq(name, "cone")) {
    add_cone(x, z, angle);
  } else {
    place_model_ex(name, mirror, x, z, angle, scale);
  }
}

// ---- the keywords ---------------------------------------------------------------------------------

// A row's spacing must move it on: at least half a metre, and big enough to
// change the start distance at all.
static int row_ok(float spacing, float start) { return spacing >= 0.5f && start + spacing != start; }

static void prop_rowh(char** tok) {
  float spacing, offset, scale, start, angle;
  if (!track_num(tok[2], &spacing) || !track_num(tok[3], &offset) || !track_num(tok[5], &scale) ||
      !track_num(tok[6], &start) || !track_num(tok[7], &angle) || !row_ok(spacing, start))
    return;
  int side = str_to_int(tok[4]);
  float L = g_track.length;
  for (float d = start; d < L - 2.0f && step(); d += spacing) {
    if (d < 12.0f || d > L - 12.0f) continue;  // the start and finish stay clear
    float x, z, dirX, dirZ, hwNear;
    track_point_at(d, (track_halfwidth_at(d) + offset) * (float)side, &x, &z, &dirX, &dirZ);
    if (nearest(x, z, &hwNear) < offset + hwNear - 1.0f) continue;  // another part of the circuit
    place(tok[1], 0, x, z, f_atan2(dirX, dirZ) + angle * kDeg, scale);
  }
}

static void prop_row(char** tok) {
  float spacing, offset, lo, hi, start;
  if (!track_num(tok[2], &spacing) || !track_num(tok[3], &offset) || !track_num(tok[5], &lo) ||
      !track_num(tok[6], &hi) || !track_num(tok[7], &start) || !row_ok(spacing, start))
    return;
  int side = str_to_int(tok[4]);
  uint32_t rng = (uint32_t)(int32_t)(start * 977.0f + 13.0f);
  Model* m = model_get(tok[1]);
  float r = m ? m->radius : 0.0f;
  float L = g_track.length;
  int building = m && str_eq(m->name, "building");
  for (float d = start; d < L - 4.0f && step(); d += spacing) {
    float s = rng_range(&rng, lo, hi);
    if (d < 30.0f && side > 0 && building) continue;
    float x, z, dirX, dirZ, hwNear;
    track_point_at(d, (s * r * 0.7f + track_halfwidth_at(d) + offset) * (float)side, &x, &z, &dirX, &dirZ);
    float dn = nearest(x, z, &hwNear);
    if (dn < s * r * 0.6f + (offset < 2.0f ? offset : 2.0f) + hwNear - 0.01f) continue;
    place(tok[1], 0, x, z, f_atan2(-(float)side * dirZ, (float)side * dirX), s);
  }
}

static void prop_scatter(char** tok) {
  float minDist, maxDist, lo, hi;
  if (!track_num(tok[3], &minDist) || !track_num(tok[4], &maxDist) || !track_num(tok[5], &lo) ||
      !track_num(tok[6], &hi))
    return;
  int32_t count = str_to_int(tok[2]);
  if (count < 1) return;
  if (count > kMaxScatter) count = kMaxScatter;
  uint32_t rng = (uint32_t)str_to_int(tok[7]) * 0x9E3779B1u + 1u;
  Model* m = model_get(tok[1]);
  float r = m ? m->radius : 0.0f;
  const TrackData* t = &g_track;
  int placed = 0;
  for (int attempt = 0; attempt < 6 * count && placed < count && step(); attempt++) {
    float d = rng_range(&rng, 0.0f, t->length);
    float side = (rng_next(&rng) & 1) ? 1.0f : -1.0f;
    float s = rng_range(&rng, lo, hi);
    float span = rng_range(&rng, minDist, maxDist) - minDist;
    float off = minDist + rng_float(&rng) * span;
    float x, z, hwNear;
    track_point_at(d, (track_halfwidth_at(d) + t->wallOffset + off + s * r) * side, &x, &z, nullptr, nullptr);
    if (nearest(x, z, &hwNear) < t->wallOffset + hwNear + 1.0f + s * r) continue;
    float angle = rng_range(&rng, 0.0f, 6.2831855f);
    place(tok[1], 0, x, z, angle, s);
    placed++;
  }
}

// How far the road turns over the ten samples around k (the sine of the
// angle): positive in a left-hand bend, negative in a right-hand one.
static float bend(int k) {
  int M = g_track.sampleCount;
  const Sample& a = g_track.samples[((k - 5) % M + M) % M];
  const Sample& b = g_track.samples[(k + 5) % M];
  return a.dirX * b.dirZ - a.dirZ * b.dirX;
}

// cornerprops (model != null) and cones: one on each bend, at least gap apart.
static void prop_corners(const char* model, float offset, float gap) {
  const TrackData* t = &g_track;
  float last = -100.0f;
  for (int k = 0; k < t->sampleCount && step(); k++) {
    float cross = bend(k), dk = t->samples[k].dist;
    if (!(f_abs(cross) >= 0.3f && dk - last >= gap && dk >= 20.0f)) continue;
    float out = cross >= 0.0f ? 1.0f : -1.0f;
    last = dk;
    float hw = t->samples[k].halfWidth;
    float lateral = model ? out * (offset + hw) : -out * (offset + hw);  // cones at the inside apex
    float x, z, dirX, dirZ, hwNear;
    track_point_at(dk, lateral, &x, &z, &dirX, &dirZ);
    if (nearest(x, z, &hwNear) < offset + hwNear - 0.5f) continue;
    if (model) {
      place(model, 0, x, z, f_atan2(dirX, dirZ), 1.0f);
    } else {
      add_cone(x, z, 0.0f);
    }
  }
}

static void prop_chevrons(const char* model, float offset) {
  const TrackData* t = &g_track;
  float last = -100.0f;
  for (int k = 0; k < t->sampleCount && step(); k++) {
    float cross = bend(k), dk = t->samples[k].dist;
    if (!(f_abs(cross) >= 0.32f && dk - last >= 14.0f)) continue;
    float out = cross >= 0.0f ? 1.0f : -1.0f;
    float x, z, dirX, dirZ, hwNear;
    track_point_at(dk, out * (t->samples[k].halfWidth + t->wallOffset + offset), &x, &z, &dirX, &dirZ);
    last = dk;
    if (nearest(x, z, &hwNear) < t->wallOffset + hwNear) continue;
    place(model, cross < 0.0f, x, z, f_atan2(dirX, dirZ) + kPi, 1.0f);  // facing the oncoming cars
  }
}

static void prop_startgate(const char* model) {
  const Sample& s = g_track.samples[0];
  float x = s.x + 0.8f * s.dirX, z = s.z + 0.8f * s.dirZ, angle = f_atan2(s.dirX, s.dirZ);
  if (str_eq(model, "cone")) {
    add_cone(x, z, angle);
    return;
  }
  Model* m = model_get(model);
  if (!m) return;
  float half = m->max[0] > -m->min[0] ? m->max[0] : -m->min[0];
  if (half < 1.0f) half = 1.0f;
  place_model_ex(model, 0, x, z, angle, (s.halfWidth + 2.5f) / half);  // 2.5 m to spare each side
}

void place_props() {
  props_budget_reset();
  if (g_track.sampleCount <= 0 || !g_track.source) return;
  const char* p = g_track.source;
  char line[TRACK_LINE_MAX + 1];
  char* tok[TRACK_TOKENS];
  while (track_next_line(&p, line) && !spent()) {
    int n = split(line, tok);
    if (n == 0) continue;
    const char* k = tok[0];
    float a, b, c, d;
    if (str_eq(k, "prop")) {
      if (n < 4 || !track_num(tok[2], &a) || !track_num(tok[3], &b)) continue;
      c = 0.0f, d = 1.0f;
      if ((n >= 5 && !track_num(tok[4], &c)) || (n >= 6 && !track_num(tok[5], &d))) continue;
      place(tok[1], 0, a, b, c * kDeg, d);
    } else if (str_eq(k, "startgate")) {
      if (n >= 2) prop_startgate(tok[1]);
    } else if (str_eq(k, "rowh")) {
      if (n >= 8) prop_rowh(tok);
    } else if (str_eq(k, "row")) {
      if (n >= 8) prop_row(tok);
    } else if (str_eq(k, "scatter")) {
      if (n >= 8) prop_scatter(tok);
    } else if (str_eq(k, "cornerprops")) {
      if (n >= 4 && track_num(tok[2], &a) && track_num(tok[3], &b)) prop_corners(tok[1], a, b);
    } else if (str_eq(k, "cones")) {
      if (n >= 3 && track_num(tok[1], &a) && track_num(tok[2], &b)) prop_corners(nullptr, a, b);
    } else if (str_eq(k, "chevrons")) {
      if (n >= 3 && track_num(tok[2], &a)) prop_chevrons(tok[1], a);
    }
  }
}
