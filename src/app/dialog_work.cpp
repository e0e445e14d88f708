#include "dialog_work.h"

#include <algorithm>

#include "../render/placement.h"

namespace vortana {

void GrowingPicture::Offer(const Surface& area) {
  const std::lock_guard<std::mutex> lock(mutex_);
  pixels_.assign(area.Data(), area.Data() + static_cast<size_t>(area.Width()) * area.Height());
  fresh_ = true;
}

bool GrowingPicture::TakeInto(Surface& shown) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!fresh_) return false;
  shown.Image(pixels_.data(), shown.Width(), shown.Height());
  fresh_ = false;
  return true;
}

void VisualizeWork::Run() {
  if (field == nullptr) return;
  if (monitor != nullptr && growing != nullptr) {
    monitor->SetPictureOffer([this] { growing->Offer(area); });
  }
  if (settings.background != 0) {
    vortana::DrawBackground(*field, map, settings.colourBy, backgroundLimits, ramp, backgroundValid,
                            backgroundBuffer, area);
  } else {
    // The buffer is what a repaint draws beneath the pictures: with Background off that is
    // black. It no longer holds the background, so a later one is computed afresh.
    std::fill(backgroundBuffer.begin(), backgroundBuffer.end(), kBlack);
    backgroundValid = false;
    area.Fill(kBlack);
  }

  TraceSettings trace = this->trace;
  trace.monitor = monitor;
  if (settings.plotType == RadioIndex(PlotType::Arrows)) {
    ArrowSettings arrowSettings;
    arrowSettings.gridSize = settings.gridSize;
    arrowSettings.normalized = settings.normalized;
    arrowSettings.maxSpeed = limits.maxSpeed;
    vortana::DrawArrowPlot(*field, map, arrowSettings, lineColour, area, arrows);
  } else if (settings.plotType == RadioIndex(PlotType::Streamlines)) {
    if (settings.evenlySpaced != 0) {
      if (occupancy) {
        vortana::PlaceEvenlySpacedStreamlines(*field, trace, settings.dSep, settings.dTest,
                                              *occupancy, lineColour, area, streamlines);
      }
    } else {
      vortana::PlaceRegularStreamlines(*field, trace, settings.gridSize, lineColour, area,
                                       streamlines);
    }
  }
}

void ProbeWork::Run() {
  chain.clear();
  if (field == nullptr) return;
  const TraceReport report = vortana::TraceStreamline(*field, trace, px, py, chain);
  stopped = report.forward.end == TraceEnd::Stopped || report.backward.end == TraceEnd::Stopped;
}

}  // namespace vortana
