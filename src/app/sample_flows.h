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

/// Nodes across and down that a sample grid may have.
inline constexpr int kMinSampleNodes = 2;
inline constexpr int kMaxSampleNodes = 4096;
/// Scalars per node in a sample: pressure and vorticity.
inline constexpr int kSampleScalarCount = 2;

struct SampleOptions {
  int width = 128;   // nodes across, kMinSampleNodes..kMaxSampleNodes
  int height = 128;  // nodes down, kMinSampleNodes..kMaxSampleNodes
  // One world unit per drawing-area pixel. A sample is a file pair, whose streamline steps
  // (dt = 0.01 to 0.2) are world lengths by default: a field only a few units wide would be
  // crossed in a handful of steps and its streamlines would break into scattered dots, unless
  // it is drawn with steps in pixels.
  float extentX = 512.0f;
  float extentY = 512.0f;
  // Time steps written. With more than one, the double gyre is the time-dependent one (its
  // dividing line sways with period 10 steps) and the vortex street's vortices move downstream;
  // the steady flows repeat their field.
  int steps = 1;
};

inline constexpr int kMaxSampleSteps = 1000;

/// Every sample flow, in a fixed order.
const std::vector<SampleFlow>& AllSampleFlows();
/// The file-name stem of a flow ("uniform", "rankine-vortex", "double-gyre", "cylinder",
/// "vortex-street", "spiral-sink").
std::string SampleFlowName(SampleFlow flow);
std::optional<SampleFlow> SampleFlowByName(const std::string& name);

/// The nodes in node order (columns fastest). Throws std::invalid_argument for a node count out
/// of range or an extent that is not positive and finite.
/// `step` (0 to options.steps - 1) is the time t = step of a series.
std::vector<GridPoint> MakeSampleNodes(SampleFlow flow, const SampleOptions& options, int step = 0);
/// The same nodes as a field, statistics gathered exactly as loading the files would.
std::unique_ptr<FlowField> MakeSampleField(SampleFlow flow, const SampleOptions& options,
                                           int step = 0);

}  // namespace vortana
