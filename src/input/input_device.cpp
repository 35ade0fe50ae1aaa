#include "input/input_device.h"

#include <cstring>

namespace quarvel {

void InputDevice::input_reset() {
  std::memset(key_state, 0, sizeof key_state);
  mouse_fresh = 1;
  system_cursor = 1;
  window = nullptr;
}

bool InputDevice::input_init(void* win, bool captured_mouse) {
  window = win;
  // The mode is chosen here; the pointer over the window is hidden by
  // start-up and shown again only when a game switches to system mode.
  system_cursor = captured_mouse ? 0 : 1;
  return true;
}

void InputDevice::release() { std::memset(key_state, 0, sizeof key_state); }

void InputDevice::poll_keyboard() {
  platform::drain_keyboard_events(
      [](const platform::Event& event, void* self) { static_cast<InputDevice*>(self)->apply_key_event(event); },
      this);
}

bool InputDevice::key_down(int scan_code) const { return (key_state[scan_code & 0xFF] & 0x80) != 0; }

void InputDevice::set_system_cursor(bool on) {
  if ((system_cursor != 0) == on) return;
  system_cursor = on ? 1 : 0;
  platform::cursor_show(on);
}

void InputDevice::apply_key_event(const platform::Event& event) {
  if (event.scan_code <= 0 || event.scan_code > 255) return;
  key_state[event.scan_code] = event.type == platform::EventType::key_down ? 0x80 : 0;
}

void InputDevice::resync() { platform::keyboard_snapshot(key_state); }

}  // namespace quarvel
