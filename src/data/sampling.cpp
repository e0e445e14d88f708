#include <algorithm>
#include <cmath>
#include <limits>

#include "data/flow_field.h"

// Both searches find the same cell and node as a scan one step at a time would, on every grid
// whose x grows (or stays) along row 0 and whose y grows (or stays) down each column; they just
// get there faster, over the compact copies of row 0's x and column 0's y that the search index
// keeps (the copies hold the same floats, so every comparison comes out the same). Each answer is
// checked against the scan's stopping rule before any node is read by index, so a grid of
// another shape yields a safe answer, never a read out of bounds.
//
// On an axis that never decreases, the first interval [a(c), a(c + 1)] that holds q, the one a
// scan from 0 stops at, is the one with a(c) <= q <= a(c + 1) and, unless c = 0, a(c) < q: any
// earlier interval then ends below q, and a(c) = q would mean interval c - 1 holds q already.
// That test needs no scan, so VelocityAt may start from a guess (the cell of the previous
// sample, or the cell an evenly spaced axis gives by arithmetic) and walk a cell or two from
// there. Where an axis might decrease the searches never guess, so answers never depend on the
// path that led to them.

namespace vortana {

namespace {

/// The first index i in [0, n) whose coordinate is not below q (n when there is none), by
/// bisection. On a non-decreasing sequence that is where a forward scan meets q. The number of
/// steps depends on n alone and each step is a select, not a branch, since the outcome of every
/// comparison is a coin toss for random queries. Reads stay within [0, n) whatever the order.
template <typename Coordinate>
int FirstNotBelow(int n, Coordinate coordinate, float q) {
  if (n <= 0) return 0;
  int base = 0;
  for (int length = n; length > 1;) {
    const int half = length / 2;
    base = coordinate(base + half) < q ? base + half : base;
    length -= half;
  }
  return base + (coordinate(base) < q ? 1 : 0);
}

/// The lower index of the interval [i, i + 1] that a forward scan stops at first, the one whose
/// closed interval holds q; -1 when the scan would find none.
template <typename Coordinate>
int IntervalIndex(int n, Coordinate coordinate, float q) {
  const int i = std::max(FirstNotBelow(n, coordinate, q) - 1, 0);
  if (i > n - 2) return -1;
  return coordinate(i) <= q && q <= coordinate(i + 1) ? i : -1;
}

/// No answer within the steps allowed: the caller searches afresh.
constexpr int kUnsettled = -2;

/// Walks from interval g (0 <= g <= n - 2) of a non-decreasing axis toward the first interval
/// holding q, at most `steps` intervals. Returns that interval, -1 when no interval holds q
/// (q beyond either end, or not a number), or kUnsettled when the walk was too short.
template <typename Coordinate>
int WalkToInterval(int n, Coordinate coordinate, float q, int g, int steps) {
  for (;;) {
    if (g > 0 && !(coordinate(g) < q)) {
      if (--steps < 0) return kUnsettled;
      --g;
    } else if (g < n - 2 && coordinate(g + 1) < q) {
      if (--steps < 0) return kUnsettled;
      ++g;
    } else {
      // Here g = 0 or a(g) < q, and g = n - 2 or q <= a(g + 1).
      return (g > 0 || coordinate(0) <= q) && q <= coordinate(g + 1) ? g : -1;
    }
  }
}

/// The interval of the even spacing's guess for q, clamped to 0 .. n - 2.
template <typename EvenSpacing>
int GuessedInterval(const EvenSpacing& spacing, int n, float q) {
  const double t = (static_cast<double>(q) - spacing.origin) * spacing.cellsPerUnit;
  if (!(t > 0.0)) return 0;  // a NaN too
  if (t >= n - 2) return n - 2;
  return static_cast<int>(t);
}

/// IntervalIndex for an axis that never decreases, trying the hint (one step either way), then
/// the even spacing's guess (two steps), before bisecting. Leaves the interval found in `hint`.
template <typename Coordinate, typename EvenSpacing>
int IntervalNear(int n, Coordinate coordinate, float q, int& hint, const EvenSpacing& spacing) {
  int found = kUnsettled;
  if (hint >= 0 && hint <= n - 2) found = WalkToInterval(n, coordinate, q, hint, 1);
  if (found == kUnsettled && spacing.usable) {
    found = WalkToInterval(n, coordinate, q, GuessedInterval(spacing, n, q), 2);
  }
  if (found == kUnsettled) found = IntervalIndex(n, coordinate, q);
  if (found >= 0) hint = found;
  return found;
}

/// The smallest index of at least 1 whose coordinate is at or above q: where the halving-step
/// search ends. A query above the last coordinate (or not a number) gets the last index rather
/// than one beyond the row or column.
template <typename Coordinate>
int CornerIndex(int n, Coordinate coordinate, float q) {
  if (n < 2) return 0;
  const int i = std::max(FirstNotBelow(n, coordinate, q), 1);
  if (i >= n || !(coordinate(i) >= q)) return n - 1;
  return i;
}

}  // namespace

void FlowField::FinishSearchIndex() { searchIndex_.Finish(HasCell()); }

Vec3 FlowField::VelocityAt(float x, float y) const {
  CellHint hint;
  return VelocityAtSearching(x, y, hint);
}

Vec3 FlowField::VelocityAtSearching(float x, float y, CellHint& hint) const {
  if (!HasCell()) return Vec3{};
  if (!LocateCell(x, y, hint)) return SliceStart()->velocity;
  const int width = width_;
  const GridPoint* cell = SliceStart() + hint.column + hint.row * width;
  return InterpolateInCell<Vec3>(cell, width, x, y, CellArea(cell, width));
}

bool FlowField::LocateCell(float x, float y, CellHint& hint) const {
  if (!HasCell()) return false;
  const FieldStatistics& s = stats_;
  if (x < s.minPosition.x || x > s.maxPosition.x || y < s.minPosition.y || y > s.maxPosition.y) {
    return false;
  }

  const int width = width_;
  const float* rowX = searchIndex_.RowX();
  auto rowXAt = [rowX](int i) { return rowX[i]; };
  const int c = searchIndex_.RowXRises()
                    ? IntervalNear(width, rowXAt, x, hint.column, searchIndex_.RowXSpacing())
                    : IntervalIndex(width, rowXAt, x);
  if (c < 0) return false;
  const GridPoint* column = SliceStart() + c;
  const float* columnY = searchIndex_.SharedColumnY();
  auto sharedY = [columnY](int i) { return columnY[i]; };
  auto ownY = [column, width](int i) { return column[i * width].position.y; };
  static constexpr SearchIndex::EvenSpacing kUneven{};  // sheared columns: no guess
  int r;
  if (!searchIndex_.ColumnsRise()) {
    r = columnY ? IntervalIndex(height_, sharedY, y) : IntervalIndex(height_, ownY, y);
  } else if (columnY) {
    r = IntervalNear(height_, sharedY, y, hint.row, searchIndex_.SharedColumnYSpacing());
  } else {
    r = IntervalNear(height_, ownY, y, hint.row, kUneven);
  }
  if (r < 0) return false;
  hint = {c, r};
  return true;
}

const GridPoint& FlowField::NodeAt(float x, float y) const {
  static const GridPoint kAtRest{};
  if (nodes_.empty() || width_ <= 0 || height_ <= 0) return kAtRest;
  const int width = width_;
  const float* rowX = searchIndex_.RowX();
  const int c = CornerIndex(
      width, [rowX](int i) { return rowX[i]; }, x);
  const GridPoint* column = SliceStart() + c;
  const float* columnY = searchIndex_.SharedColumnY();
  auto sharedY = [columnY](int i) { return columnY[i]; };
  auto ownY = [column, width](int i) { return column[i * width].position.y; };
  const int r = columnY ? CornerIndex(height_, sharedY, y) : CornerIndex(height_, ownY, y);
  return column[r * width];
}

}  // namespace vortana
