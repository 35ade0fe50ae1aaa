#include "preview.h"

#include <cmath>
#include <string>

#include "fonts.h"
#include "pictures.h"

namespace assetgen {
namespace {

const char kCredits[] = "Stone Swarm - made with the Quarvel runtime";

// A sprite drawn the way the game shows it: key-coloured pixels left out,
// optionally turned about its centre (nearest neighbour).
void draw_sprite(Canvas& dst, const Canvas& sprite, int x, int y, float degrees = 0.0f) {
  const float a = degrees * 3.14159265f / 180.0f, ca = std::cos(a), sa = std::sin(a);
  const float cx = sprite.width / 2.0f, cy = sprite.height / 2.0f;
  const int reach = static_cast<int>(std::hypot(cx, cy)) + 1;
  for (int yy = -reach; yy <= reach; ++yy)
    for (int xx = -reach; xx <= reach; ++xx) {
      const float sx = ca * (xx + 0.5f) + sa * (yy + 0.5f) + cx, sy = -sa * (xx + 0.5f) + ca * (yy + 0.5f) + cy;
      const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
      if (!sprite.inside(ix, iy) || sprite.alpha_at(ix, iy) < 0.5f) continue;
      dst.blend(x + static_cast<int>(cx) + xx, y + static_cast<int>(cy) + yy, sprite.at(ix, iy), 1.0f);
    }
}

void hline(Canvas& c, int x0, int x1, int y, Colour colour) {
  for (int x = x0; x <= x1; ++x) c.blend(x, y, colour, 1.0f);
}

Canvas title_screen(const Assets& a) {
  Canvas s = a.title;
  print_with_font(s, a.big_font, "STONE", 65, 1);
  print_with_font(s, a.big_font, "SWARM", 65, 40);
  const Colour line = rgb(100, 100, 255);
  hline(s, 3, 317, 140, line);
  hline(s, 3, 317, 200, line);
  hline(s, 3, 317, 215, line);
  print_with_font(s, a.body_font, "Avoid being hit in the", 9, 95);
  print_with_font(s, a.body_font, "stone swarm and survive", 9, 105);
  print_with_font(s, a.body_font, "as long as you can ...!", 9, 115);
  print_with_font(s, a.body_font, "Highscore : 12345", 60, 200);
  print_with_font(s, a.help_font, "Start Game = Start Button", 10, 150);
  print_with_font(s, a.help_font, "Menue = Select Button", 35, 162);
  print_with_font(s, a.help_font, "Quit Game = Right Shift", 20, 174);
  draw_sprite(s, a.rock, 10, 20, -30.0f);
  draw_sprite(s, a.rock, 270, 20, -30.0f);
  print_with_font(s, a.scroller_font, kCredits, 12, 222);
  return s;
}

void counters(Canvas& s, const Assets& a) {
  print_with_font(s, a.scroller_font, "Counter= 1987", 0, 0);
  print_with_font(s, a.scroller_font, "Points= 12345", 170, 0);
}

Canvas play_screen(const Assets& a) {
  Canvas s = a.play;
  const int rocks[][2] = {{40, 60}, {230, 40}, {120, 170}, {270, 150}, {20, 200}, {180, 90}};
  for (const auto& r : rocks) draw_sprite(s, a.rock, r[0], r[1]);
  draw_sprite(s, a.craft, 150, 110);
  counters(s, a);
  print_with_font(s, a.big_font, "SHIELD", 40, 55);
  print_with_font(s, a.big_font, "ENABLED", 20, 140);
  return s;
}

Canvas get_ready_screen(const Assets& a) {
  Canvas s = a.play;
  counters(s, a);
  print_with_font(s, a.big_font, "GET", 105, 70);
  print_with_font(s, a.big_font, "READY", 60, 115);
  return s;
}

}  // namespace

Canvas make_preview(const Assets& a) {
  Canvas sheet(1280, 2060);
  sheet.fill(rgb(40, 40, 46));
  sheet.draw_scaled(title_screen(a), 0, 0, 2);
  sheet.draw_scaled(play_screen(a), 640, 0, 2);
  sheet.draw_scaled(get_ready_screen(a), 0, 480, 2);
  sheet.draw_scaled(a.game_over, 640, 480, 2);
  sheet.draw(a.logo, 0, 960);
  sheet.draw(a.play, 320, 960);
  sheet.draw(a.title, 640, 960);
  sheet.draw(a.game_over, 960, 960);

  // Fonts: the sheets on dark grey (black is their transparent colour) and
  // a sample line of each.
  int y = 1210;
  sheet.draw(a.big_font, 0, y);
  Canvas sprites(60, 30);
  sprites.fill(rgb(255, 0, 128));
  draw_sprite(sprites, a.rock, 1, 1);
  draw_sprite(sprites, a.craft, 32, 5);
  sheet.draw_scaled(sprites, 620, y, 6);
  Canvas on_field(60, 30);
  for (int yy = 0; yy < 30; ++yy)
    for (int xx = 0; xx < 60; ++xx) on_field.blend(xx, yy, a.play.at(xx + 40, yy + 60), 1.0f);
  draw_sprite(on_field, a.rock, 1, 1);
  draw_sprite(on_field, a.craft, 32, 5);
  sheet.draw_scaled(on_field, 620, y + 190, 3);
  sheet.draw_scaled(a.scroller_font, 900, y + 190, 2);
  y += 320;
  const Canvas* fonts[] = {&a.small_font, &a.body_font, &a.help_font, &a.scroller_font};
  int x = 0;
  for (const Canvas* f : fonts) {
    sheet.draw(*f, x, y);
    x += f->width + 20;
  }
  y += 140;
  Canvas samples(640, 260);
  samples.fill(rgb(14, 12, 30));
  int sy = 4;
  for (const Canvas* f : fonts) {
    print_with_font(samples, *f, "STONE SWARM 0123 abc", 4, sy);
    sy += f->height / 8 + 4;
  }
  print_with_font(samples, a.scroller_font, "The quick brown fox jumps over 9 lazy dogs!", 4, sy);
  sy += 20;
  print_with_font(samples, a.big_font, "STONE Sw 0123", 4, sy);
  sy += 42;
  print_with_font(samples, a.big_font, "abc?!", 4, sy);
  sheet.draw_scaled(samples, 0, y, 2);
  return sheet;
}

}  // namespace assetgen
