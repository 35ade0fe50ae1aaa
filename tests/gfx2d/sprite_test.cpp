// Sprites drawn into the surface and read back pixel by pixel.
#include <string>
#include <utility>
#include <vector>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx2d/formats/image_writers.h"
#include "values/file_bytes.h"
#include "runtime_fixture.h"
#include "test_images.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;
constexpr uint32_t kKey = 0x8000FF;

class SpriteTest : public RuntimeTest {
 protected:
  // Writes a bitmap and loads it into the slot.
  static void load(int slot, int w, int h, const std::vector<uint32_t>& pixels) {
    std::string path = temp_dir() + "/sprite" + std::to_string(slot) + ".bmp";
    write_bmp24(path, w, h, pixels);
    load_sprite(DynString(path.c_str()), slot);
  }
  static void load_solid(int slot, int w, int h, uint32_t colour) {
    load(slot, w, h, std::vector<uint32_t>(static_cast<size_t>(w * h), colour));
  }
  // A 16 x 16 sprite in four 8 x 8 quadrants: red, green / blue, white.
  static void load_quadrants(int slot) {
    std::vector<uint32_t> p(256);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) p[y * 16 + x] = y < 8 ? (x < 8 ? kRed : kGreen) : (x < 8 ? kBlue : kWhite);
    load(slot, 16, 16, p);
  }
  static double px(int x, int y) { return get_pixel(x, y); }
  static OpenGLVurivari& gfx() { return *engine().gfx; }
};

TEST_F(SpriteTest, LoadedSpriteKeepsItsSizeAndPaddedTexture) {
  load_solid(1, 100, 50, kRed);
  double w = 0, h = 0;
  get_sprite_size(1, w, h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 50);
  EXPECT_EQ(engine().gfx->slots.padded_width[1], 128);
  EXPECT_EQ(engine().gfx->slots.padded_height[1], 64);
  EXPECT_NE(engine().gfx->slots.mipmapped[1], 0u);
}

TEST_F(SpriteTest, MissingFileEmptiesAnOccupiedSlot) {
  load_solid(2, 8, 8, kRed);
  load_sprite(DynString("no-such-file.bmp"), 2);
  double w = -1, h = -1;
  get_sprite_size(2, w, h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(engine().gfx->sprite_texture_name(2), 0u);
  // Drawing the empty slot draws nothing at all.
  draw_sprite(2, 0, 0);
  stretch_sprite(2, 0, 0, 50, 50);
  zoom_sprite(2, 0, 0, 3, 3);
  rotate_sprite(2, 10, 10, 30);
  show_screen();
  EXPECT_EQ(px(5, 5), 0);
  EXPECT_EQ(px(25, 25), 0);
}

TEST_F(SpriteTest, DrawSpriteRoundsItsCornerUp) {
  load_solid(3, 4, 4, kRed);
  draw_sprite(3, 10.2, 5);
  show_screen();
  EXPECT_EQ(px(11, 5), kRed);
  EXPECT_EQ(px(14, 8), kRed);
  EXPECT_EQ(px(10, 5), 0);
  EXPECT_EQ(px(15, 5), 0);
  EXPECT_EQ(px(11, 4), 0);
  EXPECT_EQ(px(11, 9), 0);
}

TEST_F(SpriteTest, PictureIsDrawnUprightAndExact) {
  load_quadrants(4);
  draw_sprite(4, 40, 40);
  show_screen();
  EXPECT_EQ(px(40, 40), kRed);
  EXPECT_EQ(px(47, 47), kRed);
  EXPECT_EQ(px(48, 40), kGreen);
  EXPECT_EQ(px(40, 48), kBlue);
  EXPECT_EQ(px(55, 55), kWhite);
}

TEST_F(SpriteTest, ZoomScalesAboutTheCentre) {
  load_solid(5, 16, 16, kGreen);
  zoom_sprite(5, 100, 100, 2, 2);
  show_screen();
  EXPECT_EQ(px(92, 92), kGreen);
  EXPECT_EQ(px(123, 123), kGreen);
  EXPECT_EQ(px(91, 100), 0);
  EXPECT_EQ(px(100, 91), 0);
  EXPECT_EQ(px(124, 110), 0);
  EXPECT_EQ(px(110, 124), 0);
}

TEST_F(SpriteTest, NegativeSizesMirror) {
  load_quadrants(6);
  stretch_sprite(6, 100, 20, -16, 16);  // mirrored left-right, extends left of x
  stretch_sprite(6, 200, 60, -16, -16);  // half a turn
  show_screen();
  EXPECT_EQ(px(86, 22), kGreen);
  EXPECT_EQ(px(97, 22), kRed);
  EXPECT_EQ(px(86, 33), kWhite);
  EXPECT_EQ(px(100, 22), 0);
  EXPECT_EQ(px(186, 46), kWhite);
  EXPECT_EQ(px(197, 46), kBlue);
  EXPECT_EQ(px(186, 57), kGreen);
  EXPECT_EQ(px(197, 57), kRed);
}

TEST_F(SpriteTest, PositiveAngleTurnsCounterClockwiseOnScreen) {
  load_quadrants(7);
  rotate_sprite(7, 60, 60, 90);
  show_screen();
  // Quarter turn counter-clockwise about (68, 68): the right half comes up
  // to the top.
  EXPECT_EQ(px(63, 63), kGreen);
  EXPECT_EQ(px(73, 63), kWhite);
  EXPECT_EQ(px(63, 73), kRed);
  EXPECT_EQ(px(73, 73), kBlue);
}

TEST_F(SpriteTest, RotateZoomScalesOddSizesAboutTheirIntegerCentre) {
  // 15 x 9: red columns 0..6, a blue column 7, green columns 8..14.
  std::vector<uint32_t> p(15 * 9);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 15; ++x) p[y * 15 + x] = x < 7 ? kRed : x == 7 ? kBlue : kGreen;
  load(9, 15, 9, p);
  // Zoom 3 about (100 + 7, 100 + 4), the integer half: x from 84.5 to
  // 129.5, y from 90.5 to 117.5. Pixel centres on an edge are covered on
  // the left and bottom edges only, so a centre at the exact half (107.5,
  // 104.5) would show as pixel 129 (or row 118) drawn and 84 not.
  rotate_zoom_sprite(9, 100, 100, 0, 3);
  show_screen();
  EXPECT_EQ(px(83, 104), 0);
  EXPECT_EQ(px(84, 104), kRed);
  EXPECT_EQ(px(102, 104), kRed);
  EXPECT_EQ(px(109, 104), kGreen);
  EXPECT_EQ(px(128, 104), kGreen);
  EXPECT_EQ(px(129, 104), 0);
  EXPECT_EQ(px(100, 90), 0);
  EXPECT_EQ(px(100, 92), kRed);
  EXPECT_EQ(px(100, 117), kRed);
  EXPECT_EQ(px(100, 118), 0);
  // The blue column lies between, blended by the filter.
  const uint32_t middle = static_cast<uint32_t>(px(106, 104));
  EXPECT_GT(middle >> 16, 0x80u);

  // Half a turn at zoom 1.5 mirrors both ways about the same centre (x
  // from 95.75 to 118.25, y from 97.25 to 110.75); a negative zoom without
  // a turn gives the same picture.
  for (const auto& [angle, zoom] : {std::pair<double, double>{180, 1.5}, {0, -1.5}}) {
    show_screen();
    rotate_zoom_sprite(9, 100, 100, angle, zoom);
    show_screen();
    EXPECT_EQ(px(95, 104), 0) << angle;
    EXPECT_EQ(px(96, 104), kGreen) << angle;
    EXPECT_EQ(px(104, 104), kGreen) << angle;
    EXPECT_EQ(px(110, 104), kRed) << angle;
    EXPECT_EQ(px(117, 104), kRed) << angle;
    EXPECT_EQ(px(118, 104), 0) << angle;
    EXPECT_EQ(px(100, 96), 0) << angle;
    EXPECT_EQ(px(100, 98), kGreen) << angle;
    EXPECT_EQ(px(100, 111), 0) << angle;
  }
  // A quarter turn at zoom 2: the 30 x 18 picture stands upright, 18 wide
  // (98..115) and 30 high (89..118) about (107, 104); the right (green)
  // comes to the top, the left (red) to the bottom.
  show_screen();
  rotate_zoom_sprite(9, 100, 100, 90, 2);
  show_screen();
  EXPECT_EQ(px(97, 104), 0);
  // The blue column, one texel blended with a little green by the filter.
  EXPECT_GT(static_cast<uint32_t>(px(100, 104)) >> 16, 0xF0u);
  EXPECT_GT(static_cast<uint32_t>(px(115, 104)) >> 16, 0xF0u);
  EXPECT_EQ(px(116, 104), 0);
  EXPECT_EQ(px(107, 88), 0);
  EXPECT_EQ(px(107, 89), kGreen);
  EXPECT_EQ(px(107, 100), kGreen);
  EXPECT_EQ(px(107, 108), kRed);
  EXPECT_EQ(px(107, 118), kRed);
  EXPECT_EQ(px(107, 119), 0);
}

TEST_F(SpriteTest, KeyedPixelsAreNeverDrawn) {
  std::vector<uint32_t> p(16, kRed);
  p[5] = kKey;  // (1, 1)
  load(8, 4, 4, p);
  draw_rect(0, 0, 320, 240, 0x404040);
  draw_sprite(8, 20, 20);
  show_screen();
  EXPECT_EQ(px(21, 21), 0x404040);
  EXPECT_EQ(px(22, 21), kRed);
  // Without a key the same colour is just a colour.
  set_transparency(-1);
  load(8, 4, 4, p);
  draw_sprite(8, 20, 20);
  show_screen();
  EXPECT_EQ(px(21, 21), kKey);
  set_transparency(kKey);
}

TEST_F(SpriteTest, AlphaModesBlendAsAdditiveOrTranslucent) {
  load_solid(9, 8, 8, kRed);
  auto drawn_with = [&](double mode) {
    draw_rect(0, 0, 320, 240, 0x404040);
    set_alpha_mode(mode);
    draw_sprite(9, 10, 10);
    show_screen();
    return static_cast<uint32_t>(px(12, 12));
  };
  uint32_t additive = drawn_with(0.5);
  EXPECT_NEAR(additive & 0xFF, 0x40 + 127, 1);
  EXPECT_EQ(additive >> 8, 0x4040u);
  uint32_t translucent = drawn_with(-0.5);
  // The colour (0.5, 0.5, 0.5, 0.5) scales the texel before it is blended.
  EXPECT_NEAR(translucent & 0xFF, 255 / 4 + 0x40 / 2, 1);
  EXPECT_NEAR((translucent >> 8) & 0xFF, 0x20, 1);
  EXPECT_EQ(drawn_with(-0.1), 0x404040u);  // fails the alpha test
  EXPECT_EQ(drawn_with(2), drawn_with(1));
  EXPECT_EQ(drawn_with(1), 0x4040FFu);
  // Each frame starts opaque again.
  draw_sprite(9, 10, 10);
  show_screen();
  EXPECT_EQ(px(12, 12), kRed);
}

TEST_F(SpriteTest, ManySpritesFromOneSlotAllArrive) {
  load_solid(10, 2, 2, kBlue);
  for (int i = 0; i < 100; ++i) draw_sprite(10, (i % 20) * 10, (i / 20) * 10);
  draw_rect(0, 0, 1, 1, kRed);  // a primitive between batches keeps its place
  draw_sprite(10, 0, 0);
  show_screen();
  EXPECT_EQ(px(0, 0), kBlue);
  EXPECT_EQ(px(190, 40), kBlue);
  EXPECT_EQ(px(191, 41), kBlue);
  EXPECT_EQ(px(192, 40), 0);
}

// Sprites under a white colour take the texture as it stands instead of
// multiplying it by white; every way of drawing a sprite must come out the
// same as multiplied, to the last bit.
TEST_F(SpriteTest, WhiteSpritesDrawTheSameAsMultipliedByWhite) {
  // 13 x 11, every alpha from 0 to 255 around the alpha test's threshold,
  // colours that differ in every channel.
  const int w = 13, h = 11;
  std::vector<uint8_t> bgra(static_cast<size_t>(w * h * 4));
  for (int i = 0; i < w * h; ++i) {
    bgra[i * 4 + 0] = static_cast<uint8_t>(i * 7);
    bgra[i * 4 + 1] = static_cast<uint8_t>(255 - i * 3);
    bgra[i * 4 + 2] = static_cast<uint8_t>(i * 13 + 5);
    bgra[i * 4 + 3] = static_cast<uint8_t>(i < 20 ? 30 + i : i * 2);
  }
  const std::string png = temp_dir() + "/white_quads.png";
  ASSERT_TRUE(write_file_bytes(png.c_str(), encode_png(bgra.data(), w, h)));
  load_sprite(DynString(png.c_str()), 20);
  load_quadrants(21);
  std::vector<uint32_t> keyed(64, kGreen);
  for (int i = 0; i < 64; i += 3) keyed[static_cast<size_t>(i)] = kKey;
  load(22, 8, 8, keyed);

  std::vector<uint32_t> backdrop(320 * 240);
  for (size_t i = 0; i < backdrop.size(); ++i) backdrop[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF;
  const std::string backdrop_file = temp_dir() + "/white_quads_backdrop.bmp";
  write_bmp24(backdrop_file, 320, 240, backdrop);

  auto frame = [&](bool modulated) {
    gfx().force_modulated_textures = modulated;
    set_background(DynString(backdrop_file.c_str()));
    for (int i = 0; i < 4; ++i) draw_rect(i * 40, 0, 40, 240, 0x102030u * static_cast<uint32_t>(i + 1));
    const double modes[] = {0, 1, -1, 0.5, -0.6};
    int row = 0;
    for (double mode : modes) {
      set_alpha_mode(mode);
      const double y = 2 + row++ * 46;
      draw_sprite(20, 3.4, y);
      draw_sprite(21, 20, y);
      draw_sprite(22, 40, y);
      draw_sprite(20, -5, y + 20);  // partly outside
      stretch_sprite(20, 60, y, 41, 29);
      stretch_sprite(20, 110, y + 29, 30, -27);  // mirrored
      zoom_sprite(21, 170, y + 10, 2.5, 1.5);
      rotate_zoom_sprite(20, 220, y, 33, 1.7);
      print_text(DynString("Ag"), 260, y);
      draw_sprite(22, 300, y + 30);
    }
    set_alpha_mode(0);
    show_screen();
    clear_background();
    std::vector<uint8_t> rgba(320 * 240 * 4);
    EXPECT_TRUE(gfx().read_presented(rgba.data(), 320, 240));
    gfx().force_modulated_textures = false;
    return rgba;
  };
  const std::vector<uint8_t> multiplied = frame(true);
  const std::vector<uint8_t> replaced = frame(false);
  size_t differing = 0;
  for (size_t i = 0; i < multiplied.size(); ++i) differing += multiplied[i] != replaced[i];
  EXPECT_EQ(differing, 0u);
  // The frame shows the sprites at all (not two empty frames).
  EXPECT_NE(px(7, 4), 0x102030);
}

}  // namespace
}  // namespace quarvel_test
