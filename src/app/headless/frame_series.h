#pragma once

#include <ostream>

#include "render_options.h"

namespace vortana {

/// Draws the steps of --frames, each exactly as a single --step render draws it, on --jobs
/// threads at once, and writes them in step order: each frame's PNG and JSON description, and
/// the animation. A frame that cannot be drawn or written ends the series; the frames before it
/// stay written. Returns the exit status.
int RunFrames(const RenderOptions& options, std::ostream& out);

}  // namespace vortana
