// Stone Swarm: the main routine, the logo and title screens, the get-ready,
// play and game-over screens. Everything counts frames at 60 per second.
#include <quarvel/quarvel.h>

#include "game.h"

namespace stoneswarm {

using namespace quarvel;

namespace {

// Key scan codes.
constexpr double kReturn = 28, kRightShift = 54, kF1 = 59, kTab = 15;
constexpr double kUp = 200, kDown = 208, kLeft = 203, kRight = 205, kPageUp = 201, kPageDown = 209;

// Sprite, font and sound slots.
constexpr double kCraftSprite = 10, kBackgroundSprite = 11, kGameOverSprite = 12;
constexpr double kDescriptionFont = 1, kBigFont = 2, kScrollerFont = 3, kKeyHelpFont = 4;
constexpr double kExplosionSound = 0, kClickSound = 1, kFanfareSound = 2;

// Screens.
constexpr double kPlaying = 0, kHit = 20, kLogo = 30, kTitle = 90, kQuit = 99;

const char* const kCredits =
    "*** STONE SWARM *** Steer through the swarm, dodge the rocks, beat the highscore! "
    "Made with the Quarvel 2D game runtime, built on SDL2, SDL2_mixer, Mesa OpenGL, libpng, zlib, LZO, "
    "FFmpeg and LAME. Thanks for playing - see you in level 10! ***";

// The game's variables, shared by every screen.
double game_state = 0;
double level = 0;
double level_counter = 0;
double points = 0;
double highscore = 0;
double craft_x = 270, craft_y = 200;
double craft_speed = 0;
double shield = 200;
double volume_setting = 5;
double music_volume = 0;
NumberArray rock_x, rock_y, rock_dx, rock_dy;
double title_rock_angle = 0;
double scroller_x = 0, scroller_step = 0, scroller_delay = 0;

void load_assets() {
  for (int i = 0; i < 10; ++i) load_sprite("asteroid.bmp", i);
  load_sprite("raumer.bmp", kCraftSprite);
  load_sprite("stone.bmp", kBackgroundSprite);
  load_sprite("gameover.bmp", kGameOverSprite);
  load_font("font.bmp", kDescriptionFont);
  load_font("font2.bmp", kKeyHelpFont);
  load_font("fontbig.bmp", kBigFont);
  load_font("fontscroller.bmp", kScrollerFont);
  load_sound("explosion.wav", kExplosionSound, 1);
  load_sound("keyclick.wav", kClickSound, 1);
  load_sound("fanfare.wav", kFanfareSound, 1);
}

void print_counters() {
  set_font(kScrollerFont);
  print_text(DynString("Counter= ") + level_counter, 0, 0);
  print_text(DynString("Points= ") + points, 170, 0);
}

// Rocks shown and tested at the current level.
int rocks_in_play() { return level >= 9 ? 10 : static_cast<int>(level) + 1; }

void get_ready_screen() {
  for (int i = 0; i < 10; ++i) {
    if (level <= 5) rock_dx(i) = random_int(3);
    if (level >= 5 && level <= 9) rock_dx(i) = random_int(5);
    if (level > 9) rock_dx(i) = random_int(8);
    if (rock_dx(i) < 1) rock_dx(i) = 1;
    rock_dy(i) = random_int(1);
    if (rock_dy(i) < 1) rock_dy(i) = 1;
    rock_x(i) = random_int(300);
    rock_y(i) = random_int(220);
  }
  craft_x = 150;
  craft_y = 110;
  shield = 200;
  level_counter = 2000;
  play_sound(kFanfareSound, 1, 1);
  for (int frame = 0; frame < 200; ++frame) {
    draw_sprite(kBackgroundSprite, 0, 0);
    print_counters();
    set_font(kBigFont);
    print_text("GET", 105, 70);
    print_text("READY", 60, 115);
    show_screen();
  }
  game_state = kPlaying;
}

void game_over_screen() {
  play_sound(kExplosionSound, 1, 1);
  double t = -25, f = 0, z = -1, g = 0;
  while (game_state == kHit) {
    if (t <= 1) {
      zoom_sprite(kGameOverSprite, 0, 0, 1, 1);
    } else {
      zoom_sprite(kGameOverSprite, 0, 0, z, z);
      g += 1;
      if (g > 5) {
        z += 1;
        g = 0;
      }
    }
    f += 1;
    if (f > 7) {
      t += 1;
      f = 0;
    }
    if (t > 14) game_state = kTitle;
    show_screen();
  }
}

void play_frame() {
  draw_sprite(kBackgroundSprite, 0, 0);
  for (int i = 0; i < 10; ++i) {
    rock_x(i) += rock_dx(i);
    rock_y(i) += rock_dy(i);
    if (rock_x(i) > 370) rock_dx(i) = -rock_dx(i);
    if (rock_x(i) < -70) rock_dx(i) = -rock_dx(i);
    if (rock_y(i) > 290) rock_dy(i) = -rock_dy(i);
    if (rock_y(i) < -70) rock_dy(i) = -rock_dy(i);
  }
  const int shown = rocks_in_play();
  for (int i = 0; i < shown; ++i) draw_sprite(i, rock_x(i), rock_y(i));
  for (int i = 0; i < shown; ++i) {
    if (sprite_collision(kCraftSprite, craft_x, craft_y, i, rock_x(i), rock_y(i)) == 1) game_state = kHit;
  }
  craft_speed = level >= 10 ? 3 : 2;
  draw_sprite(kCraftSprite, craft_x, craft_y);

  if (game_state == kHit && shield < 1) game_over_screen();

  if (key_state(kRightShift)) {
    game_state = kQuit;
    play_sound(kClickSound, 1, 1);
  }
  if (key_state(kF1)) {
    game_state = kTitle;
    play_sound(kClickSound, 1, 1);
  }
  if (key_state(kTab)) {
    game_state = kTitle;
    play_sound(kClickSound, 1, 1);
  }
  if (key_state(kRight)) craft_x += craft_speed;
  if (key_state(kLeft)) craft_x -= craft_speed;
  if (key_state(kDown)) craft_y += craft_speed;
  if (key_state(kUp)) craft_y -= craft_speed;
  if (craft_x > 295) craft_x = 295;
  if (craft_x < 0) craft_x = 0;
  if (craft_y > 220) craft_y = 220;
  if (craft_y < 0) craft_y = 0;

  print_counters();
  level_counter -= 1;
  if (level_counter < 1) {
    level += 1;
    get_ready_screen();
  }
  points += 1;
  if (shield > 0) shield -= 1;
  set_font(kBigFont);
  if (shield >= 1) {
    print_text("SHIELD", 40, 55);
    print_text("ENABLED", 20, 140);
  }
  show_screen();
}

void logo_screen() {
  load_background("logo.bmp");
  for (int i = 0; i < 100; ++i) show_screen();
  for (int i = 0; i < 200; ++i) show_screen();
  load_background("blank.bmp");
  for (int i = 0; i < 100; ++i) show_screen();
  game_state = kTitle;
}

// The highscore file: one line with the number. A missing or empty file
// means a highscore of 0.
void read_highscore() {
  highscore = 0;
  if (file_exists("hc.txt") == 0 || file_size("hc.txt") <= 0) return;
  open_file(1, "hc.txt", 1);
  read_number_line(1, highscore);
  close_file(1);
}

// Written to a new file that then takes the old one's place, so a crash
// never loses the old highscore; a directory that cannot be written costs
// the new highscore, not the game.
void save_highscore_if_beaten() {
  if (points <= highscore) return;
  highscore = points;
  if (open_file(1, "hc.txt.new", 0) == 0) {
    append_report_line("Highscore not saved: hc.txt.new cannot be created");
    return;
  }
  write_number_line(1, highscore);
  close_file(1);
  if (rename_file("hc.txt.new", "hc.txt") == 0) {
    append_report_line("Highscore not saved: hc.txt cannot be replaced");
    delete_file("hc.txt.new");
  }
}

// Returns false when the player quits.
bool title_screen() {
  play_music("music.mp3");
  scroller_step = 0;
  scroller_delay = 1;
  scroller_x = 321;
  level = 0;
  save_highscore_if_beaten();

  while (game_state == kTitle) {
    set_font(kBigFont);
    print_text("STONE", 65, 1);
    print_text("SWARM", 65, 40);
    for (double y : {140, 200, 215}) draw_line(3, y, 317, y, 16737380);
    set_font(kDescriptionFont);
    print_text("Avoid being hit in the", 9, 95);
    print_text("stone swarm and survive", 9, 105);
    print_text("as long as you can ...!", 9, 115);
    print_text(DynString("Highscore : ") + highscore, 60, 200);
    set_font(kKeyHelpFont);
    print_text("Start Game = Start Button", 10, 150);
    print_text("Menue = Select Button", 35, 162);
    print_text("Quit Game = Right Shift", 20, 174);
    rotate_sprite(1, 10, 20, title_rock_angle);
    rotate_sprite(2, 270, 20, title_rock_angle);
    title_rock_angle -= 1;

    set_font(kScrollerFont);
    scroller_step += 1;
    if (scroller_step > scroller_delay) {
      scroller_step = 1;
      scroller_x -= 1;
    }
    if (scroller_x < -2700) scroller_x = 321;
    print_text(kCredits, scroller_x, 222);

    if (key_state(kReturn)) {
      game_state = kPlaying;
      play_sound(kClickSound, 1, 1);
    }
    if (key_state(kRightShift)) {
      game_state = kQuit;
      play_sound(kClickSound, 1, 1);
    }
    if (key_state(kPageUp)) volume_setting -= 1;
    if (key_state(kPageDown)) volume_setting += 1;
    if (volume_setting >= 1 && volume_setting <= 11 && volume_setting == static_cast<int>(volume_setting)) {
      music_volume = (volume_setting - 1) / 10;
    }
    if (volume_setting > 11) volume_setting = 11;
    if (volume_setting < 0) volume_setting = 0;
    set_music_volume(music_volume);
    show_screen();
  }

  stop_music();
  points = 0;
  if (game_state == kQuit) return false;
  get_ready_screen();
  return true;
}

}  // namespace

void game_main() {
  load_assets();
  dim_array(rock_x, 10);
  dim_array(rock_y, 10);
  dim_array(rock_dx, 10);
  dim_array(rock_dy, 10);
  level = 0;
  game_state = kLogo;
  read_highscore();

  while (game_state != kQuit) {
    if (game_state == kLogo) logo_screen();
    if (game_state == kTitle && !title_screen()) return;
    play_frame();
    if (game_state == kQuit) break;
  }
}

}  // namespace stoneswarm
