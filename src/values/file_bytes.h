// Reading a whole file into memory, for the format readers, and writing a
// file so that it appears complete or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/host.h"

namespace quarvel {

// Names as long as this or longer are refused.
constexpr size_t kMaxFileNameLength = 1024;

// Reads the whole file (either separator accepted). False, with `bytes`
// empty, when the name is empty or too long, the file cannot be read, or it
// holds more than max_bytes. `why`, when given, receives the reason of a
// failure: "not found", "too large", "cannot be read".
bool read_file_bytes(const char* file_name, size_t max_bytes, std::vector<uint8_t>& bytes,
                     const char** why = nullptr);

// Files that appear complete or not at all are written by the platform's
// one writer (see platform/host.h).
using PartFile = platform::SaveFile;

}  // namespace quarvel
