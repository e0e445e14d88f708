#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cell_interpolation.h"
#include "cell_search.h"
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
/// dimensions, the row offset table and the statistics. Read-only once loaded, but for the
/// choice of the slice that sampling reads. What is said of slice 0 below holds for the sampled
/// slice when SampleSlice has chosen another.
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
  /// True for a field read from the grid/data file pair, or built by FromNodes (samples and
  /// tests build what a file pair holds), and for the empty field. The settings whose `auto`
  /// follows the source keep the older program's conventions for such a field (steps in world
  /// units) and take the modern ones for a field from any other source (steps in pixels).
  bool FromFilePair() const { return fromFilePair_; }

  /// Makes sampling (VelocityAt, NodeAt, the path samplers, the background) read slice `slice`
  /// exactly as it reads slice 0 otherwise, for a data set shown at one of its slices. The
  /// statistics stay those over all slices, so that every slice is drawn to one scale. Returns
  /// false, changing nothing, for a slice outside 0 to Depth() - 1.
  bool SampleSlice(int slice);
  /// The slice sampling reads: 0 unless SampleSlice chose another.
  int SampledSlice() const { return sampledSlice_; }
  /// The nodes of the sampled slice, in node order.
  std::span<const GridPoint> SliceNodes() const;

  /// True when slice 0 has at least one cell (2 columns and 2 rows) to sample.
  bool HasCell() const { return width_ >= 2 && height_ >= 2 && !nodes_.empty(); }

  /// True when every column of slice 0 has the same y as column 0 in each row (a rectilinear
  /// grid; a NaN y counts as different), so that a row found in one column holds for all.
  bool ColumnsShareRowY() const { return searchIndex_.SharedColumnY() != nullptr; }

  /// Bilinear velocity at world point (x, y) in the cell of slice 0 that holds it; outside the
  /// domain, the velocity of node 0. Never reads outside the node array; a field without a
  /// cell answers (0, 0, 0).
  Vec3 VelocityAt(float x, float y) const;

  /// Where the last sample of a path fell; see vortana::CellHint.
  using CellHint = vortana::CellHint;

  /// VelocityAt, starting the cell search at `hint` and leaving there the cell found. Inline, as
  /// a trace spends most of its time here: its samples lie a fraction of a cell apart, so the
  /// hinted cell or its neighbour holds most of them.
  [[gnu::always_inline]] Vec3 VelocityAt(float x, float y, CellHint& hint) const {
    if (searchIndex_.CellNearHint(x, y, hint)) {
      const int width = width_;
      const GridPoint* cell = SliceStart() + hint.column + hint.row * width;
      return InterpolateInCell<Vec3>(cell, width, x, y, CellArea(cell, width));
    }
    return VelocityAtSearching(x, y, hint);
  }

  /// True when every velocity VelocityAt can answer has a z of zero (positive or negative),
  /// whatever the point: slice 0's velocities have z = 0, its grid is rectilinear with both axes
  /// rising (every row has row 0's x, every column column 0's y) and every cell has a width and
  /// height whose product keeps the interpolation weights finite and the cell's area above 0.
  /// The x and y of a sample then never depend on z, and a sampler may leave z out
  /// (PlanarSampler).
  bool IsPlanar() const { return searchIndex_.Planar(); }

  /// The node at the larger-x, larger-y corner of the cell holding (x, y), found by the
  /// halving-step search. Never reads outside the node array; an empty field answers a node
  /// at rest.
  const GridPoint& NodeAt(float x, float y) const;

 private:
  friend class PlanarSampler;  // takes whole cells from the search and the nodes

  /// The first node of the sampled slice.
  const GridPoint* SliceStart() const { return nodes_.data() + sliceStart_; }

  Vec3 VelocityAtSearching(float x, float y, CellHint& hint) const;
  /// The cell VelocityAt interpolates in, into `hint`; false when it answers without a cell.
  bool LocateCell(float x, float y, CellHint& hint) const;

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
  bool fromFilePair_ = true;
  FieldStatistics stats_;
  std::vector<int32_t> rowOffsets_;
  std::vector<GridPoint> nodes_;
  std::size_t sliceStart_ = 0;  // the sampled slice's first node
  int sampledSlice_ = 0;
  SearchIndex searchIndex_;
};

}  // namespace vortana
