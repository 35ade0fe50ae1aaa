// "QVLN" message acceptance and encoding, player blocks, and the scanning
// of HTTP responses: pure functions over bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/formats/http_response.h"
#include "net/formats/net_message.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

std::vector<uint8_t> datagram(uint8_t type, int32_t length, int32_t destination, int32_t sender,
                              const std::string& payload) {
  std::vector<uint8_t> d(17 + payload.size());
  std::memcpy(d.data(), "QVLN", 4);
  d[4] = type;
  std::memcpy(&d[5], &length, 4);
  std::memcpy(&d[9], &destination, 4);
  std::memcpy(&d[13], &sender, 4);
  std::memcpy(d.data() + 17, payload.data(), payload.size());
  return d;
}

TEST(NetMessage, AcceptsWellFormedMessagesAndTerminatesThePayload) {
  auto d = datagram(3, 5, 102, 101, "helloXYZ");  // bytes behind the payload are ignored
  NetMessage m;
  ASSERT_TRUE(accept_net_message(d.data(), d.size(), m));
  EXPECT_EQ(m.type, 3);
  EXPECT_EQ(m.length, 5);
  EXPECT_EQ(m.destination, 102);
  EXPECT_EQ(m.sender, 101);
  EXPECT_STREQ(m.text(), "hello");

  auto empty = datagram(104, 0, 0, 101, "");
  ASSERT_TRUE(accept_net_message(empty.data(), empty.size(), m));
  EXPECT_EQ(m.length, 0);
  EXPECT_STREQ(m.text(), "");

  // The largest message: 1024 payload bytes, terminated behind them.
  auto full = datagram(3, 1024, -1, 101, std::string(1024, 'a'));
  ASSERT_TRUE(accept_net_message(full.data(), full.size(), m));
  EXPECT_EQ(std::strlen(m.text()), 1024u);
}

TEST(NetMessage, RefusesShortBadMagicAndLyingLengths) {
  NetMessage m;
  auto good = datagram(3, 2, 1, 2, "hi");
  for (size_t n = 0; n < 17; ++n) EXPECT_FALSE(accept_net_message(good.data(), n, m)) << n;
  EXPECT_FALSE(accept_net_message(nullptr, 40, m));

  auto bad_magic = good;
  bad_magic[3] = 'M';
  EXPECT_FALSE(accept_net_message(bad_magic.data(), bad_magic.size(), m));

  // A length the datagram does not hold, beyond 1024, or negative.
  auto longer = datagram(3, 3, 1, 2, "hi");
  EXPECT_FALSE(accept_net_message(longer.data(), longer.size(), m));
  auto huge = datagram(3, 1025, 1, 2, std::string(1100, 'x'));
  EXPECT_FALSE(accept_net_message(huge.data(), huge.size(), m));
  auto negative = datagram(3, -1, 1, 2, "hi");
  EXPECT_FALSE(accept_net_message(negative.data(), negative.size(), m));
  // A refused datagram leaves nothing of itself behind.
  EXPECT_EQ(m.length, 0);
  EXPECT_EQ(m.type, 0);
}

TEST(NetMessage, EncodesWhatItAcceptsAndCutsLongTexts) {
  NetMessage m;
  m.type = 3;
  m.destination = -1;
  m.sender = 105;
  m.set_text(std::string(3000, 'z').c_str());
  EXPECT_EQ(m.length, 1024);
  uint8_t bytes[kNetMaxDatagram];
  size_t n = encode_net_message(m, bytes);
  EXPECT_EQ(n, kNetMaxDatagram);
  NetMessage back;
  ASSERT_TRUE(accept_net_message(bytes, n, back));
  EXPECT_EQ(back.sender, 105);
  EXPECT_EQ(back.destination, -1);
  EXPECT_EQ(std::string(back.text()), std::string(1024, 'z'));

  // Little-endian on the wire.
  m.set_int(0x01020304);
  n = encode_net_message(m, bytes);
  EXPECT_EQ(n, 21u);
  EXPECT_EQ(bytes[17], 4);
  EXPECT_EQ(bytes[20], 1);
}

TEST(NetMessage, PlayerBlockKeepsAtMost127NameCharacters) {
  NetPlayerBlock block;
  block.hidden = 1;
  block.host = 1;
  std::memset(block.name, 'n', kNetMaxNameLength);
  uint8_t bytes[kNetPlayerBlockSize];
  encode_player_block(block, bytes);
  EXPECT_EQ(bytes[10 + 127], 0);  // terminated within the 128-byte field
  NetPlayerBlock back;
  ASSERT_TRUE(decode_player_block(bytes, sizeof bytes, back));
  EXPECT_EQ(back.hidden, 1);
  EXPECT_EQ(back.id, -1);
  EXPECT_EQ(back.connection, -1);
  EXPECT_EQ(std::strlen(back.name), 127u);

  // A block from elsewhere with no terminator in its name field.
  std::memset(bytes + 10, 'q', 142);
  ASSERT_TRUE(decode_player_block(bytes, sizeof bytes, back));
  EXPECT_EQ(std::strlen(back.name), 127u);
  EXPECT_FALSE(decode_player_block(bytes, kNetPlayerBlockSize - 1, back));
}

// Feeds a response in the given chunk sizes; returns the body.
std::string scan(const std::string& response, const std::vector<size_t>& chunks, HttpResponseScanner& scanner) {
  std::string body;
  size_t at = 0;
  for (size_t i = 0; at < response.size(); ++i) {
    size_t n = i < chunks.size() ? chunks[i] : response.size() - at;
    if (n > response.size() - at) n = response.size() - at;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(response.data()) + at;
    size_t start = scanner.feed(p, n);
    body.append(reinterpret_cast<const char*>(p) + start, n - start);
    at += n;
  }
  return body;
}

TEST(HttpResponse, HeaderEndsAtTwoLineFeedsWhateverTheChunks) {
  const std::string crlf = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nbody\r\n\r\nmore";
  const std::string lf = "HTTP/1.1 204 Nothing\nX: y\n\nbody\n\nmore";
  for (const std::string& response : {crlf, lf}) {
    // Every split point, including one right behind the header's end.
    for (size_t split = 0; split <= response.size(); ++split) {
      HttpResponseScanner scanner;
      EXPECT_EQ(scan(response, {split}, scanner), "body" + response.substr(response.find("body") + 4)) << split;
      EXPECT_TRUE(scanner.header_done());
      EXPECT_TRUE(scanner.success());
    }
    // One byte at a time.
    HttpResponseScanner scanner;
    EXPECT_EQ(scan(response, std::vector<size_t>(response.size(), 1), scanner).substr(0, 4), "body");
  }
  // A carriage return between the line feeds does not break the pair;
  // anything else does.
  HttpResponseScanner cr;
  EXPECT_EQ(scan("HTTP/1.0 200 OK\n\r\r\nX", {}, cr), "X");
  HttpResponseScanner other;
  EXPECT_EQ(scan("HTTP/1.0 200 OK\n \nX", {}, other), "");
  EXPECT_FALSE(other.header_done());
}

TEST(HttpResponse, StatusLine) {
  auto code = [](const std::string& head) {
    HttpResponseScanner scanner;
    scanner.feed(reinterpret_cast<const uint8_t*>(head.data()), head.size());
    return scanner.status_code();
  };
  EXPECT_EQ(code("HTTP/1.0 200 OK\r\n"), 200);
  EXPECT_EQ(code("HTTP/1.1 299\r\n"), 299);
  EXPECT_EQ(code("HTTP/1.0 200 OK"), 200);  // closed before the line feed
  EXPECT_EQ(code("HTTP/1.0 404 Not Found\r\n"), 404);
  EXPECT_EQ(code("HTTP/1.0 2000 OK\r\n"), -1);
  EXPECT_EQ(code("HTTP/1.0 20 OK\r\n"), -1);
  EXPECT_EQ(code("http/1.0 200 OK\r\n"), -1);
  EXPECT_EQ(code("<html>200</html>\n\n"), -1);
  EXPECT_EQ(code(""), -1);
  HttpResponseScanner scanner;
  std::string head = "HTTP/1.0 200 OK\r\n";
  scan(head, {4, 5, 1}, scanner);
  EXPECT_TRUE(scanner.success());
}

TEST(HttpResponse, RequestText) {
  EXPECT_EQ(http_request_text("example.org", "/news file.txt"),
            "GET /news file.txt HTTP/1.0\r\nHost:example.org\r\nAccept: */*\r\nUser-Agent: Quarvel game\r\n\r\n");
}

}  // namespace
}  // namespace quarvel_test
