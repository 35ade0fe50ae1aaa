#pragma once

namespace stoneswarm {

// The game's main routine: runs its screens until the player quits.
void game_main();

}  // namespace stoneswarm
