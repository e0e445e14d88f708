#pragma once

#include <functional>
#include <vector>

#include "occupancy_grid.h"
#include "pixel_point.h"
#include "streamline.h"
#include "surface.h"

namespace vortana {

/// Traces one streamline from `seed` in `mode` (kTraceModePlain or kTraceModeSpaced) into
/// `chain`. The placements below take the tracer as a parameter so that the walk over seeds and
/// candidates can be followed on its own; PlaceRegularStreamlines and
/// PlaceEvenlySpacedStreamlines pass TraceStreamline.
using SeedTracer = std::function<void(PixelPoint seed, int mode, Streamline& chain)>;

/// A streamline is kept only with more than this many points.
inline constexpr size_t kMinKeptPoints = 5;

/// The neighbourhood radius placement works with: a dTest below 1 examines no pixel at all, not
/// even the candidate's own, so every candidate would pass for ever; it is taken as 1.
constexpr int PlacementTestRadius(int dTest) { return dTest < 1 ? 1 : dTest; }

/// Regular placement over an area `width` pixels wide: seeds (a, a) for a = gridSize / 2,
/// gridSize / 2 + gridSize, ... while a < width. A grid size of 0 or less gives no seeds.
void PlaceRegularStreamlinesWith(const SeedTracer& trace, int width, int gridSize, Colour colour,
                                 Surface& area, std::vector<Streamline>& stored);

/// Evenly spaced placement: the first streamline from `centre`, then candidates d_sep beside
/// every kept one, tested against `occupancy` (which covers the drawing area).
void PlaceEvenlySpacedStreamlinesWith(const SeedTracer& trace, PixelPoint centre, int dSep,
                                      int dTest, OccupancyGrid& occupancy, Colour colour,
                                      Surface& area, std::vector<Streamline>& stored);

}  // namespace vortana
