// 3D lines, points and axes: colours, width limits, world placement and the
// state they leave behind.
#include "view_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

using MarkersTest = View3DTest;

// Rows of column x that are not black.
int lit_rows(const View3DTest::Frame& f, int x) {
  int n = 0;
  for (int y = 0; y < f.height; ++y) n += f.at(x, y) != 0 ? 1 : 0;
  return n;
}

// The colour of the first lit pixel of column x in rows y0..y1.
uint32_t first_lit(const View3DTest::Frame& f, int x, int y0, int y1) {
  for (int y = y0; y <= y1; ++y)
    if (f.at(x, y) != 0) return f.at(x, y);
  return 0;
}

TEST_F(MarkersTest, LineColoursAndWidthLimits) {
  start_3d_view(1, 100, 90);
  draw_3d_line(-5, 4, -10, 5, 4, -10, 1, 255);
  draw_3d_line(-5, 0, -10, 5, 0, -10, 1, 65280);
  draw_3d_line(-5, -4, -10, 5, -4, -10, 1, 16711680);
  show_screen();
  const Frame f = presented();
  // 12 pixels per unit at this distance.
  EXPECT_EQ(first_lit(f, 160, 68, 76), 0x0000FFu);
  EXPECT_EQ(first_lit(f, 160, 116, 124), 0x00FF00u);
  EXPECT_EQ(first_lit(f, 160, 164, 172), 0xFF0000u);
  const int thin = lit_rows(f, 160);
  EXPECT_GE(thin, 3);
  EXPECT_LE(thin, 6);

  // Width 0 draws as width 1; 1000 as the widest line, and the width is 1
  // again afterwards.
  start_3d_view(1, 100, 90);
  draw_3d_line(-5, 0, -10, 5, 0, -10, 0, 0xFFFFFF);
  show_screen();
  EXPECT_EQ(lit_rows(presented(), 160), thin / 3);
  start_3d_view(1, 100, 90);
  draw_3d_line(-5, 0, -10, 5, 0, -10, 1000, 0xFFFFFF);
  float width = 0;
  glGetFloatv(GL_LINE_WIDTH, &width);
  EXPECT_EQ(width, 1.0f);
  GLfloat range[2] = {0, 0};
  glGetFloatv(GL_SMOOTH_LINE_WIDTH_RANGE, range);
  show_screen();
  EXPECT_GE(lit_rows(presented(), 160), std::min(240, static_cast<int>(range[1]) - 2));
}

TEST_F(MarkersTest, AxesIgnoreTheObjectTransform) {
  start_3d_view(1, 200, 90);
  set_camera(0, 0, 100, 0, 0, 0);
  double rx = 0, ry = 0, gx = 0, gy = 0, bx = 0, by = 0, d = 0;
  world_to_screen(15, 0, 0, rx, ry, d);
  world_to_screen(0, 15, 0, gx, gy, d);
  world_to_screen(60, 0, 0, bx, by, d);
  move_object(50, 0, 0);
  renderer().apply_object_transform();
  draw_3d_axes(0, 0, 0);
  show_screen();
  EXPECT_EQ(get_pixel(rx, ry), 0x0000FF);
  EXPECT_EQ(get_pixel(gx, gy), 0x00FF00);
  EXPECT_EQ(get_pixel(bx, by), 0);
  // 20 units long: the x axis ends 20 x 1.2 pixels right of the origin.
  const Box b = lit_box(presented());
  EXPECT_NEAR(b.x1, 160 + 24, 2);
  EXPECT_NEAR(b.y0, 120 - 24, 2);
}

TEST_F(MarkersTest, MarkersLeaveTheStateAsTheyFoundIt) {
  load_solid_sprite(50, 8, 8, 0xFFFFFF);
  start_3d_view(1, 100, 90);
  set_3d_light(0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 1);
  set_alpha_mode(-0.5);
  draw_billboard_sprite(50, 0, 0, -20, 1);  // leaves slot 50 bound
  float before[16];
  gl_matrix(GL_MODELVIEW_MATRIX, before);
  draw_3d_line(0, 0, -10, 1, 1, -10, 30, 255);
  draw_3d_point(0, 0, -10, 30, 255);
  draw_3d_axes(0, 0, -50);
  EXPECT_EQ(engine().gfx->current_slot, 50);
  EXPECT_TRUE(enabled(GL_TEXTURE_2D));
  EXPECT_TRUE(enabled(GL_LIGHTING));
  EXPECT_FALSE(enabled(GL_LINE_SMOOTH));
  EXPECT_FALSE(enabled(GL_POINT_SMOOTH));
  float colour[4], size = 0, width = 0, after[16];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_FLOAT_EQ(colour[0], 0.5f);
  EXPECT_FLOAT_EQ(colour[3], 0.5f);
  glGetFloatv(GL_POINT_SIZE, &size);
  glGetFloatv(GL_LINE_WIDTH, &width);
  EXPECT_EQ(size, 1.0f);
  EXPECT_EQ(width, 1.0f);
  gl_matrix(GL_MODELVIEW_MATRIX, after);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(after[k], before[k]);
}

}  // namespace
}  // namespace quarvel_test
