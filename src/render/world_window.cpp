#include "world_window.h"

#include <algorithm>
#include <cmath>

namespace vortana {

namespace {

// Nearest whole pixel count of size x part / whole, at least one.
int ShareOf(int size, double part, double whole) {
  return std::max(1, static_cast<int>(std::lround(size * part / whole)));
}

float ScaleOf(float low, float high, int pixels) {
  return static_cast<float>((static_cast<double>(high) - static_cast<double>(low)) / pixels);
}

}  // namespace

AreaSize AreaOfWindow(const WorldWindow& window, int size, bool keepAspect) {
  const double ex = static_cast<double>(window.x1) - window.x0;
  const double ey = static_cast<double>(window.y1) - window.y0;
  const bool proportioned = std::isfinite(ex) && std::isfinite(ey) && ex > 0.0 && ey > 0.0;
  if (!keepAspect || !proportioned) return {size, size};
  if (ex >= ey) return {size, ShareOf(size, ey, ex)};
  return {ShareOf(size, ex, ey), size};
}

PixelMap MapOfWindow(const WorldWindow& window, AreaSize area, bool yUp) {
  PixelMap map;
  map.width = area.width;
  map.height = area.height;
  map.scaleX = ScaleOf(window.x0, window.x1, area.width);
  map.scaleY = ScaleOf(window.y0, window.y1, area.height);
  map.x0 = window.x0;
  map.y0 = window.y0;
  map.yUp = yUp;
  return map;
}

}  // namespace vortana
