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

/// The world point under fractional drawing-area pixel (px, py), each product rounded to float
/// as PixelMap::WorldXOfPixel rounds it for a whole pixel.
inline Vec2 WorldOfPixelPoint(const PixelMap& map, Vec2 p) {
  return Vec2(static_cast<float>(p.x * static_cast<double>(map.scaleX)),
              static_cast<float>(p.y * static_cast<double>(map.scaleY)));
}

/// A world velocity in pixels per unit of time: each component divided by its axis's scale.
/// Slices have no drawing axis; a z component is measured at the x scale, so that a flow that
/// leaves the plane keeps its slope in pixels wherever the axes share one scale. Every
/// conversion is one division per component: scaling the coordinates and the velocities by
/// powers of two scales the result by a power of two, exactly.
template <typename Velocity>
[[gnu::always_inline]] inline Velocity PixelVelocityOfWorld(const PixelMap& map, Velocity v) {
  v.x /= map.scaleX;
  v.y /= map.scaleY;
  if constexpr (requires { v.z; }) v.z /= map.scaleX;
  return v;
}

/// A path sampler (data/path_samplers.h) addressed in fractional drawing-area pixels: it
/// answers the velocity at the world point under the pixel, in pixels per unit of time, so a
/// tracer written over samplers steps in pixels unchanged.
template <typename Sampler>
class PixelSampler {
 public:
  using Velocity = typename Sampler::Velocity;

  PixelSampler(const FlowField& field, const PixelMap& map) : world_(field), map_(map) {}

  [[gnu::always_inline]] Velocity At(float px, float py) {
    const Vec2 w = WorldOfPixelPoint(map_, Vec2(px, py));
    return PixelVelocityOfWorld(map_, world_.At(w.x, w.y));
  }

 private:
  Sampler world_;
  PixelMap map_;
};

}  // namespace vortana
