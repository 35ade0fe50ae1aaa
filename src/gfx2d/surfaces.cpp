// Off-screen surfaces, polygon batches, screen grabs and image saving.
#include <algorithm>
#include <cstring>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx2d/formats/image_writers.h"
#include "gfx2d/formats/texture_prep.h"
#include "gfx3d/vurivari3d.h"
#include "quarvel/graphics.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

// Grabbed textures start at 32: begin at 16 and double at least once.
int grab_padded(int n) {
  int p = 32;
  while (p < n && p < (1 << 30)) p *= 2;
  return p;
}

bool framebuffer_objects() {
  return gl.glGenFramebuffersEXT && gl.glBindFramebufferEXT && gl.glGenRenderbuffersEXT &&
         gl.glBindRenderbufferEXT && gl.glRenderbufferStorageEXT && gl.glCheckFramebufferStatusEXT &&
         gl.glFramebufferTexture2DEXT && gl.glFramebufferRenderbufferEXT && gl.glDeleteFramebuffersEXT &&
         gl.glDeleteRenderbuffersEXT;
}

// Surfaces get a stencil beside their depth where the driver can pack the
// two, so that the 3D shadow pass works in them too.
bool packed_depth_stencil() {
  static const int available =
      gl_has_extension("GL_EXT_packed_depth_stencil") || gl_has_extension("GL_ARB_framebuffer_object") ? 1 : 0;
  return available != 0;
}

void attach_depth(const OpenGLVurivari::ScreenSurface& surface) {
  gl.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                  surface.depth_buffer);
  if (surface.has_stencil)
    gl.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_STENCIL_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                    surface.depth_buffer);
}

}  // namespace

// ---------------------------------------------------------------- surfaces --

void OpenGLVurivari::create_screen(int n, int slot, int width, int height) {
  if (n < 0 || n >= kSurfaceCount || !valid_slot(slot) || width <= 0 || height <= 0) return;
  flush_quads();
  const int W = padded_size(width), H = padded_size(height);
  if (W > std::max(1, static_cast<int>(max_texture_size)) || H > std::max(1, static_cast<int>(max_texture_size))) {
    return;
  }
  delete_slot(slot);
  ImageBuffer blank;
  blank.width = W;
  blank.height = H;
  blank.pixels.assign(static_cast<size_t>(W) * static_cast<size_t>(H) * 4, 0);
  upload_texture(blank, 0, 0, 0, 0, &slots.texture[slot], nullptr, false, false);
  slots.padded_width[slot] = W;
  slots.padded_height[slot] = H;
  slots.image_width[slot] = width;
  slots.image_height[slot] = height;

  ScreenSurface& surface = surfaces[n];
  if (surface.framebuffer) gl.glDeleteFramebuffersEXT(1, &surface.framebuffer);
  if (surface.depth_buffer) gl.glDeleteRenderbuffersEXT(1, &surface.depth_buffer);
  surface = ScreenSurface();
  if (!force_copy_surfaces && framebuffer_objects()) {
    gl.glGenFramebuffersEXT(1, &surface.framebuffer);
    gl.glGenRenderbuffersEXT(1, &surface.depth_buffer);
    gl.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, surface.depth_buffer);
    surface.has_stencil = packed_depth_stencil();
    gl.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, surface.has_stencil ? GL_DEPTH24_STENCIL8_EXT : GL_DEPTH_COMPONENT24,
                                W, H);
    // Completeness is checked once everything is attached.
    gl.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, surface.framebuffer);
    gl.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, slots.texture[slot], 0);
    attach_depth(surface);
    if (gl.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT) {
      surface.framebuffer_width = W;
      surface.framebuffer_height = H;
    } else {
      gl.glDeleteFramebuffersEXT(1, &surface.framebuffer);
      gl.glDeleteRenderbuffersEXT(1, &surface.depth_buffer);
      surface.framebuffer = surface.depth_buffer = 0;
    }
    // Back to whatever drawing target is current.
    if (current_surface >= 0 && surfaces[current_surface].framebuffer_width > 0) {
      gl.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, surfaces[current_surface].framebuffer);
    } else {
      bind_draw_target();
    }
  }
  surface.slot = slot;
}

void OpenGLVurivari::leave_surface_copy(const ScreenSurface& surface) {
  const int slot = surface.slot;
  const int w = slots.image_width[slot], h = slots.image_height[slot];
  grab_sprite(slot, 0, 0, w, h);
  const double W = slots.padded_width[slot], H = slots.padded_height[slot];
  draw_rect(0, 0, W, H, 0);
  quarvel::draw_sprite(kScratchSlot, 0, 0);
  flush_quads();
}

void OpenGLVurivari::leave_current_surface() {
  flush_quads();
  if (current_surface < 0) return;
  const ScreenSurface surface = surfaces[current_surface];
  current_surface = -1;
  if (surface.framebuffer_width > 0) {
    bind_draw_target();
    if (gl.glBindRenderbufferEXT) gl.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
  } else {
    leave_surface_copy(surface);
  }
  setup_2d_projection(0, 0, 0, 0);
}

void OpenGLVurivari::use_screen(int n) {
  if (n > kSurfaceCount - 1) return;
  flush_quads();
  if (n < 0) {
    leave_current_surface();
    setup_2d_projection(0, 0, 0, 0);
    return;
  }
  if (current_surface >= 0) {
    leave_current_surface();
    setup_2d_projection(0, 0, 0, 0);
  }
  current_surface = n;
  ScreenSurface& surface = surfaces[n];
  const int slot = surface.slot;
  const int w = slots.image_width[slot], h = slots.image_height[slot];
  if (surface.framebuffer_width > 0) {
    gl.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, surface.framebuffer);
    gl.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, surface.depth_buffer);
    gl.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, slots.texture[slot], 0);
    attach_depth(surface);
    setup_2d_projection(0, 0, w, h);
    glViewport(0, 0, w, h);
  } else {
    setup_2d_projection(0, 0, w, h);
    grab_sprite(kScratchSlot, 0, 0, w, h);
    draw_rect(0, 0, w, h, static_cast<double>(sprite_transparent_colour));
    quarvel::draw_sprite(slot, 0, 0);
    flush_quads();
  }
}

// ------------------------------------------------------------------- grabs --

bool OpenGLVurivari::grab_sprite(int slot, int x, int y, int w, int h) {
  if (!valid_slot(slot) || w <= 0 || h <= 0 || !context_ready) return false;
  flush_quads();
  const int W = grab_padded(w), H = grab_padded(h);
  if (W > max_texture_size || H > max_texture_size) return false;
  if (slots.padded_width[slot] == W && slots.padded_height[slot] == H && slots.texture[slot]) {
    glBindTexture(GL_TEXTURE_2D, slots.texture[slot]);
  } else {
    GLuint names[2] = {slots.texture[slot], slots.mipmapped[slot]};
    glDeleteTextures(2, names);
    slots.mipmapped[slot] = 0;
    make_empty_texture(&slots.texture[slot], W, H);
    slots.nearest[slot] = 0;
  }
  bound_texture_ = slots.texture[slot];
  current_slot = -1;
  if (frame_alpha_bits_ == 0) glGetIntegerv(GL_ALPHA_BITS, &frame_alpha_bits_);
  // The target the grab reads from: the current surface or the screen.
  const int target_height = current_surface >= 0 && surfaces[current_surface].framebuffer_width > 0
                                ? slots.image_height[surfaces[current_surface].slot]
                                : surface_height;
  const int row = target_height - y - h;
  if (frame_alpha_bits_ > 0 && !force_readback_grab) {
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, row, w, h);
  } else {
    const size_t bytes = static_cast<size_t>(W) * static_cast<size_t>(H) * 4;
    if (grab_buffer_.size() < bytes) grab_buffer_.resize(bytes);
    std::fill_n(grab_buffer_.begin(), bytes, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, row, W, H, GL_BGRA, GL_UNSIGNED_BYTE, grab_buffer_.data());
    // The key as the frame buffer stores it: 8 bits a channel here.
    const int64_t key = sprite_transparent_colour;
    const uint8_t kr = static_cast<uint8_t>(key), kg = static_cast<uint8_t>(key >> 8),
                  kb = static_cast<uint8_t>(key >> 16);
    for (size_t i = 0; i < bytes; i += 4) {
      uint8_t* p = &grab_buffer_[i];  // B, G, R, A
      const bool transparent = key != 0 ? (key > 0 && p[2] == kr && p[1] == kg && p[0] == kb)
                                        : (p[0] == 0 && p[1] == 0 && p[2] == 0);
      if (transparent) p[3] = 0;
    }
    set_unpack_state();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, W, H, 0, GL_BGRA, GL_UNSIGNED_BYTE, grab_buffer_.data());
  }
  slots.padded_width[slot] = W;
  slots.padded_height[slot] = H;
  slots.image_width[slot] = w;
  slots.image_height[slot] = h;
  std::vector<uint8_t>().swap(slots.alpha_mask[slot]);
  return true;
}

bool OpenGLVurivari::read_presented_bgr(std::vector<uint8_t>& rows) const {
  if (!shown_fbo_ || surface_width <= 0 || surface_height <= 0) return false;
  rows.resize(static_cast<size_t>(surface_width) * static_cast<size_t>(surface_height) * 3);
  const PresentedRead presented(*this);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, surface_width, surface_height, GL_BGR, GL_UNSIGNED_BYTE, rows.data());
  return true;
}

// ----------------------------------------------------------------- commands --

namespace {

OpenGLVurivari* core() { return engine().gfx; }

// Bitmap or PNG by the name's ending, as the saving commands write them.
bool write_image_file(OpenGLVurivari& gfx, const char* name, const uint8_t* bgr, int w, int h, int stride) {
  if (wants_png(name)) {
    std::vector<uint8_t> bgra(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    const int64_t key = gfx.sprite_transparent_colour;
    for (int i = 0; i < h; ++i) {
      const uint8_t* src = bgr + static_cast<size_t>(h - 1 - i) * static_cast<size_t>(stride) * 3;
      uint8_t* dst = bgra.data() + static_cast<size_t>(i) * static_cast<size_t>(w) * 4;
      for (int x = 0; x < w; ++x, src += 3, dst += 4) {
        const bool keyed = key >= 0 && src[0] == static_cast<uint8_t>(key >> 16) &&
                           src[1] == static_cast<uint8_t>(key >> 8) && src[2] == static_cast<uint8_t>(key);
        if (keyed) {
          dst[0] = 255;
          dst[1] = dst[2] = dst[3] = 0;
        } else {
          dst[0] = src[0];
          dst[1] = src[1];
          dst[2] = src[2];
          dst[3] = 255;
        }
      }
    }
    return write_file_bytes(name, encode_png(bgra.data(), w, h));
  }
  return write_file_bytes(name, encode_bitmap(bgr, w, h, stride, false, gfx.sprite_transparent_colour));
}

}  // namespace

double grab_sprite(double slot, double x, double y, double width, double height) {
  OpenGLVurivari* gfx = core();
  if (!gfx) return 0;
  gfx->grab_sprite(truncate_to_int32(slot), truncate_to_int32(x), truncate_to_int32(y), truncate_to_int32(width),
                   truncate_to_int32(height));
  return 1;
}

void grab_background() {
  if (core()) core()->grab_background_layer(0);
}

double save_screen(const DynString& file_name) {
  OpenGLVurivari* gfx = core();
  std::vector<uint8_t> rows;
  if (!gfx || !gfx->read_presented_bgr(rows)) return 0;
  return write_image_file(*gfx, file_name.c_str(), rows.data(), gfx->surface_width, gfx->surface_height,
                          gfx->surface_width)
             ? 1
             : 0;
}

double save_sprite(const DynString& file_name, double n) {
  OpenGLVurivari* gfx = core();
  const int slot = truncate_to_int32(n);
  if (!gfx || !valid_slot(slot) || gfx->slots.texture[slot] == 0) return 0;
  const int W = gfx->slots.padded_width[slot], H = gfx->slots.padded_height[slot];
  const int w = gfx->slots.image_width[slot], h = gfx->slots.image_height[slot];
  if (W <= 0 || H <= 0 || w <= 0 || h <= 0) return 0;
  gfx->flush_quads();
  std::vector<uint8_t> rows(static_cast<size_t>(W) * static_cast<size_t>(H) * 3);
  gfx->bind_slot_texture(slot, -1, false, nullptr);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR, GL_UNSIGNED_BYTE, rows.data());
  return write_image_file(*gfx, file_name.c_str(), rows.data(), w, h, W) ? 1 : 0;
}

void create_screen(double surface, double slot, double width, double height) {
  if (core()) {
    core()->create_screen(truncate_to_int32(surface), truncate_to_int32(slot), truncate_to_int32(width),
                          truncate_to_int32(height));
  }
}

void use_screen(double surface) {
  if (core()) core()->use_screen(truncate_to_int32(surface));
}

// ---------------------------------------------------------- polygon batches --

void start_poly(double n) {
  OpenGLVurivari* gfx = core();
  if (!gfx) return;
  const int slot = truncate_to_int32(n);
  gfx->bind_slot_texture(valid_slot(slot) ? slot : -1, -1, false, nullptr);
  if (valid_slot(slot)) gfx->use_filter(slot, slot >= kFirstFontSlot);
  if (gfx->poly_capacity <= 8) {
    gfx->poly_capacity = 512;
    gfx->poly_vertices.resize(static_cast<size_t>(gfx->poly_capacity) * 8);
  }
  gfx->poly_count = 0;
}

void poly_vector(double x, double y, double s, double t, double colour) {
  OpenGLVurivari* gfx = core();
  if (!gfx) return;
  const int c = gfx->current_slot;
  float fs = static_cast<float>(s), ft = static_cast<float>(t);
  if (c >= 0) {
    const float W = static_cast<float>(gfx->slots.padded_width[c]);
    const float H = static_cast<float>(gfx->slots.padded_height[c]);
    fs = W > 0 ? fs / W : 0.0f;
    ft = H > 0 ? (static_cast<float>(gfx->slots.image_height[c]) - ft) / H : 0.0f;
  }
  const int64_t packed = truncate_to_int64(colour) & 0xFFFFFFFF;
  const float a = gfx->alpha_value;
  if (gfx->poly_count + 1 >= gfx->poly_capacity) {
    const int n = gfx->poly_count + 1;
    gfx->poly_capacity = 512 < n ? 128 * (n / 128 + 1) : 512;
    gfx->poly_vertices.resize(static_cast<size_t>(gfx->poly_capacity) * 8);
  }
  float* v = gfx->poly_vertices.data() + static_cast<size_t>(gfx->poly_count) * 8;
  v[0] = static_cast<float>(truncate_to_int32(x));
  v[1] = static_cast<float>(truncate_to_int32(y));
  v[2] = fs;
  v[3] = ft;
  v[4] = static_cast<float>(packed & 0xFF) / 255.0f * a;
  v[5] = static_cast<float>((packed >> 8) & 0xFF) / 255.0f * a;
  v[6] = static_cast<float>((packed >> 16) & 0xFF) / 255.0f * a;
  v[7] = packed == gfx->sprite_transparent_colour ? 0.0f : 1.0f;
  ++gfx->poly_count;
}

void end_poly() {
  OpenGLVurivari* gfx = core();
  if (!gfx || gfx->poly_count == 0) return;
  gfx->flush_quads();
  glEnable(GL_COLOR_MATERIAL);
  glEnable(GL_DITHER);
  glShadeModel(GL_SMOOTH);
  const float* base = gfx->poly_vertices.data();
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, 32, base);
  if (gfx->current_slot >= 0) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 32, base + 2);
  }
  glEnableClientState(GL_COLOR_ARRAY);
  glColorPointer(4, GL_FLOAT, 32, base + 4);
  glDrawArrays(GL_TRIANGLE_FAN, 0, gfx->poly_count);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glShadeModel(GL_FLAT);
  glEnable(GL_TEXTURE_2D);
  const float a = gfx->alpha_value;
  glColor4f(a, a, a, a);
  glDisable(GL_DITHER);
  glDisable(GL_COLOR_MATERIAL);
}

}  // namespace quarvel
