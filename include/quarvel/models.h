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

// Draws the model of a mesh slot at the current object transform
// (move_object, rotate_object, ...), in the current 3D view with its
// lights, fog, face culling and shader program. `frame` is the key frame:
// fractions blend two frames, and any value wraps around the frame count,
// so draw_object(slot, seconds * rate) loops an animation. While the shadow
// pass is on (set_3d_light(-3, ...)) the model draws no pixels: it casts a
// shadow from the shadow light instead. An empty slot draws nothing; a slot
// outside 0..1023 ends the program with runtime error 9.
//
//   load_object("rock.ddd", 1);
//   set_object_texture(1, 5);            // sprite 5's picture
//   start_3d_view(1, 500, 60);
//   set_camera(0, 40, 120, 0, 0, 0);
//   set_3d_light(0, 0xFFFFFF, 50, 80, 50, 0, 0, 0, 360);   // a point light
//   move_object(0, 10, 0);
//   rotate_object(seconds * 45, 0, 1, 0);
//   draw_object(1, seconds * 8);
void draw_object(double slot, double frame);

// The model of a mesh slot wears the picture of sprite slot `sprite_slot`
// (as it is at this call), mipmapped and bilinear, through the model's
// texture coordinates; texels of alpha 0 are cut out. -1: no texture. The
// choice stays when another model is loaded into the slot. 1 on success, 0
// when the sprite slot holds no picture (the model then has none).
double set_object_texture(double slot, double sprite_slot);

}  // namespace quarvel
