// Cars: the car record and the driving model, contacts with props, cones and
// other cars, lap progress, and the computer drivers. Car 0 is the player's.
#pragma once

#include <stdint.h>

#include "rt/rt.h"

struct Model;  // assets/assets.h

enum { CAR_COUNT = 4 };

struct Car {
  float x, z;
  float heading;  // kept in [-pi, pi]
  float vx, vz;   // world velocity
  float yawRate;
  float steer;       // applied steering, follows steerInput
  float speed;       // signed forward speed after the last step
  float throttle;    // input 0..1
  float brake;       // input 0..1
  float steerInput;  // input -1 (left) .. 1 (right)
  int32_t handbrake;
  int32_t seg;  // sample on the centre line, the hint for the next lookup
  float side;   // lateral offset, positive to the right
  float dist;   // track distance, set by progress tracking
  int32_t lap;  // -1 on the grid, 0 after first crossing the line
  int32_t halfway;
  float lapStart;
  float bestLap;
  float lastLap;
  float finishTime;
  int32_t finished;
  int32_t place;  // 1..4
  int32_t ai;
  float skill;
  float lane;  // computer driver's lateral aim, fraction of the half width
  float laneTarget;
  float laneTimer;
  float stuckTime;
  int32_t reverseFrames;
  Model* model;
  Model* glowModel;  // lights drawn additively, or null
  uint32_t tint;
  char name[16];
  int32_t shape;
  int32_t livery;
  float vmaxFactor;
  float gripFactor;
  float impact;  // hardest recent hit as a speed, decaying
  float roll;
  float pitch;
  float wheelAngle;
  float slide;  // 0..1
  int32_t offroad;
};

extern Car g_cars[CAR_COUNT];
extern int32_t g_laps;  // laps of the current race

// Contacts over the whole run, never reset.
extern int32_t g_hitWalls;
extern int32_t g_hitProps;
extern int32_t g_hitCones;
extern int32_t g_hitCars;

extern const char* const g_shapeNames[3];  // "hatch", "wedge", "truck"
extern const float g_shapeVmax[3];
extern const float g_shapeGrip[3];

// ---- record and driving model ------------------------------------------------------------
void cars_reset(int shape, int livery);  // grid of the loaded track
void car_physics(Car* car, float dt);

// ---- contacts and progress -----------------------------------------------------------------
void car_hit_colliders(Car* car);  // physics step 13: the two circles against the props
void car_hit_cones(Car* car);      // physics step 14
void cones_update(float dt);
void cars_collide();
void car_update_progress(Car* car, float t);
float car_progress(const Car* car);  // lap x length + dist

// ---- computer drivers --------------------------------------------------------------------------
void car_ai(Car* car, float dt);
extern uint32_t g_aiRng;  // the drivers' shared generator, 12345 at start
