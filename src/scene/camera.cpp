// The chase camera: near or far behind the player's car, a slow orbit round
// the followed car in the attract race, lifted to look over a car close
// behind, smoothed per frame, kept inside the walls and shaken by hits.
#include "car/car.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "scene/scene.h"
#include "track/track.h"

Vec3 g_camPos, g_camAt, g_eye;
Mat4 g_view, g_proj;
Vec3 g_camFwd, g_camRight, g_camUp;

static float lift;          // smoothed look-over height; never reset
static uint32_t rng = 99;   // shake; never reseeded

float camera_lift_target(int c, float d) {
  const Car* car = &g_cars[c];
  float s = f_sin(car->heading), k = f_cos(car->heading);
  float target = 0.0f;
  for (int j = 0; j < 4; j++) {
    if (j == c) continue;
    float dx = g_cars[j].x - car->x, dz = g_cars[j].z - car->z;
    float along = dx * s + dz * k;
    float side = f_abs(dx * k - dz * s);
    if (along < -0.5f && -along < d + 3.0f && side < 2.8f) {
      float cand = (1.0f - (-along) / (d + 4.0f)) * 3.4f + 1.6f;
      if (cand > target) target = cand;
    }
  }
  return target;
}

static Vec3 normalised(float x, float y, float z) {
  float len = f_sqrt(x * x + y * y + z * z);
  if (len <= 1e-6f) return Vec3{0, 0, 0};
  return Vec3{x / len, y / len, z / len};
}

// Pulls the camera back to the wall line when it has swung outside it.
static void keep_inside(int hintSeg) {
  if (g_track.sampleCount <= 0) return;
  float d = 0.0f;
  int i = track_locate(g_camPos.x, g_camPos.z, hintSeg, &d, nullptr);
  if (i < 0 || i >= g_track.sampleCount) return;
  const Sample* sm = &g_track.samples[i];
  float limit = sm->halfWidth + g_track.wallOffset - 0.4f;
  if (f_abs(d) > limit) {
    float e = f_abs(d) - limit;
    if (d < 0) e = -e;
    g_camPos.x -= sm->dirZ * e;
    g_camPos.z += sm->dirX * e;
  }
}

void camera_place() {
  int c = g_attract ? g_camCar : 0;
  if (c < 0 || c > 3) c = 0;
  const Car* car = &g_cars[c];
  float s = f_sin(car->heading), k = f_cos(car->heading);

  float D, H, S = 0.0f;
  if (g_attract) {
    float a = g_camTimer * 0.35f - 1.2f;
    S = 6.0f * f_sin(a);
    D = 8.0f + 2.0f * f_cos(a);
    H = 3.2f;
  } else if (g_set.camera == 0) {
    D = 7.4f, H = 3.1f;
  } else {
    D = 10.5f, H = 4.4f;
  }

  float L = camera_lift_target(c, D);
  lift += (L - lift) * 0.05f;
  float D2 = D + 0.4f * lift, H2 = H + lift;

  Vec3 P = {car->x - s * D2 + k * S, H2, car->z - k * D2 - s * S};
  Vec3 A = {car->x + 4.0f * s, 1.0f, car->z + 4.0f * k};
  if (!g_camInit) {
    g_camInit = 1;
    g_camPos = P;
    g_camAt = A;
  } else {
    const float f = 0.11666667f;
    g_camPos.x += (P.x - g_camPos.x) * f;
    g_camPos.y += (P.y - g_camPos.y) * f;
    g_camPos.z += (P.z - g_camPos.z) * f;
    g_camAt.x += (A.x - g_camAt.x) * 0.2f;
    g_camAt.z += (A.z - g_camAt.z) * 0.2f;
    g_camAt.y += (1.0f - g_camAt.y) * 0.2f;
  }
  keep_inside(car->seg);

  float q = car->impact * 0.012f;
  if (q > 0.25f) q = 0.25f;
  g_eye = g_camPos;
  if (q > 0.01f) {
    g_eye.x += rng_range(&rng, -q, q);
    g_eye.y += rng_range(&rng, -q, q);
  }

  g_view = m4_look_at(g_eye, g_camAt, Vec3{0, 1, 0});
  g_proj = m4_persp(1.0821042f, (float)g_lowW / (float)g_lowH, 0.5f, 700.0f);

  Vec3 f = normalised(g_camAt.x - g_eye.x, g_camAt.y - g_eye.y, g_camAt.z - g_eye.z);
  Vec3 r = normalised(f.z, 0.0f, -f.x);
  g_camFwd = f;
  g_camRight = r;
  g_camUp = Vec3{f.y * r.z - f.z * r.y, f.z * r.x - f.x * r.z, f.x * r.y - f.y * r.x};
}
