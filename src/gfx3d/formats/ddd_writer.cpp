#include "gfx3d/formats/ddd_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "gfx3d/formats/ddd_format.h"

namespace quarvel {

namespace {

void put_u32(std::vector<uint8_t>& out, uint32_t value) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

void put_f32(std::vector<uint8_t>& out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  put_u32(out, bits);
}

void put_number(std::string& out, double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, static_cast<float>(value));
  out.append(text, result.ptr);
}

}  // namespace

uint8_t nearest_model_normal(const float d[3]) {
  int best = 0;
  float best_dot = -2.0f;
  const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (!(length > 0.0f)) return 0;
  for (int k = 0; k < kModelNormalCount; ++k) {
    const float dot = (kModelNormals[k][0] * d[0] + kModelNormals[k][1] * d[1] + kModelNormals[k][2] * d[2]) / length;
    if (dot > best_dot) {
      best_dot = dot;
      best = k;
    }
  }
  return static_cast<uint8_t>(best);
}

std::vector<uint8_t> write_ddd_binary(const DddBinarySource& source) {
  const size_t count = source.frames.empty() ? 0 : source.frames[0].size();
  for (const auto& frame : source.frames) {
    if (frame.size() != count) return {};
    for (const auto& vertex : frame)
      if (vertex.colour_index >= source.colours.size()) return {};
  }
  if (source.u.size() != source.v.size()) return {};
  std::vector<uint8_t> out;
  put_u32(out, kDddMagic);
  const double version = kDddBinaryVersion;
  uint64_t bits;
  std::memcpy(&bits, &version, 8);
  put_u32(out, static_cast<uint32_t>(bits));
  put_u32(out, static_cast<uint32_t>(bits >> 32));
  put_u32(out, static_cast<uint32_t>(source.frames.size()));
  put_u32(out, static_cast<uint32_t>(source.colours.size()));
  put_u32(out, static_cast<uint32_t>(source.u.size()));
  for (uint32_t colour : source.colours) put_u32(out, colour);
  for (size_t k = 0; k < source.u.size(); ++k) {
    put_f32(out, source.u[k]);
    put_f32(out, source.v[k]);
  }
  for (const auto& frame : source.frames) {
    // position = (byte - offset) x scale, the bytes spanning each axis's
    // range in this frame.
    float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
      if (frame.empty()) break;
      low[i] = high[i] = frame[0].position[i];
      for (const auto& vertex : frame) {
        low[i] = std::min(low[i], vertex.position[i]);
        high[i] = std::max(high[i], vertex.position[i]);
      }
    }
    float offset[3], scale[3];
    for (int i = 0; i < 3; ++i) {
      scale[i] = high[i] > low[i] ? (high[i] - low[i]) / 255.0f : 1.0f;
      offset[i] = -low[i] / scale[i];
    }
    put_u32(out, static_cast<uint32_t>(frame.size()));
    for (float value : offset) put_f32(out, value);
    for (float value : scale) put_f32(out, value);
    for (const auto& vertex : frame) {
      for (int i = 0; i < 3; ++i) {
        const float q = std::round((vertex.position[i] - low[i]) / scale[i]);
        out.push_back(static_cast<uint8_t>(std::clamp(q, 0.0f, 255.0f)));
      }
      out.push_back(nearest_model_normal(vertex.normal));
      out.push_back(vertex.colour_index);
    }
  }
  return out;
}

std::string write_ddd_text(const DddTextSource& source) {
  const size_t count = source.frames.empty() ? 0 : source.frames[0].size();
  for (const auto& frame : source.frames)
    if (frame.size() != count) return {};
  if (source.u.size() != source.v.size()) return {};
  for (const auto& face : source.faces)
    for (const auto& corner : face.corners)
      if (corner.first >= count || (!source.u.empty() && corner.second >= source.u.size())) return {};

  std::string out = "DDDA 1.1\n# texture coordinates\n";
  out += std::to_string(source.u.size()) + "\n";
  for (size_t k = 0; k < source.u.size(); ++k) {
    put_number(out, source.u[k]);
    out += ' ';
    put_number(out, source.v[k]);
    out += '\n';
  }
  out += "# faces: red green blue, corners, then vertex and texture coordinate per corner\n";
  out += std::to_string(source.faces.size()) + "\n";
  for (const auto& face : source.faces) {
    out += std::to_string(face.red) + ' ' + std::to_string(face.green) + ' ' + std::to_string(face.blue) + ' ' +
           std::to_string(face.corners.size());
    for (const auto& corner : face.corners)
      out += "  " + std::to_string(corner.first) + ' ' + std::to_string(corner.second);
    out += '\n';
  }
  out += "# frames: vertex count, then x y z nx ny nz per vertex\n";
  out += std::to_string(source.frames.size()) + "\n";
  for (const auto& frame : source.frames) {
    out += std::to_string(frame.size()) + "\n";
    for (const auto& vertex : frame) {
      for (int i = 0; i < 3; ++i) {
        put_number(out, vertex.position[i]);
        out += ' ';
      }
      for (int i = 0; i < 3; ++i) {
        put_number(out, vertex.normal[i]);
        out += i < 2 ? ' ' : '\n';
      }
    }
  }
  return out;
}

}  // namespace quarvel
