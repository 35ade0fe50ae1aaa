// Network sessions and an HTTP download.
//
// One process hosts a session on a UDP port (default 26000), others join
// it; every process creates named players, which send each other short
// texts (up to 1024 characters), one to one or to everyone. The host keeps
// the table of players and hands out their ids: 101, 102, ... in order of
// registration. Ids and ports are passed as text and read as numbers.
//
// Waits are bounded: an id or an answer from the host is waited for up to
// 5 seconds (a first query of a process up to 10), after which the command
// returns its failure value. Nothing is retransmitted.
//
// Main thread only; the session's own thread runs beside it.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

// Ends any session of this process and hosts a new one on the port (a port
// that reads as 0 or less is 26000). 1 when hosting, 0 on failure.
double net_host_session(const DynString& port);
// Ends any session and joins the one on the host address (empty: this
// machine) and port. 1 when the host answered, 0 otherwise.
double net_join_session(const DynString& address, const DynString& port);
// Ends any session; the addresses of this machine, "|" between two, empty
// when there are none.
DynString net_local_addresses();

// A new player of this process; its id as text, "-1" when the host gave
// none. Names are cut to 127 characters.
DynString net_create_player(const DynString& name);
// Tells the host the player is gone. A negative id sends nothing. Always 1.
double net_remove_player(const DynString& id);
// A text from the sending player to the recipient (0: every player but the
// sender). Longer texts are cut to 1024 characters. 1 when sent, 0 when
// the write failed.
double net_send_message(const DynString& sender, const DynString& recipient, const DynString& message);
// The next message for a player of this process; empty when there is none
// (or the id is not a player of this process).
DynString net_get_message(const DynString& id);
// The sender id of the message net_get_message returned last.
DynString net_last_sender();

// The id of the player at a position (from 0) of the session, "0" when
// none; hidden internal players are not counted.
DynString net_player_id(double index);
// The players of the session; 0 on failure.
double net_player_count();
// The name of a player, "NO_DATA" when the host knows none.
DynString net_player_name(const DynString& id);

// Fetches host/path with one GET and stores the body in the file. A host
// written as "https://name" or "http://name" picks the scheme; a bare name
// means HTTPS on port 443 and plain HTTP on any other port. HTTPS checks the
// server's certificate against the system's CA store. Redirects are followed
// (at most 10; never from HTTPS back to HTTP), chunked and compressed bodies
// are taken, proxies come from the environment (http_proxy, https_proxy,
// no_proxy). 1 when the final answer had a 2xx status and its body arrived
// complete; the file is replaced only then. 0 on any failure (unknown host,
// refused, a certificate that does not check out, no data for 30 seconds,
// no connection within 10 seconds, an error status, a body cut short, a
// file that cannot be written); the old file is left as it was. Blocks the
// calling thread for the transfer.
double http_get(const DynString& host, const DynString& path, double port, const DynString& file_name);

}  // namespace quarvel
