// The full-screen pictures: play field, title background, the runtime's logo
// screen and the game-over artwork. All are dark enough for light text.
#include <cmath>
#include <string>

#include "fonts.h"
#include "pictures.h"

namespace assetgen {
namespace {

constexpr int W = kScreenWidth;
constexpr int H = kScreenHeight;

// A field of stars: mostly faint, a few bright ones with glints.
void scatter_stars(Canvas& c, uint64_t seed, int count, float max_brightness) {
  Random random(seed);
  const Colour tints[] = {rgb(255, 255, 255), rgb(200, 220, 255), rgb(255, 240, 210), rgb(180, 200, 255),
                          rgb(255, 220, 200)};
  for (int i = 0; i < count; ++i) {
    const float x = random.range(0.0f, W - 1.0f), y = random.range(0.0f, H - 1.0f);
    const float u = random.uniform();
    const float brightness = max_brightness * (0.12f + 0.88f * u * u * u * u);
    add_star(c, x, y, brightness, tints[random.below(5)]);
  }
}

// Wispy clouds of gas: domain-warped fractal noise shaped into filaments.
float nebula_density(float x, float y, uint32_t seed, float scale) {
  const float wx = fractal_noise(x * scale, y * scale, seed, 4);
  const float wy = fractal_noise(x * scale + 5.2f, y * scale + 1.3f, seed + 7, 4);
  const float n = fractal_noise(x * scale + 3.0f * wx, y * scale + 3.0f * wy, seed + 13, 5);
  return smoothstep(0.42f, 0.78f, n);
}

}  // namespace

Canvas make_play_background() {
  Canvas c(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      Colour base = mix(rgb(3, 4, 14), rgb(9, 5, 20), static_cast<float>(y) / H);
      const float violet = nebula_density(x, y, 11, 0.012f);
      const float teal = nebula_density(x + 400.0f, y, 29, 0.016f);
      base = base + rgb(62, 22, 84) * (0.55f * violet) + rgb(10, 58, 76) * (0.45f * teal * (1.0f - 0.5f * violet));
      // Fine dust.
      base = base + rgb(20, 16, 30) * (0.3f * fractal_noise(x * 0.15f, y * 0.15f, 5, 3) * violet);
      // Darker band behind the counters line at the top.
      const float band = 0.45f + 0.55f * smoothstep(8.0f, 34.0f, static_cast<float>(y));
      c.at(x, y) = base * band;
      c.alpha_at(x, y) = 1.0f;
    }
  // A planet rising at the lower right, its lit crescent facing top left.
  const float pcx = 300.0f, pcy = 262.0f, pr = 70.0f;
  for (int y = 170; y < H; ++y)
    for (int x = 200; x < W; ++x) {
      const float dx = x + 0.5f - pcx, dy = y + 0.5f - pcy;
      const float d = std::hypot(dx, dy);
      if (d < pr) {
        const float nz = std::sqrt(std::max(0.0f, 1.0f - (d / pr) * (d / pr)));
        const float light = std::max(0.0f, (-dx * 0.6f - dy * 0.7f) / pr + nz * 0.25f);
        const float bands = fractal_noise(x * 0.05f, y * 0.28f, 91, 3);
        Colour surface = mix(rgb(30, 50, 90), rgb(60, 90, 130), bands);
        c.at(x, y) = mix(c.at(x, y) * 0.3f, surface * (0.08f + 0.75f * light), 0.95f);
      } else if (d < pr + 6.0f) {
        const float glow = 1.0f - (d - pr) / 6.0f;
        const float lit = std::max(0.0f, (-dx * 0.6f - dy * 0.7f) / d);
        c.add(x, y, rgb(60, 110, 200) * (0.5f * glow * glow * lit));
      }
    }
  scatter_stars(c, 1234, 420, 1.0f);
  return c;
}

Canvas make_title_background() {
  Canvas c(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const float t = static_cast<float>(y) / H;
      Colour base = gradient({rgb(4, 6, 22), rgb(10, 8, 34), rgb(20, 10, 40), rgb(10, 6, 24)}, t);
      // A soft haze behind the title words.
      const float hx = (x - 160.0f) / 150.0f, hy = (y - 45.0f) / 60.0f;
      base = base + rgb(26, 24, 70) * (0.7f * std::exp(-(hx * hx + hy * hy)));
      const float cloud = nebula_density(x, y * 1.6f, 47, 0.01f);
      base = base + rgb(30, 14, 50) * (0.35f * cloud);
      c.at(x, y) = base;
      c.alpha_at(x, y) = 1.0f;
    }
  scatter_stars(c, 77, 260, 0.55f);
  return c;
}

Canvas make_logo() {
  Canvas c(W, H);
  const float cx = 160.0f, cy = 92.0f;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const float d = std::hypot((x - cx) / 220.0f, (y - cy) / 170.0f);
      c.at(x, y) = mix(rgb(16, 30, 58), rgb(2, 3, 10), smoothstep(0.0f, 1.0f, d));
      c.alpha_at(x, y) = 1.0f;
    }
  scatter_stars(c, 2024, 90, 0.35f);

  // The emblem: a ring with a tail, lit from the top left, around a spark.
  const float ring = 30.0f, thickness = 7.0f;
  for (int y = 40; y < 140; ++y)
    for (int x = 100; x < 220; ++x) {
      float cover = 0.0f;
      Colour sum;
      for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
          const float sx = x + (i + 0.5f) / 4, sy = y + (j + 0.5f) / 4;
          const float dx = sx - cx, dy = sy - cy;
          const float d = std::hypot(dx, dy);
          const float across = (d - ring) / thickness;  // -1..1 across the band
          // The tail: a bar from inside the ring out to the lower right.
          const float tx = (dx + dy) * 0.7071f, ty = (dy - dx) * 0.7071f;
          const bool tail = tx > 14.0f && tx < 46.0f && std::fabs(ty) < 4.5f - (tx - 14.0f) * 0.05f;
          if (std::fabs(across) > 1.0f && !tail) continue;
          float nz = tail ? 0.8f : std::sqrt(std::max(0.0f, 1.0f - across * across));
          const float nx = tail ? -0.2f : across * dx / d, ny = tail ? 0.0f : across * dy / d;
          const float light = std::max(0.0f, -0.55f * nx - 0.65f * ny + 0.52f * nz);
          const float gloss = std::pow(light, 24.0f);
          Colour base = gradient({rgb(120, 230, 255), rgb(40, 130, 230), rgb(30, 50, 150)}, (sy - (cy - ring)) / (2 * ring + 20.0f));
          sum = sum + base * (0.25f + 0.9f * light) + rgb(255, 255, 255) * (0.8f * gloss);
          cover += 1.0f / 16.0f;
        }
      if (cover > 0.0f) c.blend(x, y, sum * (1.0f / (cover * 16.0f)), cover);
    }
  add_glow(c, cx, cy, 26.0f, rgb(120, 200, 255), 2.2f);
  add_glow(c, cx, cy, 7.0f, rgb(255, 255, 255), 1.5f);

  StrokeStyle name = title_style();
  name.step_x = 4.6f;
  name.step_y = 3.3f;
  name.pen = 2.3f;
  name.outline = 1.5f;
  name.outline_colour = rgb(4, 10, 30);
  name.shadow_x = name.shadow_y = 0.0f;
  name.fill = {rgb(255, 255, 255), rgb(190, 230, 255), rgb(110, 170, 240), rgb(70, 110, 200)};
  name.bevel = 0.35f;
  const std::string word = "QUARVEL";
  const float advance = name.glyph_width() + 2 * name.outline + 6.0f;
  const float width = advance * word.size() - 6.0f;
  draw_stroke_text(c, word, cx - width / 2, 140.0f, advance, name, false);

  StrokeStyle small;
  small.step_x = 1.6f;
  small.step_y = 1.4f;
  small.pen = 0.8f;
  small.outline = 0.0f;
  small.fill = {rgb(150, 170, 210)};
  const std::string above = "POWERED BY";
  const float small_advance = small.glyph_width() + 3.0f;
  draw_stroke_text(c, above, cx - (small_advance * above.size() - 3.0f) / 2, 24.0f, small_advance, small, false);
  small.fill = {rgb(90, 120, 180)};
  const std::string below = "2D GAME RUNTIME";
  draw_stroke_text(c, below, cx - (small_advance * below.size() - 3.0f) / 2, 190.0f, small_advance, small, false);
  // A fine rule between the name and the line below it.
  for (int x = 100; x < 220; ++x) {
    const float fade = 1.0f - std::fabs(x - 160.0f) / 60.0f;
    c.add(x, 181, rgb(60, 110, 200) * fade);
  }
  return c;
}

Canvas make_game_over() {
  Canvas c(W, H);
  const float cx = 160.0f, cy = 120.0f;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const float d = std::hypot((x - cx) / 200.0f, (y - cy) / 150.0f);
      Colour base = mix(rgb(40, 8, 10), rgb(6, 2, 8), smoothstep(0.0f, 1.1f, d));
      const float smoke = nebula_density(x, y, 63, 0.018f);
      base = base + rgb(70, 20, 12) * (0.45f * smoke * (1.0f - smoothstep(0.2f, 1.2f, d)));
      c.at(x, y) = base;
      c.alpha_at(x, y) = 1.0f;
    }
  scatter_stars(c, 404, 140, 0.5f);
  // The blast: a hot core with rays.
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      const float d = std::hypot(dx, dy);
      const float a = std::atan2(dy, dx);
      const float rays = std::pow(0.5f + 0.5f * std::sin(a * 9.0f + 0.3f) * std::sin(a * 5.0f + 1.1f), 3.0f);
      const float ray_glow = rays * std::exp(-d / 70.0f) * 0.5f;
      const float core = std::exp(-d / 28.0f);
      c.add(x, y, rgb(255, 120, 40) * (0.55f * core + ray_glow) + rgb(255, 230, 160) * (0.3f * core * core));
    }
  // Flying debris.
  Random random(99);
  for (int i = 0; i < 34; ++i) {
    const float a = random.range(0.0f, 6.2832f), d = random.range(50.0f, 150.0f);
    const float x = cx + std::cos(a) * d * 1.3f, y = cy + std::sin(a) * d;
    const float size = random.range(1.0f, 3.2f);
    for (int yy = -4; yy <= 4; ++yy)
      for (int xx = -4; xx <= 4; ++xx) {
        const float u = std::hypot(xx * 1.0f, yy * 1.0f) / size;
        if (u > 1.0f) continue;
        const float light = 0.5f - 0.5f * (xx * std::cos(a) + yy * std::sin(a)) / (size + 0.5f);
        c.blend(static_cast<int>(x) + xx, static_cast<int>(y) + yy, mix(rgb(30, 18, 16), rgb(200, 110, 60), light), 1.0f);
      }
  }

  StrokeStyle big = title_style();
  big.step_x = 8.0f;
  big.step_y = 6.0f;
  big.pen = 4.2f;
  big.outline = 2.5f;
  big.shadow_x = big.shadow_y = 3.0f;
  big.fill = {rgb(255, 245, 200), rgb(255, 190, 70), rgb(240, 80, 30), rgb(160, 20, 20)};
  big.bevel = 0.5f;
  big.bevel_width = 1.8f;
  const float advance = big.glyph_width() + 2 * big.outline + 8.0f;
  const float width = advance * 4 - 8.0f;
  draw_stroke_text(c, "GAME", cx - width / 2, 38.0f, advance, big, false);
  draw_stroke_text(c, "OVER", cx - width / 2, 118.0f, advance, big, false);

  StrokeStyle small;
  small.step_x = 1.75f;
  small.step_y = 1.5f;
  small.pen = 0.9f;
  small.outline = 1.0f;
  small.outline_colour = rgb(20, 4, 4);
  small.fill = {rgb(255, 230, 200), rgb(255, 170, 120)};
  const std::string line = "THE SWARM WINS THIS TIME";
  const float small_advance = 11.0f;
  draw_stroke_text(c, line, cx - (small_advance * line.size()) / 2, 206.0f, small_advance, small, false);
  return c;
}

}  // namespace assetgen
