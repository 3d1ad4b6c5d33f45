// The window procedure's message rules and the pad poll.
#include <gtest/gtest.h>

#include <unistd.h>

#include "main/input.h"
#include "main/main.h"
#include "rt/rt.h"
#include "rt/sys.h"

namespace {

const intptr_t kFirst = 1, kRepeat = 1 | (1 << 30);

intptr_t send(uint32_t msg, uintptr_t wp = 0, intptr_t lp = kFirst) { return wnd_proc(nullptr, msg, wp, lp); }

intptr_t at(int x, int y) { return (intptr_t)(uint32_t)(((uint32_t)y & 0xFFFF) << 16 | ((uint32_t)x & 0xFFFF)); }

class Input : public testing::Test {
 protected:
  void SetUp() override {
    input_reset();
    g_quit = g_toggleFullscreen = 0;
    sys_window_register("SkidlineWnd", wnd_proc);
  }
};

TEST_F(Input, KeysGiveOneEdgePerPressAndFollowTheHeldState) {
  send(SYS_WM_KEYDOWN, SYS_VK_UP, kFirst);
  EXPECT_TRUE(key_down(SYS_VK_UP) && key_pressed(SYS_VK_UP));
  input_end_frame();
  for (int i = 0; i < 3; i++) send(SYS_WM_KEYDOWN, SYS_VK_UP, kRepeat);  // auto-repeat
  EXPECT_TRUE(key_down(SYS_VK_UP) && !key_pressed(SYS_VK_UP));
  send(SYS_WM_KEYUP, SYS_VK_UP);
  EXPECT_FALSE(key_down(SYS_VK_UP));

  // Only the low 8 bits name the key, for messages and queries alike.
  send(SYS_WM_KEYDOWN, 0x1141, kFirst);
  EXPECT_TRUE(key_down('A') && key_pressed(0x341));
  send(SYS_WM_SYSKEYUP, 'A');
  EXPECT_TRUE(!key_down('A') && key_pressed('A')) << "edges last until the step clears them";

  // A key held while another window takes the focus does not stick.
  send(SYS_WM_KEYDOWN, 'W', kFirst);
  send(SYS_WM_KILLFOCUS);
  EXPECT_TRUE(!key_down('W') && key_pressed('W')) << "focus loss clears held keys only";
}

TEST_F(Input, AltKeysAndClosing) {
  // Alt+Enter toggles once per press; its auto-repeat only holds Enter.
  EXPECT_EQ(send(SYS_WM_SYSKEYDOWN, SYS_VK_RETURN, kFirst | (1 << 29)), 0);
  EXPECT_TRUE(g_toggleFullscreen == 1 && !key_pressed(SYS_VK_RETURN)) << "Alt+Enter is not a menu confirm";
  send(SYS_WM_SYSKEYDOWN, SYS_VK_RETURN, kRepeat | (1 << 29));
  EXPECT_TRUE(g_toggleFullscreen == 1 && key_down(SYS_VK_RETURN));

  // Alt alone and F10 are ordinary keys and open no menu; Alt+F4 closes.
  for (int vk : {(int)SYS_VK_MENU, (int)SYS_VK_F10, (int)'R'}) {
    EXPECT_EQ(send(SYS_WM_SYSKEYDOWN, vk, kFirst), 0) << vk;
    EXPECT_TRUE(key_pressed(vk) && key_down(vk)) << vk;
  }
  input_end_frame();
  send(SYS_WM_SYSKEYDOWN, 'R', kRepeat);
  EXPECT_TRUE(!key_pressed('R') && g_quit == 0);
  // So do the close and destroy messages.
  for (uint32_t msg : {(uint32_t)SYS_WM_SYSKEYDOWN, (uint32_t)SYS_WM_CLOSE, (uint32_t)SYS_WM_DESTROY}) {
    g_quit = 0;
    EXPECT_EQ(send(msg, SYS_VK_F4), 0);
    EXPECT_EQ(g_quit, 1) << msg;
  }
}

TEST_F(Input, Mouse) {
  send(SYS_WM_MOUSEMOVE, 0, at(-3, 700));  // coordinates are signed 16-bit
  EXPECT_TRUE(g_in.mouseX == -3 && g_in.mouseY == 700 && g_in.mouseMoved == 1);
  input_end_frame();
  send(SYS_WM_MOUSEMOVE, 0, at(-3, 700));
  EXPECT_EQ(g_in.mouseMoved, 0) << "same place: no move";
  send(SYS_WM_LBUTTONDOWN, 1, at(10, -20));
  EXPECT_TRUE(g_in.mouseClicked == 1 && g_in.mouseMoved == 1 && g_in.mouseY == -20);
  input_end_frame();
  EXPECT_EQ(g_in.mouseClicked + g_in.mouseMoved, 0);
}

// ---- pad ------------------------------------------------------------------------------------
struct FakePad {
  int calls;
  uint32_t result;
  XInputPadState state;
} g_fake;

uint32_t SYS_CALLBACK fake_get(uint32_t user, XInputPadState* st) {
  g_fake.calls++;
  if (user != 0 || g_fake.result) return g_fake.result;
  *st = g_fake.state;
  return 0;
}
void* lib_without_function(const char*) { return nullptr; }
void* lib_with_pad(const char* name) { return str_eq(name, "XInputGetState") ? (void*)fake_get : nullptr; }

class Pad : public Input {
 protected:
  void SetUp() override {
    Input::SetUp();
    g_fake = FakePad{};
    // The first library loads without the function, the second has it.
    sys_lib_provide("xinput1_4.dll", lib_without_function);
    sys_lib_provide("xinput1_3.dll", lib_with_pad);
  }
  void TearDown() override {
    sys_lib_provide("xinput1_4.dll", nullptr);
    sys_lib_provide("xinput1_3.dll", nullptr);
  }
  void poll(uint16_t buttons, int lx, int ly, int lt = 0, int rt = 0) {
    g_fake.state = XInputPadState{0, buttons, (uint8_t)lt, (uint8_t)rt, (int16_t)lx, (int16_t)ly, 0, 0};
    input_poll_pad();
  }
};

TEST_F(Pad, ButtonsSticksAndEdges) {
  poll(PAD_A, 24001, 20001, 255, 51);
  ASSERT_EQ(g_in.padConnected, 1) << "the search goes on past a library without the function";
  EXPECT_EQ(g_in.padDown, (uint32_t)(PAD_A | PAD_UP)) << "stick up is held, stick right is not";
  EXPECT_EQ(g_in.padPressed, (uint32_t)(PAD_A | PAD_UP | PAD_RIGHT));
  EXPECT_FLOAT_EQ(g_in.padSteer, 24001.0f / 32767.0f);
  EXPECT_FLOAT_EQ(g_in.padBrake, 1.0f);
  EXPECT_FLOAT_EQ(g_in.padThrottle, 0.2f);

  input_end_frame();
  poll(PAD_A, 24001, 20001);
  EXPECT_EQ(g_in.padPressed, 0u) << "held bits are not new edges";
  const struct { int lx, ly; uint32_t down, pressed; } sticks[] = {
      {-24001, -20001, PAD_DOWN, PAD_LEFT | PAD_DOWN},
      {-32768, 0, 0, 0},  // still left: no new edge
      {0, 0, 0, 0},
      {24000, 20000, 0, 0},  // thresholds are exclusive
      {32767, 0, 0, PAD_RIGHT},
  };
  for (const auto& c : sticks) {
    input_end_frame();
    poll(0, c.lx, c.ly);
    EXPECT_EQ(g_in.padDown, c.down) << c.lx << "," << c.ly;
    EXPECT_EQ(g_in.padPressed, c.pressed) << c.lx << "," << c.ly;
  }

  // Edges of several polls collect until a step clears them.
  input_end_frame();
  poll(PAD_B, 0, 0);
  poll(PAD_START, 0, 0);
  EXPECT_EQ(g_in.padPressed, (uint32_t)(PAD_B | PAD_START));

  // Unplugged: disconnected, the last values stay for readers that look.
  g_fake.result = XINPUT_NOT_CONNECTED;
  input_poll_pad();
  EXPECT_TRUE(g_in.padConnected == 0 && g_in.padDown == PAD_START);
}

TEST_F(Pad, WithoutAPadThePollAsksEveryTwoSeconds) {
  g_fake.result = XINPUT_NOT_CONNECTED;
  input_poll_pad();
  for (int i = 0; i < 50; i++) input_poll_pad();
  EXPECT_EQ(g_fake.calls, 1);
  g_fake.result = 0;  // plugged in
  usleep(1500 * 1000);
  input_poll_pad();
  EXPECT_EQ(g_fake.calls, 1) << "not asked again within 2 s";
  usleep(550 * 1000);
  poll(PAD_Y, 0, 0);
  EXPECT_TRUE(g_fake.calls == 2 && g_in.padConnected == 1 && g_in.padPressed == PAD_Y);
  for (int i = 0; i < 5; i++) input_poll_pad();
  EXPECT_EQ(g_fake.calls, 7) << "a connected pad is read every frame";
}

TEST_F(Pad, NoLibraryMeansNoPolling) {
  sys_lib_provide("xinput1_3.dll", nullptr);
  for (int i = 0; i < 3; i++) input_poll_pad();
  sys_lib_provide("xinput1_3.dll", lib_with_pad);
  input_poll_pad();  // the search happens once per run
  EXPECT_EQ(g_fake.calls + g_in.padConnected, 0);
}

}  // namespace
