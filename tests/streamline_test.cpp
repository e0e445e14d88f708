#include "render/streamline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include "render/occupancy_grid.h"
#include "support/stream_fields.h"

namespace vortana {
namespace {

using testing::FlowAtRest;
using testing::FlowOfNaNs;
using testing::LinearFlow;
using testing::SettingsFor;
using testing::SpiralSink;
using testing::UniformFlow;
using testing::Vortex;

/// The pixels (x0, y), (x0 + 1, y), ... (x1, y), or running down when x1 < x0.
Streamline Row(int x0, int x1, int y) {
  Streamline row;
  const int step = x1 >= x0 ? 1 : -1;
  for (int x = x0; x != x1 + step; x += step) row.push_back({x, y});
  return row;
}

bool AllDistinct(const Streamline& chain) {
  std::set<std::pair<int, int>> seen;
  for (const PixelPoint& p : chain) {
    if (!seen.insert({p.x, p.y}).second) return false;
  }
  return true;
}

TEST(TraceStreamline, ZeroVelocityAtTheSeedGivesTheSeedAlone) {
  const auto field = FlowAtRest();
  for (int integrator : {kIntegratorEuler, kIntegratorRungeKutta}) {
    Streamline chain{{1, 1}, {2, 2}};  // whatever the chain held is replaced
    const TraceReport report =
        TraceStreamline(*field, SettingsFor(*field, 0.1f, integrator), 100, 200, chain);
    EXPECT_EQ(chain, (Streamline{{100, 200}}));
    EXPECT_EQ(report.forward.end, TraceEnd::ZeroStep);
    EXPECT_EQ(report.forward.steps, 1);
    EXPECT_EQ(report.backward.end, TraceEnd::ZeroStep);
    EXPECT_EQ(report.backward.steps, 1);
  }
  // The seed is never tested against the area.
  Streamline chain;
  TraceStreamline(*field, SettingsFor(*field, 0.1f), -7, 600, chain);
  EXPECT_EQ(chain, (Streamline{{-7, 600}}));
}

TEST(TraceStreamline, UniformFlowAlongXGivesTheWholeRowOneStepAtATime) {
  // max x 512 over 512 pixels: one pixel is one world unit. Steps of 0.5 are exact in float,
  // so the seed's world x of 100 goes 100.5 (same pixel, nothing added), 101 (pixel 101), ...
  // 511.5, then 512 exactly: pixel coordinate 512 is outside, after 824 steps
  // (100 + 0.5 * 824 = 512). Backward from the seed: 99.5 (pixel 99), 99, ... 0.5, 0 (pixel 0
  // was taken at 0.5), then -0.5, outside although it would truncate to 0, after 201 steps.
  const auto field = UniformFlow(1.0f, 0.0f);
  for (int integrator : {kIntegratorEuler, kIntegratorRungeKutta}) {
    // Runge-Kutta averages two equal unit directions in a uniform flow: the same steps.
    Streamline chain;
    const TraceReport report =
        TraceStreamline(*field, SettingsFor(*field, 0.5f, integrator), 100, 200, chain);
    EXPECT_EQ(chain, Row(0, 511, 200));
    EXPECT_EQ(report.forward.end, TraceEnd::LeftArea);
    EXPECT_EQ(report.forward.steps, 824);
    EXPECT_EQ(report.backward.end, TraceEnd::LeftArea);
    EXPECT_EQ(report.backward.steps, 201);
  }
}

TEST(TraceStreamline, StepsLongerThanAPixelLeaveGaps) {
  // Steps of 2.5 world units (= pixels): forward 102.5, 105, 107.5, ... 510 (step 164), then
  // 512.5 outside; backward 97.5, 95, ... 2.5, 0 (step 40), then -2.5 outside.
  const auto field = UniformFlow(1.0f, 0.0f);
  Streamline chain;
  TraceStreamline(*field, SettingsFor(*field, 2.5f), 100, 200, chain);
  ASSERT_EQ(chain.size(), 1u + 164u + 40u);
  EXPECT_EQ(chain[0], (PixelPoint{0, 200}));
  EXPECT_EQ(chain[1], (PixelPoint{2, 200}));
  EXPECT_EQ(chain[2], (PixelPoint{5, 200}));
  EXPECT_EQ(chain[39], (PixelPoint{97, 200}));
  EXPECT_EQ(chain[40], (PixelPoint{100, 200}));  // the seed
  EXPECT_EQ(chain[41], (PixelPoint{102, 200}));
  EXPECT_EQ(chain[42], (PixelPoint{105, 200}));
  EXPECT_EQ(chain.back(), (PixelPoint{510, 200}));
}

TEST(TraceStreamline, UnequalScalesMapWorldToPixelsPerAxis) {
  // World 1024 x 256 on 512 x 512 pixels: scale x 2, scale y 0.5. The seed (10, 20) is the
  // world point (20, 10). Flow straight down in steps of 0.25 world units, half a pixel: fy
  // runs 20.5, 21, ... 511.5, 512 (outside); backward 19.5, ... 0, -0.5 (outside).
  std::vector<GridPoint> nodes(4);
  nodes[1].position = Vec3(1024.0f, 0.0f, 0.0f);
  nodes[2].position = Vec3(0.0f, 256.0f, 0.0f);
  nodes[3].position = Vec3(1024.0f, 256.0f, 0.0f);
  for (GridPoint& node : nodes) node.velocity = Vec3(0.0f, 3.0f, 0.0f);
  const auto field = FlowField::FromNodes(2, 2, 1, 2, std::move(nodes));
  const TraceSettings settings = SettingsFor(*field, 0.25f);
  ASSERT_EQ(settings.map.scaleX, 2.0f);
  ASSERT_EQ(settings.map.scaleY, 0.5f);

  Streamline chain;
  TraceStreamline(*field, settings, 10, 20, chain);
  Streamline column;
  for (int y = 0; y < 512; ++y) column.push_back({10, y});
  EXPECT_EQ(chain, column);
}

TEST(TraceStreamline, ForwardPassStoppingAtRestStillTracesBackFromTheSeed) {
  // u = 300 - x. From x = 100 the unit steps of 0.5 land exactly on x = 300, where u is exactly
  // 0 (the two corner products 300 * 212 * dy1 and 212 * 300 * dy1 are equal and exact), so
  // the forward pass takes pixels 101 .. 300 and ends at a zero step. The backward pass then
  // starts again from the seed, where u = 200, and runs down to pixel 0.
  const auto field = LinearFlow(-1.0f, 0.0f, 0.0f, 0.0f, 300.0f, 0.0f);
  Streamline chain;
  const TraceReport report = TraceStreamline(*field, SettingsFor(*field, 0.5f), 100, 200, chain);
  EXPECT_EQ(chain, Row(0, 300, 200));
  EXPECT_EQ(report.forward.end, TraceEnd::ZeroStep);
  EXPECT_EQ(report.backward.end, TraceEnd::LeftArea);
}

TEST(TraceStreamline, FirstBackwardStepInTheSeedPixelEndsTheBackwardPass) {
  // Flow towards -x: the forward pass takes 99 .. 0. The last accepted pixel is then (0, 200),
  // not reset at the turn, so the first backward point (100.5: the seed's own pixel) is new
  // against it, is found in the chain, and the backward pass ends at its first step.
  const auto field = UniformFlow(-1.0f, 0.0f);
  Streamline chain;
  const TraceReport report = TraceStreamline(*field, SettingsFor(*field, 0.5f), 100, 200, chain);
  EXPECT_EQ(chain, Row(100, 0, 200));
  EXPECT_EQ(report.forward.end, TraceEnd::LeftArea);
  EXPECT_EQ(report.backward.end, TraceEnd::Duplicate);
  EXPECT_EQ(report.backward.steps, 1);
}

TEST(TraceStreamline, ClosedOrbitEndsOnItsOwnPixels) {
  // Circles about the middle of a world 51200 units wide: 100 world units per pixel. The seed
  // lies 50 pixels (5000 units) above the centre. Each Euler step of 10 units along the tangent
  // raises r^2 by 100: one turn of 2 pi 5000 / 10 = 3142 steps moves the orbit out by about 31
  // units, 0.3 pixels, too little to miss its own first pixels. Runge-Kutta's trial point lies
  // one step ahead and closes the loop more tightly still.
  const auto field = Vortex(25600.0f, 25600.0f, 51200.0f);
  for (int integrator : {kIntegratorEuler, kIntegratorRungeKutta}) {
    Streamline chain;
    const TraceReport report =
        TraceStreamline(*field, SettingsFor(*field, 10.0f, integrator), 256, 206, chain);
    EXPECT_EQ(report.forward.end, TraceEnd::Duplicate) << integrator;
    EXPECT_EQ(report.backward.end, TraceEnd::Duplicate);
    EXPECT_TRUE(AllDistinct(chain));
    // A closed loop of radius 50 spans 100 columns twice over: at least 200 pixels.
    EXPECT_GE(chain.size(), 200u);
    for (const PixelPoint& p : chain) {
      const double r = std::hypot(p.x + 0.5 - 256.0, p.y + 0.5 - 256.0);
      EXPECT_GT(r, 49.0);
      EXPECT_LT(r, 51.5);
    }
  }
}

TEST(TraceStreamline, RungeKuttaWithOppositeDirectionsStopsAtOnce) {
  // u = 100.5 - x. At the seed (x = 100) the unit direction is +x; the trial point one step of 2
  // on (x = 102) has u < 0, unit direction -x; their mean is the zero vector, so both passes end
  // at their first step. Euler, for contrast, at steps of 0.5 reaches x = 100.5 (u exactly 0
  // there: zero step forward) and backward runs down to pixel 0.
  const auto field = LinearFlow(-1.0f, 0.0f, 0.0f, 0.0f, 100.5f, 0.0f);
  Streamline heun;
  const TraceReport report =
      TraceStreamline(*field, SettingsFor(*field, 2.0f, kIntegratorRungeKutta), 100, 200, heun);
  EXPECT_EQ(heun, (Streamline{{100, 200}}));
  EXPECT_EQ(report.forward.end, TraceEnd::ZeroStep);
  EXPECT_EQ(report.forward.steps, 1);
  EXPECT_EQ(report.backward.end, TraceEnd::ZeroStep);

  Streamline euler;
  TraceStreamline(*field, SettingsFor(*field, 0.5f, kIntegratorEuler), 100, 200, euler);
  EXPECT_EQ(euler, Row(0, 100, 200));
}

TEST(TraceStreamline, AnyIntegratorValueOtherThanZeroIsRungeKutta) {
  const auto field = LinearFlow(-1.0f, 0.0f, 0.0f, 0.0f, 100.5f, 0.0f);
  for (int integrator : {2, -1}) {
    Streamline chain;
    TraceStreamline(*field, SettingsFor(*field, 2.0f, integrator), 100, 200, chain);
    EXPECT_EQ(chain, (Streamline{{100, 200}}));
  }
}

TEST(TraceStreamline, RungeKuttaClosesTheOrbitsOfARankineVortexAtEveryDeltaT) {
  // A Rankine vortex about the middle at one world unit a pixel: solid rotation inside a core of
  // radius 100, speed falling as 1/r outside it. Every orbit is a circle. Looking one step ahead,
  // Runge-Kutta must go round once and end on its own first pixels, every pixel within a pixel
  // of the circle, at every Delta t the dialog offers. (Looking one world unit ahead instead
  // turned each step 5 to 100 times too far: the orbits spiralled into the centre.)
  constexpr double kCentre = 256.0;
  constexpr double kCore = 100.0;
  const auto field = testing::SampledFlow(257, 512.0f, [](double x, double y) {
    const double dx = x - kCentre, dy = y - kCentre;
    const double r2 = dx * dx + dy * dy;
    const double k = r2 < kCore * kCore ? 1.0 / kCore : kCore / std::max(r2, 1e-9);
    return Vec3(static_cast<float>(-dy * k), static_cast<float>(dx * k), 0.0f);
  });
  for (int deltaT = 1; deltaT <= 20; ++deltaT) {
    const float dt = static_cast<float>(deltaT * static_cast<double>(0.01f));
    for (const int radius : {30, 90, 160, 230}) {
      Streamline chain;
      const int seedX = static_cast<int>(kCentre) + radius;
      const TraceReport report = TraceStreamline(
          *field, SettingsFor(*field, dt, kIntegratorRungeKutta), seedX, 256, chain);
      const std::string where =
          "Delta t " + std::to_string(deltaT) + ", radius " + std::to_string(radius);
      EXPECT_EQ(report.forward.end, TraceEnd::Duplicate) << where;
      // The seed pixel's corner lies on the circle, so every pixel the orbit passes has its centre
      // within sqrt(1/2) of it. A closed loop of a 4-connected trace holds about 8 r pixels; a
      // spiral that ends early or a trace cut short holds far fewer.
      EXPECT_GT(chain.size(), static_cast<size_t>(6 * radius)) << where;
      double worst = 0.0;
      for (const PixelPoint& p : chain) {
        const double r = std::hypot(p.x + 0.5 - kCentre, p.y + 0.5 - kCentre);
        worst = std::max(worst, std::fabs(r - radius));
      }
      EXPECT_LE(worst, 1.0) << where;
    }
  }
}

TEST(TraceStreamline, ModeOneEndsAPassAtAPixelThatFailsTheNeighbourhoodTest) {
  // Radius 3 examines row y + 2 from x - 3 to x + 2, so a mark at (150, 202) makes the pixels
  // (148 .. 153, 200) not free: the forward pass takes 101 .. 147 and ends at 148.
  const auto field = UniformFlow(1.0f, 0.0f);
  const TraceSettings settings = SettingsFor(*field, 0.5f);
  OccupancyGrid grid(512, 512);
  grid.Set(150, 202);

  Streamline chain;
  const TraceReport report =
      TraceStreamline(*field, settings, 100, 200, chain, kTraceModeSpaced, &grid, 3);
  EXPECT_EQ(chain, Row(0, 147, 200));
  EXPECT_EQ(report.forward.end, TraceEnd::TooClose);
  EXPECT_EQ(report.backward.end, TraceEnd::LeftArea);

  // Mode 0 never asks the grid.
  TraceStreamline(*field, settings, 100, 200, chain, kTraceModePlain, &grid, 3);
  EXPECT_EQ(chain, Row(0, 511, 200));
}

TEST(TraceStreamline, TheSeedEntersUntestedInModeOne) {
  // The seed's own pixel is marked. With radius 1 a pixel's test examines only itself and its
  // left neighbour: pixel 101 sees the mark at 100 and ends the forward pass at once, while
  // the backward pixels 99, 98, ... never look to their right.
  const auto field = UniformFlow(1.0f, 0.0f);
  OccupancyGrid grid(512, 512);
  grid.Set(100, 200);
  Streamline chain;
  const TraceReport report = TraceStreamline(*field, SettingsFor(*field, 0.5f), 100, 200, chain,
                                             kTraceModeSpaced, &grid, 1);
  EXPECT_EQ(chain, Row(0, 100, 200));
  EXPECT_EQ(report.forward.end, TraceEnd::TooClose);
  EXPECT_EQ(report.backward.end, TraceEnd::LeftArea);
}

TEST(TraceStreamline, TraceBoundEndsAPassTrappedInOnePixel) {
  // A spiral sink whose centre (300.5, 200.5) lies inside pixel (300, 200): the forward pass
  // winds in, then Euler steps of 0.1 swing about the centre inside that pixel for ever.
  const auto field = SpiralSink(300.5f, 200.5f);
  for (int integrator : {kIntegratorEuler, kIntegratorRungeKutta}) {
    Streamline chain;
    const TraceReport report =
        TraceStreamline(*field, SettingsFor(*field, 0.1f, integrator), 250, 200, chain);
    EXPECT_EQ(report.forward.end, TraceEnd::StepLimit);
    EXPECT_GE(report.forward.steps, kMaxStepsInOnePixel);
    EXPECT_EQ(chain.back(), (PixelPoint{300, 200}));
    EXPECT_TRUE(AllDistinct(chain));
  }
}

TEST(TraceStreamline, TraceBoundCountRestartsAtTheTurn) {
  // Motion along z alone: every step is 0.1 long but never leaves the seed pixel. Each pass
  // makes exactly kMaxStepsInOnePixel steps; without the restart at the turn the backward pass
  // would end at its first.
  const auto field = UniformFlow(0.0f, 0.0f, 1.0f);
  Streamline chain;
  const TraceReport report = TraceStreamline(*field, SettingsFor(*field, 0.1f), 40, 30, chain);
  EXPECT_EQ(chain, (Streamline{{40, 30}}));
  EXPECT_EQ(report.forward.end, TraceEnd::StepLimit);
  EXPECT_EQ(report.forward.steps, kMaxStepsInOnePixel);
  EXPECT_EQ(report.backward.end, TraceEnd::StepLimit);
  EXPECT_EQ(report.backward.steps, kMaxStepsInOnePixel);
}

TEST(TraceStreamline, TraceBoundCountRestartsAtEveryAcceptedPixel) {
  // Steps of 2^-13 world units: 8192 steps per pixel, more than the bound allows in one pixel
  // counted from the seed, fewer than it allows after each new pixel. Every position is a
  // multiple of 2^-13 below 16, exact in float. On a 16 x 8 area from seed (5, 3): forward
  // 11 pixels of 8192 steps, ending at x = 16 exactly; backward 5 pixels of 8192 steps plus
  // the one that reaches -2^-13.
  const auto field = UniformFlow(1.0f, 0.0f);
  TraceSettings settings = SettingsFor(*field, 1.0f / 8192.0f);
  settings.map.width = 16;
  settings.map.height = 8;
  Streamline chain;
  const TraceReport report = TraceStreamline(*field, settings, 5, 3, chain);
  EXPECT_EQ(chain, Row(0, 15, 3));
  EXPECT_EQ(report.forward.end, TraceEnd::LeftArea);
  EXPECT_EQ(report.forward.steps, 11 * 8192);
  EXPECT_EQ(report.backward.end, TraceEnd::LeftArea);
  EXPECT_EQ(report.backward.steps, 5 * 8192 + 1);
}

TEST(TraceStreamline, TotalStepBoundIsCountedPerDirectionAndKeepsTheLastPixel) {
  // Steps of 2^-13 world units along x from seed (k, 3), k = bound / 8192, on an area 2k + 1
  // pixels wide (the flow is the same outside the field). Each pixel takes 8192 steps, fewer
  // than the one-pixel bound, and every position is a multiple of 2^-13 of at most 2k + 1 <=
  // 2049, exact in float. Forward, step n is at x = k + n / 8192: the bound's last step lands
  // on x = 2k, the first point of pixel 2k, which is kept. Backward it lands on x = 0, inside
  // pixel 0 that it entered 8191 steps before.
  static_assert(kMaxStepsInOneDirection % 8192 == 0 && kMaxStepsInOneDirection <= (1 << 23));
  constexpr int k = static_cast<int>(kMaxStepsInOneDirection / 8192);
  const auto field = UniformFlow(1.0f, 0.0f);
  TraceSettings settings = SettingsFor(*field, 1.0f / 8192.0f);
  settings.map.width = 2 * k + 1;
  settings.map.height = 8;
  Streamline chain;
  const TraceReport report = TraceStreamline(*field, settings, k, 3, chain);
  EXPECT_EQ(chain, Row(0, 2 * k, 3));
  EXPECT_EQ(report.forward.end, TraceEnd::TotalStepLimit);
  EXPECT_EQ(report.forward.steps, kMaxStepsInOneDirection);
  EXPECT_EQ(report.backward.end, TraceEnd::TotalStepLimit);
  EXPECT_EQ(report.backward.steps, kMaxStepsInOneDirection);
}

TEST(TraceStreamline, TotalStepBoundEndsTinyStepsButNotATraceAtOneWorldUnitPerPixel) {
  // Delta t 1: steps of 0.01 world units. The spiral sink turns at 45 degrees to its circles,
  // so from radius r its path to the centre is r * sqrt(2) long: from seed (56, 256), 200.5
  // pixels from the centre (256.5, 256.5), 283.5 pixels.
  const float dt = static_cast<float>(1 * 0.01f);
  const PixelPoint seed{56, 256};
  {
    // 64 world units per pixel: a step is 1/6400 pixel, and the bound's 2^20 steps carry the
    // trace some 164 of the 283.5 pixels; it ends by the bound, far from the centre.
    const float extent = 512.0f * 64.0f;
    const auto field = SpiralSink(256.5f * 64.0f, 256.5f * 64.0f, extent);
    Streamline chain;
    const TraceReport report =
        TraceStreamline(*field, SettingsFor(*field, dt), seed.x, seed.y, chain);
    EXPECT_EQ(report.forward.end, TraceEnd::TotalStepLimit);
    EXPECT_EQ(report.forward.steps, kMaxStepsInOneDirection);
    EXPECT_NE(report.backward.end, TraceEnd::TotalStepLimit);  // outward: it leaves the area
    EXPECT_TRUE(AllDistinct(chain));
    const PixelPoint last = chain.back();
    EXPECT_GT(std::hypot(last.x + 0.5 - 256.5, last.y + 0.5 - 256.5), 40.0);
  }
  {
    // One world unit per pixel: the same path is 28,350 steps, then the one-pixel bound ends
    // the swing about the centre 10,000 steps later.
    const auto field = SpiralSink(256.5f, 256.5f);
    Streamline chain;
    const TraceReport report =
        TraceStreamline(*field, SettingsFor(*field, dt), seed.x, seed.y, chain);
    EXPECT_EQ(report.forward.end, TraceEnd::StepLimit);
    EXPECT_GT(report.forward.steps, 35000);
    EXPECT_LT(report.forward.steps, 42000);
    EXPECT_EQ(chain.back(), (PixelPoint{256, 256}));
  }
  {
    // A long honest trace at one world unit per pixel: a whole lap of radius 250.5 about a
    // vortex, 2 pi 250.5 / 0.01 = 157,394 steps, until it meets its own start.
    const auto field = Vortex(256.5f, 256.5f);
    Streamline chain;
    const TraceReport report =
        TraceStreamline(*field, SettingsFor(*field, dt), 6, 256, chain);
    EXPECT_EQ(report.forward.end, TraceEnd::Duplicate);
    EXPECT_GT(report.forward.steps, 155000);
    EXPECT_LT(report.forward.steps, 158000);
    EXPECT_NE(report.backward.end, TraceEnd::TotalStepLimit);
  }
}

TEST(TraceStreamline, DegenerateInputsGiveTheSeedAlone) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const auto uniform = UniformFlow(1.0f, 0.0f);
  const auto nans = FlowOfNaNs();

  struct Case {
    const char* what;
    const FlowField* field;
    float scaleX;
    float dt;
  };
  const Case cases[] = {
      {"velocities not a number", nans.get(), 1.0f, 0.5f},
      {"scale 0: every pixel coordinate is not finite", uniform.get(), 0.0f, 0.5f},
      {"scale not a number", uniform.get(), nan, 0.5f},
      {"scale infinite", uniform.get(), inf, 0.5f},
      {"dt 0: a zero step", uniform.get(), 1.0f, 0.0f},
      {"dt not a number", uniform.get(), 1.0f, nan},
      {"dt infinite", uniform.get(), 1.0f, inf},
  };
  for (const Case& c : cases) {
    for (int integrator : {kIntegratorEuler, kIntegratorRungeKutta}) {
      TraceSettings settings = SettingsFor(*c.field, c.dt, integrator);
      settings.map.scaleX = c.scaleX;
      Streamline chain;
      TraceStreamline(*c.field, settings, 100, 200, chain);
      EXPECT_EQ(chain, (Streamline{{100, 200}})) << c.what;
    }
  }

  // An area with no pixels takes nothing but the seed.
  TraceSettings empty = SettingsFor(*uniform, 0.5f);
  empty.map.width = 0;
  Streamline chain;
  TraceStreamline(*uniform, empty, 0, 0, chain);
  EXPECT_EQ(chain, (Streamline{{0, 0}}));
}

TEST(TraceStreamline, TracesOneAfterAnotherDoNotSeeEachOther) {
  // The duplicate test must forget the previous chain: the same row traced twice, and a
  // crossing row traced between, each come out whole.
  const auto field = UniformFlow(1.0f, 0.0f);
  const TraceSettings settings = SettingsFor(*field, 0.5f);
  Streamline first;
  Streamline second;
  TraceStreamline(*field, settings, 100, 200, first);
  TraceStreamline(*field, settings, 300, 200, second);
  EXPECT_EQ(first, Row(0, 511, 200));
  EXPECT_EQ(second, Row(0, 511, 200));
}

TEST(TraceStreamline, TheDuplicateTestSurvivesItsTraceCounterWrapping) {
  // Each trace stamps its pixels with its own number, 1 to 65535 and round again. Trace a long
  // chain, then 65534 traces, so that the counter comes round to the chain's number: had the
  // stamps not been cleared when it wrapped, the same chain traced again would run into its
  // own old stamps and stop after one step.
  const auto field = UniformFlow(1.0f, 0.0f);
  const auto still = FlowAtRest();
  const TraceSettings settings = SettingsFor(*field, 0.5f);
  const TraceSettings stillSettings = SettingsFor(*still, 0.5f);
  Streamline chain;
  TraceStreamline(*field, settings, 100, 200, chain);
  ASSERT_EQ(chain, Row(0, 511, 200));
  for (int trace = 0; trace < 65534; ++trace) {
    Streamline seedAlone;
    TraceStreamline(*still, stillSettings, 5, 5, seedAlone);
  }
  TraceStreamline(*field, settings, 100, 200, chain);
  EXPECT_EQ(chain, Row(0, 511, 200));
}

/// A flow that never comes to rest (|u| >= 0.7, |v| >= 0.2), with the given z everywhere.
std::unique_ptr<FlowField> RestlessFlow(float z) {
  return testing::SampledFlow(97, 512.0f, [z](double x, double y) {
    const double k = 2.0 * 3.141592653589793 / 512.0;
    return Vec3(static_cast<float>(1.0 + 0.3 * std::sin(3 * k * y)),
                static_cast<float>(0.5 + 0.3 * std::cos(2 * k * x)), z);
  });
}

TEST(TraceStreamline, FlatFieldsTraceAsTheGeneralStepsWould) {
  // A field whose z is zero everywhere is traced without z. With a z of 1e-30 everywhere the
  // field is traced in full, z included; z then adds nothing to any length (its square is far
  // below the last bit of the others), so both must give the same chains, pixel for pixel,
  // with either integrator, in both modes, and around a patch of velocities that are not numbers.
  const auto flat = RestlessFlow(0.0f);
  const auto general = RestlessFlow(1e-30f);
  ASSERT_TRUE(flat->IsPlanar());
  ASSERT_FALSE(general->IsPlanar());
  std::vector<GridPoint> flatNodes = flat->Nodes();
  std::vector<GridPoint> generalNodes = general->Nodes();
  for (int row = 60; row < 64; ++row) {
    for (int column = 30; column < 34; ++column) {
      flatNodes[row * 97 + column].velocity.x = std::numeric_limits<float>::quiet_NaN();
      generalNodes[row * 97 + column].velocity.x = std::numeric_limits<float>::quiet_NaN();
    }
  }
  const auto flatWithHole = FlowField::FromNodes(97, 97, 1, 2, flatNodes);
  const auto generalWithHole = FlowField::FromNodes(97, 97, 1, 2, generalNodes);
  ASSERT_TRUE(flatWithHole->IsPlanar());

  OccupancyGrid grid(512, 512);
  for (int x = 0; x < 512; ++x) grid.Set(x, 400);  // a wall for mode 1 to stop at
  const std::pair<const FlowField*, const FlowField*> pairs[] = {
      {flat.get(), general.get()}, {flatWithHole.get(), generalWithHole.get()}};
  int points = 0;
  for (const auto& [planar, full] : pairs) {
    for (const int integrator : {kIntegratorEuler, kIntegratorRungeKutta}) {
      for (const float dt : {0.099999994f, 0.75f}) {
        const TraceSettings settings = SettingsFor(*planar, dt, integrator);
        for (const PixelPoint seed : {PixelPoint{10, 10}, PixelPoint{250, 300},
                                      PixelPoint{500, 37}, PixelPoint{120, 380}}) {
          for (const int mode : {kTraceModePlain, kTraceModeSpaced}) {
            Streamline expected;
            Streamline got;
            const TraceReport fullReport =
                TraceStreamline(*full, settings, seed.x, seed.y, expected, mode, &grid, 3);
            const TraceReport planarReport =
                TraceStreamline(*planar, settings, seed.x, seed.y, got, mode, &grid, 3);
            EXPECT_EQ(got, expected) << "integrator " << integrator << " dt " << dt << " seed "
                                     << seed.x << "," << seed.y << " mode " << mode;
            EXPECT_EQ(planarReport.forward.steps, fullReport.forward.steps);
            EXPECT_EQ(planarReport.backward.steps, fullReport.backward.steps);
            EXPECT_EQ(planarReport.forward.end, fullReport.forward.end);
            EXPECT_EQ(planarReport.backward.end, fullReport.backward.end);
            points += static_cast<int>(got.size());
          }
        }
      }
    }
  }
  EXPECT_GT(points, 5000);  // the traces went somewhere
}

TEST(DrawStreamline, SetsEveryPointInTheColour) {
  Surface surface(8, 4);
  const Colour red = MakeColour(255, 0, 0);
  DrawStreamline(surface, Streamline{{1, 1}, {2, 1}, {7, 3}, {-1, 0}, {8, 0}}, red);
  int coloured = 0;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) coloured += surface.Pixel(x, y) == red ? 1 : 0;
  }
  EXPECT_EQ(coloured, 3);  // the two points off the surface are clipped
  EXPECT_EQ(surface.Pixel(1, 1), red);
  EXPECT_EQ(surface.Pixel(2, 1), red);
  EXPECT_EQ(surface.Pixel(7, 3), red);
}

}  // namespace
}  // namespace vortana
