// The 3D renderer. It is constructed with the graphics core at start-up and
// needs no further call before a game's first command.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx3d/model_store.h"
#include "gfx3d/shader_slots.h"

namespace quarvel {

class OpenGLVurivari;

// One level of the object transform stack: the placement of a model (or a
// part of one, relative to its parent level).
struct TransformLevel {
  static constexpr int kMaxRotations = 16;
  static constexpr int kMaxExtraMatrices = 16;
  int32_t extra_count = 0;
  int32_t rotation_count = 0;
  float rotations[kMaxRotations][4] = {};  // angle in degrees, axis x, y, z
  float scale[3] = {1, 1, 1};
  float translation[3] = {0, 0, 0};
  float extra_matrices[kMaxExtraMatrices][16] = {};  // column-major
  // The starting matrix until computed, the computed result afterwards.
  float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  uint32_t matrix_valid = 1;
  // The matrix the level starts from (the parent's, or the identity): a
  // recomputation always begins here, so nothing is applied twice.
  float start_matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

// Where a 3D view draws: its GL viewport (origin bottom-left) and the
// height of the picture that screen rows count down from. On the screen
// that is the game's viewport on the drawing surface; in an off-screen
// surface the whole surface, whether it has a framebuffer of its own or is
// drawn in the screen's top-left corner and copied.
struct ViewTarget {
  int x = 0, y = 0, width = 0, height = 0;
  int frame_height = 0;
  bool in_surface = false;
};
ViewTarget view_target(const OpenGLVurivari& core);

// Switches off what colours fragments beyond a plain colour: texturing on
// both units, lighting, fog and the alpha test.
void plain_fragments();
// A rectangle over the whole viewport at depth z of clip space (-1 the near
// plane, 1 the far one), drawn with identity matrices; both matrices are
// put back.
void draw_viewport_rectangle(float z);

class Vurivari3D {
 public:
  explicit Vurivari3D(OpenGLVurivari* core) : core_(core) {}
  virtual ~Vurivari3D() = default;

  // Ends a stencil shadow pass when one is active.
  void end_shadow_pass();
  // Selects a shader slot; -1 switches shader programs off.
  void use_shader(int slot) { shaders.use_shader(slot); }

  OpenGLVurivari* core() const { return core_; }

  uint8_t bind_mipmapped_texture = 0;
  uint8_t shadow_pass_active = 0;

  // ------------------------------------ models and shader programs ---
  // (model_store.cpp, shader_slots.cpp; the selected slot is
  // shaders.current_shader)
  ModelStore models;
  ShaderSlots shaders;

  // ------------------------------------------------------ model drawing ---
  // (model_drawing.cpp)
  // Puts a loaded model's key frames into GL buffers (once).
  void prepare_model(MeshObject& mesh);
  // Draws mesh slot `slot` at key frame `frame` (fractions blend, any value
  // wraps) with the current object transform; while the shadow pass is on,
  // only its shadow volume goes into the stencil.
  void draw_model(int slot, double frame);
  // Gives the model the picture of a sprite slot (negative: none); false
  // when the sprite slot holds no picture.
  bool set_model_texture(MeshObject& mesh, int sprite_slot);

  // ---------------------------------------------- view, fog and lights ---
  // (view_state.cpp)
  void start_view(float near_plane, float far_plane, float field_of_view);
  void set_fog(int64_t colour, bool exponential, float a, float b);
  void set_light(int32_t number, int64_t colour, const float position[3], const float direction[3], float cutoff);
  // 0: no culling; 1: cull, clockwise faces in front; -1: cull,
  // counter-clockwise faces in front.
  void set_cull_mode(int mode);
  void start_shadow_pass();

  float near_plane = 1.0f;
  float far_plane = 1000.0f;
  float cull_tangent = 1.0f;
  int cull_mode = 0;
  uint8_t lights_on = 0;  // one bit per fixed-function light
  // The shadow-casting light (set with a negative light number).
  float shadow_light_position[3] = {0, 0, 0};
  int64_t shadow_light_colour = 0;
  uint8_t shadow_light_on = 0;
  int32_t shadow_light_kind = 0;
  int shadow_saved_cull_mode = 0;

  // ------------------------------------------------------------ camera ---
  // (camera_transform.cpp)
  void set_camera(const float eye[3], const float target[3]);
  void set_camera_up(float x, float y, float z);
  // Reads the GL projection and model-view matrices into the culling data.
  void update_culling_data();

  float camera_up[3] = {0, 1, 0};
  float camera_eye[3] = {0, 0, 0};
  float camera_target[3] = {0, 0, -1};
  float view_matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  // The six planes (a, b, c, d) of the view volume in the coordinates of
  // the camera's model-view matrix, inside where a x + b y + c z + d >= 0:
  // left, right, bottom, top, near, far.
  float frustum_planes[6][4] = {};

  // -------------------------------------------------- object transforms ---
  static constexpr int kLevelCount = 16;
  void reset_transforms();
  void move_object(float x, float y, float z);
  void scale_object(float x, float y, float z);
  void rotate_object(float angle, float x, float y, float z);
  // A row-order 4 x 4 matrix (element [row * 4 + column]).
  void multiply_transform(const float rows[16]);
  void push_transform();
  void pop_transform();
  // Computes the current level's matrix when needed and multiplies it onto
  // the GL model-view matrix.
  void apply_object_transform();
  // The current level's matrix, computed when needed.
  const float* object_matrix();

  TransformLevel levels[kLevelCount];
  int32_t current_level = 0;

 private:
  void restart_level();
  void compute_level(TransformLevel& level);
  // The shape data (kShapeFloats per vertex) of the picked frames: a
  // frame's own data or the blend of two, made once per frame value.
  const float* blended_shape(MeshObject& mesh, const FramePick& pick);
  void draw_model_shadow(MeshObject& mesh, const FramePick& pick);
  std::vector<float> volume_;  // the last shadow volume built

  OpenGLVurivari* core_;
};

}  // namespace quarvel
