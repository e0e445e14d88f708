#pragma once

#include "vec3.h"

namespace vortana {

/// One grid node: its position from the grid file, its velocity and two scalars from the data
/// file. Scalar 0 is shown as pressure, scalar 1 as vorticity.
struct GridPoint {
  Vec3 position;
  Vec3 velocity;
  float scalar0 = 0.0f;
  float scalar1 = 0.0f;
};

}  // namespace vortana
