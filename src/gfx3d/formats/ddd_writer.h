// Writes ".ddd" model files from meshes given as plain numbers: the binary
// form (positions quantised to a byte per axis and frame, normals to the
// nearest entry of the unit normal table) and the "DDDA" text form
// (version 1.1, with normals). What these write, the reader reads back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarvel {

// Binary form: a triangle list, every frame the same number of vertices.
struct DddBinarySource {
  struct Vertex {
    float position[3];
    float normal[3];
    uint8_t colour_index;  // into `colours`
  };
  std::vector<uint32_t> colours;  // 0x00BBGGRR or a special value
  // One (u, v) per vertex position, u left to right, v top to bottom
  // across the picture (the file's own convention). Empty: untextured.
  std::vector<float> u, v;
  std::vector<std::vector<Vertex>> frames;
};

// Text form: faces drawn as fans of their corners over each frame's
// vertices.
struct DddTextSource {
  struct Face {
    uint8_t red, green, blue;
    // (vertex index, texture coordinate index) per corner.
    std::vector<std::pair<uint32_t, uint32_t>> corners;
  };
  struct Vertex {
    float position[3];
    float normal[3];
  };
  std::vector<float> u, v;  // u left to right, v bottom to top
  std::vector<Face> faces;
  std::vector<std::vector<Vertex>> frames;
};

// The file's bytes; empty when a frame holds a different number of
// vertices than the first, or a colour index or face corner points
// outside its table.
std::vector<uint8_t> write_ddd_binary(const DddBinarySource& source);
std::string write_ddd_text(const DddTextSource& source);

// The index of the table normal closest to the direction (0 for a zero
// vector).
uint8_t nearest_model_normal(const float direction[3]);

}  // namespace quarvel
