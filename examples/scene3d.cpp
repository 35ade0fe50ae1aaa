// A small 3D scene: a grid floor, axes, a ring of billboard stones in fog,
// lit by a coloured light, floating text and a 2D label that follows a
// point of the scene. The camera circles the origin. Escape ends it; so
// does the frame count given as the first argument (for headless runs).
#include <quarvel/quarvel.h>

#include <cstdlib>

using namespace quarvel;

namespace {

// A shaded stone drawn with 2D primitives and grabbed into a sprite slot.
// Black is its transparent colour: billboards sample bilinearly, and the
// edge then fades into black rather than into the usual key colour.
void make_stone_sprite(double slot) {
  set_transparency(0);
  draw_rect(0, 0, 32, 32, 0);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const double dx = x - 15.5, dy = y - 15.5;
      const double r2 = dx * dx + dy * dy;
      if (r2 > 15 * 15) continue;
      // Lighter towards the upper left.
      const double shade = 0.55 + 0.45 * (1 - (dx + dy + 22) / 44);
      const int grey = static_cast<int>(90 + 120 * shade);
      const int colour = grey | (grey * 9 / 10) << 8 | (grey * 8 / 10) << 16;
      set_pixel(x, y, colour);
    }
  }
  grab_sprite(slot, 0, 0, 32, 32);
  set_transparency(0x8000FF);
}

// Frames to run before ending (0: until Escape), from the command line.
long frames = 0;

void scene() {
  make_stone_sprite(1);
  show_screen();
  for (long frame = 0; frames <= 0 || frame < frames; ++frame) {
    if (key_state(1) != 0) break;
    const double angle = frame * 0.5;
    start_3d_view(1, 200, 60);
    set_3d_fog(0x201010, 0, 20, 70);
    // A warm headlight: all six coordinates 0 make a directional light from
    // the viewer (+z before set_camera). The cut-off must not be 0, which
    // switches a light off; up to 90 makes a spot, 180 a directional light
    // along (dx, dy, dz), anything else a lamp at (x, y, z).
    set_3d_light(0, 0xFFE0C0, 0, 0, 0, 0, 0, 0, 1);
    set_camera(sin_degrees(angle) * 40, 18, cos_degrees(angle) * 40, 0, 0, 0);
    // The lit stones first: the markers below leave colour tracking off,
    // and lit drawing after them would keep the last marker's colour.
    for (int i = 0; i < 12; ++i) {
      const double a = i * 30 + frame;
      draw_billboard_sprite(1, sin_degrees(a) * 16, 2 + sin_degrees(frame * 3 + i * 40), cos_degrees(a) * 16, 0.15);
    }
    for (int i = -20; i <= 20; i += 4) {
      draw_3d_line(i, 0, -20, i, 0, 20, 1, 0x406040);
      draw_3d_line(-20, 0, i, 20, 0, i, 1, 0x406040);
    }
    draw_3d_axes(0, 0.05, 0);
    print_text_3d("QUARVEL", -12, 10, 0, 0.4);
    double sx = 0, sy = 0, depth = 0;
    world_to_screen(0, 0, 0, sx, sy, depth);
    // Back to 2D drawing for a label at the origin's place on the screen.
    set_viewport(0, 0, 320, 240);
    print_text("origin", sx + 4, sy + 4);
    show_screen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  frames = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  ProjectSettings& settings = project_settings();
  settings.screen_width = 320;
  settings.screen_height = 240;
  settings.frame_rate = 60;
  return run_game(argc, argv, "Quarvel 3D scene", scene);
}
