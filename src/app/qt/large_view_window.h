#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "../../render/view_navigation.h"
#include "../headless/large_view.h"
#include "vortana_window.h"

class QLabel;

namespace vortana {

/// A resizable window beside the dialog that shows its data set with its settings at the
/// window's own size, letterboxed to the view's proportions, and lets the user zoom and pan.
/// Every picture is drawn on a thread of its own as vortana-render draws --window at --size;
/// until it is ready the picture before stays, scaled to where it now lies.
class LargeViewWindow : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr double kZoomStep = 1.25;  // a wheel notch, + or -
  static constexpr int kLeastSide = 256;
  using SaveFileChooser = std::function<std::optional<QString>()>;

  LargeViewWindow(VortanaWindow& dialog, SaveFileChooser chooseSaveFile, QWidget* parent = nullptr);
  ~LargeViewWindow() override;

  /// Draws anew what the dialog shows now (after a Visualize, a load, a step or a setting
  /// change). A new data window (another data set) goes back to the whole window.
  void Refresh();
  /// The world window asked for, and the one of the picture shown (nullopt: none yet).
  const WorldWindow& Window() const { return window_; }
  std::optional<WorldWindow> ShownWindow() const;
  /// The dialog that holds the picture shown; null before the first is ready.
  const ViewPicture* Shown() const { return shown_.get(); }
  bool Placing() const { return placements_.Running(); }
  /// Zooms about the area's pixel (px, py) by `factor`, as the wheel does.
  void ZoomAt(double px, double py, double factor);
  void PanBy(double dpx, double dpy);
  void GoHome();
  void SavePicture();
  /// The drawing area's place in the canvas, letterboxed.
  QRect AreaRect() const;

 signals:
  /// A picture became the one shown.
  void PictureReady();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();
  void OnPlaced(unsigned ticket);
  void PaintCanvas();
  void ShowWindowText();
  void ShowReadoutAt(QPoint canvasPoint);
  int DrawingSize() const;
  bool YUp() const;

  VortanaWindow& dialog_;
  SaveFileChooser chooseSaveFile_;
  QWidget* canvas_;
  QLabel* windowLabel_;
  WorldWindow home_;
  WorldWindow window_;
  std::unique_ptr<ViewPicture> shown_;
  std::string shownArguments_;  // ViewArguments of the picture shown
  std::optional<QPoint> dragFrom_;
  WorldWindow dragWindow_;
  unsigned ticket_ = 0;
  std::string placingArguments_;  // those of the newest placement
  QString saveNote_;
  ViewPlacements placements_;
};

}  // namespace vortana
