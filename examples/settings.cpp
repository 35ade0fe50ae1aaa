// Settings that persist: an INI file keeps the player's choices (a colour
// theme picked with Left / Right, a name, how often the program ran), and
// a line file keeps a list of the last runs, one per line. Both are read at
// the start and written back when the program ends, beside the program;
// start it again and the choices are still there. An optional first
// argument ends the program after that many frames.
#include <quarvel/quarvel.h>

#include <cstdlib>

using namespace quarvel;

namespace {

constexpr int kLeft = 203, kRight = 205;
constexpr int kThemes = 4;
const char* const kThemeNames[kThemes] = {"night", "forest", "sunset", "sea"};
const double kThemeColours[kThemes][2] = {{0x301010, 0x804020}, {0x103010, 0x40A040},
                                          {0x102050, 0x2080F0}, {0x503010, 0xF0A040}};
long frame_limit = 0;

// A number from an INI value, with a default for "NO_DATA" (absent).
double ini_number(const char* section, const char* key, double fallback) {
  const DynString value = ini_get(section, key);
  return text_eq(value.c_str(), "NO_DATA") != 0 ? fallback : text_to_number(value);
}

bool pressed(int code) {
  static bool held[256] = {};
  const bool down = key_state(code) != 0, result = down && !held[code];
  held[code] = down;
  return result;
}

void settings() {
  // The INI document stays in memory until the program ends (or another
  // INI file is opened); changes are written back then.
  ini_open("settings.ini");
  const double runs = ini_number("Stats", "Runs", 0) + 1;
  ini_put("Stats", "Runs", number_to_text(runs));
  double theme = ini_number("Display", "Theme", 0);
  DynString name = ini_get("Player", "Name");
  if (text_eq(name.c_str(), "NO_DATA") != 0) {
    name = "Player One";
    ini_put("Player", "Name", name);
  }

  // The line file: line 0 holds the count, lines 1..5 the last runs.
  const char* kLog = "runs.txt";
  const double logged = get_file_number(kLog, 0);
  // Shift the list down a line; a missing file or line reads "NO_FILE" or
  // "NO_DATA", which is not copied.
  for (int i = 5; i > 1; --i) {
    const DynString older = get_file_line(kLog, i - 1);
    if (text_eq(older.c_str(), "NO_DATA") == 0 && text_eq(older.c_str(), "NO_FILE") == 0) put_file_line(kLog, i, older);
  }
  put_file_line(kLog, 1, DynString("run ") + runs + ", theme " + kThemeNames[static_cast<int>(theme)]);
  put_file_number(kLog, 0, logged + 1);

  for (long frame = 1; frame_limit <= 0 || frame <= frame_limit; ++frame) {
    if (pressed(kRight)) theme = modulo(theme + 1, kThemes);
    if (pressed(kLeft)) theme = modulo(theme + kThemes - 1, kThemes);
    ini_put("Display", "Theme", number_to_text(theme));  // saved at the end
    const int t = static_cast<int>(theme);

    // The theme's two colours as a striped background.
    for (int y = 0; y < 240; y += 16)
      draw_rect(0, y, 320, 16, (y / 16) % 2 == 0 ? kThemeColours[t][0] : kThemeColours[t][1]);
    draw_rect(16, 16, 288, 208, rgb(16, 16, 24));
    set_text_colour(rgb(255, 220, 120));
    print_text("settings.ini", 28, 26);
    set_text_colour(-1);
    print_text(DynString("[Player] Name = ") + name, 28, 42);
    print_text(DynString("[Stats]  Runs = ") + runs, 28, 54);
    print_text(DynString("[Display] Theme = ") + theme + " (" + kThemeNames[t] + ")", 28, 66);
    print_text("Left / Right: theme", 28, 82);
    for (int i = 0; i < kThemes; ++i) {
      draw_rect(28 + i * 40, 96, 32, 16, kThemeColours[i][1]);
      if (i == t) draw_rect(28 + i * 40, 114, 32, 3, rgb(255, 255, 255));
    }

    set_text_colour(rgb(255, 220, 120));
    print_text("runs.txt (a line file)", 28, 130);
    set_text_colour(-1);
    print_text(DynString("line 0: ") + get_file_line(kLog, 0), 28, 146);
    for (int i = 1; i <= 5; ++i) {
      const DynString line = get_file_line(kLog, i);
      if (text_eq(line.c_str(), "NO_DATA") != 0 || text_eq(line.c_str(), "NO_FILE") != 0) break;
      print_text(DynString("line ") + i + ": " + line, 28, 146 + i * 12);
    }
    show_screen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  return run_game(argc, argv, "Quarvel settings", settings);
}
