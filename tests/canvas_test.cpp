// The pictures drawn through the Canvas seam: the shapes each picture hands over, replayed pixel
// by pixel, give the same raster as Surface's own realisation of those shapes.
#include "render/canvas.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/sample_flows.h"
#include "app/visualizer_dialog.h"
#include "render/arrow_plot.h"
#include "render/background.h"
#include "render/colour_ramp.h"
#include "render/occupancy_grid.h"
#include "render/streamline.h"
#include "render/surface.h"
#include "support/fake_platform.h"
#include "support/recording_canvas.h"
#include "support/stream_fields.h"

namespace vortana {
namespace {

using testing::CanvasCall;
using testing::FakePlatform;
using testing::MapFor;
using testing::RecordingCanvas;
using testing::SettingsFor;
using Kind = CanvasCall::Kind;

constexpr Colour kLine = MakeColour(0, 255, 128);

const FlowField& Gyre() {
  static const std::unique_ptr<FlowField> field =
      MakeSampleField(SampleFlow::DoubleGyre, {.width = 96, .height = 64});
  return *field;
}

BackgroundLimits LimitsOf(const FlowField& field) {
  const FieldStatistics& s = field.Stats();
  return {s.maxSpeed, s.minScalar0, s.maxScalar0, s.minScalar1, s.maxScalar1};
}

size_t CountOf(const RecordingCanvas& canvas, Kind kind) { return canvas.CallsOf(kind).size(); }

// One picture drawn on `canvas`; returns how many shapes of `wholeShape` it should have handed
// over (one per stored arrow or streamline, one rectangle per ramp entry, one image).
struct Picture {
  std::string name;
  int width;
  int height;
  Kind wholeShape;
  std::function<size_t(Canvas& canvas)> draw;
};

std::vector<Picture> Pictures() {
  const FlowField& field = Gyre();
  std::vector<Picture> pictures = {
      {"arrows scaled by max speed", 512, 512, Kind::Arrow,
       [&field](Canvas& canvas) {
         std::vector<ArrowRecord> arrows;
         DrawArrowPlot(field, MapFor(field), {16, 0, field.Stats().maxSpeed}, kLine, canvas,
                       arrows);
         return arrows.size();
       }},
      {"regular streamlines", 512, 512, Kind::Chain,
       [&field](Canvas& canvas) {
         std::vector<Streamline> stored;
         PlaceRegularStreamlines(field, SettingsFor(field, 0.099999994f), 16, kLine, canvas,
                                 stored);
         return stored.size();
       }},
      {"evenly spaced streamlines", 512, 512, Kind::Chain,
       [&field](Canvas& canvas) {
         std::vector<Streamline> stored;
         OccupancyGrid occupancy(512, 512);
         PlaceEvenlySpacedStreamlines(field, SettingsFor(field, 0.099999994f, kIntegratorRungeKutta),
                                      12, 6, occupancy, kLine, canvas, stored);
         return stored.size();
       }},
      // A strip narrower than the ramp: rectangles past its edge are clipped like the lines were.
      {"legend", 300, 10, Kind::Rect,
       [](Canvas& canvas) {
         DrawLegend(BuildColourRamp(), canvas);
         return size_t{256};
       }},
  };
  for (const int colourBy : {kColourByFlow, kColourByPressure, kColourByVorticity}) {
    pictures.push_back({"background by " + std::to_string(colourBy), 512, 512, Kind::Image,
                        [&field, colourBy](Canvas& canvas) {
                          bool valid = false;
                          std::vector<Colour> buffer;
                          DrawBackground(field, MapFor(field), colourBy, LimitsOf(field),
                                         BuildColourRamp(), valid, buffer, canvas);
                          return size_t{1};
                        }});
  }
  return pictures;
}

TEST(CanvasTest, EveryPictureHandsOverWholeShapesThatReplayToTheSurfacesPixels) {
  for (const Picture& picture : Pictures()) {
    SCOPED_TRACE(picture.name);
    Surface direct(picture.width, picture.height);
    picture.draw(direct);

    RecordingCanvas recorded(picture.width, picture.height);
    const size_t shapes = picture.draw(recorded);
    // Whole shapes, never a pixel or line at a time: what a vector canvas needs to make one path
    // of each streamline and arrow.
    EXPECT_GT(shapes, 0u);
    EXPECT_EQ(CountOf(recorded, picture.wholeShape), shapes);
    EXPECT_EQ(CountOf(recorded, Kind::Pixel), 0u);
    EXPECT_EQ(CountOf(recorded, Kind::LineTo), 0u);

    Surface replayed(picture.width, picture.height);
    recorded.ReplayAsPrimitives(replayed);
    int inked = 0;
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        ASSERT_EQ(replayed.Pixel(x, y), direct.Pixel(x, y)) << x << ", " << y;
        inked += direct.Pixel(x, y) != kBlack ? 1 : 0;
      }
    }
    EXPECT_GT(inked, 100);
  }
}

TEST(CanvasTest, ArrowsCarryTheirGlyphsAndStreamlinesTheirChains) {
  const FlowField& field = Gyre();
  RecordingCanvas canvas(512, 512);
  std::vector<ArrowRecord> arrows;
  DrawArrowPlot(field, MapFor(field), {32, 1, field.Stats().maxSpeed}, kLine, canvas, arrows);
  const std::vector<CanvasCall> glyphs = canvas.CallsOf(Kind::Arrow);
  ASSERT_EQ(glyphs.size(), 256u);  // 16 x 16 centres at 16, 48, ..., 496
  for (size_t i = 0; i < arrows.size(); ++i) {
    EXPECT_EQ(glyphs[i].glyph, ArrowGlyphFor(arrows[i].x, arrows[i].y, arrows[i].v, 32)) << i;
  }
  // The plot draws in its colour and gives the caller's pen back.
  EXPECT_EQ(canvas.Calls().front().colour, kLine);
  EXPECT_EQ(canvas.Pen(), kBlack);

  RecordingCanvas lines(512, 512);
  std::vector<Streamline> stored;
  PlaceRegularStreamlines(field, SettingsFor(field, 0.099999994f), 64, kLine, lines, stored);
  const std::vector<CanvasCall> chains = lines.CallsOf(Kind::Chain);
  ASSERT_EQ(chains.size(), stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    EXPECT_EQ(chains[i].chain, stored[i]) << i;
    EXPECT_EQ(chains[i].colour, kLine);
  }
}

TEST(CanvasTest, SurfaceImageOfAnotherSizeCoversOnlyWhereBothLie) {
  // Image pixel (x, y) holds 10 y + x + 1.
  const std::vector<Colour> tall = {1, 2, 11, 12, 21, 22};  // 2 x 3
  Surface wide(3, 2);
  wide.Image(tall.data(), 2, 3);
  const std::vector<Colour> expected = {1, 2, kBlack, 11, 12, kBlack};
  EXPECT_EQ(std::vector<Colour>(wide.Data(), wide.Data() + 6), expected);

  Surface same(2, 3);
  same.Image(tall.data(), 2, 3);
  EXPECT_EQ(std::vector<Colour>(same.Data(), same.Data() + 6), tall);
}

TEST(CanvasTest, DialogRepaintsExactlyWhatItPaintsOnAnyCanvas) {
  for (const int plot : {kIdArrowPlot, kIdStreamlines}) {
    SCOPED_TRACE(plot);
    FakePlatform platform;
    VisualizerDialog dialog(platform);
    dialog.OnInitDialog();
    dialog.UseField(MakeSampleField(SampleFlow::DoubleGyre, {.width = 96, .height = 64}),
                    "gyre.gri");
    platform.CheckRadio({kIdArrowPlot, kIdStreamlines}, plot);
    platform.CheckRadio({kIdFlow, kIdPressure, kIdVorticity}, kIdPressure);
    platform.SetChecked(kIdBackground, true);
    platform.Type(kIdGridSize, "16");
    dialog.OnVisualize();
    dialog.Repaint();

    RecordingCanvas recorded(kDrawingWidth, kDrawingHeight);
    dialog.PaintDrawingArea(recorded);
    Surface replayed(kDrawingWidth, kDrawingHeight);
    recorded.ReplayAsPrimitives(replayed);
    const Surface& area = dialog.DrawingArea();
    EXPECT_TRUE(std::equal(area.Data(), area.Data() + kDrawingWidth * kDrawingHeight,
                           replayed.Data()));
    EXPECT_EQ(CountOf(recorded, Kind::Image), 1u);
    EXPECT_EQ(CountOf(recorded, Kind::Arrow), dialog.StoredArrows().size());
    EXPECT_EQ(CountOf(recorded, Kind::Chain), dialog.StoredStreamlines().size());
  }
}

}  // namespace
}  // namespace vortana
