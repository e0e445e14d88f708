#include "render/background.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/render_fields.h"
#include "support/stream_fields.h"

namespace vortana {
namespace {

using testing::MapFor;
using testing::render_fields::EvenlySpaced;
using testing::render_fields::GridField;

BackgroundLimits LimitsOf(const FlowField& field) {
  const FieldStatistics& s = field.Stats();
  return {s.maxSpeed, s.minScalar0, s.maxScalar0, s.minScalar1, s.maxScalar1};
}

// Nodes at x, y = 0, 1, 2 on a 512 x 512 area: pixels 0..256 of either axis find column (row) 1,
// pixels 257..511 find 2, so four nodes colour the four quadrants.
struct Quadrants {
  GridPoint topLeft, topRight, bottomLeft, bottomRight;  // nodes (1,1), (2,1), (1,2), (2,2)
  GridPoint others;
};

std::unique_ptr<FlowField> QuadrantField(const Quadrants& q) {
  return GridField(EvenlySpaced(3, 2.0f), EvenlySpaced(3, 2.0f),
                   [&q](int c, int r, GridPoint& node) {
                     const GridPoint* source = &q.others;
                     if (c == 1 && r == 1) source = &q.topLeft;
                     if (c == 2 && r == 1) source = &q.topRight;
                     if (c == 1 && r == 2) source = &q.bottomLeft;
                     if (c == 2 && r == 2) source = &q.bottomRight;
                     node.velocity = source->velocity;
                     node.scalar0 = source->scalar0;
                     node.scalar1 = source->scalar1;
                   });
}

struct Painted {
  std::vector<Colour> buffer;
  Surface area{512, 512};
  bool valid = false;
};

Painted Paint(const FlowField& field, int colourBy) {
  Painted p;
  p.buffer.assign(512 * 512, kBlack);
  DrawBackground(field, MapFor(field), colourBy, LimitsOf(field), BuildColourRamp(), p.valid,
                 p.buffer, p.area);
  return p;
}

// The ramp index each quadrant was painted with, checked at its corners and middle.
void ExpectQuadrants(const Painted& p, int topLeft, int topRight, int bottomLeft, int bottomRight) {
  const ColourRamp ramp = BuildColourRamp();
  const struct {
    int x0, x1, y0, y1, index;
  } quadrants[] = {{0, 256, 0, 256, topLeft},
                   {257, 511, 0, 256, topRight},
                   {0, 256, 257, 511, bottomLeft},
                   {257, 511, 257, 511, bottomRight}};
  for (const auto& q : quadrants) {
    for (const int x : {q.x0, (q.x0 + q.x1) / 2, q.x1}) {
      for (const int y : {q.y0, (q.y0 + q.y1) / 2, q.y1}) {
        EXPECT_EQ(p.area.Pixel(x, y), ramp[q.index]) << x << "," << y;
        EXPECT_EQ(p.buffer[y * 512 + x], ramp[q.index]) << x << "," << y;
      }
    }
  }
}

TEST(BackgroundIndexTest, TruncatesAndClampsEveryQuotient) {
  EXPECT_EQ(BackgroundIndex(0.0), 0);
  EXPECT_EQ(BackgroundIndex(0.99), 0);
  EXPECT_EQ(BackgroundIndex(1.0), 1);
  EXPECT_EQ(BackgroundIndex(127.5), 127);
  EXPECT_EQ(BackgroundIndex(255.0), 255);
  EXPECT_EQ(BackgroundIndex(255.9), 255);
  EXPECT_EQ(BackgroundIndex(256.0), 255);
  EXPECT_EQ(BackgroundIndex(1e300), 255);
  EXPECT_EQ(BackgroundIndex(-0.5), 0);
  EXPECT_EQ(BackgroundIndex(-300.0), 0);
  EXPECT_EQ(BackgroundIndex(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(BackgroundIndex(std::numeric_limits<double>::infinity()), 255);
  EXPECT_EQ(BackgroundIndex(-std::numeric_limits<double>::infinity()), 0);
}

TEST(BackgroundIndexTest, ScalesEachQuantityBetweenItsLimits) {
  const BackgroundLimits limits{2.0f, -1.0f, 3.0f, 10.0f, 20.0f};
  GridPoint node;
  node.velocity = {0, 0, 1};  // all three components count: 1 * 255 / 2
  node.scalar0 = 0.0f;        // 1 * 255 / 4 = 63.75
  node.scalar1 = 19.0f;       // 9 * 255 / 10 = 229.5
  EXPECT_EQ(BackgroundIndexOfNode(node, kColourByFlow, limits), 127);
  EXPECT_EQ(BackgroundIndexOfNode(node, kColourByPressure, limits), 63);
  EXPECT_EQ(BackgroundIndexOfNode(node, kColourByVorticity, limits), 229);
  // Every setting other than Flow and Pressure shows the vorticity.
  EXPECT_EQ(BackgroundIndexOfNode(node, 7, limits), 229);
  EXPECT_EQ(BackgroundIndexOfNode(node, -1, limits), 229);
  // Values beyond the limits are clamped to the ends of the ramp.
  node.velocity = {3, 0, 0};
  node.scalar0 = -2.0f;
  EXPECT_EQ(BackgroundIndexOfNode(node, kColourByFlow, limits), 255);
  EXPECT_EQ(BackgroundIndexOfNode(node, kColourByPressure, limits), 0);
  // A field at rest: 0 / 0 is not a number and gives the ramp's first entry.
  EXPECT_EQ(BackgroundIndexOfNode(GridPoint{}, kColourByFlow, BackgroundLimits{}), 0);
}

TEST(BackgroundIndexTest, FastestNodeWhoseSpeedWasRoundedUpGets254) {
  // |(1, 2, 0)| = sqrt(5) = 2.2360679775 in double; stored as the float 2.2360680103, so the
  // quotient is 254.9999963.
  GridPoint node;
  node.velocity = {1, 2, 0};
  BackgroundLimits limits;
  limits.maxSpeed = static_cast<float>(std::sqrt(5.0));
  EXPECT_EQ(BackgroundIndexOfNode(node, kColourByFlow, limits), 254);
}

TEST(BackgroundTest, FastestNodesWhoseSpeedWasRoundedUpArePainted254) {
  // As above, for every pixel of a field finer than the area: each node moves at sqrt(5) in
  // some direction, and the field's max speed is that length rounded up to a float.
  const Vec3 directions[] = {{1, 2, 0}, {-2, 0, 1}, {0, -1, -2}, {2, -1, 0}, {0, 2, -1}};
  const auto field = GridField(EvenlySpaced(700, 4.0f), EvenlySpaced(600, 4.0f),
                               [&directions](int c, int r, GridPoint& node) {
                                 node.velocity = directions[(c + 2 * r) % 5];
                               });
  ASSERT_EQ(field->Stats().maxSpeed, static_cast<float>(std::sqrt(5.0)));
  const Painted p = Paint(*field, kColourByFlow);
  const Colour expected = BuildColourRamp()[254];
  for (int y = 0; y < 512; ++y) {
    for (int x = 0; x < 512; ++x) ASSERT_EQ(p.area.Pixel(x, y), expected) << x << "," << y;
  }
}

TEST(BackgroundTest, FlowColoursRestBlueHalfSpeedMagentaAndMaxSpeedRed) {
  Quadrants q;
  q.topRight.velocity = {1, 0, 0};         // max speed: 255
  q.bottomLeft.velocity = {0, 0.5f, 0};    // 127.5: 127
  q.bottomRight.velocity = {0, 0, 0.25f};  // 63.75: 63
  const auto field = QuadrantField(q);
  ASSERT_EQ(field->Stats().maxSpeed, 1.0f);
  const Painted p = Paint(*field, kColourByFlow);
  ExpectQuadrants(p, 0, 255, 127, 63);
  EXPECT_TRUE(p.valid);
  EXPECT_EQ(p.area.Pixel(300, 10), MakeColour(255, 0, 0));
  EXPECT_EQ(p.area.Pixel(10, 300), MakeColour(255, 0, 255));
  EXPECT_EQ(p.area.Pixel(10, 10), MakeColour(1, 0, 255));
}

TEST(BackgroundTest, PressureAndVorticitySpanTheirMinimumToMaximum) {
  Quadrants q;
  q.topLeft.scalar0 = -1.0f;  // minimum: 0
  q.topRight.scalar0 = 3.0f;  // maximum: 255
  q.bottomLeft.scalar0 = 1.0f;
  q.bottomRight.scalar0 = 0.0f;
  q.others.scalar0 = 1.0f;
  q.topLeft.scalar1 = 4.0f;
  q.topRight.scalar1 = 2.0f;
  q.bottomLeft.scalar1 = 8.0f;
  q.bottomRight.scalar1 = 4.0f;
  q.others.scalar1 = 2.0f;
  const auto field = QuadrantField(q);
  ExpectQuadrants(Paint(*field, kColourByPressure), 0, 255, 127, 63);
  ExpectQuadrants(Paint(*field, kColourByVorticity), 85, 0, 255, 85);
}

TEST(BackgroundTest, ConstantScalarPaintsEveryPixelWithTheFirstEntry) {
  Quadrants q;
  q.topLeft.scalar1 = q.topRight.scalar1 = q.bottomLeft.scalar1 = q.bottomRight.scalar1 =
      q.others.scalar1 = 2.5f;
  const auto field = QuadrantField(q);
  ExpectQuadrants(Paint(*field, kColourByVorticity), 0, 0, 0, 0);
  // A field at rest shown by its flow: max speed 0, every quotient 0 / 0.
  ExpectQuadrants(Paint(*field, kColourByFlow), 0, 0, 0, 0);
}

TEST(BackgroundTest, ValidBufferIsPaintedAgainWithoutComputing) {
  Quadrants q;
  q.topRight.velocity = {1, 0, 0};
  q.bottomLeft.velocity = {0, 0.5f, 0};
  q.topLeft.scalar0 = 5.0f;
  const auto field = QuadrantField(q);
  Painted p = Paint(*field, kColourByFlow);
  const std::vector<Colour> first = p.buffer;

  // Another field, colour-by and limits: with the flag set nothing is computed.
  Quadrants other;
  other.topLeft.velocity = {9, 0, 0};
  const auto changed = QuadrantField(other);
  Surface again(512, 512);
  DrawBackground(*changed, MapFor(*changed), kColourByPressure, BackgroundLimits{},
                 BuildColourRamp(), p.valid, p.buffer, again);
  EXPECT_TRUE(p.valid);
  EXPECT_EQ(p.buffer, first);
  for (int y = 0; y < 512; y += 7) {
    for (int x = 0; x < 512; x += 7) ASSERT_EQ(again.Pixel(x, y), p.area.Pixel(x, y));
  }

  // Painting is from the buffer as it stands: a black buffer marked valid paints black.
  std::vector<Colour> black(512 * 512, kBlack);
  bool valid = true;
  Surface fromBlack(512, 512);
  fromBlack.Fill(kBlue);
  DrawBackground(*field, MapFor(*field), kColourByFlow, LimitsOf(*field), BuildColourRamp(),
                 valid, black, fromBlack);
  EXPECT_EQ(fromBlack.Pixel(300, 10), kBlack);
  EXPECT_EQ(fromBlack.Pixel(511, 511), kBlack);
  EXPECT_EQ(black, std::vector<Colour>(512 * 512, kBlack));

  // Clearing the flag computes again.
  p.valid = false;
  DrawBackground(*changed, MapFor(*changed), kColourByFlow, LimitsOf(*changed),
                 BuildColourRamp(), p.valid, p.buffer, again);
  EXPECT_EQ(again.Pixel(10, 10), MakeColour(255, 0, 0));
  EXPECT_EQ(again.Pixel(300, 10), MakeColour(1, 0, 255));
}

TEST(BackgroundTest, BufferOfAnotherSizeIsComputedAfreshAndEmptyAreaBecomesValid) {
  Quadrants q;
  q.topRight.velocity = {1, 0, 0};
  const auto field = QuadrantField(q);
  std::vector<Colour> small(16, kBlack);
  bool valid = true;
  Surface area(512, 512);
  DrawBackground(*field, MapFor(*field), kColourByFlow, LimitsOf(*field), BuildColourRamp(),
                 valid, small, area);
  EXPECT_EQ(small.size(), 512u * 512u);
  EXPECT_EQ(area.Pixel(300, 10), MakeColour(255, 0, 0));
  EXPECT_TRUE(valid);

  std::vector<Colour> none;
  bool emptyValid = false;
  Surface empty(0, 0);
  DrawBackground(*field, MapFor(*field), kColourByFlow, LimitsOf(*field), BuildColourRamp(),
                 emptyValid, none, empty);
  EXPECT_TRUE(emptyValid);
  EXPECT_TRUE(none.empty());
}

// The background must equal looking up NodeAt for every single pixel, whatever shortcut it
// takes to get there.
void ExpectSameAsNodeAtPerPixel(const FlowField& field, const PixelMap& map, int width, int height,
                                const BackgroundLimits& limits) {
  const ColourRamp ramp = BuildColourRamp();
  for (const int colourBy : {kColourByFlow, kColourByPressure, kColourByVorticity, 7}) {
    std::vector<Colour> buffer;
    bool valid = false;
    Surface area(width, height);
    DrawBackground(field, map, colourBy, limits, ramp, valid, buffer, area);
    ASSERT_EQ(buffer.size(), static_cast<size_t>(width) * height);
    for (int py = 0; py < height; ++py) {
      for (int px = 0; px < width; ++px) {
        const GridPoint& node = field.NodeAt(map.WorldXOfPixel(px), map.WorldYOfPixel(py));
        const Colour expected = ramp[BackgroundIndexOfNode(node, colourBy, limits)];
        ASSERT_EQ(buffer[py * width + px], expected) << px << "," << py << " by " << colourBy;
        ASSERT_EQ(area.Pixel(px, py), expected) << px << "," << py << " by " << colourBy;
      }
    }
  }
}

void ExpectSameAsNodeAtPerPixel(const FlowField& field, const PixelMap& map, int width,
                                int height) {
  ExpectSameAsNodeAtPerPixel(field, map, width, height, LimitsOf(field));
}

void Swirl(int c, int r, GridPoint& node) {
  node.velocity = {std::sin(0.37f * c) * r, std::cos(0.21f * r) + 0.1f * c, 0.01f * (c - r)};
  node.scalar0 = std::sin(0.1f * c + 0.13f * r);
  node.scalar1 = 0.5f * c - 0.25f * r;
}

TEST(BackgroundTest, EqualsNodeAtForEveryPixel) {
  // Uneven spacing, a repeated coordinate and cells narrower than a pixel.
  const std::vector<float> xs{0, 0.1f, 0.15f, 0.9f, 0.9f, 1.3f, 1.3005f, 1.31f, 2};
  const std::vector<float> ys{0, 0.5f, 0.52f, 1.7f, 1.7001f, 3};
  const auto uneven = GridField(xs, ys, Swirl);
  ASSERT_TRUE(uneven->ColumnsShareRowY());  // rows found once serve every column
  ExpectSameAsNodeAtPerPixel(*uneven, MapFor(*uneven, 97, 61), 97, 61);
  // Pixels beyond the grid's last column and row.
  PixelMap beyond = MapFor(*uneven, 80, 50);
  beyond.scaleX *= 1.7f;
  beyond.scaleY *= 2.5f;
  ExpectSameAsNodeAtPerPixel(*uneven, beyond, 80, 50);

  // More nodes than pixels across, fewer down.
  const auto fine = GridField(EvenlySpaced(300, 5.0f), EvenlySpaced(7, 2.0f), Swirl);
  ExpectSameAsNodeAtPerPixel(*fine, MapFor(*fine, 128, 96), 128, 96);

  // Columns whose rows do not line up: row y grows with the column.
  std::vector<GridPoint> skewed;
  for (int r = 0; r < 9; ++r) {
    for (int c = 0; c < 11; ++c) {
      GridPoint node;
      node.position = {0.2f * c, 0.25f * r * (1.0f + 0.05f * c), 0};
      Swirl(c, r, node);
      skewed.push_back(node);
    }
  }
  const auto skew = FlowField::FromNodes(11, 9, 1, 2, std::move(skewed));
  ASSERT_FALSE(skew->ColumnsShareRowY());  // each column is checked against the first
  ExpectSameAsNodeAtPerPixel(*skew, MapFor(*skew, 90, 70), 90, 70);
}

// Nodes of a 12 x 10 grid, two slices, whose position is given per column and row.
std::unique_ptr<FlowField> ShapedField(float (*y)(int c, int r)) {
  std::vector<GridPoint> nodes;
  for (int slice = 0; slice < 2; ++slice) {
    for (int r = 0; r < 10; ++r) {
      for (int c = 0; c < 12; ++c) {
        GridPoint node;
        node.position = {0.25f * c + slice, y(c, r) + slice, 0.5f * slice};
        Swirl(c + slice, r, node);
        nodes.push_back(node);
      }
    }
  }
  return FlowField::FromNodes(12, 10, 2, 2, std::move(nodes));
}

TEST(BackgroundTest, EqualsNodeAtForEveryPixelOnGridsOfOtherShapes) {
  // Some columns line up with the first, others are stretched.
  const auto partly = ShapedField([](int c, int r) { return c % 3 == 1 ? 0.3f * r : 0.2f * r; });
  ExpectSameAsNodeAtPerPixel(*partly, MapFor(*partly, 100, 80), 100, 80);
  // y falls and rises down the columns; the search's answer is whatever NodeAt makes of it.
  const auto folded =
      ShapedField([](int c, int r) { return static_cast<float>((r * 7 + c * 3) % 10) * 0.2f; });
  ExpectSameAsNodeAtPerPixel(*folded, MapFor(*folded, 64, 64), 64, 64);
  // A coordinate that is not a number.
  const auto holed = ShapedField([](int c, int r) {
    return c == 5 && r == 4 ? std::numeric_limits<float>::quiet_NaN() : 0.2f * r;
  });
  ExpectSameAsNodeAtPerPixel(*holed, MapFor(*holed, 64, 64), 64, 64);

  // Fields without a cell: one row, one column, no nodes.
  const auto row = GridField(EvenlySpaced(6, 1.0f), {0.5f}, Swirl);
  ExpectSameAsNodeAtPerPixel(*row, MapFor(*row, 40, 30), 40, 30);
  const auto column = GridField({0.5f}, EvenlySpaced(6, 1.0f), Swirl);
  ExpectSameAsNodeAtPerPixel(*column, MapFor(*column, 40, 30), 40, 30);
  const FlowField empty;
  PixelMap map;
  map.scaleX = map.scaleY = 0.01f;
  ExpectSameAsNodeAtPerPixel(empty, map, 20, 20);
}

TEST(BackgroundTest, EqualsNodeAtForEveryPixelWhateverTheValues) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  constexpr float kHuge = 3.4e38f;
  constexpr float kTiny = 1e-45f;  // the smallest subnormal
  const float specials[] = {kNaN, kInf, -kInf, kHuge, -kHuge, kTiny, -0.0f, 0.0f, 1.0f, -2.5f};
  // Every node differs from its neighbours, and every fifth holds a special value somewhere.
  auto values = [&specials](int c, int r, GridPoint& node) {
    Swirl(c, r, node);
    const int k = c * 7 + r * 3;
    if (k % 5 == 0) {
      const float special = specials[(k / 5) % 10];
      float* const targets[] = {&node.velocity.x, &node.velocity.y, &node.velocity.z, &node.scalar0,
                                &node.scalar1};
      *targets[(k / 50) % 5] = special;
    }
  };
  // Each pixel has a node of its own, with an odd number of columns per pixel row; and a
  // coarse grid whose pixels share nodes.
  const auto fine = GridField(EvenlySpaced(223, 3.0f), EvenlySpaced(131, 2.0f), values);
  const auto coarse = GridField(EvenlySpaced(13, 3.0f), EvenlySpaced(11, 2.0f), values);
  const BackgroundLimits limitSets[] = {
      {1.5f, -0.5f, 0.75f, -3.0f, 20.0f},    // ordinary ranges
      {0.0f, 1.0f, 1.0f, 0.0f, 0.0f},        // a field at rest, constant scalars
      {kInf, -kInf, kInf, kNaN, 1.0f},       // unbounded and missing limits
      {kTiny, 2.0f, -2.0f, kHuge, -kHuge},   // inverted ranges
      {-1.0f, -kHuge, kHuge, kTiny, kTiny},  // a negative max speed
      {kNaN, 0.0f, kTiny, -kTiny, 0.0f},
  };
  for (const FlowField* field : {fine.get(), coarse.get()}) {
    ExpectSameAsNodeAtPerPixel(*field, MapFor(*field, 101, 57), 101, 57);
    for (const BackgroundLimits& limits : limitSets) {
      ExpectSameAsNodeAtPerPixel(*field, MapFor(*field, 101, 57), 101, 57, limits);
    }
  }
}

TEST(BackgroundTest, RepeatedGridRowsAreCopiedOnlyWhereEveryColumnLinesUp) {
  // Two grid rows at the same y a short way down: NaN-free but not rectilinear, as column 3's
  // rows are stretched. Its pixels must follow their own column's rows, not the row above.
  std::vector<GridPoint> nodes;
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 5; ++c) {
      GridPoint node;
      node.position = {0.5f * c, c == 3 ? 0.3f * r : 0.2f * r, 0};
      node.velocity = {static_cast<float>(c + 5 * r), 0, 0};
      node.scalar0 = static_cast<float>(r * r - c);
      node.scalar1 = static_cast<float>(c * r);
      nodes.push_back(node);
    }
  }
  const auto stretched = FlowField::FromNodes(5, 6, 1, 2, std::move(nodes));
  ASSERT_FALSE(stretched->ColumnsShareRowY());
  ExpectSameAsNodeAtPerPixel(*stretched, MapFor(*stretched, 64, 48), 64, 48);

  // A rectilinear grid with rows closer than a pixel in one place and wider in another: pixel
  // rows skip some grid rows and repeat others.
  const auto rows =
      GridField(EvenlySpaced(9, 2.0f), {0, 0.01f, 0.02f, 0.5f, 0.51f, 1.9f, 2.0f}, Swirl);
  ASSERT_TRUE(rows->ColumnsShareRowY());
  ExpectSameAsNodeAtPerPixel(*rows, MapFor(*rows, 40, 70), 40, 70);
}

}  // namespace
}  // namespace vortana
