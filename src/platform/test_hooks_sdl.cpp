// Test hooks: real SDL events pushed into SDL's own queue, and virtual
// joysticks, so that tests drive the runtime the way devices do.
#include <SDL.h>

#include <map>

#include "platform/platform.h"

namespace quarvel::platform {
namespace {

struct Virtual {
  SDL_Joystick* joystick = nullptr;  // the hook's own reference
};

std::map<int, Virtual> g_virtual;  // by instance id
int g_rumble_count = 0;
int g_rumble_low = 0;
int g_rumble_high = 0;

int SDLCALL record_rumble(void*, Uint16 low, Uint16 high) {
  ++g_rumble_count;
  g_rumble_low = low;
  g_rumble_high = high;
  return 0;
}

Uint32 window_id() {
  SDL_Window* w = static_cast<SDL_Window*>(window_handle());
  return w ? SDL_GetWindowID(w) : 0;
}

SDL_Joystick* virtual_joystick(int handle) {
  auto it = g_virtual.find(handle);
  return it == g_virtual.end() ? nullptr : it->second.joystick;
}

}  // namespace

bool test_push_key(int scan_code, bool down) {
  const int sdl = sdl_from_scan_code(scan_code);
  if (sdl == 0) return false;
  SDL_Event e;
  SDL_zero(e);
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = window_id();
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = static_cast<SDL_Scancode>(sdl);
  e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
  return SDL_PushEvent(&e) == 1;
}

bool test_push_mouse_motion(int x, int y, int xrel, int yrel) {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = window_id();
  e.motion.x = x;
  e.motion.y = y;
  e.motion.xrel = xrel;
  e.motion.yrel = yrel;
  return SDL_PushEvent(&e) == 1;
}

bool test_push_mouse_button(int button, bool down) {
  static constexpr Uint8 kSdlButton[] = {0, SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE};
  if (button < 1 || button > 3) return false;
  SDL_Event e;
  SDL_zero(e);
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.windowID = window_id();
  e.button.button = kSdlButton[button];
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.button.clicks = 1;
  return SDL_PushEvent(&e) == 1;
}

bool test_push_mouse_wheel(int clicks) {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_MOUSEWHEEL;
  e.wheel.windowID = window_id();
  e.wheel.y = clicks;
  e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  return SDL_PushEvent(&e) == 1;
}

int test_attach_joystick(const VirtualJoystick& kind) {
  if (!joystick_start()) return -1;
  SDL_VirtualJoystickDesc desc;
  SDL_zero(desc);
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  if (kind.game_controller) {
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
    desc.nhats = 0;
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    desc.button_mask = (1u << (SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1)) - 1;
  } else {
    desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
    desc.naxes = static_cast<Uint16>(kind.axes);
    desc.nbuttons = static_cast<Uint16>(kind.buttons);
    desc.nhats = static_cast<Uint16>(kind.hats);
  }
  desc.name = kind.name;
  if (kind.rumble) desc.Rumble = record_rumble;
  const int device_index = SDL_JoystickAttachVirtualEx(&desc);
  if (device_index < 0) return -1;
  SDL_Joystick* j = SDL_JoystickOpen(device_index);
  if (!j) {
    SDL_JoystickDetachVirtual(device_index);
    return -1;
  }
  const int handle = SDL_JoystickInstanceID(j);
  g_virtual[handle].joystick = j;
  return handle;
}

bool test_detach_joystick(int handle) {
  SDL_Joystick* j = virtual_joystick(handle);
  if (!j) return false;
  g_virtual.erase(handle);
  SDL_JoystickClose(j);
  for (int i = 0; i < SDL_NumJoysticks(); ++i) {
    if (SDL_JoystickGetDeviceInstanceID(i) == handle) return SDL_JoystickDetachVirtual(i) == 0;
  }
  return false;
}

bool test_joystick_axis(int handle, int axis, int value) {
  SDL_Joystick* j = virtual_joystick(handle);
  if (!j) return false;
  const Sint16 v = static_cast<Sint16>(value < -32768 ? -32768 : value > 32767 ? 32767 : value);
  return SDL_JoystickSetVirtualAxis(j, axis, v) == 0;
}

bool test_joystick_button(int handle, int button, bool down) {
  SDL_Joystick* j = virtual_joystick(handle);
  return j && SDL_JoystickSetVirtualButton(j, button, down ? SDL_PRESSED : SDL_RELEASED) == 0;
}

bool test_joystick_hat(int handle, int hat, int value) {
  SDL_Joystick* j = virtual_joystick(handle);
  return j && SDL_JoystickSetVirtualHat(j, hat, static_cast<Uint8>(value)) == 0;
}

int test_rumble(int& low, int& high) {
  low = g_rumble_low;
  high = g_rumble_high;
  return g_rumble_count;
}

}  // namespace quarvel::platform
