// The application shell: start-up, the window and its input, the frame loop
// and shutdown. Its state (options, quit flag) is in rt/shell.h.
#pragma once

#include <stdint.h>

#include "rt/shell.h"
#include "rt/sys.h"

enum { CMD_CAP = 1024, CMD_MAX_TOKENS = 32, RES_MAX = 8192 };

// Splits cmd in place into at most maxTokens tokens (quoting rules of the
// Windows command line as the game reads it); returns the count.
int cmd_split(char* cmd, char** tokens, int maxTokens);

// Copies the command line into the 1024-byte command buffer, splits it and
// fills g_opt: defaults, every option from token 1 on, then the implied
// window and the race clamp.
void options_parse(const char* commandLine);

// ---- frame loop ---------------------------------------------------------------------------
// Seconds of game steps since the program started (the title screen's
// screenshot clock: the attract race behind it restarts on its own).
extern double g_runTime;

#define STEP_SECONDS 0.016666668f  // one fixed game step
enum { MAX_STEPS_PER_PASS = 5 };

// Runs the fixed steps the bank pays for (each followed by input_end_frame),
// at most five, stopping early once g_quit is set; a pass that ran five
// empties the bank. Returns the steps run.
int loop_run_steps(double* bank);

// The frame limiter: with vsync off and a cap above 0, advances the schedule
// by one frame of fps and returns the milliseconds to sleep (0 when on time
// or late; a pass more than one frame late restarts the schedule at now).
uint32_t limiter_sleep_ms(double* schedule, double now, int fps, int vsync);

// 1 when a title-screen screenshot run has reached its time, counted from
// the program's start, and the shot is not yet taken.
int title_shot_due();

// Statistics kept over a 5-second period.
struct LoopStats {
  double start;  // period start
  int d3dStart;  // device calls at the period start
  int frames;
  double sim, render, present;  // summed seconds
};
// Adds one frame's phase times; writes the statistics line and starts a new
// period when more than 5 s have passed since the period start. 1 = logged.
int stats_frame(LoopStats* st, double now, double simEnd, double renderEnd, double presentEnd, int d3dCalls);

// Start-up, the game and shutdown; returns the process exit code.
int app_main();
