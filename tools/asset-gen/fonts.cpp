#include "fonts.h"

#include <algorithm>
#include <cmath>

#include "glyphs.h"
#include "gfx2d/formats/builtin_font.h"

namespace assetgen {
namespace {

constexpr int kCodes = 128;
constexpr int kColumns = 16;
constexpr float kInvSqrt2 = 0.70710678f;

// Whether point (px, py) lies within the pen of radius r (and diagonal
// reach r_diag) swept along the segment.
bool in_swept_pen(const Segment& s, float px, float py, float r, float r_diag, bool round) {
  const float dx = s.x1 - s.x0, dy = s.y1 - s.y0;
  const float rx = px - s.x0, ry = py - s.y0;
  if (round) {
    const float len2 = dx * dx + dy * dy;
    float t = len2 > 0.0f ? (rx * dx + ry * dy) / len2 : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    const float ex = rx - t * dx, ey = ry - t * dy;
    return ex * ex + ey * ey <= r * r;
  }
  // Clip the segment's parameter range against the pen's eight half-planes.
  static const float normals[8][2] = {{1, 0},  {-1, 0}, {0, 1}, {0, -1}, {kInvSqrt2, kInvSqrt2}, {-kInvSqrt2, -kInvSqrt2},
                                      {kInvSqrt2, -kInvSqrt2}, {-kInvSqrt2, kInvSqrt2}};
  float lo = 0.0f, hi = 1.0f;
  for (int i = 0; i < 8; ++i) {
    const float nx = normals[i][0], ny = normals[i][1];
    const float reach = i < 4 ? r : r_diag;
    const float k = nx * dx + ny * dy;
    const float m = reach - (nx * rx + ny * ry);
    if (std::fabs(k) < 1e-6f) {
      if (m < 0.0f) return false;
    } else if (k > 0.0f) {
      lo = std::max(lo, -m / k);
    } else {
      hi = std::min(hi, -m / k);
    }
    if (lo > hi) return false;
  }
  return true;
}

struct StrokeShape {
  std::vector<Segment> strokes;  // in pixels
  bool round = false;
  float pen = 0, pen_diag = 0;

  bool inside(float px, float py, float grow) const {
    for (const Segment& s : strokes)
      if (in_swept_pen(s, px, py, pen + grow, pen_diag + grow, round)) return true;
    return false;
  }
};

bool is_lower(int code) { return code >= 'a' && code <= 'z'; }

}  // namespace

namespace {

void draw_stroke_char_impl(Canvas& c, int code, float x, float y, const StrokeStyle& s, bool hard_edges,
                           bool small_caps) {
  StrokeShape shape;
  shape.round = s.pen_corner <= 0.0f;
  shape.pen = s.pen;
  shape.pen_diag = s.pen * s.pen_corner;
  const float left = x + s.outline + s.pen;
  const float top = y + s.outline + s.pen;
  // Small capitals: the capital's strokes over five sixths of the height,
  // standing on the baseline.
  const bool as_small_cap = small_caps && is_lower(code);
  const int shape_code = as_small_cap ? code - 32 : code;
  const float row_step = as_small_cap ? s.step_y * 5.0f / 6.0f : s.step_y;
  const float row_top = as_small_cap ? top + s.step_y : top;
  auto map_y = [&](float gy) {
    if (gy <= kGlyphBaselineRow) return row_top + gy * row_step;
    return row_top + kGlyphBaselineRow * row_step + (gy - kGlyphBaselineRow) * s.step_descender;
  };
  for (const Segment& g : glyph_strokes(shape_code))
    shape.strokes.push_back({left + g.x0 * s.step_x, map_y(g.y0), left + g.x1 * s.step_x, map_y(g.y1)});
  if (shape.strokes.empty()) return;

  const float cap_top = y + s.outline;
  const float cap_height = s.cap_height();
  const float reach = s.outline + s.pen + 1.0f;
  float min_x = 1e9f, min_y = 1e9f, max_x = -1e9f, max_y = -1e9f;
  for (const Segment& g : shape.strokes) {
    min_x = std::min({min_x, g.x0, g.x1});
    max_x = std::max({max_x, g.x0, g.x1});
    min_y = std::min({min_y, g.y0, g.y1});
    max_y = std::max({max_y, g.y0, g.y1});
  }
  const int x0 = static_cast<int>(std::floor(min_x - reach)), x1 = static_cast<int>(std::ceil(max_x + reach + s.shadow_x));
  const int y0 = static_cast<int>(std::floor(min_y - reach)), y1 = static_cast<int>(std::ceil(max_y + reach + s.shadow_y));
  const int n = std::max(1, s.samples);
  const bool has_shadow = s.shadow_x != 0.0f || s.shadow_y != 0.0f;
  const float b = s.bevel_width * kInvSqrt2;

  for (int py = y0; py <= y1; ++py)
    for (int px = x0; px <= x1; ++px) {
      if (!c.inside(px, py)) continue;
      Colour sum;
      int covered = 0;
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
          const float sx = px + (i + 0.5f) / n, sy = py + (j + 0.5f) / n;
          Colour sample;
          if (shape.inside(sx, sy, 0.0f)) {
            sample = gradient(s.fill, (sy - cap_top) / cap_height);
            if (s.bevel > 0.0f) {
              if (!shape.inside(sx - b, sy - b, 0.0f)) sample = mix(sample, rgb(255, 255, 255), s.bevel);
              else if (!shape.inside(sx + b, sy + b, 0.0f)) sample = sample * (1.0f - 0.6f * s.bevel);
            }
          } else if (s.outline > 0.0f && shape.inside(sx, sy, s.outline)) {
            sample = s.outline_colour;
          } else if (has_shadow && shape.inside(sx - s.shadow_x, sy - s.shadow_y, s.outline)) {
            sample = s.shadow_colour;
          } else {
            continue;
          }
          sum = sum + sample;
          ++covered;
        }
      if (covered == 0) continue;
      const float a = static_cast<float>(covered) / static_cast<float>(n * n);
      const Colour colour = sum * (1.0f / static_cast<float>(covered));
      if (hard_edges) {
        if (a >= 0.5f) c.blend(px, py, colour, 1.0f);
      } else {
        c.blend(px, py, colour, a);
      }
    }
}

}  // namespace

void draw_stroke_char(Canvas& c, int code, float x, float y, const StrokeStyle& s, bool hard_edges) {
  draw_stroke_char_impl(c, code, x, y, s, hard_edges, false);
}

float draw_stroke_text(Canvas& c, const std::string& text, float x, float y, float advance, const StrokeStyle& s,
                       bool hard_edges) {
  for (unsigned char ch : text) {
    draw_stroke_char_impl(c, ch & 0x7F, x, y, s, hard_edges, false);
    x += advance;
  }
  return x;
}

namespace {

float brightness(Colour c) { return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b; }

// Where a thin spot of an anti-aliased outline let a light pixel touch the
// transparent surroundings, adds the missing outline pixel next to it.
void close_outline(Canvas& cell, Colour outline) {
  const Canvas before = cell;
  for (int y = 0; y < cell.height; ++y)
    for (int x = 0; x < cell.width; ++x) {
      if (before.alpha_at(x, y) < 0.5f || brightness(before.at(x, y)) < 0.2f) continue;
      const int around[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& n : around)
        if (cell.inside(n[0], n[1]) && before.alpha_at(n[0], n[1]) < 0.5f) cell.blend(n[0], n[1], outline, 1.0f);
    }
}

// A font picture from the stroke renderer: every character painted into its
// own cell so that nothing reaches a neighbour.
Canvas stroke_font(int cell_w, int cell_h, float x, float y, const StrokeStyle& s, bool small_caps) {
  Canvas sheet(cell_w * kColumns, cell_h * (kCodes / kColumns));
  for (int code = 32; code < kCodes; ++code) {
    Canvas cell(cell_w, cell_h);
    draw_stroke_char_impl(cell, code, x, y, s, true, small_caps);
    close_outline(cell, s.outline_colour);
    sheet.draw(cell, (code % kColumns) * cell_w, (code / kColumns) * cell_h);
  }
  return sheet;
}

// A font picture straight from the pixel design: each grid column `x_scale`
// pixels wide, one pixel per grid row, the glyph one pixel in from the
// cell's left edge and `top` pixels down from its top, with a one-pixel
// outline all round (clipped to the cell; the first `clear_rows` rows of the
// cell stay empty, outline included). With `short_descenders` the two
// descender rows of the design share one pixel row, so that a glyph with
// room above it still fits a low cell.
struct PixelFontShape {
  int top = 1;
  int clear_rows = 0;
  bool short_descenders = false;
};

Canvas pixel_font(int cell_w, int cell_h, int x_scale, const std::vector<Colour>& fill, Colour outline,
                  Colour shade, PixelFontShape shape = PixelFontShape()) {
  Canvas sheet(cell_w * kColumns, cell_h * (kCodes / kColumns));
  for (int code = 32; code < kCodes; ++code) {
    const int cx = (code % kColumns) * cell_w, cy = (code / kColumns) * cell_h;
    auto ink = [&](int x, int y) {
      // Pixel (x, y) of the cell.
      const int gx = x - 1, gy = y - shape.top;
      if (gx < 0 || gy < 0) return false;
      const int column = gx / x_scale;
      if (!shape.short_descenders || gy <= kGlyphBaselineRow) return glyph_bit(code, column, gy);
      if (gy > kGlyphBaselineRow + 1) return false;
      return glyph_bit(code, column, kGlyphBaselineRow + 1) || glyph_bit(code, column, kGlyphBaselineRow + 2);
    };
    for (int y = 0; y < cell_h; ++y)
      for (int x = 0; x < cell_w; ++x) {
        if (ink(x, y)) {
          Colour colour = gradient(fill, static_cast<float>(y - shape.top) / kGlyphBaselineRow);
          // The lower-right edge of each stroke a shade darker: a hint of relief.
          if (!ink(x + 1, y + 1) && (!ink(x + 1, y) || !ink(x, y + 1))) colour = mix(colour, shade, 0.35f);
          sheet.blend(cx + x, cy + y, colour, 1.0f);
          continue;
        }
        if (y < shape.clear_rows) continue;
        bool near = false;
        for (int dy = -1; dy <= 1 && !near; ++dy)
          for (int dx = -1; dx <= 1 && !near; ++dx) near = ink(x + dx, y + dy);
        if (near) sheet.blend(cx + x, cy + y, outline, 1.0f);
      }
  }
  return sheet;
}

}  // namespace

Canvas make_small_font() {
  // The runtime's own 5 x 6 design, tinted from white to ice blue.
  quarvel::ImageBuffer base;
  quarvel::build_default_font(base);
  Canvas sheet(base.width, base.height);
  const std::vector<Colour> fill{rgb(255, 255, 255), rgb(210, 235, 255), rgb(150, 195, 255)};
  for (int y = 0; y < base.height; ++y)
    for (int x = 0; x < base.width; ++x) {
      const uint8_t* p = base.pixels.data() + (static_cast<size_t>(y) * base.width + x) * 4;
      if (p[3] == 0) continue;
      if (p[0] > 128) sheet.blend(x, y, gradient(fill, static_cast<float>(y % 8 - 1) / 5.0f), 1.0f);
      else sheet.blend(x, y, rgb(10, 10, 22), 1.0f);
    }
  return sheet;
}

Canvas make_body_font() {
  // The title screen prints "Highscore : ..." at the very row of a
  // separator line: the top row of every cell stays clear and the outline
  // comes below it, so that the letters keep a dark pixel of space under
  // the line. The descenders share one row to make room.
  PixelFontShape shape;
  shape.top = 2;
  shape.clear_rows = 1;
  shape.short_descenders = true;
  return pixel_font(12, 10, 2, {rgb(255, 255, 255), rgb(225, 240, 255), rgb(160, 205, 255)}, rgb(10, 12, 30),
                    rgb(60, 90, 170), shape);
}

Canvas make_help_font() {
  return pixel_font(12, 12, 2, {rgb(255, 250, 200), rgb(255, 220, 120), rgb(255, 170, 70)}, rgb(22, 12, 8),
                    rgb(170, 80, 20));
}

Canvas make_scroller_font() {
  StrokeStyle s;
  s.step_x = 1.75f;
  s.step_y = 1.5f;
  s.step_descender = 1.5f;
  s.pen = 1.0f;
  s.pen_corner = 1.08f;
  s.outline = 1.0f;
  s.outline_colour = rgb(8, 10, 26);
  s.fill = {rgb(255, 255, 255), rgb(210, 240, 255), rgb(120, 200, 255)};
  return stroke_font(11, 16, 0.0f, 0.0f, s, false);
}

StrokeStyle title_style() {
  StrokeStyle s;
  s.step_x = 6.0f;
  s.step_y = 4.0f;
  s.step_descender = 1.0f;
  s.pen = 3.0f;
  s.pen_corner = 1.1f;
  s.outline = 2.0f;
  s.outline_colour = rgb(28, 10, 8);
  s.shadow_x = 2.0f;
  s.shadow_y = 2.0f;
  s.shadow_colour = rgb(12, 6, 14);
  s.fill = {rgb(255, 250, 190), rgb(255, 214, 60), rgb(255, 140, 20), rgb(220, 50, 20)};
  s.bevel = 0.45f;
  s.bevel_width = 1.4f;
  return s;
}

Canvas make_big_font() { return stroke_font(38, 38, 1.0f, 1.0f, title_style(), true); }

void print_with_font(Canvas& dst, const Canvas& font, const std::string& text, int x, int y) {
  const int cw = font.width / 16;
  const int rows = font.width < font.height ? 16 : 8;
  const int ch = font.height / rows;
  for (unsigned char b : text) {
    const int k = b % (16 * rows);
    const int fx = (k % 16) * cw, fy = (k / 16) * ch;
    for (int yy = 0; yy < ch; ++yy)
      for (int xx = 0; xx < cw; ++xx)
        if (font.alpha_at(fx + xx, fy + yy) >= 0.5f) dst.blend(x + xx, y + yy, font.at(fx + xx, fy + yy), 1.0f);
    x += cw;
  }
}

}  // namespace assetgen
