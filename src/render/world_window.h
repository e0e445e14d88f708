#pragma once

#include "pixel_map.h"

namespace vortana {

/// The part of the world a drawing shows: x from x0 to x1, y from y0 to y1.
struct WorldWindow {
  float x0 = 0.0f;
  float y0 = 0.0f;
  float x1 = 0.0f;
  float y1 = 0.0f;
};

/// A drawing area's size in pixels.
struct AreaSize {
  int width = 0;
  int height = 0;
};

/// The drawing area for a window: `size` x `size` when the picture fills a square; with
/// `keepAspect` the longer extent of the window gets `size` pixels and the other its share,
/// rounded to the nearest pixel and at least one. A window without two positive finite extents
/// has no proportions to keep and fills the square.
AreaSize AreaOfWindow(const WorldWindow& window, int size, bool keepAspect);

/// The map that spreads `window` over `area`: pixel column 0 is x0, the scales are each extent
/// over the pixels of its side, rounded to float (0 to max over 512 pixels is the older
/// program's mapping, bit for bit), and y runs up the screen when `yUp`.
PixelMap MapOfWindow(const WorldWindow& window, AreaSize area, bool yUp);

}  // namespace vortana
