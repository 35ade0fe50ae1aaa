// Every way out of the program: end_program, the shutdown order, the error
// record and the report file.
#include <cstdio>
#include <string>

#include "audio/music_player.h"
#include "audio/sound_device.h"
#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "files/media_pack.h"
#include "gfx3d/vurivari3d.h"
#include "input/input_device.h"
#include "net/net_session.h"
#include "platform/platform.h"
#include "values/truncate.h"

namespace quarvel {

void append_report_line(const char* text) {
  std::string path = platform::temp_dir() + "ErrorLog.txt";
  std::string line = text ? text : "";
  line += "\r\n";
  // A report line that cannot be written is lost; the program goes on.
  platform::append_to_file(path.c_str(), line.data(), line.size());
}

void shutdown_runtime() {
  EngineState& e = engine();
  if (e.shutting_down) return;
  e.shutting_down = true;
  // 1: no timer resolution was raised on this system.
  // 2: music thread and window under the music lock, then the lock itself.
  if (e.music_lock) {
    {
      std::lock_guard<std::recursive_mutex> lock(*e.music_lock);
      shutdown_music();
    }
    e.music_lock.reset();
  }
  // 3
  delete e.gfx;
  e.gfx = nullptr;
  // 4
  if (e.input) e.input->release();
  delete e.input;
  e.input = nullptr;
  // 5
  if (e.sound_slots) {
    for (int i = kSoundSlotCount - 1; i >= 0; --i) e.sound_slots[i].release();
    delete[] e.sound_slots;
    e.sound_slots = nullptr;
  }
  if (e.sound) e.sound->release();
  delete e.sound;
  e.sound = nullptr;
  // 6
  if (e.net) e.net->shutdown();
  delete e.net;
  e.net = nullptr;
  // 7
  for (MediaPack** pack : {&e.media_pack, &e.media_pack_second}) {
    if (*pack) close_media_pack(**pack);
    delete *pack;
    *pack = nullptr;
  }
  // 8
  e.window = nullptr;
  platform::video_quit();
  // The 3D renderer is not destroyed: the process ends right after.
}

void end_program() {
  EngineState& e = engine();
  if (e.shutting_down) {
    // Reached again from inside the shutdown (a close event while the
    // window goes away): the first call finishes the job.
    platform::exit_process(0);
  }
  shutdown_runtime();
  if (e.settings.debug_mode != 0) {
    char line[64];
    append_report_line("-End On Line");
    std::snprintf(line, sizeof line, "%d", truncate_to_int32(e.debug.error_code));
    append_report_line(line);
    std::snprintf(line, sizeof line, "%lld", static_cast<long long>(truncate_to_int32(e.debug.error_line)) - 1);
    append_report_line(line);
    std::snprintf(line, sizeof line, "%d", truncate_to_int32(e.debug.debug_line));
    append_report_line(line);
    std::snprintf(line, sizeof line, "%d", truncate_to_int32(e.debug.debug_source));
    append_report_line(line);
  }
  platform::exit_process(0);
}

double record_runtime_error(double code) {
  EngineState& e = engine();
  e.debug.error_code = code;
  e.debug.error_line = e.debug.debug_line;
  return code;
}

void end_statement() {
  record_runtime_error(0);
  end_program();
}

void set_debug_position(double source, double line) {
  engine().debug.debug_source = source;
  engine().debug.debug_line = line;
}

void end_and_run(const DynString& command_line) {
  DynString command = command_line;
  command.reserve(256);
  shutdown_runtime();
  // The program ends whether or not the new one could be started.
  platform::start_shell_command(command.c_str());
  platform::exit_process(0);
}

void debug_text(const DynString& text) {
  if (!platform::debugger_attached()) return;
  DynString message = DynString("TX") + text;
  platform::debugger_message(message.c_str());
}

void debug_break(int position) {
  if (!platform::debugger_attached()) return;
  EngineState& e = engine();
  if (e.gfx) platform::window_hide();
  char message[32];
  std::snprintf(message, sizeof message, "BP%x", static_cast<unsigned>(position));
  platform::debugger_message(message);
  platform::debugger_trap();
  e.paused = 0;
  if (e.input) {
    e.input->poll_keyboard();
    e.input->mouse_fresh = 1;
  }
}

}  // namespace quarvel
