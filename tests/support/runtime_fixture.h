// Starts the runtime once per test process, the way a game's entry does,
// with a stale report file left behind "by an earlier run".
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace quarvel_test {

constexpr const char* kStaleReportLine = "line left by an earlier run";

void ensure_runtime();
// Puts the drawing state back to a fresh start's: the screen as target,
// full viewport, opaque drawing, no background, both frame buffers black.
void reset_drawing();
std::string report_path();
std::string read_file(const std::string& path);

class RuntimeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ensure_runtime(); }
  // Every test starts from a clean screen, also when a whole test program
  // runs in one process.
  void SetUp() override { reset_drawing(); }
};

}  // namespace quarvel_test
