#include "gfx3d/shader_slots.h"

#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/gl_api.h"
#include "core/opengl_vurivari.h"
#include "quarvel/runtime.h"
#include "values/file_bytes.h"

namespace quarvel {

bool shader_support_reported = false;

void report_shader_log(const char* text) {
  if (engine().settings.debug_mode != 0) {
    DynString line(text ? text : "null");
    line = line + "\n";
    debug_text(line);
    return;
  }
  append_report_line(text ? text : "null");
}

namespace {

// Textured quads waiting in the 2D batch belong to the program that was
// current when they were queued.
void flush_pending_drawing() {
  if (OpenGLVurivari* gfx = engine().gfx) gfx->flush_quads();
}

// The info log of a shader or program object, given to report_shader_log.
void report_info_log(GLhandleARB object) {
  GLint length = 0;
  if (gl.glGetObjectParameterivARB) gl.glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
  if (length <= 0 || !gl.glGetInfoLogARB) {
    report_shader_log("");
    return;
  }
  std::vector<GLcharARB> log(static_cast<size_t>(length) + 1, 0);
  GLsizei written = 0;
  gl.glGetInfoLogARB(object, length, &written, log.data());
  if (written < 0 || written > length) written = 0;
  log[static_cast<size_t>(written)] = 0;
  report_shader_log(log.data());
}

// One stage: the whole file compiled into a new shader object. 0 when the
// file cannot be read; a shader that fails to compile is kept (its log
// reported), since linking decides the result.
GLhandleARB compile_stage(const char* file_name, GLenum type) {
  std::vector<uint8_t> source;
  if (!read_file_bytes(file_name, kMaxShaderSourceBytes, source)) return 0;
  source.push_back(0);
  GLhandleARB shader = gl.glCreateShaderObjectARB(type);
  if (shader == 0) return 0;
  const GLcharARB* text = reinterpret_cast<const GLcharARB*>(source.data());
  if (gl.glShaderSourceARB) gl.glShaderSourceARB(shader, 1, &text, nullptr);
  gl.glCompileShaderARB(shader);
  GLint compiled = 0;
  if (gl.glGetObjectParameterivARB) gl.glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
  if (compiled == 0) report_info_log(shader);
  return shader;
}

}  // namespace

int ShaderSlots::load_shader(int n, const char* vertex_file, const char* fragment_file) {
  const uint32_t number = static_cast<uint32_t>(n);
  if (number > kLastShaderSlot) return 0;
  if (!gl.glCreateShaderObjectARB || !gl.glCompileShaderARB || !gl.glLinkProgramARB) {
    if (!shader_support_reported) {
      shader_support_reported = true;
      report_shader_log("No OpenGL 2.0 Shader Support");
    }
    return 0;
  }
  flush_pending_drawing();
  ShaderSlot& slot = slots_[number];
  if (gl.glDeleteObjectARB) {
    // A program still current stays usable until it is replaced; deleting
    // only marks it.
    if (slot.program) gl.glDeleteObjectARB(slot.program);
    if (slot.vertex_shader) gl.glDeleteObjectARB(slot.vertex_shader);
    if (slot.fragment_shader) gl.glDeleteObjectARB(slot.fragment_shader);
    slot = ShaderSlot{};
  }
  slot.vertex_shader = compile_stage(vertex_file, GL_VERTEX_SHADER_ARB);
  slot.fragment_shader = compile_stage(fragment_file, GL_FRAGMENT_SHADER_ARB);

  int result = 0;
  if (slot.vertex_shader || slot.fragment_shader) {
    slot.program = gl.glCreateProgramObjectARB ? gl.glCreateProgramObjectARB() : 0;
    if (slot.program) {
      if (gl.glAttachObjectARB) {
        if (slot.vertex_shader) gl.glAttachObjectARB(slot.program, slot.vertex_shader);
        if (slot.fragment_shader) gl.glAttachObjectARB(slot.program, slot.fragment_shader);
      }
      gl.glLinkProgramARB(slot.program);
      GLint linked = 0;
      if (gl.glGetObjectParameterivARB) gl.glGetObjectParameterivARB(slot.program, GL_OBJECT_LINK_STATUS_ARB, &linked);
      if (linked != 0) {
        result = 1;
      } else {
        report_info_log(slot.program);
      }
    }
  }
  return result;
}

void ShaderSlots::use_shader(int n) {
  if (!gl.glUseProgramObjectARB) return;
  current_shader = static_cast<uint32_t>(n);
  GLhandleARB program = current_shader <= kLastShaderSlot ? slots_[current_shader].program : 0;
  // A program that did not link cannot be made current: the one before
  // would stay in use. Such a slot selects the fixed-function pipeline.
  if (program != 0 && gl.glGetObjectParameterivARB) {
    GLint linked = 0;
    gl.glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (linked == 0) program = 0;
  }
  // Every frame ends by switching programs off; without shaders in use
  // that costs nothing.
  if (program == 0 && fixed_function_) return;
  flush_pending_drawing();
  gl.glUseProgramObjectARB(program);
  fixed_function_ = program == 0;
}

void ShaderSlots::set_uniform(const char* name, float value) {
  if (current_shader > kLastShaderSlot || !name) return;
  if (!gl.glGetUniformLocationARB || !gl.glUniform1fARB) return;
  const GLhandleARB program = slots_[current_shader].program;
  if (program == 0) return;
  GLint linked = 0;
  if (gl.glGetObjectParameterivARB) gl.glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
  if (linked == 0) return;
  const GLint location = gl.glGetUniformLocationARB(program, name);
  if (location == -1) return;
  flush_pending_drawing();
  gl.glUniform1fARB(location, value);
}

}  // namespace quarvel
