#include "render/occupancy_grid.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>

namespace vortana {
namespace {

using Pixels = std::set<std::pair<int, int>>;

/// The pixels around (x, y) whose mark alone makes (x, y) not free: each pixel of a window is
/// marked on its own and the test asked.
Pixels ExaminedPixels(int x, int y, int dTest, int reach) {
  Pixels examined;
  OccupancyGrid grid(512, 512);
  for (int row = y - reach; row <= y + reach; ++row) {
    for (int column = x - reach; column <= x + reach; ++column) {
      if (column < 0 || column >= 512 || row < 0 || row >= 512) continue;
      grid.Clear();
      grid.Set(column, row);
      if (!grid.IsNeighbourhoodFree({x, y}, dTest)) examined.insert({column, row});
    }
  }
  return examined;
}

TEST(OccupancyGrid, RadiusThreeExaminesTheHourglassOfTheTable) {
  // Rows y - 3 .. y + 2: columns x - 2 .. x + 1, x - 1 .. x, none, x - 1 .. x, x - 2 .. x + 1,
  // x - 3 .. x + 2; 18 = 2 * 3^2 pixels.
  const int x = 50;
  const int y = 40;
  Pixels expected;
  const int rows[6][2] = {{-2, 1}, {-1, 0}, {1, 0}, {-1, 0}, {-2, 1}, {-3, 2}};
  for (int r = 0; r < 6; ++r) {
    for (int dx = rows[r][0]; dx <= rows[r][1]; ++dx) expected.insert({x + dx, y - 3 + r});
  }
  ASSERT_EQ(expected.size(), 18u);
  EXPECT_EQ(ExaminedPixels(x, y, 3, 6), expected);
}

TEST(OccupancyGrid, HourglassHasTwoCSquaredPixelsAndItsNarrowWaist) {
  const int x = 200;
  const int y = 300;
  // Rows are looked at 16 pixels at a time: radii 8, 9 and 17 give rows of 14, 16, 18, 32 and
  // 34 pixels, on either side of one and two such looks.
  for (int c : {1, 2, 5, 8, 9, 10, 17}) {
    const Pixels examined = ExaminedPixels(x, y, c, c + 2);
    EXPECT_EQ(examined.size(), static_cast<size_t>(2 * c * c)) << "c = " << c;
    // Row y: the pixel itself and its left neighbour only.
    EXPECT_TRUE(examined.count({x, y}));
    EXPECT_TRUE(examined.count({x - 1, y}));
    EXPECT_FALSE(examined.count({x + 1, y}));
    EXPECT_FALSE(examined.count({x - 2, y}));
    for (const auto& [column, row] : examined) {
      EXPECT_NE(row, y - 1) << "c = " << c;  // the row just above examines nothing
      EXPECT_GE(row, y - c);
      EXPECT_LE(row, y + c - 1);  // row y + c is not examined
    }
    // The top row has 2c - 2 pixels, the bottom row 2c.
    int top = 0;
    int bottom = 0;
    for (const auto& [column, row] : examined) {
      top += row == y - c ? 1 : 0;
      bottom += row == y + c - 1 ? 1 : 0;
    }
    EXPECT_EQ(top, 2 * c - 2);
    EXPECT_EQ(bottom, 2 * c);
  }
}

TEST(OccupancyGrid, NearTheEdgesTheHourglassIsClippedNotMoved) {
  // At every corner and edge the examined pixels are the hourglass of an inner pixel moved
  // there, less what falls off the area. The bottom right corner reads the grid's last bytes.
  for (const int c : {1, 3, 9}) {
    const Pixels inner = ExaminedPixels(200, 300, c, c + 2);
    for (const auto& [x, y] : {std::pair{511, 511}, std::pair{0, 0}, std::pair{511, 0},
                               std::pair{0, 511}, std::pair{505, 300}, std::pair{3, 509}}) {
      Pixels expected;
      for (const auto& [column, row] : inner) {
        const int movedColumn = column - 200 + x;
        const int movedRow = row - 300 + y;
        if (movedColumn >= 0 && movedColumn < 512 && movedRow >= 0 && movedRow < 512) {
          expected.insert({movedColumn, movedRow});
        }
      }
      EXPECT_EQ(ExaminedPixels(x, y, c, c + 2), expected) << x << ", " << y << ", c = " << c;
    }
  }
}

TEST(OccupancyGrid, OutsideTheAreaIsNeverFree) {
  OccupancyGrid grid(512, 512);
  for (PixelPoint p : {PixelPoint{-1, 0}, PixelPoint{512, 0}, PixelPoint{0, 512},
                       PixelPoint{0, -1}, PixelPoint{INT_MIN, INT_MAX}}) {
    EXPECT_FALSE(grid.IsNeighbourhoodFree(p, 5));
    EXPECT_FALSE(grid.IsNeighbourhoodFree(p, 0));
  }
  EXPECT_TRUE(grid.IsNeighbourhoodFree({0, 0}, 5));
  EXPECT_TRUE(grid.IsNeighbourhoodFree({511, 511}, 5));
}

TEST(OccupancyGrid, RadiusOfZeroOrLessExaminesNothing) {
  OccupancyGrid grid(16, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) grid.Set(x, y);
  }
  for (int c : {0, -1, INT_MIN}) {
    EXPECT_TRUE(grid.IsNeighbourhoodFree({0, 0}, c));
    EXPECT_TRUE(grid.IsNeighbourhoodFree({15, 15}, c));
    EXPECT_FALSE(grid.IsNeighbourhoodFree({16, 0}, c));
  }
  EXPECT_FALSE(grid.IsNeighbourhoodFree({5, 5}, 1));
}

TEST(OccupancyGrid, RowsAboveTheAreaStillCountTowardsTheHourglass) {
  // Pixel (5, 1) with radius 3: rows -2 and -1 lie outside but still count, so row 0 is the
  // row just above the pixel and examines nothing. Counting only rows inside would make row 0
  // examine columns 3 .. 6.
  OccupancyGrid grid(16, 16);
  for (int x = 0; x < 16; ++x) grid.Set(x, 0);
  EXPECT_TRUE(grid.IsNeighbourhoodFree({5, 1}, 3));
  // Row 1 (the pixel's own) and row 2 are examined as usual.
  grid.Set(4, 1);
  EXPECT_FALSE(grid.IsNeighbourhoodFree({5, 1}, 3));
}

TEST(OccupancyGrid, HugeRadiusCoversTheHourglassAcrossTheWholeArea) {
  OccupancyGrid grid(512, 512);
  EXPECT_TRUE(grid.IsNeighbourhoodFree({511, 0}, INT_MAX));
  // Row y + 511 examines x - 512 .. x + 511: column 0 included.
  grid.Set(0, 511);
  EXPECT_FALSE(grid.IsNeighbourhoodFree({511, 0}, INT_MAX));
  // Row y - k examines x - k + 1 .. x + k - 2: from (0, 511), row 0 (k = 511) ends at
  // column 509, so (510, 0) is not examined and (509, 0) is.
  grid.Clear();
  grid.Set(510, 0);
  EXPECT_TRUE(grid.IsNeighbourhoodFree({0, 511}, INT_MAX));
  grid.Set(509, 0);
  EXPECT_FALSE(grid.IsNeighbourhoodFree({0, 511}, INT_MAX));
}

TEST(OccupancyGrid, MarkSetsEveryPointInsideAndClearForgetsThem) {
  OccupancyGrid grid(8, 8);
  grid.Mark({{0, 0}, {7, 7}, {3, 4}, {-1, 2}, {8, 8}});  // points off the grid are skipped
  int marked = 0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) marked += grid.At(x, y);
  }
  EXPECT_EQ(marked, 3);
  EXPECT_EQ(grid.At(3, 4), 1);
  grid.Clear();
  EXPECT_EQ(grid.At(3, 4), 0);
  EXPECT_EQ(grid.At(7, 7), 0);

  OccupancyGrid empty(-3, 4);  // a negative size holds no pixel; every pixel is outside
  EXPECT_EQ(empty.Width(), 0);
  EXPECT_FALSE(empty.IsNeighbourhoodFree({0, 0}, 1));
  empty.Mark({{0, 0}});
}

}  // namespace
}  // namespace vortana
