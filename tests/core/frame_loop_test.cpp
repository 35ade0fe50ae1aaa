// The frame grid, the clocks, the pause rule and the quit keys.
#include <chrono>
#include <cmath>
#include <thread>

#include <gmock/gmock.h>
#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "input/input_device.h"
#include "platform/platform.h"
#include "runtime_fixture.h"

namespace quarvel_test {
namespace {

using namespace quarvel;
using platform::EventType;

OpenGLVurivari& gfx() { return *engine().gfx; }

TEST_F(RuntimeTest, FrameRateSettingsGiveTheirIntervals) {
  limit_frame_rate(30.9);
  EXPECT_DOUBLE_EQ(gfx().frame_interval_ms, 1000.0 / 30);
  limit_frame_rate(0);
  EXPECT_DOUBLE_EQ(gfx().frame_interval_ms, 2.0);
  limit_frame_rate(-12);
  EXPECT_DOUBLE_EQ(gfx().frame_interval_ms, 2.0);
  limit_frame_rate(1e300);
  EXPECT_GT(gfx().frame_interval_ms, 0.0);
  limit_frame_rate(std::nan(""));
  EXPECT_DOUBLE_EQ(gfx().frame_interval_ms, 2.0);
  limit_frame_rate(60);
  EXPECT_DOUBLE_EQ(gfx().frame_interval_ms, 1000.0 / 60);
}

TEST_F(RuntimeTest, EarlyFrameWaitsForItsGridPoint) {
  double deadline = current_ms() + 30;
  gfx().next_frame_ms = deadline;
  double waited = gfx().present_frame();
  EXPECT_GT(current_ms(), deadline);
  EXPECT_GE(waited, 1.0);
  EXPECT_DOUBLE_EQ(gfx().next_frame_ms, deadline + 1000.0 / 60);
}

TEST_F(RuntimeTest, LateFrameIsShownAtOnceAndMissedGridPointsAreDropped) {
  const double interval = 1000.0 / 60;
  double origin = current_ms() - 100;  // a frame that took 100 ms too long
  gfx().next_frame_ms = origin;
  gfx().present_frame();
  double now = current_ms();
  double next = gfx().next_frame_ms;
  EXPECT_GT(next, now - 1.0);
  EXPECT_LE(next, now + interval);
  // Still on the grid that started at origin.
  double steps = (next - origin) / interval;
  EXPECT_NEAR(steps, std::round(steps), 1e-6);
}

TEST_F(RuntimeTest, FrameDurationCountsBetweenShowScreens) {
  show_screen();
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  show_screen();
  EXPECT_GE(frame_duration_ms(), 40.0);
  EXPECT_GT(elapsed_ms(), 40.0);
}

TEST_F(RuntimeTest, LosingFocusPausesUntilTheWindowIsActiveAgain) {
  platform::inject_window_event(EventType::focus_lost);
  gfx().pump_messages();
  EXPECT_EQ(platform::window_caption(), "Stone Swarm <pause>");
  EXPECT_EQ(engine().paused, 1);

  std::thread resume([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    platform::inject_window_event(EventType::focus_gained);
  });
  double before = current_ms();
  show_screen();  // holds while paused
  double held = current_ms() - before;
  resume.join();
  EXPECT_GE(held, 250.0);
  EXPECT_EQ(platform::window_caption(), "Stone Swarm");
  EXPECT_EQ(engine().paused, 0);
  // The frame clock is not restarted after the pause: the next frame's
  // duration includes it.
  show_screen();
  EXPECT_GE(frame_duration_ms(), 250.0);
}

TEST_F(RuntimeTest, NoPauseWithAutoPauseOffOrInDebugMode) {
  auto_pause(0);
  platform::inject_window_event(EventType::focus_lost);
  gfx().pump_messages();
  EXPECT_EQ(engine().paused, 0);
  EXPECT_EQ(platform::window_caption(), "Stone Swarm");
  auto_pause(1);

  project_settings().debug_mode = 1;
  platform::inject_window_event(EventType::focus_lost);
  gfx().pump_messages();
  EXPECT_EQ(engine().paused, 0);
  EXPECT_EQ(platform::window_caption(), "Stone Swarm");
  project_settings().debug_mode = 0;
}

TEST_F(RuntimeTest, KeyStateFollowsKeyEvents) {
  platform::inject_key(200, true);
  show_screen();
  EXPECT_TRUE(engine().input->key_down(200));
  EXPECT_TRUE(engine().input->key_down(200 + 256));  // codes are taken modulo 256
  platform::inject_key(200, false);
  show_screen();
  EXPECT_FALSE(engine().input->key_down(200));
}

using QuitDeathTest = RuntimeTest;

TEST_F(QuitDeathTest, EscapeEndsTheProgramWithExitCodeZero) {
  EXPECT_EXIT(
      {
        platform::inject_key(1, true);
        show_screen();
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(QuitDeathTest, AltF4EndsTheProgramEvenWhenEscapeIsNotAllowed) {
  EXPECT_EXIT(
      {
        allow_escape(0);
        platform::inject_key(1, true);
        platform::inject_key(129, true);
        show_screen();
        show_screen();
        fprintf(stderr, "escape ignored\n");
        platform::inject_key(56, true);
        platform::inject_key(62, true);
        show_screen();
        fprintf(stderr, "still running\n");
      },
      testing::ExitedWithCode(0),
      testing::AllOf(testing::HasSubstr("escape ignored"), testing::Not(testing::HasSubstr("still running"))));
}

TEST_F(QuitDeathTest, CodeOneTwentyNineQuitsLikeEscape) {
  EXPECT_EXIT(
      {
        platform::inject_key(129, true);
        show_screen();
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(QuitDeathTest, CloseButtonEndsTheProgramAlsoWhilePaused) {
  EXPECT_EXIT(
      {
        platform::inject_window_event(EventType::focus_lost);
        platform::inject_window_event(EventType::close);
        show_screen();
        fprintf(stderr, "still running\n");
      },
      testing::ExitedWithCode(0), testing::Not(testing::HasSubstr("still running")));
}

TEST_F(QuitDeathTest, QuitKeysRecordErrorCodeZeroAtTheCurrentLine) {
  EXPECT_EXIT(
      {
        project_settings().debug_mode = 1;
        set_debug_position(3, 17);
        record_runtime_error(9);
        platform::inject_key(1, true);
        show_screen();
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(report_path()),
            "OpenGL Software Emulation\r\n-End On Line\r\n0\r\n16\r\n17\r\n3\r\n");
}

}  // namespace
}  // namespace quarvel_test
