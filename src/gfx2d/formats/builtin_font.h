// The font painted at run time when no font file can be loaded: 128 x 64
// pixels, 16 x 8 cells of 8 x 8, the characters 32 to 127 in cell rows 2 to
// 7, white glyphs with a dark grey outline on transparent black.
#pragma once

#include "gfx2d/formats/image_buffer.h"

namespace quarvel {

void build_default_font(ImageBuffer& out);

}  // namespace quarvel
