// Shader programs: a vertex and a fragment shader file compiled and linked
// into one of 255 shader slots (0..254), used in place of the fixed-function
// pipeline until the end of the frame.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

// Compiles the two files (either may be left empty or missing) and links
// them into the slot; 1 when the program linked, else 0. Compile and link
// logs go to the report file "ErrorLog.txt".
double load_shader(double slot, const DynString& vertex_file, const DynString& fragment_file);
// Draws through the slot's program from now on; a number outside 0..254
// (such as -1) returns to the fixed-function pipeline. show_screen does
// that at the end of every frame.
void use_shader(double slot);
// Sets a float uniform of the program in use; names the program does not
// use are ignored.
void set_shader_uniform(const DynString& name, double value);

}  // namespace quarvel
