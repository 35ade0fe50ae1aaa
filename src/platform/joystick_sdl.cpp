// Joysticks, game controllers and force feedback over SDL2.
//
// Readings are brought into the DIJOYSTATE layout the runtime reads:
// axes -32768..32768 centred on 0, point-of-view values in hundredths of a
// degree, button bytes 0x80 while held. A device the system knows as a
// game controller is read through its controller layout, so that every
// pad puts its sticks, triggers and buttons in the same places.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "platform/platform.h"

namespace quarvel::platform {
namespace {

struct OpenJoystick {
  SDL_Joystick* joystick = nullptr;
  SDL_GameController* controller = nullptr;
  SDL_Haptic* haptic = nullptr;
  int effect = -1;
};

bool g_started = false;
std::map<int, OpenJoystick> g_open;  // by instance id

// SDL axes run -32768..32767; stretch the positive half so that a full
// deflection reads 32768 both ways. Truncated, so that values short of the
// end never round up across a threshold.
int32_t stretch_axis(int value) {
  if (value <= 0) return value;
  return static_cast<int32_t>((static_cast<int64_t>(value) * 32768) / 32767);
}

// Triggers run 0..32767.
int32_t trigger_axis(int value) { return stretch_axis(std::max(0, value)); }

uint32_t pov_from_hat(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return 0xFFFFFFFFu;
  }
}

// Button bytes in the order pads report through the system's own joystick
// layer: A, B, X, Y, shoulders, Back, Start, stick clicks, then Guide and
// the extra buttons.
constexpr SDL_GameControllerButton kButtonOrder[] = {
    SDL_CONTROLLER_BUTTON_A,           SDL_CONTROLLER_BUTTON_B,
    SDL_CONTROLLER_BUTTON_X,           SDL_CONTROLLER_BUTTON_Y,
    SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
    SDL_CONTROLLER_BUTTON_BACK,        SDL_CONTROLLER_BUTTON_START,
    SDL_CONTROLLER_BUTTON_LEFTSTICK,   SDL_CONTROLLER_BUTTON_RIGHTSTICK,
    SDL_CONTROLLER_BUTTON_GUIDE,       SDL_CONTROLLER_BUTTON_MISC1,
    SDL_CONTROLLER_BUTTON_PADDLE1,     SDL_CONTROLLER_BUTTON_PADDLE2,
    SDL_CONTROLLER_BUTTON_PADDLE3,     SDL_CONTROLLER_BUTTON_PADDLE4,
    SDL_CONTROLLER_BUTTON_TOUCHPAD,
};

void read_controller(SDL_GameController* c, JoystickReading& r) {
  auto axis = [c](SDL_GameControllerAxis a) { return SDL_GameControllerGetAxis(c, a); };
  r.x = stretch_axis(axis(SDL_CONTROLLER_AXIS_LEFTX));
  r.y = stretch_axis(axis(SDL_CONTROLLER_AXIS_LEFTY));
  r.rx = stretch_axis(axis(SDL_CONTROLLER_AXIS_RIGHTX));
  r.ry = stretch_axis(axis(SDL_CONTROLLER_AXIS_RIGHTY));
  const int32_t left = trigger_axis(axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT));
  const int32_t right = trigger_axis(axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
  // Both triggers on one axis (left pulls up, right pulls down), and each
  // on a slider of its own.
  r.z = left - right;
  r.rz = 0;
  r.slider[0] = left;
  r.slider[1] = right;
  auto held = [c](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(c, b) != 0; };
  Uint8 hat = SDL_HAT_CENTERED;
  if (held(SDL_CONTROLLER_BUTTON_DPAD_UP)) hat |= SDL_HAT_UP;
  if (held(SDL_CONTROLLER_BUTTON_DPAD_DOWN)) hat |= SDL_HAT_DOWN;
  if (held(SDL_CONTROLLER_BUTTON_DPAD_LEFT)) hat |= SDL_HAT_LEFT;
  if (held(SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) hat |= SDL_HAT_RIGHT;
  r.pov[0] = pov_from_hat(hat);
  for (int i = 1; i < 4; ++i) r.pov[i] = 0xFFFFFFFFu;
  // Button bytes in the order pads report through the system's own
  // joystick layer (kButtonOrder).
  int i = 0;
  for (SDL_GameControllerButton b : kButtonOrder) r.buttons[i++] = held(b) ? 0x80 : 0;
}

void read_plain(SDL_Joystick* j, JoystickReading& r) {
  int32_t* axes[8] = {&r.x, &r.y, &r.z, &r.rx, &r.ry, &r.rz, &r.slider[0], &r.slider[1]};
  const int axis_count = std::min(8, std::max(0, SDL_JoystickNumAxes(j)));
  for (int i = 0; i < axis_count; ++i) *axes[i] = stretch_axis(SDL_JoystickGetAxis(j, i));
  const int hat_count = std::min(4, std::max(0, SDL_JoystickNumHats(j)));
  for (int i = 0; i < 4; ++i) r.pov[i] = i < hat_count ? pov_from_hat(SDL_JoystickGetHat(j, i)) : 0xFFFFFFFFu;
  const int button_count = std::min(32, std::max(0, SDL_JoystickNumButtons(j)));
  for (int i = 0; i < button_count; ++i) r.buttons[i] = SDL_JoystickGetButton(j, i) ? 0x80 : 0;
}

OpenJoystick* find(int id) {
  auto it = g_open.find(id);
  return it == g_open.end() ? nullptr : &it->second;
}

}  // namespace

int controller_button_byte(int sdl_button) {
  int i = 0;
  for (SDL_GameControllerButton b : kButtonOrder) {
    if (b == sdl_button) return i;
    ++i;
  }
  return -1;
}

bool joystick_is_controller(int id) {
  const OpenJoystick* j = find(id);
  return j && j->controller;
}

bool joystick_start() {
  if (g_started) return true;
  // Only the window with the focus gets input, as on the desktop the
  // design was made for; a headless run has no focus to give.
  if (!video_has_display()) SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0) return false;
  // Force feedback is optional: rumble works without it.
  SDL_InitSubSystem(SDL_INIT_HAPTIC);
  g_started = true;
  return true;
}

void joystick_stop() {
  while (!g_open.empty()) joystick_close(g_open.begin()->first);
  if (!g_started) return;
  if (SDL_WasInit(SDL_INIT_HAPTIC)) SDL_QuitSubSystem(SDL_INIT_HAPTIC);
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
  g_started = false;
}

int joystick_device_count() { return g_started ? std::max(0, SDL_NumJoysticks()) : 0; }

int joystick_device_id(int device_index) {
  if (!g_started) return -1;
  return SDL_JoystickGetDeviceInstanceID(device_index);
}

bool joystick_open(int device_index, int& id) {
  if (!g_started) return false;
  OpenJoystick open;
  if (SDL_IsGameController(device_index)) {
    open.controller = SDL_GameControllerOpen(device_index);
    if (open.controller) open.joystick = SDL_GameControllerGetJoystick(open.controller);
  }
  if (!open.joystick) open.joystick = SDL_JoystickOpen(device_index);
  if (!open.joystick) return false;
  id = SDL_JoystickInstanceID(open.joystick);
  if (find(id)) {
    // Already open: give back the reference just taken.
    if (open.controller) {
      SDL_GameControllerClose(open.controller);
    } else {
      SDL_JoystickClose(open.joystick);
    }
    return true;
  }
  if (SDL_WasInit(SDL_INIT_HAPTIC) && SDL_JoystickIsHaptic(open.joystick) == SDL_TRUE) {
    open.haptic = SDL_HapticOpenFromJoystick(open.joystick);
  }
  g_open[id] = open;
  return true;
}

void joystick_close(int id) {
  OpenJoystick* open = find(id);
  if (!open) return;
  if (open->haptic) SDL_HapticClose(open->haptic);
  if (open->controller) {
    SDL_GameControllerClose(open->controller);
  } else if (open->joystick) {
    SDL_JoystickClose(open->joystick);
  }
  g_open.erase(id);
}

void joystick_update() {
  if (g_started) SDL_JoystickUpdate();
}

bool joystick_read(int id, JoystickReading& reading) {
  OpenJoystick* open = find(id);
  if (!open) return false;
  reading = JoystickReading();
  if (open->controller) {
    read_controller(open->controller, reading);
  } else {
    read_plain(open->joystick, reading);
  }
  return true;
}

bool joystick_pad(int id, PadState& pad) {
  OpenJoystick* open = find(id);
  if (!open || !open->controller) return false;
  SDL_GameController* c = open->controller;
  auto held = [c](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(c, b) != 0; };
  pad.dpad_up = held(SDL_CONTROLLER_BUTTON_DPAD_UP);
  pad.dpad_down = held(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  pad.dpad_left = held(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
  pad.dpad_right = held(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  pad.start = held(SDL_CONTROLLER_BUTTON_START);
  pad.back = held(SDL_CONTROLLER_BUTTON_BACK);
  pad.guide = held(SDL_CONTROLLER_BUTTON_GUIDE);
  pad.left_x = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
  pad.left_y = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY);
  return true;
}

std::string joystick_name(int id) {
  OpenJoystick* open = find(id);
  if (!open) return std::string();
  const char* instance = SDL_JoystickName(open->joystick);
  const char* product = open->controller ? SDL_GameControllerName(open->controller) : nullptr;
  std::string name = instance ? instance : "";
  name += ", ";
  name += product ? product : (instance ? instance : "");
  return name;
}

bool joystick_force(int id, double duration_ms, double x, double y) {
  OpenJoystick* open = find(id);
  if (!open) return false;
  auto clamp_unit = [](double v) { return v > 1 ? 1.0 : v < -1 ? -1.0 : (v == v ? v : 0.0); };
  x = clamp_unit(x);
  y = clamp_unit(y);
  // The design's magnitude runs 0..10000 (twice that on a diagonal, which
  // the device limits).
  const double magnitude = std::min(10000.0, (x * x + y * y) * 5000.0);
  const double ms = duration_ms > 0 ? std::min(duration_ms, 4294967294.0) : 0.0;
  const Uint32 length = static_cast<Uint32>(ms);

  if (open->haptic && (SDL_HapticQuery(open->haptic) & SDL_HAPTIC_CONSTANT)) {
    SDL_HapticStopAll(open->haptic);
    if (open->effect >= 0) SDL_HapticDestroyEffect(open->haptic, open->effect);
    open->effect = -1;
    SDL_HapticEffect effect;
    SDL_memset(&effect, 0, sizeof effect);
    effect.type = SDL_HAPTIC_CONSTANT;
    effect.constant.direction.type = SDL_HAPTIC_CARTESIAN;
    effect.constant.direction.dir[0] = static_cast<Sint32>(x * 32767);
    effect.constant.direction.dir[1] = static_cast<Sint32>(y * 32767);
    effect.constant.length = length;
    effect.constant.level = static_cast<Sint16>(magnitude * 32767 / 10000);
    if (SDL_HapticQuery(open->haptic) & SDL_HAPTIC_GAIN) SDL_HapticSetGain(open->haptic, 100);
    open->effect = SDL_HapticNewEffect(open->haptic, &effect);
    if (open->effect >= 0 && SDL_HapticRunEffect(open->haptic, open->effect, 1) == 0) return true;
  }
  if (SDL_JoystickHasRumble(open->joystick) == SDL_TRUE) {
    // Rumble has no direction: both motors at the force's strength.
    const Uint16 level = static_cast<Uint16>(std::lround(magnitude * 65535 / 10000));
    return SDL_JoystickRumble(open->joystick, level, level, length) == 0;
  }
  return false;
}

}  // namespace quarvel::platform
