// Start-up, the commands, the mouse actions and the repaint of the dialog.

#include "visualizer_dialog.h"

#include <algorithm>
#include <string>
#include <utility>

#include "control_ids.h"
#include "data/field_reader.h"
#include "integer_text.h"

namespace vortana {

VisualizerDialog::VisualizerDialog(Platform& platform) : platform_(platform) {}

void VisualizerDialog::OnInitDialog() {
  // The controls first show the values at construction, as a freshly created dialog does.
  ShowSettings();
  UseChosenColourMap();
  lineColour_ = kBlue;
  // Then start-up changes what differs: a button of each radio group is checked, and each
  // spinner moves to its start and writes it into its field.
  for (const SettingDescription& setting : kSettingTable) {
    if (setting.kind == SettingKind::Choice && setting.startup >= 0 && setting.InDialog()) {
      platform_.SetChecked(setting.choices[static_cast<size_t>(setting.startup)].controlId, true);
    } else if (setting.kind == SettingKind::Check && setting.startup != setting.construction) {
      platform_.SetChecked(setting.controlId, setting.startup != 0);
    }
  }
  spinnerPositions_ = StartPositions();
  for (const SpinnerDescription& spinner : kSpinners) {
    platform_.SetControlText(spinner.buddyId, IntegerText(spinner.start));
  }
  OnStreamlinesClicked();
  OnBackgroundClicked();
  OnEvenlySpacedClicked();
}

void VisualizerDialog::ShowNoDataMessage() {
  platform_.ShowMessage(kNoDataText, kNoDataCaption, MessageIcon::Stop);
}

void VisualizerDialog::EmptyStoredPictures() {
  // Swapping with empty lists releases their storage, not only their elements.
  std::vector<ArrowRecord>().swap(arrows_);
  std::vector<Streamline>().swap(streamlines_);
}

void VisualizerDialog::OnBrowse() {
  if (const std::optional<std::string> path = platform_.ChooseOpenFile()) Load(*path);
}

LoadResult VisualizerDialog::Load(const std::string& path) {
  field_.reset();
  backgroundValid_ = false;
  LoadResult result = LoadDataSet(path);
  UseLoadResult(result, path);
  return result;
}

void VisualizerDialog::UseLoadResult(LoadResult& result, const std::string& path) {
  UseField(result.TakeField(), path);
  // Reported once the dialog state is whole again: the message box runs its own message loop,
  // and a repaint may arrive while it is open.
  if (!result.Ok()) platform_.ShowMessage(result.Message(), kTitle, MessageIcon::Stop);
}

void VisualizerDialog::UseField(std::unique_ptr<FlowField> field, const std::string& fileName) {
  field_ = field ? std::move(field) : std::make_unique<FlowField>();
  backgroundValid_ = false;
  settings_.fileName = fileName;

  const size_t pixelCount = static_cast<size_t>(kDrawingWidth) * kDrawingHeight;
  backgroundBuffer_.assign(pixelCount, kBlack);
  if (!occupancy_) occupancy_ = std::make_unique<OccupancyGrid>(kDrawingWidth, kDrawingHeight);
  occupancy_->Clear();
  EmptyStoredPictures();
  backgroundShown_ = false;
  // The previous data set's picture must not stay under the new name: the area shows at once
  // what a repaint draws now, the black buffer.
  drawingArea_.Fill(kBlack);
  platform_.SurfacesChanged();

  settings_.sizeText = IntegerText(field_->NodeCount());
  settings_.widthText = IntegerText(field_->Width());
  settings_.heightText = IntegerText(field_->Height());
  settings_.depthText = IntegerText(field_->Depth());

  const FieldStatistics& stats = field_->Stats();
  maxX_ = stats.maxPosition.x;
  maxY_ = stats.maxPosition.y;
  limits_.maxSpeed = stats.maxSpeed;
  limits_.minScalar0 = stats.minScalar0;
  limits_.minScalar1 = stats.minScalar1;
  limits_.maxScalar0 = stats.maxScalar0;
  limits_.maxScalar1 = stats.maxScalar1;
  map_.width = kDrawingWidth;
  map_.height = kDrawingHeight;
  map_.scaleX = static_cast<float>(static_cast<double>(maxX_) / kDrawingWidth);
  map_.scaleY = static_cast<float>(static_cast<double>(maxY_) / kDrawingHeight);

  ShowSettings();
}

void VisualizerDialog::OnVisualize() {
  std::optional<VisualizeWork> work = StartVisualize(true);
  if (!work) return;
  try {
    work->Run();
  } catch (...) {
    FinishVisualize(std::move(*work));  // the state it lent comes back, with what was drawn
    throw;
  }
  FinishVisualize(std::move(*work));
}

std::optional<VisualizeWork> VisualizerDialog::BeginVisualize() { return StartVisualize(false); }

std::optional<VisualizeWork> VisualizerDialog::StartVisualize(bool lendState) {
  if (!ReadSettings()) return std::nullopt;
  // The integer times the single-precision 0.01, stored as single: 10 gives 0.099999994.
  dt_ = static_cast<float>(static_cast<double>(settings_.deltaT) * static_cast<double>(0.01f));
  if (!CanSample()) {
    ShowNoDataMessage();
    return std::nullopt;
  }
  VisualizeWork work;
  work.field = field_.get();
  work.settings = settings_;
  work.map = map_;
  work.dt = dt_;
  work.limits = limits_;
  work.ramp = ramp_;
  work.lineColour = lineColour_;
  work.backgroundValid = backgroundValid_;
  if (lendState) {
    // Run at once, here: the work borrows the buffers, so a Visualize needs no more memory
    // than drawing in place would.
    work.backgroundBuffer = std::move(backgroundBuffer_);
    work.occupancy = std::move(occupancy_);
    std::swap(work.area, drawingArea_);
  } else {
    work.backgroundBuffer = backgroundBuffer_;
    work.occupancy = std::make_unique<OccupancyGrid>(kDrawingWidth, kDrawingHeight);
    work.area = Surface(kDrawingWidth, kDrawingHeight);
  }
  return work;
}

void VisualizerDialog::FinishVisualize(VisualizeWork&& work) {
  arrows_ = std::move(work.arrows);
  streamlines_ = std::move(work.streamlines);
  arrowGridSize_ = work.settings.gridSize;
  backgroundShown_ = work.settings.background != 0;
  backgroundColourBy_ = work.settings.colourBy;
  backgroundBuffer_ = std::move(work.backgroundBuffer);
  backgroundValid_ = work.backgroundValid;
  occupancy_ = std::move(work.occupancy);
  // The frames refer to the surface object, not to its pixels: the work's picture takes its place.
  std::swap(drawingArea_, work.area);
  platform_.SurfacesChanged();
}

void VisualizerDialog::OnLeftButtonDown(int x, int y) {
  std::optional<ProbeWork> probe = BeginLeftButtonDown(x, y);
  if (!probe) return;
  probe->Run();
  FinishProbe(*probe);
}

void VisualizerDialog::FinishProbe(const ProbeWork& probe) {
  if (probe.stopped) return;
  DrawStreamline(drawingArea_, probe.chain, lineColour_);
  platform_.SurfacesChanged();
}

std::optional<ProbeWork> VisualizerDialog::BeginLeftButtonDown(int x, int y) {
  if (!ReadSettings()) return std::nullopt;
  const ChildUnderPoint child = platform_.ChildAt(x, y);
  if (child == ChildUnderPoint::DrawingArea) {
    if (!CanSample()) {
      ShowNoDataMessage();
      return std::nullopt;
    }
    const PixelPoint origin = platform_.DrawingAreaOrigin();
    const int px = x - origin.x;
    const int py = y - origin.y;
    // A probe is drawn but not stored: the next repaint or right click removes it.
    if (settings_.plotType == RadioIndex(PlotType::Arrows)) {
      drawingArea_.SelectPen(lineColour_);
      vortana::DrawArrow(drawingArea_, px, py, VectorAtPixel(px, py), settings_.gridSize);
    } else if (settings_.plotType == RadioIndex(PlotType::Streamlines)) {
      ProbeWork probe;
      probe.field = field_.get();
      probe.trace = CurrentTraceSettings();
      probe.px = px;
      probe.py = py;
      return probe;
    }
    platform_.SurfacesChanged();
  } else if (child == ChildUnderPoint::Swatch) {
    const std::optional<Colour> chosen = platform_.ChooseColour();
    if (!chosen) return std::nullopt;
    // Only the swatch changes now; the pictures take the new colour at the next repaint.
    lineColour_ = *chosen;
    swatch_.FillSolidRect(0, 0, kSwatchSize, kSwatchSize, lineColour_);
    platform_.SurfacesChanged();
  }
  return std::nullopt;
}

void VisualizerDialog::OnRightButtonDown(int x, int y) {
  const ChildUnderPoint child = platform_.ChildAt(x, y);
  if (!ReadSettings()) return;
  if (child == ChildUnderPoint::DrawingArea && HasData()) {
    EmptyStoredPictures();
    Repaint();
  }
}

void VisualizerDialog::OnMouseMove(int x, int y) {
  if (platform_.ChildAt(x, y) == ChildUnderPoint::DrawingArea) {
    platform_.StartTimer(kHoverTimerId, kHoverTimerMs);
    timerRunning_ = true;
  } else if (timerRunning_) {
    platform_.StopTimer(kHoverTimerId);
    timerRunning_ = false;
  }
}

// The hover timer has no visible effect.
void VisualizerDialog::OnTimer(int /*id*/) {}

void VisualizerDialog::RecolourBackground() {
  UseChosenColourMap();
  if (backgroundShown_ && field_ && !backgroundBuffer_.empty()) {
    vortana::DrawBackground(*field_, map_, backgroundColourBy_, limits_, ramp_, backgroundValid_,
                            backgroundBuffer_, drawingArea_);
  }
  Repaint();
}

void VisualizerDialog::Repaint() {
  if (platform_.IsMinimised()) return;
  DrawLegend(ramp_, legend_);
  swatch_.FillSolidRect(0, 0, kSwatchSize, kSwatchSize, lineColour_);
  PaintDrawingArea(drawingArea_);
  platform_.SurfacesChanged();
}

void VisualizerDialog::PaintDrawingArea(Canvas& area) const {
  // The buffer covers every pixel of the drawing area, row-major like the surface, so drawing it
  // as an image sets each pixel exactly as setting them one by one would.
  if (!backgroundBuffer_.empty()) {
    area.Image(backgroundBuffer_.data(), kDrawingWidth, kDrawingHeight);
  }
  area.SelectPen(lineColour_);
  for (const ArrowRecord& arrow : arrows_) {
    vortana::DrawArrow(area, arrow.x, arrow.y, arrow.v, arrowGridSize_);
  }
  for (const Streamline& streamline : streamlines_) DrawStreamline(area, streamline, lineColour_);
}

}  // namespace vortana
