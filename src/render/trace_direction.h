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

/// Heun's two-stage Runge-Kutta: the mean of the unit direction at P and the unit direction at
/// the trial point one step ahead, T = P + V x dt (V the unit direction at P), sampled by
/// `trial`. The trial point lies on the forward side in both passes. The older program looked
/// one world unit ahead whatever dt was; with dt at 0.01 to 0.2 that turned the averaged
/// direction 5 to 100 times too far at every step, so closed orbits spiralled into filled discs.
template <typename Sampler>
[[gnu::always_inline]] inline typename Sampler::Velocity HeunDirection(
    Vec2 p, typename Sampler::Velocity v, float dt, Sampler& trial) {
  v.Normalise();
  // The same rounding as the step itself: each component times dt, then added to P.
  const float ax = v.x * dt;
  const float ay = v.y * dt;
  auto w = trial.At(p.x + ax, p.y + ay);
  w.Normalise();
  v += w;
  v /= 2.0f;
  return v;
}

}  // namespace vortana
