// The numbers that label a picture: the colour bar's ticks and the axes' round steps.

#include "render/picture_scales.h"

#include <gtest/gtest.h>

namespace vortana {
namespace {

// A field whose speed peaks at 5, pressure runs 1..4 and vorticity -2..1: the bar's ticks split
// each range in quarters (worked by hand: 5/4 = 1.25, 3/4 = 0.75).
TEST(PictureScales, ColourBarTicksQuarterTheMappedRange) {
  BackgroundLimits limits;
  limits.maxSpeed = 5.0f;
  limits.minScalar0 = 1.0f;
  limits.maxScalar0 = 4.0f;
  limits.minScalar1 = -2.0f;
  limits.maxScalar1 = 1.0f;
  struct Case {
    int colourBy;
    const char* caption;
    std::array<const char*, 5> texts;
  };
  const Case cases[] = {
      {kColourByFlow, "speed", {"0", "1.25", "2.5", "3.75", "5"}},
      {kColourByPressure, "pressure", {"1", "1.75", "2.5", "3.25", "4"}},
      {kColourByVorticity, "vorticity", {"-2", "-1.25", "-0.5", "0.25", "1"}},
      {7, "vorticity", {"-2", "-1.25", "-0.5", "0.25", "1"}},  // the background's own fallback
  };
  for (const Case& c : cases) {
    const ColourBarScale scale = ColourBarScaleFor(c.colourBy, limits);
    EXPECT_EQ(scale.caption, c.caption);
    for (size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(ShortNumberText(scale.ticks[i]), c.texts[i]) << c.caption << " tick " << i;
    }
  }
}

TEST(PictureScales, NumbersAreTheShortestTextOfFourSignificantDigits) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0"},          {-0.0, "0"},          {2.5, "2.5"},        {1.0 / 3.0, "0.3333"},
      {2.0 / 3.0, "0.6667"}, {0.99990004, "0.9999"}, {0.99996, "1"},   {123456.0, "123500"},
      {12000.0, "12000"},  {1234.0, "1234"},     {12344.0, "12340"},  {0.0001234567, "0.0001235"},
      {0.00001, "1e-5"},   {-7.25e-7, "-7.25e-7"}, {1.23456e7, "1.235e7"},    {-1.5, "-1.5"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(ShortNumberText(value), text) << value;
}

TEST(PictureScales, AxisTicksAreRoundStepsWithinTheRange) {
  struct Case {
    double low, high;
    int maxCount;
    std::vector<double> ticks;
  };
  const std::vector<Case> cases = {
      {0, 511, 6, {0, 100, 200, 300, 400, 500}},
      {0, 1, 6, {0, 0.2, 0.4, 0.6, 0.8, 1.0}},
      {1, 0, 6, {0, 0.2, 0.4, 0.6, 0.8, 1.0}},  // a flipped axis has the same ticks
      {0, 6.2832, 6, {0, 2, 4, 6}},
      {-3, 3, 4, {-2, 0, 2}},
      {-3, 3, 7, {-3, -2, -1, 0, 1, 2, 3}},
      {10, 10.05, 6, {10, 10.01, 10.02, 10.03, 10.04, 10.05}},
      {0, 0, 6, {}},
  };
  for (const Case& c : cases) {
    const std::vector<double> ticks = RoundTicks(c.low, c.high, c.maxCount);
    ASSERT_EQ(ticks.size(), c.ticks.size()) << c.low << ".." << c.high;
    for (size_t i = 0; i < ticks.size(); ++i) EXPECT_NEAR(ticks[i], c.ticks[i], 1e-9);
  }
  EXPECT_EQ(TickText(0.6000000000000001, 0.2), "0.6");
  EXPECT_EQ(TickText(300, 100), "300");
  EXPECT_EQ(TickText(-1e-17, 0.05), "0.00");
  EXPECT_EQ(TickText(10.03, 0.01), "10.03");
}

// Ticks stand at the centre of the pixel that shows their world point. Worked by hand: x from
// 1000 at one unit a pixel puts 1000..1500 at columns 0..500; y up at half a unit a pixel over
// 512 rows puts world y at row 511 - 2y, so 0 is the bottom row and 250 row 11.
TEST(PictureScales, AxisTicksStandAtTheirWorldPointsPixel) {
  struct Case {
    PixelMap map;
    bool vertical;
    std::vector<double> at;
    std::vector<std::string> texts;
  };
  const std::vector<Case> cases = {
      {{1.0f, 1.0f, 512, 512, 0.0f, 0.0f, false}, false,
       {0.5, 100.5, 200.5, 300.5, 400.5, 500.5}, {"0", "100", "200", "300", "400", "500"}},
      {{1.0f, 0.5f, 512, 512, 1000.0f, 0.0f, true}, false,
       {0.5, 100.5, 200.5, 300.5, 400.5, 500.5}, {"1000", "1100", "1200", "1300", "1400", "1500"}},
      {{1.0f, 0.5f, 512, 512, 1000.0f, 0.0f, true}, true,
       {511.5, 411.5, 311.5, 211.5, 111.5, 11.5}, {"0", "50", "100", "150", "200", "250"}},
  };
  for (const Case& c : cases) {
    const std::vector<AxisTick> ticks = AxisTicks(c.map, c.vertical);
    ASSERT_EQ(ticks.size(), c.at.size()) << c.map.x0 << (c.vertical ? " y" : " x");
    for (size_t i = 0; i < ticks.size(); ++i) {
      EXPECT_DOUBLE_EQ(ticks[i].at, c.at[i]) << i;
      EXPECT_EQ(ticks[i].text, c.texts[i]) << i;
    }
  }
}

}  // namespace
}  // namespace vortana
