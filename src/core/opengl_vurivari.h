// The graphics core: the window, its GL context and the drawing surface.
//
// Drawing goes into an off-screen framebuffer of the surface size (the
// "draw" framebuffer). present_frame makes it the presented frame (the two
// framebuffers trade places; with multisampling the frame is resolved into
// the presented one), which is what the window shows (scaled up with
// nearest filtering) and what the read-back commands read.
//
// A window that shows the surface at its own size (scale 1, no
// multisampling) is drawn into directly instead, and a present is a swap of
// its buffers: no copy of the frame at all. The presented frame is then
// kept (copied aside at the present) only once the game has read it back;
// the first read takes it from what the window system shows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/gl_api.h"
#include "gfx2d/texture_slots.h"

namespace quarvel {

class OpenGLVurivari {
 public:
  OpenGLVurivari();
  virtual ~OpenGLVurivari();
  OpenGLVurivari(const OpenGLVurivari&) = delete;
  OpenGLVurivari& operator=(const OpenGLVurivari&) = delete;

  // Window side.
  bool create_window(int width, int height, int colour_depth, int frame_rate, int samples);
  bool enter_windowed();
  bool enter_fullscreen();
  bool hide_window();
  void release_window();
  void setup_2d_projection(int x, int y, int width, int height);
  void set_surface_size(int width, int height);
  void set_frame_interval(int frames_per_second);

  // Frame side.
  double present_frame();
  int pump_messages();

  // Reads a pixel of the presented frame as 0x00BBGGRR; -1 outside.
  int64_t presented_pixel(int x, int y) const;
  // Copies the presented frame as RGBA rows, top row first.
  bool read_presented(uint8_t* rgba, int width, int height) const;
  // Makes the draw framebuffer the target again (after an off-screen
  // surface or a presented-frame read).
  void bind_draw_target() const;
  // From now on every presented frame is kept for reading back (saved
  // frames ask for this from the start).
  void keep_presented_frames(bool on = true) { keep_every_frame_ = on; }
  // A game that pauses (the window lost the focus) while its frames go
  // straight into the window: the finished frame is shown and kept, so that
  // the window can be repainted while the game waits.
  void show_finished_frame_for_pause();
  // Whether the frame being drawn goes straight into the window.
  bool drawing_into_window() const { return direct_; }
  // Sends drawing back to the screen when an off-screen surface is current.
  void leave_current_surface();

  // Texture slots (gfx2d/texture_slots.cpp).
  bool upload_texture(const ImageBuffer& image, int x, int y, int width, int height, GLuint* texture,
                      GLuint* mipmapped, bool normal_map, bool nearest);
  // `why`, when given, receives the reason of a failure.
  bool load_image_into_slot(int slot, const char* file_name, int64_t colour_key, bool normal_map,
                            std::string* why = nullptr);
  bool load_font_image(int font, const char* file_name, std::string* why = nullptr);
  void use_default_font(int font);
  void delete_slot(int slot);
  void bind_slot_texture(int slot, int second_slot, bool mipmapped, const GLuint* names);
  // Switches the bound slot's sampling between nearest and bilinear.
  void use_filter(int slot, bool nearest);
  const std::vector<uint8_t>* alpha_mask(int slot);
  GLuint sprite_texture_name(int slot) const { return valid_slot(slot) ? slots.texture[slot] : 0; }
  void release_slots();

  // Background layers.
  bool load_background_layer(int layer, const char* file_name, std::string* why = nullptr);
  void clear_background_layer(int layer);
  void draw_background_layer(int layer);
  void grab_background_layer(int layer);
  void release_layers();

  // Textured quads are collected and drawn together; anything that changes
  // GL state, binds another texture, reads pixels or presents must call
  // flush_quads() first. Each quad is 4 corners of (s, t, x, y).
  void queue_quad(const float corners[16]) {
    batch_.insert(batch_.end(), corners, corners + 16);
  }
  void flush_quads();
  // Multiplying a texture by white leaves it as it is, so under a white
  // colour and no lighting a draw may take the texture as it stands: the
  // same pixels, and the rasteriser carries no colour per fragment (a
  // software renderer draws sprites faster by a quarter and more). A draw
  // made while a WhiteTexture of the core lives does so when it can.
  class WhiteTexture {
   public:
    explicit WhiteTexture(const OpenGLVurivari& core);
    ~WhiteTexture();
    WhiteTexture(const WhiteTexture&) = delete;
    WhiteTexture& operator=(const WhiteTexture&) = delete;

   private:
    bool replaced_ = false;
  };
  // Draws the string with the font, one draw call (fonts.cpp).
  void print_string(int font, const char* text, uint32_t length, float x, float y, float z);
  // A sprite standing on a 3D point and facing the camera, and text in a 3D
  // scene (size not 0) or on the screen over a 3D point (size 0); both
  // through the text vertex array (gfx3d/billboards.cpp).
  void draw_billboard(int slot, float x, float y, float z, float scale);
  void print_string_3d(int font, const char* text, uint32_t length, float x, float y, float z, float size);

  // Off-screen surfaces, polygon batches, grabs (gfx2d/surfaces.cpp).
  void create_screen(int surface, int slot, int width, int height);
  void use_screen(int surface);
  bool grab_sprite(int slot, int x, int y, int width, int height);
  // The presented frame as BGR rows, bottom row first.
  bool read_presented_bgr(std::vector<uint8_t>& rows) const;

  // Where the presented frame lies in a drawable of the given size: at the
  // largest whole-number scale that fits (else fitted with its aspect
  // kept), centred; y counts from the top.
  struct ShownRect {
    int x = 0, y = 0, width = 0, height = 0;
  };
  ShownRect presented_rect(int drawable_width, int drawable_height) const;
  // A pointer position in window pixels as a surface position (outside the
  // surface over the black bars), and back; whatever the window scale,
  // letterbox or pixel density.
  void window_to_surface(double wx, double wy, double& sx, double& sy) const;
  void surface_to_window(double sx, double sy, double& wx, double& wy) const;

  // Shows the presented frame in the window again (the window system asked
  // for its contents, e.g. after another window was dragged across it).
  // Whatever the game is drawing into meanwhile stays its target.
  void repaint_window();

  // Why the last create_window failed.
  const std::string& last_error() const { return last_error_; }

  // Window and context fields.
  int surface_width = 0;
  int surface_height = 0;
  int colour_depth = 0;
  uint8_t fullscreen_active = 0;
  int samples = 0;
  bool gl_context = false;
  uint8_t context_ready = 0;
  uint32_t counter_available = 0;
  double counter_frequency = 0;
  double next_frame_ms = 0;
  double frame_interval_ms = 0;
  int viewport_x = 0, viewport_y = 0, viewport_width = 0, viewport_height = 0;
  int window_scale = 1;

  // Drawing state shared with the 2D commands.
  float alpha_value = 0.0f;
  int64_t sprite_transparent_colour = 0x8000FF;
  int64_t font_transparent_colour = 0;
  int current_surface = -1;
  struct ScreenSurface {
    GLuint framebuffer = 0;
    GLuint depth_buffer = 0;
    int32_t framebuffer_width = 0;
    int32_t framebuffer_height = 0;
    int32_t slot = 0;
    bool has_stencil = false;  // the depth buffer holds a stencil too
  };
  static constexpr int kSurfaceCount = 32;
  ScreenSurface surfaces[kSurfaceCount];
  // Test switches: draw surfaces by copying instead of framebuffer objects,
  // and grab through a read-back instead of the frame buffer's alpha.
  bool force_copy_surfaces = false;
  bool force_readback_grab = false;
  // Test switch: textures under a white colour are multiplied by it like
  // under any other (WhiteTexture does nothing).
  bool force_modulated_textures = false;
  // Test switch: the window's own framebuffer is drawn into whenever it is
  // at least as large as the surface, with or without a display (the
  // headless driver's window never shows anything).
  bool force_direct_presentation = false;
  // Off (QUARVEL_DIRECT_PRESENT=0): every frame is drawn off-screen and
  // copied into the window.
  bool direct_presentation_allowed = true;
  // Polygon batch: x, y, s, t, r, g, b, a per vertex.
  std::vector<float> poly_vertices;
  int poly_count = 0;
  int poly_capacity = 0;
  int current_slot = -1;       // bound on texture unit 0; negative: none
  int second_slot = -1;        // bound on texture unit 1
  bool bound_mipmapped = false;
  GLint max_texture_size = 0;

  TextureSlotTable slots;
  std::unique_ptr<BackgroundLayer[]> layers;

 private:
  bool create_surface_buffers(int requested_samples);
  void delete_surface_buffers();
  void show_presented_in_window();
  // Makes the finished draw target the presented frame.
  void keep_finished_frame();
  // Picks the next frame's target: the window itself or the draw
  // framebuffer.
  void choose_frame_target();
  // Whether the window's framebuffer has what the off-screen frame has
  // (8 bits a channel with alpha, 24-bit depth, 8-bit stencil).
  bool window_buffers_fit();
  // Whether the window's framebuffer can take the whole surface now.
  bool window_holds_surface() const;
  // Whether swapping the window's buffers is worth doing (a display, or the
  // test switch that draws into the headless window).
  bool swaps_window() const;
  // The framebuffer the screen's drawing goes to (0: the window's).
  GLuint target_fbo() const { return direct_ ? 0 : draw_fbo_; }
  // Makes sure the presented framebuffer holds the last presented frame.
  void fetch_presented() const;
  // Binds the presented frame for reading while it lives (fetched first
  // when it went straight into the window); the read binding it found comes
  // back afterwards.
  class PresentedRead {
   public:
    explicit PresentedRead(const OpenGLVurivari& core);
    ~PresentedRead();
    PresentedRead(const PresentedRead&) = delete;
    PresentedRead& operator=(const PresentedRead&) = delete;

   private:
    GLint read_ = 0;
  };
  // Copies a whole surface-sized frame between framebuffers (0: the
  // window's current read or draw buffer), turned upside down if asked;
  // leaves both bound.
  void copy_frame(GLuint from, GLuint to, bool upside_down = false) const;
  void check_software_renderer();
  void load_entry_points();
  int choose_window_scale();
  bool scale_reduction_told_ = false;

  void leave_surface_copy(const ScreenSurface& surface);
  std::vector<uint8_t> grab_buffer_;
  int frame_alpha_bits_ = 0;
  std::vector<float> batch_;
  std::vector<float> text_vertices_;  // x, y, z, s, t per vertex
  GLuint bound_texture_ = 0;
  GLuint draw_fbo_ = 0, draw_colour_ = 0, draw_depth_ = 0;
  GLuint shown_fbo_ = 0, shown_colour_ = 0, shown_depth_ = 0;
  bool direct_ = false;              // the screen's drawing goes into the window
  int window_fits_ = -1;             // window_buffers_fit(), once known
  mutable bool shown_kept_ = true;   // shown_fbo_ holds the last presented frame
  mutable bool keep_every_frame_ = false;
  bool paused_frame_kept_ = false;   // the frame to present is in shown_fbo_ already
  std::string last_error_;
};

}  // namespace quarvel
