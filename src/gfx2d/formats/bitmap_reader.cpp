// Windows bitmap decoding: a 14-byte file header, a 40-byte information
// header, an optional palette up to the data offset, then uncompressed rows
// padded to multiples of 4 bytes.
#include <cstring>
#include <new>

#include "gfx2d/formats/image_readers.h"

namespace quarvel {
namespace {

constexpr size_t kHeaderBytes = 54;  // file header + information header

uint32_t read_u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t read_i32(const uint8_t* p) { return static_cast<int32_t>(read_u32(p)); }
uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool fail(ImageBuffer& out, const char** why, const char* reason) {
  out.clear();
  if (why) *why = reason;
  return false;
}

}  // namespace

bool decode_bitmap(const uint8_t* data, size_t size, int64_t colour_key, ImageBuffer& out, const char** why) {
  if (data == nullptr || size < 2 || data[0] != 'B' || data[1] != 'M') return fail(out, why, "not a bitmap");
  if (size < kHeaderBytes) return fail(out, why, "damaged bitmap (too short)");

  const uint32_t data_offset = read_u32(data + 10);
  const int64_t width = read_i32(data + 18);
  const int64_t signed_height = read_i32(data + 22);
  const uint16_t bits = read_u16(data + 28);
  const bool top_down = signed_height < 0;
  const int64_t height = top_down ? -signed_height : signed_height;

  const uint32_t compression = read_u32(data + 30);
  if (bits != 8 && bits != 24 && bits != 32) return fail(out, why, "unsupported bitmap (only 8, 24 or 32 bits a pixel)");
  // Uncompressed rows only; 32-bit bit-field masks are read as plain BGRX.
  if (compression != 0 && !(compression == 3 && bits == 32)) return fail(out, why, "unsupported bitmap (compressed)");
  if (width < 1 || height < 1) return fail(out, why, "damaged bitmap (no pixels)");
  if (!image_size_allowed(width, height)) return fail(out, why, "too large");
  // The pixel rows start at the data offset, after the headers and palette.
  if (data_offset < kHeaderBytes || data_offset > size) return fail(out, why, "damaged bitmap (data offset)");

  const int64_t bytes_per_pixel = bits / 8;
  const int64_t stride = (width * bytes_per_pixel + 3) / 4 * 4;
  if (stride * height > static_cast<int64_t>(size - data_offset)) {
    return fail(out, why, "damaged bitmap (pixel rows missing)");
  }

  const uint8_t* palette = data + kHeaderBytes;
  const size_t palette_entries = (data_offset - kHeaderBytes) / 4;

  try {
    out.pixels.assign(static_cast<size_t>(width * height * 4), 0);
  } catch (const std::bad_alloc&) {
    return fail(out, why, "too large");
  }
  out.width = static_cast<int32_t>(width);
  out.height = static_cast<int32_t>(height);

  const uint8_t* rows = data + data_offset;
  for (int64_t i = 0; i < height; ++i) {
    // Rows are stored bottom-up unless the height is negative.
    const int64_t file_row = top_down ? i : height - 1 - i;
    const uint8_t* src = rows + file_row * stride;
    uint8_t* dst = out.pixels.data() + i * width * 4;
    for (int64_t c = 0; c < width; ++c, dst += 4) {
      const uint8_t* colour;  // blue, green, red
      if (bits == 8) {
        const size_t index = src[c];
        if (index >= palette_entries) return fail(out, why, "damaged bitmap (colour outside the palette)");
        colour = palette + index * 4;
      } else {
        colour = src + c * bytes_per_pixel;
      }
      dst[0] = colour[2];
      dst[1] = colour[1];
      dst[2] = colour[0];
      dst[3] = 255;
      apply_colour_key(dst, colour_key);
    }
  }
  return true;
}

}  // namespace quarvel
