// Test entry: each test process runs in a temporary directory of its own,
// headless, with dialogs switched off, and removes the directory at the end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

#include "test_support.h"

namespace {
std::string g_temp_dir;
pid_t g_owner = 0;

void remove_temp_dir() {
  // Forked death-test children must not remove the parent's directory.
  if (!g_temp_dir.empty() && getpid() == g_owner) {
    std::error_code ec;
    std::filesystem::remove_all(g_temp_dir, ec);
  }
}
}  // namespace

namespace quarvel_test {
const std::string& temp_dir() { return g_temp_dir; }
}  // namespace quarvel_test

int main(int argc, char** argv) {
  const char* inherited = std::getenv("QUARVEL_TEST_TMPDIR");
  if (inherited && *inherited) {
    // A re-executed death-test child shares its parent's directory.
    g_temp_dir = inherited;
  } else {
    std::string base = std::filesystem::temp_directory_path().string();
    std::string pattern = base + "/quarvel-test-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      perror("mkdtemp");
      return 2;
    }
    g_temp_dir = pattern;
    g_owner = getpid();
    setenv("QUARVEL_TEST_TMPDIR", g_temp_dir.c_str(), 1);
    std::atexit(remove_temp_dir);
  }
  setenv("TMPDIR", g_temp_dir.c_str(), 1);
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("QUARVEL_NO_DIALOGS", "1", 1);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
