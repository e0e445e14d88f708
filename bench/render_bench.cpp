// Drawing-area operations of one Visualize on a large field: the colour background computed from
// scratch and reused, and the densest arrow plot. The fields lie over the samples' default
// extent, one world unit per drawing-area pixel.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "app/sample_flows.h"
#include "render/arrow_plot.h"
#include "render/background.h"
#include "render/surface.h"

namespace vortana {
namespace {

constexpr int kAreaSizePx = 512;
// Four nodes per pixel each way: every pixel has a node of its own.
constexpr int kStreetNodes = 2048;
// Two nodes per pixel each way, as in the side-by-side comparison with the peers.
constexpr int kComparedNodes = 1024;
// The sample program's default size: four pixels per cell each way.
constexpr int kCoarseStreetNodes = 128;

// The sample flows over their default extent (512 world units each way, one per pixel), made once
// per flow and size.
const FlowField& Sample(SampleFlow flow, int nodes) {
  static std::map<std::pair<SampleFlow, int>, std::unique_ptr<FlowField>> made;
  std::unique_ptr<FlowField>& field = made[{flow, nodes}];
  if (!field) field = MakeSampleField(flow, {nodes, nodes});
  return *field;
}

const FlowField& Street(int nodes = kStreetNodes) {
  return Sample(SampleFlow::VortexStreet, nodes);
}

PixelMap DrawingMapFor(const FlowField& field) {
  PixelMap map;
  map.scaleX = static_cast<float>(static_cast<double>(field.Stats().maxPosition.x) / kAreaSizePx);
  map.scaleY = static_cast<float>(static_cast<double>(field.Stats().maxPosition.y) / kAreaSizePx);
  map.width = kAreaSizePx;
  map.height = kAreaSizePx;
  return map;
}

BackgroundLimits LimitsOf(const FlowField& field) {
  const FieldStatistics& s = field.Stats();
  return {s.maxSpeed, s.minScalar0, s.maxScalar0, s.minScalar1, s.maxScalar1};
}

void BM_DrawBackgroundComputed(benchmark::State& state) {
  const FlowField& field =
      Sample(static_cast<SampleFlow>(state.range(0)), static_cast<int>(state.range(2)));
  const PixelMap map = DrawingMapFor(field);
  const ColourRamp ramp = BuildColourRamp();
  const int colourBy = static_cast<int>(state.range(1));
  Surface area(kAreaSizePx, kAreaSizePx);
  std::vector<Colour> buffer(static_cast<size_t>(kAreaSizePx) * kAreaSizePx, kBlack);
  for (auto _ : state) {
    bool valid = false;
    DrawBackground(field, map, colourBy, LimitsOf(field), ramp, valid, buffer, area);
    benchmark::DoNotOptimize(area.Data());
  }
  state.SetItemsProcessed(state.iterations() * kAreaSizePx * kAreaSizePx);
}
// Arguments: flow, colour-by, nodes across and down.
BENCHMARK(BM_DrawBackgroundComputed)
    ->ArgNames({"flow", "by", "nodes"})
    ->Args({static_cast<int>(SampleFlow::VortexStreet), kColourByFlow, kStreetNodes})
    ->Args({static_cast<int>(SampleFlow::VortexStreet), kColourByPressure, kStreetNodes})
    ->Args({static_cast<int>(SampleFlow::DoubleGyre), kColourByFlow, kStreetNodes})
    ->Args({static_cast<int>(SampleFlow::VortexStreet), kColourByFlow, kComparedNodes})
    ->Args({static_cast<int>(SampleFlow::DoubleGyre), kColourByFlow, kComparedNodes})
    ->Args({static_cast<int>(SampleFlow::VortexStreet), kColourByFlow, kCoarseStreetNodes})
    ->Unit(benchmark::kMillisecond);

void BM_DrawBackgroundReused(benchmark::State& state) {
  const FlowField& field = Street();
  const PixelMap map = DrawingMapFor(field);
  const ColourRamp ramp = BuildColourRamp();
  Surface area(kAreaSizePx, kAreaSizePx);
  std::vector<Colour> buffer(static_cast<size_t>(kAreaSizePx) * kAreaSizePx, kBlack);
  bool valid = false;
  DrawBackground(field, map, kColourByFlow, LimitsOf(field), ramp, valid, buffer, area);
  for (auto _ : state) {
    DrawBackground(field, map, kColourByFlow, LimitsOf(field), ramp, valid, buffer, area);
    benchmark::DoNotOptimize(area.Data());
  }
  state.SetItemsProcessed(state.iterations() * kAreaSizePx * kAreaSizePx);
}
BENCHMARK(BM_DrawBackgroundReused)->Unit(benchmark::kMillisecond);

void BM_DrawArrowPlot(benchmark::State& state) {
  const FlowField& field = Street();
  const PixelMap map = DrawingMapFor(field);
  const ArrowSettings settings{static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                               field.Stats().maxSpeed};
  Surface area(kAreaSizePx, kAreaSizePx);
  std::vector<ArrowRecord> arrows;
  for (auto _ : state) {
    arrows.clear();
    DrawArrowPlot(field, map, settings, kBlue, area, arrows);
    benchmark::DoNotOptimize(arrows.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(arrows.size()));
}
// Grid size 8 (4096 arrows), scaled by max speed and normalised.
BENCHMARK(BM_DrawArrowPlot)->Args({8, 0})->Args({8, 1})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vortana
