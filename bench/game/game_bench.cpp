// Simulation cost: one step of four computer-driven cars, and a whole
// 3-lap race, on each circuit.
#include <benchmark/benchmark.h>

#include "game/game_internal.h"
#include "rt/sys.h"
#include "track/track.h"

// No window here: nobody presses anything.
InputState g_in;
int key_down(int) { return 0; }
int key_pressed(int) { return 0; }

static const float kDt = 1.0f / 60.0f;

static void demo_race(int track) {
  g_opt.demo = 1, g_opt.race = track;
  g_set.laps = 3;
  game_init();
}

static void BM_SimStep(benchmark::State& state) {
  sys_fpu_init();
  demo_race((int)state.range(0));
  for (int i = 0; i < 600; i++) game_tick(kDt);  // the field under way
  for (auto _ : state) {
    g_raceTime += kDt;
    sim_cars(1, kDt);
    if (g_cars[0].finished || g_cars[1].finished) setup_race((int)state.range(0), 0);
  }
}
BENCHMARK(BM_SimStep)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

static void BM_WholeRace(benchmark::State& state) {
  sys_fpu_init();
  int steps = 0;
  for (auto _ : state) {
    demo_race((int)state.range(0));
    int done = 0;
    for (; done < 4 && steps < 1 << 30; steps++) {
      game_tick(kDt);
      done = g_cars[0].finished + g_cars[1].finished + g_cars[2].finished + g_cars[3].finished;
    }
  }
  state.counters["steps"] = benchmark::Counter(steps, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_WholeRace)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
