#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "vortana_window.h"

class QActionGroup;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace vortana {

class LargeViewWindow;

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
  /// View > Large View: shows the large view (made at the first call) and draws it.
  void ShowLargeView();
  /// The large view; null until it was first shown.
  LargeViewWindow* LargeView() const { return largeView_; }
  /// Replaces the save chooser, so that a test answers it itself.
  void SetSaveFileChooser(SaveFileChooser chooser) { chooseSaveFile_ = std::move(chooser); }

 protected:
  void changeEvent(QEvent* event) override;
  /// Closing while work runs stops the work first.
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // One function per menu.
  void BuildFileMenu();
  void BuildViewMenu();
  /// The View entries that come with settings still to land (the colour bar, the step units,
  /// the time steps) go here, each after the colour maps.
  void AddDisplayChoices(QMenu* view);
  void BuildHelpMenu();
  void BuildProgressArea();
  void FillRecentMenu();
  void AddStepUnitsMenu(QMenu* view);
  void AddStepEntries(QMenu* view);
  QAction* AddStepEntry(QMenu* view, const QString& text, const char* name,
                        const QKeySequence& shortcut, std::function<int(int)> target);
  /// Enables the time-step entries that lead to another step.
  void ShowStepEntries(bool enabled);
  void SavePicture();
  void CopyPicture();
  /// Draws the large view anew when it is open.
  void RefreshLargeView();
  void ShowShortcuts();
  void ShowAbout();

  void OnDataSetLoaded(const QString& path, bool loaded);
  void OnWorkStarted();
  void OnWorkEnded(bool stopped, const QString& summary);
  void ShowProgress();
  /// Enables or disables what would change the inputs of running work.
  void SetWorkInputsEnabled(bool enabled);
  /// Checks the colour map entry of the dialog's setting.
  void ShowChosenColourMap();
  void ShowReadout(int px, int py);
  void HideReadout();
  void ShowReadoutTip();
  void LoadRecentFiles();
  void StoreRecentFiles() const;

  VortanaWindow* dialog_;
  QMenu* recentMenu_ = nullptr;
  QLabel* dataSetLabel_ = nullptr;
  QLabel* progressLabel_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QTimer* progressTimer_ = nullptr;
  QActionGroup* colourMaps_ = nullptr;
  QActionGroup* stepUnits_ = nullptr;
  QAction* colourBar_ = nullptr;
  // Each with the step it leads to from the step shown.
  std::vector<std::pair<QAction*, std::function<int(int)>>> stepEntries_;
  std::vector<QAction*> workInputs_;  // disabled while work runs
  bool busyCursor_ = false;
  QStringList recent_;
  QString readout_;
  SaveFileChooser chooseSaveFile_;
  LargeViewWindow* largeView_ = nullptr;
};

/// `path` with the extension of the save chooser's `filter` ("SVG image (*.svg)") appended,
/// unless it already ends in one of the picture extensions.
QString WithPictureExtension(const QString& path, const QString& filter);

/// The list after opening `path`: it goes first, once, and the list keeps at most `limit`.
QStringList WithRecentFile(QStringList list, const QString& path, int limit);

}  // namespace vortana
