#include "surface_frame.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

namespace vortana {

SurfaceFrame::SurfaceFrame(const Surface& surface, QWidget* parent)
    : QWidget(parent), surface_(surface) {
  setFixedSize(surface.Width(), surface.Height());
  // Every pixel comes from the surface, so nothing beneath needs painting first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SurfaceFrame::ShowInstead(const Surface* other) {
  instead_ = other;
  update();
}

void SurfaceFrame::paintEvent(QPaintEvent* event) {
  const Surface& shown = instead_ != nullptr ? *instead_ : surface_;
  // A COLORREF (0x00BBGGRR) lies in memory as R, G, B, unused: exactly RGBX8888, whose fourth
  // byte Qt never reads, so the surface is shown without converting or copying it.
  const QImage image(reinterpret_cast<const uchar*>(shown.Data()), shown.Width(),
                     shown.Height(), shown.Width() * static_cast<int>(sizeof(Colour)),
                     QImage::Format_RGBX8888);
  QPainter painter(this);
  const QRect dirty = event->rect();
  painter.drawImage(dirty.topLeft(), image, dirty);
}

}  // namespace vortana
