// http_get: one HTTP/1.0 GET over a blocking reliable socket, the body
// stored in a file.
#include "net/http_get.h"

#include <atomic>
#include <cstdio>
#include <string>

#include "net/formats/http_response.h"
#include "platform/sockets.h"
#include "values/file_bytes.h"
#include "quarvel/network.h"
#include "values/truncate.h"

namespace quarvel {
namespace {

using namespace nl;

std::atomic<int> g_connect_ms{10000};
std::atomic<int> g_idle_ms{30000};

constexpr int kReceiveBuffer = 4095;

}  // namespace

void set_http_timeouts(const HttpTimeouts& timeouts) {
  g_connect_ms.store(timeouts.connect_ms);
  g_idle_ms.store(timeouts.idle_ms);
}

HttpTimeouts http_timeouts() {
  HttpTimeouts t;
  t.connect_ms = g_connect_ms.load();
  t.idle_ms = g_idle_ms.load();
  return t;
}

double http_get(const DynString& host, const DynString& path, double port_number, const DynString& file_name) {
  // 1
  if (!nlInit()) return 0;
  nlSelectNetwork(NL_IP);
  nlEnable(NL_SOCKET_STATS);
  nlEnable(NL_BLOCKING_IO);
  set_blocking_timeouts(g_connect_ms.load(), g_idle_ms.load());
  double result = 0;
  NLsocket socket = NL_INVALID;
  // The port is truncated to a 16-bit integer.
  uint16_t port = static_cast<uint16_t>(static_cast<uint32_t>(truncate_to_int64(port_number)) & 0xFFFFu);
  do {
    // 2
    NLaddress address;
    if (!nlGetAddrFromName(host.c_str(), &address) || !nlSetAddrPort(&address, port)) break;
    // 3
    socket = nlOpen(0, NL_RELIABLE);
    if (socket == NL_INVALID || !nlConnect(socket, &address)) break;
    // 4: the body goes to a file beside the target first.
    std::string target = file_name.c_str();
    for (char& c : target)
      if (c == '\\') c = '/';
    if (target.empty()) break;
    PartFile part(target);
    if (!part.ok()) break;
    // 5
    std::string request = http_request_text(host.c_str(), path.c_str());
    if (nlWrite(socket, request.data(), static_cast<NLint>(request.size())) != static_cast<NLint>(request.size()))
      break;
    // 6
    HttpResponseScanner response;
    uint8_t buffer[kReceiveBuffer];
    for (;;) {
      NLint n = nlRead(socket, buffer, sizeof buffer);
      if (n < 0) {
        if (nlGetError() == NL_CONNECTION_CLOSED && response.success() && part.commit()) result = 1;
        break;
      }
      if (n == 0) continue;
      size_t body = response.feed(buffer, static_cast<size_t>(n));
      if (response.header_done() && !response.success()) break;  // an error page is not stored
      part.write(buffer + body, static_cast<size_t>(n) - body);
      if (!part.ok()) break;
    }
  } while (false);
  // 8
  if (socket != NL_INVALID) nlClose(socket);
  nlDisable(NL_BLOCKING_IO);
  nlShutdown();
  return result;
}

}  // namespace quarvel
