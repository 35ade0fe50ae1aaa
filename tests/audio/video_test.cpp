// Video playback on the drawing surface, with clips made by the ffmpeg tool.
#include <quarvel/quarvel.h>

#include <chrono>
#include <thread>

#include "audio_fixture.h"
#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "platform/platform.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

class VideoTest : public AudioTest {
 protected:
  void SetUp() override {
    AudioTest::SetUp();
    if (IsSkipped()) return;
    if (ffmpeg_tool().empty()) GTEST_SKIP() << "no ffmpeg tool to make clips";
  }

  // A clip of one colour with a tone, `seconds` long, 10 pictures a second.
  static std::string make_clip(const std::string& name, const std::string& colour, int width, int height,
                               double seconds) {
    const std::string path = temp_dir_file(name);
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string d = std::to_string(seconds);
    EXPECT_TRUE(run_ffmpeg("-f lavfi -i color=c=" + colour + ":s=" + size + ":r=10:d=" + d +
                           " -f lavfi -i sine=frequency=440:sample_rate=22050:duration=" + d +
                           " -c:v mpeg4 -q:v 2 -c:a pcm_s16le -shortest '" + path + "'"));
    return path;
  }
};

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Red as the decoder gives it back (within the colour conversion's error).
bool is_red(int64_t pixel) {
  const int r = pixel & 0xFF, g = (pixel >> 8) & 0xFF, b = (pixel >> 16) & 0xFF;
  return r > 200 && g < 60 && b < 60;
}
bool is_black(int64_t pixel) { return pixel == 0; }

TEST_F(VideoTest, VideoPlaysToItsEndFittedAndCentred) {
  // 64 x 24 on a 320 x 240 surface: 5 times, 320 x 120, rows 60..179.
  const std::string clip = make_clip("wide.avi", "red", 64, 24, 0.6);
  const size_t mark = output_mark();
  const auto t0 = std::chrono::steady_clock::now();
  play_video(DynString(clip.c_str()));
  const double took = seconds_since(t0);
  EXPECT_GE(took, 0.5);
  EXPECT_LT(took, 3.0);
  OpenGLVurivari& gfx = *engine().gfx;
  EXPECT_TRUE(is_black(gfx.presented_pixel(160, 50))) << std::hex << gfx.presented_pixel(160, 50);
  EXPECT_TRUE(is_red(gfx.presented_pixel(160, 62))) << std::hex << gfx.presented_pixel(160, 62);
  EXPECT_TRUE(is_red(gfx.presented_pixel(2, 120))) << std::hex << gfx.presented_pixel(2, 120);
  EXPECT_TRUE(is_red(gfx.presented_pixel(317, 120))) << std::hex << gfx.presented_pixel(317, 120);
  EXPECT_TRUE(is_red(gfx.presented_pixel(160, 177))) << std::hex << gfx.presented_pixel(160, 177);
  EXPECT_TRUE(is_black(gfx.presented_pixel(160, 190))) << std::hex << gfx.presented_pixel(160, 190);
  // Its sound went through the mixer.
  EXPECT_GT(peak(output_since(mark).left), 1000);
}

TEST_F(VideoTest, VideoTallPictureIsFittedToTheHeight) {
  // 20 x 40: 6 times, 120 x 240, columns 100..219.
  const std::string clip = make_clip("tall.avi", "red", 20, 40, 0.3);
  play_video(DynString(clip.c_str()));
  OpenGLVurivari& gfx = *engine().gfx;
  EXPECT_TRUE(is_black(gfx.presented_pixel(95, 120))) << std::hex << gfx.presented_pixel(95, 120);
  EXPECT_TRUE(is_red(gfx.presented_pixel(103, 120))) << std::hex << gfx.presented_pixel(103, 120);
  EXPECT_TRUE(is_red(gfx.presented_pixel(160, 1))) << std::hex << gfx.presented_pixel(160, 1);
  EXPECT_TRUE(is_red(gfx.presented_pixel(216, 238))) << std::hex << gfx.presented_pixel(216, 238);
  EXPECT_TRUE(is_black(gfx.presented_pixel(224, 120))) << std::hex << gfx.presented_pixel(224, 120);
}

TEST_F(VideoTest, VideoLoopEndsOnANewKeyNotTheOneThatStartedIt) {
  const std::string clip = make_clip("loop.avi", "blue", 32, 24, 0.3);
  // The key that started the video is held when it begins.
  platform::inject_key(30, true);  // A
  engine().gfx->pump_messages();
  std::thread player_input([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    platform::inject_key(30, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    platform::inject_key(48, true);  // B
  });
  const auto t0 = std::chrono::steady_clock::now();
  play_video_loop(DynString(clip.c_str()));
  const double took = seconds_since(t0);
  player_input.join();
  platform::inject_key(48, false);
  engine().gfx->pump_messages();
  // Ran past its own length (looped) with A held, and ended on B.
  EXPECT_GE(took, 1.05);
  EXPECT_LT(took, 3.0);
}

TEST_F(VideoTest, VideoThatCannotBePlayedReturnsAtOnce) {
  const auto t0 = std::chrono::steady_clock::now();
  play_video(DynString("no-such-clip.avi"));
  play_video_loop(DynString(write_wave("not-a-video.avi", {1, 2, 3, 4, 5}).c_str()));
  EXPECT_LT(seconds_since(t0), 0.5);
}

}  // namespace
}  // namespace quarvel_test
