// Computer drivers: lane wander, making room, the aim point, a speed plan
// from the curvature ahead, and backing out when stuck.
#include "car/car.h"
#include "track/track.h"

uint32_t g_aiRng = 12345;  // shared by all drivers, never reseeded

static float clampf(float v, float lo, float hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

// Lowest speed allowed now by the bends within the braking horizon.
static float speed_plan(const Car* car, float v) {
  float horizon = v * v / 40.0f + 12.0f + 10.0f;
  float vTarget = 44.0f;
  for (float o = 4.0f; o < horizon; o += 6.0f) {
    float d = car->dist + o;
    float t1x, t1z, t2x, t2z, px, pz;
    track_point_at(d - 5.0f, 0.0f, &px, &pz, &t1x, &t1z);
    track_point_at(d + 5.0f, 0.0f, &px, &pz, &t2x, &t2z);
    float bend = f_abs(f_atan2(t1x * t2z - t1z * t2x, t1x * t2x + t1z * t2z));
    float kappa = bend / 10.0f;
    if (kappa >= 0.0001f) {
      float vCorner = f_sqrt(15.0f * car->skill / kappa);
      float brakeRoom = o - 4.0f > 0.0f ? o - 4.0f : 0.0f;
      float vAllowed = f_sqrt(vCorner * vCorner + 40.0f * brakeRoom);
      if (vAllowed < vTarget) vTarget = vAllowed;
    }
  }
  return vTarget;
}

void car_ai(Car* car, float dt) {
  float v = car->speed;
  float hw = g_track.samples[car->seg].halfWidth;
  float len = g_track.length;

  car->laneTimer -= dt;
  if (car->laneTimer <= 0.0f) {
    car->laneTarget = rng_range(&g_aiRng, -0.45f, 0.45f);
    car->laneTimer = rng_range(&g_aiRng, 2.5f, 6.0f);
  }

  // Pass a car close ahead on its other side.
  float p = (float)car->lap * len + car->dist;
  for (int i = 0; i < CAR_COUNT; i++) {
    const Car* o = &g_cars[i];
    if (o == car) continue;
    float ahead = (float)o->lap * len + o->dist - p;
    if (ahead > 0.0f && ahead < 14.0f && f_abs(o->side - car->side) < 2.6f) {
      car->laneTimer = 1.5f;
      car->laneTarget = o->side > 0.0f ? -0.5f : 0.5f;
    }
  }

  float k = 0.8f * dt;
  car->lane += (car->laneTarget - car->lane) * (k < 1.0f ? k : 1.0f);

  float ax, az;
  track_point_at(car->dist + 0.42f * f_abs(v) + 7.0f, hw * car->lane, &ax, &az, nullptr, nullptr);
  float steer = clampf(3.2f * f_wrap_angle(f_atan2(ax - car->x, az - car->z) - car->heading), -1.0f, 1.0f);
  car->steerInput = steer;

  float vTarget = speed_plan(car, v);
  if (car->offroad && vTarget > 20.0f) vTarget = 20.0f;

  if (v < vTarget - 0.5f) {
    car->throttle = 1.0f, car->brake = 0.0f;
  } else if (v <= vTarget + 2.0f) {
    car->throttle = 0.3f, car->brake = 0.0f;
  } else {
    car->throttle = 0.0f;
    car->brake = clampf((v - vTarget) / 6.0f, 0.3f, 1.0f);
  }
  car->handbrake = 0;

  if (car->reverseFrames >= 1) {
    car->throttle = 0.0f;
    car->brake = 1.0f;
    car->steerInput = -steer;
    car->reverseFrames -= 1;
  } else if (f_abs(v) >= 1.5f) {
    car->stuckTime = 0.0f;
  } else {
    car->stuckTime += dt;
    if (car->stuckTime > 1.8f) {
      car->stuckTime = 0.0f;
      car->reverseFrames = 70;
    }
  }
}
