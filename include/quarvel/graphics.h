// 2D drawing commands. Coordinates are surface pixels, origin top-left, y
// downward; colours are packed 0x00BBGGRR values passed as doubles; slot and
// font numbers are truncated toward zero.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

// --------------------------------------------------------------- sprites ---

// Loads a bitmap or PNG file into a sprite slot (0..65502); the sprite
// transparent colour becomes transparent. A name that cannot be loaded
// leaves the slot empty.
void load_sprite(const DynString& file_name, double slot);
// Loads a height map (blue channel) as a normal map into a sprite slot.
void load_bump_texture(const DynString& file_name, double slot);
// Sets the transparent colour of sprites and fonts; -1: none.
void set_transparency(double colour);
// Draws the sprite at natural size with its top-left corner at (x, y).
void draw_sprite(double slot, double x, double y);
// A negative width or height mirrors.
void stretch_sprite(double slot, double x, double y, double width, double height);
// Scales about the centre of the sprite's natural-size rectangle at (x, y).
void zoom_sprite(double slot, double x, double y, double scale_x, double scale_y);
// Positive angles turn counter-clockwise on the screen (degrees).
void rotate_sprite(double slot, double x, double y, double angle);
void rotate_zoom_sprite(double slot, double x, double y, double angle, double zoom);
// 0: opaque; > 0: additive with that strength; < 0: translucent with that
// opacity. Magnitudes above 1 count as 1.
void set_alpha_mode(double value);
// The picture size of a sprite slot in pixels (0, 0 when empty).
void get_sprite_size(double slot, double& width, double& height);

// ----------------------------------------------------------- backgrounds ---

// Loads a picture as the background drawn at the start of every frame.
void set_background(const DynString& file_name);
// Cross-fades from the current screen to the picture over 1.5 seconds,
// which then stays as the background. Returns 0 when the file is missing.
double load_background(const DynString& file_name);
// No background: every frame starts black.
void clear_background();

// ------------------------------------------------------------------ text ---

// Makes the font (0..31) current and loads the file into it; a file that
// cannot be loaded installs the built-in 8 x 8 font instead.
void load_font(const DynString& file_name, double font);
// Makes a font slot (0..31) current without loading anything.
void set_font(double font);
// Prints with the current font, the first cell's top-left corner at (x, y).
void print_text(const DynString& text, double x, double y);
void print_number(double number, double x, double y);
// Cell size of the current font.
void get_font_size(double& width, double& height);

// 1 when the two sprites, drawn at natural size with their top-left corners
// at (x1, y1) and (x2, y2), share a pixel that is opaque in both.
double sprite_collision(double first, double x1, double y1, double second, double x2, double y2);

// ---------------------------------------------------- grabbing and saving ---

// Copies the screen rectangle into a sprite slot; returns 1.
double grab_sprite(double slot, double x, double y, double width, double height);
// Copies the whole screen into the background drawn behind every frame.
void grab_background();
// Writes the presented frame (or a sprite) as a 24-bit bitmap, or as a PNG
// when the name ends in ".png"; 1 on success, 0 on failure.
double save_screen(const DynString& file_name);
double save_sprite(const DynString& file_name, double slot);

// ------------------------------------------------- off-screen surfaces ---

// Makes surface 0..31 draw into the sprite slot, which becomes an empty
// picture of the given size.
void create_screen(double surface, double slot, double width, double height);
// Sends drawing to surface 0..31, or back to the screen for a negative one.
void use_screen(double surface);

// ------------------------------------------------------ polygon batches ---

// Starts a triangle fan textured with the slot (untextured for -1).
void start_poly(double slot);
// s and t are texel coordinates in the slot's picture, origin top-left.
void poly_vector(double x, double y, double s, double t, double colour);
// Draws the fan started with start_poly.
void end_poly();

// ------------------------------------------------------------ primitives ---

// One pixel, a line and a filled rectangle in a packed colour.
void set_pixel(double x, double y, double colour);
void draw_line(double x1, double y1, double x2, double y2, double colour);
void draw_rect(double x, double y, double width, double height, double colour);
// Packed colour of a pixel of the presented frame.
double get_pixel(double x, double y);
// The drawing surface's size in pixels.
void get_screen_size(double& width, double& height);
// Limits drawing to a rectangle of the surface, whose top-left corner
// becomes (0, 0); a width or height of 0 or less means the whole surface.
void set_viewport(double x, double y, double width, double height);

// --------------------------------------------------------------- colours ---

// Packs red, green and blue (each 0..255, rounded and clamped) into a
// colour value 0x00BBGGRR: rgb(255, 0, 0) is red (255), not blue.
double rgb(double red, double green, double blue);
// The red, green and blue parts (0..255) of a packed colour.
double colour_red(double colour);
double colour_green(double colour);
double colour_blue(double colour);
// Text from print_text, print_number and print_text_3d is drawn in this
// colour: the font picture's colours are multiplied by it, so white (the
// default, also for -1) leaves them as they are and a white font takes the
// colour exactly. It stays until changed.
void set_text_colour(double colour);

}  // namespace quarvel
