// http_get: one GET through libcurl, plain HTTP or HTTPS, the body stored in
// a file.
//
// libcurl does the protocol (chunked and compressed bodies, TLS with the
// system's CA store, proxies from the environment). We keep the redirects
// in our own hands so that a chain that reached HTTPS never falls back to
// plain HTTP, and run the transfer through a multi handle so that the
// silence time-out is measured in milliseconds rather than whole seconds.
#include "net/http_get.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "quarvel/network.h"
#include "values/file_bytes.h"
#include "values/truncate.h"

namespace quarvel {
namespace {

std::atomic<int> g_connect_ms{10000};
std::atomic<int> g_idle_ms{30000};

constexpr int kMaxRedirects = 10;
constexpr int kPollStepMs = 50;
constexpr const char* kUserAgent = "Quarvel game";

using Clock = std::chrono::steady_clock;

bool starts_with_nocase(const std::string& text, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool is_https(const std::string& url) { return starts_with_nocase(url, "https://"); }

// Bytes a URL cannot carry as they are: blanks, controls, non-ASCII and '#'
// (which would start a fragment) are percent-escaped; everything else, '%'
// and '?' included, is passed on as the caller wrote it.
std::string escape_path(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  if (path.empty() || path[0] != '/') out += '/';
  for (unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F || c == '#') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string http_url(const std::string& host_text, const std::string& path, uint16_t port) {
  std::string host = host_text;
  std::string scheme;
  if (starts_with_nocase(host, "https://")) {
    scheme = "https";
    host.erase(0, 8);
  } else if (starts_with_nocase(host, "http://")) {
    scheme = "http";
    host.erase(0, 7);
  } else {
    scheme = port == 443 ? "https" : "http";
  }
  // Only the host name counts: anything from the first '/' on is dropped,
  // and so is a ":port" after a name or IPv4 address (the port argument
  // decides). Several colons make an IPv6 address, which goes in brackets.
  size_t slash = host.find('/');
  if (slash != std::string::npos) host.erase(slash);
  if (host.empty()) return std::string();
  if (host.front() != '[') {
    size_t colon = host.find(':');
    if (colon != std::string::npos) {
      if (host.find(':', colon + 1) == std::string::npos) {
        host.erase(colon);
      } else {
        host = "[" + host + "]";
      }
    }
  }
  if (host.empty()) return std::string();
  std::string url = scheme + "://" + host;
  if (port != 0) url += ":" + std::to_string(port);
  return url + escape_path(path);
}

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

namespace {

// One transfer: the body of a 2xx answer goes to the part-file, a 3xx body
// is read and dropped, any other status ends the transfer at its header.
struct Transfer {
  CURL* easy = nullptr;
  PartFile* part = nullptr;
  Clock::time_point last_activity;
  bool connected = false;

  long status() const {
    long code = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
    return code;
  }
};

size_t on_header(char*, size_t size, size_t count, void* user) {
  static_cast<Transfer*>(user)->last_activity = Clock::now();
  return size * count;
}

size_t on_body(char* bytes, size_t size, size_t count, void* user) {
  Transfer* t = static_cast<Transfer*>(user);
  t->last_activity = Clock::now();
  size_t n = size * count;
  long code = t->status();
  if (code >= 300 && code <= 399) return n;
  if (code < 200 || code > 299) return 0;  // an error page is not stored
  t->part->write(bytes, n);
  return t->part->ok() ? n : 0;
}

// Called once the connection (and its TLS handshake) is made: from here on
// silence counts, before it the connect time-out does.
int on_connected(void* user, char*, char*, int, int) {
  Transfer* t = static_cast<Transfer*>(user);
  t->connected = true;
  t->last_activity = Clock::now();
  return CURL_PREREQFUNC_OK;
}

void global_init() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Runs the easy handle to its end; false on a transport failure, a body
// cut short or silence beyond the idle time-out.
bool perform(CURLM* multi, Transfer& t, int idle_ms) {
  t.connected = false;
  t.last_activity = Clock::now();
  if (curl_multi_add_handle(multi, t.easy) != CURLM_OK) return false;
  bool ok = false;
  int running = 1;
  for (;;) {
    if (curl_multi_perform(multi, &running) != CURLM_OK) break;
    if (running == 0) {
      int left = 0;
      while (CURLMsg* m = curl_multi_info_read(multi, &left)) {
        if (m->msg == CURLMSG_DONE && m->easy_handle == t.easy) ok = m->data.result == CURLE_OK;
      }
      break;
    }
    auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t.last_activity);
    if (t.connected && silent.count() >= idle_ms) break;
    if (curl_multi_poll(multi, nullptr, 0, kPollStepMs, nullptr) != CURLM_OK) break;
  }
  curl_multi_remove_handle(multi, t.easy);
  return ok;
}

}  // namespace

double http_get(const DynString& host, const DynString& path, double port_number, const DynString& file_name) {
  // The port is truncated to a 16-bit integer; 0 means the scheme's own.
  uint16_t port = static_cast<uint16_t>(static_cast<uint32_t>(truncate_to_int64(port_number)) & 0xFFFFu);
  std::string url = http_url(host.c_str(), path.c_str(), port);
  if (url.empty()) return 0;
  std::string target = file_name.c_str();
  for (char& c : target)
    if (c == '\\') c = '/';
  if (target.empty()) return 0;
  // The body goes to a file beside the target first; a target that cannot
  // be created ends the download before anything is sent.
  PartFile part(target);
  if (!part.ok()) return 0;

  global_init();
  CURL* easy = curl_easy_init();
  CURLM* multi = curl_multi_init();
  double result = 0;
  if (easy && multi) {
    Transfer t;
    t.easy = easy;
    t.part = &part;
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");  // every coding this libcurl can undo
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(g_connect_ms.load()));
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, on_connected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &t);
    // Certificates are always checked; a CA bundle in CURL_CA_BUNDLE
    // replaces the system's store (a hook for tests against local servers).
    const char* ca = std::getenv("CURL_CA_BUNDLE");
    if (ca && *ca) curl_easy_setopt(easy, CURLOPT_CAINFO, ca);

    const int idle_ms = g_idle_ms.load();
    bool reached_https = is_https(url);
    for (int hop = 0;; ++hop) {
      curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
      if (!perform(multi, t, idle_ms)) break;
      long code = t.status();
      if (code >= 200 && code <= 299) {
        if (part.ok() && part.commit()) result = 1;
        break;
      }
      char* next = nullptr;
      if (code < 300 || code > 399 || curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &next) != CURLE_OK || !next) break;
      if (hop == kMaxRedirects) break;
      std::string next_url = next;
      if (is_https(next_url)) {
        reached_https = true;
      } else if (reached_https || !starts_with_nocase(next_url, "http://")) {
        break;  // never from HTTPS back to plain HTTP, nor to another scheme
      }
      url = next_url;
    }
  }
  if (multi) curl_multi_cleanup(multi);
  if (easy) curl_easy_cleanup(easy);
  return result;  // the part-file goes with `part` unless it was committed
}

}  // namespace quarvel
