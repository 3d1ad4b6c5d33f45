// Sound output end to end on Linux: the built-in "winmm.dll" on SDL audio,
// the audio thread, its failure paths and its log lines.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/audio_internal.h"
#include "audio/synth.h"
#include "rt/rt.h"
#include "rt/sys.h"
#include "test_util.h"

namespace {

// Each test runs in its own process (ctest), so SDL's audio driver can be
// chosen per test before the first open.
void start(SysProcLookup lib, const char* driver = nullptr, const std::string& rawFile = "") {
  if (driver) setenv("SDL_AUDIODRIVER", driver, 1);
  if (!rawFile.empty()) setenv("SDL_DISKAUDIOFILE", rawFile.c_str(), 1);
  log_open("skidline.log");
  sys_lib_provide("winmm.dll", lib);
}

std::string log_text() { return slurp("skidline.log"); }

// Requests go into the ring only while audio runs.
int32_t posted() { return g_audio.ring.cmd_write; }

void expect_sound_off(const char* line) {
  EXPECT_EQ(audio_init(), 0);
  EXPECT_NE(log_text().find(std::string(line) + "\r\n"), std::string::npos) << log_text();
  int32_t before = posted();
  audio_music(1), audio_music_volume(0.5f), audio_sfx_volume(0.5f), audio_sfx(2), audio_sfx_vol(3, 0.5f);
  EXPECT_EQ(posted(), before) << "requests must be ignored while sound is off";
}

TEST(SoundOff, WithoutTheLibraryOrAnEntryPoint) {
  TempDir dir;
  start(waveout_sdl_proc);
  sys_lib_block("winmm.dll", 1);
  expect_sound_off("audio: winmm.dll not available, sound off");
  sys_lib_block("winmm.dll", 0);
  start([](const char* name) -> void* { return str_eq(name, "waveOutReset") ? nullptr : waveout_sdl_proc(name); });
  expect_sound_off("audio: waveOut entry points missing, sound off");
}

TEST(SoundOff, WhenTheDeviceDoesNotOpen) {
  TempDir dir;
  start(waveout_sdl_proc, "no-such-driver");
  expect_sound_off("audio: waveOutOpen failed (6), sound off");
  EXPECT_EQ(g_audio.event, nullptr) << "the event is closed again";
}

TEST(SoundOff, WhenTheThreadCannotStartAndALaterStartWorks) {
  TempDir dir;
  start(waveout_sdl_proc, "dummy");
  sys_test_fail_threads(1);
  expect_sound_off("audio: no thread, sound off");
  sys_test_fail_threads(0);
  EXPECT_EQ(g_audio.device, nullptr) << "the device is closed again";
  EXPECT_EQ(audio_init(), 1);
  audio_shutdown();
}

// Waits until the audio thread has rendered at least n buffers.
bool wait_buffers(uint32_t n, double seconds) {
  double t0 = time_now();
  uint32_t b = 0;
  while (time_now() - t0 < seconds) {
    audio_stats(&b, nullptr, nullptr, nullptr);
    if (b >= n) return true;
    sys_sleep(5);
  }
  return false;
}

TEST(SoundOn, FirstBuffersReachTheDeviceUnchangedAndAStatisticsLineEvery430Buffers) {
  TempDir dir;
  // The disk driver with no delay plays as fast as it can: the thread falls
  // behind now and then, and 430 buffers pass in well under a second.
  setenv("SDL_DISKAUDIODELAY", "0", 1);
  start(waveout_sdl_proc, "disk", dir.path() + "/out.raw");
  audio_engine(0.3f, 0.2f);  // an idling engine: deterministic, never silent
  ASSERT_EQ(audio_init(), 1);
  ASSERT_TRUE(wait_buffers(900, 60.0));
  audio_shutdown();
  int32_t before = posted();
  audio_music(2);
  EXPECT_EQ(posted(), before) << "requests are ignored after the stop";

  // The same calls offline give the 12 buffers queued at the start.
  static Synth s;
  syn_init(&s, 22050);
  std::vector<int16_t> want(12 * 512 * 2);
  for (int i = 0; i < 12; i++) syn_engine(&s, 0.3f, 0.2f), syn_render(&s, want.data() + i * 1024, 512);
  // A device this fast can run dry between two writes of the start-up queue,
  // so only silence may come between the buffers.
  std::string raw = slurp(dir.path() + "/out.raw");
  size_t at = 0;
  for (int i = 0; i < 12; i++) {
    std::string buf((const char*)(want.data() + i * 1024), 2048);
    size_t found = raw.find(buf, at);
    ASSERT_NE(found, std::string::npos) << "queued buffer " << i << " is not in the device's output";
    EXPECT_GE(raw.find_first_not_of('\0', at), found) << "only silence before queued buffer " << i;
    at = found + buf.size();
  }

  std::string log = log_text();
  for (const char* line : {"audio: waveOut 22050 Hz stereo 16-bit, 12 x 512 frames (279 ms queued)\r\n", "audio: stopped after "})
    EXPECT_NE(log.find(line), std::string::npos) << log;
  at = log.find("audio: 4");
  ASSERT_NE(at, std::string::npos) << log;
  std::string line = log.substr(at, log.find("\r\n", at) - at);
  unsigned n = 0, u = 0, t = 0;
  double x, p, m, c;
  ASSERT_EQ(sscanf(line.c_str(),
                   "audio: %u buffers, %u underruns (total %u), synth %lf ms per 23.2 ms buffer (%lf%%), max %lf "
                   "ms, audio thread cpu %lf%% of a core",
                   &n, &u, &t, &x, &p, &m, &c),
            7)
      << line;
  EXPECT_TRUE(n >= 430 && n <= 441) << "logged in the first pass after 429 are exceeded: " << n;
  EXPECT_TRUE(u <= t && m >= x && x > 0 && c > 0) << "underruns, the longest render and the mean, cpu: " << line;
  uint32_t underruns;
  audio_stats(nullptr, &underruns, nullptr, nullptr);
  EXPECT_GE(underruns, t);
}

}  // namespace

// ---- a scripted wave device: the test decides when buffers are played ------------------------
namespace fake {

SysEvent event;
std::vector<WAVEHDR*> queued;  // written, not yet played (guarded by the audio thread being asleep)
volatile int32_t writes;

MMRESULT open(HWAVEOUT* out, UINT, const WAVEFORMATEX* fmt, DWORD_PTR cb, DWORD_PTR, DWORD flags) {
  if (fmt->nSamplesPerSec != 22050 || fmt->nChannels != 2 || fmt->wBitsPerSample != 16 || fmt->nBlockAlign != 4 ||
      flags != CALLBACK_EVENT)
    return WAVERR_BADFORMAT;
  event = (SysEvent)cb;
  *out = (HWAVEOUT)&event;
  return MMSYSERR_NOERROR;
}
MMRESULT nop_header(HWAVEOUT, WAVEHDR*, UINT) { return 0; }
MMRESULT nop_device(HWAVEOUT) { return 0; }
MMRESULT write(HWAVEOUT, WAVEHDR* h, UINT) {
  __atomic_store_n(&h->dwFlags, (h->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE, __ATOMIC_RELEASE);
  queued.push_back(h);
  sys_xchg(&writes, writes + 1);
  return 0;
}

void* proc(const char* name) {
  if (str_eq(name, "waveOutOpen")) return (void*)&open;
  if (str_eq(name, "waveOutWrite")) return (void*)&write;
  if (str_eq(name, "waveOutReset") || str_eq(name, "waveOutClose")) return (void*)&nop_device;
  return (void*)&nop_header;  // prepare and unprepare
}

bool wait_writes(int n) {
  double t0 = time_now();
  while (sys_load(&writes) < n) {
    if (time_now() - t0 > 10) return false;
    sys_sleep(1);
  }
  sys_sleep(20);  // let the thread go back to its wait
  return true;
}

// The device finishes the oldest n buffers at once and signals.
void play(int n) {
  for (int i = 0; i < n; i++) {
    WAVEHDR* h = queued.front();
    queued.erase(queued.begin());
    __atomic_store_n(&h->dwFlags, (h->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE, __ATOMIC_RELEASE);
  }
  sys_event_set(event);
}

}  // namespace fake

TEST(AudioThread, RequestsApplyInOrderBuffersRefillAndOneUnderrunWhenAllTwelveRanOut) {
  TempDir dir;
  start(fake::proc);
  ASSERT_EQ(audio_init(), 1);
  ASSERT_TRUE(fake::wait_writes(12)) << "all 12 buffers are queued at the start";
  const int32_t base = g_audio.ring.cmd_write;
  // The thread is asleep: no buffer is done, so nothing is drained.
  for (int i = 1; i <= 64; i++) audio_music_volume(i / 100.0f);
  audio_music_volume(0.99f);  // the 65th: dropped
  EXPECT_EQ(g_audio.ring.cmd_read, base);
  fake::play(1);
  ASSERT_TRUE(fake::wait_writes(13));
  EXPECT_EQ(g_audio.ring.cmd_read, base + 64) << "all applied before the buffer was rendered";
  EXPECT_EQ(g_audio.syn->music_vol, 0.64f) << "in order, and the dropped one never arrives";
  audio_engine(0.7f, 0.25f);
  fake::play(1);
  ASSERT_TRUE(fake::wait_writes(14));
  EXPECT_TRUE(g_audio.syn->eng_rpm == 0.7f && g_audio.syn->eng_load == 0.25f) << "picked up for the next buffer";

  auto underruns = [] {
    uint32_t u = 99;
    audio_stats(nullptr, &u, nullptr, nullptr);
    return u;
  };
  fake::play(3);
  ASSERT_TRUE(fake::wait_writes(17));
  EXPECT_EQ(underruns(), 0u);
  EXPECT_EQ(fake::queued.back(), &g_audio.hdr[4]) << "refilled in order";
  fake::play(12);  // the device ran dry
  ASSERT_TRUE(fake::wait_writes(29));
  EXPECT_EQ(underruns(), 1u) << "a pass that finds every buffer played counts exactly one";
  EXPECT_EQ(sys_load(&fake::writes), 29) << "and stops after 12 refills";
  fake::play(11);
  ASSERT_TRUE(fake::wait_writes(40));
  EXPECT_EQ(underruns(), 1u);
  audio_shutdown();
}
