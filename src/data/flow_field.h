#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/load_result.h"
#include "grid_point.h"

namespace vortana {

/// The largest finite float: the start value of every minimum.
inline constexpr float kFloatMax = 3.4028235e38f;

/// A grid file begins with this many bytes of header text.
inline constexpr std::size_t kGridHeaderBytes = 40;

/// Width, height and depth are held in 16 bits; larger values are refused on load.
inline constexpr int kMaxDimension = 32767;

/// Ranges gathered while the files are read. Maxima start at 0 and minima at kFloatMax, and
/// every comparison is strict, so a field whose x values are all negative has max position x 0.
struct FieldStatistics {
  Vec3 maxPosition;
  Vec3 maxVelocity;
  Vec3 minPosition{kFloatMax, kFloatMax, kFloatMax};
  float maxSpeed = 0.0f;
  float minScalar0 = kFloatMax;
  float maxScalar0 = 0.0f;
  float minScalar1 = kFloatMax;
  float maxScalar1 = 0.0f;
};

/// The header of a grid file, "SN4DB %d %d %d %d %d %f"; fields after a parse stop stay 0.
struct GridHeader {
  bool hasMagic = false;
  /// How many of the five integers were read before the scan stopped.
  int integersRead = 0;
  /// The scan stopped because the header text ended (its 40 bytes or a NUL), not at a character
  /// that cannot start a number.
  bool textEnded = false;
  int width = 0;
  int height = 0;
  int depth = 0;
  int scalarCount = 0;
  int spare = 0;
  float real = 0.0f;
};

/// Parses the first (at most 40) bytes of a grid file; never reads past `size`.
GridHeader ParseGridHeader(const char* bytes, std::size_t size);

/// One data set in memory: nodes in node order (columns fastest, then rows, then slices), the
/// dimensions, the row offset table and the statistics. Read-only once loaded.
class FlowField {
 public:
  /// An empty field: no nodes, every dimension 0, every statistic at its start value.
  FlowField() = default;

  /// Reads the file pair baseName + ".gri" and baseName + ".00000.dat" (see GridPairReader; a
  /// data set chosen by path goes through LoadDataSet). A failure names the file and the reason.
  static LoadResult Load(const std::string& baseName);

  /// Builds a field from nodes already in memory (tests, samples); computes the statistics
  /// exactly as loading does. nodes.size() must equal width * height * depth and every dimension
  /// must lie in 0 to kMaxDimension; otherwise the field returned is empty.
  static std::unique_ptr<FlowField> FromNodes(int width, int height, int depth, int scalarCount,
                                              std::vector<GridPoint> nodes);

  int32_t NodeCount() const { return nodeCount_; }
  int16_t Width() const { return width_; }
  int16_t Height() const { return height_; }
  int16_t Depth() const { return depth_; }
  int16_t ScalarCount() const { return scalarCount_; }
  int16_t SpareHeaderInteger() const { return spare_; }
  float HeaderReal() const { return headerReal_; }
  const FieldStatistics& Stats() const { return stats_; }
  const std::vector<GridPoint>& Nodes() const { return nodes_; }
  const std::vector<int32_t>& RowOffsets() const { return rowOffsets_; }
  bool Empty() const { return nodes_.empty(); }

  /// True when slice 0 has at least one cell (2 columns and 2 rows) to sample.
  bool HasCell() const { return width_ >= 2 && height_ >= 2 && !nodes_.empty(); }

  /// True when every column of slice 0 has the same y as column 0 in each row (a rectilinear
  /// grid; a NaN y counts as different), so that a row found in one column holds for all.
  bool ColumnsShareRowY() const { return searchIndex_.SharedColumnY() != nullptr; }

  /// Bilinear velocity at world point (x, y) in the cell of slice 0 that holds it; outside the
  /// domain, the velocity of node 0. Never reads outside the node array; a field without a
  /// cell answers (0, 0, 0).
  Vec3 VelocityAt(float x, float y) const;

  /// The cell the last sample of a path fell in. A caller that samples along a path (a trace)
  /// keeps one per sequence of nearby points, so that the next sample looks there first. Any
  /// values are safe, whatever field they came from: the answer never depends on the hint.
  struct CellHint {
    int column = 0;
    int row = 0;
  };

  /// VelocityAt, starting the cell search at `hint` and leaving there the cell found. Inline, as
  /// a trace spends most of its time here: its samples lie a fraction of a cell apart, so the
  /// hinted cell or its neighbour holds most of them.
  [[gnu::always_inline]] Vec3 VelocityAt(float x, float y, CellHint& hint) const {
    if (CellNearHint(x, y, hint)) {
      return InterpolateInCell(hint.column + hint.row * static_cast<int>(width_), x, y);
    }
    return VelocityAtSearching(x, y, hint);
  }

  /// The x and y of a velocity of a planar field, whose z is always zero.
  struct PlanarVelocity {
    float x = 0.0f;
    float y = 0.0f;
  };

  /// True when every velocity VelocityAt can answer has a z of zero (positive or negative),
  /// whatever the point: slice 0's velocities have z = 0, its grid is rectilinear with both axes
  /// rising (every row has row 0's x, every column column 0's y) and every cell has a width and
  /// height whose product keeps the interpolation weights finite and the cell's area above 0.
  /// The x and y of a sample then never depend on z, and a tracer may leave z out.
  bool IsPlanar() const { return planar_; }

  /// VelocityAt's x and y along a path on a planar field. It keeps the cell of the last sample
  /// (the search's bounds of that cell and its area), so that the next sample, usually in the
  /// same cell, needs no search; on entering a cell it fetches the nodes of the cell two
  /// further on the same way. A sample outside the kept cell asks the field. On a field that is
  /// not planar every sample asks the field, and the x and y are still VelocityAt's.
  class PlanarSampler {
   public:
    explicit PlanarSampler(const FlowField& field) : field_(&field) {}

    [[gnu::always_inline]] PlanarVelocity At(float x, float y) {
      // The first-interval test of the search, with low bounds made exclusive (see Load()).
      if (!(lowX_ < x && x <= highX_ && lowY_ < y && y <= highY_)) {
        if (!Load(x, y)) {
          const Vec3 v = field_->VelocityAt(x, y, hint_);
          return {v.x, v.y};
        }
      }
      // InterpolateInCell, term for term, without z. Each difference and weight there is one
      // operation on two floats done in double and rounded to float; double carries more than
      // twice float's precision and two bits more, so that is the float operation itself,
      // bit for bit, and here it is done as one, without the conversions on the way.
      const GridPoint& n00 = cell_[0];
      const GridPoint& n10 = cell_[1];
      const GridPoint& n01 = cell_[width_];
      const GridPoint& n11 = cell_[width_ + 1];
      const float x0 = n00.position.x;
      const float x1 = n10.position.x;
      const float y0 = n00.position.y;
      const float y1 = n01.position.y;
      const float dx0 = x - x0;
      const float dx1 = x1 - x;
      const float dy0 = y - y0;
      const float dy1 = y1 - y;
      const float w00 = dy1 * dx1;
      const float w10 = dy1 * dx0;
      const float w01 = dy0 * dx1;
      const float w11 = dy0 * dx0;
      float lowerX = n00.velocity.x * w00;
      lowerX += n10.velocity.x * w10;
      float upperX = n01.velocity.x * w01;
      upperX += n11.velocity.x * w11;
      lowerX += upperX;
      float lowerY = n00.velocity.y * w00;
      lowerY += n10.velocity.y * w10;
      float upperY = n01.velocity.y * w01;
      upperY += n11.velocity.y * w11;
      lowerY += upperY;
      return {lowerX / area_, lowerY / area_};
    }

   private:
    /// Takes the cell holding (x, y) when there is one.
    bool Load(float x, float y);

    const FlowField* field_;
    CellHint hint_;
    // Empty bounds until the first sample: every test fails.
    float lowX_ = 1.0f;
    float highX_ = 0.0f;
    float lowY_ = 1.0f;
    float highY_ = 0.0f;
    float area_ = 1.0f;
    const GridPoint* cell_ = nullptr;
    int width_ = 0;
  };

  /// The node at the larger-x, larger-y corner of the cell holding (x, y), found by the
  /// halving-step search. Never reads outside the node array; an empty field answers a node
  /// at rest.
  const GridPoint& NodeAt(float x, float y) const;

 private:
  /// Slice 0's coordinates laid out for the searches, gathered node by node as the field is
  /// built: row 0's x, and column 0's y, which stands for every column while all columns of
  /// slice 0 have equal y in each row (a rectilinear grid). The searches then look in small
  /// arrays instead of striding through the nodes. Finish() notes which axes never decrease
  /// (only there may a search start from a guess: the first interval holding a point can then
  /// be recognised on its own) and which are evenly spaced enough for the cell to be computed.
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
    void Finish();

    const float* RowX() const { return rowX_.data(); }
    /// Column 0's y, or nullptr when the columns differ.
    const float* SharedColumnY() const { return columnsShareY_ ? columnY_.data() : nullptr; }
    bool RowXRises() const { return rowXRises_; }
    /// Every column of slice 0 has y non-decreasing down the rows.
    bool ColumnsRise() const { return columnsRise_; }
    /// Every node of slice 0 has a velocity z of zero and the x of row 0's node in its column.
    bool VelocitiesFlat() const { return velocitiesFlat_; }
    bool RowsShareX() const { return rowsShareX_; }
    const EvenSpacing& RowXSpacing() const { return rowXSpacing_; }
    const EvenSpacing& SharedColumnYSpacing() const { return columnYSpacing_; }

   private:
    static EvenSpacing SpacingOf(const std::vector<float>& values);

    int width_ = 0;
    int height_ = 0;
    int column_ = 0;
    int row_ = 0;
    bool columnsShareY_ = true;
    bool columnsRise_ = true;
    bool rowXRises_ = false;
    bool velocitiesFlat_ = true;
    bool rowsShareX_ = true;
    std::vector<float> rowX_;
    std::vector<float> columnY_;
    std::vector<float> previousRowY_;
    EvenSpacing rowXSpacing_;
    EvenSpacing columnYSpacing_;
  };

  /// On an axis that never decreases: whether [a(i), a(i + 1)] is the first interval holding q.
  static bool IsFirstInterval(const float* a, int i, float q) {
    return (i == 0 ? a[0] <= q : a[i] < q) && q <= a[i + 1];
  }

  /// Interval i, or its neighbour on the side where q lies beyond it (i <= last).
  static int NearFirstInterval(const float* a, int i, unsigned last, float q) {
    if (a[i + 1] < q) return static_cast<unsigned>(i) < last ? i + 1 : i;
    if (!(a[i] < q)) return i > 0 ? i - 1 : i;
    return i;
  }

  /// Whether the cell VelocityAt interpolates in is the hinted one or its neighbour, when the
  /// hints hold; the hint then moves there. Otherwise the hint stays as it was.
  [[gnu::always_inline]] bool CellNearHint(float x, float y, CellHint& hint) const {
    int c = hint.column;
    int r = hint.row;
    if (!hintsHold_ || static_cast<unsigned>(c) > lastCellColumn_ ||
        static_cast<unsigned>(r) > lastCellRow_) {
      return false;
    }
    const float* xs = searchIndex_.RowX();
    const float* ys = searchIndex_.SharedColumnY();
    c = NearFirstInterval(xs, c, lastCellColumn_, x);
    r = NearFirstInterval(ys, r, lastCellRow_, y);
    // A cell holding the point lies inside the domain (the statistics cover every node), so
    // the domain test is not needed on this path.
    if (!(IsFirstInterval(xs, c, x) && IsFirstInterval(ys, r, y))) return false;
    hint = {c, r};
    return true;
  }

  Vec3 VelocityAtSearching(float x, float y, CellHint& hint) const;
  /// The cell VelocityAt interpolates in, into `hint`; false when it answers without a cell.
  bool LocateCell(float x, float y, CellHint& hint) const;

  /// Bilinear interpolation in the cell whose lower corner is node k of slice 0.
  [[gnu::always_inline]] Vec3 InterpolateInCell(int k, float x, float y) const {
    const int width = width_;
    const GridPoint* nodes = nodes_.data();
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
    const float area =
        static_cast<float>((static_cast<double>(y1) - y0) * (static_cast<double>(x1) - x0));
    return lowerRow /= area;
  }

  friend class FieldBuilder;

  void FinishSearchIndex();
  void BuildRowOffsets();

  int32_t nodeCount_ = 0;
  int16_t width_ = 0;
  int16_t height_ = 0;
  int16_t depth_ = 0;
  int16_t scalarCount_ = 0;
  int16_t spare_ = 0;
  float headerReal_ = 0.0f;
  FieldStatistics stats_;
  std::vector<int32_t> rowOffsets_;
  std::vector<GridPoint> nodes_;
  SearchIndex searchIndex_;
  // Set once the field is built: a hinted cell may be taken after IsFirstInterval on row 0's x
  // and on column 0's y, which serves every column (both axes rise; at least one cell).
  bool hintsHold_ = false;
  unsigned lastCellColumn_ = 0;  // width - 2
  unsigned lastCellRow_ = 0;     // height - 2
  bool planar_ = false;
};

}  // namespace vortana
