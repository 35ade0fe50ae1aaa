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
        put_i32(d + 5, (random() & 1) ? 1025 + static_cast<int32_t>(random() % 100000) : -1 - static_cast<int32_t>(random() % 1000));
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
        std::fprintf(stderr, "flood: connection %s, connecting again\n", error == NL_CONNECTION_LOST ? "lost" : "closed");
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
  if (argc >= 6 && std::strcmp(argv[1], "join") == 0) {
    return join(argv[2], argv[3], std::atoi(argv[4]), std::strcmp(argv[5], "crash") == 0);
  }
  std::fprintf(stderr, "usage: net_peer flood PORT COUNT | join PORT NAME WAIT_MS normal|crash\n");
  return 1;
}
