#include "field_warnings.h"

#include <cmath>
#include <cstddef>

namespace vortana {
namespace {

constexpr const char* kMayBeWrong = ": streamlines and the background may be wrong";

bool IsFinite(const Vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool HoldsNonFinite(const GridPoint& node) {
  return !IsFinite(node.position) || !IsFinite(node.velocity) || !std::isfinite(node.scalar0) ||
         !std::isfinite(node.scalar1);
}

}  // namespace

std::string GroupedCount(long long count) {
  std::string digits = std::to_string(count < 0 ? -count : count);
  for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), 1, ',');
  }
  return count < 0 ? "-" + digits : digits;
}

std::vector<std::string> FieldWarnings(const FlowField& field) {
  std::vector<std::string> warnings;
  const std::vector<GridPoint>& nodes = field.Nodes();
  const std::size_t width = field.Width() > 0 ? static_cast<std::size_t>(field.Width()) : 0;
  const std::size_t height = field.Height() > 0 ? static_cast<std::size_t>(field.Height()) : 0;
  // A header that stops early can leave a width with no rows (or the reverse) and no nodes.
  if (width > 0 && height > 0 && width * height <= nodes.size()) {
    // A strict comparison: a NaN is reported once, as a value that is not finite.
    for (std::size_t c = 1; c < width; ++c) {
      if (nodes[c].position.x < nodes[c - 1].position.x) {
        warnings.push_back(std::string("x decreases along row 0") + kMayBeWrong);
        break;
      }
    }
    for (std::size_t r = 1; r < height; ++r) {
      if (nodes[r * width].position.y < nodes[(r - 1) * width].position.y) {
        warnings.push_back(std::string("y decreases along column 0") + kMayBeWrong);
        break;
      }
    }
  }
  long long nonFinite = 0;
  for (const GridPoint& node : nodes) nonFinite += HoldsNonFinite(node) ? 1 : 0;
  if (nonFinite > 0) {
    warnings.push_back(GroupedCount(nonFinite) + (nonFinite == 1 ? " node holds" : " nodes hold") +
                       " non-finite values");
  }
  return warnings;
}

}  // namespace vortana
