#pragma once

#include <QWidget>

#include "../../render/surface.h"

namespace vortana {

/// One of the dialog's three frames (drawing area, legend strip, colour swatch): a fixed-size
/// widget that shows a Surface the dialog draws into, straight from the surface's memory. It
/// takes no input: clicks and moves over it go to the dialog beneath, which hit-tests them.
class SurfaceFrame : public QWidget {
 public:
  SurfaceFrame(const Surface& surface, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const Surface& surface_;
};

}  // namespace vortana
