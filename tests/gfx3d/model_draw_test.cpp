// Models on screen: placement by the object transform, key frames and
// their blends, textures, special colours, culling, lights, fog, shadows,
// 3D in off-screen surfaces, bad view settings, and every model of the
// fuzz corpus drawn without a fault.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gfx3d/formats/ddd_writer.h"
#include "model_files.h"
#include "view_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

std::string save_model(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = temp_dir() + "/" + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

using V = DddBinarySource::Vertex;

// A square in the plane z = 0 from (x0, y0) to (x1, y1) of cells x cells
// quads (lighting is worked out at the corners of each), counter-clockwise
// seen from +z.
std::vector<V> square(float x0, float y0, float x1, float y1, uint8_t colour, int cells = 1) {
  std::vector<V> out;
  const float w = (x1 - x0) / static_cast<float>(cells), h = (y1 - y0) / static_cast<float>(cells);
  for (int j = 0; j < cells; ++j) {
    for (int i = 0; i < cells; ++i) {
      const float ax = x0 + static_cast<float>(i) * w, ay = y0 + static_cast<float>(j) * h;
      const V a{{ax, ay, 0}, {0, 0, 1}, colour}, b{{ax + w, ay, 0}, {0, 0, 1}, colour},
          c{{ax + w, ay + h, 0}, {0, 0, 1}, colour}, d{{ax, ay + h, 0}, {0, 0, 1}, colour};
      for (const V& v : {a, b, c, a, c, d}) out.push_back(v);
    }
  }
  return out;
}

// The square from (-1, -1) to (1, 1) with texture coordinates over the
// whole picture (the file's v runs downwards).
DddBinarySource square_model(uint32_t colour, int cells = 1) {
  DddBinarySource source;
  source.colours = {colour};
  source.frames.push_back(square(-1, -1, 1, 1, 0, cells));
  for (const V& v : source.frames[0]) {
    source.u.push_back((v.position[0] + 1) / 2);
    source.v.push_back((1 - v.position[1]) / 2);
  }
  return source;
}

double load_binary(const std::string& name, const DddBinarySource& source, int slot) {
  const std::vector<uint8_t> bytes = write_ddd_binary(source);
  EXPECT_FALSE(bytes.empty());
  return load_object(DynString(save_model(name, bytes).c_str()), slot);
}

class ModelDrawTest : public View3DTest {
 protected:
  void SetUp() override {
    View3DTest::SetUp();
    report_start_ = read_file(report_path()).size();
  }
  std::string new_report_lines() const { return read_file(report_path()).substr(report_start_); }

  // Screen position of a point in world coordinates of the current view.
  static void screen_of(double x, double y, double z, double& sx, double& sy) {
    double depth = 0;
    world_to_screen(x, y, z, sx, sy, depth);
  }

  size_t report_start_ = 0;
};

TEST_F(ModelDrawTest, ModelCoversWhatTheTransformAndProjectionPredict) {
  ASSERT_EQ(load_binary("square.ddd", square_model(0x0000FF), 1), 1);
  start_3d_view(1, 100, 60);
  // Scaled to 4 x 1, turned a quarter about z (tall and narrow), moved.
  // (move_object and scale_object each start the placement afresh, so the
  // rotation comes last.)
  move_object(-3, 1, -20);
  scale_object(4, 1, 1);
  rotate_object(90, 0, 0, 1);
  draw_object(1, 0);
  double left, top, right, bottom;
  screen_of(-3 - 1, 1 + 4, -20, left, top);
  screen_of(-3 + 1, 1 - 4, -20, right, bottom);
  show_screen();
  const Frame f = presented();
  const Box box = lit_box(f);
  EXPECT_NEAR(box.x0, left, 1.0);
  EXPECT_NEAR(box.x1 + 1, right, 1.0);
  EXPECT_NEAR(box.y0, top, 1.0);
  EXPECT_NEAR(box.y1 + 1, bottom, 1.0);
  EXPECT_EQ(f.at((box.x0 + box.x1) / 2, (box.y0 + box.y1) / 2), 0x0000FFu);
  EXPECT_GT(bottom - top, 3.5 * (right - left));

  // Drawing leaves the model-view matrix as it was.
  start_3d_view(1, 100, 60);
  float before[16], after[16];
  gl_matrix(GL_MODELVIEW_MATRIX, before);
  move_object(0, 0, -20);
  draw_object(1, 0);
  gl_matrix(GL_MODELVIEW_MATRIX, after);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(before[k], after[k]);
}

TEST_F(ModelDrawTest, FractionalFramesBlendAndAnyFrameValueWraps) {
  DddBinarySource source = square_model(0x00FF00);
  source.frames.clear();
  source.frames.push_back(square(-9, -1, -7, 1, 0));  // frame 0 left
  source.frames.push_back(square(7, -1, 9, 1, 0));    // frame 1 right
  ASSERT_EQ(load_binary("two_frames.ddd", source, 2), 1);
  EXPECT_EQ(object_frame_count(2), 2);
  struct Case {
    double frame;
    double centre_x;  // world x of the square's centre
  };
  const Case cases[] = {{0, -8},   {1, 8},     {0.5, 0},  {0.25, -4}, {1.5, 0},  {2.25, -4},
                        {-0.5, 0}, {-1.75, -4}, {1e300, -8}, {std::nan(""), -8}, {-INFINITY, -8}};
  for (const Case& c : cases) {
    start_3d_view(1, 100, 60);
    move_object(0, 0, -30);
    draw_object(2, c.frame);
    double expected = 0, y = 0;
    screen_of(c.centre_x, 0, -30, expected, y);
    show_screen();
    const Box box = lit_box(presented());
    ASSERT_GT(box.count, 0) << c.frame;
    EXPECT_NEAR((box.x0 + box.x1 + 1) / 2.0, expected, 1.0) << "frame " << c.frame;
  }
}

TEST_F(ModelDrawTest, TexturePictureAppearsUprightAndTransparentTexelsAreCut) {
  // Quadrants: red, green / blue, the transparent key colour.
  std::vector<uint32_t> pixels(16 * 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      pixels[static_cast<size_t>(y * 16 + x)] = y < 8 ? (x < 8 ? 0x0000FF : 0x00FF00) : (x < 8 ? 0xFF0000 : 0x8000FF);
  const std::string picture = temp_dir() + "/quadrants.bmp";
  write_bmp24(picture, 16, 16, pixels);
  load_sprite(DynString(picture.c_str()), 30);
  ASSERT_EQ(load_binary("textured.ddd", square_model(0xFFFFFFFF), 3), 1);
  EXPECT_EQ(set_object_texture(3, 30), 1);
  EXPECT_EQ(set_object_texture(3, 31), 0);  // an empty sprite slot
  EXPECT_EQ(set_object_texture(3, 30), 1);

  start_3d_view(1, 100, 60);
  move_object(0, 0, -5);
  draw_object(3, 0);
  double left, top, right, bottom;
  screen_of(-1, 1, -5, left, top);
  screen_of(1, -1, -5, right, bottom);
  show_screen();
  const Frame f = presented();
  auto at = [&](double fx, double fy) {
    return f.at(static_cast<int>(left + (right - left) * fx), static_cast<int>(top + (bottom - top) * fy));
  };
  EXPECT_EQ(at(0.25, 0.25), 0x0000FFu);
  EXPECT_EQ(at(0.75, 0.25), 0x00FF00u);
  EXPECT_EQ(at(0.25, 0.75), 0xFF0000u);
  EXPECT_EQ(at(0.75, 0.75), 0u);  // cut out: the black behind shows

  // The texture stays when another model is loaded into the slot, and -1
  // takes it off: the white square is white again.
  ASSERT_EQ(load_binary("textured2.ddd", square_model(0xFFFFFFFF), 3), 1);
  start_3d_view(1, 100, 60);
  move_object(0, 0, -5);
  draw_object(3, 0);
  show_screen();
  EXPECT_EQ(presented().at(static_cast<int>(left + (right - left) * 0.25), static_cast<int>(top + (bottom - top) * 0.25)),
            0x0000FFu);
  set_object_texture(3, -1);
  start_3d_view(1, 100, 60);
  move_object(0, 0, -5);
  draw_object(3, 0);
  show_screen();
  EXPECT_EQ(presented().at(static_cast<int>(left + (right - left) * 0.75), static_cast<int>(top + (bottom - top) * 0.75)),
            0xFFFFFFu);
}

TEST_F(ModelDrawTest, SpecialColoursLitUnlitAndShadowOnly) {
  // Three squares side by side: lit white, unlit white, shadow only; the
  // light shines from behind them.
  DddBinarySource source;
  source.colours = {0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFC};
  std::vector<V> frame;
  for (int k = 0; k < 3; ++k) {
    const float x = -4.5f + k * 3.0f;
    for (const V& v : square(x, -1, x + 2, 1, static_cast<uint8_t>(k))) frame.push_back(v);
  }
  source.frames.push_back(frame);
  ASSERT_EQ(load_binary("specials.ddd", source, 4), 1);
  start_3d_view(1, 100, 60);
  set_3d_light(0, 0xFFFFFF, 0, 0, 0, 0, 0, 1, 180);  // towards +z: onto the squares' backs
  move_object(0, 0, -10);
  draw_object(4, 0);
  double x[3], y = 0;
  for (int k = 0; k < 3; ++k) screen_of(-3.5 + k * 3.0, 0, -10, x[k], y);
  set_3d_light(0, 0, 0, 0, 0, 0, 0, 0, 0);
  show_screen();
  const Frame f = presented();
  EXPECT_LT(red(f.at(static_cast<int>(x[0]), static_cast<int>(y))), 80);  // lit white, turned away: dark
  EXPECT_EQ(f.at(static_cast<int>(x[1]), static_cast<int>(y)), 0xFFFFFFu);  // unlit white: full white
  EXPECT_EQ(f.at(static_cast<int>(x[2]), static_cast<int>(y)), 0u);         // never drawn
}

TEST_F(ModelDrawTest, CullModesChooseTheFrontFaces) {
  // The square is counter-clockwise as the camera sees it.
  ASSERT_EQ(load_binary("cull.ddd", square_model(0x00FFFF), 5), 1);
  for (int mode : {0, -1, 1}) {
    start_3d_view(1, 100, 60);
    set_cull_mode(mode);
    move_object(0, 0, -10);
    draw_object(5, 0);
    show_screen();
    EXPECT_EQ(lit_box(presented()).count > 0, mode != 1) << "cull mode " << mode;
  }
}

TEST_F(ModelDrawTest, DirectionalPointAndSpotLightsAndFog) {
  ASSERT_EQ(load_binary("wall.ddd", square_model(0xFFFFFF, 16), 7), 1);

  // A directional light from +z: a square facing it is bright, one turned
  // away from it (seen from behind) is dark.
  start_3d_view(1, 100, 60);
  set_3d_light(0, 0xFFFFFF, 0, 0, 0, 0, 0, -1, 180);
  // A blue marker first: markers leave colour tracking off, and the
  // models must still wear their own colours.
  draw_3d_point(0, 0, -50, 1, 0xFF0000);
  move_object(-3, 0, -10);
  draw_object(7, 0);
  move_object(3, 0, -10);
  rotate_object(120, 0, 1, 0);
  draw_object(7, 0);
  double front_x, front_y, side_x, side_y;
  screen_of(-3, 0, -10, front_x, front_y);
  screen_of(3, 0, -10, side_x, side_y);
  set_3d_light(0, 0, 0, 0, 0, 0, 0, 0, 0);
  show_screen();
  Frame f = presented();
  const uint32_t lit_face = f.at(static_cast<int>(front_x), static_cast<int>(front_y));
  const uint32_t away_face = f.at(static_cast<int>(side_x), static_cast<int>(side_y));
  // Colour material tracks the colour's ambient part as well: the scene's
  // ambient light (0.2) is all a face turned away receives.
  EXPECT_GT(red(lit_face), 240);
  EXPECT_NEAR(red(away_face), 51, 3);

  // A point light close to the wall's left edge: left brighter than right.
  start_3d_view(1, 100, 60);
  set_3d_light(1, 0xFFFFFF, -4, 0, -8, 0, 0, 0, 360);
  move_object(0, 0, -10);
  scale_object(5, 5, 1);
  draw_object(7, 0);
  double lx, rx, cy;
  screen_of(-4, 0, -10, lx, cy);
  screen_of(4, 0, -10, rx, cy);
  set_3d_light(1, 0, 0, 0, 0, 0, 0, 0, 0);
  show_screen();
  f = presented();
  EXPECT_GT(red(f.at(static_cast<int>(lx), static_cast<int>(cy))),
            red(f.at(static_cast<int>(rx), static_cast<int>(cy))) + 40);

  // A spot light aimed at the wall's centre with a narrow cone: the centre
  // is lit, the corners (outside the cone) are not.
  start_3d_view(1, 100, 60);
  set_3d_light(2, 0xFFFFFF, 0, 0, 0, 0, 0, -1, 10);
  move_object(0, 0, -10);
  scale_object(5, 5, 1);
  draw_object(7, 0);
  double cx, corner_x, corner_y;
  screen_of(0, 0, -10, cx, cy);
  screen_of(-4.5, 4.5, -10, corner_x, corner_y);
  set_3d_light(2, 0, 0, 0, 0, 0, 0, 0, 0);
  show_screen();
  f = presented();
  EXPECT_GT(red(f.at(static_cast<int>(cx), static_cast<int>(cy))), 150);
  EXPECT_NEAR(red(f.at(static_cast<int>(corner_x), static_cast<int>(corner_y))), 51, 3);

  // Linear fog: the same white wall near and far.
  start_3d_view(1, 100, 60);
  set_3d_fog(0x0000FF, 0, 5, 60);
  move_object(-2, 0, -6);
  draw_object(7, 0);
  move_object(20, 0, -58);
  draw_object(7, 0);
  double near_x, near_y, far_x, far_y;
  screen_of(-2, 0, -6, near_x, near_y);
  screen_of(20, 0, -58, far_x, far_y);
  set_3d_fog(-1, 0, 0, 0);
  show_screen();
  f = presented();
  const uint32_t near_colour = f.at(static_cast<int>(near_x), static_cast<int>(near_y));
  const uint32_t far_colour = f.at(static_cast<int>(far_x), static_cast<int>(far_y));
  EXPECT_GT(green(near_colour), 200);
  EXPECT_LT(green(far_colour), 30);
  EXPECT_GT(red(far_colour), 230);
}

TEST_F(ModelDrawTest, ShadowOfAModelFallsOnTheGroundInItsShape) {
  // Ground: a grey 40 x 40 square in the plane y = 0 (text form, facing up).
  DddTextSource ground;
  ground.faces = {{160, 160, 160, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}}};
  ground.frames.push_back({{{-20, 0, 20}, {0, 1, 0}},
                           {{20, 0, 20}, {0, 1, 0}},
                           {{20, 0, -20}, {0, 1, 0}},
                           {{-20, 0, -20}, {0, 1, 0}}});
  ASSERT_EQ(load_object(DynString(save_model("ground.ddd", bytes_of(write_ddd_text(ground))).c_str()), 8), 1);
  // Caster: a red 4 x 4 square at height 10, lying flat.
  ASSERT_EQ(load_binary("caster.ddd", square_model(0x0000FF), 9), 1);

  Frame plain;
  for (bool with_shadow : {false, true}) {
    // A grey backdrop in 2D: no depth behind it.
    draw_rect(0, 0, 320, 240, 0x404040);
    start_3d_view(1, 200, 60);
    set_camera(0, 40, 30, 0, 0, 0);
    draw_object(8, 0);
    move_object(0, 10, 0);
    scale_object(2, 2, 1);
    rotate_object(-90, 1, 0, 0);
    draw_object(9, 0);
    if (with_shadow) {
      // A light up and to the right: the shadow lands at x -9.3 .. -4,
      // z -2.7 .. 2.7 on the ground, clear of the caster.
      set_3d_light(-3, 0xFFFFFF, 20, 40, 0, 0, 0, 0, 1);
      move_object(0, 10, 0);
      scale_object(2, 2, 1);
      rotate_object(-90, 1, 0, 0);
      draw_object(9, 0);
      set_3d_light(-3, 0xFFFFFF, 20, 40, 0, 0, 0, 0, 0);
    }
    struct Probe {
      double x, y, z;
      bool shadowed;
    };
    const Probe probes[] = {{-6.6, 0, 0, true},   {-8.8, 0, 2.2, true}, {-4.5, 0, -2.2, true},
                            {-10.2, 0, 0, false}, {-3.2, 0, 0, false},  {-6.6, 0, 3.6, false},
                            {-6.6, 0, -3.6, false}, {8, 0, 8, false}};
    double px[8], py[8], caster_x, caster_y;
    for (int k = 0; k < 8; ++k) screen_of(probes[k].x, probes[k].y, probes[k].z, px[k], py[k]);
    screen_of(0, 10, 0, caster_x, caster_y);
    show_screen();
    const Frame f = presented();
    for (int k = 0; k < 8; ++k) {
      const uint32_t c = f.at(static_cast<int>(px[k]), static_cast<int>(py[k]));
      const bool dark = with_shadow && probes[k].shadowed;
      EXPECT_EQ(red(c), dark ? 80 : 160) << "probe " << k << " shadow pass " << with_shadow;
    }
    // The caster's own lit face is not in its shadow.
    EXPECT_EQ(f.at(static_cast<int>(caster_x), static_cast<int>(caster_y)), 0x0000FFu);
    if (!with_shadow) {
      plain = f;
      continue;
    }
    // Only the ground darkens, to half; the shadow volume runs on past the
    // ground's edge, where nothing was drawn to receive it.
    int darkened = 0, elsewhere = 0;
    for (size_t k = 0; k < f.pixels.size(); ++k) {
      if (f.pixels[k] == plain.pixels[k]) continue;
      if (plain.pixels[k] == 0xA0A0A0u && f.pixels[k] == 0x505050u) {
        ++darkened;
      } else {
        ++elsewhere;
      }
    }
    EXPECT_GT(darkened, 300);
    EXPECT_EQ(elsewhere, 0);
  }
}

TEST_F(ModelDrawTest, ThreeDInOffScreenSurfacesOnBothMethods) {
  ASSERT_EQ(load_binary("surface.ddd", square_model(0x00FF00), 10), 1);
  for (bool copy_method : {false, true}) {
    engine().gfx->force_copy_surfaces = copy_method;
    create_screen(3, 40, 100, 50);
    use_screen(3);
    draw_rect(0, 0, 100, 50, 0x202020);
    start_3d_view(1, 100, 60);
    move_object(0, 0, -10);
    draw_object(10, 0);
    // Measured in the surface: its centre, whatever the screen's size.
    double sx = 0, sy = 0, depth = 0;
    world_to_screen(0, 0, -10, sx, sy, depth);
    EXPECT_NEAR(sx, 50, 0.01) << copy_method;
    EXPECT_NEAR(sy, 25, 0.01) << copy_method;
    double left = 0, top = 0;
    world_to_screen(-1, 1, -10, left, top, depth);
    use_screen(-1);
    draw_sprite(40, 100, 100);
    show_screen();
    const Frame f = presented();
    // The square (aspect 2:1 surface) in the middle of the surface, which
    // lies at (100, 100) on the screen.
    EXPECT_EQ(f.at(150, 125), 0x00FF00u) << copy_method;
    EXPECT_EQ(f.at(100 + static_cast<int>(left) - 2, 125), 0x202020u) << copy_method;
    EXPECT_EQ(f.at(100 + static_cast<int>(left) + 2, 100 + static_cast<int>(top) + 2), 0x00FF00u) << copy_method;
  }
  engine().gfx->force_copy_surfaces = false;
}

TEST_F(ModelDrawTest, BadViewSettingsAreReportedOnceAndStillDraw) {
  ASSERT_EQ(load_binary("bad_view.ddd", square_model(0xFFFFFF), 11), 1);
  const double views[][3] = {{0, 100, 60}, {-1, 100, 60}, {1, 1, 60}, {1, 0.5, 60}, {1, 100, 0}};
  for (const auto& v : views) {
    start_3d_view(v[0], v[1], v[2]);
    move_object(0, 0, -10);
    draw_object(11, 0);
    show_screen();
    EXPECT_GT(lit_box(presented()).count, 100) << v[0] << " " << v[1] << " " << v[2];
  }
  const std::string report = new_report_lines();
  for (const char* what : {"near plane must", "far plane must", "field of view"}) {
    const size_t first = report.find(what);
    EXPECT_NE(first, std::string::npos) << what;
    EXPECT_EQ(report.find(what, first + 1), std::string::npos) << what << " reported twice";
  }
}

TEST_F(ModelDrawTest, EmptySlotsDrawNothingAndBadSlotsEndTheProgram) {
  start_3d_view(1, 100, 60);
  draw_object(500, 0);  // never loaded
  show_screen();
  EXPECT_EQ(lit_box(presented()).count, 0);
  EXPECT_EXIT(draw_object(1024, 0), testing::ExitedWithCode(0), "");
  EXPECT_EXIT(set_object_texture(-1, 0), testing::ExitedWithCode(0), "");
}

// Every model of the fuzz corpus that loads is drawn at odd frame values,
// with and without the shadow pass (the sanitizer build runs this too).
TEST_F(ModelDrawTest, EveryCorpusModelDraws) {
  int drawn = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QUARVEL_DDD_CORPUS_DIR)) {
    if (load_object(DynString(entry.path().string().c_str()), 12) != 1) continue;
    set_object_texture(12, 30);
    for (double frame : {0.0, 0.5, -3.75}) {
      start_3d_view(1, 100, 60);
      set_3d_light(0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 1);
      move_object(0, 0, -50);
      draw_object(12, frame);
      set_3d_light(-3, 0xFFFFFF, 10, 10, 10, 0, 0, 0, 1);
      draw_object(12, frame);
      set_3d_light(-3, 0xFFFFFF, 10, 10, 10, 0, 0, 0, 0);
      set_3d_light(0, 0, 0, 0, 0, 0, 0, 0, 0);
      show_screen();
    }
    ++drawn;
  }
  EXPECT_GE(drawn, 3);
}

}  // namespace
}  // namespace quarvel_test
