#include <gtest/gtest.h>

#include <set>
#include <string>

#include "gfx2d/formats/builtin_font.h"

namespace quarvel {
namespace {

// '#' glyph (white), 'o' outline (dark grey), '.' transparent black.
char pixel_kind(const ImageBuffer& font, int x, int y) {
  const uint8_t* p = font.pixels.data() + (static_cast<size_t>(y) * font.width + x) * 4;
  if (p[0] == 255 && p[1] == 255 && p[2] == 255 && p[3] == 255) return '#';
  if (p[0] == 8 && p[1] == 8 && p[2] == 8 && p[3] == 255) return 'o';
  if (p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0) return '.';
  return '?';
}

std::string cell(const ImageBuffer& font, int code) {
  std::string art;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) art += pixel_kind(font, (code % 16) * 8 + x, (code / 16) * 8 + y);
    art += '\n';
  }
  return art;
}

TEST(BuiltinFont, LayoutAndGlyphs) {
  ImageBuffer font;
  font.pixels.assign(10, 1);
  build_default_font(font);
  ASSERT_EQ(font.width, 128);
  ASSERT_EQ(font.height, 64);
  ASSERT_EQ(font.pixels.size(), 128u * 64 * 4);

  // 'H' is word 0x00A5394A: bits 1 and 3 in rows 0, 1, 3, 4, bits 1 to 3 in row 2.
  EXPECT_EQ(cell(font, 'H'),
            "..o.o...\n"
            ".o#o#o..\n"
            ".o#o#o..\n"
            ".o###o..\n"
            ".o#o#o..\n"
            ".o#o#o..\n"
            "..o.o...\n"
            "........\n");
  // 'M' fills glyph column 4: its outline reaches cell column 6, never 7.
  EXPECT_EQ(cell(font, 'M'),
            ".ooooo..\n"
            "o#####o.\n"
            "o#o#o#o.\n"
            "o#o#o#o.\n"
            "o#o#o#o.\n"
            "o#o#o#o.\n"
            ".o.o.o..\n"
            "........\n");
  std::string blank;
  for (int i = 0; i < 8; ++i) blank += "........\n";
  EXPECT_EQ(cell(font, ' '), blank);

  // Only the three colours, nothing in cell rows 0 and 1 (codes 0 to 31),
  // nothing in the last column of any cell.
  std::set<char> kinds;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 128; ++x) {
      const char k = pixel_kind(font, x, y);
      kinds.insert(k);
      if (y < 16 || x % 8 == 7) {
        EXPECT_EQ(k, '.') << x << ' ' << y;
      }
    }
  }
  EXPECT_EQ(kinds, (std::set<char>{'#', 'o', '.'}));
}

}  // namespace
}  // namespace quarvel
