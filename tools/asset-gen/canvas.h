// Floating-point RGBA pictures and the small toolbox the asset painters
// share: colours, blending, value noise, a seeded random source and the
// conversions to the 24-bit bitmaps and PNGs the game reads.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Colour {
  float r = 0, g = 0, b = 0;
};

inline Colour rgb(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }
inline Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Colour operator*(Colour a, float k) { return {a.r * k, a.g * k, a.b * k}; }
inline Colour operator*(Colour a, Colour b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
inline Colour mix(Colour a, Colour b, float t) { return a * (1.0f - t) + b * t; }

inline float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }
inline float smoothstep(float e0, float e1, float x) {
  const float t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3.0f - 2.0f * t);
}

// Colour at t (0..1) along evenly spaced stops.
Colour gradient(const std::vector<Colour>& stops, float t);

struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<Colour> colour;
  std::vector<float> alpha;  // 0 transparent .. 1 opaque

  Canvas() = default;
  Canvas(int w, int h) : width(w), height(h), colour(static_cast<size_t>(w) * h), alpha(static_cast<size_t>(w) * h, 0.0f) {}

  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  size_t index(int x, int y) const { return static_cast<size_t>(y) * width + x; }
  Colour& at(int x, int y) { return colour[index(x, y)]; }
  const Colour& at(int x, int y) const { return colour[index(x, y)]; }
  float& alpha_at(int x, int y) { return alpha[index(x, y)]; }
  float alpha_at(int x, int y) const { return alpha[index(x, y)]; }

  void fill(Colour c, float a = 1.0f);
  // Source-over blend of one pixel; ignored outside the picture.
  void blend(int x, int y, Colour c, float a);
  // Additive light, for glows and stars (alpha untouched).
  void add(int x, int y, Colour c);
  // Pastes `src` with its alpha at (x, y).
  void draw(const Canvas& src, int x, int y);
  // Pastes `src` scaled up by an integer factor, nearest neighbour.
  void draw_scaled(const Canvas& src, int x, int y, int factor);
};

// Deterministic random numbers (xorshift64*), so every build paints the same
// pictures and writes the same bytes.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
  uint64_t next();
  float uniform() { return static_cast<float>(next() >> 40) / 16777216.0f; }  // [0, 1)
  float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

 private:
  uint64_t state_;
};

// Smooth value noise in [0, 1] and its fractal sum, tileable with period
// `period` when period > 0.
float value_noise(float x, float y, uint32_t seed, int period = 0);
float fractal_noise(float x, float y, uint32_t seed, int octaves, int period = 0);

// Adds a soft round glow: colour scaled by (1 - d / radius)^falloff.
void add_glow(Canvas& c, float cx, float cy, float radius, Colour colour, float falloff);
// A star: a bright core pixel with a faint cross for the brightest ones.
void add_star(Canvas& c, float x, float y, float brightness, Colour tint);

// Output conversions. 8-bit channels are rounded and clamped.
std::vector<uint8_t> to_bgr(const Canvas& c);
// Opaque picture (alpha ignored).
bool save_bitmap(const Canvas& c, const std::string& path);
// Sprite: pixels with alpha below one half become the key colour
// (red 255, green 0, blue 128); no opaque pixel may end up as the key.
bool save_sprite(const Canvas& c, const std::string& path);
// Font: transparent pixels become black; opaque pixels are lifted so that
// none of them is pure black.
bool save_font(const Canvas& c, const std::string& path);
bool save_png(const Canvas& c, const std::string& path);

}  // namespace assetgen
