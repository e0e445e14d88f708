#include "app/sample_flows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <stdexcept>

namespace vortana {
namespace {

SampleOptions Grid(int width, int height, float extentX = 1.0f, float extentY = 1.0f) {
  SampleOptions options;
  options.width = width;
  options.height = height;
  options.extentX = extentX;
  options.extentY = extentY;
  return options;
}

const GridPoint& At(const std::vector<GridPoint>& nodes, const SampleOptions& options, int column,
                    int row) {
  return nodes.at(static_cast<std::size_t>(row * options.width + column));
}

double Speed(const GridPoint& node) { return std::hypot(node.velocity.x, node.velocity.y); }

TEST(SampleFlowsTest, NamesRoundTripAndUnknownNamesAreRefused) {
  const auto& flows = AllSampleFlows();
  EXPECT_EQ(flows.size(), 6u);
  std::set<std::string> names;
  for (SampleFlow flow : flows) {
    names.insert(SampleFlowName(flow));
    EXPECT_EQ(SampleFlowByName(SampleFlowName(flow)), flow);
  }
  EXPECT_EQ(names, (std::set<std::string>{"uniform", "rankine-vortex", "double-gyre", "cylinder",
                                          "vortex-street", "spiral-sink"}));
  EXPECT_FALSE(SampleFlowByName("tornado").has_value());
  EXPECT_FALSE(SampleFlowByName("Uniform").has_value());
  EXPECT_FALSE(SampleFlowByName("").has_value());
}

TEST(SampleFlowsTest, GridIsRectilinearOverTheRequestedExtent) {
  // 5 x 3 nodes over 2 x 0.5: x steps by 0.5 and y by 0.25, all exact in binary.
  const SampleOptions small = Grid(5, 3, 2.0f, 0.5f);
  for (SampleFlow flow : AllSampleFlows()) {
    SCOPED_TRACE(SampleFlowName(flow));
    const std::vector<GridPoint> nodes = MakeSampleNodes(flow, small);
    ASSERT_EQ(nodes.size(), 15u);
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 5; ++column) {
        const GridPoint& node = At(nodes, small, column, row);
        EXPECT_EQ(node.position, Vec3(0.5f * static_cast<float>(column),
                                      0.25f * static_cast<float>(row), 0.0f));
        EXPECT_EQ(node.velocity.z, 0.0f);
      }
    }
  }

  // The default grid: 128 x 128 over 512 x 512, first node at the origin, last at (512, 512).
  const SampleOptions standard;
  const std::vector<GridPoint> nodes = MakeSampleNodes(SampleFlow::DoubleGyre, standard);
  ASSERT_EQ(nodes.size(), 128u * 128u);
  EXPECT_EQ(nodes.front().position, Vec3(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(nodes.back().position, Vec3(512.0f, 512.0f, 0.0f));
  EXPECT_EQ(At(nodes, standard, 127, 0).position, Vec3(512.0f, 0.0f, 0.0f));
  EXPECT_EQ(At(nodes, standard, 0, 127).position, Vec3(0.0f, 512.0f, 0.0f));
  EXPECT_FLOAT_EQ(At(nodes, standard, 1, 0).position.x, 512.0f / 127.0f);

  // A wide grid keeps its last node on the extent exactly.
  const SampleOptions wide = Grid(300, 7, 3.7f, 0.3f);
  const std::vector<GridPoint> wideNodes = MakeSampleNodes(SampleFlow::Cylinder, wide);
  EXPECT_EQ(wideNodes.back().position, Vec3(3.7f, 0.3f, 0.0f));
}

TEST(SampleFlowsTest, FieldCarriesTheGridAndItsStatistics) {
  const SampleOptions options = Grid(40, 20, 2.0f, 1.0f);
  const std::unique_ptr<FlowField> field = MakeSampleField(SampleFlow::Cylinder, options);
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->Width(), 40);
  EXPECT_EQ(field->Height(), 20);
  EXPECT_EQ(field->Depth(), 1);
  EXPECT_EQ(field->ScalarCount(), 2);
  EXPECT_EQ(field->NodeCount(), 800);
  EXPECT_EQ(field->Stats().maxPosition, Vec3(2.0f, 1.0f, 0.0f));
  EXPECT_EQ(field->Stats().minPosition.x, 0.0f);
  EXPECT_EQ(field->Stats().minPosition.y, 0.0f);
  EXPECT_EQ(field->Nodes().size(), 800u);
}

TEST(SampleFlowsTest, EveryValueIsFiniteOnAnyGrid) {
  // Odd node counts put a node on the centre of the vortex, the cylinder and the sink.
  const std::vector<SampleOptions> grids = {Grid(2, 2),        Grid(3, 3),      SampleOptions{},
                                            Grid(129, 129),    Grid(101, 101),  Grid(61, 9, 3.0f, 0.4f),
                                            Grid(9, 61, 0.4f, 3.0f), Grid(17, 17, 1e-3f, 1e-3f),
                                            Grid(33, 5, 3.0e38f, 1e-30f), Grid(5, 5, 1e-45f, 1e-45f)};
  for (SampleFlow flow : AllSampleFlows()) {
    for (const SampleOptions& grid : grids) {
      SCOPED_TRACE(SampleFlowName(flow) + " " + std::to_string(grid.width) + "x" +
                   std::to_string(grid.height));
      for (const GridPoint& node : MakeSampleNodes(flow, grid)) {
        ASSERT_TRUE(std::isfinite(node.velocity.x) && std::isfinite(node.velocity.y));
        ASSERT_TRUE(std::isfinite(node.scalar0) && std::isfinite(node.scalar1));
      }
    }
  }
}

TEST(SampleFlowsTest, OptionsOutOfRangeAreRefused) {
  for (const SampleOptions& bad :
       {Grid(1, 10), Grid(10, 1), Grid(4097, 10), Grid(10, 4097), Grid(10, 10, 0.0f, 1.0f),
        Grid(10, 10, 1.0f, -1.0f), Grid(10, 10, NAN, 1.0f), Grid(10, 10, 1.0f, INFINITY)}) {
    EXPECT_THROW(MakeSampleNodes(SampleFlow::Uniform, bad), std::invalid_argument);
  }
}

TEST(SampleFlowsTest, UniformFlowIsTheSameEverywhere) {
  // Unit speed at 30 degrees below the x axis: (cos 30, sin 30) = (0.8660254, 0.5).
  const std::vector<GridPoint> nodes = MakeSampleNodes(SampleFlow::Uniform, Grid(33, 17, 2.0f, 1.0f));
  for (const GridPoint& node : nodes) {
    EXPECT_EQ(node.velocity, nodes.front().velocity);
    EXPECT_EQ(node.scalar0, nodes.front().scalar0);
    EXPECT_EQ(node.scalar1, 0.0f);
  }
  EXPECT_FLOAT_EQ(nodes.front().velocity.x, 0.8660254f);
  EXPECT_FLOAT_EQ(nodes.front().velocity.y, 0.5f);
}

TEST(SampleFlowsTest, RankineVortexTurnsSolidlyInsideItsCoreAndPeaksAtItsRadius) {
  // 129 nodes over 1: node k lies at k / 128 exactly. The vortex sits 1/64 up and left of the
  // middle, at (31/64, 31/64) = node (62, 62). Core radius 1/4 = 32 nodes with peak speed 1 gives
  // omega = 4: speed omega r inside, omega a^2 / r outside.
  const SampleOptions grid = Grid(129, 129);
  const std::vector<GridPoint> nodes = MakeSampleNodes(SampleFlow::RankineVortex, grid);
  const GridPoint& centre = At(nodes, grid, 62, 62);
  EXPECT_EQ(centre.velocity, Vec3(0.0f, 0.0f, 0.0f));

  EXPECT_NEAR(Speed(At(nodes, grid, 94, 62)), 1.0, 1e-6);  // r = 1/4, on the core radius
  EXPECT_NEAR(Speed(At(nodes, grid, 62, 30)), 1.0, 1e-6);
  EXPECT_NEAR(Speed(At(nodes, grid, 78, 62)), 0.5, 1e-6);  // r = 1/8: 4 / 8
  EXPECT_NEAR(Speed(At(nodes, grid, 126, 62)), 0.5, 1e-6);  // r = 1/2: 4 / 16 / (1/2)
  // Positive vorticity turns +x towards +y: right of the centre the flow runs along +y.
  EXPECT_EQ(At(nodes, grid, 78, 62).velocity.x, 0.0f);
  EXPECT_GT(At(nodes, grid, 78, 62).velocity.y, 0.0f);

  double peak = 0.0;
  double peakRadius = 0.0;
  for (const GridPoint& node : nodes) {
    const double r = std::hypot(node.position.x - 31.0 / 64.0, node.position.y - 31.0 / 64.0);
    if (Speed(node) > peak) {
      peak = Speed(node);
      peakRadius = r;
    }
    if (r < 0.249) {
      EXPECT_EQ(node.scalar1, 8.0f) << "r = " << r;  // 2 omega
    } else if (r > 0.251) {
      EXPECT_EQ(node.scalar1, 0.0f) << "r = " << r;
    }
  }
  EXPECT_NEAR(peak, 1.0, 1e-6);
  EXPECT_NEAR(peakRadius, 0.25, 1.0 / 128.0);

  // Centripetal balance: p(1/2) - p(0) = omega^2 a^2 - (omega a^2 / (1/2))^2 / 2 = 1 - 1/8.
  EXPECT_NEAR(At(nodes, grid, 126, 62).scalar0 - centre.scalar0, 0.875, 1e-6);
  EXPECT_LT(centre.scalar0, At(nodes, grid, 78, 62).scalar0);
}

TEST(SampleFlowsTest, CylinderHasStagnationPointsAndTwiceTheStreamAtItsSides) {
  // 129 nodes over 1: node k at k / 128 exactly. Radius 1/8 = 16 nodes, centred 1.5 radii left of
  // the middle at (5/16, 1/2) = node (40, 64); free stream 1 along +x.
  const SampleOptions grid = Grid(129, 129);
  const std::vector<GridPoint> nodes = MakeSampleNodes(SampleFlow::Cylinder, grid);
  const GridPoint& front = At(nodes, grid, 24, 64);
  const GridPoint& back = At(nodes, grid, 56, 64);
  const GridPoint& top = At(nodes, grid, 40, 48);
  const GridPoint& bottom = At(nodes, grid, 40, 80);
  EXPECT_EQ(Speed(front), 0.0);
  EXPECT_EQ(Speed(back), 0.0);
  EXPECT_EQ(top.velocity, Vec3(2.0f, 0.0f, 0.0f));
  EXPECT_EQ(bottom.velocity, Vec3(2.0f, 0.0f, 0.0f));
  // Bernoulli: the sides lie |2|^2 / 2 = 2 below the stagnation pressure.
  EXPECT_FLOAT_EQ(front.scalar0 - top.scalar0, 2.0f);
  EXPECT_EQ(front.scalar0, back.scalar0);

  // Inside the body the fluid is at rest at the stagnation pressure; potential flow has no
  // vorticity anywhere.
  const GridPoint& inside = At(nodes, grid, 46, 60);
  EXPECT_EQ(inside.velocity, Vec3(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(inside.scalar0, front.scalar0);
  for (const GridPoint& node : nodes) EXPECT_EQ(node.scalar1, 0.0f);

  // On the axis u = 1 - R^2 / x^2: 1/4 ahead of the centre that is 1 - 1/4, and in the middle of
  // the domain, 3/16 behind it, 1 - 4/9.
  EXPECT_NEAR(At(nodes, grid, 8, 64).velocity.x, 0.75, 1e-6);
  EXPECT_EQ(At(nodes, grid, 8, 64).velocity.y, 0.0f);
  EXPECT_NEAR(At(nodes, grid, 64, 64).velocity.x, 5.0 / 9.0, 1e-6);
  // Above the body u = 1 + R^2 / y^2: at y = -1/4 that is 1 + 1/4.
  EXPECT_NEAR(At(nodes, grid, 40, 32).velocity.x, 1.25, 1e-6);
}

TEST(SampleFlowsTest, SpiralSinkPointsInwardAndTurns) {
  for (const SampleOptions& grid : {SampleOptions{}, Grid(129, 129), Grid(64, 32, 2.0f, 1.0f)}) {
    // Centred 1/64 of the shorter side up and left of the middle.
    const double offset = std::min(grid.extentX, grid.extentY) / 64.0;
    const double cx = grid.extentX / 2.0 - offset, cy = grid.extentY / 2.0 - offset;
    for (const GridPoint& node : MakeSampleNodes(SampleFlow::SpiralSink, grid)) {
      const double dx = node.position.x - cx, dy = node.position.y - cy;
      if (dx == 0.0 && dy == 0.0) {
        EXPECT_EQ(node.velocity, Vec3(0.0f, 0.0f, 0.0f));
        continue;
      }
      ASSERT_LT(node.velocity.x * dx + node.velocity.y * dy, 0.0);  // inward
      ASSERT_GT(dx * node.velocity.y - dy * node.velocity.x, 0.0);  // turning +x towards +y
      ASSERT_GE(node.scalar1, 0.0f);  // the core's Gaussian; it underflows far out
    }
  }
  // At r = 1/4 right of the centre (node (62, 62) of 129), flux 0.6, circulation 1.2, core 0.1:
  // u_r = -0.6 / (2 pi 0.25) (1 - e^-6.25) = -0.3819719 * 0.9980695 = -0.3812345 and
  // u_theta = 1.2 / (2 pi 0.25) (1 - e^-6.25) = 0.7639437 * 0.9980695 = 0.7624689.
  const SampleOptions grid = Grid(129, 129);
  const std::vector<GridPoint> nodes = MakeSampleNodes(SampleFlow::SpiralSink, grid);
  EXPECT_EQ(At(nodes, grid, 62, 62).velocity, Vec3(0.0f, 0.0f, 0.0f));
  const GridPoint& node = At(nodes, grid, 94, 62);
  EXPECT_NEAR(node.velocity.x, -0.3812345, 1e-6);
  EXPECT_NEAR(node.velocity.y, 0.7624689, 1e-6);
}

TEST(SampleFlowsTest, DoubleGyreIsClosedAtTheBoundary) {
  for (const SampleOptions& grid : {SampleOptions{}, Grid(129, 129), Grid(50, 80, 3.0f, 0.5f)}) {
    const std::vector<GridPoint> nodes = MakeSampleNodes(SampleFlow::DoubleGyre, grid);
    for (int row = 0; row < grid.height; ++row) {
      EXPECT_NEAR(At(nodes, grid, 0, row).velocity.x, 0.0, 1e-6);
      EXPECT_NEAR(At(nodes, grid, grid.width - 1, row).velocity.x, 0.0, 1e-6);
    }
    for (int column = 0; column < grid.width; ++column) {
      EXPECT_NEAR(At(nodes, grid, column, 0).velocity.y, 0.0, 1e-6);
      EXPECT_NEAR(At(nodes, grid, column, grid.height - 1).velocity.y, 0.0, 1e-6);
    }
  }
  // psi = A sin(2 pi x) sin(pi y), A = 1 / (2 pi) on the unit square: u = A pi sin(2 pi x) cos(pi y)
  // is 0.5 at (0.25, 0); v = -2 pi A cos(2 pi x) sin(pi y) is -1 at (0, 0.5). The cell centres
  // (0.25, 0.5) and (0.75, 0.5) are at rest, with vorticity +-A (4 pi^2 + pi^2) = +-5 pi / 2.
  const SampleOptions grid = Grid(129, 129);
  const std::vector<GridPoint> nodes = MakeSampleNodes(SampleFlow::DoubleGyre, grid);
  EXPECT_NEAR(At(nodes, grid, 32, 0).velocity.x, 0.5, 1e-6);
  EXPECT_NEAR(At(nodes, grid, 0, 64).velocity.y, -1.0, 1e-6);
  EXPECT_NEAR(Speed(At(nodes, grid, 32, 64)), 0.0, 1e-6);
  EXPECT_NEAR(Speed(At(nodes, grid, 96, 64)), 0.0, 1e-6);
  EXPECT_NEAR(At(nodes, grid, 32, 64).scalar1, 5.0 * std::numbers::pi / 2.0, 1e-5);
  EXPECT_NEAR(At(nodes, grid, 96, 64).scalar1, -5.0 * std::numbers::pi / 2.0, 1e-5);
}

TEST(SampleFlowsTest, VortexStreetHasTwoRowsOfOppositeVortices) {
  const SampleOptions grid;
  const std::vector<GridPoint> nodes = MakeSampleNodes(SampleFlow::VortexStreet, grid);
  float peak = 0.0f;
  for (const GridPoint& node : nodes) peak = std::max(peak, std::abs(node.scalar1));
  ASSERT_GT(peak, 0.0f);
  // Local extremes of vorticity, strong ones only: the cores.
  int positiveAbove = 0, negativeBelow = 0, misplaced = 0;
  for (int row = 1; row + 1 < grid.height; ++row) {
    for (int column = 1; column + 1 < grid.width; ++column) {
      const float w = At(nodes, grid, column, row).scalar1;
      bool max = true, min = true;
      for (int dr = -1; dr <= 1; ++dr) {
        for (int dc = -1; dc <= 1; ++dc) {
          if (dr == 0 && dc == 0) continue;
          const float other = At(nodes, grid, column + dc, row + dr).scalar1;
          max = max && w > other;
          min = min && w < other;
        }
      }
      const bool above = At(nodes, grid, column, row).position.y < grid.extentY / 2.0f;
      if (max && w > peak / 2.0f) (above ? positiveAbove : misplaced)++;
      if (min && w < -peak / 2.0f) (above ? misplaced : negativeBelow)++;
    }
  }
  EXPECT_GE(positiveAbove, 3);
  EXPECT_GE(negativeBelow, 3);
  EXPECT_EQ(misplaced, 0);
  // Far from the rows the stream runs along +x at about its free speed.
  EXPECT_NEAR(nodes.front().velocity.x, 1.0, 0.1);
  EXPECT_NEAR(nodes.back().velocity.x, 1.0, 0.1);
}

}  // namespace
}  // namespace vortana

namespace vortana {
namespace {

// The forced double gyre's velocity, u = -pi A sin(pi f) cos(pi y), v = pi A cos(pi f) sin(pi y)
// df/dx with f = a x^2 + b x, a = epsilon sin(omega t), b = 1 - 2a, worked by hand at nodes of
// a 5 x 5 grid over the published domain [0,2] x [0,1] (A 0.1, epsilon 0.25, omega 2 pi / 10).
// At t = 2: sin(72 deg) = 0.951057, a = 0.237764, b = 0.524472.
TEST(SampleFlowsTest, SwayingDoubleGyreFollowsThePublishedFormula) {
  SampleOptions options = Grid(5, 5, 2.0f, 1.0f);
  options.steps = 10;
  struct Case {
    int step, column, row;
    double u, v;
  };
  const Case cases[] = {
      // t = 0 is the steady gyre: f = x; u = -0.1 pi sin(pi/2) cos(pi/4).
      {0, 1, 1, -0.222144, 0.0},
      // f = a + b = 0.762236, df/dx = 2a + b = 1, cos(pi f) = -0.733730: v = 0.1 pi x that.
      {2, 2, 2, 0.0, -0.230517},
      // f = a/4 + b/2 = 0.321677: sin(pi f) = 0.847096, cos(pi f) = 0.531444, df/dx = 0.762236.
      {2, 1, 3, 0.188187, 0.089975},
      // t = 7: sin(252 deg) = -sin(72 deg): a = -0.237764, b = 1.475528 at x = 1.5, y = 0.25.
      {7, 3, 1, 0.188187, 0.089975},
  };
  for (const Case& c : cases) {
    const std::vector<GridPoint> nodes = MakeSampleNodes(SampleFlow::DoubleGyre, options, c.step);
    const GridPoint& node = At(nodes, options, c.column, c.row);
    EXPECT_NEAR(node.velocity.x, c.u, 2e-6) << "t " << c.step << " node " << c.column << "," << c.row;
    EXPECT_NEAR(node.velocity.y, c.v, 2e-6) << "t " << c.step << " node " << c.column << "," << c.row;
  }
  // The sway's period is 10: t = 10 would be t = 0; t = 5 (sin pi = 0) nearly is.
  const std::vector<GridPoint> first = MakeSampleNodes(SampleFlow::DoubleGyre, options, 0);
  const std::vector<GridPoint> fifth = MakeSampleNodes(SampleFlow::DoubleGyre, options, 5);
  EXPECT_NEAR(At(fifth, options, 1, 1).velocity.x, At(first, options, 1, 1).velocity.x, 1e-6);
}

// In a series the street moves downstream and repeats after 20 steps; steady flows repeat.
TEST(SampleFlowsTest, SeriesMoveTheStreetAndRepeatTheSteadyFlows) {
  SampleOptions options = Grid(64, 32, 512.0f, 256.0f);
  options.steps = 21;
  const auto nodes = [&](SampleFlow flow, int step) { return MakeSampleNodes(flow, options, step); };
  const auto same = [](const std::vector<GridPoint>& a, const std::vector<GridPoint>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const GridPoint& p, const GridPoint& q) {
      return p.velocity.x == q.velocity.x && p.velocity.y == q.velocity.y && p.scalar0 == q.scalar0;
    });
  };
  EXPECT_FALSE(same(nodes(SampleFlow::VortexStreet, 0), nodes(SampleFlow::VortexStreet, 5)));
  EXPECT_TRUE(same(nodes(SampleFlow::VortexStreet, 0), nodes(SampleFlow::VortexStreet, 20)));
  EXPECT_TRUE(same(nodes(SampleFlow::RankineVortex, 0), nodes(SampleFlow::RankineVortex, 13)));
  // The spacing is 64 units (a quarter of 256) and the columns 8 apart: in 5 of 20 steps the
  // vortices move a quarter spacing, 2 columns downstream, and the vorticity moves with them
  // (up to the far vortices beyond the street's ends).
  options.width = 65;
  const std::vector<GridPoint> grid0 = nodes(SampleFlow::VortexStreet, 0);
  const std::vector<GridPoint> grid5 = nodes(SampleFlow::VortexStreet, 5);
  double peak = 0.0;
  for (const GridPoint& node : grid0) peak = std::max(peak, std::fabs(double{node.scalar1}));
  for (int row = 0; row < 32; ++row) {
    for (int column = 16; column < 48; ++column) {
      EXPECT_NEAR(At(grid5, options, column + 2, row).scalar1, At(grid0, options, column, row).scalar1,
                  1e-3 * peak)
          << column << "," << row;
    }
  }
  options.width = 64;
  options.steps = 1;
  EXPECT_TRUE(same(nodes(SampleFlow::DoubleGyre, 0),
                   MakeSampleNodes(SampleFlow::DoubleGyre, Grid(64, 32, 512.0f, 256.0f))));
  EXPECT_THROW(MakeSampleNodes(SampleFlow::Uniform, options, 1), std::invalid_argument);
}

}  // namespace
}  // namespace vortana
