// Off-screen surfaces, screen grabs and saving a picture. Each frame a
// small scene is drawn into surface 0, whose picture lives in sprite slot
// 10; the screen then shows that sprite plain, turned and mirrored. A strip
// of the screen is grabbed into another sprite and shown as a "photo", and
// S (or the frame given as the second argument) writes the presented frame
// to snapshot.png beside the program. An optional first argument ends the
// program after that many frames.
#include <quarvel/quarvel.h>

#include <cstdlib>

using namespace quarvel;

namespace {

constexpr int kSurface = 0, kSurfaceSprite = 10, kPhoto = 11;
constexpr int kKeyS = 31;
long frame_limit = 0, snapshot_frame = 0;

// The little scene: sky, sun, hills and a bouncing ball, 128 x 96 pixels.
void draw_little_scene(long frame) {
  for (int y = 0; y < 96; y += 2) draw_rect(0, y, 128, 2, rgb(40 + y, 80 + y, 200));
  for (int r = 12; r > 0; --r) draw_rect(96 - r, 20 - r, 2 * r, 2 * r, rgb(255, 200 + r * 4, 60));
  for (int x = 0; x < 128; ++x) draw_line(x, 70 + 8 * sin_degrees(x * 4.0 + frame), x, 96, rgb(40, 140, 60));
  const double bounce = absolute(sin_degrees(frame * 4.0)) * 40;
  draw_rect(30 + (frame % 70), 56 - bounce, 10, 10, rgb(230, 60, 60));
  print_text("surface", 4, 4);
}

void surfaces() {
  create_screen(kSurface, kSurfaceSprite, 128, 96);
  bool saved = false;
  for (long frame = 1; frame_limit <= 0 || frame <= frame_limit; ++frame) {
    use_screen(kSurface);  // drawing goes into the sprite now
    draw_little_scene(frame);
    use_screen(-1);        // and back to the screen

    draw_rect(0, 0, 320, 240, rgb(30, 30, 40));
    draw_sprite(kSurfaceSprite, 8, 8);                        // as drawn
    stretch_sprite(kSurfaceSprite, 144 + 128, 8, -128, 96);   // mirrored
    rotate_zoom_sprite(kSurfaceSprite, 40, 120, frame * 1.0, 0.6);
    zoom_sprite(kSurfaceSprite, 112, 140, 0.5, 0.5);

    // A grab of the presented screen's top-left corner, shown in a frame:
    // the photo lags a frame behind, as it is taken from what is there now.
    grab_sprite(kPhoto, 8, 8, 64, 48);
    draw_rect(196, 124, 112, 88, rgb(240, 240, 230));
    stretch_sprite(kPhoto, 200, 128, 104, 78);
    print_text("grabbed", 224, 216);

    if (!saved && (key_state(kKeyS) != 0 || frame == snapshot_frame)) {
      show_screen();  // present the frame, then write what was presented
      saved = save_screen("snapshot.png") == 1;
      continue;
    }
    print_text(saved ? "saved snapshot.png" : "S saves snapshot.png", 8, 226);
    show_screen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  snapshot_frame = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  return run_game(argc, argv, "Quarvel surfaces", surfaces);
}
