// The dialog's repaint after the densest arrow plot over a background, and vortana-render end to
// end as a separate process, both on a 2048 x 2048 vortex street.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/control_ids.h"
#include "app/headless/headless_platform.h"
#include "app/sample_flows.h"
#include "app/visualizer_dialog.h"
#include "data/flow_file_writer.h"

namespace vortana {
namespace {

constexpr int kStreetNodes = 2048;
const SampleOptions kStreet{kStreetNodes, kStreetNodes};

// The arrow plot at the smallest grid size (4096 arrows) over the speed background, as a user
// sets it in the dialog.
void ShowDensestArrowsOverSpeed(Platform& platform) {
  platform.SetChecked(kIdArrowPlot, true);
  platform.SetChecked(kIdStreamlines, false);
  platform.SetControlText(kIdGridSize, "8");
  platform.SetChecked(kIdBackground, true);
}

void BM_RepaintAfterArrowPlot(benchmark::State& state) {
  HeadlessPlatform platform;
  VisualizerDialog dialog(platform);
  dialog.OnInitDialog();
  dialog.UseField(MakeSampleField(SampleFlow::VortexStreet, kStreet), "vortex-street.gri");
  ShowDensestArrowsOverSpeed(platform);
  dialog.OnVisualize();
  if (dialog.StoredArrows().size() != 4096 || !dialog.BackgroundValid()) {
    state.SkipWithError("the arrow plot over the background was not drawn");
    return;
  }
  for (auto _ : state) {
    dialog.Repaint();
    benchmark::DoNotOptimize(dialog.DrawingArea().Data());
  }
  state.counters["arrows"] = static_cast<double>(dialog.StoredArrows().size());
}
BENCHMARK(BM_RepaintAfterArrowPlot)->Unit(benchmark::kMicrosecond);

// The Visualize command itself, with the background computed afresh each time (a click on a
// colour-by button makes the stored colours stale).
void BM_VisualizeArrowPlotOverSpeed(benchmark::State& state) {
  HeadlessPlatform platform;
  VisualizerDialog dialog(platform);
  dialog.OnInitDialog();
  dialog.UseField(MakeSampleField(SampleFlow::VortexStreet, kStreet), "vortex-street.gri");
  ShowDensestArrowsOverSpeed(platform);
  for (auto _ : state) {
    dialog.OnColourByClicked();
    dialog.OnVisualize();
    benchmark::DoNotOptimize(dialog.DrawingArea().Data());
  }
}
BENCHMARK(BM_VisualizeArrowPlotOverSpeed)->Unit(benchmark::kMillisecond);

// The renderer sits in the build tree beside the benchmarks: <build>/bench/dialog_bench and
// <build>/src/app/vortana-render. VORTANA_RENDER_EXE overrides that.
std::filesystem::path RenderProgram() {
  if (const char* given = std::getenv("VORTANA_RENDER_EXE")) return given;
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return self.parent_path().parent_path() / "src" / "app" / "vortana-render";
}

// A folder with the vortex street as a file pair, removed when the benchmark ends.
class StreetFiles {
 public:
  StreetFiles()
      : folder_(std::filesystem::temp_directory_path() /
                ("vortana-dialog-bench-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(folder_);
    error_ = WriteFlowFiles((folder_ / "vortex-street").string(), kStreetNodes, kStreetNodes, 1,
                            kSampleScalarCount, MakeSampleNodes(SampleFlow::VortexStreet, kStreet));
  }
  ~StreetFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  StreetFiles(const StreetFiles&) = delete;
  StreetFiles& operator=(const StreetFiles&) = delete;

  const std::string& Error() const { return error_; }
  std::filesystem::path File(const std::string& name) const { return folder_ / name; }

 private:
  std::filesystem::path folder_;
  std::string error_;
};

void BM_RenderProgramEndToEnd(benchmark::State& state) {
  const std::filesystem::path program = RenderProgram();
  if (program.empty() || !std::filesystem::exists(program)) {
    state.SkipWithError("vortana-render not found; set VORTANA_RENDER_EXE");
    return;
  }
  const StreetFiles files;
  if (!files.Error().empty()) {
    state.SkipWithError(files.Error().c_str());
    return;
  }
  const std::string command = "'" + program.string() + "' '" +
                              files.File("vortex-street.gri").string() +
                              "' --plot arrows --grid-size 8 --background flow -o '" +
                              files.File("street.png").string() + "'";
  for (auto _ : state) {
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("vortana-render failed");
      break;
    }
  }
  // Position in the grid file; velocity and scalars in the data file; four bytes each.
  const double bytesPerNode = (3 + 3 + kSampleScalarCount) * 4.0;
  state.counters["files_MB"] = bytesPerNode * kStreetNodes * kStreetNodes / 1e6;
}
BENCHMARK(BM_RenderProgramEndToEnd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
}  // namespace vortana
