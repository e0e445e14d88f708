// vortana-render as a program: exit statuses, the JSON description and the PNG.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "app/headless/json_description.h"
#include "data/array_writers.h"
#include "data/flow_field.h"
#include "data/flow_file_writer.h"
#include "data/gridded_steps.h"
#include "support/flow_files.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using testing::TempDir;
using Json = nlohmann::ordered_json;

using testing::ProgramRun;
using testing::ReadText;
using testing::RunRender;

// A 2 x 2 grid over x 0..2 and y 0..1 that moves at (3, 4, 0) everywhere: speed 5.
std::string WriteDiagonalFlow(const TempDir& dir) {
  std::vector<GridPoint> nodes(4);
  const float scalar0[] = {1, 2, 3, 4};
  const float scalar1[] = {-2, 0.5f, 0.25f, 1};
  for (int i = 0; i < 4; ++i) {
    nodes[i].position = {static_cast<float>(2 * (i % 2)), static_cast<float>(i / 2), 0};
    nodes[i].velocity = {3, 4, 0};
    nodes[i].scalar0 = scalar0[i];
    nodes[i].scalar1 = scalar1[i];
  }
  EXPECT_EQ(WriteFlowFiles(dir.File("diagonal"), 2, 2, 1, 2, nodes), "");
  return dir.File("diagonal.gri");
}

// One world unit a pixel, flowing to the right everywhere.
std::string WriteRightwardFlow(const TempDir& dir) {
  std::vector<GridPoint> nodes(4);
  for (int i = 0; i < 4; ++i) {
    nodes[i].position = {static_cast<float>(512 * (i % 2)), static_cast<float>(512 * (i / 2)), 0};
    nodes[i].velocity = {1, 0, 0};
  }
  EXPECT_EQ(WriteFlowFiles(dir.File("right"), 2, 2, 1, 0, nodes), "");
  return dir.File("right.00000.dat");
}

float ReadBack(const Json& number) { return std::strtof(number.dump().c_str(), nullptr); }

TEST(RenderCli, UsageErrorsExitWithTwoAndNameTheOption) {
  struct Case {
    std::vector<std::string> args;
    std::string said;
  };
  const std::vector<Case> cases = {
      {{}, "no DATASET"},
      {{"--normalized"}, "no DATASET"},
      {{"a.gri", "--bogus"}, "unknown option '--bogus'"},
      {{"a.gri", "-x"}, "unknown option '-x'"},
      {{"a.gri", "--grid-size"}, "--grid-size needs a value"},
      {{"a.gri", "-o"}, "--output needs a value"},
      {{"--grid-size", "abc", "a.gri"}, "--grid-size: expected an integer between 8 and 128"},
      {{"--grid-size", "7", "a.gri"}, "--grid-size: expected an integer between 8 and 128"},
      {{"--grid-size=129", "a.gri"}, "--grid-size: expected an integer between 8 and 128"},
      {{"--delta-t", "21", "a.gri"}, "--delta-t: expected an integer between 1 and 20"},
      {{"--delta-t", "1.5", "a.gri"}, "--delta-t: expected an integer between 1 and 20"},
      {{"--d-sep", "9", "a.gri"}, "--d-sep: expected an integer between 10 and 50"},
      {{"--d-test", "0", "a.gri"}, "--d-test: expected an integer of at least 1"},
      {{"--plot", "pie", "a.gri"}, "--plot: expected one of arrows|streamlines"},
      {{"--integrator", "rk4", "a.gri"}, "--integrator: expected one of euler|rk2"},
      {{"--background", "heat", "a.gri"}, "--background: expected one of flow|pressure|vorticity"},
      {{"--colour", "12345G", "a.gri"}, "--colour: expected six hexadecimal digits"},
      {{"--colour", "FFF", "a.gri"}, "--colour: expected six hexadecimal digits"},
      {{"--probe", "512,0", "a.gri"},
       "--probe: expected X,Y with X and Y integers between 0 and 511"},
      {{"--probe", "3", "a.gri"}, "--probe: expected X,Y"},
      {{"--legend=yes", "a.gri"}, "--legend takes no value"},
      {{"a.gri", "b.gri"}, "more than one DATASET"},
      {{"--", "-a.gri", "--x"}, "more than one DATASET: '-a.gri' and '--x'"},
      {{"a.gri", "--d-test"}, "--d-test needs a value: an integer of at least 1"},
      {{"a.gri", "--plot"}, "--plot needs a value: one of arrows|streamlines"},
      {{"--evenly-spaced=no", "a.gri"}, "--evenly-spaced takes no value"},
      {{"--d-test", "99999999999", "a.gri"},
       "--d-test: expected an integer of at least 1, got '99999999999'"},
      {{"--grid-size", "-8", "a.gri"}, "--grid-size: expected an integer between 8 and 128"},
      {{"--dump=", "a.gri"}, "--dump: expected a file name or -, got ''"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = RunRender(c.args);
    EXPECT_EQ(run.status, 2) << c.said;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
  }

  const ProgramRun help = RunRender({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: vortana-render [options] DATASET"), std::string::npos);
  EXPECT_NE(help.out.find("--d-test N"), std::string::npos);
}

TEST(RenderCli, AnUnusableDataSetExitsWithOne) {
  TempDir dir;
  const ProgramRun missing = RunRender({dir.File("missing.gri"), "-o", dir.File("missing.png")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Vortana Visualization: "), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("missing"), std::string::npos) << missing.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.png")));

  // One column of nodes: a field without a cell.
  std::vector<GridPoint> column(3);
  for (int i = 0; i < 3; ++i) column[i].position = {0, static_cast<float>(i), 0};
  ASSERT_EQ(WriteFlowFiles(dir.File("column"), 1, 3, 1, 0, column), "");
  const ProgramRun thin = RunRender({dir.File("column.gri"), "--dump", "-"});
  EXPECT_EQ(thin.status, 1);
  // Only what is wrong, not first the dialog's no-data message, which names neither.
  EXPECT_EQ(thin.err, "vortana-render: nothing to draw in " + dir.File("column.gri") +
                          ": it declares 1 x 3 x 1 nodes, and a picture needs a cell of 2 x 2 "
                          "nodes in the first slice\n");
  EXPECT_TRUE(thin.out.empty());

  // A header whose numbers cannot be read: the missing number, not the 0 x 0 x 0 it leaves.
  testing::WriteBytes(dir.File("garbled.gri"), testing::GridHeaderBytes("SN4DB 2 two 1 0 0 0.0"));
  testing::WriteBytes(dir.File("garbled.00000.dat"), "");
  const ProgramRun garbled = RunRender({dir.File("garbled.gri")});
  EXPECT_EQ(garbled.status, 1);
  EXPECT_EQ(garbled.err, "vortana-render: nothing to draw in " + dir.File("garbled.gri") + ": " +
                             dir.File("garbled.gri") + ": the header's height is not a number\n");

  // "." is a folder, not the hidden pair .gri and .00000.dat.
  const ProgramRun dot = RunRender({"."});
  EXPECT_EQ(dot.status, 1);
  EXPECT_EQ(dot.err, "Vortana Visualization: . is a folder, not a file\n");

  // Neither output asked for: the run alone.
  EXPECT_EQ(RunRender({WriteDiagonalFlow(dir)}).status, 0);
}

TEST(RenderCli, DescribesTheArrowPlotOfASmallField) {
  TempDir dir;
  const std::string path = WriteDiagonalFlow(dir);
  const ProgramRun run = RunRender(
      {path, "--plot", "arrows", "--grid-size", "128", "--probe", "10,10", "--dump", "-"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.err.empty());
  const Json json = Json::parse(run.out);

  std::vector<std::string> keys;
  for (const auto& item : json.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"file", "size", "width", "height", "depth", "max_x",
                                            "max_y", "max_speed", "min_scalar0", "max_scalar0",
                                            "min_scalar1", "max_scalar1", "scale_x", "scale_y",
                                            "dt", "arrows", "streamlines"}));
  EXPECT_EQ(json["file"], path);
  EXPECT_EQ(json["size"], 4);
  EXPECT_EQ(json["width"], 2);
  EXPECT_EQ(json["height"], 2);
  EXPECT_EQ(json["depth"], 1);
  EXPECT_EQ(ReadBack(json["max_x"]), 2.0f);
  EXPECT_EQ(ReadBack(json["max_y"]), 1.0f);
  EXPECT_EQ(ReadBack(json["max_speed"]), 5.0f);
  EXPECT_EQ(ReadBack(json["min_scalar0"]), 1.0f);
  EXPECT_EQ(ReadBack(json["max_scalar0"]), 4.0f);
  EXPECT_EQ(ReadBack(json["min_scalar1"]), -2.0f);
  EXPECT_EQ(ReadBack(json["max_scalar1"]), 1.0f);
  EXPECT_EQ(ReadBack(json["scale_x"]), 0.00390625f);   // 2 / 512
  EXPECT_EQ(ReadBack(json["scale_y"]), 0.001953125f);  // 1 / 512
  EXPECT_NE(run.out.find("\"dt\":0.099999994,"), std::string::npos);
  EXPECT_EQ(ReadBack(json["dt"]), 0.099999994f);

  // 16 arrows at 64, 192, 320, 448, row by row; the probe at (10, 10) is not stored.
  ASSERT_EQ(json["arrows"].size(), 16u);
  const int centres[] = {64, 192, 320, 448};
  for (size_t i = 0; i < 16; ++i) {
    const Json& arrow = json["arrows"][i];
    EXPECT_EQ(arrow["x"], centres[i % 4]);
    EXPECT_EQ(arrow["y"], centres[i / 4]);
    EXPECT_EQ(ReadBack(arrow["v"][0]), 0.6f);
    EXPECT_EQ(ReadBack(arrow["v"][1]), 0.8f);
    EXPECT_EQ(ReadBack(arrow["v"][2]), 0.0f);
  }
  // Half-length 63: s = (37.8, 50.4), L = 63; base point 59 along, wings 4 across.
  const Json& first = json["arrows"][0];
  EXPECT_EQ(first["shaft"], Json::parse("[26, 13, 101, 114]"));
  EXPECT_EQ(first["head"], Json::parse("[[102, 108], [101, 114], [96, 113]]"));
  EXPECT_EQ(json["streamlines"], Json::array());
}

TEST(RenderCli, DescribesRegularStreamlinesAndNonFiniteValues) {
  TempDir dir;
  const ProgramRun run = RunRender({WriteRightwardFlow(dir), "--dump", dir.File("out.json")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.empty());
  const Json json = Json::parse(ReadText(dir.File("out.json")));
  EXPECT_EQ(json["file"], dir.File("right.00000.dat"));
  EXPECT_EQ(json["arrows"], Json::array());
  // Grid size 32: seeds (16, 16) ... (496, 496), each a whole row.
  ASSERT_EQ(json["streamlines"].size(), 16u);
  for (size_t i = 0; i < 16; ++i) {
    const Json& line = json["streamlines"][i];
    const int row = 16 + 32 * static_cast<int>(i);
    ASSERT_EQ(line.size(), 512u);
    EXPECT_EQ(line[0], Json::array({0, row}));
    EXPECT_EQ(line[511], Json::array({511, row}));
  }

  // Velocities of 3e38 across and down: the fastest length overflows the stored float.
  std::vector<GridPoint> nodes(4);
  for (int i = 0; i < 4; ++i) {
    nodes[i].position = {static_cast<float>(i % 2), static_cast<float>(i / 2), 0};
    nodes[i].velocity = {3e38f, 3e38f, 0};
  }
  ASSERT_EQ(WriteFlowFiles(dir.File("fast"), 2, 2, 1, 0, nodes), "");
  const ProgramRun fast = RunRender({dir.File("fast.gri"), "--plot", "arrows", "--dump", "-"});
  ASSERT_EQ(fast.status, 0) << fast.err;
  const Json described = Json::parse(fast.out);
  EXPECT_TRUE(described["max_speed"].is_null());
  EXPECT_EQ(ReadBack(described["max_x"]), 1.0f);
}

TEST(RenderCli, WritesTheDrawingAreaAndOptionallyTheLegendAsPng) {
  TempDir dir;
  const std::string path = WriteDiagonalFlow(dir);
  const ProgramRun plain =
      RunRender({path, "--plot", "arrows", "--grid-size", "128", "--background", "flow", "--colour",
                 "00FF80", "-o", dir.File("plain.png")});
  ASSERT_EQ(plain.status, 0) << plain.err;
  const QImage image(QString::fromStdString(dir.File("plain.png")));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 512);
  EXPECT_EQ(image.height(), 512);
  EXPECT_FALSE(image.hasAlphaChannel());
  // Every node at max speed: ramp index 255, pure red; the first arrow's tail in the line colour.
  EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(26, 13), qRgb(0, 255, 128));

  const ProgramRun legend =
      RunRender({path, "--legend", "--probe", "5,500", "--repaint", "-o", dir.File("legend.png")});
  ASSERT_EQ(legend.status, 0) << legend.err;
  const QImage stacked(QString::fromStdString(dir.File("legend.png")));
  ASSERT_EQ(stacked.width(), 512);
  ASSERT_EQ(stacked.height(), 532);
  for (int y = 512; y < 522; ++y) EXPECT_EQ(stacked.pixel(100, y), qRgb(0, 0, 0)) << y;
  EXPECT_EQ(stacked.pixel(0, 522), qRgb(1, 0, 255));    // ramp[0]
  EXPECT_EQ(stacked.pixel(511, 531), qRgb(255, 0, 0));  // ramp[255]

  const ProgramRun unwritable = RunRender({path, "-o", dir.File("no-such-folder/out.png")});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("cannot write the PNG file"), std::string::npos) << unwritable.err;
}

TEST(RenderCli, ColourMapColoursTheLegendAndBackground) {
  TempDir dir;
  const std::string path = WriteDiagonalFlow(dir);
  const auto render = [&](const std::string& name, std::vector<std::string> map) {
    std::vector<std::string> args = {path,        "--legend", "--background", "flow",
                                     "-o",        dir.File(name + ".png"),    "--dump",
                                     dir.File(name + ".json")};
    args.insert(args.end(), map.begin(), map.end());
    const ProgramRun run = RunRender(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return QImage(QString::fromStdString(dir.File(name + ".png")));
  };
  // viridis from _cm_listed.py: entry 0 is 0.267004, 0.004874, 0.329415 and entry 255 is
  // 0.993248, 0.906157, 0.143936, at 8 bits (68, 1, 84) and (253, 231, 37). Every node moves at
  // max speed, so the background is entry 255 too.
  const QImage viridis = render("viridis", {"--colour-map", "viridis"});
  ASSERT_EQ(viridis.height(), 532);
  EXPECT_EQ(viridis.pixel(0, 522), qRgb(68, 1, 84));
  EXPECT_EQ(viridis.pixel(1, 531), qRgb(68, 1, 84));
  EXPECT_EQ(viridis.pixel(511, 531), qRgb(253, 231, 37));
  EXPECT_EQ(viridis.pixel(0, 0), qRgb(253, 231, 37));
  EXPECT_EQ(Json::parse(ReadText(dir.File("viridis.json")))["colour_map"], "viridis");

  // Naming the legacy map is the same run as naming none, to the byte.
  const QImage legacy = render("legacy", {"--colour-map=legacy"});
  const QImage plain = render("plain", {});
  EXPECT_EQ(legacy, plain);
  EXPECT_EQ(plain.pixel(0, 522), qRgb(1, 0, 255));
  EXPECT_EQ(ReadText(dir.File("legacy.json")), ReadText(dir.File("plain.json")));
  EXPECT_FALSE(Json::parse(ReadText(dir.File("plain.json"))).contains("colour_map"));

  const ProgramRun unknown = RunRender({path, "--colour-map", "jet"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("--colour-map: expected one of "
                             "legacy|viridis|cividis|magma|coolwarm|greys, got 'jet'"),
            std::string::npos)
      << unknown.err;
}

TEST(RenderCli, StepUnitsFollowTheSourceUnlessChosen) {
  // A 1 x 1 field flowing to the right: a world step of 0.1 spans 51 pixels, a pixel step a
  // tenth of a pixel.
  TempDir dir;
  std::vector<GridPoint> nodes(4);
  for (int i = 0; i < 4; ++i) {
    nodes[i].position = {static_cast<float>(i % 2), static_cast<float>(i / 2), 0};
    nodes[i].velocity = {1, 0, 0};
  }
  ASSERT_EQ(WriteFlowFiles(dir.File("unit"), 2, 2, 1, 0, nodes), "");
  GriddedSteps steps;
  ASSERT_EQ(steps.Add(*FlowField::FromNodes(2, 2, 1, 0, nodes)), "");
  ASSERT_EQ(WriteNpzFile(dir.File("unit.npz"), steps), "");

  const auto describe = [&](const std::string& file, std::vector<std::string> units) {
    std::vector<std::string> args = {dir.File(file), "--dump", "-"};
    args.insert(args.end(), units.begin(), units.end());
    const ProgramRun run = RunRender(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return Json::parse(run.out);
  };
  const auto longest = [](const Json& json) {
    size_t points = 0;
    for (const Json& line : json["streamlines"]) points = std::max<size_t>(points, line.size());
    return points;
  };

  // The file pair steps in world units unless told otherwise, and says so only when told.
  const Json pair = describe("unit.gri", {});
  EXPECT_FALSE(pair.contains("step_units"));
  EXPECT_LE(longest(pair), 10u);
  EXPECT_EQ(describe("unit.gri", {"--step-units", "world"})["step_units"], "world");
  const Json pairInPixels = describe("unit.gri", {"--step-units=pixels"});
  EXPECT_EQ(pairInPixels["step_units"], "pixels");
  ASSERT_EQ(pairInPixels["streamlines"].size(), 16u);  // grid size 32: every seed's whole row
  for (const Json& line : pairInPixels["streamlines"]) EXPECT_EQ(line.size(), 512u);

  // Any other source steps in pixels unless told otherwise, and always says which.
  const Json npz = describe("unit.npz", {});
  EXPECT_EQ(npz["step_units"], "pixels");
  EXPECT_EQ(npz["streamlines"], describe("unit.npz", {"--step-units", "pixels"})["streamlines"]);
  const Json npzInWorld = describe("unit.npz", {"--step-units", "world"});
  EXPECT_EQ(npzInWorld["step_units"], "world");
  EXPECT_LE(longest(npzInWorld), 10u);

  const ProgramRun wrong = RunRender({dir.File("unit.gri"), "--step-units", "metres"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("--step-units: expected one of auto|world|pixels, got 'metres'"),
            std::string::npos)
      << wrong.err;
}

TEST(JsonDescription, EveryFloatReadsBackExactly) {
  std::mt19937 random(20240611);
  std::vector<float> values = {
      0.0f,          -0.0f,          0.1f,        0.099999994f, 1e-45f, 1.17549435e-38f,
      3.4028235e38f, -3.4028235e38f, 16777217.0f, 0.6f};
  for (int i = 0; i < 200000; ++i) {
    const uint32_t bits = random();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    if (std::isfinite(value)) values.push_back(value);
  }
  for (const float value : values) {
    const std::string text = JsonFloat(value).dump();
    ASSERT_EQ(std::strtof(text.c_str(), nullptr), value) << text;
  }
  // Nine digits, not the seventeen of the float widened to double (0.0999999940395355225).
  EXPECT_EQ(JsonFloat(0.099999994f).dump(), "0.099999994");
  EXPECT_EQ(JsonFloat(0.6f).dump(), "0.600000024");
  EXPECT_EQ(JsonFloat(-2.5f).dump(), "-2.5");
  EXPECT_TRUE(JsonFloat(std::numeric_limits<float>::infinity()).is_null());
  EXPECT_TRUE(JsonFloat(-std::numeric_limits<float>::infinity()).is_null());
  EXPECT_TRUE(JsonFloat(std::numeric_limits<float>::quiet_NaN()).is_null());
}

}  // namespace
}  // namespace vortana

namespace vortana {
namespace {

// 8 x 8 nodes over x 100..240 and y 50..120, circling (170, 85): its own window is not the
// origin's, and every corner is exact in float.
std::string WriteOffsetVortex(const TempDir& dir) {
  std::vector<GridPoint> nodes;
  for (int j = 0; j < 8; ++j) {
    for (int i = 0; i < 8; ++i) {
      const float x = 100.0f + 20.0f * i;
      const float y = 50.0f + 10.0f * j;
      nodes.push_back({{x, y, 0}, {-(y - 85.0f) / 70.0f, (x - 170.0f) / 70.0f, 0}, x, y});
    }
  }
  EXPECT_EQ(WriteFlowFiles(dir.File("offset"), 8, 8, 1, 2, nodes), "");
  return dir.File("offset.gri");
}

TEST(RenderCli, WindowOfTheDataEqualsTheDataView) {
  TempDir dir;
  const std::string path = WriteOffsetVortex(dir);
  const std::vector<std::string> drawing = {path, "--plot", "streamlines", "--evenly-spaced",
                                            "--background", "flow"};
  for (const std::vector<std::string>& area :
       {std::vector<std::string>{}, std::vector<std::string>{"--size", "300", "--aspect", "equal"}}) {
    std::vector<std::string> view = drawing;
    view.insert(view.end(), area.begin(), area.end());
    std::vector<std::string> window = view;
    view.insert(view.end(), {"--view", "data", "-o", dir.File("view.png")});
    window.insert(window.end(),
                  {"--window", "100,50,240,120", "-o", dir.File("window.png"), "--dump", "-"});
    ASSERT_EQ(RunRender(view).status, 0);
    const ProgramRun run = RunRender(window);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(ReadText(dir.File("view.png")).empty());
    EXPECT_EQ(ReadText(dir.File("window.png")), ReadText(dir.File("view.png")));
    EXPECT_EQ(Json::parse(run.out)["view"]["window"], Json::parse("[100.0, 50.0, 240.0, 120.0]"));
  }

  const std::string expects = "--window: expected four finite numbers X0,Y0,X1,Y1 with X0 below X1";
  for (const char* bad : {"100,50,100,120", "240,50,100,120", "100,50,240", "100,50,240,120,1",
                          "a,50,240,120", "100,50,240,inf", "100,50,240,1e39", "", "100,,240,120"}) {
    const ProgramRun run = RunRender({path, "--window", bad});
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_NE(run.err.find(expects), std::string::npos) << run.err;
  }
  const ProgramRun outside = RunRender({path, "--window", "241,50,300,120", "-o", dir.File("o.png")});
  EXPECT_EQ(outside.status, 2);
  EXPECT_NE(outside.err.find("--window 241,50,300,120 lies outside the data"), std::string::npos)
      << outside.err;
}

}  // namespace
}  // namespace vortana
