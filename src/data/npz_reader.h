#pragma once

#include "data/field_reader.h"

namespace vortana {

/// A NumPy .npz archive as np.savez and np.savez_compressed write it: arrays x (W values) and
/// y (H values, or both as H x W meshgrids), u and v (H x W, or T x H x W for T time steps),
/// and optionally w, pressure and vorticity shaped as u; float32 or float64 of either byte
/// order, C or Fortran order. Pressure is scalar 0 and vorticity scalar 1.
class NpzReader final : public FieldReader {
 public:
  std::string_view Kind() const override { return "NumPy .npz archive"; }
  /// NAME.npz.
  bool ClaimsName(std::string_view path) const override;
  /// A zip archive: it begins with a local file header, or is an empty archive.
  bool ClaimsContents(std::span<const unsigned char> head) const override;
  LoadResult Read(const std::string& path, ByteStore& store,
                  const ReadRequest& request) const override;
};

}  // namespace vortana
