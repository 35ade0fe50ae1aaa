// sprite_collision over the cached alpha masks.
#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx2d/collision_scan.h"
#include "quarvel/graphics.h"
#include "values/truncate.h"

namespace quarvel {

double sprite_collision(double first, double x1, double y1, double second, double x2, double y2) {
  OpenGLVurivari* gfx = engine().gfx;
  if (!gfx) return 0;
  const int s1 = truncate_to_int32(first), s2 = truncate_to_int32(second);
  // An empty slot has no picture: it touches nothing and its texture is
  // never read.
  if (!valid_slot(s1) || !valid_slot(s2) || gfx->slots.texture[s1] == 0 || gfx->slots.texture[s2] == 0) return 0;
  const int64_t w1 = gfx->slots.image_width[s1], h1 = gfx->slots.image_height[s1];
  const int64_t w2 = gfx->slots.image_width[s2], h2 = gfx->slots.image_height[s2];
  const int64_t ix1 = truncate_to_int32(x1), iy1 = truncate_to_int32(y1);
  const int64_t ix2 = truncate_to_int32(x2), iy2 = truncate_to_int32(y2);
  if (std::min(ix1 + w1, ix2 + w2) <= std::max(ix1, ix2) || std::min(iy1 + h1, iy2 + h2) <= std::max(iy1, iy2)) {
    return 0;
  }
  const std::vector<uint8_t>* m1 = gfx->alpha_mask(s1);
  const std::vector<uint8_t>* m2 = gfx->alpha_mask(s2);
  if (!m1 || !m2 || m1->empty() || m2->empty()) return 0;
  const MaskView a{m1->data(), gfx->slots.padded_width[s1], w1, h1};
  const MaskView b{m2->data(), gfx->slots.padded_width[s2], w2, h2};
  return masks_overlap(a, ix1, iy1, b, ix2, iy2) ? 1 : 0;
}

}  // namespace quarvel
