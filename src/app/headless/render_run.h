#pragma once

#include <ostream>
#include <string>

#include "app/visualizer_dialog.h"
#include "headless_platform.h"
#include "render_options.h"

namespace vortana {

/// Exit statuses of vortana-render.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUnusableData = 1;
inline constexpr int kExitUsage = 2;

/// Runs the dialog headless as the window would (start-up, first repaint, load, the options
/// written into the controls, Visualize, probes, repaint) and writes the PNG and the JSON
/// description. `out` receives a JSON description dumped to "-"; messages go to standard error.
int RunRender(const RenderOptions& options, std::ostream& out);

/// Why the outputs of `options` may not be written, or nothing: an output that would overwrite
/// the data set, or wait for ever on a pipe, is refused before anything is done. Links are
/// followed: a PNG name that links to the grid file is the grid file.
std::string RefusedOutput(const RenderOptions& options);

/// The dialog without a window, started as vortana-render starts it: the settings that no
/// control holds, start-up, the first paint and the line colour chosen on the swatch. The
/// program and the Python module draw through it alike, so their pictures are the same.
class HeadlessDialog {
 public:
  explicit HeadlessDialog(const RenderOptions& options);
  HeadlessDialog(const HeadlessDialog&) = delete;
  HeadlessDialog& operator=(const HeadlessDialog&) = delete;

  /// Why the field in the dialog cannot be drawn (it has no cell), naming `dataset` and, when
  /// the load left one, its notice; empty when it can.
  std::string NothingToDraw(const std::string& dataset, const std::string& notice) const;
  /// With a field in the dialog: the options typed into the controls, Visualize, the probes and
  /// the repaint. False when Visualize refused (its message is in Platform().Messages()).
  bool Draw(const RenderOptions& options);
  /// The PNG and the JSON description that `options` ask for, as vortana-render writes them;
  /// messages go to standard error. False when one could not be written.
  bool WriteOutputs(const RenderOptions& options, std::ostream& out);

  HeadlessPlatform& Platform() { return platform_; }
  VisualizerDialog& Dialog() { return dialog_; }

 private:
  HeadlessPlatform platform_;
  VisualizerDialog dialog_{platform_};
};

}  // namespace vortana
