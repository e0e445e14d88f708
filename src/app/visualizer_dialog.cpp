// Start-up, the commands, the mouse actions and the repaint of the dialog.

#include "visualizer_dialog.h"

#include <algorithm>
#include <cmath>
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
  // Until a field gives the window its proportions the area is square; its first paint (the
  // legend) already has the width of the area.
  ResizeDrawingArea({settings_.drawingSize, settings_.drawingSize});
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
  probeArrows_.clear();
  probeStreamlines_.clear();
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

void VisualizerDialog::UseField(std::unique_ptr<FlowField> field, const std::string& fileName,
                                std::optional<bool> fromFilePair) {
  if (!field) field = std::make_unique<FlowField>();
  // A slice the field does not have leaves slice 0; vortana-render refuses it before drawing.
  if (settings_.slice != 0) field->SampleSlice(settings_.slice);
  const bool fromPair = fromFilePair.value_or(field->FromFilePair());
  field_ = std::move(field);
  TakeFieldInUse(fileName, fromPair);
}

void VisualizerDialog::ShareField(std::shared_ptr<const FlowField> field,
                                  const std::string& fileName, bool fromFilePair) {
  field_ = field ? std::move(field) : std::make_shared<const FlowField>();
  TakeFieldInUse(fileName, fromFilePair);
}

void VisualizerDialog::OverrideWindow(std::optional<WorldWindow> window) {
  windowOverride_ = window;
  if (field_) TakeFieldInUse(settings_.fileName, fromFilePair_);
}

void VisualizerDialog::TakeFieldInUse(const std::string& fileName, bool fromFilePair) {
  backgroundValid_ = false;
  settings_.fileName = fileName;
  fromFilePair_ = fromFilePair;

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
  ChooseWorldWindow();

  const size_t pixelCount = static_cast<size_t>(map_.width) * static_cast<size_t>(map_.height);
  backgroundBuffer_.assign(pixelCount, kBlack);
  if (!occupancy_) occupancy_ = std::make_unique<OccupancyGrid>(map_.width, map_.height);
  occupancy_->Clear();
  EmptyStoredPictures();
  backgroundShown_ = false;
  // The previous data set's picture must not stay under the new name: the area shows at once
  // what a repaint draws now, the black buffer.
  drawingArea_.Fill(kBlack);
  platform_.SurfacesChanged();

  ShowSettings();
}

WorldWindow VisualizerDialog::ViewWindow() const {
  if (!field_) return {};
  const FieldStatistics& stats = field_->Stats();
  const View view = static_cast<View>(settings_.view);
  const bool dataView = view == View::Data || (view == View::Auto && !fromFilePair_);
  // A field without nodes has no minimum to start from (its statistics hold the largest float).
  const bool hasRange = stats.minPosition.x <= stats.maxPosition.x &&
                        stats.minPosition.y <= stats.maxPosition.y;
  WorldWindow window{0.0f, 0.0f, maxX_, maxY_};
  if (dataView && hasRange) {
    window.x0 = stats.minPosition.x;
    window.y0 = stats.minPosition.y;
    // The statistics' maxima start at 0, as the older program's did, so a field that lies wholly
    // below 0 along an axis says 0 there; its own window ends at its largest coordinate.
    if (window.x1 == 0.0f || window.y1 == 0.0f) {
      float largestX = -kFloatMax;
      float largestY = -kFloatMax;
      for (const GridPoint& node : field_->Nodes()) {
        if (node.position.x > largestX && std::isfinite(node.position.x)) largestX = node.position.x;
        if (node.position.y > largestY && std::isfinite(node.position.y)) largestY = node.position.y;
      }
      if (window.x1 == 0.0f && largestX < 0.0f) window.x1 = largestX;
      if (window.y1 == 0.0f && largestY < 0.0f) window.y1 = largestY;
    }
  }
  return window;
}

void VisualizerDialog::ChooseWorldWindow() {
  const YAxis yAxis = static_cast<YAxis>(settings_.yAxis);
  const bool yUp = yAxis == YAxis::Up || (yAxis == YAxis::Auto && !fromFilePair_);
  window_ = windowOverride_.value_or(ViewWindow());
  const AreaSize area = AreaOfWindow(window_, settings_.drawingSize,
                                     settings_.aspect == RadioIndex(Aspect::Equal));
  ResizeDrawingArea(area);
  map_ = MapOfWindow(window_, area, yUp);
}

void VisualizerDialog::ResizeDrawingArea(AreaSize area) {
  if (area.width == drawingArea_.Width() && area.height == drawingArea_.Height()) return;
  drawingArea_ = Surface(area.width, area.height);
  if (area.width != legend_.Width()) {
    legend_ = Surface(area.width, kLegendHeight);
    DrawLegend(ramp_, legend_);
  }
  occupancy_.reset();
  backgroundBuffer_.clear();
  backgroundValid_ = false;
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
  work.trace = CurrentTraceSettings();
  work.limits = limits_;
  work.backgroundLimits = BackgroundLimitsInForce();
  work.ramp = ramp_;
  work.lineColour = lineColour_;
  work.backgroundValid = backgroundValid_;
  work.monitor = workMonitor_;
  if (lendState) {
    // Run at once, here: the work borrows the buffers, so a Visualize needs no more memory
    // than drawing in place would.
    work.backgroundBuffer = std::move(backgroundBuffer_);
    work.occupancy = std::move(occupancy_);
    std::swap(work.area, drawingArea_);
  } else {
    work.backgroundBuffer = backgroundBuffer_;
    work.occupancy = std::make_unique<OccupancyGrid>(map_.width, map_.height);
    work.area = Surface(map_.width, map_.height);
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
  probeStreamlines_.push_back(probe.chain);
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
      const Vec3 v = VectorAtPixel(px, py);
      vortana::DrawArrow(drawingArea_, px, py, v, settings_.gridSize);
      probeArrows_.push_back({px, py, v});
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
  probeArrows_.clear();
  probeStreamlines_.clear();
  platform_.SurfacesChanged();
}

void VisualizerDialog::PaintDrawingArea(Canvas& area) const {
  // The buffer covers every pixel of the drawing area, row-major like the surface, so drawing it
  // as an image sets each pixel exactly as setting them one by one would.
  if (!backgroundBuffer_.empty()) {
    area.Image(backgroundBuffer_.data(), drawingArea_.Width(), drawingArea_.Height());
  }
  area.SelectPen(lineColour_);
  for (const ArrowRecord& arrow : arrows_) {
    vortana::DrawArrow(area, arrow.x, arrow.y, arrow.v, arrowGridSize_);
  }
  for (const Streamline& streamline : streamlines_) DrawStreamline(area, streamline, lineColour_);
}

void VisualizerDialog::PaintProbes(Canvas& area) const {
  area.SelectPen(lineColour_);
  for (const ArrowRecord& arrow : probeArrows_) {
    vortana::DrawArrow(area, arrow.x, arrow.y, arrow.v, settings_.gridSize);
  }
  for (const Streamline& probe : probeStreamlines_) DrawStreamline(area, probe, lineColour_);
}

}  // namespace vortana
