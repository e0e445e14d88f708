// The drawing area's size and proportions, the world window it shows and which way y runs: the
// pixel map, the dialog that sets it up, and vortana-render's options and description.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/readout.h"
#include "app/visualizer_dialog.h"
#include "data/flow_file_writer.h"
#include "render/world_window.h"
#include "support/fake_platform.h"
#include "support/netcdf_files.h"
#include "support/program_run.h"
#include "support/render_fields.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using Json = nlohmann::ordered_json;
using testing::FakePlatform;
using testing::ProgramRun;
using testing::ReadText;
using testing::RunRender;
using testing::TempDir;
using testing::render_fields::EvenlySpaced;
using testing::render_fields::GridField;

TEST(DrawingArea, KeepsTheWindowsProportionsOnlyWhenAsked) {
  struct Case {
    WorldWindow window;
    int size;
    bool keepAspect;
    AreaSize expected;
  };
  const Case cases[] = {
      {{0, 0, 1024, 512}, 512, false, {512, 512}},
      {{0, 0, 1024, 512}, 512, true, {512, 256}},
      {{0, 0, 1, 3}, 300, true, {100, 300}},
      {{0, 0, 3, 2}, 100, true, {100, 67}},             // 66.67
      {{-180, -88, 177, 88}, 1024, true, {1024, 505}},  // 1024 x 176 / 357 = 504.8
      {{1000, 0, 1512, 512}, 512, true, {512, 512}},
      {{0, 0, 1000, 1}, 64, true, {64, 1}},  // 0.064 of a pixel: one row
      {{0, 0, 0, 5}, 256, true, {256, 256}},  // no width: nothing to keep
      {{0, 0, NAN, 5}, 256, true, {256, 256}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.window.x1 << " x " << c.window.y1 << " at " << c.size);
    const AreaSize area = AreaOfWindow(c.window, c.size, c.keepAspect);
    EXPECT_EQ(area.width, c.expected.width);
    EXPECT_EQ(area.height, c.expected.height);
  }
}

TEST(DrawingArea, PixelMapConvertsThroughTheWindow) {
  struct Case {
    const char* name;
    WorldWindow window;
    AreaSize area;
    bool yUp;
    int px, py;
    float wx, wy;          // the pixel's world point
    float fx, fy;          // the fractional pixel of the world point (fwx, fwy)
    float fwx, fwy;
    float pixelU, pixelV;  // the velocity (2, 3) in pixels
  };
  const Case cases[] = {
      {"origin", {0, 0, 512, 512}, {512, 512}, false, 3, 5, 3, 5, 256.5f, 7.25f, 256.5f, 7.25f,
       2, 3},
      {"offset", {1000, 0, 1512, 512}, {512, 512}, false, 0, 511, 1000, 511, 256.5f, 2, 1256.5f,
       2, 2, 3},
      {"y up", {0, 0, 512, 512}, {512, 512}, true, 7, 0, 7, 511, 7, 511, 7, 0, 2, -3},
      {"y up, last row", {0, 0, 512, 512}, {512, 512}, true, 7, 511, 7, 0, 0, -0.5f, 0, 511.5f, 2,
       -3},
      {"latitude up", {-180, -88, 180, 88}, {720, 352}, true, 360, 351, 0, -88, 360, 175, 0, 0,
       4, -6},
      {"half size", {0, 0, 1024, 256}, {512, 512}, false, 100, 100, 200, 50, 50, 400, 100, 200, 1,
       6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PixelMap map = MapOfWindow(c.window, c.area, c.yUp);
    EXPECT_EQ(map.WorldXOfPixel(c.px), c.wx);
    EXPECT_EQ(map.WorldYOfPixel(c.py), c.wy);
    EXPECT_EQ(map.PixelXOfWorld(c.fwx), c.fx);
    EXPECT_EQ(map.PixelYOfWorld(c.fwy), c.fy);
    EXPECT_EQ(map.PixelVelocityX(2), c.pixelU);
    EXPECT_EQ(map.PixelVelocityY(3), c.pixelV);
    EXPECT_EQ(map.WorldXOfFractionalPixel(c.px), c.wx);
    EXPECT_EQ(map.WorldYOfFractionalPixel(c.py), c.wy);
  }
}

// With the window at world 0 the map rounds as the older program's did: px x scale in double,
// rounded once to float. Scales that are no power of two make any extra rounding show.
TEST(DrawingArea, OriginWindowRoundsAsTheOlderMapping) {
  for (const float max : {512.0f, 300.7f, 1.0f, 0.05f, 1e5f, 511.99997f}) {
    for (const int size : {512, 64, 1000}) {
      const PixelMap map = MapOfWindow({0, 0, max, max}, {size, size}, false);
      const float scale = static_cast<float>(static_cast<double>(max) / size);
      ASSERT_EQ(map.scaleX, scale);
      for (int p = 0; p < size; ++p) {
        ASSERT_EQ(map.WorldXOfPixel(p), static_cast<float>(p * static_cast<double>(scale))) << p;
        ASSERT_EQ(map.WorldYOfPixel(p), static_cast<float>(p * static_cast<double>(scale))) << p;
        const float w = map.WorldXOfPixel(p);
        ASSERT_EQ(map.PixelXOfWorld(w), static_cast<float>(static_cast<double>(w) / scale));
      }
    }
  }
}

TEST(DrawingArea, YUpShowsTheRowsOfYDownMirrored) {
  const WorldWindow windows[] = {{0, 0, 512, 512}, {-180, -88, 177, 88}, {3, 0.25f, 4, 0.3f}};
  for (const WorldWindow& window : windows) {
    for (const AreaSize area : {AreaSize{512, 512}, AreaSize{300, 77}}) {
      const PixelMap down = MapOfWindow(window, area, false);
      const PixelMap up = MapOfWindow(window, area, true);
      for (int py = 0; py < area.height; ++py) {
        ASSERT_EQ(up.WorldYOfPixel(py), down.WorldYOfPixel(area.height - 1 - py)) << py;
      }
      EXPECT_EQ(up.WorldXOfPixel(17), down.WorldXOfPixel(17));
      EXPECT_EQ(up.PixelVelocityY(-1.5f), -down.PixelVelocityY(-1.5f));
      // World y growing moves a point up the screen.
      EXPECT_LT(up.PixelYOfWorld(window.y0 + 0.01f), up.PixelYOfWorld(window.y0));
    }
  }
}

/// A dialog over the fake platform, started as the window starts it.
struct DialogRun {
  FakePlatform platform;
  VisualizerDialog dialog{platform};
};

/// Which settings a run takes beyond the start-up ones.
struct RunChoices {
  int size = 512;
  View view = View::Auto;
  YAxis yAxis = YAxis::Auto;
  bool fromFilePair = true;
  int colourByButton = kIdFlow;
  bool evenlySpaced = false;
  StepUnits stepUnits = StepUnits::Auto;
};

std::unique_ptr<DialogRun> Visualized(std::unique_ptr<FlowField> field, const RunChoices& c) {
  auto run = std::make_unique<DialogRun>();
  Settings& settings = run->dialog.MutableSettings();
  settings.drawingSize = c.size;
  settings.view = RadioIndex(c.view);
  settings.yAxis = RadioIndex(c.yAxis);
  settings.stepUnits = static_cast<int>(c.stepUnits);
  run->dialog.OnInitDialog();
  run->dialog.UseField(std::move(field), "field", c.fromFilePair);
  run->platform.SetChecked(kIdBackground, true);
  run->platform.CheckRadio({kIdFlow, kIdPressure, kIdVorticity}, c.colourByButton);
  run->platform.SetChecked(kIdEvenlySpaced, c.evenlySpaced);
  run->dialog.OnVisualize();
  EXPECT_TRUE(run->platform.messages.empty());
  return run;
}

// A field with swirls at uneven places and a pressure that varies in x and y.
std::unique_ptr<FlowField> SwirlField(float extentX, float extentY, float x0 = 0, float y0 = 0) {
  std::vector<float> xs = EvenlySpaced(37, extentX);
  std::vector<float> ys = EvenlySpaced(29, extentY);
  for (float& x : xs) x += x0;
  for (float& y : ys) y += y0;
  return GridField(xs, ys, [](int c, int r, GridPoint& node) {
    node.velocity = {static_cast<float>(std::sin(c * 0.3) + 0.2 * r),
                     static_cast<float>(std::cos(r * 0.4 - c * 0.1)), 0};
    node.scalar0 = static_cast<float>(c * c - 3 * r);
    node.scalar1 = static_cast<float>(r);
  });
}

TEST(DrawingArea, DataViewDrawsWhatOriginViewDrawsOnAGridFromZero) {
  for (const bool evenly : {false, true}) {
    for (const float extent : {512.0f, 300.7f, 1.0f}) {
      SCOPED_TRACE(::testing::Message() << extent << (evenly ? " evenly spaced" : " regular"));
      const auto origin =
          Visualized(SwirlField(extent, extent * 0.75f), {.view = View::Origin, .evenlySpaced = evenly});
      const auto data =
          Visualized(SwirlField(extent, extent * 0.75f), {.view = View::Data, .evenlySpaced = evenly});
      EXPECT_EQ(origin->dialog.StoredStreamlines(), data->dialog.StoredStreamlines());
      if (extent == 512.0f) {
        EXPECT_GT(origin->dialog.StoredStreamlines().size(), 1u);
      }
      const Surface& a = origin->dialog.DrawingArea();
      const Surface& b = data->dialog.DrawingArea();
      EXPECT_TRUE(std::equal(a.Data(), a.Data() + 512 * 512, b.Data()));
    }
  }
}

// Steps in pixels ask the field at the world point the window puts under the pixel: a field far
// from the origin draws the streamlines it draws at the origin (float rounding of the offset may
// move a pixel here and there), and with y up a flow up and to the right runs up the screen.
TEST(DrawingArea, PixelStepsTraceThroughTheWindowsOffsetAndDirection) {
  const RunChoices down{.view = View::Data, .yAxis = YAxis::Down, .stepUnits = StepUnits::Pixels};
  const auto pixelsOf = [](const DialogRun& run) {
    std::set<std::pair<int, int>> pixels;
    for (const Streamline& line : run.dialog.StoredStreamlines()) {
      for (const PixelPoint& p : line) pixels.insert({p.x, p.y});
    }
    return pixels;
  };
  const auto reference = pixelsOf(*Visualized(SwirlField(512, 384), down));
  const auto offset = pixelsOf(*Visualized(SwirlField(512, 384, 1000, 3000), down));
  ASSERT_GT(reference.size(), 5000u);
  size_t shared = 0;
  for (const auto& p : offset) shared += reference.count(p);
  EXPECT_GT(shared, reference.size() * 9 / 10);
  EXPECT_GT(shared, offset.size() * 9 / 10);

  RunChoices up = down;
  up.yAxis = YAxis::Up;
  const auto diagonal = Visualized(GridField(EvenlySpaced(5, 512), EvenlySpaced(5, 512),
                                             [](int, int, GridPoint& node) {
                                               node.velocity = {0.5f, 0.5f, 0};
                                             }),
                                   up);
  ASSERT_FALSE(diagonal->dialog.StoredStreamlines().empty());
  for (const Streamline& line : diagonal->dialog.StoredStreamlines()) {
    if (line.size() < 2) continue;
    EXPECT_GT(line.back().x, line.front().x);
    EXPECT_EQ(line.back().x - line.front().x, line.front().y - line.back().y);
  }
}

TEST(DrawingArea, WithYUpABackgroundOfYAloneRunsTheOtherWayAndProbesFollow) {
  // Pressure (colour by pressure) is the node's row: it depends on y alone.
  const auto field = [] { return SwirlField(360, 176, -180, -88); };
  const RunChoices down{.view = View::Data, .yAxis = YAxis::Down, .colourByButton = kIdPressure};
  RunChoices up = down;
  up.yAxis = YAxis::Up;
  const auto byRow = [](const RunChoices& c) {
    auto run = Visualized(GridField(EvenlySpaced(9, 360), EvenlySpaced(23, 176),
                                    [](int, int r, GridPoint& node) {
                                      node.velocity = {1, 0, 0};
                                      node.scalar0 = static_cast<float>(r);
                                    }),
                          c);
    return run;
  };
  const auto downRun = byRow(down);
  const auto upRun = byRow(up);
  const std::vector<Colour>& d = downRun->dialog.BackgroundBuffer();
  const std::vector<Colour>& u = upRun->dialog.BackgroundBuffer();
  ASSERT_EQ(d.size(), 512u * 512u);
  ASSERT_EQ(u.size(), d.size());
  EXPECT_NE(d.front(), d.back());  // the colour does change down the area
  for (int py = 0; py < 512; ++py) {
    for (int px = 0; px < 512; px += 37) {
      ASSERT_EQ(u[py * 512 + px], d[(511 - py) * 512 + px]) << px << ", " << py;
    }
  }

  // A probe's world point follows: the readout at a pixel of the y-up area is the one at the
  // mirrored pixel of the y-down area, in the offset window of the data.
  const auto downField = Visualized(field(), down);
  const auto upField = Visualized(field(), up);
  for (const PixelPoint p : {PixelPoint{0, 0}, PixelPoint{100, 400}, PixelPoint{511, 511}}) {
    const Readout a = ReadoutAt(upField->dialog.Field(), upField->dialog.Map(), p.x, p.y);
    const Readout b = ReadoutAt(downField->dialog.Field(), downField->dialog.Map(), p.x, 511 - p.y);
    EXPECT_EQ(a.wx, b.wx);
    EXPECT_EQ(a.wy, b.wy);
    EXPECT_EQ(a.pressure, b.pressure);
  }
  // The bottom-left pixel of the y-up area is the data's lower-left corner.
  const Readout corner = ReadoutAt(upField->dialog.Field(), upField->dialog.Map(), 0, 511);
  EXPECT_EQ(corner.wx, -180.0f);
  EXPECT_EQ(corner.wy, -88.0f);
}

TEST(DrawingArea, SourceChoosesTheDefaultViewAndYAxis) {
  struct Case {
    bool fromFilePair;
    View view;
    YAxis yAxis;
    float x0;
    bool yUp;
  };
  const Case cases[] = {
      {true, View::Auto, YAxis::Auto, 0, false},  {false, View::Auto, YAxis::Auto, 1000, true},
      {false, View::Origin, YAxis::Down, 0, false}, {true, View::Data, YAxis::Up, 1000, true},
  };
  for (const Case& c : cases) {
    const auto run = Visualized(SwirlField(512, 512, 1000, 0),
                                {.view = c.view, .yAxis = c.yAxis, .fromFilePair = c.fromFilePair});
    EXPECT_EQ(run->dialog.Map().x0, c.x0);
    EXPECT_EQ(run->dialog.Window().x0, c.x0);
    EXPECT_EQ(run->dialog.Window().x1, 1512.0f);
    EXPECT_EQ(run->dialog.Map().yUp, c.yUp);
  }
}

// The data's own window of a field wholly below 0 ends at its largest coordinates, not at the 0
// where the statistics' maxima start.
TEST(DrawingArea, DataViewOfANegativeFieldEndsAtItsLargestCoordinates) {
  const auto run = Visualized(SwirlField(384, 384, -1000, -3000), {.view = View::Data});
  const WorldWindow& window = run->dialog.Window();
  EXPECT_EQ(window.x0, -1000.0f);
  EXPECT_EQ(window.x1, -616.0f);
  EXPECT_EQ(window.y0, -3000.0f);
  EXPECT_EQ(window.y1, -2616.0f);
}

// At twice the size a field of twice the extent samples, at every pixel of even column and row,
// the world point twice that of the 512 picture's pixel at half the coordinates: the same node.
// (A pixel between samples a point the 512 picture does not, and may fall in the next cell.)
TEST(DrawingArea, DoubleSizeOnADoubledFieldDoublesTheBackground) {
  const auto field = [](float scale) {
    return GridField(EvenlySpaced(33, 512 * scale), EvenlySpaced(17, 512 * scale),
                     [](int c, int r, GridPoint& node) {
                       node.velocity = {1, 0, 0};
                       node.scalar0 = static_cast<float>((c * 7 + r * 13) % 31);
                     });
  };
  const auto small = Visualized(field(1), {.colourByButton = kIdPressure});
  const auto large = Visualized(field(2), {.size = 1024, .colourByButton = kIdPressure});
  ASSERT_EQ(large->dialog.DrawingArea().Width(), 1024);
  ASSERT_EQ(large->dialog.LegendStrip().Width(), 1024);
  const std::vector<Colour>& a = small->dialog.BackgroundBuffer();
  const std::vector<Colour>& b = large->dialog.BackgroundBuffer();
  ASSERT_EQ(b.size(), 1024u * 1024u);
  for (int py = 0; py < 1024; py += 2) {
    for (int px = 0; px < 1024; px += 2) {
      ASSERT_EQ(b[py * 1024 + px], a[(py / 2) * 512 + px / 2]) << px << ", " << py;
    }
  }
}

// A 2 x 2 grid over x 0..2 and y 0..1 flowing to the right.
std::string WriteWideFlow(const TempDir& dir) {
  std::vector<GridPoint> nodes(4);
  for (int i = 0; i < 4; ++i) {
    nodes[i].position = {static_cast<float>(2 * (i % 2)), static_cast<float>(i / 2), 0};
    nodes[i].velocity = {1, 0, 0};
  }
  EXPECT_EQ(WriteFlowFiles(dir.File("wide"), 2, 2, 1, 0, nodes), "");
  return dir.File("wide.gri");
}

TEST(DrawingArea, RenderChecksProbesAgainstTheAreasSize) {
  TempDir dir;
  const std::string path = WriteWideFlow(dir);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string said;
  };
  const Case cases[] = {
      {{"--probe", "512,0"}, 2, "--probe: expected X,Y with X and Y integers between 0 and 511, "
                                "got '512,0'"},
      {{"--size", "1024", "--probe", "1000,5"}, 0, ""},
      {{"--probe", "1000,5", "--size=1024"}, 0, ""},
      {{"--size", "64", "--probe", "64,0"}, 2, "between 0 and 63, got '64,0'"},
      {{"--size", "64", "--probe", "3,x"}, 2, "between 0 and 63, got '3,x'"},
      {{"--size", "63"}, 2, "--size: expected an integer between 64 and 8192, got '63'"},
      {{"--size", "8193"}, 2, "--size: expected an integer between 64 and 8192"},
      // The 2 x 1 field at 512 with its proportions: 512 x 256.
      {{"--aspect", "equal", "--probe", "511,255"}, 0, ""},
      {{"--aspect", "equal", "--probe", "10,256"}, 2,
       "--probe 10,256 lies outside the drawing area, which --aspect equal makes 512 x 256 pixels"},
      {{"--view", "sideways"}, 2, "--view: expected one of auto|origin|data, got 'sideways'"},
      {{"--y-axis", "left"}, 2, "--y-axis: expected one of auto|down|up, got 'left'"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back(path);
    const ProgramRun run = RunRender(args);
    EXPECT_EQ(run.status, c.status) << args[0] << ' ' << args[1] << '\n' << run.err;
    if (!c.said.empty()) {
      EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    }
  }
}

TEST(DrawingArea, RenderNamesAreaAndViewOnlyWhenChosenOrBroughtByTheSource) {
  TempDir dir;
  const std::string path = WriteWideFlow(dir);
  const auto render = [&](const std::string& name, std::vector<std::string> extra) {
    std::vector<std::string> args = {path, "--background", "flow", "-o", dir.File(name + ".png"),
                                     "--dump", dir.File(name + ".json")};
    args.insert(args.end(), extra.begin(), extra.end());
    const ProgramRun run = RunRender(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return Json::parse(ReadText(dir.File(name + ".json")));
  };
  Json plain = render("plain", {});
  EXPECT_FALSE(plain.contains("area"));
  EXPECT_FALSE(plain.contains("view"));

  // --size 512 and --view origin draw the default picture, byte for byte, and say so.
  Json sized = render("sized", {"--size", "512", "--view", "origin", "--y-axis", "down"});
  EXPECT_EQ(sized["area"], Json::parse("[512, 512]"));
  EXPECT_EQ(sized["view"], Json::parse(R"({"window": [0.0, 0.0, 2.0, 1.0], "y": "down"})"));
  sized.erase("area");
  sized.erase("view");
  EXPECT_EQ(sized.dump(), plain.dump());
  EXPECT_EQ(ReadText(dir.File("sized.png")), ReadText(dir.File("plain.png")));

  const Json equal = render("equal", {"--aspect", "equal", "--size", "100"});
  EXPECT_EQ(equal["area"], Json::parse("[100, 50]"));
  EXPECT_EQ(equal["scale_x"].get<float>(), 0.02f);  // 2 world units over 100 pixels
  EXPECT_FALSE(equal.contains("view"));

  // A NetCDF source brings the data's own window and y up: x from 10 to 13, y from -1 to 1.
  const std::string nc = dir.File("shifted.nc");
  using testing::NcVariable;
  const std::vector<std::string> yx = {"y", "x"};
  testing::WriteNetcdf(nc, NC_CLASSIC_MODEL, {{"x", 4}, {"y", 3}},
                       {NcVariable{"x", NC_FLOAT, {"x"}, {}, {}, {10, 11, 12, 13}},
                        NcVariable{"y", NC_FLOAT, {"y"}, {}, {}, {-1, 0, 1}},
                        NcVariable{"u", NC_FLOAT, yx, {}, {}, std::vector<double>(12, 1.0)},
                        NcVariable{"v", NC_FLOAT, yx, {}, {}, std::vector<double>(12, 0.0)}});
  const ProgramRun netcdf = RunRender({nc, "--dump", "-"});
  ASSERT_EQ(netcdf.status, 0) << netcdf.err;
  const Json described = Json::parse(netcdf.out);
  EXPECT_EQ(described["view"], Json::parse(R"({"window": [10.0, -1.0, 13.0, 1.0], "y": "up"})"));
  EXPECT_FALSE(described.contains("area"));
}

}  // namespace
}  // namespace vortana
