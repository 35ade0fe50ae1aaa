// Program entry of Stone Swarm.
#include <quarvel/quarvel.h>

#include "game.h"

int main(int argc, char** argv) {
  quarvel::set_command_line(argc, argv);
  quarvel::ProjectSettings& settings = quarvel::project_settings();
  settings.screen_width = 320;
  settings.screen_height = 240;
  settings.fullscreen = 0;
  settings.multisample_samples = 0;
  settings.frame_rate = 60;
  settings.debug_mode = 0;
  settings.captured_mouse = 0;
  quarvel::start_runtime(quarvel::kShowNormal, "Stone Swarm");
  quarvel::reset_debug_position();
  stoneswarm::game_main();
  quarvel::end_program();
}
