// Streamline steps in drawing-area pixels (render/pixel_steps.h), through the tracer and both
// placements.

#include "render/pixel_steps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "render/occupancy_grid.h"
#include "render/placement.h"
#include "render/streamline.h"
#include "render/surface.h"
#include "support/stream_fields.h"

namespace vortana {
namespace {

using testing::CellularFlow;
using testing::SampledFlow;
using testing::SettingsFor;
using testing::SpiralSink;
using testing::UniformFlow;

constexpr Colour kLine = MakeColour(0, 0, 255);

/// The same field with every coordinate times 2^coordinatePower and every velocity component
/// times 2^velocityPower.
std::unique_ptr<FlowField> Scaled(const FlowField& field, int coordinatePower, int velocityPower) {
  std::vector<GridPoint> nodes = field.Nodes();
  for (GridPoint& node : nodes) {
    for (float* c : {&node.position.x, &node.position.y, &node.position.z}) {
      *c = std::ldexp(*c, coordinatePower);
    }
    for (float* c : {&node.velocity.x, &node.velocity.y, &node.velocity.z}) {
      *c = std::ldexp(*c, velocityPower);
    }
  }
  return FlowField::FromNodes(field.Width(), field.Height(), field.Depth(), field.ScalarCount(),
                              std::move(nodes));
}

/// A field that leaves the plane (w is not zero), so it is traced with all three components.
std::unique_ptr<FlowField> TiltedFlow() {
  return SampledFlow(48, testing::kStreamExtent, [](double x, double y) {
    const double k = 2.0 * 3.141592653589793 / 512.0;
    return Vec3(static_cast<float>(std::sin(2 * k * x) * std::cos(k * y)),
                static_cast<float>(-0.5 * std::cos(2 * k * x) * std::sin(k * y)),
                static_cast<float>(0.6 * std::sin(k * (x + y))));
  });
}

/// What one placement drew: the chains it kept and the picture.
struct Placed {
  std::vector<Streamline> chains;
  Surface picture{512, 512};
};

Placed Place(const FlowField& field, const TraceSettings& settings, bool evenlySpaced) {
  Placed placed;
  if (evenlySpaced) {
    OccupancyGrid grid(512, 512);
    PlaceEvenlySpacedStreamlines(field, settings, 12, 6, grid, kLine, placed.picture,
                                 placed.chains);
  } else {
    PlaceRegularStreamlines(field, settings, 24, kLine, placed.picture, placed.chains);
  }
  return placed;
}

bool SamePicture(const Surface& a, const Surface& b) {
  return std::memcmp(a.Data(), b.Data(), 512 * 512 * sizeof(Colour)) == 0;
}

TraceSettings InPixels(TraceSettings settings) {
  settings.stepsInPixels = true;
  return settings;
}

TEST(PixelSteps, WhereOneWorldUnitIsOnePixelPixelsAndWorldUnitsDrawTheSame) {
  // Max x and max y are 512 over 512 pixels: the scales are exactly 1, so a pixel step and a
  // world step are the same numbers, and every chain and every report must agree bit for bit.
  const std::unique_ptr<FlowField> fields[] = {CellularFlow(), TiltedFlow(),
                                               SpiralSink(300.0f, 200.0f)};
  int points = 0;
  for (const auto& field : fields) {
    for (const int integrator : {kIntegratorEuler, kIntegratorRungeKutta}) {
      for (const float dt : {0.099999994f, 0.75f}) {
        const TraceSettings world = SettingsFor(*field, dt, integrator);
        ASSERT_EQ(world.map.scaleX, 1.0f);
        for (const bool evenlySpaced : {false, true}) {
          const Placed expected = Place(*field, world, evenlySpaced);
          const Placed got = Place(*field, InPixels(world), evenlySpaced);
          EXPECT_EQ(got.chains, expected.chains)
              << "integrator " << integrator << " dt " << dt << " spaced " << evenlySpaced;
          EXPECT_TRUE(SamePicture(got.picture, expected.picture));
          for (const Streamline& chain : got.chains) points += static_cast<int>(chain.size());
        }
        Streamline worldProbe, pixelProbe;
        const TraceReport worldReport = TraceStreamline(*field, world, 140, 333, worldProbe);
        const TraceReport pixelReport =
            TraceStreamline(*field, InPixels(world), 140, 333, pixelProbe);
        EXPECT_EQ(pixelProbe, worldProbe);
        EXPECT_EQ(pixelReport.forward.steps, worldReport.forward.steps);
        EXPECT_EQ(pixelReport.backward.steps, worldReport.backward.steps);
      }
    }
  }
  EXPECT_GT(points, 20000);  // the pictures hold something
}

TEST(PixelSteps, PixelPointsAndVelocitiesFollowTheWindowAndTheDirectionOfY) {
  // Drawing pixel (px, py) of a 200 x 100 area over a window from (x0, y0), 0.5 world units a
  // pixel: x = x0 + 0.5 px, and y = y0 + 0.5 py (y down) or y0 + 0.5 (99 - py) (y up); a world
  // velocity (u, v) moves 2u pixels across and 2v rows down (y down) or up (y up).
  struct Case {
    float x0, y0;
    bool yUp;
    float px, py;
    Vec2 world;
    Vec2 rowsPerTime;  // of the world velocity (1, 3)
  };
  const Case cases[] = {
      {0.0f, 0.0f, false, 10.5f, 20.25f, {5.25f, 10.125f}, {2.0f, 6.0f}},
      {-3.0f, 7.0f, false, 10.5f, 20.25f, {2.25f, 17.125f}, {2.0f, 6.0f}},
      {0.0f, 0.0f, true, 10.5f, 20.25f, {5.25f, 39.375f}, {2.0f, -6.0f}},
      {100.0f, -50.0f, true, 0.0f, 99.0f, {100.0f, -50.0f}, {2.0f, -6.0f}},
  };
  for (const Case& c : cases) {
    PixelMap map;
    map.width = 200;
    map.height = 100;
    map.scaleX = map.scaleY = 0.5f;
    map.x0 = c.x0;
    map.y0 = c.y0;
    map.yUp = c.yUp;
    const Vec2 world = WorldOfPixelPoint(map, Vec2(c.px, c.py), PlainPixelMap(map));
    EXPECT_EQ(world.x, c.world.x) << c.x0 << ", " << c.y0 << ", up " << c.yUp;
    EXPECT_EQ(world.y, c.world.y) << c.x0 << ", " << c.y0 << ", up " << c.yUp;
    const Vec2 rate = PixelsPerWorldUnit(map).Of(Vec2(1.0f, 3.0f));
    EXPECT_EQ(rate.x, c.rowsPerTime.x);
    EXPECT_EQ(rate.y, c.rowsPerTime.y);
  }
}

TEST(PixelSteps, ScalingCoordinatesAndVelocitiesByPowersOfTwoChangesNoPixel) {
  // Positions times 2^a scale the pixel map by 2^a and every difference in the interpolation by
  // 2^a; velocities times 2^b scale every sample by 2^b. Both are exact in floating point, and the
  // unit direction in pixels is the same, so nothing drawn may change: from a field a 512th of
  // a unit wide (the 1 x 1 sample) to one 1024 times as wide as the drawing.
  struct Scaling {
    int coordinates;
    int velocities;
  };
  const Scaling scalings[] = {{-9, 0}, {-9, -7}, {-3, 5}, {4, -2}, {10, 3}, {0, 6}};
  const std::unique_ptr<FlowField> fields[] = {CellularFlow(), TiltedFlow(),
                                               SpiralSink(300.0f, 200.0f)};
  for (const auto& field : fields) {
    for (const int integrator : {kIntegratorEuler, kIntegratorRungeKutta}) {
      const TraceSettings settings = InPixels(SettingsFor(*field, 0.5f, integrator));
      for (const bool evenlySpaced : {false, true}) {
        const Placed expected = Place(*field, settings, evenlySpaced);
        ASSERT_FALSE(expected.chains.empty());
        for (const Scaling s : scalings) {
          const auto scaled = Scaled(*field, s.coordinates, s.velocities);
          ASSERT_EQ(scaled->IsPlanar(), field->IsPlanar());
          const Placed got =
              Place(*scaled, InPixels(SettingsFor(*scaled, 0.5f, integrator)), evenlySpaced);
          const std::string where = "2^" + std::to_string(s.coordinates) + ", 2^" +
                                    std::to_string(s.velocities) + ", integrator " +
                                    std::to_string(integrator) + ", spaced " +
                                    std::to_string(evenlySpaced);
          EXPECT_EQ(got.chains, expected.chains) << where;
          EXPECT_TRUE(SamePicture(got.picture, expected.picture)) << where;
        }
      }
    }
  }
}

TEST(PixelSteps, AFieldOneUnitWideTracesPixelByPixel) {
  // Uniform flow along x on a 1 x 1 field: in world units a step of 0.5 is 256 pixels, so the
  // trace takes one pixel 256 on and leaves; in pixels a step is half a pixel, and the chain is
  // the whole row.
  const auto field = UniformFlow(0.001f, 0.0f, 0.0f, 1.0f);
  for (const int integrator : {kIntegratorEuler, kIntegratorRungeKutta}) {
    const TraceSettings world = SettingsFor(*field, 0.5f, integrator);
    Streamline chain;
    TraceStreamline(*field, world, 100, 200, chain);
    EXPECT_EQ(chain, (Streamline{{100, 200}, {356, 200}}));

    const TraceReport report = TraceStreamline(*field, InPixels(world), 100, 200, chain);
    ASSERT_EQ(chain.size(), 512u);
    for (int x = 0; x < 512; ++x) EXPECT_EQ(chain[x], (PixelPoint{x, 200}));
    // 2 steps a pixel: 823 forward from x 100 (the 824th leaves), 201 back to x 0 and 1 more.
    EXPECT_EQ(report.forward.steps, 2 * 412);
    EXPECT_EQ(report.backward.steps, 2 * 100 + 1);
  }
}

TEST(PixelSteps, UnequalScalesTurnTheDirectionIntoPixels) {
  // (1, 1) per unit of time on a field 512 wide and 2048 high: 1 pixel across for every
  // quarter pixel down, so from (100, 100) the trace meets the right edge near row 100 + 411/4.
  const auto field = SampledFlow(2, 512.0f, [](double, double) { return Vec3(1, 1, 0); });
  std::vector<GridPoint> nodes = field->Nodes();
  for (GridPoint& node : nodes) node.position.y *= 4.0f;
  const auto tall = FlowField::FromNodes(2, 2, 1, 2, nodes);
  Streamline chain;
  TraceStreamline(*tall, InPixels(SettingsFor(*tall, 0.25f)), 100, 100, chain);
  ASSERT_FALSE(chain.empty());
  EXPECT_EQ(chain.back().x, 511);
  EXPECT_NEAR(chain.back().y, 100 + 411 / 4.0, 1.0);
  EXPECT_EQ(chain.front().x, 0);
  EXPECT_NEAR(chain.front().y, 100 - 100 / 4.0, 1.0);
}

}  // namespace
}  // namespace vortana
