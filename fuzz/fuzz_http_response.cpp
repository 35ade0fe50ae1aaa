// HTTP response scanning: the input is cut into chunks by its first byte;
// the body found must be the same whatever the chunks, and must be a tail
// of the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "net/formats/http_response.h"

namespace {
std::string scan(const uint8_t* data, size_t size, size_t chunk, bool& done, int& status) {
  quarvel::HttpResponseScanner scanner;
  std::string body;
  for (size_t at = 0; at < size; at += chunk) {
    size_t n = size - at < chunk ? size - at : chunk;
    size_t start = scanner.feed(data + at, n);
    FUZZ_CHECK(start <= n);
    body.append(reinterpret_cast<const char*>(data + at + start), n - start);
  }
  done = scanner.header_done();
  status = scanner.status_code();
  FUZZ_CHECK(status == -1 || (status >= 0 && status <= 999));
  return body;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t chunk = 1 + data[0] % 64;
  ++data;
  --size;
  bool done_whole = false, done_chunked = false;
  int status_whole = 0, status_chunked = 0;
  std::string whole = scan(data, size, size ? size : 1, done_whole, status_whole);
  std::string chunked = scan(data, size, chunk, done_chunked, status_chunked);
  FUZZ_CHECK(whole == chunked);
  FUZZ_CHECK(done_whole == done_chunked);
  FUZZ_CHECK(status_whole == status_chunked);
  FUZZ_CHECK(whole.size() <= size);
  FUZZ_CHECK(whole == std::string(reinterpret_cast<const char*>(data) + (size - whole.size()), whole.size()));
  if (!done_whole) FUZZ_CHECK(whole.empty());
  return 0;
}
