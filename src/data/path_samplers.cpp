#include "data/path_samplers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vortana {

bool PlanarSampler::Load(float x, float y) {
  const FlowField& field = *field_;
  const SearchIndex& index = field.searchIndex_;
  const int previousColumn = hint_.column;
  const int previousRow = hint_.row;
  // On other fields a cell's bounds could not be told from the axes alone: the field answers.
  if (!index.Planar()) return false;
  if (!index.CellNearHint(x, y, hint_) && !field.LocateCell(x, y, hint_)) return false;
  const int c = hint_.column;
  const int r = hint_.row;
  // IsFirstInterval on both axes: a(i) < q <= a(i + 1), or a(0) <= q for the first interval,
  // which for a float q is q > the float just below a(0).
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  const float* xs = index.RowX();
  const float* ys = index.SharedColumnY();
  lowX_ = c == 0 ? std::nextafter(xs[0], -kInfinity) : xs[c];
  highX_ = xs[c + 1];
  lowY_ = r == 0 ? std::nextafter(ys[0], -kInfinity) : ys[r];
  highY_ = ys[r + 1];

  const int width = field.width_;
  const GridPoint* nodes = field.SliceStart() + c + r * width;
  // A path crosses cells in a row: fetch the cell two further on the way it came in, whose
  // nodes would otherwise arrive from memory only when the path gets there.
  const int aheadColumn = std::clamp(c + 2 * (c - previousColumn), 0, width - 2);
  const int aheadRow = std::clamp(r + 2 * (r - previousRow), 0, field.height_ - 2);
  const GridPoint* ahead = field.SliceStart() + aheadColumn + aheadRow * width;
  __builtin_prefetch(ahead);
  __builtin_prefetch(ahead + 1);
  __builtin_prefetch(ahead + width);
  __builtin_prefetch(ahead + width + 1);
  cell_ = nodes;
  width_ = width;
  area_ = CellArea(nodes, width);
  return true;
}

}  // namespace vortana
