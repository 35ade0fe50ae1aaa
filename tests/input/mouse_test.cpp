// The mouse, driven by SDL mouse events. The fixture's window is the
// 320 x 240 surface at scale 2.
#include "input_test_support.h"

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "input/input_device.h"

namespace quarvel_test {
namespace {

using namespace quarvel;
using platform::test_push_mouse_button;
using platform::test_push_mouse_motion;
using platform::test_push_mouse_wheel;

struct MouseInput : RuntimeTest {
  void SetUp() override {
    system_pointer(1);
    show_screen();
    mouse_axis(0);  // takes the frame's movement
  }
  static void move_to(int wx, int wy) { ASSERT_TRUE(test_push_mouse_motion(wx, wy, 0, 0)); }
};

TEST_F(MouseInput, PositionsAreSurfacePixelsAtTheWindowScale) {
  move_to(101, 61);
  show_screen();
  double x = -1, y = -1, left = -1, right = -1;
  mouse_state(x, y, left, right);
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 30);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(right, 0);
  move_to(639, 479);
  show_screen();
  mouse_state(x, y, left, right);
  EXPECT_EQ(x, 319);
  EXPECT_EQ(y, 239);
}

TEST_F(MouseInput, LetterboxedWindowMapsThroughTheBars) {
  OpenGLVurivari& gfx = *engine().gfx;
  platform::window_set_client_size(800, 600);
  // Scale 2 fits: the 640 x 480 frame sits 80 pixels in and 60 down.
  const OpenGLVurivari::ShownRect r = gfx.presented_rect(800, 600);
  EXPECT_EQ(r.x, 80);
  EXPECT_EQ(r.y, 60);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 480);
  double sx = 0, sy = 0;
  gfx.window_to_surface(100, 100, sx, sy);
  EXPECT_DOUBLE_EQ(sx, 10);
  EXPECT_DOUBLE_EQ(sy, 20);
  double wx = 0, wy = 0;
  gfx.surface_to_window(10, 20, wx, wy);
  EXPECT_DOUBLE_EQ(wx, 100);
  EXPECT_DOUBLE_EQ(wy, 100);

  move_to(100, 100);
  show_screen();
  double x = -1, y = -1, left = 0, right = 0;
  mouse_state(x, y, left, right);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  // Over the bars the position is kept on the screen.
  move_to(5, 5);
  show_screen();
  mouse_state(x, y, left, right);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);

  // Smaller than the surface: fitted, aspect kept.
  const OpenGLVurivari::ShownRect small = gfx.presented_rect(160, 200);
  EXPECT_EQ(small.width, 160);
  EXPECT_EQ(small.height, 120);
  EXPECT_EQ(small.x, 0);
  EXPECT_EQ(small.y, 40);
  platform::window_set_client_size(640, 480);
}

TEST_F(MouseInput, ReadsWithinOneFrameGiveTheSameMovement) {
  move_to(200, 200);  // surface 100, 100
  show_screen();
  mouse_axis(0);
  move_to(220, 190);  // surface 110, 95
  ASSERT_TRUE(test_push_mouse_wheel(3));
  show_screen();
  EXPECT_EQ(mouse_axis(0), 10);
  EXPECT_EQ(mouse_axis(1), -5);
  EXPECT_EQ(mouse_axis(2), 1);
  // Further movement within the frame is not seen until the next frame.
  move_to(240, 240);
  ASSERT_TRUE(test_push_mouse_wheel(-1));
  EXPECT_EQ(mouse_axis(0), 10);
  EXPECT_EQ(mouse_axis(1), -5);
  EXPECT_EQ(mouse_axis(2), 1);
  show_screen();
  EXPECT_EQ(mouse_axis(0), 10);
  EXPECT_EQ(mouse_axis(1), 25);
  EXPECT_EQ(mouse_axis(2), -1);
  show_screen();
  EXPECT_EQ(mouse_axis(0), 0);
  EXPECT_EQ(mouse_axis(2), 0);
}

TEST_F(MouseInput, ButtonsAndSelectors) {
  ASSERT_TRUE(test_push_mouse_button(1, true));
  ASSERT_TRUE(test_push_mouse_button(3, true));
  EXPECT_EQ(mouse_axis(3), 1);
  EXPECT_EQ(mouse_axis(4), 0);
  EXPECT_EQ(mouse_axis(5), 1);
  EXPECT_EQ(mouse_axis(6), 0);
  EXPECT_EQ(mouse_axis(-1), 0);
  double x, y, left = 0, right = 1;
  mouse_state(x, y, left, right);
  EXPECT_EQ(left, 1);
  EXPECT_EQ(right, 0);
  ASSERT_TRUE(test_push_mouse_button(1, false));
  ASSERT_TRUE(test_push_mouse_button(3, false));
  ASSERT_TRUE(test_push_mouse_button(2, true));
  EXPECT_EQ(mouse_axis(3), 0);
  EXPECT_EQ(mouse_axis(4), 1);
  ASSERT_TRUE(test_push_mouse_button(2, false));
  EXPECT_EQ(mouse_axis(4), 0);
}

TEST_F(MouseInput, CapturedMovementIsRelativeAndScaledToSurfacePixels) {
  system_pointer(0);
  show_screen();
  mouse_axis(0);
  set_mouse(100, 100);
  ASSERT_TRUE(test_push_mouse_motion(0, 0, 7, -4));
  show_screen();
  EXPECT_EQ(mouse_axis(0), 3);  // 3.5 surface pixels: the half is kept
  EXPECT_EQ(mouse_axis(1), -2);
  ASSERT_TRUE(test_push_mouse_motion(0, 0, 1, 0));
  show_screen();
  EXPECT_EQ(mouse_axis(0), 1);
  double x, y, left, right;
  mouse_state(x, y, left, right);
  EXPECT_EQ(x, 104);
  EXPECT_EQ(y, 98);
  system_pointer(1);
}

TEST_F(MouseInput, SetMouseStoresThePositionAndStateKeepsItOnScreen) {
  set_mouse(1000, -5);
  double x, y, left, right;
  mouse_state(x, y, left, right);
  EXPECT_EQ(x, 319);
  EXPECT_EQ(y, 0);
  set_mouse(42, 17);
  mouse_state(x, y, left, right);
  EXPECT_EQ(x, 42);
  EXPECT_EQ(y, 17);
}

}  // namespace
}  // namespace quarvel_test
