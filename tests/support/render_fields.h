#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "data/flow_field.h"

// Small hand-made fields for the arrow plot and background tests.
namespace vortana::testing::render_fields {

/// count coordinates from 0 to extent in equal steps (count >= 2).
std::vector<float> EvenlySpaced(int count, float extent);

/// Sets a node's velocity and scalars from its column and row (its position is already set).
using NodeValues = std::function<void(int column, int row, GridPoint& node)>;

/// One slice, two scalars, node (c, r) at (xs[c], ys[r]); statistics gathered as loading does.
std::unique_ptr<FlowField> GridField(const std::vector<float>& xs, const std::vector<float>& ys,
                                     const NodeValues& values);

/// Every node moving with `velocity`, nodes x nodes over [0, extent] x [0, extent].
std::unique_ptr<FlowField> UniformField(Vec3 velocity, int nodes = 5, float extent = 1.0f);

}  // namespace vortana::testing::render_fields
