// Background layers: loaded pictures drawn at the start of every frame.
#include <string>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "runtime_fixture.h"
#include "test_images.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

std::string solid_file(const char* name, int w, int h, uint32_t colour) {
  std::string path = temp_dir() + "/" + name;
  write_solid_bmp(path, w, h, colour);
  return path;
}

TEST_F(RuntimeTest, BackgroundIsDrawnBehindEveryFrame) {
  set_background(DynString(solid_file("blue.bmp", 320, 240, 0xFF0000).c_str()));
  show_screen();
  EXPECT_EQ(get_pixel(100, 100), 0xFF0000);
  draw_rect(0, 0, 10, 10, 0x0000FF);
  show_screen();
  EXPECT_EQ(get_pixel(5, 5), 0x0000FF);
  EXPECT_EQ(get_pixel(319, 239), 0xFF0000);
  show_screen();
  EXPECT_EQ(get_pixel(5, 5), 0xFF0000);
  clear_background();
  show_screen();
  EXPECT_EQ(get_pixel(100, 100), 0);
}

TEST_F(RuntimeTest, GrabbedScreenIsTheBackgroundOfEveryLaterFrame) {
  // A scene that marks the corners and a rectangle, grabbed whole.
  draw_rect(0, 0, 320, 240, 0x203040);
  draw_rect(0, 0, 1, 1, 0x0000FF);
  draw_rect(319, 239, 1, 1, 0x00FF00);
  draw_rect(100, 50, 30, 20, 0xFF0000);
  grab_background();
  show_screen();
  EXPECT_EQ(get_pixel(0, 0), 0x0000FF);
  EXPECT_EQ(get_pixel(319, 239), 0x00FF00);
  EXPECT_EQ(get_pixel(100, 50), 0xFF0000);
  EXPECT_EQ(get_pixel(130, 50), 0x203040);
  // Later frames draw over it and start from it again: the picture is not
  // upside down or shifted.
  draw_rect(100, 50, 10, 10, 0xFFFFFF);
  show_screen();
  EXPECT_EQ(get_pixel(105, 55), 0xFFFFFF);
  EXPECT_EQ(get_pixel(115, 65), 0xFF0000);
  show_screen();
  EXPECT_EQ(get_pixel(105, 55), 0xFF0000);
  EXPECT_EQ(get_pixel(0, 0), 0x0000FF);
  EXPECT_EQ(get_pixel(319, 0), 0x203040);
  // A second grab replaces the first.
  draw_rect(0, 0, 320, 240, 0x00FFFF);
  grab_background();
  show_screen();
  show_screen();
  EXPECT_EQ(get_pixel(100, 50), 0x00FFFF);
  clear_background();
  show_screen();
  EXPECT_EQ(get_pixel(100, 50), 0);
}

TEST_F(RuntimeTest, LargePictureIsSplitIntoTiles) {
  OpenGLVurivari& gfx = *engine().gfx;
  ASSERT_TRUE(gfx.load_background_layer(4, solid_file("wide.bmp", 1000, 300, 0x00FF00).c_str()));
  EXPECT_EQ(gfx.layers[4].column_count, 2);
  EXPECT_EQ(gfx.layers[4].row_count, 1);
  EXPECT_EQ(gfx.layers[4].tile_padded_width[1][0], 512);
  EXPECT_EQ(gfx.layers[4].tile_width[1][0], 512);
  gfx.clear_background_layer(4);
  EXPECT_EQ(gfx.layers[4].column_count, 0);
  EXPECT_EQ(gfx.layers[4].tile_texture[0][0], 0u);
}

TEST_F(RuntimeTest, AreaBeyondASmallPictureIsBlack) {
  draw_rect(0, 0, 320, 240, 0x0000FF);
  set_background(DynString(solid_file("small.bmp", 100, 100, 0xFFFFFF).c_str()));
  show_screen();
  show_screen();
  EXPECT_EQ(get_pixel(50, 50), 0xFFFFFF);
  EXPECT_EQ(get_pixel(150, 150), 0);
}

TEST_F(RuntimeTest, MissingBackgroundClearsIt) {
  set_background(DynString(solid_file("white.bmp", 320, 240, 0xFFFFFF).c_str()));
  set_background(DynString("no-such-background.bmp"));
  show_screen();
  EXPECT_EQ(get_pixel(10, 10), 0);
  EXPECT_EQ(load_background(DynString("no-such-background.bmp")), 0);
}

TEST_F(RuntimeTest, CrossFadeEndsOnTheNewPicture) {
  set_background(DynString(solid_file("from.bmp", 320, 240, 0x0000FF).c_str()));
  show_screen();
  double start = current_ms();
  EXPECT_EQ(load_background(DynString(solid_file("to.bmp", 320, 240, 0x00FF00).c_str())), 1);
  EXPECT_GE(current_ms() - start, 1400.0);
  EXPECT_EQ(get_pixel(160, 120), 0x00FF00);
  show_screen();
  EXPECT_EQ(get_pixel(160, 120), 0x00FF00);
  EXPECT_EQ(engine().gfx->layers[1].column_count, 0);
  EXPECT_EQ(engine().gfx->layers[2].column_count, 0);
}

TEST_F(RuntimeTest, BumpTextureOfAFlatMapPointsStraightUp) {
  load_bump_texture(DynString(solid_file("flat.bmp", 8, 8, 0x808080).c_str()), 20);
  draw_sprite(20, 0, 0);
  show_screen();
  EXPECT_EQ(get_pixel(4, 4), 0xFF7F7F);
}

TEST_F(RuntimeTest, AlphaMaskIsReadOnceAndDroppedOnReload) {
  std::string path = temp_dir() + "/masked.bmp";
  std::vector<uint32_t> p(4 * 3, 0x00FF00);
  p[0] = 0x8000FF;  // top-left keyed
  write_bmp24(path, 4, 3, p);
  load_sprite(DynString(path.c_str()), 21);
  OpenGLVurivari& gfx = *engine().gfx;
  const std::vector<uint8_t>* mask = gfx.alpha_mask(21);
  ASSERT_NE(mask, nullptr);
  ASSERT_EQ(mask->size(), 4u * 4u);
  // Bottom texture row first: the picture's top row is texel row 2.
  EXPECT_EQ((*mask)[2 * 4 + 0], 0);
  EXPECT_EQ((*mask)[2 * 4 + 1], 255);
  EXPECT_EQ((*mask)[0], 255);
  EXPECT_EQ((*mask)[3 * 4 + 0], 0);  // padding row
  EXPECT_EQ(gfx.alpha_mask(21), mask);
  load_sprite(DynString(path.c_str()), 21);
  EXPECT_TRUE(gfx.slots.alpha_mask[21].empty());
  EXPECT_EQ(gfx.alpha_mask(40000), nullptr);  // empty slot: no mask, no read
}

}  // namespace
}  // namespace quarvel_test
