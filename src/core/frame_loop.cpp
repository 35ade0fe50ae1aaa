// show_screen, the frame grid and the clocks.
#include <algorithm>

#include "audio/sound_device.h"
#include "core/engine_state.h"
#include "core/frame_pacer.h"
#include "core/opengl_vurivari.h"
#include "core/window_events.h"
#include "gfx2d/draw_state.h"
#include "gfx3d/vurivari3d.h"
#include "input/input_device.h"
#include "platform/audio.h"
#include "platform/platform.h"

namespace quarvel {

namespace {
// The wait's last sleep starts this long before it is to end. A sleep that
// ends shortly after the thread last woke ends closer to its deadline than
// one at the end of a long idle stretch (0.04 against 0.14 ms typical on
// the development machine; a processor in a deep idle state is the same),
// and the spin after it covers the difference on every frame. One long
// sleep and one short one cost fewer wake-ups than short sleeps all along.
constexpr double kLastSleepMs = 4.0;
// Longest single sleep, so that window events (a repaint, the close button)
// keep flowing while a game with a slow frame rate waits.
constexpr double kLongestSleepMs = 16.0;
// The frame wait sleeps to an absolute deadline the pacer's margin before
// the grid point and spins for the rest, which keeps the grid exact at a
// few percent of a core.
FramePacer& frame_pacer() {
  static FramePacer pacer;
  return pacer;
}
}  // namespace

namespace {
// --fast replays run on a clock of their own that moves one frame interval
// a frame, so that what a game times by the clock (fades, timers) takes the
// same frames as in a run at real time. Negative: the real clock.
double fast_clock_ms = -1.0;
}  // namespace

double now_ms() { return fast_clock_ms >= 0 ? fast_clock_ms : platform::now_ms(); }

double current_ms() { return now_ms(); }

void window_activated(bool active) {
  EngineState& e = engine();
  if (e.settings.debug_mode != 0 || e.auto_pause != 1) return;
  if (active) {
    platform::window_set_caption(e.window_title.c_str());
    if (e.paused) platform::audio_pause_all(false);
    e.paused = 0;
    if (e.input) e.input->resync();
  } else {
    DynString caption = e.window_title + " <pause>";
    platform::window_set_caption(caption.c_str());
    // A paused game is quiet: sounds and music go on where they stopped.
    if (!e.paused) platform::audio_pause_all(true);
    e.paused = 1;
  }
}

void toggle_fullscreen() {
  EngineState& e = engine();
  if (!e.gfx) return;
  // The same path as set_screen's, at the current surface size.
  e.settings.fullscreen = e.gfx->fullscreen_active ? 0 : 1;
  apply_window_mode();
}

void dispatch_window_event(const platform::Event& event) {
  EngineState& e = engine();
  switch (event.type) {
    case platform::EventType::close:
      end_program();
    case platform::EventType::focus_lost:
      window_activated(false);
      break;
    case platform::EventType::focus_gained:
      window_activated(true);
      break;
    case platform::EventType::wm_fullscreen:
      // The window manager's own request goes the runtime's way, so that the
      // frame is scaled and letterboxed as with Alt+Enter.
      if (e.gfx && (event.button != 0) != (e.gfx->fullscreen_active != 0)) toggle_fullscreen();
      break;
    case platform::EventType::window_exposed:
      // Paused or not, the window shows the presented frame again at once.
      if (e.gfx) e.gfx->repaint_window();
      break;
    case platform::EventType::key_down:
    case platform::EventType::key_up:
    case platform::EventType::mouse_motion:
    case platform::EventType::mouse_button_down:
    case platform::EventType::mouse_button_up:
    case platform::EventType::mouse_wheel:
    case platform::EventType::joystick_added:
    case platform::EventType::joystick_removed:
    case platform::EventType::joystick_button_down:
      if (e.input) e.input->apply_event(event);
      break;
    default:
      break;
  }
}

int OpenGLVurivari::pump_messages() {
  platform::Event event;
  while (platform::next_event(event)) dispatch_window_event(event);
  return 1;
}

double OpenGLVurivari::present_frame() {
  leave_current_surface();
  // Keep the finished frame, show it and start the next one cleared.
  keep_finished_frame();
  show_presented_in_window();
  choose_frame_target();
  bind_draw_target();
  GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  if (scissor) glDisable(GL_SCISSOR_TEST);
  // Depth and stencil share one buffer: clearing both at once is a plain
  // fill, where depth alone must keep every stencil byte. A 3D frame clears
  // its stencil when it starts, and nothing else keeps one across frames.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  if (scissor) glEnable(GL_SCISSOR_TEST);

  double t0 = now_ms();
  double now;
  bool slept = false;
  double woke = 0;  // when the last sleep ended
  platform::Event event;
  const EngineState& e = engine();
  if (e.replay_fast && e.input && e.input->mode() == InputDevice::Mode::replaying) {
    // --fast: the next frame at once, the clock moved on by one frame.
    while (platform::next_event(event)) dispatch_window_event(event);
    if (fast_clock_ms < 0) fast_clock_ms = platform::now_ms();
    fast_clock_ms += frame_interval_ms > 0 ? frame_interval_ms : 0.0;
    next_frame_ms = fast_clock_ms + frame_interval_ms;
    return frame_interval_ms + 1;
  }
  for (;;) {
    while (platform::next_event(event)) dispatch_window_event(event);
    now = now_ms();
    if (now > next_frame_ms) break;
    const double spin_from = next_frame_ms - frame_pacer().margin_ms();
    const bool last_sleep = spin_from - now <= kLastSleepMs;
    const double wake = last_sleep ? spin_from : std::min(spin_from - kLastSleepMs, now + kLongestSleepMs);
    if (wake > now) {
      platform::sleep_until_ms(wake);
      woke = now_ms();
      // Only the last sleep's lateness is what the margin must cover.
      if (last_sleep) frame_pacer().sleep_ended(woke - wake);
      slept = true;
      continue;
    }
    // The last margin before the grid point is spun on the clock alone: a
    // look at the window's events costs system calls (a round trip to
    // the X server), and what comes meanwhile waits for the next frame's look.
    while ((now = now_ms()) <= next_frame_ms) {
    }
    break;
  }
  // Only a sleep that ended past the grid point made the frame late: a
  // game that came late on its own had nothing to wait for, and a wait that
  // woke in time but lost the processor while it spun (another program, a
  // virtual machine's host) is not helped by a wider margin.
  if (slept && frame_interval_ms > 0) frame_pacer().frame_done(woke - next_frame_ms);
  next_frame_ms += frame_interval_ms;
  if (frame_interval_ms > 0) {
    // A late frame is shown at once; the grid points it missed are dropped.
    while (now > next_frame_ms) next_frame_ms += frame_interval_ms;
  }
  return now - t0 + 1;
}

void show_screen() {
  EngineState& e = engine();
  OpenGLVurivari* gfx = e.gfx;
  if (!gfx) return;
  if (e.settings.debug_mode != 0) {
    platform::window_show();
    platform::window_raise();
  }
  e.previous_frame_ms = e.frame_ms;
  e.frame_ms = now_ms();
  if (e.paused == 1) {
    // The frame is finished: shown now if the window could not be
    // repainted from it otherwise.
    if (e.renderer3d) e.renderer3d->end_shadow_pass();
    gfx->show_finished_frame_for_pause();
  }
  while (e.paused == 1) {
    // 100 ms between two looks at the pause, with the window's messages
    // (repaints above all) handled every 10 ms meanwhile.
    const double until = now_ms() + 100.0;
    do {
      gfx->pump_messages();
      platform::sleep_until_ms(std::min(until, now_ms() + 10.0));
    } while (e.paused == 1 && now_ms() < until);
  }
  // Polls the keyboard and marks the mouse fresh (and steps a recording or
  // a replay by one frame).
  // --quit-at-end: the replay's frames are all shown.
  if (e.quit_at_replay_end && e.input && e.input->replay_over()) end_program();
  if (e.input) e.input->frame_tick();
  if (e.input) {
    bool quit = e.allow_escape == 1 && (e.input->key_down(129) || e.input->key_down(1));
    quit = quit || (e.input->key_down(56) && e.input->key_down(62));
    if (quit) {
      e.debug.error_code = 0;
      e.debug.error_line = e.debug.debug_line;
      end_program();
    }
    // Alt+Enter switches between window and fullscreen, for every game;
    // the Return of it is not the game's.
    if (e.input->take_fullscreen_request()) toggle_fullscreen();
  }
  if (e.renderer3d) e.renderer3d->end_shadow_pass();
  gfx->present_frame();
  ++e.frames_presented;
  save_frame_if_asked();

  reset_alpha_mode();
  // Shader programs end with the frame, before the next frame's background
  // is drawn: the background never goes through a game's shader.
  if (e.renderer3d) e.renderer3d->use_shader(-1);
  draw_background_layer(0);
  gfx->setup_2d_projection(0, 0, 0, 0);
  if (e.renderer3d) e.renderer3d->bind_mipmapped_texture = 0;
}

void limit_frame_rate(double frames_per_second) {
  if (!engine().gfx) return;
  // Truncated toward zero; values beyond any sensible rate (or not a
  // number) are kept inside the integer range first.
  double rate = frames_per_second > 0 ? std::min(frames_per_second, 1.0e6) : 0.0;
  engine().gfx->set_frame_interval(static_cast<int>(rate));
}

double elapsed_ms() { return now_ms() - engine().start_ms; }

double frame_duration_ms() {
  double d = engine().frame_ms - engine().previous_frame_ms;
  return d > 0 ? d : 1.0;
}

void allow_escape(double on) { engine().allow_escape = on != 0 ? 1 : 0; }

void auto_pause(double on) { engine().auto_pause = on != 0 ? 1 : 0; }

}  // namespace quarvel
