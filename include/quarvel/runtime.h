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

void show_screen();
void limit_frame_rate(double frames_per_second);
double elapsed_ms();
double frame_duration_ms();
double current_ms();
void allow_escape(double on);
void auto_pause(double on);

// Window commands.
void set_screen(double width, double height, double fullscreen);
double is_fullscreen();
// Gives the window the picture in the file (program directory or media
// pack; PNG or bitmap) as its icon: 1 on success, else 0 and the icon stays.
// Start-up does this with "icon.png" when the game has one.
double set_window_icon(const DynString& file_name);
void* get_window_handle();

// ------------------------------------------------------------- the end ---

[[noreturn]] void end_program();
[[noreturn]] void end_statement();
[[noreturn]] void end_and_run(const DynString& command_line);
double record_runtime_error(double code);
void set_debug_position(double source, double line);
void append_report_line(const char* text);
void debug_text(const DynString& text);
void debug_break(int position);

// ------------------------------------------------------- host queries ---

DynString platform_info(const DynString& key);
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
