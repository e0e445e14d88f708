#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

  /// Reads baseName + ".gri" and baseName + ".00000.dat". On failure `error` says which file and
  /// what is wrong, and the field returned is empty; on success `error` is left empty.
  static std::unique_ptr<FlowField> Load(const std::string& baseName, std::string& error);

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

  /// VelocityAt, starting the cell search at `hint` and leaving there the cell found.
  Vec3 VelocityAt(float x, float y, CellHint& hint) const;

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
      if (row_ == 0) {
        rowX_.push_back(node.position.x);
      } else if (!(previousRowY_[column_] <= y)) {
        columnsRise_ = false;  // a NaN counts as a fall
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
    std::vector<float> rowX_;
    std::vector<float> columnY_;
    std::vector<float> previousRowY_;
    EvenSpacing rowXSpacing_;
    EvenSpacing columnYSpacing_;
  };

  void SetHeader(const GridHeader& header);
  void AddToStatistics(const GridPoint& node);
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
};

}  // namespace vortana
