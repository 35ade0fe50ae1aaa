// The sound device and its slots.
#pragma once

namespace quarvel {

class SoundDevice {
 public:
  bool sound_init(void* window);
  void sound_set_window(void* window) { window_ = window; }
  void release();

 private:
  void* window_ = nullptr;
  bool open_ = false;
};

struct SoundSlot {
  void release() {}
};

}  // namespace quarvel
