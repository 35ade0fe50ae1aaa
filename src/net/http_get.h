// Time-outs of the HTTP download, adjustable for tests.
#pragma once

namespace quarvel {

struct HttpTimeouts {
  int connect_ms = 10000;  // for the connection to be made
  int idle_ms = 30000;     // without any data (or room to send)
};

// The time-outs http_get uses from now on (all threads).
void set_http_timeouts(const HttpTimeouts& timeouts);
HttpTimeouts http_timeouts();

}  // namespace quarvel
