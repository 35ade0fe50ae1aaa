// The sound device and its slots.
//
// The device is the platform's mixer, opened at start-up at 22050 Hz, 16 bit,
// stereo. The slot table has 256 records, of which commands reach 0..127.
// A slot holds one sound in up to four buffers; the buffers share the
// converted samples and each is a fixed mixer channel (4 x slot + buffer),
// so that one effect can overlap itself up to four times.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

namespace platform {
struct SoundChunk;
}

constexpr int kReachableSoundSlots = 128;
constexpr int kBuffersPerSlot = 4;
constexpr int kSoundRate = 22050;
constexpr int kSoundChannels = 2;

class SoundDevice {
 public:
  // Opens the mixer; false when there is no sound output (every load then
  // yields 0 and every play -1).
  bool sound_init(void* window);
  // The mixer does not depend on the window; kept for the window changes.
  void sound_set_window(void* window) { window_ = window; }
  void release();
  bool is_open() const { return open_; }

 private:
  void* window_ = nullptr;
  bool open_ = false;
};

struct SoundSlot {
  int buffer_count = 0;    // 0..4; 0 = empty
  int current_buffer = 0;  // the buffer played last
  DynString file_name;     // the resolved name, while loading
  SoundDevice* device = nullptr;
  platform::SoundChunk* chunk = nullptr;  // shared by the buffers
  int first_channel = -1;  // mixer channel of buffer 0

  bool buffer_playing(int buffer) const;
  // Stops every buffer (they start from the beginning when played again).
  void stop_buffers();
  // Stops and frees the buffers; the slot is empty afterwards.
  void release();
};

}  // namespace quarvel
