// The Linux window layer: SDL events reach the window procedure as the
// messages Windows would send (headless, on SDL's dummy video driver).
#include <gtest/gtest.h>
#include <SDL.h>
#include <stdlib.h>

#include <vector>

#include "rt/sys.h"

namespace {

struct Msg {
  uint32_t msg;
  uintptr_t wp;
  uint32_t lp;
  bool operator==(const Msg& o) const { return msg == o.msg && wp == o.wp && lp == o.lp; }
};
std::vector<Msg> g_got;

intptr_t record(SysWindow w, uint32_t msg, uintptr_t wp, intptr_t lp) {
  g_got.push_back(Msg{msg, wp, (uint32_t)lp});
  return sys_window_default(w, msg, wp, lp);
}

SDL_Event key(Uint32 type, SDL_Keycode sym, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.key.keysym.sym = sym;
  e.key.keysym.mod = mod;
  e.key.repeat = repeat;
  return e;
}

class SdlWindow : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_TRUE(sys_window_register("SkidlineWnd", record));
    win = sys_window_create("SkidlineWnd", "SKIDLINE", 0, 400, 300);
    ASSERT_NE(win, nullptr);
  }
  std::vector<Msg> deliver(std::vector<SDL_Event> events) {
    sys_pump_messages();  // whatever the window system queued first
    g_got.clear();
    for (SDL_Event& e : events) SDL_PushEvent(&e);
    EXPECT_EQ(sys_pump_messages(), 1);
    return g_got;
  }
  static SysWindow win;
};
SysWindow SdlWindow::win;

const uint32_t kDown = 1, kRepeat = 1 | 1u << 30, kUp = 1 | 1u << 30 | 1u << 31, kAlt = 1u << 29;

// Every SDL event and the message it becomes (none: dropped).
TEST_F(SdlWindow, KeysFocusMouseAndClosingBecomeMessages) {
  int w, h;
  ASSERT_TRUE(sys_window_client_size(win, &w, &h));
  EXPECT_EQ(w * 1000 + h, 400300);
  SDL_Event focus = {}, close, move = {}, click = {}, right;
  focus.type = SDL_WINDOWEVENT, focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  close = focus, close.window.event = SDL_WINDOWEVENT_CLOSE;
  move.type = SDL_MOUSEMOTION, move.motion.x = 17, move.motion.y = 250;
  click.type = SDL_MOUSEBUTTONDOWN, click.button.button = SDL_BUTTON_LEFT, click.button.x = 3, click.button.y = 4;
  right = click, right.button.button = SDL_BUTTON_RIGHT;
  const struct {
    SDL_Event in;
    std::vector<Msg> out;
  } cases[] = {
      {key(SDL_KEYDOWN, SDLK_w), {{SYS_WM_KEYDOWN, 'W', kDown}}},
      {key(SDL_KEYDOWN, SDLK_w, 0, 1), {{SYS_WM_KEYDOWN, 'W', kRepeat}}},  // auto-repeat: bit 30 set
      {key(SDL_KEYUP, SDLK_w), {{SYS_WM_KEYUP, 'W', kUp}}},
      {key(SDL_KEYDOWN, SDLK_UP), {{SYS_WM_KEYDOWN, SYS_VK_UP, kDown}}},
      {key(SDL_KEYDOWN, SDLK_RETURN), {{SYS_WM_KEYDOWN, SYS_VK_RETURN, kDown}}},
      {key(SDL_KEYDOWN, SDLK_KP_ENTER), {{SYS_WM_KEYDOWN, SYS_VK_RETURN, kDown}}},
      {key(SDL_KEYDOWN, SDLK_ESCAPE), {{SYS_WM_KEYDOWN, SYS_VK_ESCAPE, kDown}}},
      {key(SDL_KEYDOWN, SDLK_BACKSPACE), {{SYS_WM_KEYDOWN, SYS_VK_BACK, kDown}}},
      {key(SDL_KEYDOWN, SDLK_SPACE), {{SYS_WM_KEYDOWN, SYS_VK_SPACE, kDown}}},
      {key(SDL_KEYDOWN, SDLK_7), {{SYS_WM_KEYDOWN, '7', kDown}}}, {key(SDL_KEYDOWN, SDLK_CAPSLOCK), {}},  // unknown
      {key(SDL_KEYDOWN, SDLK_LALT, KMOD_LALT), {{SYS_WM_SYSKEYDOWN, SYS_VK_MENU, kDown | kAlt}}},  // Alt itself
      {key(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT), {{SYS_WM_SYSKEYDOWN, SYS_VK_RETURN, kDown | kAlt}}},
      {key(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT, 1), {{SYS_WM_SYSKEYDOWN, SYS_VK_RETURN, kRepeat | kAlt}}},
      {key(SDL_KEYUP, SDLK_RETURN, KMOD_LALT), {{SYS_WM_SYSKEYUP, SYS_VK_RETURN, kUp | kAlt}}},
      {key(SDL_KEYUP, SDLK_LALT), {{SYS_WM_SYSKEYUP, SYS_VK_MENU, kUp | kAlt}}},
      {key(SDL_KEYDOWN, SDLK_F10), {{SYS_WM_SYSKEYDOWN, SYS_VK_F10, kDown}}},  // F10 is a system key
      {key(SDL_KEYUP, SDLK_F10), {{SYS_WM_KEYUP, SYS_VK_F10, kUp}}},
      // what the system does with Alt+F4
      {key(SDL_KEYDOWN, SDLK_F4, KMOD_LALT), {{SYS_WM_SYSKEYDOWN, SYS_VK_F4, kDown | kAlt}, {SYS_WM_CLOSE, 0, 0}}},
      {focus, {{SYS_WM_KILLFOCUS, 0, 0}}}, {move, {{SYS_WM_MOUSEMOVE, 0, 250u << 16 | 17}}},
      {click, {{SYS_WM_LBUTTONDOWN, 1, 4u << 16 | 3}}}, {right, {}}, {close, {{SYS_WM_CLOSE, 0, 0}}},
  };
  std::vector<SDL_Event> in;
  std::vector<Msg> want;
  for (const auto& c : cases) in.push_back(c.in), want.insert(want.end(), c.out.begin(), c.out.end());
  EXPECT_EQ(deliver(in), want);
}

}  // namespace
