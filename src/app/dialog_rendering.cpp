// The dialog's rendering operations: each gathers its inputs from the dialog state at the moment
// of the call and hands them to the renderer.

#include "visualizer_dialog.h"

namespace vortana {

TraceSettings VisualizerDialog::CurrentTraceSettings() const {
  TraceSettings trace;
  trace.map = map_;
  trace.integrator = settings_.integrator;
  trace.dt = dt_ * stepScale_;
  trace.stepsInPixels = StepUnitsInForce() == StepUnits::Pixels;
  return trace;
}

StepUnits VisualizerDialog::StepUnitsInForce() const {
  const auto chosen = static_cast<StepUnits>(settings_.stepUnits);
  if (chosen != StepUnits::Auto) return chosen;
  return !field_ || field_->FromFilePair() ? StepUnits::World : StepUnits::Pixels;
}

ArrowSettings VisualizerDialog::CurrentArrowSettings() const {
  ArrowSettings arrows;
  arrows.gridSize = settings_.gridSize;
  arrows.normalized = settings_.normalized;
  arrows.maxSpeed = limits_.maxSpeed;
  return arrows;
}

BackgroundLimits VisualizerDialog::BackgroundLimitsInForce() const {
  if (!backgroundRange_) return limits_;
  const auto [low, high] = *backgroundRange_;
  return {high, low, high, low, high, low};
}

void VisualizerDialog::DrawBackground() {
  if (!field_ || backgroundBuffer_.empty()) return;
  vortana::DrawBackground(*field_, map_, settings_.colourBy, BackgroundLimitsInForce(), ramp_,
                          backgroundValid_, backgroundBuffer_, drawingArea_);
}

void VisualizerDialog::DrawArrowPlot() {
  if (!field_) return;
  vortana::DrawArrowPlot(*field_, map_, CurrentArrowSettings(), lineColour_, drawingArea_, arrows_);
}

void VisualizerDialog::PlaceRegularStreamlines() {
  if (!field_) return;
  vortana::PlaceRegularStreamlines(*field_, CurrentTraceSettings(), settings_.gridSize, lineColour_,
                                   drawingArea_, streamlines_);
}

void VisualizerDialog::PlaceEvenlySpacedStreamlines() {
  if (!field_ || !occupancy_) return;
  vortana::PlaceEvenlySpacedStreamlines(*field_, CurrentTraceSettings(), settings_.dSep,
                                        settings_.dTest, *occupancy_, lineColour_, drawingArea_,
                                        streamlines_);
}

void VisualizerDialog::TraceStreamline(int px, int py, Streamline& chain, int mode) {
  chain.clear();
  if (!field_) return;
  vortana::TraceStreamline(*field_, CurrentTraceSettings(), px, py, chain, mode, occupancy_.get(),
                           settings_.dTest);
}

Vec3 VisualizerDialog::VectorAtPixel(int px, int py) const {
  if (!field_) return {};
  return vortana::VectorAtPixel(*field_, map_, CurrentArrowSettings(), px, py);
}

}  // namespace vortana
