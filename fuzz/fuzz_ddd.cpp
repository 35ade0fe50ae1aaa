// Fuzz target for the ".ddd" model reader (both forms).
//
// Checks, for every input:
//  - a failed read leaves the model empty and not loaded;
//  - a loaded model's expanded vertices stay within the cap, every frame's
//    vertex count matches its lists, every binary vertex has a unit normal
//    and every vertex colour components within 0..1;
//  - reading without expansion and expanding each frame afterwards gives the
//    same vertices as reading with expansion;
//  - the triangles made for drawing stay within the frames' vertices, in
//    whole triangles and groups that add up, and key frames picked, blended
//    and turned into shadow volumes at odd frame values stay inside them.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "gfx3d/formats/ddd_format.h"
#include "gfx3d/formats/ddd_mesh.h"

using quarvel::DddModel;
using quarvel::DddStatus;
using quarvel::ModelVertex;

namespace {

void check_vertex(const ModelVertex& v, bool binary) {
  // Binary normals come from the table; text normals are the file's own.
  const float length = std::sqrt(v.normal[0] * v.normal[0] + v.normal[1] * v.normal[1] + v.normal[2] * v.normal[2]);
  if (binary) FUZZ_CHECK(std::fabs(length - 1.0f) < 1e-3f);
  FUZZ_CHECK(v.red >= 0 && v.red <= 1 && v.green >= 0 && v.green <= 1 && v.blue >= 0 && v.blue <= 1);
  FUZZ_CHECK(v.zero[0] == 0 && v.zero[1] == 0 && v.zero[2] == 0);
  FUZZ_CHECK(v.colour_index <= 0xFF);
}

void check_draw_mesh(const DddModel& model) {
  quarvel::DrawMesh mesh;
  if (!quarvel::build_draw_mesh(model, mesh)) {
    FUZZ_CHECK(mesh.vertex_count == 0 && mesh.shape.empty());
    return;
  }
  FUZZ_CHECK(mesh.frame_count == model.frames.size());
  FUZZ_CHECK(mesh.vertex_count % 3 == 0 && mesh.vertex_count > 0);
  FUZZ_CHECK(mesh.lit_count + mesh.unlit_count + mesh.shadow_only_count == mesh.vertex_count);
  FUZZ_CHECK(mesh.shape.size() == mesh.frame_count * mesh.vertex_count * quarvel::DrawMesh::kShapeFloats);
  FUZZ_CHECK(mesh.texcoords.size() == mesh.vertex_count * 2 && mesh.colours.size() == mesh.vertex_count * 4);
  std::vector<float> blended(mesh.vertex_count * quarvel::DrawMesh::kShapeFloats);
  std::vector<float> volume;
  const float light[3] = {10, 20, 30};
  for (double frame : {0.0, 0.5, -7.25, 1e300, std::nan("")}) {
    const quarvel::FramePick pick = quarvel::pick_frame(frame, mesh.frame_count);
    FUZZ_CHECK(pick.first < mesh.frame_count && pick.second < mesh.frame_count);
    FUZZ_CHECK(pick.weight >= 0.0f && pick.weight < 1.0f);
    quarvel::blend_frames(mesh, pick, blended.data());
    volume.clear();
    quarvel::build_shadow_volume(blended.data(), mesh.vertex_count, light, 100.0f, volume);
    FUZZ_CHECK(volume.size() % 9 == 0 && volume.size() <= mesh.vertex_count / 3 * 24 * 3);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DddModel expanded;
  const DddStatus status = quarvel::parse_ddd(data, size, true, expanded);
  if (status != DddStatus::ok) {
    FUZZ_CHECK(!expanded.loaded && expanded.frames.empty() && expanded.colours.empty() && expanded.u.empty());
    return 0;
  }
  FUZZ_CHECK(expanded.loaded == 1);
  const bool binary = quarvel::is_binary_ddd(data, size);
  size_t total = 0;
  for (const quarvel::ModelFrame& frame : expanded.frames) {
    FUZZ_CHECK(frame.vertex_count == frame.vertices.size());
    if (binary) FUZZ_CHECK(frame.packed.size() == size_t(frame.vertex_count) * 5);
    total += frame.vertices.size();
    for (const ModelVertex& v : frame.vertices) check_vertex(v, binary);
  }
  FUZZ_CHECK(total <= quarvel::kMaxExpandedVertices);
  check_draw_mesh(expanded);

  if (binary) {
    DddModel packed;
    FUZZ_CHECK(quarvel::parse_ddd(data, size, false, packed) == DddStatus::ok);
    FUZZ_CHECK(packed.frames.size() == expanded.frames.size());
    for (size_t f = 0; f < packed.frames.size(); ++f) {
      FUZZ_CHECK(packed.frames[f].vertices.empty());
      quarvel::expand_binary_frame(packed, packed.frames[f]);
      const auto& a = packed.frames[f].vertices;
      const auto& b = expanded.frames[f].vertices;
      FUZZ_CHECK(a.size() == b.size());
      FUZZ_CHECK(a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(ModelVertex)) == 0);
    }
  }
  return 0;
}
