#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "../data/flow_field.h"
#include "../render/arrow_plot.h"
#include "../render/background.h"
#include "../render/colour_ramp.h"
#include "../render/occupancy_grid.h"
#include "../render/streamline.h"
#include "../render/surface.h"
#include "../render/work_monitor.h"
#include "settings.h"

namespace vortana {

/// The drawing area of running work, copied on the work's thread where the picture is whole,
/// so that a window can show it grow without reading a surface that is being drawn into.
class GrowingPicture {
 public:
  void Offer(const Surface& area);
  /// Copies the latest offer into `shown`; false when none came since the last call.
  bool TakeInto(Surface& shown);

 private:
  std::mutex mutex_;
  std::vector<Colour> pixels_;
  bool fresh_ = false;
};

/// The drawing half of Visualize on copies of everything it reads, so that it can run on any
/// thread while the dialog, which made it, keeps its own state untouched. Only `field` is
/// shared: the dialog keeps it, unchanged, until the work is handed back.
struct VisualizeWork {
  const FlowField* field = nullptr;
  Settings settings;
  PixelMap map;
  TraceSettings trace;  // the streamlines' settings but the monitor
  BackgroundLimits limits;
  BackgroundLimits backgroundLimits;  // what the background maps, a fixed range or the limits
  ColourRamp ramp{};
  Colour lineColour = kBlue;
  bool backgroundValid = false;
  std::vector<Colour> backgroundBuffer;
  std::unique_ptr<OccupancyGrid> occupancy;
  Surface area{0, 0};
  // What the work made: the pictures stored and the drawing area that shows them.
  std::vector<ArrowRecord> arrows;
  std::vector<Streamline> streamlines;
  /// Polled for a stop, given the progress; may be null.
  WorkMonitor* monitor = nullptr;
  /// Offered the picture when the monitor asks for it; may be null.
  GrowingPicture* growing = nullptr;

  /// Starts from the picture a repaint draws with no stored pictures (the background when it is
  /// on, else black), then draws the arrows or places the streamlines.
  void Run();
};

/// A streamline probe: one trace from a pixel, drawn but never stored.
struct ProbeWork {
  const FlowField* field = nullptr;
  TraceSettings trace;
  int px = 0;
  int py = 0;
  Streamline chain;
  bool stopped = false;  // the monitor cut the trace short: nothing is drawn

  void Run();
};

}  // namespace vortana
