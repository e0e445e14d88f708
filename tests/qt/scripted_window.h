#pragma once

// Mouse input goes through the window system's queue, so that it reaches the widget under the
// pointer as a person's click would (static controls pass it through to the dialog).
#define QTEST_QPA_MOUSE_HANDLING

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QtTest>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/qt/vortana_window.h"
#include "app/sample_flows.h"
#include "data/flow_file_writer.h"
#include "support/temp_dir.h"

namespace vortana::testing {

struct RecordedMessage {
  std::string text;
  std::string caption;
  MessageIcon icon;
};

/// The desktop window shown on screen, its modal services answered by the test: messages are
/// recorded, and the file and colour choosers take their answers from queues (an empty queue
/// answers as a cancel).
class ScriptedWindow {
 public:
  ScriptedWindow() {
    QtPlatform& platform = window.GetPlatform();
    platform.SetMessageShower(
        [this](const std::string& text, const std::string& caption, MessageIcon icon) {
          messages.push_back({text, caption, icon});
        });
    platform.SetOpenFileChooser([this]() -> std::optional<std::string> {
      if (files.empty()) return std::nullopt;
      std::string file = files.front();
      files.pop_front();
      return file;
    });
    platform.SetColourChooser([this]() -> std::optional<Colour> {
      if (colours.empty()) return std::nullopt;
      const Colour colour = colours.front();
      colours.pop_front();
      return colour;
    });
    // Every command finishes before it returns, as it does for a person when it is quick; the
    // work still runs on the worker thread. Tests of long work set a quiet time of 0.
    window.SetQuietTime(std::chrono::minutes(5));
    window.show();
    exposed = QTest::qWaitForWindowExposed(&window);
    QApplication::processEvents();
  }

  VisualizerDialog& Visualizer() { return window.GetVisualizer(); }
  QWidget* Control(int id) const { return window.Control(id); }
  QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(window.Control(id)); }
  QAbstractButton* Button(int id) const {
    return qobject_cast<QAbstractButton*>(window.Control(id));
  }
  QString Text(int id) const {
    return QString::fromStdString(window.GetPlatform().ControlText(id));
  }
  bool Checked(int id) const { return Button(id)->isChecked(); }
  bool Enabled(int id) const { return Control(id)->isEnabled(); }

  void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
  /// Replaces the field's text by typing, as a person would.
  void Type(int id, const QString& text) {
    QLineEdit* edit = Edit(id);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  /// A click on the spinner's upper (delta > 0) or lower arrow.
  void Spin(int spinId, int delta) {
    QWidget* spinner = Control(spinId);
    const int y = delta > 0 ? 2 : spinner->height() - 3;
    QTest::mouseClick(spinner, Qt::LeftButton, {}, QPoint(spinner->width() / 2, y));
  }
  /// A point of the dialog's client area, `dx`, `dy` pixels into the drawing area.
  QPoint InDrawingArea(int dx, int dy) const {
    return Control(kIdDrawingArea)->pos() + QPoint(dx, dy);
  }
  void LeftClick(QPoint point) { QTest::mouseClick(&window, Qt::LeftButton, {}, point); }
  void RightClick(QPoint point) { QTest::mouseClick(&window, Qt::RightButton, {}, point); }

  /// Loads `path` through the "..." button.
  void Load(const std::string& path) {
    files.push_back(path);
    Click(kIdBrowse);
  }

  VortanaWindow window;
  bool exposed = false;
  std::vector<RecordedMessage> messages;
  std::deque<std::string> files;
  std::deque<Colour> colours;
};

/// Writes `flow` on a 64 by 64 grid over the unit square as a file pair in `dir`; returns the
/// grid file's path.
inline std::string WriteSample(const TempDir& dir, SampleFlow flow) {
  SampleOptions options;
  options.width = 64;
  options.height = 64;
  const std::string base = dir.File(SampleFlowName(flow));
  const std::string error =
      WriteFlowFiles(base, options.width, options.height, 1, 2, MakeSampleNodes(flow, options));
  if (!error.empty()) qWarning("%s", error.c_str());
  return base + ".gri";
}

/// The surface as an image (a copy, so that it outlives later drawing).
inline QImage SurfaceImage(const Surface& surface) {
  return QImage(reinterpret_cast<const uchar*>(surface.Data()), surface.Width(), surface.Height(),
                surface.Width() * static_cast<int>(sizeof(Colour)), QImage::Format_RGBX8888)
      .convertToFormat(QImage::Format_RGB32);
}

/// How many pixels of `image` differ in colour from the surface (a size mismatch counts all).
inline int DifferingPixels(const Surface& surface, const QImage& image) {
  if (image.width() != surface.Width() || image.height() != surface.Height()) {
    return surface.Width() * surface.Height();
  }
  int differing = 0;
  for (int y = 0; y < surface.Height(); ++y) {
    for (int x = 0; x < surface.Width(); ++x) {
      const QRgb shown = image.pixel(x, y);
      if (MakeColour(qRed(shown), qGreen(shown), qBlue(shown)) != surface.Pixel(x, y)) {
        ++differing;
      }
    }
  }
  return differing;
}

inline int NonBlackPixels(const Surface& surface) {
  int count = 0;
  for (int i = 0; i < surface.Width() * surface.Height(); ++i) count += surface.Data()[i] != 0;
  return count;
}

}  // namespace vortana::testing
