// Per-frame 2D drawing state and the screen background, as the frame loop
// and start-up use them.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

// Blending off, alpha value 1, current colour opaque white.
void reset_alpha_mode();
// Draws a background layer onto the draw target (nothing when it is empty).
void draw_background_layer(int layer);
// Drops background layer 0 and clears the colour buffer.
void clear_background();

// Fonts as start-up uses them.
void load_font(const DynString& file_name, int font_slot);
void get_font_size(double& cell_width, double& cell_height);
void print_text(double x, double y, const DynString& text);

}  // namespace quarvel
