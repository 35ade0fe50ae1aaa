// The program entry's side of the runtime: settings, command line and the
// fixed start-up order.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/sound_device.h"
#include "core/engine_state.h"
#include "core/window_events.h"
#include "core/value_errors.h"
#include "core/opengl_vurivari.h"
#include "files/documents.h"
#include "files/media_pack.h"
#include "gfx2d/draw_state.h"
#include "gfx2d/formats/image_readers.h"
#include "gfx3d/vurivari3d.h"
#include "input/input_device.h"
#include "net/net_session.h"
#include "platform/platform.h"
#include "quarvel/graphics.h"
#include "quarvel/maths.h"

namespace quarvel {

namespace {
std::string g_program_name = "quarvel";

// The largest window scale taken from the command line; a scale that does
// not fit the desktop is reduced when the window is made.
constexpr long kLargestScale = 1000;

// Reads a window scale of 1..kLargestScale; 0 when the text is not one.
int parse_scale(const char* text) {
  if (!text || !*text) return 0;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != 0 || errno != 0 || v < 1 || v > kLargestScale) return 0;
  return static_cast<int>(v);
}

// A whole number for the random seed; false when the text is not one.
bool parse_seed(const char* text, double& seed) {
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != 0 || errno != 0) return false;
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

[[noreturn]] void usage_error(const std::string& text) {
  std::fprintf(stderr, "%s: %s (see --help)\n", g_program_name.c_str(), text.c_str());
  std::fflush(stderr);
  std::exit(2);
}

void print_help() {
  const char* p = g_program_name.c_str();
  std::printf(
      "usage: %s [runtime options] [game arguments]\n"
      "\n"
      "Runtime options (also as --name=value):\n"
      "  --scale N        window scale, a whole number from 1; a scale that does not\n"
      "                   fit the desktop is reduced to the largest that does\n"
      "                   (default: the largest that fits comfortably)\n"
      "  --fullscreen     start in fullscreen\n"
      "  --window         start in a window, even when the game asks for fullscreen\n"
      "  --record FILE    write every input of the run to FILE\n"
      "  --replay FILE    play the run from a recording instead of the devices\n"
      "  --seed N         start the random numbers from N (a whole number)\n"
      "  --fast           with --replay: run the frames as fast as they can be drawn,\n"
      "                   not on the clock (the same frames, the same results)\n"
      "  --quit-at-end    with --replay: end (exit code 0) after the replay's last frame\n"
      "  --help           show this text and end\n"
      "  --version        show the version and end\n"
      "\n"
      "Keys: Alt+Enter switches between window and fullscreen; Left Alt+F4 ends.\n"
      "\n"
      "Environment:\n"
      "  QUARVEL_SCALE=N        window scale when --scale is not given\n"
      "  QUARVEL_NO_DIALOGS=1   never show a message box\n"
      "  TMPDIR                 where the report file ErrorLog.txt is written\n"
      "  SDL_VIDEODRIVER        video driver; offscreen or dummy run without a display\n"
      "  SDL_AUDIODRIVER        audio driver (e.g. dummy for no sound)\n"
      "\n"
      "Other arguments are the game's own.\n",
      p);
  std::fflush(stdout);
}

// "--name value" or "--name=value" for a runtime option taking a value:
// true when argv[i] is that option (value then holds it; a missing value
// is a usage error).
bool option_value(int argc, char** argv, int& i, const char* name, const char*& value) {
  const size_t n = std::strlen(name);
  if (std::strncmp(argv[i], name, n) != 0) return false;
  if (argv[i][n] == '=') {
    value = argv[i] + n + 1;
  } else if (argv[i][n] == 0) {
    if (i + 1 >= argc || !argv[i + 1] || !*argv[i + 1]) usage_error(std::string(name) + " needs a value");
    value = argv[++i];
  } else {
    return false;
  }
  if (!*value) usage_error(std::string(name) + " needs a value");
  return true;
}
}  // namespace

EngineState& engine() {
  static EngineState state;
  return state;
}

ProjectSettings& project_settings() { return engine().settings; }

const char* program_name() { return g_program_name.c_str(); }

void set_command_line(int argc, char** argv) {
  EngineState& e = engine();
  if (argc > 0 && argv && argv[0]) {
    const char* slash = std::strrchr(argv[0], '/');
    g_program_name = slash ? slash + 1 : argv[0];
  }
  e.command_line = join_arguments(argc, argv).c_str();
  if (const char* env = std::getenv("QUARVEL_SCALE"); env && *env) {
    e.window_scale = parse_scale(env);
    if (!e.window_scale) {
      std::fprintf(stderr, "%s: QUARVEL_SCALE=%s is no window scale; ignored\n", g_program_name.c_str(), env);
    }
  }
  for (int i = 1; i < argc; ++i) {
    if (!argv[i]) continue;
    if (std::strcmp(argv[i], "--") == 0) break;  // the rest is the game's
    if (std::strcmp(argv[i], "--help") == 0) {
      print_help();
      std::exit(0);
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s (Quarvel runtime %s)\n", g_program_name.c_str(), QUARVEL_VERSION);
      std::fflush(stdout);
      std::exit(0);
    }
    if (std::strcmp(argv[i], "--fullscreen") == 0) {
      e.fullscreen_option = 1;
      continue;
    }
    if (std::strcmp(argv[i], "--window") == 0) {
      e.fullscreen_option = 0;
      continue;
    }
    if (std::strcmp(argv[i], "--fast") == 0) {
      e.replay_fast = true;
      continue;
    }
    if (std::strcmp(argv[i], "--quit-at-end") == 0) {
      e.quit_at_replay_end = true;
      continue;
    }
    const char* value = nullptr;
    if (option_value(argc, argv, i, "--scale", value)) {
      e.window_scale = parse_scale(value);
      e.scale_given = true;
      if (!e.window_scale) usage_error(std::string("--scale ") + value + " is no window scale (a whole number from 1)");
    } else if (option_value(argc, argv, i, "--record", value)) {
      e.record_file = value;
    } else if (option_value(argc, argv, i, "--replay", value)) {
      e.replay_file = value;
    } else if (option_value(argc, argv, i, "--seed", value)) {
      double seed = 0;
      if (!parse_seed(value, seed)) usage_error(std::string("--seed ") + value + " is no whole number");
      e.seed_given = true;
      e.seed_value = seed;
    }
  }
  if ((e.replay_fast || e.quit_at_replay_end) && e.replay_file.empty())
    usage_error(std::string(e.replay_fast ? "--fast" : "--quit-at-end") + " needs --replay FILE");
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
  // --fullscreen and --window have the last word over the game's setting.
  if (e.fullscreen_option >= 0) e.settings.fullscreen = e.fullscreen_option;
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
  // The window shows the game's own icon when it ships one.
  set_window_icon(DynString("icon.png"));
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
  apply_window_mode();
  for (int i = 0; i < 5; ++i) show_screen();
}

void apply_window_mode() {
  EngineState& e = engine();
  if (!e.gfx) return;
  if (e.settings.fullscreen) {
    e.gfx->enter_fullscreen();
  } else {
    e.gfx->enter_windowed();
  }
  e.window = platform::window_handle();
  if (e.input) e.input->window = e.window;
  if (e.sound) e.sound->sound_set_window(e.window);
}

double set_window_icon(const DynString& file_name) {
  if (!engine().gfx || file_name.length_of() == 0) return 0;
  DynString name = file_name;
  if (!resolve_asset_name(name)) return 0;
  ImageBuffer image;
  if (!read_image_file(image, name.c_str(), kNoColourKey) || image.width <= 0 || image.height <= 0) return 0;
  return platform::window_set_icon(image.pixels.data(), image.width, image.height) ? 1 : 0;
}

double is_fullscreen() { return engine().gfx && engine().gfx->fullscreen_active ? 1.0 : 0.0; }

void* get_window_handle() { return engine().window; }

}  // namespace quarvel
