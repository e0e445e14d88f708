// Streamline pictures of one Visualize on large fields: regular and evenly spaced placement with
// both integrators, and one long trace round a closed orbit. Counters give the streamlines kept
// and the points drawn, so that time per point can be compared across fields and spacings.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "app/sample_flows.h"
#include "render/occupancy_grid.h"
#include "render/placement.h"
#include "render/streamline.h"

namespace vortana {
namespace {

constexpr int kAreaSizePx = 512;
constexpr int kFieldNodes = 1024;
// One world unit per pixel: dt 0.1 (Delta t 10) then makes steps of a tenth of a pixel and puts
// the Runge-Kutta trial point one pixel ahead. With the samples' own extent of 1 a step would
// span 51 pixels.
constexpr float kExtent = 512.0f;
// Delta t 10 times 0.01f, rounded to float as the Visualize command does.
constexpr float kDialogDt = static_cast<float>(10 * 0.01f);
constexpr Colour kLine = kBlue;

enum FieldId { kVortexStreet, kDoubleGyre, kRankineVortex };

const FlowField& Field(int id) {
  static const std::unique_ptr<FlowField> street = MakeSampleField(
      SampleFlow::VortexStreet, {kFieldNodes, kFieldNodes, kExtent, kExtent});
  static const std::unique_ptr<FlowField> gyre =
      MakeSampleField(SampleFlow::DoubleGyre, {kFieldNodes, kFieldNodes, kExtent, kExtent});
  static const std::unique_ptr<FlowField> vortex =
      MakeSampleField(SampleFlow::RankineVortex, {kFieldNodes, kFieldNodes, kExtent, kExtent});
  switch (id) {
    case kVortexStreet:
      return *street;
    case kDoubleGyre:
      return *gyre;
    default:
      return *vortex;
  }
}

const char* FieldName(int id) {
  switch (id) {
    case kVortexStreet:
      return "vortex street";
    case kDoubleGyre:
      return "double gyre";
    default:
      return "Rankine vortex";
  }
}

TraceSettings SettingsFor(const FlowField& field, int integrator) {
  TraceSettings settings;
  settings.map.width = kAreaSizePx;
  settings.map.height = kAreaSizePx;
  settings.map.scaleX =
      static_cast<float>(static_cast<double>(field.Stats().maxPosition.x) / kAreaSizePx);
  settings.map.scaleY =
      static_cast<float>(static_cast<double>(field.Stats().maxPosition.y) / kAreaSizePx);
  settings.integrator = integrator;
  settings.dt = kDialogDt;
  return settings;
}

void ReportPicture(benchmark::State& state, const std::vector<Streamline>& stored) {
  size_t points = 0;
  for (const Streamline& line : stored) points += line.size();
  state.counters["streamlines"] = static_cast<double>(stored.size());
  state.counters["points"] = static_cast<double>(points);
  state.counters["points_per_s"] = benchmark::Counter(
      static_cast<double>(points) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}

// Arguments: field, integrator, grid size.
void BM_PlaceRegular(benchmark::State& state) {
  const FlowField& field = Field(static_cast<int>(state.range(0)));
  const TraceSettings settings = SettingsFor(field, static_cast<int>(state.range(1)));
  const int gridSize = static_cast<int>(state.range(2));
  Surface area(kAreaSizePx, kAreaSizePx);
  std::vector<Streamline> stored;
  for (auto _ : state) {
    stored.clear();
    PlaceRegularStreamlines(field, settings, gridSize, kLine, area, stored);
    benchmark::DoNotOptimize(stored.data());
  }
  state.SetLabel(FieldName(static_cast<int>(state.range(0))));
  ReportPicture(state, stored);
}
BENCHMARK(BM_PlaceRegular)
    ->Args({kVortexStreet, kIntegratorEuler, 8})
    ->Args({kDoubleGyre, kIntegratorEuler, 8})
    ->Args({kVortexStreet, kIntegratorRungeKutta, 8})
    ->Args({kDoubleGyre, kIntegratorRungeKutta, 8})
    ->Unit(benchmark::kMillisecond);

// Arguments: field, integrator, d_sep, d_test.
void BM_PlaceEvenlySpaced(benchmark::State& state) {
  const FlowField& field = Field(static_cast<int>(state.range(0)));
  const TraceSettings settings = SettingsFor(field, static_cast<int>(state.range(1)));
  const int dSep = static_cast<int>(state.range(2));
  const int dTest = static_cast<int>(state.range(3));
  OccupancyGrid occupancy(kAreaSizePx, kAreaSizePx);
  Surface area(kAreaSizePx, kAreaSizePx);
  std::vector<Streamline> stored;
  for (auto _ : state) {
    stored.clear();
    PlaceEvenlySpacedStreamlines(field, settings, dSep, dTest, occupancy, kLine, area, stored);
    benchmark::DoNotOptimize(stored.data());
  }
  state.SetLabel(FieldName(static_cast<int>(state.range(0))));
  ReportPicture(state, stored);
  // The steps of one placement, counted apart from the timing: a step is one normalised
  // direction and one move, with one velocity sample for Euler and two for Runge-Kutta.
  long long steps = 0;
  const int radius = PlacementTestRadius(dTest);
  const SeedTracer countingTrace = [&](PixelPoint seed, int mode, Streamline& chain) {
    const TraceReport report =
        TraceStreamline(field, settings, seed.x, seed.y, chain, mode, &occupancy, radius);
    steps += report.forward.steps + report.backward.steps;
  };
  std::vector<Streamline> counted;
  PlaceEvenlySpacedStreamlinesWith(countingTrace, {kAreaSizePx / 2, kAreaSizePx / 2}, dSep,
                                   radius, occupancy, kLine, area, counted);
  state.counters["steps"] = static_cast<double>(steps);
  state.counters["steps_per_s"] = benchmark::Counter(
      static_cast<double>(steps) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlaceEvenlySpaced)
    ->Args({kVortexStreet, kIntegratorEuler, 10, 5})
    ->Args({kVortexStreet, kIntegratorRungeKutta, 10, 5})
    ->Args({kDoubleGyre, kIntegratorEuler, 10, 5})
    ->Args({kDoubleGyre, kIntegratorRungeKutta, 10, 5})
    // Sparser pictures: the time per point drawn should hardly change.
    ->Args({kVortexStreet, kIntegratorEuler, 20, 10})
    ->Args({kVortexStreet, kIntegratorEuler, 40, 20})
    ->Args({kDoubleGyre, kIntegratorEuler, 20, 10})
    ->Args({kDoubleGyre, kIntegratorEuler, 40, 20})
    ->Unit(benchmark::kMillisecond);

// The same evenly spaced picture with steps in world units and in drawing-area pixels: at one
// world unit per pixel both make the same steps, so the difference is what stepping in pixels
// costs (each sample's point taken to world units and its velocity to pixels).
// Arguments: field, integrator, steps in pixels (0 or 1).
void BM_StepUnits(benchmark::State& state) {
  const FlowField& field = Field(static_cast<int>(state.range(0)));
  TraceSettings settings = SettingsFor(field, static_cast<int>(state.range(1)));
  settings.stepsInPixels = state.range(2) != 0;
  OccupancyGrid occupancy(kAreaSizePx, kAreaSizePx);
  Surface area(kAreaSizePx, kAreaSizePx);
  std::vector<Streamline> stored;
  for (auto _ : state) {
    stored.clear();
    PlaceEvenlySpacedStreamlines(field, settings, 10, 5, occupancy, kLine, area, stored);
    benchmark::DoNotOptimize(stored.data());
  }
  state.SetLabel(std::string(FieldName(static_cast<int>(state.range(0)))) +
                 (settings.stepsInPixels ? ", pixels" : ", world"));
  ReportPicture(state, stored);
}
BENCHMARK(BM_StepUnits)
    ->ArgsProduct({{kDoubleGyre, kVortexStreet}, {kIntegratorEuler, kIntegratorRungeKutta}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// One trace round the Rankine vortex from 200 pixels above its centre, with steps of a hundredth
// of a pixel: about 125,000 steps per turn before the orbit meets its own first pixels.
// Arguments: integrator, steps in pixels (0 or 1; the same steps at one world unit per pixel).
void BM_TraceClosedOrbit(benchmark::State& state) {
  const FlowField& field = Field(kRankineVortex);
  TraceSettings settings = SettingsFor(field, static_cast<int>(state.range(0)));
  settings.dt = 0.01f;
  settings.stepsInPixels = state.range(1) != 0;
  Streamline chain;
  TraceReport report;
  for (auto _ : state) {
    report = TraceStreamline(field, settings, kAreaSizePx / 2, kAreaSizePx / 2 - 200, chain);
    benchmark::DoNotOptimize(chain.data());
  }
  const double steps = static_cast<double>(report.forward.steps + report.backward.steps);
  state.counters["points"] = static_cast<double>(chain.size());
  state.counters["steps"] = steps;
  state.counters["steps_per_s"] =
      benchmark::Counter(steps * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TraceClosedOrbit)
    ->ArgsProduct({{kIntegratorEuler, kIntegratorRungeKutta}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vortana
