// The built-in "xinput*.dll" of the Linux build: XInputGetState for pad 0
// answered from the first SDL game controller. A controller unplugged is
// closed; the next poll looks for one again, so pads can come and go.
#include <SDL.h>

#include "main/input.h"
#include "main/main.h"
#include "rt/rt.h"

static SDL_GameController* g_pad;

static SDL_GameController* find_pad() {
  if (g_pad && SDL_GameControllerGetAttached(g_pad)) return g_pad;
  if (g_pad) {
    SDL_GameControllerClose(g_pad);
    g_pad = nullptr;
  }
  if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER) && SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return nullptr;
  SDL_GameControllerUpdate();
  for (int i = 0; i < SDL_NumJoysticks(); i++) {
    if (SDL_IsGameController(i) && (g_pad = SDL_GameControllerOpen(i)) != nullptr) break;
  }
  return g_pad;
}

static int16_t axis(SDL_GameController* c, SDL_GameControllerAxis a, int flip) {
  int v = SDL_GameControllerGetAxis(c, a);
  if (flip) v = -v;  // SDL's y grows downwards, XInput's upwards
  return (int16_t)(v > 32767 ? 32767 : (v < -32768 ? -32768 : v));
}

static uint8_t trigger(SDL_GameController* c, SDL_GameControllerAxis a) {
  int v = SDL_GameControllerGetAxis(c, a);
  return (uint8_t)(v <= 0 ? 0 : v * 255 / 32767);
}

static uint32_t SYS_CALLBACK get_state(uint32_t user, XInputPadState* st) {
  static const struct {
    SDL_GameControllerButton button;
    uint16_t bit;
  } buttons[] = {
      {SDL_CONTROLLER_BUTTON_DPAD_UP, PAD_UP},     {SDL_CONTROLLER_BUTTON_DPAD_DOWN, PAD_DOWN},
      {SDL_CONTROLLER_BUTTON_DPAD_LEFT, PAD_LEFT}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PAD_RIGHT},
      {SDL_CONTROLLER_BUTTON_START, PAD_START},    {SDL_CONTROLLER_BUTTON_BACK, PAD_BACK},
      {SDL_CONTROLLER_BUTTON_LEFTSTICK, 0x0040},   {SDL_CONTROLLER_BUTTON_RIGHTSTICK, 0x0080},
      {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 0x0100}, {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 0x0200},
      {SDL_CONTROLLER_BUTTON_A, PAD_A},            {SDL_CONTROLLER_BUTTON_B, PAD_B},
      {SDL_CONTROLLER_BUTTON_X, PAD_X},            {SDL_CONTROLLER_BUTTON_Y, PAD_Y},
  };
  SDL_GameController* c = user == 0 ? find_pad() : nullptr;
  if (!c) return XINPUT_NOT_CONNECTED;
  static uint32_t packet;
  st->packet = ++packet;
  st->buttons = 0;
  for (const auto& b : buttons) {
    if (SDL_GameControllerGetButton(c, b.button)) st->buttons |= b.bit;
  }
  st->leftTrigger = trigger(c, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
  st->rightTrigger = trigger(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
  st->thumbLX = axis(c, SDL_CONTROLLER_AXIS_LEFTX, 0);
  st->thumbLY = axis(c, SDL_CONTROLLER_AXIS_LEFTY, 1);
  st->thumbRX = axis(c, SDL_CONTROLLER_AXIS_RIGHTX, 0);
  st->thumbRY = axis(c, SDL_CONTROLLER_AXIS_RIGHTY, 1);
  return 0;
}

void* pad_sdl_proc(const char* name) {
  return str_eq(name, "XInputGetState") ? (void*)get_state : nullptr;
}
