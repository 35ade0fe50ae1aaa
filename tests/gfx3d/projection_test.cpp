// world_to_screen and screen_to_world: the centre, the round trip, depth
// planes, points that do not project, and viewports off the corner.
#include "view_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

using ProjectionTest = View3DTest;

TEST_F(ProjectionTest, PointOnTheViewAxisIsAtTheCentre) {
  start_3d_view(1, 100, 60);
  double sx = 0, sy = 0, depth = 0;
  world_to_screen(0, 0, -10, sx, sy, depth);
  EXPECT_NEAR(sx, 160, 1e-4);
  EXPECT_NEAR(sy, 120, 1e-4);
  // Perspective depth of z = -10 between planes 1 and 100.
  EXPECT_NEAR(depth, (101.0 / 99.0 - 200.0 / 99.0 / 10.0 + 1) / 2, 1e-5);
}

TEST_F(ProjectionTest, ScreenToWorldInvertsWorldToScreen) {
  start_3d_view(1, 500, 70);
  set_camera(30, 20, 40, 0, 5, 0);
  const float points[3][3] = {{0, 0, 0}, {12.5f, -3, 7}, {-40, 25, -100}};
  for (const auto& p : points) {
    double sx = 0, sy = 0, depth = 0, x = 0, y = 0, z = 0;
    world_to_screen(p[0], p[1], p[2], sx, sy, depth);
    screen_to_world(sx, sy, depth, x, y, z);
    // Single precision through a perspective depth: a few parts in 10^4.
    EXPECT_NEAR(x, p[0], 0.05);
    EXPECT_NEAR(y, p[1], 0.05);
    EXPECT_NEAR(z, p[2], 0.05);
  }
  // Depth 0 is the near plane and depth 1 the far plane.
  start_3d_view(2, 500, 70);
  double x = 1, y = 1, z = 1;
  screen_to_world(160, 120, 0, x, y, z);
  EXPECT_NEAR(x, 0, 1e-4);
  EXPECT_NEAR(z, -2, 1e-4);
  screen_to_world(160, 120, 1, x, y, z);
  EXPECT_NEAR(y, 0, 1e-2);
  EXPECT_NEAR(z, -500, 0.5);
}

TEST_F(ProjectionTest, FailedConversionsKeepTheResults) {
  start_3d_view(1, 100, 60);
  double a = 3, b = 4, c = 5;
  world_to_screen(5, 5, 0, a, b, c);  // in the camera's plane
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 4);
  EXPECT_EQ(c, 5);
  set_camera(1, 1, 1, 1, 1, 1);  // a view with no inverse
  screen_to_world(100, 100, 0.5, a, b, c);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 4);
  EXPECT_EQ(c, 5);
}

TEST_F(ProjectionTest, ViewportOffTheCornerGivesSurfacePositions) {
  set_viewport(100, 50, 160, 120);
  start_3d_view(1, 100, 60);
  double sx = 0, sy = 0, depth = 0;
  world_to_screen(0, 0, -10, sx, sy, depth);
  EXPECT_NEAR(sx, 180, 1e-3);
  EXPECT_NEAR(sy, 110, 1e-3);
  double x = 0, y = 0, z = 0;
  screen_to_world(sx, sy, depth, x, y, z);
  EXPECT_NEAR(x, 0, 1e-3);
  EXPECT_NEAR(z, -10, 1e-2);
  draw_3d_point(0, 0, -10, 3, 0xFFFFFF);
  set_viewport(0, 0, 0, 0);
  show_screen();
  const Box b = lit_box(presented());
  EXPECT_NEAR((b.x0 + b.x1 + 1) / 2.0, 180, 1);
  EXPECT_NEAR((b.y0 + b.y1 + 1) / 2.0, 110, 1);
}

}  // namespace
}  // namespace quarvel_test
