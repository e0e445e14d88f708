#pragma once

#include <string>

#include "render/surface.h"

namespace vortana {

/// Writes the drawing area as an 8-bit RGB PNG; with a legend strip, the image also holds the
/// black gap and the strip below the area, as the dialog shows them. Returns an empty string, or
/// what went wrong; an old file at `path` stays as it was unless the new one is complete. Throws
/// std::bad_alloc when there is not enough memory to encode the picture.
std::string WritePng(const std::string& path, const Surface& area, const Surface* legend);

}  // namespace vortana
