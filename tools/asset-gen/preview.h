// A contact sheet of every picture, with the game's screens mocked up at
// their real text positions, for judging the art at a glance.
#pragma once

#include "canvas.h"

namespace assetgen {

struct Assets {
  Canvas rock, craft, play, title, logo, game_over;
  Canvas small_font, body_font, help_font, scroller_font, big_font;
};

Canvas make_preview(const Assets& a);

}  // namespace assetgen
