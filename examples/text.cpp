// Text: bitmap fonts loaded from pictures, the built-in 8 x 8 font, numbers
// printed directly and inside text, text tinted with set_text_colour, and a
// scrolling line. A font picture is a grid of 16 x 8 cells, character code k
// in cell k read left to right, top to bottom; black is transparent in it.
// An optional first argument ends the program after that many frames.
#include <quarvel/quarvel.h>

#include <cstdlib>
#include <cstring>

using namespace quarvel;

namespace {

constexpr int kBuiltIn = 0, kSmall = 1, kBig = 2;
long frame_limit = 0;

void text() {
  // A name that cannot be loaded gives the built-in font (and a line in the
  // report file); the two pictures come from the game's asset generator.
  load_font("", kBuiltIn);
  load_font("font.bmp", kSmall);
  load_font("fontbig.bmp", kBig);
  const char* scroller = "    Fonts are pictures: 16 x 8 cells, one character each ...    ";
  for (long frame = 1; frame_limit <= 0 || frame <= frame_limit; ++frame) {
    for (int y = 0; y < 240; y += 4) draw_rect(0, y, 320, 4, rgb(16, 16, 40 + y / 5));

    // The big font, cell size from get_font_size, each letter in a hue.
    set_font(kBig);
    double cw = 0, ch = 0;
    get_font_size(cw, ch);
    const char* title = "QUARVEL";
    for (int i = 0; title[i]; ++i) {
      const double phase = frame * 4.0 + i * 40;
      set_text_colour(rgb(200 + 55 * sin_degrees(phase), 150 + 100 * sin_degrees(phase + 120), 150));
      print_text(char_text(title[i]), 160 - 3.5 * cw + i * cw, 8 + 4 * sin_degrees(phase));
    }
    set_text_colour(-1);  // back to the picture's own colours

    // The picture's font and the built-in one, as they are and tinted.
    set_font(kSmall);
    print_text("font.bmp: as drawn", 8, 60);
    set_text_colour(rgb(120, 255, 120));
    print_text("font.bmp: tinted green", 8, 74);
    set_font(kBuiltIn);
    set_text_colour(-1);
    print_text("Built-in font: white", 8, 96);
    set_text_colour(rgb(255, 170, 60));
    print_text("Built-in font: orange", 8, 108);
    set_text_colour(-1);

    // Numbers: print_number, and numbers joined to a DynString (never to a
    // plain "..." text, which would add to the pointer).
    print_text("print_number:", 8, 130);
    print_number(frame, 120, 130);
    print_number(frame / 7.0, 190, 130);
    print_text(DynString("Score ") + frame * 10 + " / lives " + 3, 8, 144);
    print_text("format_number: " + format_number(8, 2, 3.14159 * frame), 8, 158);

    // A scrolling line in the small font through a viewport.
    set_font(kSmall);
    get_font_size(cw, ch);
    const double width = std::strlen(scroller) * cw;
    const double x = 320 - static_cast<long>(frame * 1.5) % static_cast<long>(width + 320);
    draw_rect(0, 196, 320, ch + 8, rgb(0, 0, 0));
    set_text_colour(rgb(255, 230, 80));
    print_text(scroller, x, 200);
    set_text_colour(-1);
    show_screen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  return run_game(argc, argv, "Quarvel text", text);
}
