// Video playback: Return plays the clip (fitted and centred on the screen,
// with its sound), L plays it looped; a key with a character or a mouse
// button ends it early. play_video blocks until then, and the last picture
// stays as the presented frame: get_pixel reads it back into a small
// thumbnail shown beside how long the video ran. The clip is clip.avi
// beside the program (the build makes one with the ffmpeg tool), or the
// file named after --video. An optional first argument ends the program
// after that many frames.
#include <quarvel/quarvel.h>

#include <cstdlib>
#include <cstring>

using namespace quarvel;

namespace {

constexpr int kReturn = 28, kKeyL = 38;
constexpr int kThumbW = 80, kThumbH = 60;
long frame_limit = 0;
const char* clip = "clip.avi";
double thumbnail[kThumbW * kThumbH];

bool pressed(int code) {
  static bool held[256] = {};
  const bool down = key_state(code) != 0, result = down && !held[code];
  held[code] = down;
  return result;
}

// Samples the presented frame (the video's last picture) every 4 pixels.
void take_thumbnail() {
  for (int y = 0; y < kThumbH; ++y)
    for (int x = 0; x < kThumbW; ++x) thumbnail[y * kThumbW + x] = get_pixel(x * 4, y * 4);
}

void video() {
  const bool present = file_exists(clip) != 0;
  double played_ms = -1;
  for (long frame = 1; frame_limit <= 0 || frame <= frame_limit; ++frame) {
    const bool once = pressed(kReturn), loop = pressed(kKeyL);
    if (present && (once || loop)) {
      const double start = current_ms();
      if (once) play_video(clip);
      else play_video_loop(clip);
      played_ms = current_ms() - start;
      take_thumbnail();
    }

    draw_rect(0, 0, 320, 240, rgb(16, 16, 24));
    set_text_colour(rgb(255, 220, 120));
    print_text(DynString("Video: ") + clip, 8, 8);
    set_text_colour(-1);
    if (!present) {
      print_text("not found; make one with ffmpeg, e.g.", 8, 30);
      print_text("ffmpeg -f lavfi -i testsrc=d=3", 8, 44);
      print_text("  -c:v mpeg4 clip.avi", 8, 56);
    } else {
      print_text("Return: play once   L: play looped", 8, 30);
      print_text("any key or a click ends it", 8, 44);
    }
    if (played_ms >= 0) {
      // The last picture, 80 x 60, in a frame.
      draw_rect(116, 86, kThumbW * 1 + 8, kThumbH + 8, rgb(200, 200, 200));
      for (int y = 0; y < kThumbH; ++y)
        for (int x = 0; x < kThumbW; ++x) set_pixel(120 + x, 90 + y, thumbnail[y * kThumbW + x]);
      print_text("the last picture", 96, 160);
      print_text(DynString("played for ") + format_number(0, 1, played_ms / 1000) + " s", 96, 176);
    }
    show_screen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--video") == 0) clip = argv[i + 1];
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  return run_game(argc, argv, "Quarvel video", video);
}
