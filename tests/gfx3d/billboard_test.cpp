// Billboard sprites and 3D text: size, placement, facing the camera, and
// the culling and lighting state they leave.
#include "view_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

using BillboardTest = View3DTest;

// At 20 units in front of a camera with a 90 degree view, one world unit is
// 6 pixels (tan 45 by the series is a shade under 1).
constexpr double kPixelsPerUnit = 120.0 / 20.0;

TEST_F(BillboardTest, SpriteStandsOnThePointAndFacesTheCamera) {
  load_solid_sprite(60, 32, 32, 0x00FF00);
  for (int side = 0; side < 2; ++side) {
    start_3d_view(1, 100, 90);
    set_cull_mode(1);
    if (side) {
      set_camera(20, 0, 0, 0, 0, 0);  // from +x: the sprite turns with it
    } else {
      set_camera(0, 0, 20, 0, 0, 0);
    }
    draw_billboard_sprite(60, 0, 0, 0, 1);
    EXPECT_EQ(renderer().cull_mode, 1);  // the program's choice comes back
    show_screen();
    // 16 x 16 world units, the bottom edge centred on the point.
    const Box b = lit_box(presented());
    EXPECT_NEAR(b.x0, 160 - 8 * kPixelsPerUnit, 1.5) << side;
    EXPECT_NEAR(b.x1 + 1, 160 + 8 * kPixelsPerUnit, 1.5) << side;
    EXPECT_NEAR(b.y0, 120 - 16 * kPixelsPerUnit, 1.5) << side;
    EXPECT_NEAR(b.y1 + 1, 120, 1.5) << side;
    EXPECT_EQ(b.count, (b.x1 - b.x0 + 1) * (b.y1 - b.y0 + 1));
    EXPECT_EQ(get_pixel(160, 100), 0x00FF00);
  }
}

TEST_F(BillboardTest, ScaleAndSlotLimits) {
  load_solid_sprite(61, 32, 32, 0xFF0000);
  start_3d_view(1, 100, 90);
  set_camera(0, 0, 20, 0, 0, 0);
  draw_billboard_sprite(61, 0, 0, 0, 0.5);
  draw_billboard_sprite(40000, -10, 0, 0, 1);  // negative as 16 bits: no sprite
  draw_billboard_sprite(-1, 10, 0, 0, 1);
  show_screen();
  const Box b = lit_box(presented());
  EXPECT_NEAR(b.x1 + 1 - b.x0, 8 * kPixelsPerUnit, 1.5);
  EXPECT_NEAR(b.y0, 120 - 8 * kPixelsPerUnit, 1.5);
}

TEST_F(BillboardTest, TextInTheSceneSpansSizeTimesCellWidth) {
  load_font(DynString(""), 0);  // the built-in font: 8 x 8 cells
  start_3d_view(1, 100, 90);
  set_camera(0, 0, 20, 0, 0, 0);
  print_text_3d(DynString("AB"), 0, 0, 0, 1);
  show_screen();
  // 16 units wide centred on the point, 8 units tall above it; the glyphs
  // keep a pixel of their cell free at the right.
  const Box b = lit_box(presented());
  EXPECT_GE(b.x0, 160 - 8 * kPixelsPerUnit - 1);
  EXPECT_LE(b.x1 + 1, 160 + 8 * kPixelsPerUnit + 1);
  EXPECT_LE(b.x0, 160 - 7 * kPixelsPerUnit);
  EXPECT_GE(b.x1 + 1, 160 + 6 * kPixelsPerUnit);
  EXPECT_GE(b.y0, 120 - 8 * kPixelsPerUnit - 1);
  EXPECT_LE(b.y1 + 1, 120 + 1);
}

TEST_F(BillboardTest, ScreenTextSitsAboveTheProjectedPoint) {
  load_font(DynString(""), 0);
  start_3d_view(1, 100, 60);
  set_3d_light(0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 1);
  set_cull_mode(-1);
  print_text_3d(DynString("X"), 0, 0, -10, 0);
  EXPECT_TRUE(enabled(GL_CULL_FACE));
  EXPECT_TRUE(enabled(GL_LIGHTING));
  // A point in the camera's plane does not project: nothing is drawn and
  // the state stays as it was.
  print_text_3d(DynString("X"), 50, 0, 0, 0);
  EXPECT_TRUE(enabled(GL_CULL_FACE));
  EXPECT_TRUE(enabled(GL_LIGHTING));
  show_screen();
  const Box b = lit_box(presented());
  EXPECT_GE(b.x0, 156);
  EXPECT_LE(b.x1, 163);
  EXPECT_GE(b.y0, 112);
  EXPECT_LE(b.y1, 119);
  EXPECT_GT(b.count, 4);
}

}  // namespace
}  // namespace quarvel_test
