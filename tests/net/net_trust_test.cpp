// The host trusts no client: messages in another player's name, removals
// of other players, requests answered elsewhere, and messages only the host
// may send are dropped, counted and reported once per connection, while
// honest players go on as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "net/net_session.h"
#include "net_test_support.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

std::string text(const DynString& s) { return s.c_str(); }

// Lines of the report file that tell of a dropped network message.
void forget_reports() { std::remove((temp_dir() + "/ErrorLog.txt").c_str()); }

std::vector<std::string> refusal_reports() {
  std::vector<std::string> lines;
  std::ifstream in(temp_dir() + "/ErrorLog.txt");
  for (std::string line; std::getline(in, line);)
    if (line.find("Network session: dropped") != std::string::npos) lines.push_back(line);
  return lines;
}

// All waiting messages of a local player, with their senders.
void drain(NetSession& s, const std::string& id, std::vector<std::string>& into) {
  for (std::string m; !(m = text(s.net_get_message(id.c_str()))).empty();)
    into.push_back(text(s.net_last_sender()) + ":" + m);
}

TEST(NetTrust, ClientsSpeakOnlyForTheirOwnPlayers) {
  forget_reports();
  std::string port = free_udp_port();
  NetSession host, one, two;
  ASSERT_EQ(host.net_host_session(port.c_str()), 1);
  std::string keeper = text(host.net_create_player("keeper"));
  ASSERT_EQ(one.net_join_session("", port.c_str()), 1);
  ASSERT_EQ(two.net_join_session("", port.c_str()), 1);
  std::string ann = text(one.net_create_player("ann"));
  std::string bob = text(two.net_create_player("bob"));
  ASSERT_NE(bob, "-1");
  size_t table = host.table_size();

  // Process one speaks for bob and for the host's player, and removes them.
  EXPECT_EQ(one.net_send_message(bob.c_str(), ann.c_str(), "I am bob"), 1);
  EXPECT_EQ(one.net_send_message(keeper.c_str(), "0", "I am the keeper"), 1);
  one.net_remove_player(bob.c_str());
  one.net_remove_player(keeper.c_str());
  // Honest traffic after it arrives as before, and nothing forged with it.
  EXPECT_EQ(two.net_send_message(bob.c_str(), ann.c_str(), "really bob"), 1);
  EXPECT_EQ(host.net_send_message(keeper.c_str(), "0", "really the keeper"), 1);
  std::vector<std::string> at_ann, at_bob, at_keeper;
  wait_for([&] {
    drain(one, ann, at_ann);
    drain(two, bob, at_bob);
    return at_ann.size() >= 2 && at_bob.size() >= 1;
  });
  drain(host, keeper, at_keeper);
  std::sort(at_ann.begin(), at_ann.end());  // two senders: no order between them
  EXPECT_EQ(at_ann, (std::vector<std::string>{keeper + ":really the keeper", bob + ":really bob"}));
  EXPECT_EQ(at_bob, (std::vector<std::string>{keeper + ":really the keeper"}));
  EXPECT_TRUE(at_keeper.empty());
  EXPECT_EQ(host.table_size(), table);
  EXPECT_EQ(text(two.net_player_name(bob.c_str())), "bob");
  EXPECT_EQ(host.refused_messages(), 4u);
  // One report line for the one connection that misbehaved.
  std::vector<std::string> reports = refusal_reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("127.0.0.1:"), std::string::npos) << reports[0];

  // A player removed by its own process is gone; its name no longer speaks.
  two.net_remove_player(bob.c_str());
  EXPECT_TRUE(wait_for([&] { return host.table_size() == table - 1; }));
  EXPECT_EQ(two.net_send_message(bob.c_str(), ann.c_str(), "after leaving"), 1);
  EXPECT_TRUE(wait_for([&] { return host.refused_messages() == 5u; }));
  EXPECT_EQ(refusal_reports().size(), 2u);  // the second connection's first
}

TEST(NetTrust, OneConnectionHoldsALimitedNumberOfPlayers) {
  forget_reports();
  std::string port = free_udp_port();
  NetSession host, one, two;
  ASSERT_EQ(host.net_host_session(port.c_str()), 1);
  ASSERT_EQ(one.net_join_session("", port.c_str()), 1);
  ASSERT_EQ(two.net_join_session("", port.c_str()), 1);
  // A joined process holds its hidden request player already.
  std::vector<std::string> ids;
  for (size_t k = 1; k < NetSession::kPlayersPerConnection; ++k) {
    ids.push_back(text(one.net_create_player(("p" + std::to_string(k)).c_str())));
    ASSERT_NE(ids.back(), "-1") << k;
  }
  EXPECT_EQ(text(one.net_create_player("one too many")), "-1");
  EXPECT_EQ(host.refused_messages(), 1u);
  EXPECT_EQ(refusal_reports().size(), 1u);
  const size_t full = host.table_size();
  // Other connections are not held back, and a player that leaves makes room.
  EXPECT_NE(text(two.net_create_player("bob")), "-1");
  one.net_remove_player(ids.front().c_str());
  EXPECT_TRUE(wait_for([&] { return host.table_size() == full; }));
  EXPECT_NE(text(one.net_create_player("in the room made")), "-1");
}

#ifdef QUARVEL_NET_PEER
TEST(NetTrust, HostileProcessForgesAndFloodsWhileTwoClientsTalk) {
  forget_reports();
  std::string port = free_udp_port();
  NetSession host, one, two;
  ASSERT_EQ(host.net_host_session(port.c_str()), 1);
  // keeper 101; one's request player 102, ann 103; two's 104, bob 105.
  ASSERT_EQ(text(host.net_create_player("keeper")), "101");
  ASSERT_EQ(one.net_join_session("", port.c_str()), 1);
  ASSERT_EQ(text(one.net_create_player("ann")), "103");
  ASSERT_EQ(two.net_join_session("", port.c_str()), 1);
  ASSERT_EQ(text(two.net_create_player("bob")), "105");

  // The hostile process forges in the name of 101..110 (its own ids among
  // them: 106 and 107), then floods.
  ChildProcess hostile({QUARVEL_NET_PEER, "hostile", port, "101", "110", "20000"});
  ASSERT_TRUE(hostile.started());
  ASSERT_EQ(hostile.read_line(), "id 106 107");
  std::vector<std::string> lines;
  std::atomic<bool> hostile_done{false};
  std::thread reader([&] {
    for (std::string line; !(line = hostile.read_line()).empty();) lines.push_back(line);
    hostile_done = true;
  });

  // Ann and bob talk all the while, both ways.
  std::vector<std::string> at_ann, at_bob, at_keeper;
  int rounds = 0;
  for (; rounds < 4000 && (rounds < 300 || !hostile_done); ++rounds) {
    ASSERT_EQ(one.net_send_message("103", "105", ("a" + std::to_string(rounds)).c_str()), 1);
    ASSERT_EQ(two.net_send_message("105", "103", ("b" + std::to_string(rounds)).c_str()), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    drain(one, "103", at_ann);
    drain(two, "105", at_bob);
  }
  reader.join();
  EXPECT_EQ(hostile.wait(), 0);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "own request answered");  // its own name still works
  EXPECT_EQ(lines[2], "stray 0");               // no answer went astray
  long forged = std::stol(lines[0].substr(lines[0].find(' ') + 1));
  EXPECT_EQ(forged, 4 + 9 * 7);  // as every id but its own

  wait_for([&] {
    drain(one, "103", at_ann);
    drain(two, "105", at_bob);
    return at_ann.size() >= static_cast<size_t>(rounds) && at_bob.size() >= static_cast<size_t>(rounds);
  });
  drain(host, "101", at_keeper);
  // Nothing lost, nothing forged, in order.
  ASSERT_EQ(at_ann.size(), static_cast<size_t>(rounds));
  ASSERT_EQ(at_bob.size(), static_cast<size_t>(rounds));
  for (int i = 0; i < rounds; ++i) {
    EXPECT_EQ(at_ann[static_cast<size_t>(i)], "105:b" + std::to_string(i));
    EXPECT_EQ(at_bob[static_cast<size_t>(i)], "103:a" + std::to_string(i));
  }
  EXPECT_EQ(at_keeper, (std::vector<std::string>{"106:from mallory"}));

  // No one was removed, and the host answers as before. The hostile
  // process's own players left with its connections.
  EXPECT_TRUE(wait_for([&] { return host.table_size() == 5u; })) << host.table_size();
  EXPECT_EQ(one.net_player_count(), 3);
  EXPECT_EQ(text(one.net_player_name("105")), "bob");
  EXPECT_EQ(text(two.net_player_name("101")), "keeper");
  EXPECT_GE(host.refused_messages(), static_cast<size_t>(forged));
  EXPECT_EQ(refusal_reports().size(), 1u);
  // The forged assignment and reply left the host's own players and
  // requests alone.
  EXPECT_EQ(text(host.net_create_player("second keeper")), "108");
  EXPECT_EQ(host.net_player_count(), 4);
}
#endif

}  // namespace
}  // namespace quarvel_test
