#include "view_navigation.h"

#include <algorithm>
#include <cmath>

namespace vortana {

namespace {

constexpr double kLeastPixelsPerCell = 64.0;
constexpr double kWidestZoomOut = 4.0;

double Extent(float low, float high) { return static_cast<double>(high) - low; }

// A window from a low corner and extents, each coordinate rounded to float once.
WorldWindow WindowFrom(double x0, double y0, double ex, double ey) {
  return {static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x0 + ex),
          static_cast<float>(y0 + ey)};
}

// Rows from the row that stands for y0: MapOfWindow's rows run the other way with y up.
double RowsFromY0(double py, AreaSize area, bool yUp) { return yUp ? (area.height - 1) - py : py; }

}  // namespace

ZoomLimits ZoomLimitsOf(const FlowField& field, const WorldWindow& home) {
  const FieldStatistics& stats = field.Stats();
  ZoomLimits limits;
  if (field.Width() >= 2 && stats.minPosition.x <= stats.maxPosition.x) {
    limits.leastUnitsPerPixelX =
        Extent(stats.minPosition.x, stats.maxPosition.x) / (field.Width() - 1) / kLeastPixelsPerCell;
  }
  if (field.Height() >= 2 && stats.minPosition.y <= stats.maxPosition.y) {
    limits.leastUnitsPerPixelY = Extent(stats.minPosition.y, stats.maxPosition.y) /
                                 (field.Height() - 1) / kLeastPixelsPerCell;
  }
  limits.largestExtentX = kWidestZoomOut * Extent(home.x0, home.x1);
  limits.largestExtentY = kWidestZoomOut * Extent(home.y0, home.y1);
  return limits;
}

WorldWindow ZoomAbout(const WorldWindow& window, AreaSize area, bool yUp, double px, double py,
                      double factor, const ZoomLimits& limits) {
  const double ex = Extent(window.x0, window.x1);
  const double ey = Extent(window.y0, window.y1);
  if (!(ex > 0.0 && ey > 0.0 && factor > 0.0 && area.width > 0 && area.height > 0)) return window;
  // Both axes take one factor, so the window keeps its proportions at the limits too.
  const double mostIn = std::min(ex / (area.width * limits.leastUnitsPerPixelX),
                                 ey / (area.height * limits.leastUnitsPerPixelY));
  const double mostOut = std::max(ex / limits.largestExtentX, ey / limits.largestExtentY);
  if (factor > 1.0) factor = std::max(1.0, std::min(factor, mostIn));
  if (factor < 1.0) factor = std::min(1.0, std::max(factor, mostOut));
  if (factor == 1.0 || !std::isfinite(factor)) return window;

  const double ux = ex / area.width;
  const double uy = ey / area.height;
  const double wx = window.x0 + px * ux;
  const double wy = window.y0 + RowsFromY0(py, area, yUp) * uy;
  const double nex = ex / factor;
  const double ney = ey / factor;
  return WindowFrom(wx - px * (nex / area.width), wy - RowsFromY0(py, area, yUp) * (ney / area.height),
                    nex, ney);
}

WorldWindow PanBy(const WorldWindow& window, AreaSize area, bool yUp, double dpx, double dpy) {
  const double ex = Extent(window.x0, window.x1);
  const double ey = Extent(window.y0, window.y1);
  if (area.width <= 0 || area.height <= 0) return window;
  const double dwx = -dpx * ex / area.width;
  const double dwy = (yUp ? dpy : -dpy) * ey / area.height;
  return WindowFrom(window.x0 + dwx, window.y0 + dwy, ex, ey);
}

PixelRect PixelRectOfWindow(const WorldWindow& shown, AreaSize shownArea, const WorldWindow& window,
                            AreaSize area, bool yUp) {
  const double ux = Extent(window.x0, window.x1) / area.width;
  const double uy = Extent(window.y0, window.y1) / area.height;
  PixelRect rect;
  rect.left = (shown.x0 - static_cast<double>(window.x0)) / ux;
  rect.right = (shown.x1 - static_cast<double>(window.x0)) / ux;
  if (!yUp) {
    rect.top = (shown.y0 - static_cast<double>(window.y0)) / uy;
    rect.bottom = (shown.y1 - static_cast<double>(window.y0)) / uy;
    return rect;
  }
  // With y up a picture's top row stands for one row below y1 (MapOfWindow): the row of the
  // shown picture's top row in this map is where its rectangle starts.
  const double shownRow = Extent(shown.y0, shown.y1) / shownArea.height;
  rect.top = (area.height - 1) - (shown.y1 - shownRow - window.y0) / uy;
  rect.bottom = rect.top + Extent(shown.y0, shown.y1) / uy;
  return rect;
}

bool WindowMeetsData(const WorldWindow& window, const FlowField& field) {
  const FieldStatistics& stats = field.Stats();
  return !field.Empty() && window.x0 <= stats.maxPosition.x && window.x1 >= stats.minPosition.x &&
         window.y0 <= stats.maxPosition.y && window.y1 >= stats.minPosition.y;
}

int SizeToFit(const WorldWindow& window, int width, int height) {
  const int most = std::max(1, std::max(width, height));
  const auto fits = [&](int size) {
    const AreaSize area = AreaOfWindow(window, size, true);
    return area.width <= width && area.height <= height;
  };
  // From the overshoot's share, then pixel by pixel over what rounding leaves either way.
  const AreaSize first = AreaOfWindow(window, most, true);
  const double share = std::min(static_cast<double>(width) / first.width,
                                static_cast<double>(height) / first.height);
  int size = std::clamp(static_cast<int>(most * std::min(1.0, share)), 1, most);
  while (size < most && fits(size + 1)) ++size;
  while (size > 1 && !fits(size)) --size;
  return size;
}

}  // namespace vortana
