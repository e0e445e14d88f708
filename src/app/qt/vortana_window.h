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

 protected:
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
