#pragma once

#include "cell_interpolation.h"
#include "cell_search.h"
#include "flow_field.h"
#include "vec2.h"

// Samplers of a field along a path (a trace): each keeps where its last sample fell, so that
// the next sample, a fraction of a cell on, is found at once. Both offer
//   using Velocity = ...;                 the components a sample answers
//   Velocity At(float x, float y);        VelocityAt's components at world point (x, y)
// so that a tracer written once over a sampler runs on either.

namespace vortana {

/// Any field: FlowField::VelocityAt with its cell hint, all three components.
class FieldSampler {
 public:
  using Velocity = Vec3;

  explicit FieldSampler(const FlowField& field) : field_(&field) {}

  [[gnu::always_inline]] Vec3 At(float x, float y) { return field_->VelocityAt(x, y, hint_); }

 private:
  const FlowField* field_;
  FlowField::CellHint hint_;
};

/// VelocityAt's x and y on a planar field (FlowField::IsPlanar), whose z is always zero. It
/// keeps the cell of the last sample (the search's bounds of that cell and its area), so that
/// the next sample, usually in the same cell, needs no search; on entering a cell it fetches
/// the nodes of the cell two further on the same way. A sample outside the kept cell asks the
/// field. On a field that is not planar every sample asks the field, and the x and y are still
/// VelocityAt's.
class PlanarSampler {
 public:
  using Velocity = Vec2;

  explicit PlanarSampler(const FlowField& field) : field_(&field) {}

  [[gnu::always_inline]] Vec2 At(float x, float y) {
    // The first-interval test of the search, with low bounds made exclusive (see Load()).
    if (!(lowX_ < x && x <= highX_ && lowY_ < y && y <= highY_)) {
      if (!Load(x, y)) return Vec2(field_->VelocityAt(x, y, hint_));
    }
    return InterpolateInCell<Vec2>(cell_, width_, x, y, area_);
  }

 private:
  /// Takes the cell holding (x, y) when there is one.
  bool Load(float x, float y);

  const FlowField* field_;
  CellHint hint_;
  // Empty bounds until the first sample: every test fails.
  float lowX_ = 1.0f;
  float highX_ = 0.0f;
  float lowY_ = 1.0f;
  float highY_ = 0.0f;
  float area_ = 1.0f;
  const GridPoint* cell_ = nullptr;
  int width_ = 0;
};

}  // namespace vortana
