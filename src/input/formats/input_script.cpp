#include "input/formats/input_script.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quarvel {
namespace {

constexpr size_t kMaxProblems = 100;

const char* const kAxisNames[8] = {"x", "y", "z", "rx", "ry", "rz", "slider1", "slider2"};
const char* const kButtonNames[4] = {nullptr, "left", "right", "middle"};

// Splits a line into words separated by spaces and tabs; `rest[i]` is the
// line from word i to its end (for names with spaces in them).
struct Words {
  std::vector<std::string> word;
  std::vector<size_t> start;
  std::string line;

  explicit Words(std::string text) : line(std::move(text)) {
    size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      if (i >= line.size()) break;
      size_t j = i;
      while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
      start.push_back(i);
      word.push_back(line.substr(i, j - i));
      i = j;
    }
  }
  size_t size() const { return word.size(); }
  std::string rest(size_t i) const {
    if (i >= start.size()) return std::string();
    std::string r = line.substr(start[i]);
    while (!r.empty() && (r.back() == ' ' || r.back() == '\t')) r.pop_back();
    return r;
  }
};

// A whole word as a decimal integer within [low, high].
bool read_integer(const std::string& word, int64_t low, int64_t high, int64_t& out) {
  if (word.empty() || word.size() > 24) return false;
  const char* begin = word.c_str();
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(begin, &end, 10);
  if (errno != 0 || end == begin || *end != 0) return false;
  if (v < low || v > high) return false;
  out = v;
  return true;
}

int name_index(const std::string& word, const char* const* names, int count) {
  for (int i = 0; i < count; ++i) {
    if (names[i] && word == names[i]) return i;
  }
  return -1;
}

// Reads the part of a "frame F ..." line after the frame number. Returns
// an empty text on success, else why the line was skipped.
std::string read_change(const Words& w, ScriptEvent& e) {
  const size_t n = w.size();
  const std::string& what = w.word[2];
  if (what == "down" || what == "up") {
    e.op = what == "down" ? ScriptOp::key_down : ScriptOp::key_up;
    if (n != 4 || !read_integer(w.word[3], 0, 255, e.a)) return "a key line needs a scan code 0..255";
    return std::string();
  }
  if (what == "mouse" || what == "move") {
    e.op = what == "mouse" ? ScriptOp::mouse : ScriptOp::move;
    if (n != 5 || !read_integer(w.word[3], -kScriptLargest, kScriptLargest, e.a) ||
        !read_integer(w.word[4], -kScriptLargest, kScriptLargest, e.b)) {
      return what + " needs two whole numbers within 1000000";
    }
    return std::string();
  }
  if (what == "wheel") {
    e.op = ScriptOp::wheel;
    if (n != 4 || !read_integer(w.word[3], -kScriptLargest, kScriptLargest, e.a)) {
      return "wheel needs a whole number within 1000000";
    }
    return std::string();
  }
  if (what == "button") {
    e.op = ScriptOp::button;
    if (n != 5) return "button needs a button and 1 or 0";
    int b = name_index(w.word[3], kButtonNames, 4);
    if (b < 0) {
      int64_t v = 0;
      if (!read_integer(w.word[3], 1, 3, v)) return "mouse buttons are left, right and middle";
      b = static_cast<int>(v);
    }
    e.a = b;
    if (!read_integer(w.word[4], 0, 1, e.b)) return "a mouse button is 1 (pressed) or 0 (released)";
    return std::string();
  }
  if (what == "joystick") {
    int64_t j = 0;
    if (n < 4 || !read_integer(w.word[3], 0, kScriptJoysticks - 1, j)) return "joysticks are numbered 0..9";
    e.joystick = static_cast<int>(j);
    if (n < 5) return "a joystick line needs attach, detach, axis, pov or button";
    const std::string& part = w.word[4];
    if (part == "attach") {
      e.op = ScriptOp::joystick_attach;
      e.text = script_joystick_name(w.rest(5));
      return std::string();
    }
    if (part == "detach") {
      e.op = ScriptOp::joystick_detach;
      return n == 5 ? std::string() : "detach takes nothing more";
    }
    if (n != 7) return "a joystick " + part + " line needs two more words";
    if (part == "axis") {
      e.op = ScriptOp::joystick_axis;
      int axis = name_index(w.word[5], kAxisNames, 8);
      if (axis < 0) return "axes are x, y, z, rx, ry, rz, slider1 and slider2";
      e.a = axis;
      if (!read_integer(w.word[6], -32768, 32768, e.b)) return "axis values run -32768..32768";
      return std::string();
    }
    if (part == "pov") {
      e.op = ScriptOp::joystick_pov;
      if (!read_integer(w.word[5], 0, 3, e.a)) return "point-of-view numbers run 0..3";
      if (!read_integer(w.word[6], -1, 35999, e.b)) return "point-of-view values run 0..35999, -1 centred";
      return std::string();
    }
    if (part == "button") {
      e.op = ScriptOp::joystick_button;
      if (!read_integer(w.word[5], 0, 31, e.a)) return "joystick buttons run 0..31";
      if (!read_integer(w.word[6], 0, 255, e.b)) return "button values run 0..255";
      return std::string();
    }
    return "unknown joystick change '" + part + "'";
  }
  return "unknown change '" + what + "'";
}

}  // namespace

std::string script_joystick_name(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  }
  auto trim = [](std::string& t) {
    size_t first = t.find_first_not_of(' ');
    if (first == std::string::npos) {
      t.clear();
      return;
    }
    t.erase(0, first);
    t.erase(t.find_last_not_of(' ') + 1);
  };
  trim(out);
  if (out.size() > kScriptNameBytes) {
    out.resize(kScriptNameBytes);
    trim(out);
  }
  return out;
}

const char* script_axis_name(int axis) { return axis >= 0 && axis < 8 ? kAxisNames[axis] : nullptr; }

InputScript parse_input_script(const char* data, size_t size) {
  InputScript script;
  if (!data) size = 0;
  auto problem = [&script](size_t line, const std::string& why) {
    if (script.problems.size() < kMaxProblems) {
      script.problems.push_back("line " + std::to_string(line) + ": " + why);
    }
  };
  size_t pos = 0;
  size_t line_number = 0;
  while (pos < size) {
    const char* nl = static_cast<const char*>(std::memchr(data + pos, '\n', size - pos));
    const size_t end = nl ? static_cast<size_t>(nl - data) : size;
    std::string line(data + pos, end - pos);
    pos = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find('\0') != std::string::npos) {
      problem(line_number, "a NUL byte");
      continue;
    }
    Words w(line);
    if (w.size() == 0 || w.word[0][0] == '#') continue;
    const std::string& head = w.word[0];
    if (head == "quarvel-input") {
      if (w.size() != 2 || w.word[1] != "1") problem(line_number, "only version 1 is known");
      continue;
    }
    if (head == "seed") {
      int64_t v = 0;
      // Any 32-bit value, written either way round.
      if (w.size() != 2 || !read_integer(w.word[1], -2147483648LL, 4294967295LL, v)) {
        problem(line_number, "seed needs a 32-bit whole number");
        continue;
      }
      script.has_seed = true;
      script.seed = static_cast<uint32_t>(v);
      continue;
    }
    if (head == "end") {
      int64_t v = 0;
      if (w.size() != 2 || !read_integer(w.word[1], 0, kScriptLastFrame, v)) {
        problem(line_number, "end needs a frame number");
        continue;
      }
      script.end_frame = v;
      continue;
    }
    if (head != "frame") {
      problem(line_number, "unknown line '" + head + "'");
      continue;
    }
    ScriptEvent e;
    if (w.size() < 3 || !read_integer(w.word[1], 0, kScriptLastFrame, e.frame)) {
      problem(line_number, "frame needs a frame number and a change");
      continue;
    }
    std::string why = read_change(w, e);
    if (!why.empty()) {
      problem(line_number, why);
      continue;
    }
    script.events.push_back(std::move(e));
  }
  std::stable_sort(script.events.begin(), script.events.end(),
                   [](const ScriptEvent& x, const ScriptEvent& y) { return x.frame < y.frame; });
  return script;
}

std::string format_script_line(const ScriptEvent& e) {
  std::string s = "frame " + std::to_string(e.frame) + " ";
  const std::string joystick = "joystick " + std::to_string(e.joystick) + " ";
  switch (e.op) {
    case ScriptOp::key_down: return s + "down " + std::to_string(e.a);
    case ScriptOp::key_up: return s + "up " + std::to_string(e.a);
    case ScriptOp::mouse: return s + "mouse " + std::to_string(e.a) + " " + std::to_string(e.b);
    case ScriptOp::move: return s + "move " + std::to_string(e.a) + " " + std::to_string(e.b);
    case ScriptOp::wheel: return s + "wheel " + std::to_string(e.a);
    case ScriptOp::button: {
      const char* name = e.a >= 1 && e.a <= 3 ? kButtonNames[e.a] : "left";
      return s + "button " + name + " " + std::to_string(e.b);
    }
    case ScriptOp::joystick_attach: return s + joystick + "attach " + script_joystick_name(e.text);
    case ScriptOp::joystick_detach: return s + joystick + "detach";
    case ScriptOp::joystick_axis: {
      const char* name = script_axis_name(static_cast<int>(e.a));
      return s + joystick + "axis " + (name ? name : "x") + " " + std::to_string(e.b);
    }
    case ScriptOp::joystick_pov: return s + joystick + "pov " + std::to_string(e.a) + " " + std::to_string(e.b);
    case ScriptOp::joystick_button:
      return s + joystick + "button " + std::to_string(e.a) + " " + std::to_string(e.b);
  }
  return s;
}

}  // namespace quarvel
