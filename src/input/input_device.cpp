#include "input/input_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "quarvel/runtime.h"

namespace quarvel {

namespace {

const std::string kNoName;

int16_t clamp16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }

int32_t clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The character a held key gives on its own, before the Shift rule.
int key_char_of(int code) {
  switch (code) {
    case 14: return 8;             // Back
    case 28: case 156: return 10;  // both Enter keys
    // Control, both Shifts, Alt, Caps Lock, Num Lock, Applications.
    case 29: case 42: case 54: case 56: case 58: case 69: case 221: return 0;
    default: return platform::key_character(code);
  }
}

}  // namespace

InputDevice::~InputDevice() {
  if (record_file_) std::fclose(record_file_);
}

// ------------------------------------------------------------ life cycle ---

void InputDevice::input_reset() {
  if (record_file_) std::fclose(record_file_);
  record_file_ = nullptr;
  mode_ = Mode::live;
  script_ = InputScript();
  script_next_ = 0;
  frame_ = 0;
  mouse_x = mouse_y = 100;
  std::memset(key_state, 0, sizeof key_state);
  window = nullptr;
  system_cursor = 1;
  mouse_fresh = 1;
  last_dx = last_dy = last_wheel = 0;
  wait_x = wait_y = wait_left = wait_right = 0;
  mouse_ = MouseState();
  live_ = LiveState();
  for (JoystickSlot& slot : joysticks_) slot = JoystickSlot();
  last_char_ = 0;
}

uint32_t InputDevice::input_init(void* win, bool captured_mouse) {
  uint32_t result = kInputOk;
  window = win;
  // Joysticks first: without them the keyboard and the mouse still work,
  // as they come with the window.
  joysticks_ready_ = platform::joystick_start();
  if (!joysticks_ready_) {
    append_report_line("No DX_Input");
    result = kNoInputSystem;
  }
  int wx = 0, wy = 0;
  if (platform::mouse_position(wx, wy)) {
    pointer_to_surface(wx, wy, live_.mouse.pointer_x, live_.mouse.pointer_y);
    mouse_.pointer_x = mouse_x = live_.mouse.pointer_x;
    mouse_.pointer_y = mouse_y = live_.mouse.pointer_y;
  }
  if (captured_mouse) {
    system_cursor = 0;
    if (!platform::mouse_relative_mode(true)) {
      // Movement still comes from the pointer's motion events.
      append_report_line("No DX_Mouse");
      result = kNoCapturedMouse;
    }
  } else {
    system_cursor = 1;
  }
  if (joysticks_ready_) {
    const int devices = platform::joystick_device_count();
    for (int i = 0; i < devices; ++i) joystick_added(i);
  }
  return result;
}

void InputDevice::release() {
  stop_session();
  if (!system_cursor) platform::mouse_relative_mode(false);
  system_cursor = 1;
  close_joysticks();
  if (joysticks_ready_) platform::joystick_stop();
  joysticks_ready_ = false;
  std::memset(key_state, 0, sizeof key_state);
}

// -------------------------------------------------------------- keyboard ---

void InputDevice::drain_keyboard() {
  platform::drain_keyboard_events(
      [](const platform::Event& event, void* self) { static_cast<InputDevice*>(self)->apply_event(event); }, this);
}

void InputDevice::update_pad_keys() {
  std::memset(live_.pad_keys, 0, sizeof live_.pad_keys);
  if (!joysticks_ready_) return;
  platform::joystick_update();
  for (int id : live_.device_id) {
    platform::PadState pad;
    if (id < 0 || !platform::joystick_pad(id, pad)) continue;
    const int t = PadKeyMap::kStickThreshold;
    if (pad.dpad_up || pad.left_y <= -t) live_.pad_keys[PadKeyMap::kUp] = 0x80;
    if (pad.dpad_down || pad.left_y >= t) live_.pad_keys[PadKeyMap::kDown] = 0x80;
    if (pad.dpad_left || pad.left_x <= -t) live_.pad_keys[PadKeyMap::kLeft] = 0x80;
    if (pad.dpad_right || pad.left_x >= t) live_.pad_keys[PadKeyMap::kRight] = 0x80;
    if (pad.start) live_.pad_keys[PadKeyMap::kStart] = 0x80;
    if (pad.back) live_.pad_keys[PadKeyMap::kBack] = 0x80;
    if (pad.guide) live_.pad_keys[PadKeyMap::kGuide] = 0x80;
  }
}

void InputDevice::take_live_keys() {
  for (int i = 0; i < 256; ++i) key_state[i] = live_.keyboard[i] | live_.pad_keys[i];
}

void InputDevice::poll_keyboard() {
  if (mode_ != Mode::live) return;  // the record changes once per frame
  drain_keyboard();
  update_pad_keys();
  take_live_keys();
}

int InputDevice::read_key_char() {
  poll_keyboard();
  int ch = 0;
  for (int code = 0; code < 255; ++code) {
    if (!key_down(code)) continue;
    const int c = key_char_of(code);
    if (c == 8 || c == 10 || c >= 32) {
      ch = c;
      break;
    }
  }
  if (ch >= 'a' && ch <= 'z' && (key_down(42) || key_down(54))) ch -= 'a' - 'A';
  if (ch == last_char_) return 0;
  last_char_ = ch;
  return ch;
}

void InputDevice::resync() {
  platform::keyboard_snapshot(live_.keyboard);
  if (mode_ == Mode::live) take_live_keys();
}

// ----------------------------------------------------------------- mouse ---

void InputDevice::pointer_to_surface(int wx, int wy, int32_t& sx, int32_t& sy) const {
  double x = wx, y = wy;
  const OpenGLVurivari* gfx = engine().gfx;
  if (gfx) gfx->window_to_surface(wx, wy, x, y);
  sx = clamp32(static_cast<int64_t>(std::floor(std::clamp(x, -1.0e9, 1.0e9))));
  sy = clamp32(static_cast<int64_t>(std::floor(std::clamp(y, -1.0e9, 1.0e9))));
}

void InputDevice::drain_mouse() {
  platform::drain_mouse_events(
      [](const platform::Event& event, void* self) { static_cast<InputDevice*>(self)->apply_event(event); }, this);
}

void InputDevice::take_live_mouse() {
  MouseState& live = live_.mouse;
  mouse_.pointer_x = live.pointer_x;
  mouse_.pointer_y = live.pointer_y;
  mouse_.move_x += live.move_x;
  mouse_.move_y += live.move_y;
  mouse_.wheel += live.wheel;
  live.move_x = live.move_y = live.wheel = 0;
  std::memcpy(mouse_.buttons, live.buttons, sizeof mouse_.buttons);
}

int InputDevice::read_mouse(MouseReading& reading) {
  if (mode_ == Mode::live) {
    drain_mouse();
    take_live_mouse();
  }
  if (mouse_fresh) {
    mouse_fresh = 0;
    const int64_t wheel = mouse_.wheel;
    last_wheel = wheel > 0 ? 1 : wheel < 0 ? -1 : 0;
    int64_t dx, dy;
    if (system_cursor) {
      dx = static_cast<int64_t>(mouse_.pointer_x) - mouse_x;
      dy = static_cast<int64_t>(mouse_.pointer_y) - mouse_y;
      mouse_x = mouse_.pointer_x;
      mouse_y = mouse_.pointer_y;
    } else {
      dx = clamp16(mouse_.move_x);
      dy = clamp16(mouse_.move_y);
      mouse_x = clamp32(static_cast<int64_t>(mouse_x) + dx);
      mouse_y = clamp32(static_cast<int64_t>(mouse_y) + dy);
    }
    mouse_.move_x = mouse_.move_y = mouse_.wheel = 0;
    last_dx = clamp16(dx);
    last_dy = clamp16(dy);
  }
  reading.dx = last_dx;
  reading.dy = last_dy;
  reading.wheel = last_wheel;
  reading.left = mouse_.buttons[0];
  reading.right = mouse_.buttons[1];
  reading.middle = mouse_.buttons[2];
  return 1;
}

bool InputDevice::any_mouse_button() {
  MouseReading r;
  read_mouse(r);
  return r.left != 0 || r.right != 0 || r.middle != 0;
}

void InputDevice::set_system_cursor(bool on) {
  if ((system_cursor != 0) == on) return;
  system_cursor = on ? 1 : 0;
  if (on) {
    platform::mouse_relative_mode(false);
    double wx = mouse_x, wy = mouse_y;
    if (engine().gfx) engine().gfx->surface_to_window(mouse_x + 0.5, mouse_y + 0.5, wx, wy);
    platform::mouse_warp(static_cast<int>(wx), static_cast<int>(wy));
    platform::cursor_arrow();
  } else if (!platform::mouse_relative_mode(true)) {
    // Movement still comes from the motion events; the pointer is hidden.
    platform::cursor_show(false);
  }
}

// ------------------------------------------------------------- joysticks ---

void InputDevice::joystick_added(int device_index) {
  const int id = platform::joystick_device_id(device_index);
  if (id < 0) return;
  for (int known : live_.device_id) {
    if (known == id) return;
  }
  int slot = 0;
  while (slot < kMaxJoysticks && live_.device_id[slot] >= 0) ++slot;
  if (slot == kMaxJoysticks) return;
  int opened = -1;
  if (!platform::joystick_open(device_index, opened)) return;  // skipped
  live_.device_id[slot] = opened;
  live_.name[slot] = script_joystick_name(platform::joystick_name(opened));
  if (mode_ == Mode::live) {
    joysticks_[slot] = JoystickSlot();
    joysticks_[slot].present = true;
    joysticks_[slot].name = live_.name[slot];
  }
}

void InputDevice::joystick_removed(int id) {
  for (int slot = 0; slot < kMaxJoysticks; ++slot) {
    if (live_.device_id[slot] != id) continue;
    platform::joystick_close(id);
    live_.device_id[slot] = -1;
    live_.name[slot].clear();
    if (mode_ == Mode::live) joysticks_[slot] = JoystickSlot();
  }
}

void InputDevice::close_joysticks() {
  for (int slot = 0; slot < kMaxJoysticks; ++slot) {
    if (live_.device_id[slot] >= 0) platform::joystick_close(live_.device_id[slot]);
    live_.device_id[slot] = -1;
    live_.name[slot].clear();
    joysticks_[slot] = JoystickSlot();
  }
}

void InputDevice::read_live_joystick(int index, JoystickReading& reading) {
  reading = JoystickReading();
  if (index < 0 || index >= kMaxJoysticks || live_.device_id[index] < 0) return;
  platform::joystick_read(live_.device_id[index], reading);
}

void InputDevice::read_joystick(int index, JoystickReading& reading) {
  reading = JoystickReading();
  if (index < 0 || index >= kMaxJoysticks || !joysticks_[index].present) return;
  if (mode_ == Mode::live) {
    platform::joystick_update();
    read_live_joystick(index, joysticks_[index].reading);
  }
  reading = joysticks_[index].reading;
}

int InputDevice::joystick_count() const {
  for (int i = kMaxJoysticks; i > 0; --i) {
    if (joysticks_[i - 1].present) return i;
  }
  return 0;
}

const std::string& InputDevice::joystick_name(int index) const {
  if (index < 0 || index >= kMaxJoysticks || !joysticks_[index].present) return kNoName;
  return joysticks_[index].name;
}

void InputDevice::joystick_force(int index, double duration_ms, double x, double y) {
  // Force is output: it goes to the device at that index, replay or not.
  if (index < 0 || index >= kMaxJoysticks || live_.device_id[index] < 0) return;
  platform::joystick_force(live_.device_id[index], duration_ms, x, y);
}

// ------------------------------------------------------ frame and window ---

void InputDevice::frame_tick() {
  switch (mode_) {
    case Mode::live: poll_keyboard(); break;
    case Mode::recording: record_tick(); break;
    case Mode::replaying: replay_tick(); break;
  }
  mouse_fresh = 1;
  ++frame_;
}

void InputDevice::apply_event(const platform::Event& event) {
  using platform::EventType;
  MouseState& live = live_.mouse;
  switch (event.type) {
    case EventType::key_down:
    case EventType::key_up: {
      const int code = event.scan_code;
      if (code <= 0 || code > 255) return;
      live_.keyboard[code] = event.type == EventType::key_down ? 0x80 : 0;
      if (mode_ == Mode::live) key_state[code] = live_.keyboard[code] | live_.pad_keys[code];
      return;
    }
    case EventType::mouse_motion: {
      pointer_to_surface(event.x, event.y, live.pointer_x, live.pointer_y);
      // Relative movement in surface pixels; fractions are carried over so
      // that slow movement at a large window scale is not lost.
      double x0 = 0, y0 = 0, x1 = event.xrel, y1 = event.yrel;
      if (const OpenGLVurivari* gfx = engine().gfx) {
        gfx->window_to_surface(0, 0, x0, y0);
        gfx->window_to_surface(event.xrel, event.yrel, x1, y1);
      }
      live_.carry_x += x1 - x0;
      live_.carry_y += y1 - y0;
      const double whole_x = std::trunc(live_.carry_x), whole_y = std::trunc(live_.carry_y);
      live_.carry_x -= whole_x;
      live_.carry_y -= whole_y;
      live.move_x = std::clamp<int64_t>(live.move_x + static_cast<int64_t>(whole_x), -kScriptLargest, kScriptLargest);
      live.move_y = std::clamp<int64_t>(live.move_y + static_cast<int64_t>(whole_y), -kScriptLargest, kScriptLargest);
      return;
    }
    case EventType::mouse_button_down:
    case EventType::mouse_button_up:
      if (event.button >= 1 && event.button <= 3) {
        live.buttons[event.button - 1] = event.type == EventType::mouse_button_down ? 1 : 0;
      }
      return;
    case EventType::mouse_wheel:
      live.wheel = std::clamp<int64_t>(live.wheel + event.wheel, -kScriptLargest, kScriptLargest);
      return;
    case EventType::joystick_added:
      if (joysticks_ready_) joystick_added(event.device);
      return;
    case EventType::joystick_removed:
      joystick_removed(event.device);
      return;
    default:
      return;
  }
}

}  // namespace quarvel
