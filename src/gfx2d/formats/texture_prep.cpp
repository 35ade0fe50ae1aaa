#include "gfx2d/formats/texture_prep.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace quarvel {

int padded_size(int n) {
  int size = 2;
  while (size < n && size < (1 << 30)) size *= 2;
  return size;
}

namespace {

// Transparent texels take the average colour of the opaque texels around
// them, so that bilinear filtering does not pull dark fringes into sprite
// edges. Neighbours on the texture's border do not count. Bled texels keep
// alpha 0, so they never feed a later texel.
void bleed_colours(TexelPicture& picture) {
  const int w = picture.width;
  const int h = picture.height;
  uint8_t* texels = picture.texels.data();
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      uint8_t* texel = texels + (static_cast<size_t>(r) * w + c) * 4;
      if (texel[3] != 0) continue;
      int sum[3] = {0, 0, 0};
      int count = 0;
      for (int nr = std::max(r - 1, 1); nr <= std::min(r + 1, h - 2); ++nr) {
        for (int nc = std::max(c - 1, 1); nc <= std::min(c + 1, w - 2); ++nc) {
          if (nr == r && nc == c) continue;
          const uint8_t* n = texels + (static_cast<size_t>(nr) * w + nc) * 4;
          if (n[3] == 0) continue;
          sum[0] += n[0];
          sum[1] += n[1];
          sum[2] += n[2];
          ++count;
        }
      }
      for (int i = 0; i < 3; ++i) texel[i] = count > 0 ? static_cast<uint8_t>(sum[i] / count) : 0;
    }
  }
}

}  // namespace

bool prepare_texels(const ImageBuffer& image, int x, int y, int width, int height, int max_size,
                    bool nearest, TexelPicture& out) {
  out = TexelPicture();
  const int64_t image_w = image.width;
  const int64_t image_h = image.height;
  if (image_w < 0 || image_h < 0 || image.pixels.size() < static_cast<size_t>(image_w * image_h * 4)) {
    return false;
  }
  int64_t w = width != 0 ? width : image_w - x;
  int64_t h = height != 0 ? height : image_h - y;
  if (w < 1 || h < 1) return false;
  w = std::min<int64_t>(w, max_size);
  h = std::min<int64_t>(h, max_size);
  if (w < 1 || h < 1) return false;

  const int padded_w = padded_size(static_cast<int>(w));
  const int padded_h = padded_size(static_cast<int>(h));
  try {
    out.texels.assign(static_cast<size_t>(padded_w) * static_cast<size_t>(padded_h) * 4, 0);
  } catch (const std::bad_alloc&) {
    out = TexelPicture();
    return false;
  }
  out.width = padded_w;
  out.height = padded_h;

  // Source pixel (sx, sy) goes to texel (sx - x, y + h - 1 - sy): the
  // picture's top row lands in texel row h - 1.
  const int64_t x0 = std::max<int64_t>(x, 0);
  const int64_t x1 = std::min<int64_t>(image_w, int64_t{x} + w);
  const int64_t y0 = std::max<int64_t>(y, 0);
  const int64_t y1 = std::min<int64_t>(image_h, int64_t{y} + h);
  if (x0 < x1) {
    for (int64_t sy = y0; sy < y1; ++sy) {
      const int64_t texel_row = y + h - 1 - sy;
      std::memcpy(out.texels.data() + (texel_row * padded_w + (x0 - x)) * 4,
                  image.pixels.data() + (sy * image_w + x0) * 4, static_cast<size_t>(x1 - x0) * 4);
    }
  }

  if (!nearest) bleed_colours(out);
  return true;
}

void make_normal_map(TexelPicture& picture) {
  const int w = picture.width;
  const int h = picture.height;
  if (w < 1 || h < 1 || picture.texels.size() < static_cast<size_t>(w) * h * 4) return;
  const std::vector<uint8_t>& src = picture.texels;
  std::vector<uint8_t> result(src.size(), 0);
  // Height at a position that wraps around at every edge.
  auto height_at = [&](int c, int r) {
    c = (c + w) % w;
    r = (r + h) % h;
    return src[(static_cast<size_t>(r) * w + c) * 4 + 2] / 255.0;
  };
  auto to_byte = [](double v) {
    const double scaled = (v + 1.0) * 0.5 * 255.0;
    return static_cast<uint8_t>(std::clamp(scaled, 0.0, 255.0));
  };
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      const double gx = (height_at(c - 1, r - 1) + 2 * height_at(c - 1, r) + height_at(c - 1, r + 1)) -
                        (height_at(c + 1, r - 1) + 2 * height_at(c + 1, r) + height_at(c + 1, r + 1));
      const double gy = (height_at(c - 1, r + 1) + 2 * height_at(c, r + 1) + height_at(c + 1, r + 1)) -
                        (height_at(c - 1, r - 1) + 2 * height_at(c, r - 1) + height_at(c + 1, r - 1));
      const float length = static_cast<float>(std::sqrt(gx * gx + gy * gy + 1.0));
      const double n = 1.0 / static_cast<double>(length);
      const size_t at = (static_cast<size_t>(r) * w + c) * 4;
      result[at] = to_byte(gx * n);
      result[at + 1] = to_byte(gy * n);
      result[at + 2] = to_byte(n);
      result[at + 3] = src[at + 3];
    }
  }
  picture.texels.swap(result);
}

bool next_mipmap_level(TexelPicture& picture) {
  const int old_w = picture.width;
  const int old_h = picture.height;
  if (old_w <= 1 && old_h <= 1) return false;
  if (picture.texels.size() < static_cast<size_t>(old_w) * old_h * 4) return false;
  const int w = std::max(old_w / 2, 1);
  const int h = std::max(old_h / 2, 1);
  uint8_t* texels = picture.texels.data();
  auto old_texel = [&](int c, int r) {
    // For r < h - 1, 2r + 2 <= 2h - 2 <= old_h - 2, so the row two above
    // is always inside the old level; the clamp only guards the invariant.
    r = std::min(r, old_h - 1);
    return texels + (static_cast<size_t>(r) * old_w + c) * 4;
  };
  // In place: new texel (c, r) is written at r * w + c, never past the old
  // texels (2c .. 2c + 1, 2r .. 2r + 2) still to be read.
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      const uint8_t* p0 = old_texel(2 * c, 2 * r);
      uint8_t value[4];
      if (c < w - 1 && r < h - 1) {
        const uint8_t* p1 = old_texel(2 * c + 1, 2 * r);
        const uint8_t* p2 = old_texel(2 * c + 1, 2 * r + 2);
        const uint8_t* p3 = old_texel(2 * c, 2 * r + 2);
        for (int i = 0; i < 4; ++i) value[i] = static_cast<uint8_t>((4 * p0[i] + 2 * p1[i] + 2 * p2[i] + p3[i]) / 9);
      } else if (c < w - 1) {
        const uint8_t* p1 = old_texel(2 * c + 1, 2 * r);
        for (int i = 0; i < 4; ++i) value[i] = static_cast<uint8_t>((2 * p0[i] + p1[i]) / 3);
      } else if (r < h - 1) {
        const uint8_t* p3 = old_texel(2 * c, 2 * r + 2);
        for (int i = 0; i < 4; ++i) value[i] = static_cast<uint8_t>((2 * p0[i] + p3[i]) / 3);
      } else {
        std::memcpy(value, p0, 4);
      }
      std::memcpy(texels + (static_cast<size_t>(r) * w + c) * 4, value, 4);
    }
  }
  picture.width = w;
  picture.height = h;
  picture.texels.resize(static_cast<size_t>(w) * h * 4);
  return true;
}

}  // namespace quarvel
