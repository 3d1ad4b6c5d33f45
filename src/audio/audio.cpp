// Sound output: a high-priority thread keeps 12 buffers of 512 stereo frames
// queued on the wave-output device, rendering each one with the synthesiser
// as soon as the device hands it back. The game thread talks to it only
// through the request ring and the two engine values.
#include "audio/audio.h"

#include "audio/audio_internal.h"
#include "audio/synth.h"
#include "rt/rt.h"
#include "rt/sys.h"

Audio g_audio;

static const double kBufferMs = 23.219954648526077;  // 512 frames at 22050 Hz

static float load_float(const volatile uint32_t* p) {
  return rt_bit_cast<float>(__atomic_load_n(p, __ATOMIC_RELAXED));
}

static void store_float(volatile uint32_t* p, float f) {
  __atomic_store_n(p, rt_bit_cast<uint32_t>(f), __ATOMIC_RELAXED);
}

static void apply_to_synth(void* ctx, const AuCmd* c) {
  Synth* s = (Synth*)ctx;
  switch (c->type) {
    case AU_MUSIC: syn_music(s, c->arg, 1); break;
    case AU_MUSIC_VOLUME: syn_music_volume(s, c->value); break;
    case AU_SFX_VOLUME: syn_sfx_volume(s, c->value); break;
    case AU_SFX: syn_sfx(s, c->arg, c->value); break;
    default: break;
  }
}

// ---- the audio thread ------------------------------------------------------------------------
int64_t thread_cpu_100ns() { return sys_thread_cpu_100ns(); }

static uint32_t header_done(const WAVEHDR* h) {
  return __atomic_load_n(&h->dwFlags, __ATOMIC_ACQUIRE) & WHDR_DONE;
}

void au_fill(int i) {
  int64_t t0 = sys_counter();
  au_ring_drain(&g_audio.ring, apply_to_synth, g_audio.syn);
  syn_engine(g_audio.syn, load_float(&g_audio.eng_rpm), load_float(&g_audio.eng_load));
  syn_render(g_audio.syn, g_audio.pcm + (size_t)i * AU_FRAMES * 2, AU_FRAMES);
  double d = (double)(sys_counter() - t0) / g_audio.qpf;
  g_audio.synth_time += d;
  if (d > g_audio.synth_max) g_audio.synth_max = d;
  __atomic_store_n(&g_audio.buffers, g_audio.buffers + 1, __ATOMIC_RELAXED);
}

static void queue(int i) { g_audio.wave_write(g_audio.device, &g_audio.hdr[i], sizeof(WAVEHDR)); }

static uint32_t au_thread(void*) {
  // Statistics period: buffers, underruns, render time, CPU time and clock at its start.
  uint32_t periodBuffers = g_audio.buffers, periodUnderruns = g_audio.underruns;
  double periodSynth = g_audio.synth_time;
  int64_t periodCpu = thread_cpu_100ns();
  int64_t periodClock = sys_counter();

  for (int i = 0; i < AU_BUFFERS; i++) {
    au_fill(i);
    queue(i);
  }
  g_audio.next = 0;

  while (!sys_load(&g_audio.quit)) {
    sys_event_wait(g_audio.event, 100);
    if (sys_load(&g_audio.quit)) break;
    int refilled = 0;
    while (header_done(&g_audio.hdr[g_audio.next])) {
      au_fill(g_audio.next);
      queue(g_audio.next);
      g_audio.next = (g_audio.next + 1) % AU_BUFFERS;
      if (++refilled == AU_BUFFERS) {  // the device had played everything
        __atomic_store_n(&g_audio.underruns, g_audio.underruns + 1, __ATOMIC_RELAXED);
        break;
      }
    }
    uint32_t n = g_audio.buffers - periodBuffers;
    if (n > 429) {
      int64_t cpu = thread_cpu_100ns();
      int64_t now = sys_counter();
      double wall = (double)(now - periodClock) / g_audio.qpf;
      double cpuPct = (cpu < 0 || periodCpu < 0 || wall <= 0) ? -1.0 : (double)(cpu - periodCpu) * 0.00001 / wall;
      double avgMs = 1000.0 * (g_audio.synth_time - periodSynth) / n;
      log_printf(
          "audio: %u buffers, %u underruns (total %u), synth %.3f ms per %.1f ms buffer (%.2f%%), max %.2f ms, "
          "audio thread cpu %.2f%% of a core",
          n, g_audio.underruns - periodUnderruns, g_audio.underruns, avgMs, kBufferMs, 100.0 * avgMs / kBufferMs,
          1000.0 * g_audio.synth_max, cpuPct);
      g_audio.synth_max = 0;
      periodBuffers = g_audio.buffers;
      periodUnderruns = g_audio.underruns;
      periodSynth = g_audio.synth_time;
      periodCpu = cpu;
      periodClock = now;
    }
  }
  return 0;
}

// ---- start and stop ------------------------------------------------------------------------------
static void release_device() {
  g_audio.wave_reset(g_audio.device);
  for (int i = 0; i < AU_BUFFERS; i++) g_audio.wave_unprepare(g_audio.device, &g_audio.hdr[i], sizeof(WAVEHDR));
  g_audio.wave_close(g_audio.device);
  g_audio.device = nullptr;
}

int audio_init() {
  if (g_audio.ready) return 1;
  g_audio.qpf = (double)sys_counter_freq();

  g_audio.winmm = sys_lib_load("winmm.dll");
  if (!g_audio.winmm) {
    log_printf("audio: winmm.dll not available, sound off");
    return 0;
  }
  g_audio.wave_open = (WaveOutOpenFn)sys_lib_proc(g_audio.winmm, "waveOutOpen");
  g_audio.wave_prepare = (WaveOutHeaderFn)sys_lib_proc(g_audio.winmm, "waveOutPrepareHeader");
  g_audio.wave_unprepare = (WaveOutHeaderFn)sys_lib_proc(g_audio.winmm, "waveOutUnprepareHeader");
  g_audio.wave_write = (WaveOutHeaderFn)sys_lib_proc(g_audio.winmm, "waveOutWrite");
  g_audio.wave_reset = (WaveOutDeviceFn)sys_lib_proc(g_audio.winmm, "waveOutReset");
  g_audio.wave_close = (WaveOutDeviceFn)sys_lib_proc(g_audio.winmm, "waveOutClose");
  if (!g_audio.wave_open || !g_audio.wave_prepare || !g_audio.wave_unprepare || !g_audio.wave_write || !g_audio.wave_reset || !g_audio.wave_close) {
    log_printf("audio: waveOut entry points missing, sound off");
    return 0;
  }

  g_audio.event = sys_event_create();
  if (!g_audio.event) {
    log_printf("audio: no event, sound off");
    return 0;
  }
  WAVEFORMATEX fmt;
  memset(&fmt, 0, sizeof fmt);
  fmt.wFormatTag = WAVE_FORMAT_PCM;
  fmt.nChannels = 2;
  fmt.nSamplesPerSec = AU_RATE;
  fmt.nAvgBytesPerSec = AU_RATE * 4;
  fmt.nBlockAlign = 4;
  fmt.wBitsPerSample = 16;
  MMRESULT r = g_audio.wave_open(&g_audio.device, WAVE_MAPPER, &fmt, (DWORD_PTR)g_audio.event, 0, CALLBACK_EVENT);
  if (r != MMSYSERR_NOERROR) {
    log_printf("audio: waveOutOpen failed (%u), sound off", (uint32_t)r);
    sys_event_close(g_audio.event);
    g_audio.event = nullptr;
    g_audio.device = nullptr;
    return 0;
  }

  // Allocated once for the whole run; a second start after a stop reuses them.
  if (!g_audio.syn) g_audio.syn = (Synth*)mem_alloc(sizeof(Synth));
  if (!g_audio.pcm) g_audio.pcm = (int16_t*)mem_alloc(AU_BUFFERS * AU_FRAMES * 4);
  if (!g_audio.syn || !g_audio.pcm) {
    g_audio.wave_close(g_audio.device);
    g_audio.device = nullptr;
    sys_event_close(g_audio.event);
    g_audio.event = nullptr;
    return 0;
  }
  syn_init(g_audio.syn, AU_RATE);
  for (int i = 0; i < AU_BUFFERS; i++) {
    memset(&g_audio.hdr[i], 0, sizeof(WAVEHDR));
    g_audio.hdr[i].lpData = (char*)(g_audio.pcm + (size_t)i * AU_FRAMES * 2);
    g_audio.hdr[i].dwBufferLength = AU_FRAMES * 4;
    g_audio.wave_prepare(g_audio.device, &g_audio.hdr[i], sizeof(WAVEHDR));
  }

  sys_xchg(&g_audio.quit, 0);
  g_audio.ready = 1;
  g_audio.thread = sys_thread_start(au_thread, nullptr, 64 * 1024);
  if (!g_audio.thread) {
    g_audio.ready = 0;
    release_device();
    sys_event_close(g_audio.event);
    g_audio.event = nullptr;
    log_printf("audio: no thread, sound off");
    return 0;
  }
  sys_thread_priority_max(g_audio.thread);
  log_printf("audio: waveOut %d Hz stereo 16-bit, %d x %d frames (%.0f ms queued)", AU_RATE, AU_BUFFERS, AU_FRAMES,
             278.63945578231295);
  return 1;
}

void audio_shutdown() {
  if (!g_audio.ready) return;
  g_audio.ready = 0;
  sys_xchg(&g_audio.quit, 1);
  sys_event_set(g_audio.event);
  sys_thread_wait(g_audio.thread, 2000);
  sys_thread_close(g_audio.thread);
  g_audio.thread = nullptr;
  release_device();
  sys_event_close(g_audio.event);
  g_audio.event = nullptr;
  log_printf("audio: stopped after %u buffers, %u underruns", g_audio.buffers, g_audio.underruns);
}

// ---- game-facing requests ------------------------------------------------------------------------
static void post(int32_t type, int32_t arg, float value) {
  if (g_audio.ready) au_ring_post(&g_audio.ring, type, arg, value);
}

void audio_music(int song) { post(AU_MUSIC, song, 0.0f); }
void audio_music_volume(float v) { post(AU_MUSIC_VOLUME, 0, v); }
void audio_sfx_volume(float v) { post(AU_SFX_VOLUME, 0, v); }
void audio_sfx(int id) { post(AU_SFX, id, 1.0f); }
void audio_sfx_vol(int id, float v) { post(AU_SFX, id, v); }

void audio_engine(float rpm, float load) {
  store_float(&g_audio.eng_rpm, rpm);
  store_float(&g_audio.eng_load, load);
}

void audio_stats(uint32_t* buffers, uint32_t* underruns, double* avgMs, double* bufferMs) {
  uint32_t b = __atomic_load_n(&g_audio.buffers, __ATOMIC_RELAXED);
  if (buffers) *buffers = b;
  if (underruns) *underruns = __atomic_load_n(&g_audio.underruns, __ATOMIC_RELAXED);
  if (avgMs) *avgMs = b ? 1000.0 * g_audio.synth_time / b : 0.0;
  if (bufferMs) *bufferMs = kBufferMs;
}
