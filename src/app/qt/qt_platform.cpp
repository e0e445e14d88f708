#include "qt_platform.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <ranges>

#include "../control_ids.h"

namespace vortana {
namespace {

constexpr const char* kGridFilesFilter = "Vortana Grid Files (*.gri)";
constexpr const char* kDataFilesFilter = "NumPy, NetCDF and VTK files (*.npz *.nc *.vti *.vtr)";
constexpr const char* kAllFilesFilter = "All Files (*.*)";
constexpr const char* kDefaultSuffix = "dat";

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

QMessageBox::Icon MessageBoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Stop:
      return QMessageBox::Critical;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Information:
      break;
  }
  return QMessageBox::Information;
}

}  // namespace

QtPlatform::QtPlatform(QWidget* dialog)
    : dialog_(dialog),
      chooseOpenFile_([dialog] { return RunOpenFileDialog(dialog); }),
      chooseColour_([dialog] { return RunColourDialog(dialog); }),
      showMessage_([dialog](const std::string& text, const std::string& caption, MessageIcon icon) {
        RunMessageBox(dialog, text, caption, icon);
      }) {}

QtPlatform::~QtPlatform() = default;

void QtPlatform::AddControl(int id, QWidget* control) {
  controls_.push_back(control);
  if (id != -1) byId_[id] = control;
}

QWidget* QtPlatform::Control(int id) const {
  const auto found = byId_.find(id);
  return found == byId_.end() ? nullptr : found->second;
}

std::string QtPlatform::ControlText(int id) const {
  const QWidget* control = Control(id);
  if (const auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->text().toStdString();
  if (const auto* label = qobject_cast<const QLabel*>(control)) return label->text().toStdString();
  if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
    return button->text().toStdString();
  }
  return {};
}

void QtPlatform::SetControlText(int id, const std::string& text) {
  QWidget* control = Control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setText(FromUtf8(text));
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(FromUtf8(text));
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(FromUtf8(text));
  }
}

bool QtPlatform::IsChecked(int id) const {
  const auto* button = qobject_cast<const QAbstractButton*>(Control(id));
  return button != nullptr && button->isChecked();
}

void QtPlatform::SetChecked(int id, bool checked) {
  auto* button = qobject_cast<QAbstractButton*>(Control(id));
  if (button == nullptr) return;
  QButtonGroup* group = button->group();
  if (!checked && group != nullptr && group->exclusive()) {
    // An exclusive group keeps its checked button checked; "no button checked" is a state the
    // dialog shows too (radio index -1), so the group lets go for this one change.
    group->setExclusive(false);
    button->setChecked(false);
    group->setExclusive(true);
    return;
  }
  button->setChecked(checked);
}

void QtPlatform::EnableControl(int id, bool enabled) {
  if (QWidget* control = Control(id)) control->setEnabled(enabled);
}

bool QtPlatform::IsControlEnabled(int id) const {
  const QWidget* control = Control(id);
  return control != nullptr && control->isEnabled();
}

void QtPlatform::StartTimer(int id, int periodMs) {
  std::unique_ptr<QTimer>& timer = timers_[id];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [this, id] {
      if (timerHandler_) timerHandler_(id);
    });
  }
  timer->start(periodMs);  // a running timer starts its period again
}

void QtPlatform::StopTimer(int id) {
  const auto found = timers_.find(id);
  if (found != timers_.end()) found->second->stop();
}

// The dialog may sit inside a larger window (menus and status bar): the window is what the
// user minimises.
bool QtPlatform::IsMinimised() const { return dialog_->window()->isMinimized(); }

ChildUnderPoint QtPlatform::ChildAt(int x, int y) const {
  // The topmost control whose rectangle holds the point, whether or not it is enabled or
  // shown; the last child in Qt's list is the topmost.
  const QPoint point(x, y);
  for (const QObject* child : dialog_->children() | std::views::reverse) {
    const auto found = std::ranges::find(controls_, child);
    if (found == controls_.end() || !(*found)->geometry().contains(point)) continue;
    if (*found == Control(kIdDrawingArea)) return ChildUnderPoint::DrawingArea;
    if (*found == Control(kIdLegend)) return ChildUnderPoint::Legend;
    if (*found == Control(kIdSwatch)) return ChildUnderPoint::Swatch;
    return ChildUnderPoint::Other;
  }
  return ChildUnderPoint::None;
}

PixelPoint QtPlatform::DrawingAreaOrigin() const {
  const QPoint origin = Control(kIdDrawingArea)->pos();
  return {origin.x(), origin.y()};
}

void QtPlatform::SurfacesChanged() {
  for (const int id : {kIdDrawingArea, kIdLegend, kIdSwatch}) {
    if (QWidget* frame = Control(id)) frame->update();
  }
}

std::optional<std::string> RunOpenFileDialog(QWidget* parent) {
  QFileDialog dialog(parent, QObject::tr("Open"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QString::fromLatin1(kDefaultSuffix));
  dialog.setNameFilters({QString::fromLatin1(kGridFilesFilter),
                         QString::fromLatin1(kDataFilesFilter),
                         QString::fromLatin1(kAllFilesFilter)});
  dialog.selectNameFilter(QString::fromLatin1(kGridFilesFilter));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  // The path in the file system's own encoding, which is what the file reading opens.
  return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

std::optional<Colour> RunColourDialog(QWidget* parent) {
  // Starts from black, not from the current line colour.
  const QColor chosen = QColorDialog::getColor(Qt::black, parent);
  if (!chosen.isValid()) return std::nullopt;
  return MakeColour(chosen.red(), chosen.green(), chosen.blue());
}

void RunMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                   MessageIcon icon) {
  QMessageBox box(MessageBoxIcon(icon), FromUtf8(caption), FromUtf8(text), QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace vortana
