#pragma once

#include <string>

#include "data/field_reader.h"

namespace vortana {

/// Variables a user names for a NetCDF file whose velocity the reader cannot find on its own,
/// or whose scalars it should show. An empty name leaves the choice to the reader.
struct NetcdfVariables {
  std::string u;
  std::string v;
  std::string pressure;
  std::string vorticity;
};

/// NetCDF files (classic, 64-bit offset, 64-bit data and NetCDF-4) on a rectilinear grid:
/// velocity on two horizontal dimensions with 1-D coordinates, optionally over time (the steps)
/// and a vertical dimension (the slices). Read through libnetcdf once the reader has checked a
/// classic header itself; a NetCDF-4 file, which libhdf5 reads, is read in a child process, so
/// that a damaged one on which libhdf5 loops or crashes is refused instead.
class NetcdfReader final : public FieldReader {
 public:
  explicit NetcdfReader(NetcdfVariables variables = {});

  std::string_view Kind() const override { return "NetCDF file"; }
  /// NAME.nc, NAME.nc4 or NAME.cdf.
  bool ClaimsName(std::string_view path) const override;
  /// A classic header ("CDF" and version 1, 2 or 5) or an HDF5 signature.
  bool ClaimsContents(std::span<const unsigned char> head) const override;
  LoadResult Read(const std::string& path, ByteStore& store,
                  const ReadRequest& request) const override;

 private:
  NetcdfVariables variables_;
};

}  // namespace vortana
