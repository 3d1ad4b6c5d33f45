// The car record, the grid and the driving model.
#include "car/car.h"

#include "assets/assets.h"
#include "track/track.h"

Car g_cars[CAR_COUNT];
int32_t g_laps = 3;
int32_t g_hitWalls;
int32_t g_hitProps;
int32_t g_hitCones;
int32_t g_hitCars;

const char* const g_shapeNames[3] = {"hatch", "wedge", "truck"};
const float g_shapeVmax[3] = {1.0f, 1.03f, 0.97f};
const float g_shapeGrip[3] = {1.0f, 0.94f, 1.06f};

static float clampf(float v, float lo, float hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}
static float minf(float a, float b) {
  return a < b ? a : b;
}

void cars_reset(int shape, int livery) {
  static const char* const names[CAR_COUNT] = {"YOU", "BLAZE", "NOVA", "RUSTY"};
  static const uint32_t tints[CAR_COUNT] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  static const float skills[CAR_COUNT] = {1.0f, 0.95f, 0.92f, 0.89f};
  float len = g_track.length;
  for (int i = 0; i < CAR_COUNT; i++) {
    Car* c = &g_cars[i];
    memset(c, 0, sizeof *c);
    // Two staggered rows: 9, 12, 17 and 20 m before the line.
    float d = (len - 9.0f) - (float)(i / 2) * 8.0f - (float)(i % 2) * 3.0f;
    float hw = track_halfwidth_at(d);
    float lateral = (i % 2 ? 0.42f : -0.42f) * hw;
    float dirX = 0, dirZ = 1;
    track_point_at(d, lateral, &c->x, &c->z, &dirX, &dirZ);
    c->heading = f_atan2(dirX, dirZ);
    c->seg = track_locate(c->x, c->z, -1, &c->side, &c->dist);
    c->lap = -1;
    c->ai = i > 0;
    c->skill = skills[i];
    c->lane = c->laneTarget = hw > 0.0f ? lateral / hw : 0.0f;
    c->laneTimer = (float)(i + 2);
    c->shape = (shape + i) % 3;
    c->livery = (livery + i) % 4;
    char name[48];
    fmt(name, sizeof name, "car_%s_%d", g_shapeNames[c->shape], c->livery);
    c->model = model_get(name);
    if (c->model && !c->model->generated) {
      fmt(name, sizeof name, "car_%s_glow", g_shapeNames[c->shape]);
      c->glowModel = model_try(name);
    }
    c->vmaxFactor = g_shapeVmax[c->shape];
    c->gripFactor = g_shapeGrip[c->shape];
    c->tint = tints[i];
    str_cpy(c->name, names[i], sizeof c->name);
  }
}

// Forward speed after throttle and brakes (step 5).
static float drive(const Car* car, float fwd, float vmax, float dt) {
  float brakeDecel = car->brake * 24.0f * dt;
  float reverseDecel = car->brake * 7.0f * dt;
  if (car->throttle <= 0.0f) {
    if (car->brake > 0.0f) {
      if (fwd > 0.5f)
        fwd -= brakeDecel;
      else if (fwd > -9.0f)
        fwd -= reverseDecel;
    }
    return fwd;
  }
  if (fwd <= -0.5f) {
    if (car->brake > 0.0f && fwd > -9.0f) fwd -= reverseDecel;
  } else {
    float r = fwd / vmax;
    float k = r < 0.0f ? 1.0f : 1.0f - minf(r, 1.0f) * minf(r, 1.0f);
    fwd += car->throttle * 12.0f * k * dt;
    if (car->brake > 0.0f) {
      if (fwd > 0.5f)
        fwd -= brakeDecel;
      else if (fwd > -9.0f)
        fwd -= reverseDecel;
    }
  }
  if (fwd < -0.5f) fwd += 20.0f * dt;
  return fwd;
}

// Keeps the car inside halfWidth + wallOffset - 1 of the centre line (step 12).
static void boundary(Car* car, float fwd, float dt) {
  const Sample* s = &g_track.samples[car->seg];
  float limit = s->halfWidth + g_track.wallOffset - 1.0f;
  float a = f_abs(car->side);
  if (!(a > limit)) return;
  float sgn = car->side > 0.0f ? 1.0f : -1.0f;
  float nx = sgn * s->dirZ, nz = -sgn * s->dirX;
  car->x -= nx * (a - limit);
  car->z -= nz * (a - limit);
  float vn = car->vx * nx + car->vz * nz;
  if (vn > 0.0f) {
    float damp = clampf(1.0f - 0.02f * vn, 0.75f, 0.99f);
    if (vn > car->impact) car->impact = vn;
    if (vn > 2.0f) g_hitWalls++;
    car->vx = (car->vx - nx * vn * 1.35f) * damp;
    car->vz = (car->vz - nz * vn * 1.35f) * damp;
  }
  float road = f_atan2(s->dirX, s->dirZ);
  if (fwd < 0.0f) road += 3.14159265f;
  car->heading = f_wrap_angle(car->heading + minf(3.0f * dt, 1.0f) * f_wrap_angle(road - car->heading));
  car->side = sgn * limit;
}

void car_physics(Car* car, float dt) {
  float s = f_sin(car->heading), c = f_cos(car->heading);
  float fwd = car->vx * s + car->vz * c;
  float lat = car->vx * c - car->vz * s;

  car->offroad = f_abs(car->side) > g_track.samples[car->seg].halfWidth + 0.6f;
  float vmax = car->offroad ? 22.0f : 44.0f;
  if (car->ai) vmax *= car->skill;
  vmax *= car->vmaxFactor;

  float want = clampf(car->steerInput, -1.0f, 1.0f);
  float step = 5.0f * dt;
  car->steer += clampf(want - car->steer, -step, step);

  fwd = drive(car, fwd, vmax, dt);

  float drag = 0.0035f * fwd * fwd + 0.9f;
  if (car->offroad) drag += 5.0f;
  if (car->handbrake) drag += 5.0f;
  if (fwd > 0.0f)
    fwd = fwd - drag * dt > 0.0f ? fwd - drag * dt : 0.0f;
  else if (fwd < 0.0f)
    fwd = fwd + drag * dt < 0.0f ? fwd + drag * dt : 0.0f;

  if (fwd > vmax + 2.0f) fwd -= 2.0f * (fwd - vmax) * dt;

  float rate = car->handbrake ? -1.6f : -(car->offroad ? 5.5f : 10.0f) * car->gripFactor;
  lat *= f_exp(rate * dt);
  car->slide = clampf(f_abs(lat) / 6.0f, 0.0f, 1.0f);

  float a = f_abs(fwd);
  float target = 2.3f * car->steer * minf(a / 7.0f, 1.0f) * (1.0f - 0.45f * minf(a / 44.0f, 1.0f));
  if (car->handbrake && a > 6.0f) target *= 1.45f;
  if (fwd < 0.0f) target = -target;
  car->yawRate += minf(12.0f * dt, 1.0f) * (target - car->yawRate);
  car->heading = f_wrap_angle(car->heading + car->yawRate * dt);

  car->vx = s * fwd + c * lat;
  car->vz = c * fwd - s * lat;
  car->x += car->vx * dt;
  car->z += car->vz * dt;
  car->speed = fwd;
  car->wheelAngle += fwd * dt / 0.33f;

  car->seg = track_locate(car->x, car->z, car->seg, &car->side, nullptr);
  boundary(car, fwd, dt);
  car_hit_colliders(car);
  car_hit_cones(car);
  car->impact *= f_exp(-6.0f * dt);

  float rollTarget = clampf(-car->yawRate * a * 0.0045f, -0.09f, 0.09f);
  car->roll += (rollTarget - car->roll) * minf(8.0f * dt, 1.0f);
  float pitchTarget = car->brake > 0.0f && fwd > 1.0f ? 0.03f : 0.0f;
  if (car->throttle > 0.0f && fwd < 20.0f) pitchTarget -= 0.02f;
  car->pitch += (pitchTarget - car->pitch) * minf(6.0f * dt, 1.0f);
}
