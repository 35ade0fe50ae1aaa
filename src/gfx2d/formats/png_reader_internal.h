// Shared between the PNG decoder and the file readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "gfx2d/formats/image_buffer.h"

namespace quarvel {

// decode_png, naming `name` in the messages it prints for an unsupported
// bit depth or colour type.
// `why`, when given, receives the reason of a failure.
bool decode_png_named(const uint8_t* data, size_t size, int64_t colour_key, ImageBuffer& out,
                      const char* name, std::string* why = nullptr);

}  // namespace quarvel
