// A picture that cannot be loaded leaves one line in the report file that
// names the file and the reason; the command's result stays as it was.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx2d/formats/image_writers.h"
#include "runtime_fixture.h"
#include "test_images.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

class LoadReportTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    std::ofstream(report_path(), std::ios::binary | std::ios::trunc);
  }
  static std::vector<std::string> report_lines() {
    std::vector<std::string> lines;
    const std::string text = read_file(report_path());
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find("\r\n", at);
      if (end == std::string::npos) break;
      lines.push_back(text.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }
  static std::string file(const std::string& name, const std::string& bytes) {
    const std::string path = temp_dir() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
};

std::string bytes_of(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

TEST_F(LoadReportTest, FailedPictureLoadsNameTheFileAndTheReason) {
  const std::string text = file("notes.bmp", "just some text, not a picture");
  // A 16-bit bitmap: a real layout the readers do not take.
  const std::string good_bmp = temp_dir() + "/good.bmp";
  write_solid_bmp(good_bmp, 4, 4, 0x00FF00);
  std::string sixteen = read_file(good_bmp);
  sixteen[28] = 16;
  const std::string deep = file("deep.bmp", sixteen);
  // A PNG cut off in its pixel data.
  const std::vector<uint8_t> bgra(64 * 64 * 4, 0x7F);
  const std::string png = bytes_of(encode_png(bgra.data(), 64, 64));
  const std::string cut = file("cut.png", png.substr(0, png.size() - 20));
  load_sprite(DynString("no-such-ship.bmp"), 20);
  load_sprite(DynString(text.c_str()), 20);
  load_sprite(DynString(deep.c_str()), 20);
  load_sprite(DynString(cut.c_str()), 20);
  EXPECT_EQ(engine().gfx->slots.texture[20], 0u) << "a failed load leaves the slot empty";
  const std::vector<std::string> lines = report_lines();
  ASSERT_EQ(lines.size(), 4u) << read_file(report_path());
  EXPECT_EQ(lines[0], "load_sprite: \"no-such-ship.bmp\" not loaded: not found");
  EXPECT_EQ(lines[1], "load_sprite: \"" + text + "\" not loaded: not a bitmap or PNG");
  EXPECT_EQ(lines[2], "load_sprite: \"" + deep + "\" not loaded: unsupported bitmap (only 8, 24 or 32 bits a pixel)");
  EXPECT_EQ(lines[3].rfind("load_sprite: \"" + cut + "\" not loaded: damaged PNG (", 0), 0u) << lines[3];

  // A good load adds nothing.
  load_sprite(DynString(good_bmp.c_str()), 20);
  EXPECT_EQ(report_lines().size(), 4u);
}

TEST_F(LoadReportTest, FontsAndBackgroundsReportTheirFailuresOnce) {
  const std::string text = file("font.png", "\x89PNG\r\n\x1a\n and then nothing useful");
  load_font(DynString(text.c_str()), 3);
  set_background(DynString("no-such-sky.png"));
  EXPECT_EQ(load_background(DynString("no-such-sky.png")), 0);
  const std::string junk = file("sky.bmp", "BM but nothing after it");
  EXPECT_EQ(load_background(DynString(junk.c_str())), 1);  // found: the fade runs as designed
  const std::vector<std::string> lines = report_lines();
  ASSERT_EQ(lines.size(), 4u) << read_file(report_path());
  EXPECT_EQ(lines[0].rfind("load_font: \"" + text + "\" not loaded: damaged PNG (", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("the built-in font is used"), std::string::npos);
  EXPECT_EQ(lines[1], "set_background: \"no-such-sky.png\" not loaded: not found");
  EXPECT_EQ(lines[2], "load_background: \"no-such-sky.png\" not loaded: not found");
  EXPECT_EQ(lines[3], "load_background: \"" + junk + "\" not loaded: damaged bitmap (too short)");
  clear_background();
}

}  // namespace
}  // namespace quarvel_test
