// The typeface every font picture is made from: a design slip here (a
// letter that sinks below the baseline, two codes drawn alike, a stroke
// that misses a pixel) shows up in every font at once.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "glyphs.h"

namespace {

using assetgen::glyph_bit;
using assetgen::kGlyphColumns;
using assetgen::kGlyphRows;

bool row_inked(int code, int row) {
  for (int x = 0; x < kGlyphColumns; ++x)
    if (glyph_bit(code, x, row)) return true;
  return false;
}

std::string pattern(int code) {
  std::string p;
  for (int y = 0; y < kGlyphRows; ++y)
    for (int x = 0; x < kGlyphColumns; ++x) p += glyph_bit(code, x, y) ? '#' : '.';
  return p;
}

TEST(Typeface, EveryPrintableCodeHasItsOwnDesign) {
  std::set<std::string> seen;
  for (int code = 32; code < 128; ++code) {
    EXPECT_TRUE(assetgen::glyph_designed(code)) << "code " << code;
    if (code == ' ') continue;
    EXPECT_NE(pattern(code).find('#'), std::string::npos) << "code " << code << " is blank";
    EXPECT_TRUE(seen.insert(pattern(code)).second) << "code " << code << " looks like another one";
  }
  EXPECT_EQ(pattern(' ').find('#'), std::string::npos);
}

TEST(Typeface, CapitalsAndDigitsFillTheCapHeight) {
  std::string codes;
  for (char c = 'A'; c <= 'Z'; ++c) codes += c;
  for (char c = '0'; c <= '9'; ++c) codes += c;
  for (char c : codes) {
    EXPECT_TRUE(row_inked(c, 0)) << c;
    EXPECT_TRUE(row_inked(c, 6)) << c;
    EXPECT_FALSE(row_inked(c, 7) || row_inked(c, 8)) << c << " reaches below the baseline";
  }
}

TEST(Typeface, LowerCaseStandsOnTheBaselineAndOnlyDescendersGoBelow) {
  const std::string descenders = "gjpqy";
  const std::string short_letters = "acegmnopqrsuvwxyz";
  for (char c = 'a'; c <= 'z'; ++c) {
    EXPECT_TRUE(row_inked(c, 6)) << c;
    const bool below = row_inked(c, 7) || row_inked(c, 8);
    EXPECT_EQ(below, descenders.find(c) != std::string::npos) << c;
    if (short_letters.find(c) != std::string::npos) {
      EXPECT_FALSE(row_inked(c, 0) || row_inked(c, 1)) << c << " is taller than the x-height";
      EXPECT_TRUE(row_inked(c, 2)) << c << " is shorter than the x-height";
    } else {
      EXPECT_TRUE(row_inked(c, 0)) << c << " is not as tall as an ascender";
    }
  }
}

TEST(Typeface, StrokesJoinNeighboursAndCoverExactlyTheInkedPoints) {
  for (int code = 32; code < 128; ++code) {
    std::set<std::pair<int, int>> ends;
    for (const assetgen::Segment& s : assetgen::glyph_strokes(code)) {
      EXPECT_LE(std::abs(s.x1 - s.x0), 1.0f) << "code " << code;
      EXPECT_LE(std::abs(s.y1 - s.y0), 1.0f) << "code " << code;
      ends.insert({static_cast<int>(s.x0), static_cast<int>(s.y0)});
      ends.insert({static_cast<int>(s.x1), static_cast<int>(s.y1)});
    }
    std::set<std::pair<int, int>> inked;
    for (int y = 0; y < kGlyphRows; ++y)
      for (int x = 0; x < kGlyphColumns; ++x)
        if (glyph_bit(code, x, y)) inked.insert({x, y});
    EXPECT_EQ(ends, inked) << "code " << code;
  }
  // A corner turned by orthogonal neighbours gets no extra diagonal, which
  // would fill it in: 'L' is two straight strokes only.
  for (const assetgen::Segment& s : assetgen::glyph_strokes('L'))
    EXPECT_TRUE(s.x0 == s.x1 || s.y0 == s.y1) << "diagonal in L";
}

}  // namespace
