// The dialog switch of game code (the short entry is run by the examples'
// end-to-end tests).
#include <gtest/gtest.h>

#include <cstdlib>

#include <quarvel/quarvel.h>

namespace {

TEST(AllowDialogs, SwitchesTheSameSettingScriptedRunsUse) {
  const char* before = std::getenv("QUARVEL_NO_DIALOGS");
  const bool was_set = before != nullptr;
  unsetenv("QUARVEL_NO_DIALOGS");
  quarvel::allow_dialogs(0);
  ASSERT_NE(std::getenv("QUARVEL_NO_DIALOGS"), nullptr);
  EXPECT_STREQ(std::getenv("QUARVEL_NO_DIALOGS"), "1");
  quarvel::allow_dialogs(0);
  quarvel::allow_dialogs(1);
  EXPECT_EQ(std::getenv("QUARVEL_NO_DIALOGS"), nullptr);
  // A setting the user made is not taken away by the game.
  setenv("QUARVEL_NO_DIALOGS", "1", 1);
  quarvel::allow_dialogs(1);
  EXPECT_NE(std::getenv("QUARVEL_NO_DIALOGS"), nullptr);
  if (!was_set) unsetenv("QUARVEL_NO_DIALOGS");
}

}  // namespace
