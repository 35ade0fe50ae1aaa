// "QVLN" message acceptance and encoding and player blocks: pure functions
// over bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace quarvel_test
