// Sprites and text placed in a 3D scene. Both read the camera's axes from
// the current model-view matrix: R = (m0, m4, m8) points right on the
// screen and U = (m1, m5, m9) up.
#include <algorithm>
#include <cstdint>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx3d/matrix_math.h"
#include "gfx3d/vurivari3d.h"
#include "quarvel/graphics3d.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

struct CameraAxes {
  float right[3];
  float up[3];
};

CameraAxes read_camera_axes(float m[16]) {
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  return CameraAxes{{m[0], m[4], m[8]}, {m[1], m[5], m[9]}};
}

// Draws 4 x count vertices (x, y, z, s, t) as quads.
void draw_quads(const float* vertices, int count, bool textured) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 5 * sizeof(float), vertices);
  if (textured) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 5 * sizeof(float), vertices + 3);
  }
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(count * 4));
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}

void put_vertex(float*& v, const float p[3], float s, float t) {
  v[0] = p[0];
  v[1] = p[1];
  v[2] = p[2];
  v[3] = s;
  v[4] = t;
  v += 5;
}

}  // namespace

void OpenGLVurivari::draw_billboard(int slot, float x, float y, float z, float scale) {
  if (!valid_slot(slot)) return;
  flush_quads();
  float m[16];
  const CameraAxes axes = read_camera_axes(m);
  const int w = slots.image_width[slot], h = slots.image_height[slot];
  const int W = slots.padded_width[slot], H = slots.padded_height[slot];
  bind_slot_texture(slot, -1, false, nullptr);
  if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return;
  use_filter(slot, false);
  const float half_width = static_cast<float>(w / 4) * scale, height = static_cast<float>(h / 2) * scale;
  float A[3], B[3];
  for (int k = 0; k < 3; ++k) {
    A[k] = axes.right[k] * half_width;
    B[k] = axes.up[k] * height;
  }
  const float sw = static_cast<float>(w) / static_cast<float>(W), th = static_cast<float>(h) / static_cast<float>(H);
  const float P[3] = {x, y, z};
  float corners[4][3];
  for (int k = 0; k < 3; ++k) {
    corners[0][k] = P[k] - A[k];
    corners[1][k] = P[k] + A[k];
    corners[2][k] = P[k] + A[k] + B[k];
    corners[3][k] = P[k] - A[k] + B[k];
  }
  if (text_vertices_.size() < 4 * 5) text_vertices_.resize(4 * 5);
  // Lit as a surface facing the camera.
  glNormal3f(m[2], m[6], m[10]);
  float* v = text_vertices_.data();
  put_vertex(v, corners[0], 0, 0);
  put_vertex(v, corners[1], sw, 0);
  put_vertex(v, corners[2], sw, th);
  put_vertex(v, corners[3], 0, th);
  draw_quads(text_vertices_.data(), 1, current_slot >= 0);
}

void OpenGLVurivari::print_string_3d(int font, const char* text, uint32_t length, float x, float y, float z,
                                     float size) {
  if (font < 0 || font >= kFontCount) return;
  flush_quads();
  const bool culling = glIsEnabled(GL_CULL_FACE) == GL_TRUE;
  const bool lighting = glIsEnabled(GL_LIGHTING) == GL_TRUE;
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  float m[16];
  const CameraAxes axes = read_camera_axes(m);
  const int slot = kFirstFontSlot + font;
  const int w = slots.image_width[slot], h = slots.image_height[slot];
  const int W = slots.padded_width[slot], H = slots.padded_height[slot];

  if (size != 0) {
    // In the scene: square cells of k world units along the camera's axes,
    // the string centred on the point with its bottom edge through it.
    if (length > 0) {
      bind_slot_texture(slot, -1, false, nullptr);
    }
    if (length > 0 && w > 0 && h > 0 && W > 0 && H > 0) {
      const int rows = w < h ? 16 : 8;
      const float ds = (static_cast<float>(w) / static_cast<float>(W)) / 16.0f;
      const float dt = (static_cast<float>(h) / static_cast<float>(H)) / static_cast<float>(rows);
      const float k = size * static_cast<float>(w / 16);
      float S[3], T[3], corner[3];
      for (int i = 0; i < 3; ++i) {
        S[i] = axes.right[i] * k;
        T[i] = axes.up[i] * k;
      }
      const float half = static_cast<float>(length) / 2.0f;
      corner[0] = x - S[0] * half;
      corner[1] = y - S[1] * half;
      corner[2] = z - S[2] * half;
      text_vertices_.resize(static_cast<size_t>(length) * 4 * 5);
      float* v = text_vertices_.data();
      const unsigned cells = 16u * static_cast<unsigned>(rows);
      for (uint32_t n = 0; n < length; ++n) {
        const unsigned c = static_cast<unsigned char>(text[n]) % cells;
        const float s0 = static_cast<float>(c % 16) * ds, s1 = s0 + ds;
        const float t0 = static_cast<float>(rows - 1 - static_cast<int>(c / 16)) * dt, t1 = t0 + dt;
        float right[3], top_right[3], top_left[3];
        for (int i = 0; i < 3; ++i) {
          right[i] = corner[i] + S[i];
          top_right[i] = right[i] + T[i];
          top_left[i] = corner[i] + T[i];
        }
        put_vertex(v, corner, s0, t0);
        put_vertex(v, right, s1, t0);
        put_vertex(v, top_right, s1, t1);
        put_vertex(v, top_left, s0, t1);
        for (int i = 0; i < 3; ++i) corner[i] = right[i];
      }
      draw_quads(text_vertices_.data(), static_cast<int>(length), current_slot >= 0);
    }
  } else {
    // On the screen, centred above the point's projection.
    mat4::Mat4 projection, model_view;
    std::copy(m, m + 16, model_view.m);
    glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const mat4::Vec4 c = mat4::transform(projection, mat4::transform(model_view, {x, y, z, 1.0f}));
    if (c.w != 0.0f) {
      const float nx = c.x / c.w, ny = c.y / c.w, nz = c.z / c.w;
      const float vx = static_cast<float>(viewport[0]), vy = static_cast<float>(viewport[1]);
      const float vw = static_cast<float>(viewport[2]), vh = static_cast<float>(viewport[3]);
      const float sx = (nx + 1.0f) * vw * 0.5f + vx;
      const float sy = vh - ((ny + 1.0f) * vh * 0.5f + vy);
      glMatrixMode(GL_PROJECTION);
      glPushMatrix();
      glLoadIdentity();
      glOrtho(0, viewport_width, viewport_height, 0, -1, 1);
      glMatrixMode(GL_MODELVIEW);
      glPushMatrix();
      glLoadIdentity();
      const float cell_width = static_cast<float>(w / 16);
      const float cell_height = static_cast<float>(w < h ? h / 16 : h / 8);
      print_string(font, text, length, sx - cell_width * static_cast<float>(length) / 2.0f - vx,
                   sy - cell_height + vy, -nz);
      glMatrixMode(GL_PROJECTION);
      glPopMatrix();
      glMatrixMode(GL_MODELVIEW);
      glPopMatrix();
    }
  }
  if (culling) glEnable(GL_CULL_FACE);
  if (lighting) glEnable(GL_LIGHTING);
}

// ------------------------------------------------------------- commands ---

void draw_billboard_sprite(double slot, double x, double y, double z, double scale) {
  EngineState& e = engine();
  if (!e.gfx || !e.renderer3d) return;
  // The slot number as a 16-bit signed value: numbers from 32768 up name
  // no sprite here.
  const int16_t n = static_cast<int16_t>(truncate_to_int32(slot));
  Vurivari3D& r = *e.renderer3d;
  const int chosen = r.cull_mode;
  r.set_cull_mode(-1);
  e.gfx->draw_billboard(n, static_cast<float>(x), static_cast<float>(y), static_cast<float>(z),
                        static_cast<float>(scale));
  r.set_cull_mode(chosen);
}

void print_text_3d(const DynString& text, double x, double y, double z, double size) {
  EngineState& e = engine();
  if (!e.gfx) return;
  e.gfx->print_string_3d(e.current_font, text.c_str(), text.length_of(), static_cast<float>(x),
                         static_cast<float>(y), static_cast<float>(z), static_cast<float>(size));
}

}  // namespace quarvel
