// Sound output: the audio thread, the wave-output device and the requests
// the game posts to the synthesiser. Every function returns at once; without
// a sound device they all do nothing.
#pragma once

#include <stdint.h>

int audio_init();      // 1 = running (or already was), 0 = sound off
void audio_shutdown();  // stops the thread and closes the device; harmless when not running

void audio_music(int song);  // 0..4; -1 (or any other index) fades to silence
void audio_music_volume(float v);
void audio_sfx_volume(float v);
void audio_sfx(int id);
void audio_sfx_vol(int id, float v);
void audio_engine(float rpm, float load);  // rpm < 0 switches the engine off; works without audio

// Any pointer may be null: buffers rendered, underruns, mean render time per
// buffer in ms, and the buffer length in ms.
void audio_stats(uint32_t* buffers, uint32_t* underruns, double* avgMs, double* bufferMs);
