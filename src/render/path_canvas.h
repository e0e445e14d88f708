#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"

namespace vortana {

/// What our own vector canvases (SVG, PDF) hold alike: the size, the line width, the pen, the
/// MoveTo position, whether streamlines get arrowheads, and how images become PNG bytes. Each
/// writes its own syntax; the geometry they share stands in chain_corners.h and arrowheads.h.
class PathCanvas : public Canvas {
 public:
  /// Encodes an image as a PNG file's bytes into `png`; returns an empty string or what failed.
  using PngEncoder = std::string (*)(const Colour* pixels, int width, int height,
                                     std::vector<uint8_t>& png);

  /// Streamlines drawn from now on get filled arrowheads pointing downstream.
  void SetArrowheads(bool on) { arrowheads_ = on; }
  /// What went wrong with an image, or an empty string; the output is incomplete then.
  const std::string& Error() const { return error_; }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SelectPen(Colour c) override { pen_ = c; }
  Colour Pen() const override { return pen_; }
  void MoveTo(int x, int y) override { current_ = {x, y}; }

 protected:
  PathCanvas(int width, int height, double lineWidth, PngEncoder encodePng)
      : width_(width), height_(height), lineWidth_(lineWidth), encodePng_(encodePng) {}

  int width_;
  int height_;
  double lineWidth_;
  PngEncoder encodePng_;
  bool arrowheads_ = false;
  Colour pen_ = kBlack;
  PixelPoint current_;
  std::string error_;
};

}  // namespace vortana
