#include "app/readout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vortana {
namespace {

// A 3 by 3 grid over x, y in 0..2 (node spacing 1) with u = x + 2y and v = 3 - y, which bilinear
// interpolation reproduces exactly; the node of column c, row r has pressure 10c + r and
// vorticity -(3r + c), its index negated.
std::unique_ptr<FlowField> LinearField() {
  std::vector<GridPoint> nodes;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      GridPoint node;
      node.position = {static_cast<float>(c), static_cast<float>(r), 0.0f};
      node.velocity = {static_cast<float>(c + 2 * r), static_cast<float>(3 - r), 0.0f};
      node.scalar0 = static_cast<float>(10 * c + r);
      node.scalar1 = static_cast<float>(-(3 * r + c));
      nodes.push_back(node);
    }
  }
  return FlowField::FromNodes(3, 3, 1, 2, std::move(nodes));
}

// 2 world units over 512 pixels: a pixel is 1/256, exactly.
PixelMap QuarterMap() {
  PixelMap map;
  map.scaleX = 1.0f / 256;
  map.scaleY = 1.0f / 256;
  return map;
}

TEST(Readout, InsideTheGridGivesTheSampledVelocityAndTheCornerNodesScalars) {
  const auto field = LinearField();
  struct Case {
    int px, py;
    float wx, wy, u, v;
    float pressure, vorticity;  // of the larger-x, larger-y corner of the cell
  };
  const Case cases[] = {
      // (0.5, 1.5): u = 0.5 + 3, v = 3 - 1.5; corner node column 1, row 2.
      {128, 384, 0.5f, 1.5f, 3.5f, 1.5f, 12.0f, -7.0f},
      // On node (1, 1), which closes the first cell holding it: that node itself.
      {256, 256, 1.0f, 1.0f, 3.0f, 2.0f, 11.0f, -4.0f},
      // Grid origin: the first cell, whose corner is node (1, 1).
      {0, 0, 0.0f, 0.0f, 0.0f, 3.0f, 11.0f, -4.0f},
      // The far corner (2, 2) itself.
      {512, 512, 2.0f, 2.0f, 6.0f, 1.0f, 22.0f, -8.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "pixel " << c.px << ", " << c.py);
    const Readout r = ReadoutAt(field.get(), QuarterMap(), c.px, c.py);
    ASSERT_EQ(r.kind, Readout::Kind::Inside);
    EXPECT_EQ(r.px, c.px);
    EXPECT_EQ(r.py, c.py);
    EXPECT_FLOAT_EQ(r.wx, c.wx);
    EXPECT_FLOAT_EQ(r.wy, c.wy);
    EXPECT_FLOAT_EQ(r.velocity.x, c.u);
    EXPECT_FLOAT_EQ(r.velocity.y, c.v);
    EXPECT_NEAR(r.speed, std::hypot(c.u, c.v), 1e-6);
    EXPECT_EQ(r.pressure, c.pressure);
    EXPECT_EQ(r.vorticity, c.vorticity);
  }
  EXPECT_EQ(ReadoutText(ReadoutAt(field.get(), QuarterMap(), 128, 384)),
            "pixel 128, 384   x 0.5  y 1.5   u 3.5  v 1.5  speed 3.8079   pressure 12  "
            "vorticity -7");
}

TEST(Readout, BeyondTheGridSaysSoAndWithoutDataSaysNothing) {
  const auto field = LinearField();
  for (const auto& [px, py] : {std::pair{520, 10}, {10, 520}, {-1, 10}}) {
    const Readout r = ReadoutAt(field.get(), QuarterMap(), px, py);
    EXPECT_EQ(r.kind, Readout::Kind::Outside) << px << ", " << py;
  }
  EXPECT_EQ(ReadoutText(ReadoutAt(field.get(), QuarterMap(), 520, 10)),
            "pixel 520, 10   x 2.0312  y 0.039062   outside the data");

  const FlowField empty;
  const auto oneRow = FlowField::FromNodes(2, 1, 1, 0, std::vector<GridPoint>(2));
  const FlowField* nothing = nullptr;
  for (const FlowField* none : {nothing, &empty, static_cast<const FlowField*>(oneRow.get())}) {
    const Readout r = ReadoutAt(none, QuarterMap(), 10, 10);
    EXPECT_EQ(r.kind, Readout::Kind::None);
    EXPECT_EQ(ReadoutText(r), "");
  }
}

}  // namespace
}  // namespace vortana
