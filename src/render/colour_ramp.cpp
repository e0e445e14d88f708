#include "colour_ramp.h"

#include <algorithm>

namespace vortana {
namespace {

constexpr int kRampStep = 2;
constexpr int kLegendRows = 10;

}  // namespace

ColourRamp BuildColourRamp() {
  // Red climbs from 1 to 255 while blue stays full (blue to magenta), then blue falls to 0
  // (magenta to red).
  ColourRamp ramp{};
  int red = 1;
  int blue = 255;
  for (Colour& entry : ramp) {
    entry = MakeColour(red, 0, blue);
    if (red == 255) {
      blue = std::max(blue - kRampStep, 0);
    } else {
      red += kRampStep;
    }
  }
  return ramp;
}

void DrawLegend(const ColourRamp& ramp, Canvas& legend) {
  // The old program drew each column as a line from row 0 to row 10, end point not set: rows
  // 0..9, the pixels of this rectangle on any strip. One rectangle per entry is also one shape
  // for a vector canvas, with no seams between hairlines.
  // Column c shows entry c x 256 / width, truncated: two columns an entry on the 512-pixel
  // strip; on another width the entries share it as evenly as whole columns allow, and on a
  // strip narrower than the ramp some entries get no column.
  const long long entries = static_cast<long long>(ramp.size());
  const long long width = legend.Width();
  const auto firstColumnOf = [&](long long entry) {
    return static_cast<int>((entry * width + entries - 1) / entries);
  };
  for (long long i = 0; i < entries; ++i) {
    const int left = firstColumnOf(i);
    const int right = firstColumnOf(i + 1);
    if (right > left) {
      legend.FillSolidRect(left, 0, right - left, kLegendRows, ramp[static_cast<size_t>(i)]);
    }
  }
}

}  // namespace vortana
