// Numbers arrive as doubles; slot, channel, count and code arguments are
// truncated toward zero. These helpers do that without undefined behaviour
// for values outside the integer range (saturated) and NaN (0).
#pragma once

#include <cstdint>

namespace quarvel {

inline int32_t truncate_to_int32(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

inline int64_t truncate_to_int64(double v) {
  if (!(v == v)) return 0;
  if (v >= 9223372036854775807.0) return INT64_MAX;
  if (v <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(v);
}

}  // namespace quarvel
