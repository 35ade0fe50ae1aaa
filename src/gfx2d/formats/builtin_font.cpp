#include "gfx2d/formats/builtin_font.h"

#include <cstddef>

namespace quarvel {
namespace {

constexpr int kFontWidth = 128;
constexpr int kFontHeight = 64;
constexpr int kCell = 8;
constexpr int kFirstCode = 32;

// One word per character from code 32 to 127: bit 5 x row + column is set
// for a glyph pixel (rows 0..5 from the top, columns 0..4 from the left).
constexpr uint32_t kGlyphs[96] = {
    0x00000000, 0x08021080, 0x00002940, 0x15F57D40, 0x08E619C4, 0x14222140, 0x0ED114E0, 0x00001080,
    0x08210880, 0x04421040, 0x09575480, 0x08471080, 0x04400000, 0x00070000, 0x08000000, 0x04222100,
    0x00E5294E, 0x004210C4, 0x00E1390E, 0x00E4390E, 0x0084394A, 0x00E4384E, 0x00E5384E, 0x0042210E,
    0x00E5394E, 0x00E4394E, 0x00020080, 0x00220080, 0x00820888, 0x000701C0, 0x00222082, 0x0040310E,
    0x00E0B526, 0x00A5394E, 0x00E5194E, 0x00E5094E, 0x00E52946, 0x00E1384E, 0x0021384E, 0x00E5284E,
    0x00A5394A, 0x00E2108E, 0x00E5210C, 0x00A5194A, 0x00E10842, 0x015AD6BF, 0x00A5294E, 0x00E5294E,
    0x0021394E, 0x00F294A7, 0x00A5194E, 0x00E4384E, 0x0042108E, 0x00E5294A, 0x0045294A, 0x01FAD6B5,
    0x00A5114A, 0x0042394A, 0x00E1110E, 0x00610846, 0x01041041, 0x00621086, 0x00000144, 0x00E00000,
    0x00000082, 0x00E53000, 0x00E53842, 0x00E13800, 0x00E53908, 0x08273800, 0x00423888, 0x08873800,
    0x00A51842, 0x00421004, 0x04421004, 0x00A32842, 0x00421084, 0x015ABC00, 0x00A51800, 0x00E53800,
    0x04E51800, 0x10E53000, 0x00253800, 0x00E409C0, 0x00C23884, 0x00C52800, 0x00452800, 0x00EAD400,
    0x00A22800, 0x1C872800, 0x00E121C0, 0x00821888, 0x00421084, 0x00223082, 0x0002A800, 0x3F18C63F,
};

// Whether cell pixel (x, y), 0..7 each, is a glyph pixel: the 5 x 6 glyph
// sits one pixel right of and below the cell's top-left corner.
bool glyph_pixel(uint32_t glyph, int x, int y) {
  const int column = x - 1;
  const int row = y - 1;
  if (column < 0 || column > 4 || row < 0 || row > 5) return false;
  return (glyph >> (5 * row + column)) & 1u;
}

void set_pixel(ImageBuffer& image, int x, int y, uint8_t grey) {
  uint8_t* p = image.pixels.data() + (static_cast<size_t>(y) * kFontWidth + x) * 4;
  p[0] = p[1] = p[2] = grey;
  p[3] = 255;
}

}  // namespace

void build_default_font(ImageBuffer& out) {
  out.width = kFontWidth;
  out.height = kFontHeight;
  out.pixels.assign(static_cast<size_t>(kFontWidth) * kFontHeight * 4, 0);
  for (int code = kFirstCode; code < 128; ++code) {
    const uint32_t glyph = kGlyphs[code - kFirstCode];
    const int left = (code % 16) * kCell;
    const int top = (code / 16) * kCell;
    for (int y = 0; y < kCell; ++y) {
      // The outline reaches the cell's left 7 columns only.
      for (int x = 0; x < kCell - 1; ++x) {
        if (glyph_pixel(glyph, x, y)) {
          set_pixel(out, left + x, top + y, 255);
        } else if (glyph_pixel(glyph, x - 1, y) || glyph_pixel(glyph, x + 1, y) ||
                   glyph_pixel(glyph, x, y - 1) || glyph_pixel(glyph, x, y + 1)) {
          set_pixel(out, left + x, top + y, 8);
        }
      }
    }
  }
}

}  // namespace quarvel
