#include "gfx2d/formats/image_writers.h"

#include <png.h>

#include <cstdio>
#include <cstring>

namespace quarvel {

namespace {

void put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr int kMaxSide = 1 << 15;

struct PngSink {
  std::vector<uint8_t>* out;
};

void png_write_to_vector(png_structp png, png_bytep data, png_size_t length) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  sink->out->insert(sink->out->end(), data, data + length);
}

void png_flush_nothing(png_structp) {}

void png_quiet_warning(png_structp, png_const_charp) {}

// Keeps objects with destructors out of the function that calls setjmp.
bool encode_png_rows(png_structp png, png_infop info, png_bytep* rows, int width, int height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

std::vector<uint8_t> encode_bitmap(const uint8_t* bgr_rows, int width, int height, int stride, bool top_down,
                                   int64_t colour_key) {
  if (!bgr_rows || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || stride < width) return {};
  const size_t row_size = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  std::vector<uint8_t> out(54 + row_size * static_cast<size_t>(height), 0);
  out[0] = 'B';
  out[1] = 'M';
  put32(out, 2, static_cast<uint32_t>(out.size()));
  put32(out, 10, 54);
  put32(out, 14, 40);
  put32(out, 18, static_cast<uint32_t>(width));
  put32(out, 22, static_cast<uint32_t>(height));
  put16(out, 26, 1);
  put16(out, 28, 24);
  put32(out, 38, 10000);
  put32(out, 42, 10000);
  const bool keyed = colour_key >= 0 && colour_key <= 0xFFFFFF;
  const uint8_t key_b = static_cast<uint8_t>(colour_key >> 16), key_g = static_cast<uint8_t>(colour_key >> 8),
                key_r = static_cast<uint8_t>(colour_key);
  for (int r = 0; r < height; ++r) {
    const int source_row = top_down ? height - 1 - r : r;
    const uint8_t* src = bgr_rows + static_cast<size_t>(source_row) * static_cast<size_t>(stride) * 3;
    uint8_t* dst = out.data() + 54 + static_cast<size_t>(r) * row_size;
    for (int x = 0; x < width; ++x, src += 3, dst += 3) {
      if (keyed && src[0] == key_b && src[1] == key_g && src[2] == key_r) {
        dst[0] = 128;
        dst[1] = 0;
        dst[2] = 255;
      } else {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
      }
    }
  }
  return out;
}

std::vector<uint8_t> encode_png(const uint8_t* bgra_rows, int width, int height) {
  if (!bgra_rows || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return {};
  std::vector<uint8_t> out;
  PngSink sink{&out};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, png_quiet_warning);
  if (!png) return {};
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return {};
  }
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    rows[static_cast<size_t>(y)] =
        const_cast<png_bytep>(bgra_rows + static_cast<size_t>(y) * static_cast<size_t>(width) * 4);
  }
  png_set_write_fn(png, &sink, png_write_to_vector, png_flush_nothing);
  bool ok = encode_png_rows(png, info, rows.data(), width, height);
  png_destroy_write_struct(&png, &info);
  if (!ok) out.clear();
  return out;
}

bool wants_png(const char* file_name) {
  if (!file_name) return false;
  size_t n = std::strlen(file_name);
  if (n <= 4 || file_name[n - 4] != '.') return false;
  auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
  return lower(file_name[n - 3]) == 'p' && lower(file_name[n - 2]) == 'n' && lower(file_name[n - 1]) == 'g';
}

bool write_file_bytes(const char* file_name, const std::vector<uint8_t>& bytes) {
  if (!file_name || !*file_name || bytes.empty()) return false;
  std::string path(file_name);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::remove(path.c_str());
  return ok;
}

}  // namespace quarvel
