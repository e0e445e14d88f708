#include "spinner.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

namespace vortana {
namespace {

// A held arrow steps again after a pause long enough for a single click, then at a steady rate.
constexpr int kFirstRepeatMs = 400;
constexpr int kRepeatMs = 100;

}  // namespace

Spinner::Spinner(QLineEdit* buddy, QWidget* parent) : QWidget(parent) {
  // Like the buddy-bound up-down control it stands for, it never takes the focus itself.
  setFocusPolicy(Qt::NoFocus);
  buddy->installEventFilter(this);
  connect(&repeat_, &QTimer::timeout, this, &Spinner::Repeat);
}

QRect Spinner::UpRect() const { return {0, 0, width(), height() / 2}; }

QRect Spinner::DownRect() const {
  const int top = height() / 2;
  return {0, top, width(), height() - top};
}

void Spinner::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const auto drawHalf = [&](const QRect& rect, QStyle::PrimitiveElement arrow, bool held) {
    QStyleOption option;
    option.initFrom(this);
    option.rect = rect;
    option.state |= held ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &option, &painter, this);
    option.rect = rect.adjusted(2, 1, -2, -1);
    style()->drawPrimitive(arrow, &option, &painter, this);
  };
  drawHalf(UpRect(), QStyle::PE_IndicatorArrowUp, heldDelta_ > 0);
  drawHalf(DownRect(), QStyle::PE_IndicatorArrowDown, heldDelta_ < 0);
}

void Spinner::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  heldDelta_ = UpRect().contains(event->position().toPoint()) ? +1 : -1;
  update();
  repeat_.start(kFirstRepeatMs);
  emit Stepped(heldDelta_);
  // A step may have shown a message box, which took the button's release for itself.
  if (!StillHeld()) Release();
}

void Spinner::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Release();
  QWidget::mouseReleaseEvent(event);
}

void Spinner::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) Release();
  QWidget::changeEvent(event);
}

void Spinner::Release() {
  repeat_.stop();
  heldDelta_ = 0;
  update();
}

bool Spinner::StillHeld() const {
  const QWidget* modal = QApplication::activeModalWidget();
  return heldDelta_ != 0 && (QGuiApplication::mouseButtons() & Qt::LeftButton) &&
         (modal == nullptr || modal == window());
}

void Spinner::Repeat() {
  if (!StillHeld()) {
    Release();
    return;
  }
  repeat_.start(kRepeatMs);
  emit Stepped(heldDelta_);
}

bool Spinner::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && isEnabled()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
      emit Stepped(key->key() == Qt::Key_Up ? +1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace vortana
