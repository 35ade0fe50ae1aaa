// The network commands on the runtime's one session.
#include "core/engine_state.h"
#include "net/net_session.h"
#include "quarvel/network.h"

namespace quarvel {
namespace {
NetSession* session() { return engine().net; }
}  // namespace

double net_host_session(const DynString& port) { return session() ? session()->net_host_session(port) : 0; }

double net_join_session(const DynString& address, const DynString& port) {
  return session() ? session()->net_join_session(address, port) : 0;
}

DynString net_local_addresses() { return session() ? session()->net_local_addresses() : DynString(); }

DynString net_create_player(const DynString& name) {
  return session() ? session()->net_create_player(name) : DynString("-1");
}

double net_remove_player(const DynString& id) { return session() ? session()->net_remove_player(id) : 1; }

double net_send_message(const DynString& sender, const DynString& recipient, const DynString& message) {
  return session() ? session()->net_send_message(sender, recipient, message) : 0;
}

DynString net_get_message(const DynString& id) { return session() ? session()->net_get_message(id) : DynString(); }

DynString net_last_sender() { return session() ? session()->net_last_sender() : DynString("0"); }

DynString net_player_id(double index) { return session() ? session()->net_player_id(index) : DynString("0"); }

double net_player_count() { return session() ? session()->net_player_count() : 0; }

DynString net_player_name(const DynString& id) {
  return session() ? session()->net_player_name(id) : DynString("NO_DATA");
}

}  // namespace quarvel
