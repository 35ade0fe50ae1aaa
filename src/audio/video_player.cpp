// play_video and play_video_loop: blocking playback on the drawing surface.
//
// The picture is fitted into the surface (the largest size that keeps its
// aspect) and centred, with black around it; each frame is presented like a
// game frame, so the window shows it scaled as it shows the game. The sound
// goes through the mixer. A new press of a key that types a character, or a
// mouse button, ends the playback; the key or click that started it does
// not.
#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/sample_ring.h"
#include "audio/sound_device.h"
#include "audio/video_decoder.h"
#include "core/engine_state.h"
#include "core/gl_api.h"
#include "core/opengl_vurivari.h"
#include "files/media_pack.h"
#include "input/input_device.h"
#include "platform/audio.h"
#include "quarvel/sound.h"

namespace quarvel {
namespace {

// Sound decoded ahead of the mixer, and the ring that holds it.
constexpr double kSoundAheadSeconds = 0.25;
constexpr double kSoundRingSeconds = 2.0;
// The pause between looks at the input while the starting click is held.
constexpr double kInputWaitMs = 10;

size_t next_power_of_two(size_t n) {
  size_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

// The texture the pictures go into (power-of-two sides, the picture in its
// top-left corner).
class PictureTexture {
 public:
  GLuint name = 0;
  int width = 0, height = 0;    // of the picture
  int padded_w = 0, padded_h = 0;

  void upload(const std::vector<uint8_t>& rgba, int w, int h) {
    if (rgba.size() < static_cast<size_t>(w) * static_cast<size_t>(h) * 4) return;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPushAttrib(GL_TEXTURE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    if (!name || w > padded_w || h > padded_h) {
      if (name) glDeleteTextures(1, &name);
      padded_w = static_cast<int>(next_power_of_two(static_cast<size_t>(w)));
      padded_h = static_cast<int>(next_power_of_two(static_cast<size_t>(h)));
      glGenTextures(1, &name);
      glBindTexture(GL_TEXTURE_2D, name);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, padded_w, padded_h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    }
    glBindTexture(GL_TEXTURE_2D, name);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    // The picture's last column and row once more beside it, so that
    // filtering at its right and bottom edges does not blend in the padding.
    if (w < padded_w) {
      edge_.resize(static_cast<size_t>(h) * 4);
      for (int y = 0; y < h; ++y) {
        std::memcpy(&edge_[static_cast<size_t>(y) * 4], &rgba[(static_cast<size_t>(y) * w + (w - 1)) * 4], 4);
      }
      glTexSubImage2D(GL_TEXTURE_2D, 0, w, 0, 1, h, GL_RGBA, GL_UNSIGNED_BYTE, edge_.data());
    }
    if (h < padded_h) {
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, h, w, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                      &rgba[static_cast<size_t>(h - 1) * w * 4]);
    }
    width = w;
    height = h;
    glPopAttrib();
    glPopClientAttrib();
  }

  ~PictureTexture() {
    if (name) glDeleteTextures(1, &name);
  }

 private:
  std::vector<uint8_t> edge_;
};

// Draws the picture fitted and centred on a black surface.
void draw_fitted(const OpenGLVurivari& gfx, const PictureTexture& picture, double display_width) {
  const double sw = gfx.surface_width, sh = gfx.surface_height;
  glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_VIEWPORT_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT |
               GL_SCISSOR_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, sw, sh, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glViewport(0, 0, gfx.surface_width, gfx.surface_height);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  if (picture.name && picture.width > 0 && picture.height > 0 && display_width > 0) {
    const double scale = std::min(sh / picture.height, sw / display_width);
    const double w = display_width * scale, h = picture.height * scale;
    const double x0 = (sw - w) * 0.5, y0 = (sh - h) * 0.5;
    const double s1 = static_cast<double>(picture.width) / picture.padded_w;
    const double t1 = static_cast<double>(picture.height) / picture.padded_h;
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, picture.name);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2d(0, 0);
    glVertex2d(x0, y0);
    glTexCoord2d(0, t1);
    glVertex2d(x0, y0 + h);
    glTexCoord2d(s1, t1);
    glVertex2d(x0 + w, y0 + h);
    glTexCoord2d(s1, 0);
    glVertex2d(x0 + w, y0);
    glEnd();
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
}

// The decoded sound on its way to the sound thread, which plays silence
// where there is none yet.
struct SoundFeed {
  SampleRing ring;
  int channels;
  SoundFeed(size_t capacity, int ch) : ring(capacity), channels(ch) {}
  static void fill(void* context, int16_t* samples, int frames) {
    SoundFeed* feed = static_cast<SoundFeed*>(context);
    const size_t wanted = static_cast<size_t>(frames) * static_cast<size_t>(feed->channels);
    const size_t got = feed->ring.pop(samples, wanted);
    if (got < wanted) std::memset(samples + got, 0, (wanted - got) * sizeof(int16_t));
  }
};

void play(const DynString& file_name, bool loop) {
  EngineState& e = engine();
  OpenGLVurivari* gfx = e.gfx;
  if (!gfx) return;
  // 1
  DynString name = file_name;
  if (!resolve_asset_name(name)) return;
  // 2
  int rate = 0, channels = 0;
  const bool sound = e.sound && e.sound->is_open() && platform::audio_device_format(rate, channels);
  const int max_side = gfx->max_texture_size > 0 ? gfx->max_texture_size : 1024;
  VideoDecoder video;
  if (!video.open(name.c_str(), sound ? rate : 0, channels, max_side)) return;
  // 3
  const double length = video.length_ms();
  // 4: drawing goes to the screen, which starts black.
  gfx->leave_current_surface();
  PictureTexture picture;
  // 5: what started the playback does not end it: the key already held is
  // handed out here, and a held button must be let go first.
  InputDevice* input = e.input;
  while (input && (input->key_char_pressed() || input->any_mouse_button())) {
    gfx->pump_messages();
    platform::sleep_until_ms(now_ms() + kInputWaitMs);
    input->frame_tick();
  }
  // 6
  const size_t ring_samples = static_cast<size_t>(rate * kSoundRingSeconds) * static_cast<size_t>(channels);
  const size_t ahead = static_cast<size_t>(rate * kSoundAheadSeconds) * static_cast<size_t>(channels);
  SoundFeed feed(ring_samples, channels);
  bool streaming = video.has_sound() && platform::audio_stream_begin(&SoundFeed::fill, &feed);
  double start = now_ms();
  for (;;) {
    // Each pass is a frame for the input record too (recorded and replayed
    // runs see the same keys).
    if (input) {
      input->frame_tick();
      if (input->key_char_pressed() || input->any_mouse_button()) break;
    }
    double t = now_ms() - start;
    const bool at_end = (length >= 0 && t >= length) || (video.drained() && feed.ring.size() == 0);
    if (at_end) {
      if (!loop) break;
      if (streaming) platform::audio_stream_end();
      feed.ring.clear();
      if (!video.rewind()) break;
      streaming = video.has_sound() && platform::audio_stream_begin(&SoundFeed::fill, &feed);
      start = now_ms();
      t = 0;
    }
    if (video.advance_to(t)) picture.upload(video.rgba(), video.picture_width(), video.picture_height());
    video.feed_sound(feed.ring, ahead);
    if (!streaming) feed.ring.clear();
    draw_fitted(*gfx, picture, video.display_width());
    // Presents, keeps the frame grid and pumps the window's messages: a
    // close message ends the program from here.
    gfx->present_frame();
  }
  // 7
  if (streaming) platform::audio_stream_end();
  // The slot texture bound before is bound again (the attribute stack
  // restored it); drawing binds afresh all the same.
  gfx->current_slot = -1;
}

}  // namespace

void play_video(const DynString& file_name) { play(file_name, false); }

void play_video_loop(const DynString& file_name) { play(file_name, true); }

}  // namespace quarvel
