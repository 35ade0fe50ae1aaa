// Sprites: one picture drawn plainly, stretched, mirrored, zoomed and
// rotated, and blended with the three alpha modes (opaque, translucent,
// additive) over a chequered floor, next to a picture loaded from a file.
// The picture is drawn with primitives on the sprites' transparent colour
// and grabbed into a slot. An optional first argument ends the program
// after that many frames.
#include <quarvel/quarvel.h>

#include <cstdlib>

using namespace quarvel;

namespace {

constexpr int kArrow = 1, kGlow = 2, kCraft = 3;
long frame_limit = 0;

// An arrow pointing right, so that mirroring and turning show: a red body,
// a yellow head and a white stripe, on 0x8000FF, the transparent colour
// sprites have by default.
void make_arrow() {
  draw_rect(0, 0, 32, 16, 0x8000FF);
  draw_rect(0, 5, 20, 6, rgb(220, 40, 40));
  for (int i = 0; i < 8; ++i) draw_line(20 + i, i, 20 + i, 16 - i, rgb(255, 220, 0));
  draw_line(2, 7, 17, 7, rgb(255, 255, 255));
  grab_sprite(kArrow, 0, 0, 28, 16);
}

// A soft round glow, black outside; black is made its transparent colour.
void make_glow() {
  draw_rect(0, 0, 32, 32, 0);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const double d = square_root((x - 15.5) * (x - 15.5) + (y - 15.5) * (y - 15.5));
      if (d < 16) set_pixel(x, y, rgb(40 + 200 * (1 - d / 16), 120 * (1 - d / 16), 255 * (1 - d / 16)));
    }
  set_transparency(0);
  grab_sprite(kGlow, 0, 0, 32, 32);
  set_transparency(0x8000FF);
}

// Grey and white squares, so that translucent drawing shows what is behind.
void draw_floor(double x, double y, double w, double h) {
  for (double j = 0; j < h; j += 8)
    for (double i = 0; i < w; i += 8)
      draw_rect(x + i, y + j, 8, 8, (static_cast<int>(i + j) / 8) % 2 == 0 ? rgb(90, 90, 110) : rgb(200, 200, 210));
}

void label(const char* text, double x, double y) { print_text(text, x, y); }

void sprites() {
  make_arrow();
  make_glow();
  load_sprite("raumer.bmp", kCraft);  // a picture from a file, keyed the same way
  draw_rect(0, 0, 320, 240, 0);
  for (long frame = 1; frame_limit <= 0 || frame <= frame_limit; ++frame) {
    draw_rect(0, 0, 320, 240, rgb(20, 24, 40));
    // Row 1: the shapes a sprite can take.
    label("draw", 8, 8);
    draw_sprite(kArrow, 8, 24);
    label("stretch", 56, 8);
    stretch_sprite(kArrow, 56, 20, 56, 24);  // any width and height
    label("mirror", 128, 8);
    stretch_sprite(kArrow, 128 + 28, 24, -28, 16);  // a negative width mirrors
    label("zoom", 184, 8);
    const double zoom = 1.5 + sin_degrees(frame * 3.0) * 0.5;
    zoom_sprite(kArrow, 190, 28, zoom, zoom);  // about the centre
    label("rotate", 248, 8);
    rotate_sprite(kArrow, 256, 28, frame * 2.0);  // counter-clockwise, degrees
    rotate_zoom_sprite(kArrow, 256, 56, -frame * 2.0, 0.75);

    // Row 2: the alpha modes over a chequered floor.
    const char* const names[] = {"opaque 0", "trans -0.5", "add 0.6"};
    const double modes[] = {0, -0.5, 0.6};
    for (int i = 0; i < 3; ++i) {
      const double x = 8 + i * 104;
      label(names[i], x, 90);
      draw_floor(x, 104, 96, 56);
      set_alpha_mode(modes[i]);
      stretch_sprite(kArrow, x + 8, 112, 80, 20);
      draw_sprite(kGlow, x + 32 + sin_degrees(frame * 4.0 + i * 60) * 24, 128);
      set_alpha_mode(0);
    }

    // Row 3: the loaded picture, turning, with mirrored copies.
    double w = 0, h = 0;
    get_sprite_size(kCraft, w, h);
    label("loaded from raumer.bmp", 8, 172);
    draw_sprite(kCraft, 16, 190);
    stretch_sprite(kCraft, 60 + w, 190, -w, h);     // mirrored left-right
    stretch_sprite(kCraft, 104, 190 + h, w, -h);    // mirrored upside down
    rotate_zoom_sprite(kCraft, 180, 200, frame * -1.5, 1.5);
    set_alpha_mode(0.5);
    for (int i = 0; i < 6; ++i) draw_sprite(kGlow, 230 + i * 14, 196 + sin_degrees(frame * 5.0 + i * 50) * 10);
    set_alpha_mode(0);
    show_screen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  return run_game(argc, argv, "Quarvel sprites", sprites);
}
