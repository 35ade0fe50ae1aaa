// The socket layer on loopback: the initialisation count, the connection
// emulation over UDP, groups and the error conditions sessions rely on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net_test_support.h"
#include "platform/sockets.h"

namespace quarvel_test {
namespace {

using namespace quarvel::nl;

class NetSocketTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(nlInit()); }
  void TearDown() override {
    set_connection_timeout(10000);
    nlShutdown();
  }

  // A listening unreliable socket and a client connected to it; the
  // connection is accepted and its first exchange done.
  void connect_pair() {
    listener = nlOpen(0, NL_UNRELIABLE);
    ASSERT_NE(listener, NL_INVALID);
    ASSERT_TRUE(nlListen(listener));
    NLaddress address;
    ASSERT_TRUE(nlGetLocalAddr(listener, &address));
    client = nlOpen(0, NL_UNRELIABLE);
    ASSERT_TRUE(nlConnect(client, &address));
    // Written before the accept: held back and sent in order afterwards.
    ASSERT_EQ(nlWrite(client, "one", 3), 3);
    ASSERT_EQ(nlWrite(client, "two", 3), 3);
    ASSERT_TRUE(wait_for([&] {
      server = nlAcceptConnection(listener);
      return server != NL_INVALID;
    }));
    char buffer[16];
    std::string got;
    ASSERT_TRUE(wait_for([&] {
      nlRead(client, buffer, sizeof buffer);  // takes the accept in
      NLint n = nlRead(server, buffer, sizeof buffer);
      if (n > 0) got += std::string(buffer, static_cast<size_t>(n)) + ",";
      return got.size() >= 8;
    }));
    EXPECT_EQ(got, "one,two,");
  }

  NLsocket listener = NL_INVALID, client = NL_INVALID, server = NL_INVALID;
};

TEST_F(NetSocketTest, UnreliableConnectionCarriesDatagramsBothWays) {
  connect_pair();
  EXPECT_EQ(nlAcceptConnection(listener), NL_INVALID);
  EXPECT_EQ(nlGetError(), NL_NO_PENDING);

  char buffer[2000];
  EXPECT_EQ(nlRead(server, buffer, sizeof buffer), 0);  // nothing waiting
  ASSERT_EQ(nlWrite(server, "answer", 6), 6);
  NLint n = 0;
  ASSERT_TRUE(wait_for([&] { return (n = nlRead(client, buffer, sizeof buffer)) != 0; }));
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)), "answer");

  // A datagram larger than the buffer is cut to it.
  std::string big(1500, 'b');
  ASSERT_EQ(nlWrite(client, big.data(), static_cast<NLint>(big.size())), 1500);
  ASSERT_TRUE(wait_for([&] { return (n = nlRead(server, buffer, 1041)) != 0; }));
  EXPECT_EQ(n, 1041);

  // The group reports the connection readable.
  NLint group = nlGroupCreate();
  ASSERT_TRUE(nlGroupAddSocket(group, server));
  NLsocket ready[4];
  EXPECT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 4, 0), 0);
  ASSERT_EQ(nlWrite(client, "x", 1), 1);
  EXPECT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 4, 1000), 1);
  EXPECT_EQ(ready[0], server);
  EXPECT_TRUE(nlGroupDeleteSocket(group, server));
  EXPECT_FALSE(nlGroupDeleteSocket(group, server));
  EXPECT_TRUE(nlGroupDestroy(group));
}

TEST_F(NetSocketTest, CloseAndSilenceEndConnections) {
  connect_pair();
  NLint group = nlGroupCreate();
  ASSERT_TRUE(nlGroupAddSocket(group, server));
  ASSERT_TRUE(nlClose(client));
  // The closed connection shows in a poll and reads as closed by the peer.
  NLsocket ready[4];
  ASSERT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 4, 1000), 1);
  char buffer[16];
  EXPECT_EQ(nlRead(server, buffer, sizeof buffer), -1);
  EXPECT_EQ(nlGetError(), NL_CONNECTION_CLOSED);
  EXPECT_TRUE(nlClose(server));
  EXPECT_FALSE(nlClose(server));
  EXPECT_EQ(nlGetError(), NL_INVALID_SOCKET);

  // A peer that goes silent is lost after the time-out.
  connect_pair();
  set_connection_timeout(200);
  NLsocket quiet_server = server;
  // The client keeps the line alive only while it is used; unused, it
  // falls silent.
  ASSERT_TRUE(wait_for([&] { return nlRead(quiet_server, buffer, sizeof buffer) < 0; }, 3000));
  EXPECT_EQ(nlGetError(), NL_CONNECTION_LOST);
}

TEST_F(NetSocketTest, ErrorConditions) {
  NLsocket plain = nlOpen(0, NL_UNRELIABLE);
  ASSERT_NE(plain, NL_INVALID);
  EXPECT_EQ(nlAcceptConnection(plain), NL_INVALID);
  EXPECT_EQ(nlGetError(), NL_NOT_LISTEN);
  char buffer[8];
  EXPECT_EQ(nlRead(plain, buffer, sizeof buffer), -1);
  EXPECT_EQ(nlGetError(), NL_NOT_CONNECTED);

  NLaddress taken;
  ASSERT_TRUE(nlGetLocalAddr(plain, &taken));
  EXPECT_EQ(nlOpen(taken.port, NL_UNRELIABLE), NL_INVALID);
  EXPECT_EQ(nlGetError(), NL_ADDRESS_IN_USE);

  // A reliable connect to a closed port is refused.
  NLsocket tcp = nlOpen(0, NL_RELIABLE);
  NLaddress nobody;
  ASSERT_TRUE(nlGetAddrFromName("127.0.0.1", &nobody));
  ASSERT_TRUE(nlSetAddrPort(&nobody, taken.port));  // a UDP port: no TCP listener there
  nlEnable(NL_BLOCKING_IO);
  NLsocket blocking = nlOpen(0, NL_RELIABLE);
  nlDisable(NL_BLOCKING_IO);
  EXPECT_FALSE(nlConnect(blocking, &nobody));
  EXPECT_EQ(nlGetError(), NL_CONNECTION_REFUSED);
  EXPECT_TRUE(nlClose(tcp));
  EXPECT_TRUE(nlClose(blocking));
  EXPECT_TRUE(nlClose(plain));
}

TEST_F(NetSocketTest, InitialisationCountKeepsSocketsOfOtherUsers) {
  NLsocket mine = nlOpen(0, NL_UNRELIABLE);
  ASSERT_NE(mine, NL_INVALID);
  // Another user starts and ends the library: the socket stays.
  ASSERT_TRUE(nlInit());
  nlShutdown();
  NLaddress a;
  EXPECT_TRUE(nlGetLocalAddr(mine, &a));
  // The last shutdown closes everything; nothing works until the next init.
  int before = open_socket_count();
  EXPECT_GE(before, 1);
  nlShutdown();
  EXPECT_EQ(open_socket_count(), 0);
  EXPECT_FALSE(nlGetLocalAddr(mine, &a));
  EXPECT_EQ(nlGetError(), NL_NOT_INITIALISED);
  EXPECT_EQ(nlOpen(0, NL_UNRELIABLE), NL_INVALID);
  nlShutdown();  // below zero: nothing happens
  ASSERT_TRUE(nlInit());
}

TEST_F(NetSocketTest, Addresses) {
  NLaddress a;
  ASSERT_TRUE(nlGetAddrFromName("127.0.0.1:8080", &a));
  EXPECT_EQ(a.port, 8080);
  ASSERT_TRUE(nlSetAddrPort(&a, 26000));
  char text[kAddressTextSize];
  EXPECT_STREQ(nlAddrToString(&a, text, sizeof text), "127.0.0.1:26000");
  ASSERT_TRUE(nlSetAddrPort(&a, 0));
  EXPECT_STREQ(nlAddrToString(&a, text, sizeof text), "127.0.0.1");
  EXPECT_TRUE(nlGetAddrFromName("localhost", &a));
  EXPECT_FALSE(nlGetAddrFromName("", &a));
  EXPECT_FALSE(a.valid);
  NLaddress all[16];
  NLint n = nlGetAllLocalAddr(all, 16);
  bool loopback = false;
  for (NLint i = 0; i < n; ++i) loopback = loopback || all[i].ip == 0x7F000001u;
  EXPECT_TRUE(loopback);
}

}  // namespace
}  // namespace quarvel_test
