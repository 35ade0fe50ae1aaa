// The camera: its look-at matrix, the up direction, degenerate cameras and
// drawing seen through it.
#include "view_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

using CameraTest = View3DTest;

TEST_F(CameraTest, CameraOnTheZAxisIsATranslation) {
  // An up direction set before start_3d_view is forgotten by it.
  set_camera_up(0, 0, 1);
  start_3d_view(1, 100, 60);
  move_object(3, 0, 0);
  set_camera(0, 0, 10, 0, 0, 0);
  float m[16];
  gl_matrix(GL_MODELVIEW_MATRIX, m);
  const float expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -10, 1};
  for (int k = 0; k < 16; ++k) {
    EXPECT_FLOAT_EQ(m[k], expected[k]) << k;
    EXPECT_EQ(renderer().view_matrix[k], m[k]) << k;
  }
  EXPECT_EQ(renderer().camera_eye[2], 10.0f);
  EXPECT_EQ(renderer().camera_target[2], 0.0f);
  // The object transform starts again from level 0.
  EXPECT_EQ(renderer().current_level, 0);
  EXPECT_EQ(renderer().levels[0].translation[0], 0.0f);
  EXPECT_EQ(renderer().levels[0].matrix_valid, 1u);
}

TEST_F(CameraTest, PointDrawnThroughTheCameraLandsWhereProjected) {
  start_3d_view(1, 200, 60);
  set_camera(30, 20, 40, 0, 0, 0);
  draw_3d_point(5, 3, -2, 5, 0x00FF00);
  double sx = 0, sy = 0, depth = 0;
  world_to_screen(5, 3, -2, sx, sy, depth);
  // Not at the centre: the check below means something.
  EXPECT_GT(std::abs(sx - 160) + std::abs(sy - 120), 10);
  show_screen();
  EXPECT_EQ(get_pixel(sx, sy), 0x00FF00);
  EXPECT_EQ(get_pixel(160, 120), 0);
}

TEST_F(CameraTest, UpDirectionTurnsTheView) {
  start_3d_view(1, 100, 90);
  set_camera_up(1, 0, 0);
  set_camera(0, 0, 10, 0, 0, 0);
  // World +x is now up on the screen.
  draw_3d_point(4, 0, 0, 3, 0x0000FF);
  show_screen();
  const Box b = lit_box(presented());
  EXPECT_NEAR((b.x0 + b.x1) / 2.0, 160, 2);
  EXPECT_NEAR((b.y0 + b.y1) / 2.0, 120 - 48, 2);
}

TEST_F(CameraTest, DegenerateCamerasShowNothing) {
  for (int eye_on_target = 0; eye_on_target < 2; ++eye_on_target) {
    start_3d_view(1, 100, 90);
    if (eye_on_target) {
      set_camera(5, 5, 5, 5, 5, 5);
    } else {
      set_camera_up(0, 0, 1);  // along the line of sight
      set_camera(0, 0, 10, 0, 0, 0);
    }
    // Every vertex collapses onto one point: no area is left to draw.
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glVertex3f(-3, -3, 0);
    glVertex3f(3, -3, 0);
    glVertex3f(3, 3, 0);
    glVertex3f(-3, 3, 0);
    glEnd();
    double sx = -7, sy = -7, depth = -7;
    world_to_screen(1, 1, 1, sx, sy, depth);
    if (eye_on_target) {
      // Everything lies in the camera's own plane: no projection at all.
      EXPECT_EQ(sx, -7);
      EXPECT_EQ(depth, -7);
    }
    show_screen();
    EXPECT_EQ(lit_box(presented()).count, 0) << eye_on_target;
  }
}

}  // namespace
}  // namespace quarvel_test
