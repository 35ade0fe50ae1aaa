// Builders for wave files in memory, for the wave reader and sound tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace quarvel_test {

struct WaveLayout {
  uint16_t format_tag = 1;
  uint16_t channels = 2;
  uint32_t rate = 22050;
  uint16_t bits = 16;
  int block_align = -1;           // -1: channels x bytes per sample
  uint32_t format_size = 16;      // extra bytes beyond 16 are zero-filled
  std::string between;            // raw chunks between the format and data chunks
  int64_t data_size = -1;         // -1: the size of the samples
  uint16_t sub_format = 1;        // for the extensible tag
};

inline void append_u16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void append_u32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void append_text(std::vector<uint8_t>& b, const char* t) { b.insert(b.end(), t, t + std::strlen(t)); }

// A chunk as raw bytes: id, size, body (and the pad byte of an odd body).
inline std::string chunk(const char id[5], const std::string& body) {
  std::vector<uint8_t> b;
  append_text(b, id);
  append_u32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2) b.push_back(0);
  return std::string(b.begin(), b.end());
}

inline std::vector<uint8_t> wave_file(const WaveLayout& s, const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> b;
  append_text(b, "RIFF");
  append_u32(b, 0);  // fixed below
  append_text(b, "WAVE");
  append_text(b, "fmt ");
  append_u32(b, s.format_size);
  const uint16_t align =
      static_cast<uint16_t>(s.block_align >= 0 ? s.block_align : s.channels * (s.bits / 8));
  append_u16(b, s.format_tag);
  append_u16(b, s.channels);
  append_u32(b, s.rate);
  append_u32(b, s.rate * align);
  append_u16(b, align);
  append_u16(b, s.bits);
  for (uint32_t i = 16; i < s.format_size && i < 4096; ++i) {
    // The extensible layout keeps its sub-format tag at offset 24 of the body.
    b.push_back(i == 24 ? static_cast<uint8_t>(s.sub_format) : i == 25 ? static_cast<uint8_t>(s.sub_format >> 8) : 0);
  }
  if (s.format_size % 2 && s.format_size < 4096) b.push_back(0);
  b.insert(b.end(), s.between.begin(), s.between.end());
  append_text(b, "data");
  append_u32(b, static_cast<uint32_t>(s.data_size >= 0 ? s.data_size : static_cast<int64_t>(samples.size())));
  b.insert(b.end(), samples.begin(), samples.end());
  const uint32_t riff = static_cast<uint32_t>(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
  return b;
}

// Interleaved 16-bit frames of constant values.
inline std::vector<uint8_t> constant_frames16(size_t frames, int16_t left, int16_t right) {
  std::vector<uint8_t> b;
  for (size_t i = 0; i < frames; ++i) {
    append_u16(b, static_cast<uint16_t>(left));
    append_u16(b, static_cast<uint16_t>(right));
  }
  return b;
}

inline bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace quarvel_test
