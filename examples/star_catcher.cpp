// Star Catcher: a complete small game. Move the basket with Left and Right
// (or the mouse) and catch the falling stars; a star that reaches the ground
// costs one of three lives, and so does a bomb caught in the basket. It has
// a title screen, play with score and lives, sounds, a highscore kept in a
// file beside the program, and a game-over screen.
//
// Every picture is drawn with primitives at start-up and grabbed into a
// sprite slot; the sounds are the wave files of the build's asset generator.
// An optional first argument ends the program after that many frames (for
// headless runs from a replay file).
#include <quarvel/quarvel.h>

#include <cstdlib>
#include <cstring>

using namespace quarvel;

namespace {

constexpr int kWidth = 320, kHeight = 240;
// Sprite slots and sound slots.
constexpr int kBasket = 1, kStar = 2, kBomb = 3;
constexpr int kCatchSound = 1, kBoomSound = 2, kFanfareSound = 3;
// Font slots: the built-in 8 x 8 font and a bigger one from a picture.
constexpr int kSmallFont = 0, kBigFont = 1;
// Scan codes.
constexpr int kReturn = 28, kLeft = 203, kRight = 205;
const char* const kHighscoreFile = "starcatch-high.txt";

long frame_limit = 0;  // 0: run until Escape
long frame_count = 0;

// Ends every frame; also ends the program once the frame limit is reached.
void next_frame() {
  show_screen();
  if (frame_limit > 0 && ++frame_count >= frame_limit) end_program();
}

// A filled disc, row by row.
void fill_disc(double cx, double cy, double r, double colour) {
  for (double dy = -r; dy <= r; ++dy) {
    const double half = square_root(r * r - dy * dy);
    draw_line(cx - half, cy + dy, cx + half, cy + dy, colour);
  }
}

// A five-pointed star as one triangle fan: bright centre, darker tips. A
// fan must turn counter-clockwise on the screen (y grows downwards, so the
// angle falls); one wound the other way is a back face and is not drawn.
void draw_star_shape(double cx, double cy, double outer, double inner) {
  start_poly(-1);
  poly_vector(cx, cy, 0, 0, rgb(255, 255, 220));
  for (int i = 0; i <= 10; ++i) {
    const double r = i % 2 == 0 ? outer : inner;
    const double a = -90 - i * 36;
    poly_vector(cx + cos_degrees(a) * r, cy + sin_degrees(a) * r, 0, 0, rgb(255, 190, 0));
  }
  end_poly();
}

// Draws each picture on the key colour (0x8000FF, the default transparent
// colour of sprites) and grabs it, then makes the starry background.
void make_pictures() {
  const double key = 0x8000FF;
  draw_rect(0, 0, 64, 32, key);
  draw_rect(2, 8, 44, 12, rgb(150, 90, 40));  // the basket: a wooden tub
  for (int x = 6; x < 46; x += 8) draw_line(x, 9, x, 19, rgb(110, 60, 25));
  draw_rect(0, 6, 48, 3, rgb(200, 140, 70));
  grab_sprite(kBasket, 0, 0, 48, 20);

  draw_rect(0, 0, 64, 32, key);
  draw_star_shape(10, 10, 10, 4);
  grab_sprite(kStar, 0, 0, 20, 20);

  draw_rect(0, 0, 64, 32, key);
  fill_disc(9, 11, 7, rgb(50, 50, 60));  // a bomb with a burning fuse
  fill_disc(7, 9, 2, rgb(140, 140, 160));
  draw_line(12, 5, 15, 1, rgb(200, 180, 120));
  set_pixel(16, 1, rgb(255, 80, 0));
  grab_sprite(kBomb, 0, 0, 18, 18);

  // The night sky: a gradient, some stars and a hill; kept as the
  // background every frame starts from.
  for (int y = 0; y < kHeight; ++y) draw_line(0, y, kWidth, y, rgb(10, 10 + y / 6, 40 + y / 3));
  for (int i = 0; i < 60; ++i) set_pixel(i * 97 % kWidth, i * 53 % (kHeight - 60), rgb(200, 200, 255));
  for (int x = 0; x < kWidth; ++x) {
    const double top = kHeight - 22 + 6 * sin_degrees(x * 2.0);
    draw_line(x, top, x, kHeight, rgb(30, 70, 35));
  }
  grab_background();
  draw_rect(0, 0, kWidth, kHeight, 0);
}

// Text centred on the screen in the current font.
void print_centred(const DynString& text, double y) {
  double cell_w = 8, cell_h = 8;
  get_font_size(cell_w, cell_h);
  print_text(text, (kWidth - std::strlen(text.c_str()) * cell_w) / 2, y);
}

// True on the frame a key goes down (it must be released in between).
bool pressed(int code) {
  static bool held[256] = {};
  const bool down = key_state(code) != 0;
  const bool result = down && !held[code];
  held[code] = down;
  return result;
}

// Returns when Return is pressed; the title bobs meanwhile.
void title_screen(double highscore) {
  for (long t = 0;; ++t) {
    set_font(kBigFont);
    print_centred("STAR CATCHER", 56 + 4 * sin_degrees(t * 4.0));
    set_font(kSmallFont);
    draw_star_shape(60, 64, 12, 5);
    draw_star_shape(260, 64, 12, 5);
    print_centred("Catch the stars, dodge the bombs", 110);
    print_centred(DynString("HIGHSCORE ") + highscore, 140);
    if (t % 60 < 40) {
      set_text_colour(rgb(255, 220, 80));
      print_centred("Press Return", 180);
      set_text_colour(-1);
    }
    if (pressed(kReturn)) return;
    next_frame();
  }
}

struct Falling {
  double x = 0, y = 0, speed = 0;
  bool bomb = false, active = false;
};

// One game; returns its score.
double play() {
  constexpr int kMax = 8;
  Falling things[kMax];
  double basket_x = kWidth / 2 - 24, score = 0, lives = 3;
  double last_mouse_x = -1;
  long flash = 0;  // frames of red flash after a lost life
  for (long t = 0; lives > 0; ++t) {
    // Input: keys, or the mouse when it moves.
    if (key_state(kLeft) != 0) basket_x -= 4;
    if (key_state(kRight) != 0) basket_x += 4;
    double mx = 0, my = 0, left = 0, right = 0;
    mouse_state(mx, my, left, right);
    if (last_mouse_x >= 0 && mx != last_mouse_x) basket_x = mx - 24;
    last_mouse_x = mx;
    basket_x = basket_x < 0 ? 0 : basket_x > kWidth - 48 ? kWidth - 48 : basket_x;

    // A new star or bomb now and then, more often as the score grows.
    if (t % (score > 200 ? 20 : 30) == 0) {
      for (Falling& f : things) {
        if (f.active) continue;
        f = Falling{static_cast<double>(random_int(kWidth - 20)), -20, 1.5 + random_int(10) / 10.0 + score / 400,
                    random_int(3) == 0, true};
        break;
      }
    }

    for (Falling& f : things) {
      if (!f.active) continue;
      f.y += f.speed;
      const double pan = (f.x - kWidth / 2) / (kWidth / 2);  // the sound comes from where it happens
      if (sprite_collision(f.bomb ? kBomb : kStar, f.x, f.y, kBasket, basket_x, kHeight - 36) != 0) {
        f.active = false;
        if (f.bomb) {
          play_sound(kBoomSound, pan, 1);
          --lives;
          flash = 20;
        } else {
          play_sound(kCatchSound, pan, 1);
          score += 10;
        }
      } else if (f.y > kHeight) {
        f.active = false;
        if (!f.bomb) {
          --lives;
          flash = 20;
        }
      }
    }

    // Drawing: the falling things, the basket, the score line.
    for (const Falling& f : things)
      if (f.active) {
        if (f.bomb) draw_sprite(kBomb, f.x, f.y);
        else rotate_sprite(kStar, f.x, f.y, f.y * 3);
      }
    draw_sprite(kBasket, basket_x, kHeight - 36);
    print_text(DynString("SCORE ") + score, 4, 4);
    print_text("LIVES", kWidth - 80, 4);
    for (int i = 0; i < lives; ++i) draw_rect(kWidth - 32 + i * 10, 4, 7, 7, rgb(255, 80, 80));
    if (flash > 0) {
      set_alpha_mode(-0.3);  // a translucent red wash
      draw_rect(0, 0, kWidth, kHeight, rgb(255, 0, 0));
      set_alpha_mode(0);
      --flash;
    }
    next_frame();
  }
  return score;
}

// Shows the result for a while (or until Return).
void game_over_screen(double score, bool new_highscore) {
  for (long t = 0; t < 300; ++t) {
    set_font(kBigFont);
    print_centred("GAME OVER", 66);
    set_font(kSmallFont);
    print_centred(DynString("SCORE ") + score, 110);
    if (new_highscore) {
      set_text_colour(t % 20 < 10 ? rgb(255, 255, 0) : rgb(80, 255, 80));
      print_centred("NEW HIGHSCORE!", 140);
      set_text_colour(-1);
    }
    if (t > 30) {
      print_centred("Return: back to the title", 190);
      if (pressed(kReturn)) return;
    }
    next_frame();
  }
}

void game() {
  make_pictures();
  load_font("", kSmallFont);  // no file: the built-in font
  load_font("font.bmp", kBigFont);
  set_font(kSmallFont);
  load_sound("keyclick.wav", kCatchSound, 4);
  load_sound("explosion.wav", kBoomSound, 2);
  load_sound("fanfare.wav", kFanfareSound, 1);
  // The highscore file holds one number on line 0; a missing file reads 0.
  double highscore = get_file_number(kHighscoreFile, 0);
  while (true) {
    title_screen(highscore);
    const double score = play();
    const bool best = score > highscore;
    if (best) {
      highscore = score;
      put_file_number(kHighscoreFile, 0, highscore);
      play_sound(kFanfareSound, 0, 1);
    }
    game_over_screen(score, best);
  }
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  project_settings().screen_width = kWidth;
  project_settings().screen_height = kHeight;
  project_settings().frame_rate = 60;
  return run_game(argc, argv, "Star Catcher", game);
}
