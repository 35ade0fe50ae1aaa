// quarvel-new: makes the project of a new game outside the runtime's tree.
//
//   quarvel-new NAME [DIR]
//
// Writes DIR (default: ./NAME) with CMakeLists.txt (find_package(Quarvel)
// and quarvel_add_game), main.cpp (a window, a sprite moved with the arrow
// keys and a line of text), assets/ship.bmp and a README with the two
// commands that build and run it.
// Exit codes: 0 done, 1 a file could not be written, 2 misuse.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "gfx2d/formats/image_writers.h"

namespace fs = std::filesystem;

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kMisuse = 2;

const char kUsage[] =
    "usage: quarvel-new NAME [DIR]\n"
    "\n"
    "Makes a new Quarvel game project in DIR (default: ./NAME): CMakeLists.txt,\n"
    "main.cpp, assets/ship.bmp and README.md. NAME (letters, digits, '_' and\n"
    "'-', starting with a letter) names the game's executable. DIR must not\n"
    "exist or be empty.\n"
    "\n"
    "Then:\n"
    "  cmake -S NAME -B NAME/build && cmake --build NAME/build\n"
    "  NAME/build/NAME\n"
    "\n"
    "options:\n"
    "  -h, --help       show this text\n"
    "  --version        show the version\n"
    "\n"
    "exit status: 0 done, 1 a file could not be written, 2 wrong usage\n";

int misuse(const std::string& message) {
  std::fprintf(stderr, "quarvel-new: %s\nTry 'quarvel-new --help'.\n", message.c_str());
  return kMisuse;
}

bool valid_name(const std::string& name) {
  if (name.empty() || name.size() > 64 || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
  return true;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The prefix this tool was installed into (its directory's parent), for
// the README's build command; empty when it cannot be told.
std::string install_prefix() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "";
  return self.parent_path().parent_path().string();
}

// A 32 x 32 ship in the sprite's transparent colour's frame (0x8000FF).
std::vector<uint8_t> ship_bitmap() {
  constexpr int n = 32;
  std::vector<uint8_t> bgr(n * n * 3);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      uint8_t* p = &bgr[(y * n + x) * 3];
      const double dx = std::fabs(x - 15.5), top = 3, bottom = 28;
      // An arrow pointing up: wide at the bottom, a notch in the middle.
      const bool hull = y >= top && y <= bottom && dx <= (y - top) * 0.55 && !(y > 22 && dx < (y - 22) * 1.2);
      const bool window = y >= 12 && y <= 17 && dx <= 2.5;
      if (!hull) {
        p[0] = 0x80, p[1] = 0x00, p[2] = 0xFF;  // transparent
      } else if (window) {
        p[0] = 0xF0, p[1] = 0xC0, p[2] = 0x40;
      } else {
        const uint8_t shade = static_cast<uint8_t>(150 + (15 - std::min(15.0, dx)) * 6);
        p[0] = static_cast<uint8_t>(shade * 8 / 10), p[1] = shade, p[2] = shade;
      }
    }
  }
  return quarvel::encode_bitmap(bgr.data(), n, n, n, true, -1);
}

const char kCMakeLists[] = R"(cmake_minimum_required(VERSION 3.16)
project(@NAME@ LANGUAGES CXX)

# The installed runtime: Quarvel::quarvel and quarvel_add_game.
find_package(Quarvel 0.1 REQUIRED)

# Builds the game with its assets beside it, a single-file build with the
# assets packed into it (build/single/@NAME@), and installs that with a
# menu entry.
quarvel_add_game(@NAME@
  SOURCES main.cpp
  ASSETS assets/ship.bmp)
)";

const char kMain[] = R"(// @NAME@: a ship on the screen, moved with the arrow keys. Escape ends it.
#include <quarvel/quarvel.h>

using namespace quarvel;

void game() {
  load_sprite("ship.bmp", 1);        // beside the game: the working directory
  double x = 144, y = 104;
  while (true) {
    if (key_state(203) == 1) x -= 2;  // Left
    if (key_state(205) == 1) x += 2;  // Right
    if (key_state(200) == 1) y -= 2;  // Up
    if (key_state(208) == 1) y += 2;  // Down
    draw_rect(0, 0, 320, 240, rgb(16, 24, 48));
    draw_sprite(1, x, y);
    print_text("@NAME@: arrows move, Escape ends", 8, 8);
    show_screen();                   // one frame, 60 a second
  }
}

int main(int argc, char** argv) {
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  project_settings().frame_rate = 60;
  return run_game(argc, argv, "@NAME@", game);
}
)";

const char kReadme[] = R"(# @NAME@

A game made with Quarvel. Build it, then run it:

```sh
cmake -S . -B build@PREFIX_OPTION@ && cmake --build build
build/@NAME@
```

- `main.cpp` is the game; `assets/` holds the files it loads, copied beside
  the executable by the build.
- `build/single/@NAME@` is the same game with its assets packed into it: one
  file that runs from anywhere. `cmake --install build --prefix DIR` installs
  it as `DIR/bin/@NAME@` with a menu entry.
- The runtime's guide and command list: share/doc/quarvel/ in the runtime's
  install (guide.md, commands.md).
)";

bool write_text(const fs::path& path, const std::string& text) {
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  return quarvel::write_file_bytes(path.string().c_str(), bytes);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return kOk;
    }
    if (a == "--version") {
      std::printf("quarvel-new %s\n", QUARVEL_VERSION);
      return kOk;
    }
    if (!a.empty() && a[0] == '-') return misuse("unknown option " + a);
    args.push_back(a);
  }
  if (args.empty() || args.size() > 2) return misuse("give the game's NAME (and optionally a DIR)");
  const std::string name = args[0];
  if (!valid_name(name)) return misuse("NAME must start with a letter and hold only letters, digits, '_' and '-'");
  const fs::path dir = args.size() == 2 ? fs::path(args[1]) : fs::path(name);
  std::error_code ec;
  if (fs::exists(dir, ec) && !(fs::is_directory(dir, ec) && fs::is_empty(dir, ec)))
    return misuse(dir.string() + " exists and is not an empty directory");
  fs::create_directories(dir / "assets", ec);
  if (ec) {
    std::fprintf(stderr, "quarvel-new: cannot make %s: %s\n", dir.string().c_str(), ec.message().c_str());
    return kFailed;
  }
  const std::string prefix = install_prefix();
  const std::string prefix_option =
      prefix.empty() || prefix == "/usr" || prefix == "/usr/local" ? "" : " -DCMAKE_PREFIX_PATH=" + prefix;
  auto fill = [&](const char* text) {
    return replace_all(replace_all(text, "@NAME@", name), "@PREFIX_OPTION@", prefix_option);
  };
  bool ok = write_text(dir / "CMakeLists.txt", fill(kCMakeLists)) && write_text(dir / "main.cpp", fill(kMain)) &&
            write_text(dir / "README.md", fill(kReadme)) &&
            quarvel::write_file_bytes((dir / "assets" / "ship.bmp").string().c_str(), ship_bitmap());
  if (!ok) {
    std::fprintf(stderr, "quarvel-new: cannot write the files of %s\n", dir.string().c_str());
    return kFailed;
  }
  std::printf("Made %s. Build and run it:\n  cmake -S %s -B %s/build%s && cmake --build %s/build\n  %s/build/%s\n",
              dir.string().c_str(), dir.string().c_str(), dir.string().c_str(), prefix_option.c_str(),
              dir.string().c_str(), dir.string().c_str(), name.c_str());
  return kOk;
}
