// Contacts with props, cones and other cars, and lap progress.
#include "car/car.h"
#include "track/track.h"

static float clampf(float v, float lo, float hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

// One of the car's two circles (radius 1 m, k = -1 rear, +1 front) against
// one box; moves the car and the circle centre out of it.
static void circle_vs_box(Car* car, const Collider* b, float k, float* cx, float* cz) {
  float reach = b->halfA + b->halfB + 3.0f;
  if (f_abs(*cx - b->x) > reach || f_abs(*cz - b->z) > reach) return;
  float dx = *cx - b->x, dz = *cz - b->z;
  float C = b->cosA, S = b->sinA;
  float lx = dx * C - dz * S, lz = dx * S + dz * C;
  float qx = clampf(lx, -b->halfA, b->halfA), qz = clampf(lz, -b->halfB, b->halfB);
  float ex = lx - qx, ez = lz - qz;
  float e2 = ex * ex + ez * ez;
  if (e2 > 1.0f) return;
  float nx, nz, depth;
  if (e2 > 0.000001f) {
    float e = f_sqrt(e2);
    nx = ex / e, nz = ez / e;
    depth = 1.0f - e;
  } else if (b->halfB - f_abs(lz) <= b->halfA - f_abs(lx)) {
    nx = 0.0f, nz = lz > 0.0f ? 1.0f : -1.0f;
    depth = 1.0f + (b->halfB - f_abs(lz));
  } else {
    nx = lx > 0.0f ? 1.0f : -1.0f, nz = 0.0f;
    depth = 1.0f + (b->halfA - f_abs(lx));
  }
  float wx = nx * C + nz * S, wz = -nx * S + nz * C;
  car->x += depth * wx, car->z += depth * wz;
  *cx += depth * wx, *cz += depth * wz;
  float vn = car->vx * wx + car->vz * wz;
  if (vn < 0.0f) {
    car->vx = (car->vx - wx * vn * 1.3f) * 0.8f;
    car->vz = (car->vz - wz * vn * 1.3f) * 0.8f;
    if (vn < -2.0f) g_hitProps++;
    if (-vn > car->impact) car->impact = -vn;
    // A hit at the front and one at the rear spin the car opposite ways.
    car->yawRate += (wz * f_sin(car->heading) - wx * f_cos(car->heading)) * k * (-vn) * 0.1f;
  }
}

void car_hit_colliders(Car* car) {
  for (int side = 0; side < 2; side++) {
    float k = side ? 1.0f : -1.0f;
    float cx = car->x + k * 1.1f * f_sin(car->heading);
    float cz = car->z + k * 1.1f * f_cos(car->heading);
    for (int i = 0; i < g_track.colliderCount; i++) circle_vs_box(car, &g_track.colliders[i], k, &cx, &cz);
  }
}

void car_hit_cones(Car* car) {
  for (int i = 0; i < g_track.coneCount; i++) {
    Cone* cone = &g_track.cones[i];
    float dx = cone->x - car->x, dz = cone->z - car->z;
    float d2 = dx * dx + dz * dz;
    if (d2 > 4.0f || car->vx * car->vx + car->vz * car->vz < 1.0f) continue;
    float d = f_sqrt(d2);
    cone->vx = dx / (0.001f + d) * 3.0f + 1.15f * car->vx;
    cone->vz = dz / (0.001f + d) * 3.0f + 1.15f * car->vz;
    if (!cone->knocked) {
      cone->knocked = 1;
      cone->fallDir = f_atan2(cone->vx, cone->vz);
      g_hitCones++;
    }
    car->vx *= 0.985f;
    car->vz *= 0.985f;
  }
}

void cones_update(float dt) {
  float damp = f_exp(-2.5f * dt);
  for (int i = 0; i < g_track.coneCount; i++) {
    Cone* c = &g_track.cones[i];
    if (!c->knocked) continue;
    c->x += c->vx * dt;
    c->z += c->vz * dt;
    c->vx *= damp;
    c->vz *= damp;
    c->tilt += 6.0f * dt;
    if (c->tilt > 1.5707964f) c->tilt = 1.5707964f;
    c->spin += (f_abs(c->vx) + f_abs(c->vz)) * dt * 0.6f;
  }
}

void cars_collide() {
  for (int i = 0; i < CAR_COUNT; i++) {
    for (int j = i + 1; j < CAR_COUNT; j++) {
      Car* a = &g_cars[i];
      Car* b = &g_cars[j];
      float dx = b->x - a->x, dz = b->z - a->z;
      float d2 = dx * dx + dz * dz;
      if (!(d2 >= 0.000001f && d2 < 7.29f)) continue;
      float len = f_sqrt(d2);
      float nx = dx / len, nz = dz / len;
      float push = (2.7f - len) * 0.5f;
      a->x -= nx * push, a->z -= nz * push;
      b->x += nx * push, b->z += nz * push;
      // Only cars that are closing exchange an impulse.
      float vrel = (b->vx - a->vx) * nx + (b->vz - a->vz) * nz;
      float J = 0.0f;
      if (vrel < 0.0f) {
        J = -0.6f * vrel;
        a->vx -= nx * J, a->vz -= nz * J;
        b->vx += nx * J, b->vz += nz * J;
        a->vx *= 0.97f, a->vz *= 0.97f;
        b->vx *= 0.97f, b->vz *= 0.97f;
      }
      a->yawRate -= (f_sin(a->heading) * nz - f_cos(a->heading) * nx) * J * 0.06f;
      b->yawRate += (f_sin(b->heading) * nz - f_cos(b->heading) * nx) * J * 0.06f;
      if (J > a->impact) a->impact = J;
      if (J > b->impact) b->impact = J;
      if (J > 1.0f) g_hitCars++;
    }
  }
}

// halfway: 0 = not yet past the middle, 1 = past it, 2 = a lap given back by
// reversing over the line (regained without timing when crossed again).
enum { HALF_NO = 0, HALF_PASSED = 1, HALF_GIVEN_BACK = 2 };

void car_update_progress(Car* car, float t) {
  float len = g_track.length;
  float prev = car->dist;
  car->seg = track_locate(car->x, car->z, car->seg, &car->side, &car->dist);
  float d = car->dist;
  if (prev > 0.75f * len && d < 0.25f * len) {
    int counted = 0;
    if (car->lap < 0) {
      car->lap = 0;
      car->halfway = HALF_NO;
      car->lapStart = t;
    } else if (car->halfway == HALF_GIVEN_BACK) {
      // Crossing back over the line only restores the lap lost by reversing;
      // the clock keeps running from the crossing that really began it.
      car->lap += 1;
      car->halfway = HALF_NO;
      counted = 1;
    } else if (car->halfway) {
      car->lastLap = t - car->lapStart;
      car->lap += 1;
      car->halfway = HALF_NO;
      if (car->bestLap <= 0.0f || car->lastLap < car->bestLap) car->bestLap = car->lastLap;
      car->lapStart = t;
      counted = 1;
    }
    if (counted && car->lap >= g_laps && !car->finished) {
      car->finished = 1;
      car->finishTime = t;
    }
  } else if (prev < 0.25f * len && d > 0.75f * len && car->lap >= 0 && !car->halfway) {
    car->lap -= 1;
    car->halfway = HALF_GIVEN_BACK;
  }
  if (d > 0.45f * len && d < 0.55f * len) car->halfway = HALF_PASSED;
}

float car_progress(const Car* car) {
  return (float)car->lap * g_track.length + car->dist;
}
