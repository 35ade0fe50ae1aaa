// 3D commands: the view with its fog and lights, the camera, the object
// transforms, markers, conversions between screen and world, and sprites and
// text in a 3D scene. A 3D frame starts with start_3d_view; show_screen
// returns the next frame to 2D drawing.
//
//   start_3d_view(1, 1000, 60);             // near, far, field of view
//   set_camera(0, 50, 200, 0, 0, 0);        // eye, point looked at
//   set_3d_light(0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 1);   // white, from +z
//   draw_3d_axes(0, 0, 0);
//   draw_billboard_sprite(7, 30, 0, 0, 1);  // sprite 7 standing at (30, 0, 0)
//   double sx, sy, depth;
//   world_to_screen(30, 40, 0, sx, sy, depth);
//   show_screen();
//
// Colours are packed 0x00BBGGRR values; angles are in degrees.
#pragma once

#include "quarvel/arrays.h"
#include "quarvel/dyn_string.h"

namespace quarvel {

// ------------------------------------------------- view, fog and lights ---

// Switches the frame to 3D: a perspective projection for a field of view
// above 0 (degrees, vertical), an orthographic one for a view of 0 or less
// (half-height near x tan(-fov / 2) x 100), depth testing on, culling off,
// lighting and fog off, no texture, the camera at the origin looking down -z.
void start_3d_view(double near_plane, double far_plane, double field_of_view);
// colour -1: fog off. Otherwise exponential fog of density a when the flag
// is not 0, else linear fog from a to b (both 0: the view's near and far).
void set_3d_fog(double colour, double exponential, double a, double b);
// Light 0..7 (taken modulo 8). cutoff 0 switches it off; all six of x..dz
// 0: directional from +z; cutoff 180: directional towards (dx, dy, dz);
// cutoff up to 90: spot light at (x, y, z) shining along (dx, dy, dz);
// otherwise a point light at (x, y, z). Positions are in the coordinates of
// the moment (world coordinates after set_camera). A negative number sets
// the shadow-casting light; -3 also starts (cutoff not 0) or ends (cutoff
// 0) the stencil shadow pass, whose shadows darken the frame when it ends.
void set_3d_light(double number, double colour, double x, double y, double z, double dx, double dy, double dz,
                  double cutoff);
// 0: no face culling; 1: culling, clockwise faces in front; -1: culling,
// counter-clockwise faces in front.
void set_cull_mode(double mode);

// ----------------------------------------------------------------- camera ---

// The up direction for the next set_camera (start_3d_view resets it to
// (0, 1, 0)).
void set_camera_up(double x, double y, double z);
// Places the camera at the eye, looking at the target; resets the object
// transform.
void set_camera(double eye_x, double eye_y, double eye_z, double target_x, double target_y, double target_z);

// ------------------------------------------------------ object transforms ---

// Each restarts the current level (from its parent's placement) and sets
// its offset or its scale; the other of the two stays.
void move_object(double x, double y, double z);
void scale_object(double x, double y, double z);
// Appends a rotation about the axis (up to 16 per level). A vertex is
// scaled, then turned by the rotations in the order given, then moved.
void rotate_object(double angle, double axis_x, double axis_y, double axis_z);
// Appends a 4 x 4 matrix given as a one-dimensional array of exactly 16
// elements in row order; any other array changes nothing.
void multiply_transform(const NumberArray& matrix);
// Opens a level inside the current one (16 levels; a push beyond the last
// is ignored) and returns to the enclosing one (at the outermost level:
// resets it).
void push_transform();
void pop_transform();

// ---------------------------------------------------------------- markers ---

// Width and size are clamped to 1..512 pixels.
void draw_3d_line(double x1, double y1, double z1, double x2, double y2, double z2, double width, double colour);
void draw_3d_point(double x, double y, double z, double size, double colour);
// Red, green and blue arrows 20 units long along x, y and z from the world
// point, whatever the object transform.
void draw_3d_axes(double x, double y, double z);

// ------------------------------------------------------------- projection ---

// Screen position (surface pixels, origin top-left) and depth 0..1 of a
// point in the current model-view coordinates. The results are written
// only when the point projects (not in the camera's own plane).
void world_to_screen(double x, double y, double z, double& screen_x, double& screen_y, double& depth);
// The point at a screen position and depth (0 near plane, 1 far plane);
// the exact inverse of world_to_screen. The results are written only when
// the view can be inverted.
void screen_to_world(double screen_x, double screen_y, double depth, double& x, double& y, double& z);

// ---------------------------------------------- sprites and text in 3D ---

// The sprite standing on the point and facing the camera, half its pixel
// size in world units at scale 1.
void draw_billboard_sprite(double slot, double x, double y, double z, double scale);
// The text with the current font: with size not 0 in the scene, facing the
// camera, size x cell width world units per character, centred on the
// point; with size 0 flat on the screen, centred above the point.
void print_text_3d(const DynString& text, double x, double y, double z, double size);

}  // namespace quarvel
