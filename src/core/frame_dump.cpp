// Saving presented frames to files, for looking at headless runs:
//   QUARVEL_SAVE_FRAMES=DIR    every presented frame becomes DIR/frame-NNNNNN.png
//   QUARVEL_SAVE_EVERY=N       only every N-th frame (default 1)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/engine_state.h"
#include "quarvel/graphics.h"

namespace quarvel {

void save_frame_if_asked() {
  static const char* dir = std::getenv("QUARVEL_SAVE_FRAMES");
  static const long every = [] {
    const char* v = std::getenv("QUARVEL_SAVE_EVERY");
    long n = v ? std::strtol(v, nullptr, 10) : 1;
    return n > 0 ? n : 1;
  }();
  static long frame = 0;
  if (!dir || !*dir) return;
  const long n = frame++;
  if (n % every != 0) return;
  char name[64];
  std::snprintf(name, sizeof name, "/frame-%06ld.png", n);
  save_screen(DynString((std::string(dir) + name).c_str()));
}

}  // namespace quarvel
