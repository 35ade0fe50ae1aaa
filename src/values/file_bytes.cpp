#include "values/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>

namespace quarvel {

bool read_file_bytes(const char* file_name, size_t max_bytes, std::vector<uint8_t>& bytes, const char** why) {
  bytes.clear();
  const char* reason = "cannot be read";
  if (why) *why = "not found";
  if (file_name == nullptr) return false;
  std::string name(file_name);
  if (name.empty() || name.size() >= kMaxFileNameLength) return false;
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) {
    if (why && errno != ENOENT && errno != ENOTDIR) *why = reason;
    return false;
  }
  bool ok = false;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end >= 0 && static_cast<unsigned long>(end) > max_bytes) reason = "too large";
    if (end >= 0 && static_cast<unsigned long>(end) <= max_bytes && std::fseek(file, 0, SEEK_SET) == 0) {
      try {
        bytes.resize(static_cast<size_t>(end));
        ok = end == 0 || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
      } catch (const std::bad_alloc&) {
        ok = false;
        reason = "too large";
      }
    }
  }
  std::fclose(file);
  if (!ok) {
    bytes.clear();
    if (why) *why = reason;
  }
  return ok;
}

}  // namespace quarvel
