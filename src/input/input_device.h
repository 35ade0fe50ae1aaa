// The one input record of the run: the key state by scan code (PC set 1,
// extended keys + 128) and the mouse's per-frame freshness.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace quarvel {

class InputDevice {
 public:
  void input_reset();
  bool input_init(void* window, bool captured_mouse);
  void release();

  // Takes every pending key event into the key state.
  void poll_keyboard();
  // 1 while the key is held, from the last polled state (code modulo 256).
  bool key_down(int scan_code) const;
  void set_system_cursor(bool on);

  // Window-event side: key events and re-reading the whole state (after the
  // window gets the focus back, so that no key stays stuck).
  void apply_key_event(const platform::Event& event);
  void resync();

  uint8_t key_state[256] = {};
  uint8_t mouse_fresh = 1;
  uint8_t system_cursor = 1;
  void* window = nullptr;
};

}  // namespace quarvel
