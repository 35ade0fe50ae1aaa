// The 2D examples run headless from replay files: each is copied with the
// assets it reads into a fresh folder, runs a fixed number of frames, saves
// some of them, and the saved frames (and files it writes) are checked.
// Each test is its own ctest entry (--gtest_filter), so they run in parallel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "gfx2d/formats/image_buffer.h"
#include "gfx2d/formats/image_readers.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

struct ExampleRun {
  std::string dir;     // the example's folder (its working directory)
  std::string frames;  // the saved frames
  int exit_code = -1;

  quarvel::ImageBuffer frame(long n) const {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06ld.png", n);
    quarvel::ImageBuffer image;
    EXPECT_TRUE(quarvel::read_png_file(image, (frames + name).c_str(), quarvel::kNoColourKey)) << name;
    return image;
  }
  std::string file(const std::string& name) const {
    std::ifstream in(dir + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

// Runs the example for `frames` frames with the replay lines, saving every
// `every`-th frame; `tag` names the run's folder.
ExampleRun run_example(const std::string& name, const std::string& tag, long frames,
                       std::initializer_list<const char*> assets, std::initializer_list<const char*> replay,
                       long every = 10, const std::string& extra_args = "", bool fresh = true) {
  ExampleRun run;
  const std::string base = quarvel_test::temp_dir() + "/" + tag;
  run.dir = base + "/app";
  run.frames = base + "/frames";
  // A fresh run starts in an empty folder; otherwise the files the last
  // run left stay (only its frames go).
  if (fresh) fs::remove_all(base);
  fs::remove_all(run.frames);
  fs::create_directories(run.dir);
  fs::create_directories(run.frames);
  const fs::path examples(EXAMPLES_DIR);
  const auto overwrite = fs::copy_options::overwrite_existing;
  fs::copy_file(examples / name, fs::path(run.dir) / name, overwrite);
  for (const char* asset : assets) fs::copy_file(examples / asset, fs::path(run.dir) / asset, overwrite);
  {
    std::ofstream script(base + "/replay.txt");
    script << "quarvel-input 1\nseed 3\n";
    for (const char* line : replay) script << line << "\n";
  }
  const std::string command = "cd / && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QUARVEL_NO_DIALOGS=1 "
                              "QUARVEL_SAVE_FRAMES='" + run.frames + "' QUARVEL_SAVE_EVERY=" + std::to_string(every) +
                              " QUARVEL_TRACE='" + base + "/trace.txt' timeout 60 '" + run.dir + "/" + name + "' " +
                              std::to_string(frames) + " --fast --replay '" + base + "/replay.txt' " + extra_args +
                              " >'" + base + "/out.txt' 2>&1";
  run.exit_code = std::system(command.c_str());
  EXPECT_EQ(run.exit_code, 0) << name;
  return run;
}

const uint8_t* pixel(const quarvel::ImageBuffer& image, int x, int y) {
  return &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
}

// Pixels in the rectangle whose colour passes the test.
template <typename Test>
int count_pixels(const quarvel::ImageBuffer& image, int x0, int y0, int x1, int y1, Test test) {
  int n = 0;
  for (int y = y0; y < y1 && y < image.height; ++y)
    for (int x = x0; x < x1 && x < image.width; ++x) {
      const uint8_t* p = pixel(image, x, y);
      if (test(p[0], p[1], p[2])) ++n;
    }
  return n;
}

bool same_pixel(const uint8_t* a, const uint8_t* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }
bool yellowish(int r, int g, int b) { return r > 200 && g > 150 && b < 120; }
bool bright(int r, int g, int b) { return r > 180 && g > 180 && b > 180; }
bool wooden(int r, int g, int b) { return r > 90 && r < 220 && g > 40 && g < 160 && b < 90 && r > g + 30; }

std::string first_line(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

// The whole game: the title in yellow, a game started with Return in which
// the basket moves right and catches stars, lives lost to stars that fall,
// the game-over screen with the fanfare of a new highscore, that highscore
// written to its line file and shown by the next start's title.
TEST(Examples, StarCatcherPlaysAGameAndKeepsItsHighscore) {
  const ExampleRun run = run_example("star_catcher", "catcher", 600, {"keyclick.wav", "explosion.wav", "fanfare.wav", "font.bmp"},
                                     {"frame 20 down 28", "frame 22 up 28", "frame 40 down 205", "frame 70 up 205",
                                      "frame 100 mouse 249 100", "frame 180 mouse 258 100", "frame 220 mouse 142 100",
                                      "frame 300 mouse 195 100"});
  // Title: the big letters of "STAR CATCHER" between two yellow stars.
  const quarvel::ImageBuffer title = run.frame(10);
  ASSERT_EQ(title.width, 320);
  EXPECT_GT(count_pixels(title, 90, 50, 230, 75, bright), 100);
  EXPECT_GT(count_pixels(title, 44, 48, 76, 80, yellowish), 100);
  EXPECT_GT(count_pixels(title, 244, 48, 276, 80, yellowish), 100);
  // Play: the basket at the bottom, further right after Right was held.
  const quarvel::ImageBuffer start = run.frame(30);
  const quarvel::ImageBuffer moved = run.frame(80);
  EXPECT_GT(count_pixels(start, 130, 200, 190, 225, wooden), 200);
  EXPECT_LT(count_pixels(moved, 130, 200, 170, 225, wooden), 50);
  EXPECT_GT(count_pixels(moved, 220, 200, 320, 225, wooden), 200);
  // Stars fell and were heard being caught, and the game ended: the last
  // frames show the game-over text in red.
  const std::string trace = run.file("../trace.txt");
  const quarvel::ImageBuffer over = run.frame(590);
  EXPECT_GT(count_pixels(over, 100, 60, 220, 85, bright), 100);
  EXPECT_EQ(count_pixels(over, 0, 200, 320, 225, wooden), 0);
  // The highscore line file: the score of the game, kept for the next run.
  EXPECT_EQ(first_line(run.file("starcatch-high.txt")), "60") << trace;
  // The next start reads it: its title's highscore line differs from the
  // first run's "HIGHSCORE 0" (the rest of the title is the same).
  const ExampleRun again = run_example("star_catcher", "catcher", 10, {}, {}, 10, "", false);
  const quarvel::ImageBuffer title_again = again.frame(10);
  ASSERT_EQ(title_again.width, 320);
  int line_changes = 0, other_changes = 0;
  for (int y = 100; y < 200; ++y)
    for (int x = 0; x < 320; ++x) {
      const bool same = same_pixel(pixel(title, x, y), pixel(title_again, x, y));
      (y >= 140 && y < 148 ? line_changes : other_changes) += same ? 0 : 1;
    }
  EXPECT_GT(line_changes, 10);
  EXPECT_EQ(other_changes, 0);
  EXPECT_NE(trace.find("play_sound 1 "), std::string::npos) << trace;  // a star caught
  EXPECT_NE(trace.find("play_sound 3 0 1"), std::string::npos) << trace;  // the new-highscore fanfare
}

}  // namespace

namespace {

// Sprites: the mirrored copy is the plain one flipped left-right, pixel for
// pixel, and the three alpha modes give the picture's colour, a mix with
// the floor behind and the floor brightened.
TEST(Examples, SpritesMirrorAndBlend) {
  const ExampleRun run = run_example("sprites", "sprites", 20, {"raumer.bmp"}, {});
  const quarvel::ImageBuffer image = run.frame(20);
  ASSERT_EQ(image.width, 320);
  int differing = 0, coloured = 0;
  for (int y = 24; y < 40; ++y)
    for (int x = 0; x < 28; ++x) {
      if (!same_pixel(pixel(image, 8 + x, y), pixel(image, 128 + 27 - x, y))) ++differing;
      if (pixel(image, 8 + x, y)[0] > 200) ++coloured;
    }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(coloured, 100);
  // The arrow's red body (220, 40, 40) over a dark floor square (90, 90,
  // 110) in each alpha panel: as it is; at -0.5 the picture's colour is
  // scaled by 0.5 and then blended by its alpha 0.5 (a quarter of it over
  // half the floor); at 0.6 added, scaled by 0.6.
  const uint8_t* opaque = pixel(image, 8 + 20, 124);
  const uint8_t* translucent = pixel(image, 112 + 20, 124);
  const uint8_t* additive = pixel(image, 216 + 20, 124);
  EXPECT_GT(opaque[0], 200);
  EXPECT_LT(opaque[1], 60);
  EXPECT_NEAR(translucent[0], 100, 12);
  EXPECT_NEAR(translucent[1], 55, 12);
  EXPECT_NEAR(translucent[2], 65, 12);
  EXPECT_NEAR(additive[0], 222, 12);
  EXPECT_NEAR(additive[1], 114, 12);
  EXPECT_NEAR(additive[2], 134, 12);
}

// Text: the tinted lines take their colour, the built-in font draws white,
// and the printed frame number changes from frame to frame.
TEST(Examples, TextFontsColoursAndNumbers) {
  const ExampleRun run = run_example("text", "text", 20, {"font.bmp", "fontbig.bmp"}, {});
  const quarvel::ImageBuffer a = run.frame(10);
  const quarvel::ImageBuffer b = run.frame(20);
  ASSERT_EQ(b.width, 320);
  EXPECT_GT(count_pixels(b, 8, 72, 200, 86, [](int r, int g, int bl) { return g > 200 && r < 160 && bl < 160; }), 30);
  EXPECT_GT(count_pixels(b, 8, 96, 200, 104, [](int r, int g, int bl) { return r > 240 && g > 240 && bl > 240; }), 30);
  EXPECT_GT(count_pixels(b, 8, 108, 200, 116,
                         [](int r, int g, int bl) { return r > 220 && g > 120 && g < 200 && bl < 100; }),
            30);
  // The big title: many pixels that are not the dark background.
  EXPECT_GT(count_pixels(b, 0, 0, 320, 56, [](int r, int g, int) { return r > 120 || g > 120; }), 200);
  int changed = 0;
  for (int y = 130; y < 138; ++y)
    for (int x = 120; x < 180; ++x) changed += same_pixel(pixel(a, x, y), pixel(b, x, y)) ? 0 : 1;
  EXPECT_GT(changed, 5);
}

bool blue_ball(int r, int g, int b) { return r < 120 && g > 160 && b > 220; }
bool white(int r, int g, int b) { return r > 240 && g > 240 && b > 240; }

// Input from a replay: Right moves the ball, the pointer and its left
// button show, the pad's stick moves its dot, typed keys appear as text and
// Back takes the last one away.
TEST(Examples, InputFromKeysMousePadAndTyping) {
  const ExampleRun run = run_example("input", "input", 100, {},
                                     {"frame 5 down 205", "frame 35 up 205", "frame 10 mouse 250 60",
                                      "frame 10 button left 1", "frame 5 joystick 0 attach Test Pad",
                                      "frame 6 joystick 0 axis x 32768", "frame 50 down 35", "frame 51 up 35",
                                      "frame 52 down 23", "frame 53 up 23", "frame 54 down 23", "frame 55 up 23",
                                      "frame 72 down 14", "frame 73 up 14"});
  const quarvel::ImageBuffer before = run.frame(30);
  const quarvel::ImageBuffer moved = run.frame(40);
  const quarvel::ImageBuffer typed = run.frame(60);
  const quarvel::ImageBuffer erased = run.frame(100);  // the cursor is off
  ASSERT_EQ(moved.width, 320);
  EXPECT_EQ(count_pixels(moved, 70, 60, 90, 80, blue_ball), 0);
  EXPECT_GT(count_pixels(moved, 130, 60, 150, 80, blue_ball), 60);
  EXPECT_TRUE(white(pixel(moved, 250, 60)[0], pixel(moved, 250, 60)[1], pixel(moved, 250, 60)[2]));
  EXPECT_GT(count_pixels(moved, 170, 20, 186, 28, [](int r, int g, int) { return r > 200 && g < 120; }), 100);
  EXPECT_GT(count_pixels(moved, 203, 115, 213, 125, [](int r, int g, int) { return g > 200 && r < 160; }), 30);
  // Typed text: nothing before, "hii" after (three cells), "hi" after Back.
  EXPECT_EQ(count_pixels(before, 8, 190, 60, 198, white), 0);
  EXPECT_GT(count_pixels(typed, 16, 190, 32, 198, white), 5);
  EXPECT_GT(count_pixels(typed, 24, 190, 32, 198, white), 2);
  EXPECT_GT(count_pixels(erased, 8, 190, 24, 198, white), 5);
  EXPECT_EQ(count_pixels(erased, 24, 190, 60, 198, white), 0);
}

bool red_lamp(const quarvel::ImageBuffer& image, int x) {
  const uint8_t* p = pixel(image, x + 20, 16);
  return p[0] > 200 && p[1] < 80;
}

// Collision by pixels: the star in the ring's hole (rectangles overlap) is
// no hit, on the ring it is, and the translucent ghost collides as well.
TEST(Examples, CollisionIsPixelExact) {
  const ExampleRun run = run_example("collision", "collision", 90, {},
                                     {"frame 5 mouse 80 140", "frame 30 mouse 80 108", "frame 60 mouse 150 200",
                                      "frame 85 mouse 233 125"});
  const quarvel::ImageBuffer hole = run.frame(20), ring = run.frame(40), apart = run.frame(70), ghost = run.frame(90);
  ASSERT_EQ(hole.width, 320);
  EXPECT_FALSE(red_lamp(hole, 8));
  EXPECT_TRUE(red_lamp(ring, 8));
  EXPECT_FALSE(red_lamp(ring, 168));
  EXPECT_FALSE(red_lamp(apart, 8));
  EXPECT_FALSE(red_lamp(apart, 168));
  EXPECT_TRUE(red_lamp(ghost, 168));
  EXPECT_FALSE(red_lamp(ghost, 8));
}

}  // namespace

namespace {

// Sound: each ring is panned to the bell's side (right first, later left),
// at a volume between -25 dB and full, louder when nearer; a click on the
// slider sets the music volume to one half, and the slider shows it.
TEST(Examples, SoundPansByPlaceAndSetsMusicVolume) {
  const ExampleRun run = run_example("sound", "sound", 200, {"keyclick.wav", "music.mp3"},
                                     {"frame 55 mouse 295 120", "frame 60 button left 1", "frame 62 button left 0"});
  std::istringstream trace(run.file("../trace.txt"));
  std::string line;
  std::vector<double> pans, volumes;
  bool music = false, half = false;
  while (std::getline(trace, line)) {
    double frame = 0, slot = 0, pan = 0, volume = 0;
    if (std::sscanf(line.c_str(), "frame %lf play_sound %lf %lf %lf", &frame, &slot, &pan, &volume) == 4) {
      pans.push_back(pan);
      volumes.push_back(volume);
    }
    music = music || line.find("play_music music.mp3") != std::string::npos;
    half = half || line.find("set_music_volume 0.5") != std::string::npos;
  }
  ASSERT_EQ(pans.size(), 6u) << run.file("../trace.txt");
  EXPECT_GT(pans[1], 0.8);  // frame 60: far right
  EXPECT_NEAR(pans[3], 0, 0.01);
  EXPECT_LT(pans[5], -0.8);  // frame 180: far left
  for (double v : volumes) {
    EXPECT_GT(v, 0.75);
    EXPECT_LE(v, 1);
  }
  EXPECT_GT(volumes[3], volumes[1]);  // in the middle, nearer the listener
  EXPECT_TRUE(music);
  EXPECT_TRUE(half);
  const quarvel::ImageBuffer image = run.frame(100);
  ASSERT_EQ(image.width, 320);
  auto pink = [](int r, int g, int b) { return r > 200 && g < 160 && b > 160; };
  EXPECT_EQ(count_pixels(image, 300, 40, 308, 118, pink), 0);
  EXPECT_GT(count_pixels(image, 300, 122, 308, 200, pink), 8 * 76);
}

}  // namespace

namespace {

bool same_image(const quarvel::ImageBuffer& a, const quarvel::ImageBuffer& b) {
  return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// Surfaces: the picture drawn off-screen shows on the screen, mirrored
// pixel for pixel beside it; S writes snapshot.png, which is one of the
// presented frames exactly.
TEST(Examples, SurfacesMirrorAndSnapshot) {
  const ExampleRun run = run_example("surfaces", "surfaces", 40, {}, {"frame 30 down 31", "frame 32 up 31"}, 1);
  const quarvel::ImageBuffer image = run.frame(20);
  ASSERT_EQ(image.width, 320);
  int differing = 0, sky = 0;
  for (int y = 8; y < 104; ++y)
    for (int x = 0; x < 128; ++x) {
      const uint8_t* p = pixel(image, 8 + x, y);
      if (!same_pixel(p, pixel(image, 144 + 127 - x, y))) ++differing;
      if (p[2] > 190 && p[0] < 160) ++sky;
    }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(sky, 2000);
  quarvel::ImageBuffer snapshot;
  ASSERT_TRUE(quarvel::read_png_file(snapshot, (run.dir + "/snapshot.png").c_str(), quarvel::kNoColourKey));
  bool matched = false;
  for (long n = 29; n <= 33; ++n) matched = matched || same_image(snapshot, run.frame(n));
  EXPECT_TRUE(matched);
}

}  // namespace

namespace {

// Primitives: the shaded fan is white at its centre and blends towards its
// corners' hues; the textured square shows both colours of its picture; the
// swatch shows what get_pixel read under the fan's centre (white).
TEST(Examples, PrimitivesShadeAndTextureFans) {
  const ExampleRun run = run_example("primitives", "primitives", 20, {}, {});
  const quarvel::ImageBuffer image = run.frame(20);
  ASSERT_EQ(image.width, 320);
  const uint8_t* centre = pixel(image, 60, 180);
  EXPECT_GT(centre[0] + centre[1] + centre[2], 3 * 235);
  // Many distinct colours in the fan: the corners' hues mix smoothly.
  std::vector<bool> seen(1 << 15);
  int distinct = 0;
  for (int y = 140; y < 220; ++y)
    for (int x = 20; x < 100; ++x) {
      const uint8_t* p = pixel(image, x, y);
      const size_t key = (p[0] >> 3) | (p[1] >> 3) << 5 | (p[2] >> 3) << 10;
      if (!seen[key]) {
        seen[key] = true;
        ++distinct;
      }
    }
  EXPECT_GT(distinct, 300);
  EXPECT_GT(count_pixels(image, 225, 150, 285, 210, white), 300);
  EXPECT_GT(count_pixels(image, 225, 150, 285, 210, [](int r, int, int b) { return b > 180 && r < 100; }), 300);
  EXPECT_TRUE(white(pixel(image, 116, 228)[0], pixel(image, 116, 228)[1], pixel(image, 116, 228)[2]));
}

}  // namespace

namespace {

// Settings: the theme chosen in the first run (Right twice: theme 2) is in
// the INI file and colours the second run, which counts itself as run 2;
// the line file lists both runs, newest first.
TEST(Examples, SettingsPersistBetweenRuns) {
  run_example("settings", "settings", 20, {}, {"frame 5 down 205", "frame 6 up 205", "frame 8 down 205", "frame 9 up 205"});
  const ExampleRun second = run_example("settings", "settings", 20, {}, {}, 10, "", false);
  const std::string ini = second.file("settings.ini");
  EXPECT_NE(ini.find("Runs=2\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Theme=2\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Name=Player One\r\n"), std::string::npos) << ini;
  EXPECT_EQ(second.file("runs.txt"), "2\r\nrun 2, theme sunset\r\nrun 1, theme night\r\n");
  const quarvel::ImageBuffer image = second.frame(20);
  ASSERT_EQ(image.width, 320);
  const uint8_t* stripe = pixel(image, 4, 4);  // the sunset theme's 0x102050
  EXPECT_EQ(stripe[0], 0x50);
  EXPECT_EQ(stripe[1], 0x20);
  EXPECT_EQ(stripe[2], 0x10);
}

}  // namespace

namespace {

bool path_yellow(const uint8_t* p) { return p[0] > 230 && p[1] > 220 && p[2] < 120; }

// Path finding: a click on the far corner gives a path that never enters
// water, takes the cheap road at the end, and ends at the marked goal; the
// walker leaves the start.
TEST(Examples, PathfindAvoidsWaterAndTakesTheRoad) {
  const ExampleRun run = run_example("pathfind", "pathfind", 60, {},
                                     {"frame 5 mouse 296 216", "frame 6 button left 1", "frame 8 button left 0"}, 30);
  const quarvel::ImageBuffer image = run.frame(60);
  ASSERT_EQ(image.width, 320);
  int water = 0, path_cells = 0, road_on_path = 0;
  for (int y = 0; y < 14; ++y)
    for (int x = 0; x < 20; ++x) {
      const uint8_t* corner = pixel(image, x * 16 + 1, 16 + y * 16 + 1);
      const bool on_path = path_yellow(pixel(image, x * 16 + 7, 16 + y * 16 + 7));
      if (corner[2] > 180 && corner[0] < 80) {
        ++water;
        EXPECT_FALSE(on_path) << "water cell " << x << ", " << y;
      }
      path_cells += on_path ? 1 : 0;
      if (on_path && corner[0] > 150 && corner[1] > 130 && corner[2] > 90 && corner[2] < 130) ++road_on_path;
    }
  EXPECT_GT(water, 20);
  EXPECT_GT(path_cells, 20);
  EXPECT_GE(road_on_path, 5);
  const uint8_t* goal = pixel(image, 18 * 16 + 7, 16 + 12 * 16 + 7);
  EXPECT_TRUE(goal[0] > 230 && goal[1] < 100);
  EXPECT_FALSE(white(pixel(image, 16 + 7, 32 + 7)[0], pixel(image, 16 + 7, 32 + 7)[1], pixel(image, 16 + 7, 32 + 7)[2]));
}

}  // namespace

namespace {

bool cyan(int r, int g, int b) { return r < 160 && g > 190 && b > 230; }

// The chat on loopback: Ann hosts, Bob joins half a second later; Bob types
// "hi", Ann "hello" (both from replays). Each screen ends with both lines,
// the other's in cyan and its own in white, in the order they were sent.
TEST(Examples, ChatBetweenAHostAndAJoiningProcess) {
  const std::string base = quarvel_test::temp_dir() + "/chat";
  fs::remove_all(base);
  const std::string port = std::to_string(21000 + getpid() % 20000);
  auto prepare = [&](const std::string& who, std::initializer_list<const char*> replay) {
    fs::create_directories(base + "/" + who + "/frames");
    fs::copy_file(fs::path(EXAMPLES_DIR) / "chat", base + "/" + who + "/chat");
    std::ofstream script(base + "/" + who + "/replay.txt");
    script << "quarvel-input 1\n";
    for (const char* line : replay) script << line << "\n";
  };
  auto command = [&](const std::string& who, const std::string& role, const std::string& name) {
    const std::string dir = base + "/" + who;
    return "QUARVEL_SAVE_FRAMES='" + dir + "/frames' QUARVEL_SAVE_EVERY=240 timeout 60 '" + dir + "/chat' 240 --replay '" +
           dir + "/replay.txt' " + role + " " + port + " --name " + name + " >'" + dir + "/out.txt' 2>&1";
  };
  prepare("ann", {"frame 120 down 35", "frame 121 up 35", "frame 122 down 18", "frame 123 up 18", "frame 124 down 38",
                  "frame 125 up 38", "frame 126 down 38", "frame 127 up 38", "frame 128 down 24", "frame 129 up 24",
                  "frame 130 down 28", "frame 131 up 28"});
  prepare("bob", {"frame 60 down 35", "frame 61 up 35", "frame 62 down 23", "frame 63 up 23", "frame 64 down 28",
                  "frame 65 up 28"});
  const std::string both = "cd / && export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QUARVEL_NO_DIALOGS=1; (" +
                           command("ann", "--host", "Ann") + ") & sleep 0.5; " + command("bob", "--join", "Bob") +
                           "; bob=$?; wait $!; ann=$?; exit $((bob + ann))";
  ASSERT_EQ(std::system(("bash -c \"" + both + "\"").c_str()), 0);
  auto last_frame = [&](const std::string& who) {
    quarvel::ImageBuffer image;
    EXPECT_TRUE(quarvel::read_png_file(image, (base + "/" + who + "/frames/frame-000240.png").c_str(),
                                       quarvel::kNoColourKey));
    return image;
  };
  const quarvel::ImageBuffer ann = last_frame("ann"), bob = last_frame("bob");
  ASSERT_EQ(ann.width, 320);
  ASSERT_EQ(bob.width, 320);
  // Line 12 ("Bob: hi") and line 13 ("Ann: hello") of the message list.
  EXPECT_GT(count_pixels(ann, 0, 176, 320, 184, cyan), 10);
  EXPECT_EQ(count_pixels(ann, 0, 176, 320, 184, white), 0);
  EXPECT_GT(count_pixels(ann, 0, 189, 320, 197, white), 10);
  EXPECT_GT(count_pixels(bob, 0, 176, 320, 184, white), 10);
  EXPECT_GT(count_pixels(bob, 0, 189, 320, 197, cyan), 10);
  EXPECT_EQ(count_pixels(bob, 0, 189, 320, 197, white), 0);
}

}  // namespace

namespace {

// Video: Return plays a one-second red clip made with the ffmpeg tool;
// afterwards the thumbnail read back from the video's last picture is red
// and the program goes on drawing frames.
TEST(Examples, VideoPlaysAndKeepsTheLastPicture) {
#ifndef QUARVEL_FFMPEG_TOOL
  GTEST_SKIP() << "no ffmpeg tool to make a clip";
#else
  const std::string app = quarvel_test::temp_dir() + "/video/app";
  fs::remove_all(quarvel_test::temp_dir() + "/video");
  fs::create_directories(app);
  const std::string make = std::string(QUARVEL_FFMPEG_TOOL) +
                           " -y -loglevel error -f lavfi -i color=c=red:s=160x120:r=10:d=1 -c:v mpeg4 -q:v 2 '" +
                           app + "/clip.avi'";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const ExampleRun run = run_example("video", "video", 30, {}, {"frame 5 down 28", "frame 6 up 28"}, 1, "", false);
  // The video's own passes count as frames too (but are not saved): the
  // last saved file is the last frame.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(run.frames)) names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  ASSERT_GT(names.size(), 20u);
  const quarvel::ImageBuffer before = run.frame(3);
  quarvel::ImageBuffer after;
  ASSERT_TRUE(quarvel::read_png_file(after, names.back().c_str(), quarvel::kNoColourKey));
  ASSERT_EQ(after.width, 320);
  auto red = [](int r, int g, int b) { return r > 200 && g < 60 && b < 60; };
  EXPECT_EQ(count_pixels(before, 0, 0, 320, 240, red), 0);
  EXPECT_GT(count_pixels(after, 120, 90, 200, 150, red), 75 * 55);
#endif
}

}  // namespace
