#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "path_canvas.h"

namespace vortana {

/// One page of a PDF file of our own, for pictures without text: a content stream and images.
/// cairo's PDF writer spends most of a picture's time deflating the background again at zlib's
/// default level and passing every path point through its recording; this page takes the
/// background's PNG stream as it is (PDF's Flate filter with the PNG predictors reads it) and
/// writes the paths' numbers straight into the content.
///
/// The content's user space is the page's pixels, origin top-left, y downward, as a Canvas's.
class PdfPage {
 public:
  PdfPage(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  /// The content stream's operators so far; a canvas appends to it.
  std::string& Content() { return content_; }
  /// Adds the image of a PNG file's bytes (8-bit RGB, not interlaced) as an image XObject and
  /// returns its resource name, or nothing when the bytes are not such a PNG.
  std::optional<std::string> AddPngImage(std::span<const uint8_t> png);
  /// The whole file: header, objects, cross-reference table and trailer. The content is deflated
  /// at zlib's fastest level. Throws std::bad_alloc when memory is short.
  std::string Document() const;

 private:
  struct ImageObject {
    int width = 0;
    int height = 0;
    std::string data;  // the PNG's IDAT bytes, one zlib stream
  };

  int width_;
  int height_;
  std::string content_;
  std::vector<ImageObject> images_;
};

/// The Canvas as operators of a PdfPage's content, with the geometry CairoCanvas gives cairo:
/// every line through the centres of the pixels the raster Surface sets, (x + 0.5, y + 0.5),
/// round caps and joins, one path per streamline and per arrow, a streamline's arrowheads as one
/// fill, an image drawn without smoothing. The canvas lies at `origin` of the page, clipped to
/// its rectangle, until it is destroyed.
class PdfCanvas final : public PathCanvas {
 public:
  PdfCanvas(PdfPage& page, PixelPoint origin, int width, int height, double lineWidth,
            PngEncoder encodePng);
  ~PdfCanvas() override;
  PdfCanvas(const PdfCanvas&) = delete;
  PdfCanvas& operator=(const PdfCanvas&) = delete;

  void LineTo(int x, int y) override;
  void Polyline(const std::array<PixelPoint, 3>& points) override;
  void FillSolidRect(int x, int y, int w, int h, Colour c) override;
  void SetPixel(int x, int y, Colour c) override;
  void PixelChain(std::span<const PixelPoint> chain, Colour colour) override;
  void Arrow(const ArrowGlyph& glyph) override;
  void Image(const Colour* pixels, int width, int height) override;

 private:
  void StrokeColour(Colour colour);
  void FillColour(Colour colour);
  void Point(double x, double y, const char* op);
  void Centre(PixelPoint p, const char* op) { Point(p.x + 0.5, p.y + 0.5, op); }
  void Number(double value);

  PdfPage& page_;
  std::string& out_;
  std::optional<Colour> stroke_;  // the colours the content has set, inside this canvas's q
  std::optional<Colour> fill_;
};

}  // namespace vortana
