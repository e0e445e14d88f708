#pragma once

#include "colour_ramp.h"

namespace vortana {

/// The ramps the background and the legend can colour through. Legacy is the old program's own
/// ramp; the others are published maps that read in order for colour-blind viewers and in grey.
enum class ColourMap { Legacy, Viridis, Cividis, Magma, Coolwarm, Greys };

/// The 256 entries of `map`; Legacy is exactly BuildColourRamp().
ColourRamp BuildColourMap(ColourMap map);

}  // namespace vortana
