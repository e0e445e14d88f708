// A field of several slices drawn at slice K: sampling reads slice K as it reads slice 0 of a
// field that has only that slice, while the statistics stay those over every slice. The one-slice
// field is written on its own, byte by byte, so that the two paths share nothing but the nodes.

#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "data/field_reader.h"
#include "data/flow_field.h"
#include "support/flow_files.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace vortana {
namespace {

using testing::FloatBytes;
using testing::GridHeaderBytes;
using testing::RunRender;
using testing::TempDir;
using testing::WriteBytes;

constexpr int kSide = 9;  // nodes 64 pixels apart: max x and max y 512, one world unit a pixel

/// Slice 0 a uniform stream to the right, slice 1 a vortex about (256, 256); z is the slice.
std::vector<float> SliceNodes(int slice, bool gridFile) {
  std::vector<float> values;
  for (int r = 0; r < kSide; ++r) {
    for (int c = 0; c < kSide; ++c) {
      const float x = 64.0f * c, y = 64.0f * r;
      if (gridFile) {
        values.insert(values.end(), {x, y, static_cast<float>(slice)});
      } else if (slice == 0) {
        values.insert(values.end(), {1.0f, 0.0f, 0.0f});
      } else {
        values.insert(values.end(), {256.0f - y, x - 256.0f, 0.0f});
      }
    }
  }
  return values;
}

/// Writes the pair `name` holding `slices` (0, 1 or both) in that order.
std::string WritePair(const TempDir& dir, const std::string& name, std::vector<int> slices) {
  const std::string base = dir.File(name);
  std::vector<float> grid, data;
  for (const int slice : slices) {
    const std::vector<float> g = SliceNodes(slice, true), d = SliceNodes(slice, false);
    grid.insert(grid.end(), g.begin(), g.end());
    data.insert(data.end(), d.begin(), d.end());
  }
  WriteBytes(base + ".gri", GridHeaderBytes("SN4DB 9 9 " + std::to_string(slices.size()) +
                                            " 0 0 0.0") +
                                FloatBytes(grid));
  WriteBytes(base + ".00000.dat", FloatBytes(data));
  return base + ".gri";
}

TEST(Slice, SamplingSliceOneMatchesAFieldOfThatSliceAlone) {
  TempDir dir;
  LoadResult both = LoadDataSet(WritePair(dir, "both", {0, 1}));
  LoadResult alone = LoadDataSet(WritePair(dir, "alone", {1}));
  ASSERT_TRUE(both.Ok() && alone.Ok());
  std::unique_ptr<FlowField> field = both.TakeField();
  const FieldStatistics before = field->Stats();
  EXPECT_FALSE(field->SampleSlice(2));
  EXPECT_FALSE(field->SampleSlice(-1));
  EXPECT_EQ(field->SampledSlice(), 0);
  EXPECT_EQ(field->VelocityAt(100.0f, 300.0f).x, 1.0f);
  ASSERT_TRUE(field->SampleSlice(1));
  EXPECT_EQ(field->SampledSlice(), 1);
  EXPECT_EQ(field->SliceNodes().data(), field->Nodes().data() + kSide * kSide);
  // Inside, on nodes, between them and outside (node 0 of the slice answers there).
  const std::pair<float, float> points[] = {{100.0f, 300.0f}, {64.0f, 128.0f}, {511.5f, 0.25f},
                                            {600.0f, 10.0f},  {-1.0f, -1.0f},  {256.0f, 256.0f}};
  for (const auto& [x, y] : points) {
    const Vec3 a = field->VelocityAt(x, y), b = alone.Field()->VelocityAt(x, y);
    EXPECT_EQ(a.x, b.x) << x << ", " << y;
    EXPECT_EQ(a.y, b.y) << x << ", " << y;
    EXPECT_EQ(field->NodeAt(x, y).velocity.x, alone.Field()->NodeAt(x, y).velocity.x);
  }
  EXPECT_EQ(field->VelocityAt(100.0f, 300.0f).x, 256.0f - 300.0f);
  EXPECT_EQ(field->IsPlanar(), alone.Field()->IsPlanar());
  EXPECT_EQ(std::memcmp(&field->Stats(), &before, sizeof before), 0);
}

nlohmann::json Described(const std::vector<std::string>& args, const std::string& what) {
  const testing::ProgramRun run = RunRender(args);
  EXPECT_EQ(run.status, 0) << what << ": " << run.err;
  return run.status == 0 ? nlohmann::json::parse(run.out) : nlohmann::json::object();
}

TEST(Slice, RenderAtSliceOneDrawsWhatTheFieldOfThatSliceAloneDraws) {
  TempDir dir;
  const std::string both = WritePair(dir, "both", {0, 1});
  const std::string alone = WritePair(dir, "alone", {1});
  // Each of these pictures depends on the directions of the flow alone.
  const std::vector<std::vector<std::string>> pictures = {
      {},
      {"--integrator", "rk2", "--grid-size", "24"},
      {"--evenly-spaced", "--d-sep", "16"},
      {"--plot", "arrows", "--normalized"},
  };
  for (const std::vector<std::string>& picture : pictures) {
    std::vector<std::string> common = {"--dump", "-"};
    common.insert(common.end(), picture.begin(), picture.end());
    std::string what;
    for (const std::string& arg : picture) what += arg + " ";
    std::vector<std::string> atOne = {both, "--slice", "1"}, atZero = {both}, single = {alone};
    for (auto* args : {&atOne, &atZero, &single}) args->insert(args->end(), common.begin(), common.end());
    const nlohmann::json one = Described(atOne, what);
    const nlohmann::json zero = Described(atZero, what);
    const nlohmann::json reference = Described(single, what);
    ASSERT_FALSE(reference.empty()) << what;
    const char* drawn = picture.size() > 1 && picture[1] == "arrows" ? "arrows" : "streamlines";
    EXPECT_FALSE(reference[drawn].empty()) << what;
    EXPECT_EQ(one[drawn], reference[drawn]) << what;
    EXPECT_NE(zero[drawn], reference[drawn]) << what;
    EXPECT_EQ(one["slice"], 1) << what;
    EXPECT_FALSE(zero.contains("slice")) << what;
    EXPECT_EQ(one["depth"], 2) << what;
    // The statistics are those over both slices, whichever is drawn.
    EXPECT_EQ(one["max_speed"], zero["max_speed"]) << what;
    EXPECT_EQ(one["scale_x"], reference["scale_x"]) << what;
  }
  EXPECT_EQ(Described({both, "--slice", "0", "--dump", "-"}, "slice 0")["slice"], 0);
}

TEST(Slice, ASliceTheDataSetDoesNotHaveIsAUsageError) {
  TempDir dir;
  const std::string both = WritePair(dir, "both", {0, 1});
  const std::string alone = WritePair(dir, "alone", {1});
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{both, "--slice", "2"},
       "vortana-render: --slice: expected an integer between 0 and 1, got '2' (" + both +
           " has 2 slices)\n"},
      {{alone, "--slice=1"},
       "vortana-render: --slice: expected an integer between 0 and 0, got '1' (" + alone +
           " has 1 slice)\n"},
  };
  for (const auto& [args, message] : cases) {
    const testing::ProgramRun run = RunRender(args);
    EXPECT_EQ(run.status, 2) << args[1];
    EXPECT_EQ(run.err, message);
  }
  const testing::ProgramRun negative = RunRender({both, "--slice", "-1"});
  EXPECT_EQ(negative.status, 2);
  EXPECT_NE(negative.err.find("--slice: expected an integer of at least 0, got '-1'"),
            std::string::npos)
      << negative.err;
}

}  // namespace
}  // namespace vortana
