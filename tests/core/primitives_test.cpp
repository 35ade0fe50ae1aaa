// Primitives drawn into the surface and read back from the presented frame.
#include <quarvel/quarvel.h>

#include "runtime_fixture.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

constexpr double kRed = 0x0000FF;
constexpr double kGreen = 0x00FF00;
constexpr double kBlue = 0xFF0000;

TEST_F(RuntimeTest, RectangleCoversItsPixelsAndNoMore) {
  draw_rect(10, 10, 5, 3, kRed);
  show_screen();
  EXPECT_EQ(get_pixel(10, 10), kRed);
  EXPECT_EQ(get_pixel(14, 12), kRed);
  EXPECT_EQ(get_pixel(15, 12), 0);
  EXPECT_EQ(get_pixel(14, 13), 0);
  EXPECT_EQ(get_pixel(9, 10), 0);
  EXPECT_EQ(get_pixel(10, 9), 0);
}

TEST_F(RuntimeTest, GetPixelReadsThePresentedFrameNotTheOneBeingDrawn) {
  draw_rect(0, 0, 320, 240, kBlue);
  show_screen();
  draw_rect(0, 0, 320, 240, kGreen);
  EXPECT_EQ(get_pixel(100, 100), kBlue);
  show_screen();
  EXPECT_EQ(get_pixel(100, 100), kGreen);
  // Each presented frame starts from a cleared surface.
  show_screen();
  EXPECT_EQ(get_pixel(100, 100), 0);
}

TEST_F(RuntimeTest, PixelsAndLinesLandOnTheirCoordinates) {
  set_pixel(0, 0, kRed);
  set_pixel(319, 239, kGreen);
  draw_line(50, 50, 50, 50, kBlue);  // a zero-length line is one pixel
  draw_line(100, 20, 110, 20, kGreen);
  show_screen();
  EXPECT_EQ(get_pixel(0, 0), kRed);
  EXPECT_EQ(get_pixel(319, 239), kGreen);
  EXPECT_EQ(get_pixel(50, 50), kBlue);
  EXPECT_EQ(get_pixel(51, 50), 0);
  EXPECT_EQ(get_pixel(50, 51), 0);
  EXPECT_EQ(get_pixel(100, 20), kGreen);
  EXPECT_EQ(get_pixel(110, 20), kGreen);  // end point included
  EXPECT_EQ(get_pixel(111, 20), 0);
}

TEST_F(RuntimeTest, ViewportMovesTheOriginAndZeroSizeRestoresTheSurface) {
  set_viewport(10, 20, 100, 50);
  set_pixel(0, 0, kRed);
  set_pixel(99, 49, kGreen);
  set_pixel(100, 10, kBlue);  // outside the viewport: clipped
  set_viewport(0, 0, 0, 0);
  set_pixel(0, 0, kBlue);
  show_screen();
  EXPECT_EQ(get_pixel(10, 20), kRed);
  EXPECT_EQ(get_pixel(109, 69), kGreen);
  EXPECT_EQ(get_pixel(110, 30), 0);
  EXPECT_EQ(get_pixel(0, 0), kBlue);
}

TEST_F(RuntimeTest, ProjectionIsResetForEveryFrame) {
  set_viewport(50, 50, 20, 20);
  show_screen();
  set_pixel(0, 0, kRed);
  show_screen();
  EXPECT_EQ(get_pixel(0, 0), kRed);
}

TEST_F(RuntimeTest, ReadsOutsideTheSurfaceGiveZero) {
  draw_rect(0, 0, 320, 240, kRed);
  show_screen();
  EXPECT_EQ(get_pixel(-1, 0), 0);
  EXPECT_EQ(get_pixel(320, 0), 0);
  EXPECT_EQ(get_pixel(0, 1e12), 0);
}

}  // namespace
}  // namespace quarvel_test
