#include "background.h"

#include <cmath>

namespace vortana {
namespace {

constexpr double kRampTop = 255.0;
constexpr int kLastRampIndex = 255;

// (value - min) * 255 / (max - min), every step in double from the stored floats.
double ScaledQuotient(float value, float min, float max) {
  return ((static_cast<double>(value) - min) * kRampTop) /
         (static_cast<double>(max) - static_cast<double>(min));
}

}  // namespace

int BackgroundIndex(double q) {
  // NaN (a zero range gives 0/0) fails every comparison and lands on 0 with the negatives.
  if (!(q > 0.0)) return 0;
  if (q >= kLastRampIndex) return kLastRampIndex;
  return static_cast<int>(q);
}

int BackgroundIndexOfNode(const GridPoint& node, int colourBy, const BackgroundLimits& limits) {
  double q = 0.0;
  if (colourBy == kColourByFlow) {
    // The length in double against the stored float max speed: a fastest node whose length was
    // rounded up when stored gets 254, not 255.
    q = (node.velocity.Length() * kRampTop) / static_cast<double>(limits.maxSpeed);
  } else if (colourBy == kColourByPressure) {
    q = ScaledQuotient(node.scalar0, limits.minScalar0, limits.maxScalar0);
  } else {
    q = ScaledQuotient(node.scalar1, limits.minScalar1, limits.maxScalar1);
  }
  return BackgroundIndex(q);
}

void DrawBackground(const FlowField& field, const PixelMap& map, int colourBy,
                    const BackgroundLimits& limits, const ColourRamp& ramp, bool& valid,
                    std::vector<Colour>& buffer, Surface& area) {
  const int width = area.Width();
  const int height = area.Height();
  const size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);
  // A buffer of another size cannot hold this area's background, whatever the flag says.
  if (buffer.size() != pixelCount) {
    buffer.assign(pixelCount, kBlack);
    valid = false;
  }

  if (!valid) {
    for (int py = 0; py < height; ++py) {
      const float wy = map.WorldYOfPixel(py);
      Colour* row = buffer.data() + static_cast<size_t>(py) * static_cast<size_t>(width);
      for (int px = 0; px < width; ++px) {
        const GridPoint& node = field.NodeAt(map.WorldXOfPixel(px), wy);
        row[px] = ramp[static_cast<size_t>(BackgroundIndexOfNode(node, colourBy, limits))];
      }
    }
  }

  const Colour* pixel = buffer.data();
  for (int py = 0; py < height; ++py) {
    for (int px = 0; px < width; ++px) area.SetPixel(px, py, *pixel++);
  }
  valid = true;
}

}  // namespace vortana
