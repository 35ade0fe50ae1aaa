// Frames drawn straight into a shown window (scale 1 on a real X server)
// and read back: a game that never read a frame reads one for the first
// time (taken from what the X server shows of the window), then every
// frame after it (kept at each present); a grab from the screen and a
// sprite drawn from it. Prints one line and exits 0 when every read was right.
//
//   x11_present_probe [runtime options]
#include <cstdio>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"

namespace {

// Colours as the commands give them: 0x00BBGGRR.
double frame_colour(int frame) { return (frame * 0x0B0D07) & 0xFFFFFF; }

}  // namespace

int main(int argc, char** argv) {
  using namespace quarvel;
  set_command_line(argc, argv);
  ProjectSettings& s = project_settings();
  s.screen_width = 320;
  s.screen_height = 240;
  s.frame_rate = 60;
  start_runtime(kShowNormal, "Present Probe");
  reset_debug_position();
  auto_pause(0);
  int direct_frames = 0, wrong = 0, reads = 0;
  for (int frame = 1; frame <= 90; ++frame) {
    draw_rect(0, 0, 320, 240, frame_colour(frame));
    draw_rect(100, 100, 20, 20, 0x00FFFFu);
    if (frame == 70) {
      // From the frame being drawn, shown at once.
      grab_sprite(5, 95, 95, 30, 30);
      draw_sprite(5, 200, 20);
    }
    direct_frames += engine().gfx->drawing_into_window() ? 1 : 0;
    show_screen();
    if (frame < 40) continue;  // nothing read yet: frames go out uncopied
    ++reads;
    const bool right = get_pixel(5, 5) == frame_colour(frame) && get_pixel(110, 110) == 0x00FFFF &&
                       (frame != 70 || get_pixel(215, 35) == 0x00FFFF);
    if (!right) {
      std::printf("frame %d: read %.0f %.0f %.0f, drawn %.0f\n", frame, get_pixel(5, 5), get_pixel(110, 110),
                  get_pixel(215, 35), frame_colour(frame));
      ++wrong;
    }
  }
  std::printf("direct_frames=%d reads=%d wrong=%d\n", direct_frames, reads, wrong);
  end_program();
}
