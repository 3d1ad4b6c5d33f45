// Plays music, an effect and the engine through winmm for two seconds and
// logs what the audio thread reports: the Windows sound path end to end,
// run under wine64 by the Linux tests.
#include "audio/audio.h"
#include "rt/rt.h"
#include "rt/sys.h"

int main() {
  sys_fpu_init();
  time_now();
  log_open("audio_probe.log");
  if (!audio_init()) return 2;
  audio_music(1);
  audio_engine(0.4f, 0.6f);
  for (int i = 0; i < 4; i++) {
    audio_sfx(i);
    sys_sleep(500);
  }
  uint32_t buffers = 0, underruns = 0;
  double avg = 0, len = 0;
  audio_stats(&buffers, &underruns, &avg, &len);
  log_printf("probe: %u buffers, %u underruns, %.3f ms per %.1f ms buffer", buffers, underruns, avg, len);
  audio_shutdown();
  return buffers >= 40 ? 0 : 3;
}
