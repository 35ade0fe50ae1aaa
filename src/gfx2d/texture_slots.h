// The texture slot table and the background layers of the graphics core.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/gl_api.h"
#include "gfx2d/formats/image_buffer.h"

namespace quarvel {

constexpr int kSlotCount = 65536;
constexpr int kScratchSlot = 65503;
constexpr int kFirstFontSlot = 65504;
constexpr int kFontCount = 32;

// Parallel arrays, one entry per slot, allocated once.
struct TextureSlotTable {
  TextureSlotTable();
  std::unique_ptr<GLuint[]> texture;
  std::unique_ptr<GLuint[]> mipmapped;
  std::unique_ptr<int32_t[]> padded_width;
  std::unique_ptr<int32_t[]> padded_height;
  std::unique_ptr<int32_t[]> image_width;
  std::unique_ptr<int32_t[]> image_height;
  std::unique_ptr<std::vector<uint8_t>[]> alpha_mask;  // empty: none yet
  // 1 while the texture samples with GL_NEAREST. Font slots always do;
  // sprite slots switch to it while drawn at their natural size, where it
  // gives exactly the picture that bilinear filtering would (every pixel
  // centre falls on a texel centre) at a fraction of the cost.
  std::unique_ptr<uint8_t[]> nearest;
};

constexpr int kLayerCount = 16;
constexpr int kLayerTiles = 64;

struct BackgroundLayer {
  GLuint tile_texture[kLayerTiles][kLayerTiles];
  int32_t tile_padded_width[kLayerTiles][kLayerTiles];
  int32_t tile_padded_height[kLayerTiles][kLayerTiles];
  int32_t tile_width[kLayerTiles][kLayerTiles];
  int32_t tile_height[kLayerTiles][kLayerTiles];
  int32_t column_count;
  int32_t row_count;
};

// Unpack alignment 1, no row length, no skips: pixel data as uploads hand it.
void set_unpack_state();
// A new bilinear, repeating texture of w x h RGBA8 texels with no picture,
// left bound; its name is written to *texture.
void make_empty_texture(GLuint* texture, int width, int height);

// Slot numbers arrive from commands; anything outside the table is treated
// as an empty slot rather than indexing past it.
inline bool valid_slot(int slot) { return slot >= 0 && slot < kSlotCount; }

}  // namespace quarvel
