// The game's typeface: one pixel design on a 5 x 9 grid that every font
// picture is made from, either pixel for pixel (small fonts) or as strokes
// joining neighbouring grid points (large fonts).
#pragma once

#include <vector>

namespace assetgen {

constexpr int kGlyphColumns = 5;
constexpr int kGlyphRows = 9;        // rows 0..6 capitals, 7..8 descenders
constexpr int kGlyphBaselineRow = 6;

// Whether grid cell (column, row) of character `code` (0..127) is inked.
bool glyph_bit(int code, int column, int row);
// Whether the typeface has a design for the code (32..127 all do).
bool glyph_designed(int code);

// A stroke between two grid points (equal ends: a dot).
struct Segment {
  float x0, y0, x1, y1;
};
std::vector<Segment> glyph_strokes(int code);

}  // namespace assetgen
