// http_get against a small HTTP server on loopback, run by the test.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include <quarvel/network.h>

#include "net/http_get.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

// Accepts one connection, reads the request up to its blank line and hands
// the connection to the script.
class OneShotServer {
 public:
  explicit OneShotServer(std::function<void(int fd)> script) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(listener_, 4);
    thread_ = std::thread([this, script] {
      int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      char c;
      while (request_.find("\r\n\r\n") == std::string::npos && ::read(fd, &c, 1) == 1) request_ += c;
      script(fd);
      ::close(fd);
    });
  }
  ~OneShotServer() {
    ::shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
  }
  int port() const { return port_; }
  // Valid once http_get returned.
  const std::string& request() {
    if (thread_.joinable()) thread_.join();
    return request_;
  }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::string request_;
  std::thread thread_;
};

void send_all(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool file_exists(const std::string& path) { return std::ifstream(path).good(); }

class HttpGetTest : public testing::Test {
 protected:
  void TearDown() override { set_http_timeouts(HttpTimeouts()); }
  std::string out = temp_dir() + "/download.bin";
  // Only the target may be left in the directory: no partial files.
  void expect_no_leftovers() {
    std::string listing;
    for (auto& e : std::filesystem::directory_iterator(temp_dir()))
      if (e.path().filename().string().find(".part-") != std::string::npos) listing += e.path().string();
    EXPECT_EQ(listing, "");
  }
};

TEST_F(HttpGetTest, StoresTheBodyExactly) {
  std::string body;
  for (int i = 0; i < 20000; ++i) body += static_cast<char>(i * 7 % 256);  // many chunks, zero bytes too
  OneShotServer server([&](int fd) { send_all(fd, "HTTP/1.0 200 OK\r\nContent-Type: x\r\n\r\n" + body); });
  EXPECT_EQ(http_get("127.0.0.1", "/some file?x=1", server.port(), out.c_str()), 1);
  EXPECT_EQ(read_file(out), body);
  // The request: no blank after "Host:", the path as given.
  EXPECT_EQ(server.request(),
            "GET /some file?x=1 HTTP/1.0\r\nHost:127.0.0.1\r\nAccept: */*\r\nUser-Agent: Quarvel game\r\n\r\n");
  expect_no_leftovers();
}

TEST_F(HttpGetTest, HeaderEndsWithBareLineFeedsOrAtAChunkBoundary) {
  {
    OneShotServer server([](int fd) { send_all(fd, "HTTP/1.0 200 OK\nServer: tiny\n\nline one\n\nline two"); });
    EXPECT_EQ(http_get("localhost", "/", server.port(), out.c_str()), 1);
    EXPECT_EQ(read_file(out), "line one\n\nline two");
  }
  {
    // The header block arrives alone; the next chunk is body from its
    // first byte.
    OneShotServer server([](int fd) {
      send_all(fd, "HTTP/1.0 200 OK\r\n\r\n");
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      send_all(fd, "\r\nbody starts with a line end");
    });
    EXPECT_EQ(http_get("127.0.0.1", "/", server.port(), out.c_str()), 1);
    EXPECT_EQ(read_file(out), "\r\nbody starts with a line end");
  }
}

TEST_F(HttpGetTest, SuccessOnlyAfterA2xxStatus) {
  // A status and nothing else: success with an empty file.
  {
    OneShotServer server([](int fd) { send_all(fd, "HTTP/1.0 200 OK\r\n"); });
    EXPECT_EQ(http_get("127.0.0.1", "/", server.port(), out.c_str()), 1);
    EXPECT_TRUE(file_exists(out));
    EXPECT_EQ(read_file(out), "");
  }
  // An error page, a server that closes without a word, and one that is
  // not speaking HTTP leave the file as it was.
  std::ofstream(out, std::ios::binary) << "old contents";
  for (const char* reply : {"HTTP/1.0 404 Not Found\r\n\r\nno such page", "", "SSH-2.0-nope\r\n\r\n"}) {
    std::string r = reply;
    OneShotServer server([r](int fd) { send_all(fd, r); });
    EXPECT_EQ(http_get("127.0.0.1", "/missing", server.port(), out.c_str()), 0) << reply;
    EXPECT_EQ(read_file(out), "old contents") << reply;
  }
  expect_no_leftovers();
}

TEST_F(HttpGetTest, FailuresLeaveTheFileAlone) {
  std::ofstream(out, std::ios::binary) << "old contents";
  // A server that sends part of its answer and then falls silent: the
  // time-out ends the wait.
  HttpTimeouts quick;
  quick.idle_ms = 300;
  set_http_timeouts(quick);
  {
    OneShotServer server([](int fd) {
      send_all(fd, "HTTP/1.0 200 OK\r\n\r\npartial");
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    });
    EXPECT_EQ(http_get("127.0.0.1", "/", server.port(), out.c_str()), 0);
  }
  EXPECT_EQ(read_file(out), "old contents");

  // Nobody listens on the port.
  int port = 0;
  { OneShotServer gone([](int) {}); port = gone.port(); }
  EXPECT_EQ(http_get("127.0.0.1", "/", port, out.c_str()), 0);
  // A file that cannot be created.
  OneShotServer server([](int fd) { send_all(fd, "HTTP/1.0 200 OK\r\n\r\nbody"); });
  EXPECT_EQ(http_get("127.0.0.1", "/", server.port(), (temp_dir() + "/no/such/dir/file").c_str()), 0);
  EXPECT_EQ(read_file(out), "old contents");
  expect_no_leftovers();
}

}  // namespace
}  // namespace quarvel_test
