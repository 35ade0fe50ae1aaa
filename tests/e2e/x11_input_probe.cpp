// A window that counts what a player does, for the end-to-end run with real
// X input: presses of Return as the per-frame press query and as changes of
// the key state, typed characters, and left-button clicks both ways. Q ends
// it and prints one line of counts; the runtime's own keys (Escape, Alt+F4,
// Alt+Enter) work as in any game.
//
//   x11_input_probe [runtime options]
#include <cstdio>
#include <string>

#include <quarvel/quarvel.h>

int main(int argc, char** argv) {
  using namespace quarvel;
  set_command_line(argc, argv);
  ProjectSettings& s = project_settings();
  s.screen_width = 320;
  s.screen_height = 240;
  s.frame_rate = 60;
  start_runtime(kShowNormal, "Input Probe");
  reset_debug_position();
  int presses = 0, return_edges = 0, clicks = 0, click_edges = 0;
  bool return_was = false, left_was = false;
  std::string typed;
  for (;;) {
    print_text(DynString("Return ") + presses + " clicks " + clicks, 10, 10);
    print_text(DynString(typed.c_str()), 10, 30);
    show_screen();
    const bool held = key_state(28) != 0;
    if (held && !return_was) ++return_edges;
    return_was = held;
    presses += static_cast<int>(key_pressed(28));
    const bool left = mouse_axis(3) != 0;
    if (left && !left_was) ++click_edges;
    left_was = left;
    clicks += static_cast<int>(mouse_pressed(1));
    for (DynString c = inkey(); c.length_of() > 0; c = inkey()) typed += c.c_str()[0] == '\n' ? '|' : c.c_str()[0];
    if (key_state(16)) break;  // Q
  }
  std::printf("presses=%d edges=%d clicks=%d click_edges=%d typed=%s fullscreen=%d\n", presses, return_edges, clicks,
              click_edges, typed.c_str(), static_cast<int>(is_fullscreen()));
  std::fflush(stdout);
  end_program();
}
