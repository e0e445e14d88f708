// Loading a data set against reading its bytes raw, and the cost of one sample against the
// grid's size.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "data/base_name.h"
#include "data/flow_field.h"
#include "data/flow_file_writer.h"
#include "file_reads.h"

namespace vortana {
namespace {

/// 2048 x 2048 nodes with two scalars: a 48 MiB grid file and an 80 MiB data file.
constexpr int kLoadSide = 2048;

/// Nodes of a rectilinear grid over [0, 1] x [0, 1] with a swirling velocity.
std::vector<GridPoint> SwirlNodes(int width, int height) {
  std::vector<GridPoint> nodes(static_cast<std::size_t>(width) * height);
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      GridPoint& node = nodes[static_cast<std::size_t>(r) * width + c];
      const float x = static_cast<float>(c) / static_cast<float>(width - 1);
      const float y = static_cast<float>(r) / static_cast<float>(height - 1);
      node.position = {x, y, 0.0f};
      node.velocity = {0.5f - y, x - 0.5f, 0.0f};
      node.scalar0 = x * y;
      node.scalar1 = x - y;
    }
  }
  return nodes;
}

/// The data set on disk, written once per run and removed at exit.
class DataSetOnDisk {
 public:
  DataSetOnDisk() {
    folder_ =
        std::filesystem::temp_directory_path() / ("vortana-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    baseName_ = (folder_ / "large").string();
    error_ =
        WriteFlowFiles(baseName_, kLoadSide, kLoadSide, 1, 2, SwirlNodes(kLoadSide, kLoadSide));
  }
  ~DataSetOnDisk() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  const std::string& BaseName() const { return baseName_; }
  const std::string& Error() const { return error_; }
  int64_t Bytes() const {
    return static_cast<int64_t>(std::filesystem::file_size(GridFileName(baseName_)) +
                                std::filesystem::file_size(DataFileName(baseName_)));
  }

 private:
  std::filesystem::path folder_;
  std::string baseName_;
  std::string error_;
};

const DataSetOnDisk& LargeDataSet() {
  static const DataSetOnDisk dataSet;
  return dataSet;
}

void BM_LoadFlowField(benchmark::State& state) {
  const DataSetOnDisk& dataSet = LargeDataSet();
  if (!dataSet.Error().empty()) {
    state.SkipWithError(dataSet.Error().c_str());
    return;
  }
  for (auto _ : state) {
    const LoadResult loaded = FlowField::Load(dataSet.BaseName());
    if (!loaded.Ok()) {
      state.SkipWithError(loaded.Message().c_str());
      return;
    }
    benchmark::DoNotOptimize(loaded.Field()->Stats().maxSpeed);
  }
  state.SetBytesProcessed(state.iterations() * dataSet.Bytes());
}
BENCHMARK(BM_LoadFlowField)->Unit(benchmark::kMillisecond)->UseRealTime();

/// The floor for loading: each file read into fresh memory with one large read.
void BM_ReadFilesRaw(benchmark::State& state) {
  const DataSetOnDisk& dataSet = LargeDataSet();
  if (!dataSet.Error().empty()) {
    state.SkipWithError(dataSet.Error().c_str());
    return;
  }
  const std::string names[] = {GridFileName(dataSet.BaseName()), DataFileName(dataSet.BaseName())};
  for (auto _ : state) {
    for (const std::string& name : names) {
      if (!ReadIntoFreshMemory(name)) {
        state.SkipWithError("cannot read the data set");
        return;
      }
    }
  }
  state.SetBytesProcessed(state.iterations() * dataSet.Bytes());
}
BENCHMARK(BM_ReadFilesRaw)->Unit(benchmark::kMillisecond)->UseRealTime();

/// A square field of `side` x `side` nodes and random points inside its domain.
struct SamplingSetup {
  explicit SamplingSetup(int side)
      : field(FlowField::FromNodes(side, side, 1, 2, SwirlNodes(side, side))) {
    std::mt19937 rng(side);
    std::uniform_real_distribution<float> inside(0.0f, 1.0f);
    points.resize(1 << 16);
    for (auto& point : points) point = {inside(rng), inside(rng)};
  }
  std::unique_ptr<FlowField> field;
  std::vector<std::pair<float, float>> points;
};

void BM_VelocityAt(benchmark::State& state) {
  const SamplingSetup setup(static_cast<int>(state.range(0)));
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& [x, y] = setup.points[i++ & (setup.points.size() - 1)];
    benchmark::DoNotOptimize(setup.field->VelocityAt(x, y));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VelocityAt)->Arg(256)->Arg(1024)->Arg(4096);

/// Points a tenth of a cell apart along a circle round the middle of the unit square, as a trace
/// samples them, and a second point one cell further on, as Runge-Kutta's trial point lies.
std::vector<std::pair<float, float>> PathPoints(int side) {
  const double cell = 1.0 / (side - 1);
  const double radius = 0.3;
  const int count = static_cast<int>(2 * 3.141592653589793 * radius / (cell / 10));
  std::vector<std::pair<float, float>> points;
  for (int i = 0; i < count; ++i) {
    const double a = 2 * 3.141592653589793 * i / count;
    points.emplace_back(static_cast<float>(0.5 + radius * std::cos(a)),
                        static_cast<float>(0.5 + radius * std::sin(a)));
    const double b = a + cell / radius;
    points.emplace_back(static_cast<float>(0.5 + radius * std::cos(b)),
                        static_cast<float>(0.5 + radius * std::sin(b)));
  }
  return points;
}

/// Samples along a path, as a trace takes them: one hint for the points on the path and one for
/// the trial points. Arguments: side, 1 to pass the hints (0 samples without).
void BM_VelocityAtAlongPath(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const bool hinted = state.range(1) != 0;
  const std::unique_ptr<FlowField> field =
      FlowField::FromNodes(side, side, 1, 2, SwirlNodes(side, side));
  const std::vector<std::pair<float, float>> points = PathPoints(side);
  FlowField::CellHint onPath;
  FlowField::CellHint trial;
  std::size_t i = 0;
  for (auto _ : state) {
    if (i == points.size()) i = 0;
    const auto& [x, y] = points[i];
    FlowField::CellHint& hint = i % 2 == 0 ? onPath : trial;
    benchmark::DoNotOptimize(hinted ? field->VelocityAt(x, y, hint) : field->VelocityAt(x, y));
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VelocityAtAlongPath)
    ->Args({256, 1})
    ->Args({1024, 0})
    ->Args({1024, 1})
    ->Args({4096, 1});

void BM_NodeAt(benchmark::State& state) {
  const SamplingSetup setup(static_cast<int>(state.range(0)));
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& [x, y] = setup.points[i++ & (setup.points.size() - 1)];
    benchmark::DoNotOptimize(&setup.field->NodeAt(x, y));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NodeAt)->Arg(256)->Arg(1024)->Arg(4096);

}  // namespace
}  // namespace vortana
