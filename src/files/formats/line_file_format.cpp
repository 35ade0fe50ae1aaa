#include "files/formats/line_file_format.h"

#include <cstring>

namespace quarvel::line_file_format {

void LineCache::clear() {
  for (int i = 0; i < kLineCount; ++i) {
    lines[i].clear();
    overflow[i].clear();
  }
  tail.clear();
  last_line = 0;
}

void LineCache::set_line(int n, const char* text, size_t length) {
  if (n < 0 || n >= kLineCount) return;
  const void* nul = std::memchr(text, '\0', length);
  if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - text);
  lines[n].assign(text, length < kLineLimit ? length : kLineLimit);
  overflow[n].clear();
  if (n > last_line) last_line = n;
}

void read_lines(const uint8_t* bytes, size_t length, LineCache& cache) {
  cache.clear();
  const char* p = reinterpret_cast<const char*>(bytes);
  const char* const end = p == nullptr ? p : p + length;
  int n = 0;
  while (p < end && n < kLineCount) {
    const size_t rest = static_cast<size_t>(end - p);
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', rest));
    size_t text_length = lf != nullptr ? static_cast<size_t>(lf - p) : rest;
    if (lf != nullptr && text_length > 0 && p[text_length - 1] == '\r') --text_length;
    const void* nul = std::memchr(p, '\0', text_length);
    if (nul != nullptr) text_length = static_cast<size_t>(static_cast<const char*>(nul) - p);
    if (text_length <= kLineLimit) {
      cache.lines[n].assign(p, text_length);
    } else {
      cache.lines[n].assign(p, kLineLimit);
      cache.overflow[n].assign(p + kLineLimit, text_length - kLineLimit);
    }
    cache.last_line = n;
    ++n;
    p = lf != nullptr ? lf + 1 : end;
  }
  if (p < end) cache.tail.assign(p, static_cast<size_t>(end - p));
}

std::string write_lines(const LineCache& cache) {
  std::string out;
  const int last = cache.last_line < 0 ? 0 : (cache.last_line >= kLineCount ? kLineCount - 1 : cache.last_line);
  for (int i = 0; i <= last; ++i) {
    out += cache.lines[i];
    out += cache.overflow[i];
    out += "\r\n";
  }
  out += cache.tail;
  return out;
}

}  // namespace quarvel::line_file_format
