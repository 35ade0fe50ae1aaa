// Primitives and polygon batches: pixels, lines and rectangles, a fan of
// triangles with a colour per corner (smoothly shaded between them), and a
// textured fan that maps a picture onto a turning shape. A fan's corners go
// counter-clockwise as seen on the screen; wound the other way it is a back
// face and is not drawn. An optional first argument ends the program after
// that many frames.
#include <quarvel/quarvel.h>

#include <cstdlib>

using namespace quarvel;

namespace {

constexpr int kChecker = 1;
long frame_limit = 0;

// A 64 x 64 chequered picture with a border, for the textured fan.
void make_checker() {
  for (int y = 0; y < 64; y += 8)
    for (int x = 0; x < 64; x += 8)
      draw_rect(x, y, 8, 8, (x + y) / 8 % 2 == 0 ? rgb(250, 250, 250) : rgb(60, 120, 220));
  draw_rect(0, 0, 64, 2, rgb(255, 60, 60));
  draw_rect(0, 62, 64, 2, rgb(255, 60, 60));
  grab_sprite(kChecker, 0, 0, 64, 64);
}

// A regular polygon as one fan: white centre, a hue per corner.
void colour_fan(double cx, double cy, double r, int corners, double turn) {
  start_poly(-1);  // -1: no texture
  poly_vector(cx, cy, 0, 0, rgb(255, 255, 255));
  for (int i = 0; i <= corners; ++i) {
    const double a = turn - i * 360.0 / corners;  // falling angle: counter-clockwise on screen
    const double hue = i % 3;
    poly_vector(cx + cos_degrees(a) * r, cy + sin_degrees(a) * r, 0, 0,
                hue == 0 ? rgb(255, 40, 40) : hue == 1 ? rgb(40, 255, 40) : rgb(40, 40, 255));
  }
  end_poly();
}

// The picture on a turning square: texel coordinates (s, t) count pixels
// of the picture from its top-left corner.
void textured_square(double cx, double cy, double r, double turn) {
  const double s[] = {0, 0, 64, 64}, t[] = {0, 64, 64, 0};
  start_poly(kChecker);
  for (int i = 0; i < 4; ++i) {
    const double a = turn + 135 + i * 90;  // top-left, bottom-left, bottom-right, top-right
    poly_vector(cx + cos_degrees(a) * r, cy - sin_degrees(a) * r, s[i], t[i], rgb(255, 255, 255));
  }
  end_poly();
}

void primitives() {
  make_checker();
  for (long frame = 1; frame_limit <= 0 || frame <= frame_limit; ++frame) {
    draw_rect(0, 0, 320, 240, rgb(12, 12, 20));
    // Pixels: a field of twinkling dots.
    for (int i = 0; i < 300; ++i) {
      const int x = i * 37 % 320, y = i * 71 % 240;
      const double glow = 120 + 120 * sin_degrees(frame * 6.0 + i * 17);
      set_pixel(x, y, rgb(glow, glow, glow));
    }
    // Lines: a turning burst.
    for (int i = 0; i < 36; ++i) {
      const double a = i * 10 + frame;
      draw_line(60, 60, 60 + cos_degrees(a) * 50, 60 + sin_degrees(a) * 50, rgb(255, 128 + i * 3, i * 7));
    }
    // Rectangles: a bar chart that moves, and outlines from four lines.
    for (int i = 0; i < 8; ++i) {
      const double h = 20 + 30 * (1 + sin_degrees(frame * 3.0 + i * 45));
      draw_rect(130 + i * 22, 120 - h, 18, h, rgb(60 + i * 24, 200 - i * 16, 120));
    }
    draw_line(126, 121, 306, 121, rgb(200, 200, 200));
    // Polygon batches: the shaded fans and the textured square.
    colour_fan(60, 180, 44, 6, frame * 1.5);
    colour_fan(160, 180, 30, 3, -frame * 2.0);
    textured_square(255, 180, 44, frame * 1.0);
    // get_pixel reads the presented frame back: the colour under the fan's
    // centre, shown as a swatch.
    draw_rect(110, 222, 12, 12, get_pixel(60, 180));
    print_text("get_pixel(60, 180)", 128, 224);
    show_screen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  return run_game(argc, argv, "Quarvel primitives", primitives);
}
