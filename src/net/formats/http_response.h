// The client side of an HTTP/1.0 response, chunk by chunk as it arrives:
// the status line and the end of the header block. Pure, no I/O.
//
// The header block ends at the line feed that makes a count of consecutive
// line feeds reach 2, where a carriage return leaves the count unchanged
// and any other byte resets it; so "\r\n\r\n" and "\n\n" both end it.
// Everything after that line feed is body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarvel {

class HttpResponseScanner {
 public:
  // Takes the next received chunk and returns where its body bytes start:
  // [result, count) is body (result == count: none). Once the header block
  // has ended every later chunk is body from 0.
  size_t feed(const uint8_t* bytes, size_t count);

  bool header_done() const { return header_done_; }
  // The status code of the first line ("HTTP/<version> <3 digits>..."),
  // -1 while that line does not read as a status line.
  int status_code() const;
  // A 2xx status line.
  bool success() const {
    int code = status_code();
    return code >= 200 && code <= 299;
  }

 private:
  int line_feeds_ = 0;
  bool header_done_ = false;
  bool first_line_done_ = false;
  std::string first_line_;  // at most kMaxStatusLine bytes are kept
};

// The request line and headers a download sends.
std::string http_request_text(const char* host, const char* path);

}  // namespace quarvel
