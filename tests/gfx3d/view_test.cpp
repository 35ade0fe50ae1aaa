// The 3D view: projection and state, fog, lights, culling, the stencil
// shadow pass and the way back to 2D.
#include "view_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

using ViewTest = View3DTest;

// A quad in the plane z, counter-clockwise as seen from the default camera.
void quad_at(float x0, float y0, float x1, float y1, float z) {
  glBegin(GL_QUADS);
  glVertex3f(x0, y0, z);
  glVertex3f(x1, y0, z);
  glVertex3f(x1, y1, z);
  glVertex3f(x0, y1, z);
  glEnd();
}

TEST_F(ViewTest, StartSetsProjectionAndFixedState) {
  set_alpha_mode(-0.5);
  start_3d_view(1, 100, 90);
  float p[16];
  gl_matrix(GL_PROJECTION_MATRIX, p);
  // tan(45 degrees) by the series is 0.9999482; the aspect is 320 / 240.
  EXPECT_NEAR(p[5], 1.0 / 0.9999482, 1e-6);
  EXPECT_NEAR(p[0], p[5] * 0.75, 1e-5);
  EXPECT_NEAR(p[10], -101.0 / 99.0, 1e-5);
  EXPECT_NEAR(p[14], -200.0 / 99.0, 1e-5);
  EXPECT_EQ(p[11], -1.0f);
  EXPECT_TRUE(enabled(GL_DEPTH_TEST));
  EXPECT_FALSE(enabled(GL_CULL_FACE));
  EXPECT_FALSE(enabled(GL_LIGHTING));
  EXPECT_FALSE(enabled(GL_FOG));
  EXPECT_FALSE(enabled(GL_TEXTURE_2D));
  EXPECT_EQ(engine().gfx->current_slot, -1);
  float colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_FLOAT_EQ(colour[0], 0.5f);
  EXPECT_FLOAT_EQ(colour[3], 0.5f);

  // A negative field of view is orthographic, 100 times wider.
  start_3d_view(1, 100, -90);
  gl_matrix(GL_PROJECTION_MATRIX, p);
  EXPECT_NEAR(p[5], 1.0 / 99.99482, 1e-8);
  EXPECT_EQ(p[11], 0.0f);
  EXPECT_EQ(p[15], 1.0f);
}

TEST_F(ViewTest, FogColoursFarPointsAndMinusOneSwitchesItOff) {
  for (int fog_on = 1; fog_on >= 0; --fog_on) {
    start_3d_view(1, 100, 60);
    // Linear from the near to the far plane when both bounds are 0.
    set_3d_fog(fog_on ? 0xFF0000 : -1, 0, 0, 0);
    EXPECT_EQ(enabled(GL_FOG), fog_on == 1);
    draw_3d_point(-0.5, 0, -2, 8, 0xFFFFFF);
    draw_3d_point(20, 0, -95, 8, 0xFFFFFF);
    double nx = 0, ny = 0, fx = 0, fy = 0, depth = 0;
    world_to_screen(-0.5, 0, -2, nx, ny, depth);
    world_to_screen(20, 0, -95, fx, fy, depth);
    show_screen();
    const auto near_colour = static_cast<uint32_t>(get_pixel(nx, ny));
    const auto far_colour = static_cast<uint32_t>(get_pixel(fx, fy));
    EXPECT_GE(red(near_colour), 245) << fog_on;
    if (fog_on) {
      EXPECT_LE(red(far_colour), 20);
      EXPECT_EQ(blue(far_colour), 255);
    } else {
      EXPECT_EQ(far_colour, 0xFFFFFFu);
    }
  }
}

TEST_F(ViewTest, LightShadesAndSwitchingTheLastOneOffEndsLighting) {
  load_solid_sprite(40, 32, 32, 0xFFFFFF);
  for (int lit = 1; lit >= 0; --lit) {
    start_3d_view(1, 100, 90);
    // Lights stay on from frame to frame: none but the one below.
    for (int n = 0; n < 8; ++n) set_3d_light(n, 0, 0, 0, 0, 0, 0, 0, 0);
    set_camera(0, 0, 20, 0, 0, 0);
    // Light 9 is light 1: red, shining from +z.
    set_3d_light(9, 0x0000FF, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_TRUE(enabled(GL_LIGHT1));
    EXPECT_TRUE(enabled(GL_LIGHTING));
    if (!lit) {
      set_3d_light(1, 0x0000FF, 0, 0, 0, 0, 0, 0, 0);
      EXPECT_FALSE(enabled(GL_LIGHT1));
      EXPECT_FALSE(enabled(GL_LIGHTING));
    }
    draw_billboard_sprite(40, 0, -8, 0, 1);
    show_screen();
    const auto c = static_cast<uint32_t>(get_pixel(160, 120));
    if (lit) {
      // Diffuse red plus the global ambient of 0.2 (the material's ambient
      // followed the white colour while colour material tracked both).
      EXPECT_EQ(red(c), 255);
      EXPECT_NEAR(green(c), 51, 3);
      EXPECT_EQ(blue(c), green(c));
    } else {
      EXPECT_EQ(c, 0xFFFFFFu);
    }
  }
}

TEST_F(ViewTest, CullModesChooseTheFrontFace) {
  const double modes[3] = {0, 1, -1};
  const bool shown[3] = {true, false, true};
  for (int i = 0; i < 3; ++i) {
    start_3d_view(1, 100, 90);
    set_cull_mode(modes[i]);
    glColor3f(1, 1, 1);
    quad_at(-2, -2, 2, 2, -10);
    show_screen();
    EXPECT_EQ(get_pixel(160, 120) == 0xFFFFFF, shown[i]) << "mode " << modes[i];
  }
}

TEST_F(ViewTest, ShadowPassDarkensWhereVolumesWereDrawn) {
  draw_rect(0, 0, 320, 240, 0xFFFFFF);
  start_3d_view(1, 100, 90);
  set_3d_light(-3, 0, 10, 20, 30, 0, 0, 0, 1);
  EXPECT_EQ(renderer().shadow_pass_active, 1);
  EXPECT_EQ(renderer().shadow_light_kind, 3);
  EXPECT_EQ(renderer().shadow_light_position[1], 20.0f);
  // Drawn only into the stencil buffer.
  glColor3f(1, 0, 0);
  quad_at(-2, -2, 2, 2, -10);
  // Two volumes over the same pixels cancel out.
  quad_at(3, -2, 5, 2, -10);
  quad_at(3, -2, 5, 2, -12);
  show_screen();  // ends the pass
  EXPECT_EQ(renderer().shadow_pass_active, 0);
  const auto shadowed = static_cast<uint32_t>(get_pixel(160, 120));
  EXPECT_NEAR(red(shadowed), 128, 2);
  EXPECT_EQ(red(shadowed), blue(shadowed));
  EXPECT_EQ(get_pixel(160 + 48, 120), 0xFFFFFF);
  EXPECT_EQ(get_pixel(10, 10), 0xFFFFFF);

  // Ending with a cut-off of 0 restores colour writes, clears the stencil
  // and turns culling back on; the darkened area takes new drawing.
  start_3d_view(1, 100, 90);
  set_3d_light(-3, 0, 0, 0, 0, 0, 0, 0, 1);
  quad_at(-2, -2, 2, 2, -10);
  set_3d_light(-3, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_TRUE(enabled(GL_CULL_FACE));
  EXPECT_FALSE(enabled(GL_STENCIL_TEST));
  GLint stencil = -1;
  glReadPixels(160, 120, 1, 1, GL_STENCIL_INDEX, GL_INT, &stencil);
  EXPECT_EQ(stencil, 0);
  glColor3f(0, 1, 0);
  quad_at(-2, -2, 2, 2, -10);
  show_screen();
  EXPECT_EQ(green(static_cast<uint32_t>(get_pixel(160, 120))), 255);
}

TEST_F(ViewTest, ShowScreenReturnsTheFrameTo2D) {
  load_solid_sprite(41, 8, 8, 0x00FF00);
  start_3d_view(1, 100, 60);
  set_3d_fog(0xFF0000, 1, 0.5, 0);
  set_3d_light(0, 0x0000FF, 0, 0, 0, 0, 0, 0, 1);
  set_cull_mode(1);
  show_screen();
  EXPECT_FALSE(enabled(GL_DEPTH_TEST));
  EXPECT_FALSE(enabled(GL_LIGHTING));
  EXPECT_FALSE(enabled(GL_FOG));
  float p[16];
  gl_matrix(GL_PROJECTION_MATRIX, p);
  EXPECT_FLOAT_EQ(p[0], 2.0f / 320.0f);
  EXPECT_FLOAT_EQ(p[5], -2.0f / 240.0f);
  draw_sprite(41, 10, 20);
  show_screen();
  EXPECT_EQ(get_pixel(10, 20), 0x00FF00);
  EXPECT_EQ(get_pixel(17, 27), 0x00FF00);
  EXPECT_EQ(get_pixel(18, 20), 0);
}

}  // namespace
}  // namespace quarvel_test
