#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "app/visualizer_dialog.h"
#include "headless_platform.h"
#include "json_description.h"
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

/// One render's own window and dialog, drawn once and then written.
struct StepRender {
  explicit StepRender(int drawingSize = kDrawingWidth) : platform(drawingSize) {}
  HeadlessPlatform platform;
  VisualizerDialog dialog{platform};
  int stepCount = 1;  // the steps the data set holds, once loaded
};

/// Runs the dialog as RunRender does, up to the picture: loads step `step` (nullopt: as the
/// dialog's own load does), writes the settings, Visualize, probes, repaint. Returns kExitSuccess
/// or the status of a data set that cannot be drawn, having said why.
int DrawStep(const RenderOptions& options, std::optional<int> step, StepRender& render);

/// The first part of DrawStep, before the load: the settings that no control holds, start-up,
/// the first paint and the line colour chosen on the swatch.
void StartHeadless(const RenderOptions& options, StepRender& render);

/// What drawing a loaded field came to: kExitSuccess, or the status and what a user is told
/// (without the program's name; empty when the dialog's own message boxes said it).
struct DrawOutcome {
  int status = kExitSuccess;
  std::string message;
};
/// The last part of DrawStep, with the field in the dialog: the options typed into the controls,
/// Visualize, the probes and the repaint. `notice` is the load's, for a field with no cell.
DrawOutcome DrawLoaded(const RenderOptions& options, StepRender& render,
                       const std::string& notice);

/// Why the outputs of `options` may not be written, or nothing: an output that would overwrite
/// the data set, or wait for ever on a pipe, is refused before anything is done. Links are
/// followed: a picture name that links to the grid file is the grid file.
std::string RefusedOutput(const RenderOptions& options);

/// The keys the description of a drawn step holds beyond the ones every description has.
DescriptionKeys KeysOfDescription(const RenderOptions& options, const StepRender& render,
                                  std::optional<int> step);

/// Where one drawn step goes. A format chosen by the name of `picture` is chosen here.
struct StepOutputs {
  std::string picture;      // the drawing area; empty: none
  std::string dump;         // the JSON description; "-" `out`; empty: none
  std::optional<int> step;  // the step asked for, named in the description
};

/// Writes a drawn step; returns kExitSuccess, or kExitUnusableData having said what failed.
int WriteStepOutputs(const RenderOptions& options, const StepOutputs& outputs, StepRender& render,
                     std::ostream& out);

/// The steps the data set holds, read through step 0; nullopt when it does not load.
std::optional<int> CountSteps(const std::string& dataset);
/// "DATASET holds N time steps (0 to N-1); there is no step K".
std::string StepBeyondText(const std::string& dataset, int step, int steps);

}  // namespace vortana
