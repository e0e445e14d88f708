#pragma once

#include "../data/flow_field.h"
#include "world_window.h"

namespace vortana {

/// How far a view may zoom: in until one grid cell spans 64 pixels, out until the window is
/// 4 times the whole view's extent. World units per pixel and world extents, each per axis.
struct ZoomLimits {
  double leastUnitsPerPixelX = 0.0;
  double leastUnitsPerPixelY = 0.0;
  double largestExtentX = 0.0;
  double largestExtentY = 0.0;
};

/// The limits for `field` seen whole through `home`: a cell is the field's extent over its
/// cells along each axis (the mean cell of an uneven grid).
ZoomLimits ZoomLimitsOf(const FlowField& field, const WorldWindow& home);

/// The window after zooming by `factor` (above 1 in, below 1 out) about the fractional pixel
/// (px, py) of `area` showing `window`: the world point under that pixel, as MapOfWindow maps
/// it, stays under it. The factor is cut short at the limits; at a limit the window stays.
WorldWindow ZoomAbout(const WorldWindow& window, AreaSize area, bool yUp, double px, double py,
                      double factor, const ZoomLimits& limits);

/// The window after the picture was dragged by (dpx, dpy) pixels: what lay under the pointer
/// lies under it again.
WorldWindow PanBy(const WorldWindow& window, AreaSize area, bool yUp, double dpx, double dpy);

/// A rectangle in fractional pixels: columns left to right, rows top to bottom.
struct PixelRect {
  double left = 0.0;
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;
};

/// Where the picture of `shown` on `shownArea` lies on `area` showing `window` (y running the
/// same way in both): the rectangle to stretch that picture over, so that each of its pixels
/// lands where the map of `window` puts its world point, until the picture of `window` is ready.
PixelRect PixelRectOfWindow(const WorldWindow& shown, AreaSize shownArea, const WorldWindow& window,
                            AreaSize area, bool yUp);

/// Whether `window` shows any of the field's nodes' extent (touching counts).
bool WindowMeetsData(const WorldWindow& window, const FlowField& field);

/// The largest drawing size (the longer side of AreaOfWindow with the window's proportions) whose
/// area fits in `width` x `height`, at least 1.
int SizeToFit(const WorldWindow& window, int width, int height);

}  // namespace vortana
