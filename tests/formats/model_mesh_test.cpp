// Model files written by the project's own writer and read back, and the
// triangles, frame picks and shadow volumes drawing makes from them.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gfx3d/formats/ddd_format.h"
#include "gfx3d/formats/ddd_mesh.h"
#include "gfx3d/formats/ddd_writer.h"

namespace {

using namespace quarvel;

DddModel read(const std::vector<uint8_t>& bytes) {
  DddModel model;
  EXPECT_EQ(parse_ddd(bytes.data(), bytes.size(), true, model), DddStatus::ok);
  return model;
}

DddModel read(const std::string& text) { return read(std::vector<uint8_t>(text.begin(), text.end())); }

TEST(ModelWriter, BinaryRoundTripQuantisesPositionsAndNormals) {
  DddBinarySource source;
  source.colours = {0x336699, 0xFFFFFFFE};
  source.u = {0.25f, 0.5f, 1.0f};
  source.v = {0.0f, 0.75f, 1.0f};
  const float tilted[3] = {0.3f, 0.9f, -0.2f};
  source.frames.push_back({{{-3, 0, 1}, {0, 0, 1}, 0}, {{5, 2, 1}, {0, 1, 0}, 1}, {{0.4f, -7, 1}, {1, 0, 0}, 0}});
  source.frames.push_back({{{0, 0, 0}, {0, 0, -1}, 0}, {{1, 1, 1}, {tilted[0], tilted[1], tilted[2]}, 1},
                           {{2, 2, 2}, {-1, 0, 0}, 0}});
  const DddModel model = read(write_ddd_binary(source));
  ASSERT_EQ(model.frames.size(), 2u);
  for (size_t f = 0; f < 2; ++f) {
    const auto& in = source.frames[f];
    const auto& out = model.frames[f].vertices;
    ASSERT_EQ(out.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
      for (int i = 0; i < 3; ++i) {
        float low = in[0].position[i], high = low;
        for (const auto& v : in) {
          low = std::min(low, v.position[i]);
          high = std::max(high, v.position[i]);
        }
        // Within half a step of the frame's own range on that axis.
        EXPECT_NEAR(out[k].position[i], in[k].position[i], (high - low) / 255.0f * 0.5f + 1e-5f) << f << k << i;
      }
      const float* n = kModelNormals[nearest_model_normal(in[k].normal)];
      EXPECT_EQ(out[k].normal[0], n[0]);
      EXPECT_EQ(out[k].normal[2], n[2]);
      EXPECT_EQ(out[k].colour, source.colours[in[k].colour_index]);
      EXPECT_EQ(out[k].u, source.u[k]);
      EXPECT_EQ(out[k].v, -source.v[k]);  // the reader turns v upwards
    }
  }
  // An axis-aligned normal is found exactly; a tilted one nearly.
  EXPECT_EQ(model.frames[0].vertices[1].normal[1], 1.0f);
  const float* n = model.frames[1].vertices[1].normal;
  const float length = std::sqrt(tilted[0] * tilted[0] + tilted[1] * tilted[1] + tilted[2] * tilted[2]);
  EXPECT_GT((n[0] * tilted[0] + n[1] * tilted[1] + n[2] * tilted[2]) / length, 0.97f);

  // What the writer cannot express it refuses.
  source.frames[1].pop_back();
  EXPECT_TRUE(write_ddd_binary(source).empty());
  source.frames[1] = source.frames[0];
  source.frames[1][0].colour_index = 2;
  EXPECT_TRUE(write_ddd_binary(source).empty());
}

TEST(ModelWriter, TextRoundTripIsExactAndFacesBecomeFans) {
  DddTextSource source;
  source.u = {0, 1, 0.5f};
  source.v = {0, 0, 1};
  source.faces = {{10, 20, 30, {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {4, 1}}}, {255, 0, 0, {{4, 2}, {3, 1}}}};
  std::vector<DddTextSource::Vertex> frame;
  for (int k = 0; k < 5; ++k)
    frame.push_back({{std::cos(k * 1.2566f) * 3.1f, std::sin(k * 1.2566f) * 3.1f, 0.1f * k}, {0, 0, 1}});
  source.frames = {frame, frame};
  for (auto& v : source.frames[1]) v.position[2] += 10;
  const DddModel model = read(write_ddd_text(source));
  ASSERT_EQ(model.frames.size(), 2u);
  // Marker + 5 corners, marker + 2 corners.
  ASSERT_EQ(model.frames[1].vertices.size(), 9u);
  const ModelVertex& corner = model.frames[1].vertices[3];  // the first face's third corner: vertex 2
  EXPECT_EQ(corner.position[0], source.frames[1][2].position[0]);
  EXPECT_EQ(corner.position[2], source.frames[1][2].position[2]);
  EXPECT_EQ(corner.u, 0.5f);
  EXPECT_EQ(corner.v, 1.0f);
  EXPECT_EQ(corner.colour, 10u + 20u * 256u + 30u * 65536u);

  // The pentagon is a fan of three triangles; the two-cornered face
  // draws nothing.
  DrawMesh mesh;
  ASSERT_TRUE(build_draw_mesh(model, mesh));
  EXPECT_EQ(mesh.vertex_count, 9u);
  EXPECT_EQ(mesh.lit_count, 9u);
  const uint32_t fan[9] = {0, 1, 2, 0, 2, 3, 0, 3, 4};
  for (size_t k = 0; k < 9; ++k) {
    EXPECT_EQ(mesh.frame_shape(1)[k * DrawMesh::kShapeFloats], source.frames[1][fan[k]].position[0]) << k;
    EXPECT_EQ(mesh.colours[k * 4 + 1], 20);
  }
  EXPECT_EQ(mesh.texcoords[2 * 2], 0.5f);  // the third vertex drawn is corner 2

  // Out-of-range corners are refused by the writer.
  source.faces[1].corners.push_back({5, 0});
  EXPECT_TRUE(write_ddd_text(source).empty());
}

TEST(DrawMesh, BinaryTrianglesGroupByTheirFirstCornersColour) {
  DddBinarySource source;
  source.colours = {0x0000FF, kColourUnlitWhite, kColourShadowOnly, kColourLitWhite};
  std::vector<DddBinarySource::Vertex> frame;
  // Triangles coloured: shadow-only, lit, unlit, lit white; then a lone
  // vertex that makes no triangle.
  const uint8_t firsts[4] = {2, 0, 1, 3};
  for (int t = 0; t < 4; ++t)
    for (int c = 0; c < 3; ++c)
      frame.push_back({{static_cast<float>(t), static_cast<float>(c), 0}, {0, 0, 1}, c == 0 ? firsts[t] : uint8_t(0)});
  frame.push_back({{9, 9, 9}, {0, 0, 1}, 0});
  source.frames.push_back(frame);
  DrawMesh mesh;
  ASSERT_TRUE(build_draw_mesh(read(write_ddd_binary(source)), mesh));
  EXPECT_EQ(mesh.vertex_count, 12u);
  EXPECT_EQ(mesh.lit_count, 6u);
  EXPECT_EQ(mesh.unlit_count, 3u);
  EXPECT_EQ(mesh.shadow_only_count, 3u);
  // Order: the lit triangles (1 then 3), the unlit one (2), the shadow one (0).
  const float expected_x[4] = {1, 3, 2, 0};
  for (int t = 0; t < 4; ++t) EXPECT_NEAR(mesh.shape[t * 3 * DrawMesh::kShapeFloats], expected_x[t], 0.02f) << t;  // half a step of 9 / 255
  // Special values are white; a plain colour keeps its bytes.
  EXPECT_EQ(mesh.colours[0], 255);
  EXPECT_EQ(mesh.colours[1], 0);
  EXPECT_EQ(mesh.colours[3 * 4 + 1], 255);  // triangle 3's first corner: lit white

  DddModel empty;
  EXPECT_FALSE(build_draw_mesh(empty, mesh));
  EXPECT_EQ(mesh.vertex_count, 0u);
}

TEST(DrawMesh, FramePicksWrapAndBlendLinearly) {
  struct Case {
    double frame;
    size_t count, first, second;
    float weight;
  };
  const Case cases[] = {{0, 3, 0, 1, 0},          {2.25, 3, 2, 0, 0.25f}, {3.5, 3, 0, 1, 0.5f},
                        {-0.25, 3, 2, 0, 0.75f},  {-3, 3, 0, 1, 0},       {3e18, 3, 0, 1, 0},
                        {std::nan(""), 3, 0, 1, 0}, {INFINITY, 3, 0, 1, 0}, {7.5, 1, 0, 0, 0},
                        {-1e-300, 4, 0, 1, 0}};
  for (const Case& c : cases) {
    const FramePick pick = pick_frame(c.frame, c.count);
    EXPECT_EQ(pick.first, c.first) << c.frame;
    EXPECT_EQ(pick.second, c.second) << c.frame;
    EXPECT_NEAR(pick.weight, c.weight, 1e-6) << c.frame;
    EXPECT_LT(pick.weight, 1.0f);
  }

  DrawMesh mesh;
  mesh.frame_count = 2;
  mesh.vertex_count = 3;
  mesh.shape.assign(2 * 3 * DrawMesh::kShapeFloats, 0.0f);
  for (size_t k = 0; k < 18; ++k) mesh.shape[18 + k] = 4.0f;
  std::vector<float> out(18);
  blend_frames(mesh, pick_frame(1.25, 2), out.data());  // 1 -> 0, a quarter of the way
  EXPECT_EQ(out[0], 3.0f);
  EXPECT_EQ(out[17], 3.0f);
}

TEST(ShadowVolume, EachTriangleMakesAClosedPrismWoundOutwards) {
  // One triangle at z = 0, lit from above and from below: the same prism
  // shape, always wound outwards.
  for (float light_z : {5.0f, -5.0f}) {
    const float shape[18] = {0, 0, 0, 0, 0, 1, 2, 0, 0, 0, 0, 1, 0, 2, 0, 0, 0, 1};
    const float light[3] = {0.5f, 0.5f, light_z};
    std::vector<float> volume;
    build_shadow_volume(shape, 3, light, 10.0f, volume);
    ASSERT_EQ(volume.size(), 8u * 9u);  // two caps and three sides of two triangles
    // The prism's centre: the mean of all corners.
    float centre[3] = {0, 0, 0};
    for (size_t k = 0; k < volume.size(); ++k) centre[k % 3] += volume[k] / (volume.size() / 3);
    double enclosed = 0;
    for (size_t t = 0; t < volume.size(); t += 9) {
      const float* a = &volume[t];
      const float* b = a + 3;
      const float* c = a + 6;
      const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
      const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
      const float out[3] = {a[0] - centre[0], a[1] - centre[1], a[2] - centre[2]};
      EXPECT_GT(n[0] * out[0] + n[1] * out[1] + n[2] * out[2], 0.0f) << "triangle " << t / 9;
      // Divergence theorem: a closed, outward surface encloses a positive
      // volume.
      enclosed += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0])) / 6.0;
    }
    EXPECT_GT(enclosed, 1.0);
    // The far cap lies away from the light.
    EXPECT_LT(volume[9 + 2] * light_z, 0.0f);
  }
  // A light on a corner or in the triangle's plane makes nothing.
  const float flat[18] = {0, 0, 0, 0, 0, 1, 2, 0, 0, 0, 0, 1, 0, 2, 0, 0, 0, 1};
  std::vector<float> volume;
  const float on_corner[3] = {2, 0, 0}, in_plane[3] = {5, 5, 0};
  build_shadow_volume(flat, 3, on_corner, 10.0f, volume);
  build_shadow_volume(flat, 3, in_plane, 10.0f, volume);
  EXPECT_TRUE(volume.empty());
}

}  // namespace
