// Fuzz target for the PNG reader.
//
// Checks, for every input:
//  - a decoded picture has width x height x 4 bytes, within the size caps;
//  - a failed decode leaves the picture empty, also when it held a picture;
//  - the result does not depend on the key except for keyed pixels, which
//    are transparent black.
// Every input is decoded twice: as it is, and with the CRC of every chunk
// recomputed, so that mutations get past libpng's CRC checks into the chunk
// contents.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_check.h"
#include "gfx2d/formats/image_readers.h"

using quarvel::ImageBuffer;

namespace {

bool decode_checked(const uint8_t* data, size_t size, int64_t key, ImageBuffer& image) {
  if (!check_decoded_picture(quarvel::decode_png(data, size, key, image), image)) return false;
  return true;
}

uint32_t crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

// A copy whose chunks, as far as they are complete, carry correct CRCs.
std::vector<uint8_t> with_fixed_crcs(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  size_t at = 8;
  while (at + 12 <= bytes.size()) {
    const size_t length = (size_t{bytes[at]} << 24) | (size_t{bytes[at + 1]} << 16) |
                          (size_t{bytes[at + 2]} << 8) | bytes[at + 3];
    if (length > bytes.size() - at - 12) break;
    const uint32_t crc = crc32(&bytes[at + 4], length + 4);
    for (int i = 0; i < 4; ++i) bytes[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
  return bytes;
}

void check_input(const uint8_t* data, size_t size) {
  ImageBuffer plain;
  const bool ok = decode_checked(data, size, quarvel::kNoColourKey, plain);

  ImageBuffer keyed;
  keyed.width = 3;
  keyed.height = 1;
  keyed.pixels.assign(12, 0x5A);
  FUZZ_CHECK(decode_checked(data, size, quarvel::kDefaultSpriteKey, keyed) == ok);
  if (!ok) return;
  FUZZ_CHECK(keyed.width == plain.width && keyed.height == plain.height);
  for (size_t i = 0; i < plain.pixels.size(); i += 4) {
    const uint8_t* p = &plain.pixels[i];
    const uint8_t* k = &keyed.pixels[i];
    const bool same = p[0] == k[0] && p[1] == k[1] && p[2] == k[2] && p[3] == k[3];
    const bool keyed_out = p[0] == 0xFF && p[1] == 0 && p[2] == 0x80 && p[3] == 255 && k[0] == 0 &&
                           k[1] == 0 && k[2] == 0 && k[3] == 0;
    FUZZ_CHECK(same || keyed_out);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  check_input(data, size);
  if (size > 8) {
    const std::vector<uint8_t> fixed = with_fixed_crcs(data, size);
    check_input(fixed.data(), fixed.size());
  }
  return 0;
}
