// What the player sees: the chase camera and the 3D scene, the HUD, the
// menus and state screens, the results table and the automatic screenshot.
// Drawing only reads the game; it changes the camera, the screenshot flag
// and, at the end of a screenshot run, the quit flag.
#pragma once

#include <stdint.h>

#include "rt/rt.h"

struct Car;
struct MenuItem;

// ---- camera ---------------------------------------------------------------------------------
extern Vec3 g_camPos;  // smoothed position, before shake
extern Vec3 g_camAt;   // smoothed look-at point
extern Vec3 g_eye;     // the eye of this frame (position plus shake)
extern Mat4 g_view, g_proj;
extern Vec3 g_camFwd, g_camRight, g_camUp;  // basis of this frame, for billboards

// Moves the chase (or attract orbit) camera one frame and builds the view,
// projection and basis.
void camera_place();
// Look-over lift target for car c and chase distance d: how far the camera
// rises to see over the nearest car close behind.
float camera_lift_target(int c, float d);

// ---- the frame --------------------------------------------------------------------------------
void game_render();
void draw_cars();
void draw_cones();

// ---- 2D screens -------------------------------------------------------------------------------
enum { SC_FIELD = 4 };
extern const uint32_t g_liveryColors[12];
extern const char* const g_flav[3];
extern int g_shotDone;  // 1 once this run's screenshot is taken

const char* place_suffix(int place);   // "ST", "ND", "RD", else "TH"
uint32_t livery_colour(int shape, int livery);
void time_text(char* out, int cap, float t);  // "m:ss.hh"

void draw_hud();
void menu_draw(const MenuItem* items, int count, float x, float y, float w, float h);
void draw_logo();
void draw_setup();
void draw_state_screen();  // the current state's 2D screen and the screenshot check

// Results table: each car's time (finish time or an estimate from its
// average speed) and the order of the table rows (ties keep car order).
float results_time(int car);
void results_order(const float times[SC_FIELD], int order[SC_FIELD]);
