#include "background.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>

#include "simd.h"

namespace vortana {
namespace {

constexpr double kRampTop = 255.0;
constexpr int kLastRampIndex = 255;

// The index rule, for one quotient or (SSE2) a packed pair: max(q, 0) as q > 0 ? q : 0 takes NaN
// (0/0 of a zero range) to 0 with the negatives, min(c, 255) as c < 255 ? c : 255 takes infinity
// to 255, then the truncation. The packed instructions select exactly as the single expressions,
// lane by lane, so one template states the rule for both paths.
double AtLeastZero(double q) { return q > 0.0 ? q : 0.0; }
double AtMostLastIndex(double c) { return c < kLastRampIndex ? c : kLastRampIndex; }
int32_t Truncated(double c) { return static_cast<int32_t>(c); }
#if VORTANA_SSE2
__m128d AtLeastZero(__m128d q) { return _mm_max_pd(q, _mm_setzero_pd()); }
__m128d AtMostLastIndex(__m128d c) { return _mm_min_pd(c, _mm_set1_pd(kLastRampIndex)); }
__m128i Truncated(__m128d c) { return _mm_cvttpd_epi32(c); }
#endif

template <typename Quotients>
auto IndicesOf(Quotients q) {
  return Truncated(AtMostLastIndex(AtLeastZero(q)));
}

// (value - min) * 255 / (max - min), every step in double from the stored floats.
double ScaledQuotient(float value, float min, float max) {
  return ((static_cast<double>(value) - min) * kRampTop) /
         (static_cast<double>(max) - static_cast<double>(min));
}

// The node NodeAt finds for each pixel of the area, without a search per pixel where that can
// be avoided. NodeAt finds the column from x along row 0 alone and then the row from y down that
// one column alone. So each pixel column has one grid column, and every grid column whose y
// values equal those of a reference column has the reference column's row for each pixel row:
// one search per pixel column and one per pixel row then stand for one per pixel. Columns whose
// rows do not line up with the reference are searched pixel by pixel.
class PixelNodes {
 public:
  PixelNodes(const FlowField& field, const PixelMap& map, int width, int height)
      : field_(field), map_(map), nodes_(field.SliceNodes().data()), gridWidth_(field.Width()) {
    // Without a cell, or with an answer that is not one of slice 0's nodes, every pixel is
    // searched on its own.
    if (!field.HasCell() || width <= 0 || height <= 0) return;
    const size_t sliceNodes = gridWidth_ * static_cast<size_t>(field.Height());
    const float wx0 = map.WorldXOfPixel(0);
    const float wy0 = map.WorldYOfPixel(0);
    columnOfPixel_.resize(static_cast<size_t>(width));
    rowOfPixel_.resize(static_cast<size_t>(height));
    for (int px = 0; px < width; ++px) {
      const size_t k = IndexOf(field.NodeAt(map.WorldXOfPixel(px), wy0));
      if (k >= sliceNodes) {
        SearchEveryPixel();
        return;
      }
      columnOfPixel_[static_cast<size_t>(px)] = static_cast<int>(k % gridWidth_);
    }
    for (int py = 0; py < height; ++py) {
      const size_t k = IndexOf(field.NodeAt(wx0, map.WorldYOfPixel(py)));
      if (k >= sliceNodes) {
        SearchEveryPixel();
        return;
      }
      rowOfPixel_[static_cast<size_t>(py)] = static_cast<int>(k / gridWidth_);
    }
    if (field.ColumnsShareRowY()) {
      // The field checked every column against column 0 as it was built: all of them line up.
      linedUp_.assign(gridWidth_, 1);
      allLinedUp_ = true;
    } else {
      MarkColumnsLinedUpWith(columnOfPixel_.front());
      allLinedUp_ = std::all_of(columnOfPixel_.begin(), columnOfPixel_.end(), [this](int column) {
        return linedUp_[static_cast<size_t>(column)];
      });
    }
  }

  /// False when every pixel is searched on its own.
  bool Searched() const { return !columnOfPixel_.empty(); }
  /// True when every pixel's node lies in its column's grid column and its row's grid row.
  bool AllLinedUp() const { return allLinedUp_; }
  int ColumnOfPixel(int px) const { return columnOfPixel_[static_cast<size_t>(px)]; }
  int RowOfPixel(int py) const { return rowOfPixel_[static_cast<size_t>(py)]; }
  bool LinedUp(int px) const { return linedUp_[static_cast<size_t>(ColumnOfPixel(px))] != 0; }

  const GridPoint& At(int px, int py) const {
    if (!columnOfPixel_.empty()) {
      const size_t column = static_cast<size_t>(columnOfPixel_[static_cast<size_t>(px)]);
      if (linedUp_[column]) {
        return nodes_[column +
                      static_cast<size_t>(rowOfPixel_[static_cast<size_t>(py)]) * gridWidth_];
      }
    }
    return field_.NodeAt(map_.WorldXOfPixel(px), map_.WorldYOfPixel(py));
  }

 private:
  // The position of an answer in the node array; an answer from outside the array (a stand-in
  // node) gets the array's size.
  size_t IndexOf(const GridPoint& node) const {
    const size_t count = field_.SliceNodes().size();
    const std::less<const GridPoint*> before;
    if (before(&node, nodes_) || !before(&node, nodes_ + count)) return count;
    return static_cast<size_t>(&node - nodes_);
  }

  void SearchEveryPixel() {
    columnOfPixel_.clear();
    rowOfPixel_.clear();
    allLinedUp_ = false;
  }

  // Row by row, so that the nodes are read in memory order.
  void MarkColumnsLinedUpWith(int reference) {
    linedUp_.assign(gridWidth_, 0);
    std::vector<size_t> used;
    for (const int column : columnOfPixel_) {
      if (!linedUp_[static_cast<size_t>(column)]) {
        linedUp_[static_cast<size_t>(column)] = 1;
        used.push_back(static_cast<size_t>(column));
      }
    }
    const size_t gridHeight = static_cast<size_t>(field_.Height());
    for (size_t r = 0; r < gridHeight; ++r) {
      const GridPoint* row = nodes_ + r * gridWidth_;
      const float y = row[reference].position.y;
      for (const size_t column : used) {
        // Equal values take every comparison of the search the same way (0 and -0 included);
        // a NaN equals nothing, so its column is searched pixel by pixel.
        if (!(row[column].position.y == y)) linedUp_[column] = 0;
      }
    }
  }

  const FlowField& field_;
  const PixelMap& map_;
  const GridPoint* nodes_;
  size_t gridWidth_;
  std::vector<int> columnOfPixel_;  // empty: search every pixel
  std::vector<int> rowOfPixel_;     // the row each pixel row finds in the reference column
  std::vector<char> linedUp_;       // per grid column
  bool allLinedUp_ = false;
};

// Colours the nodes of one grid row at a fixed list of grid columns, two nodes at a time. With
// SSE2 the two quotients are worked in packed double arithmetic, whose square roots, products,
// sums and quotients round exactly as the single ones do; either way the indices come from
// IndicesOf, so every index is the one BackgroundIndexOfNode gives.
class RowColourer {
 public:
  // The packed arithmetic takes this many columns at a time; the list is padded to a multiple.
  static constexpr size_t kBlock = 2;

  RowColourer(int colourBy, const BackgroundLimits& limits, const ColourRamp& ramp,
              std::vector<size_t> columns)
      : colourBy_(colourBy), limits_(limits), ramp_(ramp), count_(columns.size()) {
    const size_t padded = (count_ + kBlock - 1) / kBlock * kBlock;
    // Padding repeats the first column; its colours are never read.
    columns.resize(padded, columns.empty() ? 0 : columns.front());
    columns_ = std::move(columns);
    index_.resize(padded);
  }

  // out[i] = the colour of gridRow[columns[i]]. The nodes of nextRow at the same columns, the
  // row wanted next, are fetched into the cache meanwhile: on a grid finer than the area each
  // node sits in a cache line of its own, and waiting for every line as it is first read would
  // take longer than the arithmetic.
  void Colour(const GridPoint* gridRow, const GridPoint* nextRow, vortana::Colour* out) {
    if (colourBy_ == kColourByFlow) {
      FlowIndices(gridRow, nextRow, limits_.minSpeed, limits_.maxSpeed);
    } else if (colourBy_ == kColourByPressure) {
      ScalarIndices(gridRow, nextRow, &GridPoint::scalar0, limits_.minScalar0, limits_.maxScalar0);
    } else {
      ScalarIndices(gridRow, nextRow, &GridPoint::scalar1, limits_.minScalar1, limits_.maxScalar1);
    }
    for (size_t i = 0; i < count_; ++i) out[i] = ramp_[static_cast<size_t>(index_[i])];
  }

 private:
  // As BackgroundIndexOfNode: the length in double, y and z summed first, against the max speed.
  void FlowIndices(const GridPoint* gridRow, const GridPoint* nextRow, float minSpeed,
                   float maxSpeed) {
    const size_t padded = columns_.size();
    const double low = minSpeed;
    const double width = static_cast<double>(maxSpeed) - low;
#if VORTANA_SSE2
    const __m128d top = _mm_set1_pd(kRampTop);
    const __m128d lowest = _mm_set1_pd(low);
    const __m128d speed = _mm_set1_pd(width);
    for (size_t i = 0; i < padded; i += 2) {
      const Vec3& v0 = gridRow[columns_[i]].velocity;
      const Vec3& v1 = gridRow[columns_[i + 1]].velocity;
      __builtin_prefetch(&nextRow[columns_[i]]);
      __builtin_prefetch(&nextRow[columns_[i + 1]]);
      const __m128d x = _mm_set_pd(v1.x, v0.x);
      const __m128d y = _mm_set_pd(v1.y, v0.y);
      const __m128d z = _mm_set_pd(v1.z, v0.z);
      const __m128d squares =
          _mm_add_pd(_mm_mul_pd(x, x), _mm_add_pd(_mm_mul_pd(y, y), _mm_mul_pd(z, z)));
      StoreIndices(_mm_div_pd(_mm_mul_pd(_mm_sub_pd(_mm_sqrt_pd(squares), lowest), top), speed),
                   i);
    }
#else
    for (size_t i = 0; i < padded; ++i) {
      __builtin_prefetch(&nextRow[columns_[i]]);
      index_[i] = IndicesOf(((gridRow[columns_[i]].velocity.Length() - low) * kRampTop) / width);
    }
#endif
  }

  // As ScaledQuotient.
  void ScalarIndices(const GridPoint* gridRow, const GridPoint* nextRow, float GridPoint::*scalar,
                     float min, float max) {
    const size_t padded = columns_.size();
#if VORTANA_SSE2
    const __m128d low = _mm_set1_pd(min);
    const __m128d top = _mm_set1_pd(kRampTop);
    const __m128d width = _mm_set1_pd(static_cast<double>(max) - static_cast<double>(min));
    for (size_t i = 0; i < padded; i += 2) {
      const __m128d value =
          _mm_set_pd(gridRow[columns_[i + 1]].*scalar, gridRow[columns_[i]].*scalar);
      __builtin_prefetch(&nextRow[columns_[i]]);
      __builtin_prefetch(&nextRow[columns_[i + 1]]);
      StoreIndices(_mm_div_pd(_mm_mul_pd(_mm_sub_pd(value, low), top), width), i);
    }
#else
    for (size_t i = 0; i < padded; ++i) {
      __builtin_prefetch(&nextRow[columns_[i]]);
      index_[i] = IndicesOf(ScaledQuotient(gridRow[columns_[i]].*scalar, min, max));
    }
#endif
  }

#if VORTANA_SSE2
  void StoreIndices(__m128d q, size_t i) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(&index_[i]), IndicesOf(q));
  }
#endif

  int colourBy_;
  BackgroundLimits limits_;
  const ColourRamp& ramp_;
  size_t count_;
  std::vector<size_t> columns_;
  std::vector<int32_t> index_;
};

// Pixel by pixel through NodeAt, for pixels whose node the axis searches cannot stand for.
class PixelColourer {
 public:
  PixelColourer(const PixelNodes& nodes, int colourBy, const BackgroundLimits& limits,
                const ColourRamp& ramp)
      : nodes_(nodes), colourBy_(colourBy), limits_(limits), ramp_(ramp) {}

  Colour At(int px, int py) {
    const GridPoint& node = nodes_.At(px, py);
    // Neighbouring pixels often share a node when the grid is coarser than the area.
    if (&node != previous_) {
      colour_ = ramp_[static_cast<size_t>(BackgroundIndexOfNode(node, colourBy_, limits_))];
      previous_ = &node;
    }
    return colour_;
  }

 private:
  const PixelNodes& nodes_;
  int colourBy_;
  const BackgroundLimits& limits_;
  const ColourRamp& ramp_;
  const GridPoint* previous_ = nullptr;
  Colour colour_ = kBlack;
};

void ComputeBackground(const FlowField& field, const PixelMap& map, int colourBy,
                       const BackgroundLimits& limits, const ColourRamp& ramp, int width,
                       int height, Colour* buffer) {
  const PixelNodes nodes(field, map, width, height);
  PixelColourer single(nodes, colourBy, limits, ramp);
  const size_t rowPixels = static_cast<size_t>(width);
  if (!nodes.Searched()) {
    for (int py = 0; py < height; ++py) {
      Colour* row = buffer + static_cast<size_t>(py) * rowPixels;
      for (int px = 0; px < width; ++px) row[px] = single.At(px, py);
    }
    return;
  }

  // The distinct grid columns the pixel columns fall in, and each pixel column's place among
  // them: on a grid coarser than the area several pixels share one node, which is coloured once.
  const size_t gridWidth = static_cast<size_t>(field.Width());
  std::vector<int> slotOfColumn(gridWidth, -1);
  std::vector<int> slotOfPixel(rowPixels);
  std::vector<size_t> columns;
  for (int px = 0; px < width; ++px) {
    const size_t column = static_cast<size_t>(nodes.ColumnOfPixel(px));
    if (slotOfColumn[column] < 0) {
      slotOfColumn[column] = static_cast<int>(columns.size());
      columns.push_back(column);
    }
    slotOfPixel[static_cast<size_t>(px)] = slotOfColumn[column];
  }
  // Then each pixel column's slot is its own place in the row.
  const bool eachPixelOwnColumn = columns.size() == rowPixels;
  std::vector<Colour> slotColours(columns.size());
  RowColourer colourer(colourBy, limits, ramp, std::move(columns));

  const GridPoint* const gridNodes = field.SliceNodes().data();
  for (int py = 0; py < height; ++py) {
    Colour* row = buffer + static_cast<size_t>(py) * rowPixels;
    const int gridRow = nodes.RowOfPixel(py);
    // A pixel row in the same grid row as the one above it has the same nodes.
    if (py > 0 && nodes.AllLinedUp() && gridRow == nodes.RowOfPixel(py - 1)) {
      std::copy(row - rowPixels, row, row);
      continue;
    }
    const GridPoint* const rowNodes = gridNodes + static_cast<size_t>(gridRow) * gridWidth;
    const int nextRow = nodes.RowOfPixel(std::min(py + 1, height - 1));
    const GridPoint* const nextNodes = gridNodes + static_cast<size_t>(nextRow) * gridWidth;
    if (eachPixelOwnColumn) {
      colourer.Colour(rowNodes, nextNodes, row);
    } else {
      colourer.Colour(rowNodes, nextNodes, slotColours.data());
      for (size_t px = 0; px < rowPixels; ++px) {
        row[px] = slotColours[static_cast<size_t>(slotOfPixel[px])];
      }
    }
    if (!nodes.AllLinedUp()) {
      for (int px = 0; px < width; ++px) {
        if (!nodes.LinedUp(px)) row[px] = single.At(px, py);
      }
    }
  }
}

}  // namespace

int BackgroundIndex(double q) { return IndicesOf(q); }

int BackgroundIndexOfNode(const GridPoint& node, int colourBy, const BackgroundLimits& limits) {
  double q = 0.0;
  if (colourBy == kColourByFlow) {
    // The length in double against the stored float max speed: a fastest node whose length was
    // rounded up when stored gets 254, not 255.
    const double low = limits.minSpeed;
    q = ((node.velocity.Length() - low) * kRampTop) / (static_cast<double>(limits.maxSpeed) - low);
  } else if (colourBy == kColourByPressure) {
    q = ScaledQuotient(node.scalar0, limits.minScalar0, limits.maxScalar0);
  } else {
    q = ScaledQuotient(node.scalar1, limits.minScalar1, limits.maxScalar1);
  }
  return BackgroundIndex(q);
}

void DrawBackground(const FlowField& field, const PixelMap& map, int colourBy,
                    const BackgroundLimits& limits, const ColourRamp& ramp, bool& valid,
                    std::vector<Colour>& buffer, Canvas& area) {
  const int width = area.Width();
  const int height = area.Height();
  const size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);
  // A buffer of another size cannot hold this area's background, whatever the flag says.
  if (buffer.size() != pixelCount) {
    buffer.assign(pixelCount, kBlack);
    valid = false;
  }
  if (!valid) ComputeBackground(field, map, colourBy, limits, ramp, width, height, buffer.data());

  area.Image(buffer.data(), width, height);
  valid = true;
}

}  // namespace vortana
