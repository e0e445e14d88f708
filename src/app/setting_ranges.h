#pragma once

#include <limits>

namespace vortana {

/// The valid range of an integer setting, tested when the settings are read.
struct SettingRange {
  int lowest;
  int highest;
  constexpr bool Contains(int value) const { return value >= lowest && value <= highest; }
  /// A range with no upper limit is offered and refused as "at least" its lowest.
  constexpr bool HasUpperLimit() const { return highest != std::numeric_limits<int>::max(); }
};

inline constexpr SettingRange AtLeast(int lowest) {
  return {lowest, std::numeric_limits<int>::max()};
}

}  // namespace vortana
