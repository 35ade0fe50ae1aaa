// Writes small bitmap files for tests (24-bit, bottom-up rows).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace quarvel_test {

// Pixels are packed 0x00BBGGRR, top row first.
inline void write_bmp24(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels) {
  const int stride = (width * 3 + 3) & ~3;
  const uint32_t data_size = static_cast<uint32_t>(stride * height);
  std::vector<uint8_t> file(54 + data_size, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  put32(34, data_size);
  for (int row = 0; row < height; ++row) {
    const int src = height - 1 - row;  // bottom-up
    for (int x = 0; x < width; ++x) {
      uint32_t p = pixels[static_cast<size_t>(src * width + x)];
      uint8_t* out = &file[54 + static_cast<size_t>(row * stride + x * 3)];
      out[0] = static_cast<uint8_t>(p >> 16);
      out[1] = static_cast<uint8_t>(p >> 8);
      out[2] = static_cast<uint8_t>(p);
    }
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                              static_cast<std::streamsize>(file.size()));
}

inline void write_solid_bmp(const std::string& path, int width, int height, uint32_t colour) {
  write_bmp24(path, width, height, std::vector<uint32_t>(static_cast<size_t>(width * height), colour));
}

}  // namespace quarvel_test
