// Synthesiser cost per 512-frame buffer (23.2 ms of sound at 22050 Hz), the
// unit the audio thread renders: each song with the engine running and an
// effect every second, as in a race. Also the cost of compiling each song,
// which happens on the audio thread when a song starts.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include "audio/synth.h"
#include "rt/rt.h"
#include "rt/sys.h"

static void BM_SynthBuffer(benchmark::State& state) {
  int song = (int)state.range(0);
  Synth* s = (Synth*)calloc(1, sizeof(Synth));
  syn_init(s, 22050);
  syn_music(s, song, 1);
  int16_t buf[512 * 2];
  long n = 0;
  for (auto _ : state) {
    if (!s->playing) syn_music(s, song, 1);  // the results song plays once: start it again
    if (n % 43 == 0) syn_sfx(s, (int)(n / 43 % 10), 1.0f);
    float t = (float)(n % 400) / 400.0f;  // revving up and down every 9 s
    syn_engine(s, t < 0.5f ? 2 * t : 2 - 2 * t, 0.8f);
    syn_render(s, buf, 512);
    benchmark::DoNotOptimize(buf);
    n++;
  }
  state.SetLabel(g_syn_songs[song].name);
  free(s);
}
BENCHMARK(BM_SynthBuffer)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

static void BM_CompileSong(benchmark::State& state) {
  int song = (int)state.range(0);
  Synth* s = (Synth*)calloc(1, sizeof(Synth));
  syn_init(s, 22050);
  for (auto _ : state) benchmark::DoNotOptimize(compile_song(s, song));
  state.SetLabel(g_syn_songs[song].name);
  free(s);
}
BENCHMARK(BM_CompileSong)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  sys_fpu_init();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
