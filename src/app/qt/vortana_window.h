#pragma once

#include <QDialog>
#include <QString>
#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "../../render/work_monitor.h"

#include "../visualizer_dialog.h"
#include "dialog_layout.h"
#include "qt_platform.h"

class QShortcut;
class QTimer;

namespace vortana {

/// The desktop program's one window: a fixed-size dialog with the 45 controls at their places,
/// which hands every click, spinner step, mouse action and paint request to VisualizerDialog
/// and lets it reach its controls and surfaces through a QtPlatform.
class VortanaWindow : public QDialog {
  Q_OBJECT

 public:
  VortanaWindow();
  ~VortanaWindow() override;

  QtPlatform& GetPlatform() { return platform_; }
  const QtPlatform& GetPlatform() const { return platform_; }
  VisualizerDialog& GetVisualizer() { return visualizer_; }
  /// The control with this id, or null.
  QWidget* Control(int id) const { return platform_.Control(id); }
  /// Every control, in the order of DialogControls().
  const std::vector<QWidget*>& Controls() const { return controls_; }
  const DialogUnits& Units() const { return units_; }

  /// The "..." button: the open-file chooser, then the load of the file chosen.
  void Browse();
  /// Loads the data set at `path` as the "..." button does once a file is chosen; a failure
  /// shows the load's message. Announces the load with DataSetLoaded either way.
  void LoadDataSet(const std::string& path);
  /// Loads time step `step` of the data set loaded now, as a load does but for the step read;
  /// the settings stay. Announced with DataSetLoaded too.
  void LoadStep(int step);
  /// The time step the dialog shows and how many the data set holds (0 with none loaded).
  int Step() const { return step_; }
  int StepCount() const { return stepCount_; }

  // Long work: Visualize, a streamline probe and a load run on a worker thread. Work that ends
  // within the quiet time is finished before the command returns and shows no sign of itself;
  // longer work disables the controls that would change its inputs, announces itself with
  // WorkStarted, and can be stopped by Escape or StopWork. What it placed until then is kept;
  // a load stopped keeps the data set loaded before.
  bool Busy() const { return busy_; }
  void StopWork();
  /// Stops the work and waits for its thread, for a window that closes.
  void EndWork();
  void SetQuietTime(std::chrono::milliseconds quiet) { quietTime_ = quiet; }
  /// What the running work has done so far, for the status bar; empty when none runs.
  QString ProgressText() const;

 signals:
  /// Work outlasted the quiet time; the window shows its progress until WorkEnded.
  void WorkStarted();
  /// Work ended (`stopped`: by a stop request), after its result was taken into the dialog.
  void WorkEnded(bool stopped, const QString& summary);
  /// Visualize took its picture into the dialog.
  void Visualized();
  /// A load ended; `loaded` says whether it gave a field.
  void DataSetLoaded(const QString& path, bool loaded);
  /// The pointer moved to pixel (px, py) of the drawing area.
  void PointerOverDrawingArea(int px, int py);
  /// The pointer moved off the drawing area or out of the dialog.
  void PointerLeftDrawingArea();
  /// The hover timer fired: the pointer rested over the drawing area.
  void HoverRested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  /// Escape: stops running work instead of closing the dialog.
  void reject() override;

 private:
  using WorkBody = std::function<void(WorkMonitor& monitor)>;
  /// Takes the result into the dialog (on this thread); returns the summary shown afterwards.
  using WorkFinish = std::function<QString(bool stopped)>;
  using WorkProgress = std::function<QString(const WorkMonitor& monitor)>;
  void RunWork(const char* what, WorkBody body, WorkFinish finish, WorkProgress progress,
               bool abandonOnStop);
  void FinishWork(unsigned generation);
  void SetInputsEnabled(bool enabled);
  void Load(const std::string& path, int step);
  void ShowGrowingPicture();
  void Visualize();
  void LeftClick(int x, int y);
  void BuildControls();
  QWidget* MakeControl(const ControlEntry& entry, QWidget* previous);
  QRect PlacedRect(const ControlEntry& entry, const QWidget& control) const;
  void PlaceFrames();
  void ConnectCommands();
  bool ReachesDialogFace(const QRegion& region) const;

  QtPlatform platform_;
  VisualizerDialog visualizer_;
  DialogUnits units_;
  std::vector<QWidget*> controls_;
  // Controls that paint themselves: a paint request inside one of them is that control's own.
  std::vector<QWidget*> selfPainting_;
  bool repaintFailureShowing_ = false;
  int step_ = 0;
  int stepCount_ = 0;

  // The running work; monitor_ outlives the thread that polls it.
  bool busy_ = false;
  bool announced_ = false;
  unsigned generation_ = 0;
  std::thread worker_;
  std::thread abandoned_;  // a stopped load still reading files; its result is dropped
  struct WorkState {
    WorkMonitor monitor;
    std::exception_ptr failure;  // written by the worker before it signals the end
  };
  std::shared_ptr<WorkState> work_;
  std::future<void> workDone_;
  const char* workWhat_ = "";
  WorkFinish finish_;
  WorkProgress progress_;
  bool abandonOnStop_ = false;
  std::chrono::milliseconds quietTime_{100};
  std::vector<std::pair<QWidget*, bool>> inputStates_;
  QShortcut* stopShortcut_ = nullptr;
  // The picture of a running Visualize, shown in the drawing area while it grows.
  std::shared_ptr<GrowingPicture> growing_;
  Surface growingShown_{kDrawingWidth, kDrawingHeight};
  QTimer* growingTimer_ = nullptr;
};

}  // namespace vortana
