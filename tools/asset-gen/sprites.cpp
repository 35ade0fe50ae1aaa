// The rock and the craft: small sprites, shaded as if lit from the top left,
// with hard edges (the key colour around them leaves no room for blending).
#include <cmath>
#include <vector>

#include "pictures.h"

namespace assetgen {
namespace {

struct Vec3 {
  float x, y, z;
};

Vec3 normalised(Vec3 v) {
  const float n = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return {v.x / n, v.y / n, v.z / n};
}

float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

const Vec3 kLight = normalised({-0.62f, -0.72f, 0.95f});

// Darkens the pixels on a sprite's silhouette so that the shape reads on
// any background; edges facing the light stay brighter.
void edge_shade(Canvas& c) {
  std::vector<char> edge(c.alpha.size(), 0);
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      if (c.alpha_at(x, y) < 0.5f) continue;
      auto open = [&](int nx, int ny) { return !c.inside(nx, ny) || c.alpha_at(nx, ny) < 0.5f; };
      if (open(x + 1, y) || open(x, y + 1)) edge[c.index(x, y)] = 2;
      else if (open(x - 1, y) || open(x, y - 1)) edge[c.index(x, y)] = 1;
    }
  for (size_t i = 0; i < edge.size(); ++i) {
    if (edge[i] == 2) c.colour[i] = c.colour[i] * 0.5f;
    if (edge[i] == 1) c.colour[i] = c.colour[i] * 0.82f;
  }
}

// ---- the rock ---------------------------------------------------------------

struct Crater {
  float x, y, radius, depth;
};

const Crater kCraters[] = {
    {10.6f, 11.0f, 2.7f, 1.2f}, {17.4f, 17.0f, 2.1f, 1.0f}, {18.6f, 9.4f, 1.3f, 0.6f}, {8.4f, 18.0f, 1.2f, 0.5f},
};

constexpr float kRockCentre = kRockSize / 2.0f;

float rock_radius(float angle) {
  return 11.4f * (1.0f + 0.085f * std::sin(2.0f * angle + 0.7f) + 0.06f * std::sin(3.0f * angle + 2.1f) +
                  0.045f * std::sin(5.0f * angle + 4.0f) + 0.025f * std::sin(8.0f * angle + 1.3f));
}

bool rock_inside(float x, float y) {
  const float dx = x - kRockCentre, dy = y - kRockCentre;
  return std::hypot(dx, dy) < rock_radius(std::atan2(dy, dx));
}

// Height above the picture plane: a lumpy dome with bowl-shaped craters.
float rock_height(float x, float y) {
  const float dx = x - kRockCentre, dy = y - kRockCentre;
  const float r = rock_radius(std::atan2(dy, dx));
  const float q = std::min(std::hypot(dx, dy) / r, 0.98f);
  float h = std::sqrt(1.0f - q * q) * 11.4f;
  h += (fractal_noise(x * 0.22f, y * 0.22f, 71, 3) - 0.5f) * 1.2f;
  for (const Crater& k : kCraters) {
    const float u = std::hypot(x - k.x, y - k.y) / k.radius;
    if (u < 1.0f) h -= k.depth * (1.0f - u * u);
    h += k.depth * 0.3f * std::exp(-((u - 1.0f) * (u - 1.0f)) / 0.15f);
  }
  return h;
}

Colour rock_albedo(float x, float y) {
  const float n = fractal_noise(x * 0.4f + 3.0f, y * 0.4f, 19, 3);
  return mix(rgb(130, 118, 106), rgb(170, 148, 120), smoothstep(0.35f, 0.65f, n));
}

}  // namespace

Canvas make_rock() { return make_rock(1); }

Canvas make_rock(int scale) {
  const int size = kRockSize * scale;
  const float k = 1.0f / static_cast<float>(scale);  // picture pixels to rock units
  Canvas c(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float px = (x + 0.5f) * k, py = (y + 0.5f) * k;
      if (!rock_inside(px, py)) continue;
      Colour sum;
      for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
          const float sx = (x + 0.25f + 0.5f * i) * k, sy = (y + 0.25f + 0.5f * j) * k;
          const float e = 0.35f;
          const float gx = (rock_height(sx + e, sy) - rock_height(sx - e, sy)) / (2 * e);
          const float gy = (rock_height(sx, sy + e) - rock_height(sx, sy - e)) / (2 * e);
          const Vec3 normal = normalised({-gx, -gy, 1.0f});
          const float diffuse = std::max(0.0f, dot(normal, kLight));
          // A cool rim light from the lower right keeps the dark side shaped.
          const float rim = std::max(0.0f, dot(normal, normalised({0.7f, 0.6f, 0.2f})));
          Colour shade = rock_albedo(sx, sy) * (0.12f + 0.5f * diffuse + 0.75f * diffuse * diffuse);
          shade = shade + rgb(40, 55, 80) * (0.4f * rim * rim);
          sum = sum + shade;
        }
      c.blend(x, y, sum * 0.25f, 1.0f);
    }
  edge_shade(c);
  return c;
}

// ---- the craft --------------------------------------------------------------

namespace {

struct Point {
  float x, y;
};

bool in_polygon(const std::vector<Point>& poly, float x, float y) {
  bool in = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const Point& a = poly[i];
    const Point& b = poly[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
  }
  return in;
}

std::vector<Point> mirrored(const std::vector<Point>& poly) {
  std::vector<Point> out;
  for (const Point& p : poly) out.push_back({kCraftWidth - p.x, p.y});
  return out;
}

bool in_ellipse(float x, float y, float cx, float cy, float rx, float ry) {
  const float u = (x - cx) / rx, v = (y - cy) / ry;
  return u * u + v * v <= 1.0f;
}

bool in_rect(float x, float y, float x0, float y0, float x1, float y1) { return x >= x0 && x < x1 && y >= y0 && y < y1; }

enum Part { kNone, kFlame, kCanopy, kNozzle, kHull, kPod, kWing, kStripe };

const std::vector<Point> kHullShape = {{12.5f, 0.2f}, {14.3f, 4.0f}, {15.4f, 9.0f}, {15.9f, 14.0f}, {15.3f, 17.4f},
                                       {9.7f, 17.4f}, {9.1f, 14.0f}, {9.6f, 9.0f},  {10.7f, 4.0f}};
const std::vector<Point> kLeftWing = {{10.0f, 7.2f}, {2.4f, 13.2f}, {0.5f, 16.2f}, {0.5f, 18.4f}, {9.6f, 16.9f}};
const std::vector<Point> kRightWing = mirrored(kLeftWing);

Part craft_part(float x, float y) {
  const float cx = kCraftWidth / 2.0f;
  const float mx = x < cx ? x : kCraftWidth - x;  // mirrored onto the left half
  if (in_ellipse(mx, y, 10.9f, 18.8f, 1.05f, 1.3f)) return kFlame;
  if (in_ellipse(x, y, cx, 8.0f, 1.9f, 3.3f)) return kCanopy;
  if (in_rect(mx, y, 9.8f, 16.2f, 12.0f, 18.1f)) return kNozzle;
  if (in_polygon(kHullShape, x, y)) return kHull;
  if (in_rect(mx, y, 0.4f, 10.4f, 2.6f, 18.8f)) return kPod;
  if (in_polygon(kLeftWing, x, y) || in_polygon(kRightWing, x, y)) {
    // A red band along the leading edge, inset a little.
    const float ex = 2.4f - 10.0f, ey = 13.2f - 7.2f;
    const float d = ((mx - 10.0f) * ey - (y - 7.2f) * ex) / std::hypot(ex, ey);
    if (std::fabs(d) > 1.6f && std::fabs(d) < 3.0f) return kStripe;
    return kWing;
  }
  return kNone;
}

Colour craft_colour(Part part, float x, float y) {
  const float cx = kCraftWidth / 2.0f;
  const bool lit = x < cx;  // the light comes from the left
  switch (part) {
    case kFlame: {
      const float mx = x < cx ? x : kCraftWidth - x;
      const float d = std::hypot((mx - 10.9f) / 1.05f, (y - 18.8f) / 1.3f);
      return mix(rgb(255, 255, 210), rgb(255, 130, 30), smoothstep(0.2f, 1.0f, d));
    }
    case kCanopy: {
      const float t = (y - 4.7f) / 6.6f;
      Colour c = gradient({rgb(200, 255, 255), rgb(60, 200, 255), rgb(20, 90, 190)}, t);
      if (in_ellipse(x, y, cx - 0.7f, 6.6f, 0.6f, 1.2f)) c = rgb(245, 255, 255);
      return lit ? c : c * 0.85f;
    }
    case kNozzle:
      return rgb(80, 86, 104) * (lit ? 1.0f : 0.75f);
    case kHull: {
      const float t = y / 17.4f;
      const Colour base = gradient({rgb(240, 244, 250), rgb(196, 206, 224), rgb(140, 150, 176)}, t);
      const float side = std::fabs(x - cx);
      float shade = lit ? 1.0f - 0.04f * side : 0.78f - 0.05f * side;
      if (std::fabs(y - 13.0f) < 0.5f) shade *= 0.8f;  // a panel seam
      return base * shade;
    }
    case kPod:
      return gradient({rgb(255, 120, 90), rgb(220, 50, 40), rgb(140, 24, 24)}, (y - 10.4f) / 8.4f) * (lit ? 1.0f : 0.8f);
    case kWing:
      return gradient({rgb(170, 182, 206), rgb(118, 128, 156)}, (y - 7.0f) / 11.4f) * (lit ? 1.0f : 0.8f);
    case kStripe:
      return rgb(230, 60, 50) * (lit ? 1.0f : 0.82f);
    case kNone:
      break;
  }
  return {};
}

}  // namespace

Canvas make_craft() { return make_craft(1); }

Canvas make_craft(int scale) {
  const int width = kCraftWidth * scale, height = kCraftHeight * scale;
  const float k = 1.0f / static_cast<float>(scale);  // picture pixels to craft units
  Canvas c(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      // Opaque when most of the pixel is covered; coloured by its centre.
      int covered = 0;
      for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i)
          if (craft_part((x + (i + 0.5f) / 4) * k, (y + (j + 0.5f) / 4) * k) != kNone) ++covered;
      if (covered < 8) continue;
      const float cx = (x + 0.5f) * k, cy = (y + 0.5f) * k;
      Part part = craft_part(cx, cy);
      if (part == kNone) part = craft_part(cx, (y + 0.25f) * k);
      if (part == kNone) part = kHull;
      c.blend(x, y, craft_colour(part, cx, cy), 1.0f);
    }
  // Flames are light, not metal: keep them bright, shade the rest.
  std::vector<Colour> keep = c.colour;
  edge_shade(c);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (c.alpha_at(x, y) >= 0.5f && craft_part((x + 0.5f) * k, (y + 0.5f) * k) == kFlame)
        c.at(x, y) = keep[c.index(x, y)];
  return c;
}

}  // namespace assetgen
