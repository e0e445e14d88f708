// The PNG encoder's bytes read back through Qt's decoder, an independent implementation.
#include "app/png_writer.h"

#include <gtest/gtest.h>

#include <QImage>

#include "app/control_ids.h"

namespace vortana {
namespace {

// Every channel differs from the others and from pixel to pixel, so a swapped channel, row or
// column shows.
Colour AreaColour(int x, int y) { return MakeColour(30 * x + 1, 40 * y + 2, 10 * (x + y) + 3); }
Colour LegendColour(int x, int y) { return MakeColour(200 + x, 100 + y, 7); }

TEST(PngWriterTest, DecodesToTheAreaTheGapAndTheLegend) {
  Surface area(7, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) area.SetPixel(x, y, AreaColour(x, y));
  }
  Surface legend(4, 2);  // narrower than the area: black to its right
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) legend.SetPixel(x, y, LegendColour(x, y));
  }

  std::vector<uint8_t> png;
  ASSERT_EQ(EncodePng(area, &legend, png), "");
  QImage image;
  ASSERT_TRUE(image.loadFromData(png.data(), static_cast<int>(png.size()), "PNG"));
  ASSERT_EQ(image.width(), 7);
  ASSERT_EQ(image.height(), 5 + kLegendGap + 2);
  EXPECT_FALSE(image.hasAlphaChannel());
  EXPECT_EQ(image.depth(), 32);  // Qt widens 8-bit RGB to RGB32
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < 7; ++x) {
      Colour expected = kBlack;
      if (y < 5) expected = AreaColour(x, y);
      const int legendRow = y - 5 - kLegendGap;
      if (legendRow >= 0 && x < 4) expected = LegendColour(x, legendRow);
      const QRgb got = image.pixel(x, y);
      ASSERT_EQ(MakeColour(qRed(got), qGreen(got), qBlue(got)), expected) << x << ", " << y;
    }
  }

  std::vector<uint8_t> alone;
  ASSERT_EQ(EncodePng(area, nullptr, alone), "");
  QImage areaOnly;
  ASSERT_TRUE(areaOnly.loadFromData(alone.data(), static_cast<int>(alone.size()), "PNG"));
  EXPECT_EQ(areaOnly.height(), 5);
  EXPECT_EQ(areaOnly.pixel(6, 4), qRgb(181, 162, 103));  // AreaColour(6, 4)
}

}  // namespace
}  // namespace vortana
