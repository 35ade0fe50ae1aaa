// The program entry's side of the runtime: settings, command line and the
// fixed start-up order.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/sound_device.h"
#include "core/engine_state.h"
#include "core/value_errors.h"
#include "core/opengl_vurivari.h"
#include "files/documents.h"
#include "files/media_pack.h"
#include "gfx2d/draw_state.h"
#include "gfx3d/vurivari3d.h"
#include "input/input_device.h"
#include "net/net_session.h"
#include "platform/platform.h"
#include "quarvel/graphics.h"
#include "quarvel/maths.h"

namespace quarvel {

namespace {
std::string g_program_name = "quarvel";

// Reads a window scale of 1..16 from text; 0 when it is not one.
int parse_scale(const char* text) {
  if (!text) return 0;
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != 0 || v < 1 || v > 16) return 0;
  return static_cast<int>(v);
}

// "--name value" (taking the next argument) or "--name=value"; false for
// anything else. An empty value counts as none.
bool option_value(int argc, char** argv, int& i, const char* name, const char*& value) {
  const size_t n = std::strlen(name);
  if (std::strncmp(argv[i], name, n) != 0) return false;
  if (argv[i][n] == '=') {
    value = argv[i] + n + 1;
  } else if (argv[i][n] == 0 && i + 1 < argc && argv[i + 1]) {
    value = argv[++i];
  } else {
    return false;
  }
  return *value != 0;
}

// A whole number for the random seed; false when the text is not one.
bool parse_seed(const char* text, double& seed) {
  char* end = nullptr;
  long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != 0) return false;
  // The low 32 bits are all a seed keeps.
  seed = static_cast<double>(static_cast<uint32_t>(static_cast<unsigned long long>(v)));
  return true;
}

std::string join_arguments(int argc, char** argv) {
  std::string out;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) out += ' ';
    const char* arg = argv[i] ? argv[i] : "";
    bool quote = *arg == 0 || std::strpbrk(arg, " \t") != nullptr;
    if (quote) out += '"';
    out += arg;
    if (quote) out += '"';
  }
  return out;
}
}  // namespace

EngineState& engine() {
  static EngineState state;
  return state;
}

ProjectSettings& project_settings() { return engine().settings; }

void set_command_line(int argc, char** argv) {
  EngineState& e = engine();
  if (argc > 0 && argv && argv[0]) {
    const char* slash = std::strrchr(argv[0], '/');
    g_program_name = slash ? slash + 1 : argv[0];
  }
  e.command_line = join_arguments(argc, argv).c_str();
  e.window_scale = parse_scale(std::getenv("QUARVEL_SCALE"));
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
      int s = parse_scale(argv[i + 1]);
      if (s) e.window_scale = s;
    } else if (std::strncmp(argv[i], "--scale=", 8) == 0) {
      int s = parse_scale(argv[i] + 8);
      if (s) e.window_scale = s;
    }
    // Input: --record FILE, --replay FILE, --seed N (also as --name=value).
    const char* value = nullptr;
    if (option_value(argc, argv, i, "--record", value)) {
      e.record_file = value;
    } else if (option_value(argc, argv, i, "--replay", value)) {
      e.replay_file = value;
    } else if (option_value(argc, argv, i, "--seed", value)) {
      double seed = 0;
      if (parse_seed(value, seed)) {
        e.seed_given = true;
        e.seed_value = seed;
      }
    }
  }
}

void reset_debug_position() {
  DebugPosition& d = engine().debug;
  d.error_code = 0;
  d.error_line = 0;
  d.debug_line = 0;
}

int start_runtime(int show_command, const char* title) {
  EngineState& e = engine();
  if (e.started) return 0;
  e.started = true;

  // 1
  e.music_lock = std::make_unique<std::recursive_mutex>();
  e.auto_pause = 1;
  // The old report goes first, so that the lines the window and context
  // write while they are made (the software-renderer notice) are kept.
  platform::remove_file((platform::temp_dir() + "ErrorLog.txt").c_str());
  // 2, 3
  e.gfx = new OpenGLVurivari();
  std::string error;
  if (!platform::video_init(error) ||
      !e.gfx->create_window(e.settings.screen_width, e.settings.screen_height, 0, e.settings.frame_rate,
                            e.settings.multisample_samples)) {
    if (error.empty()) error = e.gfx->last_error();
    std::fprintf(stderr, "%s: %s\n", g_program_name.c_str(), error.c_str());
    std::fflush(stderr);
    delete e.gfx;
    e.gfx = nullptr;
    platform::video_quit();
    std::exit(1);
  }
  // 4
  e.window = platform::window_handle();
  e.window_title = title ? title : "";
  platform::window_set_caption(e.window_title.c_str());
  platform::screen_saver_enable(false);
  // 5: the old report was deleted before the window was made.
  // 6
  e.input = new InputDevice();
  e.input->input_reset();
  e.sound = new SoundDevice();
  e.sound_slots = new SoundSlot[kSoundSlotCount];
  e.net = new NetSession();
  e.renderer3d = new Vurivari3D(e.gfx);
  // 7
  e.random_seed = static_cast<int32_t>(static_cast<int64_t>(now_ms()));
  seed_random(e.random_seed);
  route_value_errors_to_end_program();
  // 8
  if (e.settings.fullscreen == 0) {
    e.gfx->enter_windowed();
  } else {
    e.gfx->enter_fullscreen();
  }
  // 9
  e.input->input_init(e.window, e.settings.captured_mouse != 0);
  {
    // --seed, --record and --replay; the seed drawn in step 7 is replaced
    // or written down here.
    std::string input_error;
    if (!start_input_session(input_error)) {
      std::fprintf(stderr, "%s: %s\n", g_program_name.c_str(), input_error.c_str());
      std::fflush(stderr);
      shutdown_runtime();
      std::exit(1);
    }
  }
  e.sound->sound_init(e.window);
  e.input->window = e.window;
  e.sound->sound_set_window(e.window);
  // 10
  e.current_font = 0;
  // 11
  std::string dir = platform::executable_path();
  for (size_t i = dir.size(); i-- > 1;) {
    if (dir[i] == '/' || dir[i] == '\\') {
      dir.resize(i);
      break;
    }
  }
  platform::change_directory(dir.c_str());
  // 12: the pack is looked for at the end of the executable itself, so that
  // a game with its pack appended ships as one file.
  e.media_pack = new MediaPack();
  e.media_pack_second = new MediaPack();
  std::string exe = platform::executable_path();
  set_media_pack(exe, exe);
  // The line file starts empty; it and the INI document are written back
  // by an exit handler.
  start_file_documents();
  // 13
  clear_background();
  // 14
  e.start_ms = e.frame_ms = e.previous_frame_ms = now_ms();
  // 15
  e.gfx->present_frame();
  e.gfx->setup_2d_projection(0, 0, 0, 0);
  // 16
  double width = 0, height = 0;
  get_screen_size(width, height);
  // 17, 18
  load_font_quietly(DynString(), 0);
  load_font_quietly(DynString("smalfont.bmp"), 0);
  double cell_w = 0, cell_h = 0;
  get_font_size(cell_w, cell_h);
  print_text(DynString("Loading..."), (width - 10 * cell_w) * 0.5, (height - cell_h) * 0.5);
  show_screen();
  // 19
  e.paused = 0;
  // 20: the monotonic clock has sub-millisecond resolution already.
  // 21
  platform::cursor_show(false);
  // 22
  e.start_ms = e.frame_ms = e.previous_frame_ms = now_ms();
  // 23
  if (show_command == kShowHidden) e.gfx->hide_window();
  // 24
  e.input->set_system_cursor(e.settings.captured_mouse == 0);
  // 25
  std::fputs("Init OK\n", stdout);
  std::fflush(stdout);
  return 0;
}

void set_screen(double width, double height, double fullscreen) {
  EngineState& e = engine();
  if (!e.gfx) return;
  auto to_size = [](double v) { return v >= 1 && v <= 16384 ? static_cast<int>(v) : 0; };
  int w = to_size(width), h = to_size(height);
  if (w) e.settings.screen_width = w;
  if (h) e.settings.screen_height = h;
  e.settings.fullscreen = fullscreen != 0 ? 1 : 0;
  e.gfx->set_surface_size(w ? w : e.gfx->surface_width, h ? h : e.gfx->surface_height);
  if (e.settings.fullscreen) {
    e.gfx->enter_fullscreen();
  } else {
    e.gfx->enter_windowed();
  }
  e.window = platform::window_handle();
  if (e.input) e.input->window = e.window;
  if (e.sound) e.sound->sound_set_window(e.window);
  for (int i = 0; i < 5; ++i) show_screen();
}

double is_fullscreen() { return engine().gfx && engine().gfx->fullscreen_active ? 1.0 : 0.0; }

void* get_window_handle() { return engine().window; }

}  // namespace quarvel
