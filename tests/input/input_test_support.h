// Helpers for the input tests: real SDL events pushed into SDL's queue.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include <quarvel/quarvel.h>

#include "platform/platform.h"
#include "runtime_fixture.h"

namespace quarvel_test {

inline void press(int scan_code) { ASSERT_TRUE(quarvel::platform::test_push_key(scan_code, true)); }
inline void release(int scan_code) { ASSERT_TRUE(quarvel::platform::test_push_key(scan_code, false)); }

inline std::string text(const quarvel::DynString& s) { return std::string(s.c_str(), s.length_of()); }

// Presents n frames.
inline void frames(int n) {
  for (int i = 0; i < n; ++i) quarvel::show_screen();
}

}  // namespace quarvel_test
