// Line-file reader: at most 1023 characters per cache line, no line breaks
// inside a line, and writing back keeps every byte of a file whose lines
// all end in CR LF.
#include <cstddef>
#include <cstdint>
#include <string>

#include "files/formats/line_file_format.h"
#include "fuzz_check.h"

namespace lf = quarvel::line_file_format;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static lf::LineCache cache;  // large: kept out of the stack
  lf::read_lines(data, size, cache);
  FUZZ_CHECK(cache.last_line >= 0 && cache.last_line < lf::kLineCount);
  for (int i = 0; i < lf::kLineCount; ++i) {
    FUZZ_CHECK(cache.lines[i].size() <= lf::kLineLimit);
    FUZZ_CHECK(cache.lines[i].find('\n') == std::string::npos);
    FUZZ_CHECK(cache.lines[i].find('\0') == std::string::npos);
    FUZZ_CHECK(cache.overflow[i].empty() || cache.lines[i].size() == lf::kLineLimit);
    if (i > cache.last_line) FUZZ_CHECK(cache.lines[i].empty());
  }
  const std::string written = lf::write_lines(cache);
  const std::string input(reinterpret_cast<const char*>(data), size);
  // A file of NUL-free lines that all end in CR LF comes back unchanged.
  bool crlf_only = size >= 2 && input.find('\0') == std::string::npos && input.compare(size - 2, 2, "\r\n") == 0;
  for (size_t i = 0; crlf_only && i < size; ++i)
    if (input[i] == '\n' && (i == 0 || input[i - 1] != '\r')) crlf_only = false;
  if (crlf_only) FUZZ_CHECK(written == input);

  lf::LineCache again;
  lf::read_lines(reinterpret_cast<const uint8_t*>(written.data()), written.size(), again);
  for (int i = 0; i < lf::kLineCount; ++i) FUZZ_CHECK(again.lines[i] == cache.lines[i] || i > cache.last_line);
  return 0;
}
