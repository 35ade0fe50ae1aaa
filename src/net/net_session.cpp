// Network sessions: hosting, joining, players, messages and the session
// thread with its routing.
#include "net/net_session.h"

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "quarvel/number_text.h"
#include "quarvel/runtime.h"
#include "values/truncate.h"

namespace quarvel {
namespace {

using namespace nl;

constexpr int kCycleSleepMs = 10;
constexpr int kStopPollMs = 50;
constexpr int kPollRoom = 100;
// Reads per cycle: all waiting on the client socket (up to this many), and
// up to kHostReadsPerConnection on each readable connection of the host.
constexpr int kClientReadsPerCycle = 4096;
constexpr int kHostReadsPerConnection = 64;
constexpr size_t kMaxAddressesText = 4096;

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int32_t id_from_text(const DynString& text) { return truncate_to_int32(text_to_number(text)); }

}  // namespace

NetSession::NetSession() { nlMutexInit(&lock_); }

NetSession::~NetSession() {
  shutdown();
  nlMutexDestroy(&lock_);
}

uint16_t NetSession::port_from_text(const DynString& text) {
  double value = text_to_number(text);
  int64_t whole = truncate_to_int64(value);
  if (whole <= 0) return kDefaultPort;
  // Ports are 16-bit: the low 16 bits count; port 0 would be any free port,
  // which nobody could join, so it is the default too.
  uint16_t port = static_cast<uint16_t>(whole & 0xFFFF);
  return port == 0 ? kDefaultPort : port;
}

bool NetSession::thread_running() {
  lock();
  bool running = thread_running_;
  unlock();
  return running;
}

bool NetSession::is_host() {
  lock();
  bool host = is_host_;
  unlock();
  return host;
}

size_t NetSession::table_size() {
  lock();
  size_t n = player_table_.size();
  unlock();
  return n;
}

size_t NetSession::refused_messages() {
  lock();
  size_t n = refused_total_;
  unlock();
  return n;
}

// ------------------------------------------------------------- sending ---

bool NetSession::send_message_on(NLsocket socket, const NetMessage& message) {
  uint8_t bytes[kNetMaxDatagram];
  size_t total = encode_net_message(message, bytes);
  size_t done = 0;
  while (done < total) {
    NLint written = nlWrite(socket, bytes + done, static_cast<NLint>(total - done));
    if (written <= 0) {
      // One more try, then the message is given up whatever it returns. A
      // write that takes nothing counts as failed: it would never end.
      nlWrite(socket, bytes + done, static_cast<NLint>(total - done));
      return false;
    }
    done += static_cast<size_t>(written);
  }
  return true;
}

// ------------------------------------------------------ session control ---

void NetSession::stop_net_session() {
  lock();
  bool running = thread_running_;
  stop_requested_ = true;
  unlock();
  while (running) {
    sleep_ms(kStopPollMs);
    lock();
    running = thread_running_;
    unlock();
  }
  if (thread_) {
    nlThreadJoin(thread_);
    thread_ = nullptr;
  }
  lock();
  NLsocket listen = listen_socket_;
  NLsocket client = client_socket_;
  listen_socket_ = NL_INVALID;
  client_socket_ = NL_INVALID;
  unlock();
  if (listen != NL_INVALID) nlClose(listen);
  if (client != NL_INVALID) nlClose(client);
}

// Empties the player tables and message queues; the caller holds the lock.
void NetSession::forget_players_locked() {
  local_players_.clear();
  player_table_.clear();
  incoming_.clear();
  replies_.clear();
  request_id_ = -1;
  is_host_ = false;
  refusals_.clear();
  refused_total_ = 0;
}

void NetSession::reset() {
  stop_net_session();
  lock();
  forget_players_locked();
  listen_socket_ = NL_INVALID;
  client_socket_ = NL_INVALID;
  network_type_ = NL_IP;
  connection_type_ = NL_UNRELIABLE;
  next_id_ = 101;
  unlock();
  // Only this session's own start of the library is ended, so that other
  // users of the library (a download, other sessions) keep theirs.
  if (holds_library_) nlShutdown();
  holds_library_ = nlInit();
  if (holds_library_) nlSelectNetwork(network_type_);
}

bool NetSession::start_thread() {
  // The flags are set before the thread exists, so that a stop right after
  // the start always waits for it.
  lock();
  stop_requested_ = false;
  thread_running_ = true;
  unlock();
  if (!nlThreadCreate(&NetSession::thread_entry, this, true, &thread_)) {
    lock();
    stop_requested_ = true;
    thread_running_ = false;
    unlock();
    thread_ = nullptr;
    return false;
  }
  return true;
}

void NetSession::shutdown() {
  std::vector<int32_t> ids;
  lock();
  for (const NetPlayer& p : local_players_)
    if (p.id >= 0) ids.push_back(p.id);
  NLsocket client = client_socket_;
  unlock();
  if (client != NL_INVALID) {
    for (int32_t id : ids) {
      NetMessage gone;
      gone.type = kNetRemove;
      gone.destination = 0;
      gone.sender = id;
      send_message_on(client, gone);
    }
  }
  stop_net_session();
  lock();
  forget_players_locked();
  unlock();
  if (holds_library_) {
    nlShutdown();
    holds_library_ = false;
  }
}

// ------------------------------------------------------------ commands ---

double NetSession::net_host_session(const DynString& port_text) {
  reset();
  uint16_t port = port_from_text(port_text);
  NLsocket listen = nlOpen(port, connection_type_);
  if (listen == NL_INVALID) return 0;
  if (!nlListen(listen)) {
    nlClose(listen);
    return 0;
  }
  NLsocket client = nlOpen(0, connection_type_);
  if (client == NL_INVALID) {
    nlClose(listen);
    return 0;
  }
  NLaddress address;
  if (!nlGetLocalAddr(client, &address) || !nlSetAddrPort(&address, port) || !nlConnect(client, &address)) {
    nlClose(client);
    nlClose(listen);
    return 0;
  }
  lock();
  listen_socket_ = listen;
  client_socket_ = client;
  is_host_ = true;
  unlock();
  if (!start_thread()) {
    stop_net_session();
    return 0;
  }
  return 1;
}

double NetSession::net_join_session(const DynString& address_text, const DynString& port_text) {
  reset();
  uint16_t port = port_from_text(port_text);
  NLsocket client = nlOpen(0, connection_type_);
  if (client == NL_INVALID) return 0;
  NLaddress address;
  bool ok = address_text.length_of() == 0 ? nlGetLocalAddr(client, &address)
                                           : nlGetAddrFromName(address_text.c_str(), &address);
  if (!ok || !nlSetAddrPort(&address, port) || !nlConnect(client, &address)) {
    nlClose(client);
    return 0;
  }
  lock();
  client_socket_ = client;
  is_host_ = false;
  unlock();
  if (!start_thread()) {
    stop_net_session();
    return 0;
  }
  NetMessage check;
  check.type = kNetCheckRequest;
  check.length = 0;
  if (net_request(check)) return 1;
  stop_net_session();
  return 0;
}

DynString NetSession::net_local_addresses() {
  reset();
  NLsocket probe = nlOpen(static_cast<uint16_t>(kDefaultPort), connection_type_);
  if (probe == NL_INVALID) return DynString();
  NLaddress addresses[64];
  NLint count = nlGetAllLocalAddr(addresses, 64);
  nlClose(probe);
  std::string text;
  for (NLint i = 0; i < count; ++i) {
    char one[kAddressTextSize];
    nlAddrToString(&addresses[i], one, sizeof one);
    size_t extra = std::strlen(one) + (text.empty() ? 0 : 1);
    if (text.size() + extra + 32 > kMaxAddressesText) break;
    if (!text.empty()) text += '|';
    text += one;
  }
  return DynString(text.c_str());
}

int32_t NetSession::register_and_wait(const char* name, bool hidden) {
  lock();
  NetPlayer player;
  player.id = -1;
  player.hidden = hidden ? 1 : 0;
  player.host = is_host_ ? 1 : 0;
  player.name.assign(name ? name : "");
  if (player.name.size() > kNetMaxNameLength) player.name.resize(kNetMaxNameLength);
  local_players_.push_back(std::move(player));
  auto record = std::prev(local_players_.end());
  unlock();
  for (int i = 0; i < kWaitTries; ++i) {
    lock();
    int32_t id = record->id;
    unlock();
    if (id >= 0) return id;
    sleep_ms(kWaitStepMs);
  }
  lock();
  // The id may have come during the last pause.
  int32_t id = record->id;
  if (id < 0) record->id = -2;
  unlock();
  return id >= 0 ? id : -1;
}

DynString NetSession::net_create_player(const DynString& name) {
  return DynString(static_cast<int>(register_and_wait(name.c_str(), false)));
}

double NetSession::net_remove_player(const DynString& id_text) {
  int32_t id = id_from_text(id_text);
  if (id < 0) return 1;
  lock();
  NLsocket client = client_socket_;
  unlock();
  NetMessage remove;
  remove.type = kNetRemove;
  remove.destination = 0;
  remove.sender = id;
  send_message_on(client, remove);
  return 1;
}

double NetSession::net_send_message(const DynString& sender, const DynString& recipient, const DynString& text) {
  NetMessage message;
  message.type = kNetUser;
  message.set_text(text.c_str());
  int32_t to = id_from_text(recipient);
  message.destination = to == 0 ? -1 : to;
  message.sender = id_from_text(sender);
  lock();
  NLsocket client = client_socket_;
  unlock();
  return send_message_on(client, message) ? 1 : 0;
}

DynString NetSession::net_get_message(const DynString& id_text) {
  int32_t id = id_from_text(id_text);
  lock();
  for (NetPlayer& p : local_players_) {
    if (p.id != id) continue;
    if (p.inbox.empty()) break;
    NetMessage message = std::move(p.inbox.front());
    p.inbox.pop_front();
    last_sender_ = message.sender;
    unlock();
    return DynString(message.text());
  }
  unlock();
  return DynString();
}

DynString NetSession::net_last_sender() {
  lock();
  int32_t sender = last_sender_;
  unlock();
  return DynString(static_cast<int>(sender));
}

bool NetSession::net_request(NetMessage& message) {
  lock();
  int32_t requester = request_id_;
  unlock();
  if (requester < 0) {
    requester = register_and_wait("", true);
    lock();
    request_id_ = requester;
    unlock();
    if (requester < 0) return false;
  }
  message.sender = requester;
  message.destination = 0;
  lock();
  replies_.clear();
  NLsocket client = client_socket_;
  unlock();
  send_message_on(client, message);
  for (int i = 0; i < kWaitTries; ++i) {
    lock();
    if (!replies_.empty()) {
      message = replies_.front();
      replies_.pop_front();
      unlock();
      return true;
    }
    unlock();
    sleep_ms(kWaitStepMs);
  }
  return false;
}

DynString NetSession::net_player_id(double index) {
  NetMessage request;
  request.type = kNetIdRequest;
  request.set_int(truncate_to_int32(index));
  if (!net_request(request)) return DynString("0");
  return DynString(static_cast<int>(request.payload_int()));
}

double NetSession::net_player_count() {
  NetMessage request;
  request.type = kNetCountRequest;
  request.length = 0;
  if (!net_request(request)) return 0;
  return request.payload_int();
}

DynString NetSession::net_player_name(const DynString& id_text) {
  NetMessage request;
  request.type = kNetNameRequest;
  request.set_int(id_from_text(id_text));
  if (!net_request(request)) return DynString("NO_DATA");
  return DynString(request.text());
}

// -------------------------------------------------------------- thread ---

void NetSession::thread_entry(void* session) { static_cast<NetSession*>(session)->net_session_thread(); }

NetPlayer* NetSession::table_entry(int32_t id) {
  for (NetPlayer& p : player_table_)
    if (p.id == id) return &p;
  return nullptr;
}

bool NetSession::admit_locked(const NetMessage& m, NLsocket origin, bool& report) {
  bool admitted = false;
  switch (m.type) {
    case kNetRegister: {
      size_t held = 0;
      for (const NetPlayer& p : player_table_) held += p.connection == origin ? 1 : 0;
      admitted = held < kPlayersPerConnection;
      break;
    }
    case kNetUser:
    case kNetRemove:
    case kNetCountRequest:
    case kNetIdRequest:
    case kNetNameRequest:
    case kNetCheckRequest: {
      const NetPlayer* p = table_entry(m.sender);
      admitted = p && p->connection == origin;
      break;
    }
    default:
      break;  // assignments, replies and unknown types come from no client
  }
  if (admitted) return true;
  ++refused_total_;
  Refusals& r = refusals_[origin];
  ++r.count;
  report = !r.reported;
  r.reported = true;
  return false;
}

void NetSession::report_refusal(NLsocket origin, const NetMessage& m) {
  NLaddress peer;
  char where[kAddressTextSize] = "an unknown address";
  if (nlGetRemoteAddr(origin, &peer)) nlAddrToString(&peer, where, sizeof where);
  std::string line = "Network session: dropped a message from ";
  line += where;
  line += " (type " + std::to_string(m.type) + ", sender " + std::to_string(m.sender) +
          ") that its connection may not send; later ones from it are dropped and only counted";
  append_report_line(line.c_str());
}

void NetSession::route_on_host(std::vector<Outgoing>& out) {
  // Answers go back over the connection the request came from.
  auto reply_to = [&](NLsocket origin, const NetMessage& reply) { out.push_back(Outgoing{origin, reply}); };
  for (auto it = incoming_.begin(); it != incoming_.end();) {
    // What arrived on the host's own client socket is for its local
    // players (delivered before) or its client handling (after).
    if (it->origin == client_socket_ || it->origin == NL_INVALID) {
      ++it;
      continue;
    }
    const NetMessage& m = it->message;
    if (m.type == kNetUser) {
      if (m.destination == -1) {
        for (const NetPlayer& p : player_table_) {
          if (p.hidden) continue;
          if (p.id == m.sender) continue;
          Outgoing copy{p.connection, m};
          copy.message.destination = p.id;
          out.push_back(std::move(copy));
        }
      } else if (NetPlayer* p = table_entry(m.destination)) {
        out.push_back(Outgoing{p->connection, m});
      }
      it = incoming_.erase(it);
      continue;
    }
    if (m.destination != 0) {
      ++it;  // not for the host
      continue;
    }
    NetMessage reply;
    reply.type = m.type;
    reply.sender = 0;
    reply.destination = m.sender;
    switch (m.type) {
      case kNetRegister: {
        NetPlayerBlock block;
        // A registration comes over a connection of the listening socket;
        // a short block cannot name a player.
        if (it->origin != client_socket_ && it->origin != NL_INVALID &&
            decode_player_block(m.payload, static_cast<size_t>(m.length), block)) {
          NetPlayer entry;
          entry.connection = it->origin;
          entry.id = next_id_++;
          entry.hidden = block.hidden;
          entry.host = block.host;
          entry.name = block.name;
          player_table_.push_back(std::move(entry));
          NetMessage assign;
          assign.type = kNetAssignId;
          assign.sender = 0;
          assign.destination = player_table_.back().id;
          assign.length = 0;
          out.push_back(Outgoing{it->origin, assign});
        }
        break;
      }
      case kNetRemove:
        for (auto p = player_table_.begin(); p != player_table_.end();) {
          p = p->id == m.sender ? player_table_.erase(p) : std::next(p);
        }
        break;
      case kNetCountRequest: {
        int32_t count = 0;
        for (const NetPlayer& p : player_table_)
          if (!p.hidden) ++count;
        reply.set_int(count);
        reply_to(it->origin, reply);
        break;
      }
      case kNetIdRequest: {
        int32_t wanted = m.payload_int();
        int32_t id = 0;
        int32_t position = 0;
        for (const NetPlayer& p : player_table_) {
          if (p.hidden) continue;
          if (position++ == wanted) {
            id = p.id;
            break;
          }
        }
        reply.set_int(id);
        reply_to(it->origin, reply);
        break;
      }
      case kNetNameRequest: {
        NetPlayer* p = table_entry(m.payload_int());
        if (p && !p->name.empty()) {
          reply.set_text(p->name.c_str());
          reply_to(it->origin, reply);
        }
        break;
      }
      case kNetCheckRequest:
        reply.set_int(1);
        reply_to(it->origin, reply);
        break;
      default:
        ++it;  // other types stay
        continue;
    }
    it = incoming_.erase(it);
  }
}

void NetSession::net_session_thread() {
  NLint group = nlGroupCreate();
  std::vector<NLsocket> connections;  // accepted, for closing at the end
  uint8_t buffer[kNetMaxDatagram];
  NLsocket ready[kPollRoom];
  std::vector<Outgoing> out;
  for (;;) {
    // 1
    lock();
    if (stop_requested_) {
      unlock();
      break;
    }
    NLsocket client = client_socket_;
    NLsocket listen = listen_socket_;
    // 2: registrations of local players; the lock is released around each
    // send. Only this thread removes records, so the iterators stay valid.
    for (auto it = local_players_.begin(); it != local_players_.end();) {
      if (it->id == -2) {
        it = local_players_.erase(it);
        continue;
      }
      if (it->id == -1) {
        NetPlayerBlock block;
        block.hidden = it->hidden;
        block.host = it->host;
        std::strncpy(block.name, it->name.c_str(), kNetMaxNameLength);
        NetMessage registration;
        registration.type = kNetRegister;
        registration.destination = 0;
        registration.sender = 0;
        uint8_t bytes[kNetPlayerBlockSize];
        encode_player_block(block, bytes);
        registration.set_payload(bytes, sizeof bytes);
        it->id = -3;
        unlock();
        send_message_on(client, registration);
        lock();
      }
      ++it;
    }
    unlock();

    // 3: everything waiting on the client socket.
    for (int i = 0; i < kClientReadsPerCycle && client != NL_INVALID; ++i) {
      NLint n = nlRead(client, buffer, static_cast<NLint>(sizeof buffer));
      Queued q;
      if (n <= 0 || !accept_net_message(buffer, static_cast<size_t>(n), q.message)) break;
      q.origin = client;
      lock();
      incoming_.push_back(std::move(q));
      unlock();
    }

    // 4: host only.
    if (listen != NL_INVALID) {
      NLsocket fresh = nlAcceptConnection(listen);
      if (fresh != NL_INVALID) {
        if (nlGroupAddSocket(group, fresh)) {
          connections.push_back(fresh);
        } else {
          nlClose(fresh);
        }
      } else {
        NLenum error = nlGetError();
        if (error == NL_SYSTEM_ERROR || error == NL_NOT_LISTEN) {
          lock();
          NLsocket l = listen_socket_, c = client_socket_;
          listen_socket_ = client_socket_ = NL_INVALID;
          unlock();
          if (l != NL_INVALID) nlClose(l);
          if (c != NL_INVALID) nlClose(c);
          break;
        }
      }
      NLint count = group >= 0 ? nlPollGroup(group, NL_READ_STATUS, ready, kPollRoom, 0) : 0;
      for (NLint k = 0; k < count; ++k) {
        NLsocket s = ready[k];
        for (int r = 0; r < kHostReadsPerConnection; ++r) {
          NLint n = nlRead(s, buffer, static_cast<NLint>(sizeof buffer));
          if (n > 0) {
            Queued q;
            if (accept_net_message(buffer, static_cast<size_t>(n), q.message)) {
              q.origin = s;
              bool report = false;
              lock();
              bool admitted = admit_locked(q.message, s, report);
              if (admitted) incoming_.push_back(std::move(q));
              unlock();
              if (report) report_refusal(s, q.message);
            }
            continue;  // a malformed or refused datagram is skipped
          }
          if (n < 0) {
            NLenum error = nlGetError();
            if (error == NL_CONNECTION_CLOSED || error == NL_CONNECTION_LOST) {
              nlGroupDeleteSocket(group, s);
              nlClose(s);
              for (size_t c = 0; c < connections.size(); ++c) {
                if (connections[c] == s) {
                  connections.erase(connections.begin() + static_cast<long>(c));
                  break;
                }
              }
              // Every player that came over this connection goes with it.
              lock();
              refusals_.erase(s);
              for (auto p = player_table_.begin(); p != player_table_.end();) {
                p = p->connection == s ? player_table_.erase(p) : std::next(p);
              }
              unlock();
            }
          }
          break;
        }
      }
    }

    lock();
    // 5: local delivery. A broadcast (-1) reaches local players through
    // the host's routing, with their own ids; it is never matched here.
    for (auto it = incoming_.begin(); it != incoming_.end();) {
      if (it->message.type != kNetUser || it->message.destination == -1) {
        ++it;
        continue;
      }
      bool delivered = false;
      for (NetPlayer& p : local_players_) {
        if (p.id != it->message.destination) continue;
        if (p.inbox.size() < kInboxLimit) p.inbox.push_back(it->message);
        delivered = true;
        break;
      }
      it = delivered ? incoming_.erase(it) : std::next(it);
    }
    // 6: host routing; the sends go out with the lock released.
    out.clear();
    if (is_host_) route_on_host(out);
    unlock();
    for (const Outgoing& o : out) send_message_on(o.socket, o.message);
    lock();
    // 7: replies and assigned ids, only as the host sent them.
    for (auto it = incoming_.begin(); it != incoming_.end();) {
      const NetMessage& m = it->message;
      if (it->origin != client_socket_ || client_socket_ == NL_INVALID) {
        ++it;
      } else if (m.sender == 0 && m.type >= kNetCountRequest) {
        replies_.push_back(m);
        it = incoming_.erase(it);
      } else if (m.sender == 0 && m.type == kNetAssignId) {
        for (NetPlayer& p : local_players_) {
          if (p.id == -3) {
            p.id = m.destination;
            break;
          }
        }
        it = incoming_.erase(it);
      } else {
        ++it;
      }
    }
    // 8
    incoming_.clear();
    unlock();
    sleep_ms(kCycleSleepMs);
  }
  // The connections of the listening socket end with the session: their
  // peers are told by a close datagram.
  for (NLsocket s : connections) nlClose(s);
  if (group >= 0) nlGroupDestroy(group);
  lock();
  thread_running_ = false;
  stop_requested_ = true;
  unlock();
}

}  // namespace quarvel
