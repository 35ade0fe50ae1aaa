// The one record of runtime state, owned by the runtime core from
// start_runtime to end_program.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "quarvel/dyn_string.h"
#include "quarvel/runtime.h"

namespace quarvel {

class OpenGLVurivari;
class InputDevice;
class SoundDevice;
struct SoundSlot;
struct MusicPlayer;
class NetSession;
class Vurivari3D;
struct MediaPack;

struct DebugPosition {
  double error_code = 0;
  double error_line = 0;
  double debug_line = 0;
  double debug_source = 0;
};

constexpr int kSoundSlotCount = 256;

struct EngineState {
  ProjectSettings settings;
  DynString command_line;
  DynString window_title;
  std::unique_ptr<std::recursive_mutex> music_lock;

  OpenGLVurivari* gfx = nullptr;
  InputDevice* input = nullptr;
  SoundDevice* sound = nullptr;
  SoundSlot* sound_slots = nullptr;  // kSoundSlotCount records
  MusicPlayer* music = nullptr;      // made by the first play_music
  NetSession* net = nullptr;
  Vurivari3D* renderer3d = nullptr;
  MediaPack* media_pack = nullptr;
  MediaPack* media_pack_second = nullptr;
  void* window = nullptr;

  double start_ms = 0;
  double frame_ms = 0;
  double previous_frame_ms = 0;

  uint8_t auto_pause = 0;
  uint8_t paused = 0;
  uint8_t allow_escape = 1;
  int current_font = 0;

  DebugPosition debug;
  int32_t random_seed = 0;

  // Runtime options from the command line or the environment.
  int window_scale = 0;  // 0: chosen to fit the desktop
  bool scale_given = false;  // from the command line (else the environment)
  int fullscreen_option = -1;  // --fullscreen 1, --window 0, else -1
  // Input options: --record FILE, --replay FILE, --seed N.
  std::string record_file;
  std::string replay_file;
  bool seed_given = false;
  double seed_value = 0;
  // --fast: a replay runs its frames without waiting for the clock;
  // --quit-at-end: the program ends (exit code 0) after the replay's last
  // frame.
  bool replay_fast = false;
  bool quit_at_replay_end = false;

  bool started = false;
  bool shutting_down = false;
  // Frames presented by show_screen since start-up.
  int64_t frames_presented = 0;
};

EngineState& engine();

// The program's name as started (for messages on standard error).
const char* program_name();

// The runtime's clock in milliseconds.
double now_ms();

void shutdown_runtime();

// Saves the frame just presented when QUARVEL_SAVE_FRAMES names a folder.
void save_frame_if_asked();

// When QUARVEL_TRACE names a file, appends "frame N what" to it, N being the
// number of frames presented so far (the index of the frame being drawn).
bool tracing();
void trace_event(const std::string& what);

}  // namespace quarvel
