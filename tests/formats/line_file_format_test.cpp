#include "files/formats/line_file_format.h"

#include <gtest/gtest.h>

#include <string>

namespace quarvel::line_file_format {
namespace {

void read(const std::string& text, LineCache& cache) {
  read_lines(reinterpret_cast<const uint8_t*>(text.data()), text.size(), cache);
}

TEST(LineFileFormat, LinesAndLastLine) {
  LineCache cache;
  read("", cache);
  EXPECT_EQ(cache.last_line, 0);
  EXPECT_EQ(write_lines(cache), "\r\n");

  read("one\r\ntwo \nthree\t\r\nlast", cache);
  EXPECT_EQ(cache.last_line, 3);
  EXPECT_EQ(cache.lines[0], "one");
  EXPECT_EQ(cache.lines[1], "two ");
  EXPECT_EQ(cache.lines[2], "three\t");
  EXPECT_EQ(cache.lines[3], "last");  // no line feed: still read whole

  read("a\n\n", cache);
  EXPECT_EQ(cache.last_line, 1);
  read("a\rb\n", cache);  // a lone CR stays
  EXPECT_EQ(cache.lines[0], "a\rb");
}

TEST(LineFileFormat, LongLinesAreCutButKeptForWriting) {
  LineCache cache;
  const std::string head(kLineLimit, 'h');
  const std::string rest(600, 'r');
  read(head + rest + "\nnext\n", cache);
  EXPECT_EQ(cache.lines[0], head);
  EXPECT_EQ(cache.lines[1], "next");  // the rest does not become a line
  EXPECT_EQ(cache.last_line, 1);
  EXPECT_EQ(write_lines(cache), head + rest + "\r\nnext\r\n");
  // Replacing the line replaces all of it.
  cache.set_line(0, "short", 5);
  EXPECT_EQ(write_lines(cache), "short\r\nnext\r\n");
  const std::string too_long(2000, 'x');
  cache.set_line(1, too_long.data(), too_long.size());
  EXPECT_EQ(cache.lines[1].size(), kLineLimit);
}

TEST(LineFileFormat, LinesAfterTheCacheAreKept) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += std::to_string(i) + "\n";
  LineCache cache;
  read(text, cache);
  EXPECT_EQ(cache.last_line, 255);
  EXPECT_EQ(cache.lines[255], "255");
  cache.set_line(0, "zero", 4);
  std::string expected = "zero\r\n";
  for (int i = 1; i < 256; ++i) expected += std::to_string(i) + "\r\n";
  for (int i = 256; i < 300; ++i) expected += std::to_string(i) + "\n";
  EXPECT_EQ(write_lines(cache), expected);
}

TEST(LineFileFormat, SetLineRaisesLastLine) {
  LineCache cache;
  cache.clear();
  cache.set_line(5, "five", 4);
  EXPECT_EQ(write_lines(cache), "\r\n\r\n\r\n\r\n\r\nfive\r\n");
  cache.set_line(2, "two", 3);
  EXPECT_EQ(cache.last_line, 5);
  cache.set_line(256, "no", 2);  // outside the cache: ignored
  EXPECT_EQ(cache.last_line, 5);
}

}  // namespace
}  // namespace quarvel::line_file_format
