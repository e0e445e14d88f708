// Time steps of a data set: a grid/data file pair's further data files, written here byte by
// byte, read back by LoadDataSet and by a DataSetSeries; and the step count that every reader
// answers the same way, for multi-step files written by the array writers.

#include "data/data_set_series.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/array_writers.h"
#include "data/byte_source.h"
#include "data/field_builder.h"
#include "data/field_reader.h"
#include "data/flow_field.h"
#include "data/gridded_steps.h"
#include "support/flow_files.h"
#include "support/temp_dir.h"
#include "support/wrapped_files.h"

namespace vortana {
namespace {

using testing::FloatBytes;
using testing::GridHeaderBytes;
using testing::TempDir;
using testing::WriteBytes;

// 3 x 2 nodes, one scalar. At step s node 0 moves at (3, 4, 0) x (s + 1), so that the largest
// speed is 5 (s + 1); every node's scalar is s. The data file then holds 6 x 16 = 96 bytes.
constexpr int kSteps = 3;

std::string StepBytes(int s) {
  std::vector<float> values;
  for (int node = 0; node < 6; ++node) {
    const float scale = node == 0 ? static_cast<float>(s + 1) : 0.0f;
    values.insert(values.end(), {3 * scale, 4 * scale, 0.0f, static_cast<float>(s)});
  }
  return FloatBytes(values);
}

std::string WriteSeries(const TempDir& dir) {
  const std::string base = dir.File("flow");
  WriteBytes(base + ".gri", GridHeaderBytes("SN4DB 3 2 1 1 0 0.0") +
                                FloatBytes({0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0, 1, 1, 0, 2, 1, 0}));
  for (int s = 0; s < kSteps; ++s) {
    WriteBytes(base + ".0000" + std::to_string(s) + ".dat", StepBytes(s));
  }
  return base;
}

bool SameNodes(const FlowField& a, const FlowField& b) {
  return a.Nodes().size() == b.Nodes().size() &&
         std::memcmp(a.Nodes().data(), b.Nodes().data(), a.Nodes().size() * sizeof(GridPoint)) ==
             0;
}

TEST(DataSetSeries, StepsOfAFilePairReadBackThroughBothPaths) {
  struct Case {
    const char* what;
    const char* spoil;  // "": none; "remove 1": step 1's data file gone; "cut 2": one byte short
    int steps;          // the count a load answers
    std::vector<int> readable;
    bool gapNotice;
  };
  const std::vector<Case> cases = {
      {"whole", "", 3, {0, 1, 2}, false},
      {"gap", "remove 1", 1, {0}, true},
      {"truncated", "cut 2", 3, {0, 1}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string base = WriteSeries(dir);
    const std::string spoil = c.spoil;
    if (spoil == "remove 1") std::filesystem::remove(base + ".00001.dat");
    if (spoil == "cut 2") std::filesystem::resize_file(base + ".00002.dat", 95);
    const std::string notice = c.gapNotice ? base + ".00001.dat is missing, so the time steps "
                                                    "end at step 0; " +
                                                    base + ".00002.dat and any later steps are "
                                                           "not read"
                                           : "";

    FileStore files;
    DataSetSeries series(base + ".gri", files);
    const LoadResult first = series.Open();
    ASSERT_TRUE(first.Ok()) << first.Message();
    EXPECT_EQ(series.StepCount(), c.steps);
    EXPECT_EQ(first.SeriesNotice(), notice);
    for (int step = 0; step <= kSteps; ++step) {
      SCOPED_TRACE(step);
      const LoadResult loaded =
          LoadDataSet(base + ".00000.dat", files, ReaderSet::Standard(), ReadRequest{step});
      const LoadResult fromSeries = series.Read(step);
      EXPECT_EQ(loaded.StepCount(), c.steps);
      EXPECT_EQ(fromSeries.StepCount(), c.steps);
      EXPECT_EQ(fromSeries.Message(), loaded.Message());
      const bool readable = std::find(c.readable.begin(), c.readable.end(), step) !=
                            c.readable.end();
      ASSERT_EQ(loaded.Ok(), readable) << loaded.Message();
      ASSERT_EQ(fromSeries.Ok(), readable);
      if (readable) {
        EXPECT_EQ(loaded.Field()->Stats().maxSpeed, 5.0f * (step + 1));
        EXPECT_EQ(loaded.Field()->Stats().maxScalar0, static_cast<float>(step));
        EXPECT_EQ(loaded.Field()->Stats().minScalar0, static_cast<float>(step));
        EXPECT_EQ(loaded.Field()->Stats().maxPosition.x, 2.0f);
        EXPECT_TRUE(SameNodes(*loaded.Field(), *fromSeries.Field()));
        continue;
      }
      const std::string stepFile = base + ".0000" + std::to_string(step) + ".dat";
      EXPECT_EQ(loaded.Failure().file, stepFile);
      if (step >= c.steps) {
        const std::string holds = c.steps == 1 ? "one time step" : "3 time steps";
        EXPECT_EQ(loaded.Message(), base + ".gri holds " + holds + ", not step " +
                                        std::to_string(step) +
                                        (notice.empty() ? "" : " (" + notice + ")"));
      } else {
        EXPECT_EQ(loaded.Message(), stepFile + " holds 95 bytes; the header declares 6 nodes "
                                               "of 16 bytes");
      }
    }
  }
}

TEST(DataSetSeries, LaterStepsNeedNeitherTheGridFileNorTheOtherSteps) {
  TempDir dir;
  const std::string base = WriteSeries(dir);
  FileStore files;
  DataSetSeries series(base + ".gri", files);
  const LoadResult first = series.Open();
  ASSERT_TRUE(first.Ok()) << first.Message();
  std::filesystem::remove(base + ".gri");
  std::filesystem::remove(base + ".00001.dat");
  const LoadResult gone = series.Read(1);
  ASSERT_FALSE(gone.Ok());
  EXPECT_EQ(gone.Failure().file, base + ".00001.dat");
  const LoadResult last = series.Read(2);
  ASSERT_TRUE(last.Ok()) << last.Message();
  EXPECT_EQ(last.Field()->Stats().maxSpeed, 15.0f);
  EXPECT_EQ(last.Field()->Nodes()[4].position.x, 1.0f);  // column 1, row 1
  EXPECT_EQ(last.Field()->Nodes()[4].position.y, 1.0f);
}

TEST(DataSetSeries, EveryReaderAnswersTheStepCountTheSameWay) {
  TempDir dir;
  const std::string base = WriteSeries(dir);
  // The same three steps, through the array writers, in rectilinear form.
  GriddedSteps steps;
  for (int s = 0; s < kSteps; ++s) {
    FileStore files;
    const LoadResult loaded = LoadDataSet(base + ".gri", files, ReaderSet::Standard(), {s});
    ASSERT_TRUE(loaded.Ok()) << loaded.Message();
    ASSERT_EQ(steps.Add(*loaded.Field()), "");
  }
  ASSERT_EQ(WriteNpzFile(dir.File("steps.npz"), steps), "");
  ASSERT_EQ(WriteNetcdfFile(dir.File("steps.nc"), steps), "");
  GriddedSteps one;
  const LoadResult only = LoadDataSet(base + ".gri");
  ASSERT_EQ(one.Add(*only.Field()), "");
  ASSERT_EQ(WriteNpzFile(dir.File("one.npz"), one), "");
  ASSERT_EQ(WriteNetcdfFile(dir.File("one.nc"), one), "");

  const std::pair<std::string, int> cases[] = {
      {base + ".gri", 3}, {dir.File("steps.npz"), 3}, {dir.File("steps.nc"), 3},
      {dir.File("one.npz"), 1}, {dir.File("one.nc"), 1},
  };
  for (const auto& [path, count] : cases) {
    SCOPED_TRACE(path);
    FileStore files;
    for (int step = 0; step <= count; ++step) {
      const LoadResult loaded = LoadDataSet(path, files, ReaderSet::Standard(), ReadRequest{step});
      EXPECT_EQ(loaded.Ok(), step < count) << loaded.Message();
      EXPECT_EQ(loaded.StepCount(), count);
      if (loaded.Ok()) {
        EXPECT_EQ(loaded.Field()->Stats().maxSpeed, 5.0f * (step + 1));
      }
    }
    DataSetSeries series(path, files);
    ASSERT_TRUE(series.Open().Ok());
    EXPECT_EQ(series.StepCount(), count);
    const LoadResult last = series.Read(count - 1);
    ASSERT_TRUE(last.Ok()) << last.Message();
    EXPECT_EQ(last.Field()->Stats().maxSpeed, 5.0f * count);
  }
  // A source that cannot be read at all has no count.
  EXPECT_EQ(LoadDataSet(dir.File("none.gri")).StepCount(), 0);
}

/// A file that counts the bytes read from it into `read`.
struct CountedFile final : testing::ForwardingSource {
  CountedFile(std::unique_ptr<ByteSource> file, uint64_t& read)
      : ForwardingSource(std::move(file)), read(read) {}
  std::string ReadExactly(void* buffer, std::size_t count) override {
    read += count;
    return ForwardingSource::ReadExactly(buffer, count);
  }
  uint64_t& read;
};

TEST(DataSetSeries, AStepOfAnArchiveCostsThatStepsBytesNotTheWholeArchives) {
  // 40 steps of 64 x 64 nodes: u and v of one step are 32 KiB of the archive's 1.3 MB. At step
  // s node 0 moves at (3, 4) x (s + 1), the others stand still.
  constexpr int kSide = 64, kMany = 40;
  GriddedSteps steps;
  for (int s = 0; s < kMany; ++s) {
    FieldBuilder builder(FieldShape{kSide, kSide, 1, 0, 0, 0.0f});
    for (int n = 0; n < kSide * kSide; ++n) {
      const float scale = n == 0 ? static_cast<float>(s + 1) : 0.0f;
      builder.Add(GridPoint{{float(n % kSide), float(n / kSide), 0}, {3 * scale, 4 * scale, 0}});
    }
    ASSERT_EQ(steps.Add(*builder.Finish()), "");
  }
  TempDir dir;
  const std::string path = dir.File("long.npz");
  ASSERT_EQ(WriteNpzFile(path, steps), "");
  constexpr uint64_t kStepBytes = 2 * kSide * kSide * 4;
  for (const int step : {0, 17, kMany - 1}) {
    SCOPED_TRACE(step);
    uint64_t read = 0;
    testing::WrappingStore store(
        [&](std::unique_ptr<ByteSource> file) {
          return std::make_unique<CountedFile>(std::move(file), read);
        });
    const LoadResult loaded = LoadDataSet(path, store, ReaderSet::Standard(), ReadRequest{step});
    ASSERT_TRUE(loaded.Ok()) << loaded.Message();
    EXPECT_EQ(loaded.Field()->Stats().maxSpeed, 5.0f * (step + 1));
    // The step, the headers, and the archive's last 64 KiB, where libzip looks for its directory.
    EXPECT_LT(read, kStepBytes + 70'000);
  }
}

TEST(NodeIntake, ALargeFieldIsTheSameWhenItsAccountingRunsOnAnotherThread) {
  // Large enough (2^20 nodes) for a reader to account on a second thread; FromNodes takes the
  // same nodes on one. The pressure is NaN at node 0 and 0 before -0 later on, where the order in
  // which the minimum meets them decides which it keeps.
  constexpr int kSide = 1024;
  std::vector<GridPoint> nodes(std::size_t{kSide} * kSide);
  for (std::size_t n = 0; n < nodes.size(); ++n) {
    const float x = float(n % kSide), y = float(n / kSide);
    nodes[n] = GridPoint{{x, y, 0}, {std::sin(x * 0.01f) * y, std::cos(y * 0.02f) - x, 0},
                         x == 7 ? 0.0f : x == 900 ? -0.0f : y * 0.5f + x};
  }
  nodes[0].scalar0 = std::nanf("");
  const std::unique_ptr<FlowField> alone = FlowField::FromNodes(kSide, kSide, 1, 1, nodes);
  GriddedSteps steps;
  ASSERT_EQ(steps.Add(*alone), "");
  TempDir dir;
  ASSERT_EQ(WriteNpzFile(dir.File("large.npz"), steps), "");
  const LoadResult loaded = LoadDataSet(dir.File("large.npz"));
  ASSERT_TRUE(loaded.Ok()) << loaded.Message();
  const FlowField& read = *loaded.Field();
  EXPECT_TRUE(SameNodes(read, *alone));
  EXPECT_EQ(std::memcmp(&read.Stats(), &alone->Stats(), sizeof(FieldStatistics)), 0);
  EXPECT_TRUE(read.ColumnsShareRowY());
  for (const float at : {0.5f, 511.25f, 1022.75f}) {
    const Vec3 a = read.VelocityAt(at, 1023.0f - at);
    const Vec3 b = alone->VelocityAt(at, 1023.0f - at);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof(Vec3)), 0) << at;
  }
}

}  // namespace
}  // namespace vortana
