// http_get against small HTTP and HTTPS servers on loopback, run by the
// test; the HTTPS ones use a self-signed certificate made here with the
// openssl tool and handed to the download through CURL_CA_BUNDLE.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <quarvel/network.h>

#include "net/http_get.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

// A certificate and its key, in PEM files.
struct Identity {
  std::string cert, key;
};

// A self-signed certificate for the given subject-alternative names, made
// with the openssl tool (an EC key: quick to make).
Identity make_identity(const std::string& name, const std::string& alt_names) {
  Identity id{temp_dir() + "/" + name + ".crt", temp_dir() + "/" + name + ".key"};
  std::string command =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
      " -subj /CN=" +
      name + " -addext subjectAltName=" + alt_names + " -keyout '" + id.key + "' -out '" + id.cert +
      "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) id.cert.clear();
  return id;
}

// One accepted connection, plain or TLS.
class Connection {
 public:
  Connection(int fd, SSL* ssl, const std::atomic<bool>& stop) : fd_(fd), ssl_(ssl), stop_(stop) {}
  void send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      int n = ssl_ ? SSL_write(ssl_, bytes.data() + done, static_cast<int>(bytes.size() - done))
                   : static_cast<int>(::write(fd_, bytes.data() + done, bytes.size() - done));
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }
  bool read_byte(char& c) { return ssl_ ? SSL_read(ssl_, &c, 1) == 1 : ::read(fd_, &c, 1) == 1; }
  // Sleeps, but ends early when the server is torn down.
  void pause(int ms) {
    for (int i = 0; i < ms / 10 && !stop_.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

 private:
  int fd_;
  SSL* ssl_;
  const std::atomic<bool>& stop_;
};

// Accepts up to `connections` connections one after another (with TLS when
// given an identity), reads each request up to its blank line and hands
// the connection to the script with its number.
class LoopbackServer {
 public:
  using Script = std::function<void(Connection&, int index)>;
  explicit LoopbackServer(Script script, const Identity* tls = nullptr, int connections = 1) {
    if (tls) {
      ctx_ = SSL_CTX_new(TLS_server_method());
      SSL_CTX_use_certificate_chain_file(ctx_, tls->cert.c_str());
      SSL_CTX_use_PrivateKey_file(ctx_, tls->key.c_str(), SSL_FILETYPE_PEM);
    }
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(listener_, 4);
    thread_ = std::thread([this, script, connections] {
      for (int i = 0; i < connections; ++i) {
        int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0) return;
        ++accepted_;
        timeval limit{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        SSL* ssl = nullptr;
        if (ctx_) {
          ssl = SSL_new(ctx_);
          SSL_set_fd(ssl, fd);
          if (SSL_accept(ssl) <= 0) {  // the client refused the certificate
            SSL_free(ssl);
            ::close(fd);
            continue;
          }
        }
        Connection connection(fd, ssl, stop_);
        std::string request;
        char c;
        while (request.find("\r\n\r\n") == std::string::npos && connection.read_byte(c)) request += c;
        requests_.push_back(request);
        script(connection, i);
        if (ssl) {
          SSL_shutdown(ssl);
          SSL_free(ssl);
        }
        ::close(fd);
      }
    });
  }
  ~LoopbackServer() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
    if (ctx_) SSL_CTX_free(ctx_);
  }
  int port() const { return port_; }
  // Connections accepted so far (TLS ones before their handshake).
  int accepted() const { return accepted_.load(); }
  // The requests read; valid once http_get returned.
  const std::vector<std::string>& requests() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    return requests_;
  }

 private:
  SSL_CTX* ctx_ = nullptr;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A server that answers every connection with the same bytes.
LoopbackServer::Script reply(const std::string& bytes) {
  return [bytes](Connection& c, int) { c.send(bytes); };
}

// A redirect that closes its connection, with an empty body.
std::string redirect(const std::string& status, const std::string& location) {
  return "HTTP/1.1 " + status + "\r\nConnection: close\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool file_exists(const std::string& path) { return std::ifstream(path).good(); }

std::string gzip(const std::string& text) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, text.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string url_of(const LoopbackServer& s, const char* scheme = "http://", const char* host = "127.0.0.1") {
  return std::string(scheme) + host + ":" + std::to_string(s.port());
}

class HttpGetTest : public testing::Test {
 protected:
  void SetUp() override {
    // A test server may write to a connection the download already gave up.
    std::signal(SIGPIPE, SIG_IGN);
    // Loopback servers are reached directly even where the machine has a
    // proxy set.
    for (const char* v : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(v);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
  }
  void TearDown() override {
    set_http_timeouts(HttpTimeouts());
    unsetenv("CURL_CA_BUNDLE");
  }
  std::string out = temp_dir() + "/download.bin";
  // Only the target may be left in the directory: no partial files.
  void expect_no_leftovers() {
    std::string listing;
    for (auto& e : std::filesystem::directory_iterator(temp_dir()))
      if (e.path().filename().string().find(".part-") != std::string::npos) listing += e.path().string();
    EXPECT_EQ(listing, "");
  }
  void keep_old() { std::ofstream(out, std::ios::binary) << "old contents"; }
  void expect_old() { EXPECT_EQ(read_file(out), "old contents"); }
};

TEST(HttpUrl, SchemeFromTheHostOrThePort) {
  EXPECT_EQ(http_url("example.org", "/a.txt", 443), "https://example.org:443/a.txt");
  EXPECT_EQ(http_url("example.org", "/a.txt", 80), "http://example.org:80/a.txt");
  EXPECT_EQ(http_url("example.org", "/a.txt", 8443), "http://example.org:8443/a.txt");
  EXPECT_EQ(http_url("HTTPS://example.org/", "/a.txt", 8443), "https://example.org:8443/a.txt");
  EXPECT_EQ(http_url("http://example.org", "/a.txt", 443), "http://example.org:443/a.txt");
  EXPECT_EQ(http_url("https://example.org", "a.txt", 0), "https://example.org/a.txt");
  // The port argument wins over one written in the host; IPv6 in brackets.
  EXPECT_EQ(http_url("example.org:8080", "/", 81), "http://example.org:81/");
  EXPECT_EQ(http_url("::1", "/", 81), "http://[::1]:81/");
  // What a URL cannot carry is escaped; queries and escapes stay.
  EXPECT_EQ(http_url("h", "/a b#c\xC3\xA9?q=1%20", 80), "http://h:80/a%20b%23c%C3%A9?q=1%20");
  EXPECT_EQ(http_url("https://", "/", 443), "");
  EXPECT_EQ(http_url("", "/", 80), "");
}

TEST_F(HttpGetTest, StoresTheBodyExactly) {
  std::string body;
  for (int i = 0; i < 20000; ++i) body += static_cast<char>(i * 7 % 256);  // many chunks, zero bytes too
  LoopbackServer server(reply("HTTP/1.0 200 OK\r\nContent-Type: x\r\n\r\n" + body));
  EXPECT_EQ(http_get("127.0.0.1", "/some file?x=1", server.port(), out.c_str()), 1);
  EXPECT_EQ(read_file(out), body);
  // The path as given (a blank escaped), the runtime's user agent.
  std::string request = server.requests().at(0);
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /some%20file?x=1 HTTP/1.1");
  EXPECT_NE(request.find("\r\nUser-Agent: Quarvel game\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"), std::string::npos);
  expect_no_leftovers();
}

TEST_F(HttpGetTest, HeaderEndsWithBareLineFeedsOrAtAChunkBoundary) {
  {
    LoopbackServer server(reply("HTTP/1.0 200 OK\nServer: tiny\n\nline one\n\nline two"));
    EXPECT_EQ(http_get("localhost", "/", server.port(), out.c_str()), 1);
    EXPECT_EQ(read_file(out), "line one\n\nline two");
  }
  {
    // The header block arrives alone; the next chunk is body from its
    // first byte.
    LoopbackServer server([](Connection& c, int) {
      c.send("HTTP/1.0 200 OK\r\n\r\n");
      c.pause(200);
      c.send("\r\nbody starts with a line end");
    });
    EXPECT_EQ(http_get("127.0.0.1", "/", server.port(), out.c_str()), 1);
    EXPECT_EQ(read_file(out), "\r\nbody starts with a line end");
  }
}

TEST_F(HttpGetTest, SuccessOnlyAfterA2xxStatus) {
  // A status and nothing else: success with an empty file.
  {
    LoopbackServer server(reply("HTTP/1.0 200 OK\r\n"));
    EXPECT_EQ(http_get("127.0.0.1", "/", server.port(), out.c_str()), 1);
    EXPECT_TRUE(file_exists(out));
    EXPECT_EQ(read_file(out), "");
  }
  // An error page, a server that closes without a word, and one that is
  // not speaking HTTP leave the file as it was.
  keep_old();
  for (const char* answer : {"HTTP/1.0 404 Not Found\r\n\r\nno such page", "", "SSH-2.0-nope\r\n\r\n",
                             "HTTP/1.1 500 Oops\r\nContent-Length: 4\r\n\r\noops"}) {
    LoopbackServer server(reply(answer));
    EXPECT_EQ(http_get("127.0.0.1", "/missing", server.port(), out.c_str()), 0) << answer;
    expect_old();
  }
  expect_no_leftovers();
}

TEST_F(HttpGetTest, FailuresLeaveTheFileAlone) {
  keep_old();
  // A server that sends part of its answer and then falls silent: the
  // time-out ends the wait (had it not, the close after 10 s would end an
  // HTTP/1.0 body and count as success).
  HttpTimeouts quick;
  quick.idle_ms = 300;
  set_http_timeouts(quick);
  {
    LoopbackServer server([](Connection& c, int) {
      c.send("HTTP/1.0 200 OK\r\n\r\npartial");
      c.pause(10000);
    });
    EXPECT_EQ(http_get("127.0.0.1", "/", server.port(), out.c_str()), 0);
  }
  expect_old();

  // Nobody listens on the port.
  int port = 0;
  {
    LoopbackServer gone(reply(""));
    port = gone.port();
  }
  EXPECT_EQ(http_get("127.0.0.1", "/", port, out.c_str()), 0);
  // A file that cannot be created: nothing is even asked.
  LoopbackServer server(reply("HTTP/1.0 200 OK\r\n\r\nbody"));
  EXPECT_EQ(http_get("127.0.0.1", "/", server.port(), (temp_dir() + "/no/such/dir/file").c_str()), 0);
  EXPECT_EQ(server.accepted(), 0);
  expect_old();
  expect_no_leftovers();
}

TEST_F(HttpGetTest, ChunkedAndCompressedBodiesAndBodiesCutShort) {
  const std::string text = "level pack: " + std::string(3000, 'x') + " end";
  {
    LoopbackServer server(
        reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
              "5\r\nhello\r\n1;ext=1\r\n,\r\n6\r\n world\r\n0\r\n\r\n"));
    EXPECT_EQ(http_get("127.0.0.1", "/", server.port(), out.c_str()), 1);
    EXPECT_EQ(read_file(out), "hello, world");
  }
  {
    std::string packed = gzip(text);
    LoopbackServer server(reply("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                                std::to_string(packed.size()) + "\r\n\r\n" + packed));
    EXPECT_EQ(http_get("127.0.0.1", "/", server.port(), out.c_str()), 1);
    EXPECT_EQ(read_file(out), text);
    EXPECT_NE(server.requests().at(0).find("Accept-Encoding: "), std::string::npos);
  }
  // Cut short: fewer bytes than announced, a chunked body without its last
  // chunk, a compressed body that breaks off.
  keep_old();
  std::string packed = gzip(text);
  for (std::string answer :
       {std::string("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten b"),
        std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n wor"),
        std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"),
        "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + std::to_string(packed.size()) + "\r\n\r\n" +
            packed.substr(0, packed.size() / 2)}) {
    LoopbackServer server(reply(answer));
    EXPECT_EQ(http_get("127.0.0.1", "/", server.port(), out.c_str()), 0) << answer.substr(0, 60);
    expect_old();
  }
  expect_no_leftovers();
}

TEST_F(HttpGetTest, RedirectsAreFollowedUpToTen) {
  // Three hops on the same server, relative and absolute.
  {
    std::atomic<LoopbackServer*> self{nullptr};
    LoopbackServer server(
        [&self](Connection& c, int i) {
          if (i == 0)
            c.send("HTTP/1.1 301 Moved\r\nConnection: close\r\nLocation: /second\r\nContent-Length: 5\r\n\r\nmoved");
          if (i == 1) c.send(redirect("302 Found", url_of(*self.load()) + "/third"));
          if (i == 2) c.send("HTTP/1.0 200 OK\r\n\r\narrived");
        },
        nullptr, 3);
    self = &server;
    EXPECT_EQ(http_get("127.0.0.1", "/first", server.port(), out.c_str()), 1);
    EXPECT_EQ(read_file(out), "arrived");
    const auto& requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].substr(0, 16), "GET /third HTTP/");
  }
  // Ten redirects are taken, the eleventh is not.
  keep_old();
  for (int hops : {10, 11}) {
    LoopbackServer server(
        [hops](Connection& c, int i) {
          if (i < hops) {
            c.send("HTTP/1.1 307 Again\r\nConnection: close\r\nLocation: /" + std::to_string(i + 1) +
                   "\r\nContent-Length: 0\r\n\r\n");
          } else {
            c.send("HTTP/1.0 200 OK\r\n\r\nafter " + std::to_string(i));
          }
        },
        nullptr, hops + 1);
    EXPECT_EQ(http_get("127.0.0.1", "/0", server.port(), out.c_str()), hops == 10 ? 1 : 0) << hops;
    EXPECT_EQ(read_file(out), "after 10");  // for 11 hops: still the file of 10
  }
  expect_no_leftovers();
}

TEST_F(HttpGetTest, ProxyFromTheEnvironment) {
  LoopbackServer proxy(reply("HTTP/1.0 200 OK\r\n\r\nthrough the proxy"));
  setenv("http_proxy", url_of(proxy).c_str(), 1);
  // The name is never resolved here: the proxy is asked for the whole URL.
  EXPECT_EQ(http_get("example.invalid", "/news.txt", 80, out.c_str()), 1);
  unsetenv("http_proxy");
  EXPECT_EQ(read_file(out), "through the proxy");
  std::string request = proxy.requests().at(0);
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET http://example.invalid/news.txt HTTP/1.1");
}

class HttpsGetTest : public HttpGetTest {
 protected:
  static void SetUpTestSuite() {
    good_ = make_identity("localhost", "DNS:localhost,IP:127.0.0.1");
    stranger_ = make_identity("stranger", "DNS:localhost,IP:127.0.0.1");
    other_name_ = make_identity("elsewhere", "DNS:elsewhere.invalid");
  }
  void SetUp() override {
    HttpGetTest::SetUp();
    ASSERT_FALSE(good_.cert.empty() || stranger_.cert.empty() || other_name_.cert.empty())
        << "the openssl tool could not make the test certificates";
  }
  static void trust(const Identity& id) { setenv("CURL_CA_BUNDLE", id.cert.c_str(), 1); }
  static Identity good_, stranger_, other_name_;
};
Identity HttpsGetTest::good_, HttpsGetTest::stranger_, HttpsGetTest::other_name_;

TEST_F(HttpsGetTest, DownloadsWithATrustedCertificate) {
  trust(good_);
  for (const char* host : {"https://localhost", "https://127.0.0.1"}) {
    std::string body = std::string("secret news via ") + host;
    LoopbackServer server(
        reply("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body), &good_);
    EXPECT_EQ(http_get(host, "/news.txt", server.port(), out.c_str()), 1) << host;
    EXPECT_EQ(read_file(out), body);
  }
  // A chunked answer and a 404 over TLS.
  {
    LoopbackServer server(reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"), &good_);
    EXPECT_EQ(http_get("https://localhost", "/", server.port(), out.c_str()), 1);
    EXPECT_EQ(read_file(out), "abc");
  }
  {
    LoopbackServer server(reply("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnone"), &good_);
    EXPECT_EQ(http_get("https://localhost", "/", server.port(), out.c_str()), 0);
    EXPECT_EQ(read_file(out), "abc");
  }
  expect_no_leftovers();
}

TEST_F(HttpsGetTest, CertificatesThatDoNotCheckOutAreRefused) {
  keep_old();
  struct Case {
    const Identity* served;
    const Identity* trusted;  // nullptr: the system's store
    const char* why;
  };
  for (const Case& c :
       {Case{&good_, &stranger_, "signed by nobody we trust"}, Case{&good_, nullptr, "self-signed, system store"},
        Case{&other_name_, &other_name_, "trusted, but for another name"}}) {
    if (c.trusted) {
      trust(*c.trusted);
    } else {
      unsetenv("CURL_CA_BUNDLE");
    }
    LoopbackServer server(reply("HTTP/1.0 200 OK\r\n\r\nforged"), c.served);
    EXPECT_EQ(http_get("https://localhost", "/", server.port(), out.c_str()), 0) << c.why;
    expect_old();
  }
  // Plain HTTP spoken to a TLS server, and TLS to a plain one.
  trust(good_);
  {
    LoopbackServer server(reply(""), &good_);
    EXPECT_EQ(http_get("http://localhost", "/", server.port(), out.c_str()), 0);
  }
  {
    HttpTimeouts quick;  // the handshake counts toward the connect time-out
    quick.connect_ms = 500;
    set_http_timeouts(quick);
    LoopbackServer server(reply("HTTP/1.0 200 OK\r\n\r\nplain"));
    EXPECT_EQ(http_get("https://localhost", "/", server.port(), out.c_str()), 0);
  }
  expect_old();
  expect_no_leftovers();
}

TEST_F(HttpsGetTest, RedirectsUpToHttpsButNeverBack) {
  trust(good_);
  // http -> https: followed.
  {
    LoopbackServer secure(reply("HTTP/1.0 200 OK\r\n\r\nsecure body"), &good_);
    LoopbackServer plain(reply(redirect("301 Moved", url_of(secure, "https://", "localhost") + "/x")));
    EXPECT_EQ(http_get("localhost", "/", plain.port(), out.c_str()), 1);
    EXPECT_EQ(read_file(out), "secure body");
  }
  // https -> http, directly or after another https hop: refused, and the
  // plain server is never asked.
  keep_old();
  for (bool direct : {true, false}) {
    LoopbackServer plain(reply("HTTP/1.0 200 OK\r\n\r\ndowngraded"));
    std::string back = redirect("302 Found", url_of(plain) + "/");
    LoopbackServer secure(
        [&](Connection& c, int i) { c.send(direct || i == 1 ? back : redirect("302 Found", "/next")); }, &good_, 2);
    EXPECT_EQ(http_get("https://localhost", "/", secure.port(), out.c_str()), 0) << direct;
    EXPECT_EQ(plain.accepted(), 0);
    expect_old();
  }
  // A redirect to another scheme altogether.
  {
    LoopbackServer secure(reply(redirect("302 Found", "ftp://localhost/x")), &good_);
    EXPECT_EQ(http_get("https://localhost", "/", secure.port(), out.c_str()), 0);
  }
  expect_old();
  expect_no_leftovers();
}

}  // namespace
}  // namespace quarvel_test
