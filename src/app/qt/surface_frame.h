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
  /// Shows `other` instead of the frame's own surface (the picture of running work); null
  /// shows the own surface again.
  void ShowInstead(const Surface* other);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const Surface& surface_;
  const Surface* instead_ = nullptr;
};

}  // namespace vortana
