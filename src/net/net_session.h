// The network session record: one process hosts a session on a UDP port,
// others join it; every process creates named players that exchange short
// text messages through the host, which keeps the table of players and
// hands out their ids (101 and up).
//
// A background thread per session (net_session_thread) does all receiving,
// the routing on the host and the registration of local players; the
// commands send directly and wait on the shared queues. The lock guards
// every field and list below; nobody holds it while writing to a socket.
//
// The host trusts no client: a message that names a player as its sender
// (a text, a removal, a request) is handled only when it came over the
// connection that player registered over, and a request is answered on the
// connection it came from. Assignments and replies are taken only from the
// host's own connection. Everything else is dropped and counted, and the
// first such message of a connection is written to the report file.
//
// The runtime keeps one NetSession for the whole run (EngineState::net);
// several may live in one process (tests), each with its own thread.
#pragma once

#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "net/formats/net_message.h"
#include "platform/sockets.h"
#include "quarvel/dyn_string.h"

namespace quarvel {

// One player, in a process's local list or in the host's table.
struct NetPlayer {
  // Host table: the connection the player registered over; local: -1.
  nl::NLsocket connection = nl::NL_INVALID;
  // Assigned id (101 and up); in the local list also -1 registration not
  // sent yet, -3 sent and waiting, -2 abandoned (dropped by the thread).
  int32_t id = -1;
  uint8_t hidden = 0;  // the internal request player of a process
  uint8_t host = 0;    // created on the hosting process
  std::string name;
  std::deque<NetMessage> inbox;  // local list only
};

class NetSession {
 public:
  // Waits of the commands: tries, and the pause between two tries.
  static constexpr int kWaitTries = 250;
  static constexpr int kWaitStepMs = 20;
  static constexpr int32_t kDefaultPort = 26000;
  // Messages kept in one player's inbox; later ones are dropped until the
  // game reads some.
  static constexpr size_t kInboxLimit = 4096;
  // Players one connection may hold on the host (its hidden request player
  // included); later registrations over it are refused until some leave,
  // so that a client registering without end cannot fill the host's memory.
  static constexpr size_t kPlayersPerConnection = 64;

  NetSession();
  ~NetSession();
  NetSession(const NetSession&) = delete;
  NetSession& operator=(const NetSession&) = delete;

  // The commands (see quarvel/network.h).
  double net_host_session(const DynString& port);
  double net_join_session(const DynString& address, const DynString& port);
  DynString net_local_addresses();
  DynString net_create_player(const DynString& name);
  double net_remove_player(const DynString& id);
  double net_send_message(const DynString& sender, const DynString& recipient, const DynString& message);
  DynString net_get_message(const DynString& id);
  DynString net_last_sender();
  DynString net_player_id(double index);
  double net_player_count();
  DynString net_player_name(const DynString& id);

  // Ends the running session: the thread stops, both sockets close.
  void stop_net_session();
  // Sends a request (type, length and payload filled in) and waits for the
  // first reply that arrives after it; the reply replaces *message.
  bool net_request(NetMessage& message);
  // End of the run: local players with an id are announced gone, the
  // session stops, all players are dropped.
  void shutdown();

  // State for tests and diagnostics.
  bool thread_running();
  bool is_host();
  size_t table_size();  // host's table, hidden players included
  // Host: messages refused since the session started (all connections).
  size_t refused_messages();

  // The port a text names: its number truncated toward zero, low 16 bits;
  // 0, negative or non-numeric (or 0 in the low 16 bits) gives 26000.
  static uint16_t port_from_text(const DynString& port);

 private:
  struct Queued {
    NetMessage message;
    nl::NLsocket origin = nl::NL_INVALID;
  };
  struct Outgoing {
    nl::NLsocket socket;
    NetMessage message;
  };

  static void thread_entry(void* session);
  void net_session_thread();
  void reset();
  void forget_players_locked();
  bool start_thread();
  // Appends a local player and waits for its id; -1 when none came.
  int32_t register_and_wait(const char* name, bool hidden);
  // The write loop of every message: false when a write failed.
  static bool send_message_on(nl::NLsocket socket, const NetMessage& message);
  // Host routing of the incoming queue (lock held); collects the sends.
  void route_on_host(std::vector<Outgoing>& out);
  NetPlayer* table_entry(int32_t id);
  // Host, lock held: whether a message that came over an accepted
  // connection may be handled; a refusal is counted, and `report` is set
  // for the first one of that connection.
  bool admit_locked(const NetMessage& message, nl::NLsocket origin, bool& report);
  // Writes the report line for a connection's first refused message.
  static void report_refusal(nl::NLsocket origin, const NetMessage& message);

  void lock() { nl::nlMutexLock(&lock_); }
  void unlock() { nl::nlMutexUnlock(&lock_); }

  nl::NLmutex lock_ = nullptr;
  int32_t next_id_ = 101;
  int32_t request_id_ = -1;
  bool is_host_ = false;
  nl::NLsocket listen_socket_ = nl::NL_INVALID;
  nl::NLsocket client_socket_ = nl::NL_INVALID;
  std::list<NetPlayer> local_players_;
  std::list<NetPlayer> player_table_;
  nl::NLenum network_type_ = nl::NL_IP;
  nl::NLenum connection_type_ = nl::NL_UNRELIABLE;
  bool stop_requested_ = true;
  bool thread_running_ = false;
  std::deque<Queued> incoming_;
  std::deque<NetMessage> replies_;
  int32_t last_sender_ = 0;
  // Host: refused messages per open connection, and in all.
  struct Refusals {
    size_t count = 0;
    bool reported = false;
  };
  std::map<nl::NLsocket, Refusals> refusals_;
  size_t refused_total_ = 0;

  nl::NLthread* thread_ = nullptr;  // touched by the commands' thread only
  bool holds_library_ = false;      // this session's nlInit is outstanding
};

}  // namespace quarvel
