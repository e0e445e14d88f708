#pragma once

#include <string>

#include "data/field_reader.h"

namespace vortana {

/// The grid/data file pair: NAME.gri (a 40-byte text header "SN4DB width height depth scalars
/// spare real", then x, y, z of every node) and NAME.00000.dat (u, v, w and the scalars of every
/// node), little-endian float32. Either file's path opens the pair.
class GridPairReader final : public FieldReader {
 public:
  std::string_view Kind() const override { return "grid/data file pair"; }
  /// NAME.gri or NAME.00000.dat.
  bool ClaimsName(std::string_view path) const override;
  /// A grid file: it begins with SN4DB.
  bool ClaimsContents(std::span<const unsigned char> head) const override;
  LoadResult Read(const std::string& path, ByteStore& store,
                  const ReadRequest& request) const override;
  bool IsFilePair() const override { return true; }

  /// Reads baseName + ".gri" and baseName + ".00000.dat".
  static LoadResult ReadPair(const std::string& baseName, ByteStore& store);
};

}  // namespace vortana
