// Loading a 2048 x 2048 float32 field from an uncompressed NetCDF file (64-bit offset, and
// NetCDF-4) against one raw read of the same file's bytes, with the file in the page cache
// (cold:0) and read from the disk (cold:1).

#include <benchmark/benchmark.h>
#include <netcdf.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/field_reader.h"
#include "data/flow_field.h"
#include "data/gridded_steps.h"
#include "data/array_writers.h"
#include "file_reads.h"

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
  /// The same field as a NetCDF-4 file without compression, next to the other.
  std::string WriteNetcdf4() const {
    const std::string path = (folder_ / "large4.nc").string();
    std::vector<float> axis(kSide), u(std::size_t{kSide} * kSide), v(u.size());
    for (int i = 0; i < kSide; ++i) axis[i] = static_cast<float>(i) / (kSide - 1);
    for (std::size_t k = 0; k < u.size(); ++k) {
      u[k] = 0.5f - axis[k / kSide];
      v[k] = axis[k % kSide] - 0.5f;
    }
    int ncid = 0, dims[2] = {0, 0}, x = 0, y = 0, uId = 0, vId = 0;
    const bool written =
        nc_create(path.c_str(), NC_NETCDF4 | NC_CLOBBER, &ncid) == NC_NOERR &&
        nc_def_dim(ncid, "y", kSide, &dims[0]) == NC_NOERR &&
        nc_def_dim(ncid, "x", kSide, &dims[1]) == NC_NOERR &&
        nc_def_var(ncid, "y", NC_FLOAT, 1, &dims[0], &y) == NC_NOERR &&
        nc_def_var(ncid, "x", NC_FLOAT, 1, &dims[1], &x) == NC_NOERR &&
        nc_def_var(ncid, "u", NC_FLOAT, 2, dims, &uId) == NC_NOERR &&
        nc_def_var(ncid, "v", NC_FLOAT, 2, dims, &vId) == NC_NOERR && nc_enddef(ncid) == NC_NOERR &&
        nc_put_var_float(ncid, y, axis.data()) == NC_NOERR &&
        nc_put_var_float(ncid, x, axis.data()) == NC_NOERR &&
        nc_put_var_float(ncid, uId, u.data()) == NC_NOERR &&
        nc_put_var_float(ncid, vId, v.data()) == NC_NOERR;
    return nc_close(ncid) == NC_NOERR && written ? path : std::string();
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
    PrepareRead(state, file.Path());
    const LoadResult loaded = LoadDataSet(file.Path());
    if (!loaded.Ok()) {
      state.SkipWithError(loaded.Message().c_str());
      return;
    }
    benchmark::DoNotOptimize(loaded.Field()->Stats().maxSpeed);
  }
  state.SetBytesProcessed(state.iterations() * file.Bytes());
}
BENCHMARK(BM_LoadNetcdf)->Apply(CachedAndCold);

const std::string& LargeFile4() {
  static const std::string path = LargeFile().WriteNetcdf4();
  return path;
}

void BM_LoadNetcdf4(benchmark::State& state) {
  const std::string& path = LargeFile4();
  if (path.empty()) {
    state.SkipWithError("cannot write the NetCDF-4 file");
    return;
  }
  for (auto _ : state) {
    PrepareRead(state, path);
    const LoadResult loaded = LoadDataSet(path);
    if (!loaded.Ok()) {
      state.SkipWithError(loaded.Message().c_str());
      return;
    }
    benchmark::DoNotOptimize(loaded.Field()->Stats().maxSpeed);
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_LoadNetcdf4)->Apply(CachedAndCold);

void BM_ReadNetcdf4Raw(benchmark::State& state) {
  if (LargeFile4().empty()) {
    state.SkipWithError("cannot write the NetCDF-4 file");
    return;
  }
  ReadRawFile(state, LargeFile4());
}
BENCHMARK(BM_ReadNetcdf4Raw)->Apply(CachedAndCold);

void BM_ReadNetcdfRaw(benchmark::State& state) {
  if (!LargeFile().Error().empty()) {
    state.SkipWithError(LargeFile().Error().c_str());
    return;
  }
  ReadRawFile(state, LargeFile().Path());
}
BENCHMARK(BM_ReadNetcdfRaw)->Apply(CachedAndCold);

}  // namespace
}  // namespace vortana
