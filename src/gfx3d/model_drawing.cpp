// Drawing loaded models: key frames in GL buffers, blended frames streamed,
// the model's texture, and shadow volumes for the stencil shadow pass.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx3d/matrix_math.h"
#include "gfx3d/vurivari3d.h"
#include "quarvel/models.h"
#include "quarvel/runtime.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

bool buffer_objects() {
  return gl.glGenBuffersARB && gl.glBindBufferARB && gl.glBufferDataARB && gl.glDeleteBuffersARB;
}

// Shadow volumes reach past the far plane; with depth clamping they are
// not cut there.
bool depth_clamp_available() {
  static const int available = gl_has_extension("GL_ARB_depth_clamp") || gl_has_extension("GL_NV_depth_clamp") ? 1 : 0;
  return available != 0;
}

bool context_current() {
  const OpenGLVurivari* g = engine().gfx;
  return g && g->context_ready;
}

uint8_t alpha_byte(float alpha) {
  if (!(alpha > 0.0f)) return 0;
  if (alpha >= 1.0f) return 255;
  return static_cast<uint8_t>(alpha * 255.0f + 0.5f);
}

// The byte offset of a buffer as the pointer argument GL takes.
const void* at_offset(size_t bytes) { return reinterpret_cast<const void*>(bytes); }

}  // namespace

void release_model_gpu(ModelGpu& gpu, bool with_texture) {
  if (context_current()) {
    if (gl.glDeleteBuffersARB) {
      const GLuint names[2] = {gpu.attribute_buffer, gpu.blend_buffer};
      gl.glDeleteBuffersARB(2, names);
      if (!gpu.frame_buffers.empty())
        gl.glDeleteBuffersARB(static_cast<GLsizei>(gpu.frame_buffers.size()), gpu.frame_buffers.data());
    }
    if (with_texture && gpu.texture) {
      const GLuint name = gpu.texture;
      glDeleteTextures(1, &name);
    }
  }
  std::vector<uint32_t>().swap(gpu.frame_buffers);
  gpu.attribute_buffer = gpu.blend_buffer = 0;
  if (with_texture) gpu.texture = 0;
  gpu.uploaded = false;
  gpu.blend_key = FramePick{0, 0, -1.0f};
  gpu.colour_alpha = -1;
}

void Vurivari3D::prepare_model(MeshObject& m) {
  if (m.gpu.uploaded || !context_current() || m.mesh.vertex_count == 0) return;
  m.gpu.uploaded = true;
  if (!buffer_objects()) return;  // drawn from client memory
  core_->flush_quads();
  GLuint names[2] = {0, 0};
  gl.glGenBuffersARB(2, names);
  m.gpu.attribute_buffer = names[0];
  m.gpu.blend_buffer = names[1];
  // A buffer of its own for each key frame.
  m.gpu.frame_buffers.assign(m.mesh.frame_count, 0);
  gl.glGenBuffersARB(static_cast<GLsizei>(m.gpu.frame_buffers.size()), m.gpu.frame_buffers.data());
  const size_t frame_bytes = m.mesh.vertex_count * DrawMesh::kShapeFloats * sizeof(float);
  for (size_t f = 0; f < m.mesh.frame_count; ++f) {
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, m.gpu.frame_buffers[f]);
    gl.glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(frame_bytes), m.mesh.frame_shape(f),
                       GL_STATIC_DRAW_ARB);
  }
  // Texture coordinates and colours; the colours' alpha follows the alpha
  // value and is written at the first drawing.
  const size_t texcoord_bytes = m.mesh.texcoords.size() * sizeof(float);
  gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, m.gpu.attribute_buffer);
  gl.glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(texcoord_bytes + m.mesh.colours.size()), nullptr,
                     GL_STATIC_DRAW_ARB);
  if (gl.glBufferSubDataARB)
    gl.glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, static_cast<GLsizeiptrARB>(texcoord_bytes), m.mesh.texcoords.data());
  gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  m.gpu.colour_alpha = -1;
}

const float* Vurivari3D::blended_shape(MeshObject& m, const FramePick& pick) {
  const DrawMesh& mesh = m.mesh;
  if (pick.weight == 0.0f) return mesh.frame_shape(pick.first);
  const FramePick& key = m.gpu.blend_key;
  if (key.first == pick.first && key.second == pick.second && key.weight == pick.weight && !m.blended.empty())
    return m.blended.data();
  // Blended once per frame value: a model drawn many times in a frame at
  // one frame value pays for it once.
  m.blended.resize(mesh.vertex_count * DrawMesh::kShapeFloats);
  blend_frames(mesh, pick, m.blended.data());
  if (m.gpu.blend_buffer) {
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, m.gpu.blend_buffer);
    gl.glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(m.blended.size() * sizeof(float)),
                       m.blended.data(), GL_STREAM_DRAW_ARB);
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  }
  m.gpu.blend_key = pick;
  return m.blended.data();
}

void Vurivari3D::draw_model(int slot, double frame) {
  MeshObject* m = models.find(slot);
  if (!m || !m->model.loaded || m->mesh.vertex_count == 0 || m->mesh.frame_count == 0) return;
  OpenGLVurivari& g = *core_;
  if (!g.context_ready) return;
  g.flush_quads();
  prepare_model(*m);
  const FramePick pick = pick_frame(frame, m->mesh.frame_count);
  if (shadow_pass_active) {
    draw_model_shadow(*m, pick);
    return;
  }
  DrawMesh& mesh = m->mesh;
  if (mesh.lit_count + mesh.unlit_count == 0) return;  // shadow proxies only
  const bool buffers = !m->gpu.frame_buffers.empty();

  // Colours carry the alpha value of the moment, as sprites do.
  const uint8_t alpha = alpha_byte(g.alpha_value);
  if (m->gpu.colour_alpha != alpha) {
    std::vector<uint8_t>& colours = mesh.colours;
    for (size_t k = 3; k < colours.size(); k += 4) colours[k] = alpha;
    if (buffers && gl.glBufferSubDataARB) {
      gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, m->gpu.attribute_buffer);
      gl.glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLintptrARB>(mesh.texcoords.size() * sizeof(float)),
                            static_cast<GLsizeiptrARB>(colours.size()), colours.data());
      gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    }
    m->gpu.colour_alpha = alpha;
  }
  const float* shape = blended_shape(*m, pick);

  // State is changed only where the model needs it and put back after, so
  // that a hundred models in a row cost the driver little: no attribute
  // stack, no texture switches for untextured models.
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  apply_object_transform();
  // Scaled and blended normals come back to unit length; it stays on for
  // the rest of the 3D frame.
  glEnable(GL_NORMALIZE);

  const bool textured = m->gpu.texture != 0;
  const bool second_unit = gl.glActiveTextureARB && g.second_slot >= 0 && g.current_slot >= 0;
  if (second_unit) {
    gl.glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    gl.glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  if (gl.glClientActiveTextureARB) gl.glClientActiveTextureARB(GL_TEXTURE0_ARB);
  const bool texturing_was_on = glIsEnabled(GL_TEXTURE_2D) == GL_TRUE;
  if (textured) {
    glBindTexture(GL_TEXTURE_2D, m->gpu.texture);
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    if (env != GL_MODULATE) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (!texturing_was_on) glEnable(GL_TEXTURE_2D);
  } else if (texturing_was_on) {
    glDisable(GL_TEXTURE_2D);
  }

  // The vertex colours are the material, ambient and diffuse alike, also
  // after markers (which leave colour tracking off). Tracking stays so for
  // the rest of the 3D frame (set_3d_light tracks the diffuse colour
  // again): switching it back after every model made the driver rebuild
  // its lighting for each one and halved the speed of a scene.
  GLint colour_material_mode = GL_AMBIENT_AND_DIFFUSE;
  glGetIntegerv(GL_COLOR_MATERIAL_PARAMETER, &colour_material_mode);
  if (colour_material_mode != GL_AMBIENT_AND_DIFFUSE) glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  if (glIsEnabled(GL_COLOR_MATERIAL) != GL_TRUE) glEnable(GL_COLOR_MATERIAL);

  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  if (textured) glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  const GLsizei stride = static_cast<GLsizei>(DrawMesh::kShapeFloats * sizeof(float));
  if (buffers) {
    const bool blended = pick.weight != 0.0f;
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, blended ? m->gpu.blend_buffer : m->gpu.frame_buffers[pick.first]);
    glVertexPointer(3, GL_FLOAT, stride, at_offset(0));
    glNormalPointer(GL_FLOAT, stride, at_offset(3 * sizeof(float)));
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, m->gpu.attribute_buffer);
    if (textured) glTexCoordPointer(2, GL_FLOAT, 0, at_offset(0));
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, at_offset(mesh.texcoords.size() * sizeof(float)));
  } else {
    glVertexPointer(3, GL_FLOAT, stride, shape);
    glNormalPointer(GL_FLOAT, stride, shape + 3);
    if (textured) glTexCoordPointer(2, GL_FLOAT, 0, mesh.texcoords.data());
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, mesh.colours.data());
  }
  if (mesh.lit_count > 0) glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(mesh.lit_count));
  if (mesh.unlit_count > 0) {
    const bool lighting = glIsEnabled(GL_LIGHTING) == GL_TRUE;
    if (lighting) glDisable(GL_LIGHTING);
    glDrawArrays(GL_TRIANGLES, static_cast<GLint>(mesh.lit_count), static_cast<GLsizei>(mesh.unlit_count));
    if (lighting) glEnable(GL_LIGHTING);
  }

  if (buffers) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  if (textured) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  if (textured) {
    if (!texturing_was_on) glDisable(GL_TEXTURE_2D);
    // The slot bound for 2D drawing is bound again at its next use.
    g.current_slot = -1;
  } else if (texturing_was_on) {
    glEnable(GL_TEXTURE_2D);
  }
  if (second_unit) {
    gl.glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    gl.glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  // A colour array leaves the current colour undefined: the alpha value
  // again, as the 3D view sets it.
  const float a = g.alpha_value;
  glColor4f(a, a, a, a);
  glPopMatrix();
}

void Vurivari3D::draw_model_shadow(MeshObject& m, const FramePick& pick) {
  if (!shadow_light_on) return;
  // The light in the model's own coordinates.
  mat4::Mat4 object;
  std::memcpy(object.m, object_matrix(), sizeof object.m);
  mat4::Mat4 inverse;
  if (!mat4::invert(object, inverse)) return;
  const mat4::Vec4 l = mat4::transform(
      inverse, {shadow_light_position[0], shadow_light_position[1], shadow_light_position[2], 1.0f});
  if (l.w == 0.0f) return;
  const float light[3] = {l.x / l.w, l.y / l.w, l.z / l.w};
  // Long enough to pass everything in view: twice the far plane in scene
  // units, in the model's units along its least scaled axis.
  float least_scale = -1.0f;
  for (int c = 0; c < 3; ++c) {
    const float length = std::sqrt(object.m[c * 4] * object.m[c * 4] + object.m[c * 4 + 1] * object.m[c * 4 + 1] +
                                    object.m[c * 4 + 2] * object.m[c * 4 + 2]);
    least_scale = least_scale < 0 ? length : std::min(least_scale, length);
  }
  if (!(least_scale > 0.0f)) return;
  const float reach = std::max(std::fabs(far_plane), 1.0f) * 2.0f / least_scale;

  const float* shape = blended_shape(m, pick);
  volume_.clear();
  build_shadow_volume(shape, m.mesh.vertex_count, light, reach, volume_);
  if (volume_.empty()) return;

  glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT |
               GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  const uint32_t program = shaders.program_in_use();
  if (program && gl.glUseProgramObjectARB) gl.glUseProgramObjectARB(0);
  plain_fragments();
  glDisable(GL_BLEND);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  if (depth_clamp_available()) glEnable(GL_DEPTH_CLAMP);
  // The volume's cap lies on the model's own lit faces: pushed a little
  // back, it counts behind them, as its far cap does, and the two cancel.
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(1.0f, 2.0f);
  glEnable(GL_STENCIL_TEST);
  glStencilMask(~0u);
  glStencilFunc(GL_ALWAYS, 0, ~0u);
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CCW);

  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  apply_object_transform();
  if (gl.glBindBufferARB) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glEnableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, volume_.data());
  const GLsizei count = static_cast<GLsizei>(volume_.size() / 3);
  // Depth-fail counting: behind the scene, the volume's back faces count up
  // and its front faces down; what stays above 0 lies inside a volume.
  glCullFace(GL_FRONT);
  glStencilOp(GL_KEEP, GL_INCR_WRAP, GL_KEEP);
  glDrawArrays(GL_TRIANGLES, 0, count);
  glCullFace(GL_BACK);
  glStencilOp(GL_KEEP, GL_DECR_WRAP, GL_KEEP);
  glDrawArrays(GL_TRIANGLES, 0, count);
  glPopMatrix();
  // Where nothing was drawn the depth is still the cleared far value, and
  // the volume's far end, held at that depth, counted there: no receiver,
  // no shadow. A rectangle at the far plane passes the depth test exactly
  // there and clears the count.
  glDisable(GL_CULL_FACE);
  glDisable(GL_POLYGON_OFFSET_FILL);
  glDepthFunc(GL_LEQUAL);
  glStencilOp(GL_KEEP, GL_KEEP, GL_ZERO);
  draw_viewport_rectangle(1.0f);

  if (program && gl.glUseProgramObjectARB) gl.glUseProgramObjectARB(program);
  glPopClientAttrib();
  glPopAttrib();
}

bool Vurivari3D::set_model_texture(MeshObject& m, int sprite_slot) {
  OpenGLVurivari& g = *core_;
  if (m.gpu.texture && g.context_ready) {
    g.flush_quads();
    const GLuint name = m.gpu.texture;
    glDeleteTextures(1, &name);
  }
  m.gpu.texture = 0;
  if (sprite_slot < 0) return true;
  if (!g.context_ready || !valid_slot(sprite_slot) || g.slots.texture[sprite_slot] == 0) return false;
  const int image_w = g.slots.image_width[sprite_slot], image_h = g.slots.image_height[sprite_slot];
  const int padded_w = g.slots.padded_width[sprite_slot], padded_h = g.slots.padded_height[sprite_slot];
  if (image_w <= 0 || image_h <= 0 || padded_w <= 0 || padded_h <= 0) return false;
  g.flush_quads();
  // The picture lies bottom-up in the lower-left corner of the slot's
  // texture (scaled down with it when the texture had to be smaller).
  glBindTexture(GL_TEXTURE_2D, g.slots.texture[sprite_slot]);
  GLint texture_w = 0, texture_h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &texture_w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &texture_h);
  if (texture_w <= 0 || texture_h <= 0) return false;
  std::vector<uint8_t> texels(static_cast<size_t>(texture_w) * static_cast<size_t>(texture_h) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  const int w = std::clamp(static_cast<int>(static_cast<int64_t>(image_w) * texture_w / padded_w), 1, texture_w);
  const int h = std::clamp(static_cast<int>(static_cast<int64_t>(image_h) * texture_h / padded_h), 1, texture_h);
  std::vector<uint8_t> picture(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  for (int row = 0; row < h; ++row)
    std::memcpy(&picture[static_cast<size_t>(row) * w * 4], &texels[static_cast<size_t>(row) * texture_w * 4],
                static_cast<size_t>(w) * 4);

  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, picture.data());
  // The slot bound for 2D drawing is bound again at its next use.
  g.current_slot = -1;
  m.gpu.texture = name;
  return true;
}

// ------------------------------------------------------------- commands ---

namespace {

Vurivari3D* drawing_renderer() {
  EngineState& e = engine();
  return e.gfx ? e.renderer3d : nullptr;
}

int model_slot_or_end(double slot) {
  const int number = truncate_to_int32(slot);
  if (!ModelStore::valid_slot(number)) {
    record_runtime_error(9);
    end_program();
  }
  return number;
}

}  // namespace

void draw_object(double slot, double frame) {
  Vurivari3D* r = drawing_renderer();
  if (!r) return;
  r->draw_model(model_slot_or_end(slot), frame);
}

double set_object_texture(double slot, double sprite_slot) {
  Vurivari3D* r = drawing_renderer();
  if (!r) return 0;
  MeshObject* mesh = r->models.mesh(model_slot_or_end(slot));
  if (!mesh) return 0;
  const double sprite = std::isfinite(sprite_slot) ? sprite_slot : -1.0;
  return r->set_model_texture(*mesh, sprite < 0 ? -1 : truncate_to_int32(sprite)) ? 1 : 0;
}

}  // namespace quarvel
