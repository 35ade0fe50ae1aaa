// A small game for the record and replay tests. It runs a fixed number of
// frames; what it draws depends on the keys, the mouse, joystick 0 and the
// random numbers. Per frame it prints a hash of the presented surface, and
// the frame in which it first saw Space held.
//
//   replay_probe [runtime options] --frames N [--act] [--clock]
//
// --act plays a player: SDL events are pushed on some frames, as if keys
// were pressed and the mouse moved (a recording run has something to
// record). --clock also prints each frame's duration by the runtime's
// clock.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "platform/platform.h"

namespace {

using namespace quarvel;

uint64_t frame_hash() {
  OpenGLVurivari* gfx = engine().gfx;
  std::vector<uint8_t> rgba(static_cast<size_t>(gfx->surface_width) * gfx->surface_height * 4);
  gfx->read_presented(rgba.data(), gfx->surface_width, gfx->surface_height);
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (uint8_t b : rgba) h = (h ^ b) * 1099511628211ull;
  return h;
}

void act(int frame) {
  using namespace quarvel::platform;
  switch (frame) {
    case 5: test_push_key(205, true); break;
    case 12: test_push_key(205, false); break;
    case 14: test_push_mouse_motion(300, 200, 40, 20); break;
    case 16: test_push_key(57, true); break;
    case 17: test_push_key(57, false); test_push_mouse_button(1, true); break;
    case 20: test_push_mouse_button(1, false); test_push_key(208, true); break;
    case 26: test_push_key(208, false); test_push_mouse_wheel(2); break;
    default: break;
  }
}

}  // namespace

// The GL driver keeps allocations until the process ends.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

int main(int argc, char** argv) {
  int frames = 60;
  bool acting = false;
  bool clock = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) frames = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--act") == 0) acting = true;
    if (std::strcmp(argv[i], "--clock") == 0) clock = true;
  }
  set_command_line(argc, argv);
  ProjectSettings& s = project_settings();
  s.screen_width = 160;
  s.screen_height = 120;
  s.frame_rate = 120;
  start_runtime(kShowNormal, "Replay probe");
  reset_debug_position();

  double x = 80, y = 60;
  int space_frame = -1;
  for (int frame = 1; frame <= frames; ++frame) {
    if (acting) act(frame);
    if (key_state(57) && space_frame < 0) {
      space_frame = frame - 1;
      std::printf("space %d\n", space_frame);
    }
    x += key_state(205) - key_state(203) + joystick_x(0);
    y += key_state(208) - key_state(200) + mouse_axis(2) * 4;
    double mx, my, left, right;
    mouse_state(mx, my, left, right);
    draw_rect(0, 0, 160, 120, 0x101010);
    draw_rect(random_int(150), random_int(110), 10, 10, 0x3060C0);
    draw_rect(x, y, 6, 6, left ? 0x00FF00 : 0xFFFFFF);
    draw_rect(mx / 2, my / 2, 2, 2, 0x0000FF);
    show_screen();
    std::printf("frame %d %016llx\n", frame, static_cast<unsigned long long>(frame_hash()));
    if (clock) std::printf("duration %.6f\n", frame_duration_ms());
  }
  std::fflush(stdout);
  end_program();
}
