#include "data/cell_search.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vortana {

namespace {

bool Rises(const std::vector<float>& values) {
  for (size_t i = 1; i < values.size(); ++i) {
    if (!(values[i - 1] <= values[i])) return false;  // a NaN counts as a fall
  }
  return true;
}

/// The narrowest and widest gap between neighbours of a rising axis of n >= 2 coordinates.
void GapRange(const float* a, int n, double& narrowest, double& widest) {
  narrowest = std::numeric_limits<double>::infinity();
  widest = 0.0;
  for (int i = 0; i + 1 < n; ++i) {
    const double gap = static_cast<double>(a[i + 1]) - a[i];
    narrowest = std::min(narrowest, gap);
    widest = std::max(widest, gap);
  }
}

/// Whether every cell of a rectilinear grid is wide and high enough for a float area above 0
/// and small enough for finite interpolation weights (each is at most the cell's area). The
/// limits are far inside float's range, so the rounding of the products cannot matter.
bool CellSizesKeepWeightsFinite(const float* xs, int width, const float* ys, int height) {
  if (xs == nullptr || ys == nullptr || width < 2 || height < 2) return false;
  double narrowX, wideX, narrowY, wideY;
  GapRange(xs, width, narrowX, wideX);
  GapRange(ys, height, narrowY, wideY);
  return narrowX * narrowY > 1e-30 && wideX * wideY < 1e30;  // a NaN fails both
}

}  // namespace

void SearchIndex::Start(int width, int height) {
  *this = SearchIndex();
  width_ = width;
  height_ = width > 0 ? height : 0;
  rowX_.reserve(std::max(width, 0));
  columnY_.reserve(std::max(height_, 0));
  previousRowY_.assign(std::max(width, 0), 0.0f);
}

void SearchIndex::AddNodes(const GridPoint* nodes, std::size_t count) {
  while (count > 0 && row_ < height_) {
    if (column_ != 0 || count < static_cast<std::size_t>(width_)) {
      Add(*nodes++);
      --count;
      continue;
    }
    // A whole row: the same tests as Add, node by node in the same order.
    const int width = width_;
    const float rowY = nodes[0].position.y;
    bool flat = velocitiesFlat_, rise = columnsRise_, shareX = rowsShareX_, shareY = columnsShareY_;
    float* previous = previousRowY_.data();
    if (row_ == 0) {
      for (int c = 0; c < width; ++c) rowX_.push_back(nodes[c].position.x);
    }
    const float* xs = rowX_.data();
    for (int c = 0; c < width; ++c) {
      const GridPoint& node = nodes[c];
      const float y = node.position.y;
      flat &= node.velocity.z == 0.0f;
      if (row_ != 0) {
        rise &= previous[c] <= y;  // a NaN counts as a fall
        shareX &= node.position.x == xs[c];
      }
      previous[c] = y;
      if (c != 0) shareY &= y == rowY;
    }
    columnY_.push_back(rowY);
    velocitiesFlat_ = flat;
    columnsRise_ = rise;
    rowsShareX_ = shareX;
    columnsShareY_ = shareY;
    ++row_;
    nodes += width;
    count -= static_cast<std::size_t>(width);
  }
}

void SearchIndex::AddLatticeNodes(const GridPoint* nodes, std::size_t count, bool flat) {
  const std::size_t width = static_cast<std::size_t>(width_);
  if (column_ != 0 || count % width != 0) {
    // Not whole rows after all: node by node, after the last row's y values.
    if (row_ > 0 && row_ <= height_ && latticeRowsOnly_) {
      std::fill(previousRowY_.begin(), previousRowY_.end(), columnY_.back());
    }
    latticeRowsOnly_ = false;
    AddNodes(nodes, count);
    return;
  }
  if (row_ < height_ && !flat) velocitiesFlat_ = false;
  for (; count > 0 && row_ < height_; nodes += width, count -= width) {
    // Add's tests on a row that shares its x values with every other and has one y: a NaN
    // among the x values fails the comparison with the first row's, a NaN y with its own.
    const float rowY = nodes[0].position.y;
    if (row_ == 0) {
      for (std::size_t c = 0; c < width; ++c) {
        const float x = nodes[c].position.x;
        rowX_.push_back(x);
        xHasNaN_ |= x != x;
      }
    } else {
      columnsRise_ &= columnY_.back() <= rowY;
      rowsShareX_ &= !xHasNaN_;
    }
    if (width > 1 && rowY != rowY) columnsShareY_ = false;
    if (!latticeRowsOnly_) std::fill(previousRowY_.begin(), previousRowY_.end(), rowY);
    columnY_.push_back(rowY);
    ++row_;
  }
}

/// The guess (q - origin) * cellsPerUnit for a rising axis, usable when it lands within one
/// cell of the right one at every coordinate of the axis, as it does on axes written as
/// i * extent / (n - 1). The guess only saves time: the search checks it against the axis.
SearchIndex::EvenSpacing SearchIndex::SpacingOf(const std::vector<float>& values) {
  EvenSpacing spacing;
  const int n = static_cast<int>(values.size());
  if (n < 2) return spacing;
  const double origin = values.front();
  const double span = static_cast<double>(values.back()) - origin;
  if (!std::isfinite(origin) || !std::isfinite(span) || !(span > 0.0)) return spacing;
  spacing.origin = origin;
  spacing.cellsPerUnit = (n - 1) / span;
  for (int i = 0; i < n; ++i) {
    const double guess = (values[i] - spacing.origin) * spacing.cellsPerUnit;
    if (!(std::fabs(guess - i) <= 1.0)) return spacing;
  }
  spacing.usable = true;
  return spacing;
}

void SearchIndex::Finish(bool hasCell) {
  previousRowY_ = {};
  rowXRises_ = Rises(rowX_);
  if (rowXRises_) rowXSpacing_ = SpacingOf(rowX_);
  if (columnsShareY_ && columnsRise_) columnYSpacing_ = SpacingOf(columnY_);
  hintsHold_ = hasCell && rowXRises_ && columnsRise_ && columnsShareY_;
  lastCellColumn_ = hintsHold_ ? static_cast<unsigned>(width_ - 2) : 0;
  lastCellRow_ = hintsHold_ ? static_cast<unsigned>(height_ - 2) : 0;
  planar_ = hintsHold_ && velocitiesFlat_ && rowsShareX_ &&
            CellSizesKeepWeightsFinite(RowX(), width_, SharedColumnY(), height_);
}

}  // namespace vortana
