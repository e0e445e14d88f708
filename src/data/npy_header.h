#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vortana {

/// What the header of a NumPy .npy array says of the values after it.
struct NpyHeader {
  /// Bytes before the first value: the magic, the version, the length and the dict.
  std::size_t dataOffset = 0;
  /// 4 (float32) or 8 (float64).
  std::size_t itemBytes = 0;
  bool bigEndian = false;
  /// Columns (the first index) vary fastest in the file, instead of the last index.
  bool fortranOrder = false;
  std::vector<uint64_t> shape;

  /// The product of the shape; 1 for a scalar (shape ()).
  uint64_t Count() const;
};

/// Bytes that always hold the magic, the version and the header's length.
inline constexpr std::size_t kNpyPreludeBytes = 12;

/// The header's length after the prelude, from the first kNpyPreludeBytes (or fewer) bytes of a
/// .npy array: the magic "\x93NUMPY", version 1, 2 or 3 and the length. Returns the reason the
/// prelude is refused, or nothing; `headerEnd` is then where the values begin.
std::string ParseNpyPrelude(std::span<const unsigned char> prelude, std::size_t& headerEnd);

/// The dict of a .npy header, "{'descr': '<f8', 'fortran_order': False, 'shape': (3, 4), }",
/// from the bytes up to `headerEnd`: float32 and float64 of either byte order, any shape whose
/// element count fits 64 bits. Returns the reason it is refused, or nothing.
std::string ParseNpyHeader(std::span<const unsigned char> bytes, NpyHeader& header);

/// Rounds `count` values of `header`'s type, starting at `bytes`, to float as a float32 cast
/// would, into out[0], out[stride], ...
void ConvertNpyValues(const NpyHeader& header, const unsigned char* bytes, std::size_t count,
                      float* out, std::size_t stride = 1);

}  // namespace vortana
