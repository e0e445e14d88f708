#include "colour_ramp.h"

#include <algorithm>

namespace vortana {
namespace {

constexpr int kRampStep = 2;
constexpr int kLegendColumnsPerEntry = 2;
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
  for (int i = 0; i < static_cast<int>(ramp.size()); ++i) {
    legend.FillSolidRect(kLegendColumnsPerEntry * i, 0, kLegendColumnsPerEntry, kLegendRows,
                         ramp[static_cast<size_t>(i)]);
  }
}

}  // namespace vortana
