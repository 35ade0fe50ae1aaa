// The platform layer: the only code that includes SDL and operating-system
// headers. Everything else in the runtime talks to the desktop through the
// functions declared here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarvel::platform {

// ---------------------------------------------------------------- clock ---

// Monotonic milliseconds with sub-millisecond resolution.
double now_ms();
// Sleeps until the monotonic clock reaches deadline_ms (returns at once if
// it already has).
void sleep_until_ms(double deadline_ms);

// ------------------------------------------------------ process and files ---

// $TMPDIR (when set and non-empty) else "/tmp", always ending in '/'.
std::string temp_dir();
// Full path of the running executable (empty when unknown).
std::string executable_path();
bool change_directory(const char* path);
bool remove_file(const char* path);
// Appends bytes to a file, creating it; false when it cannot be written.
bool append_to_file(const char* path, const char* bytes, size_t length);

// True while a tracer (a debugger) is attached to the process.
bool debugger_attached();
// Hands a message to an attached debugger: one line on standard error.
void debugger_message(const char* text);
// Stops in an attached debugger (SIGTRAP).
void debugger_trap();

// A 32-bit number identifying the machine; ok is false when the system
// does not tell one.
uint32_t machine_id(bool& ok);

struct LocalTime {
  int year, month, day, hour, minute, second;
};
LocalTime local_time();

// Starts "/bin/sh -c command" with the current environment and directory.
// Returns false when the process could not be started.
bool start_shell_command(const char* command);

// Ends the process through exit(), so that exit handlers run.
[[noreturn]] void exit_process(int code);

// ---------------------------------------------------------- window side ---

struct WindowRequest {
  int width = 0;        // client area in window pixels
  int height = 0;
  int samples = 0;      // unused by the window itself; kept for the context
  const char* caption = "Quarvel";
};

// Starts the video subsystem. On failure `error` names the cause.
bool video_init(std::string& error);
bool video_ready();
// Closes the window system connection (the last step of shutdown).
void video_quit();
// The name of the active video driver ("x11", "wayland", "offscreen", ...).
const char* video_driver();
// False for the video drivers that show nothing anywhere (offscreen, dummy):
// a window of theirs can never be seen.
bool video_has_display();
// True when the run must never show a dialog (offscreen driver, or
// QUARVEL_NO_DIALOGS=1).
bool non_interactive();

// Desktop size in pixels of the display the window is (or will be) on.
bool desktop_size(int& width, int& height);

// Creates the window (hidden) with an OpenGL compatibility context, or
// re-creates it when one exists; the context is kept when possible so that
// GL objects survive. On failure `error` names the cause.
bool window_create(const WindowRequest& request, std::string& error);
void window_destroy();
bool window_exists();
void window_set_caption(const char* caption);
std::string window_caption();
void window_set_client_size(int width, int height);
void window_center();
void window_show();
void window_hide();
void window_raise();
// Desktop fullscreen on or off; false when the system refuses.
bool window_set_fullscreen(bool on);
// Size of the window's drawable in pixels.
void window_drawable_size(int& width, int& height);
// Opaque handle of the window (for host services); null when none.
void* window_handle();
void gl_swap();
void* gl_proc_address(const char* name);

// Cursor over the window: false hides it.
void cursor_show(bool on);
void screen_saver_enable(bool on);

// A warning message box; does nothing in a non-interactive run.
void message_box_warning(const char* caption, const char* text_utf8);
void beep();

// -------------------------------------------------------------- events ---

enum class EventType {
  none,
  close,          // close button, window-manager close, SIGINT/SIGTERM
  focus_lost,
  focus_gained,
  key_down,       // scan_code holds the PC set-1 code (extended keys + 128)
  key_up,
  other,
};

struct Event {
  EventType type = EventType::none;
  int scan_code = 0;
  bool repeat = false;
};

// Removes the next pending event of the window and translates it; false
// when none is pending.
bool next_event(Event& event);
// Removes only pending keyboard events (leaving the rest queued) and hands
// each to `sink`.
void drain_keyboard_events(void (*sink)(const Event&, void*), void* context);
// Fills state[256] with 0x80 for every key the system reports held.
void keyboard_snapshot(uint8_t state[256]);
// Queues a key event as if the keyboard had sent it (tests, replays).
void inject_key(int scan_code, bool down);
// Queues a window event (tests).
void inject_window_event(EventType type);

// PC set-1 scan code for an SDL scancode, 0 when the key has none.
int scan_code_from_sdl(int sdl_scancode);
// The SDL scancode for a set-1 scan code, 0 when none.
int sdl_from_scan_code(int scan_code);

}  // namespace quarvel::platform
