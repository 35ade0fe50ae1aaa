// Packed colours 0x00BBGGRR from and to their parts.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "quarvel/graphics.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

int64_t part(double value) {
  if (!(value > 0)) return 0;  // NaN too
  return std::min<int64_t>(255, static_cast<int64_t>(std::lround(std::min(value, 255.0))));
}

int64_t packed(double colour) { return std::isfinite(colour) ? truncate_to_int64(colour) & 0xFFFFFF : 0; }

}  // namespace

double rgb(double red, double green, double blue) {
  return static_cast<double>(part(red) | part(green) << 8 | part(blue) << 16);
}

double colour_red(double colour) { return static_cast<double>(packed(colour) & 0xFF); }
double colour_green(double colour) { return static_cast<double>((packed(colour) >> 8) & 0xFF); }
double colour_blue(double colour) { return static_cast<double>((packed(colour) >> 16) & 0xFF); }

}  // namespace quarvel
