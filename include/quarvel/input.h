// Input commands: keys, typed characters, the mouse, joysticks and a line
// editor. Keys are named by PC set-1 scan codes, extended keys + 128
// (1 Escape, 28 Return, 57 Space, 200 Up, 203 Left, 205 Right, 208 Down);
// codes are taken modulo 256. Index arguments are truncated toward zero.
// allow_escape is declared in quarvel/runtime.h.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

// ------------------------------------------------------------ keyboard ---

// 1 while the key is held, else 0. Polls anew on every call.
double key_state(double scan_code);
// The character of a newly pressed key as a one-character text ("\b" for
// Back, "\n" for either Enter), each press given once; else empty.
DynString inkey();
// Returns once a key that types a character has been pressed.
void key_wait();
// 1 in the one frame in which a press of the key began (counted at each
// show_screen), else 0. A press too quick to be seen held still counts.
double key_pressed(double scan_code);

// --------------------------------------------------------------- mouse ---

// Returns once a mouse button has been pressed (a button already held
// must be released first).
void mouse_wait();
// Position (kept within the screen) and the left and right buttons (1 or
// 0).
void mouse_state(double& x, double& y, double& left, double& right);
// 0 dx, 1 dy, 2 wheel (1, 0, -1), 3 left, 4 right, 5 middle button; any
// other selector 0. Movement counts from the frame's first read, so every
// read within one frame gives the same movement.
double mouse_axis(double selector);
// Non-zero: the position follows the visible pointer; 0: the pointer is
// captured and the position moves by the mouse's relative movement.
void system_pointer(double on);
// Sets the stored position; the pointer itself is not moved.
void set_mouse(double x, double y);
// 1 in the one frame in which a press of the button (1 left, 2 right, 3
// middle) began, else 0.
double mouse_pressed(double button);

// ----------------------------------------------------------- joysticks ---

// Axis values -1..1; 0 for a joystick index without a joystick.
double joystick_x(double index);
double joystick_y(double index);
double joystick_z(double index);
double joystick_rx(double index);
double joystick_ry(double index);
double joystick_rz(double index);
// -1, 0 or 1; only the four main directions count. An index without a
// joystick reads a zero point of view, which is "up": joystick_hat_y
// gives -1 for it.
double joystick_hat_x(double index);
double joystick_hat_y(double index);
// Joystick 0: x and y as -1, 0 or 1 (axis / 30000, truncated), buttons 1
// and 2 as 128 while held.
void joystick_state(double& x, double& y, double& button1, double& button2);
double joystick_count();
DynString joystick_name(double index);
// A constant force for the duration in milliseconds, direction and
// strength from x and y (each -1..1), on a joystick with force feedback.
void joystick_force(double index, double duration_ms, double x, double y);

// ----------------------------------------------------------- line editor ---

// Lets the player edit the variable's text at (x, y) in the current font
// until Enter; Back removes the last character.
void input_text(DynString& variable, double x, double y);
// As input_text from an empty text; the variable gets the number the
// text starts with (0 if none).
void input_number(double& variable, double x, double y);

}  // namespace quarvel
