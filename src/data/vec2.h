#pragma once

#include <cmath>

#include "vec3.h"

namespace vortana {

/// The x and y of a Vec3 whose z is zero: a point of the plane of slice 0, or a velocity of a
/// planar field. Its arithmetic and its length give Vec3's x and y bit for bit: a zero z only
/// ever adds an exact zero to a sum.
struct Vec2 {
  float x = 0.0f;
  float y = 0.0f;

  constexpr Vec2() = default;
  constexpr Vec2(float x_, float y_) : x(x_), y(y_) {}
  /// Drops z.
  explicit constexpr Vec2(const Vec3& v) : x(v.x), y(v.y) {}

  constexpr Vec2& operator+=(const Vec2& o) {
    x += o.x;
    y += o.y;
    return *this;
  }
  constexpr Vec2& operator-=(const Vec2& o) {
    x -= o.x;
    y -= o.y;
    return *this;
  }
  constexpr Vec2& operator*=(float s) {
    x *= s;
    y *= s;
    return *this;
  }
  constexpr Vec2& operator/=(float s) {
    x /= s;
    y /= s;
    return *this;
  }

  /// Vec3::Length of (x, y, 0).
  double Length() const {
    const double dx = x, dy = y;
    return std::sqrt(dx * dx + dy * dy);
  }

  /// Vec3::Normalise of (x, y, 0).
  void Normalise() {
    const double len = Length();
    if (len == 0.0) return;
    x = static_cast<float>(x / len);
    y = static_cast<float>(y / len);
  }

  friend constexpr bool operator==(const Vec2&, const Vec2&) = default;
};

inline constexpr Vec2 operator*(Vec2 a, float s) { return a *= s; }

}  // namespace vortana
