// Texture slots: upload, loading, deletion, binding, alpha masks; and the
// background layers built from tiles.
#include "gfx2d/texture_slots.h"
#include "gfx2d/collision_scan.h"

#include <algorithm>
#include <cstring>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx2d/formats/builtin_font.h"
#include "gfx2d/formats/image_buffer.h"
#include "gfx2d/formats/image_readers.h"
#include "gfx2d/formats/texture_prep.h"

namespace quarvel {

TextureSlotTable::TextureSlotTable()
    : texture(new GLuint[kSlotCount]()),
      mipmapped(new GLuint[kSlotCount]()),
      padded_width(new int32_t[kSlotCount]),
      padded_height(new int32_t[kSlotCount]),
      image_width(new int32_t[kSlotCount]()),
      image_height(new int32_t[kSlotCount]()),
      alpha_mask(new std::vector<uint8_t>[kSlotCount]),
      nearest(new uint8_t[kSlotCount]()) {
  std::fill_n(padded_width.get(), kSlotCount, -1);
  std::fill_n(padded_height.get(), kSlotCount, -1);
}

void set_unpack_state() {
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
}

void make_empty_texture(GLuint* texture, int width, int height) {
  set_unpack_state();
  glGenTextures(1, texture);
  glBindTexture(GL_TEXTURE_2D, *texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
}

void OpenGLVurivari::flush_quads() {
  if (batch_.empty()) return;
  const WhiteTexture white(*this);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, 4 * sizeof(float), batch_.data());
  glVertexPointer(2, GL_FLOAT, 4 * sizeof(float), batch_.data() + 2);
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(batch_.size() / 4));
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  batch_.clear();
}

OpenGLVurivari::WhiteTexture::WhiteTexture(const OpenGLVurivari& core) {
  if (core.force_modulated_textures || glIsEnabled(GL_LIGHTING)) return;
  GLfloat colour[4] = {0, 0, 0, 0};
  glGetFloatv(GL_CURRENT_COLOR, colour);
  GLint mode = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
  replaced_ = mode == GL_MODULATE && colour[0] == 1.0f && colour[1] == 1.0f && colour[2] == 1.0f && colour[3] == 1.0f;
  if (replaced_) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
}

OpenGLVurivari::WhiteTexture::~WhiteTexture() {
  if (replaced_) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

bool OpenGLVurivari::upload_texture(const ImageBuffer& image, int x, int y, int width, int height, GLuint* texture,
                                    GLuint* mipmapped, bool normal_map, bool nearest) {
  TexelPicture picture;
  int max_size = max_texture_size > 0 ? max_texture_size : 1024;
  if (!prepare_texels(image, x, y, width, height, max_size, nearest, picture)) return false;
  flush_quads();
  set_unpack_state();
  glDeleteTextures(1, texture);
  *texture = 0;
  glGenTextures(1, texture);
  glBindTexture(GL_TEXTURE_2D, *texture);
  bound_texture_ = *texture;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  GLint filter = nearest ? GL_NEAREST : GL_LINEAR;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  if (normal_map) make_normal_map(picture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, picture.width, picture.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               picture.texels.data());
  if (mipmapped) {
    set_unpack_state();
    glGenTextures(1, mipmapped);
    glBindTexture(GL_TEXTURE_2D, *mipmapped);
    bound_texture_ = *mipmapped;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    int level = 0;
    do {
      glTexImage2D(GL_TEXTURE_2D, level++, GL_RGBA8, picture.width, picture.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                   picture.texels.data());
    } while (next_mipmap_level(picture));
  }
  // The slot bound for drawing is bound again on its next use.
  current_slot = -1;
  return true;
}

void OpenGLVurivari::delete_slot(int slot) {
  if (!valid_slot(slot)) return;
  flush_quads();
  if (context_ready) {
    GLuint names[2] = {slots.texture[slot], slots.mipmapped[slot]};
    glDeleteTextures(2, names);
    if (bound_texture_ == names[0] || bound_texture_ == names[1]) bound_texture_ = 0;
  }
  slots.texture[slot] = 0;
  slots.mipmapped[slot] = 0;
  slots.image_height[slot] = 0;
  slots.image_width[slot] = 0;
  slots.padded_width[slot] = -1;
  slots.padded_height[slot] = -1;
  std::vector<uint8_t>().swap(slots.alpha_mask[slot]);
  slots.nearest[slot] = slot >= kFirstFontSlot ? 1 : 0;
  if (current_slot == slot) current_slot = -1;
}

void OpenGLVurivari::use_filter(int slot, bool nearest) {
  if (!valid_slot(slot) || slots.texture[slot] == 0 || (slots.nearest[slot] != 0) == nearest) return;
  flush_quads();
  // The slot is the one bound on unit 0 by the drawing command.
  GLint filter = nearest ? GL_NEAREST : GL_LINEAR;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  slots.nearest[slot] = nearest ? 1 : 0;
}

bool OpenGLVurivari::load_image_into_slot(int slot, const char* file_name, int64_t colour_key, bool normal_map,
                                          std::string* why) {
  if (!valid_slot(slot)) return false;
  delete_slot(slot);
  ImageBuffer image;
  if (!read_image_file(image, file_name, colour_key, why) || image.width == 0 || image.height == 0) return false;
  if (slot >= kFirstFontSlot) {
    upload_texture(image, 0, 0, 0, 0, &slots.texture[slot], nullptr, false, true);
  } else {
    upload_texture(image, 0, 0, 0, 0, &slots.texture[slot], &slots.mipmapped[slot], normal_map, false);
  }
  slots.padded_width[slot] = padded_size(image.width);
  slots.padded_height[slot] = padded_size(image.height);
  slots.image_width[slot] = image.width;
  slots.image_height[slot] = image.height;
  return true;
}

bool OpenGLVurivari::load_font_image(int font, const char* file_name, std::string* why) {
  return load_image_into_slot(kFirstFontSlot + font, file_name, font_transparent_colour, false, why);
}

void OpenGLVurivari::use_default_font(int font) {
  const int slot = kFirstFontSlot + font;
  delete_slot(slot);
  ImageBuffer image;
  build_default_font(image);
  upload_texture(image, 0, 0, 0, 0, &slots.texture[slot], nullptr, false, true);
  slots.padded_width[slot] = slots.image_width[slot] = 128;
  slots.padded_height[slot] = slots.image_height[slot] = 64;
}

void OpenGLVurivari::bind_slot_texture(int a, int b, bool mipmapped, const GLuint* names) {
  auto texture_of = [&](int slot) -> GLuint {
    if (!valid_slot(slot)) return 0;
    if (names) return names[slot];
    return mipmapped ? slots.mipmapped[slot] : slots.texture[slot];
  };
  // Drawing the same texture again keeps the collected quads.
  GLuint wanted = a >= 0 ? texture_of(b >= 0 ? b : a) : 0;
  if (a >= 0 && b < 0 && current_slot == a && second_slot < 0 && wanted == bound_texture_ && !names &&
      mipmapped == bound_mipmapped) {
    return;
  }
  flush_quads();
  current_slot = a;
  second_slot = b;
  bound_mipmapped = mipmapped;
  if (gl.glActiveTextureARB) {
    gl.glActiveTextureARB(GL_TEXTURE1_ARB);
    if (a >= 0 && b >= 0) {
      glBindTexture(GL_TEXTURE_2D, texture_of(a));
      glEnable(GL_TEXTURE_2D);
    } else {
      glDisable(GL_TEXTURE_2D);
    }
    gl.glActiveTextureARB(GL_TEXTURE0_ARB);
    if (a < 0) {
      glDisable(GL_TEXTURE_2D);
      return;
    }
  } else if (a < 0) {
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_COLOR_MATERIAL);
    return;
  }
  glBindTexture(GL_TEXTURE_2D, wanted);
  bound_texture_ = wanted;
  glEnable(GL_TEXTURE_2D);
}

const std::vector<uint8_t>* OpenGLVurivari::alpha_mask(int slot) {
  if (!valid_slot(slot) || slots.texture[slot] == 0) return nullptr;
  std::vector<uint8_t>& mask = slots.alpha_mask[slot];
  if (mask.empty()) {
    flush_quads();
    mask.resize(static_cast<size_t>(slots.padded_width[slot]) * static_cast<size_t>(slots.padded_height[slot]));
    glBindTexture(GL_TEXTURE_2D, slots.texture[slot]);
    bound_texture_ = slots.texture[slot];
    current_slot = -1;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, mask.data());
    make_mask_solid(mask.data(), mask.size());
  }
  return &mask;
}

void OpenGLVurivari::release_slots() {
  flush_quads();
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (slots.texture[slot] || slots.mipmapped[slot] || slots.padded_width[slot] != -1) delete_slot(slot);
  }
}

// ------------------------------------------------------------ backgrounds --

bool OpenGLVurivari::load_background_layer(int layer, const char* file_name, std::string* why) {
  if (layer < 0 || layer >= kLayerCount) return false;
  ImageBuffer image;
  if (!read_image_file(image, file_name, kNoColourKey, why) || image.width == 0 || image.height == 0) return false;
  const int tile = std::min(max_texture_size > 0 ? max_texture_size : 512, 512);
  clear_background_layer(layer);
  BackgroundLayer& l = layers[layer];
  int rows = 0;
  for (int y = 0, j = 0; y < image.height && j < kLayerTiles; y += tile, ++j) {
    int in_row = 0;
    for (int x = 0, i = 0; x < image.width && i < kLayerTiles; x += tile, ++i) {
      if (!upload_texture(image, x, y, tile, tile, &l.tile_texture[i][j], nullptr, false, false)) return false;
      // Layers are only ever drawn at their natural size, where nearest
      // sampling gives the same picture as bilinear, only faster.
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      l.tile_padded_width[i][j] = l.tile_padded_height[i][j] = tile;
      l.tile_width[i][j] = l.tile_height[i][j] = tile;
      ++in_row;
      l.column_count = std::max(l.column_count, in_row);
    }
    ++rows;
    l.row_count = rows;
  }
  return true;
}

void OpenGLVurivari::clear_background_layer(int layer) {
  if (layer < 0 || layer >= kLayerCount) return;
  flush_quads();
  BackgroundLayer& l = layers[layer];
  if (context_ready) {
    for (int i = 0; i < l.column_count && i < kLayerTiles; ++i) {
      for (int j = 0; j < l.row_count && j < kLayerTiles; ++j) {
        if (bound_texture_ == l.tile_texture[i][j]) bound_texture_ = 0;
        glDeleteTextures(1, &l.tile_texture[i][j]);
      }
    }
  }
  std::memset(&l, 0, sizeof l);
}

void OpenGLVurivari::draw_background_layer(int layer) {
  if (layer < 0 || layer >= kLayerCount) return;
  BackgroundLayer& l = layers[layer];
  if (l.column_count == 0 || l.row_count == 0) return;
  flush_quads();
  glDisable(GL_ALPHA_TEST);
  if (gl.glActiveTextureARB) {
    gl.glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    gl.glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  glEnable(GL_TEXTURE_2D);
  current_slot = 0;
  {
    const WhiteTexture white(*this);
    float x0 = 0;
    for (int i = 0; i < l.column_count && i < kLayerTiles; ++i) {
      float y0 = 0;
      for (int j = 0; j < l.row_count && j < kLayerTiles; ++j) {
        if (l.tile_padded_width[i][j] <= 0 || l.tile_padded_height[i][j] <= 0) continue;
        const float w = static_cast<float>(l.tile_width[i][j]);
        const float h = static_cast<float>(l.tile_height[i][j]);
        const float s1 = w / static_cast<float>(l.tile_padded_width[i][j]);
        const float t1 = h / static_cast<float>(l.tile_padded_height[i][j]);
        glBindTexture(GL_TEXTURE_2D, l.tile_texture[i][j]);
        glBegin(GL_QUADS);
        glTexCoord2f(s1, t1);
        glVertex2f(x0 + w, y0);
        glTexCoord2f(0, t1);
        glVertex2f(x0, y0);
        glTexCoord2f(0, 0);
        glVertex2f(x0, y0 + h);
        glTexCoord2f(s1, 0);
        glVertex2f(x0 + w, y0 + h);
        glEnd();
        y0 += h;
      }
      x0 += static_cast<float>(l.tile_width[i][0]);
    }
  }
  bound_texture_ = 0;
  glEnable(GL_ALPHA_TEST);
  bind_slot_texture(-1, -1, false, nullptr);
}

void OpenGLVurivari::grab_background_layer(int layer) {
  if (layer < 0 || layer >= kLayerCount || !context_ready) return;
  flush_quads();
  // One tile as large as the surface needs (a whole GL_MAX_TEXTURE_SIZE
  // square would cost up to a gigabyte on current drivers).
  int tile = padded_size(std::max(surface_width, surface_height));
  if (max_texture_size > 0) tile = std::min(tile, static_cast<int>(max_texture_size));
  BackgroundLayer& l = layers[layer];
  int columns = 0, rows = 0;
  for (int y = 0, j = 0; y < surface_height && j < kLayerTiles; y += tile, ++j, ++rows) {
    columns = 0;
    for (int x = 0, i = 0; x < surface_width && i < kLayerTiles; x += tile, ++i, ++columns) {
      if (l.tile_padded_width[i][j] == tile && l.tile_padded_height[i][j] == tile && l.tile_texture[i][j]) {
        glBindTexture(GL_TEXTURE_2D, l.tile_texture[i][j]);
      } else {
        if (l.tile_texture[i][j]) glDeleteTextures(1, &l.tile_texture[i][j]);
        make_empty_texture(&l.tile_texture[i][j], tile, tile);
      }
      const int w = std::min(tile, surface_width - x);
      const int h = std::min(tile, surface_height - y);
      glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, surface_height - y - h, w, h);
      l.tile_padded_width[i][j] = l.tile_padded_height[i][j] = tile;
      l.tile_width[i][j] = w;
      l.tile_height[i][j] = h;
    }
  }
  l.column_count = columns;
  l.row_count = rows;
  bound_texture_ = 0;
  bind_slot_texture(-1, -1, false, nullptr);
}

void OpenGLVurivari::release_layers() {
  for (int layer = 0; layer < kLayerCount; ++layer) clear_background_layer(layer);
}

}  // namespace quarvel
