// Fuzz target for the bitmap reader, and for the texel preparation that
// follows it on the way to a texture.
//
// Checks, for every input:
//  - a decoded picture has width x height x 4 bytes, within the size caps;
//  - a failed decode leaves the picture empty;
//  - without a key every pixel is opaque; with one, a pixel is either
//    opaque or transparent black;
//  - the texels of a rectangle of the picture have the padded size and hold
//    the picture's pixels flipped, and the mipmap chain ends at 1 x 1.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_check.h"
#include "gfx2d/formats/image_readers.h"
#include "gfx2d/formats/texture_prep.h"

using quarvel::ImageBuffer;

namespace {

bool decode_checked(const uint8_t* data, size_t size, int64_t key, ImageBuffer& image) {
  if (!check_decoded_picture(quarvel::decode_bitmap(data, size, key, image), image)) return false;
  for (size_t i = 0; i < image.pixels.size(); i += 4) {
    const uint8_t* p = &image.pixels[i];
    if (key == quarvel::kNoColourKey) {
      FUZZ_CHECK(p[3] == 255);
    } else {
      FUZZ_CHECK(p[3] == 255 || (p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0));
    }
  }
  return true;
}

void check_texels(const ImageBuffer& image, const uint8_t* data, size_t size) {
  // A rectangle chosen by the input's last bytes, origin possibly outside.
  auto byte = [&](size_t back) { return size > back ? static_cast<int>(data[size - 1 - back]) : 0; };
  const int x = byte(0) % 48 - 16;
  const int y = byte(1) % 48 - 16;
  const int w = byte(2) % 40;
  const int h = byte(3) % 40;
  const int max_size = 2 + byte(4) % 63;
  const bool nearest = (byte(5) & 1) != 0;
  quarvel::TexelPicture texels;
  if (!quarvel::prepare_texels(image, x, y, w, h, max_size, nearest, texels)) {
    FUZZ_CHECK(texels.texels.empty());
    return;
  }
  const int64_t width = w != 0 ? w : int64_t{image.width} - x;
  const int64_t height = h != 0 ? h : int64_t{image.height} - y;
  FUZZ_CHECK(width >= 1 && height >= 1);
  const int64_t cw = width < max_size ? width : max_size;
  const int64_t ch = height < max_size ? height : max_size;
  FUZZ_CHECK(texels.width == quarvel::padded_size(static_cast<int>(cw)));
  FUZZ_CHECK(texels.height == quarvel::padded_size(static_cast<int>(ch)));
  FUZZ_CHECK(texels.texels.size() == static_cast<size_t>(texels.width) * texels.height * 4);
  for (int64_t r = 0; r < texels.height; ++r) {
    for (int64_t c = 0; c < texels.width; ++c) {
      const uint8_t* t = &texels.texels[static_cast<size_t>((r * texels.width + c) * 4)];
      const int64_t sx = c + x;
      const int64_t sy = y + ch - 1 - r;
      const bool inside = c < cw && r < ch && sx >= 0 && sx < image.width && sy >= 0 && sy < image.height;
      const uint8_t* s = inside ? &image.pixels[static_cast<size_t>((sy * image.width + sx) * 4)] : nullptr;
      if (inside && (nearest || s[3] != 0)) {
        FUZZ_CHECK(std::memcmp(t, s, 4) == 0);
      } else {
        FUZZ_CHECK(t[3] == 0);
        if (nearest) {
          FUZZ_CHECK(t[0] == 0 && t[1] == 0 && t[2] == 0);
        }
      }
    }
  }
  int levels = 1;
  while (quarvel::next_mipmap_level(texels)) {
    ++levels;
    FUZZ_CHECK(texels.texels.size() == static_cast<size_t>(texels.width) * texels.height * 4);
  }
  FUZZ_CHECK(texels.width == 1 && texels.height == 1 && levels <= 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ImageBuffer image;
  if (decode_checked(data, size, quarvel::kDefaultSpriteKey, image)) {
    check_texels(image, data, size);
  }
  ImageBuffer opaque;
  const bool ok = decode_checked(data, size, quarvel::kNoColourKey, opaque);
  FUZZ_CHECK(ok == !image.pixels.empty());
  return 0;
}
