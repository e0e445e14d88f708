#pragma once

#include <string>
#include <vector>

#include "data/byte_source.h"

namespace vortana {

/// Opens `name` in `store` and reads all of it into `bytes` (for formats read from memory
/// whatever their source: a zip archive, an XML document). Returns the failure, naming the
/// input, or nothing.
std::string ReadWholeInput(const std::string& name, ByteStore& store,
                           std::vector<unsigned char>& bytes);

}  // namespace vortana
