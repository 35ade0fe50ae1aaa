// Messages per second a host routes between two clients on loopback, each
// a session with its own thread; against a raw UDP ping-pong between two
// sockets in the same run (the ratio is the "vs_udp" counter).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>

#include "net/net_session.h"
#include "platform/sockets.h"

namespace {

using namespace quarvel;

double g_udp_per_second = 0;

void BM_UdpPingPong(benchmark::State& state) {
  int a = ::socket(AF_INET, SOCK_DGRAM, 0), b = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sa{}, sb{};
  sa.sin_family = sb.sin_family = AF_INET;
  sa.sin_addr.s_addr = sb.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(a, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  ::bind(b, reinterpret_cast<sockaddr*>(&sb), sizeof sb);
  socklen_t len = sizeof sa;
  ::getsockname(a, reinterpret_cast<sockaddr*>(&sa), &len);
  len = sizeof sb;
  ::getsockname(b, reinterpret_cast<sockaddr*>(&sb), &len);
  ::connect(a, reinterpret_cast<sockaddr*>(&sb), sizeof sb);
  ::connect(b, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  std::thread echo([b] {
    char buffer[1100];
    for (;;) {
      ssize_t n = ::recv(b, buffer, sizeof buffer, 0);
      if (n <= 1) return;
      ::send(b, buffer, static_cast<size_t>(n), 0);
    }
  });
  char message[40] = "QVLN a message of thirty bytes";
  char buffer[1100];
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    ::send(a, message, sizeof message, 0);
    ::recv(a, buffer, sizeof buffer, 0);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (seconds > 0) g_udp_per_second = static_cast<double>(state.iterations()) / seconds;
  ::send(a, "x", 1, 0);
  echo.join();
  ::close(a);
  ::close(b);
  state.SetItemsProcessed(state.iterations());
}

void BM_HostRouting(benchmark::State& state) {
  const int batch = static_cast<int>(state.range(0));
  nl::nlInit();
  nl::NLsocket probe = nl::nlOpen(0, nl::NL_UNRELIABLE);
  nl::NLaddress a;
  nl::nlGetLocalAddr(probe, &a);
  nl::nlClose(probe);
  std::string port = std::to_string(a.port);
  NetSession host, one, two;
  if (host.net_host_session(port.c_str()) != 1 || one.net_join_session("", port.c_str()) != 1 ||
      two.net_join_session("", port.c_str()) != 1) {
    state.SkipWithError("no session");
    return;
  }
  std::string from = one.net_create_player("one").c_str();
  std::string to = two.net_create_player("two").c_str();
  long delivered = 0, lost = 0;
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    for (int i = 0; i < batch; ++i) one.net_send_message(from.c_str(), to.c_str(), "a message of thirty bytes.....");
    int got = 0;
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (got < batch && std::chrono::steady_clock::now() < give_up) {
      if (two.net_get_message(to.c_str()).length_of() > 0) {
        ++got;
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
    delivered += got;
    lost += batch - got;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.SetItemsProcessed(delivered);
  state.counters["lost"] = static_cast<double>(lost);
  if (seconds > 0 && g_udp_per_second > 0)
    state.counters["vs_udp"] = static_cast<double>(delivered) / seconds / g_udp_per_second;
  nl::nlShutdown();
}

}  // namespace

BENCHMARK(BM_UdpPingPong)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_HostRouting)->Arg(1)->Arg(64)->Arg(256)->UseRealTime()->MinTime(2.0);
BENCHMARK_MAIN();
