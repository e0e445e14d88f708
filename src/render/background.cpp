#include "background.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

namespace vortana {
namespace {

constexpr double kRampTop = 255.0;
constexpr int kLastRampIndex = 255;

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
      : field_(field), map_(map), nodes_(field.Nodes().data()), gridWidth_(field.Width()) {
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
    const size_t count = field_.Nodes().size();
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

// Colours the nodes of one grid row at a fixed list of grid columns.
class RowColourer {
 public:
  RowColourer(int colourBy, const BackgroundLimits& limits, const ColourRamp& ramp,
              std::vector<size_t> columns)
      : colourBy_(colourBy), limits_(limits), ramp_(ramp), columns_(std::move(columns)) {}

  // out[i] = the colour of gridRow[columns[i]].
  void Colour(const GridPoint* gridRow, vortana::Colour* out) {
    for (size_t i = 0; i < columns_.size(); ++i) {
      out[i] = ramp_[static_cast<size_t>(
          BackgroundIndexOfNode(gridRow[columns_[i]], colourBy_, limits_))];
    }
  }

 private:
  int colourBy_;
  BackgroundLimits limits_;
  const ColourRamp& ramp_;
  std::vector<size_t> columns_;
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
  std::vector<Colour> slotColours(columns.size());
  RowColourer colourer(colourBy, limits, ramp, std::move(columns));

  const GridPoint* const gridNodes = field.Nodes().data();
  for (int py = 0; py < height; ++py) {
    Colour* row = buffer + static_cast<size_t>(py) * rowPixels;
    const int gridRow = nodes.RowOfPixel(py);
    // A pixel row in the same grid row as the one above it has the same nodes.
    if (py > 0 && nodes.AllLinedUp() && gridRow == nodes.RowOfPixel(py - 1)) {
      std::copy(row - rowPixels, row, row);
      continue;
    }
    colourer.Colour(gridNodes + static_cast<size_t>(gridRow) * gridWidth, slotColours.data());
    for (size_t px = 0; px < rowPixels; ++px)
      row[px] = slotColours[static_cast<size_t>(slotOfPixel[px])];
    if (!nodes.AllLinedUp()) {
      for (int px = 0; px < width; ++px) {
        if (!nodes.LinedUp(px)) row[px] = single.At(px, py);
      }
    }
  }
}

}  // namespace

int BackgroundIndex(double q) {
  // NaN (a zero range gives 0/0) fails every comparison and lands on 0 with the negatives.
  if (!(q > 0.0)) return 0;
  if (q >= kLastRampIndex) return kLastRampIndex;
  return static_cast<int>(q);
}

int BackgroundIndexOfNode(const GridPoint& node, int colourBy, const BackgroundLimits& limits) {
  double q = 0.0;
  if (colourBy == kColourByFlow) {
    // The length in double against the stored float max speed: a fastest node whose length was
    // rounded up when stored gets 254, not 255.
    q = (node.velocity.Length() * kRampTop) / static_cast<double>(limits.maxSpeed);
  } else if (colourBy == kColourByPressure) {
    q = ScaledQuotient(node.scalar0, limits.minScalar0, limits.maxScalar0);
  } else {
    q = ScaledQuotient(node.scalar1, limits.minScalar1, limits.maxScalar1);
  }
  return BackgroundIndex(q);
}

void DrawBackground(const FlowField& field, const PixelMap& map, int colourBy,
                    const BackgroundLimits& limits, const ColourRamp& ramp, bool& valid,
                    std::vector<Colour>& buffer, Surface& area) {
  const int width = area.Width();
  const int height = area.Height();
  const size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);
  // A buffer of another size cannot hold this area's background, whatever the flag says.
  if (buffer.size() != pixelCount) {
    buffer.assign(pixelCount, kBlack);
    valid = false;
  }
  if (!valid) ComputeBackground(field, map, colourBy, limits, ramp, width, height, buffer.data());

  // The buffer has the area's own rows, every pixel inside it: one copy paints them all.
  std::copy(buffer.begin(), buffer.end(), area.Data());
  valid = true;
}

}  // namespace vortana
