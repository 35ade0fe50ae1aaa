#include "values/file_bytes.h"

#include <cstdio>
#include <new>
#include <string>

namespace quarvel {

bool read_file_bytes(const char* file_name, size_t max_bytes, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (file_name == nullptr) return false;
  std::string name(file_name);
  if (name.empty() || name.size() >= kMaxFileNameLength) return false;
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return false;
  bool ok = false;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end >= 0 && static_cast<unsigned long>(end) <= max_bytes && std::fseek(file, 0, SEEK_SET) == 0) {
      try {
        bytes.resize(static_cast<size_t>(end));
        ok = end == 0 || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
      } catch (const std::bad_alloc&) {
        ok = false;
      }
    }
  }
  std::fclose(file);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace quarvel
