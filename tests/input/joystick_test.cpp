// Joysticks and game controllers: SDL virtual devices attached while the
// runtime runs.
#include "input_test_support.h"

#include "core/engine_state.h"
#include "input/input_device.h"

namespace quarvel_test {
namespace {

using namespace quarvel;
using platform::test_joystick_axis;
using platform::test_joystick_button;
using platform::test_joystick_hat;

// SDL's hat bits.
constexpr int kUp = 1, kRight = 2, kDown = 4, kLeft = 8;
// Controller layout numbers (see platform.h).
constexpr int kLeftX = 0, kLeftY = 1, kRightX = 2, kTriggerLeft = 4;
constexpr int kPadA = 0, kPadBack = 4, kPadGuide = 5, kPadStart = 6;
constexpr int kDpadUp = 11, kDpadDown = 12, kDpadLeft = 13, kDpadRight = 14;

// Attaches a virtual joystick and lets the runtime see it (the device
// arrives as a window event).
int attach(const platform::VirtualJoystick& kind) {
  const int handle = platform::test_attach_joystick(kind);
  if (handle >= 0) show_screen();
  return handle;
}

void detach(int handle) {
  platform::test_detach_joystick(handle);
  show_screen();
}

using JoystickInput = RuntimeTest;

TEST_F(JoystickInput, AxesAreScaledToPlusMinusOne) {
  platform::VirtualJoystick kind;
  kind.name = "Test Stick";
  const int h = attach(kind);
  ASSERT_GE(h, 0);
  EXPECT_EQ(joystick_count(), 1);
  EXPECT_EQ(text(joystick_name(0)), "Test Stick, Test Stick");

  EXPECT_EQ(joystick_x(0), 0);
  test_joystick_axis(h, 0, 32767);  // a full deflection reads 32768
  EXPECT_EQ(joystick_x(0), 1);
  test_joystick_axis(h, 0, -32768);
  EXPECT_EQ(joystick_x(0), -1);
  test_joystick_axis(h, 1, 16384);
  EXPECT_NEAR(joystick_y(0), 0.5, 1e-3);
  const std::pair<int, double (*)(double)> others[] = {
      {2, joystick_z}, {3, joystick_rx}, {4, joystick_ry}, {5, joystick_rz}};
  for (const auto& [axis, command] : others) {
    test_joystick_axis(h, axis, -32768);
    EXPECT_EQ(command(0), -1) << "axis " << axis;
  }
  detach(h);
  EXPECT_EQ(joystick_count(), 0);
  EXPECT_EQ(joystick_z(0), 0);
}

TEST_F(JoystickInput, StateCutsAtThirtyThousandAndButtonsRead128) {
  const int h = attach(platform::VirtualJoystick());
  ASSERT_GE(h, 0);
  double x = 9, y = 9, b1 = 9, b2 = 9;
  test_joystick_axis(h, 0, 29999);
  test_joystick_axis(h, 1, -29999);
  joystick_state(x, y, b1, b2);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(b1, 0);
  EXPECT_EQ(b2, 0);
  test_joystick_axis(h, 0, 30000);
  test_joystick_axis(h, 1, -30000);
  test_joystick_button(h, 1, true);
  joystick_state(x, y, b1, b2);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(y, -1);
  EXPECT_EQ(b1, 0);
  EXPECT_EQ(b2, 128);
  detach(h);
}

TEST_F(JoystickInput, HatReadsOnlyTheFourMainDirections) {
  const int h = attach(platform::VirtualJoystick());
  ASSERT_GE(h, 0);
  struct Case {
    int hat;
    double x, y;
  };
  const Case cases[] = {{0, 0, 0},           {kUp, 0, -1},         {kRight, 1, 0},
                        {kDown, 0, 1},       {kLeft, -1, 0},       {kUp | kRight, 0, 0},
                        {kDown | kLeft, 0, 0}, {kDown | kRight, 0, 0}, {kUp | kLeft, 0, 0}};
  for (const Case& c : cases) {
    test_joystick_hat(h, 0, c.hat);
    EXPECT_EQ(joystick_hat_x(0), c.x) << "hat " << c.hat;
    EXPECT_EQ(joystick_hat_y(0), c.y) << "hat " << c.hat;
  }
  detach(h);
}

TEST_F(JoystickInput, MissingIndexReadsAllZero) {
  const int h = attach(platform::VirtualJoystick());
  ASSERT_GE(h, 0);
  ASSERT_EQ(joystick_count(), 1);
  for (double index : {5.0, 1.0, -1.0, 10.0, 1e12}) {
    EXPECT_EQ(joystick_x(index), 0);
    EXPECT_EQ(joystick_rz(index), 0);
    EXPECT_EQ(joystick_hat_x(index), 0);
    EXPECT_EQ(joystick_hat_y(index), -1);  // a zero point of view is "up"
    EXPECT_EQ(text(joystick_name(index)), "");
  }
  // A second stick takes the next index; indices stay put when one goes.
  const int h2 = attach(platform::VirtualJoystick());
  ASSERT_GE(h2, 0);
  EXPECT_EQ(joystick_count(), 2);
  detach(h);
  EXPECT_EQ(joystick_count(), 2);
  EXPECT_EQ(text(joystick_name(0)), "");
  EXPECT_NE(text(joystick_name(1)), "");
  detach(h2);
  EXPECT_EQ(joystick_count(), 0);
}

TEST_F(JoystickInput, ForceReachesTheDeviceAsRumble) {
  platform::VirtualJoystick kind;
  kind.rumble = true;
  const int h = attach(kind);
  ASSERT_GE(h, 0);
  int low = 0, high = 0;
  const int before = platform::test_rumble(low, high);
  joystick_force(0, 250, 1, 0);  // half the strongest force
  EXPECT_EQ(platform::test_rumble(low, high), before + 1);
  EXPECT_EQ(low, 32768);
  EXPECT_EQ(high, 32768);
  joystick_force(0, 250, 3, -3);  // clamped to the diagonal's full force
  platform::test_rumble(low, high);
  EXPECT_EQ(low, 65535);
  joystick_force(4, 250, 1, 1);  // no joystick there
  EXPECT_EQ(platform::test_rumble(low, high), before + 2);
  detach(h);
}

// ------------------------------------------------------------------ pad ---

using GamepadInput = RuntimeTest;

platform::VirtualJoystick pad_kind() {
  platform::VirtualJoystick kind;
  kind.game_controller = true;
  kind.name = "Test Pad";
  return kind;
}

TEST_F(GamepadInput, PadMovesTheSameKeysAsTheKeyboard) {
  const int h = attach(pad_kind());
  ASSERT_GE(h, 0);
  const std::pair<int, int> buttons[] = {{kDpadUp, 200},   {kDpadDown, 208}, {kDpadLeft, 203},
                                         {kDpadRight, 205}, {kPadStart, 28},  {kPadBack, 59}};
  for (const auto& [button, code] : buttons) {
    test_joystick_button(h, button, true);
    show_screen();
    EXPECT_EQ(key_state(code), 1) << "button " << button;
    test_joystick_button(h, button, false);
    show_screen();
    EXPECT_EQ(key_state(code), 0) << "button " << button;
  }
  // The left stick counts past half way.
  test_joystick_axis(h, kLeftX, 10000);
  show_screen();
  EXPECT_EQ(key_state(205), 0);
  test_joystick_axis(h, kLeftX, 20000);
  show_screen();
  EXPECT_EQ(key_state(205), 1);
  test_joystick_axis(h, kLeftX, -32768);
  test_joystick_axis(h, kLeftY, 32767);
  show_screen();
  EXPECT_EQ(key_state(205), 0);
  EXPECT_EQ(key_state(203), 1);
  EXPECT_EQ(key_state(208), 1);
  test_joystick_axis(h, kLeftX, 0);
  test_joystick_axis(h, kLeftY, 0);
  show_screen();
  EXPECT_EQ(key_state(203), 0);

  // Keyboard and pad together: letting go of one leaves the other held.
  press(200);
  test_joystick_button(h, kDpadUp, true);
  show_screen();
  test_joystick_button(h, kDpadUp, false);
  show_screen();
  EXPECT_EQ(key_state(200), 1);
  release(200);
  show_screen();
  EXPECT_EQ(key_state(200), 0);
  detach(h);
}

TEST_F(GamepadInput, PadReadsThroughTheControllerLayout) {
  const int h = attach(pad_kind());
  ASSERT_GE(h, 0);
  EXPECT_NE(text(joystick_name(0)).find("Test Pad"), std::string::npos);
  test_joystick_axis(h, kLeftX, 32767);
  test_joystick_axis(h, kRightX, -32768);
  test_joystick_axis(h, kTriggerLeft, 32767);
  test_joystick_button(h, kPadA, true);
  test_joystick_button(h, kDpadRight, true);
  double x, y, b1, b2;
  joystick_state(x, y, b1, b2);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(b1, 128);
  EXPECT_EQ(joystick_rx(0), -1);
  EXPECT_EQ(joystick_z(0), 1);  // the left trigger
  EXPECT_EQ(joystick_hat_x(0), 1);
  EXPECT_EQ(joystick_hat_y(0), 0);
  detach(h);
}

using GamepadQuitDeathTest = RuntimeTest;

TEST_F(GamepadQuitDeathTest, GuideQuitsLikeEscapeOnlyWhileAllowed) {
  EXPECT_EXIT(
      {
        const int h = attach(pad_kind());
        if (h < 0) std::exit(3);
        allow_escape(0);
        test_joystick_button(h, kPadGuide, true);
        frames(2);
        fprintf(stderr, "guide ignored\n");
        allow_escape(1);
        frames(2);
        fprintf(stderr, "still running\n");
      },
      testing::ExitedWithCode(0),
      testing::AllOf(testing::HasSubstr("guide ignored"), testing::Not(testing::HasSubstr("still running"))));
}

}  // namespace
}  // namespace quarvel_test
