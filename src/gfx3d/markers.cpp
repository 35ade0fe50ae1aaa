// Untextured 3D markers: lines, points and coordinate axes. Each draws at
// once and leaves the renderer's state as it found it.
#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx3d/vurivari3d.h"
#include "quarvel/graphics3d.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

// 1..512; anything that is not a number counts as 1.
float clamp_size(double size) { return static_cast<float>(size >= 1 ? (size <= 512 ? size : 512) : 1); }

// Saves what a marker changes and puts it back afterwards.
class MarkerFrame {
 public:
  MarkerFrame(OpenGLVurivari& g, bool lighting_off) : g_(g) {
    g_.flush_quads();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glEnable(GL_COLOR_MATERIAL);
    lighting_ = glIsEnabled(GL_LIGHTING) == GL_TRUE;
    if (lighting_off && lighting_) glDisable(GL_LIGHTING);
    textured_ = g_.current_slot >= 0;
    if (textured_) glDisable(GL_TEXTURE_2D);
  }
  ~MarkerFrame() {
    glDisable(GL_COLOR_MATERIAL);
    if (lighting_) glEnable(GL_LIGHTING);
    if (textured_) glEnable(GL_TEXTURE_2D);
    const float a = g_.alpha_value;
    glColor4f(a, a, a, a);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
  }
  MarkerFrame(const MarkerFrame&) = delete;
  MarkerFrame& operator=(const MarkerFrame&) = delete;

 private:
  OpenGLVurivari& g_;
  bool lighting_ = false;
  bool textured_ = false;
};

void set_packed_colour(double colour) {
  const int64_t c = truncate_to_int64(colour);
  glColor3ub(static_cast<GLubyte>(c & 0xFF), static_cast<GLubyte>((c >> 8) & 0xFF),
             static_cast<GLubyte>((c >> 16) & 0xFF));
}

// The three arrows of draw_3d_axes: colour, then eight vertices each.
const float kAxes[3][3 + 8 * 3] = {
    {1, 0, 0, 0, 0, 0, 1, 0, 0, 0.75f, 0.25f, 0, 0.75f, -0.25f, 0, 1, 0, 0, 0.75f, 0, 0.25f, 0.75f, 0, -0.25f, 1, 0,
     0},
    {0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0.75f, 0.25f, 0, 0.75f, -0.25f, 0, 1, 0, 0.25f, 0.75f, 0, -0.25f, 0.75f, 0, 0, 1,
     0},
    {0, 0, 1, 0, 0, 0, 0, 0, 1, 0.25f, 0, 0.75f, -0.25f, 0, 0.75f, 0, 0, 1, 0, 0.25f, 0.75f, 0, -0.25f, 0.75f, 0, 0,
     1},
};

}  // namespace

void draw_3d_line(double x1, double y1, double z1, double x2, double y2, double z2, double width, double colour) {
  EngineState& e = engine();
  if (!e.gfx) return;
  MarkerFrame frame(*e.gfx, true);
  set_packed_colour(colour);
  glEnable(GL_LINE_SMOOTH);
  glLineWidth(clamp_size(width));
  glBegin(GL_LINES);
  glVertex3f(static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(z1));
  glVertex3f(static_cast<float>(x2), static_cast<float>(y2), static_cast<float>(z2));
  glEnd();
  glLineWidth(1.0f);
  glDisable(GL_LINE_SMOOTH);
}

void draw_3d_point(double x, double y, double z, double size, double colour) {
  EngineState& e = engine();
  if (!e.gfx) return;
  MarkerFrame frame(*e.gfx, false);
  set_packed_colour(colour);
  glEnable(GL_POINT_SMOOTH);
  glPointSize(clamp_size(size));
  glBegin(GL_POINTS);
  glVertex3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
  glEnd();
  glPointSize(1.0f);
  glDisable(GL_POINT_SMOOTH);
}

void draw_3d_axes(double x, double y, double z) {
  EngineState& e = engine();
  if (!e.gfx) return;
  MarkerFrame frame(*e.gfx, true);
  // World coordinates of the camera: no object transform applies.
  if (e.renderer3d) glLoadMatrixf(e.renderer3d->view_matrix);
  glEnable(GL_LINE_SMOOTH);
  glTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
  glScalef(20, 20, 20);
  for (const float* axis : kAxes) {
    glColor3f(axis[0], axis[1], axis[2]);
    glBegin(GL_LINE_STRIP);
    for (int k = 0; k < 8; ++k) glVertex3fv(axis + 3 + k * 3);
    glEnd();
  }
  glDisable(GL_LINE_SMOOTH);
}

}  // namespace quarvel
