#include "render/surface.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>

namespace vortana {
namespace {

constexpr Colour kInk = MakeColour(10, 20, 30);

using PixelSet = std::set<std::pair<int, int>>;

PixelSet InkedPixels(const Surface& s) {
  PixelSet inked;
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) {
      if (s.Pixel(x, y) != kBlack) inked.insert({x, y});
    }
  }
  return inked;
}

PixelSet DrawLine(int width, int height, PixelPoint from, PixelPoint to) {
  Surface s(width, height);
  s.SelectPen(kInk);
  s.MoveTo(from.x, from.y);
  s.LineTo(to.x, to.y);
  return InkedPixels(s);
}

TEST(SurfaceTest, StartsBlackAndSetsSinglePixelsInside) {
  Surface s(4, 3);
  EXPECT_EQ(s.Width(), 4);
  EXPECT_EQ(s.Height(), 3);
  EXPECT_TRUE(InkedPixels(s).empty());
  s.SetPixel(3, 2, kInk);
  s.SetPixel(-1, 0, kInk);
  s.SetPixel(4, 0, kInk);
  s.SetPixel(0, 3, kInk);
  s.SetPixel(INT_MIN, INT_MAX, kInk);
  EXPECT_EQ(InkedPixels(s), (PixelSet{{3, 2}}));
  EXPECT_EQ(s.Data()[2 * 4 + 3], kInk);  // row-major
  // SetPixel takes its own colour; the pen plays no part.
  s.SelectPen(kBlue);
  s.SetPixel(0, 0, kInk);
  EXPECT_EQ(s.Pixel(0, 0), kInk);
}

TEST(SurfaceTest, LineSetsItsStartButNotItsEnd) {
  EXPECT_EQ(DrawLine(10, 10, {2, 3}, {6, 3}), (PixelSet{{2, 3}, {3, 3}, {4, 3}, {5, 3}}));
  EXPECT_EQ(DrawLine(10, 10, {4, 7}, {4, 4}), (PixelSet{{4, 7}, {4, 6}, {4, 5}}));
  // A line that starts on its end point sets nothing.
  EXPECT_TRUE(DrawLine(10, 10, {5, 5}, {5, 5}).empty());
  // A diagonal steps both axes at once.
  EXPECT_EQ(DrawLine(10, 10, {1, 1}, {4, 4}), (PixelSet{{1, 1}, {2, 2}, {3, 3}}));
}

TEST(SurfaceTest, LineSetsThePixelNearestTheIdealLineAtEveryStep) {
  // Slope 1/3: ideal y at x = 0..5 is 0, 0.33, 0.67, 1, 1.33, 1.67.
  EXPECT_EQ(DrawLine(10, 10, {0, 0}, {6, 2}),
            (PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}}));
  // The same line drawn steeply: x = 9 - round(y / 3).
  EXPECT_EQ(DrawLine(10, 10, {9, 0}, {7, 6}),
            (PixelSet{{9, 0}, {9, 1}, {8, 2}, {8, 3}, {8, 4}, {7, 5}}));
}

TEST(SurfaceTest, ExactHalvesRoundTowardsTheLargerMinorCoordinate) {
  // Slope 1/2: the ideal minor coordinate is exactly n + 0.5 at every odd step, and must round
  // up whichever way the line runs. Worked by hand: y(1) = 0.5 -> 1, y(3) = 1.5 -> 2.
  struct Case {
    PixelPoint from, to;
    PixelSet pixels;
  };
  const Case cases[] = {
      {{0, 0}, {4, 2}, {{0, 0}, {1, 1}, {2, 1}, {3, 2}}},
      {{4, 2}, {0, 0}, {{4, 2}, {3, 2}, {2, 1}, {1, 1}}},
      // Falling: y(1) = 1.5 -> 2, y(3) = 0.5 -> 1.
      {{0, 2}, {4, 0}, {{0, 2}, {1, 2}, {2, 1}, {3, 1}}},
      {{4, 0}, {0, 2}, {{4, 0}, {3, 1}, {2, 1}, {1, 2}}},
      // Steep: x(1) = 0.5 -> 1, x(3) = 1.5 -> 2; and leaning left, x(1) = 1.5 -> 2.
      {{0, 0}, {2, 4}, {{0, 0}, {1, 1}, {1, 2}, {2, 3}}},
      {{2, 0}, {0, 4}, {{2, 0}, {2, 1}, {1, 2}, {1, 3}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DrawLine(10, 10, c.from, c.to), c.pixels)
        << c.from.x << "," << c.from.y << " -> " << c.to.x << "," << c.to.y;
  }
}

TEST(SurfaceTest, LineAndItsReverseCoverTheSamePixelsApartFromTheirEnds) {
  const PixelPoint ends[] = {{1, 1}, {8, 2}, {2, 9}, {9, 9}, {5, 0}, {0, 6}, {3, 4}, {7, 5}};
  for (const PixelPoint a : ends) {
    for (const PixelPoint b : ends) {
      if (a == b) continue;
      PixelSet forward = DrawLine(10, 10, a, b);
      PixelSet backward = DrawLine(10, 10, b, a);
      EXPECT_TRUE(forward.count({a.x, a.y}) && !forward.count({b.x, b.y}));
      forward.insert({b.x, b.y});
      backward.insert({a.x, a.y});
      EXPECT_EQ(forward, backward) << a.x << "," << a.y << " -> " << b.x << "," << b.y;
    }
  }
}

TEST(SurfaceTest, LineIsClippedAtTheEdgesWithoutMovingItsPixels) {
  EXPECT_EQ(DrawLine(10, 10, {-10, 5}, {20, 5}).size(), 10u);
  EXPECT_TRUE(DrawLine(10, 10, {-10, -1}, {20, -1}).empty());
  EXPECT_TRUE(DrawLine(10, 10, {12, 0}, {30, 9}).empty());
  // A clipped line sets exactly the pixels the whole line sets on a larger surface, inside the
  // window the small surface sees.
  constexpr int kShift = 20;
  const std::pair<PixelPoint, PixelPoint> lines[] = {
      {{-7, -3}, {25, 14}}, {{14, -9}, {-3, 16}}, {{-5, 12}, {4, -2}}, {{3, 3}, {-15, 8}}};
  for (const auto& [a, b] : lines) {
    const PixelSet clipped = DrawLine(10, 10, a, b);
    PixelSet window;
    for (const auto& [x, y] :
         DrawLine(60, 60, {a.x + kShift, a.y + kShift}, {b.x + kShift, b.y + kShift})) {
      if (x >= kShift && x < kShift + 10 && y >= kShift && y < kShift + 10) {
        window.insert({x - kShift, y - kShift});
      }
    }
    EXPECT_FALSE(window.empty());
    EXPECT_EQ(clipped, window);
  }
}

TEST(SurfaceTest, LinesBetweenHugeCoordinatesAreClippedAnalytically) {
  // These would take billions of steps if walked end to end.
  EXPECT_EQ(DrawLine(10, 10, {INT_MIN, 5}, {INT_MAX, 5}).size(), 10u);
  EXPECT_EQ(DrawLine(10, 10, {3, INT_MAX}, {3, INT_MIN}).size(), 10u);
  PixelSet diagonal;
  for (int i = 0; i < 10; ++i) diagonal.insert({i, i});
  EXPECT_EQ(DrawLine(10, 10, {INT_MIN + 1, INT_MIN + 1}, {INT_MAX, INT_MAX}), diagonal);
  EXPECT_EQ(DrawLine(10, 10, {INT_MAX, INT_MAX}, {INT_MIN + 1, INT_MIN + 1}), diagonal);
  // From the centre of a 3x3 surface to far below-left: slope so steep that the column stays 1.
  EXPECT_EQ(DrawLine(3, 3, {1, 1}, {-1, INT_MAX}), (PixelSet{{1, 1}, {1, 2}}));
  EXPECT_TRUE(DrawLine(10, 10, {INT_MIN, INT_MIN}, {INT_MIN, INT_MAX}).empty());
}

TEST(SurfaceTest, LineToStartsWhereTheLastLineEnded) {
  Surface s(10, 10);
  s.SelectPen(kInk);
  s.MoveTo(1, 1);
  s.LineTo(4, 1);
  s.LineTo(4, 3);
  EXPECT_EQ(InkedPixels(s), (PixelSet{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 2}}));
  EXPECT_EQ(s.Pixel(1, 1), kInk);
}

TEST(SurfaceTest, PolylineDrawsTwoSegmentsWithoutItsLastPoint) {
  Surface s(10, 10);
  s.SelectPen(kInk);
  s.Polyline({PixelPoint{1, 5}, PixelPoint{5, 5}, PixelPoint{5, 1}});
  EXPECT_EQ(InkedPixels(s),
            (PixelSet{{1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}, {5, 4}, {5, 3}, {5, 2}}));
  // The MoveTo position is the platform's own state; a polyline leaves it where it was.
  s.MoveTo(0, 0);
  s.Polyline({PixelPoint{7, 7}, PixelPoint{8, 7}, PixelPoint{9, 7}});
  s.LineTo(0, 2);
  EXPECT_EQ(s.Pixel(0, 0), kInk);
  EXPECT_EQ(s.Pixel(0, 1), kInk);
  // A polyline of one repeated point sets nothing.
  Surface dot(3, 3);
  dot.SelectPen(kInk);
  dot.Polyline({PixelPoint{1, 1}, PixelPoint{1, 1}, PixelPoint{1, 1}});
  EXPECT_TRUE(InkedPixels(dot).empty());
}

TEST(SurfaceTest, FillSolidRectCoversItsSizeAndIsClipped) {
  Surface s(10, 10);
  s.FillSolidRect(2, 3, 3, 2, kInk);
  EXPECT_EQ(InkedPixels(s), (PixelSet{{2, 3}, {3, 3}, {4, 3}, {2, 4}, {3, 4}, {4, 4}}));

  Surface corner(10, 10);
  corner.FillSolidRect(-2, -2, 5, 4, kInk);
  EXPECT_EQ(InkedPixels(corner), (PixelSet{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}}));

  Surface whole(4, 3);
  whole.FillSolidRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInk);  // ends just left of -1
  EXPECT_TRUE(InkedPixels(whole).empty());
  whole.FillSolidRect(-5, -5, INT_MAX, INT_MAX, kInk);
  EXPECT_EQ(InkedPixels(whole).size(), 12u);

  Surface empty(4, 4);
  empty.FillSolidRect(1, 1, 0, 3, kInk);
  empty.FillSolidRect(1, 1, -2, 3, kInk);
  empty.FillSolidRect(INT_MAX, INT_MAX, INT_MAX, INT_MAX, kInk);
  EXPECT_TRUE(InkedPixels(empty).empty());
}

TEST(SurfaceTest, FillSetsEveryPixelAndEmptySurfacesAcceptEveryCall) {
  Surface s(3, 2);
  s.Fill(kInk);
  EXPECT_EQ(InkedPixels(s).size(), 6u);

  Surface none(-4, 0);
  EXPECT_EQ(none.Width(), 0);
  none.SelectPen(kInk);
  none.MoveTo(-3, -3);
  none.LineTo(3, 3);
  none.SetPixel(0, 0, kInk);
  none.FillSolidRect(0, 0, 5, 5, kInk);
  none.Polyline({PixelPoint{0, 0}, PixelPoint{1, 1}, PixelPoint{2, 0}});
  none.Fill(kInk);
  EXPECT_TRUE(InkedPixels(none).empty());
}

}  // namespace
}  // namespace vortana
