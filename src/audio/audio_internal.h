// Inside the sound output: the request ring between the game thread and the
// audio thread, and the audio record, shared with the tests.
#pragma once

#include <stdint.h>

#include "audio/waveout.h"
#include "rt/sys.h"

struct Synth;

enum { AU_BUFFERS = 12, AU_FRAMES = 512, AU_RATE = 22050, AU_RING = 64 };

enum AuCmdType { AU_MUSIC = 0, AU_MUSIC_VOLUME = 1, AU_SFX_VOLUME = 2, AU_SFX = 3 };

struct AuCmd {
  int32_t type;
  int32_t arg;   // song or effect
  float value;   // volume or volume factor
};

// Single producer (game thread), single consumer (audio thread). Each side
// publishes its count with an atomic exchange only after its slot work is
// done, so neither ever sees the other's index ahead of the slot contents.
struct AuRing {
  AuCmd cmd[AU_RING];
  volatile int32_t cmd_write;  // requests posted (game thread writes)
  volatile int32_t cmd_read;   // requests applied (audio thread writes)
};

int au_ring_post(AuRing* r, int32_t type, int32_t arg, float value);  // 0 = full, dropped
typedef void (*AuApplyFn)(void* ctx, const AuCmd* c);
int au_ring_drain(AuRing* r, AuApplyFn apply, void* ctx);  // requests applied

// The audio record.
struct Audio {
  SysLib winmm;
  WaveOutOpenFn wave_open;
  WaveOutHeaderFn wave_prepare, wave_unprepare, wave_write;
  WaveOutDeviceFn wave_reset, wave_close;
  HWAVEOUT device;
  SysEvent event;
  SysThread thread;
  volatile int32_t quit;
  int32_t ready;
  WAVEHDR hdr[AU_BUFFERS];
  int16_t* pcm;
  Synth* syn;
  int32_t next;
  AuRing ring;
  volatile uint32_t eng_rpm, eng_load;  // float bit patterns, written by the game thread
  volatile uint32_t buffers;
  volatile uint32_t underruns;
  double synth_time;
  double synth_max;
  double qpf;
};

extern Audio g_audio;

void au_fill(int i);
int64_t thread_cpu_100ns();
