// vortana-render's time steps as a user runs them: --step, --frames, --animation, --jobs and
// --colour-range, against single renders of the same steps.

#include <gtest/gtest.h>
#include <webp/demux.h>

#include <QImage>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/sample_flows.h"
#include "data/array_writers.h"
#include "data/gridded_steps.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using testing::ReadText;
using testing::RunRender;
using testing::TempDir;
using Json = nlohmann::ordered_json;

constexpr int kSteps = 4;

// Four steps of the swaying double gyre at t = 0, 1, 2 and 4 (t = 3 would draw what t = 2 draws:
// the sway is sin(2 pi t / 10)), so that every step draws a picture of its own.
std::string WriteGyreSeries(const TempDir& dir) {
  SampleOptions options;
  options.width = 48;
  options.height = 24;
  options.steps = 10;
  GriddedSteps steps;
  for (const int t : {0, 1, 2, 4}) {
    EXPECT_EQ(steps.Add(*MakeSampleField(SampleFlow::DoubleGyre, options, t)), "");
  }
  const std::string path = dir.File("gyre.npz");
  EXPECT_EQ(WriteNpzFile(path, steps), "");
  return path;
}

const std::vector<std::string> kPicture = {"--background", "flow", "--evenly-spaced", "--d-sep",
                                           "12"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(FrameSeries, FramesAreTheSingleStepRendersWithOneJobAndWithThree) {
  TempDir dir;
  const std::string data = WriteGyreSeries(dir);
  std::vector<std::string> single;
  for (int step = 0; step < kSteps; ++step) {
    const std::string png = dir.File("single-" + std::to_string(step) + ".png");
    ASSERT_EQ(RunRender(With({data, "--step", std::to_string(step), "-o", png}, kPicture)).status,
              0);
    single.push_back(ReadText(png));
  }
  EXPECT_NE(single[0], single[1]) << "the steps must differ for this test to mean anything";
  for (const char* jobs : {"1", "3"}) {
    const std::string pattern = dir.File(std::string("j") + jobs + "-{step}.png");
    const testing::ProgramRun run =
        RunRender(With({data, "--frames", "0:3", "--jobs", jobs, "-o", pattern}, kPicture));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "no progress line when standard error is no terminal";
    for (int step = 0; step < kSteps; ++step) {
      const std::string frame =
          dir.File(std::string("j") + jobs + "-0000" + std::to_string(step) + ".png");
      EXPECT_EQ(ReadText(frame), single[step]) << "--jobs " << jobs << ", step " << step;
    }
  }
  // A stride picks every second step; only those are written.
  ASSERT_EQ(
      RunRender(With({data, "--frames", "1:3:2", "-o", dir.File("s-{step}.png")}, kPicture)).status,
      0);
  EXPECT_EQ(ReadText(dir.File("s-00001.png")), single[1]);
  EXPECT_EQ(ReadText(dir.File("s-00003.png")), single[3]);
  EXPECT_FALSE(std::filesystem::exists(dir.File("s-00002.png")));
}

// The animation read back by libwebp's own decoder, against the PNG frames read by Qt's.
TEST(FrameSeries, AnimatedWebpHoldsTheFramesLosslessly) {
  TempDir dir;
  const std::string data = WriteGyreSeries(dir);
  const std::string webp = dir.File("gyre.webp");
  const testing::ProgramRun run =
      RunRender(With({data, "--frames", "0:3", "--jobs", "2", "-o", dir.File("f-{step}.png"),
                      "--animation", webp, "--fps", "4", "--legend"},
                     kPicture));
  ASSERT_EQ(run.status, 0) << run.err;

  const std::string bytes = ReadText(webp);
  const WebPData data_{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  WebPAnimDecoderOptions options;
  ASSERT_TRUE(WebPAnimDecoderOptionsInit(&options));
  options.color_mode = MODE_RGBA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data_, &options);
  ASSERT_NE(decoder, nullptr);
  WebPAnimInfo info;
  ASSERT_TRUE(WebPAnimDecoderGetInfo(decoder, &info));
  EXPECT_EQ(info.frame_count, static_cast<uint32_t>(kSteps));
  EXPECT_EQ(info.canvas_width, 512u);
  EXPECT_EQ(info.canvas_height, 532u);  // the area, the gap and the legend, as in the PNG
  EXPECT_EQ(info.loop_count, 0u);
  for (int step = 0; step < kSteps; ++step) {
    uint8_t* rgba = nullptr;
    int timestamp = 0;
    ASSERT_TRUE(WebPAnimDecoderGetNext(decoder, &rgba, &timestamp));
    EXPECT_EQ(timestamp, (step + 1) * 250) << "4 frames a second: each ends 250 ms after the last";
    const QImage png(QString::fromStdString(dir.File("f-0000" + std::to_string(step) + ".png")));
    ASSERT_EQ(png.width(), 512);
    ASSERT_EQ(png.height(), 532);
    int different = 0;
    for (int y = 0; y < png.height(); ++y) {
      for (int x = 0; x < png.width(); ++x) {
        const QRgb expected = png.pixel(x, y);
        const uint8_t* got = rgba + 4 * (static_cast<size_t>(y) * 512 + x);
        different += got[0] != qRed(expected) || got[1] != qGreen(expected) ||
                     got[2] != qBlue(expected) || got[3] != 255;
      }
    }
    EXPECT_EQ(different, 0) << "frame " << step;
  }
  WebPAnimDecoderDelete(decoder);
}

TEST(FrameSeries, DescriptionsNameTheStepWhenStepsAreAsked) {
  TempDir dir;
  const std::string data = WriteGyreSeries(dir);
  const testing::ProgramRun one = RunRender({data, "--step", "2", "--dump", "-"});
  ASSERT_EQ(one.status, 0) << one.err;
  const Json described = Json::parse(one.out);
  EXPECT_EQ(described["step"], 2);
  EXPECT_EQ(described["steps"], kSteps);

  // A source of several steps names them even without --step.
  const Json first = Json::parse(RunRender({data, "--dump", "-"}).out);
  EXPECT_EQ(first["step"], 0);
  EXPECT_EQ(first["steps"], kSteps);

  // With --frames and "-", one description a line, in step order.
  const testing::ProgramRun series =
      RunRender({data, "--frames", "1:3", "--jobs", "3", "--dump", "-"});
  ASSERT_EQ(series.status, 0) << series.err;
  std::istringstream lines(series.out);
  std::string line;
  for (int step = 1; step <= 3; ++step) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(Json::parse(line)["step"], step);
  }
  EXPECT_FALSE(std::getline(lines, line));
}

// A fixed range takes the place of the step's statistics: the step's own range draws the step's
// own picture, another range another picture.
TEST(FrameSeries, ColourRangeReplacesTheStepsOwnRange) {
  TempDir dir;
  const std::string data = WriteGyreSeries(dir);
  const Json described = Json::parse(RunRender({data, "--step", "1", "--dump", "-"}).out);
  const std::string maxSpeed = described["max_speed"].dump();
  const std::string pressure =
      described["min_scalar0"].dump() + "," + described["max_scalar0"].dump();
  struct Case {
    std::vector<std::string> background;
    std::string range;
    bool same;
  };
  const Case cases[] = {
      {{"--background", "flow"}, "0," + maxSpeed, true},
      {{"--background", "flow"}, "0,400", false},
      {{"--background", "flow"}, "1," + maxSpeed, false},
      {{"--background", "pressure"}, pressure, true},
      {{"--background", "pressure"}, "0," + described["max_scalar0"].dump(), false},
  };
  for (const Case& c : cases) {
    const std::string own = dir.File("own.png"), fixed = dir.File("fixed.png");
    ASSERT_EQ(RunRender(With({data, "--step", "1", "-o", own}, c.background)).status, 0);
    const testing::ProgramRun run =
        RunRender(With({data, "--step", "1", "--colour-range", c.range, "-o", fixed}, c.background));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadText(own) == ReadText(fixed), c.same) << c.background[1] << " " << c.range;
  }
}

TEST(FrameSeries, BadInputIsRefusedWithItsReason) {
  TempDir dir;
  const std::string data = WriteGyreSeries(dir);
  const std::string frame = dir.File("f-{step}.png");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string said;
  };
  const std::vector<Case> cases = {
      {{data, "--frames", "3:1", "-o", frame}, 2, "the last step 1 comes before the first 3"},
      {{data, "--frames", "0:3:0", "-o", frame}, 2, "the stride 0 in '0:3:0' must be at least 1"},
      {{data, "--frames", "0", "-o", frame}, 2, "--frames: expected A:B or A:B:S"},
      {{data, "--frames", "0:x", "-o", frame}, 2, "--frames: expected A:B or A:B:S"},
      {{data, "--frames", "0:4", "-o", frame},
       2,
       "holds 4 time steps (0 to 3); there is no step 4"},
      {{data, "--step", "4", "-o", dir.File("x.png")},
       2,
       "--step 4: " + data + " holds 4 time steps (0 to 3); there is no step 4"},
      {{data, "--step", "-1"}, 2, "--step: expected a whole number of at least 0"},
      {{data, "--frames", "0:3", "-o", dir.File("f.png")}, 2, "--output must hold {step}"},
      {{data, "--frames", "0:3", "--dump", dir.File("d.json")}, 2, "--dump must hold {step}"},
      {{data, "--frames", "0:3"}, 2, "--frames needs --output with {step}, --animation or --dump"},
      {{data, "--step", "1", "--frames", "0:3", "-o", frame}, 2, "cannot be combined"},
      {{data, "-o", frame}, 2, "--output holds {step}, which only --frames fills in"},
      {{data, "--animation", dir.File("a.webp")}, 2, "--animation needs --frames"},
      {{data, "--frames", "0:3", "--fps", "61", "-o", frame},
       2,
       "--fps: expected an integer between 1 and 60"},
      {{data, "--frames", "0:3", "--jobs", "0", "-o", frame},
       2,
       "--jobs: expected an integer of at least 1"},
      {{data, "--colour-range", "2,1"}, 2, "--colour-range: expected two finite numbers MIN,MAX"},
      {{data, "--colour-range", "0,inf"}, 2, "--colour-range: expected two finite numbers"},
      {{data, "--frames", "0:3", "-o", dir.File("missing/f-{step}.png")},
       1,
       "cannot write the PNG file " + dir.File("missing/f-00000.png")},
  };
  for (const Case& c : cases) {
    const testing::ProgramRun run = RunRender(c.args);
    std::string args;
    for (const std::string& arg : c.args) args += arg + " ";
    EXPECT_EQ(run.status, c.status) << args << "\n" << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << args << "\nsaid: " << run.err;
  }
}

// A frame that cannot be written ends the series; the frames before it stay, nothing half
// written is left.
TEST(FrameSeries, AFrameThatCannotBeWrittenKeepsTheFramesBefore) {
  TempDir dir;
  const std::string data = WriteGyreSeries(dir);
  std::filesystem::create_directory(dir.File("out"));
  std::filesystem::create_directory(dir.File("out/f-00002.png"));  // a folder in frame 2's place
  const testing::ProgramRun run =
      RunRender({data, "--frames", "0:3", "--jobs", "2", "-o", dir.File("out/f-{step}.png"),
                 "--animation", dir.File("out/all.webp")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("f-00002.png"), std::string::npos) << run.err;
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.File("out"))) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"f-00000.png", "f-00001.png", "f-00002.png"}));
}

}  // namespace
}  // namespace vortana
