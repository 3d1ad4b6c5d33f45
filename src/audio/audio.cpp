// Sound output: a high-priority thread keeps 12 buffers of 512 stereo frames
// queued on the wave-output device, rendering each one with the synthesiser
// as soon as the device hands it back. The game thread talks to it only
// through the request ring and the two engine values.
#include "audio/audio.h"

#include "audio/audio_internal.h"
#include "audio/synth.h"
#include "rt/rt.h"
#include "rt/sys.h"

Audio A;

static const double kBufferMs = 23.219954648526077;  // 512 frames at 22050 Hz

static float load_float(const volatile uint32_t* p) {
  uint32_t bits = __atomic_load_n(p, __ATOMIC_RELAXED);
  float f;
  memcpy(&f, &bits, sizeof f);
  return f;
}

static void store_float(volatile uint32_t* p, float f) {
  uint32_t bits;
  memcpy(&bits, &f, sizeof bits);
  __atomic_store_n(p, bits, __ATOMIC_RELAXED);
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
  au_ring_drain(&A.ring, apply_to_synth, A.syn);
  syn_engine(A.syn, load_float(&A.eng_rpm), load_float(&A.eng_load));
  syn_render(A.syn, A.pcm + (size_t)i * AU_FRAMES * 2, AU_FRAMES);
  double d = (double)(sys_counter() - t0) / A.qpf;
  A.synth_time += d;
  if (d > A.synth_max) A.synth_max = d;
  __atomic_store_n(&A.buffers, A.buffers + 1, __ATOMIC_RELAXED);
}

static void queue(int i) { A.wave_write(A.device, &A.hdr[i], sizeof(WAVEHDR)); }

static uint32_t au_thread(void*) {
  // Statistics period: buffers, underruns, render time, CPU time and clock at its start.
  uint32_t periodBuffers = A.buffers, periodUnderruns = A.underruns;
  double periodSynth = A.synth_time;
  int64_t periodCpu = thread_cpu_100ns();
  int64_t periodClock = sys_counter();

  for (int i = 0; i < AU_BUFFERS; i++) {
    au_fill(i);
    queue(i);
  }
  A.next = 0;

  while (!sys_load(&A.quit)) {
    sys_event_wait(A.event, 100);
    if (sys_load(&A.quit)) break;
    int refilled = 0;
    while (header_done(&A.hdr[A.next])) {
      au_fill(A.next);
      queue(A.next);
      A.next = (A.next + 1) % AU_BUFFERS;
      if (++refilled == AU_BUFFERS) {  // the device had played everything
        __atomic_store_n(&A.underruns, A.underruns + 1, __ATOMIC_RELAXED);
        break;
      }
    }
    uint32_t n = A.buffers - periodBuffers;
    if (n > 429) {
      int64_t cpu = thread_cpu_100ns();
      int64_t now = sys_counter();
      double wall = (double)(now - periodClock) / A.qpf;
      double cpuPct = (cpu < 0 || periodCpu < 0 || wall <= 0) ? -1.0 : (double)(cpu - periodCpu) * 0.00001 / wall;
      double avgMs = 1000.0 * (A.synth_time - periodSynth) / n;
      log_printf(
          "audio: %u buffers, %u underruns (total %u), synth %.3f ms per %.1f ms buffer (%.2f%%), max %.2f ms, "
          "audio thread cpu %.2f%% of a core",
          n, A.underruns - periodUnderruns, A.underruns, avgMs, kBufferMs, 100.0 * avgMs / kBufferMs,
          1000.0 * A.synth_max, cpuPct);
      A.synth_max = 0;
      periodBuffers = A.buffers;
      periodUnderruns = A.underruns;
      periodSynth = A.synth_time;
      periodCpu = cpu;
      periodClock = now;
    }
  }
  return 0;
}

// ---- start and stop ------------------------------------------------------------------------------
static void release_device() {
  A.wave_reset(A.device);
  for (int i = 0; i < AU_BUFFERS; i++) A.wave_unprepare(A.device, &A.hdr[i], sizeof(WAVEHDR));
  A.wave_close(A.device);
  A.device = nullptr;
}

int audio_init() {
  if (A.ready) return 1;
  A.qpf = (double)sys_counter_freq();

  A.winmm = sys_lib_load("winmm.dll");
  if (!A.winmm) {
    log_printf("audio: winmm.dll not available, sound off");
    return 0;
  }
  A.wave_open = (WaveOutOpenFn)sys_lib_proc(A.winmm, "waveOutOpen");
  A.wave_prepare = (WaveOutHeaderFn)sys_lib_proc(A.winmm, "waveOutPrepareHeader");
  A.wave_unprepare = (WaveOutHeaderFn)sys_lib_proc(A.winmm, "waveOutUnprepareHeader");
  A.wave_write = (WaveOutHeaderFn)sys_lib_proc(A.winmm, "waveOutWrite");
  A.wave_reset = (WaveOutDeviceFn)sys_lib_proc(A.winmm, "waveOutReset");
  A.wave_close = (WaveOutDeviceFn)sys_lib_proc(A.winmm, "waveOutClose");
  if (!A.wave_open || !A.wave_prepare || !A.wave_unprepare || !A.wave_write || !A.wave_reset || !A.wave_close) {
    log_printf("audio: waveOut entry points missing, sound off");
    return 0;
  }

  A.event = sys_event_create();
  if (!A.event) {
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
  MMRESULT r = A.wave_open(&A.device, WAVE_MAPPER, &fmt, (DWORD_PTR)A.event, 0, CALLBACK_EVENT);
  if (r != MMSYSERR_NOERROR) {
    log_printf("audio: waveOutOpen failed (%u), sound off", (uint32_t)r);
    sys_event_close(A.event);
    A.event = nullptr;
    A.device = nullptr;
    return 0;
  }

  // Allocated once for the whole run; a second start after a stop reuses them.
  if (!A.syn) A.syn = (Synth*)mem_alloc(sizeof(Synth));
  if (!A.pcm) A.pcm = (int16_t*)mem_alloc(AU_BUFFERS * AU_FRAMES * 4);
  if (!A.syn || !A.pcm) {
    A.wave_close(A.device);
    A.device = nullptr;
    sys_event_close(A.event);
    A.event = nullptr;
    return 0;
  }
  syn_init(A.syn, AU_RATE);
  for (int i = 0; i < AU_BUFFERS; i++) {
    memset(&A.hdr[i], 0, sizeof(WAVEHDR));
    A.hdr[i].lpData = (char*)(A.pcm + (size_t)i * AU_FRAMES * 2);
    A.hdr[i].dwBufferLength = AU_FRAMES * 4;
    A.wave_prepare(A.device, &A.hdr[i], sizeof(WAVEHDR));
  }

  sys_xchg(&A.quit, 0);
  A.ready = 1;
  A.thread = sys_thread_start(au_thread, nullptr, 64 * 1024);
  if (!A.thread) {
    A.ready = 0;
    release_device();
    sys_event_close(A.event);
    A.event = nullptr;
    log_printf("audio: no thread, sound off");
    return 0;
  }
  sys_thread_priority_max(A.thread);
  log_printf("audio: waveOut %d Hz stereo 16-bit, %d x %d frames (%.0f ms queued)", AU_RATE, AU_BUFFERS, AU_FRAMES,
             278.63945578231295);
  return 1;
}

void audio_shutdown() {
  if (!A.ready) return;
  A.ready = 0;
  sys_xchg(&A.quit, 1);
  sys_event_set(A.event);
  sys_thread_wait(A.thread, 2000);
  sys_thread_close(A.thread);
  A.thread = nullptr;
  release_device();
  sys_event_close(A.event);
  A.event = nullptr;
  log_printf("audio: stopped after %u buffers, %u underruns", A.buffers, A.underruns);
}

// ---- game-facing requests ------------------------------------------------------------------------
static void post(int32_t type, int32_t arg, float value) {
  if (A.ready) au_ring_post(&A.ring, type, arg, value);
}

void audio_music(int song) { post(AU_MUSIC, song, 0.0f); }
void audio_music_volume(float v) { post(AU_MUSIC_VOLUME, 0, v); }
void audio_sfx_volume(float v) { post(AU_SFX_VOLUME, 0, v); }
void audio_sfx(int id) { post(AU_SFX, id, 1.0f); }
void audio_sfx_vol(int id, float v) { post(AU_SFX, id, v); }

void audio_engine(float rpm, float load) {
  store_float(&A.eng_rpm, rpm);
  store_float(&A.eng_load, load);
}

void audio_stats(uint32_t* buffers, uint32_t* underruns, double* avgMs, double* bufferMs) {
  uint32_t b = __atomic_load_n(&A.buffers, __ATOMIC_RELAXED);
  if (buffers) *buffers = b;
  if (underruns) *underruns = __atomic_load_n(&A.underruns, __ATOMIC_RELAXED);
  if (avgMs) *avgMs = b ? 1000.0 * A.synth_time / b : 0.0;
  if (bufferMs) *bufferMs = kBufferMs;
}
