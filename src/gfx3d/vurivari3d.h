// The 3D renderer. It is constructed with the graphics core at start-up and
// needs no further call before a game's first command.
#pragma once

#include <cstdint>

// -- model store and shader programs -------------------------------------
#include "gfx3d/model_store.h"
#include "gfx3d/shader_slots.h"
// ------------------------------------------------------------------------

namespace quarvel {

class OpenGLVurivari;

class Vurivari3D {
 public:
  explicit Vurivari3D(OpenGLVurivari* core) : core_(core) {}
  virtual ~Vurivari3D() = default;

  // Ends a stencil shadow pass when one is active.
  void end_shadow_pass() { shadow_pass_active = 0; }
  // Selects a shader slot; -1 switches shader programs off.
  void use_shader(int slot) { shaders.use_shader(slot); }

  OpenGLVurivari* core() const { return core_; }

  uint8_t bind_mipmapped_texture = 0;
  uint8_t shadow_pass_active = 0;

  // -- model store and shader programs (current_shader lives in shaders) --
  ModelStore models;
  ShaderSlots shaders;
  // ----------------------------------------------------------------------

 private:
  OpenGLVurivari* core_;
};

}  // namespace quarvel
