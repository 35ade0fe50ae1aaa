// Presses too quick to be seen held: keys, mouse buttons, joystick and pad
// buttons pressed and let go between two reads, the per-frame press
// queries, typed characters in bursts, the same in a recorded and replayed
// run, and Alt+Enter.
#include <cstdio>
#include <string>
#include <vector>

#include "input_test_support.h"

#include "core/engine_state.h"
#include "input/input_device.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

void tap(int code) {
  press(code);
  release(code);
}

using QuickPress = RuntimeTest;

TEST_F(QuickPress, KeyTappedBetweenFramesReadsHeldForThatOneFrame) {
  show_screen();
  tap(28);  // Return, down and up before the next frame
  show_screen();
  EXPECT_EQ(key_state(28), 1);
  EXPECT_EQ(key_state(28), 1) << "for the whole frame, however often it is read";
  EXPECT_EQ(key_pressed(28), 1);
  show_screen();
  EXPECT_EQ(key_state(28), 0);
  EXPECT_EQ(key_pressed(28), 0);

  // Ten taps, one per frame: every one is seen.
  int seen = 0, pressed = 0;
  for (int i = 0; i < 10; ++i) {
    tap(57);
    show_screen();
    seen += static_cast<int>(key_state(57));
    pressed += static_cast<int>(key_pressed(57 + 256));
  }
  EXPECT_EQ(seen, 10);
  EXPECT_EQ(pressed, 10);
  show_screen();
  EXPECT_EQ(key_state(57), 0);

  // A tap between two reads of the same frame is seen by the second read.
  tap(30);
  EXPECT_EQ(key_state(30), 1);
  show_screen();
  show_screen();
  EXPECT_EQ(key_state(30), 0);
}

TEST_F(QuickPress, HeldKeyCountsAsPressedInItsFirstFrameOnly) {
  show_screen();
  press(205);
  show_screen();
  EXPECT_EQ(key_pressed(205), 1);
  show_screen();
  EXPECT_EQ(key_state(205), 1);
  EXPECT_EQ(key_pressed(205), 0);
  // Let go and pressed again within one frame: a new press.
  release(205);
  press(205);
  show_screen();
  EXPECT_EQ(key_pressed(205), 1);
  release(205);
  show_screen();
  EXPECT_EQ(key_state(205), 0);
  EXPECT_EQ(key_pressed(205), 0);
}

TEST_F(QuickPress, InkeyLosesNoCharacterOfABurst) {
  show_screen();
  while (!text(inkey()).empty()) {
  }
  // Typed faster than the game reads: "hello" plus the same key twice.
  for (int code : {35, 18, 38, 38, 24}) tap(code);
  std::string typed;
  for (int i = 0; i < 8; ++i) typed += text(inkey());
  EXPECT_EQ(typed, "hello");
  // Shift is taken as it was when the key went down.
  press(42);
  tap(30);
  release(42);
  tap(30);
  show_screen();
  EXPECT_EQ(text(inkey()), "A");
  EXPECT_EQ(text(inkey()), "a");
  EXPECT_EQ(text(inkey()), "");
  // Presses nobody read for many frames are not handed out later.
  tap(48);
  for (int i = 0; i < 40; ++i) show_screen();
  EXPECT_EQ(text(inkey()), "");
}

TEST_F(QuickPress, MouseClickBetweenFramesIsSeen) {
  show_screen();
  int clicks = 0, pressed = 0;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(platform::test_push_mouse_button(1, true));
    ASSERT_TRUE(platform::test_push_mouse_button(1, false));
    show_screen();
    clicks += static_cast<int>(mouse_axis(3));
    pressed += static_cast<int>(mouse_pressed(1));
  }
  EXPECT_EQ(clicks, 5);
  EXPECT_EQ(pressed, 5);
  show_screen();
  EXPECT_EQ(mouse_axis(3), 0);
  EXPECT_EQ(mouse_pressed(1), 0);
  // A held button is pressed in one frame only; other buttons are apart.
  ASSERT_TRUE(platform::test_push_mouse_button(2, true));
  show_screen();
  EXPECT_EQ(mouse_pressed(2), 1);
  EXPECT_EQ(mouse_pressed(1), 0);
  show_screen();
  EXPECT_EQ(mouse_axis(4), 1);
  EXPECT_EQ(mouse_pressed(2), 0);
  ASSERT_TRUE(platform::test_push_mouse_button(2, false));
  show_screen();
  EXPECT_EQ(mouse_axis(4), 0);
  EXPECT_EQ(mouse_pressed(0), 0);
  EXPECT_EQ(mouse_pressed(4), 0);
}

TEST_F(QuickPress, JoystickAndPadButtonTapsAreSeen) {
  platform::VirtualJoystick stick;
  stick.name = "Tap Stick";
  const int h = platform::test_attach_joystick(stick);
  ASSERT_GE(h, 0);
  show_screen();
  // The device reports the press and, before the game reads again, the
  // release.
  platform::test_joystick_button(h, 1, true);
  platform::joystick_update();
  platform::test_joystick_button(h, 1, false);
  show_screen();
  double x, y, b1, b2;
  joystick_state(x, y, b1, b2);
  EXPECT_EQ(b2, 128);
  joystick_state(x, y, b1, b2);
  EXPECT_EQ(b2, 128) << "for the whole frame";
  show_screen();
  joystick_state(x, y, b1, b2);
  EXPECT_EQ(b2, 0);
  platform::test_detach_joystick(h);
  show_screen();

  // A pad's Start stands for Return: a tap of it starts a game too.
  platform::VirtualJoystick pad;
  pad.game_controller = true;
  pad.name = "Tap Pad";
  const int p = platform::test_attach_joystick(pad);
  ASSERT_GE(p, 0);
  show_screen();
  constexpr int kPadStart = 6;
  platform::test_joystick_button(p, kPadStart, true);
  platform::joystick_update();
  platform::test_joystick_button(p, kPadStart, false);
  show_screen();
  show_screen();
  EXPECT_EQ(key_state(28), 1);
  EXPECT_EQ(key_pressed(28), 1);
  show_screen();
  EXPECT_EQ(key_state(28), 0);
  platform::test_detach_joystick(p);
  show_screen();
}

// What a game sees of keys and the mouse in one frame.
std::string frame_view() {
  std::string v;
  for (double value : {key_state(28), key_pressed(28), key_state(30), mouse_axis(3), mouse_pressed(1)}) {
    v += std::to_string(static_cast<int>(value));
  }
  const std::string first = text(inkey());
  const std::string second = text(inkey());
  return v + "[" + first + second + "]";
}

TEST_F(QuickPress, RecordingKeepsTapsAndTheReplayShowsThemAlike) {
  const std::string path = platform::temp_dir() + "/taps.txt";
  constexpr int kFrames = 12;
  std::vector<std::string> live;
  engine().input->start_recording(std::fopen(path.c_str(), "wb"), 7);
  for (int f = 0; f < kFrames; ++f) {
    switch (f) {
      case 2: tap(28); break;
      case 4: tap(30); tap(31); break;
      case 5: press(28); break;
      case 7: release(28); press(28); release(28); break;
      case 8:
        platform::test_push_mouse_button(1, true);
        platform::test_push_mouse_button(1, false);
        break;
      default: break;
    }
    show_screen();
    live.push_back(frame_view());
  }
  engine().input->stop_session();
  const std::string written = read_file(path);
  EXPECT_NE(written.find("frame 2 down 28\nframe 2 up 28\n"), std::string::npos) << written;
  EXPECT_EQ(live[2], "11000[\n]");
  EXPECT_EQ(live[3], "00000[]");
  EXPECT_EQ(live[4], "00100[as]");
  EXPECT_EQ(live[8], "00011[]");
  EXPECT_EQ(live[7].substr(0, 2), "11") << "let go and pressed again";

  const InputScript script = parse_input_script(written.data(), written.size());
  ASSERT_TRUE(script.problems.empty()) << script.problems.front();
  engine().input->start_replay(script);
  for (int f = 0; f < kFrames; ++f) {
    show_screen();
    EXPECT_EQ(frame_view(), live[f]) << "frame " << f;
  }
  engine().input->stop_session();
  show_screen();
}

TEST_F(QuickPress, AltEnterSwitchesFullscreenAndKeepsReturnFromTheGame) {
  show_screen();
  ASSERT_EQ(is_fullscreen(), 0);
  press(56);  // Left Alt
  tap(28);
  show_screen();
  EXPECT_EQ(is_fullscreen(), 1);
  EXPECT_EQ(key_state(28), 0);
  EXPECT_EQ(key_pressed(28), 0);
  EXPECT_EQ(text(inkey()), "");
  // Held Return after the switch is still not the game's until let go.
  press(28);
  show_screen();
  EXPECT_EQ(is_fullscreen(), 0);
  EXPECT_EQ(key_state(28), 0);
  show_screen();
  EXPECT_EQ(is_fullscreen(), 0) << "one switch per press";
  release(28);
  release(56);
  show_screen();
  tap(28);
  show_screen();
  EXPECT_EQ(key_state(28), 1) << "Return alone is the game's again";
  EXPECT_EQ(is_fullscreen(), 0);
  show_screen();
}

}  // namespace
}  // namespace quarvel_test
