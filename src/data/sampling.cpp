#include <algorithm>

#include "data/flow_field.h"

// Both searches find the same cell and node as a scan one step at a time would, on every grid
// whose x grows (or stays) along row 0 and whose y grows (or stays) down each column; they just
// get there by halving. Each answer is checked against the scan's stopping rule before any node
// is read by index, so a grid of another shape yields a safe answer, never a read out of bounds.

namespace vortana {

namespace {

/// The first index i in [0, n) whose coordinate is not below q (n when there is none), by
/// bisection. On a non-decreasing sequence that is where a forward scan meets q.
template <typename Coordinate>
int FirstNotBelow(int n, Coordinate coordinate, float q) {
  int lo = 0;
  int hi = n;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (coordinate(mid) < q) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

/// The lower index of the interval [i, i + 1] that a forward scan stops at first, the one whose
/// closed interval holds q; -1 when the scan would find none.
template <typename Coordinate>
int IntervalIndex(int n, Coordinate coordinate, float q) {
  const int i = std::max(FirstNotBelow(n, coordinate, q) - 1, 0);
  if (i > n - 2) return -1;
  return coordinate(i) <= q && q <= coordinate(i + 1) ? i : -1;
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

Vec3 FlowField::VelocityAt(float x, float y) const {
  if (!HasCell()) return Vec3{};
  const FieldStatistics& s = stats_;
  const Vec3& outside = nodes_[0].velocity;
  if (x < s.minPosition.x || x > s.maxPosition.x || y < s.minPosition.y || y > s.maxPosition.y) {
    return outside;
  }

  const int width = width_;
  const GridPoint* nodes = nodes_.data();
  const int c = IntervalIndex(width, [nodes](int i) { return nodes[i].position.x; }, x);
  if (c < 0) return outside;
  const GridPoint* column = nodes + c;
  const int r = IntervalIndex(
      height_, [column, width](int i) { return column[i * width].position.y; }, y);
  if (r < 0) return outside;

  const int k = c + r * width;
  const GridPoint& n00 = nodes[k];
  const GridPoint& n10 = nodes[k + 1];
  const GridPoint& n01 = nodes[k + width];
  const GridPoint& n11 = nodes[k + width + 1];
  const float x0 = n00.position.x;
  const float x1 = n10.position.x;
  const float y0 = n00.position.y;
  const float y1 = n01.position.y;

  const float dx0 = static_cast<float>(static_cast<double>(x) - x0);
  const float dx1 = static_cast<float>(static_cast<double>(x1) - x);
  const float dy0 = static_cast<float>(static_cast<double>(y) - y0);
  const float dy1 = static_cast<float>(static_cast<double>(y1) - y);

  const float w00 = static_cast<float>(static_cast<double>(dy1) * dx1);
  const float w10 = static_cast<float>(static_cast<double>(dy1) * dx0);
  const float w01 = static_cast<float>(static_cast<double>(dy0) * dx1);
  const float w11 = static_cast<float>(static_cast<double>(dy0) * dx0);

  Vec3 lowerRow = n00.velocity * w00;
  lowerRow += n10.velocity * w10;
  Vec3 upperRow = n01.velocity * w01;
  upperRow += n11.velocity * w11;
  lowerRow += upperRow;
  // A cell of zero width or height divides by 0: the answer is then not finite, by design.
  const float area = static_cast<float>((static_cast<double>(y1) - y0) *
                                        (static_cast<double>(x1) - x0));
  return lowerRow /= area;
}

const GridPoint& FlowField::NodeAt(float x, float y) const {
  static const GridPoint kAtRest{};
  if (nodes_.empty() || width_ <= 0 || height_ <= 0) return kAtRest;
  const int width = width_;
  const GridPoint* nodes = nodes_.data();
  const int c = CornerIndex(width, [nodes](int i) { return nodes[i].position.x; }, x);
  const GridPoint* column = nodes + c;
  const int r =
      CornerIndex(height_, [column, width](int i) { return column[i * width].position.y; }, y);
  return column[r * width];
}

}  // namespace vortana
