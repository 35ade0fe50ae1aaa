// Reading pictures from files: the whole file is read into memory and
// handed to the decoders.
#include <algorithm>
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

bool read_whole_file(const char* file_name, std::vector<uint8_t>& bytes, const char** why = nullptr) {
  return read_file_bytes(file_name, kMaxFileBytes, bytes, why);
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

bool read_image_file(ImageBuffer& out, const char* file_name, int64_t colour_key, std::string* why) {
  std::vector<uint8_t> bytes;
  const char* reason = nullptr;
  if (!read_whole_file(file_name, bytes, &reason)) {
    out.clear();
    if (why) *why = reason;
    return false;
  }
  const char* bitmap_reason = nullptr;
  if (decode_bitmap(bytes.data(), bytes.size(), colour_key, out, &bitmap_reason)) return true;
  std::string png_reason;
  if (decode_png_named(bytes.data(), bytes.size(), colour_key, out, file_name, &png_reason)) return true;
  if (why) {
    static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
      *why = bitmap_reason;
    } else if (bytes.size() >= 8 && std::equal(kPngSignature, kPngSignature + 8, bytes.begin())) {
      *why = png_reason;
    } else {
      *why = "not a bitmap or PNG";
    }
  }
  return false;
}

}  // namespace quarvel
