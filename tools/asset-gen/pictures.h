// The game's pictures: the two sprites (transparent where alpha is 0) and
// the four full-screen backgrounds.
#pragma once

#include "canvas.h"

namespace assetgen {

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 240;
constexpr int kRockSize = 28;
constexpr int kCraftWidth = 25;
constexpr int kCraftHeight = 20;

Canvas make_rock();             // "asteroid.bmp"
Canvas make_craft();            // "raumer.bmp"
// The same two shapes painted `scale` times larger, with the detail of the
// larger size (not enlarged pixels).
Canvas make_rock(int scale);
Canvas make_craft(int scale);
Canvas make_play_background();  // "stone.bmp"
Canvas make_title_background(); // "blank.bmp"
Canvas make_logo();             // "logo.bmp"
Canvas make_game_over();        // "gameover.bmp"

// The desktop icon "icon.png": the craft below a rock on a rounded tile of
// deep space, kIconSize square, transparent outside the tile.
constexpr int kIconSize = 128;
Canvas make_icon();

}  // namespace assetgen
