// The ".ddd" reader over bytes in memory: both forms, and the inputs it
// must refuse without reading outside them.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "gfx3d/formats/ddd_format.h"
#include "model_files.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

DddStatus parse(const std::vector<uint8_t>& bytes, DddModel& model, bool expand = true) {
  return parse_ddd(bytes.data(), bytes.size(), expand, model);
}

// A red triangle in two frames, moved up by one in the second; normals are
// table entries 5 (0,0,1), 32 (0,1,0) and 52 (1,0,0).
BinaryModelWriter binary_triangle() {
  BinaryModelWriter w;
  w.colours = {0x0000FF};
  w.u = {0.0f, 1.0f, 0.0f};
  w.v = {-0.0f, -0.0f, -1.0f};  // stored negated: the reader negates them back
  for (uint8_t z : {128, 130}) {
    BinaryFrame f{{128, 128, 128}, {0.5f, 0.5f, 0.5f}, {}};
    f.vertices = {{128, 128, z, 5, 0}, {130, 128, z, 32, 0}, {128, 130, z, 52, 0}};
    w.frames.push_back(f);
  }
  return w;
}

const char* const kTextTriangle =
    "DDDA 1.1  # the same triangle as text\n"
    "3  0 0  1 0  0 1\n"
    "1  255 0 0  3  0 0  1 1  2 2\n"
    "2\n"
    "3  0 0 0  0 0 1   1 0 0  0 1 0   0 1 0  1 0 0\n"
    "3  0 0 1  0 0 1   1 0 1  0 1 0   0 1 1  1 0 0\n";

TEST(ModelFormat, BothFormsGiveTheSameModel) {
  DddModel binary, text;
  ASSERT_EQ(parse(binary_triangle().bytes(), binary), DddStatus::ok);
  ASSERT_EQ(parse(bytes_of(kTextTriangle), text), DddStatus::ok);
  EXPECT_EQ(binary.loaded, 1);
  EXPECT_EQ(text.loaded, 1);
  ASSERT_EQ(binary.frames.size(), 2u);
  ASSERT_EQ(text.frames.size(), 2u);
  for (size_t f = 0; f < 2; ++f) {
    const auto& b = binary.frames[f].vertices;
    const auto& t = text.frames[f].vertices;
    ASSERT_EQ(b.size(), 3u);
    ASSERT_EQ(t.size(), 4u);  // the face's marker, then its corners
    EXPECT_EQ(t[0].colour, kFaceMarkerColour);
    for (size_t k = 0; k < 3; ++k) {
      SCOPED_TRACE(testing::Message() << "frame " << f << " vertex " << k);
      const ModelVertex& a = b[k];
      const ModelVertex& c = t[k + 1];
      for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(a.position[i], c.position[i]);
        EXPECT_FLOAT_EQ(a.normal[i], c.normal[i]);
      }
      EXPECT_FLOAT_EQ(a.u, c.u);
      EXPECT_FLOAT_EQ(a.v, c.v);
      EXPECT_EQ(a.colour, 0x0000FFu);
      EXPECT_EQ(c.colour, 0x0000FFu);
      EXPECT_EQ(std::make_tuple(a.red, a.green, a.blue), std::make_tuple(1.0f, 0.0f, 0.0f));
      EXPECT_EQ(std::make_tuple(c.red, c.green, c.blue), std::make_tuple(1.0f, 0.0f, 0.0f));
    }
  }
  EXPECT_FLOAT_EQ(binary.frames[1].vertices[2].position[2], 1.0f);
  EXPECT_FLOAT_EQ(binary.frames[1].vertices[2].position[1], 1.0f);
}

TEST(ModelFormat, BinaryDetails) {
  BinaryModelWriter w;
  w.colours = {0x00332211, 0xFFFFFFFF};
  w.u = {0.25f};
  w.v = {0.75f};
  BinaryFrame f{{1, 2, 3}, {2, 3, 4}, {{1, 2, 3, 161, 1}, {11, 12, 13, 0, 0}}};
  w.frames = {f};
  DddModel model;
  ASSERT_EQ(parse(w.bytes(), model, false), DddStatus::ok);
  ASSERT_EQ(model.frames.size(), 1u);
  EXPECT_TRUE(model.frames[0].vertices.empty());  // packed only
  EXPECT_EQ(model.frames[0].packed.size(), 10u);

  ASSERT_EQ(parse(w.bytes(), model, true), DddStatus::ok);
  const ModelVertex& special = model.frames[0].vertices[0];
  EXPECT_EQ(special.colour, 0xFFFFFFFFu);  // value kept, drawn white
  EXPECT_EQ(special.colour_index, 1u);
  EXPECT_EQ(std::make_tuple(special.red, special.green, special.blue), std::make_tuple(1.0f, 1.0f, 1.0f));
  EXPECT_FLOAT_EQ(special.normal[0], -0.688191f);
  EXPECT_FLOAT_EQ(special.v, -0.75f);  // negated
  EXPECT_FLOAT_EQ(special.u, 0.25f);
  EXPECT_EQ(std::make_tuple(special.position[0], special.position[1], special.position[2]),
            std::make_tuple(0.0f, 0.0f, 0.0f));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(special.direction1[i], kModelNormals[0][i]);
    EXPECT_EQ(special.direction2[i], kModelNormals[0][i]);
  }
  const ModelVertex& plain = model.frames[0].vertices[1];
  EXPECT_EQ(std::make_tuple(plain.position[0], plain.position[1], plain.position[2]),
            std::make_tuple(20.0f, 30.0f, 40.0f));
  EXPECT_FLOAT_EQ(plain.red, 0x11 / 255.0f);
  EXPECT_FLOAT_EQ(plain.green, 0x22 / 255.0f);
  EXPECT_FLOAT_EQ(plain.blue, 0x33 / 255.0f);
  // Past the texture coordinate table: none.
  EXPECT_EQ(std::make_tuple(plain.u, plain.v), std::make_tuple(0.0f, 0.0f));

  w.frames.clear();
  ASSERT_EQ(parse(w.bytes(), model), DddStatus::ok);
  EXPECT_TRUE(model.frames.empty());
  EXPECT_EQ(model.loaded, 1);
}

TEST(ModelFormat, TextDetails) {
  // Version 1.0: positions only, normals 0; no texture coordinates; a face
  // of n corners gives n + 1 vertices; v is not negated.
  DddModel model;
  ASSERT_EQ(parse(bytes_of("DDDA 1.0 0 2  0 0 255 2 1 9 0 9  10 20 30 1 2 2 # two faces\n"
                           "1 3 0 0 0 1 2 3 4 5 6"),
                  model),
            DddStatus::ok);
  ASSERT_EQ(model.frames.size(), 1u);
  const auto& v = model.frames[0].vertices;
  ASSERT_EQ(v.size(), 3u + 2u);
  EXPECT_EQ(v[0].colour, kFaceMarkerColour);
  EXPECT_EQ(std::make_tuple(v[0].red, v[0].green, v[0].blue), std::make_tuple(1.0f, 1.0f, 1.0f));
  EXPECT_EQ(v[1].colour, 0xFF0000u);
  EXPECT_EQ(std::make_tuple(v[1].position[0], v[1].position[1], v[1].position[2]), std::make_tuple(1.0f, 2.0f, 3.0f));
  EXPECT_EQ(std::make_tuple(v[1].normal[0], v[1].normal[1], v[1].normal[2]), std::make_tuple(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(v[2].position[0], 0.0f);
  EXPECT_EQ(v[3].colour, kFaceMarkerColour);
  EXPECT_EQ(v[4].colour, 10u + 20u * 256 + 30u * 65536);
  EXPECT_EQ(v[4].position[0], 4.0f);
  EXPECT_EQ(v[1].direction1[0], 0.0f);

  ASSERT_EQ(parse(bytes_of("DDDA 1.1 1 0.5 0.25 1 1 1 1 1 0 0 1 1 1 2 3 4 5 6"), model), DddStatus::ok);
  EXPECT_FLOAT_EQ(model.frames[0].vertices[1].v, 0.25f);
  EXPECT_FLOAT_EQ(model.frames[0].vertices[1].normal[2], 6.0f);
}

TEST(ModelFormat, NormalTable) {
  std::set<std::tuple<float, float, float>> seen;
  for (const auto& n : kModelNormals) {
    EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0, 1e-5);
    seen.insert({n[0], n[1], n[2]});
  }
  EXPECT_EQ(seen.size(), 162u);
  for (const auto& n : kModelNormals)  // the table is symmetric
    EXPECT_TRUE(seen.count({n[0] == 0 ? 0.0f : -n[0], n[1] == 0 ? 0.0f : -n[1], n[2] == 0 ? 0.0f : -n[2]}));
  EXPECT_EQ(std::make_tuple(kModelNormals[1][0], kModelNormals[1][1], kModelNormals[1][2]),
            std::make_tuple(-0.442863f, 0.238856f, 0.864188f));
  EXPECT_EQ(std::make_tuple(kModelNormals[161][0], kModelNormals[161][1], kModelNormals[161][2]),
            std::make_tuple(-0.688191f, -0.587785f, -0.425325f));
}

TEST(ModelFormat, EveryTruncationIsRefused) {
  const std::vector<uint8_t> full = binary_triangle().bytes();
  for (size_t n = 0; n < full.size(); ++n) {
    // An exact copy, so that the sanitizers see any read past the end.
    std::vector<uint8_t> part(full.begin(), full.begin() + n);
    DddModel model;
    const DddStatus status = parse_ddd(part.empty() ? nullptr : part.data(), part.size(), true, model);
    EXPECT_EQ(status, n < 4 ? DddStatus::not_a_model : DddStatus::read_error) << n << " bytes";
    EXPECT_EQ(model.loaded, 0);
    EXPECT_TRUE(model.frames.empty() && model.colours.empty() && model.u.empty());
  }
  const std::string text = kTextTriangle;
  // Cut after every token: only the whole text is a model.
  for (size_t n = 5; n + 1 < text.size(); ++n) {
    if (text[n] != ' ' && text[n] != '\n') continue;
    DddModel model;
    EXPECT_NE(parse(bytes_of(text.substr(0, n)), model), DddStatus::ok) << text.substr(0, n);
    EXPECT_EQ(model.loaded, 0);
  }
}

TEST(ModelFormat, BinaryLiesAndBadIndicesAreRefused) {
  DddModel model;
  BinaryModelWriter w = binary_triangle();
  w.version = 1.0200001;
  EXPECT_EQ(parse(w.bytes(), model), DddStatus::wrong_version);

  // Counts far beyond the input fail before anything is allocated for them.
  for (size_t at : {12u, 16u, 20u, 52u}) {  // F, K, T, first frame's V
    std::vector<uint8_t> lying = binary_triangle().bytes();
    lying[at] = lying[at + 1] = lying[at + 2] = lying[at + 3] = 0xFF;
    EXPECT_EQ(parse(lying, model), DddStatus::read_error) << at;
  }

  w = binary_triangle();
  w.frames[1].vertices[2].normal = 162;
  EXPECT_EQ(parse(w.bytes(), model), DddStatus::read_error);
  w = binary_triangle();
  w.frames[0].vertices[0].colour = 1;  // one colour only
  EXPECT_EQ(parse(w.bytes(), model, false), DddStatus::read_error);
  EXPECT_EQ(model.loaded, 0);
}

TEST(ModelFormat, TextMistakesAreRefused) {
  DddModel model;
  const std::vector<std::pair<const char*, DddStatus>> cases = {
      {"", DddStatus::not_a_model},
      {"DDDB 1.0 0 0 0", DddStatus::not_a_model},
      {"DDDAX 1.0 0 0 0", DddStatus::not_a_model},
      {"DDDA 1.2 0 0 0", DddStatus::not_a_model},
      {"DDDA nan 0 0 0", DddStatus::not_a_model},
      {"DDDA 1.0 0 0 0 trailing", DddStatus::ok},  // what follows the model is not read
      {"DDDA 1.0 0 1 0 0 0 1 3 0 1 3", DddStatus::read_error},          // corner names vertex 3 of 3
      {"DDDA 1.0 1 0 0 1 0 0 0 1 0 1 1 1 0 0 0", DddStatus::read_error},  // texture coordinate 1 of 1
      {"DDDA 1.0 0 1 256 0 0 1 0 0 1 1 0 0 0", DddStatus::read_error},   // colour above 255
      {"DDDA 1.0 0 1 0 0 0 1 -1 0 1 1 0 0 0", DddStatus::read_error},    // negative index
      {"DDDA 1.0 0 0 1 1 0 x 0", DddStatus::read_error},
      {"DDDA 1.0 0 0 1 1 0 0x10 0", DddStatus::read_error},
      {"DDDA 1.0 0 0 1 1 0 inf 0", DddStatus::read_error},
      {"DDDA 1.0 0 0 99999999999 1 0 0 0", DddStatus::read_error},  // more frames than the text holds
      {"DDDA 1.0 0 0 1 1 0 0", DddStatus::read_error},
      {"DDDA 1.0 0 0 1 1 +1.5e0 -2 3.9", DddStatus::ok},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(parse(bytes_of(text), model), expected) << text;
    EXPECT_EQ(model.loaded, expected == DddStatus::ok ? 1 : 0) << text;
  }
}

TEST(ModelFormat, ExpansionIsCapped) {
  // One face of 1000 corners on vertex 0 in 5000 one-vertex frames would
  // expand into five million vertices (440 MB).
  std::string text = "DDDA 1.0 0 1 1 2 3 1000";
  for (int i = 0; i < 1000; ++i) text += " 0 0";
  text += " 5000";
  for (int i = 0; i < 5000; ++i) text += " 1 0 0 0";
  DddModel model;
  EXPECT_EQ(parse(bytes_of(text), model), DddStatus::no_memory);
  EXPECT_TRUE(model.frames.empty());
}

}  // namespace
}  // namespace quarvel_test
