// A second process for the network tests.
//   net_peer flood PORT COUNT
//       joins the host's listening port at the socket level and sends COUNT
//       malformed messages over the connection (short, bad magic, lying
//       length), plus stray datagrams straight at the listening port.
//   net_peer join PORT NAME WAIT_MS normal|crash
//       joins the session on this machine, creates a player, prints
//       "id <id>", broadcasts "hello from NAME", collects messages for
//       WAIT_MS printing "msg <sender> <text>", then ends: normally (players
//       announced gone) or by _exit without a word.
//   net_peer hostile PORT FIRST LAST FLOOD
//       opens two connections to the host at the message level and registers
//       a player on each (prints "id <main> <second>"). Over the main one it
//       sends one of each forgery in the name of every id FIRST..LAST but
//       its own (texts, removals, requests, plus assignments and replies no
//       client may send; prints "forged <count>"), one honest text to id
//       FIRST ("from mallory"), then FLOOD forgeries as fast as it can. At
//       the end it prints "own request answered" when its own request is
//       still answered on its own connection, and "stray <n>": how many
//       messages reached the second connection, which asked for nothing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <quarvel/network.h>

#include "core/engine_state.h"
#include "net/formats/net_message.h"
#include "net/net_session.h"
#include "platform/sockets.h"

using namespace quarvel;
using namespace quarvel::nl;

namespace {

double now_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void put_i32(uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); }

NLsocket open_connection(const NLaddress& host) {
  NLsocket s = nlOpen(0, NL_UNRELIABLE);
  if (s != NL_INVALID && !nlConnect(s, &host)) {
    nlClose(s);
    return NL_INVALID;
  }
  return s;
}

int flood(uint16_t port, long count) {
  nlInit();
  NLaddress host;
  nlGetAddrFromName("127.0.0.1", &host);
  nlSetAddrPort(&host, port);
  NLsocket s = open_connection(host);
  if (s == NL_INVALID) return 2;
  double give_up = now_ms() + 60000;
  // A raw socket aimed at the listening port itself.
  int raw = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

  std::mt19937 random(12345);
  uint8_t d[1100];
  long sent = 0;
  while (sent < count) {
    for (auto& b : d) b = static_cast<uint8_t>(random());
    size_t size = 0;
    switch (sent % 5) {
      case 0:  // short
        size = random() % 17;
        if (size >= 4) std::memcpy(d, "QVLN", 4);
        break;
      case 1:  // bad magic, plausible rest
        size = 17 + random() % 64;
        std::memcpy(d, "QVLM", 4);
        put_i32(d + 5, static_cast<int32_t>(size - 17));
        break;
      case 2:  // length beyond the datagram
        size = 17 + random() % 32;
        std::memcpy(d, "QVLN", 4);
        put_i32(d + 5, static_cast<int32_t>(size - 17 + 1 + random() % 1000));
        break;
      case 3:  // length beyond 1024 or negative, in a full datagram
        size = 1041 + random() % 50;
        std::memcpy(d, "QVLN", 4);
        put_i32(d + 5, (random() & 1) ? 1025 + static_cast<int32_t>(random() % 100000)
                                      : -1 - static_cast<int32_t>(random() % 1000));
        break;
      case 4:  // stray datagrams at the listening port (never a connect)
        size = 1 + random() % 40;
        if (d[0] == 1) d[0] = 7;
        ::sendto(raw, d, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        ++sent;
        continue;
    }
    if (nlWrite(s, d, static_cast<NLint>(size)) < 0) {
      if (now_ms() > give_up) break;
      NLenum error = nlGetError();
      if (error == NL_CONNECTION_LOST || error == NL_CONNECTION_CLOSED) {
        std::fprintf(stderr, "flood: connection %s, connecting again\n",
                     error == NL_CONNECTION_LOST ? "lost" : "closed");
        nlClose(s);
        s = open_connection(host);
        if (s == NL_INVALID) break;
        continue;
      }
      // Held back until the connection is accepted: wait a little.
      uint8_t sink[64];
      nlRead(s, sink, sizeof sink);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    ++sent;
    // Let the host's reader keep up with part of it; the rest overflows the
    // connection's own queue, which is the point.
    if (sent % 200 == 0) {
      uint8_t sink[64];
      nlRead(s, sink, sizeof sink);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }
  ::close(raw);
  nlClose(s);
  nlShutdown();
  std::printf("flooded %ld\n", sent);
  return 0;
}

// ------------------------------------------------------------ hostile ---

bool send_message(NLsocket s, const NetMessage& m) {
  uint8_t bytes[kNetMaxDatagram];
  size_t n = encode_net_message(m, bytes);
  return nlWrite(s, bytes, static_cast<NLint>(n)) == static_cast<NLint>(n);
}

// The next message on the connection within timeout_ms; false when none.
bool next_message(NLsocket s, NetMessage& m, double timeout_ms) {
  double end = now_ms() + timeout_ms;
  uint8_t buffer[kNetMaxDatagram];
  while (now_ms() < end) {
    NLint n = nlRead(s, buffer, sizeof buffer);
    if (n > 0 && accept_net_message(buffer, static_cast<size_t>(n), m)) return true;
    if (n <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Registers a player over the connection; its id, or -1.
int32_t register_player(NLsocket s, const char* name) {
  NetPlayerBlock block;
  std::strncpy(block.name, name, kNetMaxNameLength);
  uint8_t bytes[kNetPlayerBlockSize];
  encode_player_block(block, bytes);
  NetMessage m;
  m.type = kNetRegister;
  m.set_payload(bytes, sizeof bytes);
  for (int attempt = 0; attempt < 5; ++attempt) {
    send_message(s, m);
    NetMessage answer;
    double end = now_ms() + 1000;
    while (now_ms() < end && next_message(s, answer, end - now_ms()))
      if (answer.type == kNetAssignId && answer.sender == 0) return answer.destination;
  }
  return -1;
}

// A connection check in the player's own name; true when answered.
bool own_request(NLsocket s, int32_t id) {
  NetMessage check;
  check.type = kNetCheckRequest;
  check.sender = id;
  for (int attempt = 0; attempt < 5; ++attempt) {
    send_message(s, check);
    NetMessage answer;
    double end = now_ms() + 1000;
    while (now_ms() < end && next_message(s, answer, end - now_ms()))
      if (answer.type == kNetCheckRequest && answer.sender == 0 && answer.destination == id) return true;
  }
  return false;
}

// The forgeries in the name of a player: texts to everyone and to a
// neighbour, a removal, the four requests.
std::vector<NetMessage> forgeries_as(int32_t victim) {
  std::vector<NetMessage> list;
  NetMessage m;
  m.sender = victim;
  m.type = kNetUser;
  m.destination = -1;
  m.set_text("forged broadcast");
  list.push_back(m);
  m.destination = victim + 1;
  m.set_text("forged text");
  list.push_back(m);
  m = NetMessage();
  m.sender = victim;
  m.type = kNetRemove;
  list.push_back(m);
  for (uint8_t type : {kNetCountRequest, kNetIdRequest, kNetNameRequest, kNetCheckRequest}) {
    m = NetMessage();
    m.type = type;
    m.sender = victim;
    m.set_int(type == kNetNameRequest ? victim : 0);
    list.push_back(m);
  }
  return list;
}

// Messages only the host may send, and types nobody sends.
std::vector<NetMessage> host_forgeries() {
  std::vector<NetMessage> list;
  NetMessage m;
  m.type = kNetAssignId;  // an id for the host's next local player
  m.destination = 4242;
  list.push_back(m);
  m = NetMessage();
  m.type = kNetCountRequest;  // a reply for the host's next request
  m.destination = 101;
  m.set_int(77);
  list.push_back(m);
  for (uint8_t type : {uint8_t(0), uint8_t(200)}) {
    m = NetMessage();
    m.type = type;
    m.sender = 101;
    list.push_back(m);
  }
  return list;
}

int hostile(uint16_t port, int32_t first, int32_t last, long flood) {
  nlInit();
  NLaddress host;
  nlGetAddrFromName("127.0.0.1", &host);
  nlSetAddrPort(&host, port);
  NLsocket main = open_connection(host), second = open_connection(host);
  if (main == NL_INVALID || second == NL_INVALID) return 2;
  int32_t me = register_player(main, "mallory");
  int32_t other = register_player(second, "mallory's second");
  std::printf("id %d %d\n", me, other);
  std::fflush(stdout);
  if (me < 0 || other < 0) return 3;
  if (!own_request(main, me)) std::printf("own request not answered\n");

  std::vector<NetMessage> all = host_forgeries();
  for (int32_t victim = first; victim <= last; ++victim) {
    if (victim == me) continue;
    for (const NetMessage& m : forgeries_as(victim)) all.push_back(m);
  }
  long forged = 0;
  for (const NetMessage& m : all) {
    if (send_message(main, m)) ++forged;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  NetMessage honest;
  honest.type = kNetUser;
  honest.sender = me;
  honest.destination = first;
  honest.set_text("from mallory");
  send_message(main, honest);
  std::printf("forged %ld\n", forged);
  std::fflush(stdout);

  double give_up = now_ms() + 60000;
  for (long i = 0; i < flood && now_ms() < give_up; ++i) {
    if (!send_message(main, all[static_cast<size_t>(i) % all.size()])) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    if (i % 200 == 0) {  // keep the connection alive; let the host catch up a little
      uint8_t sink[kNetMaxDatagram];
      nlRead(main, sink, sizeof sink);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }
  // Whatever the flood left in the host's queue is worked off first.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::printf("%s\n", own_request(main, me) ? "own request answered" : "own request not answered");
  int stray = 0;
  NetMessage m;
  while (next_message(second, m, 200)) ++stray;
  std::printf("stray %d\n", stray);
  std::fflush(stdout);
  nlClose(main);
  nlClose(second);
  nlShutdown();
  return 0;
}

int join(const char* port, const char* name, int wait_ms, bool crash) {
  engine().net = new NetSession();
  if (net_join_session("", port) != 1) {
    std::printf("join failed\n");
    return 3;
  }
  DynString id = net_create_player(name);
  std::printf("id %s\n", id.c_str());
  std::fflush(stdout);
  net_send_message(id, "0", DynString("hello from ") + name);
  double end = now_ms() + wait_ms;
  while (now_ms() < end) {
    DynString text = net_get_message(id);
    if (text.length_of() > 0) {
      std::printf("msg %s %s\n", net_last_sender().c_str(), text.c_str());
      std::fflush(stdout);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  std::fflush(stdout);
  if (crash) _exit(0);
  engine().net->shutdown();
  delete engine().net;
  engine().net = nullptr;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "flood") == 0) {
    return flood(static_cast<uint16_t>(std::atoi(argv[2])), std::atol(argv[3]));
  }
  if (argc >= 6 && std::strcmp(argv[1], "hostile") == 0) {
    return hostile(static_cast<uint16_t>(std::atoi(argv[2])), std::atoi(argv[3]), std::atoi(argv[4]),
                   std::atol(argv[5]));
  }
  if (argc >= 6 && std::strcmp(argv[1], "join") == 0) {
    return join(argv[2], argv[3], std::atoi(argv[4]), std::strcmp(argv[5], "crash") == 0);
  }
  std::fprintf(stderr,
               "usage: net_peer flood PORT COUNT | join PORT NAME WAIT_MS normal|crash |"
               " hostile PORT FIRST LAST FLOOD\n");
  return 1;
}
