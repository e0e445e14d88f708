#pragma once

#include <cairo.h>

#include "colour_ramp.h"
#include "picture_scales.h"
#include "pixel_map.h"
#include "pixel_point.h"

namespace vortana {

/// What a picture holds besides the drawing area.
struct DecorationChoice {
  bool legend = false;     // the dialog's legend strip below the area, after its gap
  bool colourBar = false;  // a labelled vertical bar right of the area (and of the legend)
  bool axes = false;       // world-coordinate axes round the area
};

/// Where each part of a picture goes, in picture pixels.
struct PictureLayout {
  int width = 0;
  int height = 0;
  PixelPoint area;  // the drawing area's top-left corner
  int areaWidth = 0;
  int areaHeight = 0;
  PixelPoint legend;  // the legend strip's top-left corner, when there is one
  PixelPoint bar;     // the colour bar's top-left corner, when there is one
  int barWidth = 0;
  int barHeight = 0;
  /// A plain picture is the area (and legend) as the dialog shows them; axes and a colour bar
  /// put it on a white page, as a plotting library would.
  bool onPage = false;
};

/// The layout for a drawing area and legend strip of the given sizes. Without axes and colour
/// bar it is the dialog's: the area at the top-left, the legend after kLegendGap rows.
PictureLayout LayoutPicture(int areaWidth, int areaHeight, int legendWidth, int legendHeight,
                            int legendGap, const DecorationChoice& choice);

/// The bar: the ramp from entry 0 at the bottom to 255 at the top, five ticks with their values
/// and the caption beside them, in black.
void DrawColourBar(cairo_t* cairo, const PictureLayout& layout, const ColourRamp& ramp,
                   const ColourBarScale& scale);

/// A frame round the drawing area with ticks at round world coordinates and their labels, in
/// black; each tick stands at the pixel centre the map gives its world coordinate.
void DrawAxes(cairo_t* cairo, const PictureLayout& layout, const PixelMap& map);

}  // namespace vortana
