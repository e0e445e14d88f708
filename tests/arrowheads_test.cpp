// Arrowheads along a streamline: where they sit and where they point.

#include "render/arrowheads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace vortana {
namespace {

std::vector<PixelPoint> Row(int from, int to, int y) {
  std::vector<PixelPoint> chain;
  const int step = to >= from ? 1 : -1;
  for (int x = from; x != to + step; x += step) chain.push_back({x, y});
  return chain;
}

// Pixels 0..249 of row 10: 249 pixels of line from centre 0.5 to centre 249.5, the middle at
// x = 125; heads every 100 pixels from it while a whole head (5 long) fits: x = 25, 125, 225.
// Each tip lies half a head downstream of its place, the base corners 2 pixels either side.
TEST(Arrowheads, SitAtTheMiddleAndEveryHundredPixelsPointingDownstream) {
  const std::vector<ArrowheadShape> heads = ArrowheadsAlong(Row(0, 249, 10), 1.0);
  ASSERT_EQ(heads.size(), 3u);
  const double places[] = {25.0, 125.0, 225.0};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_DOUBLE_EQ(heads[i][0].x, places[i] + 2.5);
    EXPECT_DOUBLE_EQ(heads[i][0].y, 10.5);
    for (const int corner : {1, 2}) EXPECT_DOUBLE_EQ(heads[i][corner].x, places[i] - 2.5);
    EXPECT_DOUBLE_EQ(std::min(heads[i][1].y, heads[i][2].y), 8.5);
    EXPECT_DOUBLE_EQ(std::max(heads[i][1].y, heads[i][2].y), 12.5);
  }
  // The same row traced the other way points the other way.
  const std::vector<ArrowheadShape> back = ArrowheadsAlong(Row(249, 0, 10), 1.0);
  ASSERT_EQ(back.size(), 3u);
  EXPECT_DOUBLE_EQ(back[1][0].x, 125.0 - 2.5);
}

TEST(Arrowheads, ShortLinesGetNoneAndWideLinesLongerHeads) {
  EXPECT_TRUE(ArrowheadsAlong(Row(0, 19, 0), 1.0).empty());  // 19 pixels of line
  EXPECT_EQ(ArrowheadsAlong(Row(0, 20, 0), 1.0).size(), 1u);  // 20
  EXPECT_TRUE(ArrowheadsAlong(std::vector<PixelPoint>{{4, 4}}, 1.0).empty());
  EXPECT_DOUBLE_EQ(ArrowheadLength(0.5), 5.0);
  EXPECT_DOUBLE_EQ(ArrowheadLength(4.0), 12.0);
  // A diagonal staircase: the head follows the chord, 45 degrees, not one stair.
  std::vector<PixelPoint> stairs;
  for (int i = 0; i < 40; ++i) {
    stairs.push_back({i, i});
    stairs.push_back({i + 1, i});
  }
  const std::vector<ArrowheadShape> heads = ArrowheadsAlong(stairs, 1.0);
  ASSERT_EQ(heads.size(), 1u);
  const double cx = (heads[0][1].x + heads[0][2].x) / 2;
  const double cy = (heads[0][1].y + heads[0][2].y) / 2;
  const double dx = heads[0][0].x - cx;
  const double dy = heads[0][0].y - cy;
  EXPECT_GT(dx, 0.0);
  EXPECT_GT(dy, 0.0);
  EXPECT_NEAR(std::atan2(dy, dx), std::atan2(1.0, 1.0), 0.35);  // within 20 degrees
}

}  // namespace
}  // namespace vortana
