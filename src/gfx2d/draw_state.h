// Per-frame 2D drawing state as the frame loop uses it.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

// Blending off, alpha value 1, current colour opaque white.
void reset_alpha_mode();
// Draws a background layer onto the draw target (nothing when it is empty).
void draw_background_layer(int layer);
// load_font without a report line on failure: for the start-up's own font,
// which may well be missing (the built-in font is then used).
void load_font_quietly(const DynString& file_name, double font);

}  // namespace quarvel
