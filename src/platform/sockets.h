// The socket layer under network sessions and the HTTP download: sockets,
// addresses, socket groups, threads and mutexes, over POSIX sockets,
// std::thread and std::mutex. No operating-system header is needed to use it.
//
// Library state:
//  - nlInit counts up, nlShutdown counts down; when the count returns to 0
//    every socket and group still open is closed. Every other call fails
//    (NL_NOT_INITIALISED) while the count is 0.
//  - Blocking input/output (nlEnable(NL_BLOCKING_IO)) is a setting of the
//    calling thread, taken over by the sockets that thread opens afterwards.
//    A blocking call waits at most the thread's time-outs (set_blocking_timeouts)
//    and then fails with NL_TIMED_OUT.
//  - nlGetError is the last error of the calling thread.
//
// Reliable sockets (NL_RELIABLE) are TCP. Unreliable sockets (NL_UNRELIABLE)
// are UDP with a connection emulated on top (only processes of this runtime
// speak it); every datagram starts with one kind byte:
//   1 connect   client -> listening port; 8 bytes of nonce
//   2 accept    listening port -> client; 2 bytes of the connection's port
//               (big-endian) and the nonce echoed
//   3 close     either side, sent twice by nlClose
//   4 keepalive either side, after 1 second without sending
//   5 data      the payload handed to nlWrite / returned by nlRead
// nlConnect sends the connect datagram and returns at once; until the accept
// arrives the connect is repeated every 100 ms and writes are held back
// (sent in order once accepted). For every new (address, port, nonce) the
// listening socket opens a socket of its own for the connection, on a fresh
// port, so every connection has its own receive queue; nlAcceptConnection
// hands those out one per call. A close datagram ends the connection
// (NL_CONNECTION_CLOSED); no datagram from the peer for the connection
// time-out (10 seconds), or an ICMP refusal, loses it (NL_CONNECTION_LOST).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quarvel::nl {

using NLsocket = int32_t;
using NLint = int32_t;
using NLenum = int32_t;

constexpr NLsocket NL_INVALID = -1;

// Networks.
constexpr NLenum NL_IP = 0x0003;
// Socket types.
constexpr NLenum NL_RELIABLE = 0x0010;
constexpr NLenum NL_UNRELIABLE = 0x0011;
// Switches for nlEnable / nlDisable.
constexpr NLenum NL_BLOCKING_IO = 0x0040;
constexpr NLenum NL_SOCKET_STATS = 0x0041;
// Poll kinds.
constexpr NLenum NL_READ_STATUS = 0x0050;
constexpr NLenum NL_WRITE_STATUS = 0x0051;

// Errors (nlGetError).
constexpr NLenum NL_NO_ERROR = 0;
constexpr NLenum NL_NOT_INITIALISED = 0x0101;
constexpr NLenum NL_INVALID_SOCKET = 0x0102;
constexpr NLenum NL_INVALID_ARGUMENT = 0x0103;
constexpr NLenum NL_BAD_ADDRESS = 0x0104;
constexpr NLenum NL_CONNECTION_REFUSED = 0x0105;
constexpr NLenum NL_SYSTEM_ERROR = 0x0106;
constexpr NLenum NL_CONNECTION_LOST = 0x0107;
constexpr NLenum NL_NOT_LISTEN = 0x0108;
constexpr NLenum NL_NO_PENDING = 0x0109;
constexpr NLenum NL_NOT_CONNECTED = 0x010A;
constexpr NLenum NL_TIMED_OUT = 0x010B;
constexpr NLenum NL_CONNECTION_CLOSED = 0x010C;
constexpr NLenum NL_GROUP_FULL = 0x010D;
constexpr NLenum NL_ADDRESS_IN_USE = 0x010E;

// An IPv4 address and port; ip in host byte order.
struct NLaddress {
  uint32_t ip = 0;
  uint16_t port = 0;
  bool valid = false;
};

// Longest text nlAddrToString writes, terminator included.
constexpr size_t kAddressTextSize = 32;
// Most sockets one group holds.
constexpr NLint kMaxGroupSockets = 1024;

bool nlInit();
void nlShutdown();
bool nlSelectNetwork(NLenum network);
bool nlEnable(NLenum name);
bool nlDisable(NLenum name);
NLenum nlGetError();

// Binds to every local address on the port (0: a free one). NL_INVALID on
// failure (NL_ADDRESS_IN_USE when the port is taken).
NLsocket nlOpen(uint16_t port, NLenum type);
bool nlListen(NLsocket socket);
// The next new connection of a listening socket; NL_INVALID with
// NL_NO_PENDING when none is waiting, NL_NOT_LISTEN when the socket does
// not listen, NL_SYSTEM_ERROR when the system fails.
NLsocket nlAcceptConnection(NLsocket socket);
bool nlConnect(NLsocket socket, const NLaddress* address);
bool nlClose(NLsocket socket);
// Reliable: bytes received, 0 when none are waiting (non-blocking), -1 with
// NL_CONNECTION_CLOSED at the end of the stream. Unreliable: one datagram,
// cut to nbytes; 0 when none is waiting.
NLint nlRead(NLsocket socket, void* buffer, NLint nbytes);
// Bytes accepted for sending, -1 on failure. An unreliable write sends
// the whole datagram or fails.
NLint nlWrite(NLsocket socket, const void* buffer, NLint nbytes);

// The socket's own address; a socket bound to every address reports the
// loopback address (this machine) with its port.
bool nlGetLocalAddr(NLsocket socket, NLaddress* address);
// The address of the peer a connected socket talks to (for an accepted
// unreliable connection: the client's); false when it has none.
bool nlGetRemoteAddr(NLsocket socket, NLaddress* address);
// The IPv4 addresses of the interfaces that are up, port 0; returns how
// many were written (at most max).
NLint nlGetAllLocalAddr(NLaddress* addresses, NLint max);
// "a.b.c.d:port", or "a.b.c.d" when the port is 0; empty when invalid.
const char* nlAddrToString(const NLaddress* address, char* text, size_t size);
// A dotted address or a host name, optionally followed by ":port".
bool nlGetAddrFromName(const char* name, NLaddress* address);
bool nlSetAddrPort(NLaddress* address, uint16_t port);

NLint nlGroupCreate();
bool nlGroupDestroy(NLint group);
bool nlGroupAddSocket(NLint group, NLsocket socket);
bool nlGroupDeleteSocket(NLint group, NLsocket socket);
// Lists up to number sockets of the group that are ready (readable, or with
// a closed or lost connection to report); waits up to timeout_ms (0: not at
// all, negative: until one is). Returns the count, -1 on failure.
NLint nlPollGroup(NLint group, NLenum name, NLsocket* sockets, NLint number, NLint timeout_ms);

struct NLthread;
using NLthreadFunc = void (*)(void* data);
// Starts func(data) on a new thread. A joinable thread is handed out in
// *handle and must be joined with nlThreadJoin; any other is detached.
bool nlThreadCreate(NLthreadFunc func, void* data, bool joinable, NLthread** handle = nullptr);
bool nlThreadJoin(NLthread* handle);

struct NLmutexRecord;
using NLmutex = NLmutexRecord*;
bool nlMutexInit(NLmutex* mutex);
bool nlMutexLock(NLmutex* mutex);
bool nlMutexUnlock(NLmutex* mutex);
bool nlMutexDestroy(NLmutex* mutex);

// ------------------------------------------------------------- settings ---

// Time-outs of blocking calls on the calling thread: connect_ms for
// nlConnect on a reliable socket, io_ms for a read or write that waits.
void set_blocking_timeouts(int connect_ms, int io_ms);
// Silence after which an unreliable connection counts as lost (all threads).
void set_connection_timeout(int ms);
// Sockets currently open (tests check for leaks).
int open_socket_count();

}  // namespace quarvel::nl
