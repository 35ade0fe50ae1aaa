#include "audio/formats/wave_reader.h"

#include "values/file_bytes.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace quarvel {
namespace {

constexpr size_t kFixedHeader = 36;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// Offset of the extensible format's sub-format tag from the file start.
constexpr size_t kSubFormatAt = 44;

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Reads a chunk header at `at`; false when fewer than 8 bytes are left.
bool chunk_header(const uint8_t* bytes, size_t length, size_t at, char id[4], uint32_t& size) {
  if (at > length || length - at < 8) return false;
  std::memcpy(id, bytes + at, 4);
  size = u32(bytes + at + 4);
  return true;
}

// Moves past a chunk body of `size` bytes (and its pad byte when odd);
// false when the body runs past the end.
bool skip_body(size_t length, size_t& at, uint32_t size) {
  if (at > length || size > length - at) return false;
  at += size;
  if ((size & 1) != 0 && at < length) ++at;
  return true;
}

}  // namespace

bool parse_wave(const uint8_t* bytes, size_t length, WaveSound& out) {
  out = WaveSound();
  if (bytes == nullptr || length < kFixedHeader) return false;

  const uint32_t format_size = u32(bytes + 16);
  const uint16_t format_tag = u16(bytes + 20);
  const uint16_t channels = u16(bytes + 22);
  const uint32_t rate = u32(bytes + 24);
  const uint16_t block_align = u16(bytes + 32);
  const uint16_t bits = u16(bytes + 34);

  // The format chunk body starts at 20; it must hold the fields above.
  if (format_size < 16) return false;
  size_t at = 20;
  if (!skip_body(length, at, format_size)) return false;

  if (format_tag == kFormatExtensible) {
    if (format_size < 40 || u16(bytes + kSubFormatAt) != kFormatPcm) return false;
  } else if (format_tag != kFormatPcm) {
    return false;
  }
  if (channels != 1 && channels != 2) return false;
  if (bits != 8 && bits != 16) return false;
  if (block_align != channels * (bits / 8)) return false;
  if (rate == 0) return false;

  char id[4];
  uint32_t size = 0;
  if (!chunk_header(bytes, length, at, id, size)) return false;
  at += 8;
  if (std::memcmp(id, "fact", 4) == 0) {
    if (!skip_body(length, at, size)) return false;
    if (!chunk_header(bytes, length, at, id, size)) return false;
    at += 8;
  }
  if (std::memcmp(id, "data", 4) != 0) return false;
  if (size > length - at) return false;
  const size_t whole = size - size % block_align;
  if (whole == 0) return false;

  out.channels = channels;
  out.sample_rate = rate;
  out.bits_per_sample = bits;
  out.block_align = block_align;
  out.samples = bytes + at;
  out.sample_bytes = whole;
  return true;
}

bool read_sound_file(const char* file_name, std::vector<uint8_t>& bytes, size_t max_bytes) {
  return read_file_bytes(file_name, max_bytes, bytes);
}

}  // namespace quarvel
