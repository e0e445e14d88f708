#pragma once

#include <QDialog>
#include <vector>

#include "../visualizer_dialog.h"
#include "dialog_layout.h"
#include "qt_platform.h"

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

 signals:
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

 private:
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
};

}  // namespace vortana
