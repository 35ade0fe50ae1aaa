// The one input record of the run: keyboard, mouse and up to ten joysticks.
//
// Keys are named by PC set-1 scan codes (extended keys + 128). The record
// holds what the commands read (the key state, the mouse position and
// pending movement, the joystick readings). The devices feed it:
//
// - normally at once: each poll or read takes what SDL reported since;
// - while recording, once per frame (frame_tick: every show_screen and
//   every pass of the input wait step), writing each change to the
//   recording;
// - while replaying, once per frame from the replay script; the devices
//   are then only drained.
//
// Between two frames a recording or replaying run reads the same values
// however often it asks, which is what makes a replay repeat the run.
//
// Quick presses: a key, mouse button or joystick button that went down and
// up again between two reads still reads as held, from the first read that
// learns of the press until the next frame tick (a "tap"), so that no press
// is lost however short. Each frame tick also counts the presses that began
// since the previous one (key_pressed, mouse_pressed). Typed characters are
// queued press by press, so that read_key_char loses none.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "input/formats/input_script.h"
#include "platform/platform.h"

namespace quarvel {

constexpr int kMaxJoysticks = 10;

// Report codes of input_init.
constexpr uint32_t kInputOk = 1;
constexpr uint32_t kNoInputSystem = 0x8000000A;
constexpr uint32_t kNoKeyboard = 0x8000000B;
constexpr uint32_t kNoCapturedMouse = 0x8000000C;

struct MouseReading {
  int16_t left = 0, right = 0, middle = 0;  // non-zero while held
  int16_t dx = 0, dy = 0;                   // since the previous fresh read
  int16_t wheel = 0;                        // 1, 0 or -1
};

using JoystickReading = platform::JoystickReading;

// A game controller's part in the key state: which scan code each control
// holds down. The left stick counts once it is pushed past half way.
struct PadKeyMap {
  static constexpr int kUp = 200, kLeft = 203, kRight = 205, kDown = 208;
  static constexpr int kStart = 28;   // Return
  static constexpr int kBack = 59;    // F1
  static constexpr int kGuide = 129;  // quits like Escape
  static constexpr int kStickThreshold = 16384;
};

class InputDevice {
 public:
  enum class Mode { live, recording, replaying };

  InputDevice() = default;
  ~InputDevice();
  InputDevice(const InputDevice&) = delete;
  InputDevice& operator=(const InputDevice&) = delete;

  // ------------------------------------------------------- life cycle ---
  void input_reset();
  // One of the report codes above; failures are also written to the
  // report file ("No DX_Input", "No DX_Mouse").
  uint32_t input_init(void* window, bool captured_mouse);
  // Gives the mouse back to the system cursor, ends a recording and closes
  // every device.
  void release();

  // --------------------------------------------------------- keyboard ---
  void poll_keyboard();
  bool key_down(int scan_code) const { return (key_state[scan_code & 0xFF] & 0x80) != 0; }
  // The character of a newly pressed key (8 Back, 10 Enter), each press
  // handed out once; 0 when none.
  int read_key_char();
  // As read_key_char, 1 instead of the character.
  int key_char_pressed() { return read_key_char() != 0 ? 1 : 0; }
  // True in the frame (from one frame tick to the next) in which a press of
  // the key began.
  bool key_pressed(int scan_code) const { return key_pressed_[scan_code & 0xFF] != 0; }

  // ------------------------------------------------------------ mouse ---
  // Fills the reading; 1 (the mouse is never lost on this system).
  int read_mouse(MouseReading& reading);
  bool any_mouse_button();
  // True in the frame in which a press of the button (1 left, 2 right, 3
  // middle) began.
  bool mouse_pressed(int button) const {
    return button >= 1 && button <= 3 && mouse_pressed_[button - 1] != 0;
  }
  // 1: the position follows the visible pointer; 0: captured (relative).
  void set_system_cursor(bool on);

  // -------------------------------------------------------- joysticks ---
  // All zero for an index without a joystick.
  void read_joystick(int index, JoystickReading& reading);
  // One more than the highest index holding a joystick.
  int joystick_count() const;
  bool joystick_present(int index) const {
    return index >= 0 && index < kMaxJoysticks && joysticks_[index].present;
  }
  // Empty for an index without a joystick.
  const std::string& joystick_name(int index) const;
  void joystick_force(int index, double duration_ms, double x, double y);

  // ---------------------------------------------------- frame and window ---
  // The per-frame step of show_screen and of the input wait step: polls
  // the keyboard and marks the mouse fresh; while recording or replaying
  // it is the one moment the record changes.
  void frame_tick();
  // Key, mouse and joystick events dispatched by the window.
  void apply_event(const platform::Event& event);
  // Takes a key away from the game until it is released (a runtime key
  // combination used it): it reads as up and its press is not counted.
  void swallow_key(int scan_code);
  // True once after Alt+Enter was pressed (its Return never reaches the
  // game).
  bool take_fullscreen_request() {
    const bool r = fullscreen_request_;
    fullscreen_request_ = false;
    return r;
  }
  // Reads the whole keyboard afresh (after the window gets the focus back,
  // so that no key stays stuck).
  void resync();

  // -------------------------------------------------- record and replay ---
  // Starts writing every change to `file` (taken over and closed by the
  // device); the seed goes first. Frames count from 0 at the next tick.
  void start_recording(std::FILE* file, uint32_t seed);
  // Feeds the record from the script from the next tick on (frame 0).
  void start_replay(InputScript script);
  // Ends a recording (writing its end line) or a replay; the devices feed
  // the record directly again.
  void stop_session();
  Mode mode() const { return mode_; }
  // Ticks since the session started.
  int64_t frame() const { return frame_; }
  // True while replaying once every frame of the script has been ticked:
  // its end line's frame count, else one past its last change.
  bool replay_over() const {
    if (mode_ != Mode::replaying) return false;
    const int64_t length =
        script_.end_frame >= 0 ? script_.end_frame : script_.events.empty() ? 0 : script_.events.back().frame + 1;
    return frame_ >= length;
  }

  // ------------------------------------------------------- the record ---
  int32_t mouse_x = 100, mouse_y = 100;  // surface pixels
  uint8_t key_state[256] = {};           // 0x80 while held
  void* window = nullptr;
  uint8_t system_cursor = 1;
  uint8_t mouse_fresh = 1;
  int16_t last_dx = 0, last_dy = 0, last_wheel = 0;

  // The mouse as the input wait step last returned on it.
  int32_t wait_x = 0, wait_y = 0, wait_left = 0, wait_right = 0;

 private:
  // What the mouse record holds between reads.
  struct MouseState {
    int32_t pointer_x = 100, pointer_y = 100;  // surface pixels
    int64_t move_x = 0, move_y = 0;            // whole surface pixels not yet read
    int64_t wheel = 0;                         // clicks not yet read
    uint8_t buttons[3] = {0, 0, 0};            // left, right, middle
  };
  struct JoystickSlot {
    bool present = false;
    std::string name;
    JoystickReading reading;
  };
  // What the devices reported, before the record takes it.
  struct LiveState {
    uint8_t keyboard[256] = {};
    uint8_t pad_keys[256] = {};
    MouseState mouse;
    double carry_x = 0, carry_y = 0;  // fractions of a surface pixel
    // Presses (down events) not yet taken by a read: keys, mouse buttons,
    // joystick buttons.
    uint8_t key_press[256] = {};
    uint8_t mouse_press[3] = {};
    uint8_t joystick_press[kMaxJoysticks][32] = {};
    bool return_with_alt = false;  // the last Return press came with Alt held
    int device_id[kMaxJoysticks];     // -1: free
    std::string name[kMaxJoysticks];
    LiveState() {
      for (int& id : device_id) id = -1;
    }
  };

  void drain_keyboard();
  void drain_mouse();
  void update_pad_keys();
  void take_live_keys();
  void take_live_mouse();
  void read_live_joystick(int index, JoystickReading& reading);
  void joystick_added(int device_index);
  void joystick_removed(int device_id);
  void close_joysticks();
  void pointer_to_surface(int wx, int wy, int32_t& sx, int32_t& sy) const;

  // Recording and replaying (input_session.cpp).
  void record_tick();
  void replay_tick();
  void record_line(ScriptOp op, int joystick, int64_t a, int64_t b, const std::string& text = std::string());
  void apply_script_event(const ScriptEvent& e);

  // One typed key press waiting for read_key_char.
  struct TypedKey {
    uint8_t code = 0;
    bool shift = false;
    int64_t frame = 0;  // the tick it came in
  };
  static constexpr size_t kTypedQueueLength = 32;
  static constexpr int64_t kTypedKeepFrames = 30;

  void queue_typed(int code, bool shift);
  void clear_quick_presses();
  // Frame tick housekeeping of the quick-press state; `live` also counts the
  // presses the reads took since the previous tick.
  void begin_tick_taps();
  void end_tick_presses();
  // Record-level key and button changes of the recording and replay.
  void script_key(int code, bool down);
  void script_button(int button, bool down);
  void script_joystick_button(int joystick, int button, uint8_t value);
  void apply_joystick_taps(int index, JoystickReading& reading);

  Mode mode_ = Mode::live;
  LiveState live_;
  // Taps held in the record until the next tick.
  uint8_t key_tap_[256] = {};
  uint8_t mouse_tap_[3] = {};
  uint8_t joystick_tap_[kMaxJoysticks][32] = {};
  // Presses taken since the last tick (live) or by this tick's lines.
  uint8_t key_taken_[256] = {};
  uint8_t mouse_taken_[3] = {};
  uint8_t joystick_taken_[kMaxJoysticks][32] = {};
  // What key_pressed / mouse_pressed read for the current frame.
  uint8_t key_pressed_[256] = {};
  uint8_t mouse_pressed_[3] = {};
  // Keys whose current press read_key_char has handed out.
  uint8_t key_handed_[256] = {};
  uint8_t key_swallowed_[256] = {};
  bool fullscreen_request_ = false;
  void check_fullscreen_chord();
  TypedKey typed_[kTypedQueueLength];
  size_t typed_first_ = 0, typed_count_ = 0;
  MouseState mouse_;
  JoystickSlot joysticks_[kMaxJoysticks];
  bool joysticks_ready_ = false;
  int last_char_ = 0;

  std::FILE* record_file_ = nullptr;
  InputScript script_;
  size_t script_next_ = 0;
  int64_t frame_ = 0;
};

// The input wait step of key_wait and mouse_wait: up to 15 passes that
// return early on a held key, a changed mouse or an active joystick.
void input_wait_step();

// Applies the runtime's options for input: --seed, --record and --replay.
// False (with the cause) when a recording cannot be written or a replay
// cannot be read.
bool start_input_session(std::string& error);

}  // namespace quarvel
