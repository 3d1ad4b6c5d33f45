// Circuit loading on the software device, textures and models made afresh
// each time (the first load of a run), and the centre-line queries a race
// makes: track_locate with the previous frame's hint, and dist_to_track.
#include <benchmark/benchmark.h>

#include "assets/assets_internal.h"
#include "soft/soft.h"
#include "rt/rt.h"
#include "rt/sys.h"
#include "track/track.h"

namespace {

bool start() {
  static bool ready;
  if (!ready) {
    log_open("bench-track.log");
    sys_lib_provide("d3d9.dll", soft_d3d9_proc);
    if (!gfx_init(nullptr, 0)) return false;
    assets_init();
    ready = true;
  }
  return true;
}

void BM_TrackLoad(benchmark::State& state) {
  if (!start()) return state.SkipWithError("no device");
  int index = (int)state.range(0);
  for (auto _ : state) {
    state.PauseTiming();
    track_free();
    assets_forget_all();  // the textures and models are part of the cost
    assets_init();
    state.ResumeTiming();
    if (!track_load(index)) state.SkipWithError("not loaded");
  }
  state.SetLabel(g_track.name);
  state.counters["samples"] = g_track.sampleCount;
  state.counters["draw_calls"] = batch_draw_calls(&g_track.batches);
}
BENCHMARK(BM_TrackLoad)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// Points a car would pass: along the circuit, up to 8 m either side.
struct Path {
  float x[4096], z[4096];
  int n = 0;
  void make() {
    uint32_t rng = 5;
    n = 0;
    for (float d = 0; d < g_track.length && n < 4096; d += 0.6f, n++)
      track_point_at(d, rng_range(&rng, -8, 8), &x[n], &z[n], nullptr, nullptr);
  }
};

void BM_LocateWithHint(benchmark::State& state) {
  if (!start() || !track_load(2)) return state.SkipWithError("not loaded");
  static Path p;
  p.make();
  int hint = track_locate(p.x[0], p.z[0], -1, nullptr, nullptr), i = 0;
  float side, dist;
  for (auto _ : state) {
    hint = track_locate(p.x[i], p.z[i], hint, &side, &dist);
    benchmark::DoNotOptimize(dist);
    if (++i == p.n) i = 0;
  }
}
BENCHMARK(BM_LocateWithHint);

void BM_DistToTrack(benchmark::State& state) {
  if (!start() || !track_load(2)) return state.SkipWithError("not loaded");
  static Path p;
  p.make();
  int i = 0;
  float hw;
  for (auto _ : state) {
    benchmark::DoNotOptimize(dist_to_track(p.x[i], p.z[i], &hw));
    if (++i == p.n) i = 0;
  }
  state.counters["samples"] = g_track.sampleCount;
}
BENCHMARK(BM_DistToTrack);

}  // namespace

int main(int argc, char** argv) {
  sys_fpu_init();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  track_free();
  gfx_shutdown();
  benchmark::Shutdown();
  return 0;
}
