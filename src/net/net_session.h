// The network session record; idle until a game hosts or joins.
#pragma once

namespace quarvel {

class NetSession {
 public:
  // Announces local players gone, stops the session thread, closes sockets.
  void shutdown() { active_ = false; }
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

}  // namespace quarvel
