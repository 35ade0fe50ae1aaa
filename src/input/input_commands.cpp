// The input commands over the run's InputDevice.
#include <algorithm>
#include <cmath>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "input/input_device.h"
#include "platform/platform.h"
#include "quarvel/graphics.h"
#include "quarvel/input.h"
#include "quarvel/number_text.h"
#include "quarvel/runtime.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

InputDevice* device() { return engine().input; }

// An axis as the commands give it: -1..1.
double axis_value(int32_t axis) { return std::clamp(axis / 32767.0, -1.0, 1.0); }

double hat_x(uint32_t pov) { return pov == 9000 ? 1 : pov == 27000 ? -1 : 0; }
double hat_y(uint32_t pov) { return pov == 0 ? -1 : pov == 18000 ? 1 : 0; }

JoystickReading joystick(double index) {
  JoystickReading r;
  if (InputDevice* in = device()) in->read_joystick(truncate_to_int32(index), r);
  return r;
}

// Keeps the stored mouse position on the screen.
void clamp_mouse_to_screen(InputDevice& in) {
  const OpenGLVurivari* gfx = engine().gfx;
  const int w = gfx ? gfx->surface_width : 0, h = gfx ? gfx->surface_height : 0;
  in.mouse_x = std::clamp(in.mouse_x, 0, std::max(0, w - 1));
  in.mouse_y = std::clamp(in.mouse_y, 0, std::max(0, h - 1));
}

void pump() {
  if (OpenGLVurivari* gfx = engine().gfx) gfx->pump_messages();  // the close button ends the program
}

void end_on_escape(InputDevice& in) {
  if (engine().allow_escape == 1 && (in.key_down(129) || in.key_down(1))) {
    record_runtime_error(0);
    end_program();
  }
}

}  // namespace

void input_wait_step() {
  InputDevice* in = device();
  if (!in) return;
  for (int pass = 0; pass < 15; ++pass) {
    pump();
    in->frame_tick();
    end_on_escape(*in);
    for (int code = 0; code < 255; ++code) {
      if (in->key_down(code)) return;
    }
    MouseReading m;
    in->read_mouse(m);
    clamp_mouse_to_screen(*in);
    const int left = m.left ? 1 : 0, right = m.right ? 1 : 0;
    if (in->mouse_x != in->wait_x || in->mouse_y != in->wait_y || left != in->wait_left ||
        right != in->wait_right) {
      in->wait_x = in->mouse_x;
      in->wait_y = in->mouse_y;
      in->wait_left = left;
      in->wait_right = right;
      return;
    }
    for (int j = in->joystick_count() - 1; j >= 0; --j) {
      if (!in->joystick_present(j)) continue;
      JoystickReading r;
      in->read_joystick(j, r);
      for (uint8_t b : r.buttons) {
        if (b) return;
      }
      if (std::fabs(axis_value(r.x)) > 0.1 || std::fabs(axis_value(r.y)) > 0.1 || std::fabs(axis_value(r.z)) > 0.1) {
        return;
      }
      if (hat_x(r.pov[0]) != 0 || hat_y(r.pov[0]) != 0) return;
    }
    platform::sleep_until_ms(platform::now_ms() + 2.0);
  }
}

// -------------------------------------------------------------- keyboard ---

double key_state(double scan_code) {
  InputDevice* in = device();
  if (!in) return 0;
  in->poll_keyboard();
  return in->key_down(static_cast<int>(truncate_to_int64(scan_code) & 0xFF)) ? 1 : 0;
}

double key_pressed(double scan_code) {
  InputDevice* in = device();
  return in && in->key_pressed(static_cast<int>(truncate_to_int64(scan_code) & 0xFF)) ? 1 : 0;
}

DynString inkey() {
  InputDevice* in = device();
  const int c = in ? in->read_key_char() : 0;
  if (c == 0) return DynString();
  const char text[2] = {static_cast<char>(c), 0};
  return DynString(text, 1);
}

void key_wait() {
  InputDevice* in = device();
  if (!in) return;
  while (in->key_char_pressed() == 0) {
    pump();
    input_wait_step();
  }
  // The key is handed out once: this ends at once while it stays held.
  while (in->key_char_pressed() != 0) {
  }
}

// ----------------------------------------------------------------- mouse ---

void mouse_wait() {
  InputDevice* in = device();
  if (!in) return;
  // A button already held must be let go first. Messages are dispatched
  // meanwhile, so that the close button still works.
  while (in->any_mouse_button()) {
    pump();
    in->frame_tick();
    platform::sleep_until_ms(platform::now_ms() + 2.0);
  }
  for (;;) {
    if (in->any_mouse_button()) return;
    input_wait_step();
  }
}

void mouse_state(double& x, double& y, double& left, double& right) {
  InputDevice* in = device();
  if (!in) {
    x = y = left = right = 0;
    return;
  }
  MouseReading m;
  in->read_mouse(m);
  clamp_mouse_to_screen(*in);
  x = in->mouse_x;
  y = in->mouse_y;
  left = m.left ? 1 : 0;
  right = m.right ? 1 : 0;
}

double mouse_axis(double selector) {
  InputDevice* in = device();
  if (!in) return 0;
  MouseReading m;
  in->read_mouse(m);
  switch (truncate_to_int32(selector)) {
    case 0: return m.dx;
    case 1: return m.dy;
    case 2: return m.wheel;
    case 3: return m.left ? 1 : 0;
    case 4: return m.right ? 1 : 0;
    case 5: return m.middle ? 1 : 0;
    default: return 0;
  }
}

void system_pointer(double on) {
  if (InputDevice* in = device()) in->set_system_cursor(on != 0);
}

void set_mouse(double x, double y) {
  InputDevice* in = device();
  if (!in) return;
  in->mouse_x = truncate_to_int32(x);
  in->mouse_y = truncate_to_int32(y);
}

double mouse_pressed(double button) {
  InputDevice* in = device();
  return in && in->mouse_pressed(truncate_to_int32(button)) ? 1 : 0;
}

// ------------------------------------------------------------- joysticks ---

double joystick_x(double index) { return axis_value(joystick(index).x); }
double joystick_y(double index) { return axis_value(joystick(index).y); }
double joystick_z(double index) { return axis_value(joystick(index).z); }
double joystick_rx(double index) { return axis_value(joystick(index).rx); }
double joystick_ry(double index) { return axis_value(joystick(index).ry); }
double joystick_rz(double index) { return axis_value(joystick(index).rz); }
double joystick_hat_x(double index) { return hat_x(joystick(index).pov[0]); }
double joystick_hat_y(double index) { return hat_y(joystick(index).pov[0]); }

void joystick_state(double& x, double& y, double& button1, double& button2) {
  const JoystickReading r = joystick(0);
  x = std::trunc(r.x / 30000.0);
  y = std::trunc(r.y / 30000.0);
  button1 = r.buttons[0];
  button2 = r.buttons[1];
}

double joystick_count() {
  InputDevice* in = device();
  return in ? in->joystick_count() : 0;
}

DynString joystick_name(double index) {
  InputDevice* in = device();
  if (!in) return DynString();
  const std::string& name = in->joystick_name(truncate_to_int32(index));
  return DynString(name.data(), static_cast<uint32_t>(name.size()));
}

void joystick_force(double index, double duration_ms, double x, double y) {
  if (InputDevice* in = device()) in->joystick_force(truncate_to_int32(index), duration_ms, x, y);
}

// ----------------------------------------------------------- line editor ---

void input_text(DynString& variable, double x, double y) {
  EngineState& e = engine();
  InputDevice* in = e.input;
  OpenGLVurivari* gfx = e.gfx;
  if (!in || !gfx) return;
  constexpr int kLayer = 3;
  constexpr int kBlinkFrames = 21;
  DynString text = variable;
  gfx->grab_background_layer(kLayer);
  gfx->draw_background_layer(kLayer);
  print_text(text, x, y);
  bool cursor = false;
  int idle = 0;
  const double px = std::trunc(x), py = std::trunc(y);
  for (;;) {
    show_screen();
    const int c = in->read_key_char();
    if (c == 10) break;
    if (c == 8) {
      if (text.length_of() > 0) text.truncate_at(text.length_of() - 1);
    } else if (c != 0) {
      const char one[2] = {static_cast<char>(c), 0};
      text += one;
    } else if (++idle >= kBlinkFrames) {
      cursor = !cursor;
      idle = 0;
    }
    gfx->draw_background_layer(kLayer);
    DynString shown = text;
    if (cursor) shown += "_";
    print_text(shown, px, py);
  }
  gfx->clear_background_layer(kLayer);
  variable = text;
}

void input_number(double& variable, double x, double y) {
  DynString text;
  input_text(text, x, y);
  variable = text_to_number(text);
}

}  // namespace quarvel
