#pragma once

#include <vector>

#include "../data/flow_field.h"
#include "canvas.h"
#include "colour_ramp.h"
#include "pixel_map.h"

namespace vortana {

/// What the background colours by: the radio index of Flow, Pressure, Vorticity. Any value
/// other than 0 and 1 takes the vorticity branch, as the old program did.
inline constexpr int kColourByFlow = 0;
inline constexpr int kColourByPressure = 1;
inline constexpr int kColourByVorticity = 2;

/// The dialog's copies of the field's statistics that scale the background.
struct BackgroundLimits {
  float maxSpeed = 0.0f;
  float minScalar0 = 0.0f;
  float maxScalar0 = 0.0f;
  float minScalar1 = 0.0f;
  float maxScalar1 = 0.0f;
  // The speed that takes the ramp's bottom; the field's statistics leave it 0, which subtracts
  // exactly nothing, so only a chosen range moves it.
  float minSpeed = 0.0f;
};

/// Ramp index of a quotient q = (value - min) * 255 / range: truncated, clamped to 0..255; a
/// quotient that is not a number gives 0.
int BackgroundIndex(double q);

/// The ramp index of one node for the colour-by setting.
int BackgroundIndexOfNode(const GridPoint& node, int colourBy, const BackgroundLimits& limits);

/// Unless `valid` is set, computes every pixel of `buffer` (width * height, row-major) from
/// NodeAt of the pixel's world point; then paints the buffer into `area` and sets `valid`.
void DrawBackground(const FlowField& field, const PixelMap& map, int colourBy,
                    const BackgroundLimits& limits, const ColourRamp& ramp, bool& valid,
                    std::vector<Colour>& buffer, Canvas& area);

}  // namespace vortana
