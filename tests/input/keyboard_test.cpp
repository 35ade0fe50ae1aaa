// Key state and typed characters, driven by SDL key events.
#include "input_test_support.h"

#include "core/engine_state.h"
#include "input/input_device.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

using KeyboardInput = RuntimeTest;

TEST_F(KeyboardInput, KeyStateTakesCodesModulo256AndPollsOnEveryCall) {
  press(200);
  show_screen();
  EXPECT_EQ(key_state(200), 1);
  EXPECT_EQ(key_state(200 + 256), 1);
  EXPECT_EQ(key_state(200 - 512), 1);
  EXPECT_EQ(key_state(203), 0);
  // No frame in between: the call itself polls.
  release(200);
  EXPECT_EQ(key_state(200), 0);
  press(203);
  EXPECT_EQ(key_state(203 + 256), 1);
  release(203);
  EXPECT_EQ(key_state(203), 0);
}

TEST_F(KeyboardInput, InkeyGivesEachPressOnce) {
  press(30);  // A
  show_screen();
  EXPECT_EQ(text(inkey()), "a");
  EXPECT_EQ(text(inkey()), "");
  show_screen();
  EXPECT_EQ(text(inkey()), "");  // still held
  release(30);
  show_screen();
  EXPECT_EQ(text(inkey()), "");
  press(30);
  EXPECT_EQ(text(inkey()), "a");  // pressed again
  release(30);
  EXPECT_EQ(text(inkey()), "");

  press(42);  // Left Shift
  press(30);
  EXPECT_EQ(text(inkey()), "A");
  release(30);
  release(42);
  press(54);  // Right Shift
  press(48);  // B
  EXPECT_EQ(text(inkey()), "B");
  release(48);
  release(54);
  EXPECT_EQ(text(inkey()), "");
}

TEST_F(KeyboardInput, EnterKeysGiveTenAndBackGivesEight) {
  press(28);  // Return
  EXPECT_EQ(text(inkey()), "\n");
  release(28);
  EXPECT_EQ(text(inkey()), "");
  press(156);  // the keypad's Enter
  EXPECT_EQ(text(inkey()), "\n");
  release(156);
  EXPECT_EQ(text(inkey()), "");
  press(14);
  EXPECT_EQ(text(inkey()), "\b");
  release(14);
  EXPECT_EQ(text(inkey()), "");
}

TEST_F(KeyboardInput, ModifiersTypeNothingAndShiftOnlyRaisesLetters) {
  for (int code : {29, 42, 56, 58, 69, 221}) press(code);
  EXPECT_EQ(text(inkey()), "");
  // Shift keeps digits as they are. Both keys pressed before the read count,
  // in the order they went down.
  press(3);   // 2
  press(30);  // A
  EXPECT_EQ(text(inkey()), "2");
  EXPECT_EQ(text(inkey()), "A");
  EXPECT_EQ(text(inkey()), "");
  for (int code : {29, 42, 56, 58, 69, 221, 3, 30}) release(code);
  EXPECT_EQ(text(inkey()), "");
  // Keys without a character (Escape, Tab, arrows, F1) give nothing.
  for (int code : {1, 15, 200, 59}) press(code);
  EXPECT_EQ(text(inkey()), "");
  for (int code : {1, 15, 200, 59}) release(code);
}

TEST_F(KeyboardInput, KeypadAndSpaceTypeTheirCharacters) {
  const std::pair<int, const char*> keys[] = {{71, "7"}, {82, "0"}, {83, "."}, {78, "+"}, {181, "/"}, {57, " "}};
  for (const auto& [code, typed] : keys) {
    press(code);
    EXPECT_EQ(text(inkey()), typed) << "scan code " << code;
    release(code);
    EXPECT_EQ(text(inkey()), "");
  }
}

TEST_F(KeyboardInput, FocusRegainedReadsTheKeyboardAfresh) {
  press(205);
  show_screen();
  ASSERT_EQ(key_state(205), 1);
  // The release happened while another window had the focus.
  engine().input->resync();
  EXPECT_EQ(key_state(205), 0);
}

}  // namespace
}  // namespace quarvel_test
