#include "audio/sound_device.h"

#include <string>

#include "platform/audio.h"

namespace quarvel {

bool SoundDevice::sound_init(void* window) {
  window_ = window;
  if (open_) return true;
  std::string error;
  open_ = platform::audio_open(kSoundRate, kSoundChannels, kReachableSoundSlots * kBuffersPerSlot, error);
  return open_;
}

void SoundDevice::release() {
  if (open_) platform::audio_close();
  open_ = false;
  window_ = nullptr;
}

bool SoundSlot::buffer_playing(int buffer) const {
  if (buffer < 0 || buffer >= buffer_count || first_channel < 0) return false;
  return platform::channel_playing(first_channel + buffer);
}

void SoundSlot::stop_buffers() {
  if (first_channel < 0) return;
  for (int i = 0; i < buffer_count; ++i) platform::channel_stop(first_channel + i);
}

void SoundSlot::release() {
  stop_buffers();
  platform::sound_chunk_free(chunk);
  chunk = nullptr;
  buffer_count = 0;
  current_buffer = 0;
  first_channel = -1;
}

}  // namespace quarvel
