// The large view's pictures: drawn as vortana-render draws the same window, only the newest kept.

#include "app/headless/large_view.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <regex>
#include <vector>

#include "app/picture_writer.h"
#include "data/flow_file_writer.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using testing::ReadText;
using testing::RunRender;
using testing::TempDir;

// n x n nodes over 0..400 x 0..300 circling (200, 150), with speed and position scalars.
std::string WriteVortex(const TempDir& dir, int n) {
  std::vector<GridPoint> nodes;
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      const float x = 400.0f * i / (n - 1);
      const float y = 300.0f * j / (n - 1);
      nodes.push_back({{x, y, 0}, {-(y - 150.0f) / 150.0f, (x - 200.0f) / 150.0f, 0}, x, y});
    }
  }
  EXPECT_EQ(WriteFlowFiles(dir.File("vortex"), n, n, 1, 2, nodes), "");
  return dir.File("vortex.gri");
}

// The dialog as the window has it after Visualize at 512 pixels.
std::unique_ptr<StepRender> DialogShowing(const std::string& path) {
  RenderOptions options;
  options.dataset = path;
  options.settings.plotType = RadioIndex(PlotType::Streamlines);
  options.settings.evenlySpaced = 1;
  options.settings.background = 1;
  options.settings.colourBy = RadioIndex(ColourBy::Flow);
  options.settings.integrator = RadioIndex(Integrator::RungeKutta);
  options.settings.dSep = 20;
  options.settings.dTest = 10;
  options.settings.gridSize = 24;
  auto render = std::make_unique<StepRender>();
  EXPECT_EQ(DrawStep(options, std::nullopt, *render), kExitSuccess);
  return render;
}

TEST(LargeView, PixelSettingsScaleWithTheViewWithinTheirRanges) {
  Settings dialog = StartupSettings();
  dialog.gridSize = 24;
  dialog.dSep = 20;
  dialog.dTest = 10;
  const Settings twice = ViewSettings(dialog, 1024);
  EXPECT_EQ(twice.drawingSize, 1024);
  EXPECT_EQ(twice.aspect, RadioIndex(Aspect::Equal));
  EXPECT_EQ(twice.gridSize, 48);
  EXPECT_EQ(twice.dSep, 40);
  EXPECT_EQ(twice.dTest, 20);
  const Settings small = ViewSettings(dialog, 300);  // x 0.5859: 14.06, 11.72, 5.86
  EXPECT_EQ(small.gridSize, 14);
  EXPECT_EQ(small.dSep, 12);
  EXPECT_EQ(small.dTest, 6);
  const Settings huge = ViewSettings(dialog, 2000);  // grid 93.75, d_sep 78 beyond 50, d_test 39
  EXPECT_EQ(huge.gridSize, 94);
  EXPECT_EQ(huge.dSep, 50);
  EXPECT_EQ(huge.dTest, 39);
  // Lines: 1.498 and 1.5 pixels either side of the rounding, 3.9 pixels.
  EXPECT_EQ(ViewLineWidth(300), 1.0);
  EXPECT_EQ(ViewLineWidth(767), 1.0);
  EXPECT_EQ(ViewLineWidth(768), 2.0);
  EXPECT_EQ(ViewLineWidth(2000), 4.0);
}

TEST(LargeView, ASavedViewEqualsVortanaRenderOfTheSameWindowAndSize) {
  TempDir dir;
  const std::string path = WriteVortex(dir, 40);
  const std::unique_ptr<StepRender> shown = DialogShowing(path);
  const WorldWindow window{150, 112.5f, 270, 202.5f};
  const std::unique_ptr<ViewPicture> view =
      DrawView(ViewRequestOf(shown->dialog, window, 800), nullptr);
  EXPECT_EQ(view->Dialog().DrawingArea().Width(), 800);
  EXPECT_EQ(view->Dialog().DrawingArea().Height(), 600);
  ASSERT_FALSE(view->Dialog().StoredStreamlines().empty());
  for (const char* name : {"view.png", "view.svg"}) {
    ASSERT_EQ(WritePicture(view->Dialog(), view->picture, dir.File(name)), "");
  }
  // The settings scaled by 800 / 512 by hand: grid 37.5, d_sep 31.25, d_test 15.6, lines 1.56.
  const std::vector<std::string> args = {
      path, "--plot", "streamlines", "--evenly-spaced", "--background", "flow", "--integrator",
      "rk2", "--grid-size", "38", "--d-sep", "31", "--d-test", "16", "--size", "800", "--aspect",
      "equal", "--window", "150,112.5,270,202.5", "--line-width", "2"};
  for (const char* name : {"render.png", "render.svg"}) {
    std::vector<std::string> to = args;
    to.insert(to.end(), {"-o", dir.File(name)});
    const testing::ProgramRun run = RunRender(to);
    ASSERT_EQ(run.status, 0) << run.err;
  }
  EXPECT_EQ(ReadText(dir.File("view.png")), ReadText(dir.File("render.png")));
  // cairo numbers its surfaces per process: the window's count on from its earlier pictures.
  const std::regex surfaceId("surface[0-9]+");
  EXPECT_EQ(std::regex_replace(ReadText(dir.File("view.svg")), surfaceId, "surface"),
            std::regex_replace(ReadText(dir.File("render.svg")), surfaceId, "surface"));
}

TEST(LargeView, APlacementAbandonedByANewerOneLeavesNoPicture) {
  TempDir dir;
  const std::unique_ptr<StepRender> shown = DialogShowing(WriteVortex(dir, 200));
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<unsigned> ended;
  ViewPlacements placements([&](unsigned ticket) {
    const std::lock_guard<std::mutex> lock(mutex);
    ended.push_back(ticket);
    changed.notify_all();
  });
  const auto awaitEnded = [&](size_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return ended.size() >= count; });
  };
  const WorldWindow whole = shown->dialog.Window();
  const WorldWindow zoomed{100, 75, 300, 225};
  // The whole window at 2048 pixels takes long; the zoom comes at once after it.
  const unsigned first = placements.Start(ViewRequestOf(shown->dialog, whole, 2048));
  const unsigned second = placements.Start(ViewRequestOf(shown->dialog, zoomed, 512));
  awaitEnded(2);
  EXPECT_EQ(placements.Take(first), nullptr);
  const std::unique_ptr<ViewPicture> picture = placements.Take(second);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Dialog().Window().x0, 100.0f);
  EXPECT_EQ(placements.Take(second), nullptr);  // handed out once
  // Exactly the picture of the zoomed window drawn alone.
  const std::unique_ptr<ViewPicture> alone =
      DrawView(ViewRequestOf(shown->dialog, zoomed, 512), nullptr);
  const Surface& a = picture->Shown();
  const Surface& b = alone->Shown();
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  EXPECT_TRUE(std::equal(a.Data(), a.Data() + a.Width() * a.Height(), b.Data()));

  // A placement that ended but was not taken before a newer one started is stale too.
  const unsigned third = placements.Start(ViewRequestOf(shown->dialog, zoomed, 256));
  awaitEnded(3);
  const unsigned fourth = placements.Start(ViewRequestOf(shown->dialog, whole, 256));
  EXPECT_EQ(placements.Take(third), nullptr);
  awaitEnded(4);
  EXPECT_NE(placements.Take(fourth), nullptr);
  EXPECT_FALSE(placements.Running());
}

}  // namespace
}  // namespace vortana
