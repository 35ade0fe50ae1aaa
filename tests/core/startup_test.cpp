// Start-up leaves the runtime ready for the game's first command.
#include <limits.h>
#include <unistd.h>

#include <string>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "platform/platform.h"
#include "runtime_fixture.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

// The state right after start-up (whose one show_screen is the
// "Loading..." frame): these need a process of their own, as ctest gives
// every test, and are skipped when other tests ran first.
class FreshStartTest : public RuntimeTest {
 protected:
  void SetUp() override {
    if (engine().frames_presented > 1) GTEST_SKIP() << "needs a freshly started runtime";
  }
};

TEST_F(RuntimeTest, WindowShowsTheSurfaceAtTheChosenScaleUnderTheTitle) {
  double w = 0, h = 0;
  get_screen_size(w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  int dw = 0, dh = 0;
  platform::window_drawable_size(dw, dh);
  EXPECT_EQ(dw, 640);
  EXPECT_EQ(dh, 480);
  EXPECT_EQ(platform::window_caption(), "Stone Swarm");
  EXPECT_EQ(is_fullscreen(), 0);
  EXPECT_NE(get_window_handle(), nullptr);
}

TEST_F(RuntimeTest, CommandLineKeepsTheArgumentsAfterTheProgramName) {
  EXPECT_STREQ(get_command_line().c_str(), "--scale 2 \"two words\"");
}

TEST_F(FreshStartTest, ReportOfAnEarlierRunIsGoneButThisRunsNoticeStays) {
  std::string report = read_file(report_path());
  EXPECT_EQ(report.find(kStaleReportLine), std::string::npos);
  // llvmpipe is a software renderer: the notice is written once, CR LF ended.
  EXPECT_EQ(report, "OpenGL Software Emulation\r\n");
}

TEST_F(RuntimeTest, WorkingDirectoryIsTheProgramsDirectory) {
  std::string exe = platform::executable_path();
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(std::string(cwd), exe.substr(0, exe.rfind('/')));
}

TEST_F(FreshStartTest, ClocksStartWhenLoadingHasFinished) {
  EXPECT_EQ(frame_duration_ms(), 1.0);
  EXPECT_GE(elapsed_ms(), 0.0);
  EXPECT_LT(elapsed_ms(), 1000.0);
  EXPECT_EQ(engine().paused, 0);
  EXPECT_EQ(engine().auto_pause, 1);
  EXPECT_EQ(engine().allow_escape, 1);
}

TEST_F(RuntimeTest, EveryRuntimeObjectExists) {
  EngineState& e = engine();
  EXPECT_NE(e.gfx, nullptr);
  EXPECT_NE(e.input, nullptr);
  EXPECT_NE(e.sound, nullptr);
  EXPECT_NE(e.sound_slots, nullptr);
  EXPECT_NE(e.net, nullptr);
  EXPECT_NE(e.renderer3d, nullptr);
  ASSERT_NE(e.media_pack, nullptr);
  EXPECT_NE(e.media_pack_second, nullptr);
  EXPECT_TRUE(e.music_lock);
  EXPECT_EQ(e.gfx->context_ready, 1);
  EXPECT_EQ(e.current_font, 0);
}

TEST_F(RuntimeTest, SetScreenChangesTheSurfaceAndKeepsOldSizesForZero) {
  set_screen(400, 300, 0);
  double w = 0, h = 0;
  get_screen_size(w, h);
  EXPECT_EQ(w, 400);
  EXPECT_EQ(h, 300);
  set_screen(0, 200, 0);
  get_screen_size(w, h);
  EXPECT_EQ(w, 400);
  EXPECT_EQ(h, 200);
  // Drawing still reaches the presented frame at the new size.
  draw_rect(390, 190, 5, 5, 0x00FF00);
  show_screen();
  EXPECT_EQ(get_pixel(392, 192), 0x00FF00);
}

}  // namespace
}  // namespace quarvel_test
