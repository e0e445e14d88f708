#include "main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <new>
#include <string>

#include "../command_guard.h"
#include "../control_ids.h"
#include "../field_warnings.h"
#include "../picture_writer.h"
#include "../readout.h"
#include "large_view_window.h"

namespace vortana {
namespace {

constexpr const char* kRecentKey = "recentDataSets";
constexpr int kNoteMs = 10000;
// Progress is refreshed this often while work runs; it first shows when the dialog announces
// the work, after its quiet time.
constexpr int kProgressMs = 100;

struct ColourMapEntry {
  ColourMap map;
  const char* text;  // with its mnemonic
};
constexpr ColourMapEntry kColourMapEntries[] = {
    {ColourMap::Legacy, "&Legacy"},     {ColourMap::Viridis, "&Viridis"},
    {ColourMap::Cividis, "&Cividis"},   {ColourMap::Magma, "&Magma"},
    {ColourMap::Coolwarm, "C&oolwarm"}, {ColourMap::Greys, "&Greys"},
};

struct StepUnitsEntry {
  StepUnits units;
  const char* text;
};
constexpr StepUnitsEntry kStepUnitsEntries[] = {
    {StepUnits::Auto, "&Auto"},
    {StepUnits::World, "&World units"},
    {StepUnits::Pixels, "&Drawing pixels"},
};

// The first is the one offered at first, the format the dialog's pictures always had.
constexpr const char* kPictureFilters[] = {"PNG image (*.png)", "SVG image (*.svg)",
                                           "PDF document (*.pdf)"};

QImage SurfaceImage(const Surface& surface) {
  // A COLORREF lies in memory as RGBX8888 (see SurfaceFrame).
  return QImage(reinterpret_cast<const uchar*>(surface.Data()), surface.Width(), surface.Height(),
                surface.Width() * static_cast<int>(sizeof(Colour)), QImage::Format_RGBX8888);
}

QStringList LocalFiles(const QMimeData* data) {
  QStringList files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) files.push_back(url.toLocalFile());
  }
  return files;
}

std::optional<QString> RunSaveFileDialog(QWidget* parent, const QString& suggested) {
  QFileDialog dialog(parent, QObject::tr("Save Picture As"), suggested);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  QStringList filters;
  for (const char* filter : kPictureFilters) filters << QObject::tr(filter);
  dialog.setNameFilters(filters);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return WithPictureExtension(dialog.selectedFiles().constFirst(), dialog.selectedNameFilter());
}

}  // namespace

QString WithPictureExtension(const QString& path, const QString& filter) {
  if (PictureFormatOfPath(QFile::encodeName(path).toStdString()) &&
      !QFileInfo(path).suffix().isEmpty()) {
    return path;
  }
  // The extension between "(*" and ")"; PNG when the filter names none.
  const qsizetype open = filter.indexOf(QStringLiteral("(*."));
  const qsizetype close = filter.indexOf(')', open);
  const QString extension =
      open >= 0 && close > open ? filter.mid(open + 2, close - open - 2) : QStringLiteral(".png");
  return path + extension;
}

QStringList WithRecentFile(QStringList list, const QString& path, int limit) {
  list.removeAll(path);
  list.prepend(path);
  while (list.size() > limit) list.removeLast();
  return list;
}

MainWindow::MainWindow() : dialog_(new VortanaWindow) {
  setWindowTitle(QString::fromLatin1(VisualizerDialog::kTitle));
  // The dialog keeps its size, coordinates and behaviour; only now it is a part of this window.
  dialog_->setParent(this);
  dialog_->setWindowFlags(Qt::Widget);
  setCentralWidget(dialog_);
  dialog_->show();
  // Escape and every other way the dialog closes itself end the program, as they did.
  connect(dialog_, &QDialog::finished, this, &QWidget::close);

  BuildFileMenu();
  BuildViewMenu();
  BuildHelpMenu();
  dataSetLabel_ = new QLabel(tr("No data set"), this);
  statusBar()->addWidget(dataSetLabel_, 1);
  BuildProgressArea();
  statusBar()->setSizeGripEnabled(false);  // the window has a fixed size
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  setAcceptDrops(true);

  chooseSaveFile_ = [this]() -> std::optional<QString> {
    const std::string name = dialog_->GetVisualizer().GetSettings().fileName;
    const QFileInfo data(QFile::decodeName(name.c_str()));
    // No extension: the filter chosen gives it, so that choosing SVG is enough to get SVG.
    const QString suggested =
        name.empty() ? QStringLiteral("picture")
                     : data.dir().filePath(data.completeBaseName().section('.', 0, 0));
    return RunSaveFileDialog(this, suggested);
  };

  connect(dialog_, &VortanaWindow::DataSetLoaded, this, &MainWindow::OnDataSetLoaded);
  connect(dialog_, &VortanaWindow::PointerOverDrawingArea, this, &MainWindow::ShowReadout);
  connect(dialog_, &VortanaWindow::PointerLeftDrawingArea, this, &MainWindow::HideReadout);
  connect(dialog_, &VortanaWindow::HoverRested, this, &MainWindow::ShowReadoutTip);
  connect(dialog_, &VortanaWindow::WorkStarted, this, &MainWindow::OnWorkStarted);
  connect(dialog_, &VortanaWindow::WorkEnded, this, &MainWindow::OnWorkEnded);
  connect(dialog_, &VortanaWindow::Visualized, this, &MainWindow::RefreshLargeView);
  connect(dialog_, &VortanaWindow::DataSetLoaded, this, &MainWindow::RefreshLargeView);
  LoadRecentFiles();
}

void MainWindow::BuildFileMenu() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  QAction* open = file->addAction(tr("&Open..."), dialog_, &VortanaWindow::Browse);
  open->setObjectName("actionOpen");
  open->setShortcut(QKeySequence::Open);
  recentMenu_ = file->addMenu(tr("Open &Recent"));
  workInputs_.push_back(open);
  workInputs_.push_back(recentMenu_->menuAction());
  file->addSeparator();
  QAction* save = file->addAction(tr("&Save Picture As..."), this, &MainWindow::SavePicture);
  save->setObjectName("actionSavePicture");
  save->setShortcut(QKeySequence::Save);
  QAction* copy = file->addAction(tr("&Copy Picture"), this, &MainWindow::CopyPicture);
  copy->setObjectName("actionCopyPicture");
  copy->setShortcut(QKeySequence::Copy);
  file->addSeparator();
  QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
  quit->setObjectName("actionQuit");
  // Some platforms' key bindings have no Quit (Windows, Qt's offscreen platform): Ctrl+Q there.
  const QKeySequence platformQuit(QKeySequence::Quit);
  quit->setShortcut(platformQuit.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Q) : platformQuit);
}

void MainWindow::BuildViewMenu() {
  QMenu* view = menuBar()->addMenu(tr("&View"));
  QMenu* maps = view->addMenu(tr("Colour &Map"));
  maps->setObjectName("menuColourMap");
  colourMaps_ = new QActionGroup(this);
  colourMaps_->setExclusive(true);
  for (const ColourMapEntry& entry : kColourMapEntries) {
    QAction* action = maps->addAction(tr(entry.text));
    action->setCheckable(true);
    action->setData(RadioIndex(entry.map));
    colourMaps_->addAction(action);
  }
  connect(colourMaps_, &QActionGroup::triggered, this, [this](QAction* action) {
    VisualizerDialog& v = dialog_->GetVisualizer();
    v.MutableSettings().colourMap = action->data().toInt();
    RunCommand(dialog_->GetPlatform(), "change the colour map", [&v] { v.RecolourBackground(); });
  });
  workInputs_.push_back(maps->menuAction());
  ShowChosenColourMap();
  connect(colourMaps_, &QActionGroup::triggered, this, &MainWindow::RefreshLargeView);
  AddDisplayChoices(view);
  view->addSeparator();
  QAction* large = view->addAction(tr("&Large View"), this, &MainWindow::ShowLargeView);
  large->setObjectName("actionLargeView");
  large->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
}

void MainWindow::ShowLargeView() {
  if (!largeView_) {
    largeView_ = new LargeViewWindow(*dialog_, [this] { return chooseSaveFile_(); }, this);
  }
  // The view draws the settings as the dialog reads them now, as any command does.
  VisualizerDialog& v = dialog_->GetVisualizer();
  RunCommand(dialog_->GetPlatform(), "open the large view", [&v] { (void)v.ReadSettings(); });
  largeView_->show();
  largeView_->raise();
  largeView_->activateWindow();
  largeView_->Refresh();
}

void MainWindow::RefreshLargeView() {
  if (largeView_ && largeView_->isVisible()) largeView_->Refresh();
}

void MainWindow::AddDisplayChoices(QMenu* view) {
  AddStepUnitsMenu(view);
  colourBar_ = view->addAction(tr("Colour &Bar"));
  colourBar_->setObjectName("actionColourBar");
  colourBar_->setCheckable(true);
  colourBar_->setToolTip(tr("Save pictures with a colour bar that explains the background"));
  AddStepEntries(view);
}

void MainWindow::AddStepUnitsMenu(QMenu* view) {
  QMenu* units = view->addMenu(tr("Step &Units"));
  units->setObjectName("menuStepUnits");
  stepUnits_ = new QActionGroup(this);
  stepUnits_->setExclusive(true);
  const int chosen = dialog_->GetVisualizer().GetSettings().stepUnits;
  for (const StepUnitsEntry& entry : kStepUnitsEntries) {
    QAction* action = units->addAction(tr(entry.text));
    action->setCheckable(true);
    action->setData(RadioIndex(entry.units));
    action->setChecked(RadioIndex(entry.units) == chosen);
    stepUnits_->addAction(action);
  }
  // Read by the next Visualize, as the dialog's own fields are.
  connect(stepUnits_, &QActionGroup::triggered, this, [this](QAction* action) {
    dialog_->GetVisualizer().MutableSettings().stepUnits = action->data().toInt();
    RefreshLargeView();
  });
  workInputs_.push_back(units->menuAction());
}

void MainWindow::AddStepEntries(QMenu* view) {
  view->addSeparator();
  AddStepEntry(view, tr("&Next Step"), "actionNextStep", QKeySequence(Qt::Key_PageDown),
               [](int step) { return step + 1; });
  AddStepEntry(view, tr("&Previous Step"), "actionPreviousStep", QKeySequence(Qt::Key_PageUp),
               [](int step) { return step - 1; });
  AddStepEntry(view, tr("&First Step"), "actionFirstStep", QKeySequence(Qt::CTRL | Qt::Key_Home),
               [](int) { return 0; });
  AddStepEntry(view, tr("&Last Step"), "actionLastStep", QKeySequence(Qt::CTRL | Qt::Key_End),
               [this](int) { return dialog_->StepCount() - 1; });
  ShowStepEntries(true);
}

QAction* MainWindow::AddStepEntry(QMenu* view, const QString& text, const char* name,
                                  const QKeySequence& shortcut, std::function<int(int)> target) {
  QAction* action = view->addAction(text);
  action->setObjectName(name);
  action->setShortcut(shortcut);
  connect(action, &QAction::triggered, this, [this, target] {
    dialog_->LoadStep(target(dialog_->Step()));
  });
  stepEntries_.emplace_back(action, std::move(target));
  return action;
}

void MainWindow::ShowStepEntries(bool enabled) {
  const int step = dialog_->Step();
  const int count = dialog_->StepCount();
  for (auto& [action, target] : stepEntries_) {
    const int to = target(step);
    action->setEnabled(enabled && count > 1 && to >= 0 && to < count && to != step);
  }
}

void MainWindow::ShowChosenColourMap() {
  const int chosen = dialog_->GetVisualizer().GetSettings().colourMap;
  for (QAction* action : colourMaps_->actions()) {
    if (action->data().toInt() == chosen) action->setChecked(true);
  }
}

void MainWindow::BuildProgressArea() {
  progressLabel_ = new QLabel(this);
  stopButton_ = new QPushButton(tr("Stop"), this);
  stopButton_->setObjectName("stopButton");
  stopButton_->setToolTip(tr("Stop the work, keeping what it drew so far (Escape)"));
  // Clicking it must not take the focus from the dialog, where Escape works too.
  stopButton_->setFocusPolicy(Qt::NoFocus);
  connect(stopButton_, &QPushButton::clicked, dialog_, &VortanaWindow::StopWork);
  statusBar()->addPermanentWidget(progressLabel_);
  statusBar()->addPermanentWidget(stopButton_);
  progressLabel_->hide();
  stopButton_->hide();
  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(kProgressMs);
  connect(progressTimer_, &QTimer::timeout, this, &MainWindow::ShowProgress);
}

void MainWindow::OnWorkStarted() {
  SetWorkInputsEnabled(false);
  ShowProgress();
  progressLabel_->show();
  stopButton_->show();
  progressTimer_->start();
  if (!busyCursor_) {
    // The window stays usable: the arrow with a busy sign, not the wait cursor.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    busyCursor_ = true;
  }
}

void MainWindow::OnWorkEnded(bool /*stopped*/, const QString& summary) {
  progressTimer_->stop();
  progressLabel_->hide();
  stopButton_->hide();
  SetWorkInputsEnabled(true);
  if (busyCursor_) {
    QApplication::restoreOverrideCursor();
    busyCursor_ = false;
  }
  if (!summary.isEmpty()) statusBar()->showMessage(summary, kNoteMs);
}

void MainWindow::ShowProgress() {
  progressLabel_->setText(dialog_->ProgressText());
}

void MainWindow::SetWorkInputsEnabled(bool enabled) {
  for (QAction* action : workInputs_) action->setEnabled(enabled);
  ShowStepEntries(enabled);
  setAcceptDrops(enabled);
  if (enabled) FillRecentMenu();  // it is disabled while the list is empty
}

void MainWindow::closeEvent(QCloseEvent* event) {
  dialog_->EndWork();
  if (largeView_) largeView_->close();
  QMainWindow::closeEvent(event);
}

void MainWindow::BuildHelpMenu() {
  QMenu* help = menuBar()->addMenu(tr("&Help"));
  QAction* keys = help->addAction(tr("&Keyboard Shortcuts"), this, &MainWindow::ShowShortcuts);
  keys->setObjectName("actionShortcuts");
  keys->setShortcut(QKeySequence::HelpContents);
  QAction* about = help->addAction(tr("&About Vortana"), this, &MainWindow::ShowAbout);
  about->setObjectName("actionAbout");
}

void MainWindow::FillRecentMenu() {
  recentMenu_->clear();
  for (int i = 0; i < recent_.size(); ++i) {
    const QString path = recent_[i];
    // The mnemonic is the entry's number; '&' in a file name is shown, not taken as one.
    QString name = QFileInfo(path).fileName();
    name.replace('&', QStringLiteral("&&"));
    QAction* entry = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name), this,
                                            [this, path] { OpenDataSet(path); });
    entry->setStatusTip(path);
    entry->setToolTip(path);
  }
  recentMenu_->addSeparator();
  recentMenu_->addAction(tr("&Clear Menu"), this, [this] {
    recent_.clear();
    StoreRecentFiles();
    FillRecentMenu();
  });
  recentMenu_->setEnabled(!recent_.isEmpty());
}

void MainWindow::LoadRecentFiles() {
  recent_ = QSettings().value(kRecentKey).toStringList().mid(0, kRecentCount);
  FillRecentMenu();
}

void MainWindow::StoreRecentFiles() const { QSettings().setValue(kRecentKey, recent_); }

void MainWindow::OpenDataSet(const QString& path) {
  dialog_->LoadDataSet(QFile::encodeName(path).toStdString());
}

void MainWindow::OnDataSetLoaded(const QString& path, bool loaded) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  const QString name = QFileInfo(path).fileName();
  if (!loaded) {
    // A data set that no longer opens leaves the recent list.
    recent_.removeAll(absolute);
    dataSetLabel_->setText(tr("No data set: %1 could not be opened").arg(name));
  } else {
    recent_ = WithRecentFile(recent_, absolute, kRecentCount);
    const FlowField& field = *dialog_->GetVisualizer().Field();
    QString text = tr("%1   %2 x %3 x %4 nodes, %5 scalars")
                       .arg(name)
                       .arg(field.Width())
                       .arg(field.Height())
                       .arg(field.Depth())
                       .arg(field.ScalarCount());
    if (dialog_->StepCount() > 1) {
      // Counted from 1 here, as a reader counts; the step's number in files is one less.
      // Numbered from 0, as vortana-render's --step and the data files number them.
      text += tr("   step %1 (of 0 to %2)").arg(dialog_->Step()).arg(dialog_->StepCount() - 1);
    }
    for (const std::string& warning : FieldWarnings(field)) {
      text += QStringLiteral("   |   ") + QString::fromStdString(warning);
    }
    dataSetLabel_->setText(text);
  }
  dataSetLabel_->setToolTip(dataSetLabel_->text());
  ShowStepEntries(!dialog_->Busy());
  StoreRecentFiles();
  FillRecentMenu();
}

QImage MainWindow::Picture() const {
  const VisualizerDialog& v = dialog_->GetVisualizer();
  const Surface& area = v.DrawingArea();
  const Surface& legend = v.LegendStrip();
  QImage picture(area.Width(), area.Height() + kLegendGap + legend.Height(), QImage::Format_RGB32);
  picture.fill(Qt::black);
  QPainter painter(&picture);
  painter.drawImage(0, 0, SurfaceImage(area));
  painter.drawImage(0, area.Height() + kLegendGap, SurfaceImage(legend));
  return picture;
}

void MainWindow::SavePicture() {
  const std::optional<QString> chosen = chooseSaveFile_();
  if (!chosen) return;
  QtPlatform& platform = dialog_->GetPlatform();
  const std::string path = QFile::encodeName(*chosen).toStdString();
  const VisualizerDialog& v = dialog_->GetVisualizer();
  PictureOptions options;
  options.legend = true;
  // The bar explains the background's colours; without a background it would explain nothing.
  const bool barLeftOut = colourBar_->isChecked() && v.GetSettings().background == 0;
  options.colourBar = colourBar_->isChecked() && !barLeftOut;
  std::string error;
  RunCommand(platform, "save the picture", [&] { error = WritePicture(v, options, path); });
  if (!error.empty()) {
    platform.ShowMessage(error, "Save Picture As", MessageIcon::Stop);
    return;
  }
  statusBar()->showMessage(
      barLeftOut ? tr("Saved the picture as %1 without the colour bar: Background is off")
                       .arg(*chosen)
                 : tr("Saved the picture as %1").arg(*chosen),
      kNoteMs);
}

void MainWindow::CopyPicture() {
  QApplication::clipboard()->setImage(Picture());
  statusBar()->showMessage(tr("Copied the picture"), kNoteMs);
}

void MainWindow::ShowShortcuts() {
  QMessageBox::information(
      this, tr("Keyboard Shortcuts"),
      tr("Ctrl+O\tOpen a data set\n"
         "Ctrl+S\tSave the picture as PNG, SVG or PDF\n"
         "Ctrl+C\tCopy the picture\n"
         "Ctrl+L\tThe large view: wheel zooms, drag pans, Home or a\n\tdouble click shows the whole window\n"
         "Ctrl+Q\tQuit\n"
         "F1\tThis list\n"
         "Page Down, Page Up\tThe next or previous time step\n"
         "Ctrl+Home, Ctrl+End\tThe first or last time step\n"
         "Enter\tVisualize (in the Filename field: open the typed path)\n"
         "Alt+letter\tThe control or menu whose underlined letter it is\n"
         "Up, Down\tStep the number in a field with arrows\n"
         "Escape\tStop the work that runs; else close the window\n\n"
         "Left click in the picture: probe with one arrow or streamline.\n"
         "Right click in the picture: clear the probes and the picture.\n"
         "Click the colour swatch: choose the line colour."));
}

void MainWindow::ShowAbout() {
  QMessageBox::about(this, tr("About Vortana"),
                     tr("<b>Vortana %1</b><p>A visualiser for two-dimensional flow fields: "
                        "arrows and streamlines over a colour background of speed, pressure or "
                        "vorticity.</p>")
                         .arg(QString::fromLatin1(VORTANA_VERSION)));
}

void MainWindow::ShowReadout(int px, int py) {
  const VisualizerDialog& v = dialog_->GetVisualizer();
  readout_ = QString::fromStdString(ReadoutText(ReadoutAt(v.Field(), v.Map(), px, py)));
  if (readout_.isEmpty()) {
    statusBar()->clearMessage();
  } else {
    statusBar()->showMessage(readout_);
  }
}

void MainWindow::HideReadout() {
  if (readout_.isEmpty()) return;
  readout_.clear();
  statusBar()->clearMessage();
  QToolTip::hideText();
}

void MainWindow::ShowReadoutTip() {
  if (!readout_.isEmpty()) QToolTip::showText(QCursor::pos(), readout_, dialog_);
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) {
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    // Restored from the task bar: the dialog's whole face is shown again and asks for a repaint.
    if ((change->oldState() & Qt::WindowMinimized) && !isMinimized()) dialog_->update();
  }
  QMainWindow::changeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QStringList files = LocalFiles(event->mimeData());
  if (files.isEmpty() || dialog_->Busy()) return;
  event->acceptProposedAction();
  // Loaded once the drop is over: a failed load opens a message box, which must not run inside
  // the drag and drop's own event handling.
  QTimer::singleShot(0, this, [this, files] {
    OpenDataSet(files.constFirst());
    if (files.size() > 1) {
      statusBar()->showMessage(tr("%1 files dropped; opened the first, %2")
                                   .arg(files.size())
                                   .arg(QFileInfo(files.constFirst()).fileName()),
                               kNoteMs);
    }
  });
}

}  // namespace vortana
