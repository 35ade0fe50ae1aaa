// A loaded ".ddd" model turned into triangles ready for drawing, and the
// geometry work drawing needs on the CPU: picking and blending key frames,
// and building shadow volumes. Portable: no GL here.
//
// What the vertex lists mean:
//  - binary form: the expanded list is a triangle list (three vertices a
//    triangle; a trailing incomplete triangle is dropped);
//  - text form: each face starts with its marker vertex (colour value
//    0xFFFFFFFD) and is drawn as a fan of its corners (corner 0, k, k + 1);
//    faces of fewer than three corners draw nothing;
//  - a vertex colour 0x00BBGGRR is the lit material colour; the special
//    values (binary form only; a triangle takes its first corner's):
//      0xFFFFFFFF  white, lit: the texture's colours under the lights
//      0xFFFFFFFE  white, unlit: the texture's colours at full brightness
//      0xFFFFFFFD  (a face marker in the text form) drawn as 0xFFFFFFFF
//      0xFFFFFFFC  not drawn at all, but casts shadows (a shadow proxy)
//  - positions and normals come from every key frame; texture coordinates
//    and colours from the first (they are shared by all frames).
// Frames with fewer vertices than the others limit every frame to the
// smallest count, so that any two frames can be blended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx3d/formats/ddd_format.h"

namespace quarvel {

// Colour values with a meaning of their own.
constexpr uint32_t kColourLitWhite = 0xFFFFFFFFu;
constexpr uint32_t kColourUnlitWhite = 0xFFFFFFFEu;
constexpr uint32_t kColourShadowOnly = 0xFFFFFFFCu;

struct DrawMesh {
  // Floats per vertex in `shape`: position x, y, z and normal x, y, z.
  static constexpr size_t kShapeFloats = 6;

  size_t frame_count = 0;
  // Vertices per frame, a multiple of three, grouped in this order: lit
  // triangles, unlit triangles, shadow-only triangles.
  size_t vertex_count = 0;
  size_t lit_count = 0;
  size_t unlit_count = 0;
  size_t shadow_only_count = 0;
  // frame_count x vertex_count x kShapeFloats, frame after frame.
  std::vector<float> shape;
  // vertex_count x (u, v): u left to right across the texture, v bottom
  // to top.
  std::vector<float> texcoords;
  // vertex_count x (red, green, blue, alpha) bytes.
  std::vector<uint8_t> colours;

  const float* frame_shape(size_t frame) const { return shape.data() + frame * vertex_count * kShapeFloats; }
  void clear();
};

// Builds the triangles of a loaded model (frames expanded). False, with
// `mesh` empty, when the model has no frames or no whole triangle.
bool build_draw_mesh(const DddModel& model, DrawMesh& mesh);

// The two key frames and the blend weight for a frame value: the value is
// taken modulo the frame count (negative values count back from the end;
// NaN and infinities give frame 0), `first` is its whole part and `second`
// the frame after it (the last frame is followed by frame 0); `weight` is
// the fraction, 0 <= weight < 1.
struct FramePick {
  size_t first = 0;
  size_t second = 0;
  float weight = 0.0f;
};
FramePick pick_frame(double frame, size_t frame_count);

// Writes vertex_count x kShapeFloats floats to `out`: positions and
// normals of the two picked frames blended linearly.
void blend_frames(const DrawMesh& mesh, const FramePick& pick, float* out);

// Appends to `out` (x, y, z per vertex, triangles) the shadow volume of
// `vertex_count` vertices of shape data (kShapeFloats per vertex, the
// triangles of a DrawMesh frame) lit by a point light at `light`, all in
// the same coordinates. Every triangle makes a closed prism: the triangle
// itself turned to face the light, its copy moved `extrude` units away from
// the light along the light's rays, and the three sides between them, all
// wound counter-clockwise as seen from outside. Sides shared by two
// triangles come out twice with opposite windings and cancel in a counting
// stencil test, so only the outline of the model counts. Triangles of no
// area, or with a corner on the light, make nothing.
void build_shadow_volume(const float* shape, size_t vertex_count, const float light[3], float extrude,
                         std::vector<float>& out);

}  // namespace quarvel
