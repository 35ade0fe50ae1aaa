#include "models.h"

#include <array>
#include <cmath>
#include <map>
#include <utility>

#include "canvas.h"
#include "gfx2d/formats/image_writers.h"

namespace assetgen {

namespace {

using Vec = std::array<float, 3>;
constexpr float kPi = 3.14159265f;

Vec normalised(const Vec& v) {
  const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  return length > 0 ? Vec{v[0] / length, v[1] / length, v[2] / length} : Vec{0, 0, 1};
}
Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// Rotation of v by `angle` radians about the unit axis.
Vec turn(const Vec& v, const Vec& axis, float angle) {
  const float c = std::cos(angle), s = std::sin(angle), d = axis[0] * v[0] + axis[1] * v[1] + axis[2] * v[2];
  const Vec x = cross(axis, v);
  Vec out;
  for (int i = 0; i < 3; ++i) out[i] = v[i] * c + x[i] * s + axis[i] * d * (1 - c);
  return out;
}

// An icosahedron subdivided twice onto the unit sphere: 320 triangles,
// counter-clockwise from outside.
void unit_sphere(std::vector<Vec>& points, std::vector<std::array<int, 3>>& faces) {
  const float t = (1.0f + std::sqrt(5.0f)) / 2.0f;
  points = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
            {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
  for (Vec& p : points) p = normalised(p);
  faces = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
           {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
           {3, 8, 9},  {4, 9, 5},  {2, 4, 11},  {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
  for (int round = 0; round < 2; ++round) {
    std::map<std::pair<int, int>, int> middles;
    auto middle = [&](int a, int b) {
      const auto key = std::make_pair(std::min(a, b), std::max(a, b));
      auto found = middles.find(key);
      if (found != middles.end()) return found->second;
      const Vec& p = points[a];
      const Vec& q = points[b];
      points.push_back(normalised({p[0] + q[0], p[1] + q[1], p[2] + q[2]}));
      return middles[key] = static_cast<int>(points.size()) - 1;
    };
    std::vector<std::array<int, 3>> finer;
    for (const auto& f : faces) {
      const int ab = middle(f[0], f[1]), bc = middle(f[1], f[2]), ca = middle(f[2], f[0]);
      finer.push_back({f[0], ab, ca});
      finer.push_back({f[1], bc, ab});
      finer.push_back({f[2], ca, bc});
      finer.push_back({ab, bc, ca});
    }
    faces.swap(finer);
  }
}

}  // namespace

quarvel::DddBinarySource make_rock_model() {
  std::vector<Vec> points;
  std::vector<std::array<int, 3>> faces;
  unit_sphere(points, faces);
  // A lumpy stone: the sphere pushed in and out by noise, flattened a little.
  std::vector<Vec> shape(points.size());
  for (size_t k = 0; k < points.size(); ++k) {
    const Vec& p = points[k];
    const float lat = std::asin(std::max(-1.0f, std::min(1.0f, p[1])));
    const float lon = std::atan2(p[2], p[0]);
    const float bumps = fractal_noise((lon + kPi) * 1.3f, (lat + kPi) * 1.3f, 77, 3, 0);
    const float r = 8.0f * (0.78f + 0.42f * bumps);
    shape[k] = {p[0] * r * 1.1f, p[1] * r * 0.85f, p[2] * r};
  }
  quarvel::DddBinarySource source;
  // Greys and browns; the darkest for the hollows.
  source.colours = {0x58606A, 0x6E7680, 0x8A8F94, 0x5A6A7E, 0x404850};
  // One texture position per vertex: the corners of every face in order.
  std::vector<uint8_t> colour_of_face(faces.size());
  for (size_t f = 0; f < faces.size(); ++f) {
    const Vec& p = points[faces[f][0]];
    const float n = value_noise(p[0] * 3 + 5, p[1] * 3 + p[2] * 2 + 5, 91);
    colour_of_face[f] = static_cast<uint8_t>(std::min(4, static_cast<int>(n * 5)));
    for (int c = 0; c < 3; ++c) {
      const Vec& q = points[faces[f][c]];
      source.u.push_back(0.5f + std::atan2(q[2], q[0]) / (2 * kPi));
      source.v.push_back(0.5f - std::asin(std::max(-1.0f, std::min(1.0f, q[1]))) / kPi);
    }
  }
  const Vec axis = normalised({0.4f, 1.0f, 0.25f});
  for (int frame = 0; frame < kRockFrames; ++frame) {
    const float angle = 2 * kPi * static_cast<float>(frame) / kRockFrames;
    std::vector<quarvel::DddBinarySource::Vertex> vertices;
    for (size_t f = 0; f < faces.size(); ++f) {
      Vec corner[3];
      for (int c = 0; c < 3; ++c) corner[c] = turn(shape[faces[f][c]], axis, angle);
      const Vec normal = normalised(cross(sub(corner[1], corner[0]), sub(corner[2], corner[0])));
      for (int c = 0; c < 3; ++c) {
        // Smooth shading: the sphere's direction, turned with the stone.
        const Vec smooth = normalised(turn(points[faces[f][c]], axis, angle));
        const Vec blended = normalised({smooth[0] + normal[0], smooth[1] + normal[1], smooth[2] + normal[2]});
        vertices.push_back({{corner[c][0], corner[c][1], corner[c][2]},
                            {blended[0], blended[1], blended[2]},
                            colour_of_face[f]});
      }
    }
    source.frames.push_back(std::move(vertices));
  }
  return source;
}

quarvel::DddBinarySource make_craft_model() {
  // Nose along -z, wings along x, the top up: a flat arrow with a canopy
  // and two engine glows (unlit white: full bright whatever the lights).
  const Vec nose{0, 0, -12}, tail_l{-9, 0, 7}, tail_r{9, 0, 7}, tail_c{0, 0, 4};
  const Vec top{0, 2.5f, 1}, belly{0, -1.5f, 1};
  const Vec canopy_front{0, 1.6f, -4}, canopy_l{-1.6f, 1.4f, 0}, canopy_r{1.6f, 1.4f, 0}, canopy_top{0, 3.2f, 0};
  quarvel::DddBinarySource source;
  source.colours = {0xB8B0A8, 0x807870, 0xE0A040, 0xFFFFFFFE, 0x605850};
  std::vector<quarvel::DddBinarySource::Vertex> v;
  auto tri = [&](const Vec& a, const Vec& b, const Vec& c, uint8_t colour) {
    const Vec n = normalised(cross(sub(b, a), sub(c, a)));
    for (const Vec* p : {&a, &b, &c}) v.push_back({{(*p)[0], (*p)[1], (*p)[2]}, {n[0], n[1], n[2]}, colour});
  };
  // Hull: upper and lower halves of the arrow.
  tri(nose, tail_l, top, 0);
  tri(nose, top, tail_r, 0);
  tri(tail_l, tail_c, top, 1);
  tri(tail_c, tail_r, top, 1);
  tri(nose, belly, tail_l, 4);
  tri(nose, tail_r, belly, 4);
  tri(tail_l, belly, tail_c, 4);
  tri(tail_c, belly, tail_r, 4);
  // Canopy.
  tri(canopy_front, canopy_l, canopy_top, 2);
  tri(canopy_front, canopy_top, canopy_r, 2);
  tri(canopy_l, tail_c, canopy_top, 1);
  tri(canopy_top, tail_c, canopy_r, 1);
  // Engine glows behind the wings, facing back (+z).
  for (float x : {-5.0f, 5.0f}) {
    const Vec a{x - 1.2f, -0.6f, 6.2f}, b{x + 1.2f, -0.6f, 6.2f}, c{x + 1.2f, 0.8f, 6.2f}, d{x - 1.2f, 0.8f, 6.2f};
    tri(a, b, c, 3);
    tri(a, c, d, 3);
  }
  source.frames.push_back(std::move(v));
  return source;
}

quarvel::DddTextSource make_pad_model() {
  // A hexagonal landing pad 60 wide: a dark top of six triangles around the
  // centre (one six-cornered face), a light ring and six side walls.
  quarvel::DddTextSource source;
  source.u = {0.5f, 0.0f, 1.0f};
  source.v = {0.5f, 0.0f, 1.0f};
  std::vector<quarvel::DddTextSource::Vertex> vertices;
  const float inner = 22, outer = 30, height = 2;
  for (int ring = 0; ring < 3; ++ring) {
    for (int k = 0; k < 6; ++k) {
      const float a = kPi / 3 * static_cast<float>(k);
      const float r = ring == 0 ? inner : outer;
      const float y = ring == 2 ? 0.0f : height;
      const Vec normal = ring == 2 ? Vec{std::cos(a), 0, -std::sin(a)} : Vec{0, 1, 0};
      vertices.push_back({{r * std::cos(a), y, -r * std::sin(a)}, {normal[0], normal[1], normal[2]}});
    }
  }
  // Corners go counter-clockwise seen from above (+y): angle grows towards -z.
  quarvel::DddTextSource::Face top{70, 76, 84, {}};
  for (uint32_t k = 0; k < 6; ++k) top.corners.push_back({k, 0});
  source.faces.push_back(top);
  for (uint32_t k = 0; k < 6; ++k) {
    const uint32_t next = (k + 1) % 6;
    source.faces.push_back({200, 170, 60, {{k, 1}, {6 + k, 1}, {6 + next, 2}, {next, 2}}});
    source.faces.push_back({110, 110, 120, {{6 + k, 1}, {12 + k, 1}, {12 + next, 2}, {6 + next, 2}}});
  }
  source.frames.push_back(std::move(vertices));
  return source;
}

bool write_models(const std::string& dir) {
  const std::string rock = dir + "/rock.ddd", craft = dir + "/craft.ddd", pad = dir + "/pad.ddd";
  const std::vector<uint8_t> rock_bytes = quarvel::write_ddd_binary(make_rock_model());
  const std::vector<uint8_t> craft_bytes = quarvel::write_ddd_binary(make_craft_model());
  const std::string pad_text = quarvel::write_ddd_text(make_pad_model());
  const std::vector<uint8_t> pad_bytes(pad_text.begin(), pad_text.end());
  return !rock_bytes.empty() && !craft_bytes.empty() && !pad_bytes.empty() &&
         quarvel::write_file_bytes(rock.c_str(), rock_bytes) && quarvel::write_file_bytes(craft.c_str(), craft_bytes) &&
         quarvel::write_file_bytes(pad.c_str(), pad_bytes);
}

}  // namespace assetgen
