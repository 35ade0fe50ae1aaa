// Image readers: Windows bitmaps (8, 24 and 32 bits per pixel, uncompressed)
// and PNG, from memory or from files. Every reader fills `out` with an RGBA
// picture, top row first, and returns true, or clears `out` and returns
// false. A colour key (packed 0x00BBGGRR, kNoColourKey for none) turns the
// pixels of exactly that colour into transparent black; pictures that carry
// their own alpha (PNG with alpha or a transparency chunk) and grey PNGs
// ignore the key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "gfx2d/formats/image_buffer.h"

namespace quarvel {

// 8-bit (palette), 24-bit and 32-bit bitmaps. 32-bit pixels never carry
// alpha. Bottom-up and top-down files both load the right way up.
// `why`, when given, receives the reason of a failure (here and below).
bool decode_bitmap(const uint8_t* data, size_t size, int64_t colour_key, ImageBuffer& out,
                   const char** why = nullptr);

// PNG through libpng: palettes expanded, low bit depths unpacked to bytes,
// 16-bit samples stripped to 8, a transparency chunk turned into alpha.
// Grey, RGB and RGBA results are accepted; grey with alpha fails.
bool decode_png(const uint8_t* data, size_t size, int64_t colour_key, ImageBuffer& out);

// The file versions; '\' and '/' are both accepted as directory separators.
bool read_bitmap_file(ImageBuffer& out, const char* file_name, int64_t colour_key);
bool read_png_file(ImageBuffer& out, const char* file_name, int64_t colour_key);
// Tries the bitmap reader first and the PNG reader when that fails,
// whatever the file's name. `why`, when given, receives the reason of a
// failure: "not found", "too large", "cannot be read", "not a bitmap or
// PNG", or the reason of the reader the file's first bytes point to.
bool read_image_file(ImageBuffer& out, const char* file_name, int64_t colour_key, std::string* why = nullptr);

}  // namespace quarvel
