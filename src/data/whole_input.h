#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "data/byte_source.h"

namespace vortana {

/// Opens `name` in `store` and reads all of it into `bytes` (for formats read from memory
/// whatever their source: a zip archive, an XML document). Returns the failure, naming the
/// input, or nothing.
std::string ReadWholeInput(const std::string& name, ByteStore& store,
                           std::vector<unsigned char>& bytes);

/// As ReadWholeInput, but with the input beginning `start` (0 to 3) bytes into `bytes`, chosen
/// so that the byte `alignAt` names lies at a multiple of 4 in memory: values of 4 bytes stored
/// from there on can be read where they lie. `alignAt` sees the input's first 64 KiB (or all of
/// it) and returns an offset in the input, or std::string_view::npos for none.
std::string ReadWholeInput(
    const std::string& name, ByteStore& store, std::vector<unsigned char>& bytes,
    std::size_t& start, const std::function<std::size_t(std::span<const unsigned char>)>& alignAt);

}  // namespace vortana
