// HTTP response scanning and the request text of a download.
#include "net/formats/http_response.h"

namespace quarvel {
namespace {
constexpr size_t kMaxStatusLine = 256;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

size_t HttpResponseScanner::feed(const uint8_t* bytes, size_t count) {
  if (header_done_) return 0;
  if (!bytes) return count;
  for (size_t i = 0; i < count; ++i) {
    char c = static_cast<char>(bytes[i]);
    if (!first_line_done_) {
      if (c == '\n') {
        first_line_done_ = true;
      } else if (first_line_.size() < kMaxStatusLine) {
        first_line_ += c;
      }
    }
    if (c == '\r') continue;
    if (c == '\n') {
      if (++line_feeds_ == 2) {
        header_done_ = true;
        return i + 1;
      }
    } else {
      line_feeds_ = 0;
    }
  }
  return count;
}

int HttpResponseScanner::status_code() const {
  const std::string& s = first_line_;
  size_t i = 0;
  if (s.compare(0, 5, "HTTP/") != 0) return -1;
  i = 5;
  size_t start = i;
  while (i < s.size() && is_digit(s[i])) ++i;
  if (i == start || i >= s.size() || s[i] != '.') return -1;
  ++i;
  start = i;
  while (i < s.size() && is_digit(s[i])) ++i;
  if (i == start || i >= s.size() || s[i] != ' ') return -1;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i + 3 > s.size() || !is_digit(s[i]) || !is_digit(s[i + 1]) || !is_digit(s[i + 2])) return -1;
  if (i + 3 < s.size() && s[i + 3] != ' ' && s[i + 3] != '\r') return -1;
  return (s[i] - '0') * 100 + (s[i + 1] - '0') * 10 + (s[i + 2] - '0');
}

std::string http_request_text(const char* host, const char* path) {
  std::string text = "GET ";
  text += path ? path : "";
  text += " HTTP/1.0\r\nHost:";
  text += host ? host : "";
  text += "\r\nAccept: */*\r\nUser-Agent: Quarvel game\r\n\r\n";
  return text;
}

}  // namespace quarvel
