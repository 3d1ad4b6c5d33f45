// game_render of a race frame on each circuit at 320 x 240: through the
// software device (render and magnify), and through the graphics layer
// alone with the device's drawing switched off. Reports device calls, draws
// and triangles per frame.
#include <benchmark/benchmark.h>

#include "assets/assets.h"
#include "game/game.h"
#include "gfx/gfx_internal.h"
#include "soft/soft.h"
#include "scene/scene.h"
#include "track/track.h"

namespace {

// Drawing methods that only count, put into a copy of the device's method
// table, so that everything but the rasterising still runs.
HRESULT counted(UINT triangles) {
  g_softHooks.draws++, g_softHooks.triangles += (int)triangles;
  return 0;
}
HRESULT nop_clear(IDirect3DDevice9*, DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) { return 0; }
HRESULT nop_draw(IDirect3DDevice9*, D3DPRIMITIVETYPE, UINT, UINT n) { return counted(n); }
HRESULT nop_draw_indexed(IDirect3DDevice9*, D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT n) { return counted(n); }
HRESULT nop_draw_up(IDirect3DDevice9*, D3DPRIMITIVETYPE, UINT n, const void*, UINT) { return counted(n); }
HRESULT nop_draw_indexed_up(IDirect3DDevice9*, D3DPRIMITIVETYPE, UINT, UINT, UINT n, const void*, D3DFORMAT,
                            const void*, UINT) {
  return counted(n);
}

void* g_table[SC_COUNT];
void** g_realTable;

void drawing_off() {
  g_realTable = *(void***)g_dev;
  for (int i = 0; i < SC_COUNT; i++) g_table[i] = g_realTable[i];
  g_table[SC_Clear] = (void*)nop_clear;
  g_table[SC_DrawPrimitive] = (void*)nop_draw;
  g_table[SC_DrawIndexedPrimitive] = (void*)nop_draw_indexed;
  g_table[SC_DrawPrimitiveUP] = (void*)nop_draw_up;
  g_table[SC_DrawIndexedPrimitiveUP] = (void*)nop_draw_indexed_up;
  *(void***)g_dev = g_table;
}

void drawing_on() { *(void***)g_dev = g_realTable; }

// A race on circuit t, 8 s in, the computer driving every car.
bool start_race(int t) {
  log_open("bench-scene.log");
  sys_lib_provide("d3d9.dll", soft_d3d9_proc);
  if (!gfx_init(nullptr, 0)) return false;
  assets_init();
  g_set.laps = 3, g_set.hud = 1;
  setup_race(t, 0);
  g_cars[0].ai = 1, g_cars[0].skill = 0.97f;
  g_state = ST_RACE;
  for (int i = 0; i < 480; i++) {
    g_raceTime += 1.0f / 60.0f;
    sim_cars(1, 1.0f / 60.0f);
  }
  return true;
}

void stop_race() {
  track_free();
  g_loadedTrack = -1;
  gfx_shutdown();
}

void run(benchmark::State& state, bool rasterise) {
  if (!start_race((int)state.range(0))) {
    state.SkipWithError("no device");
    return;
  }
  game_render();
  gfx_end_low_and_present();  // textures made, caches warm
  if (!rasterise) drawing_off();
  soft_hooks_reset_counters();
  int calls = g_d3dCalls, frames = 0;
  for (auto _ : state) {
    game_render();
    gfx_end_low_and_present();
    frames++;
  }
  if (!rasterise) drawing_on();
  double n = frames ? frames : 1;
  state.counters["d3d_calls"] = (g_d3dCalls - calls) / n;
  state.counters["draws"] = g_softHooks.draws / n;
  state.counters["triangles"] = g_softHooks.triangles / n;
  stop_race();
}

void BM_RaceFrame(benchmark::State& state) { run(state, true); }
void BM_RaceFrameLayerOnly(benchmark::State& state) { run(state, false); }
BENCHMARK(BM_RaceFrame)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RaceFrameLayerOnly)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  sys_fpu_init();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
