#include "gfx3d/formats/ddd_mesh.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace quarvel {

void DrawMesh::clear() {
  frame_count = vertex_count = lit_count = unlit_count = shadow_only_count = 0;
  std::vector<float>().swap(shape);
  std::vector<float>().swap(texcoords);
  std::vector<uint8_t>().swap(colours);
}

namespace {

uint8_t to_byte(float value) {
  if (!(value > 0.0f)) return 0;
  if (value >= 1.0f) return 255;
  return static_cast<uint8_t>(value * 255.0f + 0.5f);
}

// The vertex indices of the triangles of a frame's vertex list, in three
// groups by the first corner's colour.
struct TriangleLists {
  std::vector<uint32_t> lit, unlit, shadow_only;

  void add(const std::vector<ModelVertex>& vertices, uint32_t a, uint32_t b, uint32_t c) {
    const uint32_t colour = vertices[a].colour;
    std::vector<uint32_t>& list =
        colour == kColourUnlitWhite ? unlit : colour == kColourShadowOnly ? shadow_only : lit;
    list.push_back(a);
    list.push_back(b);
    list.push_back(c);
  }
};

void list_triangles(const DddModel& model, size_t count, TriangleLists& lists) {
  const std::vector<ModelVertex>& first = model.frames[0].vertices;
  bool binary = false;
  for (const ModelFrame& frame : model.frames)
    if (!frame.packed.empty()) binary = true;
  if (binary) {
    for (size_t k = 0; k + 3 <= count; k += 3)
      lists.add(first, static_cast<uint32_t>(k), static_cast<uint32_t>(k + 1), static_cast<uint32_t>(k + 2));
    return;
  }
  // Text form: marker, corners, marker, corners ... each face a fan.
  size_t k = 0;
  while (k < count) {
    if (first[k].colour != kFaceMarkerColour) {
      ++k;  // corners before the first marker belong to no face
      continue;
    }
    size_t end = k + 1;
    while (end < count && first[end].colour != kFaceMarkerColour) ++end;
    const size_t corner0 = k + 1;
    for (size_t c = corner0 + 1; c + 1 < end; ++c)
      lists.add(first, static_cast<uint32_t>(corner0), static_cast<uint32_t>(c), static_cast<uint32_t>(c + 1));
    k = end;
  }
}

}  // namespace

bool build_draw_mesh(const DddModel& model, DrawMesh& mesh) {
  mesh.clear();
  if (model.frames.empty()) return false;
  size_t count = model.frames[0].vertices.size();
  for (const ModelFrame& frame : model.frames) count = std::min(count, frame.vertices.size());
  if (count < 3) return false;
  try {
    TriangleLists lists;
    list_triangles(model, count, lists);
    std::vector<uint32_t> order;
    order.reserve(lists.lit.size() + lists.unlit.size() + lists.shadow_only.size());
    order.insert(order.end(), lists.lit.begin(), lists.lit.end());
    order.insert(order.end(), lists.unlit.begin(), lists.unlit.end());
    order.insert(order.end(), lists.shadow_only.begin(), lists.shadow_only.end());
    if (order.empty()) return false;

    mesh.frame_count = model.frames.size();
    mesh.vertex_count = order.size();
    mesh.lit_count = lists.lit.size();
    mesh.unlit_count = lists.unlit.size();
    mesh.shadow_only_count = lists.shadow_only.size();
    mesh.shape.resize(mesh.frame_count * mesh.vertex_count * DrawMesh::kShapeFloats);
    float* out = mesh.shape.data();
    for (const ModelFrame& frame : model.frames) {
      for (uint32_t index : order) {
        const ModelVertex& v = frame.vertices[index];
        out[0] = v.position[0];
        out[1] = v.position[1];
        out[2] = v.position[2];
        out[3] = v.normal[0];
        out[4] = v.normal[1];
        out[5] = v.normal[2];
        out += DrawMesh::kShapeFloats;
      }
    }
    mesh.texcoords.resize(mesh.vertex_count * 2);
    mesh.colours.resize(mesh.vertex_count * 4);
    const std::vector<ModelVertex>& first = model.frames[0].vertices;
    for (size_t k = 0; k < order.size(); ++k) {
      const ModelVertex& v = first[order[k]];
      mesh.texcoords[k * 2] = v.u;
      mesh.texcoords[k * 2 + 1] = v.v;
      uint8_t* c = &mesh.colours[k * 4];
      if (v.colour >= kFirstSpecialColour) {
        c[0] = c[1] = c[2] = 255;
      } else {
        c[0] = to_byte(v.red);
        c[1] = to_byte(v.green);
        c[2] = to_byte(v.blue);
      }
      c[3] = 255;
    }
  } catch (const std::bad_alloc&) {
    mesh.clear();
    return false;
  }
  return true;
}

FramePick pick_frame(double frame, size_t frame_count) {
  FramePick pick;
  if (frame_count <= 1) return pick;
  const double count = static_cast<double>(frame_count);
  double f = std::isfinite(frame) ? std::fmod(frame, count) : 0.0;
  if (f < 0) f += count;
  if (!(f >= 0 && f < count)) f = 0;  // a tiny negative value rounds up to the count
  const double whole = std::floor(f);
  pick.first = std::min(static_cast<size_t>(whole), frame_count - 1);
  pick.weight = static_cast<float>(f - whole);
  if (!(pick.weight < 1.0f)) {
    // The fraction rounded up to a whole frame in single precision.
    pick.weight = 0.0f;
    pick.first = (pick.first + 1) % frame_count;
  }
  pick.second = (pick.first + 1) % frame_count;
  return pick;
}

void blend_frames(const DrawMesh& mesh, const FramePick& pick, float* out) {
  const size_t n = mesh.vertex_count * DrawMesh::kShapeFloats;
  const float* a = mesh.frame_shape(pick.first);
  if (pick.weight == 0.0f) {
    std::copy(a, a + n, out);
    return;
  }
  const float* b = mesh.frame_shape(pick.second);
  const float w = pick.weight;
  for (size_t k = 0; k < n; ++k) out[k] = a[k] + (b[k] - a[k]) * w;
}

namespace {

struct V3 {
  float x, y, z;
};
V3 sub(const V3& a, const V3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 cross(const V3& a, const V3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void put(std::vector<float>& out, const V3& a, const V3& b, const V3& c) {
  out.insert(out.end(), {a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z});
}

}  // namespace

void build_shadow_volume(const float* shape, size_t vertex_count, const float light_position[3], float extrude,
                         std::vector<float>& out) {
  const V3 light{light_position[0], light_position[1], light_position[2]};
  const size_t stride = DrawMesh::kShapeFloats;
  out.reserve(out.size() + vertex_count / 3 * 24 * 3);
  for (size_t k = 0; k + 3 <= vertex_count; k += 3) {
    const float* p = shape + k * stride;
    V3 corner[3] = {{p[0], p[1], p[2]}, {p[stride], p[stride + 1], p[stride + 2]},
                    {p[2 * stride], p[2 * stride + 1], p[2 * stride + 2]}};
    const V3 normal = cross(sub(corner[1], corner[0]), sub(corner[2], corner[0]));
    const float facing = dot(normal, sub(light, corner[0]));
    if (facing == 0.0f || !std::isfinite(facing)) continue;  // no area, or edge-on to the light
    // The cap faces the light.
    if (facing < 0) std::swap(corner[1], corner[2]);
    V3 far[3];
    bool usable = true;
    for (int c = 0; c < 3; ++c) {
      const V3 ray = sub(corner[c], light);
      const float length = std::sqrt(dot(ray, ray));
      if (!(length > 0.0f)) {
        usable = false;
        break;
      }
      const float s = extrude / length;
      far[c] = {corner[c].x + ray.x * s, corner[c].y + ray.y * s, corner[c].z + ray.z * s};
    }
    if (!usable) continue;
    put(out, corner[0], corner[1], corner[2]);
    put(out, far[0], far[2], far[1]);
    for (int c = 0; c < 3; ++c) {
      const int d = (c + 1) % 3;
      put(out, corner[c], far[c], far[d]);
      put(out, corner[c], far[d], corner[d]);
    }
  }
}

}  // namespace quarvel
