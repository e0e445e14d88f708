#pragma once

#include <array>

#include "canvas.h"
#include "colour.h"

namespace vortana {

/// 256 colours from blue (index 0) through magenta (127) to red (255); green is always 0.
using ColourRamp = std::array<Colour, 256>;

ColourRamp BuildColourRamp();

/// Each ramp entry as columns over the strip's full height, side by side across its width: two
/// columns an entry on the 512 x 10 strip.
void DrawLegend(const ColourRamp& ramp, Canvas& legend);

}  // namespace vortana
