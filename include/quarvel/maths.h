// Numeric functions and random numbers. Angles are in degrees; every
// argument and result is a double.
#pragma once

namespace quarvel {

// 180 / pi: degrees per radian.
inline constexpr double kDegreesPerRadian = 57.29577951308232;

// Sine, cosine and tangent of an angle in degrees.
double sin_degrees(double x);
double cos_degrees(double x);
double tan_degrees(double x);
// 90 for x >= 1 and -90 for x <= -1.
double asin_degrees(double x);
// 0 for x >= 1 and 180 for x <= -1.
double acos_degrees(double x);
// Angle of the point (x, y), -180 .. 180.
double atan2_degrees(double y, double x);

// Not a number for negative x.
double square_root(double x);
// |x|, and base to the power of exponent.
double absolute(double x);
double power(double base, double exponent);
// a and b truncated toward zero to 32-bit integers, the remainder with the
// sign of a: modulo(-7, 3) is -1, modulo(7.9, 2.5) is 1. 0 when b truncates
// to 0 (any |b| below 1).
double modulo(double a, double b);

// Characters of the number's text: 3 for 100, 3 for 1.5.
double number_text_length(double x);

// Reseeds the run's generator with the low 32 bits of the whole-number part
// of seed; the same seed gives the same sequence of random_int results.
void seed_random(double seed);
// A random whole number from 0 to n inclusive (n truncated toward zero);
// 0 for negative n.
double random_int(double n);

}  // namespace quarvel
