// Stone Swarm frame by frame: the real game runs headless from replay files
// with a fixed seed, saves chosen frames as PNG and traces its sound and
// music commands with frame numbers; the checks read both back.
//
// Frame arithmetic: a replay line "frame F down K" is applied when frame F
// is presented, so frame F + 1 is the first one drawn with the key held. A
// traced command carries the index of the frame being drawn when it ran.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gfx2d/formats/image_readers.h"
#include "quarvel/maths.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr int kReturn = 28, kRightShift = 54, kF1 = 59, kTab = 15, kPageDown = 209;

struct Picture {
  quarvel::ImageBuffer image;
  bool loaded = false;
  // Packed 0xRRGGBB of one pixel.
  uint32_t at(int x, int y) const {
    const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  }
};

struct Box {
  int x0, y0, x1, y1;  // ends exclusive
  bool contains(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

struct TraceLine {
  long frame;
  std::string what;
};

// One run of the game in a fresh copy of its directory.
class GameRun {
 public:
  GameRun(const std::string& name, int seed, const std::vector<std::string>& replay_lines, long save_from,
          long save_to)
      : dir_(fs::path(quarvel_test::temp_dir()) / name) {
    fs::create_directories(dir_ / "game");
    fs::create_directories(dir_ / "frames");
    for (const auto& entry : fs::directory_iterator(STONESWARM_DIR)) {
      if (entry.is_regular_file()) fs::copy_file(entry.path(), dir_ / "game" / entry.path().filename());
    }
    std::ofstream(dir_ / "game" / "hc.txt", std::ios::binary) << "0\r\n";
    {
      std::ofstream replay(dir_ / "replay.txt");
      replay << "quarvel-input 1\nseed " << seed << "\n";
      for (const auto& line : replay_lines) replay << line << "\n";
    }
    const std::string command = "cd / && env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QUARVEL_NO_DIALOGS=1"
                                " QUARVEL_SAVE_FRAMES='" + (dir_ / "frames").string() +
                                "' QUARVEL_SAVE_FROM=" + std::to_string(save_from) +
                                " QUARVEL_SAVE_TO=" + std::to_string(save_to) + " QUARVEL_TRACE='" +
                                (dir_ / "trace.txt").string() + "' timeout 180 '" + (dir_ / "game/stoneswarm").string() +
                                "' --fast --replay '" + (dir_ / "replay.txt").string() + "' > '" +
                                (dir_ / "output.txt").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream trace(dir_ / "trace.txt");
    std::string word, rest;
    long frame = 0;
    while (trace >> word >> frame && std::getline(trace, rest)) {
      trace_.push_back({frame, rest.empty() ? rest : rest.substr(1)});
    }
  }

  int exit_code() const { return exit_code_; }
  const std::vector<TraceLine>& trace() const { return trace_; }

  // Frame of the n-th (from 0) traced command equal to `what`; -1 if none.
  long traced(const std::string& what, int n = 0) const {
    for (const auto& t : trace_) {
      if (t.what == what && n-- == 0) return t.frame;
    }
    return -1;
  }

  const Picture& frame(long n) {
    Picture& p = frames_[n];
    if (!p.loaded) {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%06ld.png", n);
      p.loaded = quarvel::read_png_file(p.image, (dir_ / "frames" / name).c_str(), quarvel::kNoColourKey);
      EXPECT_TRUE(p.loaded) << "frame " << n << " was not saved";
      EXPECT_EQ(p.image.width, 320);
      EXPECT_EQ(p.image.height, 240);
      if (!p.loaded) {
        p.image.width = 320;
        p.image.height = 240;
        p.image.pixels.assign(320 * 240 * 4, 0);
      }
    }
    return p;
  }

  std::string highscore_file() const {
    std::ifstream in(dir_ / "game" / "hc.txt", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  fs::path dir_;
  int exit_code_ = -1;
  std::vector<TraceLine> trace_;
  std::map<long, Picture> frames_;
};

Picture asset(const char* name) {
  Picture p;
  p.loaded = quarvel::read_bitmap_file(p.image, (std::string(STONESWARM_DIR) + "/" + name).c_str(),
                                       quarvel::kNoColourKey);
  EXPECT_TRUE(p.loaded) << name;
  return p;
}

// Pixels of `a` and `b` that differ, outside the boxes.
int differences(const Picture& a, const Picture& b, const std::vector<Box>& outside = {}) {
  int n = 0;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      bool skip = false;
      for (const Box& box : outside) skip = skip || box.contains(x, y);
      if (!skip && a.at(x, y) != b.at(x, y)) ++n;
    }
  }
  return n;
}

std::string key(long frame, const char* change, int code) {
  return "frame " + std::to_string(frame) + " " + change + " " + std::to_string(code);
}

// The rocks as the get-ready screen of level 0 sets them up from the seed,
// moved as the play frames move them.
struct Rocks {
  double x[10], y[10], dx[10], dy[10];
  explicit Rocks(int seed) {
    quarvel::seed_random(seed);
    for (int i = 0; i < 10; ++i) {
      dx[i] = std::max(1.0, quarvel::random_int(3));
      dy[i] = std::max(1.0, quarvel::random_int(1));
      x[i] = quarvel::random_int(300);
      y[i] = quarvel::random_int(220);
    }
  }
  void step() {
    for (int i = 0; i < 10; ++i) {
      x[i] += dx[i];
      y[i] += dy[i];
      if (x[i] > 370 || x[i] < -70) dx[i] = -dx[i];
      if (y[i] > 290 || y[i] < -70) dy[i] = -dy[i];
    }
  }
  Box box(int i) const {
    return {static_cast<int>(x[i]), static_cast<int>(y[i]), static_cast<int>(x[i]) + 28, static_cast<int>(y[i]) + 28};
  }
};

constexpr Box kCraftAtStart{150, 110, 175, 130};
constexpr Box kCountersLine{0, 0, 320, 20};

// Seed 87: the first rock crosses the craft's starting place in play frames
// 100 to 111, well inside the shield, and is gone long before it ends. The
// game is started with Return at frame 700 after the music volume was
// raised with Page Down held over frames 650 to 659; nothing else is
// pressed until Right Shift quits on the second title screen.
GameRun& shield_hit_run() {
  static GameRun run("shield_hit", 87,
                     {key(650, "down", kPageDown), key(660, "up", kPageDown), key(700, "down", kReturn),
                      key(702, "up", kReturn), key(1460, "down", kRightShift)},
                     560, 1460);
  return run;
}

TEST(ShieldHitRun, TitleScrollerEntersFromTheRightOnePixelPerFrameFromTheSecondFrame) {
  GameRun& run = shield_hit_run();
  ASSERT_EQ(run.exit_code(), 0);
  const long title = run.traced("play_music music.mp3");
  ASSERT_GT(title, 400) << "the logo screen takes hundreds of frames";
  ASSERT_LT(title, 650);
  // The scroller line is drawn at y 222 on a background that does not
  // move, so its pixels are those that differ from the first title frame.
  const Picture& first = run.frame(title);
  // The two title rocks turn every frame; the rest of the screen above the
  // scroller stays as it is.
  const std::vector<Box> rocks{{0, 0, 60, 70}, {250, 0, 320, 70}};
  auto ink = [&](const Picture& p, int x, int y) { return p.at(x, y) != first.at(x, y); };
  EXPECT_EQ(differences(run.frame(title + 1), first, rocks), 0) << "second frame: the line starts at x 320";
  EXPECT_GT(differences(run.frame(title + 3), first, rocks), 0) << "the line shows from the right edge";
  for (long k = 1; k < 60; ++k) {
    const Picture& now = run.frame(title + k);
    const Picture& next = run.frame(title + k + 1);
    EXPECT_EQ(differences(now, first, {rocks[0], rocks[1], Box{0, 222, 320, 240}}), 0) << "frame " << title + k;
    int moved = 0;
    for (int y = 222; y < 240; ++y) {
      for (int x = 0; x < 319; ++x) {
        ASSERT_EQ(ink(next, x, y), ink(now, x + 1, y)) << "frame " << title + k + 1 << " at " << x << "," << y;
        if (ink(now, x + 1, y)) {
          ASSERT_EQ(next.at(x, y), now.at(x + 1, y));
          ++moved;
        }
      }
    }
    if (k >= 3) {
      EXPECT_GT(moved, 0) << "frame " << title + k;
    }
  }
}

TEST(ShieldHitRun, PageDownFromFiveReachesElevenInSixFramesAndStays) {
  GameRun& run = shield_hit_run();
  // Setting 5 is volume 0.4; held from frame 651 on, 6 .. 11 give 0.5 .. 1.
  std::vector<std::pair<long, std::string>> changes;
  for (const auto& t : run.trace()) {
    if (t.frame > 600 && t.frame < 700 && t.what.rfind("set_music_volume", 0) == 0) changes.push_back({t.frame, t.what});
  }
  const std::vector<std::pair<long, std::string>> expected = {
      {651, "set_music_volume 0.5"}, {652, "set_music_volume 0.6"}, {653, "set_music_volume 0.7"},
      {654, "set_music_volume 0.8"}, {655, "set_music_volume 0.9"}, {656, "set_music_volume 1"}};
  EXPECT_EQ(changes, expected);
  // The setting is kept: the next title screen plays at full volume too
  // (the trace shows changes only).
  ASSERT_GT(run.traced("play_music music.mp3", 1), 0);
  for (const auto& t : run.trace()) {
    if (t.frame > 656 && t.what.rfind("set_music_volume", 0) == 0) {
      EXPECT_EQ(t.what, "set_music_volume 1");
    }
  }
}

TEST(ShieldHitRun, ReturnStartsTheGetReadyScreenWithTheFanfare) {
  GameRun& run = shield_hit_run();
  // Return is seen in title frame 701 (a click), the title is left and the
  // get-ready screen's first frame, 702, starts the fanfare.
  EXPECT_EQ(run.traced("play_sound 1 1 1"), 701);
  EXPECT_EQ(run.traced("stop_music"), 702);
  EXPECT_EQ(run.traced("play_sound 2 1 1"), 702);
  // 200 identical frames: background, counters, "GET" and "READY"; no
  // rocks, no craft.
  const Picture stone = asset("stone.bmp");
  for (long f : {703L, 800L, 901L}) {
    EXPECT_EQ(differences(run.frame(f), run.frame(702)), 0) << f;
  }
  EXPECT_GT(differences(run.frame(702), stone, {kCountersLine}), 500) << "GET READY is missing";
  EXPECT_GT(differences(run.frame(701), run.frame(702)), 5000) << "frame 702 is not a new screen";
  EXPECT_GT(differences(run.frame(902), run.frame(901)), 0) << "play starts in frame 902";
}

TEST(ShieldHitRun, LevelZeroShowsOneRockAndTheShieldTextForTheFirst199PlayFrames) {
  GameRun& run = shield_hit_run();
  const Picture stone = asset("stone.bmp");
  Rocks rocks(87);
  std::vector<Box> rock0, craft{kCraftAtStart};
  for (int k = 1; k <= 200; ++k) {
    rocks.step();
    rock0.push_back(rocks.box(0));
  }
  // Play frame k is frame 901 + k. In play frame 200 the shield text is
  // gone: everything but the counters, rock 0 and the craft is background,
  // although the nine other rocks are somewhere on the screen.
  const Picture& last = run.frame(1101);
  EXPECT_EQ(differences(last, stone, {kCountersLine, rock0[199], kCraftAtStart}), 0);
  EXPECT_GT(differences(last, stone, {kCountersLine, kCraftAtStart}), 100) << "rock 0 is not drawn";
  EXPECT_GT(differences(last, stone, {kCountersLine, rock0[199]}), 100) << "the craft is not drawn";
  int on_screen = 0;
  for (int i = 1; i < 10; ++i) on_screen += rocks.x[i] > 0 && rocks.x[i] < 292 && rocks.y[i] > 20 && rocks.y[i] < 212;
  EXPECT_GT(on_screen, 0) << "no hidden rock is on the screen to prove anything";
  // Play frames 1 and 199 carry the shield text, at the same place.
  for (long k : {1L, 100L, 199L}) {
    const Picture& f = run.frame(901 + k);
    EXPECT_GT(differences(f, stone, {kCountersLine, rock0[k - 1], kCraftAtStart}), 1000) << "play frame " << k;
  }
  EXPECT_EQ(differences(run.frame(902), run.frame(1100), {kCountersLine, rock0[0], rock0[198], kCraftAtStart}), 0);
}

TEST(ShieldHitRun, AHitDuringTheShieldEndsTheGameInPlayFrame201) {
  GameRun& run = shield_hit_run();
  // The explosion is the game-over screen's first command.
  EXPECT_EQ(run.traced("play_sound 0 1 1"), 1102);
  const Picture& before = run.frame(1101);
  const Picture gameover = asset("gameover.bmp");
  EXPECT_GT(differences(before, gameover), 10000) << "play frame 200 is still play";
  EXPECT_EQ(differences(run.frame(1102), gameover), 0);
}

TEST(ShieldHitRun, GameOverRuns320FramesWithItsZoom) {
  GameRun& run = shield_hit_run();
  const Picture gameover = asset("gameover.bmp");
  // 216 frames of the still picture.
  for (long f : {1102L, 1200L, 1317L}) {
    EXPECT_EQ(differences(run.frame(f), gameover), 0) << f;
  }
  // Scale -1 (six frames): the picture turned half round about its centre.
  const Picture& mirrored = run.frame(1318);
  int off = 0;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) off += mirrored.at(x, y) != gameover.at(319 - x, 239 - y);
  }
  EXPECT_LT(off, 320 * 240 / 100) << "scale -1 is not the picture mirrored in both axes";
  EXPECT_EQ(differences(run.frame(1323), mirrored), 0);
  EXPECT_GT(differences(run.frame(1324), mirrored), 10000) << "scale 0 lasts from frame 1324";
  // Scale 0 shows nothing of the picture; scale 1 is the picture again.
  EXPECT_EQ(differences(run.frame(1329), run.frame(1324)), 0);
  EXPECT_EQ(differences(run.frame(1330), gameover), 0);
  EXPECT_EQ(differences(run.frame(1335), gameover), 0);
  // Scale 2 from frame 1336: the middle of the picture at twice its size.
  const Picture& twice = run.frame(1336);
  int far_off = 0;
  for (int y = 0; y < 240; y += 3) {
    for (int x = 0; x < 320; x += 3) {
      const uint32_t a = twice.at(x, y), b = gameover.at(80 + x / 2, 60 + y / 2);
      int d = 0;
      for (int s = 0; s < 24; s += 8) d += std::abs(static_cast<int>((a >> s) & 255) - static_cast<int>((b >> s) & 255));
      far_off += d > 90;
    }
  }
  EXPECT_LT(far_off, 320 * 240 / 9 / 20) << "scale 2 is not the middle of the picture doubled";
  // Scale 16 in the last two frames, 1420 and 1421; 1422 ends the play frame.
  EXPECT_EQ(differences(run.frame(1420), run.frame(1421)), 0);
  EXPECT_GT(differences(run.frame(1419), run.frame(1420)), 0);
  EXPECT_GT(differences(run.frame(1422), run.frame(1421)), 10000);
  EXPECT_EQ(run.traced("play_music music.mp3", 1), 1423) << "the title screen follows";
}

TEST(ShieldHitRun, TheNewHighscoreIsSavedAndShownOnTheTitle) {
  GameRun& run = shield_hit_run();
  // Play frames 1 .. 201 scored a point each (the frame of the game-over
  // screen still counts).
  EXPECT_EQ(run.highscore_file(), "201\r\n");
  const long first = run.traced("play_music music.mp3", 0);
  const long second = run.traced("play_music music.mp3", 1);
  ASSERT_GT(first, 0);
  ASSERT_GT(second, first);
  // Title frames of both visits match except in the highscore line (y 200
  // to 214) and in the rotating rocks (whose angle goes on), and the
  // scroller restarts: it is off the screen in both second frames.
  const Box rocks_left{0, 0, 60, 60}, rocks_right{250, 0, 320, 60}, highscore{0, 200, 320, 215};
  EXPECT_EQ(differences(run.frame(first + 1), run.frame(second + 1), {rocks_left, rocks_right, highscore}), 0);
  EXPECT_GT(differences(run.frame(first + 1), run.frame(second + 1), {rocks_left, rocks_right}), 20);
  EXPECT_EQ(run.traced("play_sound 1 1 1", 1), 1461) << "Right Shift clicks";
}

// Seed 5 (no hits in these frames): the logo screen, F1 in play returns to
// the title, a second game is left with Tab, Right Shift quits.
GameRun& menu_keys_run() {
  static GameRun run("menu_keys", 5,
                     {key(700, "down", kReturn), key(702, "up", kReturn), key(1000, "down", kF1),
                      key(1002, "up", kF1), key(1100, "down", kReturn), key(1102, "up", kReturn),
                      key(1450, "down", kTab), key(1452, "up", kTab), key(1500, "down", kRightShift)},
                     0, 650);
  return run;
}

TEST(MenuKeysRun, F1AndTabReturnToTheTitleAndSaveOnlyABetterScore) {
  GameRun& run = menu_keys_run();
  ASSERT_EQ(run.exit_code(), 0);
  // F1 is seen in play frame 100 (frame 1001): a click, that frame ends as
  // usual and the title screen starts with the next one.
  EXPECT_EQ(run.traced("play_sound 1 1 1", 1), 1001);
  EXPECT_EQ(run.traced("play_music music.mp3", 1), 1002);
  EXPECT_EQ(run.traced("play_sound 2 1 1", 1), 1102) << "the second game's get-ready screen";
  // Tab in play frame 150 of the second game.
  EXPECT_EQ(run.traced("play_sound 1 1 1", 3), 1451);
  EXPECT_EQ(run.traced("play_music music.mp3", 2), 1452);
  EXPECT_EQ(run.traced("play_sound 0 1 1"), -1) << "no game-over screen";
  // 100 points, then 150: both saved when the title screen came back.
  EXPECT_EQ(run.highscore_file(), "150\r\n");
  EXPECT_EQ(run.traced("play_sound 1 1 1", 4), 1501) << "Right Shift on the title";
}

TEST(MenuKeysRun, TheLogoFadesInAndOutBeforeTheTitle) {
  GameRun& run = menu_keys_run();
  const long title = run.traced("play_music music.mp3");
  ASSERT_GT(title, 400);
  const Picture logo = asset("logo.bmp"), blank = asset("blank.bmp");
  // The last 100 frames before the title show the blank picture alone.
  for (long f : {title - 100, title - 50, title - 1}) {
    EXPECT_EQ(differences(run.frame(f), blank), 0) << f;
  }
  // Before them: the 300 frames of the logo, framed by the two fades, whose
  // frames lie between the pictures they blend.
  long logo_frames = 0, first_logo = -1, last_logo = -1;
  for (long f = 1; f < title - 100; ++f) {
    if (differences(run.frame(f), logo) == 0) {
      ++logo_frames;
      if (first_logo < 0) first_logo = f;
      last_logo = f;
    }
  }
  // 300 frames, and one or two more when a fade's last frame already came
  // out at full strength.
  EXPECT_GE(logo_frames, 300);
  EXPECT_LE(logo_frames, 302);
  EXPECT_EQ(last_logo - first_logo + 1, logo_frames) << "the logo frames are not one run";
  EXPECT_GT(first_logo, 10) << "no fade in";
  EXPECT_GT(title - 100 - last_logo, 10) << "no fade out";
  const Picture& fading = run.frame((last_logo + title - 100) / 2);
  int between = 0, outside = 0;
  for (int y = 0; y < 240; y += 2) {
    for (int x = 0; x < 320; x += 2) {
      const uint32_t a = logo.at(x, y), b = blank.at(x, y), m = fading.at(x, y);
      for (int s = 0; s < 24; s += 8) {
        const int lo = std::min((a >> s) & 255, (b >> s) & 255), hi = std::max((a >> s) & 255, (b >> s) & 255);
        const int v = (m >> s) & 255;
        if (hi - lo < 40) continue;
        ++(v >= lo - 2 && v <= hi + 2 ? between : outside);
        if (v <= lo + 8 || v >= hi - 8) --between;  // at an end, not a blend
      }
    }
  }
  EXPECT_GT(between, 1000) << "the middle of the fade out is not a blend";
  EXPECT_EQ(outside, 0);
}

// Seed 5 with Up held through play frames 250 to 281 (frames 1151 to 1182):
// the craft climbs 64 pixels into the first rock's way. Well after the
// shield, the game must end in the very play frame whose collision test
// finds the two pictures overlapping, tested pixel by pixel here.
GameRun& late_hit_run() {
  static GameRun run("late_hit", 5,
                     {key(700, "down", kReturn), key(702, "up", kReturn), key(1150, "down", 200),
                      key(1182, "up", 200), key(1900, "down", kRightShift)},
                     1, 0);
  return run;
}

// Opaque pixels of a sprite file (the default key colour is transparent).
std::vector<std::vector<bool>> opaque_mask(const char* name) {
  quarvel::ImageBuffer image;
  EXPECT_TRUE(quarvel::read_bitmap_file(image, (std::string(STONESWARM_DIR) + "/" + name).c_str(),
                                        quarvel::kDefaultSpriteKey));
  std::vector<std::vector<bool>> mask(image.height, std::vector<bool>(image.width));
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) mask[y][x] = image.pixels[(y * image.width + x) * 4 + 3] != 0;
  }
  return mask;
}

bool masks_touch(const std::vector<std::vector<bool>>& a, int ax, int ay, const std::vector<std::vector<bool>>& b,
                 int bx, int by) {
  for (size_t y = 0; y < a.size(); ++y) {
    for (size_t x = 0; x < a[y].size(); ++x) {
      if (!a[y][x]) continue;
      const int u = ax + static_cast<int>(x) - bx, v = ay + static_cast<int>(y) - by;
      if (v >= 0 && v < static_cast<int>(b.size()) && u >= 0 && u < static_cast<int>(b[v].size()) && b[v][u]) {
        return true;
      }
    }
  }
  return false;
}

TEST(LateHitRun, AHitAfterTheShieldEndsTheGameInTheSameFrame) {
  GameRun& run = late_hit_run();
  ASSERT_EQ(run.exit_code(), 0);
  const auto craft = opaque_mask("raumer.bmp"), rock = opaque_mask("asteroid.bmp");
  Rocks rocks(5);
  int craft_y = 110;
  long hit = -1;
  for (long k = 1; k < 2000 && hit < 0; ++k) {
    rocks.step();
    // The test uses the craft where the previous frame's keys left it.
    if (masks_touch(craft, 150, craft_y, rock, static_cast<int>(rocks.x[0]), static_cast<int>(rocks.y[0]))) hit = k;
    const long frame = 901 + k;
    if (frame >= 1151 && frame <= 1182) craft_y -= 2;
  }
  ASSERT_GT(hit, 200) << "this run was meant to hit after the shield";
  EXPECT_EQ(run.traced("play_sound 0 1 1"), 901 + hit);
  // The run's score: play frames 1 .. hit.
  EXPECT_EQ(run.highscore_file(), std::to_string(hit) + "\r\n");
}

}  // namespace
