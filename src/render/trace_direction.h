#pragma once

#include "../data/path_samplers.h"
#include "../data/vec2.h"

// The direction of one streamline step, before it is scaled by dt, over either sampler of
// data/path_samplers.h: the components are those the sampler answers (Vec3, or Vec2 on a planar
// field), and the steps over Vec2 give the x and y of those over Vec3 bit for bit.

namespace vortana {

/// Euler: the unit direction of the flow at P.
template <typename Velocity>
[[gnu::always_inline]] inline Velocity EulerDirection(Velocity v) {
  v.Normalise();
  return v;
}

/// Heun's two-stage Runge-Kutta: the mean of the unit direction at P and the unit direction one
/// world unit further along it, sampled by `trial`. The trial point lies on the forward side in
/// both passes.
template <typename Sampler>
[[gnu::always_inline]] inline typename Sampler::Velocity HeunDirection(
    Vec2 p, typename Sampler::Velocity v, Sampler& trial) {
  v.Normalise();
  auto w = trial.At(p.x + v.x, p.y + v.y);
  w.Normalise();
  v += w;
  v /= 2.0f;
  return v;
}

}  // namespace vortana
