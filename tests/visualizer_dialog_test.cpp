// Loading, Visualize, the probes, the clear, the colour choice and the repaint of the dialog.

#include "app/visualizer_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/control_ids.h"
#include "data/flow_file_writer.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using testing::FakePlatform;
using testing::TempDir;

constexpr Colour kRed = 0x000000FF;

// A 2 x 2 field that samples as `velocity` everywhere, spanning [0, maxX] x [0, maxY].
std::unique_ptr<FlowField> UniformField(float maxX, float maxY, Vec3 velocity) {
  std::vector<GridPoint> nodes(4);
  nodes[1].position = {maxX, 0, 0};
  nodes[2].position = {0, maxY, 0};
  nodes[3].position = {maxX, maxY, 0};
  for (GridPoint& node : nodes) node.velocity = velocity;
  return FlowField::FromNodes(2, 2, 1, 0, nodes);
}

std::vector<Colour> Pixels(const Surface& s) {
  return {s.Data(), s.Data() + static_cast<size_t>(s.Width()) * s.Height()};
}

int CountPixels(const Surface& s, Colour c) {
  const std::vector<Colour> pixels = Pixels(s);
  return static_cast<int>(std::count(pixels.begin(), pixels.end(), c));
}

// The columns of row y that hold colour c.
std::vector<int> ColumnsInRow(const Surface& s, int y, Colour c) {
  std::vector<int> columns;
  for (int x = 0; x < s.Width(); ++x) {
    if (s.Pixel(x, y) == c) columns.push_back(x);
  }
  return columns;
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override { dialog.OnInitDialog(); }

  void ChoosePlot(int id) { platform.CheckRadio({kIdArrowPlot, kIdStreamlines}, id); }
  void ClickArea(int px, int py) {
    const PixelPoint o = platform.layout.drawingArea;
    dialog.OnLeftButtonDown(o.x + px, o.y + py);
  }
  void RightClickArea(int px, int py) {
    const PixelPoint o = platform.layout.drawingArea;
    dialog.OnRightButtonDown(o.x + px, o.y + py);
  }
  void ClickSwatch() {
    dialog.OnLeftButtonDown(platform.layout.swatch.x + 7, platform.layout.swatch.y + 7);
  }
  void ExpectNoDataMessage(size_t index) {
    ASSERT_GT(platform.messages.size(), index);
    EXPECT_EQ(platform.messages[index].text, "Error: no data file selected");
    EXPECT_EQ(platform.messages[index].caption, "Visualize");
    EXPECT_EQ(platform.messages[index].icon, MessageIcon::Stop);
  }

  FakePlatform platform;
  VisualizerDialog dialog{platform};
};

TEST_F(DialogTest, LoadReadsThePairAndShowsItsProperties) {
  TempDir dir;
  // 3 x 2 nodes over x 0..6, y 0..4; the fastest node moves at (3, 4, 0).
  std::vector<GridPoint> nodes(6);
  for (int i = 0; i < 6; ++i) {
    nodes[i].position = {static_cast<float>(3 * (i % 3)), static_cast<float>(4 * (i / 3)), 0};
    nodes[i].scalar0 = static_cast<float>(i + 1);
    nodes[i].scalar1 = static_cast<float>(i) - 2.5f;
  }
  nodes[4].velocity = {3, 4, 0};
  ASSERT_EQ(WriteFlowFiles(dir.File("run1"), 3, 2, 1, 2, nodes), "");

  platform.Type(kIdGridSize, "100");  // typed, never read: the load shows the setting again
  const std::string path = dir.File("run1.gri");
  platform.openFileAnswers.push_back(path);
  dialog.OnBrowse();

  ASSERT_NE(dialog.Field(), nullptr);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(platform.ControlText(kIdFileName), path);
  EXPECT_EQ(platform.ControlText(kIdSizeText), "6");
  EXPECT_EQ(platform.ControlText(kIdWidthText), "3");
  EXPECT_EQ(platform.ControlText(kIdHeightText), "2");
  EXPECT_EQ(platform.ControlText(kIdDepthText), "1");
  EXPECT_EQ(platform.ControlText(kIdGridSize), "32");
  EXPECT_EQ(dialog.MaxX(), 6.0f);
  EXPECT_EQ(dialog.MaxY(), 4.0f);
  EXPECT_EQ(dialog.Map().scaleX, 6.0f / 512);
  EXPECT_EQ(dialog.Map().scaleY, 4.0f / 512);
  EXPECT_EQ(dialog.Limits().maxSpeed, 5.0f);
  EXPECT_EQ(dialog.Limits().minScalar0, 1.0f);
  EXPECT_EQ(dialog.Limits().maxScalar0, 6.0f);
  EXPECT_EQ(dialog.Limits().minScalar1, -2.5f);
  EXPECT_EQ(dialog.Limits().maxScalar1, 2.5f);
  ASSERT_EQ(dialog.BackgroundBuffer().size(), 512u * 512u);
  EXPECT_EQ(std::count(dialog.BackgroundBuffer().begin(), dialog.BackgroundBuffer().end(), kBlack),
            512 * 512);
  ASSERT_NE(dialog.Occupancy(), nullptr);
  EXPECT_EQ(dialog.Occupancy()->Width(), 512);
  // A load shows the drawing area black at once, its only drawing.
  EXPECT_EQ(platform.surfacesChanged, 1);
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlack), 512 * 512);

  // Either file of the pair opens it; a cancelled chooser changes nothing.
  dialog.Load(dir.File("run1.00000.dat"));
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(platform.ControlText(kIdSizeText), "6");
  dialog.OnBrowse();
  EXPECT_EQ(platform.openFileRequests, 2);
  EXPECT_EQ(platform.ControlText(kIdFileName), dir.File("run1.00000.dat"));
}

TEST_F(DialogTest, NoDataMessageBeforeAnyLoadAndAfterAFailedOne) {
  const int changes = platform.surfacesChanged;
  platform.Type(kIdDeltaT, "20");
  dialog.OnVisualize();
  ExpectNoDataMessage(0);
  // dt is set before the message: 20 x 0.01f lies exactly between two floats and rounds to the
  // even one, 0x3E4CCCCC, just below 0.2f.
  EXPECT_EQ(dialog.Dt(), 0.19999999f);
  ClickArea(10, 10);
  ExpectNoDataMessage(1);
  // The right button does nothing at all without data.
  RightClickArea(10, 10);
  EXPECT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.surfacesChanged, changes);

  TempDir dir;
  platform.messages.clear();
  dialog.Load(dir.File("missing.gri"));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].caption, "Vortana Visualization");
  EXPECT_EQ(platform.messages[0].icon, MessageIcon::Stop);
  EXPECT_NE(platform.messages[0].text.find("missing"), std::string::npos);
  ASSERT_NE(dialog.Field(), nullptr);
  EXPECT_TRUE(dialog.Field()->Empty());
  EXPECT_EQ(platform.ControlText(kIdSizeText), "0");
  EXPECT_EQ(platform.ControlText(kIdWidthText), "0");
  EXPECT_EQ(platform.ControlText(kIdFileName), dir.File("missing.gri"));
  EXPECT_EQ(dialog.Map().scaleX, 0.0f);
  EXPECT_EQ(dialog.Map().scaleY, 0.0f);

  dialog.OnVisualize();
  ExpectNoDataMessage(1);
  ClickArea(10, 10);
  ExpectNoDataMessage(2);
  // An empty field is data to the right button: it clears and repaints (after the failed load's
  // black).
  RightClickArea(10, 10);
  EXPECT_EQ(platform.messages.size(), 3u);
  EXPECT_EQ(platform.surfacesChanged, changes + 2);
}

TEST_F(DialogTest, AFieldWithoutACellCannotBeDrawn) {
  std::vector<GridPoint> column(3);
  for (int i = 0; i < 3; ++i) column[i].position = {0, static_cast<float>(i), 0};
  dialog.UseField(FlowField::FromNodes(1, 3, 1, 0, column), "column.gri");
  EXPECT_EQ(platform.ControlText(kIdSizeText), "3");
  dialog.OnVisualize();
  ExpectNoDataMessage(0);
  ClickArea(100, 100);
  ExpectNoDataMessage(1);
  EXPECT_TRUE(dialog.StoredStreamlines().empty());
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlack), 512 * 512);
}

TEST_F(DialogTest, FirstRepaintDrawsLegendAndSwatchOnly) {
  dialog.Repaint();
  EXPECT_EQ(platform.surfacesChanged, 1);
  // Each ramp entry is a column two pixels wide.
  EXPECT_EQ(dialog.LegendStrip().Pixel(0, 0), 0x00FF0001u);
  EXPECT_EQ(dialog.LegendStrip().Pixel(511, 9), 0x000000FFu);
  EXPECT_EQ(CountPixels(dialog.Swatch(), kBlue), 15 * 15);
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlack), 512 * 512);
}

TEST_F(DialogTest, ArrowPlotStoresTheLatticeAndRepaintDrawsItAgain) {
  dialog.UseField(UniformField(512, 512, {0, 2, 0}), "down.gri");
  ChoosePlot(kIdArrowPlot);
  platform.Type(kIdGridSize, "128");
  dialog.OnVisualize();

  ASSERT_EQ(dialog.StoredArrows().size(), 16u);
  const int centres[] = {64, 192, 320, 448};
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(dialog.StoredArrows()[i].x, centres[i % 4]);
    EXPECT_EQ(dialog.StoredArrows()[i].y, centres[i / 4]);
    EXPECT_EQ(dialog.StoredArrows()[i].v, Vec3(0, 1, 0));  // (0, 2, 0) over max speed 2
  }
  EXPECT_TRUE(dialog.StoredStreamlines().empty());
  EXPECT_EQ(platform.surfacesChanged, 2);  // the load's black, then the picture
  // Half-length 63: the shaft of (0, 1, 0) at (64, 64) runs down column 64 from row 1.
  EXPECT_EQ(dialog.DrawingArea().Pixel(64, 1), kBlue);
  EXPECT_EQ(dialog.DrawingArea().Pixel(64, 126), kBlue);
  EXPECT_EQ(dialog.DrawingArea().Pixel(64, 0), kBlack);

  const std::vector<Colour> drawn = Pixels(dialog.DrawingArea());
  dialog.Repaint();
  EXPECT_EQ(Pixels(dialog.DrawingArea()), drawn);
}

TEST_F(DialogTest, RegularStreamlinesOfAUniformFlowAreWholeRows) {
  dialog.UseField(UniformField(512, 512, {1, 0, 0}), "right.gri");
  platform.Type(kIdGridSize, "128");
  dialog.OnVisualize();
  // Seeds (64, 64), (192, 192), (320, 320), (448, 448); a step of 0.1 pixel reaches every
  // column, backward to 0 and forward to 511.
  ASSERT_EQ(dialog.StoredStreamlines().size(), 4u);
  const int rows[] = {64, 192, 320, 448};
  for (size_t i = 0; i < 4; ++i) {
    const Streamline& line = dialog.StoredStreamlines()[i];
    ASSERT_EQ(line.size(), 512u);
    EXPECT_EQ(line.front(), (PixelPoint{0, rows[i]}));
    EXPECT_EQ(line.back(), (PixelPoint{511, rows[i]}));
    EXPECT_EQ(ColumnsInRow(dialog.DrawingArea(), rows[i], kBlue).size(), 512u);
  }
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlue), 4 * 512);
}

TEST_F(DialogTest, EvenlySpacedStreamlinesOfAUniformFlowAreRowsDSepApart) {
  dialog.UseField(UniformField(512, 512, {1, 0, 0}), "right.gri");
  platform.controls[kIdEvenlySpaced].checked = true;
  dialog.OnVisualize();
  // From the centre row 256: the candidate above (side 1) first, then the one below; the rows
  // below are walked first, down to 496, then the rows above up to 16.
  std::vector<int> expected = {256, 236};
  for (int row = 276; row <= 496; row += 20) expected.push_back(row);
  for (int row = 216; row >= 16; row -= 20) expected.push_back(row);
  ASSERT_EQ(dialog.StoredStreamlines().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Streamline& line = dialog.StoredStreamlines()[i];
    EXPECT_EQ(line.size(), 512u) << "row " << expected[i];
    EXPECT_EQ(line.front(), (PixelPoint{0, expected[i]}));
    EXPECT_EQ(dialog.Occupancy()->At(300, expected[i]), 1);
  }
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlue), 25 * 512);
}

TEST_F(DialogTest, VisualizeStartsFromTheRepaintsPictureNotFromTheScreen) {
  dialog.UseField(UniformField(512, 512, {1, 0, 0}), "right.gri");
  ChoosePlot(kIdArrowPlot);
  platform.Type(kIdGridSize, "128");
  dialog.OnVisualize();
  ASSERT_EQ(dialog.DrawingArea().Pixel(10, 64), kBlue);  // a gs-128 shaft along row 64
  platform.Type(kIdGridSize, "64");
  dialog.OnVisualize();
  ASSERT_EQ(dialog.StoredArrows().size(), 64u);
  EXPECT_EQ(dialog.DrawingArea().Pixel(10, 64), kBlack);
  EXPECT_EQ(dialog.DrawingArea().Pixel(32, 32), kBlue);
  const std::vector<Colour> shown = Pixels(dialog.DrawingArea());
  dialog.Repaint();
  EXPECT_EQ(Pixels(dialog.DrawingArea()), shown);

  // Exactly the second picture alone, over black; a streamline probe is gone as well.
  FakePlatform other;
  VisualizerDialog alone(other);
  alone.OnInitDialog();
  alone.UseField(UniformField(512, 512, {1, 0, 0}), "right.gri");
  other.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdArrowPlot);
  other.Type(kIdGridSize, "64");
  alone.OnVisualize();
  EXPECT_EQ(shown, Pixels(alone.DrawingArea()));
  ChoosePlot(kIdStreamlines);
  ClickArea(3, 100);
  ChoosePlot(kIdArrowPlot);
  dialog.OnVisualize();
  EXPECT_EQ(Pixels(dialog.DrawingArea()), shown);
}

TEST_F(DialogTest, ALoadPaintsTheDrawingAreaBlackAtOnce) {
  dialog.UseField(UniformField(512, 512, {1, 0, 0}), "right.gri");
  platform.controls[kIdBackground].checked = true;
  dialog.OnVisualize();
  ASSERT_TRUE(dialog.BackgroundValid());
  ASSERT_FALSE(dialog.StoredStreamlines().empty());
  EXPECT_LT(CountPixels(dialog.DrawingArea(), kBlack), 512 * 512);
  const int changes = platform.surfacesChanged;

  dialog.UseField(UniformField(256, 256, {0, 1, 0}), "down.gri");
  EXPECT_FALSE(dialog.BackgroundValid());
  EXPECT_TRUE(dialog.StoredStreamlines().empty());
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlack), 512 * 512);
  EXPECT_EQ(platform.surfacesChanged, changes + 1);
  dialog.Repaint();
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlack), 512 * 512);
}

TEST_F(DialogTest, WithBackgroundOffVisualizeTheClearAndTheRepaintShowNoOldBackground) {
  dialog.UseField(UniformField(512, 512, {1, 0, 0}), "right.gri");
  ChoosePlot(kIdArrowPlot);
  platform.controls[kIdBackground].checked = true;
  dialog.OnVisualize();
  // A uniform flow: every pixel's speed is the maximum, ramp index 255, the legacy ramp's red.
  ASSERT_EQ(dialog.BackgroundBuffer()[0], kRed);

  platform.controls[kIdBackground].checked = false;
  dialog.OnVisualize();
  const int arrowPixels = CountPixels(dialog.DrawingArea(), kBlue);
  EXPECT_GT(arrowPixels, 0);
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlack), 512 * 512 - arrowPixels);
  dialog.Repaint();
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlack), 512 * 512 - arrowPixels);
  RightClickArea(0, 0);
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlack), 512 * 512);

  // Ticked again, the background is computed afresh at the next Visualize.
  platform.controls[kIdBackground].checked = true;
  dialog.OnVisualize();
  EXPECT_EQ(dialog.DrawingArea().Pixel(0, 0), kRed);
}

TEST_F(DialogTest, ARefusedDTestIsNotStoredAndDoesNotComeBackAtTheNextLoad) {
  dialog.UseField(UniformField(512, 512, {1, 0, 0}), "right.gri");
  platform.controls[kIdEvenlySpaced].checked = true;
  dialog.OnEvenlySpacedClicked();
  platform.Type(kIdDTest, "7");
  dialog.OnVisualize();
  ASSERT_EQ(dialog.GetSettings().dTest, 7);
  platform.Type(kIdDTest, "-3");
  dialog.OnVisualize();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(dialog.GetSettings().dTest, 7);
  EXPECT_EQ(platform.controls[kIdDTest].text, "-3");
  dialog.OnVisualize();  // refused again: the field still holds the typed text
  EXPECT_EQ(platform.messages.size(), 2u);
  dialog.UseField(UniformField(512, 512, {1, 0, 0}), "again.gri");
  EXPECT_EQ(platform.controls[kIdDTest].text, "7");
}

TEST_F(DialogTest, RightClickClearsToTheBackgroundOnlyInsideTheDrawingArea) {
  dialog.UseField(UniformField(512, 512, {1, 0, 0}), "right.gri");
  platform.controls[kIdBackground].checked = true;
  ChoosePlot(kIdArrowPlot);
  dialog.OnVisualize();
  const std::vector<Colour> background = dialog.BackgroundBuffer();
  const std::vector<Colour> withArrows = Pixels(dialog.DrawingArea());
  const int changes = platform.surfacesChanged;

  // Outside the drawing area: on the swatch, on the legend and beside everything.
  dialog.OnRightButtonDown(platform.layout.swatch.x, platform.layout.swatch.y);
  dialog.OnRightButtonDown(platform.layout.legend.x, platform.layout.legend.y);
  dialog.OnRightButtonDown(0, 0);
  EXPECT_EQ(dialog.StoredArrows().size(), 256u);
  EXPECT_EQ(Pixels(dialog.DrawingArea()), withArrows);
  EXPECT_EQ(platform.surfacesChanged, changes);

  // Background has since been turned off; the repaint copies the buffer all the same.
  platform.controls[kIdBackground].checked = false;
  RightClickArea(0, 0);
  EXPECT_TRUE(dialog.StoredArrows().empty());
  EXPECT_EQ(Pixels(dialog.DrawingArea()), background);
  EXPECT_EQ(platform.surfacesChanged, changes + 1);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(DialogTest, ArrowProbeIsDrawnAtTheClickButNotStored) {
  dialog.UseField(UniformField(512, 512, {0, 1, 0}), "down.gri");
  ChoosePlot(kIdArrowPlot);
  platform.Type(kIdGridSize, "16");
  ClickArea(100, 100);
  // gs 16, v = (0, 1, 0) at (100, 100): shaft (100, 93) to (100, 107), the end not drawn;
  // head (104, 103), (100, 107), (96, 103), the polyline's last point not drawn.
  const Surface& area = dialog.DrawingArea();
  for (int y = 93; y <= 107; ++y) EXPECT_EQ(area.Pixel(100, y), kBlue) << y;
  EXPECT_EQ(area.Pixel(104, 103), kBlue);
  EXPECT_EQ(area.Pixel(102, 105), kBlue);
  EXPECT_EQ(area.Pixel(98, 105), kBlue);
  EXPECT_EQ(area.Pixel(96, 103), kBlack);
  EXPECT_EQ(area.Pixel(100, 92), kBlack);
  EXPECT_TRUE(dialog.StoredArrows().empty());
  EXPECT_EQ(platform.surfacesChanged, 2);  // the load's black, then the probe

  dialog.Repaint();
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlack), 512 * 512);
}

TEST_F(DialogTest, StreamlineProbeBeforeVisualizeStepsAsDeltaTTen) {
  // One pixel is 1/32 world unit, so a step of dt = 0.099999994 covers 3.2 pixels.
  auto probeColumns = [](int deltaT) {
    FakePlatform p;
    VisualizerDialog d(p);
    d.OnInitDialog();
    d.UseField(UniformField(16, 16, {1, 0, 0}), "right.gri");
    if (deltaT != 0) {
      // Visualize an arrow plot to set dt, then clear it away.
      p.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdArrowPlot);
      p.Type(kIdDeltaT, std::to_string(deltaT));
      d.OnVisualize();
      d.OnRightButtonDown(p.layout.drawingArea.x, p.layout.drawingArea.y);
      p.CheckRadio({kIdArrowPlot, kIdStreamlines}, kIdStreamlines);
    }
    d.OnLeftButtonDown(p.layout.drawingArea.x + 100, p.layout.drawingArea.y + 50);
    EXPECT_TRUE(d.StoredStreamlines().empty());
    return ColumnsInRow(d.DrawingArea(), 50, kBlue);
  };

  const std::vector<int> before = probeColumns(0);
  ASSERT_GT(before.size(), 100u);
  EXPECT_TRUE(std::binary_search(before.begin(), before.end(), 100));
  std::set<int> gaps;
  for (size_t i = 1; i < before.size(); ++i) gaps.insert(before[i] - before[i - 1]);
  EXPECT_EQ(gaps, (std::set<int>{3, 4}));
  // 412 pixels ahead of the seed at 3.2 pixels a step, 100 behind it.
  EXPECT_NEAR(static_cast<double>(before.size()), 1 + 412 / 3.2 + 100 / 3.2, 2.0);

  EXPECT_EQ(probeColumns(10), before);
  EXPECT_NE(probeColumns(20), before);
}

TEST_F(DialogTest, ColourChoiceShowsInTheSwatchAtOnceAndInThePicturesAtTheRepaint) {
  dialog.UseField(UniformField(512, 512, {1, 0, 0}), "right.gri");
  platform.Type(kIdGridSize, "128");
  dialog.OnVisualize();
  dialog.Repaint();
  ASSERT_EQ(dialog.DrawingArea().Pixel(300, 64), kBlue);

  platform.colourAnswers.push_back(std::nullopt);  // cancel
  ClickSwatch();
  EXPECT_EQ(dialog.LineColour(), kBlue);
  EXPECT_EQ(CountPixels(dialog.Swatch(), kBlue), 225);

  platform.colourAnswers.push_back(kRed);
  ClickSwatch();
  EXPECT_EQ(platform.colourRequests, 2);
  EXPECT_EQ(dialog.LineColour(), kRed);
  EXPECT_EQ(CountPixels(dialog.Swatch(), kRed), 225);
  EXPECT_EQ(dialog.DrawingArea().Pixel(300, 64), kBlue);

  dialog.Repaint();
  EXPECT_EQ(dialog.DrawingArea().Pixel(300, 64), kRed);
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlue), 0);
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kRed), 4 * 512);

  // The colour needs no data.
  FakePlatform bare;
  VisualizerDialog empty(bare);
  empty.OnInitDialog();
  bare.colourAnswers.push_back(kRed);
  empty.OnLeftButtonDown(bare.layout.swatch.x, bare.layout.swatch.y);
  EXPECT_EQ(empty.LineColour(), kRed);
  EXPECT_TRUE(bare.messages.empty());
}

TEST_F(DialogTest, MinimisedRepaintDrawsNothing) {
  dialog.UseField(UniformField(512, 512, {1, 0, 0}), "right.gri");
  dialog.OnVisualize();
  platform.colourAnswers.push_back(kRed);
  ClickSwatch();
  const std::vector<Colour> area = Pixels(dialog.DrawingArea());
  const std::vector<Colour> legend = Pixels(dialog.LegendStrip());
  const int changes = platform.surfacesChanged;
  ASSERT_EQ(CountPixels(dialog.LegendStrip(), kBlack), 512 * 10);  // never painted yet

  platform.minimised = true;
  dialog.Repaint();
  EXPECT_EQ(Pixels(dialog.DrawingArea()), area);
  EXPECT_EQ(Pixels(dialog.LegendStrip()), legend);
  EXPECT_EQ(platform.surfacesChanged, changes);

  platform.minimised = false;
  dialog.Repaint();
  EXPECT_NE(Pixels(dialog.LegendStrip()), legend);
  EXPECT_EQ(CountPixels(dialog.DrawingArea(), kBlue), 0);
}

}  // namespace
}  // namespace vortana
