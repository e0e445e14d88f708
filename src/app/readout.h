#pragma once

#include <string>

#include "data/flow_field.h"
#include "render/pixel_map.h"

namespace vortana {

/// What the window shows about the drawing-area pixel under the pointer.
struct Readout {
  enum class Kind {
    None,     // no data set, or one without a cell to sample: nothing to say
    Outside,  // the pixel's world point lies beyond the grid
    Inside,
  };
  Kind kind = Kind::None;
  int px = 0;
  int py = 0;
  float wx = 0.0f;
  float wy = 0.0f;
  /// The velocity the streamlines and arrows sample at the pixel's world point.
  Vec3 velocity;
  /// The length of `velocity`.
  double speed = 0.0;
  /// The scalars of the node the background takes its colour from at this pixel.
  float pressure = 0.0f;
  float vorticity = 0.0f;
};

/// The readout at drawing-area pixel (px, py) of `field` (null: no data set) seen through `map`.
/// The velocity is FlowField::VelocityAt's at the pixel's world point and the scalars are those
/// of the node NodeAt finds there, so the numbers agree with the pictures. "Beyond the grid" is
/// VelocityAt's own test: outside the range of the grid's positions.
Readout ReadoutAt(const FlowField* field, const PixelMap& map, int px, int py);

/// One line for the status bar and the tooltip; empty for Kind::None.
std::string ReadoutText(const Readout& readout);

}  // namespace vortana
