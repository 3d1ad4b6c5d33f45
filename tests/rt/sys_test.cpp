// The OS layer's threads, events and library table.
#include <gtest/gtest.h>

#include <string>

#include "rt/rt.h"
#include "rt/sys.h"

namespace {

struct PingPong {
  SysEvent ping, pong;
  volatile int32_t count;
  volatile int32_t quit;
};

uint32_t responder(void* p) {
  PingPong* s = (PingPong*)p;
  while (!sys_load(&s->quit)) {
    if (sys_event_wait(s->ping, 100)) {
      sys_xchg(&s->count, sys_load(&s->count) + 1);
      sys_event_set(s->pong);
    }
  }
  return 7;
}

TEST(Threads, EventsStartSignalWaitAndEnd) {
  PingPong s = {sys_event_create(), sys_event_create(), 0, 0};
  ASSERT_NE(s.ping, nullptr);
  double t0 = time_now();
  EXPECT_EQ(sys_event_wait(s.ping, 30), 0);
  EXPECT_GE(time_now() - t0, 0.025) << "waits the whole time-out";
  sys_event_set(s.ping);
  sys_event_set(s.ping);  // two signals before a wait still count once
  EXPECT_EQ(sys_event_wait(s.ping, 0), 1);
  EXPECT_EQ(sys_event_wait(s.ping, 0), 0) << "auto-reset";

  SysThread t = sys_thread_start(responder, &s, 65536);
  ASSERT_NE(t, nullptr);
  sys_thread_priority_max(t);
  for (int i = 0; i < 50; i++) {
    sys_event_set(s.ping);
    ASSERT_EQ(sys_event_wait(s.pong, 5000), 1);
  }
  EXPECT_EQ(sys_load(&s.count), 50);
  EXPECT_EQ(sys_thread_wait(t, 10), 0) << "still running";
  sys_xchg(&s.quit, 1);
  sys_event_set(s.ping);
  EXPECT_EQ(sys_thread_wait(t, 5000), 1);
  sys_thread_close(t);
  sys_event_close(s.ping);
  sys_event_close(s.pong);
}

TEST(Libraries, BuiltInTableWithProvidersAndBlocking) {
  sys_lib_provide("d3d9.dll", nullptr);
  EXPECT_EQ(sys_lib_load("d3d9.dll"), nullptr) << "without a provider it is missing";
  static int calls;
  SysProcLookup lookup = [](const char* fn) -> void* { return str_eq(fn, "Direct3DCreate9") ? (void*)&calls : nullptr; };
  sys_lib_provide("d3d9.dll", lookup);
  SysLib lib = sys_lib_load("D3D9.DLL");
  ASSERT_NE(lib, nullptr) << "library names ignore case, as on Windows";
  EXPECT_EQ(sys_lib_proc(lib, "Direct3DCreate9"), (void*)&calls);
  EXPECT_EQ(sys_lib_proc(lib, "Direct3DCreate9Ex"), nullptr);

  sys_lib_block("d3d9.dll", 1);
  EXPECT_EQ(sys_lib_load("d3d9.dll"), nullptr);
  sys_lib_block("d3d9.dll", 0);

  sys_lib_provide("opengl32.dll", lookup);  // not in the table: ignored
  EXPECT_EQ(sys_lib_load("opengl32.dll"), nullptr);
  sys_lib_provide("d3d9.dll", nullptr);
}

TEST(Process, ProgramPathAndCommandLine) {
  char path[260];
  ASSERT_GT(sys_program_path(path, sizeof path), 0);
  EXPECT_NE(strstr(path, "rt_tests"), nullptr);

  char a0[] = "/opt/game/skidline", a1[] = "--out", a2[] = "my shot.bmp", a3[] = "", a4[] = "--race";
  char* argv[] = {a0, a1, a2, a3, a4};
  sys_set_args(5, argv);
  EXPECT_STREQ(sys_command_line(), "/opt/game/skidline --out \"my shot.bmp\" \"\" --race");

  // Long lines reach the game whole (it cuts them itself); a line too long
  // for any system is cut inside an argument, never by dropping arguments.
  std::string longArg(5000, 'a'), huge(40000, 'b');
  char* argvLong[] = {a0, a1, &longArg[0], a4};
  sys_set_args(4, argvLong);
  EXPECT_EQ(std::string(sys_command_line()), "/opt/game/skidline --out " + longArg + " --race");
  char* argvHuge[] = {a0, a1, &huge[0], a4};
  sys_set_args(4, argvHuge);
  EXPECT_EQ(std::string(sys_command_line()), "/opt/game/skidline --out " + huge.substr(0, 32767 - 25));
}

}  // namespace
