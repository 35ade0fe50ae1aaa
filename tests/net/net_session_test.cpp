// Network sessions on loopback: a host and clients, each a NetSession of
// its own with its own thread, and client processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <quarvel/network.h>

#include "core/engine_state.h"
#include "net/net_session.h"
#include "net_test_support.h"
#include "platform/sockets.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

std::string text(const DynString& s) { return s.c_str(); }

// Waits for the next message of a local player.
std::string next_message(NetSession& s, const std::string& id, int timeout_ms = 3000) {
  std::string got;
  wait_for([&] { return !(got = text(s.net_get_message(id.c_str()))).empty(); }, timeout_ms);
  return got;
}

TEST(NetSession, HostPlayersAndJoinedPlayersRegisterThroughTheHost) {
  std::string port = free_udp_port();
  NetSession host;
  ASSERT_EQ(host.net_host_session(port.c_str()), 1);
  EXPECT_TRUE(host.is_host());
  // The host's own players register like remote ones, ids in creation order.
  EXPECT_EQ(text(host.net_create_player("Ann")), "101");
  EXPECT_EQ(text(host.net_create_player("Bob")), "102");

  NetSession client;
  ASSERT_EQ(client.net_join_session("", port.c_str()), 1);  // empty: this machine
  // The join's check made the client's hidden request player: 103.
  EXPECT_EQ(text(client.net_create_player(std::string(200, 'c').c_str())), "104");

  // Hidden request players are neither counted nor listed.
  EXPECT_EQ(client.net_player_count(), 3);
  EXPECT_EQ(host.net_player_count(), 3);  // the host's request player: 105
  EXPECT_EQ(text(client.net_player_id(0)), "101");
  EXPECT_EQ(text(client.net_player_id(1)), "102");
  EXPECT_EQ(text(client.net_player_id(2)), "104");
  EXPECT_EQ(text(client.net_player_id(3)), "0");
  EXPECT_EQ(text(client.net_player_id(-1)), "0");
  EXPECT_EQ(text(host.net_player_name("102")), "Bob");
  EXPECT_EQ(text(host.net_player_name("104")), std::string(127, 'c'));
  EXPECT_EQ(host.table_size(), 5u);

  // Shutdown of the client announces its players gone: the host forgets
  // the player and the request player.
  client.shutdown();
  EXPECT_FALSE(client.thread_running());
  EXPECT_TRUE(wait_for([&] { return host.table_size() == 3u; }));
  EXPECT_EQ(host.net_player_count(), 2);
}

TEST(NetSession, MessagesOneToOneAndToEveryone) {
  std::string port = free_udp_port();
  NetSession host, one, two;
  ASSERT_EQ(host.net_host_session(port.c_str()), 1);
  std::string h = text(host.net_create_player("host"));
  ASSERT_EQ(one.net_join_session("127.0.0.1", port.c_str()), 1);
  ASSERT_EQ(two.net_join_session("localhost", port.c_str()), 1);
  std::string a = text(one.net_create_player("a1"));
  std::string a2 = text(one.net_create_player("a2"));
  std::string b = text(two.net_create_player("b"));
  ASSERT_NE(b, "-1");

  // To everyone (recipient 0): every visible player of every process but
  // the sender, each copy delivered by its own id.
  EXPECT_EQ(one.net_send_message(a.c_str(), "0", "all of you"), 1);
  EXPECT_EQ(next_message(host, h), "all of you");
  EXPECT_EQ(next_message(one, a2), "all of you");
  EXPECT_EQ(next_message(two, b), "all of you");
  EXPECT_EQ(text(two.net_last_sender()), a);
  // No copy for the sender, and one copy each.
  ASSERT_EQ(two.net_send_message(b.c_str(), a2.c_str(), "marker"), 1);
  EXPECT_EQ(next_message(one, a2), "marker");
  EXPECT_EQ(text(one.net_get_message(a.c_str())), "");
  EXPECT_EQ(text(host.net_get_message(h.c_str())), "");

  // One to one, across processes and within the host.
  ASSERT_EQ(host.net_send_message(h.c_str(), a.c_str(), "for a"), 1);
  EXPECT_EQ(next_message(one, a), "for a");
  EXPECT_EQ(text(one.net_last_sender()), h);
  std::string h2 = text(host.net_create_player("host2"));
  ASSERT_EQ(host.net_send_message(h.c_str(), h2.c_str(), std::string(1500, 'x').c_str()), 1);
  EXPECT_EQ(next_message(host, h2), std::string(1024, 'x'));  // cut to 1024

  // An id that is not a local player: empty, and the last sender stays.
  EXPECT_EQ(text(one.net_get_message(b.c_str())), "");
  EXPECT_EQ(text(one.net_get_message("abc")), "");
  EXPECT_EQ(text(one.net_last_sender()), h);

  // Removing a negative id sends nothing and answers 1; a real removal
  // takes the player out of the host's table.
  size_t before = host.table_size();
  EXPECT_EQ(one.net_remove_player("-1"), 1);
  EXPECT_EQ(one.net_remove_player(a2.c_str()), 1);
  EXPECT_TRUE(wait_for([&] { return host.table_size() == before - 1; }));
  EXPECT_EQ(one.net_player_count(), 4);  // host, host2, a1, b
}

TEST(NetSession, DefaultPortAndLocalAddresses) {
  EXPECT_EQ(NetSession::port_from_text("0"), 26000);
  EXPECT_EQ(NetSession::port_from_text("-7"), 26000);
  EXPECT_EQ(NetSession::port_from_text("abc"), 26000);
  EXPECT_EQ(NetSession::port_from_text("65536"), 26000);
  EXPECT_EQ(NetSession::port_from_text("65537"), 1);
  EXPECT_EQ(NetSession::port_from_text("4000.9"), 4000);

  // The only test that uses the default port itself.
  for (const char* port : {"0", "-5", "not a port"}) {
    NetSession host, client;
    ASSERT_EQ(host.net_host_session(port), 1) << port;
    EXPECT_EQ(client.net_join_session("", "26000"), 1) << port;
  }

  // Listing the local addresses ends a running session.
  NetSession host;
  ASSERT_EQ(host.net_host_session(free_udp_port().c_str()), 1);
  std::string addresses = text(host.net_local_addresses());
  EXPECT_FALSE(host.thread_running());
  EXPECT_FALSE(host.is_host());
  EXPECT_NE(("|" + addresses + "|").find("|127.0.0.1|"), std::string::npos) << addresses;
}

TEST(NetSession, FailuresGiveTheFailureValues) {
  // Nobody hosts on this port: the join's check goes unanswered.
  NetSession lonely;
  EXPECT_EQ(lonely.net_join_session("", free_udp_port().c_str()), 0);
  EXPECT_FALSE(lonely.thread_running());
  EXPECT_EQ(lonely.net_send_message("101", "0", "nobody"), 0);

  // A host does not know a name for an id it never gave.
  std::string port = free_udp_port();
  NetSession host;
  ASSERT_EQ(host.net_host_session(port.c_str()), 1);
  EXPECT_EQ(text(host.net_player_name("999")), "NO_DATA");
  // A port in use cannot be hosted twice.
  NetSession second;
  EXPECT_EQ(second.net_host_session(port.c_str()), 0);
}

TEST(NetSession, CommandsUseTheRuntimeSession) {
  EngineState& e = engine();
  ASSERT_EQ(e.net, nullptr);
  // No session object: the failure values, nothing waits.
  EXPECT_EQ(net_player_count(), 0);
  EXPECT_EQ(text(net_player_name("101")), "NO_DATA");
  EXPECT_EQ(net_remove_player("-1"), 1);
  e.net = new NetSession();
  std::string port = free_udp_port();
  ASSERT_EQ(net_host_session(port.c_str()), 1);
  std::string me = text(net_create_player("me"));
  EXPECT_EQ(me, "101");
  EXPECT_EQ(net_player_count(), 1);
  ASSERT_EQ(net_send_message(me.c_str(), me.c_str(), "to myself"), 1);
  std::string got;
  EXPECT_TRUE(wait_for([&] { return !(got = text(net_get_message(me.c_str()))).empty(); }));
  EXPECT_EQ(got, "to myself");
  EXPECT_EQ(text(net_last_sender()), me);
  e.net->shutdown();
  delete e.net;
  e.net = nullptr;
}

#ifdef QUARVEL_NET_PEER
TEST(NetSession, ClientProcessesJoinTalkAndLeave) {
  // A short time-out for lines that fall silent, from the start, so that
  // every line keeps itself alive at the matching pace.
  nl::set_connection_timeout(1000);
  std::string port = free_udp_port();
  NetSession host;
  ASSERT_EQ(host.net_host_session(port.c_str()), 1);
  std::string h = text(host.net_create_player("host"));

  // One client ends normally, one dies without a word; both sent a
  // broadcast the host's player sees.
  ChildProcess polite({QUARVEL_NET_PEER, "join", port, "polite", "1500", "normal"});
  ChildProcess rude({QUARVEL_NET_PEER, "join", port, "rude", "1500", "crash"});
  ASSERT_TRUE(polite.started() && rude.started());
  std::string polite_id = polite.read_line();
  std::string rude_id = rude.read_line();
  ASSERT_EQ(polite_id.rfind("id 1", 0), 0u) << polite_id;
  ASSERT_EQ(rude_id.rfind("id 1", 0), 0u) << rude_id;
  std::vector<std::string> got = {next_message(host, h), next_message(host, h)};
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::string>{"hello from polite", "hello from rude"}));
  EXPECT_EQ(host.net_player_count(), 3);
  EXPECT_EQ(text(host.net_player_name(polite_id.substr(3).c_str())), "polite");

  // The host's broadcast reaches both processes.
  ASSERT_EQ(host.net_send_message(h.c_str(), "0", "bye"), 1);
  for (ChildProcess* child : {&polite, &rude}) {
    std::string line, all;
    while (!(line = child->read_line()).empty()) all += line + "\n";
    EXPECT_NE(all.find("msg " + h + " bye\n"), std::string::npos) << all;
    EXPECT_EQ(child->wait(), 0);
  }

  // The polite client announced its players gone; the silent one is
  // dropped with every player of its connection once the line times out.
  EXPECT_TRUE(wait_for([&] { return host.table_size() == 2u; }, 5000)) << host.table_size();
  EXPECT_EQ(host.net_player_count(), 1);
  host.shutdown();
  nl::set_connection_timeout(10000);
}
#endif

}  // namespace
}  // namespace quarvel_test
