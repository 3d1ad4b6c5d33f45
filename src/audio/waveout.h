// The slice of the Windows wave-output interface the audio thread uses. On
// Windows these are winmm's own declarations; on Linux the same names are
// declared here and served by the built-in "winmm.dll" on SDL2 audio.
#pragma once

#include <stdint.h>

#if SK_WIN32
#include <windows.h>
#include <mmsystem.h>
#else

typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef uint16_t WORD;
typedef uintptr_t DWORD_PTR;
typedef UINT MMRESULT;
typedef struct HWAVEOUT__* HWAVEOUT;
typedef char* LPSTR;

struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};

struct WAVEHDR {
  LPSTR lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  DWORD dwLoops;
  WAVEHDR* lpNext;
  DWORD_PTR reserved;
};

typedef WAVEHDR* LPWAVEHDR;

enum : UINT {
  MMSYSERR_NOERROR = 0,
  MMSYSERR_ERROR = 1,
  MMSYSERR_BADDEVICEID = 2,
  MMSYSERR_INVALHANDLE = 5,
  MMSYSERR_NODRIVER = 6,
  MMSYSERR_NOMEM = 7,
  MMSYSERR_INVALPARAM = 11,
  WAVERR_BADFORMAT = 32,
  WAVERR_STILLPLAYING = 33,
  WAVERR_UNPREPARED = 34,
};

enum : DWORD {
  WHDR_DONE = 0x01,
  WHDR_PREPARED = 0x02,
  WHDR_INQUEUE = 0x10,
  CALLBACK_EVENT = 0x00050000,
  WAVE_FORMAT_PCM = 1,
};

#define WAVE_MAPPER ((UINT)-1)
#define WINAPI

#endif

typedef MMRESULT(WINAPI* WaveOutOpenFn)(HWAVEOUT*, UINT, const WAVEFORMATEX*, DWORD_PTR, DWORD_PTR, DWORD);
typedef MMRESULT(WINAPI* WaveOutHeaderFn)(HWAVEOUT, WAVEHDR*, UINT);
typedef MMRESULT(WINAPI* WaveOutDeviceFn)(HWAVEOUT);

#if SK_SDL
// The built-in "winmm.dll": looks up the six waveOut functions by name.
void* waveout_sdl_proc(const char* name);
#endif
