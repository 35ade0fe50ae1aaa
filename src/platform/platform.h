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
// The part of it that windows may use (without panels and docks).
bool desktop_usable_size(int& width, int& height);

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
// Whether the window is shown (not hidden or minimised) and lies wholly on
// its display, as the window system last told.
bool window_shown_whole();
// Whether window_read_contents can work here (X11).
bool window_contents_readable();
// What the window system shows of the window's top-left width x height
// pixels, as RGBA rows top row first (alpha 255). False when it cannot be
// read (not X11, not shown, partly outside the screen).
bool window_read_contents(uint8_t* rgba, int width, int height);
// Opaque handle of the window (for host services); null when none.
void* window_handle();
void gl_swap();
void* gl_proc_address(const char* name);

// The window's icon from RGBA rows (top row first); false when the system
// refuses it.
bool window_set_icon(const uint8_t* rgba, int width, int height);

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
  mouse_motion,   // x, y: pointer in window pixels; xrel, yrel: movement
  mouse_button_down,  // button: 1 left, 2 right, 3 middle
  mouse_button_up,
  mouse_wheel,    // wheel: clicks, positive away from the user
  joystick_added,     // device: the device index to open
  joystick_removed,   // device: the id joystick_open gave
  joystick_button_down,  // device: the id; button: the button byte (-1 none);
                         // pad: a game controller's control, PadControl
  window_exposed,     // the window's contents must be shown again
  wm_fullscreen,      // the window manager put the window into (button 1)
                      // or out of (button 0) fullscreen on its own
  other,
};

// The controls of a game controller that stand in for keys.
enum class PadControl { none, up, down, left, right, start, back, guide };

struct Event {
  EventType type = EventType::none;
  PadControl pad = PadControl::none;
  int scan_code = 0;
  bool repeat = false;
  int x = 0, y = 0, xrel = 0, yrel = 0;
  int button = 0;
  int wheel = 0;
  int device = 0;
};

// Removes the next pending event of the window and translates it; false
// when none is pending.
bool next_event(Event& event);
// Removes only pending keyboard events (leaving the rest queued) and hands
// each to `sink`.
void drain_keyboard_events(void (*sink)(const Event&, void*), void* context);
// Removes only pending mouse events (motion, buttons, wheel) and hands each
// to `sink`.
void drain_mouse_events(void (*sink)(const Event&, void*), void* context);
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
// The character the key types in the current keyboard layout without any
// modifier (letters in lower case; the keypad's digits and operators give
// theirs), 1..255; 0 when the key types none.
int key_character(int scan_code);

// --------------------------------------------------------------- mouse ---

// Size of the window in window pixels, the unit of pointer positions (the
// drawable may have more pixels on high-density displays).
void window_size(int& width, int& height);
// The pointer's position in window pixels; false when it is not over the
// window.
bool mouse_position(int& x, int& y);
// Relative mode: the pointer is hidden and held in the window, and motion
// events keep reporting movement. False when the system refuses.
bool mouse_relative_mode(bool on);
// Moves the pointer to a position in window pixels.
void mouse_warp(int x, int y);
// Shows the standard arrow pointer over the window.
void cursor_arrow();

// ----------------------------------------------------------- joysticks ---

// One joystick reading in the published DIJOYSTATE layout: axes in
// -32768..32768 centred on 0, point-of-view values in hundredths of a
// degree clockwise from up (0xFFFFFFFF centred), button bytes 0x80 while
// held.
struct JoystickReading {
  int32_t x = 0, y = 0, z = 0;
  int32_t rx = 0, ry = 0, rz = 0;
  int32_t slider[2] = {0, 0};
  uint32_t pov[4] = {0, 0, 0, 0};
  uint8_t buttons[32] = {};
};

// The part of a game controller that drives the key state.
struct PadState {
  bool dpad_up = false, dpad_down = false, dpad_left = false, dpad_right = false;
  bool start = false, back = false, guide = false;
  int left_x = 0, left_y = 0;  // -32768..32767, y positive downward
};

// Starts the joystick, game-controller and force-feedback services; false
// when joysticks cannot be used at all.
bool joystick_start();
void joystick_stop();
int joystick_device_count();
// The id a device index would get from joystick_open (-1 when none).
int joystick_device_id(int device_index);
// Opens a device (as a game controller when the system knows its layout);
// id names it from then on. False when it cannot be opened.
bool joystick_open(int device_index, int& id);
void joystick_close(int id);
// Brings every open device's state up to date.
void joystick_update();
// False (reading untouched) when the id is not open.
bool joystick_read(int id, JoystickReading& reading);
// False when the device is not a game controller.
bool joystick_pad(int id, PadState& pad);
// The button byte a game controller's button is read into (as
// joystick_read fills it), -1 when it has none.
int controller_button_byte(int sdl_button);
// True when the id is open as a game controller.
bool joystick_is_controller(int id);
// "instance name, product name" of an open device.
std::string joystick_name(int id);
// Plays a constant force (or rumble) once; false when the device has no
// force feedback. x, y in -1..1, duration in milliseconds.
bool joystick_force(int id, double duration_ms, double x, double y);

// ---------------------------------------------------------- test hooks ---
// Real SDL events and virtual devices, for tests that drive the runtime
// headless.

bool test_push_key(int scan_code, bool down);
bool test_push_mouse_motion(int x, int y, int xrel, int yrel);
bool test_push_mouse_button(int button, bool down);
bool test_push_mouse_wheel(int clicks);

struct VirtualJoystick {
  int axes = 6;
  int buttons = 12;
  int hats = 1;
  bool game_controller = false;  // the standard controller layout
  bool rumble = false;           // reports rumble; see test_rumble
  const char* name = "Virtual Stick";
};
// Attaches a virtual joystick; returns a handle for the calls below, -1 on
// failure.
int test_attach_joystick(const VirtualJoystick& kind);
bool test_detach_joystick(int handle);
// For a game controller, axis and button numbers follow the controller
// layout (left x, left y, right x, right y, left trigger, right trigger;
// A, B, X, Y, Back, Guide, Start, left stick, right stick, left shoulder,
// right shoulder, D-pad up, down, left, right).
bool test_joystick_axis(int handle, int axis, int value);
bool test_joystick_button(int handle, int button, bool down);
// value: a combination of 1 up, 2 right, 4 down, 8 left.
bool test_joystick_hat(int handle, int hat, int value);
// Number of rumble requests the virtual joysticks received, and the last
// motor levels.
int test_rumble(int& low, int& high);

}  // namespace quarvel::platform
