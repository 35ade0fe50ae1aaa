// play_music, stop_music, set_music_volume and the watcher thread.
#include "audio/music_player.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "audio/sound_device.h"
#include "core/engine_state.h"
#include "files/media_pack.h"
#include "platform/audio.h"
#include "quarvel/sound.h"

namespace quarvel {
namespace {

constexpr double kFirstWaitMs = 1000;
constexpr double kIdleWaitMs = 100;
constexpr double kShortestWaitMs = 500;
// While the main thread holds the music lock, the watcher looks again this
// often (or at once when it is asked to stop).
constexpr double kLockRetryMs = 2;
// Normal volume on the design's 0..1000 scale.
constexpr double kNormalVolume = 1000;

std::atomic<int> g_watchers{0};

// Sleeps up to `ms`; true when a stop was asked for.
bool wait_or_stop(MusicPlayer& p, double ms) {
  std::unique_lock<std::mutex> lock(p.wake_lock);
  return p.wake.wait_for(lock, std::chrono::duration<double, std::milli>(ms), [&] { return p.stop_requested; });
}

// Takes the music lock, giving way to a stop request; false on a stop.
bool take_music_lock(MusicPlayer& p, std::recursive_mutex& music_lock) {
  for (;;) {
    if (music_lock.try_lock()) return true;
    if (wait_or_stop(p, kLockRetryMs)) return false;
  }
}

void watch_music(MusicPlayer* p, std::recursive_mutex* music_lock) {
  double next_ms = kFirstWaitMs;
  while (!wait_or_stop(*p, next_ms)) {
    if (!take_music_lock(*p, *music_lock)) break;
    next_ms = kIdleWaitMs;
    if (p->music) {
      const bool playing = platform::music_playing();
      const double position = platform::music_position_ms(p->music);
      const double length = platform::music_length_ms(p->music);
      if (playing && position >= 0 && length > 0 && position < length) {
        next_ms = std::max(length - position, kShortestWaitMs);
      } else if (playing && (position < 0 || length <= 0)) {
        // The decoder cannot tell where it is: look again soon.
        next_ms = kShortestWaitMs;
      } else {
        // At (or past) its end: from the start again.
        platform::music_play(p->music);
        next_ms = kShortestWaitMs;
      }
    }
    music_lock->unlock();
  }
  g_watchers.fetch_sub(1);
}

// With the music lock held: ends the watcher, stops and closes the music.
void end_music(MusicPlayer& p) {
  if (p.watcher.joinable()) {
    {
      std::lock_guard<std::mutex> lock(p.wake_lock);
      p.stop_requested = true;
    }
    p.wake.notify_all();
    p.watcher.join();
    std::lock_guard<std::mutex> lock(p.wake_lock);
    p.stop_requested = false;
  }
  if (p.music) {
    platform::music_halt();
    platform::music_free(p.music);
    p.music = nullptr;
  }
}

}  // namespace

int music_watchers_running() { return g_watchers.load(); }

void shutdown_music() {
  EngineState& e = engine();
  if (!e.music_lock) return;
  std::lock_guard<std::recursive_mutex> lock(*e.music_lock);
  if (e.music) end_music(*e.music);
  delete e.music;
  e.music = nullptr;
}

void play_music(const DynString& file_name) {
  EngineState& e = engine();
  if (tracing()) trace_event(std::string("play_music ") + file_name.c_str());
  if (!e.music_lock) return;
  std::lock_guard<std::recursive_mutex> lock(*e.music_lock);
  // 1
  if (e.music) end_music(*e.music);
  // 2
  DynString name = file_name;
  if (!resolve_asset_name(name)) {
    report_failed_load("play_music", file_name.c_str(), "not found");
    return;
  }
  // 3: a file the mixer cannot open (or no sound output) gives no music.
  if (!e.sound || !e.sound->is_open()) return;
  std::string why;
  platform::Music* music = platform::music_open(name.c_str(), &why);
  if (!music) {
    report_failed_load("play_music", file_name.c_str(), why.c_str());
    return;
  }
  if (!e.music) e.music = new MusicPlayer();
  MusicPlayer& p = *e.music;
  p.music = music;
  // 4
  platform::music_play(music);
  // 5
  g_watchers.fetch_add(1);
  try {
    p.watcher = std::thread(watch_music, &p, e.music_lock.get());
  } catch (const std::system_error&) {
    g_watchers.fetch_sub(1);
  }
  // 6
  set_music_volume(1);
}

void stop_music() {
  EngineState& e = engine();
  if (tracing()) trace_event("stop_music");
  if (!e.music_lock) return;
  std::lock_guard<std::recursive_mutex> lock(*e.music_lock);
  if (e.music) end_music(*e.music);
}

void set_music_volume(double volume) {
  EngineState& e = engine();
  if (tracing()) {
    // Only changes: games set the volume every frame.
    static double last = -1;
    if (volume != last) {
      char line[64];
      std::snprintf(line, sizeof line, "set_music_volume %g", volume);
      trace_event(line);
    }
    last = volume;
  }
  if (!e.music_lock) return;
  std::lock_guard<std::recursive_mutex> lock(*e.music_lock);
  if (!e.music || !e.music->music) return;
  double v = volume * kNormalVolume;
  if (!(v > 0)) v = 0;
  if (v > kNormalVolume) v = kNormalVolume;
  platform::music_set_volume(static_cast<int>(std::lround(v * 128.0 / kNormalVolume)));
}

}  // namespace quarvel
