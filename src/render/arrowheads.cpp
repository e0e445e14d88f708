#include "arrowheads.h"

#include <algorithm>
#include <cmath>

namespace vortana {

namespace {

PicturePoint Centre(PixelPoint p) { return {p.x + 0.5, p.y + 0.5}; }

// The point `s` pixels of line from the chain's start; `lengths` holds the running lengths.
PicturePoint PointAt(std::span<const PixelPoint> chain, const std::vector<double>& lengths,
                     double s) {
  s = std::clamp(s, 0.0, lengths.back());
  const size_t i = static_cast<size_t>(std::upper_bound(lengths.begin(), lengths.end(), s) -
                                       lengths.begin());
  if (i >= lengths.size()) return Centre(chain.back());
  const PicturePoint a = Centre(chain[i - 1]);
  const PicturePoint b = Centre(chain[i]);
  const double t = (s - lengths[i - 1]) / (lengths[i] - lengths[i - 1]);
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

}  // namespace

double ArrowheadLength(double lineWidth) { return std::max(5.0, 3.0 * lineWidth); }

std::vector<ArrowheadShape> ArrowheadsAlong(std::span<const PixelPoint> chain, double lineWidth) {
  std::vector<ArrowheadShape> heads;
  if (chain.size() < 2) return heads;
  std::vector<double> lengths(chain.size(), 0.0);
  for (size_t i = 1; i < chain.size(); ++i) {
    lengths[i] = lengths[i - 1] + std::hypot(static_cast<double>(chain[i].x - chain[i - 1].x),
                                             static_cast<double>(chain[i].y - chain[i - 1].y));
  }
  const double total = lengths.back();
  if (total < kArrowheadMinLine) return heads;
  const double length = ArrowheadLength(lineWidth);
  const double middle = total / 2.0;
  // Every head lies whole on the line: from half a head's length after the start to half before
  // the end.
  const int before = static_cast<int>(std::floor((middle - length / 2) / kArrowheadSpacing));
  const int after = static_cast<int>(std::floor((total - middle - length / 2) / kArrowheadSpacing));
  for (int k = -before; k <= after; ++k) {
    const double s = middle + k * kArrowheadSpacing;
    const PicturePoint back = PointAt(chain, lengths, s - length / 2);
    const PicturePoint front = PointAt(chain, lengths, s + length / 2);
    const double dx = front.x - back.x;
    const double dy = front.y - back.y;
    const double chord = std::hypot(dx, dy);
    if (!(chord > 0.0)) continue;
    const double ux = dx / chord;
    const double uy = dy / chord;
    const PicturePoint centre = PointAt(chain, lengths, s);
    const PicturePoint tip{centre.x + ux * length / 2, centre.y + uy * length / 2};
    const PicturePoint base{centre.x - ux * length / 2, centre.y - uy * length / 2};
    const double half = length * 0.4;  // a head a little narrower than long
    heads.push_back({tip, PicturePoint{base.x - uy * half, base.y + ux * half},
                     PicturePoint{base.x + uy * half, base.y - ux * half}});
  }
  return heads;
}

}  // namespace vortana
