// Zooming and panning a view: the point under the pointer stays, the limits hold, the view fits.

#include "render/view_navigation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vortana {
namespace {

constexpr double kFree = std::numeric_limits<double>::infinity();
const ZoomLimits kNoLimits{0.0, 0.0, kFree, kFree};

TEST(ViewNavigation, ZoomKeepsTheWorldPointUnderThePointer) {
  struct Case {
    WorldWindow window;
    AreaSize area;
    bool yUp;
    double px, py, factor;
    ZoomLimits limits;
    WorldWindow expected;  // worked out by hand
  };
  const Case cases[] = {
      // x0 + 128 - 128 / 2 for a pixel a world unit.
      {{0, 0, 512, 512}, {512, 512}, false, 128, 128, 2.0, kNoLimits, {64, 64, 320, 320}},
      {{0, 0, 512, 512}, {512, 512}, false, 0, 0, 4.0, kNoLimits, {0, 0, 128, 128}},
      // 0.35 units a pixel: the pointer at (170, 67.5); the extents become 112 x 56.
      {{100, 50, 240, 120}, {400, 200}, false, 200, 50, 1.25, kNoLimits, {114, 53.5f, 226, 109.5f}},
      // y up: row 127 stands for y0 + (511 - 127) = 384, which keeps 384 x 0.5 rows below it.
      {{0, 0, 512, 512}, {512, 512}, true, 128, 127, 2.0, kNoLimits, {64, 192, 320, 448}},
      {{0, 0, 512, 512}, {512, 512}, false, 256, 256, 0.8, kNoLimits, {-64, -64, 576, 576}},
      // In stops at 0.5 units a pixel (factor 2), out at an extent of 1024 (factor 0.5).
      {{0, 0, 512, 512}, {512, 512}, false, 0, 0, 4.0, {0.5, 0.5, kFree, kFree}, {0, 0, 256, 256}},
      {{0, 0, 512, 512}, {512, 512}, false, 0, 0, 0.25, {0, 0, 1024, 1024}, {0, 0, 1024, 1024}},
      // Already at a limit: the window stays.
      {{0, 0, 1024, 1024}, {512, 512}, false, 7, 9, 0.8, {0, 0, 1024, 1024}, {0, 0, 1024, 1024}},
      {{0, 0, 256, 256}, {512, 512}, true, 7, 9, 1.25, {0.5, 0.5, kFree, kFree}, {0, 0, 256, 256}},
      // A fractional pointer on an uneven window far from the origin.
      {{1000.5f, -20, 1003.5f, -18}, {600, 400}, true, 333.25, 17.75, 1.25, kNoLimits,
       {1000.83325f, -19.61875f, 1003.23325f, -18.01875f}},
  };
  for (const Case& c : cases) {
    const WorldWindow zoomed = ZoomAbout(c.window, c.area, c.yUp, c.px, c.py, c.factor, c.limits);
    EXPECT_NEAR(zoomed.x0, c.expected.x0, 1e-4) << c.px << ',' << c.py << " x" << c.factor;
    EXPECT_NEAR(zoomed.y0, c.expected.y0, 1e-4) << c.px << ',' << c.py << " x" << c.factor;
    EXPECT_NEAR(zoomed.x1, c.expected.x1, 1e-4) << c.px << ',' << c.py << " x" << c.factor;
    EXPECT_NEAR(zoomed.y1, c.expected.y1, 1e-4) << c.px << ',' << c.py << " x" << c.factor;
    // The pictures' own map puts the pointer's world point back under the pointer.
    const PixelMap before = MapOfWindow(c.window, c.area, c.yUp);
    const PixelMap after = MapOfWindow(zoomed, c.area, c.yUp);
    EXPECT_NEAR(after.PixelXOfWorld(before.WorldXOfFractionalPixel(c.px)), c.px, 0.01);
    EXPECT_NEAR(after.PixelYOfWorld(before.WorldYOfFractionalPixel(c.py)), c.py, 0.01);
  }
}

TEST(ViewNavigation, LimitsFollowTheGridAndTheWholeWindow) {
  // 65 x 33 nodes over 0..512 x 0..256: cells of 8 units, so 8 / 64 units a pixel at most in.
  std::vector<GridPoint> nodes;
  for (int j = 0; j < 33; ++j) {
    for (int i = 0; i < 65; ++i) nodes.push_back({{8.0f * i, 8.0f * j, 0}, {1, 0, 0}, 0, 0});
  }
  const std::unique_ptr<FlowField> built = FlowField::FromNodes(65, 33, 1, 0, std::move(nodes));
  const FlowField& field = *built;
  const ZoomLimits limits = ZoomLimitsOf(field, {0, 0, 512, 256});
  EXPECT_DOUBLE_EQ(limits.leastUnitsPerPixelX, 0.125);
  EXPECT_DOUBLE_EQ(limits.leastUnitsPerPixelY, 0.125);
  EXPECT_DOUBLE_EQ(limits.largestExtentX, 2048);
  EXPECT_DOUBLE_EQ(limits.largestExtentY, 1024);
  EXPECT_TRUE(WindowMeetsData({512, 256, 600, 300}, field));  // touching a corner
  EXPECT_FALSE(WindowMeetsData({513, 0, 600, 300}, field));
  EXPECT_FALSE(WindowMeetsData({0, -50, 100, -1}, field));
}

TEST(ViewNavigation, PanMovesWhatWasUnderThePointerWithIt) {
  // A pixel a world unit; dragging right and down by (10, 20).
  const WorldWindow down = PanBy({0, 0, 512, 512}, {512, 512}, false, 10, 20);
  EXPECT_EQ(down.x0, -10);
  EXPECT_EQ(down.y0, -20);
  EXPECT_EQ(down.x1, 502);
  EXPECT_EQ(down.y1, 492);
  const WorldWindow up = PanBy({0, 0, 512, 512}, {512, 512}, true, 10, 20);
  EXPECT_EQ(up.y0, 20);
  EXPECT_EQ(up.y1, 532);
}

TEST(ViewNavigation, TheOldPictureIsStretchedOverItsWorldWindow) {
  struct Case {
    WorldWindow shown;
    AreaSize shownArea;
    WorldWindow window;
    bool yUp;
    PixelRect expected;  // on a 512 x 512 area, by hand
  };
  const Case cases[] = {
      {{0, 0, 512, 512}, {512, 512}, {0, 0, 512, 512}, false, {0, 0, 512, 512}},
      {{0, 0, 512, 512}, {512, 512}, {0, 0, 512, 512}, true, {0, 0, 512, 512}},
      // Zoomed in twice about the centre: half a unit a pixel.
      {{0, 0, 512, 512}, {512, 512}, {128, 128, 384, 384}, false, {-256, -256, 768, 768}},
      // y up: the old top row stands for y 511, which row 511 - (511 - 128) / 0.5 = -255 shows.
      {{0, 0, 512, 512}, {512, 512}, {128, 128, 384, 384}, true, {-256, -255, 768, 769}},
      // The window moved 10 units left and 20 up (y up) from a picture of 2-unit pixels: its top
      // row stands for y 510, row 511 - (510 - 20) = 21 now.
      {{0, 0, 512, 512}, {256, 256}, {-10, 20, 502, 532}, true, {10, 21, 522, 533}},
  };
  for (const Case& c : cases) {
    const PixelRect at = PixelRectOfWindow(c.shown, c.shownArea, c.window, {512, 512}, c.yUp);
    EXPECT_DOUBLE_EQ(at.left, c.expected.left);
    EXPECT_DOUBLE_EQ(at.top, c.expected.top);
    EXPECT_DOUBLE_EQ(at.right, c.expected.right);
    EXPECT_DOUBLE_EQ(at.bottom, c.expected.bottom);
  }
}

TEST(ViewNavigation, TheAreaFitsTheCanvasWithTheWindowsProportions) {
  struct Case {
    WorldWindow window;
    int width, height, size;
  };
  const Case cases[] = {
      {{0, 0, 400, 300}, 1000, 600, 800},  // 800 x 600: the height limits
      {{0, 0, 400, 300}, 700, 700, 700},   // 700 x 525
      {{0, 0, 300, 400}, 700, 700, 700},   // 525 x 700
      {{0, 0, 100, 100}, 301, 256, 256},
      {{0, 0, 3, 1}, 100, 33, 100},  // 100 x 33.3 rounds to 100 x 33
      {{0, 0, 3, 1}, 100, 32, 97},   // 97 x 32.3; 98 x 32.7 would round up to 33
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SizeToFit(c.window, c.width, c.height), c.size) << c.width << 'x' << c.height;
    const AreaSize area = AreaOfWindow(c.window, c.size, true);
    EXPECT_LE(area.width, c.width);
    EXPECT_LE(area.height, c.height);
  }
}

}  // namespace
}  // namespace vortana
