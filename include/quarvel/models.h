// 3D models: ".ddd" files (binary or "DDDA" text form) loaded into the
// numbered mesh slots of the 3D renderer.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

// Loads a model file, looked up through the media pack, into mesh slot
// 0..1023; 1 on success, 0 when the file is missing or not a readable
// model (the slot is then empty; reasons go to the report file). Any other
// slot number ends the program with runtime error 9.
double load_object(const DynString& file_name, double slot);

// 1 when the mesh slot holds a loaded model; the model's frame count.
double object_loaded(double slot);
double object_frame_count(double slot);

}  // namespace quarvel
