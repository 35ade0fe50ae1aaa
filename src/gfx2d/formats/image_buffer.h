// A decoded picture in memory: what the image readers and the built-in font
// painter produce and what a texture upload consumes.
#pragma once

#include <cstdint>
#include <vector>

namespace quarvel {

struct ImageBuffer {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // width x height x 4 bytes R, G, B, A; top row first

  // Zero size and the pixel memory released.
  void clear();
};

// Colour keys are packed 0x00BBGGRR values; this one means "no key".
constexpr int64_t kNoColourKey = -1;
// The key sprites use unless the program sets another: red 255, green 0, blue 128.
constexpr int64_t kDefaultSpriteKey = 0x8000FF;

// Largest pictures the readers accept: a side of at most kMaxImageSide and
// at most kMaxImagePixels pixels (256 MiB of RGBA).
constexpr int32_t kMaxImageSide = 16384;
constexpr int64_t kMaxImagePixels = int64_t{64} << 20;

// True when a picture of this size may be allocated.
bool image_size_allowed(int64_t width, int64_t height);

// Applies a colour key to one RGBA pixel: a pixel whose red, green and blue
// equal the key's becomes transparent black. Keys outside 0..0xFFFFFF
// (kNoColourKey among them) match nothing.
inline void apply_colour_key(uint8_t* rgba, int64_t colour_key) {
  if (colour_key < 0 || colour_key > 0xFFFFFF) return;
  const uint32_t key = static_cast<uint32_t>(colour_key);
  if (rgba[0] == (key & 0xFF) && rgba[1] == ((key >> 8) & 0xFF) && rgba[2] == ((key >> 16) & 0xFF)) {
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
  }
}

}  // namespace quarvel
