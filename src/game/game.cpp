// Stone Swarm's main routine. For now a single screen: a block that bounces
// around the surface until the player quits (Escape, Alt+F4 or the close
// button).
#include <quarvel/quarvel.h>

#include "game.h"

namespace stoneswarm {

using namespace quarvel;

void game_main() {
  double width = 0, height = 0;
  get_screen_size(width, height);
  double x = 40, y = 30, dx = 1.5, dy = 1;
  const double size = 24;
  for (;;) {
    draw_rect(0, 0, width, height, 0x201008);
    for (double gy = 0; gy < height; gy += 16) draw_line(0, gy, width - 1, gy, 0x402818);
    x += dx;
    y += dy;
    if (x < 0 || x + size > width) dx = -dx;
    if (y < 0 || y + size > height) dy = -dy;
    draw_rect(x, y, size, size, 0x30C0FF);
    draw_rect(x + 4, y + 4, size - 8, size - 8, 0x1070E0);
    show_screen();
  }
}

}  // namespace stoneswarm
