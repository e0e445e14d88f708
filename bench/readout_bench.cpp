// The status bar's readout follows every pointer move over the drawing area: one sample, one
// node search and the text, which must stay well below a frame (50 us is the budget).

#include <benchmark/benchmark.h>

#include "app/readout.h"
#include "app/sample_flows.h"

namespace vortana {
namespace {

void BM_ReadoutAtPointer(benchmark::State& state) {
  SampleOptions options;
  options.width = static_cast<int>(state.range(0));
  options.height = static_cast<int>(state.range(0));
  const auto field = MakeSampleField(SampleFlow::DoubleGyre, options);
  // The dialog's map for this field, as a load sets it up.
  PixelMap map;
  map.scaleX = static_cast<float>(static_cast<double>(field->Stats().maxPosition.x) / 512);
  map.scaleY = static_cast<float>(static_cast<double>(field->Stats().maxPosition.y) / 512);
  int step = 0;
  for (auto _ : state) {
    // A pointer wandering over the area, so that no search is answered from a cache.
    const int px = (step * 37) % 512;
    const int py = (step * 91) % 512;
    ++step;
    benchmark::DoNotOptimize(ReadoutText(ReadoutAt(field.get(), map, px, py)));
  }
}
BENCHMARK(BM_ReadoutAtPointer)->Arg(128)->Arg(1024)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vortana
