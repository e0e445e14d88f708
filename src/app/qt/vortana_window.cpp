#include "vortana_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QFileInfo>
#include <QMetaObject>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <new>
#include <optional>
#include <ranges>

#include "../command_guard.h"
#include "../control_ids.h"
#include "../../data/field_reader.h"
#include "../../data/byte_source.h"
#include "group_frame.h"
#include "spinner.h"
#include "surface_frame.h"

namespace vortana {
namespace {

constexpr Qt::WindowFlags kWindowFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;

// Static controls (texts, outlines, panels) take no mouse input: a click or move over one goes
// to whatever lies beneath, in the end the dialog, which finds the child under the point itself.
constexpr const char* kChangeSetting = "change the setting";
// How often the picture of a running Visualize is shown anew: a copy of the drawing area each.
constexpr int kGrowingPictureMs = 200;

void PassMouseThrough(QWidget* control) { control->setAttribute(Qt::WA_TransparentForMouseEvents); }

QLabel* MakeLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PassMouseThrough(label);
  return label;
}

void Connect(QWidget* button, const std::function<void()>& command) {
  QObject::connect(qobject_cast<QAbstractButton*>(button), &QAbstractButton::clicked, command);
}

}  // namespace

VortanaWindow::VortanaWindow() : platform_(this), visualizer_(platform_) {
  setWindowTitle(QString::fromLatin1(VisualizerDialog::kTitle));
  setWindowFlags(kWindowFlags);
  setFont(DialogFont());
  units_ = DialogUnitsFor(font());
  setFixedSize(units_.DialogSize());
  // Moves over the dialog's face reach it without a button held: the hover timer follows them.
  setMouseTracking(true);

  BuildControls();
  PlaceFrames();
  ConnectCommands();
  platform_.SetTimerHandler([this](int id) {
    RunCommand(platform_, "show the readout", [this, id] { visualizer_.OnTimer(id); });
    if (id == kHoverTimerId) emit HoverRested();
  });
  // Enter in the Filename field opens what was typed there; elsewhere it stays Visualize's.
  // The other controls that take the mouse are watched too: a pointer that goes straight from
  // the drawing area onto one of them has left the area, though the dialog sees no move.
  for (QWidget* control : selfPainting_) control->installEventFilter(this);
  // Only while work runs: then the controls are disabled and may hold no focus, and Escape
  // must reach the work wherever the focus went.
  stopShortcut_ = new QShortcut(QKeySequence(Qt::Key_Escape), this, [this] { StopWork(); });
  stopShortcut_->setEnabled(false);
  growingTimer_ = new QTimer(this);
  growingTimer_->setInterval(kGrowingPictureMs);
  connect(growingTimer_, &QTimer::timeout, this, &VortanaWindow::ShowGrowingPicture);
  visualizer_.OnInitDialog();
}

VortanaWindow::~VortanaWindow() {
  // Whoever listens may be going too: the work ends unannounced.
  blockSignals(true);
  EndWork();
  if (abandoned_.joinable()) abandoned_.join();
  // The frames show surfaces that the visualizer owns: they go before it does.
  qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

QWidget* VortanaWindow::MakeControl(const ControlEntry& entry, QWidget* previous) {
  const QString text = QString::fromUtf8(entry.text);
  switch (entry.kind) {
    case ControlKind::DefaultButton: {
      auto* button = new QPushButton(text, this);
      button->setDefault(true);
      return button;
    }
    case ControlKind::PushButton:
      return new QPushButton(text, this);
    case ControlKind::Label:
      return MakeLabel(text, this);
    case ControlKind::Edit:
      return new QLineEdit(this);
    case ControlKind::Frame: {
      const Surface& surface = entry.id == kIdDrawingArea ? visualizer_.DrawingArea()
                               : entry.id == kIdLegend    ? visualizer_.LegendStrip()
                                                         : visualizer_.Swatch();
      return new SurfaceFrame(surface, this);
    }
    case ControlKind::GroupBox:
      return new GroupFrame(text, this);
    case ControlKind::SunkenPanel: {
      auto* panel = new QFrame(this);
      panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      PassMouseThrough(panel);
      return panel;
    }
    case ControlKind::RadioButton:
    case ControlKind::CheckBox: {
      QAbstractButton* button = entry.kind == ControlKind::RadioButton
                                    ? static_cast<QAbstractButton*>(new QRadioButton(text, this))
                                    : new QCheckBox(text, this);
      // Without a tab stop the button is reached by a click, a mnemonic or the arrow keys.
      if (!entry.tabStop) button->setFocusPolicy(Qt::ClickFocus);
      return button;
    }
    case ControlKind::Spinner:
      return new Spinner(qobject_cast<QLineEdit*>(previous), this);
  }
  return nullptr;
}

QRect VortanaWindow::PlacedRect(const ControlEntry& entry, const QWidget& control) const {
  QRect rect = units_.ToPixels(entry);
  // A caption a little wider than the reference font's runs on to the right rather than being
  // cut off; the layout leaves room after every caption.
  const bool hasCaption = entry.kind == ControlKind::Label ||
                          entry.kind == ControlKind::RadioButton ||
                          entry.kind == ControlKind::CheckBox;
  if (hasCaption) rect.setWidth(std::max(rect.width(), control.sizeHint().width()));
  return rect;
}

void VortanaWindow::BuildControls() {
  // Created in table order, which gives Qt's focus chain the dialog's tab order.
  QWidget* previous = nullptr;
  for (const ControlEntry& entry : DialogControls()) {
    QWidget* control = MakeControl(entry, previous);
    control->setGeometry(PlacedRect(entry, *control));
    platform_.AddControl(entry.id, control);
    controls_.push_back(control);
    if (entry.kind != ControlKind::GroupBox && entry.kind != ControlKind::SunkenPanel) {
      selfPainting_.push_back(control);
    }
    previous = control;
  }
  // The first control of the table is the topmost sibling, the last the lowest.
  for (QWidget* control : controls_ | std::views::reverse) control->raise();

  // Each group checks one button at a time; the dialog owns the groups.
  for (const std::vector<int>& ids : RadioGroups()) {
    auto* group = new QButtonGroup(this);
    for (const int id : ids) group->addButton(qobject_cast<QAbstractButton*>(Control(id)));
  }
}

void VortanaWindow::PlaceFrames() {
  // Each frame keeps its top-left corner from the table, takes its surface's size in pixels
  // whatever the font, and goes to the top of the sibling order, above the outlines around it.
  QWidget* swatch = Control(kIdSwatch);
  swatch->raise();
  QWidget* drawingArea = Control(kIdDrawingArea);
  drawingArea->raise();
  QWidget* legend = Control(kIdLegend);
  legend->move(drawingArea->x(), drawingArea->y() + drawingArea->height() + kLegendGap);
  legend->raise();
}

void VortanaWindow::ConnectCommands() {
  VisualizerDialog& v = visualizer_;
  Platform& p = platform_;
  const auto guarded = [&p](const char* what, std::function<void()> command) {
    return [&p, what, command = std::move(command)] { RunCommand(p, what, command); };
  };
  Connect(Control(kIdBrowse), [this] { Browse(); });
  Connect(Control(kIdVisualize), [this] { Visualize(); });
  Connect(Control(kIdArrowPlot), guarded(kChangeSetting, [&v] { v.OnArrowPlotClicked(); }));
  Connect(Control(kIdStreamlines), guarded(kChangeSetting, [&v] { v.OnStreamlinesClicked(); }));
  Connect(Control(kIdBackground), guarded(kChangeSetting, [&v] { v.OnBackgroundClicked(); }));
  Connect(Control(kIdEvenlySpaced), guarded(kChangeSetting, [&v] { v.OnEvenlySpacedClicked(); }));
  for (const int id : {kIdFlow, kIdPressure, kIdVorticity}) {
    Connect(Control(id), guarded(kChangeSetting, [&v] { v.OnColourByClicked(); }));
  }
  for (const int id : {kIdGridSizeSpin, kIdDeltaTSpin, kIdDSepSpin, kIdDTestSpin}) {
    connect(static_cast<Spinner*>(Control(id)), &Spinner::Stepped, this, [&v, &p, id](int delta) {
      RunCommand(p, kChangeSetting, [&v, id, delta] { v.OnSpin(id, delta); });
    });
  }
}

void VortanaWindow::Browse() {
  // OnBrowse's own steps, with the load going through LoadDataSet so that it is announced.
  std::optional<std::string> path;
  RunCommand(platform_, "open the data set", [&] { path = platform_.ChooseOpenFile(); });
  if (path) LoadDataSet(*path);
}

void VortanaWindow::LoadDataSet(const std::string& path) { Load(path, 0); }

void VortanaWindow::LoadStep(int step) {
  if (stepCount_ < 2 || step < 0 || step >= stepCount_) return;
  Load(visualizer_.GetSettings().fileName, step);
}

void VortanaWindow::Load(const std::string& path, int step) {
  if (busy_) return;
  // The files are read on the worker; the dialog takes the field (or the failure) over here.
  auto result = std::make_shared<std::optional<LoadResult>>();
  const QString name = QFileInfo(QString::fromStdString(path)).fileName();
  RunWork(
      "open the data set",
      [result, path, step](WorkMonitor&) {
        FileStore files;
        result->emplace(vortana::LoadDataSet(path, files, ReaderSet::Standard(), ReadRequest{step}));
      },
      [this, result, path, name, step](bool stopped) {
        if (stopped) {
          return tr("Stopped loading %1; the data set before stays loaded").arg(name);
        }
        const LoadResult& loaded = **result;
        if (step == 0) {
          stepCount_ = loaded.Ok() ? loaded.StepCount() : 0;
        } else if (loaded.StepCount() > 0) {
          // A step that failed to read leaves the others reachable.
          stepCount_ = loaded.StepCount();
        }
        step_ = step;
        visualizer_.UseLoadResult(**result, path);
        emit DataSetLoaded(QString::fromStdString(path), loaded.Ok());
        return QString();
      },
      [name, step](const WorkMonitor&) {
        return step == 0 ? tr("Loading %1").arg(name) : tr("Loading step %1 of %2").arg(step + 1).arg(name);
      },
      true);
}

void VortanaWindow::Visualize() {
  if (busy_) return;
  std::optional<VisualizeWork> begun;
  RunCommand(platform_, "visualize the data set", [&] { begun = visualizer_.BeginVisualize(); });
  if (!begun) return;
  auto work = std::make_shared<VisualizeWork>(std::move(*begun));
  growing_ = std::make_shared<GrowingPicture>();
  work->growing = growing_.get();
  const bool streamlines = work->settings.plotType == RadioIndex(PlotType::Streamlines);
  const bool evenly = work->settings.evenlySpaced != 0;
  RunWork(
      "visualize the data set",
      [work, growing = growing_](WorkMonitor& monitor) {
        work->monitor = &monitor;
        work->Run();
      },
      [this, work, streamlines](bool stopped) {
        const size_t kept = work->streamlines.size();
        visualizer_.FinishVisualize(std::move(*work));
        emit Visualized();
        if (!stopped || !streamlines) return QString();
        return kept == 1 ? tr("Stopped: 1 streamline kept")
                         : tr("Stopped: %1 streamlines kept").arg(kept);
      },
      [streamlines, evenly](const WorkMonitor& monitor) {
        if (!streamlines) return tr("Drawing the picture");
        const long long total = monitor.Total();
        const long long share = total > 0 ? std::min(100LL, monitor.Done() * 100 / total) : 0;
        return (evenly ? tr("%1 streamlines placed, about %2% of the area")
                       : tr("%1 streamlines placed, %2% of the seeds tried"))
            .arg(monitor.Placed())
            .arg(share);
      },
      false);
}

void VortanaWindow::LeftClick(int x, int y) {
  std::optional<ProbeWork> begun;
  RunCommand(platform_, "carry out the click",
             [&] { begun = visualizer_.BeginLeftButtonDown(x, y); });
  if (!begun) return;
  auto probe = std::make_shared<ProbeWork>(std::move(*begun));
  RunWork(
      "carry out the click",
      [probe](WorkMonitor& monitor) {
        probe->trace.monitor = &monitor;
        probe->Run();
      },
      [this, probe](bool) {
        visualizer_.FinishProbe(*probe);
        return QString();
      },
      [](const WorkMonitor&) { return tr("Tracing the streamline from the pointer"); }, false);
}

void VortanaWindow::RunWork(const char* what, WorkBody body, WorkFinish finish,
                            WorkProgress progress, bool abandonOnStop) {
  // A load stopped earlier may still be reading; it ends before anything else starts.
  if (abandoned_.joinable()) abandoned_.join();
  busy_ = true;
  announced_ = false;
  workWhat_ = what;
  finish_ = std::move(finish);
  progress_ = std::move(progress);
  abandonOnStop_ = abandonOnStop;
  work_ = std::make_shared<WorkState>();
  const unsigned generation = ++generation_;
  std::promise<void> done;
  workDone_ = done.get_future();
  worker_ = std::thread([this, state = work_, body = std::move(body), done = std::move(done),
                         generation]() mutable {
    try {
      body(state->monitor);
    } catch (...) {
      state->failure = std::current_exception();
    }
    done.set_value();
    // This window outlives the thread (its destructor joins it), so the call is safe to post.
    QMetaObject::invokeMethod(this, [this, generation] { FinishWork(generation); },
                              Qt::QueuedConnection);
  });
  if (workDone_.wait_for(quietTime_) == std::future_status::ready) {
    FinishWork(generation);
    return;
  }
  announced_ = true;
  SetInputsEnabled(false);
  stopShortcut_->setEnabled(true);
  if (growing_) {
    work_->monitor.RequestPicture();
    growingTimer_->start();
  }
  emit WorkStarted();
}

void VortanaWindow::FinishWork(unsigned generation) {
  if (!busy_ || generation != generation_) return;  // already finished, or an abandoned load
  const bool stopped = work_->monitor.StopRequested();
  if (stopped && abandonOnStop_) {
    // The reader cannot be interrupted; its thread ends on its own and its field is dropped.
    abandoned_ = std::move(worker_);
  } else {
    worker_.join();
  }
  busy_ = false;
  if (announced_) {
    SetInputsEnabled(true);
    stopShortcut_->setEnabled(false);
  }
  growingTimer_->stop();
  static_cast<SurfaceFrame*>(Control(kIdDrawingArea))->ShowInstead(nullptr);
  growing_.reset();
  const std::shared_ptr<WorkState> state = std::move(work_);
  const WorkFinish finish = std::move(finish_);
  progress_ = nullptr;
  QString summary;
  RunCommand(platform_, workWhat_, [&] {
    if (state->failure && !(stopped && abandonOnStop_)) std::rethrow_exception(state->failure);
    summary = finish(stopped);
  });
  emit WorkEnded(stopped, summary);
}

void VortanaWindow::ShowGrowingPicture() {
  if (!busy_ || !growing_) return;
  if (growing_->TakeInto(growingShown_)) {
    static_cast<SurfaceFrame*>(Control(kIdDrawingArea))->ShowInstead(&growingShown_);
  }
  work_->monitor.RequestPicture();
}

void VortanaWindow::StopWork() {
  if (!busy_) return;
  work_->monitor.RequestStop();
  // A load polls nothing: it is left to end by itself, now.
  if (abandonOnStop_) FinishWork(generation_);
}

void VortanaWindow::EndWork() {
  if (!busy_) return;
  work_->monitor.RequestStop();
  if (!abandonOnStop_) workDone_.wait();
  FinishWork(generation_);
}

QString VortanaWindow::ProgressText() const {
  if (!busy_ || !progress_) return {};
  return progress_(work_->monitor);
}

void VortanaWindow::SetInputsEnabled(bool enabled) {
  if (!enabled) {
    inputStates_.clear();
    for (QWidget* control : controls_) {
      // The frames stay as they are: they show the pictures, and their clicks are refused below.
      if (qobject_cast<QAbstractButton*>(control) == nullptr &&
          qobject_cast<QLineEdit*>(control) == nullptr &&
          qobject_cast<Spinner*>(control) == nullptr) {
        continue;
      }
      inputStates_.emplace_back(control, control->isEnabled());
      control->setEnabled(false);
    }
    return;
  }
  for (const auto& [control, wasEnabled] : inputStates_) control->setEnabled(wasEnabled);
  inputStates_.clear();
}

void VortanaWindow::reject() {
  if (busy_) {
    StopWork();
    return;
  }
  QDialog::reject();
}

bool VortanaWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter) emit PointerLeftDrawingArea();
  if (watched == Control(kIdFileName) && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    const std::string typed = platform_.ControlText(kIdFileName);
    // An empty field has nothing to open: Enter there still runs Visualize.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !typed.empty()) {
      LoadDataSet(typed);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool VortanaWindow::ReachesDialogFace(const QRegion& region) const {
  // A control that repaints itself (a caret blinking, a check mark changing) also has Qt paint
  // the dialog beneath it; that is no paint request of the dialog's own and repaints nothing.
  QRegion face = region;
  for (const QWidget* control : selfPainting_) {
    if (control->isVisible()) face -= control->geometry();
  }
  return !face.isEmpty();
}

void VortanaWindow::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  if (!ReachesDialogFace(event->region())) return;
  try {
    visualizer_.Repaint();
  } catch (const std::bad_alloc&) {
    // A message box runs an event loop of its own, which must not start inside a paint; and a
    // repaint that keeps failing is reported once, not once per paint.
    if (repaintFailureShowing_) return;
    repaintFailureShowing_ = true;
    QTimer::singleShot(0, this, [this] {
      ReportNotEnoughMemory(platform_, "repaint the pictures");
      repaintFailureShowing_ = false;
    });
  }
}

void VortanaWindow::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  // A probe, a clear or a new line colour would change what the work draws or stores.
  if (busy_) {
    QDialog::mousePressEvent(event);
    return;
  }
  if (event->button() == Qt::LeftButton) {
    LeftClick(point.x(), point.y());
  } else if (event->button() == Qt::RightButton) {
    RunCommand(platform_, "clear the drawing area",
               [&] { visualizer_.OnRightButtonDown(point.x(), point.y()); });
  }
  QDialog::mousePressEvent(event);
}

void VortanaWindow::mouseMoveEvent(QMouseEvent* event) {
  QDialog::mouseMoveEvent(event);
  const QPoint point = event->position().toPoint();
  RunCommand(platform_, "follow the mouse", [&] { visualizer_.OnMouseMove(point.x(), point.y()); });
  if (platform_.ChildAt(point.x(), point.y()) == ChildUnderPoint::DrawingArea) {
    const PixelPoint origin = platform_.DrawingAreaOrigin();
    emit PointerOverDrawingArea(point.x() - origin.x, point.y() - origin.y);
  } else {
    emit PointerLeftDrawingArea();
  }
}

void VortanaWindow::leaveEvent(QEvent* event) {
  QDialog::leaveEvent(event);
  emit PointerLeftDrawingArea();
}

void VortanaWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) {
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    // Restored from the task bar: the whole face is shown again and asks for a repaint.
    if ((change->oldState() & Qt::WindowMinimized) && !isMinimized()) update();
  }
  QDialog::changeEvent(event);
}

}  // namespace vortana
