#pragma once

namespace vortana {

/// The valid range of an integer setting, tested when the settings are read.
struct SettingRange {
  int lowest;
  int highest;
  constexpr bool Contains(int value) const { return value >= lowest && value <= highest; }
};

inline constexpr SettingRange kGridSizeRange{8, 128};
inline constexpr SettingRange kDeltaTRange{1, 20};
inline constexpr SettingRange kDSepRange{10, 50};
/// d_test has no upper limit; below 1 the neighbourhood test would pass everything, and evenly
/// spaced placement could accept the same candidate again and again.
inline constexpr int kDTestLowest = 1;

}  // namespace vortana
