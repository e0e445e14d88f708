#pragma once

#include <functional>
#include <vector>

#include "canvas.h"
#include "occupancy_grid.h"
#include "pixel_point.h"
#include "streamline.h"
#include "work_monitor.h"

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

/// Regular placement over an area `width` x `height` pixels: seeds (a, a x height / width,
/// truncated) for a = gridSize / 2, gridSize / 2 + gridSize, ... while a < width, along the
/// diagonal; (a, a) on a square area. A grid size of 0 or less gives no seeds.
///
/// Both placements stop before the next seed once `monitor` asks them to, and drop a streamline
/// whose trace the request cut short: what is stored is exactly what is drawn. The monitor
/// counts the streamlines kept and the seeds tried (regular) or the pixels of the area the kept
/// streamlines cover, each a band d_sep wide (evenly spaced).
void PlaceRegularStreamlinesWith(const SeedTracer& trace, int width, int height, int gridSize,
                                 Colour colour, Canvas& area, std::vector<Streamline>& stored,
                                 WorkMonitor* monitor = nullptr);

/// Evenly spaced placement, of the family of B. Jobard and W. Lefer, "Creating Evenly-Spaced
/// Streamlines of Arbitrary Density", Visualization in Scientific Computing '97 (Springer,
/// 1997), pp. 43-55: streamlines grow one after another, each new one seeded beside one already
/// kept and stopped where it comes too close to any other. Here the distances are pixels:
/// d_sep, the separating distance, is how far beside a kept streamline a candidate seed lies;
/// d_test, the test distance, is how close a growing streamline may come to a kept one (the
/// radius of the neighbourhood test on `occupancy`) before it stops.
///
/// The first streamline from `centre`, then candidates d_sep beside every kept one, tested
/// against `occupancy` (which covers the drawing area).
void PlaceEvenlySpacedStreamlinesWith(const SeedTracer& trace, PixelPoint centre, int dSep,
                                      int dTest, OccupancyGrid& occupancy, Colour colour,
                                      Canvas& area, std::vector<Streamline>& stored,
                                      WorkMonitor* monitor = nullptr);

}  // namespace vortana
