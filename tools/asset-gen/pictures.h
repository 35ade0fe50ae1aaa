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
Canvas make_play_background();  // "stone.bmp"
Canvas make_title_background(); // "blank.bmp"
Canvas make_logo();             // "logo.bmp"
Canvas make_game_over();        // "gameover.bmp"

}  // namespace assetgen
