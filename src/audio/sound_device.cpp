#include "audio/sound_device.h"

namespace quarvel {

bool SoundDevice::sound_init(void* window) {
  window_ = window;
  open_ = false;  // sound output arrives with the sound commands
  return open_;
}

void SoundDevice::release() {
  open_ = false;
  window_ = nullptr;
}

}  // namespace quarvel
