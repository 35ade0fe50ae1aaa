// The screen drawn straight into the window's framebuffer (a window at the
// surface's own size): the same pixels as a frame drawn off-screen, and the
// frame being drawn left alone by repaints and pauses. The headless driver's
// window is never shown, so the switch that allows it without a display is
// used here; the first read of a frame that was not kept (from what the X
// server shows of the window) needs a real X server and is checked by
// e2e.x11_present.
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "platform/platform.h"
#include "runtime_fixture.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

OpenGLVurivari& gfx() { return *engine().gfx; }

class DirectPresentationTest : public RuntimeTest {
 protected:
  void TearDown() override {
    gfx().force_direct_presentation = forced_before_;
    gfx().keep_presented_frames(true);
    show_screen();
  }
  // The next frame goes into the window (or not).
  void draw_into_window(bool direct) {
    gfx().force_direct_presentation = direct;
    show_screen();
    ASSERT_EQ(gfx().drawing_into_window(), direct);
  }
  // The whole scene drawn into the window (or off-screen) and presented,
  // as read back.
  std::vector<uint8_t> scene_frame(bool direct);
  bool forced_before_ = engine().gfx->force_direct_presentation;
};

std::vector<uint8_t> presented() {
  std::vector<uint8_t> rgba(320 * 240 * 4);
  EXPECT_TRUE(gfx().read_presented(rgba.data(), 320, 240));
  return rgba;
}

// A frame that uses what reads or leaves the screen's target: blending,
// text, a grab from the screen drawn back, an off-screen surface. `part`
// 0 draws the first half, 1 the rest.
void draw_scene(int part) {
  if (part == 0) {
    for (int i = 0; i < 8; ++i) draw_rect(i * 40, 0, 40, 240, 0x203040u * static_cast<uint32_t>(i + 1) % 0xFFFFFF);
    draw_line(0, 0, 319, 239, 0x00FFFFu);
    set_alpha_mode(0.5);
    draw_rect(20, 20, 100, 60, 0xFF0000u);
    set_alpha_mode(1);
    draw_rect(60, 40, 100, 60, 0x00A0FFu);
    set_alpha_mode(0);
    print_text(DynString("Straight into the window"), 10, 120);
    return;
  }
  grab_sprite(40, 0, 0, 64, 64);
  draw_sprite(40, 200, 150);
  create_screen(1, 41, 32, 32);
  use_screen(1);
  draw_rect(0, 0, 32, 32, 0x40C040u);
  draw_line(0, 31, 31, 0, 0xFFFFFFu);
  use_screen(-1);
  draw_sprite(41, 280, 200);
  rotate_sprite(40, 100, 170, 30);
}

std::vector<uint8_t> DirectPresentationTest::scene_frame(bool direct) {
  gfx().keep_presented_frames(true);
  draw_into_window(direct);
  draw_scene(0);
  draw_scene(1);
  show_screen();
  return presented();
}

TEST_F(DirectPresentationTest, FrameInTheWindowReadsBackAsOneDrawnOffScreen) {
  std::vector<uint8_t> frames[2];
  for (int direct = 0; direct < 2; ++direct) {
    frames[direct] = scene_frame(direct != 0);
    // A read does not change the frame: a second one gives the same.
    EXPECT_EQ(presented(), frames[direct]);
  }
  EXPECT_EQ(frames[0], frames[1]);
  EXPECT_NE(frames[0], std::vector<uint8_t>(frames[0].size(), 0));
}

TEST_F(DirectPresentationTest, RepaintWhileDrawingKeepsBothFrames) {
  const std::vector<uint8_t> reference = scene_frame(false);

  draw_into_window(true);
  draw_rect(0, 0, 320, 240, 0x123456u);
  show_screen();
  const std::vector<uint8_t> shown = presented();
  draw_scene(0);
  // The window asks for its contents half way through the next frame.
  platform::inject_window_event(platform::EventType::window_exposed);
  gfx().pump_messages();
  EXPECT_EQ(presented(), shown);
  draw_scene(1);
  show_screen();
  EXPECT_EQ(presented(), reference);
}

TEST_F(DirectPresentationTest, PausedGameShowsAndKeepsItsFinishedFrame) {
  const std::vector<uint8_t> reference = scene_frame(false);

  draw_into_window(true);
  gfx().keep_presented_frames(false);  // as for a game that never read a frame
  show_screen();
  draw_scene(0);
  draw_scene(1);
  platform::inject_window_event(platform::EventType::focus_lost);
  gfx().pump_messages();
  ASSERT_EQ(engine().paused, 1);
  std::thread resume([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    platform::inject_window_event(platform::EventType::window_exposed);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    platform::inject_window_event(platform::EventType::focus_gained);
  });
  show_screen();  // holds while paused, repainted once
  resume.join();
  EXPECT_EQ(engine().paused, 0);
  EXPECT_EQ(presented(), reference);
}

}  // namespace
}  // namespace quarvel_test
