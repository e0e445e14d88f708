#include "arrow_plot.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace vortana {
namespace {

// pi/2 rounded to single precision (bit pattern 3FC90FDB). The head's angle is measured against
// this float constant, not the exact value, so a horizontal arrow's wings differ by a pixel in x.
constexpr double kHalfPiSingle = static_cast<double>(1.5707963705062866f);
// The head is this many pixels long, and each wing stands this far from the shaft.
constexpr double kHeadSizePx = 4.0;
// Glyph offsets beyond this are clamped before they become pixels: far outside any surface, yet
// small enough that a centre plus an offset still fits an int.
constexpr double kGlyphLimitPx = 1073741824.0;  // 2^30

// Truncation toward zero of a finite pixel offset or coordinate, clamped to +-2^30.
int32_t TruncGlyph(double t) {
  if (std::isnan(t)) return 0;  // unreachable for a finite glyph; kept so no NaN is converted
  if (t > kGlyphLimitPx) return static_cast<int32_t>(kGlyphLimitPx);
  if (t < -kGlyphLimitPx) return -static_cast<int32_t>(kGlyphLimitPx);
  return static_cast<int32_t>(t);
}

// The integer centre plus a truncated offset, kept within int.
int32_t OffsetPixel(int32_t centre, int32_t offset) {
  const int64_t sum = static_cast<int64_t>(centre) + offset;
  if (sum > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (sum < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(sum);
}

bool IsFinite(const Vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

Vec3 VectorAtPixel(const FlowField& field, const PixelMap& map, const ArrowSettings& settings,
                   int px, int py) {
  Vec3 v = field.VelocityAt(map.WorldXOfPixel(px), map.WorldYOfPixel(py));
  if (settings.normalized == 1) {
    v.Normalise();
  } else if (settings.maxSpeed == 0.0f) {
    // A field at rest everywhere: there is no speed to scale by, and no arrow to show.
    v = Vec3{};
  } else {
    v /= settings.maxSpeed;
  }
  return v;
}

ArrowGlyph ArrowGlyphFor(int x, int y, Vec3 v, int gridSize) {
  // 64 bits: gridSize - 1 must not wrap for the smallest int.
  const int64_t half = (static_cast<int64_t>(gridSize) - 1) >> 1;
  const Vec3 s{static_cast<float>(static_cast<double>(v.x) * half),
               static_cast<float>(static_cast<double>(v.y) * half),
               static_cast<float>(static_cast<double>(v.z) * half)};
  const float length = static_cast<float>(s.Length());

  const PixelPoint centre{x, y};
  // A vector that is not finite, or whose scaled length is not, has no direction to draw; it is
  // drawn like the zero vector, whose head has no base point: every point is the centre.
  if (!IsFinite(v) || !IsFinite(s) || !std::isfinite(length) || length == 0.0f) {
    return {centre, centre, {centre, centre, centre}};
  }

  const double fx = static_cast<float>(x);
  const double fy = static_cast<float>(y);
  ArrowGlyph glyph;
  glyph.tail = {TruncGlyph(fx - s.x), TruncGlyph(fy - s.y)};
  glyph.tip = {TruncGlyph(fx + s.x), TruncGlyph(fy + s.y)};

  // The one-argument arctangent: for s.x < 0 the perpendicular turns round and the wings swap
  // places, which draws the same head.
  const double angle =
      s.x == 0.0f ? kHalfPiSingle : std::atan(static_cast<double>(s.y) / static_cast<double>(s.x));
  const double phi = angle - kHalfPiSingle;
  // The base point lies on the shaft kHeadSizePx short of the tip (behind the centre when the
  // arrow is shorter than the head).
  const float baseDistance = static_cast<float>(static_cast<double>(length) - kHeadSizePx);
  const double bx = (static_cast<double>(s.x) * baseDistance) / length;
  const float by = static_cast<float>((static_cast<double>(s.y) * baseDistance) / length);
  const double cx = kHeadSizePx * std::cos(phi);
  const float cy = static_cast<float>(kHeadSizePx * std::sin(phi));

  // Offsets are truncated before the centre is added (unlike the shaft's ends), so a negative
  // offset with a fraction lands one pixel nearer the centre than the shaft's rule would.
  const PixelPoint wing1{OffsetPixel(x, TruncGlyph(bx + cx)),
                         OffsetPixel(y, TruncGlyph(static_cast<double>(by) + cy))};
  const PixelPoint wing2{OffsetPixel(x, TruncGlyph(bx - cx)),
                         OffsetPixel(y, TruncGlyph(static_cast<double>(by) - cy))};
  glyph.head = {wing1, glyph.tip, wing2};
  return glyph;
}

void DrawArrow(Canvas& canvas, int x, int y, Vec3 v, int gridSize) {
  canvas.Arrow(ArrowGlyphFor(x, y, v, gridSize));
}

void DrawArrowPlot(const FlowField& field, const PixelMap& map, const ArrowSettings& settings,
                   Colour colour, Canvas& area, std::vector<ArrowRecord>& arrows) {
  const int gs = settings.gridSize;
  // The lattice needs a cell of at least one pixel; a smaller grid size draws nothing.
  if (gs < 1) return;

  const Colour callersPen = area.Pen();
  area.SelectPen(colour);
  const int first = gs / 2;
  const size_t columns =
      area.Width() > first ? static_cast<size_t>((area.Width() - first - 1) / gs + 1) : 0;
  const size_t rows =
      area.Height() > first ? static_cast<size_t>((area.Height() - first - 1) / gs + 1) : 0;
  arrows.reserve(arrows.size() + rows * columns);
  // 64-bit lattice coordinates: stepping past the last centre must not wrap.
  for (int64_t y = first; y < area.Height(); y += gs) {
    for (int64_t x = first; x < area.Width(); x += gs) {
      const int px = static_cast<int>(x);
      const int py = static_cast<int>(y);
      const Vec3 v = VectorAtPixel(field, map, settings, px, py);
      DrawArrow(area, px, py, v, gs);
      arrows.push_back({px, py, v});
    }
  }
  area.SelectPen(callersPen);
}

}  // namespace vortana
