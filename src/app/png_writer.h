#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/surface.h"

namespace vortana {

/// An 8-bit RGB picture, rows top to bottom, three bytes a pixel.
struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

/// The pixels EncodePng writes: the drawing area and, with a legend strip, the black gap and the
/// strip below it. Throws std::bad_alloc when memory is short.
RgbPicture PictureOf(const Surface& area, const Surface* legend);

/// The drawing area as the bytes of an 8-bit RGB PNG file; with a legend strip, the image also
/// holds the black gap and the strip below the area, as the dialog shows them. Returns an empty
/// string, or what went wrong. Throws std::bad_alloc when there is not enough memory to encode
/// the picture.
std::string EncodePng(const Surface& area, const Surface* legend, std::vector<uint8_t>& png);

/// EncodePng written to the file at `path`. Returns an empty string, or what went wrong; an old
/// file at `path` stays as it was unless the new one is complete.
std::string WritePng(const std::string& path, const Surface& area, const Surface* legend);

}  // namespace vortana
