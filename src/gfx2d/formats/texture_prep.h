// The CPU side of a texture upload: the padded, vertically flipped texel
// picture handed to the GL, colour bleeding under transparent texels, the
// normal-map conversion and the mipmap reduction. Texel pictures are RGBA
// with the BOTTOM row first, as the GL takes them.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx2d/formats/image_buffer.h"

namespace quarvel {

// The padded side of a texture: the smallest power of two that is at least
// 2 and at least n (at most 2^30).
int padded_size(int n);

struct TexelPicture {
  int width = 0;   // padded width
  int height = 0;  // padded height
  std::vector<uint8_t> texels;  // width x height x 4 bytes, bottom row first
};

// Builds the texels of the rectangle of `image` that starts at column x,
// row y (from the top). A width or height of 0 means "to the right / bottom
// edge". Fails (out cleared) when the resulting width or height is below 1.
// Both are clamped to max_size, then padded. The picture lands in texel
// columns 0..width-1 and rows 0..height-1, its top row in texel row
// height-1; everything else is transparent black. Unless `nearest` is set,
// transparent texels take the average colour of their opaque neighbours.
bool prepare_texels(const ImageBuffer& image, int x, int y, int width, int height, int max_size,
                    bool nearest, TexelPicture& out);

// Turns the picture's blue channel, read as a height map that wraps around
// at the edges, into a tangent-space normal map; alpha is kept.
void make_normal_map(TexelPicture& picture);

// Reduces the picture in place to the next mipmap level (each side halved,
// not below 1). Returns false, leaving it alone, when it is already 1 x 1.
bool next_mipmap_level(TexelPicture& picture);

}  // namespace quarvel
