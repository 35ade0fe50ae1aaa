#include "core/opengl_vurivari.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/engine_state.h"
#include "core/window_events.h"
#include "platform/platform.h"

namespace quarvel {

GlEntryPoints gl;

bool gl_has_extension(const char* name) {
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  const size_t n = name ? std::strlen(name) : 0;
  if (!extensions || n == 0) return false;
  // A whole blank-separated name, not the start of a longer one.
  for (const char* at = std::strstr(extensions, name); at; at = std::strstr(at + n, name)) {
    const bool starts = at == extensions || at[-1] == ' ';
    const bool ends = at[n] == ' ' || at[n] == '\0';
    if (starts && ends) return true;
  }
  return false;
}

namespace {

// Process-wide, each set at most once.
bool g_software_warning_given = false;

const char kSoftwareCaption[] = "!!OpenGL Software Emulation!!";
const char kSoftwareText[] =
    "Please update your GFX adapter's driver\nso it can render OpenGL by HARDWARE\n\n\n"
    "Bitte aktualisieren Sie Ihren\nGrafkkartentreiber, damit er OpenGL\nper HARDWARE unterst\xC3\xBCtzt!";

template <typename T>
void lookup(T& slot, const char* name) {
  slot = reinterpret_cast<T>(platform::gl_proc_address(name));
}

// The first of several names that the driver knows.
template <typename T>
void lookup_any(T& slot, std::initializer_list<const char*> names) {
  slot = nullptr;
  for (const char* name : names) {
    lookup(slot, name);
    if (slot) return;
  }
}

}  // namespace

OpenGLVurivari::OpenGLVurivari() : layers(new BackgroundLayer[kLayerCount]()) {
  counter_available = 1;
  counter_frequency = 1.0e9;  // the monotonic clock counts nanoseconds
  next_frame_ms = now_ms();
}

OpenGLVurivari::~OpenGLVurivari() {
  if (context_ready) {
    leave_current_surface();
    for (ScreenSurface& surface : surfaces) {
      if (surface.framebuffer && gl.glDeleteFramebuffersEXT) gl.glDeleteFramebuffersEXT(1, &surface.framebuffer);
      if (surface.depth_buffer && gl.glDeleteRenderbuffersEXT) gl.glDeleteRenderbuffersEXT(1, &surface.depth_buffer);
      surface = ScreenSurface();
    }
  }
  release_window();
  gl_context = false;
}

void OpenGLVurivari::set_frame_interval(int frames_per_second) {
  frame_interval_ms = frames_per_second > 0 ? 1000.0 / frames_per_second : 2.0;
}

int OpenGLVurivari::choose_window_scale() {
  if (engine().window_scale > 0) {
    // A scale asked for is kept unless the window would not fit the
    // desktop's free area (with room for a title bar): then the largest
    // that fits, said once.
    const int asked = engine().window_scale;
    int uw = 0, uh = 0;
    if (surface_width <= 0 || surface_height <= 0 || !platform::desktop_usable_size(uw, uh)) return asked;
    constexpr int kTitleBarRoom = 32;
    const int fit = std::max(1, std::min(uw / surface_width, (uh - kTitleBarRoom) / surface_height));
    if (asked <= fit) return asked;
    if (!scale_reduction_told_) {
      scale_reduction_told_ = true;
      std::fprintf(stderr, "%s: window scale %d does not fit the %dx%d desktop; using %d\n", program_name(), asked,
                   uw, uh, fit);
      std::fflush(stderr);
    }
    return fit;
  }
  int dw = 0, dh = 0;
  if (!platform::desktop_size(dw, dh) || surface_width <= 0 || surface_height <= 0) return 1;
  // The largest whole scale that leaves room for panels and decorations.
  int by_width = static_cast<int>(dw * 0.85) / surface_width;
  int by_height = static_cast<int>(dh * 0.85) / surface_height;
  return std::max(1, std::min(by_width, by_height));
}

bool OpenGLVurivari::create_window(int width, int height, int depth, int frame_rate, int requested_samples) {
  set_frame_interval(frame_rate);
  samples = requested_samples;
  surface_width = width;
  surface_height = height;
  window_scale = choose_window_scale();

  platform::WindowRequest request;
  request.width = width * window_scale;
  request.height = height * window_scale;
  request.caption = "Quarvel";
  if (!platform::window_create(request, last_error_)) return false;
  gl_context = true;

  colour_depth = depth != 0 ? depth : 32;
  fullscreen_active = 0;

  load_entry_points();
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture_size);
  window_fits_ = -1;
  if (const char* direct = std::getenv("QUARVEL_DIRECT_PRESENT"); direct && std::strcmp(direct, "0") == 0) {
    direct_presentation_allowed = false;
  }
  if (!create_surface_buffers(requested_samples)) {
    platform::window_destroy();
    gl_context = false;
    return false;
  }

  check_software_renderer();

  fullscreen_active = 0;
  next_frame_ms = now_ms();

  platform::window_show();
  setup_2d_projection(0, 0, 0, 0);
  context_ready = 1;
  return true;
}

void OpenGLVurivari::load_entry_points() {
  if (gl_has_extension("GL_ARB_multitexture")) {
    lookup(gl.glActiveTextureARB, "glActiveTextureARB");
    lookup(gl.glMultiTexCoord2fARB, "glMultiTexCoord2fARB");
    lookup(gl.glClientActiveTextureARB, "glClientActiveTextureARB");
    lookup(gl.glGenBuffersARB, "glGenBuffersARB");
    lookup(gl.glBindBufferARB, "glBindBufferARB");
    lookup(gl.glBufferDataARB, "glBufferDataARB");
    lookup(gl.glBufferSubDataARB, "glBufferSubDataARB");
    lookup(gl.glDeleteBuffersARB, "glDeleteBuffersARB");
    lookup(gl.glMapBufferARB, "glMapBufferARB");
    lookup(gl.glUnmapBufferARB, "glUnmapBufferARB");
    lookup(gl.glGetBufferParameterivARB, "glGetBufferParameterivARB");
  }
  if (gl_has_extension("GL_ARB_fragment_program")) {
    lookup(gl.glCreateProgramObjectARB, "glCreateProgramObjectARB");
    lookup(gl.glDeleteObjectARB, "glDeleteObjectARB");
    lookup(gl.glCreateShaderObjectARB, "glCreateShaderObjectARB");
    lookup(gl.glShaderSourceARB, "glShaderSourceARB");
    lookup(gl.glCompileShaderARB, "glCompileShaderARB");
    lookup(gl.glGetObjectParameterivARB, "glGetObjectParameterivARB");
    lookup(gl.glAttachObjectARB, "glAttachObjectARB");
    lookup(gl.glGetInfoLogARB, "glGetInfoLogARB");
    lookup(gl.glLinkProgramARB, "glLinkProgramARB");
    lookup(gl.glUseProgramObjectARB, "glUseProgramObjectARB");
    lookup(gl.glGetUniformLocationARB, "glGetUniformLocationARB");
    lookup(gl.glUniform1fARB, "glUniform1fARB");
    lookup(gl.glUniform1iARB, "glUniform1iARB");
  }
  lookup_any(gl.glBindRenderbufferEXT, {"glBindRenderbufferEXT", "glBindRenderbuffer"});
  lookup_any(gl.glDeleteRenderbuffersEXT, {"glDeleteRenderbuffersEXT", "glDeleteRenderbuffers"});
  lookup_any(gl.glGenRenderbuffersEXT, {"glGenRenderbuffersEXT", "glGenRenderbuffers"});
  lookup_any(gl.glRenderbufferStorageEXT, {"glRenderbufferStorageEXT", "glRenderbufferStorage"});
  lookup_any(gl.glBindFramebufferEXT, {"glBindFramebufferEXT", "glBindFramebuffer"});
  lookup_any(gl.glDeleteFramebuffersEXT, {"glDeleteFramebuffersEXT", "glDeleteFramebuffers"});
  lookup_any(gl.glGenFramebuffersEXT, {"glGenFramebuffersEXT", "glGenFramebuffers"});
  lookup_any(gl.glCheckFramebufferStatusEXT, {"glCheckFramebufferStatusEXT", "glCheckFramebufferStatus"});
  lookup_any(gl.glFramebufferTexture2DEXT, {"glFramebufferTexture2DEXT", "glFramebufferTexture2D"});
  lookup_any(gl.glFramebufferRenderbufferEXT, {"glFramebufferRenderbufferEXT", "glFramebufferRenderbuffer"});
  lookup_any(gl.glBlitFramebufferEXT, {"glBlitFramebuffer", "glBlitFramebufferEXT"});
  lookup_any(gl.glRenderbufferStorageMultisampleEXT,
             {"glRenderbufferStorageMultisample", "glRenderbufferStorageMultisampleEXT"});
}

bool OpenGLVurivari::create_surface_buffers(int requested_samples) {
  // A new frame size: the next present picks the target anew.
  direct_ = false;
  shown_kept_ = true;
  paused_frame_kept_ = false;
  delete_surface_buffers();
  if (!gl.glGenFramebuffersEXT || !gl.glBindFramebufferEXT || !gl.glGenRenderbuffersEXT ||
      !gl.glRenderbufferStorageEXT || !gl.glFramebufferRenderbufferEXT || !gl.glBlitFramebufferEXT ||
      !gl.glCheckFramebufferStatusEXT) {
    last_error_ = "the OpenGL driver has no framebuffer objects";
    return false;
  }
  // The draw target: RGBA8 with 24-bit depth and 8-bit stencil, multisampled
  // when asked; the sample count halves until the driver accepts it.
  auto make_draw = [&](int count) -> bool {
    gl.glGenFramebuffersEXT(1, &draw_fbo_);
    gl.glGenRenderbuffersEXT(1, &draw_colour_);
    gl.glGenRenderbuffersEXT(1, &draw_depth_);
    gl.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, draw_colour_);
    if (count > 0) {
      gl.glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, count, GL_RGBA8, surface_width, surface_height);
    } else {
      gl.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, surface_width, surface_height);
    }
    gl.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, draw_depth_);
    if (count > 0) {
      gl.glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, count, GL_DEPTH24_STENCIL8_EXT, surface_width,
                                             surface_height);
    } else {
      gl.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH24_STENCIL8_EXT, surface_width, surface_height);
    }
    gl.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, draw_fbo_);
    gl.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, draw_colour_);
    gl.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, draw_depth_);
    gl.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_STENCIL_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, draw_depth_);
    bool complete = gl.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    while (glGetError() != GL_NO_ERROR) complete = false;
    if (!complete) {
      gl.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
      gl.glDeleteFramebuffersEXT(1, &draw_fbo_);
      gl.glDeleteRenderbuffersEXT(1, &draw_colour_);
      gl.glDeleteRenderbuffersEXT(1, &draw_depth_);
      draw_fbo_ = draw_colour_ = draw_depth_ = 0;
    }
    return complete;
  };

  while (glGetError() != GL_NO_ERROR) {
  }
  bool made = false;
  int count = requested_samples > 0 && gl.glRenderbufferStorageMultisampleEXT ? requested_samples : 0;
  if (count > 0) {
    GLint max_samples = 0;
    glGetIntegerv(GL_MAX_SAMPLES_EXT, &max_samples);
    while (count > 0 && !made) {
      made = count <= max_samples && make_draw(count);
      if (!made) count /= 2;
    }
  }
  if (!made) {
    count = 0;
    made = make_draw(0);
  }
  samples = count;
  if (!made) {
    last_error_ = "the OpenGL driver cannot make the drawing surface";
    return false;
  }
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

  // The presented frame. Without multisampling it is a second draw target of
  // the same kind and the two trade places at every present (no copy, and
  // the renderer need not finish a frame before the next one is drawn);
  // with multisampling it is a plain RGBA8 buffer the frame resolves into.
  gl.glGenFramebuffersEXT(1, &shown_fbo_);
  gl.glGenRenderbuffersEXT(1, &shown_colour_);
  gl.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, shown_colour_);
  gl.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, surface_width, surface_height);
  gl.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, shown_fbo_);
  gl.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, shown_colour_);
  if (samples == 0) {
    gl.glGenRenderbuffersEXT(1, &shown_depth_);
    gl.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, shown_depth_);
    gl.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH24_STENCIL8_EXT, surface_width, surface_height);
    gl.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, shown_depth_);
    gl.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_STENCIL_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, shown_depth_);
  }
  if (gl.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
    last_error_ = "the OpenGL driver cannot make the presented frame";
    return false;
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  gl.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, draw_fbo_);
  return true;
}

void OpenGLVurivari::copy_frame(GLuint from, GLuint to, bool upside_down) const {
  gl.glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, from);
  gl.glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, to);
  GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  if (scissor) glDisable(GL_SCISSOR_TEST);
  const int y0 = upside_down ? surface_height : 0, y1 = upside_down ? 0 : surface_height;
  gl.glBlitFramebufferEXT(0, 0, surface_width, surface_height, 0, y0, surface_width, y1, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
  if (scissor) glEnable(GL_SCISSOR_TEST);
}

void OpenGLVurivari::keep_finished_frame() {
  if (direct_ && !window_holds_surface()) {
    // The window changed under the frame (fullscreen, another size, hidden):
    // presented the way of every other window.
    copy_frame(paused_frame_kept_ ? shown_fbo_ : 0, draw_fbo_);
    direct_ = false;
    paused_frame_kept_ = false;
  }
  if (direct_) {
    // Shown and kept already (the game paused before presenting it).
    if (paused_frame_kept_) {
      paused_frame_kept_ = false;
      shown_kept_ = true;
      return;
    }
    // The frame is in the window's back buffer, which the swap gives away.
    shown_kept_ = keep_every_frame_;
    if (keep_every_frame_) copy_frame(0, shown_fbo_);
    return;
  }
  shown_kept_ = true;
  if (samples == 0) {
    std::swap(draw_fbo_, shown_fbo_);
    std::swap(draw_colour_, shown_colour_);
    std::swap(draw_depth_, shown_depth_);
    return;
  }
  copy_frame(draw_fbo_, shown_fbo_);
}

bool OpenGLVurivari::window_buffers_fit() {
  if (window_fits_ < 0) {
    GLint read = 0, draw = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING_EXT, &read);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING_EXT, &draw);
    gl.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    GLint bits[6] = {0, 0, 0, 0, 0, 0};
    const GLenum names[6] = {GL_RED_BITS, GL_GREEN_BITS, GL_BLUE_BITS, GL_ALPHA_BITS, GL_DEPTH_BITS, GL_STENCIL_BITS};
    for (int i = 0; i < 6; ++i) glGetIntegerv(names[i], &bits[i]);
    GLint window_samples = 0;
    glGetIntegerv(GL_SAMPLES_ARB, &window_samples);
    while (glGetError() != GL_NO_ERROR) {
    }
    // The same bits as the off-screen frame, or the pixels would differ;
    // and a way to read back what the window shows, for a frame that was
    // not kept.
    window_fits_ = bits[0] == 8 && bits[1] == 8 && bits[2] == 8 && bits[3] == 8 && bits[4] == 24 &&
                   bits[5] == 8 && window_samples == 0 &&
                   (force_direct_presentation || platform::window_contents_readable());
    gl.glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, static_cast<GLuint>(read));
    gl.glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, static_cast<GLuint>(draw));
  }
  return window_fits_ != 0;
}

bool OpenGLVurivari::window_holds_surface() const {
  int dw = 0, dh = 0;
  platform::window_drawable_size(dw, dh);
  if (force_direct_presentation) return dw >= surface_width && dh >= surface_height;
  // (Only a window shown whole can be read back, should a frame that was
  // not kept be asked for.)
  return dw == surface_width && dh == surface_height && platform::window_shown_whole();
}

bool OpenGLVurivari::swaps_window() const { return force_direct_presentation || platform::video_has_display(); }

void OpenGLVurivari::choose_frame_target() {
  const bool shown = force_direct_presentation || (direct_presentation_allowed && platform::video_has_display());
  direct_ = shown && samples == 0 && surface_width > 0 && surface_height > 0 && window_buffers_fit() &&
            window_holds_surface();
}

void OpenGLVurivari::fetch_presented() const {
  // Whoever reads the presented frame once reads it again: keep it.
  keep_every_frame_ = true;
  if (shown_kept_) return;
  shown_kept_ = true;
  // It went straight into the window and was not kept: the window system
  // shows it. (A GL read of the window's front buffer is not that on every
  // driver.) The pixels go into the presented framebuffer through a
  // texture, upside down as GL counts rows.
  std::vector<uint8_t> rgba(static_cast<size_t>(surface_width) * static_cast<size_t>(surface_height) * 4);
  if (!platform::window_read_contents(rgba.data(), surface_width, surface_height)) {
    append_report_line("The presented frame could not be read back from the window");
    return;
  }
  GLint draw = 0, texture = 0, unpack_alignment = 4, unpack_row_length = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING_EXT, &draw);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack_alignment);
  glGetIntegerv(GL_UNPACK_ROW_LENGTH, &unpack_row_length);
  GLuint picture = 0, framebuffer = 0;
  glGenTextures(1, &picture);
  glBindTexture(GL_TEXTURE_2D, picture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, surface_width, surface_height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               rgba.data());
  gl.glGenFramebuffersEXT(1, &framebuffer);
  gl.glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, framebuffer);
  gl.glFramebufferTexture2DEXT(GL_READ_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, picture, 0);
  copy_frame(framebuffer, shown_fbo_, true);
  gl.glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, 0);
  gl.glDeleteFramebuffersEXT(1, &framebuffer);
  glDeleteTextures(1, &picture);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
  glPixelStorei(GL_UNPACK_ALIGNMENT, unpack_alignment);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, unpack_row_length);
  gl.glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, static_cast<GLuint>(draw));
}

OpenGLVurivari::PresentedRead::PresentedRead(const OpenGLVurivari& core) {
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING_EXT, &read_);
  core.fetch_presented();
  gl.glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, core.shown_fbo_);
}

OpenGLVurivari::PresentedRead::~PresentedRead() {
  gl.glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, static_cast<GLuint>(read_));
}

void OpenGLVurivari::show_finished_frame_for_pause() {
  leave_current_surface();
  if (!direct_ || shown_kept_) return;
  copy_frame(0, shown_fbo_);
  shown_kept_ = true;
  paused_frame_kept_ = true;
  if (swaps_window()) {
    platform::gl_swap();
    // The frame stays the one being drawn, for the present after the pause.
    copy_frame(shown_fbo_, 0);
  }
  bind_draw_target();
}

void OpenGLVurivari::delete_surface_buffers() {
  if (!gl.glDeleteFramebuffersEXT) return;
  gl.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  GLuint fbos[2] = {draw_fbo_, shown_fbo_};
  GLuint rbs[4] = {draw_colour_, draw_depth_, shown_colour_, shown_depth_};
  gl.glDeleteFramebuffersEXT(2, fbos);
  gl.glDeleteRenderbuffersEXT(4, rbs);
  draw_fbo_ = draw_colour_ = draw_depth_ = shown_fbo_ = shown_colour_ = shown_depth_ = 0;
}

void OpenGLVurivari::bind_draw_target() const {
  if (gl.glBindFramebufferEXT) gl.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target_fbo());
}

void OpenGLVurivari::check_software_renderer() {
  if (g_software_warning_given) return;
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (!renderer) return;
  if (std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
      std::strstr(renderer, "Software Rasterizer") || std::strcmp(renderer, "Mesa Windows GDI Driver") == 0) {
    g_software_warning_given = true;
    platform::message_box_warning(kSoftwareCaption, kSoftwareText);
    append_report_line("OpenGL Software Emulation");
  }
}

bool OpenGLVurivari::enter_windowed() {
  if (fullscreen_active) platform::window_set_fullscreen(false);
  platform::window_set_client_size(surface_width * window_scale, surface_height * window_scale);
  platform::window_show();
  platform::window_raise();
  setup_2d_projection(0, 0, 0, 0);
  fullscreen_active = 0;
  return true;
}

bool OpenGLVurivari::enter_fullscreen() {
  if (!platform::window_set_fullscreen(true)) {
    platform::beep();
    append_report_line("No Fullscreen Mode available");
    enter_windowed();
    return false;
  }
  platform::window_show();
  platform::window_raise();
  setup_2d_projection(0, 0, 0, 0);
  fullscreen_active = 1;
  return true;
}

bool OpenGLVurivari::hide_window() {
  if (fullscreen_active) platform::window_set_fullscreen(false);
  platform::window_hide();
  fullscreen_active = 0;
  return true;
}

void OpenGLVurivari::release_window() {
  release_slots();
  release_layers();
  if (platform::window_exists()) {
    if (fullscreen_active) platform::window_set_fullscreen(false);
    fullscreen_active = 0;
    delete_surface_buffers();
    platform::window_destroy();
  }
  surface_width = surface_height = 0;
  context_ready = 0;
}

void OpenGLVurivari::set_surface_size(int width, int height) {
  if (width == surface_width && height == surface_height) {
    setup_2d_projection(0, 0, 0, 0);
    return;
  }
  surface_width = width;
  surface_height = height;
  window_scale = choose_window_scale();
  create_surface_buffers(samples);
  if (!fullscreen_active) {
    platform::window_set_client_size(surface_width * window_scale, surface_height * window_scale);
    platform::window_center();
  }
  setup_2d_projection(0, 0, 0, 0);
}

void OpenGLVurivari::setup_2d_projection(int x, int y, int width, int height) {
  flush_quads();
  if (width <= 0 || height <= 0) {
    // The whole surface; the given corner still applies.
    width = surface_width;
    height = surface_height;
  }
  viewport_x = x;
  viewport_y = y;
  viewport_width = width;
  viewport_height = height;
  glViewport(x, surface_height - height - y, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CCW);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.15f);
  glColor4f(1, 1, 1, 1);
  glClearColor(0, 0, 0, 1);
  glShadeModel(GL_FLAT);
  glDisable(GL_DITHER);
  glDisable(GL_FOG);
  glDisable(GL_LINE_SMOOTH);
  glDisable(GL_POINT_SMOOTH);
  glDisable(GL_POLYGON_SMOOTH);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_POLYGON_OFFSET_POINT);
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_AUTO_NORMAL);
  glDisable(GL_NORMALIZE);
  glDisable(GL_LIGHTING);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);
}

void OpenGLVurivari::show_presented_in_window() {
  // A window that nothing can ever show (headless drivers) is not drawn:
  // the presented frame itself is kept all the same.
  if (!platform::video_has_display()) return;
  if (direct_) {
    platform::gl_swap();
    return;
  }
  int dw = 0, dh = 0;
  platform::window_drawable_size(dw, dh);
  if (dw <= 0 || dh <= 0 || surface_width <= 0 || surface_height <= 0) return;
  // The aspect ratio is kept and the rest is black.
  const ShownRect shown = presented_rect(dw, dh);
  const int out_w = shown.width, out_h = shown.height;
  const int x0 = shown.x;
  const int y0 = dh - shown.y - out_h;  // GL counts from the bottom

  GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  if (scissor) glDisable(GL_SCISSOR_TEST);
  gl.glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, shown_fbo_);
  gl.glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, 0);
  if (out_w != dw || out_h != dh) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  gl.glBlitFramebufferEXT(0, 0, surface_width, surface_height, x0, y0, x0 + out_w, y0 + out_h,
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
  platform::gl_swap();
  gl.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target_fbo());
  glClearColor(clear[0], clear[1], clear[2], clear[3]);
  if (scissor) glEnable(GL_SCISSOR_TEST);
}

void OpenGLVurivari::repaint_window() {
  if (!context_ready || !shown_fbo_ || !gl.glBindFramebufferEXT) return;
  GLint draw = 0, read = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING_EXT, &draw);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING_EXT, &read);
  if (!direct_) {
    show_presented_in_window();
  } else if (shown_kept_ && swaps_window()) {
    // The window's back buffer holds the frame being drawn: it waits in the
    // spare framebuffer while the presented frame is shown again.
    copy_frame(0, draw_fbo_);
    copy_frame(shown_fbo_, 0);
    platform::gl_swap();
    copy_frame(draw_fbo_, 0);
  }
  // (A frame that went straight into the window and was not kept cannot be
  // shown again; the next present covers the window.)
  gl.glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, static_cast<GLuint>(draw));
  gl.glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, static_cast<GLuint>(read));
}

OpenGLVurivari::ShownRect OpenGLVurivari::presented_rect(int dw, int dh) const {
  ShownRect r;
  if (dw <= 0 || dh <= 0 || surface_width <= 0 || surface_height <= 0) return r;
  // Whole-number scale when the surface fits at least once, else a plain
  // fit.
  int whole = std::min(dw / surface_width, dh / surface_height);
  if (whole >= 1) {
    r.width = surface_width * whole;
    r.height = surface_height * whole;
  } else {
    double fit = std::min(static_cast<double>(dw) / surface_width, static_cast<double>(dh) / surface_height);
    r.width = std::max(1, static_cast<int>(surface_width * fit));
    r.height = std::max(1, static_cast<int>(surface_height * fit));
  }
  r.x = (dw - r.width) / 2;
  // The bottom bar gets the odd pixel, as the frame is placed from there.
  r.y = dh - r.height - (dh - r.height) / 2;
  return r;
}

namespace {
// Window pixels per drawable pixel on each axis (1 unless the display has
// a higher pixel density than the window's coordinates).
bool window_metrics(int& ww, int& wh, int& dw, int& dh) {
  platform::window_size(ww, wh);
  platform::window_drawable_size(dw, dh);
  return ww > 0 && wh > 0 && dw > 0 && dh > 0;
}
}  // namespace

void OpenGLVurivari::window_to_surface(double wx, double wy, double& sx, double& sy) const {
  int ww = 0, wh = 0, dw = 0, dh = 0;
  const ShownRect r = window_metrics(ww, wh, dw, dh) ? presented_rect(dw, dh) : ShownRect();
  if (r.width <= 0 || r.height <= 0) {
    const double scale = window_scale > 0 ? window_scale : 1;
    sx = wx / scale;
    sy = wy / scale;
    return;
  }
  const double px = wx * dw / ww, py = wy * dh / wh;
  sx = (px - r.x) * surface_width / r.width;
  sy = (py - r.y) * surface_height / r.height;
}

void OpenGLVurivari::surface_to_window(double sx, double sy, double& wx, double& wy) const {
  int ww = 0, wh = 0, dw = 0, dh = 0;
  const ShownRect r = window_metrics(ww, wh, dw, dh) ? presented_rect(dw, dh) : ShownRect();
  if (r.width <= 0 || r.height <= 0) {
    const double scale = window_scale > 0 ? window_scale : 1;
    wx = sx * scale;
    wy = sy * scale;
    return;
  }
  const double px = r.x + sx * r.width / surface_width, py = r.y + sy * r.height / surface_height;
  wx = px * ww / dw;
  wy = py * wh / dh;
}

int64_t OpenGLVurivari::presented_pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= surface_width || y >= surface_height || !shown_fbo_) return -1;
  uint8_t rgb[4] = {0, 0, 0, 0};
  {
    const PresentedRead presented(*this);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, surface_height - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  }
  return rgb[0] + 256 * rgb[1] + 65536 * rgb[2];
}

bool OpenGLVurivari::read_presented(uint8_t* rgba, int width, int height) const {
  if (!shown_fbo_ || width != surface_width || height != surface_height) return false;
  {
    const PresentedRead presented(*this);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  }
  // GL rows run bottom-up; hand them out top row first.
  const size_t row = static_cast<size_t>(width) * 4;
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(rgba + top * row, rgba + (top + 1) * row, rgba + bottom * row);
  }
  return true;
}

}  // namespace quarvel
