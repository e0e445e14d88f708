#pragma once

#include <span>

#include "pixel_point.h"

namespace vortana {

/// Calls `visit` with the points a line through the whole chain turns at: the first point, every
/// point where the direction changes, and the last. A point that carries on its predecessor's
/// straight run in the same direction, or repeats it, adds nothing to the line and is left out,
/// so the line through the visited points passes every point of the chain. A pixel chain is
/// mostly such runs; a vector picture holds only its corners. Returns how many were visited.
template <typename Visit>
int ForEachCorner(std::span<const PixelPoint> chain, Visit&& visit) {
  if (chain.empty()) return 0;
  visit(chain.front());
  int visited = 1;
  PixelPoint corner = chain.front();  // the last point visited
  PixelPoint end = corner;            // the far end of the run from it, not yet visited
  for (const PixelPoint& p : chain.subspan(1)) {
    const long long runX = static_cast<long long>(end.x) - corner.x;
    const long long runY = static_cast<long long>(end.y) - corner.y;
    const long long stepX = static_cast<long long>(p.x) - end.x;
    const long long stepY = static_cast<long long>(p.y) - end.y;
    if (stepX == 0 && stepY == 0) continue;
    const bool onward = runX * stepY == runY * stepX && runX * stepX + runY * stepY > 0;
    if (!onward && (runX != 0 || runY != 0)) {
      visit(end);
      ++visited;
      corner = end;
    }
    end = p;
  }
  if (end.x != corner.x || end.y != corner.y) {
    visit(end);
    ++visited;
  }
  return visited;
}

}  // namespace vortana
