#pragma once

#include "../data/flow_field.h"
#include "../data/vec2.h"
#include "../data/vec3.h"
#include "pixel_map.h"

// Streamline steps measured in drawing-area pixels: the trace walks in fractional pixel
// coordinates and asks the field at the world point under them. A field a thousandth of a unit
// wide and one a thousand units wide then trace alike; with world-unit steps the first makes
// every step span many pixels and the second crawls a thousandth of a pixel at a time.

namespace vortana {

/// The world point under fractional drawing-area pixel (px, py), each coordinate rounded to
/// float once as PixelMap::WorldXOfFractionalPixel rounds it. For the window of the older
/// program (origin at 0, y down) the product of two floats is exact in double, so the float
/// product is that rounding, bit for bit, without the conversions (it lies on the path from one
/// step to the next, where every cycle counts); `plain` says the map is such a one.
[[gnu::always_inline]] inline Vec2 WorldOfPixelPoint(const PixelMap& map, Vec2 p, bool plain) {
  if (plain) return Vec2(p.x * map.scaleX, p.y * map.scaleY);
  return Vec2(map.WorldXOfFractionalPixel(p.x), map.WorldYOfFractionalPixel(p.y));
}

/// True when `map` starts at world 0 with y down, where WorldOfPixelPoint multiplies only.
inline bool PlainPixelMap(const PixelMap& map) {
  return map.x0 == 0.0f && map.y0 == 0.0f && !map.yUp;
}

/// Pixels per world unit along each axis, to take velocities to pixels per unit of time.
/// A velocity is multiplied by these rather than divided by the scales: the division would lie
/// on the path from one step to the next and costs the pixel steps a tenth of their speed. The
/// product differs from the quotient in the last bit at most, and a reciprocal of a power of two
/// times a scale is that power's reciprocal times the scale's, exactly, so scaling coordinates
/// and velocities by powers of two still scales every converted velocity by a power of two.
/// With y up the rows run against world y: y's share is negative.
struct PixelsPerWorldUnit {
  float x;
  float y;

  // With y up world y grows up the screen, so the pixel row runs the other way.
  explicit PixelsPerWorldUnit(const PixelMap& map)
      : x(1.0f / map.scaleX), y((map.yUp ? -1.0f : 1.0f) / map.scaleY) {}

  /// A world velocity in pixels per unit of time. Slices have no drawing axis; a z component is
  /// measured at the x scale, so that a flow that leaves the plane keeps its slope in pixels
  /// wherever the axes share one scale.
  template <typename Velocity>
  [[gnu::always_inline]] Velocity Of(Velocity v) const {
    v.x *= x;
    v.y *= y;
    if constexpr (requires { v.z; }) v.z *= x;
    return v;
  }
};

/// A path sampler (data/path_samplers.h) addressed in fractional drawing-area pixels: it
/// answers the velocity at the world point under the pixel, in pixels per unit of time, so a
/// tracer written over samplers steps in pixels unchanged.
template <typename Sampler>
class PixelSampler {
 public:
  using Velocity = typename Sampler::Velocity;

  PixelSampler(const FlowField& field, const PixelMap& map) : world_(field), map_(map) {}

  [[gnu::always_inline]] Velocity At(float px, float py) {
    const Vec2 w = WorldOfPixelPoint(map_, Vec2(px, py), plain_);
    return perUnit_.Of(world_.At(w.x, w.y));
  }

 private:
  Sampler world_;
  PixelMap map_;
  bool plain_ = PlainPixelMap(map_);
  PixelsPerWorldUnit perUnit_{map_};
};

}  // namespace vortana
