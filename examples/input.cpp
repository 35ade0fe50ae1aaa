// Input: the arrow keys move a ball, the mouse draws a trail and shows its
// buttons, the first game controller's stick and buttons are drawn as a
// pad, and typed characters (inkey) build a line of text on the screen,
// Back removing the last one. An optional first argument ends the program
// after that many frames.
#include <quarvel/quarvel.h>

#include <cstdlib>

using namespace quarvel;

namespace {

// Scan codes of the keys used here.
constexpr int kUp = 200, kLeft = 203, kRight = 205, kDown = 208, kSpace = 57;
long frame_limit = 0;

// A filled disc, row by row.
void disc(double cx, double cy, double r, double colour) {
  for (double dy = -r; dy <= r; ++dy) {
    const double half = square_root(r * r - dy * dy);
    draw_line(cx - half, cy + dy, cx + half, cy + dy, colour);
  }
}

// A key cap, lit while the key is held.
void key_cap(const char* name, double x, double y, int code) {
  const bool held = key_state(code) != 0;
  draw_rect(x, y, 22, 16, held ? rgb(255, 200, 40) : rgb(70, 70, 90));
  set_text_colour(held ? rgb(0, 0, 0) : -1);
  print_text(name, x + 7, y + 4);
  set_text_colour(-1);
}

void input() {
  double ball_x = 80, ball_y = 70;
  double trail_x[32] = {}, trail_y[32] = {};
  DynString typed;
  for (long frame = 1; frame_limit <= 0 || frame <= frame_limit; ++frame) {
    draw_rect(0, 0, 320, 240, rgb(24, 28, 36));

    // Keyboard: held keys move the ball; Space makes it big.
    if (key_state(kLeft) != 0) ball_x -= 2;
    if (key_state(kRight) != 0) ball_x += 2;
    if (key_state(kUp) != 0) ball_y -= 2;
    if (key_state(kDown) != 0) ball_y += 2;
    ball_x = ball_x < 10 ? 10 : ball_x > 150 ? 150 : ball_x;
    ball_y = ball_y < 30 ? 30 : ball_y > 100 ? 100 : ball_y;
    print_text("Keyboard", 8, 4);
    draw_rect(4, 18, 156, 124, rgb(40, 44, 60));
    disc(ball_x, ball_y, key_state(kSpace) != 0 ? 10 : 6, rgb(80, 200, 255));
    key_cap("<", 30, 120, kLeft);
    key_cap("^", 58, 120, kUp);
    key_cap("v", 86, 120, kDown);
    key_cap(">", 114, 120, kRight);

    // Mouse: position, a fading trail, the buttons and the wheel.
    double mx = 0, my = 0, left = 0, right = 0;
    mouse_state(mx, my, left, right);
    trail_x[frame % 32] = mx;
    trail_y[frame % 32] = my;
    print_text("Mouse", 168, 4);
    for (int i = 1; i < 32; ++i) {
      const long a = (frame - i + 32) % 32, b = (frame - i + 33) % 32;
      const double fade = 255 - i * 7;
      draw_line(trail_x[a], trail_y[a], trail_x[b], trail_y[b], rgb(fade, fade / 2, 40));
    }
    draw_line(mx - 6, my, mx + 6, my, rgb(255, 255, 255));
    draw_line(mx, my - 6, mx, my + 6, rgb(255, 255, 255));
    draw_rect(168, 18, 20, 12, left != 0 ? rgb(255, 80, 80) : rgb(70, 70, 90));
    draw_rect(192, 18, 20, 12, right != 0 ? rgb(255, 80, 80) : rgb(70, 70, 90));
    print_text(DynString("x ") + mx + " y " + my, 220, 20);

    // Game controller 0: the stick moves a dot in a square, buttons light up.
    print_text("Pad", 168, 84);
    draw_rect(168, 98, 44, 44, rgb(40, 44, 60));
    disc(190 + joystick_x(0) * 18, 120 + joystick_y(0) * 18, 4, rgb(120, 255, 120));
    double jx = 0, jy = 0, b1 = 0, b2 = 0;
    joystick_state(jx, jy, b1, b2);
    disc(230, 120, 7, b1 != 0 ? rgb(255, 80, 80) : rgb(70, 70, 90));
    disc(252, 112, 7, b2 != 0 ? rgb(80, 140, 255) : rgb(70, 70, 90));
    print_text(joystick_count() > 0 ? joystick_name(0) : DynString("no controller"), 168, 146);

    // Typed text: inkey gives each typed character once.
    const DynString key = inkey();
    if (text_eq(key.c_str(), "\b")) {
      if (typed.length_of() > 0) typed.truncate_at(typed.length_of() - 1);
    } else if (key.char_at(0) >= ' ' && typed.length_of() < 36) {
      typed += key;
    }
    print_text("Type something:", 8, 170);
    draw_rect(4, 184, 312, 20, rgb(10, 10, 14));
    print_text(typed, 8, 190);
    if (frame % 40 < 20) draw_rect(8 + typed.length_of() * 8, 190, 8, 8, rgb(255, 255, 255));
    show_screen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  return run_game(argc, argv, "Quarvel input", input);
}
