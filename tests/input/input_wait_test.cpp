// Commands that wait for the player: key_wait, mouse_wait and the line
// editor. Keys arrive from another thread while the command waits, or
// frame by frame from a replay script.
#include <chrono>
#include <string>
#include <thread>

#include "input_test_support.h"

#include "core/engine_state.h"
#include "input/input_device.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

void later(int ms, void (*action)()) {
  std::thread([ms, action] {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    action();
  }).detach();
}

// Feeds the line editor frame by frame from a script; frame 0 is the
// editor's first frame.
void replay(const std::string& script) {
  engine().input->start_replay(parse_input_script(script.data(), script.size()));
}

// One key typed per two frames: down on one, up on the next.
std::string typing(std::initializer_list<int> codes) {
  std::string s;
  int frame = 0;
  for (int code : codes) {
    s += "frame " + std::to_string(frame++) + " down " + std::to_string(code) + "\n";
    s += "frame " + std::to_string(frame++) + " up " + std::to_string(code) + "\n";
  }
  return s;
}

using InputWait = RuntimeTest;

TEST_F(InputWait, KeyWaitReturnsOnceAKeyTypesACharacter) {
  later(60, [] { platform::test_push_key(200, true); });   // no character
  later(120, [] { platform::test_push_key(30, true); });   // A
  const double start = current_ms();
  key_wait();
  EXPECT_GE(current_ms() - start, 100);
  EXPECT_EQ(text(inkey()), "");  // the press was taken by key_wait
  release(30);
  release(200);
  show_screen();
}

TEST_F(InputWait, MouseWaitWantsAFreshPress) {
  ASSERT_TRUE(platform::test_push_mouse_button(1, true));  // already held
  later(60, [] { platform::test_push_mouse_button(1, false); });
  later(120, [] { platform::test_push_mouse_button(2, true); });
  const double start = current_ms();
  mouse_wait();
  EXPECT_GE(current_ms() - start, 100);
  EXPECT_EQ(mouse_axis(4), 1);
  ASSERT_TRUE(platform::test_push_mouse_button(2, false));
}

TEST_F(InputWait, InputTextEndedAtOnceLeavesTheVariable) {
  DynString name("Stone");
  replay("frame 0 down 28\n");
  input_text(name, 10, 10);
  engine().input->stop_session();
  EXPECT_EQ(text(name), "Stone");
}

TEST_F(InputWait, InputTextEditsTheTextAndShowsIt) {
  draw_rect(0, 0, 320, 240, 0);
  // Back on the empty text does nothing; h, i, Back, o, Enter.
  DynString typed;
  replay(typing({14, 35, 23, 14, 24, 28}));
  input_text(typed, 40, 100);
  engine().input->stop_session();
  EXPECT_EQ(text(typed), "ho");
  // The text was printed over the grabbed screen, and nothing else.
  int lit_inside = 0, lit_outside = 0;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      if (get_pixel(x, y) == 0) continue;
      (x >= 40 && x < 100 && y >= 100 && y < 120 ? lit_inside : lit_outside)++;
    }
  }
  EXPECT_GT(lit_inside, 0);
  EXPECT_EQ(lit_outside, 0);
}

TEST_F(InputWait, InputNumberReadsTheLeadingNumber) {
  double value = 99;
  // Keypad 1 2 . 5, then A, Enter.
  replay(typing({79, 80, 83, 76, 30, 28}));
  input_number(value, 0, 0);
  engine().input->stop_session();
  EXPECT_DOUBLE_EQ(value, 12.5);
  value = 99;
  replay("frame 0 down 28\n");
  input_number(value, 0, 0);
  engine().input->stop_session();
  EXPECT_EQ(value, 0);
}

using InputWaitDeathTest = RuntimeTest;

TEST_F(InputWaitDeathTest, EscapeDuringKeyWaitEndsTheProgram) {
  EXPECT_EXIT(
      {
        later(60, [] { platform::test_push_key(1, true); });
        key_wait();
        fprintf(stderr, "still running\n");
      },
      testing::ExitedWithCode(0), testing::Not(testing::HasSubstr("still running")));
}

TEST_F(InputWaitDeathTest, EscapeIsJustAKeyWhenNotAllowed) {
  EXPECT_EXIT(
      {
        allow_escape(0);
        later(60, [] { platform::test_push_key(1, true); });
        later(150, [] { platform::test_push_key(30, true); });
        key_wait();
        fprintf(stderr, "waited through escape\n");
        std::exit(0);
      },
      testing::ExitedWithCode(0), testing::HasSubstr("waited through escape"));
}

TEST_F(InputWaitDeathTest, CloseButtonEndsKeyWait) {
  EXPECT_EXIT(
      {
        later(60, [] { platform::inject_window_event(platform::EventType::close); });
        key_wait();
        fprintf(stderr, "still running\n");
      },
      testing::ExitedWithCode(0), testing::Not(testing::HasSubstr("still running")));
}

}  // namespace
}  // namespace quarvel_test
