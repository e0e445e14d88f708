#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "vortana_window.h"

class QLabel;
class QMenu;

namespace vortana {

/// The desktop program's window: the dialog, exactly as it is, with a menu bar above it and a
/// status bar below it. Everything the dialog itself does stays in VortanaWindow; what users of
/// a desktop program expect around it (menus, recent files, drops, the readout under the
/// pointer, saving and copying the picture) lives here.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  /// Data sets kept in File > Open Recent.
  static constexpr int kRecentCount = 8;
  using SaveFileChooser = std::function<std::optional<QString>()>;

  MainWindow();

  VortanaWindow& Dialog() { return *dialog_; }
  /// Loads `path` as the "..." button does; used by the command line and by drops.
  void OpenDataSet(const QString& path);
  QStringList RecentFiles() const { return recent_; }
  /// The drawing area with the gap and legend strip below it, as Save and Copy write it.
  QImage Picture() const;
  /// Replaces the save chooser, so that a test answers it itself.
  void SetSaveFileChooser(SaveFileChooser chooser) { chooseSaveFile_ = std::move(chooser); }

 protected:
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // One function per menu; a later menu (View: colour map, colour bar, step units, time steps)
  // is one more of them, added between File and Help.
  void BuildFileMenu();
  void BuildHelpMenu();
  void FillRecentMenu();
  void SavePicture();
  void CopyPicture();
  void ShowShortcuts();
  void ShowAbout();

  void OnDataSetLoaded(const QString& path, bool loaded);
  void ShowReadout(int px, int py);
  void HideReadout();
  void ShowReadoutTip();
  void LoadRecentFiles();
  void StoreRecentFiles() const;

  VortanaWindow* dialog_;
  QMenu* recentMenu_ = nullptr;
  QLabel* dataSetLabel_ = nullptr;
  QStringList recent_;
  QString readout_;
  SaveFileChooser chooseSaveFile_;
};

/// The list after opening `path`: it goes first, once, and the list keeps at most `limit`.
QStringList WithRecentFile(QStringList list, const QString& path, int limit);

}  // namespace vortana
