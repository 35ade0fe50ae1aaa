// The pixel-exact overlap test of two alpha masks. Masks hold one byte per
// texel of a padded texture, bottom texel row first; a picture texel at
// column px, row py (from the picture's top) is byte
// (image height - 1 - py) * padded width + px.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace quarvel {

struct MaskView {
  const uint8_t* mask;  // bytes 0 or 0xFF (make_mask_solid)
  int64_t padded_width;
  int64_t width, height;  // picture size
};

// Any alpha above 0 is solid: the cached mask holds 0 or 0xFF only, so the
// scan can combine two masks with a plain AND (0x80 & 0x40 would be 0).
inline void make_mask_solid(uint8_t* mask, size_t size) {
  for (size_t i = 0; i < size; ++i) mask[i] = mask[i] != 0 ? 0xFF : 0;
}

// True when the two pictures, with their top-left corners at (x1, y1) and
// (x2, y2), have a pixel where both are not fully transparent. The overlap
// is scanned on a 2 x 2 lattice in four passes (even/even offsets first, a
// coarse grid that finds most hits early), which together visit every
// pixel once.
inline bool masks_overlap(const MaskView& a, int64_t x1, int64_t y1, const MaskView& b, int64_t x2, int64_t y2) {
  const int64_t left = std::max(x1, x2), right = std::min(x1 + a.width, x2 + b.width);
  const int64_t top = std::max(y1, y2), bottom = std::min(y1 + a.height, y2 + b.height);
  if (right <= left || bottom <= top) return false;
  static constexpr int kPass[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  for (const auto& pass : kPass) {
    for (int64_t y = top + pass[1]; y < bottom; y += 2) {
      // Row pointers shifted so that a screen x indexes them directly.
      const uint8_t* row_a = a.mask + (a.height - 1 - (y - y1)) * a.padded_width - x1;
      const uint8_t* row_b = b.mask + (b.height - 1 - (y - y2)) * b.padded_width - x2;
      unsigned hit = 0;
      for (int64_t x = left + pass[0]; x < right; x += 2) hit |= row_a[x] & row_b[x];
      if (hit) return true;
    }
  }
  return false;
}

}  // namespace quarvel
