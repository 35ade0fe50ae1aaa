// The desktop icon: the game's rock and craft, painted larger than in the
// game, on a rounded tile of deep space.
#include <algorithm>
#include <cmath>

#include "pictures.h"

namespace assetgen {
namespace {

constexpr float kTileInset = 4.0f;
constexpr float kTileCorner = 22.0f;

// Signed distance from a pixel centre to the tile's rounded outline
// (negative inside).
float tile_distance(float x, float y) {
  const float half = kIconSize / 2.0f - kTileInset;
  const float c = kIconSize / 2.0f;
  const float qx = std::fabs(x - c) - (half - kTileCorner);
  const float qy = std::fabs(y - c) - (half - kTileCorner);
  const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - kTileCorner;
}

}  // namespace

Canvas make_icon() {
  constexpr int S = kIconSize;
  Canvas c(S, S);
  for (int y = 0; y < S; ++y)
    for (int x = 0; x < S; ++x) {
      const float px = x + 0.5f, py = y + 0.5f;
      const float d = tile_distance(px, py);
      const float cover = clamp01(0.5f - d);
      if (cover <= 0.0f) continue;
      const float t = py / S;
      Colour base = gradient({rgb(10, 12, 38), rgb(18, 10, 46), rgb(8, 6, 26)}, t);
      const float gas = smoothstep(0.45f, 0.8f, fractal_noise(px * 0.035f, py * 0.035f, 41, 4));
      base = base + rgb(70, 26, 96) * (0.6f * gas) + rgb(12, 60, 80) * (0.3f * (1.0f - gas) * t);
      // A bright rim just inside the outline, strongest along the top.
      const float rim = smoothstep(-3.0f, -0.5f, d) * (1.0f - smoothstep(-0.5f, 0.5f, d));
      base = base + rgb(90, 120, 200) * (rim * (0.25f + 0.45f * (1.0f - t)));
      c.blend(x, y, base, cover);
    }
  Random random(77);
  for (int i = 0; i < 34; ++i) {
    const float x = random.range(10.0f, S - 12.0f), y = random.range(10.0f, S - 12.0f);
    const float u = random.uniform();
    if (tile_distance(x, y) > -4.0f) continue;
    add_star(c, x, y, 0.2f + 0.8f * u * u * u, rgb(220, 230, 255));
  }

  // The rock at the upper right, lit from the top left like in the game,
  // with a faint halo so that its dark side stands off the sky.
  const Canvas rock = make_rock(3);
  const int rock_x = 35, rock_y = 9;
  add_glow(c, rock_x + rock.width / 2.0f, rock_y + rock.height / 2.0f, 50.0f, rgb(60, 50, 90), 2.0f);
  c.draw(rock, rock_x, rock_y);

  // The craft at the lower left, climbing towards it on its exhaust.
  const Canvas craft = make_craft(2);
  const int craft_x = 12, craft_y = 74;
  add_glow(c, craft_x + craft.width / 2.0f, craft_y + craft.height + 3.0f, 12.0f, rgb(255, 140, 40), 1.6f);
  c.draw(craft, craft_x, craft_y);

  // Light added past the outline (glows, stars) must not show outside it.
  for (int y = 0; y < S; ++y)
    for (int x = 0; x < S; ++x)
      if (c.alpha_at(x, y) <= 0.0f) c.at(x, y) = Colour{};
  return c;
}

}  // namespace assetgen
