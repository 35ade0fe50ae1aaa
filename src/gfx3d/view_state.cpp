// The 3D view: projection and fixed-function state, fog, lights, face
// culling and the stencil shadow pass.
#include <algorithm>
#include <cmath>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx3d/matrix_math.h"
#include "gfx3d/vurivari3d.h"
#include "quarvel/graphics3d.h"
#include "quarvel/runtime.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int64_t kLightMarkerColour = 0x80C8FF;

double degrees_tan(double degrees) { return std::tan(degrees * kPi / 180.0); }

void packed_to_rgb(int64_t colour, float rgb[3]) {
  rgb[0] = static_cast<float>(colour & 0xFF) / 255.0f;
  rgb[1] = static_cast<float>((colour >> 8) & 0xFF) / 255.0f;
  rgb[2] = static_cast<float>((colour >> 16) & 0xFF) / 255.0f;
}

}  // namespace

ViewTarget view_target(const OpenGLVurivari& g) {
  ViewTarget t;
  t.frame_height = g.surface_height;
  if (g.current_surface >= 0 && g.current_surface < OpenGLVurivari::kSurfaceCount) {
    const OpenGLVurivari::ScreenSurface& surface = g.surfaces[g.current_surface];
    t.in_surface = true;
    t.width = g.slots.image_width[surface.slot];
    t.height = g.slots.image_height[surface.slot];
    if (surface.framebuffer_width > 0) {
      // A framebuffer of its own: the picture from its lower-left corner.
      t.frame_height = t.height;
    } else {
      // Drawn in the screen's top-left corner, then copied.
      t.y = g.surface_height - t.height;
    }
    return t;
  }
  t.x = g.viewport_x;
  t.y = g.surface_height - g.viewport_height - g.viewport_y;
  t.width = g.viewport_width;
  t.height = g.viewport_height;
  return t;
}

namespace {

// A view setting that cannot give a picture is reported once per run and
// replaced.
void report_view_once(bool& reported, const char* text) {
  if (reported) return;
  reported = true;
  append_report_line(text);
}

}  // namespace

void Vurivari3D::start_view(float near_value, float far_value, float fov) {
  OpenGLVurivari& g = *core_;
  g.flush_quads();
  end_shadow_pass();
  static bool near_reported = false, far_reported = false, fov_reported = false;
  if (!(near_value > 0.0f) || !std::isfinite(near_value)) {
    report_view_once(near_reported, "start_3d_view: the near plane must lie beyond 0; 1 is used");
    near_value = 1.0f;
  }
  if (!(far_value > near_value) || !std::isfinite(far_value)) {
    report_view_once(far_reported, "start_3d_view: the far plane must lie beyond the near plane; near x 1000 is used");
    far_value = near_value * 1000.0f;
  }
  if (fov == 0.0f || !std::isfinite(fov)) {
    report_view_once(fov_reported, "start_3d_view: a field of view of 0 shows nothing; 60 degrees is used");
    fov = 60.0f;
  }
  near_plane = near_value;
  far_plane = far_value;
  cull_tangent = static_cast<float>(degrees_tan(std::min(static_cast<double>(fov) + 5.0, 89.0)));

  const ViewTarget target = view_target(g);
  glViewport(target.x, target.y, target.width, target.height);
  if (target.in_surface) {
    // A surface's depth (and stencil) start clear at every view.
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glEnable(GL_SCISSOR_TEST);
    glScissor(target.x, target.y, target.width, target.height);
    glDepthMask(GL_TRUE);
    glStencilMask(~0u);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    if (!scissor) glDisable(GL_SCISSOR_TEST);
  }
  const double aspect =
      target.height != 0 ? static_cast<double>(target.width) / static_cast<double>(target.height) : 1.0;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (fov > 0) {
    const double h = near_value * mat4::series_tan(fov / 2.0 * kPi / 180.0);
    glFrustum(-aspect * h, aspect * h, -h, h, near_value, far_value);
  } else {
    const double h = near_value * mat4::series_tan(-fov / 2.0 * kPi / 180.0) * 100.0;
    glOrtho(-aspect * h, aspect * h, -h, h, near_value, far_value);
    cull_tangent = static_cast<float>(degrees_tan(89.0));
  }

  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  reset_transforms();
  camera_up[0] = 0;
  camera_up[1] = 1;
  camera_up[2] = 0;

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.0f);
  const float a = g.alpha_value;
  glColor4f(a, a, a, a);
  glClearColor(0, 0, 0, 1);
  glDisable(GL_FOG);
  glDisable(GL_POINT_SMOOTH);
  glDisable(GL_LINE_SMOOTH);
  glDisable(GL_POLYGON_SMOOTH);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_POLYGON_OFFSET_FILL);
  glDisable(GL_POLYGON_OFFSET_LINE);
  glDisable(GL_POLYGON_OFFSET_POINT);
  glDisable(GL_NORMALIZE);
  glDisable(GL_LIGHTING);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_DITHER);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glHint(GL_FOG_HINT, GL_NICEST);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
  glDisable(GL_CULL_FACE);
  glGetFloatv(GL_MODELVIEW_MATRIX, view_matrix);

  set_cull_mode(0);
  g.bind_slot_texture(-1, -1, false, nullptr);
}

void Vurivari3D::set_fog(int64_t colour, bool exponential, float a, float b) {
  core_->flush_quads();
  if (colour == -1) {
    glDisable(GL_FOG);
    return;
  }
  float rgba[4] = {0, 0, 0, 0};
  packed_to_rgb(colour, rgba);
  glEnable(GL_FOG);
  glFogfv(GL_FOG_COLOR, rgba);
  if (exponential) {
    glFogi(GL_FOG_MODE, GL_EXP);
    glFogf(GL_FOG_DENSITY, a);
    return;
  }
  if (a == 0 && b == 0) {
    a = near_plane;
    b = far_plane;
  }
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogf(GL_FOG_START, a);
  glFogf(GL_FOG_END, b);
}

void Vurivari3D::set_light(int32_t number, int64_t colour, const float p[3], const float d[3], float cutoff) {
  if (number < 0) {
    // The shadow-casting light: only stored here; kind 3 also drives the
    // stencil shadow pass.
    std::copy(p, p + 3, shadow_light_position);
    shadow_light_colour = colour;
    shadow_light_on = cutoff != 0 ? 1 : 0;
    shadow_light_kind = number == -1 ? 1 : number == -3 ? 3 : 2;
    if (shadow_light_kind == 3) {
      if (cutoff != 0) {
        start_shadow_pass();
      } else {
        end_shadow_pass();
      }
    }
    return;
  }
  const int n = number % 8;
  const GLenum light = GL_LIGHT0 + static_cast<GLenum>(n);
  const uint8_t bit = static_cast<uint8_t>(1u << n);
  core_->flush_quads();
  if (cutoff == 0) {
    glDisable(light);
    lights_on = static_cast<uint8_t>(lights_on & ~bit);
    if (lights_on == 0) glDisable(GL_LIGHTING);
    return;
  }
  glEnable(GL_LIGHTING);
  glEnable(light);
  lights_on = static_cast<uint8_t>(lights_on | bit);
  glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);

  float rgba[4] = {0, 0, 0, 1};
  packed_to_rgb(colour, rgba);
  const float black[4] = {0, 0, 0, 1};
  const bool all_zero = p[0] == 0 && p[1] == 0 && p[2] == 0 && d[0] == 0 && d[1] == 0 && d[2] == 0;
  bool spot = false;
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  if (all_zero) {
    const float position[4] = {0, 0, 1, 0};
    glLightfv(light, GL_POSITION, position);
    glLightfv(light, GL_DIFFUSE, rgba);
    glLightfv(light, GL_SPECULAR, black);
    glLightf(light, GL_SPOT_CUTOFF, 180.0f);
  } else if (cutoff == 180.0f) {
    float position[4] = {-d[0], -d[1], -d[2], 0};
    const float length2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    if (length2 > 1e-7f) {
      const float length = std::sqrt(length2);
      for (int k = 0; k < 3; ++k) position[k] /= length;
    }
    glLightfv(light, GL_POSITION, position);
    glLightfv(light, GL_DIFFUSE, rgba);
    glLightfv(light, GL_SPECULAR, black);
    glLightf(light, GL_SPOT_CUTOFF, 180.0f);
  } else if (cutoff > 0 && cutoff <= 90.0f) {
    // A spot light. (A negative cut-off is no valid cone: GL would refuse it
    // and keep the light's previous one, so it falls to the point light.)
    spot = true;
    const float position[4] = {p[0], p[1], p[2], 1};
    float direction[3] = {d[0], d[1], d[2]};
    const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (length > 0) {
      for (float& v : direction) v /= length;
    } else {
      direction[0] = direction[1] = 0;
      direction[2] = -1;
    }
    glLightfv(light, GL_POSITION, position);
    glLightfv(light, GL_SPOT_DIRECTION, direction);
    glLightf(light, GL_SPOT_CUTOFF, cutoff);
    glLightfv(light, GL_DIFFUSE, rgba);
    glLightfv(light, GL_SPECULAR, rgba);
  } else {
    const float position[4] = {p[0], p[1], p[2], 1};
    glLightfv(light, GL_POSITION, position);
    glLightf(light, GL_SPOT_CUTOFF, 180.0f);
    glLightfv(light, GL_DIFFUSE, rgba);
    glLightfv(light, GL_SPECULAR, rgba);
  }
  glPopMatrix();

  if (engine().settings.debug_mode != 0) {
    draw_3d_point(p[0], p[1], p[2], 40, static_cast<double>(kLightMarkerColour));
    if (spot) {
      const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      const float k = length > 0 ? 20.0f / length : 0.0f;
      draw_3d_line(p[0], p[1], p[2], p[0] + d[0] * k, p[1] + d[1] * k, p[2] + d[2] * k, 2,
                   static_cast<double>(kLightMarkerColour));
    }
    // The markers leave colour material off; the light wants it on.
    glEnable(GL_COLOR_MATERIAL);
  }
}

void Vurivari3D::set_cull_mode(int mode) {
  core_->flush_quads();
  cull_mode = mode > 0 ? 1 : mode < 0 ? -1 : 0;
  if (cull_mode == 0) {
    glDisable(GL_CULL_FACE);
    return;
  }
  glCullFace(GL_BACK);
  glFrontFace(cull_mode > 0 ? GL_CW : GL_CCW);
  glEnable(GL_CULL_FACE);
}

void plain_fragments() {
  if (gl.glActiveTextureARB) {
    gl.glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    gl.glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_ALPHA_TEST);
}

void draw_viewport_rectangle(float z) {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glBegin(GL_QUADS);
  glVertex3f(-1, -1, z);
  glVertex3f(1, -1, z);
  glVertex3f(1, 1, z);
  glVertex3f(-1, 1, z);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

void Vurivari3D::start_shadow_pass() {
  if (shadow_pass_active) return;
  core_->flush_quads();
  shadow_saved_cull_mode = cull_mode;
  glShadeModel(GL_FLAT);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  glEnable(GL_STENCIL_TEST);
  glStencilMask(~0u);
  glStencilFunc(GL_ALWAYS, 0, ~0u);
  // Every drawn fragment that passes the depth test flips the stencil: a
  // point inside an odd number of shadow volumes ends up non-zero.
  glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
  shadow_pass_active = 1;
}

void Vurivari3D::end_shadow_pass() {
  if (!shadow_pass_active) return;
  OpenGLVurivari& g = *core_;
  g.flush_quads();
  shadow_pass_active = 0;
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);

  // Darken where the stencil is set: a half-transparent black rectangle
  // over the whole surface, at the near plane.
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_VIEWPORT_BIT | GL_DEPTH_BUFFER_BIT |
               GL_STENCIL_BUFFER_BIT);
  plain_fragments();
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  // The rectangle lies at the near plane: it must not hide what is drawn
  // after the pass.
  glDepthMask(GL_FALSE);
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(GL_NOTEQUAL, 0, ~0u);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glViewport(0, 0, g.surface_width, g.surface_height);
  glColor4f(0, 0, 0, 0.5f);
  draw_viewport_rectangle(-1.0f);
  glPopAttrib();

  glDisable(GL_STENCIL_TEST);
  glShadeModel(GL_SMOOTH);
  glClearStencil(0);
  glClear(GL_STENCIL_BUFFER_BIT);
  // Culling comes back on: the mode chosen before the pass, or
  // counter-clockwise front faces when none was.
  set_cull_mode(shadow_saved_cull_mode != 0 ? shadow_saved_cull_mode : -1);
}

// ------------------------------------------------------------- commands ---

void start_3d_view(double near_plane, double far_plane, double field_of_view) {
  EngineState& e = engine();
  if (!e.gfx || !e.renderer3d) return;
  e.renderer3d->start_view(static_cast<float>(near_plane), static_cast<float>(far_plane),
                           static_cast<float>(field_of_view));
}

void set_3d_fog(double colour, double exponential, double a, double b) {
  EngineState& e = engine();
  if (!e.gfx || !e.renderer3d) return;
  e.renderer3d->set_fog(truncate_to_int64(colour), exponential != 0, static_cast<float>(a), static_cast<float>(b));
}

void set_3d_light(double number, double colour, double x, double y, double z, double dx, double dy, double dz,
                  double cutoff) {
  EngineState& e = engine();
  if (!e.gfx || !e.renderer3d) return;
  const float p[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
  const float d[3] = {static_cast<float>(dx), static_cast<float>(dy), static_cast<float>(dz)};
  e.renderer3d->set_light(truncate_to_int32(number), truncate_to_int64(colour) & 0xFFFFFF, p, d,
                          static_cast<float>(cutoff));
}

void set_cull_mode(double mode) {
  EngineState& e = engine();
  if (!e.gfx || !e.renderer3d) return;
  e.renderer3d->set_cull_mode(mode > 0 ? 1 : mode < 0 ? -1 : 0);
}

}  // namespace quarvel
