// The built-in "winmm.dll" of the Linux build: waveOut on SDL2 audio.
// Written headers are played in order; as each one is consumed its done flag
// is set and the device's event is signalled, as winmm does with
// CALLBACK_EVENT, so the audio thread runs unchanged on both platforms.
#include <SDL.h>

#include "audio/waveout.h"
#include "rt/rt.h"
#include "rt/sys.h"

namespace {

enum { kMaxQueued = 64 };

struct Device {
  SDL_AudioDeviceID id;
  SysEvent event;
  WAVEHDR* queue[kMaxQueued];  // written, not yet finished, in order
  int head, count;
  DWORD offset;  // bytes of queue[head] already played
};

void set_flags(WAVEHDR* h, DWORD set, DWORD clear) {
  DWORD f = __atomic_load_n(&h->dwFlags, __ATOMIC_ACQUIRE);
  __atomic_store_n(&h->dwFlags, (f | set) & ~clear, __ATOMIC_RELEASE);
}

// SDL's audio thread: copy out of the queued headers, silence when empty.
void SDLCALL pull(void* user, Uint8* stream, int len) {
  Device* d = (Device*)user;
  int done = 0;
  while (len > 0 && d->count > 0) {
    WAVEHDR* h = d->queue[d->head];
    DWORD left = h->dwBufferLength - d->offset;
    DWORD n = left < (DWORD)len ? left : (DWORD)len;
    SDL_memcpy(stream, h->lpData + d->offset, n);
    stream += n;
    len -= (int)n;
    d->offset += n;
    if (d->offset >= h->dwBufferLength) {
      set_flags(h, WHDR_DONE, WHDR_INQUEUE);
      d->head = (d->head + 1) % kMaxQueued;
      d->count--;
      d->offset = 0;
      done++;
    }
  }
  if (len > 0) SDL_memset(stream, 0, (size_t)len);
  if (done) sys_event_set(d->event);
}

MMRESULT WINAPI wo_open(HWAVEOUT* out, UINT deviceId, const WAVEFORMATEX* fmt, DWORD_PTR callback, DWORD_PTR instance,
                     DWORD flags) {
  (void)deviceId;
  (void)instance;
  if (!out || !fmt) return MMSYSERR_INVALPARAM;
  if (fmt->wFormatTag != WAVE_FORMAT_PCM || fmt->wBitsPerSample != 16 || fmt->nChannels < 1 ||
      fmt->nChannels > 2 || fmt->nSamplesPerSec == 0)
    return WAVERR_BADFORMAT;
  if ((flags & CALLBACK_EVENT) != CALLBACK_EVENT || !callback) return MMSYSERR_INVALPARAM;
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return MMSYSERR_NODRIVER;
  Device* d = (Device*)mem_alloc(sizeof(Device));
  if (!d) return MMSYSERR_NOMEM;
  d->event = (SysEvent)callback;
  SDL_AudioSpec want, have;
  SDL_zero(want);
  want.freq = (int)fmt->nSamplesPerSec;
  want.format = AUDIO_S16LSB;
  want.channels = (Uint8)fmt->nChannels;
  want.samples = 512;
  want.callback = pull;
  want.userdata = d;
  d->id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (d->id == 0) {
    mem_free(d);
    return MMSYSERR_BADDEVICEID;
  }
  SDL_PauseAudioDevice(d->id, 0);
  *out = (HWAVEOUT)d;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI wo_prepare(HWAVEOUT dev, WAVEHDR* h, UINT size) {
  if (!dev || !h || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  set_flags(h, WHDR_PREPARED, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI wo_unprepare(HWAVEOUT dev, WAVEHDR* h, UINT size) {
  if (!dev || !h || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  if (__atomic_load_n(&h->dwFlags, __ATOMIC_ACQUIRE) & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  set_flags(h, 0, WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI wo_write(HWAVEOUT dev, WAVEHDR* h, UINT size) {
  Device* d = (Device*)dev;
  if (!d || !h || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  if (!(__atomic_load_n(&h->dwFlags, __ATOMIC_ACQUIRE) & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (!h->lpData || h->dwBufferLength == 0) return MMSYSERR_INVALPARAM;
  SDL_LockAudioDevice(d->id);
  MMRESULT r = MMSYSERR_NOERROR;
  if (d->count == kMaxQueued) {
    r = MMSYSERR_NOMEM;
  } else {
    set_flags(h, WHDR_INQUEUE, WHDR_DONE);
    d->queue[(d->head + d->count) % kMaxQueued] = h;
    d->count++;
  }
  SDL_UnlockAudioDevice(d->id);
  return r;
}

// Stops playback and hands every queued header back as done.
MMRESULT WINAPI wo_reset(HWAVEOUT dev) {
  Device* d = (Device*)dev;
  if (!d) return MMSYSERR_INVALHANDLE;
  SDL_LockAudioDevice(d->id);
  while (d->count > 0) {
    set_flags(d->queue[d->head], WHDR_DONE, WHDR_INQUEUE);
    d->head = (d->head + 1) % kMaxQueued;
    d->count--;
  }
  d->offset = 0;
  SDL_UnlockAudioDevice(d->id);
  sys_event_set(d->event);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI wo_close(HWAVEOUT dev) {
  Device* d = (Device*)dev;
  if (!d) return MMSYSERR_INVALHANDLE;
  if (d->count > 0) return WAVERR_STILLPLAYING;
  SDL_CloseAudioDevice(d->id);
  mem_free(d);
  return MMSYSERR_NOERROR;
}

}  // namespace

void* waveout_sdl_proc(const char* name) {
  if (str_eq(name, "waveOutOpen")) return (void*)&wo_open;
  if (str_eq(name, "waveOutPrepareHeader")) return (void*)&wo_prepare;
  if (str_eq(name, "waveOutUnprepareHeader")) return (void*)&wo_unprepare;
  if (str_eq(name, "waveOutWrite")) return (void*)&wo_write;
  if (str_eq(name, "waveOutReset")) return (void*)&wo_reset;
  if (str_eq(name, "waveOutClose")) return (void*)&wo_close;
  return nullptr;
}
