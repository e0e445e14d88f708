#include "group_frame.h"

#include <qdrawutil.h>

#include <QPainter>

namespace vortana {

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : QWidget(parent), title_(title) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void GroupFrame::SetTitle(const QString& title) {
  title_ = title;
  update();
}

void GroupFrame::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFontMetrics metrics = fontMetrics();
  const int lineY = metrics.height() / 2;
  qDrawShadeRect(&painter, 0, lineY, width(), height() - lineY, palette(), true, 1);

  // The title interrupts the top edge, one character in from the left.
  const int indent = metrics.averageCharWidth();
  const int gap = metrics.averageCharWidth() / 2;
  const QRect titleRect(indent, 0, metrics.horizontalAdvance(title_) + 2 * gap, metrics.height());
  painter.fillRect(titleRect, palette().window());
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(titleRect, Qt::AlignCenter, title_);
}

}  // namespace vortana
