// Untextured primitives, the presented-pixel read and the viewport.
#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx3d/vurivari3d.h"
#include "quarvel/graphics.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

// The shared frame of set_pixel, draw_line and draw_rect: colour from the
// packed value and the alpha value, no texture, the projection nudged so
// that integer coordinates hit pixel centres.
template <typename Draw>
void primitive(double colour, Draw draw) {
  OpenGLVurivari* gfx = engine().gfx;
  if (!gfx) return;
  const float a = gfx->alpha_value;
  const int64_t packed = truncate_to_int64(colour) & 0xFFFFFFFF;
  auto scaled = [a](int64_t byte) {
    double v = static_cast<double>(byte) * a;
    return static_cast<GLubyte>(v < 0 ? 0 : v > 255 ? 255 : v);
  };
  GLubyte alpha = packed == gfx->sprite_transparent_colour ? 0 : scaled(255);
  gfx->flush_quads();
  glDisable(GL_ALPHA_TEST);
  glColor4ub(scaled(packed & 0xFF), scaled((packed >> 8) & 0xFF), scaled((packed >> 16) & 0xFF), alpha);
  gfx->bind_slot_texture(-1, -1, false, nullptr);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glTranslatef(0.375f, 0.375f, 0.0f);
  glMatrixMode(GL_MODELVIEW);
  draw();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glColor4f(a, a, a, a);
  glEnable(GL_ALPHA_TEST);
}

}  // namespace

void set_pixel(double x, double y, double colour) {
  primitive(colour, [&] {
    glBegin(GL_POINTS);
    glVertex2f(static_cast<float>(x), static_cast<float>(y));
    glEnd();
  });
}

void draw_line(double x1, double y1, double x2, double y2, double colour) {
  primitive(colour, [&] {
    glBegin(GL_LINES);
    glVertex2f(static_cast<float>(x1), static_cast<float>(y1));
    glVertex2f(static_cast<float>(x2), static_cast<float>(y2));
    glEnd();
    // The last pixel of a line is always set.
    glBegin(GL_POINTS);
    glVertex2f(static_cast<float>(x2), static_cast<float>(y2));
    glEnd();
  });
}

void draw_rect(double x, double y, double width, double height, double colour) {
  float fx = static_cast<float>(x), fy = static_cast<float>(y);
  float w = static_cast<float>(width), h = static_cast<float>(height);
  if (w < 0) {
    w = -w;
    fx = fx - w + 1;
  }
  if (h < 0) {
    h = -h;
    fy = fy - h + 1;
  }
  primitive(colour, [&] {
    glBegin(GL_QUADS);
    glVertex2f(fx, fy + h);
    glVertex2f(fx + w, fy + h);
    glVertex2f(fx + w, fy);
    glVertex2f(fx, fy);
    glEnd();
  });
}

double get_pixel(double x, double y) {
  OpenGLVurivari* gfx = engine().gfx;
  if (!gfx) return 0;
  int64_t v = gfx->presented_pixel(truncate_to_int32(x), truncate_to_int32(y));
  return v < 0 ? 0 : static_cast<double>(v);
}

void get_screen_size(double& width, double& height) {
  OpenGLVurivari* gfx = engine().gfx;
  width = gfx ? gfx->surface_width : 0;
  height = gfx ? gfx->surface_height : 0;
}

void set_viewport(double x, double y, double width, double height) {
  EngineState& e = engine();
  if (!e.gfx) return;
  if (e.renderer3d) e.renderer3d->end_shadow_pass();
  e.gfx->setup_2d_projection(truncate_to_int32(x), truncate_to_int32(y), truncate_to_int32(width),
                             truncate_to_int32(height));
}

}  // namespace quarvel
