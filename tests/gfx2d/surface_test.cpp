// Primitives with negative sizes, polygon batches, off-screen surfaces and
// grabs, read back pixel by pixel.
#include <string>
#include <vector>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "runtime_fixture.h"
#include "test_images.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

constexpr double kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kKey = 0x8000FF, kGrey = 0x404040;

OpenGLVurivari& gfx() { return *engine().gfx; }

TEST_F(RuntimeTest, NegativeRectangleSizesCountBackFromTheCorner) {
  draw_rect(10, 10, -5, 3, kRed);
  show_screen();
  // x from 6 up to 11 and y from 10 up to 13, ends exclusive.
  EXPECT_EQ(get_pixel(6, 10), kRed);
  EXPECT_EQ(get_pixel(10, 12), kRed);
  EXPECT_EQ(get_pixel(5, 10), 0);
  EXPECT_EQ(get_pixel(11, 10), 0);
  EXPECT_EQ(get_pixel(6, 13), 0);
}

TEST_F(RuntimeTest, PolygonTextureCoordinatesCountFromThePicturesTopLeft) {
  std::string path = temp_dir() + "/poly.bmp";
  write_solid_bmp(path, 100, 50, 0x00FF00);
  load_sprite(DynString(path.c_str()), 3);
  start_poly(3);
  poly_vector(0, 0, 0, 0, 0xFFFFFF);
  ASSERT_EQ(gfx().poly_count, 1);
  EXPECT_FLOAT_EQ(gfx().poly_vertices[2], 0.0f);
  EXPECT_FLOAT_EQ(gfx().poly_vertices[3], 50.0f / 64.0f);
  // Counter-clockwise as seen on the screen: the front face.
  poly_vector(0, 50, 0, 50, 0xFFFFFF);
  poly_vector(100, 50, 100, 50, 0xFFFFFF);
  poly_vector(100, 0, 100, 0, 0xFFFFFF);
  EXPECT_FLOAT_EQ(gfx().poly_vertices[16 + 2], 100.0f / 128.0f);
  end_poly();
  // An untextured fan in one colour.
  start_poly(-1);
  poly_vector(200, 100, 0, 0, kBlue);
  poly_vector(200, 140, 0, 0, kBlue);
  poly_vector(240, 140, 0, 0, kBlue);
  poly_vector(240, 100, 0, 0, kBlue);
  end_poly();
  // Wound clockwise on the screen it is a back face, which is culled.
  start_poly(-1);
  poly_vector(260, 100, 0, 0, kRed);
  poly_vector(300, 100, 0, 0, kRed);
  poly_vector(300, 140, 0, 0, kRed);
  end_poly();
  show_screen();
  EXPECT_EQ(get_pixel(50, 25), kGreen);
  EXPECT_EQ(get_pixel(220, 120), kBlue);
  EXPECT_EQ(get_pixel(295, 105), 0);
  EXPECT_EQ(get_pixel(150, 25), 0);
}

TEST_F(RuntimeTest, GrabbedSpritesArePaddedFromThirtyTwoAndReused) {
  draw_rect(0, 0, 320, 240, kGrey);
  draw_rect(20, 20, 10, 10, kRed);
  draw_rect(22, 22, 3, 3, kKey);
  grab_sprite(5, 20, 20, 10, 10);
  EXPECT_EQ(gfx().slots.padded_width[5], 32);
  EXPECT_EQ(gfx().slots.padded_height[5], 32);
  double w = 0, h = 0;
  get_sprite_size(5, w, h);
  EXPECT_EQ(w, 10);
  EXPECT_EQ(h, 10);
  const GLuint first = gfx().sprite_texture_name(5);
  grab_sprite(5, 20, 20, 10, 10);
  EXPECT_EQ(gfx().sprite_texture_name(5), first);
  show_screen();
  draw_sprite(5, 100, 100);
  show_screen();
  EXPECT_EQ(get_pixel(100, 100), kRed);
  EXPECT_EQ(get_pixel(109, 109), kRed);
  // The key colour drew alpha 0, so it stays transparent in the grab.
  EXPECT_EQ(get_pixel(102, 102), 0);
}

TEST_F(RuntimeTest, ReadBackGrabTurnsTheKeyTransparent) {
  gfx().force_readback_grab = true;
  draw_rect(20, 20, 10, 10, kRed);
  // Drawn opaque in the key colour: only the read-back rule can find it.
  set_transparency(-1);
  draw_rect(22, 22, 3, 3, kKey);
  set_transparency(kKey);
  grab_sprite(6, 20, 20, 10, 10);
  show_screen();
  draw_sprite(6, 100, 100);
  show_screen();
  EXPECT_EQ(get_pixel(100, 100), kRed);
  EXPECT_EQ(get_pixel(102, 102), 0);
  gfx().force_readback_grab = false;
}

// Draws the same scene into a surface and the surface's sprite onto the
// screen; returns the pixels that tell the picture.
std::vector<double> surface_scene(bool copy_path) {
  gfx().force_copy_surfaces = copy_path;
  draw_rect(0, 0, 320, 240, kGrey);
  create_screen(1, 7, 40, 30);
  use_screen(1);
  draw_rect(0, 0, 40, 30, kGreen);
  draw_rect(5, 5, 10, 10, kKey);  // transparent hole
  set_pixel(39, 29, kRed);
  use_screen(-1);
  draw_sprite(7, 100, 100);
  show_screen();
  gfx().force_copy_surfaces = false;
  return {get_pixel(101, 101), get_pixel(107, 107), get_pixel(139, 129), get_pixel(120, 120),
          get_pixel(0, 0),     get_pixel(140, 100), get_pixel(20, 20)};
}

TEST_F(RuntimeTest, SurfaceDrawsIntoItsSpriteWithTheKeyTransparent) {
  std::vector<double> p = surface_scene(false);
  EXPECT_GT(gfx().surfaces[1].framebuffer_width, 0);
  EXPECT_EQ(p[0], kGreen);
  EXPECT_EQ(p[1], kGrey);  // the hole shows the screen behind
  EXPECT_EQ(p[2], kRed);
  EXPECT_EQ(p[3], kGreen);
  EXPECT_EQ(p[4], kGrey);  // the screen itself was untouched
  EXPECT_EQ(p[5], kGrey);
}

TEST_F(RuntimeTest, BothSurfacePathsGiveTheSamePicture) {
  std::vector<double> with_objects = surface_scene(false);
  std::vector<double> by_copying = surface_scene(true);
  EXPECT_EQ(gfx().surfaces[1].framebuffer_width, 0);
  EXPECT_EQ(with_objects, by_copying);
}

TEST_F(RuntimeTest, PresentingLeavesTheCurrentSurface) {
  create_screen(2, 8, 16, 16);
  use_screen(2);
  show_screen();
  EXPECT_EQ(gfx().current_surface, -1);
  draw_rect(0, 0, 5, 5, kRed);
  show_screen();
  EXPECT_EQ(get_pixel(2, 2), kRed);
  use_screen(40);  // above 31: ignored
  EXPECT_EQ(gfx().current_surface, -1);
}

}  // namespace
}  // namespace quarvel_test
