// Reading pictures from files: the whole file is read into memory and
// handed to the decoders.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "gfx2d/formats/image_readers.h"
#include "values/file_bytes.h"
#include "gfx2d/formats/png_reader_internal.h"

namespace quarvel {
namespace {

// No readable picture comes near this size (64 Mi pixels of 4 bytes plus
// headers and palette).
constexpr size_t kMaxFileBytes = size_t{1} << 30;

bool read_whole_file(const char* file_name, std::vector<uint8_t>& bytes) {
  return read_file_bytes(file_name, kMaxFileBytes, bytes);
}

}  // namespace

bool read_bitmap_file(ImageBuffer& out, const char* file_name, int64_t colour_key) {
  std::vector<uint8_t> bytes;
  if (!read_whole_file(file_name, bytes)) {
    out.clear();
    return false;
  }
  return decode_bitmap(bytes.data(), bytes.size(), colour_key, out);
}

bool read_png_file(ImageBuffer& out, const char* file_name, int64_t colour_key) {
  std::vector<uint8_t> bytes;
  if (!read_whole_file(file_name, bytes)) {
    out.clear();
    return false;
  }
  return decode_png_named(bytes.data(), bytes.size(), colour_key, out, file_name);
}

bool read_image_file(ImageBuffer& out, const char* file_name, int64_t colour_key) {
  std::vector<uint8_t> bytes;
  if (!read_whole_file(file_name, bytes)) {
    out.clear();
    return false;
  }
  return decode_bitmap(bytes.data(), bytes.size(), colour_key, out) ||
         decode_png_named(bytes.data(), bytes.size(), colour_key, out, file_name);
}

}  // namespace quarvel
