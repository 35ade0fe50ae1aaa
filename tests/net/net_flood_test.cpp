// A host keeps routing while another process floods it with malformed
// datagrams and 64 clients join and leave.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "net/net_session.h"
#include "net_test_support.h"
#include "platform/sockets.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

#ifdef QUARVEL_NET_PEER
TEST(NetFlood, HostRoutesThroughMalformedFloodAndChurn) {
  std::string port = free_udp_port();
  NetSession host;
  ASSERT_EQ(host.net_host_session(port.c_str()), 1);
  NetSession sender, receiver;
  ASSERT_EQ(sender.net_join_session("", port.c_str()), 1);
  ASSERT_EQ(receiver.net_join_session("", port.c_str()), 1);
  std::string from = sender.net_create_player("sender").c_str();
  std::string to = receiver.net_create_player("receiver").c_str();
  ASSERT_NE(to, "-1");
  size_t table_before = host.table_size();

  ChildProcess flood({QUARVEL_NET_PEER, "flood", port, "100000"});
  ASSERT_TRUE(flood.started());

  // 64 clients join, create a player, and leave, eight at a time.
  std::atomic<int> joined{0}, players{0};
  std::vector<std::thread> churn;
  for (int t = 0; t < 8; ++t) {
    churn.emplace_back([&] {
      for (int i = 0; i < 8; ++i) {
        NetSession client;
        if (client.net_join_session("", port.c_str()) == 1) ++joined;
        if (std::string(client.net_create_player("churn").c_str()) != "-1") ++players;
        client.shutdown();
      }
    });
  }

  // Real messages all the while.
  constexpr int kMessages = 300;
  std::vector<std::string> received;
  for (int i = 0; i < kMessages; ++i) {
    ASSERT_EQ(sender.net_send_message(from.c_str(), to.c_str(), ("m" + std::to_string(i)).c_str()), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    for (std::string m; !(m = receiver.net_get_message(to.c_str()).c_str()).empty();) received.push_back(m);
  }
  for (std::thread& t : churn) t.join();
  EXPECT_EQ(flood.read_line(), "flooded 100000");
  EXPECT_EQ(flood.wait(), 0);
  wait_for([&] {
    for (std::string m; !(m = receiver.net_get_message(to.c_str()).c_str()).empty();) received.push_back(m);
    return received.size() >= static_cast<size_t>(kMessages);
  });
  ASSERT_EQ(received.size(), static_cast<size_t>(kMessages));
  for (int i = 0; i < kMessages; ++i) EXPECT_EQ(received[static_cast<size_t>(i)], "m" + std::to_string(i));
  EXPECT_EQ(joined.load(), 64);
  EXPECT_EQ(players.load(), 64);

  // Everyone who left is gone from the table, and the host still answers.
  EXPECT_TRUE(wait_for([&] { return host.table_size() == table_before; })) << host.table_size();
  EXPECT_EQ(receiver.net_player_count(), 2);
  EXPECT_EQ(std::string(receiver.net_player_name(from.c_str()).c_str()), "sender");
}
#endif

}  // namespace
}  // namespace quarvel_test
