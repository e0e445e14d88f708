#include "render/colour_ramp.h"

#include <gtest/gtest.h>

#include "render/surface.h"

namespace vortana {
namespace {

TEST(ColourRampTest, RunsFromBlueThroughMagentaToRed) {
  const ColourRamp ramp = BuildColourRamp();
  EXPECT_EQ(ramp[0], MakeColour(1, 0, 255));
  EXPECT_EQ(ramp[64], MakeColour(129, 0, 255));
  EXPECT_EQ(ramp[127], MakeColour(255, 0, 255));
  EXPECT_EQ(ramp[128], MakeColour(255, 0, 253));
  EXPECT_EQ(ramp[191], MakeColour(255, 0, 127));
  EXPECT_EQ(ramp[254], MakeColour(255, 0, 1));
  EXPECT_EQ(ramp[255], MakeColour(255, 0, 0));
  // COLORREF layout: red in the low byte, blue in the third.
  EXPECT_EQ(ramp[0], 0x00FF0001u);
  for (const Colour c : ramp) {
    EXPECT_EQ(GreenOf(c), 0);
    EXPECT_EQ(c >> 24, 0u);
  }
}

TEST(ColourRampTest, LegendShowsEachEntryAsTwoFullHeightColumns) {
  const ColourRamp ramp = BuildColourRamp();
  Surface legend(512, 10);
  legend.SelectPen(kBlack);
  DrawLegend(ramp, legend);
  for (int row = 0; row < 10; ++row) {
    EXPECT_EQ(legend.Pixel(0, row), MakeColour(1, 0, 255));
    EXPECT_EQ(legend.Pixel(1, row), MakeColour(1, 0, 255));
    EXPECT_EQ(legend.Pixel(254, row), MakeColour(255, 0, 255));
    EXPECT_EQ(legend.Pixel(255, row), MakeColour(255, 0, 255));
    EXPECT_EQ(legend.Pixel(256, row), MakeColour(255, 0, 253));
    EXPECT_EQ(legend.Pixel(510, row), MakeColour(255, 0, 0));
    EXPECT_EQ(legend.Pixel(511, row), MakeColour(255, 0, 0));
  }
  // Every pixel of the strip is painted: none is left black (no entry is black).
  for (int row = 0; row < 10; ++row) {
    for (int column = 0; column < 512; ++column) ASSERT_NE(legend.Pixel(column, row), kBlack);
  }
  // Drawing the legend leaves the caller's pen as it was.
  EXPECT_EQ(legend.Pen(), kBlack);
}

// The strip follows the drawing area's width: column c shows entry c x 256 / width, truncated.
// Entry i of the legacy ramp is (2i + 1, 0, 255) up to 127, then red 255 and blue falling.
TEST(ColourRampTest, LegendSpreadsTheRampOverTheStripWidth) {
  struct Case {
    int width;
    int column;
    Colour expected;
  };
  const Case cases[] = {
      {5, 0, MakeColour(1, 0, 255)},      // entry 0
      {5, 1, MakeColour(103, 0, 255)},    // entry 51
      {5, 4, MakeColour(255, 0, 101)},    // entry 204: blue 255 - 2 x (204 - 127)
      {1024, 0, MakeColour(1, 0, 255)},   // entry 0 over columns 0..3
      {1024, 3, MakeColour(1, 0, 255)},
      {1024, 4, MakeColour(3, 0, 255)},   // entry 1
      {1024, 1023, MakeColour(255, 0, 0)},
      {100, 99, MakeColour(255, 0, 3)},   // entry 253
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " column " << c.column);
    Surface strip(c.width, 3);
    DrawLegend(BuildColourRamp(), strip);
    EXPECT_EQ(strip.Pixel(c.column, 2), c.expected);
  }
}

}  // namespace
}  // namespace vortana
