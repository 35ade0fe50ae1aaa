// Builds small ".ddd" model files in memory for the tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace quarvel_test {

struct PackedVertex {
  uint8_t x, y, z, normal, colour;
};

struct BinaryFrame {
  float offset[3];
  float scale[3];
  std::vector<PackedVertex> vertices;
};

class BinaryModelWriter {
 public:
  std::vector<uint32_t> colours;
  std::vector<float> u, v;
  std::vector<BinaryFrame> frames;
  double version = 1.02;

  std::vector<uint8_t> bytes() const {
    std::vector<uint8_t> out;
    u32(out, 0x00C6B317u);
    uint64_t bits;
    std::memcpy(&bits, &version, 8);
    u32(out, static_cast<uint32_t>(bits));
    u32(out, static_cast<uint32_t>(bits >> 32));
    u32(out, static_cast<uint32_t>(frames.size()));
    u32(out, static_cast<uint32_t>(colours.size()));
    u32(out, static_cast<uint32_t>(u.size()));
    for (uint32_t c : colours) u32(out, c);
    for (size_t i = 0; i < u.size(); ++i) {
      f32(out, u[i]);
      f32(out, v[i]);
    }
    for (const BinaryFrame& f : frames) {
      u32(out, static_cast<uint32_t>(f.vertices.size()));
      for (float o : f.offset) f32(out, o);
      for (float s : f.scale) f32(out, s);
      for (const PackedVertex& p : f.vertices) out.insert(out.end(), {p.x, p.y, p.z, p.normal, p.colour});
    }
    return out;
  }

  static void u32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
  static void f32(std::vector<uint8_t>& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    u32(out, bits);
  }
};

inline std::vector<uint8_t> bytes_of(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace quarvel_test
