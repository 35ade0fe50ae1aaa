// The text form of recorded input: one change per line, tagged with the
// frame it belongs to, so that a person can read and write it by hand.
//
//   quarvel-input 1
//   seed 1234
//   frame 120 down 205
//   frame 140 up 205
//   frame 141 mouse 160 120
//   frame 141 move 3 -2
//   frame 141 wheel 1
//   frame 141 button left 1
//   frame 150 joystick 0 attach Pad, Pad
//   frame 150 joystick 0 axis x 32768
//   frame 150 joystick 0 pov 0 9000
//   frame 150 joystick 0 button 3 128
//   frame 160 joystick 0 detach
//   end 400
//
// Blank lines and lines starting with '#' are skipped. Lines that cannot be
// read are skipped as well and listed as problems. Portable: no SDL, GL or
// OS headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarvel {

enum class ScriptOp : uint8_t {
  key_down,         // a: scan code 0..255
  key_up,
  mouse,            // a, b: pointer position in surface pixels
  move,             // a, b: relative movement in surface pixels
  wheel,            // a: clicks, positive away from the user
  button,           // a: 1 left, 2 right, 3 middle; b: 1 pressed, 0 released
  joystick_attach,  // text: the joystick's name
  joystick_detach,
  joystick_axis,    // a: 0..7 (x y z rx ry rz slider1 slider2); b: -32768..32768
  joystick_pov,     // a: 0..3; b: hundredths of a degree, -1 centred
  joystick_button,  // a: 0..31; b: 0..255
};

struct ScriptEvent {
  int64_t frame = 0;
  ScriptOp op = ScriptOp::key_down;
  int joystick = 0;  // 0..9 for the joystick lines
  int64_t a = 0;
  int64_t b = 0;
  std::string text;
};

struct InputScript {
  bool has_seed = false;
  uint32_t seed = 0;
  int64_t end_frame = -1;  // -1: no end line
  // Sorted by frame; lines of one frame keep their order in the file.
  std::vector<ScriptEvent> events;
  // "line N: why" for each line that was skipped (the first 100).
  std::vector<std::string> problems;
};

constexpr int kScriptJoysticks = 10;
constexpr int64_t kScriptLargest = 1000000;      // positions, movement, wheel
constexpr int64_t kScriptLastFrame = 1LL << 50;  // far beyond any run
constexpr size_t kScriptNameBytes = 521;         // longest joystick name

InputScript parse_input_script(const char* data, size_t size);

// The line for one event, without the line end: "frame 12 down 205".
std::string format_script_line(const ScriptEvent& event);

// A joystick name as a script line holds it: control characters become
// spaces, no spaces at either end, at most 521 bytes. Names are kept in this
// form everywhere, so that a replay gives the names of the recorded run.
std::string script_joystick_name(const std::string& name);

// "x", "y", "z", "rx", "ry", "rz", "slider1", "slider2"; nullptr outside 0..7.
const char* script_axis_name(int axis);

}  // namespace quarvel
