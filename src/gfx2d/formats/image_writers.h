// Writing pictures: 24-bit bitmaps and RGBA PNG files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarvel {

// Builds a 24-bit bitmap file from BGR rows (3 bytes a pixel, rows `stride`
// pixels apart), bottom row first unless `top_down` says otherwise. Pixels
// in the colour key (0x00BBGGRR) are written as the default key colour
// (blue 128, green 0, red 255). Empty on bad sizes.
std::vector<uint8_t> encode_bitmap(const uint8_t* bgr_rows, int width, int height, int stride, bool top_down,
                                   int64_t colour_key);

// Encodes BGRA rows, top row first, as an 8-bit RGBA PNG. Empty on failure.
std::vector<uint8_t> encode_png(const uint8_t* bgra_rows, int width, int height);

// True when the name asks for a PNG: longer than 4 characters and ending in
// ".png" in any case.
bool wants_png(const char* file_name);

// Writes the bytes to the file (both separators accepted); false when the
// file cannot be written completely (no partial file is left behind).
bool write_file_bytes(const char* file_name, const std::vector<uint8_t>& bytes);

}  // namespace quarvel
