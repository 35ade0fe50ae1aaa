// Pixel-exact collision, and saving pictures to files.
#include <png.h>

#include <fstream>
#include <string>
#include <vector>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx2d/formats/image_buffer.h"
#include "gfx2d/formats/image_readers.h"
#include "gfx2d/formats/image_writers.h"
#include "runtime_fixture.h"
#include "test_images.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

constexpr uint32_t kKey = 0x8000FF;

void load_bmp(int slot, int w, int h, const std::vector<uint32_t>& pixels) {
  std::string path = temp_dir() + "/c" + std::to_string(slot) + ".bmp";
  write_bmp24(path, w, h, pixels);
  load_sprite(DynString(path.c_str()), slot);
}

TEST_F(RuntimeTest, OpaqueSquaresCollideOnlyWhenTheyShareAPixel) {
  load_bmp(1, 16, 16, std::vector<uint32_t>(256, 0x00FF00));
  load_bmp(2, 16, 16, std::vector<uint32_t>(256, 0xFF0000));
  EXPECT_EQ(sprite_collision(1, 0, 0, 2, 15, 0), 1);
  EXPECT_EQ(sprite_collision(1, 0, 0, 2, 16, 0), 0);
  EXPECT_EQ(sprite_collision(1, 0, 0, 2, 0, 16), 0);
  EXPECT_EQ(sprite_collision(1, 0, 0, 2, -15.9, -15.9), 1);  // truncated to -15
  EXPECT_EQ(sprite_collision(1, 10, 10, 1, 10, 10), 1);       // itself
}

TEST_F(RuntimeTest, TransparentPixelsNeverCollide) {
  // Left half opaque, right half keyed.
  std::vector<uint32_t> half(256);
  for (int i = 0; i < 256; ++i) half[i] = (i % 16) < 8 ? 0x00FF00 : kKey;
  load_bmp(3, 16, 16, half);
  load_bmp(4, 16, 16, std::vector<uint32_t>(256, 0xFF0000));
  EXPECT_EQ(sprite_collision(3, 0, 0, 4, 8, 0), 0);  // overlap only over the keyed half
  EXPECT_EQ(sprite_collision(3, 0, 0, 4, 7, 0), 1);
  // A single opaque pixel in the odd lattice pass is still found.
  std::vector<uint32_t> dot(256, kKey);
  dot[15 * 16 + 15] = 0xFFFFFF;
  load_bmp(5, 16, 16, dot);
  EXPECT_EQ(sprite_collision(5, 0, 0, 4, 0, 0), 1);
  EXPECT_EQ(sprite_collision(5, 0, 0, 4, 0, -1), 0);
}

TEST_F(RuntimeTest, ReloadingASlotDropsItsMaskAndEmptySlotsNeverTouch) {
  load_bmp(6, 16, 16, std::vector<uint32_t>(256, 0x00FF00));
  load_bmp(7, 16, 16, std::vector<uint32_t>(256, 0x00FF00));
  EXPECT_EQ(sprite_collision(6, 0, 0, 7, 0, 0), 1);
  load_bmp(7, 16, 16, std::vector<uint32_t>(256, kKey));
  EXPECT_EQ(sprite_collision(6, 0, 0, 7, 0, 0), 0);
  EXPECT_EQ(sprite_collision(6, 0, 0, 999, 0, 0), 0);
  EXPECT_TRUE(engine().gfx->slots.alpha_mask[999].empty());
}

// A PNG sprite of one colour and one alpha over its whole area.
void load_png_alpha(int slot, int w, int h, uint8_t alpha) {
  std::vector<uint8_t> bgra(static_cast<size_t>(w * h * 4));
  for (size_t i = 0; i < bgra.size(); i += 4) {
    bgra[i] = 0x20;
    bgra[i + 1] = 0xC0;
    bgra[i + 2] = 0x40;
    bgra[i + 3] = alpha;
  }
  std::string path = temp_dir() + "/t" + std::to_string(slot) + ".png";
  ASSERT_TRUE(write_file_bytes(path.c_str(), encode_png(bgra.data(), w, h)));
  load_sprite(DynString(path.c_str()), slot);
}

TEST_F(RuntimeTest, TranslucentPixelsCollideLikeOpaqueOnes) {
  // 0x80 & 0x40 is 0: the alpha bytes must not be combined bitwise.
  load_png_alpha(10, 16, 16, 0x80);
  load_png_alpha(11, 16, 16, 0x40);
  load_png_alpha(12, 16, 16, 0x01);
  load_png_alpha(13, 16, 16, 0x00);
  EXPECT_EQ(sprite_collision(10, 0, 0, 11, 0, 0), 1);
  EXPECT_EQ(sprite_collision(10, 0, 0, 11, 15, 15), 1);  // a single shared pixel in the last pass
  EXPECT_EQ(sprite_collision(11, 0, 0, 12, 0, 0), 1);
  EXPECT_EQ(sprite_collision(12, 0, 0, 12, 0, 0), 1);
  EXPECT_EQ(sprite_collision(10, 0, 0, 13, 0, 0), 0);   // alpha 0 stays empty
  EXPECT_EQ(sprite_collision(10, 0, 0, 11, 16, 0), 0);

  // Grabbed sprites keep the frame buffer's alpha: fill two screen areas
  // with alpha 0x80 and 0x40 and grab them.
  engine().gfx->flush_quads();
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 240 - 16, 16, 16);
  glClearColor(0.5f, 0.5f, 0.5f, 128 / 255.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glScissor(32, 240 - 16, 16, 16);
  glClearColor(0.5f, 0.5f, 0.5f, 64 / 255.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 0);
  grab_sprite(14, 0, 0, 16, 16);
  grab_sprite(15, 32, 0, 16, 16);
  EXPECT_EQ(sprite_collision(14, 0, 0, 15, 0, 0), 1);
  EXPECT_EQ(sprite_collision(14, 0, 0, 15, 15, 15), 1);
  EXPECT_EQ(sprite_collision(15, 0, 0, 10, 0, 0), 1);
}

std::vector<uint8_t> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(RuntimeTest, ScreenSavesAsBitmapOrPngByName) {
  draw_rect(0, 0, 320, 240, 0x102030);
  draw_rect(0, 0, 1, 1, 0x0000FF);
  show_screen();
  std::string bmp = temp_dir() + "/screen.bmp";
  ASSERT_EQ(save_screen(DynString(bmp.c_str())), 1);
  EXPECT_EQ(file_bytes(bmp).size(), 230454u);
  ImageBuffer image;
  ASSERT_TRUE(read_bitmap_file(image, bmp.c_str(), kNoColourKey));
  EXPECT_EQ(image.pixels[0], 255);  // top-left red, the right way up
  EXPECT_EQ(image.pixels[4 * 320 + 0], 0x30);

  std::string png = temp_dir() + "/screen.PNG";
  ASSERT_EQ(save_screen(DynString(png.c_str())), 1);
  ImageBuffer from_png;
  ASSERT_TRUE(read_png_file(from_png, png.c_str(), kNoColourKey));
  ASSERT_EQ(from_png.width, 320);
  EXPECT_EQ(from_png.pixels, image.pixels);

  // Only names longer than the ending count as PNG: ".png" alone is a bitmap.
  EXPECT_FALSE(wants_png(".png"));
  EXPECT_TRUE(wants_png("a.pNg"));
  EXPECT_FALSE(wants_png("a.bmp"));
  EXPECT_EQ(save_screen(DynString("/no/such/dir/x.bmp")), 0);
}

TEST_F(RuntimeTest, SpriteSavesAtItsPictureSizeTheRightWayUp) {
  std::vector<uint32_t> p(100 * 50, 0x00FF00);
  p[0] = 0x0000FF;      // top-left red
  p[49 * 100] = kKey;   // bottom-left keyed
  load_bmp(8, 100, 50, p);
  std::string out = temp_dir() + "/sprite.bmp";
  ASSERT_EQ(save_sprite(DynString(out.c_str()), 8), 1);
  ImageBuffer image;
  ASSERT_TRUE(read_bitmap_file(image, out.c_str(), kNoColourKey));
  EXPECT_EQ(image.width, 100);
  EXPECT_EQ(image.height, 50);
  EXPECT_EQ(image.pixels[0], 255);
  EXPECT_EQ(image.pixels[1], 0);
  // Keyed texels are transparent black in the texture, so they save black.
  const uint8_t* keyed = &image.pixels[49 * 100 * 4];
  EXPECT_EQ(keyed[0], 0);
  EXPECT_EQ(save_sprite(DynString(out.c_str()), 12345), 0);  // empty slot
}

}  // namespace
}  // namespace quarvel_test
