#pragma once

#include <array>
#include <string>
#include <vector>

#include "background.h"

namespace vortana {

/// What the colour bar beside a background says: the quantity's name and five values, from the
/// ramp's first entry (bottom) to its last (top), evenly spaced.
struct ColourBarScale {
  std::string caption;
  std::array<double, 5> ticks{};
};

/// The range the background maps for `colourBy`: 0 to max speed for the flow, the minimum to
/// the maximum of the scalar for pressure and vorticity.
ColourBarScale ColourBarScaleFor(int colourBy, const BackgroundLimits& limits);

/// The shortest text that reads back to `value` rounded to 4 significant digits: 2.5, 0.3333,
/// 1.235e5, 0.0001235. Exponents lose their '+' and leading zeros.
std::string ShortNumberText(double value);

/// Round axis ticks in [low, high] (either order): multiples of a step of 1, 2 or 5 x 10^k,
/// the smallest such step that gives at most `maxCount` ticks. None for an empty or non-finite
/// range.
std::vector<double> RoundTicks(double low, double high, int maxCount);

/// An axis label for tick `value` on a scale with step `step`: as many decimals as the step has.
std::string TickText(double value, double step);

}  // namespace vortana
