// Sound and music: a bell swings across the screen and rings every 30
// frames, panned to where it is and quieter the further it is from the
// listener at the bottom; the music plays in the background, and its
// volume follows the slider (Up / Down, or click on the slider). Remember
// the two volumes differ: play_sound's volume is an attenuation (1 full,
// 0.9 is -10 dB, 0.5 silent), set_music_volume is linear (0.5 is half).
// An optional first argument ends the program after that many frames.
#include <quarvel/quarvel.h>

#include <cstdlib>

using namespace quarvel;

namespace {

constexpr int kBell = 1;
constexpr int kUp = 200, kDown = 208;
long frame_limit = 0;

void ring(double cx, double cy, double r, double colour) {
  for (int a = 0; a < 360; a += 6)
    draw_line(cx + cos_degrees(a) * r, cy + sin_degrees(a) * r, cx + cos_degrees(a + 6) * r,
              cy + sin_degrees(a + 6) * r, colour);
}

void sound() {
  load_sound("keyclick.wav", kBell, 4);  // four buffers: rings may overlap
  play_music("music.mp3");
  double music_volume = 0.8;
  double wave_x = 0, wave_y = 0, wave_age = 100, last_pan = 0, last_volume = 0;
  const double listener_x = 160, listener_y = 210;
  for (long frame = 1; frame_limit <= 0 || frame <= frame_limit; ++frame) {
    draw_rect(0, 0, 320, 240, rgb(18, 22, 34));

    // The bell swings on a wide path; its place sets pan and volume.
    const double x = 160 + 140 * sin_degrees(frame * 1.5);
    const double y = 70 + 30 * cos_degrees(frame * 3.0);
    if (frame % 30 == 0) {
      last_pan = (x - 160) / 160;  // -1 left .. 1 right
      const double distance = square_root((x - listener_x) * (x - listener_x) + (y - listener_y) * (y - listener_y));
      last_volume = 1 - distance / 1000;  // 1 near .. about 0.8 far (-20 dB)
      play_sound(kBell, last_pan, last_volume);
      wave_x = x;
      wave_y = y;
      wave_age = 0;
    }
    // The sound's ring spreading out, fading.
    if (wave_age < 40) {
      const double fade = 255 * (1 - wave_age / 40);
      ring(wave_x, wave_y, 8 + wave_age * 2, rgb(fade, fade * 0.8, 0));
      ++wave_age;
    }
    for (double r = 0; r < 9; ++r) draw_line(x - r, y + r, x + r, y + r, rgb(230, 190, 60));
    draw_rect(x - 10, y + 9, 21, 3, rgb(250, 220, 90));
    draw_line(listener_x, listener_y, x, y, rgb(50, 60, 90));
    draw_rect(listener_x - 6, listener_y - 6, 13, 13, rgb(120, 200, 255));

    // Pan and volume of the last ring, as bars.
    print_text("pan", 8, 8);
    draw_rect(48, 8, 100, 8, rgb(40, 40, 60));
    draw_rect(98 + last_pan * 50 - 2, 6, 5, 12, rgb(255, 255, 255));
    print_text("volume", 8, 22);
    draw_rect(64, 22, 84, 8, rgb(40, 40, 60));
    draw_rect(64, 22, 84 * (last_volume - 0.75) * 4, 8, rgb(120, 255, 120));

    // The music slider on the right: keys or a click set it.
    if (key_state(kUp) != 0) music_volume += 0.01;
    if (key_state(kDown) != 0) music_volume -= 0.01;
    double mx = 0, my = 0, left = 0, right = 0;
    mouse_state(mx, my, left, right);
    if (left != 0 && mx > 290 && my > 40 && my < 200) music_volume = (200 - my) / 160;
    music_volume = music_volume < 0 ? 0 : music_volume > 1 ? 1 : music_volume;
    set_music_volume(music_volume);  // only changes are passed on
    print_text("music", 276, 24);
    draw_rect(300, 40, 8, 160, rgb(40, 40, 60));
    draw_rect(300, 200 - 160 * music_volume, 8, 160 * music_volume, rgb(255, 120, 200));
    print_number(static_cast<int>(music_volume * 100), 276, 206);
    show_screen();
  }
  stop_music();
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  return run_game(argc, argv, "Quarvel sound and music", sound);
}
