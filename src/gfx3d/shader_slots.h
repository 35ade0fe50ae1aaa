// Shader programs of the 3D renderer: 255 numbered slots, each a vertex
// shader, a fragment shader and the program linked from them.
//
// Everything goes through the shader-object entry points the graphics core
// looks up when the driver offers them (core/gl_api.h). Without them
// load_shader reports "No OpenGL 2.0 Shader Support" once per run and
// fails, and the other operations do nothing.
//
// Shader source files are opened by the name given (either separator); they
// are not looked up in the media pack. Compile and link logs go to the
// report file, or to an attached debugger in debug mode.
//
// Main thread only, with the GL context current.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarvel {

struct ShaderSlot {
  uint32_t program = 0;
  uint32_t vertex_shader = 0;
  uint32_t fragment_shader = 0;
};

constexpr int kShaderSlotCount = 255;
// current_shader values above this one mean the fixed-function pipeline.
constexpr uint32_t kLastShaderSlot = 254;
// Source files larger than this are left out like unreadable ones.
constexpr size_t kMaxShaderSourceBytes = size_t(4) << 20;

// Set once the missing-support message has been given (process-wide).
extern bool shader_support_reported;

// The message sink of load_shader: the debugger in debug mode, else one
// report line; a null text is written as "null".
void report_shader_log(const char* text);

class ShaderSlots {
 public:
  // 1 when the program linked, else 0. Numbers above 254 (negative ones
  // included) give 0.
  int load_shader(int slot, const char* vertex_file, const char* fragment_file);
  // Makes a slot's program current; any number above 254 (as an unsigned
  // 32-bit value, so -1 too) or a slot without a program selects the
  // fixed-function pipeline.
  void use_shader(int slot);
  // Sets a float uniform of the current slot's program; nothing happens for
  // the fixed-function pipeline or a name the program does not use.
  void set_uniform(const char* name, float value);

  const ShaderSlot& slot(int n) const { return slots_[n]; }
  // The program drawing now; 0 for the fixed-function pipeline.
  uint32_t program_in_use() const {
    return fixed_function_ || current_shader > kLastShaderSlot ? 0 : slots_[current_shader].program;
  }

  // The slot last selected with use_shader.
  uint32_t current_shader = 0xFFFFFFFFu;

 private:
  ShaderSlot slots_[kShaderSlotCount];
  // No program is current (the fixed-function pipeline draws).
  bool fixed_function_ = true;
};

}  // namespace quarvel
