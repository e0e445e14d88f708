#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace vortana {

/// The files hold every number as a little-endian IEEE 754 float32, whatever the machine.
inline float LoadFloatLE(const unsigned char* bytes) {
  uint32_t bits;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&bits, bytes, sizeof bits);
  } else {
    bits = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
  }
  return std::bit_cast<float>(bits);
}

inline void StoreFloatLE(float value, unsigned char* bytes) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(bytes, &bits, sizeof bits);
  } else {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
  }
}

}  // namespace vortana
