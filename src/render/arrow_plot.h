#pragma once

#include <array>
#include <vector>

#include "../data/flow_field.h"
#include "canvas.h"
#include "pixel_map.h"
#include "pixel_point.h"

namespace vortana {

/// One stored arrow: its centre in drawing-area pixels and the vector shown there, normalised or
/// divided by max speed but not yet scaled by the glyph's half-length.
struct ArrowRecord {
  int32_t x = 0;
  int32_t y = 0;
  Vec3 v;
};

/// What the arrow plot reads from the dialog state.
struct ArrowSettings {
  int gridSize = 32;
  int normalized = 0;  // tested for equality with 1
  float maxSpeed = 0.0f;
};

/// The vector an arrow at pixel (px, py) shows.
Vec3 VectorAtPixel(const FlowField& field, const PixelMap& map, const ArrowSettings& settings,
                   int px, int py);

/// The glyph of vector v centred on (x, y) at grid size gridSize.
ArrowGlyph ArrowGlyphFor(int x, int y, Vec3 v, int gridSize);

/// Draws the glyph with the canvas's selected pen.
void DrawArrow(Canvas& canvas, int x, int y, Vec3 v, int gridSize);

/// The lattice of arrows, row by row, each drawn at once in `colour` and appended to `arrows`.
void DrawArrowPlot(const FlowField& field, const PixelMap& map, const ArrowSettings& settings,
                   Colour colour, Canvas& area, std::vector<ArrowRecord>& arrows);

}  // namespace vortana
