#include "surface.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace vortana {
namespace {

// Line geometry is worked in 64 bits: the difference of two int coordinates needs 33 bits, and
// the error term below needs twice the longer difference.
using Wide = int64_t;

// One line in "major" terms: the axis along which every step advances by one pixel, and the
// other (minor) axis whose coordinate is the ideal line's value rounded to the nearest pixel.
// The line is always laid from the end with the smaller major coordinate, so that A -> B and
// B -> A cover exactly the same pixels apart from their ends; halves round towards the larger
// minor coordinate whichever way the line was drawn.
struct MajorLine {
  Wide major0;      // start, on the major axis
  Wide minor0;      // start, on the minor axis
  Wide steps;       // n: the major difference, > 0
  Wide minorDelta;  // a: |minor difference|, 0 <= a <= n
  int minorSign;    // +1 or -1
  bool xMajor;
};

// Minor offset (in units of minorSign) at step i: round(i * a / n) with halves towards the
// larger minor coordinate, i.e. floor((2ia + n - t) / 2n) with t = 0 upwards, 1 downwards. The
// quotient is returned with its remainder so that the walk can go on incrementally.
struct MinorAt {
  Wide offset;
  Wide remainder;  // 0 <= remainder < 2n
};

MinorAt MinorOffsetAt(const MajorLine& line, Wide i) {
  // 2 * i * a may need 66 bits when both ends lie near the int limits.
  const __int128 twoN = static_cast<__int128>(2) * line.steps;
  const __int128 numerator =
      static_cast<__int128>(2) * i * line.minorDelta + line.steps - (line.minorSign > 0 ? 0 : 1);
  return {static_cast<Wide>(numerator / twoN), static_cast<Wide>(numerator % twoN)};
}

}  // namespace

Surface::Surface(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), kBlack) {}

void Surface::SetPixel(int x, int y, Colour c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = c;
}

void Surface::LineTo(int x, int y) {
  const PixelPoint from = current_;
  current_ = {x, y};
  DrawSegment(from, {x, y});
}

void Surface::Polyline(const std::array<PixelPoint, 3>& points) {
  // The current position is the platform's MoveTo state; a polyline neither reads nor moves it.
  DrawSegment(points[0], points[1]);
  DrawSegment(points[1], points[2]);
}

void Surface::DrawSegment(PixelPoint from, PixelPoint to) {
  const Wide dx = static_cast<Wide>(to.x) - from.x;
  const Wide dy = static_cast<Wide>(to.y) - from.y;
  // A line that starts on its end point sets nothing: the end point is never set.
  if (dx == 0 && dy == 0) return;

  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const Wide majorFrom = xMajor ? from.x : from.y;
  const Wide majorTo = xMajor ? to.x : to.y;
  const Wide minorFrom = xMajor ? from.y : from.x;
  const Wide minorTo = xMajor ? to.y : to.x;
  const bool forward = majorFrom < majorTo;

  MajorLine line;
  line.xMajor = xMajor;
  line.major0 = forward ? majorFrom : majorTo;
  line.minor0 = forward ? minorFrom : minorTo;
  const Wide minorDiff = forward ? minorTo - minorFrom : minorFrom - minorTo;
  line.steps = std::llabs(majorTo - majorFrom);
  line.minorDelta = std::llabs(minorDiff);
  line.minorSign = minorDiff < 0 ? -1 : 1;

  // Steps 0..n cover both ends; leave out the one the caller drew towards.
  Wide first = forward ? 0 : 1;
  Wide last = forward ? line.steps - 1 : line.steps;

  // Clip on the major axis before walking, so that the walk never exceeds one surface side
  // however far apart the ends are. Pixels off the minor axis are skipped one by one.
  const Wide majorExtent = xMajor ? width_ : height_;
  const Wide minorExtent = xMajor ? height_ : width_;
  first = std::max(first, -line.major0);
  last = std::min(last, majorExtent - 1 - line.major0);
  if (first > last) return;

  MinorAt minor = MinorOffsetAt(line, first);
  const Wide twoN = 2 * line.steps;
  const Wide twoA = 2 * line.minorDelta;
  for (Wide i = first; i <= last; ++i) {
    const Wide major = line.major0 + i;
    const Wide minorCoord = line.minor0 + line.minorSign * minor.offset;
    if (minorCoord >= 0 && minorCoord < minorExtent) {
      const Wide px = xMajor ? major : minorCoord;
      const Wide py = xMajor ? minorCoord : major;
      pixels_[static_cast<size_t>(py) * static_cast<size_t>(width_) + static_cast<size_t>(px)] =
          pen_;
    }
    // a <= n, so one carry at most per step.
    minor.remainder += twoA;
    if (minor.remainder >= twoN) {
      minor.remainder -= twoN;
      ++minor.offset;
    }
  }
}

void Surface::PixelChain(std::span<const PixelPoint> chain, Colour colour) {
  for (const PixelPoint& p : chain) SetPixel(p.x, p.y, colour);
}

void Surface::Arrow(const ArrowGlyph& glyph) {
  MoveTo(glyph.tail.x, glyph.tail.y);
  LineTo(glyph.tip.x, glyph.tip.y);
  Polyline(glyph.head);
}

void Surface::Image(const Colour* pixels, int width, int height) {
  if (width == width_ && height == height_) {
    std::copy(pixels, pixels + pixels_.size(), pixels_.data());
    return;
  }
  const int columns = std::clamp(width, 0, width_);
  const int rows = std::clamp(height, 0, height_);
  for (int row = 0; row < rows; ++row) {
    const Colour* from = pixels + static_cast<size_t>(row) * static_cast<size_t>(width);
    std::copy(from, from + columns,
              pixels_.data() + static_cast<size_t>(row) * static_cast<size_t>(width_));
  }
}

void Surface::FillSolidRect(int x, int y, int w, int h, Colour c) {
  // The rectangle covers x .. x + w - 1 and y .. y + h - 1; an empty or negative size fills
  // nothing. 64 bits keep x + w from wrapping.
  const Wide left = std::max<Wide>(x, 0);
  const Wide top = std::max<Wide>(y, 0);
  const Wide right = std::min<Wide>(static_cast<Wide>(x) + w, width_);
  const Wide bottom = std::min<Wide>(static_cast<Wide>(y) + h, height_);
  for (Wide row = top; row < bottom; ++row) {
    Colour* line = pixels_.data() + static_cast<size_t>(row) * static_cast<size_t>(width_);
    std::fill(line + left, line + std::max(left, right), c);
  }
}

void Surface::Fill(Colour c) { std::fill(pixels_.begin(), pixels_.end(), c); }

}  // namespace vortana
