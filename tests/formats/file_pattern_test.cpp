#include "files/formats/file_pattern.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quarvel {
namespace {

bool matches(const char* pattern, const char* name) {
  return pattern_matches(pattern, std::strlen(pattern), name, std::strlen(name));
}

TEST(FilePattern, Wildcards) {
  EXPECT_TRUE(matches("*.BMP", "title.bmp"));
  EXPECT_FALSE(matches("*.BMP", "title.bmp.txt"));
  EXPECT_TRUE(matches("a?c", "abc"));
  EXPECT_FALSE(matches("a?c", "a.c"));
  EXPECT_FALSE(matches("a?c", "ac"));
  EXPECT_TRUE(matches("a*b", "ab"));
  EXPECT_TRUE(matches("a*b", "axxb"));
  EXPECT_FALSE(matches("a*b", "axxbc"));
  EXPECT_TRUE(matches("a*b", "abab"));  // resumes after the first "b"
  EXPECT_TRUE(matches("a**b***", "aXb"));
  EXPECT_TRUE(matches("*", ""));
  EXPECT_TRUE(matches("", ""));
  EXPECT_FALSE(matches("", "a"));
  EXPECT_FALSE(matches("abc", "ab"));
  EXPECT_TRUE(matches("*x*y", "axbxcy"));
  EXPECT_TRUE(matches("*?", "a.b"));
  EXPECT_FALSE(matches("*.*", "noext"));
  EXPECT_TRUE(matches("A*Z", "abcz"));
  EXPECT_FALSE(matches("\xc4", "\xe4"));  // only ASCII letters fold
}

}  // namespace
}  // namespace quarvel
