#include "placement.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace vortana {
namespace {

/// Side 1 lies to the left of the direction from point i to point i + 1 as seen on the screen
/// (y downward): for a streamline running toward +x, the candidate above it.
constexpr int kLeftSide = 1;
constexpr int kRightSide = 0;

/// The offset d_sep across the direction (dx, dy) from one chain point to the next, truncated
/// on each axis, each product formed before its division, so that a candidate lies at most
/// d_sep from its point and usually a little closer. Neighbouring points of a chain differ by
/// one of a handful of steps, and a streamline keeps its direction for many points, so the
/// last answer is kept (one square root and two divisions a side otherwise).
class CandidateOffset {
 public:
  explicit CandidateOffset(int dSep) : dSep_(dSep) {}

  /// False when the two points are equal (no two points of a chain are; be safe anyway).
  bool For(double dx, double dy, double& ox, double& oy) {
    if (dx != dx_ || dy != dy_) {
      dx_ = dx;
      dy_ = dy;
      const double length = std::sqrt(dx * dx + dy * dy);
      valid_ = length > 0.0;
      ox_ = valid_ ? std::trunc(dSep_ * dy / length) : 0.0;
      oy_ = valid_ ? std::trunc(dSep_ * dx / length) : 0.0;
    }
    ox = ox_;
    oy = oy_;
    return valid_;
  }

 private:
  int dSep_;
  double dx_ = 0.0;
  double dy_ = 0.0;
  bool valid_ = false;  // (0, 0) has no offset
  double ox_ = 0.0;
  double oy_ = 0.0;
};

/// The candidate seed d_sep beside point i of `line` on `side`, when it lies inside the grid.
/// Whatever lies outside the grid is not free, so no integer is ever formed from it.
bool CandidateBeside(const Streamline& line, size_t i, int side, CandidateOffset& offset,
                     const OccupancyGrid& grid, PixelPoint& candidate) {
  const PixelPoint from = line[i];
  const PixelPoint to = line[i + 1];
  double ox;
  double oy;
  if (!offset.For(static_cast<double>(to.x) - from.x, static_cast<double>(to.y) - from.y, ox,
                  oy)) {
    return false;
  }
  const double cx = side == kLeftSide ? from.x + ox : from.x - ox;
  const double cy = side == kLeftSide ? from.y - oy : from.y + oy;
  if (!(cx >= 0.0 && cx < grid.Width() && cy >= 0.0 && cy < grid.Height())) return false;
  candidate = PixelPoint{static_cast<int32_t>(cx), static_cast<int32_t>(cy)};
  return true;
}

bool Kept(const Streamline& chain) { return chain.size() > kMinKeptPoints; }

}  // namespace

void PlaceRegularStreamlinesWith(const SeedTracer& trace, int width, int height, int gridSize,
                                 Colour colour, Canvas& area, std::vector<Streamline>& stored,
                                 WorkMonitor* monitor) {
  if (gridSize <= 0 || width <= 0) return;  // the seeds would never pass the area's edge
  const long long first = gridSize / 2;
  if (monitor != nullptr && first < width) monitor->SetTotal((width - first - 1) / gridSize + 1);
  // 64-bit so that a + gridSize cannot overflow for a huge grid size.
  for (long long a = first; a < width; a += gridSize) {
    if (!NextSeed(monitor)) return;
    // Along the diagonal from the top-left corner to the bottom-right one: (a, a) on a square.
    const PixelPoint seed{static_cast<int>(a), static_cast<int>(a * height / width)};
    Streamline chain;
    trace(seed, kTraceModePlain, chain);
    if (StopRequested(monitor)) return;
    if (monitor != nullptr) monitor->AddDone(1);
    if (!Kept(chain)) continue;
    DrawStreamline(area, chain, colour);
    stored.push_back(std::move(chain));
    if (monitor != nullptr) monitor->CountPlaced();
  }
}

void PlaceEvenlySpacedStreamlinesWith(const SeedTracer& trace, PixelPoint centre, int dSep,
                                      int dTest, OccupancyGrid& occupancy, Colour colour,
                                      Canvas& area, std::vector<Streamline>& stored,
                                      WorkMonitor* monitor) {
  const int radius = PlacementTestRadius(dTest);
  occupancy.Clear();
  const auto counted = [monitor, dSep](const Streamline& kept) {
    if (monitor == nullptr) return;
    monitor->CountPlaced();
    monitor->AddDone(static_cast<long long>(kept.size()) * std::max(dSep, 1));
  };
  if (monitor != nullptr) {
    monitor->SetTotal(static_cast<long long>(occupancy.Width()) * occupancy.Height());
  }

  // The first streamline is kept whatever its length, even a single pixel.
  size_t current = stored.size();
  {
    Streamline first;
    trace(centre, kTraceModePlain, first);
    if (StopRequested(monitor)) return;
    DrawStreamline(area, first, colour);
    occupancy.Mark(first);
    counted(first);
    stored.push_back(std::move(first));
  }

  // Streamlines kept but not yet walked, by index into `stored` (which may reallocate). The
  // list is a stack: its front is the back of this vector, so the one kept last is walked next.
  std::vector<size_t> waiting;
  size_t i = 0;
  int side = kLeftSide;
  CandidateOffset offset(dSep);
  for (;;) {
    while (i + 1 < stored[current].size()) {
      PixelPoint candidate;
      const bool inside = CandidateBeside(stored[current], i, side, offset, occupancy, candidate);
      // Advance whatever the test says: after side 1 of point i comes side 0 of point i, after
      // side 0 comes side 1 of point i + 1.
      if (side == kLeftSide) {
        side = kRightSide;
      } else {
        side = kLeftSide;
        ++i;
      }
      if (!inside || !occupancy.IsNeighbourhoodFree(candidate, radius)) continue;

      if (!NextSeed(monitor)) return;
      Streamline chain;
      trace(candidate, kTraceModeSpaced, chain);
      if (StopRequested(monitor)) return;
      if (!Kept(chain)) continue;  // leaves nothing behind: not drawn, marked or stored
      DrawStreamline(area, chain, colour);
      occupancy.Mark(chain);
      counted(chain);
      waiting.push_back(stored.size());
      stored.push_back(std::move(chain));
    }
    if (waiting.empty()) return;
    current = waiting.back();
    waiting.pop_back();
    i = 0;
    side = kLeftSide;
  }
}

void PlaceRegularStreamlines(const FlowField& field, const TraceSettings& settings, int gridSize,
                             Colour colour, Canvas& area, std::vector<Streamline>& stored) {
  const SeedTracer trace = [&](PixelPoint seed, int mode, Streamline& chain) {
    TraceStreamline(field, settings, seed.x, seed.y, chain, mode);
  };
  PlaceRegularStreamlinesWith(trace, settings.map.width, settings.map.height, gridSize, colour,
                              area, stored, settings.monitor);
}

void PlaceEvenlySpacedStreamlines(const FlowField& field, const TraceSettings& settings, int dSep,
                                  int dTest, OccupancyGrid& occupancy, Colour colour,
                                  Canvas& area, std::vector<Streamline>& stored) {
  const int radius = PlacementTestRadius(dTest);
  const SeedTracer trace = [&](PixelPoint seed, int mode, Streamline& chain) {
    TraceStreamline(field, settings, seed.x, seed.y, chain, mode, &occupancy, radius);
  };
  const PixelPoint centre{settings.map.width / 2, settings.map.height / 2};
  PlaceEvenlySpacedStreamlinesWith(trace, centre, dSep, radius, occupancy, colour, area, stored,
                                   settings.monitor);
}

}  // namespace vortana
