// Reader of the ".ddd" model file, both forms (see ddd_format.h).
#include "gfx3d/formats/ddd_format.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

namespace quarvel {

// The unit normals of a sphere subdivided from an icosahedron, in the order
// the packed vertices number them.
const float kModelNormals[kModelNormalCount][3] = {
    {-0.525731f, 0.000000f, 0.850651f},   {-0.442863f, 0.238856f, 0.864188f},
    {-0.295242f, 0.000000f, 0.955423f},   {-0.309017f, 0.500000f, 0.809017f},
    {-0.162460f, 0.262866f, 0.951056f},   {0.000000f, 0.000000f, 1.000000f},
    {0.000000f, 0.850651f, 0.525731f},    {-0.147621f, 0.716567f, 0.681718f},
    {0.147621f, 0.716567f, 0.681718f},    {0.000000f, 0.525731f, 0.850651f},
    {0.309017f, 0.500000f, 0.809017f},    {0.525731f, 0.000000f, 0.850651f},
    {0.295242f, 0.000000f, 0.955423f},    {0.442863f, 0.238856f, 0.864188f},
    {0.162460f, 0.262866f, 0.951056f},    {-0.681718f, 0.147621f, 0.716567f},
    {-0.809017f, 0.309017f, 0.500000f},   {-0.587785f, 0.425325f, 0.688191f},
    {-0.850651f, 0.525731f, 0.000000f},   {-0.864188f, 0.442863f, 0.238856f},
    {-0.716567f, 0.681718f, 0.147621f},   {-0.688191f, 0.587785f, 0.425325f},
    {-0.500000f, 0.809017f, 0.309017f},   {-0.238856f, 0.864188f, 0.442863f},
    {-0.425325f, 0.688191f, 0.587785f},   {-0.716567f, 0.681718f, -0.147621f},
    {-0.500000f, 0.809017f, -0.309017f},  {-0.525731f, 0.850651f, 0.000000f},
    {0.000000f, 0.850651f, -0.525731f},   {-0.238856f, 0.864188f, -0.442863f},
    {0.000000f, 0.955423f, -0.295242f},   {-0.262866f, 0.951056f, -0.162460f},
    {0.000000f, 1.000000f, 0.000000f},    {0.000000f, 0.955423f, 0.295242f},
    {-0.262866f, 0.951056f, 0.162460f},   {0.238856f, 0.864188f, 0.442863f},
    {0.262866f, 0.951056f, 0.162460f},    {0.500000f, 0.809017f, 0.309017f},
    {0.238856f, 0.864188f, -0.442863f},   {0.262866f, 0.951056f, -0.162460f},
    {0.500000f, 0.809017f, -0.309017f},   {0.850651f, 0.525731f, 0.000000f},
    {0.716567f, 0.681718f, 0.147621f},    {0.716567f, 0.681718f, -0.147621f},
    {0.525731f, 0.850651f, 0.000000f},    {0.425325f, 0.688191f, 0.587785f},
    {0.864188f, 0.442863f, 0.238856f},    {0.688191f, 0.587785f, 0.425325f},
    {0.809017f, 0.309017f, 0.500000f},    {0.681718f, 0.147621f, 0.716567f},
    {0.587785f, 0.425325f, 0.688191f},    {0.955423f, 0.295242f, 0.000000f},
    {1.000000f, 0.000000f, 0.000000f},    {0.951056f, 0.162460f, 0.262866f},
    {0.850651f, -0.525731f, 0.000000f},   {0.955423f, -0.295242f, 0.000000f},
    {0.864188f, -0.442863f, 0.238856f},   {0.951056f, -0.162460f, 0.262866f},
    {0.809017f, -0.309017f, 0.500000f},   {0.681718f, -0.147621f, 0.716567f},
    {0.850651f, 0.000000f, 0.525731f},    {0.864188f, 0.442863f, -0.238856f},
    {0.809017f, 0.309017f, -0.500000f},   {0.951056f, 0.162460f, -0.262866f},
    {0.525731f, 0.000000f, -0.850651f},   {0.681718f, 0.147621f, -0.716567f},
    {0.681718f, -0.147621f, -0.716567f},  {0.850651f, 0.000000f, -0.525731f},
    {0.809017f, -0.309017f, -0.500000f},  {0.864188f, -0.442863f, -0.238856f},
    {0.951056f, -0.162460f, -0.262866f},  {0.147621f, 0.716567f, -0.681718f},
    {0.309017f, 0.500000f, -0.809017f},   {0.425325f, 0.688191f, -0.587785f},
    {0.442863f, 0.238856f, -0.864188f},   {0.587785f, 0.425325f, -0.688191f},
    {0.688191f, 0.587785f, -0.425325f},   {-0.147621f, 0.716567f, -0.681718f},
    {-0.309017f, 0.500000f, -0.809017f},  {0.000000f, 0.525731f, -0.850651f},
    {-0.525731f, 0.000000f, -0.850651f},  {-0.442863f, 0.238856f, -0.864188f},
    {-0.295242f, 0.000000f, -0.955423f},  {-0.162460f, 0.262866f, -0.951056f},
    {0.000000f, 0.000000f, -1.000000f},   {0.295242f, 0.000000f, -0.955423f},
    {0.162460f, 0.262866f, -0.951056f},   {-0.442863f, -0.238856f, -0.864188f},
    {-0.309017f, -0.500000f, -0.809017f}, {-0.162460f, -0.262866f, -0.951056f},
    {0.000000f, -0.850651f, -0.525731f},  {-0.147621f, -0.716567f, -0.681718f},
    {0.147621f, -0.716567f, -0.681718f},  {0.000000f, -0.525731f, -0.850651f},
    {0.309017f, -0.500000f, -0.809017f},  {0.442863f, -0.238856f, -0.864188f},
    {0.162460f, -0.262866f, -0.951056f},  {0.238856f, -0.864188f, -0.442863f},
    {0.500000f, -0.809017f, -0.309017f},  {0.425325f, -0.688191f, -0.587785f},
    {0.716567f, -0.681718f, -0.147621f},  {0.688191f, -0.587785f, -0.425325f},
    {0.587785f, -0.425325f, -0.688191f},  {0.000000f, -0.955423f, -0.295242f},
    {0.000000f, -1.000000f, 0.000000f},   {0.262866f, -0.951056f, -0.162460f},
    {0.000000f, -0.850651f, 0.525731f},   {0.000000f, -0.955423f, 0.295242f},
    {0.238856f, -0.864188f, 0.442863f},   {0.262866f, -0.951056f, 0.162460f},
    {0.500000f, -0.809017f, 0.309017f},   {0.716567f, -0.681718f, 0.147621f},
    {0.525731f, -0.850651f, 0.000000f},   {-0.238856f, -0.864188f, -0.442863f},
    {-0.500000f, -0.809017f, -0.309017f}, {-0.262866f, -0.951056f, -0.162460f},
    {-0.850651f, -0.525731f, 0.000000f},  {-0.716567f, -0.681718f, -0.147621f},
    {-0.716567f, -0.681718f, 0.147621f},  {-0.525731f, -0.850651f, 0.000000f},
    {-0.500000f, -0.809017f, 0.309017f},  {-0.238856f, -0.864188f, 0.442863f},
    {-0.262866f, -0.951056f, 0.162460f},  {-0.864188f, -0.442863f, 0.238856f},
    {-0.809017f, -0.309017f, 0.500000f},  {-0.688191f, -0.587785f, 0.425325f},
    {-0.681718f, -0.147621f, 0.716567f},  {-0.442863f, -0.238856f, 0.864188f},
    {-0.587785f, -0.425325f, 0.688191f},  {-0.309017f, -0.500000f, 0.809017f},
    {-0.147621f, -0.716567f, 0.681718f},  {-0.425325f, -0.688191f, 0.587785f},
    {-0.162460f, -0.262866f, 0.951056f},  {0.442863f, -0.238856f, 0.864188f},
    {0.162460f, -0.262866f, 0.951056f},   {0.309017f, -0.500000f, 0.809017f},
    {0.147621f, -0.716567f, 0.681718f},   {0.000000f, -0.525731f, 0.850651f},
    {0.425325f, -0.688191f, 0.587785f},   {0.587785f, -0.425325f, 0.688191f},
    {0.688191f, -0.587785f, 0.425325f},   {-0.955423f, 0.295242f, 0.000000f},
    {-0.951056f, 0.162460f, 0.262866f},   {-1.000000f, 0.000000f, 0.000000f},
    {-0.850651f, 0.000000f, 0.525731f},   {-0.955423f, -0.295242f, 0.000000f},
    {-0.951056f, -0.162460f, 0.262866f},  {-0.864188f, 0.442863f, -0.238856f},
    {-0.951056f, 0.162460f, -0.262866f},  {-0.809017f, 0.309017f, -0.500000f},
    {-0.864188f, -0.442863f, -0.238856f}, {-0.951056f, -0.162460f, -0.262866f},
    {-0.809017f, -0.309017f, -0.500000f}, {-0.681718f, 0.147621f, -0.716567f},
    {-0.681718f, -0.147621f, -0.716567f}, {-0.850651f, 0.000000f, -0.525731f},
    {-0.688191f, 0.587785f, -0.425325f},  {-0.587785f, 0.425325f, -0.688191f},
    {-0.425325f, 0.688191f, -0.587785f},  {-0.425325f, -0.688191f, -0.587785f},
    {-0.587785f, -0.425325f, -0.688191f}, {-0.688191f, -0.587785f, -0.425325f},
};

void DddModel::clear() {
  colours.clear();
  colours.shrink_to_fit();
  u.clear();
  u.shrink_to_fit();
  v.clear();
  v.shrink_to_fit();
  frames.clear();
  frames.shrink_to_fit();
  loaded = 0;
}

namespace {

uint32_t read_u32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

float read_f32(const uint8_t* p) {
  uint32_t bits = read_u32(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

double read_f64(const uint8_t* p) {
  uint64_t bits = uint64_t(read_u32(p)) | uint64_t(read_u32(p + 4)) << 32;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

void set_colour(ModelVertex& out, uint32_t value) {
  out.colour = value;
  if (value >= kFirstSpecialColour) {
    out.red = out.green = out.blue = 1.0f;
  } else {
    out.red = static_cast<float>(value & 0xFF) / 255.0f;
    out.green = static_cast<float>((value >> 8) & 0xFF) / 255.0f;
    out.blue = static_cast<float>((value >> 16) & 0xFF) / 255.0f;
  }
}

// A cursor over the input that never moves past its end.
class ByteReader {
 public:
  ByteReader(const uint8_t* bytes, size_t length) : p_(bytes), left_(length) {}
  size_t left() const { return left_; }
  const uint8_t* take(size_t n) {
    if (n > left_) return nullptr;
    const uint8_t* at = p_;
    p_ += n;
    left_ -= n;
    return at;
  }

 private:
  const uint8_t* p_;
  size_t left_;
};

DddStatus parse_binary(const uint8_t* bytes, size_t length, bool expand, DddModel& model) {
  ByteReader in(bytes, length);
  in.take(4);  // magic, checked by the caller
  const uint8_t* version = in.take(8);
  if (!version) return DddStatus::read_error;
  double file_version = read_f64(version);
  // Exactly 1.02, compared bit for bit.
  if (std::memcmp(&file_version, &kDddBinaryVersion, sizeof file_version) != 0) return DddStatus::wrong_version;

  const uint8_t* counts = in.take(12);
  if (!counts) return DddStatus::read_error;
  const uint64_t frame_count = read_u32(counts);
  const uint64_t colour_count = read_u32(counts + 4);
  const uint64_t texcoord_count = read_u32(counts + 8);

  // Every count is held against what the input still has before anything
  // is allocated for it.
  if (colour_count * 4 > in.left()) return DddStatus::read_error;
  const uint8_t* colours = in.take(colour_count * 4);
  model.colours.resize(colour_count);
  for (uint64_t i = 0; i < colour_count; ++i) model.colours[i] = read_u32(colours + 4 * i);

  if (texcoord_count * 8 > in.left()) return DddStatus::read_error;
  const uint8_t* texcoords = in.take(texcoord_count * 8);
  model.u.resize(texcoord_count);
  model.v.resize(texcoord_count);
  for (uint64_t i = 0; i < texcoord_count; ++i) {
    model.u[i] = read_f32(texcoords + 8 * i);
    model.v[i] = read_f32(texcoords + 8 * i + 4);
  }

  constexpr size_t kFrameHeader = 28;
  if (frame_count * kFrameHeader > in.left()) return DddStatus::read_error;
  model.frames.resize(frame_count);
  size_t expanded = 0;
  for (ModelFrame& frame : model.frames) {
    const uint8_t* header = in.take(kFrameHeader);
    if (!header) return DddStatus::read_error;
    const uint64_t vertex_count = read_u32(header);
    for (int i = 0; i < 3; ++i) {
      frame.offset[i] = read_f32(header + 4 + 4 * i);
      frame.scale[i] = read_f32(header + 16 + 4 * i);
    }
    if (vertex_count * 5 > in.left()) return DddStatus::read_error;
    const uint8_t* packed = in.take(vertex_count * 5);
    for (uint64_t k = 0; k < vertex_count; ++k) {
      const uint8_t* vertex = packed + 5 * k;
      if (vertex[3] >= kModelNormalCount || vertex[4] >= colour_count) return DddStatus::read_error;
    }
    frame.vertex_count = static_cast<uint32_t>(vertex_count);
    frame.packed.assign(packed, packed + vertex_count * 5);
    if (expand) {
      expanded += vertex_count;
      if (expanded > kMaxExpandedVertices) return DddStatus::no_memory;
      expand_binary_frame(model, frame);
    }
  }
  return DddStatus::ok;
}

// ------------------------------------------------------------ text form ---

class TokenReader {
 public:
  TokenReader(const uint8_t* bytes, size_t length)
      : p_(reinterpret_cast<const char*>(bytes)), end_(p_ + length) {}

  // The next token; false at the end of the input.
  bool next(const char*& begin, const char*& end) {
    for (;;) {
      while (p_ < end_ && is_blank(*p_)) ++p_;
      if (p_ < end_ && *p_ == '#') {
        while (p_ < end_ && *p_ != '\n') ++p_;
        continue;
      }
      break;
    }
    if (p_ >= end_) return false;
    begin = p_;
    while (p_ < end_ && !is_blank(*p_) && *p_ != '#') ++p_;
    end = p_;
    return true;
  }

  // A finite decimal number making up the whole token.
  bool number(double& value) {
    const char* begin;
    const char* end;
    if (!next(begin, end)) return false;
    if (begin < end && *begin == '+') ++begin;
    auto result = std::from_chars(begin, end, value, std::chars_format::general);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
  }

  // A count or index: a number truncated toward zero, 0..limit.
  bool whole(uint64_t limit, uint64_t& value) {
    double d;
    if (!number(d)) return false;
    d = std::trunc(d);
    if (d < 0 || d > static_cast<double>(limit)) return false;
    value = static_cast<uint64_t>(d);
    return true;
  }

  // No token takes less than one character and one separator, so this is
  // how many tokens the rest of the input can hold at most.
  uint64_t tokens_left() const { return static_cast<uint64_t>(end_ - p_) / 2 + 1; }

 private:
  static bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
  const char* p_;
  const char* end_;
};

struct TextFace {
  uint32_t colour;
  size_t first_corner;  // into the corner lists
  size_t corner_count;
};

DddStatus parse_text(const uint8_t* bytes, size_t length, DddModel& model) {
  TokenReader in(bytes, length);
  const char* begin;
  const char* end;
  if (!in.next(begin, end) || end - begin != 4 || std::memcmp(begin, "DDDA", 4) != 0) return DddStatus::not_a_model;
  double version;
  if (!in.number(version) || version > kDddTextMaxVersion) return DddStatus::not_a_model;
  const bool has_normals = version >= kDddTextMaxVersion;

  uint64_t texcoord_count;
  if (!in.whole(in.tokens_left() / 2, texcoord_count)) return DddStatus::read_error;
  model.u.resize(texcoord_count);
  model.v.resize(texcoord_count);
  for (uint64_t i = 0; i < texcoord_count; ++i) {
    double u, v;
    if (!in.number(u) || !in.number(v)) return DddStatus::read_error;
    model.u[i] = static_cast<float>(u);
    model.v[i] = static_cast<float>(v);
  }

  uint64_t face_count;
  if (!in.whole(in.tokens_left() / 4, face_count)) return DddStatus::read_error;
  std::vector<TextFace> faces(face_count);
  std::vector<uint32_t> corner_vertex, corner_texcoord;
  uint32_t largest_vertex = 0;
  bool any_corner = false;
  for (TextFace& face : faces) {
    uint64_t rgb[3];
    for (uint64_t& c : rgb)
      if (!in.whole(255, c)) return DddStatus::read_error;
    face.colour = static_cast<uint32_t>(rgb[0] + rgb[1] * 256 + rgb[2] * 65536);
    uint64_t corners;
    if (!in.whole(in.tokens_left() / 2, corners)) return DddStatus::read_error;
    face.first_corner = corner_vertex.size();
    face.corner_count = corners;
    for (uint64_t k = 0; k < corners; ++k) {
      uint64_t vertex, texcoord;
      if (!in.whole(UINT32_MAX, vertex) || !in.whole(UINT32_MAX, texcoord)) return DddStatus::read_error;
      // Without texture coordinates the corner's index is not used.
      if (texcoord_count > 0 && texcoord >= texcoord_count) return DddStatus::read_error;
      corner_vertex.push_back(static_cast<uint32_t>(vertex));
      corner_texcoord.push_back(static_cast<uint32_t>(texcoord));
      if (!any_corner || vertex > largest_vertex) largest_vertex = static_cast<uint32_t>(vertex);
      any_corner = true;
    }
  }
  const uint64_t per_frame = face_count + corner_vertex.size();

  const size_t words = has_normals ? 6 : 3;
  uint64_t frame_count;
  if (!in.whole(in.tokens_left(), frame_count)) return DddStatus::read_error;
  if (per_frame > 0 && frame_count > kMaxExpandedVertices / per_frame) return DddStatus::no_memory;
  model.frames.resize(frame_count);
  std::vector<float> frame_vertices;
  for (ModelFrame& frame : model.frames) {
    uint64_t vertex_count;
    if (!in.whole(in.tokens_left() / words, vertex_count)) return DddStatus::read_error;
    // Every face corner must name a vertex of every frame.
    if (any_corner && largest_vertex >= vertex_count) return DddStatus::read_error;
    frame_vertices.resize(vertex_count * 6);
    for (uint64_t i = 0; i < vertex_count; ++i) {
      float* out = &frame_vertices[i * 6];
      for (size_t w = 0; w < 6; ++w) {
        double value = 0;
        if (w < words && !in.number(value)) return DddStatus::read_error;
        out[w] = static_cast<float>(value);
      }
    }
    frame.vertex_count = static_cast<uint32_t>(per_frame);
    frame.vertices.reserve(per_frame);
    for (const TextFace& face : faces) {
      ModelVertex marker{};
      set_colour(marker, kFaceMarkerColour);
      frame.vertices.push_back(marker);
      for (size_t k = face.first_corner; k < face.first_corner + face.corner_count; ++k) {
        ModelVertex vertex{};
        const float* source = &frame_vertices[static_cast<size_t>(corner_vertex[k]) * 6];
        std::memcpy(vertex.position, source, sizeof vertex.position);
        std::memcpy(vertex.normal, source + 3, sizeof vertex.normal);
        if (texcoord_count > 0) {
          vertex.u = model.u[corner_texcoord[k]];
          vertex.v = model.v[corner_texcoord[k]];
        }
        set_colour(vertex, face.colour);
        frame.vertices.push_back(vertex);
      }
    }
  }
  return DddStatus::ok;
}

}  // namespace

bool is_binary_ddd(const uint8_t* bytes, size_t length) { return length >= 4 && read_u32(bytes) == kDddMagic; }

void expand_binary_frame(const DddModel& model, ModelFrame& frame) {
  const size_t count = frame.packed.size() / 5;
  frame.vertices.assign(count, ModelVertex{});
  for (size_t k = 0; k < count; ++k) {
    const uint8_t* packed = &frame.packed[5 * k];
    ModelVertex& out = frame.vertices[k];
    for (int i = 0; i < 3; ++i) out.position[i] = (static_cast<float>(packed[i]) - frame.offset[i]) * frame.scale[i];
    const uint8_t normal = packed[3] < kModelNormalCount ? packed[3] : 0;
    std::memcpy(out.normal, kModelNormals[normal], sizeof out.normal);
    std::memcpy(out.direction1, kModelNormals[0], sizeof out.direction1);
    std::memcpy(out.direction2, kModelNormals[0], sizeof out.direction2);
    // Vertices past the texture coordinate table have none (0, 0).
    if (k < model.u.size() && k < model.v.size()) {
      out.u = model.u[k];
      out.v = -model.v[k];
    }
    const uint8_t colour_index = packed[4];
    out.colour_index = colour_index;
    set_colour(out, colour_index < model.colours.size() ? model.colours[colour_index] : 0xFFFFFFFFu);
  }
}

DddStatus parse_ddd(const uint8_t* bytes, size_t length, bool expand, DddModel& model) {
  model.clear();
  if (!bytes) length = 0;
  DddStatus status;
  try {
    status = is_binary_ddd(bytes, length) ? parse_binary(bytes, length, expand, model) : parse_text(bytes, length, model);
  } catch (const std::bad_alloc&) {
    status = DddStatus::no_memory;
  } catch (const std::length_error&) {
    status = DddStatus::no_memory;
  }
  if (status != DddStatus::ok) {
    model.clear();
    return status;
  }
  model.loaded = 1;
  return DddStatus::ok;
}

}  // namespace quarvel
