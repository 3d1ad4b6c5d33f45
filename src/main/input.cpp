// Keyboard, mouse and pad input. The window procedure is shared: on Linux
// the OS layer turns SDL events into the same messages Windows sends.
#include "main/input.h"
#include "main/main.h"
#include "rt/rt.h"

void input_end_frame() {
  memset(g_in.keyPressed, 0, sizeof g_in.keyPressed);
  g_in.mouseClicked = 0;
  g_in.mouseMoved = 0;
  g_in.padPressed = 0;
}

// A key message is a first press when bit 30 (the previous key state) is clear.
static int first_press(intptr_t lp) { return ((uint32_t)lp & (1u << 30)) == 0; }

static void key_went_down(int vk, intptr_t lp) {
  if (first_press(lp)) g_in.keyPressed[vk] = 1;
  g_in.keyDown[vk] = 1;
}

static void mouse_at(intptr_t lp) {
  int32_t x = (int16_t)((uint32_t)lp & 0xFFFF);
  int32_t y = (int16_t)(((uint32_t)lp >> 16) & 0xFFFF);
  if (x != g_in.mouseX || y != g_in.mouseY) g_in.mouseMoved = 1;
  g_in.mouseX = x;
  g_in.mouseY = y;
}

intptr_t SYS_CALLBACK wnd_proc(SysWindow win, uint32_t msg, uintptr_t wp, intptr_t lp) {
  int vk = (int)(wp & 0xFF);
  switch (msg) {
    case SYS_WM_CLOSE:
    case SYS_WM_DESTROY:
      g_quit = 1;  // the window stays: the loop ends and the process exits
      return 0;
    case SYS_WM_KILLFOCUS:
      // keys let go while another window has the focus must not stay held
      memset(g_in.keyDown, 0, sizeof g_in.keyDown);
      break;
    case SYS_WM_KEYDOWN:
      key_went_down(vk, lp);
      break;
    case SYS_WM_KEYUP:
    case SYS_WM_SYSKEYUP:
      g_in.keyDown[vk] = 0;
      break;
    case SYS_WM_SYSKEYDOWN:
      if (vk == SYS_VK_RETURN) {  // Alt+Enter: one toggle per press
        if (first_press(lp))
          g_toggleFullscreen = 1;
        else
          g_in.keyDown[SYS_VK_RETURN] = 1;
        return 0;
      }
      key_went_down(vk, lp);
      // Alt+F4 closes the window; Alt and F10 must not open the system menu
      if (vk == SYS_VK_F4) break;
      return 0;
    case SYS_WM_MOUSEMOVE:
      mouse_at(lp);
      return 0;
    case SYS_WM_LBUTTONDOWN:
      g_in.mouseClicked = 1;
      mouse_at(lp);
      return 0;
    default:
      break;
  }
  return sys_window_default(win, msg, wp, lp);
}

// ---- pad --------------------------------------------------------------------------------------
static int g_xtried;
static XInputGetStateFn g_xget;
static double g_xnextProbe;
static uint32_t prevAll;

static void find_xinput() {
  static const char* const libs[] = {"xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll"};
  g_xtried = 1;
  for (const char* name : libs) {
    SysLib lib = sys_lib_load(name);
    if (!lib) continue;
    g_xget = (XInputGetStateFn)sys_lib_proc(lib, "XInputGetState");
    if (g_xget) return;
  }
}

void input_poll_pad() {
  if (!g_xtried) find_xinput();
  if (!g_xget) return;
  double now = time_now();
  if (!g_in.padConnected && g_xnextProbe > now) return;  // no pad: ask every 2 s only

  XInputPadState st;
  memset(&st, 0, sizeof st);
  if (g_xget(0, &st) != 0) {
    g_in.padConnected = 0;
    g_xnextProbe = now + 2.0;
    return;
  }
  g_in.padConnected = 1;
  uint32_t bits = st.buttons;
  if (st.thumbLY > 20000)
    bits |= PAD_UP;
  else if (st.thumbLY < -20000)
    bits |= PAD_DOWN;
  g_in.padDown = bits;
  // Sideways stick moves navigate menus but are not held d-pad presses.
  uint32_t all = bits;
  if (st.thumbLX > 24000)
    all |= PAD_RIGHT;
  else if (st.thumbLX < -24000)
    all |= PAD_LEFT;
  g_in.padPressed |= all & ~prevAll;
  prevAll = all;
  g_in.padSteer = (float)st.thumbLX / 32767.0f;
  g_in.padThrottle = (float)st.rightTrigger / 255.0f;
  g_in.padBrake = (float)st.leftTrigger / 255.0f;
}

void input_reset() {
  memset(&g_in, 0, sizeof g_in);
  g_xtried = 0;
  g_xget = nullptr;
  g_xnextProbe = 0.0;
  prevAll = 0;
}
