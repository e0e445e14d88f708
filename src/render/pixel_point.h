#pragma once

#include <cstdint>

namespace vortana {

/// A drawing-area pixel: x to the right, y downward.
struct PixelPoint {
  int32_t x = 0;
  int32_t y = 0;
  friend constexpr bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

}  // namespace vortana
