// The HTTP download's time-outs, adjustable for tests, and the URL it
// builds from the command's arguments.
#pragma once

#include <cstdint>
#include <string>

namespace quarvel {

struct HttpTimeouts {
  int connect_ms = 10000;  // for the connection (and TLS handshake) to be made
  int idle_ms = 30000;     // without any data once connected
};

// The time-outs http_get uses from now on (all threads).
void set_http_timeouts(const HttpTimeouts& timeouts);
HttpTimeouts http_timeouts();

// The URL of a download: a host written as "https://name" or "http://name"
// picks the scheme, a bare name means HTTPS on port 443 and HTTP on any
// other; port 0 leaves the scheme's own port. The path gets a leading '/'
// when it lacks one, and blanks, controls, non-ASCII bytes and '#' are
// percent-escaped. Empty when no host name is left.
std::string http_url(const std::string& host, const std::string& path, uint16_t port);

}  // namespace quarvel
