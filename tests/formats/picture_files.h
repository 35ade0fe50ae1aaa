// Builders for small bitmap and PNG files in memory, for the reader tests.
#pragma once

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace quarvel_test {

inline void put_u16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void put_u32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void put_be32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// A bitmap file. Colours are 0xRRGGBB; for 8 bits the pixels are palette
// indices. Rows are given top first and stored bottom-up, or top-down when
// `top_down` is set (negative height). Row padding bytes are 0xEE and the
// fourth byte of 32-bit pixels is 0x00, so neither may leak into a picture.
struct BitmapFile {
  int32_t width = 0;
  int32_t height = 0;  // rows, positive
  uint16_t bits = 24;
  bool top_down = false;
  std::vector<uint32_t> palette;
  std::vector<uint32_t> pixels;  // width x height, top row first

  static size_t stride(int32_t width, uint16_t bits) { return (static_cast<size_t>(width) * (bits / 8) + 3) / 4 * 4; }

  std::vector<uint8_t> build() const {
    const size_t offset = 54 + palette.size() * 4;
    const size_t row_bytes = stride(width, bits);
    std::vector<uint8_t> b(offset + row_bytes * height, 0xEE);
    b[0] = 'B';
    b[1] = 'M';
    put_u32(b, 2, static_cast<uint32_t>(b.size()));
    put_u32(b, 6, 0);
    put_u32(b, 10, static_cast<uint32_t>(offset));
    put_u32(b, 14, 40);
    put_u32(b, 18, static_cast<uint32_t>(width));
    put_u32(b, 22, static_cast<uint32_t>(top_down ? -height : height));
    put_u16(b, 26, 1);
    put_u16(b, 28, bits);
    for (size_t at = 30; at < 54; ++at) b[at] = 0;
    for (size_t i = 0; i < palette.size(); ++i) {
      put_u32(b, 54 + i * 4, palette[i] & 0xFFFFFF);  // blue, green, red, 0
    }
    for (int32_t row = 0; row < height; ++row) {
      const int32_t file_row = top_down ? row : height - 1 - row;
      uint8_t* dst = b.data() + offset + file_row * row_bytes;
      for (int32_t c = 0; c < width; ++c) {
        const uint32_t v = pixels[static_cast<size_t>(row) * width + c];
        if (bits == 8) {
          dst[c] = static_cast<uint8_t>(v);
        } else {
          uint8_t* p = dst + c * (bits / 8);
          p[0] = static_cast<uint8_t>(v);
          p[1] = static_cast<uint8_t>(v >> 8);
          p[2] = static_cast<uint8_t>(v >> 16);
          if (bits == 32) p[3] = 0;
        }
      }
    }
    return b;
  }
};

// A PNG file written by libpng. `rows` holds the packed sample bytes of each
// row, top first, in the file's own format.
struct PngFile {
  uint32_t width = 0;
  uint32_t height = 0;
  int colour_type = PNG_COLOR_TYPE_RGB;
  int bit_depth = 8;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<uint8_t> palette_alpha;  // tRNS for palette images
  bool grey_key = false;               // tRNS for grey images
  uint16_t grey_key_value = 0;
  std::vector<std::vector<uint8_t>> rows;

  std::vector<uint8_t> build() const {
    std::vector<uint8_t> bytes;
    std::vector<png_bytep> pointers;
    for (const auto& row : rows) pointers.push_back(const_cast<png_bytep>(row.data()));
    if (!write(&bytes, pointers.data())) bytes.clear();
    return bytes;
  }

 private:
  static void append(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
  }
  static void flush(png_structp) {}

  // Holds no objects with destructors: libpng may longjmp back into it.
  bool write(std::vector<uint8_t>* out, png_bytepp row_pointers) const {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
      png_destroy_write_struct(&png, &info);
      return false;
    }
    png_set_write_fn(png, out, append, flush);
    png_set_IHDR(png, info, width, height, bit_depth, colour_type,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!palette_alpha.empty()) {
      png_set_tRNS(png, info, palette_alpha.data(), static_cast<int>(palette_alpha.size()), nullptr);
    }
    if (grey_key) {
      png_color_16 key{};
      key.gray = grey_key_value;
      png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    png_write_image(png, row_pointers);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
  }
};

// CRC-32 as PNG chunks use it.
inline uint32_t png_crc(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

// Offset of the first chunk of this type (its length field), or 0.
inline size_t find_chunk(const std::vector<uint8_t>& png, const char* type) {
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = (uint32_t{png[at]} << 24) | (uint32_t{png[at + 1]} << 16) |
                            (uint32_t{png[at + 2]} << 8) | png[at + 3];
    if (std::memcmp(png.data() + at + 4, type, 4) == 0) return at;
    at += 12 + length;
  }
  return 0;
}

// Recomputes the CRC of the chunk at `at` after its data was changed.
inline void fix_chunk_crc(std::vector<uint8_t>& png, size_t at) {
  const uint32_t length = (uint32_t{png[at]} << 24) | (uint32_t{png[at + 1]} << 16) |
                          (uint32_t{png[at + 2]} << 8) | png[at + 3];
  put_be32(png, at + 8 + length, png_crc(png.data() + at + 4, length + 4));
}

}  // namespace quarvel_test
