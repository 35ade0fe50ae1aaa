// The platform-information and command-line queries.
#include <cstdio>
#include <cstring>

#include "core/engine_state.h"
#include "platform/platform.h"
#include "quarvel/number_text.h"
#include "quarvel/runtime.h"

namespace quarvel {

namespace {
// Used when the system tells no machine id, and mixed into every id.
constexpr uint32_t kDefaultMachineId = 0x2F6B19C3u;
constexpr uint32_t kMachineIdMask = 0x5A3C96E1u;

DynString machine_id_text() {
  bool ok = false;
  uint32_t id = platform::machine_id(ok);
  if (!ok) id = kDefaultMachineId;
  id ^= kMachineIdMask;
  static const char kDigits[] = "0123456789ABCDEF";
  char out[9];
  for (int i = 0; i < 4; ++i) {
    unsigned byte = (id >> (8 * i)) & 0xFF;
    out[2 * i] = kDigits[byte >> 4];
    out[2 * i + 1] = kDigits[byte & 0xF];
  }
  out[8] = 0;
  return DynString(out);
}

DynString local_time_text() {
  platform::LocalTime t = platform::local_time();
  DynString out(t.year);
  out += "-";
  out += t.month;
  out += "-";
  out += t.day;
  out += " ";
  out += format_number(2, 0, t.hour);
  out += ":";
  out += format_number(2, 0, t.minute);
  out += ":";
  out += format_number(2, 0, t.second);
  return out;
}
}  // namespace

DynString platform_info(const DynString& key) {
  DynString upper = key.to_upper();
  const char* k = upper.c_str();
  if (*k == 0) return DynString("LINUX");
  if (std::strncmp(k, "GLEXT:", 6) == 0) {
    // The entry-point name as given, before the case mapping.
    const char* name = key.c_str() + 6;
    bool known = platform::video_ready() && *name && platform::gl_proc_address(name) != nullptr;
    return DynString(known ? "1" : "0");
  }
  if (std::strcmp(k, "ID") == 0) return machine_id_text();
  if (std::strcmp(k, "DEVICE") == 0) return DynString("DESKTOP");
  if (std::strcmp(k, "TIME") == 0) return local_time_text();
  return DynString("NO_DATA");
}

DynString get_command_line() { return engine().command_line; }

}  // namespace quarvel
