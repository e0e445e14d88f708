// Settings at the ends of their ranges, in every combination, on a sink, a vortex and a field of
// NaNs: every Visualize finishes, the stored streamlines are chains of distinct pixels inside the
// drawing area, and a repaint draws exactly them. Settings that a seeding does not read do not
// change its picture.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/control_ids.h"
#include "app/sample_flows.h"
#include "app/visualizer_dialog.h"
#include "support/fake_platform.h"
#include "support/stream_fields.h"

namespace vortana {
namespace {

using testing::FakePlatform;

// The fields span 64 world units, eight pixels each. At one unit a pixel a Runge-Kutta trace of
// the vortex, whose trial point lies one unit ahead, spirals inward through most of the vortex's
// disc, and regular placement at grid size 8 and Delta t 1 then takes tens of seconds: bounded,
// but too slow for a test run under the sanitizers.
constexpr float kExtent = 64.0f;
constexpr int kNodes = 64;
constexpr Colour kLine = kBlue;

struct Extremes {
  int gridSize;
  int deltaT;
  int dSep;
  int dTest;
  int integrator;  // 0 Euler, 1 Runge-Kutta
  bool evenly;
};

std::vector<Extremes> EveryCombination() {
  std::vector<Extremes> all;
  for (const int gridSize : {8, 128}) {
    for (const int deltaT : {1, 20}) {
      for (const int dSep : {10, 50}) {
        for (const int dTest : {1, 25}) {
          for (const int integrator : {0, 1}) {
            for (const bool evenly : {false, true}) {
              all.push_back({gridSize, deltaT, dSep, dTest, integrator, evenly});
            }
          }
        }
      }
    }
  }
  return all;
}

std::string Describe(const Extremes& e) {
  return std::string(e.evenly ? "evenly spaced" : "regular") + ", grid size " +
         std::to_string(e.gridSize) + ", Delta t " + std::to_string(e.deltaT) + ", d_sep " +
         std::to_string(e.dSep) + ", d_test " + std::to_string(e.dTest) +
         (e.integrator == 0 ? ", Euler" : ", Runge-Kutta");
}

/// The settings a seeding reads: regular placement ignores d_sep and d_test, evenly spaced
/// placement ignores the grid size.
std::tuple<int, int, int, int, int, bool> SettingsRead(const Extremes& e) {
  return e.evenly ? std::make_tuple(0, e.deltaT, e.dSep, e.dTest, e.integrator, true)
                  : std::make_tuple(e.gridSize, e.deltaT, 0, 0, e.integrator, false);
}

class ExtremeSettings : public ::testing::Test {
 protected:
  void SetUp() override { dialog.OnInitDialog(); }

  /// Types the settings into the controls as a user would, then clicks Visualize and repaints.
  void Visualize(const Extremes& e) {
    platform.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdStreamlines);
    platform.Type(kIdGridSize, std::to_string(e.gridSize));
    platform.Type(kIdDeltaT, std::to_string(e.deltaT));
    platform.Type(kIdDSep, std::to_string(e.dSep));
    platform.Type(kIdDTest, std::to_string(e.dTest));
    platform.CheckRadio({kIdEuler, kIdRungeKutta}, e.integrator == 0 ? kIdEuler : kIdRungeKutta);
    platform.SetChecked(kIdEvenlySpaced, e.evenly);
    dialog.OnVisualize();
    dialog.Repaint();
  }

  /// What holds after every Visualize: no message, the pictures are chains of distinct pixels in
  /// the drawing area, only the first of an evenly spaced picture may be short, and the repaint
  /// shows in the line colour exactly the stored pixels.
  void ExpectSoundPicture(const Extremes& e) {
    EXPECT_TRUE(platform.messages.empty()) << platform.messages.front().text;
    const std::vector<Streamline>& lines = dialog.StoredStreamlines();
    const size_t seeds = static_cast<size_t>((kDrawingWidth - e.gridSize / 2 - 1) / e.gridSize + 1);
    if (!e.evenly) {
      EXPECT_LE(lines.size(), seeds);
    }
    // Per pixel: 1 + the index of the last streamline that holds it, 0 for none.
    std::vector<size_t> holder(static_cast<size_t>(kDrawingWidth) * kDrawingHeight, 0);
    size_t stored = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      const Streamline& line = lines[i];
      EXPECT_TRUE(line.size() > 5 || (e.evenly && i == 0)) << "streamline " << i;
      for (const PixelPoint& p : line) {
        ASSERT_TRUE(p.x >= 0 && p.x < kDrawingWidth && p.y >= 0 && p.y < kDrawingHeight)
            << "streamline " << i << " at " << p.x << ", " << p.y;
        size_t& h = holder[static_cast<size_t>(p.y) * kDrawingWidth + static_cast<size_t>(p.x)];
        EXPECT_NE(h, i + 1) << "streamline " << i << " twice at " << p.x << ", " << p.y;
        if (h == 0) ++stored;
        h = i + 1;
      }
    }
    const Surface& area = dialog.DrawingArea();
    size_t lineColoured = 0;
    for (int y = 0; y < area.Height(); ++y) {
      for (int x = 0; x < area.Width(); ++x) {
        if (area.Pixel(x, y) != kLine) continue;
        ++lineColoured;
        EXPECT_NE(holder[static_cast<size_t>(y) * kDrawingWidth + static_cast<size_t>(x)], 0u)
            << "drawn but not stored: " << x << ", " << y;
      }
    }
    EXPECT_EQ(lineColoured, stored);
  }

  /// Every combination on `field`; pictures of combinations that differ only in settings their
  /// seeding does not read must be equal.
  std::map<std::tuple<int, int, int, int, int, bool>, std::vector<Streamline>> RunAll(
      std::unique_ptr<FlowField> field, const std::string& name) {
    dialog.UseField(std::move(field), name);
    std::map<std::tuple<int, int, int, int, int, bool>, std::vector<Streamline>> pictures;
    for (const Extremes& e : EveryCombination()) {
      SCOPED_TRACE(name + ", " + Describe(e));
      Visualize(e);
      ExpectSoundPicture(e);
      const auto [kept, first] = pictures.try_emplace(SettingsRead(e), dialog.StoredStreamlines());
      if (!first) {
        EXPECT_TRUE(kept->second == dialog.StoredStreamlines());
      }
      if (::testing::Test::HasFatalFailure()) break;
    }
    return pictures;
  }

  FakePlatform platform;
  VisualizerDialog dialog{platform};
};

std::unique_ptr<FlowField> Sample(SampleFlow flow) {
  SampleOptions options;
  options.width = kNodes;
  options.height = kNodes;
  options.extentX = kExtent;
  options.extentY = kExtent;
  return MakeSampleField(flow, options);
}

TEST_F(ExtremeSettings, SpiralSinkFinishesWithSoundPictures) {
  const auto pictures = RunAll(Sample(SampleFlow::SpiralSink), "spiral sink");
  // The sink draws something under every combination.
  for (const auto& [settings, lines] : pictures) EXPECT_FALSE(lines.empty());
}

TEST_F(ExtremeSettings, RankineVortexFinishesWithSoundPictures) {
  const auto pictures = RunAll(Sample(SampleFlow::RankineVortex), "Rankine vortex");
  for (const auto& [settings, lines] : pictures) EXPECT_FALSE(lines.empty());
}

TEST_F(ExtremeSettings, FieldOfNaNsKeepsOnlyTheFirstEvenlySpacedSeed) {
  const auto pictures = RunAll(testing::FlowOfNaNs(kExtent), "NaNs");
  // Every step is not a number and lies outside: each chain is its seed alone. Regular placement
  // keeps none; evenly spaced placement keeps the centre's single pixel and finds no candidate.
  for (const auto& [settings, lines] : pictures) {
    if (std::get<5>(settings)) {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0], (Streamline{{kDrawingWidth / 2, kDrawingHeight / 2}}));
    } else {
      EXPECT_TRUE(lines.empty());
    }
  }
}

// The lattice at both ends of the grid size, normalised or scaled by max speed, over each
// background: 4096 arrows at grid size 8 (centres 4, 12, ..., 508) and 16 at 128 (64 ... 448).
TEST_F(ExtremeSettings, ArrowPlotsAtBothEndsOfTheGridSize) {
  std::vector<std::pair<std::string, std::unique_ptr<FlowField>>> fields;
  fields.emplace_back("spiral sink", Sample(SampleFlow::SpiralSink));
  fields.emplace_back("Rankine vortex", Sample(SampleFlow::RankineVortex));
  fields.emplace_back("NaNs", testing::FlowOfNaNs(kExtent));
  for (auto& [name, field] : fields) {
    dialog.UseField(std::move(field), name);
    for (const int gridSize : {8, 128}) {
      for (const bool normalized : {false, true}) {
        for (const int colourBy : {kIdFlow, kIdPressure, kIdVorticity}) {
          SCOPED_TRACE(name + ", grid size " + std::to_string(gridSize) +
                       (normalized ? ", normalised" : ", scaled") + ", colour-by " +
                       std::to_string(colourBy));
          platform.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdArrowPlot);
          platform.Type(kIdGridSize, std::to_string(gridSize));
          platform.SetChecked(kIdNormalized, normalized);
          platform.SetChecked(kIdBackground, true);
          platform.CheckRadio({kIdFlow, kIdPressure, kIdVorticity}, colourBy);
          dialog.OnColourByClicked();
          dialog.OnVisualize();
          dialog.Repaint();
          EXPECT_TRUE(platform.messages.empty());
          const std::vector<ArrowRecord>& arrows = dialog.StoredArrows();
          const int perRow = gridSize == 8 ? 64 : 4;
          ASSERT_EQ(arrows.size(), static_cast<size_t>(perRow * perRow));
          EXPECT_EQ(arrows.front().x, gridSize / 2);
          EXPECT_EQ(arrows.back().y, gridSize / 2 + (perRow - 1) * gridSize);
          EXPECT_TRUE(dialog.StoredStreamlines().empty());
        }
      }
    }
  }
}

}  // namespace
}  // namespace vortana
