#pragma once

#include <cstddef>
#include <vector>

#include "grid_point.h"

// How the field finds the cell of slice 0 that holds a point: the search index it gathers while
// it is built, and the test that takes the cell of a previous sample (a hint) without a search.
// sampling.cpp holds the searches themselves.

namespace vortana {

/// The cell the last sample of a path fell in (the lower corner's column and row). A caller
/// that samples along a path (a trace) keeps one per sequence of nearby points, so that the next
/// sample looks there first. Any values are safe, whatever field they came from: the answer
/// never depends on the hint.
struct CellHint {
  int column = 0;
  int row = 0;
};

/// On an axis that never decreases: whether [a(i), a(i + 1)] is the first interval holding q.
[[gnu::always_inline]] inline bool IsFirstInterval(const float* a, int i, float q) {
  return (i == 0 ? a[0] <= q : a[i] < q) && q <= a[i + 1];
}

/// Interval i, or its neighbour on the side where q lies beyond it (i <= last).
[[gnu::always_inline]] inline int NearFirstInterval(const float* a, int i, unsigned last,
                                                    float q) {
  if (a[i + 1] < q) return static_cast<unsigned>(i) < last ? i + 1 : i;
  if (!(a[i] < q)) return i > 0 ? i - 1 : i;
  return i;
}

/// Slice 0's coordinates laid out for the searches, gathered node by node as the field is
/// built: row 0's x, and column 0's y, which stands for every column while all columns of
/// slice 0 have equal y in each row (a rectilinear grid). The searches then look in small
/// arrays instead of striding through the nodes. Finish() notes which axes never decrease
/// (only there may a search start from a guess: the first interval holding a point can then
/// be recognised on its own), which are evenly spaced enough for the cell to be computed,
/// whether hints hold and whether the field is planar.
class SearchIndex {
 public:
  /// How a coordinate maps to a first guess of its cell: (q - origin) * cellsPerUnit.
  struct EvenSpacing {
    bool usable = false;
    double origin = 0.0;
    double cellsPerUnit = 0.0;
  };

  void Start(int width, int height);
  void Add(const GridPoint& node) {
    if (row_ >= height_) return;  // past slice 0
    const float y = node.position.y;
    if (!(node.velocity.z == 0.0f)) velocitiesFlat_ = false;
    if (row_ == 0) {
      rowX_.push_back(node.position.x);
    } else {
      if (!(previousRowY_[column_] <= y)) columnsRise_ = false;  // a NaN counts as a fall
      if (!(node.position.x == rowX_[column_])) rowsShareX_ = false;
    }
    previousRowY_[column_] = y;
    if (column_ == 0) {
      columnY_.push_back(y);
    } else if (!(y == columnY_[row_])) {
      columnsShareY_ = false;
    }
    if (++column_ == width_) {
      column_ = 0;
      ++row_;
    }
  }
  /// Add for `count` nodes in node order, with the state held in locals over a whole row.
  void AddNodes(const GridPoint* nodes, std::size_t count);
  /// AddNodes for nodes in whole rows of a lattice (every row the same x values, one y each),
  /// `flat` telling whether those of slice 0 all have a velocity z of 0.
  void AddLatticeNodes(const GridPoint* nodes, std::size_t count, bool flat);
  /// After the last node; `hasCell` as FlowField::HasCell.
  void Finish(bool hasCell);

  const float* RowX() const { return rowX_.data(); }
  /// Column 0's y, or nullptr when the columns differ.
  const float* SharedColumnY() const { return columnsShareY_ ? columnY_.data() : nullptr; }
  bool RowXRises() const { return rowXRises_; }
  /// Every column of slice 0 has y non-decreasing down the rows.
  bool ColumnsRise() const { return columnsRise_; }
  const EvenSpacing& RowXSpacing() const { return rowXSpacing_; }
  const EvenSpacing& SharedColumnYSpacing() const { return columnYSpacing_; }
  /// FlowField::IsPlanar.
  bool Planar() const { return planar_; }

  /// Whether the cell VelocityAt interpolates in is the hinted one or its neighbour, when the
  /// hints hold; the hint then moves there. Otherwise the hint stays as it was.
  [[gnu::always_inline]] bool CellNearHint(float x, float y, CellHint& hint) const {
    int c = hint.column;
    int r = hint.row;
    if (!hintsHold_ || static_cast<unsigned>(c) > lastCellColumn_ ||
        static_cast<unsigned>(r) > lastCellRow_) {
      return false;
    }
    const float* xs = rowX_.data();
    const float* ys = columnY_.data();
    c = NearFirstInterval(xs, c, lastCellColumn_, x);
    r = NearFirstInterval(ys, r, lastCellRow_, y);
    // A cell holding the point lies inside the domain (the statistics cover every node), so
    // the domain test is not needed on this path.
    if (!(IsFirstInterval(xs, c, x) && IsFirstInterval(ys, r, y))) return false;
    hint = {c, r};
    return true;
  }

 private:
  static EvenSpacing SpacingOf(const std::vector<float>& values);

  int width_ = 0;
  int height_ = 0;
  int column_ = 0;
  int row_ = 0;
  bool columnsShareY_ = true;
  bool columnsRise_ = true;
  bool rowXRises_ = false;
  bool velocitiesFlat_ = true;  // every node of slice 0 has a velocity z of zero
  bool rowsShareX_ = true;      // every node of slice 0 has the x of row 0's in its column
  std::vector<float> rowX_;
  std::vector<float> columnY_;
  std::vector<float> previousRowY_;
  bool xHasNaN_ = false;  // among the first row's x values, for AddLatticeNodes
  // Every row so far came whole through AddLatticeNodes, which leaves previousRowY_ to be
  // filled from columnY_ when a partial row follows.
  bool latticeRowsOnly_ = true;
  EvenSpacing rowXSpacing_;
  EvenSpacing columnYSpacing_;
  // Set by Finish: a hinted cell may be taken after IsFirstInterval on row 0's x and on column
  // 0's y, which serves every column (both axes rise; at least one cell).
  bool hintsHold_ = false;
  unsigned lastCellColumn_ = 0;  // width - 2
  unsigned lastCellRow_ = 0;     // height - 2
  bool planar_ = false;
};

}  // namespace vortana
