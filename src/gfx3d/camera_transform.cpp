// The camera and the stack of object transforms.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx3d/matrix_math.h"
#include "gfx3d/vurivari3d.h"
#include "quarvel/arrays.h"
#include "quarvel/graphics3d.h"

namespace quarvel {

namespace {

mat4::Mat4 load(const float m[16]) {
  mat4::Mat4 r;
  std::memcpy(r.m, m, sizeof r.m);
  return r;
}

void store(const mat4::Mat4& a, float m[16]) { std::memcpy(m, a.m, sizeof a.m); }

void reset_level(TransformLevel& level, const float start[16]) {
  level.extra_count = 0;
  level.rotation_count = 0;
  level.scale[0] = level.scale[1] = level.scale[2] = 1;
  level.translation[0] = level.translation[1] = level.translation[2] = 0;
  std::memcpy(level.start_matrix, start, sizeof level.start_matrix);
  std::memcpy(level.matrix, start, sizeof level.matrix);
  level.matrix_valid = 1;
}

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

}  // namespace

// ---------------------------------------------------------------- camera ---

void Vurivari3D::set_camera(const float eye[3], const float target[3]) {
  core_->flush_quads();
  std::copy(eye, eye + 3, camera_eye);
  std::copy(target, target + 3, camera_target);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const mat4::Mat4 look = mat4::look_at(eye, target, camera_up);
  glMultMatrixf(look.m);
  glGetFloatv(GL_MODELVIEW_MATRIX, view_matrix);
  reset_transforms();
  update_culling_data();
}

void Vurivari3D::set_camera_up(float x, float y, float z) {
  camera_up[0] = x;
  camera_up[1] = y;
  camera_up[2] = z;
}

void Vurivari3D::update_culling_data() {
  mat4::Mat4 projection, model_view;
  glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
  glGetFloatv(GL_MODELVIEW_MATRIX, model_view.m);
  const mat4::Mat4 clip = mat4::multiply(projection, model_view);
  // Each plane is the fourth row of the clip matrix plus or minus one of
  // the other rows.
  for (int axis = 0; axis < 3; ++axis) {
    for (int side = 0; side < 2; ++side) {
      float* plane = frustum_planes[axis * 2 + side];
      const float sign = side == 0 ? 1.0f : -1.0f;
      float length2 = 0;
      for (int c = 0; c < 4; ++c) {
        plane[c] = clip.at(3, c) + sign * clip.at(axis, c);
        if (c < 3) length2 += plane[c] * plane[c];
      }
      if (length2 > 0) {
        const float length = std::sqrt(length2);
        for (int c = 0; c < 4; ++c) plane[c] /= length;
      }
    }
  }
}

// ------------------------------------------------------ object transforms ---

void Vurivari3D::reset_transforms() {
  current_level = 0;
  reset_level(levels[0], kIdentity);
}

void Vurivari3D::restart_level() {
  TransformLevel& level = levels[current_level];
  const float* start = current_level > 0 ? levels[current_level - 1].matrix : kIdentity;
  std::memcpy(level.start_matrix, start, sizeof level.start_matrix);
  std::memcpy(level.matrix, start, sizeof level.matrix);
  level.matrix_valid = 0;
  level.extra_count = 0;
  level.rotation_count = 0;
}

void Vurivari3D::move_object(float x, float y, float z) {
  restart_level();
  float* t = levels[current_level].translation;
  t[0] = x;
  t[1] = y;
  t[2] = z;
}

void Vurivari3D::scale_object(float x, float y, float z) {
  restart_level();
  float* s = levels[current_level].scale;
  s[0] = x;
  s[1] = y;
  s[2] = z;
}

void Vurivari3D::rotate_object(float angle, float x, float y, float z) {
  TransformLevel& level = levels[current_level];
  level.matrix_valid = 0;
  if (level.rotation_count >= TransformLevel::kMaxRotations) return;
  float* r = level.rotations[level.rotation_count++];
  r[0] = angle;
  r[1] = x;
  r[2] = y;
  r[3] = z;
}

void Vurivari3D::multiply_transform(const float rows[16]) {
  TransformLevel& level = levels[current_level];
  // A full list takes no more matrices.
  if (level.extra_count >= TransformLevel::kMaxExtraMatrices) return;
  float* m = level.extra_matrices[level.extra_count++];
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) m[column * 4 + row] = rows[row * 4 + column];
  level.matrix_valid = 0;
}

void Vurivari3D::compute_level(TransformLevel& level) {
  if (level.matrix_valid) return;
  // Always from the starting matrix: a rotation added after an earlier
  // computation must not apply the rest of the list a second time.
  mat4::Mat4 m = load(level.start_matrix);
  for (int k = 0; k < level.extra_count; ++k) m = mat4::multiply(m, load(level.extra_matrices[k]));
  const float* t = level.translation;
  if (t[0] != 0 || t[1] != 0 || t[2] != 0) m = mat4::multiply(m, mat4::translation(t[0], t[1], t[2]));
  for (int k = level.rotation_count - 1; k >= 0; --k) {
    const float* r = level.rotations[k];
    mat4::Mat4 rotation;
    if (mat4::rotation(r[0], r[1], r[2], r[3], rotation)) m = mat4::multiply(m, rotation);
  }
  const float* s = level.scale;
  if (s[0] != 1 || s[1] != 1 || s[2] != 1) m = mat4::multiply(m, mat4::scaling(s[0], s[1], s[2]));
  store(m, level.matrix);
  level.matrix_valid = 1;
}

void Vurivari3D::push_transform() {
  // The deepest level takes no child.
  if (current_level >= kLevelCount - 1) return;
  compute_level(levels[current_level]);
  const float* parent = levels[current_level].matrix;
  ++current_level;
  reset_level(levels[current_level], parent);
}

void Vurivari3D::pop_transform() {
  if (current_level > 0) {
    --current_level;
    return;
  }
  reset_level(levels[0], kIdentity);
}

const float* Vurivari3D::object_matrix() {
  compute_level(levels[current_level]);
  return levels[current_level].matrix;
}

void Vurivari3D::apply_object_transform() {
  const float* m = object_matrix();
  core_->flush_quads();
  glMatrixMode(GL_MODELVIEW);
  glMultMatrixf(m);
}

// ------------------------------------------------------------- commands ---

namespace {
Vurivari3D* renderer() {
  EngineState& e = engine();
  return e.gfx ? e.renderer3d : nullptr;
}
}  // namespace

void set_camera_up(double x, double y, double z) {
  if (Vurivari3D* r = renderer()) r->set_camera_up(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void set_camera(double eye_x, double eye_y, double eye_z, double target_x, double target_y, double target_z) {
  Vurivari3D* r = renderer();
  if (!r) return;
  const float eye[3] = {static_cast<float>(eye_x), static_cast<float>(eye_y), static_cast<float>(eye_z)};
  const float target[3] = {static_cast<float>(target_x), static_cast<float>(target_y), static_cast<float>(target_z)};
  r->set_camera(eye, target);
}

void move_object(double x, double y, double z) {
  if (Vurivari3D* r = renderer()) r->move_object(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void scale_object(double x, double y, double z) {
  if (Vurivari3D* r = renderer()) r->scale_object(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void rotate_object(double angle, double x, double y, double z) {
  if (Vurivari3D* r = renderer())
    r->rotate_object(static_cast<float>(angle), static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void multiply_transform(const NumberArray& matrix) {
  Vurivari3D* r = renderer();
  if (!r) return;
  // Exactly one dimension of 16 elements; anything else is not a matrix.
  if (matrix.dimensions != 1 || matrix.size_0 != 16) return;
  float rows[16];
  for (int k = 0; k < 16; ++k) rows[k] = static_cast<float>(array_element(matrix, k));
  r->multiply_transform(rows);
}

void push_transform() {
  if (Vurivari3D* r = renderer()) r->push_transform();
}

void pop_transform() {
  if (Vurivari3D* r = renderer()) r->pop_transform();
}

}  // namespace quarvel
