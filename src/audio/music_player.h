// Background music: one streamed music file and the watcher thread that
// starts it again at its end.
//
// The music lock (engine().music_lock, created first at start-up) guards the
// player's music and thread and every call on the music. The main thread
// stops the watcher while it holds the lock: the watcher never blocks on the
// lock while a stop is asked for, and it sleeps on a wake-up signal, so a
// stop takes effect at once.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace quarvel {

namespace platform {
struct Music;
}

struct MusicPlayer {
  platform::Music* music = nullptr;  // none: no music
  std::thread watcher;
  std::mutex wake_lock;
  std::condition_variable wake;
  bool stop_requested = false;  // guarded by wake_lock
};

// Shutdown: under the music lock, stops the watcher, stops and closes the
// music and frees the player.
void shutdown_music();

// Watcher threads running in the process (for tests).
int music_watchers_running();

}  // namespace quarvel
