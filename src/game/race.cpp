// Race control: race set-up, the simulation step, the player's controls,
// positions, particles, the race step and the attract race.
#include "game/game_internal.h"
#include "track/track.h"

float g_raceTime;
float g_finishTimer;
float g_wrongWay;
int g_loadedTrack = -1;
int g_attract;
Particle g_parts[PARTICLE_COUNT];
int g_partNext;
uint32_t g_raceRng = 777;
int g_camInit;
float g_camTimer;
int g_camCar;

static int track_ready() {
  return g_loadedTrack >= 0 && g_track.sampleCount >= TRACK_MIN_SAMPLES;
}

void setup_race(int t, int attract) {
  if (g_loadedTrack != t) {
    // A circuit that cannot be loaded gives way to the next one that can, so
    // a race never runs on an empty track.
    g_loadedTrack = -1;
    for (int k = 0; k < TRACK_COUNT; k++) {
      int idx = (t + k) % TRACK_COUNT;
      if (track_load(idx)) {
        g_loadedTrack = idx;
        break;
      }
    }
  }
  g_laps = g_set.laps;
  g_attract = attract;
  if (track_ready()) {
    track_reset_cones();
    cars_reset(g_set.shape, g_set.livery);
  } else {
    memset(g_cars, 0, sizeof g_cars);
  }
  g_cars[0].ai = attract || g_opt.demo;
  if (g_cars[0].ai) g_cars[0].skill = 0.97f;
  for (int i = 1; i < CAR_COUNT; i++) g_cars[i].ai = 1;
  g_camInit = 0;
  g_raceTime = 0.0f;
  g_finishTimer = 0.0f;
  g_camTimer = 0.0f;
  g_sceneTime = 0.0f;
  g_camCar = 0;
  g_wrongWay = 0.0f;
  for (int i = 0; i < PARTICLE_COUNT; i++) g_parts[i].life = 0.0f;
}

static void player_controls(Car* car) {
  float steer = key_down(KEY_LEFT) || key_down('A') ? -1.0f : 0.0f;
  if (key_down(KEY_RIGHT) || key_down('D')) steer = 1.0f;
  float throttle = key_down(KEY_UP) || key_down('W') ? 1.0f : 0.0f;
  float brake = key_down(KEY_DOWN) || key_down('S') ? 1.0f : 0.0f;
  int handbrake = key_down(KEY_SPACE) ? 1 : 0;
  if (g_in.padConnected) {
    if (f_abs(g_in.padSteer) > 0.15f) steer += g_in.padSteer;
    throttle = (g_in.padDown & PAD_A) ? 1.0f : (g_in.padThrottle > throttle ? g_in.padThrottle : throttle);
    brake = (g_in.padDown & PAD_X) ? 1.0f : (g_in.padBrake > brake ? g_in.padBrake : brake);
    if (g_in.padDown & PAD_B) handbrake = 1;
    if (g_in.padDown & PAD_LEFT) steer -= 1.0f;
    if (g_in.padDown & PAD_RIGHT) steer += 1.0f;
    if (steer < -1.0f) steer = -1.0f;
  }
  if (steer > 1.0f) steer = 1.0f;
  car->steerInput = steer;
  car->throttle = throttle;
  car->brake = brake;
  car->handbrake = handbrake;
}

// Smoke or dust from a car this step: 0 = none.
static float particle_intensity(const Car* c, int desert) {
  float s = f_abs(c->speed);
  int sliding = c->slide > 0.35f;
  if (c->offroad) {
    if (sliding && s > 8.0f) return c->slide > 0.8f ? c->slide : 0.8f;
    if (sliding && s > 5.0f) return c->slide;
    if (!sliding && s > 8.0f) return 0.8f;
    return 0.0f;
  }
  if (sliding && s > 5.0f) return c->slide;
  if (!sliding && s > 8.0f && desert) return 0.35f;
  return 0.0f;
}

static void spawn_particle(const Car* c, int desert) {
  Particle* p = &g_parts[g_partNext];
  g_partNext = (g_partNext + 1) % PARTICLE_COUNT;
  float sn = f_sin(c->heading), cs = f_cos(c->heading);
  float side = (rng_next(&g_raceRng) & 1) ? 0.8f : -0.8f;
  p->position.x = c->x - 1.6f * sn + side * cs;
  p->position.y = 0.3f;
  p->position.z = c->z - 1.6f * cs - side * sn;
  p->velocity.z = rng_range(&g_raceRng, -1.0f, 1.0f) - 0.1f * c->vz;
  p->velocity.y = rng_range(&g_raceRng, 0.6f, 1.6f);
  p->velocity.x = rng_range(&g_raceRng, -1.0f, 1.0f) - 0.1f * c->vx;
  p->life = p->maxLife = rng_range(&g_raceRng, 0.6f, 1.2f);
  p->size = rng_range(&g_raceRng, 0.6f, 1.1f);
  if (g_track.night)
    p->colour = 0xFF8088A0;
  else if (desert)
    p->colour = 0xFFD8A070;
  else
    p->colour = c->offroad ? 0xFFB0A080 : 0xFFE0E0E0;
}

static void update_places() {
  int order[CAR_COUNT] = {0, 1, 2, 3};
  for (int p = 0; p < CAR_COUNT - 1; p++) {
    for (int q = p + 1; q < CAR_COUNT; q++) {
      const Car* a = &g_cars[order[p]];
      const Car* b = &g_cars[order[q]];
      int swap = (!a->finished && (b->finished || car_progress(b) > car_progress(a))) ||
                 (a->finished && b->finished && b->finishTime < a->finishTime);
      if (swap) {
        int t = order[p];
        order[p] = order[q];
        order[q] = t;
      }
    }
  }
  for (int k = 0; k < CAR_COUNT; k++) g_cars[order[k]].place = k + 1;
}

void sim_cars(int running, float dt) {
  if (!track_ready()) return;
  for (int i = 0; i < CAR_COUNT; i++) {
    Car* c = &g_cars[i];
    if (!running) {
      c->throttle = 0.0f, c->brake = 0.0f, c->steerInput = 0.0f, c->handbrake = 1;
    } else if (c->finished && !c->ai) {
      c->throttle = 0.0f, c->brake = 0.4f, c->steerInput = 0.0f, c->handbrake = 0;
    } else if (c->ai) {
      car_ai(c, dt);
      if (c->finished) c->throttle *= 0.5f;
    } else {
      player_controls(c);
    }
  }
  for (int i = 0; i < CAR_COUNT; i++) car_physics(&g_cars[i], dt);
  cars_collide();
  for (int i = 0; i < CAR_COUNT; i++) car_update_progress(&g_cars[i], g_raceTime);
  cones_update(dt);
  update_places();

  int desert = str_eq(g_track.mood, "desert");
  for (int i = 0; i < CAR_COUNT; i++) {
    float v = particle_intensity(&g_cars[i], desert);
    if (v > 0.0f && rng_float(&g_raceRng) < v * 0.6f) spawn_particle(&g_cars[i], desert);
  }
  for (int i = 0; i < PARTICLE_COUNT; i++) {
    Particle* p = &g_parts[i];
    if (p->life <= 0.0f) continue;
    p->life -= dt;
    p->position.x += p->velocity.x * dt;
    p->position.y += p->velocity.y * dt;
    p->position.z += p->velocity.z * dt;
    float k = 1.0f - 1.5f * dt;
    p->velocity.x *= k, p->velocity.y *= k, p->velocity.z *= k;
    p->size += 1.6f * dt;
  }
}

void race_step(float dt) {
  g_raceTime += dt;
  sim_cars(1, dt);
  if (!track_ready()) return;
  Car* me = &g_cars[0];
  const Sample* s = &g_track.samples[me->seg];
  if (me->vx * s->dirX + me->vz * s->dirZ < -3.0f)
    g_wrongWay += dt;
  else
    g_wrongWay = 0.0f;
  if ((key_pressed('R') || (g_in.padPressed & PAD_Y)) && !me->finished && !me->ai) {
    float dx, dz;
    track_point_at(me->dist, 0.0f, &me->x, &me->z, &dx, &dz);
    me->heading = f_atan2(dx, dz);
    me->vx = me->vz = me->yawRate = me->speed = 0.0f;
  }
  if (me->finished) g_finishTimer += dt;
}

void attract_tick(float dt) {
  g_raceTime += dt;
  sim_cars(1, dt);
  int done = 0;
  for (int i = 0; i < CAR_COUNT; i++) done |= g_cars[i].finished;
  if (done || g_raceTime > 400.0f) setup_race(g_set.track, 1);
  g_camTimer += dt;
  if (g_camTimer > 9.0f) {
    g_camTimer = 0.0f;
    g_camCar = (g_camCar + 1) % CAR_COUNT;
  }
}
