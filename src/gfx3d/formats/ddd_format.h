// The ".ddd" model file: key-frame vertex animations in a compact binary
// form (quantised positions, table-coded normals) or the "DDDA" text form.
// Both forms are read here from bytes in memory into the same model; the
// runtime side (gfx3d/model_store.h) reads the file and writes the report
// lines.
//
// Binary form (all values little-endian):
//   0   magic 0x00C6B317 (bytes 17 B3 C6 00)
//   4   version, IEEE double, exactly 1.02
//   12  F frames, 16 K colours, 20 T texture coordinates (32-bit each)
//   24  K colour values (32-bit, 0x00BBGGRR or 0xFFFFFFFC..0xFFFFFFFF)
//       T pairs u, v (floats)
//       F frame records: V (32-bit), offset x y z, scale x y z (floats),
//       then V packed vertices of 5 bytes: x, y, z, normal index, colour
//       index.
//
// Text form: blank-separated tokens, '#' starts a comment up to the end of
// the line: "DDDA", version (at most 1.1), T and T pairs u v, P faces each
// "red green blue n" and n pairs "vertex texcoord", F frames each V and V
// vertices "x y z" (and "nx ny nz" from version 1.1 on).
//
// Everything in a file is checked before it is used: counts must fit in
// what is left of the input (a lying header cannot make the reader
// allocate more than the input justifies), table indices must point into
// their tables, and the expanded vertex lists of one model are capped at
// kMaxExpandedVertices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarvel {

// One expanded vertex: 22 32-bit words.
struct ModelVertex {
  float position[3];
  float normal[3];
  float u, v;
  float zero[3];
  // Two further direction vectors for the renderer; the binary form fills
  // both with normal table entry 0, the text form leaves them 0.
  float direction1[3];
  float direction2[3];
  uint32_t colour;        // 0x00BBGGRR or a special value 0xFFFFFFFC..0xFFFFFFFF
  uint32_t colour_index;  // low byte used
  float red, green, blue;  // 0..1; 1, 1, 1 for a special colour value
};
static_assert(sizeof(ModelVertex) == 22 * 4, "a model vertex is 22 words");

// Colour values from this one up are special (drawn white).
constexpr uint32_t kFirstSpecialColour = 0xFFFFFFFCu;
// The marker vertex that starts every face of a text model.
constexpr uint32_t kFaceMarkerColour = 0xFFFFFFFDu;

struct ModelFrame {
  // Binary form: the packed vertex count. Text form: the number of
  // expanded vertices (each face's marker and corners).
  uint32_t vertex_count = 0;
  float offset[3] = {0, 0, 0};
  float scale[3] = {0, 0, 0};
  std::vector<uint8_t> packed;          // 5 bytes per vertex, binary form only
  std::vector<ModelVertex> vertices;    // empty until expanded
};

// The model as one mesh record holds it.
struct DddModel {
  std::vector<uint32_t> colours;  // binary form's colour table, file order
  std::vector<float> u, v;        // texture coordinates as in the file
  std::vector<ModelFrame> frames;
  uint8_t loaded = 0;

  void clear();
};

enum class DddStatus {
  ok,
  wrong_version,  // binary magic with a version other than 1.02
  read_error,     // short, malformed or inconsistent content
  no_memory,      // beyond the expansion cap, or allocation failed
  not_a_model,    // neither magic nor "DDDA" with version at most 1.1
};

constexpr uint32_t kDddMagic = 0x00C6B317u;
constexpr double kDddBinaryVersion = 1.02;
constexpr double kDddTextMaxVersion = 1.1;
constexpr int kModelNormalCount = 162;
// Expanded vertices of all frames of one model together (88 bytes each).
constexpr size_t kMaxExpandedVertices = size_t(1) << 22;

// The 162 unit normals that packed vertices index.
extern const float kModelNormals[kModelNormalCount][3];

// True when the first four bytes are the binary magic.
bool is_binary_ddd(const uint8_t* bytes, size_t length);

// Reads either form into `model`, which is cleared first. With `expand`
// set, binary frames also get their expanded vertex lists (text frames
// always do). On success `loaded` is 1; on any failure the model is left
// empty with `loaded` 0.
DddStatus parse_ddd(const uint8_t* bytes, size_t length, bool expand, DddModel& model);

// Builds the expanded vertex list of a binary frame of `model` (its packed
// vertices checked by parse_ddd). No-op for a frame without packed data.
void expand_binary_frame(const DddModel& model, ModelFrame& frame);

}  // namespace quarvel
