// Fuzz target for the recorded-input line format.
//
// Checks, for every input:
//  - at most 100 problems are listed, and the events come sorted by frame;
//  - every value lies in its documented range;
//  - each event's own line reads back as exactly that event.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "input/formats/input_script.h"

using namespace quarvel;

namespace {

#define FUZZ_CHECK(cond)                                                              \
  do {                                                                                \
    if (!(cond)) {                                                                    \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);  \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

bool in(int64_t v, int64_t low, int64_t high) { return v >= low && v <= high; }

void check_ranges(const ScriptEvent& e) {
  FUZZ_CHECK(in(e.frame, 0, kScriptLastFrame));
  FUZZ_CHECK(in(e.joystick, 0, kScriptJoysticks - 1));
  switch (e.op) {
    case ScriptOp::key_down:
    case ScriptOp::key_up: FUZZ_CHECK(in(e.a, 0, 255)); break;
    case ScriptOp::mouse:
    case ScriptOp::move:
      FUZZ_CHECK(in(e.a, -kScriptLargest, kScriptLargest) && in(e.b, -kScriptLargest, kScriptLargest));
      break;
    case ScriptOp::wheel: FUZZ_CHECK(in(e.a, -kScriptLargest, kScriptLargest)); break;
    case ScriptOp::button: FUZZ_CHECK(in(e.a, 1, 3) && in(e.b, 0, 1)); break;
    case ScriptOp::joystick_attach:
      FUZZ_CHECK(e.text.size() <= kScriptNameBytes);
      FUZZ_CHECK(script_joystick_name(e.text) == e.text);
      break;
    case ScriptOp::joystick_detach: break;
    case ScriptOp::joystick_axis: FUZZ_CHECK(in(e.a, 0, 7) && in(e.b, -32768, 32768)); break;
    case ScriptOp::joystick_pov: FUZZ_CHECK(in(e.a, 0, 3) && in(e.b, -1, 35999)); break;
    case ScriptOp::joystick_button: FUZZ_CHECK(in(e.a, 0, 31) && in(e.b, 0, 255)); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const InputScript s = parse_input_script(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(s.problems.size() <= 100);
  FUZZ_CHECK(s.end_frame >= -1);
  for (size_t i = 0; i < s.events.size(); ++i) {
    const ScriptEvent& e = s.events[i];
    if (i > 0) FUZZ_CHECK(s.events[i - 1].frame <= e.frame);
    check_ranges(e);
    const std::string line = format_script_line(e);
    const InputScript again = parse_input_script(line.data(), line.size());
    FUZZ_CHECK(again.problems.empty());
    FUZZ_CHECK(again.events.size() == 1);
    const ScriptEvent& r = again.events[0];
    FUZZ_CHECK(r.frame == e.frame && r.op == e.op && r.a == e.a && r.text == e.text);
    const bool uses_b = e.op != ScriptOp::key_down && e.op != ScriptOp::key_up && e.op != ScriptOp::wheel &&
                        e.op != ScriptOp::joystick_attach && e.op != ScriptOp::joystick_detach;
    if (uses_b) FUZZ_CHECK(r.b == e.b);
    if (e.op >= ScriptOp::joystick_attach) FUZZ_CHECK(r.joystick == e.joystick);
  }
  return 0;
}
