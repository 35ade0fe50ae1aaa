#include "values/file_bytes.h"

#include <atomic>
#include <cstdio>
#include <new>
#include <random>
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

PartFile::PartFile(const std::string& target) : target_(target) {
  if (target_.empty()) return;
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 16 && !file_; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".part-%08x%04x", random(), counter.fetch_add(1) & 0xFFFFu);
    path_ = target_ + suffix;
    file_ = std::fopen(path_.c_str(), "wbx");
  }
  if (!file_) path_.clear();
}

void PartFile::write(const void* bytes, size_t count) {
  if (!file_ || failed_ || count == 0) return;
  if (std::fwrite(bytes, 1, count, file_) != count) failed_ = true;
}

bool PartFile::commit() {
  if (!file_) return false;
  bool good = !failed_ && std::fflush(file_) == 0;
  good = std::fclose(file_) == 0 && good;
  file_ = nullptr;
  if (good && std::rename(path_.c_str(), target_.c_str()) == 0) {
    path_.clear();
    return true;
  }
  discard();
  return false;
}

void PartFile::discard() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!path_.empty()) std::remove(path_.c_str());
  path_.clear();
}

}  // namespace quarvel
