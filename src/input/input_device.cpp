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
  clear_quick_presses();
}

void InputDevice::clear_quick_presses() {
  std::memset(key_tap_, 0, sizeof key_tap_);
  std::memset(mouse_tap_, 0, sizeof mouse_tap_);
  std::memset(joystick_tap_, 0, sizeof joystick_tap_);
  std::memset(key_taken_, 0, sizeof key_taken_);
  std::memset(mouse_taken_, 0, sizeof mouse_taken_);
  std::memset(joystick_taken_, 0, sizeof joystick_taken_);
  std::memset(key_pressed_, 0, sizeof key_pressed_);
  std::memset(mouse_pressed_, 0, sizeof mouse_pressed_);
  std::memset(key_handed_, 0, sizeof key_handed_);
  std::memset(key_swallowed_, 0, sizeof key_swallowed_);
  fullscreen_request_ = false;
  std::memset(live_.key_press, 0, sizeof live_.key_press);
  std::memset(live_.mouse_press, 0, sizeof live_.mouse_press);
  std::memset(live_.joystick_press, 0, sizeof live_.joystick_press);
  typed_first_ = typed_count_ = 0;
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
  bool return_pressed = false;
  for (int i = 0; i < 256; ++i) {
    const uint8_t held = live_.keyboard[i] | live_.pad_keys[i];
    if (live_.key_press[i]) {
      // A press this read is the first to learn of: when the key is up
      // again already, it reads as held until the next frame tick.
      live_.key_press[i] = 0;
      key_taken_[i] = 1;
      if (!held) key_tap_[i] = 1;
      if (i == 28) return_pressed = true;
    }
    key_state[i] = held | (key_tap_[i] ? 0x80 : 0);
    if (key_swallowed_[i]) {
      if (held) {
        key_state[i] = 0;
      } else {
        key_swallowed_[i] = 0;
      }
    }
  }
  if (return_pressed && live_.return_with_alt) {
    // Alt was held when Return went down, even if it is up again now.
    live_.return_with_alt = false;
    swallow_key(28);
    fullscreen_request_ = true;
  }
}

void InputDevice::check_fullscreen_chord() {
  // Alt+Enter in the record (recording, replay): Alt held or tapped in the
  // frame Return went down.
  if (!key_taken_[28] || !(key_down(56) || key_down(184))) return;
  swallow_key(28);
  fullscreen_request_ = true;
}

void InputDevice::swallow_key(int scan_code) {
  const int code = scan_code & 0xFF;
  key_state[code] = 0;
  key_tap_[code] = 0;
  key_pressed_[code] = 0;
  key_taken_[code] = 0;
  live_.key_press[code] = 0;
  key_swallowed_[code] = 1;
  // Its typed character goes too.
  size_t kept = 0;
  for (size_t n = 0; n < typed_count_; ++n) {
    const TypedKey t = typed_[(typed_first_ + n) % kTypedQueueLength];
    if (t.code != code) typed_[(typed_first_ + kept++) % kTypedQueueLength] = t;
  }
  typed_count_ = kept;
}

void InputDevice::poll_keyboard() {
  if (mode_ != Mode::live) return;  // the record changes once per frame
  drain_keyboard();
  update_pad_keys();
  take_live_keys();
}

void InputDevice::queue_typed(int code, bool shift) {
  if (typed_count_ == kTypedQueueLength) {
    // Nobody is reading characters: the oldest press goes.
    typed_first_ = (typed_first_ + 1) % kTypedQueueLength;
    --typed_count_;
  }
  TypedKey& t = typed_[(typed_first_ + typed_count_) % kTypedQueueLength];
  t.code = static_cast<uint8_t>(code);
  t.shift = shift;
  t.frame = frame_;
  ++typed_count_;
}

int InputDevice::read_key_char() {
  poll_keyboard();
  for (int code = 0; code < 256; ++code) {
    if (!key_down(code)) key_handed_[code] = 0;  // released: re-armed
  }
  // Presses in the order they came; one that is many frames old was typed
  // while nobody read characters and is dropped.
  while (typed_count_ > 0) {
    const TypedKey t = typed_[typed_first_];
    typed_first_ = (typed_first_ + 1) % kTypedQueueLength;
    --typed_count_;
    if (frame_ - t.frame > kTypedKeepFrames) continue;
    int c = key_char_of(t.code);
    if (c != 8 && c != 10 && c < 32) continue;
    if (c >= 'a' && c <= 'z' && t.shift) c -= 'a' - 'A';
    key_handed_[t.code] = 1;
    last_char_ = c;
    return c;
  }
  // Keys held without a press of their own (a game controller's keys, a key
  // held since before the run): the first one not yet handed out.
  int ch = 0;
  int from = -1;
  for (int code = 0; code < 255; ++code) {
    if (!key_down(code)) continue;
    const int c = key_char_of(code);
    if (c == 8 || c == 10 || c >= 32) {
      ch = c;
      from = code;
      break;
    }
  }
  if (ch >= 'a' && ch <= 'z' && (key_down(42) || key_down(54))) ch -= 'a' - 'A';
  if (from < 0) {
    last_char_ = 0;
    return 0;
  }
  if (key_handed_[from] || ch == last_char_) return 0;
  key_handed_[from] = 1;
  last_char_ = ch;
  return ch;
}

void InputDevice::resync() {
  platform::keyboard_snapshot(live_.keyboard);
  if (mode_ != Mode::live) return;
  // The held keys as they are now; presses not yet read stay for the next
  // read, and taps already shown stay until the frame ends.
  for (int i = 0; i < 256; ++i) {
    const uint8_t held = live_.keyboard[i] | live_.pad_keys[i];
    key_state[i] = key_swallowed_[i] ? 0 : held | (key_tap_[i] ? 0x80 : 0);
  }
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
  for (int b = 0; b < 3; ++b) {
    if (live_.mouse_press[b]) {
      live_.mouse_press[b] = 0;
      mouse_taken_[b] = 1;
      if (!live.buttons[b]) mouse_tap_[b] = 1;
    }
    mouse_.buttons[b] = live.buttons[b] | mouse_tap_[b];
  }
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
    std::memset(live_.joystick_press[slot], 0, sizeof live_.joystick_press[slot]);
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
    apply_joystick_taps(index, joysticks_[index].reading);
  }
  reading = joysticks_[index].reading;
}

void InputDevice::apply_joystick_taps(int index, JoystickReading& reading) {
  for (int b = 0; b < 32; ++b) {
    if (live_.joystick_press[index][b]) {
      live_.joystick_press[index][b] = 0;
      joystick_taken_[index][b] = 1;
      if (!reading.buttons[b]) joystick_tap_[index][b] = 1;
    }
    if (joystick_tap_[index][b]) reading.buttons[b] = 0x80;
  }
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

void InputDevice::begin_tick_taps() {
  // Taps have been shown for one frame: the record reads what is held.
  for (int i = 0; i < 256; ++i) {
    if (key_tap_[i]) {
      key_tap_[i] = 0;
      if (mode_ != Mode::live) key_state[i] = 0;
    }
  }
  for (int b = 0; b < 3; ++b) {
    if (mouse_tap_[b]) {
      mouse_tap_[b] = 0;
      if (mode_ != Mode::live) mouse_.buttons[b] = 0;
    }
  }
  for (int j = 0; j < kMaxJoysticks; ++j) {
    for (int b = 0; b < 32; ++b) {
      if (joystick_tap_[j][b]) {
        joystick_tap_[j][b] = 0;
        if (mode_ != Mode::live) joysticks_[j].reading.buttons[b] = 0;
      }
    }
  }
  if (mode_ != Mode::live) {
    // The script's lines of this tick say which presses begin.
    std::memset(key_taken_, 0, sizeof key_taken_);
    std::memset(mouse_taken_, 0, sizeof mouse_taken_);
    std::memset(joystick_taken_, 0, sizeof joystick_taken_);
  }
}

void InputDevice::end_tick_presses() {
  std::memcpy(key_pressed_, key_taken_, sizeof key_pressed_);
  std::memcpy(mouse_pressed_, mouse_taken_, sizeof mouse_pressed_);
  std::memset(key_taken_, 0, sizeof key_taken_);
  std::memset(mouse_taken_, 0, sizeof mouse_taken_);
  std::memset(joystick_taken_, 0, sizeof joystick_taken_);
}

void InputDevice::frame_tick() {
  begin_tick_taps();
  switch (mode_) {
    case Mode::live:
      poll_keyboard();
      drain_mouse();
      take_live_mouse();
      break;
    case Mode::recording: record_tick(); break;
    case Mode::replaying: replay_tick(); break;
  }
  if (mode_ != Mode::live) check_fullscreen_chord();
  end_tick_presses();
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
      const bool down = event.type == EventType::key_down;
      live_.keyboard[code] = down ? 0x80 : 0;
      // The key state itself changes when the keyboard is read; until then
      // the press is remembered, so that a quick tap still counts.
      if (down && !event.repeat) {
        live_.key_press[code] = 1;
        // Alt+Enter is told apart from Return when the keyboard is read, so
        // that no read of the game ever sees its Return.
        if (code == 28) live_.return_with_alt = live_.keyboard[56] || live_.keyboard[184];
        if (mode_ == Mode::live) queue_typed(code, live_.keyboard[42] || live_.keyboard[54]);
      }
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
        const bool down = event.type == EventType::mouse_button_down;
        live.buttons[event.button - 1] = down ? 1 : 0;
        if (down) live_.mouse_press[event.button - 1] = 1;
      }
      return;
    case EventType::joystick_button_down:
      for (int slot = 0; slot < kMaxJoysticks; ++slot) {
        if (live_.device_id[slot] != event.device) continue;
        if (event.button >= 0 && event.button < 32) live_.joystick_press[slot][event.button] = 1;
        int code = 0;
        switch (event.pad) {
          case platform::PadControl::up: code = PadKeyMap::kUp; break;
          case platform::PadControl::down: code = PadKeyMap::kDown; break;
          case platform::PadControl::left: code = PadKeyMap::kLeft; break;
          case platform::PadControl::right: code = PadKeyMap::kRight; break;
          case platform::PadControl::start: code = PadKeyMap::kStart; break;
          case platform::PadControl::back: code = PadKeyMap::kBack; break;
          case platform::PadControl::guide: code = PadKeyMap::kGuide; break;
          case platform::PadControl::none: break;
        }
        if (code) live_.key_press[code] = 1;
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
