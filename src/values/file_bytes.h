// Reading a whole file into memory, for the format readers, and writing a
// file so that it appears complete or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quarvel {

// Names as long as this or longer are refused.
constexpr size_t kMaxFileNameLength = 1024;

// Reads the whole file (either separator accepted). False, with `bytes`
// empty, when the name is empty or too long, the file cannot be read, or it
// holds more than max_bytes.
bool read_file_bytes(const char* file_name, size_t max_bytes, std::vector<uint8_t>& bytes);

// A new file beside a target that takes its bytes and replaces the target
// only on commit; anything else (a failed write, no commit) removes it and
// leaves the target as it was. The file is created exclusively under a
// fresh name, so two writers never share one.
class PartFile {
 public:
  explicit PartFile(const std::string& target);
  ~PartFile() { discard(); }
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  bool ok() const { return file_ != nullptr && !failed_; }
  void write(const void* bytes, size_t count);
  // Closes the file and renames it over the target; false (and nothing
  // replaced) when any write failed.
  bool commit();
  void discard();

 private:
  std::string target_;
  std::string path_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace quarvel
