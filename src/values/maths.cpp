#include "quarvel/maths.h"

#include <cmath>

#include "quarvel/number_text.h"
#include "values/truncate.h"

namespace quarvel {

double sin_degrees(double x) { return std::sin(x / kDegreesPerRadian); }
double cos_degrees(double x) { return std::cos(x / kDegreesPerRadian); }
double tan_degrees(double x) { return std::tan(x / kDegreesPerRadian); }

double asin_degrees(double x) {
  if (x >= 1) return 90;
  if (x <= -1) return -90;
  return std::asin(x) * kDegreesPerRadian;
}

double acos_degrees(double x) {
  if (x >= 1) return 0;
  if (x <= -1) return 180;
  return std::acos(x) * kDegreesPerRadian;
}

double atan2_degrees(double y, double x) { return std::atan2(y, x) * kDegreesPerRadian; }

double square_root(double x) { return std::sqrt(x); }
double absolute(double x) { return std::fabs(x); }
double power(double base, double exponent) { return std::pow(base, exponent); }

double modulo(double a, double b) {
  const int32_t divisor = truncate_to_int32(b);
  if (divisor == 0) return 0;
  // INT32_MIN % -1 overflows; its remainder is 0.
  if (divisor == -1) return 0;
  return truncate_to_int32(a) % divisor;
}

double number_text_length(double x) {
  char text[kNumberTextBuffer];
  return static_cast<double>(format_double(x, text));
}

}  // namespace quarvel
