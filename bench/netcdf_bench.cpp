// Loading a 2048 x 2048 float32 field from an uncompressed NetCDF file against one raw read of
// the same file's bytes.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "data/field_reader.h"
#include "data/flow_field.h"
#include "data/gridded_steps.h"
#include "data/array_writers.h"

namespace vortana {
namespace {

constexpr int kSide = 2048;

/// u and v over a 2048 x 2048 grid as vortana-convert writes it (64-bit offset format), once
/// per run, removed at exit.
class NetcdfOnDisk {
 public:
  NetcdfOnDisk() {
    folder_ = std::filesystem::temp_directory_path() /
              ("vortana-nc-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "large.nc").string();
    std::vector<GridPoint> nodes(static_cast<std::size_t>(kSide) * kSide);
    for (int r = 0; r < kSide; ++r) {
      for (int c = 0; c < kSide; ++c) {
        GridPoint& node = nodes[static_cast<std::size_t>(r) * kSide + c];
        const float x = static_cast<float>(c) / (kSide - 1);
        const float y = static_cast<float>(r) / (kSide - 1);
        node.position = {x, y, 0.0f};
        node.velocity = {0.5f - y, x - 0.5f, 0.0f};
      }
    }
    GriddedSteps steps;
    error_ = steps.Add(*FlowField::FromNodes(kSide, kSide, 1, 0, std::move(nodes)));
    if (error_.empty()) error_ = WriteNetcdfFile(path_, steps);
  }
  ~NetcdfOnDisk() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  const std::string& Path() const { return path_; }
  const std::string& Error() const { return error_; }
  int64_t Bytes() const { return static_cast<int64_t>(std::filesystem::file_size(path_)); }

 private:
  std::filesystem::path folder_;
  std::string path_;
  std::string error_;
};

const NetcdfOnDisk& LargeFile() {
  static const NetcdfOnDisk file;
  return file;
}

void BM_LoadNetcdf(benchmark::State& state) {
  const NetcdfOnDisk& file = LargeFile();
  if (!file.Error().empty()) {
    state.SkipWithError(file.Error().c_str());
    return;
  }
  for (auto _ : state) {
    const LoadResult loaded = LoadDataSet(file.Path());
    if (!loaded.Ok()) {
      state.SkipWithError(loaded.Message().c_str());
      return;
    }
    benchmark::DoNotOptimize(loaded.Field()->Stats().maxSpeed);
  }
  state.SetBytesProcessed(state.iterations() * file.Bytes());
}
BENCHMARK(BM_LoadNetcdf)->Unit(benchmark::kMillisecond)->UseRealTime();

/// The floor: the file read into fresh memory with one large read.
void BM_ReadNetcdfRaw(benchmark::State& state) {
  const NetcdfOnDisk& file = LargeFile();
  if (!file.Error().empty()) {
    state.SkipWithError(file.Error().c_str());
    return;
  }
  for (auto _ : state) {
    const std::size_t size = static_cast<std::size_t>(file.Bytes());
    std::unique_ptr<char[]> bytes(new char[size]);
    std::FILE* stream = std::fopen(file.Path().c_str(), "rb");
    if (!stream || std::fread(bytes.get(), 1, size, stream) != size) {
      if (stream) std::fclose(stream);
      state.SkipWithError("cannot read the file");
      return;
    }
    std::fclose(stream);
    benchmark::DoNotOptimize(bytes.get());
  }
  state.SetBytesProcessed(state.iterations() * file.Bytes());
}
BENCHMARK(BM_ReadNetcdfRaw)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vortana
