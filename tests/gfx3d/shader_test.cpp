// Shader programs compiled by the real GL driver (llvmpipe), drawn and read
// back from the presented frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/gl_api.h"
#include "gfx3d/vurivari3d.h"
#include "runtime_fixture.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

DynString shader_file(const std::string& name, const std::string& source) {
  const std::string path = temp_dir() + "/" + name;
  std::ofstream(path, std::ios::binary) << source;
  return DynString(path.c_str());
}

const char* const kVertex = "void main() { gl_Position = ftransform(); gl_FrontColor = gl_Color; }\n";
const char* const kRed = "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n";
const char* const kLevel =
    "uniform float level;\n"
    "uniform float blue;\n"
    "void main() { gl_FragColor = vec4(level, 0.0, blue, 1.0); }\n";
// The fixed-function colour of draw_rect below.
constexpr double kGreen = 0x00FF00;

class ShaderTest : public RuntimeTest {
 protected:
  void SetUp() override {
    ASSERT_NE(gl.glCreateShaderObjectARB, nullptr) << "the GL driver offers no shader objects";
    report_start_ = read_file(report_path()).size();
  }
  void TearDown() override { use_shader(-1); }
  std::string new_report_lines() const { return read_file(report_path()).substr(report_start_); }
  // One frame with a green square, read back at its centre.
  double draw_square() {
    draw_rect(100, 100, 50, 50, kGreen);
    show_screen();
    return get_pixel(125, 125);
  }
  ShaderSlots& slots() { return engine().renderer3d->shaders; }

  size_t report_start_ = 0;
};

TEST_F(ShaderTest, ProgramDrawsUntilTheFrameEnds) {
  ASSERT_EQ(load_shader(0, shader_file("plain.vert", kVertex), shader_file("red.frag", kRed)), 1);
  EXPECT_EQ(new_report_lines(), "");
  use_shader(0);
  EXPECT_EQ(slots().current_shader, 0u);
  EXPECT_EQ(draw_square(), 0x0000FF);
  // show_screen switched the program off: the next frame is fixed function.
  EXPECT_GT(slots().current_shader, kLastShaderSlot);
  EXPECT_EQ(draw_square(), kGreen);

  use_shader(0);
  use_shader(255);
  EXPECT_EQ(draw_square(), kGreen);
  use_shader(0);
  use_shader(-1);
  EXPECT_EQ(slots().current_shader, 0xFFFFFFFFu);
  EXPECT_EQ(draw_square(), kGreen);
}

TEST_F(ShaderTest, FragmentOnlyProgramAndUniforms) {
  ASSERT_EQ(load_shader(3, DynString(""), shader_file("level.frag", kLevel)), 1);
  EXPECT_EQ(slots().slot(3).vertex_shader, 0u);
  use_shader(3);
  set_shader_uniform(DynString("level"), 1.0);
  EXPECT_EQ(draw_square(), 0x0000FF);
  use_shader(3);
  set_shader_uniform(DynString("level"), 0.0);
  set_shader_uniform(DynString("blue"), 1.0);
  set_shader_uniform(DynString("not_used"), 1.0);  // changes nothing
  EXPECT_EQ(draw_square(), 0xFF0000);
  // Without a program in use, uniforms are ignored.
  set_shader_uniform(DynString("level"), 1.0);
  use_shader(3);
  EXPECT_EQ(draw_square(), 0xFF0000);
}

TEST_F(ShaderTest, ReloadingASlotReplacesItsProgram) {
  ASSERT_EQ(load_shader(4, DynString(""), shader_file("red2.frag", kRed)), 1);
  const ShaderSlot first = slots().slot(4);
  ASSERT_EQ(load_shader(4, DynString(""), shader_file("blue.frag", "void main() { gl_FragColor = vec4(0, 0, 1, 1); }")), 1);
  EXPECT_NE(slots().slot(4).program, 0u);
  EXPECT_NE(slots().slot(4).fragment_shader, first.fragment_shader);
  use_shader(4);
  EXPECT_EQ(draw_square(), 0xFF0000);
}

TEST_F(ShaderTest, BrokenShaderLogsAndDrawsFixedFunction) {
  ASSERT_EQ(load_shader(5, DynString(""), shader_file("red3.frag", kRed)), 1);
  EXPECT_EQ(load_shader(5, shader_file("broken.vert", "void main() { gl_Position = ; }\n"),
                        shader_file("red4.frag", kRed)),
            0);
  const std::string log = new_report_lines();
  // The compile log names the error; the link log follows it.
  EXPECT_NE(log.find("error"), std::string::npos) << log;
  EXPECT_GE(std::count(log.begin(), log.end(), '\n'), 2) << log;
  EXPECT_NE(slots().slot(5).vertex_shader, 0u);  // the slot keeps its objects
  EXPECT_NE(slots().slot(5).program, 0u);
  // A program that did not link is not drawn with, nor is the one before.
  ASSERT_EQ(load_shader(6, DynString(""), shader_file("red5.frag", kRed)), 1);
  use_shader(6);
  use_shader(5);
  EXPECT_EQ(draw_square(), kGreen);
}

TEST_F(ShaderTest, MissingFilesAndBadSlots) {
  EXPECT_EQ(load_shader(7, DynString(""), DynString("")), 0);
  EXPECT_EQ(slots().slot(7).program, 0u);
  EXPECT_EQ(load_shader(7, DynString((temp_dir() + "/no_such.vert").c_str()), DynString("")), 0);
  const DynString red = shader_file("red6.frag", kRed);
  EXPECT_EQ(load_shader(255, DynString(""), red), 0);
  EXPECT_EQ(load_shader(-1, DynString(""), red), 0);
  EXPECT_EQ(load_shader(254.9, DynString(""), red), 1);
  EXPECT_EQ(new_report_lines(), "");
}

TEST_F(ShaderTest, BackgroundIsNotDrawnThroughTheShader) {
  ASSERT_EQ(load_shader(8, DynString(""), shader_file("red7.frag", kRed)), 1);
  const std::string picture = temp_dir() + "/white_bg.bmp";
  {
    // A 1 x 1 white 24-bit bitmap.
    const unsigned char bmp[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0,
                                 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 0};
    std::ofstream(picture, std::ios::binary).write(reinterpret_cast<const char*>(bmp), sizeof bmp);
  }
  set_background(DynString(picture.c_str()));
  show_screen();
  use_shader(8);
  show_screen();  // the next frame's background is drawn after this
  show_screen();
  EXPECT_EQ(get_pixel(0, 0), 0xFFFFFF);
  clear_background();
  show_screen();
}

TEST_F(ShaderTest, NoShaderSupportIsReportedOnce) {
  const auto saved = gl.glCreateShaderObjectARB;
  gl.glCreateShaderObjectARB = nullptr;
  const bool reported = shader_support_reported;
  shader_support_reported = false;
  const DynString red = shader_file("red8.frag", kRed);
  EXPECT_EQ(load_shader(9, DynString(""), red), 0);
  EXPECT_EQ(load_shader(9, DynString(""), red), 0);
  gl.glCreateShaderObjectARB = saved;
  shader_support_reported = reported;
  EXPECT_EQ(new_report_lines(), "No OpenGL 2.0 Shader Support\r\n");
}

}  // namespace
}  // namespace quarvel_test
