// Conversions between world coordinates and screen positions, through the
// projection, model-view matrix and viewport that GL holds at the call.
#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx3d/matrix_math.h"
#include "gfx3d/vurivari3d.h"
#include "quarvel/graphics3d.h"

namespace quarvel {

namespace {

struct GlView {
  mat4::Mat4 projection;
  mat4::Mat4 model_view;
  float vx, vy, vw, vh;
};

GlView read_view() {
  GlView v;
  engine().gfx->flush_quads();
  glGetFloatv(GL_PROJECTION_MATRIX, v.projection.m);
  glGetFloatv(GL_MODELVIEW_MATRIX, v.model_view.m);
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  v.vx = static_cast<float>(viewport[0]);
  v.vy = static_cast<float>(viewport[1]);
  v.vw = static_cast<float>(viewport[2]);
  v.vh = static_cast<float>(viewport[3]);
  return v;
}

}  // namespace

void world_to_screen(double x, double y, double z, double& screen_x, double& screen_y, double& depth) {
  OpenGLVurivari* g = engine().gfx;
  if (!g) return;
  const GlView v = read_view();
  const mat4::Vec4 eye =
      mat4::transform(v.model_view, {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), 1.0f});
  const mat4::Vec4 c = mat4::transform(v.projection, eye);
  if (c.w == 0.0f) return;
  const float nx = c.x / c.w, ny = c.y / c.w, nz = c.z / c.w;
  screen_x = v.vx + (nx + 1.0f) * v.vw * 0.5f;
  // GL's window rows count from the bottom; screen rows from the top of
  // the surface (or of the off-screen surface drawn into), wherever the
  // viewport lies on it.
  screen_y = static_cast<float>(view_target(*g).frame_height) - (v.vy + v.vh * (ny + 1.0f) * 0.5f);
  depth = (nz + 1.0f) * 0.5f;
}

void screen_to_world(double screen_x, double screen_y, double depth, double& x, double& y, double& z) {
  OpenGLVurivari* g = engine().gfx;
  if (!g) return;
  const GlView v = read_view();
  if (v.vw == 0.0f || v.vh == 0.0f) return;
  // The exact inverse of world_to_screen.
  const float gl_y = static_cast<float>(view_target(*g).frame_height) - static_cast<float>(screen_y);
  mat4::Mat4 inverse;
  // A singular view (a degenerate camera, a flat projection) maps the
  // whole scene onto a plane: no screen position leads back to one point.
  if (!mat4::invert(mat4::multiply(v.projection, v.model_view), inverse)) return;
  const mat4::Vec4 n{(static_cast<float>(screen_x) - v.vx) / v.vw * 2.0f - 1.0f, (gl_y - v.vy) / v.vh * 2.0f - 1.0f,
                     static_cast<float>(depth) * 2.0f - 1.0f, 1.0f};
  const mat4::Vec4 w = mat4::transform(inverse, n);
  if (w.w == 0.0f) return;
  x = w.x / w.w;
  y = w.y / w.w;
  z = w.z / w.w;
}

}  // namespace quarvel
