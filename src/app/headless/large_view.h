#pragma once

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/picture_writer.h"
#include "app/visualizer_dialog.h"
#include "render/work_monitor.h"
#include "render/world_window.h"
#include "render_options.h"
#include "render_run.h"

namespace vortana {

/// What a large view draws: a dialog's data set, shared with it, under the options vortana-render
/// would be given for the same picture.
struct ViewRequest {
  std::shared_ptr<const FlowField> field;
  std::string fileName;
  bool fromFilePair = true;
  RenderOptions options;
};

/// A drawn view: the dialog that drew it (its field, map and stored pictures), how it is saved,
/// and what the window shows.
struct ViewPicture {
  explicit ViewPicture(int drawingSize) : render(drawingSize) {}
  StepRender render;
  PictureOptions picture;  // the view's line width
  Surface wide{0, 0};      // the drawing area with the wider lines; empty at one pixel

  const VisualizerDialog& Dialog() const { return render.dialog; }
  /// The picture as a PNG of `picture` holds it.
  const Surface& Shown() const { return wide.Width() > 0 ? wide : render.dialog.DrawingArea(); }
};

/// The dialog's settings for a view `size` pixels on its longer side: what is measured in
/// pixels (grid size, d_sep, d_test) scaled by size / 512 to the nearest whole pixel and kept
/// within its range, so that the view looks like the dialog's picture at a finer resolution;
/// the area `size` with the window's proportions.
Settings ViewSettings(const Settings& dialog, int size);
/// The line width of a view `size` pixels on its longer side: size / 512 to the nearest whole
/// pixel (a raster draws whole widths only), at least 1.
double ViewLineWidth(int size);

/// The request for `window` at `size` of what `dialog` shows now: its field, its settings as it
/// last read them (scaled by ViewSettings) and its line colour.
ViewRequest ViewRequestOf(const VisualizerDialog& dialog, const WorldWindow& window, int size);

/// The window as --window takes it, each corner the shortest text that reads back as its float.
std::string WindowArgument(const WorldWindow& window);

/// The options that make vortana-render draw what `request` draws, beyond the data set and the
/// settings the dialog and the command line share: "--size 800 --aspect equal --window ...
/// --grid-size 48 --d-sep 40 --d-test 20 --line-width 2".
std::string ViewArguments(const ViewRequest& request);

/// Draws the request exactly as vortana-render draws its options, on whichever thread calls it;
/// `monitor` (may be null) can stop the placement. A window that misses the data is drawn empty
/// (black).
std::unique_ptr<ViewPicture> DrawView(const ViewRequest& request, WorkMonitor* monitor);

/// The placements of one view, each on a thread of its own. A new one abandons the one before
/// at once (asked to stop, its picture never handed out), so only the newest picture is shown.
class ViewPlacements {
 public:
  /// Called on a placement's own thread when it has ended, with its ticket.
  using Ended = std::function<void(unsigned ticket)>;

  explicit ViewPlacements(Ended ended) : ended_(std::move(ended)) {}
  ~ViewPlacements() { StopAll(); }
  ViewPlacements(const ViewPlacements&) = delete;
  ViewPlacements& operator=(const ViewPlacements&) = delete;

  /// Starts drawing `request` and abandons the running placement; returns the new one's ticket.
  unsigned Start(ViewRequest request);
  /// The picture of placement `ticket` if it has ended and is the newest; null otherwise. Ended
  /// placements' threads are joined here.
  std::unique_ptr<ViewPicture> Take(unsigned ticket);
  /// Whether the newest placement is still drawing.
  bool Running() const;
  /// Stops every placement and waits for their threads.
  void StopAll();

 private:
  struct Placement {
    unsigned ticket = 0;
    WorkMonitor monitor;
    std::thread thread;
    std::unique_ptr<ViewPicture> picture;
    bool ended = false;
  };
  void JoinEnded();

  Ended ended_;
  mutable std::mutex mutex_;
  std::list<Placement> placements_;  // a list: each thread keeps a reference to its own
  unsigned newest_ = 0;
};

}  // namespace vortana
