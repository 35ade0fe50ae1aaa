// Per-frame 2D drawing state as the frame loop uses it.
#pragma once

namespace quarvel {

// Blending off, alpha value 1, current colour opaque white.
void reset_alpha_mode();
// Draws a background layer onto the draw target (nothing when it is empty).
void draw_background_layer(int layer);

}  // namespace quarvel
