// The socket layer over POSIX sockets, std::thread and std::mutex.
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/sockets.h"

namespace quarvel::nl {
namespace {

enum Kind : uint8_t { kConnect = 1, kAccept = 2, kClose = 3, kKeepalive = 4, kData = 5 };

constexpr double kConnectRepeatMs = 100;
constexpr double kKeepaliveMs = 1000;
constexpr size_t kMaxHeldWrites = 256;
constexpr int kListenDrainLimit = 512;
constexpr size_t kMaxBacklog = 256;
constexpr int kMaxDatagram = 65536;
constexpr int kReceiveBuffer = 1 << 20;

double clock_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

enum class Role { plain, listening, connecting, connected, accepted };
enum class Status { ok, closed, lost };

struct Socket {
  std::mutex lock;
  int fd = -1;
  NLenum type = NL_UNRELIABLE;
  Role role = Role::plain;
  bool blocking = false;
  int connect_timeout_ms = 10000;
  int io_timeout_ms = 30000;
  // Unreliable connections.
  Status status = Status::ok;
  sockaddr_in peer{};
  uint64_t nonce = 0;
  double started_ms = 0, last_connect_ms = 0, last_send_ms = 0, last_receive_ms = 0;
  std::deque<std::vector<uint8_t>> held;  // writes before the accept arrived
  // Listening unreliable sockets: connections by peer, and those not yet
  // handed out.
  struct PeerEntry {
    NLsocket socket;
    uint64_t nonce;
  };
  std::map<uint64_t, PeerEntry> peers;
  std::deque<NLsocket> backlog;
  // Accepted connections: the listening socket and the peer key there.
  NLsocket parent = NL_INVALID;
  uint64_t peer_key = 0;
};

using SocketPtr = std::shared_ptr<Socket>;

struct Library {
  std::mutex lock;
  int init_count = 0;
  NLsocket next_socket = 1;
  NLint next_group = 1;
  std::unordered_map<NLsocket, SocketPtr> sockets;
  std::unordered_map<NLint, std::vector<NLsocket>> groups;
};

Library& library() {
  static Library* lib = new Library();  // outlives every thread
  return *lib;
}

std::atomic<int> g_connection_timeout_ms{10000};

thread_local NLenum t_error = NL_NO_ERROR;
thread_local bool t_blocking = false;
thread_local int t_connect_timeout_ms = 10000;
thread_local int t_io_timeout_ms = 30000;

template <class T>
T fail(NLenum error, T value) {
  t_error = error;
  return value;
}

bool initialised() {
  Library& lib = library();
  std::lock_guard<std::mutex> guard(lib.lock);
  return lib.init_count > 0;
}

SocketPtr find_socket(NLsocket socket) {
  Library& lib = library();
  std::lock_guard<std::mutex> guard(lib.lock);
  if (lib.init_count == 0) {
    t_error = NL_NOT_INITIALISED;
    return nullptr;
  }
  auto it = lib.sockets.find(socket);
  if (it == lib.sockets.end()) {
    t_error = NL_INVALID_SOCKET;
    return nullptr;
  }
  return it->second;
}

NLsocket register_socket(SocketPtr s) {
  Library& lib = library();
  std::lock_guard<std::mutex> guard(lib.lock);
  NLsocket id = lib.next_socket++;
  if (lib.next_socket <= 0) lib.next_socket = 1;
  lib.sockets[id] = std::move(s);
  return id;
}

uint64_t peer_key_of(const sockaddr_in& a) {
  return (static_cast<uint64_t>(ntohl(a.sin_addr.s_addr)) << 16) | ntohs(a.sin_port);
}

uint64_t new_nonce() {
  static std::mutex m;
  static std::mt19937_64 generator(std::random_device{}());
  std::lock_guard<std::mutex> guard(m);
  return generator();
}

void put_u64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint64_t get_u64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

sockaddr_in to_sockaddr(const NLaddress& a) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(a.ip);
  sa.sin_port = htons(a.port);
  return sa;
}

// Waits until fd is ready for events or timeout_ms passed; false on timeout.
bool wait_fd(int fd, short events, int timeout_ms) {
  pollfd p{fd, events, 0};
  double deadline = clock_ms() + timeout_ms;
  for (;;) {
    int left = timeout_ms < 0 ? -1 : static_cast<int>(deadline - clock_ms());
    if (timeout_ms >= 0 && left < 0) left = 0;
    int r = ::poll(&p, 1, left);
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return true;  // let the caller see the error
  }
}

// One control or data datagram on a kernel-connected socket. False when the
// system refused it (ECONNREFUSED marks the connection lost).
bool send_kind(Socket& s, uint8_t kind, const void* payload, size_t length) {
  static thread_local uint8_t datagram[kMaxDatagram];
  if (length + 1 > sizeof datagram) return false;
  datagram[0] = kind;
  if (length) std::memcpy(datagram + 1, payload, length);
  for (int attempt = 0; attempt < 2; ++attempt) {
    ssize_t n = ::send(s.fd, datagram, length + 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(length + 1)) {
      s.last_send_ms = clock_ms();
      return true;
    }
    if (n < 0 && errno == ECONNREFUSED) {
      s.status = Status::lost;
      return false;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS || errno == EINTR)) {
      // The send queue is full for a moment: wait a little, once.
      wait_fd(s.fd, POLLOUT, 50);
      continue;
    }
    return false;
  }
  return false;
}

void send_connect(Socket& s) {
  uint8_t nonce[8];
  put_u64(nonce, s.nonce);
  send_kind(s, kConnect, nonce, sizeof nonce);
  s.last_connect_ms = clock_ms();
}

// Time-driven duties of an unreliable connection: repeat the connect,
// keep the line alive, notice silence. Called with s.lock held.
void maintain(Socket& s) {
  if (s.type != NL_UNRELIABLE || s.status != Status::ok) return;
  double now = clock_ms();
  double timeout = g_connection_timeout_ms.load(std::memory_order_relaxed);
  if (s.role == Role::connecting) {
    if (now - s.started_ms > timeout) {
      s.status = Status::lost;
      return;
    }
    if (now - s.last_connect_ms >= kConnectRepeatMs) send_connect(s);
    return;
  }
  if (s.role != Role::connected && s.role != Role::accepted) return;
  if (now - s.last_receive_ms > timeout) {
    s.status = Status::lost;
    return;
  }
  // Often enough that a peer with a short time-out never sees silence.
  double keepalive = timeout / 4 < kKeepaliveMs ? timeout / 4 : kKeepaliveMs;
  if (now - s.last_send_ms >= keepalive) send_kind(s, kKeepalive, nullptr, 0);
}

void flush_held(Socket& s) {
  while (!s.held.empty() && s.status == Status::ok) {
    std::vector<uint8_t>& d = s.held.front();
    send_kind(s, kData, d.data(), d.size());
    s.held.pop_front();
  }
}

NLenum status_error(const Socket& s) {
  return s.status == Status::closed ? NL_CONNECTION_CLOSED : NL_CONNECTION_LOST;
}

// Reads the next datagram of an unreliable connection: the payload size, 0
// when nothing is waiting, -1 on error. Called with s.lock held.
NLint read_unreliable(Socket& s, void* buffer, NLint nbytes) {
  if (s.role != Role::connecting && s.role != Role::connected && s.role != Role::accepted)
    return fail(NL_NOT_CONNECTED, -1);
  static thread_local uint8_t datagram[kMaxDatagram];
  double deadline = clock_ms() + s.io_timeout_ms;
  for (;;) {
    if (s.status != Status::ok) return fail(status_error(s), -1);
    ssize_t n = ::recv(s.fd, datagram, sizeof datagram, MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        maintain(s);
        if (s.status != Status::ok) continue;
        if (!s.blocking) return 0;
        double left = deadline - clock_ms();
        if (left <= 0) return fail(NL_TIMED_OUT, -1);
        // Wake up in time for the connection's own duties.
        wait_fd(s.fd, POLLIN, static_cast<int>(left < kConnectRepeatMs ? left : kConnectRepeatMs));
        continue;
      }
      if (errno == ECONNREFUSED) {
        s.status = Status::lost;
        continue;
      }
      return fail(NL_SYSTEM_ERROR, -1);
    }
    if (n == 0) continue;
    s.last_receive_ms = clock_ms();
    switch (datagram[0]) {
      case kAccept:
        if (s.role == Role::connecting && n >= 11 && get_u64(&datagram[3]) == s.nonce) {
          uint16_t port = static_cast<uint16_t>((datagram[1] << 8) | datagram[2]);
          sockaddr_in to = s.peer;
          to.sin_port = htons(port);
          if (::connect(s.fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            s.status = Status::lost;
            continue;
          }
          s.peer = to;
          s.role = Role::connected;
          flush_held(s);
        }
        break;
      case kClose:
        if (s.role != Role::connecting) s.status = Status::closed;
        break;
      case kData:
        if (s.role != Role::connecting) {
          NLint size = static_cast<NLint>(n - 1);
          if (size > nbytes) size = nbytes;
          if (size > 0) std::memcpy(buffer, datagram + 1, static_cast<size_t>(size));
          return size;
        }
        break;
      default:
        break;  // keepalives and strays
    }
  }
}

NLint write_unreliable(Socket& s, const void* buffer, NLint nbytes) {
  if (s.role != Role::connecting && s.role != Role::connected && s.role != Role::accepted)
    return fail(NL_NOT_CONNECTED, -1);
  if (nbytes > kMaxDatagram - 64) return fail(NL_INVALID_ARGUMENT, -1);
  maintain(s);
  if (s.status != Status::ok) return fail(status_error(s), -1);
  if (s.role == Role::connecting) {
    if (s.held.size() >= kMaxHeldWrites) return fail(NL_SYSTEM_ERROR, -1);
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    s.held.emplace_back(p, p + nbytes);
    return nbytes;
  }
  if (!send_kind(s, kData, buffer, static_cast<size_t>(nbytes))) {
    return fail(s.status == Status::ok ? NL_SYSTEM_ERROR : status_error(s), -1);
  }
  return nbytes;
}

NLint read_reliable(Socket& s, void* buffer, NLint nbytes) {
  double deadline = clock_ms() + s.io_timeout_ms;
  for (;;) {
    ssize_t n = ::recv(s.fd, buffer, static_cast<size_t>(nbytes), MSG_DONTWAIT);
    if (n > 0) return static_cast<NLint>(n);
    if (n == 0) return nbytes == 0 ? 0 : fail(NL_CONNECTION_CLOSED, -1);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!s.blocking) return 0;
      double left = deadline - clock_ms();
      if (left <= 0 || !wait_fd(s.fd, POLLIN, static_cast<int>(left))) return fail(NL_TIMED_OUT, -1);
      continue;
    }
    if (errno == ECONNRESET || errno == ETIMEDOUT || errno == EPIPE) return fail(NL_CONNECTION_LOST, -1);
    if (errno == ENOTCONN) return fail(NL_NOT_CONNECTED, -1);
    return fail(NL_SYSTEM_ERROR, -1);
  }
}

NLint write_reliable(Socket& s, const void* buffer, NLint nbytes) {
  const char* p = static_cast<const char*>(buffer);
  NLint done = 0;
  double deadline = clock_ms() + s.io_timeout_ms;
  while (done < nbytes) {
    ssize_t n = ::send(s.fd, p + done, static_cast<size_t>(nbytes - done), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<NLint>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!s.blocking) return done;
      double left = deadline - clock_ms();
      if (left <= 0 || !wait_fd(s.fd, POLLOUT, static_cast<int>(left))) {
        return done > 0 ? done : fail(NL_TIMED_OUT, -1);
      }
      continue;
    }
    if (n < 0 && (errno == EPIPE || errno == ECONNRESET)) return fail(NL_CONNECTION_LOST, -1);
    if (n < 0 && errno == ENOTCONN) return fail(NL_NOT_CONNECTED, -1);
    return fail(NL_SYSTEM_ERROR, -1);
  }
  return done;
}

void close_fd_of(Socket& s) {
  if (s.fd < 0) return;
  if (s.type == NL_UNRELIABLE && (s.role == Role::connected || s.role == Role::accepted || s.role == Role::connecting) &&
      s.status == Status::ok) {
    // The close goes twice: a lone datagram may be lost.
    send_kind(s, kClose, nullptr, 0);
    send_kind(s, kClose, nullptr, 0);
  }
  ::close(s.fd);
  s.fd = -1;
}

// Opens the socket of a new connection on a listening unreliable socket.
// Called with the listening socket's lock held.
NLsocket open_connection(Socket& listener, NLsocket listener_id, const sockaddr_in& from, uint64_t nonce) {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return NL_INVALID;
  int size = kReceiveBuffer;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  sockaddr_in bound{};
  socklen_t len = sizeof bound;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
      ::connect(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len) != 0) {
    ::close(fd);
    return NL_INVALID;
  }
  auto s = std::make_shared<Socket>();
  s->fd = fd;
  s->type = NL_UNRELIABLE;
  s->role = Role::accepted;
  s->blocking = listener.blocking;
  s->connect_timeout_ms = listener.connect_timeout_ms;
  s->io_timeout_ms = listener.io_timeout_ms;
  s->peer = from;
  s->nonce = nonce;
  s->started_ms = s->last_receive_ms = s->last_send_ms = clock_ms();
  s->parent = listener_id;
  s->peer_key = peer_key_of(from);
  (void)bound;
  return register_socket(std::move(s));
}

void send_accept(Socket& listener, const sockaddr_in& to, NLsocket connection, uint64_t nonce) {
  SocketPtr c = find_socket(connection);
  if (!c) return;
  sockaddr_in bound{};
  socklen_t len = sizeof bound;
  {
    std::lock_guard<std::mutex> guard(c->lock);
    if (c->fd < 0 || ::getsockname(c->fd, reinterpret_cast<sockaddr*>(&bound), &len) != 0) return;
  }
  uint8_t datagram[11];
  datagram[0] = kAccept;
  uint16_t port = ntohs(bound.sin_port);
  datagram[1] = static_cast<uint8_t>(port >> 8);
  datagram[2] = static_cast<uint8_t>(port);
  put_u64(datagram + 3, nonce);
  ::sendto(listener.fd, datagram, sizeof datagram, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
           sizeof to);
}

void mark_closed(NLsocket connection) {
  SocketPtr c = find_socket(connection);
  if (!c) return;
  std::lock_guard<std::mutex> guard(c->lock);
  if (c->status == Status::ok) c->status = Status::closed;
}

// Takes every waiting datagram off a listening unreliable socket: new
// connections, repeated connects, closes before the accept arrived.
// Called with the listener's lock held. False on a system failure.
bool drain_listener(Socket& listener, NLsocket listener_id) {
  uint8_t datagram[64];
  for (int i = 0; i < kListenDrainLimit; ++i) {
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n = ::recvfrom(listener.fd, datagram, sizeof datagram, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
      if (errno == ECONNREFUSED) continue;
      return false;
    }
    if (n < 1 || from.sin_family != AF_INET) continue;
    uint64_t key = peer_key_of(from);
    auto it = listener.peers.find(key);
    if (datagram[0] == kConnect && n >= 9) {
      uint64_t nonce = get_u64(datagram + 1);
      if (it != listener.peers.end() && it->second.nonce == nonce) {
        send_accept(listener, from, it->second.socket, nonce);  // the accept was lost
        continue;
      }
      if (it != listener.peers.end()) {
        // The same address and port with a new nonce: the old connection
        // is gone.
        mark_closed(it->second.socket);
        listener.peers.erase(it);
      }
      if (listener.backlog.size() >= kMaxBacklog) continue;  // the peer will repeat its connect
      NLsocket c = open_connection(listener, listener_id, from, nonce);
      if (c == NL_INVALID) continue;
      listener.peers[key] = Socket::PeerEntry{c, nonce};
      listener.backlog.push_back(c);
      send_accept(listener, from, c, nonce);
    } else if (datagram[0] == kClose && it != listener.peers.end()) {
      mark_closed(it->second.socket);
    }
  }
  return true;
}

struct GroupSnapshot {
  std::vector<NLsocket> ids;
  std::vector<SocketPtr> sockets;
};

}  // namespace

// ------------------------------------------------------------- library ---

bool nlInit() {
  Library& lib = library();
  std::lock_guard<std::mutex> guard(lib.lock);
  ++lib.init_count;
  return true;
}

void nlShutdown() {
  std::vector<SocketPtr> closing;
  {
    Library& lib = library();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (lib.init_count == 0) return;
    if (--lib.init_count > 0) return;
    for (auto& entry : lib.sockets) closing.push_back(entry.second);
    lib.sockets.clear();
    lib.groups.clear();
  }
  for (SocketPtr& s : closing) {
    std::lock_guard<std::mutex> guard(s->lock);
    close_fd_of(*s);
  }
}

bool nlSelectNetwork(NLenum network) {
  if (!initialised()) return fail(NL_NOT_INITIALISED, false);
  if (network != NL_IP) return fail(NL_INVALID_ARGUMENT, false);
  return true;
}

bool nlEnable(NLenum name) {
  if (name == NL_BLOCKING_IO) {
    t_blocking = true;
    return true;
  }
  if (name == NL_SOCKET_STATS) return true;  // nothing is counted
  return fail(NL_INVALID_ARGUMENT, false);
}

bool nlDisable(NLenum name) {
  if (name == NL_BLOCKING_IO) {
    t_blocking = false;
    return true;
  }
  if (name == NL_SOCKET_STATS) return true;
  return fail(NL_INVALID_ARGUMENT, false);
}

NLenum nlGetError() { return t_error; }

void set_blocking_timeouts(int connect_ms, int io_ms) {
  t_connect_timeout_ms = connect_ms < 0 ? 0 : connect_ms;
  t_io_timeout_ms = io_ms < 0 ? 0 : io_ms;
}

void set_connection_timeout(int ms) { g_connection_timeout_ms.store(ms < 1 ? 1 : ms); }

int open_socket_count() {
  Library& lib = library();
  std::lock_guard<std::mutex> guard(lib.lock);
  return static_cast<int>(lib.sockets.size());
}

// ------------------------------------------------------------- sockets ---

NLsocket nlOpen(uint16_t port, NLenum type) {
  if (!initialised()) return fail(NL_NOT_INITIALISED, NL_INVALID);
  if (type != NL_RELIABLE && type != NL_UNRELIABLE) return fail(NL_INVALID_ARGUMENT, NL_INVALID);
  int fd = ::socket(AF_INET, (type == NL_RELIABLE ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return fail(NL_SYSTEM_ERROR, NL_INVALID);
  int one = 1;
  if (type == NL_RELIABLE) {
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  } else {
    int size = kReceiveBuffer;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
    NLenum error = errno == EADDRINUSE ? NL_ADDRESS_IN_USE : NL_SYSTEM_ERROR;
    ::close(fd);
    return fail(error, NL_INVALID);
  }
  auto s = std::make_shared<Socket>();
  s->fd = fd;
  s->type = type;
  s->blocking = t_blocking;
  s->connect_timeout_ms = t_connect_timeout_ms;
  s->io_timeout_ms = t_io_timeout_ms;
  return register_socket(std::move(s));
}

bool nlListen(NLsocket socket) {
  SocketPtr s = find_socket(socket);
  if (!s) return false;
  std::lock_guard<std::mutex> guard(s->lock);
  if (s->role != Role::plain) return fail(NL_INVALID_SOCKET, false);
  if (s->type == NL_RELIABLE && ::listen(s->fd, 64) != 0) return fail(NL_SYSTEM_ERROR, false);
  s->role = Role::listening;
  return true;
}

NLsocket nlAcceptConnection(NLsocket socket) {
  SocketPtr s = find_socket(socket);
  if (!s) return NL_INVALID;
  std::lock_guard<std::mutex> guard(s->lock);
  if (s->role != Role::listening) return fail(NL_NOT_LISTEN, NL_INVALID);
  if (s->type == NL_RELIABLE) {
    for (;;) {
      int fd = ::accept4(s->fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd >= 0) {
        auto c = std::make_shared<Socket>();
        c->fd = fd;
        c->type = NL_RELIABLE;
        c->role = Role::accepted;
        c->blocking = s->blocking;
        c->connect_timeout_ms = s->connect_timeout_ms;
        c->io_timeout_ms = s->io_timeout_ms;
        return register_socket(std::move(c));
      }
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return fail(NL_NO_PENDING, NL_INVALID);
      return fail(NL_SYSTEM_ERROR, NL_INVALID);
    }
  }
  if (!drain_listener(*s, socket)) return fail(NL_SYSTEM_ERROR, NL_INVALID);
  if (s->backlog.empty()) return fail(NL_NO_PENDING, NL_INVALID);
  NLsocket c = s->backlog.front();
  s->backlog.pop_front();
  return c;
}

bool nlConnect(NLsocket socket, const NLaddress* address) {
  if (!address || !address->valid) return fail(NL_BAD_ADDRESS, false);
  SocketPtr s = find_socket(socket);
  if (!s) return false;
  std::lock_guard<std::mutex> guard(s->lock);
  if (s->role != Role::plain) return fail(NL_INVALID_SOCKET, false);
  sockaddr_in to = to_sockaddr(*address);
  if (s->type == NL_UNRELIABLE) {
    if (::connect(s->fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return fail(NL_SYSTEM_ERROR, false);
    s->peer = to;
    s->role = Role::connecting;
    s->status = Status::ok;
    s->nonce = new_nonce();
    s->started_ms = s->last_receive_ms = clock_ms();
    send_connect(*s);
    return true;
  }
  int r = ::connect(s->fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
  if (r != 0 && errno == EINPROGRESS) {
    if (!s->blocking) {
      s->role = Role::connected;
      return true;
    }
    if (!wait_fd(s->fd, POLLOUT, s->connect_timeout_ms)) return fail(NL_TIMED_OUT, false);
    int error = 0;
    socklen_t len = sizeof error;
    ::getsockopt(s->fd, SOL_SOCKET, SO_ERROR, &error, &len);
    r = error == 0 ? 0 : -1;
    errno = error;
  }
  if (r != 0) return fail(errno == ECONNREFUSED ? NL_CONNECTION_REFUSED : NL_SYSTEM_ERROR, false);
  s->role = Role::connected;
  return true;
}

bool nlClose(NLsocket socket) {
  SocketPtr s;
  {
    Library& lib = library();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (lib.init_count == 0) return fail(NL_NOT_INITIALISED, false);
    auto it = lib.sockets.find(socket);
    if (it == lib.sockets.end()) return fail(NL_INVALID_SOCKET, false);
    s = it->second;
    lib.sockets.erase(it);
    for (auto& group : lib.groups) {
      auto& ids = group.second;
      for (size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == socket) {
          ids.erase(ids.begin() + static_cast<long>(i));
          break;
        }
      }
    }
  }
  NLsocket parent = NL_INVALID;
  uint64_t key = 0;
  {
    std::lock_guard<std::mutex> guard(s->lock);
    close_fd_of(*s);
    if (s->type == NL_UNRELIABLE && s->role == Role::accepted) {
      parent = s->parent;
      key = s->peer_key;
    }
  }
  if (parent != NL_INVALID) {
    SocketPtr p = find_socket(parent);
    if (p) {
      std::lock_guard<std::mutex> guard(p->lock);
      auto it = p->peers.find(key);
      if (it != p->peers.end() && it->second.socket == socket) p->peers.erase(it);
    }
  }
  return true;
}

NLint nlRead(NLsocket socket, void* buffer, NLint nbytes) {
  if (!buffer || nbytes < 0) return fail(NL_INVALID_ARGUMENT, -1);
  SocketPtr s = find_socket(socket);
  if (!s) return -1;
  std::lock_guard<std::mutex> guard(s->lock);
  if (s->fd < 0) return fail(NL_INVALID_SOCKET, -1);
  if (s->type == NL_RELIABLE) {
    if (s->role == Role::listening || s->role == Role::plain) return fail(NL_NOT_CONNECTED, -1);
    return read_reliable(*s, buffer, nbytes);
  }
  return read_unreliable(*s, buffer, nbytes);
}

NLint nlWrite(NLsocket socket, const void* buffer, NLint nbytes) {
  if ((!buffer && nbytes > 0) || nbytes < 0) return fail(NL_INVALID_ARGUMENT, -1);
  SocketPtr s = find_socket(socket);
  if (!s) return -1;
  std::lock_guard<std::mutex> guard(s->lock);
  if (s->fd < 0) return fail(NL_INVALID_SOCKET, -1);
  if (s->type == NL_RELIABLE) {
    if (s->role == Role::listening || s->role == Role::plain) return fail(NL_NOT_CONNECTED, -1);
    return write_reliable(*s, buffer, nbytes);
  }
  return write_unreliable(*s, buffer, nbytes);
}

// ----------------------------------------------------------- addresses ---

bool nlGetLocalAddr(NLsocket socket, NLaddress* address) {
  if (!address) return fail(NL_INVALID_ARGUMENT, false);
  SocketPtr s = find_socket(socket);
  if (!s) return false;
  sockaddr_in bound{};
  socklen_t len = sizeof bound;
  {
    std::lock_guard<std::mutex> guard(s->lock);
    if (s->fd < 0 || ::getsockname(s->fd, reinterpret_cast<sockaddr*>(&bound), &len) != 0)
      return fail(NL_SYSTEM_ERROR, false);
  }
  address->ip = ntohl(bound.sin_addr.s_addr);
  if (address->ip == INADDR_ANY) address->ip = INADDR_LOOPBACK;
  address->port = ntohs(bound.sin_port);
  address->valid = true;
  return true;
}

bool nlGetRemoteAddr(NLsocket socket, NLaddress* address) {
  if (!address) return fail(NL_INVALID_ARGUMENT, false);
  SocketPtr s = find_socket(socket);
  if (!s) return false;
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  {
    std::lock_guard<std::mutex> guard(s->lock);
    if (s->fd < 0 || ::getpeername(s->fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0 ||
        peer.sin_family != AF_INET)
      return fail(NL_NOT_CONNECTED, false);
  }
  address->ip = ntohl(peer.sin_addr.s_addr);
  address->port = ntohs(peer.sin_port);
  address->valid = true;
  return true;
}

NLint nlGetAllLocalAddr(NLaddress* addresses, NLint max) {
  if (!initialised()) return fail(NL_NOT_INITIALISED, 0);
  if (!addresses || max <= 0) return 0;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return fail(NL_SYSTEM_ERROR, 0);
  NLint count = 0;
  for (ifaddrs* i = list; i && count < max; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP)) continue;
    const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
    addresses[count].ip = ntohl(in->sin_addr.s_addr);
    addresses[count].port = 0;
    addresses[count].valid = true;
    ++count;
  }
  ::freeifaddrs(list);
  return count;
}

const char* nlAddrToString(const NLaddress* address, char* text, size_t size) {
  if (!text || size == 0) return text;
  text[0] = 0;
  if (!address || !address->valid) return text;
  uint32_t ip = address->ip;
  if (address->port != 0) {
    std::snprintf(text, size, "%u.%u.%u.%u:%u", ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255, ip & 255,
                  static_cast<unsigned>(address->port));
  } else {
    std::snprintf(text, size, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255, ip & 255);
  }
  return text;
}

bool nlGetAddrFromName(const char* name, NLaddress* address) {
  if (!address) return fail(NL_INVALID_ARGUMENT, false);
  address->valid = false;
  if (!name || !*name) return fail(NL_BAD_ADDRESS, false);
  std::string host = name;
  uint16_t port = 0;
  size_t colon = host.rfind(':');
  if (colon != std::string::npos) {
    char* end = nullptr;
    long p = std::strtol(host.c_str() + colon + 1, &end, 10);
    if (end && *end == 0 && p >= 0 && p <= 65535 && colon + 1 < host.size()) {
      port = static_cast<uint16_t>(p);
      host.resize(colon);
    }
  }
  in_addr parsed{};
  if (::inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
    address->ip = ntohl(parsed.s_addr);
  } else {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return fail(NL_BAD_ADDRESS, false);
    address->ip = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
  }
  address->port = port;
  address->valid = true;
  return true;
}

bool nlSetAddrPort(NLaddress* address, uint16_t port) {
  if (!address || !address->valid) return fail(NL_BAD_ADDRESS, false);
  address->port = port;
  return true;
}

// -------------------------------------------------------------- groups ---

NLint nlGroupCreate() {
  Library& lib = library();
  std::lock_guard<std::mutex> guard(lib.lock);
  if (lib.init_count == 0) return fail(NL_NOT_INITIALISED, -1);
  NLint id = lib.next_group++;
  lib.groups[id];
  return id;
}

bool nlGroupDestroy(NLint group) {
  Library& lib = library();
  std::lock_guard<std::mutex> guard(lib.lock);
  return lib.groups.erase(group) > 0 ? true : fail(NL_INVALID_ARGUMENT, false);
}

bool nlGroupAddSocket(NLint group, NLsocket socket) {
  Library& lib = library();
  std::lock_guard<std::mutex> guard(lib.lock);
  auto g = lib.groups.find(group);
  if (g == lib.groups.end()) return fail(NL_INVALID_ARGUMENT, false);
  if (lib.sockets.find(socket) == lib.sockets.end()) return fail(NL_INVALID_SOCKET, false);
  for (NLsocket s : g->second)
    if (s == socket) return true;
  if (static_cast<NLint>(g->second.size()) >= kMaxGroupSockets) return fail(NL_GROUP_FULL, false);
  g->second.push_back(socket);
  return true;
}

bool nlGroupDeleteSocket(NLint group, NLsocket socket) {
  Library& lib = library();
  std::lock_guard<std::mutex> guard(lib.lock);
  auto g = lib.groups.find(group);
  if (g == lib.groups.end()) return fail(NL_INVALID_ARGUMENT, false);
  auto& ids = g->second;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (ids[i] == socket) {
      ids.erase(ids.begin() + static_cast<long>(i));
      return true;
    }
  }
  return fail(NL_INVALID_SOCKET, false);
}

NLint nlPollGroup(NLint group, NLenum name, NLsocket* sockets, NLint number, NLint timeout_ms) {
  if (name != NL_READ_STATUS && name != NL_WRITE_STATUS) return fail(NL_INVALID_ARGUMENT, -1);
  if (!sockets || number <= 0) return fail(NL_INVALID_ARGUMENT, -1);
  GroupSnapshot snap;
  {
    Library& lib = library();
    std::lock_guard<std::mutex> guard(lib.lock);
    auto g = lib.groups.find(group);
    if (g == lib.groups.end()) return fail(NL_INVALID_ARGUMENT, -1);
    for (NLsocket id : g->second) {
      auto it = lib.sockets.find(id);
      if (it == lib.sockets.end()) continue;
      snap.ids.push_back(id);
      snap.sockets.push_back(it->second);
    }
  }
  std::vector<pollfd> fds(snap.ids.size());
  std::vector<bool> pending(snap.ids.size(), false);
  bool any_pending = false;
  for (size_t i = 0; i < snap.ids.size(); ++i) {
    Socket& s = *snap.sockets[i];
    std::lock_guard<std::mutex> guard(s.lock);
    fds[i].fd = s.fd;
    fds[i].events = name == NL_READ_STATUS ? POLLIN : POLLOUT;
    fds[i].revents = 0;
    if (name == NL_READ_STATUS) {
      maintain(s);
      if (s.type == NL_UNRELIABLE && s.status != Status::ok) pending[i] = any_pending = true;
      if (s.role == Role::listening && !s.backlog.empty()) pending[i] = any_pending = true;
    }
  }
  int r = 0;
  for (;;) {
    r = ::poll(fds.data(), fds.size(), any_pending ? 0 : timeout_ms);
    if (r >= 0 || errno != EINTR) break;
  }
  if (r < 0) return fail(NL_SYSTEM_ERROR, -1);
  NLint count = 0;
  for (size_t i = 0; i < snap.ids.size() && count < number; ++i) {
    if (pending[i] || (fds[i].revents & (fds[i].events | POLLERR | POLLHUP))) sockets[count++] = snap.ids[i];
  }
  return count;
}

// ------------------------------------------------- threads and mutexes ---

struct NLthread {
  std::thread thread;
};

bool nlThreadCreate(NLthreadFunc func, void* data, bool joinable, NLthread** handle) {
  if (!func) return fail(NL_INVALID_ARGUMENT, false);
  try {
    auto t = std::make_unique<NLthread>();
    t->thread = std::thread(func, data);
    if (joinable && handle) {
      *handle = t.release();
    } else {
      t->thread.detach();
      if (handle) *handle = nullptr;
    }
    return true;
  } catch (...) {
    return fail(NL_SYSTEM_ERROR, false);
  }
}

bool nlThreadJoin(NLthread* handle) {
  if (!handle) return fail(NL_INVALID_ARGUMENT, false);
  if (handle->thread.joinable()) handle->thread.join();
  delete handle;
  return true;
}

struct NLmutexRecord {
  std::mutex mutex;
};

bool nlMutexInit(NLmutex* mutex) {
  if (!mutex) return fail(NL_INVALID_ARGUMENT, false);
  *mutex = new NLmutexRecord();
  return true;
}

bool nlMutexLock(NLmutex* mutex) {
  if (!mutex || !*mutex) return fail(NL_INVALID_ARGUMENT, false);
  (*mutex)->mutex.lock();
  return true;
}

bool nlMutexUnlock(NLmutex* mutex) {
  if (!mutex || !*mutex) return fail(NL_INVALID_ARGUMENT, false);
  (*mutex)->mutex.unlock();
  return true;
}

bool nlMutexDestroy(NLmutex* mutex) {
  if (!mutex || !*mutex) return fail(NL_INVALID_ARGUMENT, false);
  delete *mutex;
  *mutex = nullptr;
  return true;
}

}  // namespace quarvel::nl
