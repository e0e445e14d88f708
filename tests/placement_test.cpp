#include "render/placement.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "render/streamline.h"
#include "support/stream_fields.h"

namespace vortana {
namespace {

using testing::CellularFlow;
using testing::FlowAtRest;
using testing::FlowOfNaNs;
using testing::SettingsFor;
using testing::SpiralSink;
using testing::UniformFlow;
using testing::Vortex;

constexpr Colour kLine = MakeColour(0, 0, 255);

/// One call the placement made on its tracer.
struct TraceCall {
  PixelPoint seed;
  int mode;
  friend bool operator==(const TraceCall&, const TraceCall&) = default;
};

/// A tracer that records its calls and answers from a table of chains by seed; any other seed
/// gets a chain of the seed alone (too short to keep).
struct ScriptedTracer {
  std::map<std::pair<int, int>, Streamline> chains;
  std::vector<TraceCall> calls;

  SeedTracer AsTracer() {
    return [this](PixelPoint seed, int mode, Streamline& chain) {
      calls.push_back({seed, mode});
      const auto found = chains.find({seed.x, seed.y});
      chain = found != chains.end() ? found->second : Streamline{seed};
    };
  }
};

Streamline Row(int x0, int x1, int y) {
  Streamline row;
  const int step = x1 >= x0 ? 1 : -1;
  for (int x = x0; x != x1 + step; x += step) row.push_back({x, y});
  return row;
}

std::vector<TraceCall> Calls(std::initializer_list<std::pair<int, int>> seeds, int mode) {
  std::vector<TraceCall> calls;
  for (const auto& [x, y] : seeds) calls.push_back({{x, y}, mode});
  return calls;
}

std::vector<TraceCall> operator+(std::vector<TraceCall> a, const std::vector<TraceCall>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

int CountColoured(const Surface& surface, Colour colour) {
  int count = 0;
  for (int y = 0; y < surface.Height(); ++y) {
    for (int x = 0; x < surface.Width(); ++x) count += surface.Pixel(x, y) == colour ? 1 : 0;
  }
  return count;
}

int CountMarked(const OccupancyGrid& grid) {
  int count = 0;
  for (int y = 0; y < grid.Height(); ++y) {
    for (int x = 0; x < grid.Width(); ++x) count += grid.At(x, y);
  }
  return count;
}

// ---- regular placement ----

TEST(PlaceRegularStreamlines, SeedsRunDownTheDiagonalOnly) {
  struct Case {
    int gridSize;
    std::vector<int> seeds;
  };
  std::vector<int> every32;
  for (int a = 16; a <= 496; a += 32) every32.push_back(a);
  std::vector<int> every8;
  for (int a = 4; a <= 508; a += 8) every8.push_back(a);
  const Case cases[] = {
      {32, every32},  // 16 seeds, (16, 16) .. (496, 496)
      {128, {64, 192, 320, 448}},
      {8, every8},  // 64 seeds
      {1000, {500}},
      {1024, {}},  // the first seed (512, 512) already lies at the edge
      {0, {}},     // a grid size of 0 or less never moves on: no seeds at all
      {-8, {}},
      {INT_MAX, {}},
  };
  for (const Case& c : cases) {
    ScriptedTracer tracer;
    Surface area(512, 512);
    std::vector<Streamline> stored;
    PlaceRegularStreamlinesWith(tracer.AsTracer(), 512, 512, c.gridSize, kLine, area, stored);
    std::vector<TraceCall> expected;
    for (int a : c.seeds) expected.push_back({{a, a}, kTraceModePlain});
    EXPECT_EQ(tracer.calls, expected) << "grid size " << c.gridSize;
    EXPECT_TRUE(stored.empty());  // every scripted chain here is the seed alone
    EXPECT_EQ(CountColoured(area, kLine), 0);
  }
  EXPECT_EQ(every32.size(), 16u);
  EXPECT_EQ(every8.size(), 64u);
}

// On an area of other proportions the seeds follow its diagonal from corner to corner: (a, a x
// height / width), truncated.
TEST(PlaceRegularStreamlines, SeedsFollowTheDiagonalOfAnOblongArea) {
  struct Case {
    int width, height, gridSize;
    std::vector<PixelPoint> seeds;
  };
  const Case cases[] = {
      {512, 256, 128, {{64, 32}, {192, 96}, {320, 160}, {448, 224}}},
      {256, 512, 128, {{64, 128}, {192, 384}}},
      {300, 7, 100, {{50, 1}, {150, 3}, {250, 5}}},  // 1.17, 3.5, 5.83
      {1024, 1024, 256, {{128, 128}, {384, 384}, {640, 640}, {896, 896}}},
  };
  for (const Case& c : cases) {
    ScriptedTracer tracer;
    Surface area(c.width, c.height);
    std::vector<Streamline> stored;
    PlaceRegularStreamlinesWith(tracer.AsTracer(), c.width, c.height, c.gridSize, kLine, area,
                                stored);
    std::vector<TraceCall> expected;
    for (const PixelPoint seed : c.seeds) expected.push_back({seed, kTraceModePlain});
    EXPECT_EQ(tracer.calls, expected) << c.width << " x " << c.height;
  }
}

TEST(PlaceRegularStreamlines, KeepsDrawsAndStoresOnlyStreamlinesOfMoreThanFivePoints) {
  ScriptedTracer tracer;
  tracer.chains[{64, 64}] = Row(60, 65, 64);     // 6 points: kept
  tracer.chains[{192, 192}] = Row(190, 194, 192);  // 5 points: dropped
  tracer.chains[{320, 320}] = Row(300, 340, 320);  // kept
  Surface area(512, 512);
  std::vector<Streamline> stored;
  PlaceRegularStreamlinesWith(tracer.AsTracer(), 512, 512, 128, kLine, area, stored);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0], Row(60, 65, 64));
  EXPECT_EQ(stored[1], Row(300, 340, 320));
  EXPECT_EQ(CountColoured(area, kLine), 6 + 41);
  EXPECT_EQ(area.Pixel(60, 64), kLine);
  EXPECT_EQ(area.Pixel(192, 192), kBlack);  // the 5-point chain is not drawn
}

TEST(PlaceRegularStreamlines, UniformFlowGivesOneWholeRowPerSeed) {
  const auto field = UniformFlow(1.0f, 0.0f);
  Surface area(512, 512);
  std::vector<Streamline> stored;
  PlaceRegularStreamlines(*field, SettingsFor(*field, 0.5f), 128, kLine, area, stored);
  ASSERT_EQ(stored.size(), 4u);
  const int rows[] = {64, 192, 320, 448};
  for (size_t k = 0; k < 4; ++k) EXPECT_EQ(stored[k], Row(0, 511, rows[k]));
  EXPECT_EQ(CountColoured(area, kLine), 4 * 512);
  EXPECT_EQ(area.Pixel(0, 64), kLine);
  EXPECT_EQ(area.Pixel(0, 65), kBlack);

  // A field at rest gives single points: none is kept or drawn.
  const auto rest = FlowAtRest();
  Surface blank(512, 512);
  std::vector<Streamline> none;
  PlaceRegularStreamlines(*rest, SettingsFor(*rest, 0.5f), 32, kLine, blank, none);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(CountColoured(blank, kLine), 0);
}

// ---- evenly spaced placement: the walk over candidates ----

TEST(PlaceEvenlySpacedStreamlines, WalksBothSidesOfEveryPointButTheLast) {
  // First streamline (250 .. 254, 256), running toward +x: dx = 1, dy = 0, l = 1, so
  // ox = trunc(20 * 0 / 1) = 0 and oy = trunc(20 * 1 / 1) = 20. Side 1 is (x, 236), side 0 is
  // (x, 276), for points 250 .. 253; point 254, the last, yields none. Every traced chain here
  // is too short to keep, so each candidate stays free and is traced in turn, and nothing but
  // the first streamline is drawn, marked or stored.
  ScriptedTracer tracer;
  tracer.chains[{256, 256}] = Row(250, 254, 256);
  for (int x = 250; x <= 253; ++x) tracer.chains[{x, 236}] = Row(x, x + 4, 236);  // 5 points
  OccupancyGrid grid(512, 512);
  Surface area(512, 512);
  std::vector<Streamline> stored;
  PlaceEvenlySpacedStreamlinesWith(tracer.AsTracer(), {256, 256}, 20, 5, grid, kLine, area,
                                   stored);
  const auto expected =
      Calls({{256, 256}}, kTraceModePlain) +
      Calls({{250, 236}, {250, 276}, {251, 236}, {251, 276}, {252, 236}, {252, 276}, {253, 236},
             {253, 276}},
            kTraceModeSpaced);
  EXPECT_EQ(tracer.calls, expected);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0], Row(250, 254, 256));
  EXPECT_EQ(CountMarked(grid), 5);
  EXPECT_EQ(CountColoured(area, kLine), 5);
}

TEST(PlaceEvenlySpacedStreamlines, CandidatesOnTheFarEdgesAreNotFreeAndNotTraced) {
  // Row 492 toward +x: side 0 is (x, 512), on the bottom edge, outside. Column 492 downward:
  // dx = 0, dy = 1, so ox = 20, oy = 0; side 1 is (512, y), on the right edge, outside.
  const struct {
    Streamline first;
    std::vector<TraceCall> traced;
  } cases[] = {
      {Row(250, 252, 492), Calls({{250, 472}, {251, 472}}, kTraceModeSpaced)},
      {Streamline{{492, 250}, {492, 251}, {492, 252}},
       Calls({{472, 250}, {472, 251}}, kTraceModeSpaced)},
  };
  for (const auto& c : cases) {
    ScriptedTracer tracer;
    tracer.chains[{256, 256}] = c.first;
    OccupancyGrid grid(512, 512);
    Surface area(512, 512);
    std::vector<Streamline> stored;
    PlaceEvenlySpacedStreamlinesWith(tracer.AsTracer(), {256, 256}, 20, 5, grid, kLine, area,
                                     stored);
    EXPECT_EQ(tracer.calls, Calls({{256, 256}}, kTraceModePlain) + c.traced);
  }
}

TEST(PlaceEvenlySpacedStreamlines, AfterSideOneTheSameSideZeroThenTheLastKeptIsWalkedFirst) {
  // First streamline (250 .. 260, 256); radius 5. Candidates as in the walk above.
  // At point 252 side 1 gives K1 = (252 .. 257, 236), kept; the search goes on with side 0 of
  // the same point, (252, 276), which gives K2 = (252 .. 257, 276), kept too.
  // Then (253 .. 257, 236/276) lie on K1/K2 themselves: not free. (258, 236) is not free
  // either: its own row examines 257 and 258, and 257 is marked. (259, 236) examines 258 and
  // 259: free, traced (short), and likewise (259, 276).
  // The work list then holds K2 in front of K1: K2 (row 276) is walked first: side 1 lands on
  // the first streamline (row 256, marked), side 0 is (x, 296) for its points 252 .. 256.
  // K1 (row 236) last: side 1 (x, 216), side 0 on row 256 again.
  ScriptedTracer tracer;
  tracer.chains[{256, 256}] = Row(250, 260, 256);
  tracer.chains[{252, 236}] = Row(252, 257, 236);
  tracer.chains[{252, 276}] = Row(252, 257, 276);
  OccupancyGrid grid(512, 512);
  Surface area(512, 512);
  std::vector<Streamline> stored;
  PlaceEvenlySpacedStreamlinesWith(tracer.AsTracer(), {256, 256}, 20, 5, grid, kLine, area,
                                   stored);
  const auto expected =
      Calls({{256, 256}}, kTraceModePlain) +
      Calls({{250, 236}, {250, 276}, {251, 236}, {251, 276}, {252, 236}, {252, 276}, {259, 236},
             {259, 276}},
            kTraceModeSpaced) +
      Calls({{252, 296}, {253, 296}, {254, 296}, {255, 296}, {256, 296}}, kTraceModeSpaced) +
      Calls({{252, 216}, {253, 216}, {254, 216}, {255, 216}, {256, 216}}, kTraceModeSpaced);
  EXPECT_EQ(tracer.calls, expected);
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[1], Row(252, 257, 236));
  EXPECT_EQ(stored[2], Row(252, 257, 276));
  EXPECT_EQ(CountMarked(grid), 11 + 6 + 6);
  EXPECT_EQ(CountColoured(area, kLine), 11 + 6 + 6);
}

TEST(PlaceEvenlySpacedStreamlines, AfterSideZeroTheSearchGoesOnWithSideOneOfTheNextPoint) {
  // First streamline (100, 10), (101, 10), (102, 30), radius 5, d_sep 20.
  // Point 0 -> 1: dx = 1, dy = 0: ox = 0, oy = 20. Side 1 (100, -10) lies outside; side 0
  // (100, 30) is free (of the marks only (102, 30) shares its row, and row y examines only
  // columns 99 and 100) and gives K0 = (100, 30) .. (95, 30), kept.
  // Next comes side 1 of point 1 -> 2: dx = 1, dy = 20, l = sqrt(401) = 20.02: ox =
  // trunc(400 / 20.02) = 19, oy = trunc(20 / 20.02) = 0. Side 1 (120, 10) is free and gives
  // K1 = (120 .. 125, 10), kept; side 0 (82, 10) is free, traced, short.
  // K1 is walked first: toward +x, side 1 (x, -10) is outside, side 0 is (x, 30) for 120 .. 124.
  // K0 runs toward -x: dx = -1, oy = trunc(-20) = -20: side 1 is (x, 50), side 0 (x, 10). On
  // row 10, (100, 10) is marked; (99, 10) examines 98 and 99 only: free although (100, 10),
  // just to its right, is marked.
  ScriptedTracer tracer;
  tracer.chains[{256, 256}] = Streamline{{100, 10}, {101, 10}, {102, 30}};
  tracer.chains[{100, 30}] = Row(100, 95, 30);
  tracer.chains[{120, 10}] = Row(120, 125, 10);
  OccupancyGrid grid(512, 512);
  Surface area(512, 512);
  std::vector<Streamline> stored;
  PlaceEvenlySpacedStreamlinesWith(tracer.AsTracer(), {256, 256}, 20, 5, grid, kLine, area,
                                   stored);
  const auto expected =
      Calls({{256, 256}}, kTraceModePlain) +
      Calls({{100, 30}, {120, 10}, {82, 10}}, kTraceModeSpaced) +
      Calls({{120, 30}, {121, 30}, {122, 30}, {123, 30}, {124, 30}}, kTraceModeSpaced) +
      Calls({{100, 50}, {99, 50}, {99, 10}, {98, 50}, {98, 10}, {97, 50}, {97, 10}, {96, 50},
             {96, 10}},
            kTraceModeSpaced);
  EXPECT_EQ(tracer.calls, expected);
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[1], Row(100, 95, 30));
  EXPECT_EQ(stored[2], Row(120, 125, 10));
}

TEST(PlaceEvenlySpacedStreamlines, TestRadiusBelowOneIsTakenAsOne) {
  // With radius 0 no pixel is examined, so a kept candidate would stay free and be traced
  // again for ever. As 1, the pixel itself and its left neighbour are examined.
  // First streamline (256, 256), (257, 256): its one point with candidates gives (256, 236)
  // and (256, 276), both kept as rows of 6 points. Row 276 is walked first: side 0 (x, 296) is
  // free for its 5 points 256 .. 260; side 1 lies on row 256, where 256 and 257 are marked, so
  // 256, 257 and 258 (left neighbour 257) are refused and 259, 260 traced. Row 236 likewise.
  for (int dTest : {0, -4, INT_MIN}) {
    ScriptedTracer tracer;
    tracer.chains[{256, 256}] = Row(256, 257, 256);
    tracer.chains[{256, 236}] = Row(256, 261, 236);
    tracer.chains[{256, 276}] = Row(256, 261, 276);
    OccupancyGrid grid(512, 512);
    Surface area(512, 512);
    std::vector<Streamline> stored;
    PlaceEvenlySpacedStreamlinesWith(tracer.AsTracer(), {256, 256}, 20, dTest, grid, kLine, area,
                                     stored);
    EXPECT_EQ(stored.size(), 3u) << dTest;
    EXPECT_EQ(tracer.calls.size(), 1u + 2u + (5u + 2u) + (5u + 2u)) << dTest;
  }
}

// ---- evenly spaced placement in real fields ----

TEST(PlaceEvenlySpacedStreamlines, CentreAtRestStoresOneStreamlineOfOnePoint) {
  const auto field = FlowAtRest();
  OccupancyGrid grid(512, 512);
  grid.Set(3, 3);  // left over from an earlier placement: cleared first
  Surface area(512, 512);
  std::vector<Streamline> stored;
  PlaceEvenlySpacedStreamlines(*field, SettingsFor(*field, 0.1f), 20, 10, grid, kLine, area,
                               stored);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0], (Streamline{{256, 256}}));
  EXPECT_EQ(area.Pixel(256, 256), kLine);
  EXPECT_EQ(CountColoured(area, kLine), 1);
  EXPECT_EQ(grid.At(256, 256), 1);
  EXPECT_EQ(CountMarked(grid), 1);
}

TEST(PlaceEvenlySpacedStreamlines, UniformFlowFillsRowsDownwardThenUpward) {
  // Each streamline is a whole row. From row 256, side 1 of point (0, 256) is (0, 236) and
  // side 0 is (0, 276); both are kept, the rest of each row's candidates fall on them. The
  // work list is a stack, so row 276 is walked first and yields 296, then 316, ... 496 (whose
  // side 0, row 516, lies outside); only then row 236, yielding 216, ... 16 (next: row -4).
  // A radius of 10 keeps every new row clear of the one 20 rows away.
  const auto field = UniformFlow(1.0f, 0.0f);
  OccupancyGrid grid(512, 512);
  Surface area(512, 512);
  std::vector<Streamline> stored;
  PlaceEvenlySpacedStreamlines(*field, SettingsFor(*field, 0.5f), 20, 10, grid, kLine, area,
                               stored);
  std::vector<int> expectedRows{256, 236};
  for (int y = 276; y <= 496; y += 20) expectedRows.push_back(y);
  for (int y = 216; y >= 16; y -= 20) expectedRows.push_back(y);
  ASSERT_EQ(stored.size(), expectedRows.size());
  ASSERT_EQ(stored.size(), 25u);
  for (size_t k = 0; k < stored.size(); ++k) {
    EXPECT_EQ(stored[k], Row(0, 511, expectedRows[k])) << k;
  }
  EXPECT_EQ(CountMarked(grid), 25 * 512);
}

/// Checks what holds for every evenly spaced placement: every kept streamline's points are
/// distinct and inside the area; the grid ends up marked exactly where streamlines pass; each
/// streamline after the first has more than 5 points, and every one of its pixels passes the
/// neighbourhood test against the marks of the streamlines kept before it (the seed passed it
/// as a candidate, the rest while traced; nothing is marked during a trace).
void ExpectEvenlySpacedProperties(const std::vector<Streamline>& stored, const OccupancyGrid& grid,
                                  int dTest) {
  ASSERT_FALSE(stored.empty());
  OccupancyGrid replay(512, 512);
  std::set<std::pair<int, int>> everyPoint;
  for (size_t j = 0; j < stored.size(); ++j) {
    const Streamline& line = stored[j];
    std::set<std::pair<int, int>> own;
    for (const PixelPoint& p : line) {
      EXPECT_TRUE(own.insert({p.x, p.y}).second) << "repeated point in streamline " << j;
      EXPECT_TRUE(p.x >= 0 && p.x < 512 && p.y >= 0 && p.y < 512);
      everyPoint.insert({p.x, p.y});
      if (j > 0) {
        EXPECT_TRUE(replay.IsNeighbourhoodFree(p, dTest))
            << "streamline " << j << " too close at (" << p.x << ", " << p.y << ")";
      }
    }
    if (j > 0) {
      EXPECT_GT(line.size(), 5u);
    }
    replay.Mark(line);
  }
  EXPECT_EQ(static_cast<size_t>(CountMarked(grid)), everyPoint.size());
  for (const auto& [x, y] : everyPoint) EXPECT_EQ(grid.At(x, y), 1);
}

TEST(PlaceEvenlySpacedStreamlines, KeptStreamlinesKeepTheirDistanceInRealFields) {
  const auto cells = CellularFlow();
  const auto vortex = Vortex(200.0f, 300.0f);
  const auto sink = SpiralSink(300.5f, 200.5f);
  const FlowField* fields[] = {cells.get(), vortex.get(), sink.get()};
  for (const FlowField* field : fields) {
    for (int integrator : {kIntegratorEuler, kIntegratorRungeKutta}) {
      for (auto [dSep, dTest] : {std::pair{10, 5}, std::pair{20, 10}, std::pair{12, 30}}) {
        OccupancyGrid grid(512, 512);
        Surface area(512, 512);
        std::vector<Streamline> stored;
        PlaceEvenlySpacedStreamlines(*field, SettingsFor(*field, 0.1f, integrator), dSep, dTest,
                                     grid, kLine, area, stored);
        ExpectEvenlySpacedProperties(stored, grid, dTest);
        if (dTest < dSep) {
          EXPECT_GT(stored.size(), 1u);
        }
        EXPECT_EQ(CountColoured(area, kLine), CountMarked(grid));
      }
    }
  }
}

TEST(Placement, NoInputMakesEitherPlacementRunAway) {
  // Each of these must simply come back; what they draw is whatever the rules give.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const auto uniform = UniformFlow(1.0f, 0.0f);
  const auto nans = FlowOfNaNs();
  const auto cells = CellularFlow();
  struct Case {
    const FlowField* field;
    float scale;
    float dt;
    int gridSize;
    int dSep;
    int dTest;
  };
  const Case cases[] = {
      {nans.get(), 1.0f, 0.5f, 32, 20, 10},     {uniform.get(), 0.0f, 0.5f, 32, 20, 10},
      {uniform.get(), nan, 0.5f, 32, 20, 10},   {uniform.get(), inf, 0.5f, 32, 20, 10},
      {cells.get(), 1.0f, nan, 32, 20, 10},     {cells.get(), 1.0f, inf, 32, 20, 10},
      {cells.get(), 1.0f, -0.1f, 32, 20, 10},   {cells.get(), 1.0f, 0.1f, 0, 0, 0},
      {cells.get(), 1.0f, 0.1f, -5, -20, -10},  {cells.get(), 1.0f, 0.1f, INT_MAX, INT_MAX, INT_MAX},
      {cells.get(), 1.0f, 0.1f, INT_MIN, INT_MIN, INT_MIN},
  };
  for (const Case& c : cases) {
    TraceSettings settings = SettingsFor(*c.field, c.dt);
    settings.map.scaleX = c.scale;
    settings.map.scaleY = c.scale;
    Surface area(512, 512);
    std::vector<Streamline> regular;
    PlaceRegularStreamlines(*c.field, settings, c.gridSize, kLine, area, regular);
    OccupancyGrid grid(512, 512);
    std::vector<Streamline> spaced;
    PlaceEvenlySpacedStreamlines(*c.field, settings, c.dSep, c.dTest, grid, kLine, area, spaced);
    ASSERT_FALSE(spaced.empty());
    for (const Streamline& line : regular) EXPECT_GT(line.size(), 5u);
  }
}

}  // namespace
}  // namespace vortana
