// Recording and replaying the input of a run (--record, --replay, --seed).
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "core/engine_state.h"
#include "input/input_device.h"
#include "quarvel/maths.h"
#include "quarvel/runtime.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

// A joystick as it reads right after it is attached: nothing held, axes
// centred, every point of view centred.
JoystickReading attached_reading() {
  JoystickReading r;
  for (uint32_t& pov : r.pov) pov = 0xFFFFFFFFu;
  return r;
}

int32_t* axis_field(JoystickReading& r, int axis) {
  int32_t* fields[8] = {&r.x, &r.y, &r.z, &r.rx, &r.ry, &r.rz, &r.slider[0], &r.slider[1]};
  return axis >= 0 && axis < 8 ? fields[axis] : nullptr;
}

int64_t pov_value(uint32_t pov) { return pov < 36000 ? static_cast<int64_t>(pov) : -1; }

// The lines that bring one on/off control of the record from what it shows
// (`shown`) to what the device holds (`held`), given whether a press came
// in between: a press that is already over is written as down and up in the
// same frame, which the record shows as held for that frame.
template <class Line>
void write_changes(bool shown, bool held, bool pressed, Line line) {
  if (shown && (pressed || !held)) line(false);
  if (pressed || (!shown && held)) line(true);
  if (pressed && !held) line(false);
}

}  // namespace

void InputDevice::script_key(int code, bool down) {
  if (code < 0 || code > 255) return;
  if (key_swallowed_[code]) {
    // Taken by the runtime until it is released.
    if (!down) key_swallowed_[code] = 0;
    return;
  }
  if (down) {
    key_state[code] = 0x80;
    key_taken_[code] = 1;
    queue_typed(code, (key_state[42] | key_state[54]) != 0);
  } else if (key_taken_[code]) {
    key_tap_[code] = 1;  // pressed and let go within one frame
  } else {
    key_state[code] = 0;
  }
}

void InputDevice::script_button(int button, bool down) {
  if (button < 1 || button > 3) return;
  const int b = button - 1;
  if (down) {
    mouse_.buttons[b] = 1;
    mouse_taken_[b] = 1;
  } else if (mouse_taken_[b]) {
    mouse_tap_[b] = 1;
  } else {
    mouse_.buttons[b] = 0;
  }
}

void InputDevice::script_joystick_button(int joystick, int button, uint8_t value) {
  JoystickSlot& slot = joysticks_[joystick];
  if (value) {
    slot.reading.buttons[button] = value;
    joystick_taken_[joystick][button] = 1;
  } else if (joystick_taken_[joystick][button]) {
    joystick_tap_[joystick][button] = 1;
  } else {
    slot.reading.buttons[button] = 0;
  }
}

void InputDevice::record_line(ScriptOp op, int joystick, int64_t a, int64_t b, const std::string& text) {
  ScriptEvent e;
  e.frame = frame_;
  e.op = op;
  e.joystick = joystick;
  e.a = a;
  e.b = b;
  e.text = text;
  if (record_file_) {
    std::string line = format_script_line(e);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), record_file_);
  }
  apply_script_event(e);
}

void InputDevice::apply_script_event(const ScriptEvent& e) {
  JoystickSlot* slot = e.joystick >= 0 && e.joystick < kMaxJoysticks ? &joysticks_[e.joystick] : nullptr;
  switch (e.op) {
    case ScriptOp::key_down:
    case ScriptOp::key_up:
      if (e.a >= 0 && e.a <= 255) script_key(static_cast<int>(e.a), e.op == ScriptOp::key_down);
      break;
    case ScriptOp::mouse:
      mouse_.pointer_x = static_cast<int32_t>(std::clamp<int64_t>(e.a, -kScriptLargest, kScriptLargest));
      mouse_.pointer_y = static_cast<int32_t>(std::clamp<int64_t>(e.b, -kScriptLargest, kScriptLargest));
      break;
    case ScriptOp::move:
      mouse_.move_x = std::clamp<int64_t>(mouse_.move_x + e.a, -kScriptLargest, kScriptLargest);
      mouse_.move_y = std::clamp<int64_t>(mouse_.move_y + e.b, -kScriptLargest, kScriptLargest);
      break;
    case ScriptOp::wheel:
      mouse_.wheel = std::clamp<int64_t>(mouse_.wheel + e.a, -kScriptLargest, kScriptLargest);
      break;
    case ScriptOp::button:
      if (e.a >= 1 && e.a <= 3) script_button(static_cast<int>(e.a), e.b != 0);
      break;
    case ScriptOp::joystick_attach:
      if (!slot) break;
      slot->present = true;
      slot->name = script_joystick_name(e.text);
      slot->reading = attached_reading();
      break;
    case ScriptOp::joystick_detach:
      if (slot) *slot = JoystickSlot();
      break;
    case ScriptOp::joystick_axis:
      if (slot && slot->present) {
        if (int32_t* field = axis_field(slot->reading, static_cast<int>(e.a))) {
          *field = static_cast<int32_t>(std::clamp<int64_t>(e.b, -32768, 32768));
        }
      }
      break;
    case ScriptOp::joystick_pov:
      if (slot && slot->present && e.a >= 0 && e.a < 4) {
        slot->reading.pov[e.a] = e.b >= 0 && e.b < 36000 ? static_cast<uint32_t>(e.b) : 0xFFFFFFFFu;
      }
      break;
    case ScriptOp::joystick_button:
      if (slot && slot->present && e.a >= 0 && e.a < 32) {
        script_joystick_button(e.joystick, static_cast<int>(e.a), static_cast<uint8_t>(std::clamp<int64_t>(e.b, 0, 255)));
      }
      break;
  }
}

void InputDevice::record_tick() {
  drain_keyboard();
  drain_mouse();
  update_pad_keys();

  for (int code = 0; code < 256; ++code) {
    const bool held = (live_.keyboard[code] | live_.pad_keys[code]) != 0;
    const bool pressed = live_.key_press[code] != 0;
    live_.key_press[code] = 0;
    if (key_swallowed_[code]) {
      // The runtime has the key until it is released.
      if (!held) record_line(ScriptOp::key_up, 0, code, 0);
      continue;
    }
    write_changes(key_state[code] != 0, held, pressed, [&](bool down) {
      record_line(down ? ScriptOp::key_down : ScriptOp::key_up, 0, code, 0);
    });
  }

  MouseState& live = live_.mouse;
  if (live.pointer_x != mouse_.pointer_x || live.pointer_y != mouse_.pointer_y) {
    record_line(ScriptOp::mouse, 0, live.pointer_x, live.pointer_y);
  }
  if (live.move_x != 0 || live.move_y != 0) record_line(ScriptOp::move, 0, live.move_x, live.move_y);
  if (live.wheel != 0) record_line(ScriptOp::wheel, 0, live.wheel, 0);
  live.move_x = live.move_y = live.wheel = 0;
  for (int b = 0; b < 3; ++b) {
    const bool pressed = live_.mouse_press[b] != 0;
    live_.mouse_press[b] = 0;
    write_changes(mouse_.buttons[b] != 0, live.buttons[b] != 0, pressed,
                  [&](bool down) { record_line(ScriptOp::button, 0, b + 1, down ? 1 : 0); });
  }

  if (joysticks_ready_) platform::joystick_update();
  for (int j = 0; j < kMaxJoysticks; ++j) {
    JoystickSlot& slot = joysticks_[j];
    const bool present = live_.device_id[j] >= 0;
    if (!present) {
      if (slot.present) record_line(ScriptOp::joystick_detach, j, 0, 0);
      continue;
    }
    if (!slot.present || slot.name != live_.name[j]) record_line(ScriptOp::joystick_attach, j, 0, 0, live_.name[j]);
    JoystickReading now;
    read_live_joystick(j, now);
    for (int axis = 0; axis < 8; ++axis) {
      const int32_t v = *axis_field(now, axis);
      if (v != *axis_field(slot.reading, axis)) record_line(ScriptOp::joystick_axis, j, axis, v);
    }
    for (int p = 0; p < 4; ++p) {
      if (pov_value(now.pov[p]) != pov_value(slot.reading.pov[p])) {
        record_line(ScriptOp::joystick_pov, j, p, pov_value(now.pov[p]));
      }
    }
    for (int b = 0; b < 32; ++b) {
      const bool pressed = live_.joystick_press[j][b] != 0;
      live_.joystick_press[j][b] = 0;
      const uint8_t value = now.buttons[b] ? now.buttons[b] : 0x80;
      if (now.buttons[b] && slot.reading.buttons[b] && now.buttons[b] != slot.reading.buttons[b] && !pressed) {
        record_line(ScriptOp::joystick_button, j, b, now.buttons[b]);
        continue;
      }
      write_changes(slot.reading.buttons[b] != 0, now.buttons[b] != 0, pressed,
                    [&](bool down) { record_line(ScriptOp::joystick_button, j, b, down ? value : 0); });
    }
  }
  if (record_file_) std::fflush(record_file_);
}

void InputDevice::replay_tick() {
  // The devices are drained so that nothing piles up, and otherwise left
  // alone: the script is the only input.
  drain_keyboard();
  drain_mouse();
  live_.mouse.move_x = live_.mouse.move_y = live_.mouse.wheel = 0;
  std::memset(live_.key_press, 0, sizeof live_.key_press);
  std::memset(live_.mouse_press, 0, sizeof live_.mouse_press);
  std::memset(live_.joystick_press, 0, sizeof live_.joystick_press);
  while (script_next_ < script_.events.size() && script_.events[script_next_].frame <= frame_) {
    const ScriptEvent& e = script_.events[script_next_++];
    if (record_file_) {
      // A replay being recorded again: the same changes, in this run's
      // frames.
      record_line(e.op, e.joystick, e.a, e.b, e.text);
    } else {
      apply_script_event(e);
    }
  }
  if (record_file_) std::fflush(record_file_);
}

namespace {
// What the record holds when a session starts, so that a replay starts
// from exactly where its recording started.
template <class Device>
void reset_for_session(Device& d) {
  std::memset(d.key_state, 0, sizeof d.key_state);
  d.mouse_x = d.mouse_y = 100;
  d.mouse_fresh = 1;
  d.last_dx = d.last_dy = d.last_wheel = 0;
  d.wait_x = d.wait_y = d.wait_left = d.wait_right = 0;
}
}  // namespace

void InputDevice::start_recording(std::FILE* file, uint32_t seed) {
  if (!file) return;
  if (mode_ == Mode::replaying) {
    // Recording a replay: the script stays the input.
    if (record_file_) std::fclose(record_file_);
  } else {
    stop_session();
    reset_for_session(*this);
    mouse_ = MouseState();
    for (JoystickSlot& slot : joysticks_) slot = JoystickSlot();
    live_.mouse.move_x = live_.mouse.move_y = live_.mouse.wheel = 0;
    live_.carry_x = live_.carry_y = 0;
    last_char_ = 0;
    clear_quick_presses();
    frame_ = 0;
    mode_ = Mode::recording;
  }
  record_file_ = file;
  std::string head = "quarvel-input 1\nseed " + std::to_string(seed) + "\n";
  std::fwrite(head.data(), 1, head.size(), record_file_);
  std::fflush(record_file_);
}

void InputDevice::start_replay(InputScript script) {
  stop_session();
  reset_for_session(*this);
  mouse_ = MouseState();
  for (JoystickSlot& slot : joysticks_) slot = JoystickSlot();
  last_char_ = 0;
  clear_quick_presses();
  script_ = std::move(script);
  script_next_ = 0;
  frame_ = 0;
  mode_ = Mode::replaying;
}

void InputDevice::stop_session() {
  if (record_file_) {
    std::string tail = "end " + std::to_string(frame_) + "\n";
    std::fwrite(tail.data(), 1, tail.size(), record_file_);
    std::fclose(record_file_);
    record_file_ = nullptr;
  }
  if (mode_ == Mode::live) return;
  mode_ = Mode::live;
  script_ = InputScript();
  script_next_ = 0;
  // The devices feed the record again: joysticks as they are now.
  for (int j = 0; j < kMaxJoysticks; ++j) {
    joysticks_[j] = JoystickSlot();
    if (live_.device_id[j] >= 0) {
      joysticks_[j].present = true;
      joysticks_[j].name = live_.name[j];
    }
  }
}

bool start_input_session(std::string& error) {
  EngineState& e = engine();
  InputDevice* input = e.input;
  if (!input) return true;
  bool fixed = false;
  uint32_t seed = 0;
  if (e.seed_given) {
    // The low 32 bits of the whole-number part, as seed_random takes it.
    seed = static_cast<uint32_t>(static_cast<uint64_t>(truncate_to_int64(e.seed_value)));
    fixed = true;
  }
  if (!e.replay_file.empty()) {
    std::ifstream in(e.replay_file, std::ios::binary);
    if (!in) {
      error = "cannot read the replay file " + e.replay_file + ": " + std::strerror(errno);
      return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    InputScript script = parse_input_script(text.data(), text.size());
    for (const std::string& problem : script.problems) {
      append_report_line(("Replay " + e.replay_file + ", " + problem).c_str());
    }
    // A replay always repeats its run: the file's seed unless --seed says
    // otherwise, 0 when neither names one.
    if (!fixed) seed = script.has_seed ? script.seed : 0;
    fixed = true;
    input->start_replay(std::move(script));
  }
  if (!fixed && !e.record_file.empty()) {
    // The seed start-up drew from the clock, made certain.
    seed = static_cast<uint32_t>(e.random_seed);
    fixed = true;
  }
  if (fixed) {
    seed_random(static_cast<double>(seed));
    e.random_seed = static_cast<int32_t>(seed);
  }
  if (!e.record_file.empty()) {
    std::FILE* file = std::fopen(e.record_file.c_str(), "wb");
    if (!file) {
      error = "cannot write the recording " + e.record_file + ": " + std::strerror(errno);
      return false;
    }
    input->start_recording(file, seed);
  }
  return true;
}

}  // namespace quarvel
