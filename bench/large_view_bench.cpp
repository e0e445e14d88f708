// A zoom step of the large view: the placement a wheel notch starts, evenly spaced Euler
// streamlines at 1024 x 1024 view pixels on a 1024 x 1024 Rankine vortex and vortex street, from the request to the
// picture ready (what the window waits for before it swaps the picture in).
#include <benchmark/benchmark.h>

#include <memory>

#include "app/headless/headless_platform.h"
#include "app/headless/large_view.h"
#include "app/sample_flows.h"
#include "app/visualizer_dialog.h"
#include "render/view_navigation.h"

namespace vortana {
namespace {

constexpr int kNodes = 1024;
constexpr int kViewPixels = 1024;

// Arguments: step units (StepUnits), background on (1) or off (0), the flow (SampleFlow).
void BM_ZoomStepEvenlySpacedEuler(benchmark::State& state) {
  HeadlessPlatform platform;
  VisualizerDialog dialog(platform);
  dialog.OnInitDialog();
  dialog.UseField(MakeSampleField(static_cast<SampleFlow>(state.range(2)), {kNodes, kNodes}),
                  "sample.gri");
  platform.SetChecked(kIdArrowPlot, false);
  platform.SetChecked(kIdStreamlines, true);
  platform.SetChecked(kIdEvenlySpaced, true);
  platform.SetChecked(kIdBackground, state.range(1) != 0);
  dialog.MutableSettings().stepUnits = static_cast<int>(state.range(0));
  if (!dialog.ReadSettings()) {
    state.SkipWithError("the settings were refused");
    return;
  }
  // One notch in about a point off the centre, as the wheel gives it.
  const WorldWindow home = dialog.Window();
  const AreaSize area = AreaOfWindow(home, kViewPixels, true);
  const WorldWindow zoomed = ZoomAbout(home, area, dialog.Map().yUp, 600, 400, 1.25,
                                       ZoomLimitsOf(*dialog.Field(), home));
  size_t streamlines = 0;
  for (auto _ : state) {
    const std::unique_ptr<ViewPicture> view =
        DrawView(ViewRequestOf(dialog, zoomed, kViewPixels), nullptr);
    streamlines = view->Dialog().StoredStreamlines().size();
    benchmark::DoNotOptimize(view->Shown().Data());
  }
  if (streamlines == 0) state.SkipWithError("no streamline was placed");
  state.counters["streamlines"] = static_cast<double>(streamlines);
}
BENCHMARK(BM_ZoomStepEvenlySpacedEuler)
    ->ArgNames({"units", "background", "flow"})
    ->Args({static_cast<int>(StepUnits::Auto), 0, static_cast<int>(SampleFlow::RankineVortex)})
    ->Args({static_cast<int>(StepUnits::Pixels), 0, static_cast<int>(SampleFlow::RankineVortex)})
    ->Args({static_cast<int>(StepUnits::Pixels), 1, static_cast<int>(SampleFlow::RankineVortex)})
    ->Args({static_cast<int>(StepUnits::Auto), 0, static_cast<int>(SampleFlow::VortexStreet)})
    ->Args({static_cast<int>(StepUnits::Pixels), 1, static_cast<int>(SampleFlow::VortexStreet)})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vortana
