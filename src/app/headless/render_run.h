#pragma once

#include <ostream>

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

}  // namespace vortana
