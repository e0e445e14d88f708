#pragma once

#include <cmath>

#include "../data/flow_field.h"
#include "../data/vec3.h"

// The direction of one streamline step, before it is scaled by dt: in general, and on a planar
// field (FlowField::IsPlanar), where z is zero at every sample and is left out. The planar
// forms give the x and y of the general ones bit for bit.

namespace vortana {

/// Euler: the unit direction of the flow at P.
[[gnu::always_inline]] inline Vec3 EulerDirection(Vec3 v) {
  v.Normalise();
  return v;
}

/// Heun's two-stage Runge-Kutta: the mean of the unit direction at P and the unit direction one
/// world unit further along it. The trial point lies on the forward side in both passes.
[[gnu::always_inline]] inline Vec3 HeunDirection(const FlowField& field, const Vec3& p, Vec3 v,
                                                 FlowField::CellHint& hint) {
  v.Normalise();
  const Vec3 trial = p + v;
  Vec3 w = field.VelocityAt(trial.x, trial.y, hint);
  w.Normalise();
  v += w;
  v /= 2.0f;
  return v;
}

using PlanarVelocity = FlowField::PlanarVelocity;

/// Vec3::Normalise of (x, y, 0): the z term of the length adds an exact zero.
[[gnu::always_inline]] inline void NormalisePlanar(PlanarVelocity& v) {
  const double dx = v.x, dy = v.y;
  const double length = std::sqrt(dx * dx + dy * dy);
  if (length == 0.0) return;
  v.x = static_cast<float>(v.x / length);
  v.y = static_cast<float>(v.y / length);
}

[[gnu::always_inline]] inline PlanarVelocity EulerDirectionPlanar(PlanarVelocity v) {
  NormalisePlanar(v);
  return v;
}

/// `trial` samples the trial points, as `hint` does for HeunDirection.
[[gnu::always_inline]] inline PlanarVelocity HeunDirectionPlanar(const Vec3& p, PlanarVelocity v,
                                                                 FlowField::PlanarSampler& trial) {
  NormalisePlanar(v);
  PlanarVelocity w = trial.At(p.x + v.x, p.y + v.y);
  NormalisePlanar(w);
  v.x += w.x;
  v.y += w.y;
  v.x /= 2.0f;
  v.y /= 2.0f;
  return v;
}

/// Vec3::Length of the step (x, y, 0).
[[gnu::always_inline]] inline double PlanarLength(PlanarVelocity v) {
  const double dx = v.x, dy = v.y;
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace vortana
