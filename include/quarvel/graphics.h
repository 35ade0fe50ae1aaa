// 2D drawing commands. Coordinates are surface pixels, origin top-left, y
// downward; colours are packed 0x00BBGGRR values passed as doubles.
#pragma once

namespace quarvel {

void set_pixel(double x, double y, double colour);
void draw_line(double x1, double y1, double x2, double y2, double colour);
void draw_rect(double x, double y, double width, double height, double colour);
// Packed colour of a pixel of the presented frame.
double get_pixel(double x, double y);
void get_screen_size(double& width, double& height);
void set_viewport(double x, double y, double width, double height);

}  // namespace quarvel
