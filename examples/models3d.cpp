// 3D models: a tumbling stone above a landing pad, a craft circling it,
// a point light that casts their shadows onto the pad, fog, and a camera
// that orbits the scene. The stone wears a picture painted at start-up.
//
//   models3d [FRAMES] [--save DIR] [--no-shadow]
//
// FRAMES ends the program after that many frames (0: run until Escape).
// --save writes frames 60 and 150 as DIR/models3d-060.png and
// DIR/models3d-150.png; --no-shadow leaves the shadow pass out (the tests
// compare the two). The models "rock.ddd", "craft.ddd" and "pad.ddd" are
// made by the asset generator (stoneswarm-assets --models DIR).
#include <quarvel/quarvel.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace quarvel;

namespace {

constexpr double kStone = 1, kCraft = 2, kPad = 3;  // mesh slots
constexpr double kStonePicture = 1;                 // sprite slot

// A mottled stone picture with pale veins, grabbed into a sprite slot.
void paint_stone_picture() {
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const int grain = (x * 37 + y * 91 + (x * y) % 13) % 23;
      int grey = 120 + grain * 3;
      if ((x + 2 * y) % 16 < 2) grey += 50;  // veins
      const int r = grey * 9 / 10, g = grey * 85 / 100, b = grey * 7 / 10;
      set_pixel(x, y, r | g << 8 | b << 16);
    }
  }
  grab_sprite(kStonePicture, 0, 0, 64, 64);
}

// Where the stone and the craft are in frame `t` (seconds), as transforms
// of the current level; drawn twice (lit, then into the shadow pass).
void place_stone(double t) {
  move_object(0, 24 + 3 * sin_degrees(t * 90), 0);
  rotate_object(t * 20, 0, 1, 0);
}

void place_craft(double t) {
  const double a = t * 50;
  move_object(cos_degrees(a) * 34, 30, -sin_degrees(a) * 34);
  scale_object(0.8, 0.8, 0.8);
  // Nose along the flight path, banked into the turn.
  rotate_object(a + 180, 0, 1, 0);
  rotate_object(-25, 0, 0, 1);
}

// From the command line.
long frames = 0;
std::string save_dir;
bool shadows = true;

void scene() {
  paint_stone_picture();
  if (load_object("rock.ddd", kStone) == 0 || load_object("craft.ddd", kCraft) == 0 ||
      load_object("pad.ddd", kPad) == 0) {
    std::fprintf(stderr, "models3d: rock.ddd, craft.ddd or pad.ddd missing (stoneswarm-assets --models)\n");
    end_program();
  }
  set_object_texture(kStone, kStonePicture);
  const double light_x = 50, light_y = 90, light_z = 20;

  for (long frame = 0; frames <= 0 || frame < frames; ++frame) {
    if (key_state(1) != 0) break;
    const double t = frame / 60.0;
    // A dusk sky in 2D first; the 3D view draws over it.
    for (int y = 0; y < 240; y += 8) {
      const int k = y * 255 / 240;
      draw_rect(0, y, 320, 8, (16 + k / 5) | (12 + k / 6) << 8 | (40 + k / 12) << 16);
    }
    start_3d_view(1, 400, 55);
    set_cull_mode(-1);  // counter-clockwise faces are the fronts
    set_3d_fog(0x201830, 0, 60, 220);
    const double orbit = t * 15;
    set_camera(sin_degrees(orbit) * 72, 42, cos_degrees(orbit) * 72, 0, 16, 0);
    // A warm point light (cut-off 360: not a spot) and a dim blue fill
    // from the other side.
    set_3d_light(0, 0xC0E0FF, light_x, light_y, light_z, 0, 0, 0, 360);
    set_3d_light(1, 0x604020, 0, 0, 0, 0.5, -0.3, 0.8, 180);

    move_object(0, 0, 0);
    draw_object(kPad, 0);
    place_stone(t);
    draw_object(kStone, t * 6);  // 12 key frames: one tumble in two seconds
    place_craft(t);
    draw_object(kCraft, 0);

    if (shadows) {
      // The same models again, now into the shadow pass.
      set_3d_light(-3, 0, light_x, light_y, light_z, 0, 0, 0, 1);
      place_stone(t);
      draw_object(kStone, t * 6);
      place_craft(t);
      draw_object(kCraft, 0);
      set_3d_light(-3, 0, light_x, light_y, light_z, 0, 0, 0, 0);
    }

    set_viewport(0, 0, 320, 240);
    print_text("Quarvel 3D models", 4, 4);
    show_screen();
    if (!save_dir.empty() && (frame == 60 || frame == 150)) {
      const std::string name = save_dir + "/models3d-" + (frame == 60 ? "060" : "150") + ".png";
      save_screen(DynString(name.c_str()));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--save") == 0 && i + 1 < argc) {
      save_dir = argv[++i];
    } else if (std::strcmp(argv[i], "--no-shadow") == 0) {
      shadows = false;
    } else {
      frames = std::strtol(argv[i], nullptr, 10);
    }
  }
  ProjectSettings& settings = project_settings();
  settings.screen_width = 320;
  settings.screen_height = 240;
  settings.frame_rate = 60;
  return run_game(argc, argv, "Quarvel 3D models", scene);
}
