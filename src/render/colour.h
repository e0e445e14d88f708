#pragma once

#include <cstdint>

namespace vortana {

/// A COLORREF: red in the low byte, green in the next, blue in the third, the top byte 0.
/// In memory (little-endian) that is R, G, B, X: Qt's QImage::Format_RGBX8888.
using Colour = uint32_t;

constexpr Colour MakeColour(int red, int green, int blue) {
  return static_cast<Colour>(red & 0xFF) | (static_cast<Colour>(green & 0xFF) << 8) |
         (static_cast<Colour>(blue & 0xFF) << 16);
}
constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

inline constexpr Colour kBlack = 0x00000000;
inline constexpr Colour kBlue = 0x00FF0000;

}  // namespace vortana
