// The game: states, menus and settings, race control (race set-up, the
// simulation step, positions, particles) and every sound decision. Nothing
// here draws; the scene reads these globals.
#pragma once

#include <stdint.h>

#include "car/car.h"
#include "rt/rt.h"

// ---- settings --------------------------------------------------------------------------------
struct Settings {
  int32_t track;       // 0..2
  int32_t shape;       // 0..2
  int32_t livery;      // 0..3
  int32_t laps;        // 1..9
  int32_t camera;      // 0 near, nonzero far
  int32_t hud;         // nonzero = shown
  int32_t fullscreen;  // nonzero = start in full screen
  int32_t sound;       // 0 on, 1 quiet, 2 off
};

extern Settings g_set;
extern const char* const g_shapeTitle[3];
extern const char* const g_liveryTitle[12];  // [shape * 4 + livery]
extern const char* const g_soundTitle[3];
extern const float g_soundVol[3];

int game_want_fullscreen();  // reads the settings file; 1 = start in full screen
void settings_save();
// The settings file's text for the current settings; returns its length.
int settings_text(char* buf, int cap);
// Reads a settings text into g_set (defaults not restored first) and validates.
void settings_parse(char* text);

// ---- states and menus -------------------------------------------------------------------------
enum GameState {
  ST_TITLE = 0,
  ST_SETUP = 1,
  ST_OPTIONS = 2,
  ST_COUNTDOWN = 3,
  ST_RACE = 4,
  ST_PAUSED = 5,
  ST_RESULTS = 6,
};

extern int g_state;
extern float g_stateTime;  // seconds since the state was entered
extern float g_sceneTime;  // seconds since the race was set up
extern int g_sel;          // highlighted menu row

struct MenuItem {
  const char* label;
  char value[32];  // empty for plain rows
  int adjustable;  // 1 = left and right change the value
};

// Left edge and top of the first row, row width and pitch, in the 320 x 240
// layout space; shared by the hit-testing here and the menu drawing.
struct MenuLayout {
  float x, y, w, h;
};
extern const MenuLayout L_TITLE, L_SETUP, L_OPTIONS, L_PAUSE, L_RESULTS;

enum { MENU_MAX_ROWS = 6 };
extern const char* const g_titleRows[3];    // "RACE", "OPTIONS", "QUIT"
extern const char* const g_pauseRows[3];    // "RESUME", "RESTART", "QUIT TO MENU"
extern const char* const g_resultsRows[3];  // "RETRY", "NEXT TRACK", "MENU"

enum { MENU_NONE = 0, MENU_CONFIRM = 1, MENU_DEC = 2, MENU_INC = 3, MENU_BACK = 4 };

int menu_input(MenuItem* items, int count, float x, float y, float w, float h, int* outSel);
// Row under the low-resolution point (px, py) of a layout, -1 for none.
int menu_hit(int count, float x, float y, float w, float h, float px, float py);
void build_setup(MenuItem* items);    // 6 rows
void build_options(MenuItem* items);  // 5 rows
void build_plain(MenuItem* items, const char* const* labels, int count);

void game_init();
void game_tick(float dt);

// ---- race control ------------------------------------------------------------------------------
struct Particle {
  Vec3 position;
  Vec3 velocity;
  float life;  // dead at 0 or less
  float maxLife;
  float size;
  uint32_t colour;  // 0xRRGGBB in the low 24 bits
};

enum { PARTICLE_COUNT = 160 };

extern float g_raceTime;
extern float g_finishTimer;  // time since the player finished
extern float g_wrongWay;     // time the player has been going backwards
extern int g_loadedTrack;    // -1 = none
extern int g_attract;        // 1 = all four cars computer-driven behind the menus
extern Particle g_parts[PARTICLE_COUNT];
extern int g_partNext;
extern uint32_t g_raceRng;  // race control's generator, 777 at start

// Camera values the race resets and the attract race advances.
extern int g_camInit;     // 0 = the camera snaps on the next frame
extern float g_camTimer;  // attract orbit clock
extern int g_camCar;      // car followed by the attract camera

void setup_race(int track, int attract);
void sim_cars(int running, float dt);
void attract_tick(float dt);
void race_step(float dt);   // the race state's step
void game_sound();          // the end-of-step sound logic
void game_sound_reset();    // back to the state of a fresh run (tests)
