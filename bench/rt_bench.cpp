// Runtime hot spots: the formatter (the log's statistics line), number
// parsing (track and settings files) and the maths the simulation calls.
#include <benchmark/benchmark.h>

#include "rt/rt.h"
#include "rt/sys.h"

static void BM_FormatStatsLine(benchmark::State& state) {
  char buf[512];
  for (auto _ : state) {
    int n = fmt(buf, sizeof buf,
                "fps %.1f  sim %.2f ms  render %.2f ms  present %.2f ms  d3d %d/frame  hits w%d p%d c%d k%d", 59.9,
                0.31, 1.72, 0.44, 87, 1, 2, 3, 4);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_FormatStatsLine);

static void BM_ParseFloat(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(str_to_float("  -1234.5678"));
}
BENCHMARK(BM_ParseFloat);

static void BM_SinCos(benchmark::State& state) {
  float x = 0.1f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(f_sin(x) + f_cos(x));
    x += 0.001f;
  }
}
BENCHMARK(BM_SinCos);

static void BM_Exp(benchmark::State& state) {
  float x = -5.0f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(f_exp(x));
    x = x > 5.0f ? -5.0f : x + 0.01f;
  }
}
BENCHMARK(BM_Exp);

static void BM_Rng(benchmark::State& state) {
  uint32_t s = 777;
  for (auto _ : state) benchmark::DoNotOptimize(rng_float(&s));
}
BENCHMARK(BM_Rng);

int main(int argc, char** argv) {
  sys_fpu_init();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
