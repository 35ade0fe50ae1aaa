// Program entry, start-up, the frame loop, clocks, shutdown and the report
// file: the commands every game calls.
#pragma once

#include <cstdint>

#include "quarvel/dyn_string.h"

namespace quarvel {

// Fixed by the program entry before start_runtime.
struct ProjectSettings {
  int32_t screen_width = 320;
  int32_t screen_height = 240;
  int32_t fullscreen = 0;
  int32_t multisample_samples = 0;
  int32_t frame_rate = 60;
  int32_t debug_mode = 0;
  int32_t captured_mouse = 0;
};

// Show commands given to start_runtime.
constexpr int kShowHidden = 0;
constexpr int kShowNormal = 1;

// ------------------------------------------------------------ the entry ---

// Stores the arguments after the program name as the command line. Runtime
// options among them (--scale N, --fullscreen, --window, --record FILE,
// --replay FILE, --seed N) are read here as well; the game still sees them
// in get_command_line. --help and --version are answered here (exit code
// 0); a runtime option with a missing or bad value ends the program with
// one line on standard error and exit code 2.
void set_command_line(int argc, char** argv);
ProjectSettings& project_settings();
// Creates every runtime object and opens the window. When the window or its
// GL context cannot be made, prints one line naming the cause on standard
// error and ends the process with exit code 1.
int start_runtime(int show_command, const char* title);
// Sets the error code, error line and current line of the debug position
// record to 0 (the entry does this after start-up).
void reset_debug_position();

// ------------------------------------------------------- frame and time ---

// Ends the frame: presents what was drawn, reads the input, returns at the
// next point of the frame grid with the surface cleared (Escape ends the
// program unless allow_escape(0)).
void show_screen();
// Frames per second of the grid show_screen waits for.
void limit_frame_rate(double frames_per_second);
// Milliseconds since start-up.
double elapsed_ms();
// Milliseconds between the last two frames (at least 1).
double frame_duration_ms();
// The runtime's millisecond clock (monotonic, sub-millisecond).
double current_ms();
// 0: Escape no longer ends the program (Left Alt+F4 still does).
void allow_escape(double on);
// 0: the game no longer pauses while its window has no focus.
void auto_pause(double on);

// Window commands.
void set_screen(double width, double height, double fullscreen);
// 1 while the window is fullscreen.
double is_fullscreen();
// Gives the window the picture in the file (program directory or media
// pack; PNG or bitmap) as its icon: 1 on success, else 0 and the icon stays.
// Start-up does this with "icon.png" when the game has one.
double set_window_icon(const DynString& file_name);
// The SDL window, for code that talks to SDL directly.
void* get_window_handle();

// ------------------------------------------------------------- the end ---

// Shuts the runtime down in its fixed order and ends the process (exit
// code 0).
[[noreturn]] void end_program();
// end_program with error code 0 recorded.
[[noreturn]] void end_statement();
// Shuts down, starts the command line through the shell and ends.
[[noreturn]] void end_and_run(const DynString& command_line);
// Records an error number (3 file, 7 channel or memory, 9 index) at the
// current debug position for the end report; returns it.
double record_runtime_error(double code);
// The source and line the end report names.
void set_debug_position(double source, double line);
// Appends one line (CR LF) to the report file ErrorLog.txt in $TMPDIR.
void append_report_line(const char* text);
// Sends a text to an attached debugger (nothing without one).
void debug_text(const DynString& text);
// Asks an attached debugger to stop at the position.
void debug_break(int position);

// ------------------------------------------------------- host queries ---

// Facts about the platform: "" the system's name ("LINUX"), "ID" a machine
// number, "GLEXT:name" whether a GL entry point exists, and more
// (docs/platform.md, "Platform information").
DynString platform_info(const DynString& key);
// The arguments after the program name, as one text.
DynString get_command_line();

// ---------------------------------------------------------- short entry ---

// The whole entry of a game in one call: set_command_line, start_runtime
// (a normal window with the title and the project settings of the moment),
// reset_debug_position, the game function, end_program. Ends the process;
// the int is there so that main can return it.
//
//   int main(int argc, char** argv) { return run_game(argc, argv, "Breakout", play); }
int run_game(int argc, char** argv, const char* title, void (*game)());
// 0: the runtime never shows a dialog box (the software-renderer warning
// goes to the report file only), as QUARVEL_NO_DIALOGS=1 does; call it
// before start_runtime. 1 (the default): dialogs as usual.
void allow_dialogs(double on);

}  // namespace quarvel
