#include "colour_ramp.h"

#include <algorithm>

namespace vortana {
namespace {

constexpr int kRampStep = 2;
constexpr int kLegendColumnsPerEntry = 2;
// The pen goes to row 10 of a 10-row strip; the end point is not set, so rows 0..9 are covered.
constexpr int kLegendLineEndRow = 10;

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

void DrawLegend(const ColourRamp& ramp, Surface& legend) {
  const Colour callersPen = legend.Pen();
  for (int i = 0; i < static_cast<int>(ramp.size()); ++i) {
    legend.SelectPen(ramp[static_cast<size_t>(i)]);
    for (int column = kLegendColumnsPerEntry * i; column < kLegendColumnsPerEntry * (i + 1);
         ++column) {
      legend.MoveTo(column, 0);
      legend.LineTo(column, kLegendLineEndRow);
    }
  }
  legend.SelectPen(callersPen);
}

}  // namespace vortana
