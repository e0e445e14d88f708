#pragma once

#include <cmath>

namespace vortana {

/// Three single-precision components, as stored in the files and used by every renderer.
/// Arithmetic happens on floats, so every component written is rounded to single precision;
/// for +, -, * and / of two floats that equals computing in double and rounding once.
struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  constexpr Vec3() = default;
  constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

  constexpr Vec3& operator+=(const Vec3& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
  }
  constexpr Vec3& operator-=(const Vec3& o) {
    x -= o.x;
    y -= o.y;
    z -= o.z;
    return *this;
  }
  constexpr Vec3& operator*=(float s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
  /// A true division per component: x / s differs from x * (1 / s) in the last bit.
  constexpr Vec3& operator/=(float s) {
    x /= s;
    y /= s;
    z /= s;
    return *this;
  }

  /// sqrt(x^2 + (y^2 + z^2)) in double, y and z summed first, as the old program did.
  double Length() const {
    const double dx = x, dy = y, dz = z;
    return std::sqrt(dx * dx + (dy * dy + dz * dz));
  }

  /// Divides each component by the unrounded double length; a zero vector stays as it is.
  void Normalise() {
    const double len = Length();
    if (len == 0.0) return;
    x = static_cast<float>(x / len);
    y = static_cast<float>(y / len);
    z = static_cast<float>(z / len);
  }

  friend constexpr bool operator==(const Vec3&, const Vec3&) = default;
};

inline constexpr Vec3 operator+(Vec3 a, const Vec3& b) { return a += b; }
inline constexpr Vec3 operator-(Vec3 a, const Vec3& b) { return a -= b; }
inline constexpr Vec3 operator*(Vec3 a, float s) { return a *= s; }
inline constexpr Vec3 operator/(Vec3 a, float s) { return a /= s; }

}  // namespace vortana
