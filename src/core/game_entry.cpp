// The short entry of a game and the dialog switch.
#include "platform/environment.h"
#include "quarvel/runtime.h"

namespace quarvel {

int run_game(int argc, char** argv, const char* title, void (*game)()) {
  set_command_line(argc, argv);
  start_runtime(kShowNormal, title ? title : "");
  reset_debug_position();
  if (game) game();
  end_program();
}

void allow_dialogs(double on) {
  // The same switch scripted runs use, so that every dialog of the runtime
  // (and of programs it starts) follows it.
  static bool set_here = false;
  if (on == 0) {
    set_here = set_here || !platform::has_environment("QUARVEL_NO_DIALOGS");
    platform::set_environment("QUARVEL_NO_DIALOGS", "1");
  } else if (set_here) {
    platform::set_environment("QUARVEL_NO_DIALOGS", nullptr);
    set_here = false;
  }
}

}  // namespace quarvel
