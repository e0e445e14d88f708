#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/flow_field.h"

namespace vortana {

/// Analytic 2-D flows that give a new user something to open. Every one is laid on a rectilinear
/// grid over [0, extentX] x [0, extentY] (the drawing area maps world 0 to pixel 0), depth 1,
/// scalar count 2: scalar 0 the pressure, scalar 1 the vorticity.
enum class SampleFlow { Uniform, RankineVortex, DoubleGyre, Cylinder, VortexStreet, SpiralSink };

struct SampleOptions {
  int width = 128;   // nodes across, 2..4096
  int height = 128;  // nodes down, 2..4096
  float extentX = 1.0f;
  float extentY = 1.0f;
};

/// Every sample flow, in a fixed order.
const std::vector<SampleFlow>& AllSampleFlows();
/// The file-name stem of a flow ("uniform", "rankine-vortex", "double-gyre", "cylinder",
/// "vortex-street", "spiral-sink").
std::string SampleFlowName(SampleFlow flow);
std::optional<SampleFlow> SampleFlowByName(const std::string& name);

/// The nodes in node order (columns fastest).
std::vector<GridPoint> MakeSampleNodes(SampleFlow flow, const SampleOptions& options);
/// The same nodes as a field, statistics gathered exactly as loading the files would.
std::unique_ptr<FlowField> MakeSampleField(SampleFlow flow, const SampleOptions& options);

}  // namespace vortana
