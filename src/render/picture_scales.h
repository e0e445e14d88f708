#pragma once

#include <array>
#include <string>
#include <vector>

#include "background.h"
#include "pixel_map.h"

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

/// A tick of an axis along the drawing area: where it stands, in area pixels along the axis
/// (a pixel centre is n + 0.5), and its label.
struct AxisTick {
  double at = 0.0;
  std::string text;
};

/// The ticks of the horizontal (or, with `vertical`, the vertical) axis of an area the map
/// covers: round world coordinates between the world points of the first and last pixel, each
/// at the centre of the pixel the map puts it on, about one in kPixelsPerAxisTick pixels.
inline constexpr int kPixelsPerAxisTick = 80;  // so that labels never run into each other
std::vector<AxisTick> AxisTicks(const PixelMap& map, bool vertical);

}  // namespace vortana
