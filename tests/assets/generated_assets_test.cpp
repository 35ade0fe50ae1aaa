// The asset generator's output, read back with the runtime's own readers and
// checked against what the game needs: sizes, transparency, texts that fit
// at their screen positions, sounds that parse, music long enough to loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/formats/wave_reader.h"
#include "gfx2d/formats/image_readers.h"
#include "test_support.h"

namespace {

using quarvel::ImageBuffer;

const char* const kAssetNames[] = {"asteroid.bmp", "raumer.bmp",  "stone.bmp",    "gameover.bmp", "logo.bmp",
                                   "blank.bmp",    "smalfont.bmp", "font.bmp",    "font2.bmp",    "fontbig.bmp",
                                   "fontscroller.bmp", "explosion.wav", "keyclick.wav", "fanfare.wav", "music.mp3"};

std::vector<uint8_t> read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int run_generator(const std::string& dir) {
  const std::string command = std::string("\"") + STONESWARM_ASSET_TOOL + "\" \"" + dir + "\"";
  return std::system(command.c_str());
}

// The assets as the build wrote them next to the game.
class GeneratedAssets : public ::testing::Test {
 protected:
  static std::string path(const char* name) { return std::string(STONESWARM_ASSET_DIR) + "/" + name; }
  static ImageBuffer picture(const char* name, int64_t key) {
    ImageBuffer image;
    EXPECT_TRUE(quarvel::read_image_file(image, path(name).c_str(), key)) << name;
    return image;
  }
};

const uint8_t* pixel(const ImageBuffer& image, int x, int y) {
  return image.pixels.data() + (static_cast<size_t>(y) * image.width + x) * 4;
}
bool opaque(const ImageBuffer& image, int x, int y) {
  return x >= 0 && y >= 0 && x < image.width && y < image.height && pixel(image, x, y)[3] != 0;
}
float luminance(const uint8_t* p) { return 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2]; }

// Mean luminance of a rectangle.
float mean_luminance(const ImageBuffer& image, int x0, int y0, int x1, int y1) {
  double sum = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) sum += luminance(pixel(image, x, y));
  return static_cast<float>(sum / ((x1 - x0) * (y1 - y0)));
}

TEST_F(GeneratedAssets, PicturesLoadAtTheSizesTheGameDrawsThem) {
  struct Expected {
    const char* name;
    int width, height;
  };
  const Expected expected[] = {
      {"asteroid.bmp", 28, 28},    {"raumer.bmp", 25, 20},  {"stone.bmp", 320, 240},   {"gameover.bmp", 320, 240},
      {"logo.bmp", 320, 240},      {"blank.bmp", 320, 240}, {"smalfont.bmp", 128, 64}, {"font.bmp", 192, 80},
      {"font2.bmp", 192, 96},      {"fontbig.bmp", 608, 304}, {"fontscroller.bmp", 176, 128},
  };
  for (const Expected& e : expected) {
    const ImageBuffer image = picture(e.name, quarvel::kNoColourKey);
    EXPECT_EQ(image.width, e.width) << e.name;
    EXPECT_EQ(image.height, e.height) << e.name;
  }
}

TEST_F(GeneratedAssets, SpritesAreSolidShapesSurroundedByTheKeyColour) {
  struct Sprite {
    const char* name;
    int min_opaque;
  };
  for (const Sprite& s : {Sprite{"asteroid.bmp", 350}, Sprite{"raumer.bmp", 200}}) {
    const ImageBuffer image = picture(s.name, quarvel::kDefaultSpriteKey);
    int count = 0, min_x = image.width, max_x = -1, min_y = image.height, max_y = -1;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) {
        if (!opaque(image, x, y)) continue;
        ++count;
        min_x = std::min(min_x, x), max_x = std::max(max_x, x);
        min_y = std::min(min_y, y), max_y = std::max(max_y, y);
      }
    EXPECT_GE(count, s.min_opaque) << s.name;
    // The shape spans most of the picture yet the key colour rounds it off:
    // no picture corner is part of the shape.
    EXPECT_GE(max_x - min_x + 1, image.width * 3 / 4) << s.name;
    EXPECT_GE(max_y - min_y + 1, image.height * 3 / 4) << s.name;
    for (int corner = 0; corner < 4; ++corner)
      EXPECT_FALSE(opaque(image, corner % 2 ? image.width - 1 : 0, corner / 2 ? image.height - 1 : 0)) << s.name;
  }
  // The rock is round enough to turn on the title screen: its whole border is key colour.
  const ImageBuffer rock = picture("asteroid.bmp", quarvel::kDefaultSpriteKey);
  for (int i = 0; i < rock.width; ++i) {
    EXPECT_FALSE(opaque(rock, i, 0));
    EXPECT_FALSE(opaque(rock, i, rock.height - 1));
    EXPECT_FALSE(opaque(rock, 0, i));
    EXPECT_FALSE(opaque(rock, rock.width - 1, i));
  }
}

TEST_F(GeneratedAssets, BackgroundsStayDarkBehindText) {
  const ImageBuffer play = picture("stone.bmp", quarvel::kNoColourKey);
  EXPECT_LT(mean_luminance(play, 0, 0, 320, 17), 30.0f) << "the counters line";
  EXPECT_LT(mean_luminance(play, 0, 0, 320, 240), 50.0f);
  const ImageBuffer title = picture("blank.bmp", quarvel::kNoColourKey);
  EXPECT_LT(mean_luminance(title, 0, 90, 320, 190), 40.0f) << "description and key help";
  EXPECT_LT(mean_luminance(title, 0, 218, 320, 240), 40.0f) << "the scroller";
  // Artwork, not an empty fill.
  for (const char* name : {"logo.bmp", "gameover.bmp", "stone.bmp", "blank.bmp"}) {
    const ImageBuffer image = picture(name, quarvel::kNoColourKey);
    float lo = 255, hi = 0;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) {
        lo = std::min(lo, luminance(pixel(image, x, y)));
        hi = std::max(hi, luminance(pixel(image, x, y)));
      }
    EXPECT_GT(hi - lo, 100.0f) << name;
  }
}

// Cell size of a font picture as the runtime computes it.
struct Cell {
  int width, height;
};
Cell cell_of(const ImageBuffer& font) {
  const int rows = font.width < font.height ? 16 : 8;
  return {font.width / 16, font.height / rows};
}

TEST_F(GeneratedAssets, FontCellsFitTheTextsAtTheirScreenPositions) {
  struct Text {
    const char* font;
    const char* text;
    int x, y;
    int right_limit;  // the text must end at or before this x
  };
  const Text texts[] = {
      {"fontbig.bmp", "STONE", 65, 1, 320},         {"fontbig.bmp", "SWARM", 65, 40, 320},
      {"fontbig.bmp", "GET", 105, 70, 320},         {"fontbig.bmp", "READY", 60, 115, 320},
      {"fontbig.bmp", "SHIELD", 40, 55, 320},       {"fontbig.bmp", "ENABLED", 20, 140, 320},
      {"fontscroller.bmp", "Counter= 2000", 0, 0, 170}, {"fontscroller.bmp", "Points= 12345", 170, 0, 320},
      {"fontscroller.bmp", "Stone Swarm", 0, 222, 320},
      {"font.bmp", "Avoid being hit in the", 9, 95, 320}, {"font.bmp", "stone swarm and survive", 9, 105, 320},
      {"font.bmp", "as long as you can ...!", 9, 115, 320}, {"font.bmp", "Highscore : 12345", 60, 200, 320},
      {"font2.bmp", "Start Game = Start Button", 10, 150, 320}, {"font2.bmp", "Menue = Select Button", 35, 162, 320},
      {"font2.bmp", "Quit Game = Right Shift", 20, 174, 320},
  };
  for (const Text& t : texts) {
    const Cell cell = cell_of(picture(t.font, 0));
    EXPECT_LE(t.x + static_cast<int>(std::strlen(t.text)) * cell.width, t.right_limit) << t.font << ": " << t.text;
    EXPECT_LE(t.y + cell.height, 240) << t.font << ": " << t.text;
  }
  // Lines printed one under another must not overlap.
  EXPECT_LE(cell_of(picture("fontbig.bmp", 0)).height, 39) << "STONE at y 1 over SWARM at y 40";
  EXPECT_LE(cell_of(picture("font.bmp", 0)).height, 10) << "description lines 10 apart";
  EXPECT_LE(cell_of(picture("font2.bmp", 0)).height, 12) << "key help lines 12 apart";
  // The credits line of about 245 characters fits the scroller's run to -2700.
  EXPECT_LE(245 * cell_of(picture("fontscroller.bmp", 0)).width, 2700);
}

struct Box {
  int x0 = 1 << 20, y0 = 1 << 20, x1 = -(1 << 20), y1 = -(1 << 20);  // inclusive
  bool empty() const { return x1 < x0; }
  void add(int x, int y) {
    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
  }
  bool meets(const Box& o) const { return !empty() && !o.empty() && x0 <= o.x1 && o.x0 <= x1 && y0 <= o.y1 && o.y0 <= y1; }
};

// The screen pixels a text covers when printed at (x, y), outline included.
Box ink_of(const ImageBuffer& font, const std::string& text, int x, int y) {
  const Cell cell = cell_of(font);
  Box box;
  for (size_t i = 0; i < text.size(); ++i) {
    const int code = static_cast<unsigned char>(text[i]) % 128;
    const int cx = (code % 16) * cell.width, cy = (code / 16) * cell.height;
    for (int yy = 0; yy < cell.height; ++yy)
      for (int xx = 0; xx < cell.width; ++xx)
        if (opaque(font, cx + xx, cy + yy)) box.add(x + static_cast<int>(i) * cell.width + xx, y + yy);
  }
  return box;
}

TEST_F(GeneratedAssets, ScreenTextsKeepClearOfEachOtherAndOfTheTitleRocks) {
  const ImageBuffer big = picture("fontbig.bmp", 0);
  const ImageBuffer counters = picture("fontscroller.bmp", 0);
  const Box screen{0, 0, 319, 239};
  auto on_screen = [&](const Box& b) { return b.x0 >= screen.x0 && b.y0 >= screen.y0 && b.x1 <= screen.x1 && b.y1 <= screen.y1; };

  const Box stone = ink_of(big, "STONE", 65, 1), swarm = ink_of(big, "SWARM", 65, 40);
  const Box get = ink_of(big, "GET", 105, 70), ready = ink_of(big, "READY", 60, 115);
  const Box shield = ink_of(big, "SHIELD", 40, 55), enabled = ink_of(big, "ENABLED", 20, 140);
  for (const Box& b : {stone, swarm, get, ready, shield, enabled}) EXPECT_TRUE(on_screen(b));
  EXPECT_FALSE(stone.meets(swarm));
  EXPECT_FALSE(get.meets(ready));
  EXPECT_FALSE(shield.meets(enabled));
  // The title words end above the description at y 95.
  EXPECT_LT(swarm.y1, 95);

  // The rocks turn about their centres at (10, 20) and (270, 20): keep the
  // title words out of the circles they sweep.
  const ImageBuffer rock = picture("asteroid.bmp", quarvel::kDefaultSpriteKey);
  double reach = 0;
  for (int y = 0; y < rock.height; ++y)
    for (int x = 0; x < rock.width; ++x)
      if (opaque(rock, x, y)) reach = std::max(reach, std::hypot(x + 0.5 - rock.width / 2.0, y + 0.5 - rock.height / 2.0));
  for (const double left : {10.0, 270.0}) {
    const double cx = left + rock.width / 2.0;
    for (const Box& b : {stone, swarm}) {
      const double gap = cx < b.x0 ? b.x0 - cx : cx - (b.x1 + 1);
      EXPECT_GT(gap, reach) << "rock at x " << left;
    }
  }

  // The separator lines of the title screen (y 140, 200 and 215, x 3 to
  // 317) keep clear of every text, outline included: "Highscore" is printed
  // at the very row of the middle one.
  const ImageBuffer body = picture("font.bmp", 0);
  const ImageBuffer help = picture("font2.bmp", 0);
  const Box title_texts[] = {
      ink_of(body, "Avoid being hit in the", 9, 95), ink_of(body, "stone swarm and survive", 9, 105),
      ink_of(body, "as long as you can ...!", 9, 115), ink_of(body, "Highscore : 0123456789", 60, 200),
      ink_of(help, "Start Game = Start Button", 10, 150), ink_of(help, "Menue = Select Button", 35, 162),
      ink_of(help, "Quit Game = Right Shift", 20, 174), ink_of(counters, "Stone Swarm by Quarvel", 0, 222)};
  for (const int line_y : {140, 200, 215}) {
    const Box line{3, line_y, 317, line_y};
    for (const Box& t : title_texts) EXPECT_FALSE(t.meets(line)) << "line at y " << line_y << ", text at y " << t.y0;
  }
  // ... and the descriptions still keep clear of each other.
  EXPECT_FALSE(title_texts[0].meets(title_texts[1]));
  EXPECT_FALSE(title_texts[1].meets(title_texts[2]));

  // The counters line: "Counter= " and its number end before "Points= ".
  const Box counter = ink_of(counters, "Counter= 2000", 0, 0), points = ink_of(counters, "Points= 12345", 170, 0);
  EXPECT_LT(counter.x1, points.x0);
  EXPECT_TRUE(on_screen(points));
  EXPECT_TRUE(on_screen(ink_of(counters, "Wg", 0, 222))) << "the scroller's descenders";
}

TEST_F(GeneratedAssets, FontsHaveOutlinedGlyphsForEveryPrintableCode) {
  for (const char* name : {"smalfont.bmp", "font.bmp", "font2.bmp", "fontscroller.bmp", "fontbig.bmp"}) {
    // Black is the fonts' transparent colour.
    const ImageBuffer font = picture(name, 0);
    const Cell cell = cell_of(font);
    for (int code = 0; code < 128; ++code) {
      const int cx = (code % 16) * cell.width, cy = (code / 16) * cell.height;
      int ink = 0, bright = 0, light_edges = 0;
      for (int y = 0; y < cell.height; ++y)
        for (int x = 0; x < cell.width; ++x) {
          if (!opaque(font, cx + x, cy + y)) continue;
          ++ink;
          const float l = luminance(pixel(font, cx + x, cy + y));
          if (l > 120.0f) ++bright;
          // A pixel next to transparency (or at the cell's edge) belongs to
          // the outline and must be dark.
          const bool edge = x == 0 || y == 0 || x == cell.width - 1 ||
                            !opaque(font, cx + x - 1, cy + y) || !opaque(font, cx + x + 1, cy + y) ||
                            !opaque(font, cx + x, cy + y - 1) || (y + 1 < cell.height && !opaque(font, cx + x, cy + y + 1));
          if (edge && l > 60.0f) ++light_edges;
        }
      if (code <= 32) {
        EXPECT_EQ(ink, 0) << name << " code " << code;
      } else {
        EXPECT_GT(bright, 0) << name << " code " << code << " has no glyph";
        EXPECT_EQ(light_edges, 0) << name << " code " << code << " lacks its outline";
      }
    }
  }
}

TEST_F(GeneratedAssets, SoundEffectsAreShortCleanPcmWaves) {
  struct Effect {
    const char* name;
    double min_seconds, max_seconds;
  };
  for (const Effect& e : {Effect{"explosion.wav", 0.8, 1.5}, Effect{"keyclick.wav", 0.02, 0.08},
                          Effect{"fanfare.wav", 0.9, 1.6}}) {
    const std::vector<uint8_t> bytes = read_bytes(path(e.name));
    quarvel::WaveSound wave;
    ASSERT_TRUE(quarvel::parse_wave(bytes.data(), bytes.size(), wave)) << e.name;
    EXPECT_EQ(wave.bits_per_sample, 16) << e.name;
    EXPECT_EQ(wave.sample_rate, 22050u) << e.name;
    const size_t samples = wave.sample_bytes / 2;
    const double seconds = static_cast<double>(samples / wave.channels) / wave.sample_rate;
    EXPECT_GE(seconds, e.min_seconds) << e.name;
    EXPECT_LE(seconds, e.max_seconds) << e.name;
    int peak = 0;
    for (size_t i = 0; i < samples; ++i) {
      const int16_t v = static_cast<int16_t>(wave.samples[i * 2] | (wave.samples[i * 2 + 1] << 8));
      peak = std::max(peak, std::abs(static_cast<int>(v)));
    }
    EXPECT_GT(peak, 8000) << e.name << " is too quiet";
    EXPECT_LT(peak, 32767) << e.name << " clips";
    // Fades out to silence: no click when it stops.
    const size_t last = samples - 1;
    const int16_t end = static_cast<int16_t>(wave.samples[last * 2] | (wave.samples[last * 2 + 1] << 8));
    EXPECT_LT(std::abs(static_cast<int>(end)), 200) << e.name;
  }
}

TEST_F(GeneratedAssets, MusicIsAGaplessMp3OfAtLeastAMinute) {
  const std::vector<uint8_t> mp3 = read_bytes(path("music.mp3"));
  ASSERT_GT(mp3.size(), 4u);
  // Walk the frames from the first byte (no tag in front).
  static const int kBitrates[2][16] = {{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
                                       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
  static const int kRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};
  size_t at = 0;
  long frames = 0;
  int rate = 0, samples_per_frame = 0;
  while (at + 4 <= mp3.size()) {
    const uint8_t* h = mp3.data() + at;
    ASSERT_EQ(h[0], 0xFF) << "frame sync lost at byte " << at;
    ASSERT_EQ(h[1] & 0xE6, 0xE2) << "not a layer III frame at byte " << at;
    const int mpeg2 = (h[1] & 0x08) ? 0 : 1;
    const int bitrate = kBitrates[mpeg2][h[2] >> 4];
    const int rate_index = (h[2] >> 2) & 3;
    ASSERT_TRUE(bitrate > 0 && rate_index < 3) << "bad header at byte " << at;
    rate = kRates[mpeg2][rate_index];
    samples_per_frame = mpeg2 ? 576 : 1152;
    const size_t length = static_cast<size_t>(samples_per_frame / 8 * bitrate * 1000 / rate + ((h[2] >> 1) & 1));
    at += length;
    ++frames;
  }
  EXPECT_EQ(at, mp3.size()) << "the last frame is cut short";
  EXPECT_TRUE(rate == 44100 || rate == 22050);
  // One frame is the header frame that carries the gapless information.
  const double seconds = static_cast<double>(frames - 1) * samples_per_frame / rate;
  EXPECT_GE(seconds, 60.0);
  EXPECT_LE(seconds, 120.0);
  const std::string head(mp3.begin(), mp3.begin() + std::min<size_t>(mp3.size(), 200));
  EXPECT_TRUE(head.find("Xing") != std::string::npos || head.find("Info") != std::string::npos);
  EXPECT_NE(head.find("LAME"), std::string::npos);
}

TEST(AssetGenerator, WritesTheSameBytesEveryRunAndKeepsTheHighscore) {
  const std::string dir = quarvel_test::temp_dir() + "/assets";
  ASSERT_EQ(run_generator(dir), 0);
  for (const char* name : kAssetNames) {
    const std::vector<uint8_t> bytes = read_bytes(dir + "/" + name);
    EXPECT_FALSE(bytes.empty()) << name;
    EXPECT_TRUE(bytes == read_bytes(std::string(STONESWARM_ASSET_DIR) + "/" + name)) << name << " differs from the build's";
  }
  // A fresh directory gets highscore 0; a player's highscore is kept.
  EXPECT_EQ(read_bytes(dir + "/hc.txt"), (std::vector<uint8_t>{'0', '\r', '\n'}));
  {
    std::ofstream hc(dir + "/hc.txt", std::ios::binary | std::ios::trunc);
    hc << "4711\r\n";
  }
  ASSERT_EQ(run_generator(dir), 0);
  const std::vector<uint8_t> kept = read_bytes(dir + "/hc.txt");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "4711\r\n");
  EXPECT_NE(run_generator(""), 0) << "no directory given";
}

}  // namespace
