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
// Offset of the extensible format's sub-format tag in the format chunk body.
constexpr size_t kSubFormatAt = 24;

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

bool parse_wave(const uint8_t* bytes, size_t length, WaveSound& out, const char** why) {
  out = WaveSound();
  auto fail = [why](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  if (bytes == nullptr || length < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0) {
    return fail("not a wave file");
  }
  if (length < kFixedHeader) return fail("damaged (too short)");

  WaveSound format;
  bool have_format = false;
  size_t at = 12;
  for (;;) {
    char id[4];
    uint32_t size = 0;
    if (!chunk_header(bytes, length, at, id, size)) {
      return fail(have_format ? "damaged (no data chunk)" : "damaged (no format chunk)");
    }
    at += 8;
    if (std::memcmp(id, "fmt ", 4) == 0) {
      if (have_format) return fail("damaged (two format chunks)");
      // The body must hold the fields read below.
      if (size < 16 || size > length - at) return fail("damaged (format chunk)");
      const uint8_t* body = bytes + at;
      const uint16_t format_tag = u16(body);
      const uint16_t channels = u16(body + 2);
      const uint32_t rate = u32(body + 4);
      const uint16_t block_align = u16(body + 12);
      const uint16_t bits = u16(body + 14);
      if (format_tag == kFormatExtensible) {
        if (size < 40) return fail("damaged (format chunk)");
        if (u16(body + kSubFormatAt) != kFormatPcm) return fail("unsupported format (samples are not PCM)");
      } else if (format_tag != kFormatPcm) {
        return fail("unsupported format (samples are not PCM)");
      }
      if (channels != 1 && channels != 2) return fail("unsupported format (only 1 or 2 channels)");
      if (bits != 8 && bits != 16) return fail("unsupported format (only 8 or 16 bits a sample)");
      if (block_align != channels * (bits / 8)) return fail("damaged (block align)");
      if (rate == 0) return fail("damaged (sample rate 0)");
      format.channels = channels;
      format.sample_rate = rate;
      format.bits_per_sample = bits;
      format.block_align = block_align;
      have_format = true;
      skip_body(length, at, size);
    } else if (std::memcmp(id, "data", 4) == 0) {
      if (!have_format) return fail("damaged (data before the format chunk)");
      if (size > length - at) return fail("damaged (data chunk runs past the end)");
      const size_t whole = size - size % static_cast<uint32_t>(format.block_align);
      if (whole == 0) return fail("damaged (no whole sample frame)");
      out = format;
      out.samples = bytes + at;
      out.sample_bytes = whole;
      return true;
    } else if (!skip_body(length, at, size)) {
      // LIST, fact, cue, JUNK, bext, ...: skipped by their declared size.
      return fail("damaged (a chunk runs past the end)");
    }
  }
}

bool read_sound_file(const char* file_name, std::vector<uint8_t>& bytes, size_t max_bytes, const char** why) {
  return read_file_bytes(file_name, max_bytes, bytes, why);
}

}  // namespace quarvel
