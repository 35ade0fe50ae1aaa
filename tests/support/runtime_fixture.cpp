#include "runtime_fixture.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include <quarvel/quarvel.h>

#include <cstdlib>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "test_support.h"

// The GL driver keeps allocations of its own until the process ends (and
// unloads the libraries that made them, so they cannot be suppressed by
// name): leak checking stays on for the portable tests only.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace quarvel_test {

std::string report_path() { return temp_dir() + "/ErrorLog.txt"; }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void ensure_runtime() {
  static bool started = false;
  if (started) return;
  started = true;
  {
    std::ofstream stale(report_path(), std::ios::binary);
    stale << kStaleReportLine << "\r\n";
  }
  static char arg0[] = "runtime_test";
  static char arg1[] = "--scale";
  static char arg2[] = "2";
  static char arg3[] = "two words";
  char* argv[] = {arg0, arg1, arg2, arg3, nullptr};
  quarvel::set_command_line(4, argv);
  quarvel::ProjectSettings& s = quarvel::project_settings();
  s.screen_width = 320;
  s.screen_height = 240;
  s.fullscreen = 0;
  s.multisample_samples = 0;
  s.frame_rate = 60;
  s.debug_mode = 0;
  s.captured_mouse = 0;
  quarvel::start_runtime(quarvel::kShowNormal, "Stone Swarm");
  quarvel::reset_debug_position();
  // The whole suite again with the screen drawn straight into the window's
  // framebuffer (as at scale 1 on a display), every frame kept.
  if (const char* direct = std::getenv("QUARVEL_TEST_DIRECT_PRESENT"); direct && *direct == '1') {
    quarvel::engine().gfx->force_direct_presentation = true;
    quarvel::engine().gfx->keep_presented_frames();
  }
}

void reset_drawing() {
  quarvel::use_screen(-1);
  quarvel::set_viewport(0, 0, 320, 240);
  quarvel::set_alpha_mode(0);
  for (int i = 0; i < 2; ++i) {
    quarvel::clear_background();
    quarvel::show_screen();
  }
  quarvel::clear_background();
}

}  // namespace quarvel_test
