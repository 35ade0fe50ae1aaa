// 3D models for the examples, built from the generator's own meshes and
// written as ".ddd" files: the tumbling rock and the craft in the binary
// form, the landing pad in the text form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx3d/formats/ddd_writer.h"

namespace assetgen {

constexpr int kRockFrames = 12;   // one turn in 30 degree steps
quarvel::DddBinarySource make_rock_model();    // "rock.ddd"
quarvel::DddBinarySource make_craft_model();   // "craft.ddd"
quarvel::DddTextSource make_pad_model();       // "pad.ddd"

// Writes the three files into the directory; false when one cannot be
// written.
bool write_models(const std::string& dir);

}  // namespace assetgen
