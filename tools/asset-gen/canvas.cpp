#include "canvas.h"

#include <algorithm>

#include "gfx2d/formats/image_buffer.h"
#include "gfx2d/formats/image_writers.h"

namespace assetgen {

Colour gradient(const std::vector<Colour>& stops, float t) {
  if (stops.size() == 1) return stops[0];
  t = clamp01(t) * static_cast<float>(stops.size() - 1);
  const size_t i = std::min(static_cast<size_t>(t), stops.size() - 2);
  return mix(stops[i], stops[i + 1], t - static_cast<float>(i));
}

void Canvas::fill(Colour c, float a) {
  std::fill(colour.begin(), colour.end(), c);
  std::fill(alpha.begin(), alpha.end(), a);
}

void Canvas::blend(int x, int y, Colour c, float a) {
  if (!inside(x, y) || a <= 0.0f) return;
  a = clamp01(a);
  const size_t i = index(x, y);
  const float below = alpha[i];
  const float out = a + below * (1.0f - a);
  if (out <= 0.0f) return;
  colour[i] = (c * a + colour[i] * (below * (1.0f - a))) * (1.0f / out);
  alpha[i] = out;
}

void Canvas::add(int x, int y, Colour c) {
  if (!inside(x, y)) return;
  colour[index(x, y)] = colour[index(x, y)] + c;
}

void Canvas::draw(const Canvas& src, int x, int y) {
  for (int sy = 0; sy < src.height; ++sy)
    for (int sx = 0; sx < src.width; ++sx) blend(x + sx, y + sy, src.at(sx, sy), src.alpha_at(sx, sy));
}

void Canvas::draw_scaled(const Canvas& src, int x, int y, int factor) {
  for (int sy = 0; sy < src.height * factor; ++sy)
    for (int sx = 0; sx < src.width * factor; ++sx)
      blend(x + sx, y + sy, src.at(sx / factor, sy / factor), src.alpha_at(sx / factor, sy / factor));
}

uint64_t Random::next() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return state_ * 0x2545F4914F6CDD1Dull;
}

namespace {

uint32_t hash2(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return h;
}

float lattice(int x, int y, uint32_t seed, int period) {
  if (period > 0) {
    x = ((x % period) + period) % period;
    y = ((y % period) + period) % period;
  }
  return static_cast<float>(hash2(x, y, seed) & 0xFFFFFF) / 16777215.0f;
}

}  // namespace

float value_noise(float x, float y, uint32_t seed, int period) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  float tx = x - fx, ty = y - fy;
  tx = tx * tx * (3.0f - 2.0f * tx);
  ty = ty * ty * (3.0f - 2.0f * ty);
  const float a = lattice(ix, iy, seed, period), b = lattice(ix + 1, iy, seed, period);
  const float c = lattice(ix, iy + 1, seed, period), d = lattice(ix + 1, iy + 1, seed, period);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fractal_noise(float x, float y, uint32_t seed, int octaves, int period) {
  float sum = 0.0f, amplitude = 0.5f, norm = 0.0f;
  for (int o = 0; o < octaves; ++o) {
    sum += value_noise(x, y, seed + static_cast<uint32_t>(o) * 101u, period) * amplitude;
    norm += amplitude;
    amplitude *= 0.5f;
    x *= 2.0f;
    y *= 2.0f;
    if (period > 0) period *= 2;
  }
  return sum / norm;
}

void add_glow(Canvas& c, float cx, float cy, float radius, Colour colour, float falloff) {
  const int x0 = std::max(0, static_cast<int>(cx - radius)), x1 = std::min(c.width - 1, static_cast<int>(cx + radius) + 1);
  const int y0 = std::max(0, static_cast<int>(cy - radius)), y1 = std::min(c.height - 1, static_cast<int>(cy + radius) + 1);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / radius;
      if (d < 1.0f) c.add(x, y, colour * std::pow(1.0f - d, falloff));
    }
}

void add_star(Canvas& c, float x, float y, float brightness, Colour tint) {
  const int ix = static_cast<int>(x), iy = static_cast<int>(y);
  // Split the core over two pixels by the sub-pixel position for softness.
  const float fx = x - ix;
  c.add(ix, iy, tint * (brightness * (1.0f - 0.5f * fx)));
  c.add(ix + 1, iy, tint * (brightness * 0.5f * fx));
  if (brightness > 0.55f) {
    const float arm = (brightness - 0.55f) * 0.9f;
    c.add(ix - 1, iy, tint * arm);
    c.add(ix + 1, iy, tint * arm);
    c.add(ix, iy - 1, tint * arm);
    c.add(ix, iy + 1, tint * arm);
  }
  if (brightness > 0.9f) {
    const float arm = (brightness - 0.9f) * 0.8f;
    c.add(ix - 2, iy, tint * arm);
    c.add(ix + 2, iy, tint * arm);
    c.add(ix, iy - 2, tint * arm);
    c.add(ix, iy + 2, tint * arm);
  }
}

namespace {

uint8_t to_byte(float v) { return static_cast<uint8_t>(std::lround(clamp01(v) * 255.0f)); }

}  // namespace

std::vector<uint8_t> to_bgr(const Canvas& c) {
  std::vector<uint8_t> bgr(static_cast<size_t>(c.width) * c.height * 3);
  for (size_t i = 0; i < c.colour.size(); ++i) {
    bgr[i * 3 + 0] = to_byte(c.colour[i].b);
    bgr[i * 3 + 1] = to_byte(c.colour[i].g);
    bgr[i * 3 + 2] = to_byte(c.colour[i].r);
  }
  return bgr;
}

namespace {

bool write_bgr(const std::vector<uint8_t>& bgr, int width, int height, const std::string& path) {
  const std::vector<uint8_t> file =
      quarvel::encode_bitmap(bgr.data(), width, height, width, true, quarvel::kNoColourKey);
  return !file.empty() && quarvel::write_file_bytes(path.c_str(), file);
}

}  // namespace

bool save_bitmap(const Canvas& c, const std::string& path) { return write_bgr(to_bgr(c), c.width, c.height, path); }

bool save_sprite(const Canvas& c, const std::string& path) {
  std::vector<uint8_t> bgr = to_bgr(c);
  for (size_t i = 0; i < c.alpha.size(); ++i) {
    uint8_t* p = &bgr[i * 3];
    if (c.alpha[i] < 0.5f) {
      p[0] = 128, p[1] = 0, p[2] = 255;
    } else if (p[0] == 128 && p[1] == 0 && p[2] == 255) {
      p[0] = 127;  // an opaque pixel must never read as the key
    }
  }
  return write_bgr(bgr, c.width, c.height, path);
}

bool save_font(const Canvas& c, const std::string& path) {
  std::vector<uint8_t> bgr = to_bgr(c);
  for (size_t i = 0; i < c.alpha.size(); ++i) {
    uint8_t* p = &bgr[i * 3];
    if (c.alpha[i] < 0.5f) {
      p[0] = p[1] = p[2] = 0;
    } else {
      for (int k = 0; k < 3; ++k) p[k] = std::max<uint8_t>(p[k], 6);
    }
  }
  return write_bgr(bgr, c.width, c.height, path);
}

bool save_png(const Canvas& c, const std::string& path) {
  std::vector<uint8_t> bgra(static_cast<size_t>(c.width) * c.height * 4);
  for (size_t i = 0; i < c.colour.size(); ++i) {
    bgra[i * 4 + 0] = to_byte(c.colour[i].b);
    bgra[i * 4 + 1] = to_byte(c.colour[i].g);
    bgra[i * 4 + 2] = to_byte(c.colour[i].r);
    bgra[i * 4 + 3] = to_byte(c.alpha[i]);
  }
  const std::vector<uint8_t> file = quarvel::encode_png(bgra.data(), c.width, c.height);
  return !file.empty() && quarvel::write_file_bytes(path.c_str(), file);
}

}  // namespace assetgen
