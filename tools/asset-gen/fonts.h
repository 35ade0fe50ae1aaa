// Font pictures (16 cells across, 8 rows of cells, codes 0..127, black is
// transparent) and stroke lettering for the artwork.
#pragma once

#include <string>
#include <vector>

#include "canvas.h"

namespace assetgen {

// How strokes of the typeface are turned into shaded, outlined letters.
struct StrokeStyle {
  float step_x = 4.0f;        // pixels between grid columns
  float step_y = 4.0f;        // pixels between grid rows down to the baseline
  float step_descender = 3.0f;  // pixels between grid rows below it
  float pen = 1.5f;           // half the stroke width
  float pen_corner = 1.0f;    // pen shape: 1 octagon .. 1.414 square; 0 round
  float outline = 1.0f;       // outline width around the strokes
  Colour outline_colour = rgb(12, 10, 24);
  float shadow_x = 0.0f, shadow_y = 0.0f;  // drop shadow offset, 0 for none
  Colour shadow_colour = rgb(10, 8, 16);
  std::vector<Colour> fill{rgb(255, 255, 255)};  // top to bottom over the capitals
  float bevel = 0.0f;         // lighter upper-left, darker lower-right edges
  float bevel_width = 1.5f;
  int samples = 4;            // supersampling per axis

  // Width and height of a capital including pen and outline.
  float glyph_width() const { return 4 * step_x + 2 * pen; }
  float cap_height() const { return 6 * step_y + 2 * pen; }
};

// Paints one character with the top-left corner of its stroke box
// (outside the outline) at (x, y). With `hard_edges` every pixel ends up
// fully opaque or fully transparent, as font pictures need.
void draw_stroke_char(Canvas& c, int code, float x, float y, const StrokeStyle& s, bool hard_edges);
// Paints a string with the given advance; returns the x after its end.
float draw_stroke_text(Canvas& c, const std::string& text, float x, float y, float advance, const StrokeStyle& s,
                       bool hard_edges);

// The lettering of the title words: chunky strokes, outlined, shaded from
// gold to red. The big font and the artwork share it.
StrokeStyle title_style();

// The five font pictures of the game.
Canvas make_small_font();     // "smalfont.bmp": 8 x 8 cells, loading text
Canvas make_body_font();      // "font.bmp": 12 x 10 cells, title description
Canvas make_help_font();      // "font2.bmp": 12 x 12 cells, key help
Canvas make_scroller_font();  // "fontscroller.bmp": 11 x 16 cells, counters
Canvas make_big_font();       // "fontbig.bmp": 38 x 38 cells, title words

// Prints with a font picture as the runtime does: fixed pitch, cell
// (k mod 16, k / 16), black pixels left out.
void print_with_font(Canvas& dst, const Canvas& font, const std::string& text, int x, int y);

}  // namespace assetgen
