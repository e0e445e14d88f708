#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vortana {

/// How the arrays of a VTK XML file are stored, from its VTKFile element.
struct VtkEncoding {
  bool bigEndian = false;
  /// Bytes of each size word before binary data: 4 (UInt32) or 8 (UInt64).
  std::size_t headerBytes = 4;
  /// Blocks deflated as vtkZLibDataCompressor writes them.
  bool zlib = false;
};

/// The appended data section: the bytes after its '_' marker to the end of the input.
struct VtkAppendedData {
  bool present = false;
  bool base64 = false;
  std::span<const unsigned char> bytes;
};

/// One DataArray element: its attributes and, when inline, its text.
struct VtkDataArray {
  std::string name;
  std::string type;
  int components = 1;
  std::string format;
  uint64_t offset = 0;
  std::string text;
};

/// Decodes `count` values of `array` (ascii, inline base64 binary, or appended raw or base64;
/// each binary form with or without zlib blocks) and rounds each to float as a cast would.
/// Sizes are checked against the bytes at hand before anything is allocated. Returns the
/// reason the array cannot be read (without the file's name), or nothing. Given `inPlace`,
/// values that already lie in the input as this machine's floats, at an address a float may
/// take (appended raw Float32 in the machine's byte order), are not copied: `*inPlace` points at
/// them and `values` is left empty; otherwise `*inPlace` is nullptr.
std::string DecodeVtkDataArray(const VtkDataArray& array, const VtkEncoding& encoding,
                               const VtkAppendedData& appended, uint64_t count,
                               std::vector<float>& values, const float** inPlace = nullptr);

}  // namespace vortana
