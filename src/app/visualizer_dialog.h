#pragma once

#include <array>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "../data/flow_field.h"
#include "../render/arrow_plot.h"
#include "../render/background.h"
#include "../render/canvas.h"
#include "../render/colour_ramp.h"
#include "../render/occupancy_grid.h"
#include "../render/streamline.h"
#include "../render/surface.h"
#include "../render/world_window.h"
#include "control_ids.h"
#include "dialog_work.h"
#include "platform.h"
#include "setting_table.h"
#include "settings.h"

namespace vortana {

/// The whole program's state and every command, mouse action and repaint of the dialog. It talks
/// to its window only through Platform, so the desktop window, the headless renderer and the
/// tests run the same code. The rendering operations gather their inputs from this state at
/// every call and delegate to render/.
class VisualizerDialog {
 public:
  static constexpr const char* kTitle = "Vortana Visualization";
  static constexpr const char* kNoDataText = "Error: no data file selected";
  static constexpr const char* kNoDataCaption = "Visualize";
  /// dt before the first Visualize: the start-up Delta t of 10 times 0.01.
  static constexpr float kStartDt = static_cast<float>(10 * 0.01f);

  explicit VisualizerDialog(Platform& platform);

  // Start-up and the settings exchange.
  void OnInitDialog();
  /// Controls to settings, in table order, each range checked right after its value is read.
  /// Stops at the first failing field after the platform's message; returns false then.
  [[nodiscard]] bool ReadSettings();
  /// Settings to controls, in the same order.
  void ShowSettings();
  /// Builds the ramp of the settings' colour map (a command-line setting) when it changed.
  void UseChosenColourMap();
  /// Builds the ramp of the settings' colour map and, where the drawing area shows the
  /// background Visualize drew, recomputes it in the new colours and repaints (the pictures over
  /// it stay); the legend shows the new map at once either way.
  void RecolourBackground();

  // Rules run by clicks on the option controls.
  void OnStreamlinesClicked();
  void OnArrowPlotClicked();
  void OnBackgroundClicked();
  void OnEvenlySpacedClicked();
  void OnColourByClicked();
  /// A spinner's arrow (delta +1 up, -1 down) on spinner `spinId`: applies the grid size and
  /// d_test rules, keeps the result in range and writes it into the buddy field.
  void OnSpin(int spinId, int delta);

  // Commands and mouse; points are in the dialog's client coordinates.
  void OnBrowse();
  /// Loads the data set of `path` (either file of the pair); a file that cannot be used is
  /// reported with its reason and leaves an empty field. The result, its field handed over to
  /// the dialog, says whether the load succeeded, for callers that are no user.
  LoadResult Load(const std::string& path);
  /// Everything a load does after reading the files, for a field already in memory: replaces the
  /// field, zeroes the buffers, empties the stored pictures, copies the statistics, sets up the
  /// drawing area and its world window, shows the settings. Draws nothing but the legend, when
  /// the area's width changed. The defaults of view and y axis follow the field's source
  /// (FlowField::FromFilePair) unless `fromFilePair` says otherwise.
  void UseField(std::unique_ptr<FlowField> field, const std::string& fileName,
                std::optional<bool> fromFilePair = std::nullopt);
  /// UseField for a field another dialog loaded and goes on drawing: both read it, neither
  /// changes it, so its slice stays the one its loader sampled.
  void ShareField(std::shared_ptr<const FlowField> field, const std::string& fileName,
                  bool fromFilePair);
  /// The field, for another dialog to draw too (see ShareField); null before the first load.
  std::shared_ptr<const FlowField> SharedField() const { return field_; }
  /// Draws `window` instead of the window the view setting chooses, from the next load on (and
  /// at once when a field is loaded); nullopt goes back to the view setting. The area keeps the
  /// size and aspect settings' say, as for any window.
  void OverrideWindow(std::optional<WorldWindow> window);
  const std::optional<WorldWindow>& WindowOverride() const { return windowOverride_; }
  /// The window the view setting chooses for the field, whatever window is drawn.
  WorldWindow ViewWindow() const;
  void OnVisualize();
  void OnLeftButtonDown(int x, int y);

  // The two long commands in halves, for a window that runs the drawing on another thread:
  // Begin does what needs the controls and the messages and hands out copies of the inputs
  // (nothing when the command ends there); the work runs anywhere; Finish takes its result
  // into the state and shows it. OnVisualize and OnLeftButtonDown are the three in a row.
  std::optional<VisualizeWork> BeginVisualize();
  void FinishVisualize(VisualizeWork&& work);
  /// A monitor that every later Visualize polls for a stop, for a caller that runs OnVisualize
  /// on a thread of its own and may want it cut short; null (the start) polls none. The monitor
  /// must outlive the Visualizes it watches.
  void SetWorkMonitor(WorkMonitor* monitor) { workMonitor_ = monitor; }
  /// A factor on the step every streamline takes, for a caller that draws the lines at a
  /// resolution of its own (the Python module's matplotlib lines, in steps of half a pixel);
  /// 1, the start, takes Delta t's step.
  void SetStepScale(float scale) { stepScale_ = scale; }
  /// Everything a left click does but a streamline probe's trace, which it hands out.
  std::optional<ProbeWork> BeginLeftButtonDown(int x, int y);
  /// Draws the probe's streamline unless its trace was stopped.
  void FinishProbe(const ProbeWork& probe);
  /// What a load does once the files are read: takes the field over, reports a failure.
  void UseLoadResult(LoadResult& result, const std::string& path);
  void OnRightButtonDown(int x, int y);
  void OnMouseMove(int x, int y);
  void OnTimer(int id);
  void Repaint();
  /// The drawing area as a repaint paints it (background buffer, stored arrows and streamlines in
  /// the line colour), onto any canvas: the window's surface or a picture to export.
  void PaintDrawingArea(Canvas& area) const;
  /// The probes drawn since the drawing area was last painted, onto any canvas: what the window
  /// shows over PaintDrawingArea's picture until the next repaint or right click.
  void PaintProbes(Canvas& area) const;

  // Rendering operations, each reading the current state.
  void DrawBackground();
  void DrawArrowPlot();
  void PlaceRegularStreamlines();
  void PlaceEvenlySpacedStreamlines();
  void TraceStreamline(int px, int py, Streamline& chain, int mode);
  Vec3 VectorAtPixel(int px, int py) const;

  // Read access for the window, the headless renderer and the tests.
  const Settings& GetSettings() const { return settings_; }
  Settings& MutableSettings() { return settings_; }
  const FlowField* Field() const { return field_.get(); }
  const std::vector<ArrowRecord>& StoredArrows() const { return arrows_; }
  const std::vector<Streamline>& StoredStreamlines() const { return streamlines_; }
  float Dt() const { return dt_; }
  /// The step units of the settings, auto resolved by the field's source.
  StepUnits StepUnitsInForce() const;
  const PixelMap& Map() const { return map_; }
  /// The world window the drawing area shows, and whether the field came from a file pair.
  const WorldWindow& Window() const { return window_; }
  bool FromFilePair() const { return fromFilePair_; }
  const BackgroundLimits& Limits() const { return limits_; }
  /// A fixed range for the background (speed, or the scalar coloured by) in place of the
  /// field's statistics, so that the pictures of several fields share one colour scale; nullopt:
  /// the field's own. Arrows keep the field's max speed.
  void FixBackgroundRange(std::optional<std::pair<float, float>> range) { backgroundRange_ = range; }
  float MaxX() const { return maxX_; }
  float MaxY() const { return maxY_; }
  bool BackgroundValid() const { return backgroundValid_; }
  Colour LineColour() const { return lineColour_; }
  void SetLineColour(Colour c) { lineColour_ = c; }
  const ColourRamp& Ramp() const { return ramp_; }
  const std::vector<Colour>& BackgroundBuffer() const { return backgroundBuffer_; }
  const OccupancyGrid* Occupancy() const { return occupancy_.get(); }
  bool TimerRunning() const { return timerRunning_; }
  /// The position a spinner last wrote into its field; 0 for an id that is no spinner.
  int SpinnerPosition(int spinId) const;
  Surface& DrawingArea() { return drawingArea_; }
  Surface& LegendStrip() { return legend_; }
  Surface& Swatch() { return swatch_; }
  const Surface& DrawingArea() const { return drawingArea_; }
  const Surface& LegendStrip() const { return legend_; }
  const Surface& Swatch() const { return swatch_; }

 private:
  static constexpr std::array<SpinnerDescription, kSpinnerCount> kSpinners = TableSpinners();
  static const SpinnerDescription* FindSpinner(int spinId);
  static constexpr std::array<int, kSpinnerCount> StartPositions() {
    std::array<int, kSpinnerCount> positions{};
    for (size_t i = 0; i < kSpinnerCount; ++i) positions[i] = kSpinners[i].start;
    return positions;
  }

  /// BeginVisualize's steps; `lendState` hands the work the buffers themselves instead of
  /// copies, for a work that runs before anything else touches the dialog.
  std::optional<VisualizeWork> StartVisualize(bool lendState);
  bool HasData() const { return field_ != nullptr; }
  bool CanSample() const { return field_ != nullptr && field_->HasCell(); }
  void ShowNoDataMessage();
  void EmptyStoredPictures();
  TraceSettings CurrentTraceSettings() const;
  /// The statistics the background maps: the field's, or the fixed range when one is set.
  BackgroundLimits BackgroundLimitsInForce() const;
  ArrowSettings CurrentArrowSettings() const;
  void EnableControls(std::initializer_list<int> ids, bool enabled);
  /// The window, the area and the map for the field, from the view (or the override), y axis,
  /// size and aspect.
  void ChooseWorldWindow();
  /// UseField's steps once field_ is the field to use.
  void TakeFieldInUse(const std::string& fileName, bool fromFilePair);
  /// New surfaces and buffers when the size changes; nothing when it stays.
  void ResizeDrawingArea(AreaSize area);

  Platform& platform_;
  Settings settings_ = ConstructionSettings();

  // Shared only with dialogs that draw the same field (ShareField), never changed while shared.
  std::shared_ptr<const FlowField> field_;
  std::optional<WorldWindow> windowOverride_;
  WorkMonitor* workMonitor_ = nullptr;
  PixelMap map_;
  WorldWindow window_;
  bool fromFilePair_ = true;
  BackgroundLimits limits_;
  std::optional<std::pair<float, float>> backgroundRange_;
  float maxX_ = 0.0f;
  float maxY_ = 0.0f;
  float dt_ = kStartDt;
  float stepScale_ = 1.0f;
  bool timerRunning_ = false;
  bool backgroundValid_ = false;
  Colour lineColour_ = kBlue;
  std::vector<Colour> backgroundBuffer_;      // empty until the first load
  std::unique_ptr<OccupancyGrid> occupancy_;  // null until the first load
  ColourRamp ramp_{};
  int rampMap_ = -1;  // the settings' colourMap that ramp_ was built from
  std::vector<ArrowRecord> arrows_;
  std::vector<Streamline> streamlines_;
  // Probes are not stored pictures, but a picture saved before the next repaint shows them.
  std::vector<ArrowRecord> probeArrows_;
  std::vector<Streamline> probeStreamlines_;
  // The grid size the stored arrows were drawn with, so that a repaint draws them the same.
  int arrowGridSize_ = 0;
  // Whether the buffer holds the background Visualize last drew, and coloured by what.
  bool backgroundShown_ = false;
  int backgroundColourBy_ = 0;
  // Spinner positions in the order of kSpinners, kept for when the buddy field holds no number.
  std::array<int, kSpinnerCount> spinnerPositions_ = StartPositions();

  Surface drawingArea_{kDrawingWidth, kDrawingHeight};
  Surface legend_{kLegendWidth, kLegendHeight};
  Surface swatch_{kSwatchSize, kSwatchSize};
};

}  // namespace vortana
