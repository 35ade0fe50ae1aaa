// Reading pictures from files: the whole file is read into memory and
// handed to the decoders.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "gfx2d/formats/image_readers.h"
#include "gfx2d/formats/png_reader_internal.h"

namespace quarvel {
namespace {

// Names as long as this or longer are refused.
constexpr size_t kMaxFileName = 1024;
// No readable picture comes near this size (64 Mi pixels of 4 bytes plus
// headers and palette).
constexpr long kMaxFileBytes = long{1} << 30;

bool read_whole_file(const char* file_name, std::vector<uint8_t>& bytes) {
  if (file_name == nullptr) return false;
  std::string name(file_name);
  if (name.empty() || name.size() >= kMaxFileName) return false;
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return false;
  bool ok = false;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long length = std::ftell(file);
    if (length >= 0 && length <= kMaxFileBytes && std::fseek(file, 0, SEEK_SET) == 0) {
      try {
        bytes.resize(static_cast<size_t>(length));
        ok = length == 0 || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
      } catch (const std::bad_alloc&) {
        ok = false;
      }
    }
  }
  std::fclose(file);
  return ok;
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
