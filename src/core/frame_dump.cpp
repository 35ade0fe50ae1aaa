// Looking at headless runs:
//   QUARVEL_SAVE_FRAMES=DIR    every presented frame becomes DIR/frame-NNNNNN.png
//   QUARVEL_SAVE_EVERY=N       only every N-th frame (default 1)
//   QUARVEL_SAVE_FROM=A, QUARVEL_SAVE_TO=B
//                              only frames A..B (default all)
//   QUARVEL_TRACE=FILE         one line per sound, music and volume command,
//                              "frame N what", N the frame being drawn
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "quarvel/graphics.h"

namespace quarvel {

namespace {

long env_number(const char* name, long fallback) {
  const char* v = std::getenv(name);
  if (!v || !*v) return fallback;
  char* end = nullptr;
  const long n = std::strtol(v, &end, 10);
  return end && *end == '\0' ? n : fallback;
}

std::FILE* trace_file() {
  static std::FILE* file = [] {
    const char* name = std::getenv("QUARVEL_TRACE");
    return name && *name ? std::fopen(name, "w") : nullptr;
  }();
  return file;
}

}  // namespace

void save_frame_if_asked() {
  static const char* dir = std::getenv("QUARVEL_SAVE_FRAMES");
  static const long every = [] {
    const long n = env_number("QUARVEL_SAVE_EVERY", 1);
    return n > 0 ? n : 1;
  }();
  static const long from = env_number("QUARVEL_SAVE_FROM", 0);
  static const long to = env_number("QUARVEL_SAVE_TO", std::numeric_limits<long>::max());
  // The frame just presented; show_screen has counted it already.
  const long n = static_cast<long>(engine().frames_presented - 1);
  if (!dir || !*dir) return;
  // Every frame to be saved must be kept when it is presented.
  if (engine().gfx) engine().gfx->keep_presented_frames();
  if (n < from || n > to || n % every != 0) return;
  char name[64];
  std::snprintf(name, sizeof name, "/frame-%06ld.png", n);
  save_screen(DynString((std::string(dir) + name).c_str()));
}

bool tracing() { return trace_file() != nullptr; }

void trace_event(const std::string& what) {
  std::FILE* f = trace_file();
  if (!f) return;
  std::fprintf(f, "frame %lld %s\n", static_cast<long long>(engine().frames_presented), what.c_str());
  std::fflush(f);
}

}  // namespace quarvel
