// 4 x 4 single-precision matrices as OpenGL holds them (column-major: the
// element of row r and column c is m[c * 4 + r]). Header-only and free of
// GL, so the maths can be checked on its own.
#pragma once

#include <cmath>

namespace quarvel {
namespace mat4 {

struct Mat4 {
  float m[16];
  float& at(int row, int column) { return m[column * 4 + row]; }
  float at(int row, int column) const { return m[column * 4 + row]; }
};

struct Vec4 {
  float x, y, z, w;
};

// Degrees to radians, with the factor the object rotations use.
constexpr float kDegreesToRadians = 0.017453292f;

inline Mat4 identity() {
  Mat4 r{};
  r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
  return r;
}

inline bool is_identity(const Mat4& a) {
  const Mat4 i = identity();
  for (int k = 0; k < 16; ++k)
    if (a.m[k] != i.m[k]) return false;
  return true;
}

// a x b: a vertex is transformed by b first, then by a.
inline Mat4 multiply(const Mat4& a, const Mat4& b) {
  Mat4 r{};
  for (int c = 0; c < 4; ++c)
    for (int row = 0; row < 4; ++row) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.at(row, k) * b.at(k, c);
      r.at(row, c) = sum;
    }
  return r;
}

inline Vec4 transform(const Mat4& a, const Vec4& v) {
  return Vec4{a.m[0] * v.x + a.m[4] * v.y + a.m[8] * v.z + a.m[12] * v.w,
              a.m[1] * v.x + a.m[5] * v.y + a.m[9] * v.z + a.m[13] * v.w,
              a.m[2] * v.x + a.m[6] * v.y + a.m[10] * v.z + a.m[14] * v.w,
              a.m[3] * v.x + a.m[7] * v.y + a.m[11] * v.z + a.m[15] * v.w};
}

inline Mat4 translation(float x, float y, float z) {
  Mat4 r = identity();
  r.m[12] = x;
  r.m[13] = y;
  r.m[14] = z;
  return r;
}

inline Mat4 scaling(float x, float y, float z) {
  Mat4 r = identity();
  r.m[0] = x;
  r.m[5] = y;
  r.m[10] = z;
  return r;
}

// Rotation by the angle in degrees about the axis (right-handed). An axis
// along a coordinate axis gives the plain rotation about it (in the axis's
// direction); any other axis is normalised and goes through the axis-angle
// formula. An axis of length 0.0001 or less gives false and no matrix.
inline bool rotation(float degrees, float x, float y, float z, Mat4& out) {
  const float length = std::sqrt(x * x + y * y + z * z);
  if (!(length > 0.0001f)) return false;
  const float radians = degrees * kDegreesToRadians;
  const float c = std::cos(radians), s = std::sin(radians);
  out = identity();
  if (y == 0.0f && z == 0.0f) {
    const float sx = x > 0 ? s : -s;
    out.at(1, 1) = c;
    out.at(1, 2) = -sx;
    out.at(2, 1) = sx;
    out.at(2, 2) = c;
    return true;
  }
  if (x == 0.0f && z == 0.0f) {
    const float sy = y > 0 ? s : -s;
    out.at(0, 0) = c;
    out.at(0, 2) = sy;
    out.at(2, 0) = -sy;
    out.at(2, 2) = c;
    return true;
  }
  if (x == 0.0f && y == 0.0f) {
    const float sz = z > 0 ? s : -s;
    out.at(0, 0) = c;
    out.at(0, 1) = -sz;
    out.at(1, 0) = sz;
    out.at(1, 1) = c;
    return true;
  }
  x /= length;
  y /= length;
  z /= length;
  const float t = 1.0f - c;
  out.at(0, 0) = x * x * t + c;
  out.at(1, 0) = x * y * t + z * s;
  out.at(2, 0) = x * z * t - y * s;
  out.at(0, 1) = x * y * t - z * s;
  out.at(1, 1) = y * y * t + c;
  out.at(2, 1) = y * z * t + x * s;
  out.at(0, 2) = x * z * t + y * s;
  out.at(1, 2) = y * z * t - x * s;
  out.at(2, 2) = z * z * t + c;
  return true;
}

// The look-at transform of the camera: rows s, u and f (f pointing from the
// target back to the eye), then a translation by -eye. Zero-length vectors
// are left as they are, so a degenerate camera gives an all-zero rotation.
inline Mat4 look_at(const float eye[3], const float target[3], const float up[3]) {
  float f[3] = {eye[0] - target[0], eye[1] - target[1], eye[2] - target[2]};
  float length = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
  if (length != 0.0f)
    for (float& v : f) v /= length;
  const float s[3] = {up[1] * f[2] - up[2] * f[1], up[2] * f[0] - up[0] * f[2], up[0] * f[1] - up[1] * f[0]};
  float sn[3] = {s[0], s[1], s[2]};
  length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
  if (length != 0.0f)
    for (float& v : sn) v /= length;
  float u[3] = {f[1] * s[2] - f[2] * s[1], f[2] * s[0] - f[0] * s[2], f[0] * s[1] - f[1] * s[0]};
  length = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
  if (length != 0.0f)
    for (float& v : u) v /= length;
  Mat4 r = identity();
  for (int c = 0; c < 3; ++c) {
    r.at(0, c) = sn[c];
    r.at(1, c) = u[c];
    r.at(2, c) = f[c];
  }
  return multiply(r, translation(-eye[0], -eye[1], -eye[2]));
}

// The tangent by its odd power series through the x^13 term: exact enough
// for the angles of a field of view (below a quarter turn).
inline double series_tan(double x) {
  static const double kCoefficients[7] = {1.0,
                                          1.0 / 3.0,
                                          2.0 / 15.0,
                                          17.0 / 315.0,
                                          62.0 / 2835.0,
                                          1382.0 / 155925.0,
                                          21844.0 / 6081075.0};
  const double x2 = x * x;
  double power = x, sum = 0.0;
  for (double k : kCoefficients) {
    sum += k * power;
    power *= x2;
  }
  return sum;
}

inline Mat4 frustum(double l, double r, double b, double t, double n, double f) {
  Mat4 m{};
  m.at(0, 0) = static_cast<float>(2 * n / (r - l));
  m.at(0, 2) = static_cast<float>((r + l) / (r - l));
  m.at(1, 1) = static_cast<float>(2 * n / (t - b));
  m.at(1, 2) = static_cast<float>((t + b) / (t - b));
  m.at(2, 2) = static_cast<float>(-(f + n) / (f - n));
  m.at(2, 3) = static_cast<float>(-2 * f * n / (f - n));
  m.at(3, 2) = -1.0f;
  return m;
}

// Inverse by cofactors. False (and out untouched) when the determinant is 0
// or not a finite number.
inline bool invert(const Mat4& a, Mat4& out) {
  const float* m = a.m;
  float inv[16];
  inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
           m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
  inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
           m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
  inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
           m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
  inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
            m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
  inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
           m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
  inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
           m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
  inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
           m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
  inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
            m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
  inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
           m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
  inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
           m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
  inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
            m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
  inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
            m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
  inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
           m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
  inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
           m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
  inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
            m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
  inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
            m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
  const float det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
  if (det == 0.0f || !std::isfinite(det)) return false;
  const float scale = 1.0f / det;
  for (int k = 0; k < 16; ++k) out.m[k] = inv[k] * scale;
  return true;
}

}  // namespace mat4
}  // namespace quarvel
