// Evenly spaced placement on drawing areas of growing size: the cost per pixel drawn should stay
// about the same, so a picture four or eight times as wide costs its pixels and no more. The
// field spans the area at one world unit a pixel, so every size takes the same steps per pixel.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "app/sample_flows.h"
#include "render/occupancy_grid.h"
#include "render/placement.h"
#include "render/surface.h"
#include "render/world_window.h"

namespace vortana {
namespace {

void BM_EvenlySpacedAtSize(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const float extent = static_cast<float>(size);
  const std::unique_ptr<FlowField> field =
      MakeSampleField(SampleFlow::DoubleGyre, {256, 256, extent, extent});
  TraceSettings trace;
  trace.map = MapOfWindow({0, 0, extent, extent}, {size, size}, false);
  trace.dt = static_cast<float>(10 * static_cast<double>(0.01f));
  Surface area(size, size);
  OccupancyGrid occupancy(size, size);
  std::vector<Streamline> stored;
  size_t pixels = 0;
  for (auto _ : state) {
    stored.clear();
    PlaceEvenlySpacedStreamlines(*field, trace, 20, 10, occupancy, kBlue, area, stored);
    pixels = 0;
    for (const Streamline& s : stored) pixels += s.size();
    benchmark::DoNotOptimize(stored.data());
  }
  state.counters["pixels"] = static_cast<double>(pixels);
  state.counters["us_per_pixel"] = benchmark::Counter(
      static_cast<double>(pixels) * 1e-6 * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EvenlySpacedAtSize)->Arg(512)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vortana
