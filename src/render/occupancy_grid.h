#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixel_point.h"
#include "surface.h"

namespace vortana {

/// One byte per drawing-area pixel, row-major (index y * width + x): 1 where a kept evenly
/// spaced streamline passes, 0 elsewhere.
class OccupancyGrid {
 public:
  OccupancyGrid(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  uint8_t At(int x, int y) const { return cells_[static_cast<size_t>(y) * width_ + x]; }
  void Set(int x, int y) { cells_[static_cast<size_t>(y) * width_ + x] = 1; }
  void Clear();
  /// Marks every point of a streamline (points are inside the grid by construction).
  void Mark(const std::vector<PixelPoint>& points);

  /// The neighbourhood test with radius c = dTest: false outside the grid; otherwise examines
  /// the hourglass of rows y-c .. y+c-1 (2c^2 pixels: row y-1 empty, row y only x-1 and x) and
  /// is true when none of them is marked. c <= 0 examines nothing.
  bool IsNeighbourhoodFree(PixelPoint p, int dTest) const;

 private:
  /// Bytes kept past the last row, so that a row's span may be read 16 bytes at a time.
  static constexpr size_t kPadding = 16;

  int width_;
  int height_;
  std::vector<uint8_t> cells_;  // width * height cells, then kPadding zeros
};

}  // namespace vortana
