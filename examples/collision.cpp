// Collision: sprite_collision compares pixels, not rectangles. Steer the
// small star with the mouse: inside the ring's hole the rectangles overlap
// but nothing touches; on the ring it hits. The ghost on the right is drawn
// translucent, and still collides by the pixels of its picture (how a
// sprite is drawn does not matter, only its picture and place). The lamps
// at the top turn red on a hit. An optional first argument ends the program
// after that many frames.
#include <quarvel/quarvel.h>

#include <cstdlib>

using namespace quarvel;

namespace {

constexpr int kRing = 1, kStar = 2, kGhost = 3;
constexpr double kKey = 0x8000FF;  // the sprites' transparent colour
long frame_limit = 0;

// A ring: every pixel between two radii around the centre.
void make_ring() {
  draw_rect(0, 0, 80, 80, kKey);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 80; ++x) {
      const double d = square_root((x - 39.5) * (x - 39.5) + (y - 39.5) * (y - 39.5));
      if (d < 39 && d > 24) set_pixel(x, y, rgb(120 + d * 3, 120, 60));
    }
  grab_sprite(kRing, 0, 0, 80, 80);
}

// A small four-pointed star: two thin crossed bars and a core.
void make_star() {
  draw_rect(0, 0, 16, 16, kKey);
  draw_rect(7, 0, 2, 16, rgb(255, 255, 160));
  draw_rect(0, 7, 16, 2, rgb(255, 255, 160));
  draw_rect(5, 5, 6, 6, rgb(255, 220, 60));
  grab_sprite(kStar, 0, 0, 16, 16);
}

// A ghost: a round head, a wavy hem and two eye holes (transparent).
void make_ghost() {
  draw_rect(0, 0, 48, 56, kKey);
  for (int y = 0; y < 56; ++y)
    for (int x = 0; x < 48; ++x) {
      const double dx = x - 23.5, dy = y - 22;
      const bool head = dy < 0 ? dx * dx + dy * dy < 22 * 22 : dx * dx < 22 * 22;
      const bool hem = y > 44 + 6 * sin_degrees(x * 30.0);
      const bool eye = (dx + 8) * (dx + 8) + (dy + 4) * (dy + 4) < 16 || (dx - 8) * (dx - 8) + (dy + 4) * (dy + 4) < 16;
      if (head && !hem && !eye) set_pixel(x, y, rgb(200, 220, 255));
    }
  grab_sprite(kGhost, 0, 0, 48, 56);
}

// The outline of a sprite's rectangle.
void outline(double slot, double x, double y, double colour) {
  double w = 0, h = 0;
  get_sprite_size(slot, w, h);
  draw_line(x, y, x + w - 1, y, colour);
  draw_line(x + w - 1, y, x + w - 1, y + h - 1, colour);
  draw_line(x + w - 1, y + h - 1, x, y + h - 1, colour);
  draw_line(x, y + h - 1, x, y, colour);
}

void lamp(const char* name, double x, bool hit) {
  draw_rect(x, 8, 40, 16, hit ? rgb(230, 40, 40) : rgb(40, 160, 60));
  print_text(name, x + 48, 12);
}

void collision() {
  make_ring();
  make_star();
  make_ghost();
  for (long frame = 1; frame_limit <= 0 || frame <= frame_limit; ++frame) {
    draw_rect(0, 0, 320, 240, rgb(20, 20, 30));
    for (int x = 0; x < 320; x += 16) draw_line(x, 32, x, 240, rgb(30, 30, 44));
    double mx = 0, my = 0, left = 0, right = 0;
    mouse_state(mx, my, left, right);
    const double sx = mx - 8, sy = my - 8;  // the star's top-left corner
    const double ring_x = 40, ring_y = 100;
    const double ghost_x = 210, ghost_y = 90 + sin_degrees(frame * 2.0) * 20;

    const bool ring_hit = sprite_collision(kStar, sx, sy, kRing, ring_x, ring_y) != 0;
    const bool ghost_hit = sprite_collision(kStar, sx, sy, kGhost, ghost_x, ghost_y) != 0;
    lamp("ring", 8, ring_hit);
    lamp("ghost", 168, ghost_hit);

    draw_sprite(kRing, ring_x, ring_y);
    outline(kRing, ring_x, ring_y, rgb(70, 70, 100));
    set_alpha_mode(-0.45);  // translucent: what is behind shows through
    draw_sprite(kGhost, ghost_x, ghost_y);
    set_alpha_mode(0);
    outline(kGhost, ghost_x, ghost_y, rgb(70, 70, 100));
    draw_sprite(kStar, sx, sy);
    outline(kStar, sx, sy, ring_hit || ghost_hit ? rgb(255, 60, 60) : rgb(120, 120, 160));
    print_text("Pixels collide, rectangles do not", 24, 220);
    show_screen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  return run_game(argc, argv, "Quarvel collision", collision);
}
