#include "large_view.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "app/setting_table.h"
#include "render/view_navigation.h"

namespace vortana {

namespace {

int Scaled(int value, int size, const char* option) {
  const SettingRange range = FindSettingOption(option)->range;
  const long scaled = std::lround(static_cast<double>(value) * size / kDrawingWidth);
  const long highest = range.HasUpperLimit() ? range.highest : scaled;
  return static_cast<int>(std::clamp<long>(scaled, range.lowest, std::max<long>(range.lowest, highest)));
}

}  // namespace

Settings ViewSettings(const Settings& dialog, int size) {
  Settings settings = dialog;
  const SettingRange sizes = FindSettingOption("size")->range;
  settings.drawingSize = std::clamp(size, sizes.lowest, sizes.highest);
  settings.aspect = RadioIndex(Aspect::Equal);
  settings.gridSize = Scaled(dialog.gridSize, settings.drawingSize, "grid-size");
  settings.dSep = Scaled(dialog.dSep, settings.drawingSize, "d-sep");
  settings.dTest = Scaled(dialog.dTest, settings.drawingSize, "d-test");
  return settings;
}

double ViewLineWidth(int size) {
  return static_cast<double>(std::max(1L, std::lround(static_cast<double>(size) / kDrawingWidth)));
}

ViewRequest ViewRequestOf(const VisualizerDialog& dialog, const WorldWindow& window, int size) {
  ViewRequest request;
  request.field = dialog.SharedField();
  request.fileName = dialog.GetSettings().fileName;
  request.fromFilePair = dialog.FromFilePair();
  request.options.dataset = request.fileName;
  request.options.settings = ViewSettings(dialog.GetSettings(), size);
  request.options.lineColour = dialog.LineColour();
  request.options.window = window;
  request.options.areaChosen = true;
  request.options.lineWidth = ViewLineWidth(request.options.settings.drawingSize);
  return request;
}

std::string WindowArgument(const WorldWindow& window) {
  std::string text;
  for (const float corner : {window.x0, window.y0, window.x1, window.y1}) {
    char digits[32];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, corner);
    if (!text.empty()) text += ',';
    text.append(digits, error == std::errc() ? end : digits);
  }
  return text;
}

std::string ViewArguments(const ViewRequest& request) {
  const Settings& s = request.options.settings;
  std::string text = "--size " + std::to_string(s.drawingSize) + " --aspect equal";
  if (request.options.window) text += " --window " + WindowArgument(*request.options.window);
  text += " --grid-size " + std::to_string(s.gridSize) + " --d-sep " + std::to_string(s.dSep) +
          " --d-test " + std::to_string(s.dTest);
  if (request.options.lineWidth > 1.0) {
    text += " --line-width " + std::to_string(static_cast<int>(request.options.lineWidth));
  }
  return text;
}

std::unique_ptr<ViewPicture> DrawView(const ViewRequest& request, WorkMonitor* monitor) {
  auto view = std::make_unique<ViewPicture>(request.options.settings.drawingSize);
  view->picture.lineWidth = request.options.lineWidth;
  StepRender& render = view->render;
  StartHeadless(request.options, render);
  render.dialog.ShareField(request.field, request.fileName, request.fromFilePair);
  const FlowField* field = render.dialog.Field();
  // Nothing to place: the area stays the black a load leaves.
  if (!field->HasCell() || !request.options.window ||
      !WindowMeetsData(*request.options.window, *field)) {
    return view;
  }
  render.dialog.SetWorkMonitor(monitor);
  DrawLoaded(request.options, render, {});
  render.dialog.SetWorkMonitor(nullptr);
  if (!view->picture.Plain() && !StopRequested(monitor)) {
    view->wide = RasterPicture(render.dialog, view->picture);
  }
  return view;
}

unsigned ViewPlacements::Start(ViewRequest request) {
  const std::lock_guard<std::mutex> lock(mutex_);
  for (Placement& placement : placements_) placement.monitor.RequestStop();
  Placement& placement = placements_.emplace_back();
  placement.ticket = ++newest_;
  placement.thread = std::thread([this, &placement, request = std::move(request)] {
    std::unique_ptr<ViewPicture> picture;
    try {
      picture = DrawView(request, &placement.monitor);
    } catch (...) {
      picture.reset();  // a view that cannot be drawn (memory) shows nothing new
    }
    unsigned ticket = 0;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      placement.picture = std::move(picture);
      placement.ended = true;
      ticket = placement.ticket;
    }
    if (ended_) ended_(ticket);
  });
  return placement.ticket;
}

void ViewPlacements::JoinEnded() {
  for (auto it = placements_.begin(); it != placements_.end();) {
    // The newest keeps its picture until it is taken.
    if (!it->ended || (it->ticket == newest_ && it->picture)) {
      ++it;
      continue;
    }
    it->thread.join();
    it = placements_.erase(it);
  }
}

std::unique_ptr<ViewPicture> ViewPlacements::Take(unsigned ticket) {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::unique_ptr<ViewPicture> picture;
  for (Placement& placement : placements_) {
    if (placement.ended && placement.ticket == ticket && ticket == newest_) {
      picture = std::move(placement.picture);
    }
  }
  JoinEnded();
  return picture;
}

bool ViewPlacements::Running() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return std::ranges::any_of(placements_, [this](const Placement& placement) {
    return placement.ticket == newest_ && !placement.ended;
  });
}

void ViewPlacements::StopAll() {
  std::list<Placement> stopping;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (Placement& placement : placements_) placement.monitor.RequestStop();
    stopping.swap(placements_);
  }
  for (Placement& placement : stopping) placement.thread.join();
}

}  // namespace vortana
