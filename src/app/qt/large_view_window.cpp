#include "large_view_window.h"

#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <string>

#include "../command_guard.h"
#include "../picture_writer.h"
#include "../readout.h"

namespace vortana {
namespace {

constexpr int kNoteMs = 10000;
// Where the picture does not reach: darker than the dialog's face, lighter than a black picture.
const QColor kLetterbox(64, 64, 64);

QImage SurfaceImage(const Surface& surface) {
  return QImage(reinterpret_cast<const uchar*>(surface.Data()), surface.Width(), surface.Height(),
                surface.Width() * static_cast<int>(sizeof(Colour)), QImage::Format_RGBX8888);
}

bool SameWindow(const WorldWindow& a, const WorldWindow& b) {
  return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1;
}

/// Five significant digits leave the readout room beside it; the exact corners, as --window
/// takes them, are in the tooltip and in a save's note.
QString WindowText(const WorldWindow& w) {
  const auto number = [](float value) { return QString::number(value, 'g', 5); };
  return QObject::tr("x %1 to %2, y %3 to %4")
      .arg(number(w.x0), number(w.x1), number(w.y0), number(w.y1));
}

}  // namespace

LargeViewWindow::LargeViewWindow(VortanaWindow& dialog, SaveFileChooser chooseSaveFile,
                                 QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      dialog_(dialog),
      chooseSaveFile_(std::move(chooseSaveFile)),
      canvas_(new QWidget(this)),
      windowLabel_(new QLabel(this)),
      placements_([this](unsigned ticket) {
        QMetaObject::invokeMethod(this, [this, ticket] { OnPlaced(ticket); },
                                  Qt::QueuedConnection);
      }) {
  setWindowTitle(tr("Large View - Vortana"));
  setObjectName("largeView");
  canvas_->setObjectName("largeViewCanvas");
  canvas_->setMinimumSize(kLeastSide, kLeastSide);
  canvas_->setMouseTracking(true);
  canvas_->setFocusPolicy(Qt::StrongFocus);
  canvas_->setAttribute(Qt::WA_OpaquePaintEvent);
  canvas_->installEventFilter(this);
  setCentralWidget(canvas_);
  statusBar()->addPermanentWidget(windowLabel_);
  // A save's note names a whole command line: the window text makes room while it shows.
  connect(statusBar(), &QStatusBar::messageChanged, this,
          [this](const QString& message) { windowLabel_->setVisible(message != saveNote_); });

  QMenu* file = menuBar()->addMenu(tr("&File"));
  QAction* save = file->addAction(tr("&Save Picture As..."), this, &LargeViewWindow::SavePicture);
  save->setObjectName("actionSaveLargeView");
  save->setShortcut(QKeySequence::Save);
  file->addSeparator();
  file->addAction(tr("&Close"), QKeySequence::Close, this, &QWidget::close);
  QMenu* view = menuBar()->addMenu(tr("&View"));
  QAction* zoomIn = view->addAction(tr("Zoom &In"), this, [this] {
    ZoomAt(AreaRect().width() / 2.0, AreaRect().height() / 2.0, kZoomStep);
  });
  // + is shifted on many keyboards; = is the same key unshifted.
  zoomIn->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)});
  view->addAction(tr("Zoom &Out"), QKeySequence(Qt::Key_Minus), this, [this] {
    ZoomAt(AreaRect().width() / 2.0, AreaRect().height() / 2.0, 1.0 / kZoomStep);
  });
  view->addAction(tr("&Whole Window"), QKeySequence(Qt::Key_Home), this, &LargeViewWindow::GoHome);
  resize(800, 800);
}

LargeViewWindow::~LargeViewWindow() {
  // The placements' threads post to this window: they end before it goes.
  placements_.StopAll();
}

bool LargeViewWindow::YUp() const { return dialog_.GetVisualizer().Map().yUp; }

int LargeViewWindow::DrawingSize() const {
  return std::max(64, SizeToFit(window_, canvas_->width(), canvas_->height()));
}

QRect LargeViewWindow::AreaRect() const {
  const AreaSize area = AreaOfWindow(window_, DrawingSize(), true);
  return QRect((canvas_->width() - area.width) / 2, (canvas_->height() - area.height) / 2,
               area.width, area.height);
}

std::optional<WorldWindow> LargeViewWindow::ShownWindow() const {
  if (!shown_) return std::nullopt;
  return shown_->Dialog().Window();
}

void LargeViewWindow::Refresh() {
  const VisualizerDialog& v = dialog_.GetVisualizer();
  if (!v.Field()) {
    windowLabel_->setText(tr("No data set"));
    return;
  }
  const WorldWindow home = v.Window();
  if (!SameWindow(home, home_)) {
    // Another data set: the picture of the one before would mislead until the new one is ready.
    home_ = home;
    window_ = home;
    shown_.reset();
  }
  Place();
}

void LargeViewWindow::Place() {
  const VisualizerDialog& v = dialog_.GetVisualizer();
  const bool proportioned = window_.x1 > window_.x0 && window_.y1 > window_.y0;
  if (!v.Field() || !isVisible() || !proportioned) return;
  ViewRequest request = ViewRequestOf(v, window_, DrawingSize());
  placingArguments_ = ViewArguments(request);
  ticket_ = placements_.Start(std::move(request));
  ShowWindowText();
  canvas_->update();
}

void LargeViewWindow::OnPlaced(unsigned ticket) {
  std::unique_ptr<ViewPicture> picture = placements_.Take(ticket);
  if (!picture) return;  // abandoned for a newer one
  shown_ = std::move(picture);
  shownArguments_ = placingArguments_;
  ShowWindowText();
  canvas_->update();
  emit PictureReady();
}

void LargeViewWindow::ZoomAt(double px, double py, double factor) {
  const FlowField* field = dialog_.GetVisualizer().Field();
  if (!field) return;
  const AreaSize area = AreaOfWindow(window_, DrawingSize(), true);
  const WorldWindow zoomed =
      ZoomAbout(window_, area, YUp(), px, py, factor, ZoomLimitsOf(*field, home_));
  if (SameWindow(zoomed, window_)) {
    statusBar()->showMessage(factor > 1.0 ? tr("Zoomed in as far as the view goes")
                                          : tr("Zoomed out as far as the view goes"),
                             kNoteMs);
    return;
  }
  window_ = zoomed;
  Place();
}

void LargeViewWindow::PanBy(double dpx, double dpy) {
  const AreaSize area = AreaOfWindow(window_, DrawingSize(), true);
  window_ = vortana::PanBy(window_, area, YUp(), dpx, dpy);
  Place();
}

void LargeViewWindow::GoHome() {
  window_ = home_;
  Place();
}

void LargeViewWindow::ShowWindowText() {
  QString text = WindowText(window_);
  const FlowField* field = dialog_.GetVisualizer().Field();
  if (field && field->HasCell() && !WindowMeetsData(window_, *field)) {
    text += tr(" - outside the data");
  }
  if (placements_.Running()) text += tr(" - placing...");
  windowLabel_->setText(text);
  windowLabel_->setToolTip(tr("--window %1").arg(QString::fromStdString(WindowArgument(window_))));
}

void LargeViewWindow::ShowReadoutAt(QPoint canvasPoint) {
  const QRect rect = AreaRect();
  const VisualizerDialog& v = dialog_.GetVisualizer();
  if (!rect.contains(canvasPoint) || !v.Field()) {
    statusBar()->clearMessage();
    return;
  }
  const AreaSize area{rect.width(), rect.height()};
  const Readout readout = ReadoutAt(v.Field(), MapOfWindow(window_, area, YUp()),
                                    canvasPoint.x() - rect.x(), canvasPoint.y() - rect.y());
  statusBar()->showMessage(QString::fromStdString(ReadoutText(readout)));
}

void LargeViewWindow::PaintCanvas() {
  QPainter painter(canvas_);
  painter.fillRect(canvas_->rect(), kLetterbox);
  const QRect rect = AreaRect();
  painter.fillRect(rect, Qt::black);
  if (!shown_) return;
  const QImage image = SurfaceImage(shown_->Shown());
  const WorldWindow& was = shown_->Dialog().Window();
  if (SameWindow(was, window_) && image.size() == rect.size()) {
    painter.drawImage(rect.topLeft(), image);
    return;
  }
  // The picture before, where its world window lies in the window asked for, until the new one.
  const PixelRect at = PixelRectOfWindow(was, {image.width(), image.height()}, window_,
                                         {rect.width(), rect.height()}, YUp());
  const QRectF target(rect.x() + at.left, rect.y() + at.top, at.right - at.left, at.bottom - at.top);
  painter.setClipRect(rect);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image);
}

bool LargeViewWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != canvas_) return QMainWindow::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Paint:
      PaintCanvas();
      return true;
    case QEvent::Resize:
      Place();
      return false;
    case QEvent::Show:
      Refresh();
      return false;
    case QEvent::Hide:
      placements_.StopAll();
      return false;
    case QEvent::Wheel: {
      const auto* wheel = static_cast<QWheelEvent*>(event);
      const double notches = wheel->angleDelta().y() / 120.0;
      if (notches == 0.0) return true;
      const QRect rect = AreaRect();
      const QPointF at = wheel->position() - QPointF(rect.topLeft());
      ZoomAt(at.x(), at.y(), std::pow(kZoomStep, notches));
      return true;
    }
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return false;
      dragFrom_ = mouse->position().toPoint();
      dragWindow_ = window_;
      return true;
    }
    case QEvent::MouseMove: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint at = mouse->position().toPoint();
      if (dragFrom_ && (mouse->buttons() & Qt::LeftButton) && at != *dragFrom_) {
        const AreaSize area = AreaOfWindow(dragWindow_, DrawingSize(), true);
        window_ = vortana::PanBy(dragWindow_, area, YUp(), at.x() - dragFrom_->x(),
                                 at.y() - dragFrom_->y());
        Place();
      }
      ShowReadoutAt(at);
      return true;
    }
    case QEvent::MouseButtonRelease:
      dragFrom_.reset();
      return true;
    case QEvent::MouseButtonDblClick:
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) GoHome();
      return true;
    case QEvent::Leave:
      statusBar()->clearMessage();
      return false;
    default:
      return false;
  }
}

void LargeViewWindow::SavePicture() {
  if (!shown_) {
    statusBar()->showMessage(tr("Nothing to save yet: the picture is still being placed"), kNoteMs);
    return;
  }
  const std::optional<QString> chosen = chooseSaveFile_();
  if (!chosen) return;
  QtPlatform& platform = dialog_.GetPlatform();
  const std::string path = QFile::encodeName(*chosen).toStdString();
  std::string error;
  RunCommand(platform, "save the picture",
             [&] { error = WritePicture(shown_->Dialog(), shown_->picture, path); });
  if (!error.empty()) {
    platform.ShowMessage(error, "Save Picture As", MessageIcon::Stop);
    return;
  }
  // What vortana-render needs besides the data set and the dialog's settings to draw it again.
  saveNote_ = tr("Saved the picture as %1; vortana-render %2 draws it")
                  .arg(*chosen, QString::fromStdString(shownArguments_));
  statusBar()->showMessage(saveNote_, kNoteMs);
}

}  // namespace vortana
